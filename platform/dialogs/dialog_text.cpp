#include "platform/dialogs/dialog_text.h"

#include "platform/dialogs/font5x7.h"
#include "platform/win32/platform_internal.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdlib>
#include <map>
#include <mutex>

namespace dialog_text {

namespace {

// About the size of the desktop's dialog font at 96 dots an inch.
constexpr int PixelSize = 12;
const char* const FontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// The bitmap font's glyphs are doubled.
constexpr int BitmapScale = 2;
constexpr int BitmapAdvance = (dialogs_font::GlyphColumns + 1) * BitmapScale;

struct Glyph {
    int left = 0, top = 0, width = 0, rows = 0, advance = 0;
    std::vector<uint8_t> coverage;
};

struct Font {
    bool tried = false;
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    int ascent = 0, lineHeight = 0;
    std::map<uint32_t, Glyph> glyphs;
};

std::mutex fontMutex;
Font font;

// Windows-1252 to Unicode for 0x80..0x9F; 0 where the code page has no character.
const uint16_t Cp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                 0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

uint32_t Unicode(unsigned char c)
{
    if (c >= 0x80 && c < 0xA0) {
        uint32_t u = Cp1252High[c - 0x80];
        return u ? u : '?';
    }
    return c;
}

// Loads the font on first use; false when the bitmap font has to stand in.
bool Ready()
{
    if (font.tried) return font.face != nullptr;
    font.tried = true;
    if (FT_Init_FreeType(&font.library) != 0) {
        PlatformTrace("dialogs: FreeType cannot start; dialogs use the built-in 5 x 7 font");
        font.library = nullptr;
        return false;
    }
    if (FT_New_Face(font.library, FontPath, 0, &font.face) != 0 ||
        FT_Set_Pixel_Sizes(font.face, 0, PixelSize) != 0) {
        PlatformTrace("dialogs: cannot read %s (package fonts-dejavu-core); dialogs use the built-in 5 x 7 font",
                      FontPath);
        if (font.face) FT_Done_Face(font.face);
        font.face = nullptr;
        return false;
    }
    font.ascent = static_cast<int>((font.face->size->metrics.ascender + 63) >> 6);
    int descent = static_cast<int>((-font.face->size->metrics.descender + 63) >> 6);
    font.lineHeight = font.ascent + descent;
    return true;
}

const Glyph& GlyphOf(uint32_t code)
{
    auto it = font.glyphs.find(code);
    if (it != font.glyphs.end()) return it->second;
    Glyph g;
    if (FT_Load_Char(font.face, code, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) == 0) {
        FT_GlyphSlot slot = font.face->glyph;
        g.left = slot->bitmap_left;
        g.top = slot->bitmap_top;
        g.width = static_cast<int>(slot->bitmap.width);
        g.rows = static_cast<int>(slot->bitmap.rows);
        g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
        if (slot->bitmap.pixel_mode == FT_PIXEL_MODE_GRAY && g.width > 0 && g.rows > 0) {
            g.coverage.resize(static_cast<size_t>(g.width) * g.rows);
            for (int r = 0; r < g.rows; ++r)
                std::copy_n(slot->bitmap.buffer + static_cast<ptrdiff_t>(r) * slot->bitmap.pitch, g.width,
                            g.coverage.begin() + static_cast<ptrdiff_t>(r) * g.width);
        } else {
            g.width = g.rows = 0;
        }
    }
    return font.glyphs.emplace(code, std::move(g)).first->second;
}

// Calls `each(byte, underlined)` for every character drawn, handling '&' marks.
template <class F>
void ForEachShown(const std::string& text, bool mnemonics, F each)
{
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        bool underline = false;
        if (mnemonics && c == '&' && i + 1 < text.size()) {
            ++i;
            c = static_cast<unsigned char>(text[i]);
            underline = c != '&';
        }
        each(i, c, underline);
    }
}

int AdvanceOf(unsigned char c)
{
    if (!font.face) return BitmapAdvance;
    return GlyphOf(Unicode(c)).advance;
}

}  // namespace

void Canvas::Reset(int width, int height, uint32_t color)
{
    w = std::max(0, width);
    h = std::max(0, height);
    rgb.assign(static_cast<size_t>(w) * h * 3, 0);
    NoClip();
    Fill(0, 0, w, h, color);
}

void Canvas::ClipTo(int x0, int y0, int x1, int y1)
{
    clipX0 = std::max(0, x0);
    clipY0 = std::max(0, y0);
    clipX1 = std::min(w, x1);
    clipY1 = std::min(h, y1);
}

void Canvas::NoClip() { ClipTo(0, 0, w, h); }

void Canvas::Fill(int x, int y, int cw, int ch, uint32_t color)
{
    int x0 = std::max(clipX0, x), y0 = std::max(clipY0, y);
    int x1 = std::min(clipX1, x + cw), y1 = std::min(clipY1, y + ch);
    for (int yy = y0; yy < y1; ++yy)
        for (int xx = x0; xx < x1; ++xx) {
            uint8_t* p = &rgb[(static_cast<size_t>(yy) * w + xx) * 3];
            p[0] = static_cast<uint8_t>(color >> 16);
            p[1] = static_cast<uint8_t>(color >> 8);
            p[2] = static_cast<uint8_t>(color);
        }
}

