#include "skerrow/Src/game/ScreenCommon.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "skerrow/Src/Button.h"
#include "skerrow/Src/Graphics/Graphics.h"
#include "skerrow/Src/Input.h"
#include "skerrow/Src/Log.h"
#include "skerrow/Src/TrueTypeFont.h"
#include "skerrow/Src/game/Resources.h"

int MoveCursor()
{
    int32_t dx = 0, dy = 0, wheel = 0;
    ReadMouseDelta(&dx, &dy, &wheel);
    g_cursorX += dx;
    g_cursorY += dy;
    // The player steers by the desktop's pointer: the cursor is drawn where it is, from the
    // first frame on and after a level that moved only the ship, so the two never part.
    ReadPointerPosition(&g_cursorX, &g_cursorY);
    g_cursorX = std::clamp(g_cursorX, 0, 639);
    g_cursorY = std::clamp(g_cursorY, 0, 479);
    return wheel;
}

void DrawCursor()
{
    if (!g_sprites || !g_sprites->cursorAnim.IsLoaded()) return;
    g_sprites->cursorAnim.Animate("Cursor", 0);
    g_sprites->cursor.DrawAnimation(g_sprites->cursorAnim, g_cursorX - 10, g_cursorY - 5, ALIGN_LEFT | ALIGN_TOP);
}

void DrawHeader(const char* frame)
{
    if (g_sprites) g_sprites->headers.DrawFrame(frame, 0, 0, ALIGN_LEFT | ALIGN_TOP);
}

int LoadPicture(const char* name, LPDIRECTDRAWSURFACE7* out)
{
    ReleasePicture(out);
    if (!LoadSurfaceFromFile(name, out, 0)) {
        *out = nullptr;
        return 0;
    }
    return 1;
}

void ReleasePicture(LPDIRECTDRAWSURFACE7* surface)
{
    if (*surface) (*surface)->Release();
    *surface = nullptr;
}

void DrawPicture(LPDIRECTDRAWSURFACE7 surface, int x, int y)
{
    if (surface) BlitToBackBuffer(x, y, surface, nullptr, DDBLTFAST_NOCOLORKEY | DDBLTFAST_WAIT);
}

int CopyPictureOnto(const char* name, LPDIRECTDRAWSURFACE7 dest, int x, int y)
{
    LPDIRECTDRAWSURFACE7 picture = nullptr;
    if (!dest || !LoadPicture(name, &picture)) return 0;
    const int ok = BlitToSurface(x, y, picture, nullptr, dest);
    ReleasePicture(&picture);
    return ok;
}

TrueTypeFont& TextFont() { return g_sprites->fonts[0]; }
TrueTypeFont& SmallFont() { return g_sprites->fonts[1]; }

void PrintText(TrueTypeFont& font, int size, int x, int y, uint16_t colour, const char* text)
{
    if (!font.IsLoaded() || !text) return;
    BeginText(&font, size);
    if (IsTextBatchOpen()) font.Print(x, y, colour, text);
    EndText();
}

int TextWidth(TrueTypeFont& font, int size, const char* text)
{
    if (!font.IsLoaded() || !text) return 0;
    font.SetSize(size);
    return font.TextWidth8(text);
}

void FitToColumn(TrueTypeFont& font, int size, const char* text, int width, char* out, int outSize)
{
    if (outSize <= 0) return;
    int n = 0;
    out[0] = 0;
    for (const char* p = text ? text : ""; *p && n < outSize - 1; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c < 32 || c == 127) continue;
        out[n] = static_cast<char>(c);
        out[n + 1] = 0;
        if (TextWidth(font, size, out) > width) {
            out[n] = 0;
            break;
        }
        ++n;
    }
}

int PrintInBand(TrueTypeFont& font, int size, int x, int y, int left, int right, int lineStep, uint16_t colour,
                const char* text)
{
    if (!text || !*text) return 0;
    const int width = TextWidth(font, size, text);
    if (x + width <= right || left + width <= right) {
        PrintText(font, size, std::max(left, std::min(x, right - width)), y, colour, text);
        return 1;
    }
    // Too wide for the band: whole words to a line, as many as fit (a word wider than the band
    // stands alone on its line).
    std::string rest(text), line;
    int lines = 0;
    while (!rest.empty()) {
        size_t end = rest.find(' ');
        std::string candidate = rest.substr(0, end);
        while (end != std::string::npos) {
            const size_t next = rest.find(' ', end + 1);
            const std::string longer = rest.substr(0, next);
            if (left + TextWidth(font, size, longer.c_str()) > right) break;
            candidate = longer;
            end = next;
        }
        PrintText(font, size, left, y + lines * lineStep, colour, candidate.c_str());
        ++lines;
        const size_t taken = candidate.size();
        rest = taken < rest.size() ? rest.substr(taken + 1) : std::string();
    }
    return lines;
}

void PrintRight(TrueTypeFont& font, int size, int right, int y, uint16_t colour, const char* text)
{
    PrintText(font, size, right - TextWidth(font, size, text), y, colour, text);
}

void PrintCentred(TrueTypeFont& font, int size, int centre, int y, uint16_t colour, const char* text)
{
    PrintText(font, size, centre - TextWidth(font, size, text) / 2, y, colour, text);
}

void FormatNumberInto(const char* text, int number, char* out, int size)
{
    if (size <= 0) return;
    int n = 0;
    bool used = false;
    for (const char* p = text ? text : ""; *p && n < size - 1; ++p) {
        if (!used && p[0] == '%' && p[1] == 'd') {
            char digits[16];
            std::snprintf(digits, sizeof digits, "%d", number);
            for (const char* d = digits; *d && n < size - 1; ++d) out[n++] = *d;
            used = true;
            ++p;
        } else if (p[0] == '%' && p[1] == '%') {
            out[n++] = '%';
            ++p;
        } else {
            out[n++] = *p;
        }
    }
    out[n] = 0;
}

int32_t PopMouseCode()
{
    MouseEvent ev{};
    PopMouseEvent(&ev);
    return ev.code;
}

void PlayMenuSound() { PlayGameSound(SND_MENU, 50); }

const char* NotSavedNotice(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return "Not saved: the disk is full";
    case EACCES:
    case EPERM:
    case EROFS: return "Not saved: no permission to write here";
    default: return "Not saved: the file could not be written";
    }
}

void DrawNotSavedNotice(const char* notice, int y)
{
    if (notice && g_sprites) PrintCentred(SmallFont(), 16, 320, y, MakePixelColorRgb(0xFF5F3F), notice);
}
