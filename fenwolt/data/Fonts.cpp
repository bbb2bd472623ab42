#include "fenwolt/data/Fonts.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>
#include <vector>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "fenwolt/data/GlyphWidths.h"

namespace fwdata {

namespace {

const FontSpec kFonts[3] = {
    {0, "interface\\Font1E.tga", 1024, 256, 32, 24, 5, 32},
    {1, "interface\\Font1F.tga", 512, 256, 24, 16, 3, 23},
    {2, "interface\\Font1G.tga", 512, 256, 24, 16, 3, 17},
};

// How each sheet is drawn: typeface, vertical pixel size, baseline in the cell, and the
// advance of "M" that fixes the horizontal size (set so that the measured advances
// come close to the sample widths the game was designed with).
struct SheetStyle {
    const char* face;
    float pixelHeight;
    int baseline;
    float advanceM;
};
const SheetStyle kStyles[3] = {
    {"DejaVuSans-Bold.ttf", 19.0f, 18, 23.5f},
    {"DejaVuSans-Bold.ttf", 13.0f, 12, 16.0f},
    {"DejaVuSans.ttf", 13.0f, 12, 11.3f},
};
// The most a glyph is widened to fill the advance its table gives it: a quarter for letters and
// signs, less for digits, because a zero widened to the advance of "O" (the tables give both
// the same) reads as the letter.
constexpr float kMaxWiden = 1.25f, kMaxWidenDigit = 1.15f;

const uint32_t kUpperCodes[41] = {0xC7, 0xFC, 0xE9, 0xE2, 0xE4, 0xE0, 0xE5, 0xE7, 0xEA, 0xEB, 0xE8, 0xEF, 0xEE, 0xEC,
                                  0xC4, 0xC5, 0xC9, 0xE6, 0xC6, 0xF4, 0xF6, 0xF2, 0xFB, 0xF9, 0xFF, 0xD6, 0xDC, 0xF8,
                                  0xA3, 0xD8, 0xD7, 0x192, 0xE1, 0xED, 0xF3, 0xFA, 0xF1, 0xD1, 0xAA, 0xBA, 0xBF};

FT_Library Library() {
    static FT_Library lib = [] {
        FT_Library l = nullptr;
        if (FT_Init_FreeType(&l)) throw std::runtime_error("FreeType initialisation failed");
        return l;
    }();
    return lib;
}

FT_Face Face(const char* file) {
    static std::map<std::string, FT_Face> faces;
    auto it = faces.find(file);
    if (it != faces.end()) return it->second;
    FT_Face f = nullptr;
    std::string path = FontPath(file);
    if (FT_New_Face(Library(), path.c_str(), 0, &f)) throw std::runtime_error("cannot open font " + path);
    faces[file] = f;
    return f;
}

void SetSize(FT_Face f, float w, float h) {
    if (FT_Set_Char_Size(f, FT_F26Dot6(std::lround(w * 64)), FT_F26Dot6(std::lround(h * 64)), 72, 72))
        throw std::runtime_error("font size not available");
}

std::vector<uint32_t> DecodeUtf8(const std::string& s) {
    std::vector<uint32_t> out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        uint32_t cp;
        int extra;
        if (c < 0x80) { cp = c; extra = 0; }
        else if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; extra = 1; }
        else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; extra = 2; }
        else if ((c & 0xF8) == 0xF0) { cp = c & 0x07; extra = 3; }
        else throw std::runtime_error("bad UTF-8 in text: " + s);
        for (int k = 1; k <= extra; ++k) {
            if (i + size_t(k) >= s.size()) throw std::runtime_error("truncated UTF-8 in text: " + s);
            unsigned char cc = static_cast<unsigned char>(s[i + size_t(k)]);
            if ((cc & 0xC0) != 0x80) throw std::runtime_error("bad UTF-8 in text: " + s);
            cp = (cp << 6) | (cc & 0x3F);
        }
        out.push_back(cp);
        i += size_t(extra) + 1;
    }
    return out;
}

