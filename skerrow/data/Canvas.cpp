#include "skerrow/data/GenCommon.h"
#include "platform/win32/png_file.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace gen {

Rgba Mix(Rgba a, Rgba b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return RGB(int(a.r + (b.r - a.r) * t + 0.5), int(a.g + (b.g - a.g) * t + 0.5),
               int(a.b + (b.b - a.b) * t + 0.5), int(a.a + (b.a - a.a) * t + 0.5));
}

Rgba Scale(Rgba c, double f) {
    return RGB(int(c.r * f + 0.5), int(c.g * f + 0.5), int(c.b * f + 0.5), c.a);
}

Rgba Hsv(double h, double s, double v) {
    h = std::fmod(std::fmod(h, 360.0) + 360.0, 360.0) / 60.0;
    const int i = int(h);
    const double f = h - i, p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
    double r = v, g = t, b = p;
    switch (i) {
        case 1: r = q; g = v; b = p; break;
        case 2: r = p; g = v; b = t; break;
        case 3: r = p; g = q; b = v; break;
        case 4: r = t; g = p; b = v; break;
        case 5: r = v; g = p; b = q; break;
        default: break;
    }
    return RGB(int(r * 255 + 0.5), int(g * 255 + 0.5), int(b * 255 + 0.5));
}

void Canvas::Blend(int x, int y, Rgba c, double a) {
    if (!Inside(x, y)) return;
    a = std::clamp(a * c.a / 255.0, 0.0, 1.0);
    if (a <= 0) return;
    Rgba& d = At(x, y);
    const double da = d.a / 255.0;
    const double oa = a + da * (1 - a);
    auto ch = [&](uint8_t s, uint8_t t) {
        return oa <= 0 ? 0 : int((s * a + t * da * (1 - a)) / oa + 0.5);
    };
    d = RGB(ch(c.r, d.r), ch(c.g, d.g), ch(c.b, d.b), int(oa * 255 + 0.5));
}

void Canvas::FillRect(int x, int y, int w, int h, Rgba c) {
    for (int j = std::max(0, y); j < std::min(h_, y + h); ++j)
        for (int i = std::max(0, x); i < std::min(w_, x + w); ++i) At(i, j) = c;
}

void Canvas::BlendRect(int x, int y, int w, int h, Rgba c, double a) {
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i) Blend(i, j, c, a);
}

void Canvas::Frame(int x, int y, int w, int h, Rgba c) {
    FillRect(x, y, w, 1, c);
    FillRect(x, y + h - 1, w, 1, c);
    FillRect(x, y, 1, h, c);
    FillRect(x + w - 1, y, 1, h, c);
}

void Canvas::FillCircle(double cx, double cy, double r, Rgba c) {
    for (int y = int(cy - r - 1); y <= int(cy + r + 1); ++y)
        for (int x = int(cx - r - 1); x <= int(cx + r + 1); ++x) {
            const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
            Blend(x, y, c, std::clamp(r - d + 0.5, 0.0, 1.0));
        }
}

void Canvas::Ring(double cx, double cy, double r, double width, Rgba c) {
    for (int y = int(cy - r - width - 1); y <= int(cy + r + width + 1); ++y)
        for (int x = int(cx - r - width - 1); x <= int(cx + r + width + 1); ++x) {
            const double d = std::fabs(std::hypot(x + 0.5 - cx, y + 0.5 - cy) - r);
            Blend(x, y, c, std::clamp(width / 2 - d + 0.5, 0.0, 1.0));
        }
}

void Canvas::Line(double x0, double y0, double x1, double y1, Rgba c, double width) {
    const double len = std::hypot(x1 - x0, y1 - y0);
    const int steps = std::max(1, int(len * 2));
    for (int s = 0; s <= steps; ++s) {
        const double t = double(s) / steps;
        const double x = x0 + (x1 - x0) * t, y = y0 + (y1 - y0) * t;
        if (width <= 1.0)
            Set(int(x), int(y), c);
        else
            FillCircle(x, y, width / 2, c);
    }
}

void Canvas::VGradient(int x, int y, int w, int h, Rgba top, Rgba bottom) {
    for (int j = 0; j < h; ++j) {
        const Rgba c = Mix(top, bottom, h > 1 ? double(j) / (h - 1) : 0);
        for (int i = 0; i < w; ++i) Set(x + i, y + j, c);
    }
}

void Canvas::Bevel(int x, int y, int w, int h, Rgba face, int depth) {
    VGradient(x, y, w, h, Scale(face, 1.15), Scale(face, 0.8));
    for (int d = 0; d < depth; ++d) {
        const Rgba hi = Mix(face, RGB(255, 255, 255), 0.55 - 0.12 * d);
        const Rgba lo = Scale(face, 0.45 + 0.1 * d);
        FillRect(x + d, y + d, w - 2 * d, 1, hi);
        FillRect(x + d, y + d, 1, h - 2 * d, hi);
        FillRect(x + d, y + h - 1 - d, w - 2 * d, 1, lo);
        FillRect(x + w - 1 - d, y + d, 1, h - 2 * d, lo);
    }
}

