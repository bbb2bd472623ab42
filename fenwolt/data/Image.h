// Pictures of the data set: a plain ARGB canvas with the few drawing helpers the
// generators need, and writers for the three formats the game and the contact sheets use.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fwdata {

inline uint32_t Argb(int a, int r, int g, int b) {
    auto c = [](int v) { return static_cast<uint32_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
    return (c(a) << 24) | (c(r) << 16) | (c(g) << 8) | c(b);
}
inline uint32_t Rgb(int r, int g, int b) { return Argb(255, r, g, b); }
inline int ChanA(uint32_t c) { return int(c >> 24); }
inline int ChanR(uint32_t c) { return int((c >> 16) & 255); }
inline int ChanG(uint32_t c) { return int((c >> 8) & 255); }
inline int ChanB(uint32_t c) { return int(c & 255); }
uint32_t Mix(uint32_t a, uint32_t b, float t);      // t = 0 gives a, 1 gives b (all four channels)
uint32_t Shade(uint32_t c, float f);               // RGB scaled by f, alpha kept

struct Image {
    int w = 0, h = 0;
    std::vector<uint32_t> px;   // row-major, top row first
    Image() = default;
    Image(int width, int height, uint32_t fill = 0xFF000000u);
    uint32_t At(int x, int y) const { return px[size_t(y) * w + x]; }
    void Set(int x, int y, uint32_t c) {
        if (x >= 0 && y >= 0 && x < w && y < h) px[size_t(y) * w + x] = c;
    }
    // Source-over blend of c (its alpha) scaled by coverage 0..1.
    void Blend(int x, int y, uint32_t c, float coverage = 1.0f);
    void FillRect(int x0, int y0, int x1, int y1, uint32_t c);          // [x0,x1) x [y0,y1)
    void BlendRect(int x0, int y0, int x1, int y1, uint32_t c);
    void VerticalGradient(int x0, int y0, int x1, int y1, uint32_t top, uint32_t bottom);
    void FillCircle(float cx, float cy, float r, uint32_t c);           // anti-aliased edge
    void Ring(float cx, float cy, float r, float thickness, uint32_t c);
    void Line(float x0, float y0, float x1, float y1, float thickness, uint32_t c);
    void FillPolygon(const std::vector<std::pair<float, float>>& pts, uint32_t c);
    void Frame(int x0, int y0, int x1, int y1, int thickness, uint32_t c);
    void Paste(const Image& src, int dx, int dy);                       // blended
    Image Scaled(int nw, int nh) const;                                 // box filter
};

// Deterministic generator used for every random choice of the data set.
class Rng {
public:
    explicit Rng(uint32_t seed) : s_(seed ? seed : 1u) {}
    uint32_t Next() { s_ ^= s_ << 13; s_ ^= s_ >> 17; s_ ^= s_ << 5; return s_; }
    float Unit() { return float(Next() >> 8) * (1.0f / 16777216.0f); }   // [0,1)
    float Range(float a, float b) { return a + (b - a) * Unit(); }
    int Below(int n) { return n > 0 ? int(Next() % uint32_t(n)) : 0; }
private:
    uint32_t s_;
};

// Value noise in [0,1], tileable with the given period (in lattice cells).
float ValueNoise(float x, float y, int period, uint32_t seed);
float Fractal(float x, float y, int period, int octaves, uint32_t seed);

// Uncompressed TGA (type 2), bottom-up rows, 24 or 32 bits per pixel.
void WriteTga(const std::string& path, const Image& img, int bits);
// Baseline JPEG (libjpeg, sequential Huffman).
void WriteJpeg(const std::string& path, const Image& img, int quality = 90);
void WritePng(const std::string& path, const Image& img);

}  // namespace fwdata