// Horizontal size that gives "M" the advance the style asks for.
float HorizontalSize(const SheetStyle& st) {
    FT_Face f = Face(st.face);
    SetSize(f, st.pixelHeight, st.pixelHeight);
    if (FT_Load_Char(f, 'M', FT_LOAD_NO_HINTING)) throw std::runtime_error("no M in font");
    float adv = float(f->glyph->advance.x) / 64.0f;
    return st.pixelHeight * st.advanceM / adv;
}

}  // namespace

std::string FontPath(const char* fontFile) { return std::string("/usr/share/fonts/truetype/dejavu/") + fontFile; }

const FontSpec& GlyphFont(int kind) {
    if (kind < 0 || kind > 2) throw std::runtime_error("font kind out of range");
    return kFonts[kind];
}

uint32_t GameCodeToUnicode(unsigned code) {
    if (code >= 32 && code <= 126) return code;
    if (code >= 128 && code <= 168) return kUpperCodes[code - 128];
    return 0;
}

std::string ToGameCharset(const std::string& utf8) {
    std::string out;
    for (uint32_t cp : DecodeUtf8(utf8)) {
        if (cp == '\n' || (cp >= 32 && cp <= 126)) { out += char(cp); continue; }
        unsigned code = 0;
        for (unsigned c = 128; c <= 168; ++c)
            if (kUpperCodes[c - 128] == cp) code = c;
        if (!code) throw std::runtime_error("character U+" + std::to_string(cp) + " has no glyph: " + utf8);
        out += char(code);
    }
    return out;
}

std::array<int, 256> MeasureWidthTable(int kind) {
    const FontSpec& spec = GlyphFont(kind);
    const SheetStyle& st = kStyles[kind];
    FT_Face f = Face(st.face);
    SetSize(f, HorizontalSize(st), st.pixelHeight);
    std::array<int, 256> w{};
    for (unsigned code = 32; code <= 168; ++code) {
        uint32_t cp = GameCodeToUnicode(code);
        if (!cp) {
            w[code] = spec.minWidth;   // 127: no glyph, but the table gives every code up to 168 a width
            continue;
        }
        if (FT_Load_Char(f, cp, FT_LOAD_NO_HINTING)) throw std::runtime_error("glyph missing from font");
        int adv = int(std::lround(float(f->glyph->advance.x) / 64.0f));
        w[code] = std::clamp(adv, spec.minWidth, std::min(spec.maxWidth, spec.cellW));
    }
    return w;
}

const std::array<int, 256>& GameWidthTable(int kind) {
    static const std::array<std::array<int, 256>, 3> tables = [] {
        std::array<std::array<int, 256>, 3> t{};
        for (int i = 0; i < 256; ++i) {
            t[0][size_t(i)] = kGlyphWidthsLarge[i];
            t[1][size_t(i)] = kGlyphWidthsMedium[i];
            t[2][size_t(i)] = kGlyphWidthsSmall[i];
        }
        return t;
    }();
    if (kind < 0 || kind > 2) throw std::runtime_error("font kind out of range");
    return tables[size_t(kind)];
}