void Canvas::Paste(const Canvas& src, int dx, int dy, bool blend) {
    for (int y = 0; y < src.h_; ++y)
        for (int x = 0; x < src.w_; ++x) {
            if (blend)
                Blend(dx + x, dy + y, src.Get(x, y));
            else
                Set(dx + x, dy + y, src.Get(x, y));
        }
}

void Canvas::Glow(double cx, double cy, double r, Rgba c, double strength) {
    for (int y = int(cy - r); y <= int(cy + r); ++y)
        for (int x = int(cx - r); x <= int(cx + r); ++x) {
            const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy) / r;
            if (d < 1) Blend(x, y, c, strength * (1 - d) * (1 - d));
        }
}

void Canvas::Stars(Rng& rng, int count, int x0, int y0, int w, int h) {
    for (int i = 0; i < count; ++i) {
        const int x = x0 + rng.Below(w), y = y0 + rng.Below(h);
        const int kind = rng.Below(100);
        const Rgba tint = Mix(RGB(255, 255, 255), Hsv(rng.Below(360), 0.5, 1.0), 0.35);
        if (kind < 80) {
            Blend(x, y, tint, 0.35 + rng.Unit() * 0.5);
        } else if (kind < 97) {
            Blend(x, y, tint, 1.0);
            Blend(x + 1, y, tint, 0.3);
            Blend(x - 1, y, tint, 0.3);
            Blend(x, y + 1, tint, 0.3);
            Blend(x, y - 1, tint, 0.3);
        } else {
            Glow(x + 0.5, y + 0.5, 4, tint, 0.8);
            for (int k = -3; k <= 3; ++k) {
                Blend(x + k, y, tint, 0.6 - 0.15 * std::abs(k));
                Blend(x, y + k, tint, 0.6 - 0.15 * std::abs(k));
            }
        }
    }
}

Canvas Canvas::Scaled(int w, int h) const {
    Canvas out(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int sx0 = x * w_ / w, sx1 = std::max(sx0 + 1, (x + 1) * w_ / w);
            const int sy0 = y * h_ / h, sy1 = std::max(sy0 + 1, (y + 1) * h_ / h);
            double r = 0, g = 0, b = 0, a = 0;
            int n = 0;
            for (int j = sy0; j < sy1; ++j)
                for (int i = sx0; i < sx1; ++i) {
                    const Rgba p = Get(i, j);
                    r += p.r; g += p.g; b += p.b; a += p.a;
                    ++n;
                }
            out.At(x, y) = RGB(int(r / n), int(g / n), int(b / n), int(a / n));
        }
    return out;
}

void Canvas::MakeOpaque() {
    for (Rgba& p : px_) p.a = 255;
    KeyTransparent(RGB(0, 0, 0));
}

void Canvas::KeyTransparent(Rgba key) {
    for (Rgba& p : px_) {
        if (p.a < 128) {
            p = key;
            p.a = 255;
            continue;
        }
        p.a = 255;
        // The display keeps 5 or 6 bits a channel (565 or 555): a pixel that lands on the key
        // after that cut would vanish, so compare at the coarser 5 bits.
        if ((p.r >> 3) == (key.r >> 3) && (p.g >> 3) == (key.g >> 3) && (p.b >> 3) == (key.b >> 3))
            p = RGB(p.r ^ 8, p.g ^ 8, p.b ^ 8);
    }
}

std::vector<uint8_t> EncodeTga(const Canvas& c) {
    std::vector<uint8_t> out(18, 0);
    out[2] = 2;
    out[12] = uint8_t(c.Width());
    out[13] = uint8_t(c.Width() >> 8);
    out[14] = uint8_t(c.Height());
    out[15] = uint8_t(c.Height() >> 8);
    out[16] = 24;
    out[17] = 0;  // origin bottom-left: rows bottom-up, as the reader takes them
    out.reserve(18 + size_t(c.Width()) * c.Height() * 3);
    for (int y = c.Height() - 1; y >= 0; --y)
        for (int x = 0; x < c.Width(); ++x) {
            const Rgba p = c.Get(x, y);
            out.push_back(p.b);
            out.push_back(p.g);
            out.push_back(p.r);
        }
    return out;
}

std::vector<uint8_t> EncodeBmp(const Canvas& c) {
    const int stride = (c.Width() * 3 + 3) & ~3;
    const uint32_t dataSize = uint32_t(stride) * c.Height();
    std::vector<uint8_t> out(54, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) out[at + i] = uint8_t(v >> (8 * i));
    };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, 54 + dataSize);
    put32(10, 54);
    put32(14, 40);
    put32(18, uint32_t(c.Width()));
    put32(22, uint32_t(c.Height()));
    out[26] = 1;
    out[28] = 24;
    put32(34, dataSize);
    put32(38, 2835);
    put32(42, 2835);
    for (int y = c.Height() - 1; y >= 0; --y) {
        for (int x = 0; x < c.Width(); ++x) {
            const Rgba p = c.Get(x, y);
            out.push_back(p.b);
            out.push_back(p.g);
            out.push_back(p.r);
        }
        for (int k = c.Width() * 3; k < stride; ++k) out.push_back(0);
    }
    return out;
}

