// Shared pieces of the data-set generator: a seeded random source, an RGBA canvas with the
// few drawing operations the pictures need, the image encoders, text rendering through
// FreeType, and the collection of files that ends up in the two packs.
#pragma once

#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace gen {

// Our own generator so that the data set is the same on every machine and every run.
class Rng {
public:
    explicit Rng(uint32_t seed) : state_(seed * 2654435761u + 0x9E3779B9u) {}
    uint32_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    int Below(int n) { return n <= 0 ? 0 : int(Next() % uint32_t(n)); }
    int Range(int lo, int hi) { return lo + Below(hi - lo + 1); }  // inclusive
    double Unit() { return (Next() >> 8) * (1.0 / 16777216.0); }
    double Signed() { return Unit() * 2.0 - 1.0; }

private:
    uint32_t state_;
};

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 0;
};
inline Rgba RGB(int r, int g, int b, int a = 255) {
    auto c = [](int v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); };
    return {c(r), c(g), c(b), c(a)};
}
Rgba Mix(Rgba a, Rgba b, double t);
Rgba Scale(Rgba c, double f);
Rgba Hsv(double h, double s, double v);  // h in degrees

class Canvas {
public:
    Canvas() = default;
    Canvas(int w, int h, Rgba fill = {}) : w_(w), h_(h), px_(size_t(w) * h, fill) {}
    int Width() const { return w_; }
    int Height() const { return h_; }
    Rgba& At(int x, int y) { return px_[size_t(y) * w_ + x]; }
    Rgba Get(int x, int y) const { return px_[size_t(y) * w_ + x]; }
    bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < w_ && y < h_; }
    void Set(int x, int y, Rgba c) {
        if (Inside(x, y)) At(x, y) = c;
    }
    // Source-over blend of c with coverage a (0..1) times c.a.
    void Blend(int x, int y, Rgba c, double a = 1.0);
    void FillRect(int x, int y, int w, int h, Rgba c);
    void BlendRect(int x, int y, int w, int h, Rgba c, double a);
    void Frame(int x, int y, int w, int h, Rgba c);
    void FillCircle(double cx, double cy, double r, Rgba c);  // anti-aliased edge
    void Ring(double cx, double cy, double r, double width, Rgba c);
    void Line(double x0, double y0, double x1, double y1, Rgba c, double width = 1.0);
    void VGradient(int x, int y, int w, int h, Rgba top, Rgba bottom);
    void Bevel(int x, int y, int w, int h, Rgba face, int depth);  // raised box
    void Paste(const Canvas& src, int dx, int dy, bool blend = true);
    void Glow(double cx, double cy, double r, Rgba c, double strength);
    void Stars(Rng& rng, int count, int x0, int y0, int w, int h);
    Canvas Scaled(int w, int h) const;  // box filter / nearest for contact sheets

    // Pixels below half alpha become the key colour; opaque pixels are nudged away from it,
    // so that a sheet drawn with a colour key shows exactly what was painted.
    void KeyTransparent(Rgba key);
    // Every pixel opaque and none on the black key: for pictures drawn whole.
    void MakeOpaque();

private:
    int w_ = 0, h_ = 0;
    std::vector<Rgba> px_;
};

// Encoders in exactly the variants the game's decoder reads.
std::vector<uint8_t> EncodeTga(const Canvas& c);   // type 2, 24-bit, rows bottom-up
std::vector<uint8_t> EncodeBmp(const Canvas& c);   // 24-bit, rows bottom-up, padded to 4
bool WritePng(const std::string& path, const Canvas& c);

// Text through FreeType (the generator's own use: bitmap fonts, labels painted into pictures).
class Font {
public:
    Font(const std::string& path, int pixelSize);
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;
    bool Ok() const { return face_ != nullptr; }
    void SetSize(int px);
    int Measure(const std::string& text);
    int Ascender();
    // Draws with the baseline at y; returns the advance.
    int Draw(Canvas& c, int x, int y, const std::string& text, Rgba colour);
    // A gradient fill (top colour to bottom colour over the ascender) with a dark outline.
    int DrawFancy(Canvas& c, int x, int y, const std::string& text, Rgba top, Rgba bottom,
                  Rgba outline);
    // Coverage bitmap of one character: width, height, left, top, advance.
    struct Glyph {
        int w = 0, h = 0, left = 0, top = 0, advance = 0;
        std::vector<uint8_t> cov;
    };
    Glyph Render(uint32_t ch);

private:
    void* lib_ = nullptr;
    void* face_ = nullptr;
};

std::string FontPath(bool bold = false);

// The files of the data set, by their names inside the packs (without prefix).
struct DataSet {
    std::map<std::string, std::vector<uint8_t>> data;   // into "Ombrelit.dat"
    std::map<std::string, std::vector<uint8_t>> lang;   // into "Ombrelit.lng"
    std::vector<std::string> order;                      // data names in creation order
    std::vector<std::string> langOrder;
    std::map<std::string, Canvas> pictures;              // for the contact sheets
    void Add(const std::string& name, std::vector<uint8_t> bytes);
    void AddText(const std::string& name, const std::string& text);
    void AddLang(const std::string& name, const std::string& text);
    void AddTga(const std::string& name, const Canvas& c);
    void AddBmp(const std::string& name, const Canvas& c);
};

// The parts of the generator.
void MakeTexts(DataSet& ds);
void MakeLevels(DataSet& ds, Canvas* contact, Canvas* preview);
void MakePictures(DataSet& ds);
void MakeFonts(DataSet& ds);
void MakeSounds(DataSet& ds);
void MakeMusic(DataSet& ds);

}  // namespace gen
