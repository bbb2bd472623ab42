// Glyph sheets of the three bitmap fonts, the game's character set, and a small FreeType
// text painter for the pictures.
#pragma once

#include <array>
#include <string>

#include "fenwolt/data/Image.h"

namespace fwdata {

struct FontSpec {
    int kind;
    const char* file;         // glyph sheet as the game names it
    int sheetW, sheetH, cellW, cellH;
    int minWidth, maxWidth;   // the range of the width table
};
const FontSpec& GlyphFont(int kind);   // kinds 0, 1, 2

// The game's 8-bit character set: 32..126 as ASCII, 128..168 the accented letters and signs
// of the old DOS Latin-1 page; 0 for codes without a glyph.
uint32_t GameCodeToUnicode(unsigned code);
// UTF-8 text to the game's character set; throws on a character the fonts cannot draw.
std::string ToGameCharset(const std::string& utf8);

struct GlyphSheet {
    Image image;                 // white glyphs, coverage in alpha
    std::array<int, 256> widths; // advance after each code (the table the game compiles in)
};
// Renders a sheet so that every glyph fits the advance its width table gives.
GlyphSheet BuildGlyphSheet(int kind);
// The width tables the game is built with (GlyphWidths.h).
const std::array<int, 256>& GameWidthTable(int kind);
// Natural advances measured from the fonts: used to write GlyphWidths.h.
std::array<int, 256> MeasureWidthTable(int kind);

enum class Align { Left, Centre, Right };
// Draws UTF-8 text with a TrueType font from the system's DejaVu set ("DejaVuSans-Bold.ttf").
// Returns the advance width in pixels.
int PaintText(Image& img, const char* fontFile, float pixelSize, float x, float baseline, uint32_t colour,
              const std::string& utf8, Align align = Align::Left, float stretchX = 1.0f);
int MeasureText(const char* fontFile, float pixelSize, const std::string& utf8, float stretchX = 1.0f);
// Text with a soft dark shadow under it, for titles on pictures.
void PaintTitle(Image& img, const char* fontFile, float pixelSize, float x, float baseline, uint32_t colour,
                const std::string& utf8, Align align = Align::Centre, float stretchX = 1.0f);

std::string FontPath(const char* fontFile);

}  // namespace fwdata
