// Text and pixels of the dialog pictures: an RGB canvas, and text in Windows-1252 drawn with
// FreeType (DejaVu Sans) with grey-level anti-aliasing; the built-in 5 x 7 font stands in (with
// one trace) when the font file cannot be read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dialog_text {

struct Canvas {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    // Clip rectangle for everything drawn (x0 <= x < x1).
    int clipX0 = 0, clipY0 = 0, clipX1 = 0, clipY1 = 0;

    void Reset(int width, int height, uint32_t color);
    void ClipTo(int x0, int y0, int x1, int y1);
    void NoClip();
    void Fill(int x, int y, int cw, int ch, uint32_t color);
    void Frame(int x, int y, int cw, int ch, uint32_t color);
    void Blend(int x, int y, uint32_t color, int alpha);  // alpha 0..255
    // Copies another canvas with its top left at (x, y).
    void Paste(const Canvas& other, int x, int y);
};

// Metrics of the dialog font, in pixels.
int LineHeight();
int Ascent();
// Width of the text; with `mnemonics`, '&' marks the next letter and is not drawn ("&&" is '&').
int TextWidth(const std::string& text, bool mnemonics = true);
// Draws one line with its top at y; the mnemonic letter is underlined when `underline`.
void DrawText(Canvas& cv, int x, int y, const std::string& text, uint32_t color, bool mnemonics = true,
              bool underline = true);
// The index in `text` of the character whose cell holds pixel column `x` from the left (for the
// caret), text.size() past the end.
size_t CharacterAt(const std::string& text, int x);
// Breaks text into lines no wider than `width` at blanks (and at '\n').
std::vector<std::string> WrapText(const std::string& text, int width);
// Whether FreeType and the font file are in use (else the 5 x 7 font).
bool UsingFreeType();

}  // namespace dialog_text
