#include "fenwolt/data/Image.h"
#include "platform/win32/png_file.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include <jpeglib.h>

namespace fwdata {

uint32_t Mix(uint32_t a, uint32_t b, float t) {
    auto m = [t](int x, int y) { return int(std::lround(x + (y - x) * t)); };
    return Argb(m(ChanA(a), ChanA(b)), m(ChanR(a), ChanR(b)), m(ChanG(a), ChanG(b)), m(ChanB(a), ChanB(b)));
}

uint32_t Shade(uint32_t c, float f) {
    return Argb(ChanA(c), int(std::lround(ChanR(c) * f)), int(std::lround(ChanG(c) * f)),
                int(std::lround(ChanB(c) * f)));
}

Image::Image(int width, int height, uint32_t fill) : w(width), h(height), px(size_t(width) * height, fill) {}

void Image::Blend(int x, int y, uint32_t c, float coverage) {
    if (x < 0 || y < 0 || x >= w || y >= h) return;
    float a = ChanA(c) / 255.0f * std::clamp(coverage, 0.0f, 1.0f);
    if (a <= 0.0f) return;
    uint32_t& d = px[size_t(y) * w + x];
    float da = ChanA(d) / 255.0f;
    float oa = a + da * (1.0f - a);
    auto ch = [&](int s, int t) {
        if (oa <= 0.0f) return 0;
        return int(std::lround((s * a + t * da * (1.0f - a)) / oa));
    };
    d = Argb(int(std::lround(oa * 255.0f)), ch(ChanR(c), ChanR(d)), ch(ChanG(c), ChanG(d)), ch(ChanB(c), ChanB(d)));
}

void Image::FillRect(int x0, int y0, int x1, int y1, uint32_t c) {
    for (int y = std::max(0, y0); y < std::min(h, y1); ++y)
        for (int x = std::max(0, x0); x < std::min(w, x1); ++x) px[size_t(y) * w + x] = c;
}

void Image::BlendRect(int x0, int y0, int x1, int y1, uint32_t c) {
    for (int y = std::max(0, y0); y < std::min(h, y1); ++y)
        for (int x = std::max(0, x0); x < std::min(w, x1); ++x) Blend(x, y, c);
}

void Image::VerticalGradient(int x0, int y0, int x1, int y1, uint32_t top, uint32_t bottom) {
    for (int y = std::max(0, y0); y < std::min(h, y1); ++y) {
        float t = (y1 - y0) > 1 ? float(y - y0) / float(y1 - y0 - 1) : 0.0f;
        uint32_t c = Mix(top, bottom, t);
        for (int x = std::max(0, x0); x < std::min(w, x1); ++x) px[size_t(y) * w + x] = c;
    }
}

void Image::FillCircle(float cx, float cy, float r, uint32_t c) {
    int x0 = int(std::floor(cx - r - 1)), x1 = int(std::ceil(cx + r + 1));
    int y0 = int(std::floor(cy - r - 1)), y1 = int(std::ceil(cy + r + 1));
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy);
            Blend(x, y, c, r + 0.5f - d);
        }
}

void Image::Ring(float cx, float cy, float r, float thickness, uint32_t c) {
    int x0 = int(std::floor(cx - r - thickness - 1)), x1 = int(std::ceil(cx + r + thickness + 1));
    int y0 = int(std::floor(cy - r - thickness - 1)), y1 = int(std::ceil(cy + r + thickness + 1));
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            float d = std::fabs(std::hypot(x + 0.5f - cx, y + 0.5f - cy) - r);
            Blend(x, y, c, thickness * 0.5f + 0.5f - d);
        }
}