void Canvas::Frame(int x, int y, int cw, int ch, uint32_t color)
{
    Fill(x, y, cw, 1, color);
    Fill(x, y + ch - 1, cw, 1, color);
    Fill(x, y, 1, ch, color);
    Fill(x + cw - 1, y, 1, ch, color);
}

void Canvas::Blend(int x, int y, uint32_t color, int alpha)
{
    if (x < clipX0 || y < clipY0 || x >= clipX1 || y >= clipY1 || alpha <= 0) return;
    uint8_t* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
    const int c[3] = {static_cast<int>((color >> 16) & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                      static_cast<int>(color & 0xFF)};
    for (int k = 0; k < 3; ++k) p[k] = static_cast<uint8_t>((c[k] * alpha + p[k] * (255 - alpha) + 127) / 255);
}

void Canvas::Paste(const Canvas& other, int x, int y)
{
    for (int r = 0; r < other.h; ++r) {
        int yy = y + r;
        if (yy < clipY0 || yy >= clipY1) continue;
        for (int c = 0; c < other.w; ++c) {
            int xx = x + c;
            if (xx < clipX0 || xx >= clipX1) continue;
            const uint8_t* s = &other.rgb[(static_cast<size_t>(r) * other.w + c) * 3];
            uint8_t* d = &rgb[(static_cast<size_t>(yy) * w + xx) * 3];
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
        }
    }
}

int LineHeight()
{
    std::lock_guard<std::mutex> lock(fontMutex);
    return Ready() ? font.lineHeight : dialogs_font::GlyphRows * BitmapScale + 2;
}

int Ascent()
{
    std::lock_guard<std::mutex> lock(fontMutex);
    return Ready() ? font.ascent : dialogs_font::GlyphRows * BitmapScale;
}

bool UsingFreeType()
{
    std::lock_guard<std::mutex> lock(fontMutex);
    return Ready();
}

int TextWidth(const std::string& text, bool mnemonics)
{
    std::lock_guard<std::mutex> lock(fontMutex);
    Ready();
    int width = 0;
    ForEachShown(text, mnemonics, [&](size_t, unsigned char c, bool) { width += AdvanceOf(c); });
    return width;
}

size_t CharacterAt(const std::string& text, int x)
{
    std::lock_guard<std::mutex> lock(fontMutex);
    Ready();
    int pen = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        int advance = AdvanceOf(static_cast<unsigned char>(text[i]));
        if (x < pen + advance / 2) return i;
        pen += advance;
    }
    return text.size();
}

void DrawText(Canvas& cv, int x, int y, const std::string& text, uint32_t color, bool mnemonics, bool underline)
{
    std::lock_guard<std::mutex> lock(fontMutex);
    const bool freeType = Ready();
    int pen = x;
    const int baseline = y + (freeType ? font.ascent : 0);
    ForEachShown(text, mnemonics, [&](size_t, unsigned char c, bool marked) {
        int advance;
        if (freeType) {
            const Glyph& g = GlyphOf(Unicode(c));
            for (int r = 0; r < g.rows; ++r)
                for (int col = 0; col < g.width; ++col)
                    cv.Blend(pen + g.left + col, baseline - g.top + r, color,
                             g.coverage[static_cast<size_t>(r) * g.width + col]);
            advance = g.advance;
            if (marked && underline) cv.Fill(pen, baseline + 2, std::max(1, advance - 1), 1, color);
        } else {
            if (c < 0x20 || c > 0x7E) c = '?';
            const uint8_t* g = dialogs_font::Glyphs[c - 0x20];
            for (int col = 0; col < dialogs_font::GlyphColumns; ++col)
                for (int row = 0; row < dialogs_font::GlyphRows; ++row)
                    if (g[col] & (1u << row))
                        cv.Fill(pen + col * BitmapScale, y + row * BitmapScale, BitmapScale, BitmapScale, color);
            advance = BitmapAdvance;
            if (marked && underline)
                cv.Fill(pen, y + dialogs_font::GlyphRows * BitmapScale + 1, advance - BitmapScale, 1, color);
        }
        pen += advance;
    });
}

std::vector<std::string> WrapText(const std::string& text, int width)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        std::string paragraph = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!paragraph.empty() && paragraph.back() == '\r') paragraph.pop_back();
        std::string line;
        size_t i = 0;
        while (i <= paragraph.size()) {
            size_t blank = paragraph.find(' ', i);
            std::string word = paragraph.substr(i, blank == std::string::npos ? std::string::npos : blank - i);
            std::string tried = line.empty() ? word : line + " " + word;
            if (!line.empty() && TextWidth(tried, false) > width) {
                lines.push_back(line);
                line = word;
            } else {
                line = tried;
            }
            if (blank == std::string::npos) break;
            i = blank + 1;
        }
        lines.push_back(line);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

}  // namespace dialog_text
