#include "skerrow/Src/TrueTypeFont.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "skerrow/Src/Graphics/Graphics.h"
#include "skerrow/Src/Log.h"
#include "skerrow/Src/ResourceLocator.h"
#include "skerrow/Src/Tables.h"

TrueTypeFont* g_currentFont = nullptr;
namespace {
int g_batchOpen = 0;

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

template <typename C>
int ParseTag(const C* p, uint32_t* rgb)
{
    if (p[0] != '<' || p[1] != '0' || (p[2] != 'x' && p[2] != 'X')) return 0;
    uint32_t v = 0;
    int n = 3;
    while (p[n] && HexValue(static_cast<char>(p[n])) >= 0) {
        v = v << 4 | static_cast<uint32_t>(HexValue(static_cast<char>(p[n])));
        ++n;
    }
    // The closing character is skipped, but never the terminator behind a cut-off tag.
    if (p[n]) ++n;
    if (rgb) *rgb = v & 0xFFFFFF;
    return n;
}
}  // namespace

int ParseColourTag(const char* p, uint32_t* rgb) { return ParseTag(p, rgb); }

void TrueTypeFont::Free()
{
    if (face_) FT_Done_Face(face_);
    face_ = nullptr;
    if (library_) FT_Done_FreeType(library_);
    library_ = nullptr;
    if (data_) FreeResourceBuffer(data_);
    data_ = nullptr;
}

int TrueTypeFont::Load(const char* name)
{
    Free();
    if (FT_Init_FreeType(&library_) != 0) {
        library_ = nullptr;
        return 0;
    }
    data_ = LoadResourceFile(name, 1);
    if (!data_) {
        LogMessage("Can't load font %s\n", name);
        Free();
        return 0;
    }
    int size = GetLastResourceSize();
    if (FT_New_Memory_Face(library_, reinterpret_cast<const FT_Byte*>(data_), size, 0, &face_) != 0) {
        LogMessage("Can't open font %s\n", name);
        face_ = nullptr;
        Free();
        return 0;
    }
    SetSize(32);
    return 1;
}

void TrueTypeFont::SetTarget(uint16_t* pixels, int pitchBytes)
{
    target_ = pixels;
    pitch_ = pitchBytes / 2;
}

void TrueTypeFont::SetClip(int left, int top, int right, int bottom)
{
    clipLeft = left;
    clipTop = top;
    clipRight = right;
    clipBottom = bottom;
}

void TrueTypeFont::SetBlendMode(int mode, uint32_t rgb)
{
    blendMode = mode;
    backR = static_cast<uint8_t>(rgb >> 19 & 31);
    backG = static_cast<uint8_t>(rgb >> 11 & 31);
    backB = static_cast<uint8_t>(rgb >> 3 & 31);
}

void TrueTypeFont::SetSize(int pixels)
{
    if (pixels <= 0) return;
    size_ = pixels;
    if (face_) FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(pixels));
}

uint16_t TrueTypeFont::BlendPixel(uint16_t under, int c) const
{
    if (blendMode == 0) return c > 64 ? colour : under;
    if (c <= 0) return under;
    if (c >= 224) return colour;
    const int a = c / 8, b = 31 - a;
    const int rs = PixelFormatShifts.red, gs = PixelFormatShifts.green;
    // Green is taken as its top five bits in either layout.
    const int gDrop = rs - gs - 5;
    int tr = colour >> rs & 31, tg = colour >> (gs + gDrop) & 31, tb = colour & 31;
    int br, bg, bb;
    if (blendMode == 1) {
        br = backR;
        bg = backG;
        bb = backB;
    } else {
        br = under >> rs & 31;
        bg = under >> (gs + gDrop) & 31;
        bb = under & 31;
    }
    int r = (tr * a + br * b) / 32, g = (tg * a + bg * b) / 32, bl = (tb * a + bb * b) / 32;
    return static_cast<uint16_t>(r << rs | g << (gs + gDrop) | bl);
}

void TrueTypeFont::DrawGlyph(uint32_t code)
{
    if (!face_) return;
    FT_UInt index = FT_Get_Char_Index(face_, code);
    if (FT_Load_Glyph(face_, index, FT_LOAD_DEFAULT) != 0) return;
    if (FT_Render_Glyph(face_->glyph, FT_RENDER_MODE_NORMAL) != 0) return;
    const FT_Bitmap& bm = face_->glyph->bitmap;
    if (target_) {
        const int x0 = penX + face_->glyph->bitmap_left, y0 = penY - face_->glyph->bitmap_top;
        for (unsigned row = 0; row < bm.rows; ++row) {
            const int y = y0 + static_cast<int>(row);
            if (y < clipTop || y >= clipBottom) continue;
            const unsigned char* src = bm.buffer + static_cast<long>(row) * bm.pitch;
            for (unsigned col = 0; col < bm.width; ++col) {
                const int x = x0 + static_cast<int>(col);
                if (x < clipLeft || x >= clipRight) continue;
                uint16_t& px = target_[static_cast<long>(y) * pitch_ + x];
                px = BlendPixel(px, src[col]);
            }
        }
    }
    penX += static_cast<int>(face_->glyph->advance.x >> 6);
}