void Image::Line(float ax, float ay, float bx, float by, float thickness, uint32_t c) {
    int x0 = int(std::floor(std::min(ax, bx) - thickness - 1)), x1 = int(std::ceil(std::max(ax, bx) + thickness + 1));
    int y0 = int(std::floor(std::min(ay, by) - thickness - 1)), y1 = int(std::ceil(std::max(ay, by) + thickness + 1));
    float dx = bx - ax, dy = by - ay, len2 = dx * dx + dy * dy;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            float px_ = x + 0.5f, py_ = y + 0.5f;
            float t = len2 > 0 ? std::clamp(((px_ - ax) * dx + (py_ - ay) * dy) / len2, 0.0f, 1.0f) : 0.0f;
            float d = std::hypot(px_ - (ax + t * dx), py_ - (ay + t * dy));
            Blend(x, y, c, thickness * 0.5f + 0.5f - d);
        }
}

void Image::FillPolygon(const std::vector<std::pair<float, float>>& pts, uint32_t c) {
    if (pts.size() < 3) return;
    float minY = pts[0].second, maxY = pts[0].second;
    for (auto& p : pts) { minY = std::min(minY, p.second); maxY = std::max(maxY, p.second); }
    // 4x vertical supersampling, exact horizontal coverage per span
    for (int y = std::max(0, int(std::floor(minY))); y < std::min(h, int(std::ceil(maxY)) + 1); ++y) {
        std::vector<float> cover(size_t(w), 0.0f);
        for (int s = 0; s < 4; ++s) {
            float sy = y + (s + 0.5f) / 4.0f;
            std::vector<float> xs;
            for (size_t i = 0; i < pts.size(); ++i) {
                auto a = pts[i], b = pts[(i + 1) % pts.size()];
                if ((a.second <= sy) != (b.second <= sy))
                    xs.push_back(a.first + (sy - a.second) / (b.second - a.second) * (b.first - a.first));
            }
            std::sort(xs.begin(), xs.end());
            for (size_t i = 0; i + 1 < xs.size(); i += 2)
                for (int x = std::max(0, int(std::floor(xs[i]))); x < std::min(w, int(std::ceil(xs[i + 1]))); ++x) {
                    float l = std::max(float(x), xs[i]), r = std::min(float(x + 1), xs[i + 1]);
                    if (r > l) cover[size_t(x)] += (r - l) * 0.25f;
                }
        }
        for (int x = 0; x < w; ++x)
            if (cover[size_t(x)] > 0) Blend(x, y, c, cover[size_t(x)]);
    }
}

void Image::Frame(int x0, int y0, int x1, int y1, int t, uint32_t c) {
    FillRect(x0, y0, x1, y0 + t, c);
    FillRect(x0, y1 - t, x1, y1, c);
    FillRect(x0, y0, x0 + t, y1, c);
    FillRect(x1 - t, y0, x1, y1, c);
}

void Image::Paste(const Image& src, int dx, int dy) {
    for (int y = 0; y < src.h; ++y)
        for (int x = 0; x < src.w; ++x) Blend(dx + x, dy + y, src.At(x, y));
}

Image Image::Scaled(int nw, int nh) const {
    Image out(nw, nh);
    for (int y = 0; y < nh; ++y)
        for (int x = 0; x < nw; ++x) {
            int sx0 = x * w / nw, sx1 = std::max(sx0 + 1, (x + 1) * w / nw);
            int sy0 = y * h / nh, sy1 = std::max(sy0 + 1, (y + 1) * h / nh);
            long a = 0, r = 0, g = 0, b = 0, n = 0;
            for (int yy = sy0; yy < sy1; ++yy)
                for (int xx = sx0; xx < sx1; ++xx) {
                    uint32_t c = At(xx, yy);
                    a += ChanA(c); r += ChanR(c); g += ChanG(c); b += ChanB(c); ++n;
                }
            out.px[size_t(y) * nw + x] = Argb(int(a / n), int(r / n), int(g / n), int(b / n));
        }
    return out;
}

static uint32_t Hash(int x, int y, uint32_t seed) {
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}

float ValueNoise(float x, float y, int period, uint32_t seed) {
    int xi = int(std::floor(x)), yi = int(std::floor(y));
    float fx = x - xi, fy = y - yi;
    auto wrap = [period](int v) { return period > 0 ? ((v % period) + period) % period : v; };
    auto val = [&](int a, int b) { return float(Hash(wrap(a), wrap(b), seed) & 0xFFFF) / 65535.0f; };
    float sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
    float top = val(xi, yi) + (val(xi + 1, yi) - val(xi, yi)) * sx;
    float bot = val(xi, yi + 1) + (val(xi + 1, yi + 1) - val(xi, yi + 1)) * sx;
    return top + (bot - top) * sy;
}

