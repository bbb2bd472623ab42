#include "fenwolt/data/Contact.h"

#include <algorithm>
#include <cmath>

#include "fenwolt/data/Fonts.h"

namespace fwdata {

Image RenderMesh(const Mesh& m, const std::vector<Vec3>* positions, const Image* texture, int w, int h, float yaw,
                 float pitchAngle, uint32_t background) {
    Image img(w, h, background);
    std::vector<float> depth(size_t(w) * h, 1e30f);
    const auto& P = [&](size_t i) { return positions ? (*positions)[i] : m.verts[i].p; };
    Vec3 view = Normalize({std::sin(yaw) * std::cos(pitchAngle), -std::sin(pitchAngle), std::cos(yaw) * std::cos(pitchAngle)});
    Vec3 right = Normalize(Cross({0, 1, 0}, view));
    Vec3 up = Cross(view, right);
    Vec3 light = Normalize({-0.4f, -0.8f, 0.45f});
    // fit the projected bounds into the picture
    float x0 = 1e30f, x1 = -1e30f, y0 = 1e30f, y1 = -1e30f;
    for (size_t i = 0; i < m.verts.size(); ++i) {
        float sx = Dot(P(i), right), sy = Dot(P(i), up);
        x0 = std::min(x0, sx); x1 = std::max(x1, sx); y0 = std::min(y0, sy); y1 = std::max(y1, sy);
    }
    float scale = 0.9f * std::min(w / std::max(x1 - x0, 1e-3f), h / std::max(y1 - y0, 1e-3f));
    float cx = (x0 + x1) * 0.5f, cy = (y0 + y1) * 0.5f;
    struct SV { float x, y, z, u, v, shade; };
    auto project = [&](size_t i) {
        Vec3 p = P(i);
        float shade = 0.35f + 0.65f * std::max(0.0f, -Dot(m.verts[i].n, light));
        return SV{w * 0.5f + (Dot(p, right) - cx) * scale, h * 0.5f - (Dot(p, up) - cy) * scale, Dot(p, view),
                  m.verts[i].u, m.verts[i].v, shade};
    };
    for (size_t t = 0; t + 2 < m.idx.size(); t += 3) {
        size_t ia = m.idx[t], ib = m.idx[t + 1], ic = m.idx[t + 2];
        Vec3 fn = Cross(P(ib) - P(ia), P(ic) - P(ia));
        if (Dot(fn, view) >= 0) continue;   // back face: the game would not draw it either
        SV a = project(ia), b = project(ib), c = project(ic);
        float area = (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
        if (std::fabs(area) < 1e-6f) continue;
        int minX = std::max(0, int(std::floor(std::min({a.x, b.x, c.x}))));
        int maxX = std::min(w - 1, int(std::ceil(std::max({a.x, b.x, c.x}))));
        int minY = std::max(0, int(std::floor(std::min({a.y, b.y, c.y}))));
        int maxY = std::min(h - 1, int(std::ceil(std::max({a.y, b.y, c.y}))));
        for (int y = minY; y <= maxY; ++y)
            for (int x = minX; x <= maxX; ++x) {
                float px = x + 0.5f, py = y + 0.5f;
                float wa = ((b.x - px) * (c.y - py) - (c.x - px) * (b.y - py)) / area;
                float wb = ((c.x - px) * (a.y - py) - (a.x - px) * (c.y - py)) / area;
                float wc = 1 - wa - wb;
                if (wa < 0 || wb < 0 || wc < 0) continue;
                float z = wa * a.z + wb * b.z + wc * c.z;
                float& d = depth[size_t(y) * w + x];
                if (z >= d) continue;
                uint32_t col = m.diffuse | 0xFF000000u;
                if (texture) {
                    float u = wa * a.u + wb * b.u + wc * c.u, v = wa * a.v + wb * b.v + wc * c.v;
                    u -= std::floor(u);
                    v -= std::floor(v);
                    uint32_t tc = texture->At(std::min(texture->w - 1, int(u * texture->w)),
                                              std::min(texture->h - 1, int(v * texture->h)));
                    if (ChanA(tc) < 40) continue;   // cut-out parts (nets, markers)
                    col = tc | 0xFF000000u;
                }
                d = z;
                img.Set(x, y, Shade(col, wa * a.shade + wb * b.shade + wc * c.shade));
            }
    }
    return img;
}

namespace {
struct ClipVert { float x, y, z, w, u, v, shade; };   // clip space, before the divide

ClipVert Lerp(const ClipVert& a, const ClipVert& b, float t) {
    auto l = [t](float p, float q) { return p + (q - p) * t; };
    return {l(a.x, b.x), l(a.y, b.y), l(a.z, b.z), l(a.w, b.w), l(a.u, b.u), l(a.v, b.v), l(a.shade, b.shade)};
}
}  // namespace

Image RenderScene(const std::vector<SceneItem>& items, Vec3 eye, Vec3 target, float fovY, int w, int h,
                  uint32_t clearColour) {
    Image img(w, h, clearColour);
    std::vector<float> depth(size_t(w) * h, 1e30f);
    Vec3 zAxis = Normalize(target - eye), xAxis = Normalize(Cross({0, 1, 0}, zAxis)), yAxis = Cross(zAxis, xAxis);
    const float yScale = 1.0f / std::tan(fovY * 0.5f), xScale = yScale * float(h) / float(w), nearZ = 0.5f;
    const Vec3 light = Normalize({-0.4f, -0.8f, 0.45f});
    for (const auto& it : items) {
        const Mesh& m = *it.mesh;
        float c = std::cos(it.ry), s = std::sin(it.ry);
        auto place = [&](Vec3 p) {   // row-vector rotation about y as the game builds it
            Vec3 r{p.x * c + p.z * s, p.y, -p.x * s + p.z * c};
            return Vec3{r.x * it.scale + it.x, r.y * it.scale + it.y, r.z * it.scale + it.z};
        };
        auto turn = [&](Vec3 n) { return Vec3{n.x * c + n.z * s, n.y, -n.x * s + n.z * c}; };
        std::vector<ClipVert> cv(m.verts.size());
        std::vector<Vec3> world(m.verts.size());
        for (size_t i = 0; i < m.verts.size(); ++i) {
            Vec3 p = place(it.positions ? (*it.positions)[i] : m.verts[i].p);
            world[i] = p;
            Vec3 d = p - eye;
            float shade = 0.4f + 0.6f * std::max(0.0f, -Dot(turn(m.verts[i].n), light));
            cv[i] = {Dot(d, xAxis) * xScale, Dot(d, yAxis) * yScale, Dot(d, zAxis), Dot(d, zAxis), m.verts[i].u,
                     m.verts[i].v, shade};
        }
        for (size_t t = 0; t + 2 < m.idx.size(); t += 3) {
            size_t ia = m.idx[t], ib = m.idx[t + 1], ic = m.idx[t + 2];
            Vec3 fn = Cross(world[ib] - world[ia], world[ic] - world[ia]);
            if (Dot(fn, world[ia] - eye) >= 0) continue;   // back face
            // clip against the near plane
            std::vector<ClipVert> poly = {cv[ia], cv[ib], cv[ic]}, out;
            for (size_t k = 0; k < poly.size(); ++k) {
                const ClipVert &a = poly[k], &b = poly[(k + 1) % poly.size()];
                bool ina = a.w >= nearZ, inb = b.w >= nearZ;
                if (ina) out.push_back(a);
                if (ina != inb) out.push_back(Lerp(a, b, (nearZ - a.w) / (b.w - a.w)));
            }
            if (out.size() < 3) continue;
            struct SV { float x, y, z, iw, uw, vw, sw; };
            std::vector<SV> sv;
            for (const auto& v : out) {
                float iw = 1.0f / v.w;
                sv.push_back({(v.x * iw * 0.5f + 0.5f) * w, (0.5f - v.y * iw * 0.5f) * h, v.w, iw, v.u * iw, v.v * iw,
                              v.shade * iw});
            }
            for (size_t k = 1; k + 1 < sv.size(); ++k) {
                const SV &a = sv[0], &b = sv[k], &cc = sv[k + 1];
                float area = (b.x - a.x) * (cc.y - a.y) - (cc.x - a.x) * (b.y - a.y);
                if (std::fabs(area) < 1e-6f) continue;
                int minX = std::max(0, int(std::floor(std::min({a.x, b.x, cc.x}))));
                int maxX = std::min(w - 1, int(std::ceil(std::max({a.x, b.x, cc.x}))));
                int minY = std::max(0, int(std::floor(std::min({a.y, b.y, cc.y}))));
                int maxY = std::min(h - 1, int(std::ceil(std::max({a.y, b.y, cc.y}))));
                for (int y = minY; y <= maxY; ++y)
                    for (int x = minX; x <= maxX; ++x) {
                        float px = x + 0.5f, py = y + 0.5f;
                        float wa = ((b.x - px) * (cc.y - py) - (cc.x - px) * (b.y - py)) / area;
                        float wb = ((cc.x - px) * (a.y - py) - (a.x - px) * (cc.y - py)) / area;
                        float wc = 1 - wa - wb;
                        if (wa < 0 || wb < 0 || wc < 0) continue;
                        float iw = wa * a.iw + wb * b.iw + wc * cc.iw;
                        float z = 1.0f / iw;
                        float& d = depth[size_t(y) * w + x];
                        if (z >= d) continue;
                        float u = (wa * a.uw + wb * b.uw + wc * cc.uw) * z, v = (wa * a.vw + wb * b.vw + wc * cc.vw) * z;
                        float shade = (wa * a.sw + wb * b.sw + wc * cc.sw) * z;
                        uint32_t col = m.diffuse | 0xFF000000u;
                        if (it.texture) {
                            u -= std::floor(u);
                            v -= std::floor(v);
                            uint32_t tc = it.texture->At(std::min(it.texture->w - 1, int(u * it.texture->w)),
                                                         std::min(it.texture->h - 1, int(v * it.texture->h)));
                            if (ChanA(tc) < 40) continue;
                            col = tc | 0xFF000000u;
                        }
                        d = z;
                        img.Set(x, y, Shade(col, shade));
                    }
            }
        }
    }
    return img;
}

Image ContactGrid(const std::vector<Image>& tiles, const std::vector<std::string>& captions, int columns, int tileW,
                  int tileH) {
    const int capH = 18, pad = 6;
    int rows = int((tiles.size() + size_t(columns) - 1) / size_t(columns));
    Image sheet(columns * (tileW + pad) + pad, rows * (tileH + capH + pad) + pad, Rgb(40, 40, 46));
    for (size_t i = 0; i < tiles.size(); ++i) {
        int x = pad + int(i % size_t(columns)) * (tileW + pad), y = pad + int(i / size_t(columns)) * (tileH + capH + pad);
        // checkerboard under each tile shows transparency
        for (int yy = 0; yy < tileH; ++yy)
            for (int xx = 0; xx < tileW; ++xx)
                sheet.Set(x + xx, y + yy, ((xx / 8 + yy / 8) % 2) ? Rgb(90, 90, 96) : Rgb(120, 120, 126));
        const Image& t = tiles[i];
        float s = std::min(1.0f, std::min(float(tileW) / t.w, float(tileH) / t.h));
        Image fitted = s < 1.0f ? t.Scaled(std::max(1, int(t.w * s)), std::max(1, int(t.h * s))) : t;
        sheet.Paste(fitted, x + (tileW - fitted.w) / 2, y + (tileH - fitted.h) / 2);
        if (i < captions.size())
            PaintText(sheet, "DejaVuSans.ttf", 11.0f, float(x + tileW / 2), float(y + tileH + 13), Rgb(230, 230, 230),
                      captions[i], Align::Centre);
    }
    return sheet;
}

}  // namespace fwdata
