// TrueType text rendered by FreeType straight into a locked 16-bit surface, with printf
// formatting, line feeds and inline colour tags "<0xRRGGBB>".
#pragma once

#include <cstdint>

struct FT_LibraryRec_;
struct FT_FaceRec_;

class TrueTypeFont {
public:
    // Formatted texts longer than this are cut.
    static constexpr int kTextBuffer = 1024;

    TrueTypeFont() = default;
    ~TrueTypeFont() { Free(); }
    TrueTypeFont(const TrueTypeFont&) = delete;
    TrueTypeFont& operator=(const TrueTypeFont&) = delete;

    int Load(const char* name);
    void Free();
    int IsLoaded() const { return face_ != nullptr; }
    void SetTarget(uint16_t* pixels, int pitchBytes);
    void SetClip(int left, int top, int right, int bottom);
    void SetBlendMode(int mode, uint32_t backgroundRgb);
    void SetSize(int pixels);
    int Size() const { return size_; }
    void Printf(int x, int y, uint16_t colour, const char* format, ...) __attribute__((format(printf, 5, 6)));
    // Draws a text as it stands (no formatting).
    void Print(int x, int y, uint16_t colour, const char* text);
    int TextWidth(const char16_t* format, ...);
    // Width of a 16-bit text as it stands (no formatting; colour tags skipped).
    int TextWidthPlain(const char16_t* text);
    // Width of a plain 8-bit text (colour tags skipped).
    int TextWidth8(const char* text);
    // One pixel of the coverage blend, exposed for the tests: coverage c against `under`.
    uint16_t BlendPixel(uint16_t under, int coverage) const;

    int32_t blendMode = 2;
    int32_t penX = 0, penY = 0, lineStartX = 0;
    uint16_t colour = 0xFFFF;
    int32_t clipLeft = 0, clipTop = 0, clipRight = 640, clipBottom = 480;
    uint8_t backR = 0, backG = 0, backB = 0;

private:
    void DrawGlyph(uint32_t code);
    int Advance(uint32_t code);

    char* data_ = nullptr;
    FT_LibraryRec_* library_ = nullptr;
    FT_FaceRec_* face_ = nullptr;
    uint16_t* target_ = nullptr;
    int32_t pitch_ = 0;
    int32_t size_ = 32;
};

extern TrueTypeFont* g_currentFont;
void BeginText(TrueTypeFont* font, int size);
void EndText();
int IsTextBatchOpen();
int MeasureText(const char* text);
// Copies `text` into `out` (at most outSize units including the terminator).
void WidenString(const char* text, char16_t* out, int outSize);
// Parses a colour tag at `p` ("<0x" hex digits, one closing character). Returns the number of
// characters it takes (0 when `p` is no tag) and the colour in `rgb`.
int ParseColourTag(const char* p, uint32_t* rgb);