GlyphSheet BuildGlyphSheet(int kind) {
    const FontSpec& spec = GlyphFont(kind);
    const SheetStyle& st = kStyles[kind];
    GlyphSheet sheet;
    sheet.widths = GameWidthTable(kind);
    sheet.image = Image(spec.sheetW, spec.sheetH, 0x00FFFFFFu);
    FT_Face f = Face(st.face);
    const float hsize = HorizontalSize(st);
    for (unsigned code = 33; code <= 168; ++code) {
        uint32_t cp = GameCodeToUnicode(code);
        int width = sheet.widths[code];
        if (!cp || width <= 0) continue;
        int col = int(code % 20), row = int(code / 20);
        int cx = col * spec.cellW, cy = row * spec.cellH;
        if (cy + spec.cellH > spec.sheetH) throw std::runtime_error("glyph cell outside the sheet");
        // The table fixes every advance. A glyph drawn at its natural size where the table gives
        // more room would leave the difference as a gap after it ("M usic"), so it is widened
        // towards the advance (within the limits above), and what is left over is shared out
        // before and after it. Where the table gives less room the bearings shrink the same way
        // on both sides, and a glyph whose ink does not fit at all is squeezed until it does,
        // one column kept free.
        SetSize(f, hsize, st.pixelHeight);
        if (FT_Load_Char(f, cp, FT_LOAD_NO_HINTING)) throw std::runtime_error("glyph missing from font");
        const float natural = float(f->glyph->advance.x) / 64.0f;
        const float widest = cp >= '0' && cp <= '9' ? kMaxWidenDigit : kMaxWiden;
        float scale = natural > 0.0f ? std::clamp(float(width) / natural, 1.0f, widest) : 1.0f;
        for (int attempt = 0; attempt < 4; ++attempt) {
            SetSize(f, hsize * scale, st.pixelHeight);
            if (FT_Load_Char(f, cp, FT_LOAD_RENDER | FT_LOAD_NO_HINTING)) throw std::runtime_error("glyph render failed");
            int ink = int(f->glyph->bitmap.width);
            int room = std::max(1, width - 1);
            if (ink <= room) break;
            scale *= float(room) / float(ink) * 0.98f;
        }
        const FT_Bitmap& bm = f->glyph->bitmap;
        int inkW = int(bm.width);
        const float drawnAdvance = float(f->glyph->advance.x) / 64.0f;
        const int centred = int(std::lround(float(f->glyph->bitmap_left) + (float(width) - drawnAdvance) * 0.5f));
        int x0 = std::clamp(centred, 0, std::max(0, width - 1 - inkW));
        int y0 = st.baseline - f->glyph->bitmap_top;
        for (int y = 0; y < int(bm.rows); ++y) {
            int ty = y0 + y;
            if (ty < 0 || ty >= spec.cellH) continue;   // accents clipped to the cell
            for (int x = 0; x < inkW; ++x) {
                int tx = x0 + x;
                if (tx >= width || tx >= spec.cellW) continue;
                unsigned char a = bm.buffer[y * bm.pitch + x];
                if (a) sheet.image.Set(cx + tx, cy + ty, Argb(a, 255, 255, 255));
            }
        }
    }
    return sheet;
}

int MeasureText(const char* fontFile, float pixelSize, const std::string& utf8, float stretchX) {
    FT_Face f = Face(fontFile);
    SetSize(f, pixelSize * stretchX, pixelSize);
    float pen = 0;
    for (uint32_t cp : DecodeUtf8(utf8)) {
        if (FT_Load_Char(f, cp, FT_LOAD_NO_HINTING)) continue;
        pen += float(f->glyph->advance.x) / 64.0f;
    }
    return int(std::lround(pen));
}

int PaintText(Image& img, const char* fontFile, float pixelSize, float x, float baseline, uint32_t colour,
              const std::string& utf8, Align align, float stretchX) {
    int width = MeasureText(fontFile, pixelSize, utf8, stretchX);
    if (align == Align::Centre) x -= float(width) * 0.5f;
    if (align == Align::Right) x -= float(width);
    FT_Face f = Face(fontFile);
    SetSize(f, pixelSize * stretchX, pixelSize);
    float pen = x;
    for (uint32_t cp : DecodeUtf8(utf8)) {
        if (FT_Load_Char(f, cp, FT_LOAD_RENDER | FT_LOAD_NO_HINTING)) continue;
        const FT_Bitmap& bm = f->glyph->bitmap;
        int ox = int(std::lround(pen)) + f->glyph->bitmap_left, oy = int(std::lround(baseline)) - f->glyph->bitmap_top;
        for (int y = 0; y < int(bm.rows); ++y)
            for (int xx = 0; xx < int(bm.width); ++xx) {
                unsigned char a = bm.buffer[y * bm.pitch + xx];
                if (a) img.Blend(ox + xx, oy + y, colour, a / 255.0f);
            }
        pen += float(f->glyph->advance.x) / 64.0f;
    }
    return width;
}

void PaintTitle(Image& img, const char* fontFile, float pixelSize, float x, float baseline, uint32_t colour,
                const std::string& utf8, Align align, float stretchX) {
    const float off = std::max(1.0f, pixelSize / 18.0f);
    for (int i = 3; i >= 1; --i)
        PaintText(img, fontFile, pixelSize, x + off * i * 0.6f, baseline + off * i * 0.8f, Argb(70, 0, 0, 0), utf8,
                  align, stretchX);
    PaintText(img, fontFile, pixelSize, x, baseline, colour, utf8, align, stretchX);
}

}  // namespace fwdata