int TrueTypeFont::Advance(uint32_t code)
{
    if (!face_) return 0;
    FT_UInt index = FT_Get_Char_Index(face_, code);
    if (FT_Load_Glyph(face_, index, FT_LOAD_DEFAULT) != 0) return 0;
    return static_cast<int>(face_->glyph->advance.x >> 6);
}

void TrueTypeFont::Print(int x, int y, uint16_t c, const char* text)
{
    if (!face_ || !text) return;
    colour = c;
    penX = lineStartX = x;
    penY = y;
    for (const char* p = text; *p;) {
        if (penY > clipBottom) break;
        if (*p == '\n') {
            penX = lineStartX;
            penY += size_ + 2;
            ++p;
            continue;
        }
        if (*p == '\r') {
            ++p;
            continue;
        }
        uint32_t rgb = 0;
        if (int n = ParseColourTag(p, &rgb)) {
            colour = PackPixelRgb(rgb);
            p += n;
            continue;
        }
        if (penY + 16 >= clipTop) DrawGlyph(static_cast<unsigned char>(*p));
        ++p;
    }
}

void TrueTypeFont::Printf(int x, int y, uint16_t c, const char* format, ...)
{
    char buffer[kTextBuffer];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    Print(x, y, c, buffer);
}

int TrueTypeFont::TextWidth8(const char* text)
{
    int w = 0;
    for (const char* p = text; p && *p;) {
        if (int n = ParseColourTag(p, nullptr)) {
            p += n;
            continue;
        }
        w += Advance(static_cast<unsigned char>(*p));
        ++p;
    }
    return w;
}

int TrueTypeFont::TextWidthPlain(const char16_t* text)
{
    int w = 0;
    for (const char16_t* p = text; p && *p;) {
        if (int n = ParseTag(p, nullptr)) {
            p += n;
            continue;
        }
        w += Advance(*p);
        ++p;
    }
    return w;
}

int TrueTypeFont::TextWidth(const char16_t* format, ...)
{
    if (!format) return 0;
    // The conversions of a format are plain ASCII: the format is narrowed, formatted with the
    // arguments and widened again (characters beyond 8 bits cannot take part in a format).
    char narrow[kTextBuffer];
    int n = 0;
    for (; format[n] && n < kTextBuffer - 1; ++n) narrow[n] = format[n] < 256 ? static_cast<char>(format[n]) : '?';
    narrow[n] = 0;
    char formatted[kTextBuffer];
    va_list args;
    va_start(args, format);
    std::vsnprintf(formatted, sizeof formatted, narrow, args);
    va_end(args);
    char16_t wide[kTextBuffer];
    WidenString(formatted, wide, kTextBuffer);
    return TextWidthPlain(wide);
}

void BeginText(TrueTypeFont* font, int size)
{
    if (g_batchOpen || !font) return;
    uint16_t* pixels = nullptr;
    int pitch = 0;
    if (!g_display.backBuffer || !LockSurface(g_display.backBuffer, &pixels, &pitch)) return;
    g_batchOpen = 1;
    g_currentFont = font;
    font->SetClip(0, 0, g_display.width ? g_display.width : 640, g_display.height ? g_display.height : 480);
    font->SetBlendMode(2, 0);
    font->SetTarget(pixels, pitch * 2);
    font->SetSize(size);
}

void EndText()
{
    if (!g_batchOpen) return;
    g_batchOpen = 0;
    if (g_currentFont) g_currentFont->SetTarget(nullptr, 0);
    UnlockSurface(g_display.backBuffer);
}

int IsTextBatchOpen() { return g_batchOpen; }

void WidenString(const char* text, char16_t* out, int outSize)
{
    if (!out || outSize <= 0) return;
    int i = 0;
    for (; text && text[i] && i < outSize - 1; ++i) out[i] = static_cast<unsigned char>(text[i]);
    out[i] = 0;
}

int MeasureText(const char* text)
{
    if (!g_currentFont) return 0;
    char16_t wide[TrueTypeFont::kTextBuffer];
    WidenString(text, wide, TrueTypeFont::kTextBuffer);
    // The text is measured as it stands, never used as a format.
    return g_currentFont->TextWidthPlain(wide);
}