bool WritePng(const std::string& path, const Canvas& c) {
    std::vector<uint8_t> rgb;
    rgb.reserve(size_t(c.Width()) * c.Height() * 3);
    for (int y = 0; y < c.Height(); ++y)
        for (int x = 0; x < c.Width(); ++x) {
            const Rgba p = c.Get(x, y);
            rgb.insert(rgb.end(), {p.r, p.g, p.b});
        }
    std::string why;
    return PlatformWritePng(path, c.Width(), c.Height(), 3, rgb, why);
}

std::string FontPath(bool bold) {
    return bold ? "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed-Bold.ttf"
                : "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed.ttf";
}

Font::Font(const std::string& path, int pixelSize) {
    FT_Library lib = nullptr;
    if (FT_Init_FreeType(&lib)) throw std::runtime_error("FreeType failed to start");
    lib_ = lib;
    FT_Face face = nullptr;
    if (FT_New_Face(lib, path.c_str(), 0, &face))
        throw std::runtime_error("cannot open font " + path);
    face_ = face;
    SetSize(pixelSize);
}

Font::~Font() {
    if (face_) FT_Done_Face(FT_Face(face_));
    if (lib_) FT_Done_FreeType(FT_Library(lib_));
}

void Font::SetSize(int px) { FT_Set_Pixel_Sizes(FT_Face(face_), 0, FT_UInt(px)); }

int Font::Ascender() { return int(FT_Face(face_)->size->metrics.ascender >> 6); }

Font::Glyph Font::Render(uint32_t ch) {
    Glyph g;
    FT_Face face = FT_Face(face_);
    if (FT_Load_Char(face, ch, FT_LOAD_RENDER)) return g;
    const FT_Bitmap& bm = face->glyph->bitmap;
    g.w = int(bm.width);
    g.h = int(bm.rows);
    g.left = face->glyph->bitmap_left;
    g.top = face->glyph->bitmap_top;
    g.advance = int(face->glyph->advance.x >> 6);
    g.cov.resize(size_t(g.w) * g.h);
    for (int y = 0; y < g.h; ++y)
        for (int x = 0; x < g.w; ++x) g.cov[size_t(y) * g.w + x] = bm.buffer[y * bm.pitch + x];
    return g;
}

int Font::Measure(const std::string& text) {
    int w = 0;
    for (unsigned char ch : text) w += Render(ch).advance;
    return w;
}

int Font::Draw(Canvas& c, int x, int y, const std::string& text, Rgba colour) {
    const int x0 = x;
    for (unsigned char ch : text) {
        const Glyph g = Render(ch);
        for (int j = 0; j < g.h; ++j)
            for (int i = 0; i < g.w; ++i)
                c.Blend(x + g.left + i, y - g.top + j, colour, g.cov[size_t(j) * g.w + i] / 255.0);
        x += g.advance;
    }
    return x - x0;
}

int Font::DrawFancy(Canvas& c, int x, int y, const std::string& text, Rgba top, Rgba bottom,
                    Rgba outline) {
    const int asc = std::max(1, Ascender());
    const int x0 = x;
    for (unsigned char ch : text) {
        const Glyph g = Render(ch);
        for (int pass = 0; pass < 2; ++pass)
            for (int j = 0; j < g.h; ++j)
                for (int i = 0; i < g.w; ++i) {
                    const double a = g.cov[size_t(j) * g.w + i] / 255.0;
                    if (a <= 0) continue;
                    const int px = x + g.left + i, py = y - g.top + j;
                    if (pass == 0) {
                        for (int oy = -1; oy <= 1; ++oy)
                            for (int ox = -1; ox <= 1; ++ox) c.Blend(px + ox, py + oy + 1, outline, a);
                    } else {
                        const double t = double(py - (y - asc)) / asc;
                        c.Blend(px, py, Mix(top, bottom, t), a);
                    }
                }
        x += g.advance;
    }
    return x - x0;
}

void DataSet::Add(const std::string& name, std::vector<uint8_t> bytes) {
    if (!data.count(name)) order.push_back(name);
    data[name] = std::move(bytes);
}

void DataSet::AddText(const std::string& name, const std::string& text) {
    Add(name, std::vector<uint8_t>(text.begin(), text.end()));
}

void DataSet::AddLang(const std::string& name, const std::string& text) {
    if (!lang.count(name)) langOrder.push_back(name);
    lang[name] = std::vector<uint8_t>(text.begin(), text.end());
}

void DataSet::AddTga(const std::string& name, const Canvas& c) {
    Add(name, EncodeTga(c));
    pictures[name] = c;
}

void DataSet::AddBmp(const std::string& name, const Canvas& c) {
    Add(name, EncodeBmp(c));
    pictures[name] = c;
}

}  // namespace gen