float Fractal(float x, float y, int period, int octaves, uint32_t seed) {
    float sum = 0, amp = 1, norm = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += ValueNoise(x, y, period, seed + uint32_t(o) * 101u) * amp;
        norm += amp;
        amp *= 0.5f;
        x *= 2; y *= 2;
        period *= 2;
    }
    return sum / norm;
}

namespace {
struct File {
    FILE* f;
    explicit File(const std::string& p) : f(std::fopen(p.c_str(), "wb")) {
        if (!f) throw std::runtime_error("cannot write " + p);
    }
    ~File() { if (f) std::fclose(f); }
    void Close(const std::string& p) {
        bool bad = std::ferror(f) != 0;
        if (std::fclose(f) != 0) bad = true;
        f = nullptr;
        if (bad) throw std::runtime_error("write failed: " + p);
    }
};
}  // namespace

void WriteTga(const std::string& path, const Image& img, int bits) {
    if (bits != 24 && bits != 32) throw std::runtime_error("TGA depth must be 24 or 32: " + path);
    if (img.w <= 0 || img.h <= 0 || img.w > 65535 || img.h > 65535) throw std::runtime_error("bad TGA size: " + path);
    unsigned char hdr[18] = {};
    hdr[2] = 2;
    hdr[12] = uint8_t(img.w & 255); hdr[13] = uint8_t(img.w >> 8);
    hdr[14] = uint8_t(img.h & 255); hdr[15] = uint8_t(img.h >> 8);
    hdr[16] = uint8_t(bits);
    hdr[17] = bits == 32 ? 8 : 0;    // alpha bits; bottom-up rows
    std::vector<unsigned char> data;
    data.reserve(size_t(img.w) * img.h * (bits / 8));
    for (int y = img.h - 1; y >= 0; --y)
        for (int x = 0; x < img.w; ++x) {
            uint32_t c = img.At(x, y);
            data.push_back(uint8_t(ChanB(c)));
            data.push_back(uint8_t(ChanG(c)));
            data.push_back(uint8_t(ChanR(c)));
            if (bits == 32) data.push_back(uint8_t(ChanA(c)));
        }
    File f(path);
    std::fwrite(hdr, 1, sizeof hdr, f.f);
    std::fwrite(data.data(), 1, data.size(), f.f);
    f.Close(path);
}

void WriteJpeg(const std::string& path, const Image& img, int quality) {
    File f(path);
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, f.f);
    cinfo.image_width = JDIMENSION(img.w);
    cinfo.image_height = JDIMENSION(img.h);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    cinfo.optimize_coding = FALSE;   // plain baseline tables, readable by any decoder
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(size_t(img.w) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        int y = int(cinfo.next_scanline);
        for (int x = 0; x < img.w; ++x) {
            uint32_t c = img.At(x, y);
            row[size_t(x) * 3] = uint8_t(ChanR(c));
            row[size_t(x) * 3 + 1] = uint8_t(ChanG(c));
            row[size_t(x) * 3 + 2] = uint8_t(ChanB(c));
        }
        JSAMPROW rp = row.data();
        jpeg_write_scanlines(&cinfo, &rp, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    f.Close(path);
}

void WritePng(const std::string& path, const Image& img) {
    std::vector<unsigned char> rgba;
    rgba.reserve(size_t(img.w) * img.h * 4);
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x) {
            uint32_t c = img.At(x, y);
            rgba.insert(rgba.end(), {uint8_t(ChanR(c)), uint8_t(ChanG(c)), uint8_t(ChanB(c)), uint8_t(ChanA(c))});
        }
    std::string why;
    if (!PlatformWritePng(path, img.w, img.h, 4, rgba, why)) throw std::runtime_error("PNG: " + why);
}

}  // namespace fwdata
