#include "fenwolt/data/Textures.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "fenwolt/data/Fonts.h"
#include "fenwolt/data/Player.h"
#include "fenwolt/data/Scene.h"

namespace fwdata {

namespace {
constexpr float kPi = 3.14159265358979f;
// How much of the grass a shadow takes away where one layer of it lies.
constexpr float kShadowAlpha = 120.0f;
const char* const kBold = "DejaVuSans-Bold.ttf";
const char* const kCondBold = "DejaVuSansCondensed-Bold.ttf";
const char* const kSerifBold = "DejaVuSerif-Bold.ttf";

// ---------------------------------------------------------------- body textures
struct KitColours {
    uint32_t shirt, shirt2;
    char pattern;   // 'p' plain, 's' stripes, 'h' hoops, 'd' halves
    uint32_t shorts, socks;
};

uint32_t ColourLetter(char c) {
    switch (c) {
        case 'b': return Rgb(30, 70, 200);
        case 'w': return Rgb(240, 240, 236);
        case 'r': return Rgb(205, 30, 35);
        case 'k': return Rgb(28, 28, 32);
        case 'g': return Rgb(20, 130, 60);
        case 'y': return Rgb(250, 215, 30);
        case 'o': return Rgb(245, 130, 20);
        case 'n': return Rgb(20, 30, 90);
        case 'p': return Rgb(110, 40, 150);
        case 's': return Rgb(120, 185, 235);
        case 'c': return Rgb(120, 20, 50);
        default: throw std::runtime_error(std::string("unknown kit colour letter ") + c);
    }
}

// kit<shirt><second colour><pattern><shorts>.tga
const char* const kKits[] = {"kitbbpb", "kitwwpw", "kitrrpw", "kitrwsw", "kitkwsk", "kitgwhw",
                             "kityypb", "kitoopk", "kitswds", "kitcspw", "kitnnpw", "kitppsw"};

KitColours ParseKit(const std::string& name) {
    if (name.size() != 7 || name.compare(0, 3, "kit") != 0) throw std::runtime_error("bad kit name " + name);
    KitColours k;
    k.shirt = ColourLetter(name[3]);
    k.shirt2 = ColourLetter(name[4]);
    k.pattern = name[5];
    k.shorts = ColourLetter(name[6]);
    k.socks = name[6] == 'w' ? k.shirt : k.shorts;
    return k;
}

void Noise(Image& img, int x0, int y0, int x1, int y1, float amount, uint32_t seed) {
    Rng r(seed);
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            float f = 1.0f + (r.Unit() - 0.5f) * amount;
            img.Set(x, y, Shade(img.At(x, y), f));
        }
}

Image BodyTexture(const KitColours& k, uint32_t skin, uint32_t hair, uint32_t seed) {
    using L = KitLayout;
    const int S = 128;
    Image img(S, S, Rgb(128, 128, 128));
    auto X = [S](float u) { return int(std::lround(u * S)); };
    // shirt body
    int sx0 = X(L::kShirtU0), sx1 = X(L::kShirtU1), sy0 = X(L::kShirtV0), sy1 = X(L::kShirtV1);
    for (int y = sy0; y < sy1; ++y)
        for (int x = sx0; x < sx1; ++x) {
            uint32_t c = k.shirt;
            if (k.pattern == 's' && ((x - sx0) / 6) % 2 == 1) c = k.shirt2;
            if (k.pattern == 'h' && ((y - sy0) / 8) % 2 == 1) c = k.shirt2;
            if (k.pattern == 'd' && x >= (sx0 + sx1) / 2) c = k.shirt2;
            img.Set(x, y, c);
        }
    // collar: a V at the front (the middle of the strip), a band round the back
    uint32_t trim = k.shirt2 == k.shirt ? (ChanR(k.shirt) + ChanG(k.shirt) > 300 ? Rgb(30, 30, 30) : Rgb(235, 235, 235))
                                        : k.shirt2;
    img.FillRect(sx0, sy0, sx1, sy0 + 3, trim);
    int mid = (sx0 + sx1) / 2;
    img.Line(float(mid - 7), float(sy0), float(mid), float(sy0 + 8), 2.0f, trim);
    img.Line(float(mid + 7), float(sy0), float(mid), float(sy0 + 8), 2.0f, trim);
    // folds: gentle shading down the shirt
    for (int y = sy0; y < sy1; ++y)
        for (int x = sx0; x < sx1; ++x) {
            float f = 0.93f + 0.07f * std::sin(float(x) * 0.7f + float(y) * 0.15f);
            img.Set(x, y, Shade(img.At(x, y), f));
        }
    // sleeves
    uint32_t sleeve = k.pattern == 'p' ? k.shirt2 : k.shirt;
    int vy0 = X(L::kSleeveV0), vy1 = X(L::kSleeveV1);
    img.FillRect(sx0, vy0, sx1, vy1, sleeve);
    img.FillRect(sx0, vy1 - 3, sx1, vy1, trim);
    // shorts with a side stripe
    int hx0 = X(L::kShortsU0), hx1 = X(L::kShortsU1), hy0 = X(L::kShortsV0), hy1 = X(L::kShortsV1);
    img.FillRect(hx0, hy0, hx1, hy1 + 4, k.shorts);
    uint32_t stripe = k.shorts == k.shirt ? trim : k.shirt;
    img.FillRect(hx0 + 14, hy0, hx0 + 18, hy1 + 4, stripe);
    img.FillRect(hx1 - 18, hy0, hx1 - 14, hy1 + 4, stripe);
    img.FillRect(hx0, hy1 + 1, hx1, hy1 + 4, Shade(k.shorts, 0.75f));
    // socks with a turned-down band
    int kx0 = X(L::kSockU0), kx1 = X(L::kSockU1), ky0 = X(L::kSockV0), ky1 = X(L::kSockV1);
    img.FillRect(kx0, ky0, kx1, ky1, k.socks);
    img.FillRect(kx0, ky0, kx1, ky0 + 6, trim);
    img.FillRect(kx0, ky1 - 6, kx1, ky1, Shade(k.socks, 0.8f));
    // boots: black with a white flash
    int bx0 = X(L::kBootU0), bx1 = X(L::kBootU1), by0 = X(L::kBootV0), by1 = X(L::kBootV1);
    img.FillRect(bx0, by0, bx1, by1, Rgb(20, 20, 22));
    img.Line(float(bx0 + 4), float(by0 + 10), float(bx1 - 4), float(by0 + 18), 3.0f, Rgb(235, 235, 235));
    // head: skin, with the face where the front of the head maps (three quarters along u)
    int fx0 = X(L::kSkinU0), fx1 = X(L::kSkinU1), fy0 = X(L::kSkinV0), fy1 = X(L::kSkinV1);
    img.FillRect(fx0, fy0, fx1, fy1, skin);
    float faceX = float(fx0) + 0.75f * float(fx1 - fx0), span = float(fy1 - fy0);
    float eyeY = float(fy0) + 0.45f * span, mouthY = float(fy0) + 0.66f * span;
    for (float s : {-1.0f, 1.0f}) {
        img.FillCircle(faceX + s * 3.6f, eyeY, 1.5f, Rgb(250, 250, 250));
        img.FillCircle(faceX + s * 3.6f, eyeY, 0.9f, Rgb(40, 30, 25));
        img.Line(faceX + s * 5.2f, eyeY - 2.6f, faceX + s * 2.0f, eyeY - 2.2f, 1.0f, hair);
    }
    img.Line(faceX, eyeY + 0.5f, faceX, mouthY - 2.5f, 1.0f, Shade(skin, 0.8f));
    img.Line(faceX - 2.5f, mouthY, faceX + 2.5f, mouthY, 1.2f, Rgb(150, 60, 60));
    for (float ex : {float(fx0) + 0.25f * float(fx1 - fx0), float(fx0) + 0.75f * float(fx1 - fx0) - 32.0f})
        img.FillCircle(ex, eyeY + 1.5f, 1.8f, Shade(skin, 0.85f));
    // arms and legs
    img.FillRect(X(L::kLimbU0), X(L::kLimbV0) - 2, X(L::kLimbU1), X(L::kLimbV1) + 2, skin);
    // hair
    int ax0 = X(L::kHairU0), ax1 = X(L::kHairU1), ay0 = X(L::kHairV0), ay1 = X(L::kHairV1);
    img.FillRect(ax0, ay0, ax1, ay1, hair);
    Noise(img, ax0, ay0, ax1, ay1, 0.35f, seed);
    Noise(img, 0, 0, S, X(0.5f), 0.06f, seed + 1);
    return img;
}

KitColours Plain(uint32_t shirt, uint32_t shorts, uint32_t socks) { return {shirt, shirt, 'p', shorts, socks}; }

// ---------------------------------------------------------------- match textures
Image BallTexture() {
    const int W = 128, H = 128;
    Image img(W, H);
    const float g = 1.6180340f;
    std::vector<Vec3> pent = {{0, 1, g}, {0, 1, -g}, {0, -1, g}, {0, -1, -g}, {1, g, 0}, {1, -g, 0},
                              {-1, g, 0}, {-1, -g, 0}, {g, 0, 1}, {g, 0, -1}, {-g, 0, 1}, {-g, 0, -1}};
    std::vector<Vec3> hex;
    for (int i = 0; i < 8; ++i) hex.push_back({i & 1 ? 1.f : -1.f, i & 2 ? 1.f : -1.f, i & 4 ? 1.f : -1.f});
    const float ig = 1.0f / g;
    for (float a : {-1.f, 1.f})
        for (float b : {-1.f, 1.f}) {
            hex.push_back({0, a * ig, b * g});
            hex.push_back({a * ig, b * g, 0});
            hex.push_back({a * g, 0, b * ig});
        }
    for (auto& p : pent) p = Normalize(p);
    for (auto& p : hex) p = Normalize(p);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            float th = 2 * kPi * (x + 0.5f) / W, ph = kPi * (y + 0.5f) / H;
            Vec3 d{std::sin(ph) * std::cos(th), std::cos(ph), std::sin(ph) * std::sin(th)};
            float best = -2, second = -2;
            bool bestPent = false;
            auto test = [&](const Vec3& c, bool isPent) {
                float dd = Dot(d, c);
                if (dd > best) { second = best; best = dd; bestPent = isPent; }
                else if (dd > second) second = dd;
            };
            for (auto& p : pent) test(p, true);
            for (auto& p : hex) test(p, false);
            uint32_t c = bestPent ? Rgb(25, 25, 30) : Rgb(245, 245, 240);
            if (best - second < 0.012f) c = Rgb(120, 120, 125);
            img.Set(x, y, c);
        }
    return img;
}

Image MarkerTexture(char kind) {
    const int S = 64;
    Image img(S, S, 0x00000000u);
    const float c = S * 0.5f;
    switch (kind) {
        case 's':   // selection ring
            img.Ring(c, c, 25, 6, Argb(255, 255, 225, 40));
            img.Ring(c, c, 25, 1.5f, Argb(255, 255, 255, 190));
            break;
        case 'x':   // move target
            img.Ring(c, c, 22, 4, Argb(255, 80, 230, 255));
            img.Line(c - 14, c - 14, c + 14, c + 14, 4, Argb(255, 80, 230, 255));
            img.Line(c - 14, c + 14, c + 14, c - 14, 4, Argb(255, 80, 230, 255));
            break;
        case 'r':   // kick aim
            img.Ring(c, c, 24, 4, Argb(255, 240, 40, 40));
            img.Ring(c, c, 12, 3, Argb(255, 240, 40, 40));
            for (int i = 0; i < 4; ++i) {
                float a = kPi * 0.5f * i;
                img.Line(c + std::cos(a) * 6, c + std::sin(a) * 6, c + std::cos(a) * 30, c + std::sin(a) * 30, 3,
                         Argb(255, 255, 90, 90));
            }
            break;
        case 'm': img.FillCircle(c, c, 18, Argb(230, 120, 200, 255)); break;   // path dot
        case 'p':   // kick arrows: the arrow mesh wraps the whole picture, so it is opaque all over;
        case 'q':   // orange for a short kick, yellow beyond 10 units, red beyond 30
        case 'R': {
            const uint32_t colour = kind == 'p' ? Argb(255, 255, 150, 30)
                                    : kind == 'q' ? Argb(255, 250, 225, 40)
                                                  : Argb(255, 230, 45, 35);
            img.FillRect(0, 0, S, S, colour);
            for (int y = 0; y < S; ++y) img.BlendRect(0, y, S, y + 1, Argb(int(90.0f * y / S), 255, 255, 255));
            break;
        }
        case 'u':   // arrows over the players and the ball
            for (int y = 0; y < S; ++y)
                img.FillRect(0, y, S, y + 1, Mix(Rgb(255, 240, 80), Rgb(230, 150, 0), float(y) / S));
            break;
        case 'h': {  // shadow: one even translucent black
            // Every shadow of the match is the flattened mesh drawn with this picture through the
            // mesh's own texture coordinates, which reach every corner of the picture: any pattern
            // here would show as holes in the silhouettes.
            img.FillRect(0, 0, S, S, Argb(int(kShadowAlpha), 0, 0, 0));
            break;
        }
        case 'o': {  // path dot beyond reach: as large as the one within, as dark as a shadow, soft-edged
            const float solid = 11.0f, edge = 20.0f;
            for (int y = 0; y < S; ++y)
                for (int x = 0; x < S; ++x) {
                    const float d = std::hypot(x + 0.5f - c, y + 0.5f - c);
                    const float t = std::clamp((edge - d) / (edge - solid), 0.0f, 1.0f);
                    img.Set(x, y, Argb(int(kShadowAlpha * t * t * (3.0f - 2.0f * t) + 0.5f), 0, 0, 0));
                }
            break;
        }
        default: throw std::runtime_error("unknown marker");
    }
    return img;
}

Image NumberPlate(int number) {
    Image img(32, 32, Rgb(250, 250, 245));
    img.Frame(0, 0, 32, 32, 2, Rgb(30, 30, 30));
    PaintText(img, kBold, number >= 10 ? 18.0f : 22.0f, 16, 24, Rgb(15, 15, 20), std::to_string(number),
              Align::Centre, number >= 10 ? 0.8f : 1.0f);
    return img;
}

Image PitchTexture() {
    using namespace pitch;
    const int S = 1024;
    Image img(S, S);
    auto px = [](float x) { return (x - kGrassX0) / (kGrassX1 - kGrassX0) * 1024.0f; };
    auto pz = [](float z) { return (kGrassZ1 - z) / (kGrassZ1 - kGrassZ0) * 1024.0f; };
    const float stripe = (kGoalLineHigh - kGoalLineLow) / 18.0f;
    for (int y = 0; y < S; ++y)
        for (int x = 0; x < S; ++x) {
            float wx = kGrassX0 + (x + 0.5f) / S * (kGrassX1 - kGrassX0);
            float wz = kGrassZ1 - (y + 0.5f) / S * (kGrassZ1 - kGrassZ0);
            bool light = int(std::floor((wx - kGoalLineLow) / stripe)) % 2 == 0;
            bool inside = wx > kGoalLineLow - 2 && wx < kGoalLineHigh + 2 && wz > kTouchLow - 2 && wz < kTouchHigh + 2;
            float n = Fractal(x / 32.0f, y / 32.0f, 32, 4, 77);
            float f = 0.88f + 0.24f * n;
            uint32_t base = inside ? (light ? Rgb(70, 150, 60) : Rgb(58, 132, 50)) : Rgb(52, 118, 46);
            img.Set(x, y, Shade(base, f));
        }
    const uint32_t line = Argb(235, 245, 245, 240);
    const float t = 2.2f;
    auto L = [&](float x0, float z0, float x1, float z1) { img.Line(px(x0), pz(z0), px(x1), pz(z1), t, line); };
    auto arc = [&](float cx, float cz, float r, float a0, float a1) {
        const int n = 96;
        for (int i = 0; i < n; ++i) {
            float a = a0 + (a1 - a0) * i / n, b = a0 + (a1 - a0) * (i + 1) / n;
            L(cx + r * std::cos(a), cz + r * std::sin(a), cx + r * std::cos(b), cz + r * std::sin(b));
        }
    };
    L(kGoalLineLow, kTouchLow, kGoalLineHigh, kTouchLow);
    L(kGoalLineLow, kTouchHigh, kGoalLineHigh, kTouchHigh);
    L(kGoalLineLow, kTouchLow, kGoalLineLow, kTouchHigh);
    L(kGoalLineHigh, kTouchLow, kGoalLineHigh, kTouchHigh);
    L(kCentreX, kTouchLow, kCentreX, kTouchHigh);
    arc(kCentreX, kCentreZ, 9.15f, 0, 2 * kPi);
    img.FillCircle(px(kCentreX), pz(kCentreZ), 3.5f, line);
    const float mid = (kMouthLow + kMouthHigh) * 0.5f;
    for (int end = 0; end < 2; ++end) {
        float gl = end ? kGoalLineHigh : kGoalLineLow, dir = end ? -1.0f : 1.0f;
        float pa = end ? kPenaltyHigh : kPenaltyLow, spot = end ? kSpotHigh : kSpotLow;
        L(gl, kPenaltyZ0, pa, kPenaltyZ0);
        L(gl, kPenaltyZ1, pa, kPenaltyZ1);
        L(pa, kPenaltyZ0, pa, kPenaltyZ1);
        float ga = gl + dir * 5.5f;
        L(gl, mid - 9.16f, ga, mid - 9.16f);
        L(gl, mid + 9.16f, ga, mid + 9.16f);
        L(ga, mid - 9.16f, ga, mid + 9.16f);
        img.FillCircle(px(spot), pz(kCentreZ), 3.0f, line);
        // the arc of the penalty area: the part of the circle round the spot outside the area
        float half = std::acos(std::fabs(pa - spot) / 9.15f);
        if (end == 0) arc(spot, kCentreZ, 9.15f, -half, half);
        else arc(spot, kCentreZ, 9.15f, kPi - half, kPi + half);
        // corner arcs
        arc(gl, kTouchLow, 1.0f, end ? kPi * 0.5f : 0.0f, end ? kPi : kPi * 0.5f);
        arc(gl, kTouchHigh, 1.0f, end ? kPi : kPi * 1.5f, end ? kPi * 1.5f : 2 * kPi);
    }
    return img;
}

Image GoalTexture() {
    Image img(128, 128, 0x00FFFFFFu);
    img.FillRect(0, 0, 26, 128, Rgb(250, 250, 250));
    for (int y = 0; y < 128; ++y)
        for (int x = 32; x < 128; ++x)
            if ((x - 32) % 6 == 0 || y % 6 == 0) img.Set(x, y, Argb(210, 245, 245, 245));
    return img;
}

Image StandTexture() {
    Image img(256, 256, Rgb(150, 150, 150));
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            float n = Fractal(x / 16.0f, y / 16.0f, 8, 3, 11);
            img.Set(x, y, Shade(Rgb(160, 158, 150), 0.8f + 0.3f * n));
        }
    img.FillRect(128, 0, 256, 128, Rgb(40, 50, 70));
    for (int y = 0; y < 128; y += 8)
        for (int x = 128; x < 256; x += 8) {
            uint32_t seat = ((x / 8 + y / 8) % 7 == 0) ? Rgb(230, 230, 230) : Rgb(30, 80, 170);
            img.FillRect(x + 1, y + 2, x + 7, y + 7, seat);
            img.FillRect(x + 1, y + 6, x + 7, y + 7, Shade(seat, 0.6f));
        }
    for (int y = 128; y < 256; ++y)
        for (int x = 0; x < 128; ++x) img.Set(x, y, Shade(Rgb(90, 95, 105), 0.85f + 0.15f * std::sin(x * 0.8f)));
    img.VerticalGradient(128, 128, 256, 256, Rgb(200, 205, 210), Rgb(150, 155, 165));
    return img;
}

Image CrowdTexture() {
    Image img(256, 64, Rgb(35, 40, 55));
    Rng r(2024);
    const uint32_t shirts[] = {Rgb(205, 30, 35), Rgb(250, 215, 30), Rgb(30, 70, 200), Rgb(240, 240, 236),
                               Rgb(40, 40, 45), Rgb(20, 130, 60), Rgb(245, 130, 20), Rgb(120, 120, 130)};
    const uint32_t skins[] = {Rgb(240, 200, 170), Rgb(210, 165, 130), Rgb(160, 110, 80), Rgb(110, 75, 50)};
    for (int row = 0; row < 2; ++row)
        for (int i = 0; i < 24; ++i) {
            float x = i * 10.67f + 5 + (row ? 5.3f : 0) + r.Range(-1.5f, 1.5f);
            float base = row ? 64.0f : 40.0f;
            uint32_t shirt = shirts[r.Below(8)];
            img.FillPolygon({{x - 5, base}, {x - 4.5f, base - 18}, {x + 4.5f, base - 18}, {x + 5, base}}, shirt);
            bool cheering = r.Below(4) == 0;
            if (cheering) {
                img.Line(x - 4, base - 17, x - 7, base - 30, 2.2f, shirt);
                img.Line(x + 4, base - 17, x + 7, base - 30, 2.2f, shirt);
            }
            float hy = base - 22 + r.Range(-1, 1);
            img.FillCircle(x, hy, 4.0f, skins[r.Below(4)]);
            if (r.Below(3) == 0) img.FillRect(int(x - 4), int(hy - 4), int(x + 4), int(hy - 1), shirts[r.Below(3)]);
        }
    return img;
}

Image BoardsTexture() {
    Image img(512, 64, Rgb(20, 20, 20));
    struct Ad { const char* text; uint32_t bg, fg; };
    const Ad ads[] = {{"VORDAX", Rgb(200, 20, 30), Rgb(255, 255, 255)},
                      {"QUELLO FIZZ", Rgb(240, 240, 230), Rgb(20, 110, 120)},
                      {"MIRADEN", Rgb(20, 60, 160), Rgb(255, 220, 40)},
                      {"ZOLTRA", Rgb(250, 200, 20), Rgb(20, 20, 20)},
                      {"PELKIN", Rgb(20, 120, 60), Rgb(255, 255, 255)},
                      {"ARVANTE", Rgb(30, 30, 35), Rgb(120, 220, 255)}};
    for (int i = 0; i < 6; ++i) {
        int x0 = i * 512 / 6, x1 = (i + 1) * 512 / 6;
        img.FillRect(x0 + 1, 2, x1 - 1, 62, ads[i].bg);
        // squeeze the name until it fits its panel
        float stretch = 1.0f;
        int room = x1 - x0 - 10;
        int width = MeasureText(kCondBold, 30.0f, ads[i].text, stretch);
        if (width > room) stretch = float(room) / float(width);
        PaintText(img, kCondBold, 30.0f, float(x0 + x1) * 0.5f, 43.0f, ads[i].fg, ads[i].text, Align::Centre, stretch);
    }
    return img;
}

Image SkyTexture() {
    const int W = 512, H = 256;
    Image img(W, H);
    const float horizon = 90.0f / 102.0f;   // where the dome's v meets the horizon
    for (int y = 0; y < H; ++y) {
        float v = (y + 0.5f) / H;
        uint32_t base = v < horizon ? Mix(Rgb(40, 90, 180), Rgb(150, 195, 235), std::pow(v / horizon, 2.2f))
                                    : Mix(Rgb(175, 205, 230), Rgb(70, 80, 75), (v - horizon) / (1 - horizon));
        for (int x = 0; x < W; ++x) {
            uint32_t c = base;
            if (v < horizon) {
                float n = Fractal(x / 64.0f, y / 32.0f, 8, 4, 5);
                float cloud = std::clamp((n - 0.52f) * 3.0f, 0.0f, 1.0f) * (0.4f + 0.6f * v / horizon);
                c = Mix(c, Rgb(250, 250, 252), cloud * 0.85f);
            }
            img.Set(x, y, c);
        }
    }
    return img;
}

// ---------------------------------------------------------------- HUD
Image Panel(int w, int h, int part) {   // part 0 top, 1 middle, 2 bottom
    Image img(w, h, 0x00000000u);
    const uint32_t fill = Argb(200, 12, 28, 60), border = Argb(255, 220, 180, 60);
    int y0 = part == 0 ? 4 : 0, y1 = part == 2 ? h - 4 : h;
    img.BlendRect(4, y0, w - 4, y1, fill);
    img.FillRect(1, y0, 4, y1, border);
    img.FillRect(w - 4, y0, w - 1, y1, border);
    if (part == 0) {
        img.FillRect(1, 1, w - 1, 4, border);
        img.BlendRect(4, 4, w - 4, 16, Argb(90, 120, 160, 230));
    }
    if (part == 2) img.FillRect(1, h - 4, w - 1, h - 1, border);
    return img;
}

Image Button(int w, int h, int icon) {
    Image img(w, h, 0x00000000u);
    const uint32_t top = Rgb(60, 150, 70), bottom = Rgb(20, 80, 30);
    for (int y = 1; y < h - 1; ++y) {
        uint32_t c = Mix(top, bottom, float(y) / float(h));
        img.FillRect(2, y, w - 2, y + 1, c);
    }
    img.Frame(1, 1, w - 1, h - 1, 2, Rgb(230, 200, 80));
    img.BlendRect(4, 3, w - 4, h / 2, Argb(50, 255, 255, 255));
    const float cx = 20.0f, cy = float(h) * 0.5f;
    const uint32_t ic = Rgb(255, 255, 255);
    switch (icon) {
        case 0:   // end turn: play-to-end arrow
            img.FillPolygon({{cx - 8, cy - 9}, {cx + 6, cy}, {cx - 8, cy + 9}}, ic);
            img.FillRect(int(cx + 7), int(cy - 9), int(cx + 11), int(cy + 9), ic);
            break;
        case 1:   // pass: ball and arrow
            img.FillCircle(cx - 6, cy + 2, 6, ic);
            img.Line(cx, cy - 2, cx + 12, cy - 8, 2.5f, ic);
            img.FillPolygon({{cx + 14, cy - 12}, {cx + 15, cy - 3}, {cx + 8, cy - 10}}, ic);
            break;
        case 2:   // system: a cog
            for (int i = 0; i < 8; ++i) {
                float a = kPi * 0.25f * i;
                img.Line(cx, cy, cx + std::cos(a) * 11, cy + std::sin(a) * 11, 4.0f, ic);
            }
            img.FillCircle(cx, cy, 8, ic);
            img.FillCircle(cx, cy, 3.5f, Rgb(40, 110, 50));
            break;
        default:   // substitute: two arrows
            img.Line(cx - 10, cy - 5, cx + 8, cy - 5, 2.5f, Rgb(120, 255, 120));
            img.FillPolygon({{cx + 12, cy - 5}, {cx + 6, cy - 10}, {cx + 6, cy}}, Rgb(120, 255, 120));
            img.Line(cx + 10, cy + 5, cx - 8, cy + 5, 2.5f, Rgb(255, 120, 120));
            img.FillPolygon({{cx - 12, cy + 5}, {cx - 6, cy}, {cx - 6, cy + 10}}, Rgb(255, 120, 120));
            break;
    }
    return img;
}

Image Logo() {
    Image img(160, 56, 0x00000000u);
    img.BlendRect(0, 6, 160, 50, Argb(170, 10, 20, 50));
    img.Frame(0, 6, 160, 50, 2, Argb(255, 220, 180, 60));
    img.FillCircle(26, 28, 15, Rgb(245, 245, 240));
    img.FillCircle(26, 28, 5, Rgb(30, 30, 30));
    for (int i = 0; i < 5; ++i) {
        float a = kPi * 2 * i / 5 - kPi / 2;
        img.FillCircle(26 + std::cos(a) * 11.5f, 28 + std::sin(a) * 11.5f, 3.2f, Rgb(30, 30, 30));
    }
    PaintText(img, kBold, 20.0f, 100, 35, Rgb(255, 215, 60), "QUILLANE", Align::Centre, 0.85f);
    return img;
}

Image Icon(int which) {
    Image img(32, 32, 0x00000000u);
    if (which == 0) {   // has the ball
        img.FillCircle(16, 16, 12, Rgb(245, 245, 240));
        img.FillCircle(16, 16, 4.5f, Rgb(25, 25, 30));
        for (int i = 0; i < 5; ++i) {
            float a = kPi * 2 * i / 5 - kPi / 2;
            img.FillCircle(16 + std::cos(a) * 9.5f, 16 + std::sin(a) * 9.5f, 2.6f, Rgb(25, 25, 30));
        }
    } else if (which == 1) {   // out of play: red cross in a ring
        img.Ring(16, 16, 12, 3.5f, Rgb(230, 40, 40));
        img.Line(9, 9, 23, 23, 3.5f, Rgb(230, 40, 40));
    } else {   // tired: an emptying battery
        img.FillRect(4, 9, 26, 24, Rgb(240, 240, 240));
        img.FillRect(26, 13, 29, 20, Rgb(240, 240, 240));
        img.FillRect(6, 11, 24, 22, Rgb(30, 30, 30));
        img.FillRect(7, 12, 12, 21, Rgb(230, 60, 40));
    }
    return img;
}

// ---------------------------------------------------------------- front-end pictures
// A stadium seen from the stands: sky, roof line, floodlights, crowd and a striped pitch.
Image StadiumBackdrop(bool night, uint32_t seed) {
    const int W = 800, H = 600;
    Image img(W, H);
    uint32_t skyTop = night ? Rgb(5, 10, 35) : Rgb(50, 100, 190), skyBottom = night ? Rgb(30, 45, 95) : Rgb(160, 200, 235);
    img.VerticalGradient(0, 0, W, 260, skyTop, skyBottom);
    Rng r(seed);
    if (night)
        for (int i = 0; i < 120; ++i) img.Blend(r.Below(W), r.Below(200), Argb(120 + r.Below(135), 255, 255, 255));
    // far stand with its roof, lit crowd speckles
    img.FillPolygon({{0, 200}, {800, 180}, {800, 330}, {0, 330}}, night ? Rgb(25, 28, 40) : Rgb(70, 75, 90));
    img.FillPolygon({{0, 188}, {800, 166}, {800, 182}, {0, 204}}, night ? Rgb(60, 65, 80) : Rgb(180, 185, 195));
    for (int i = 0; i < 2600; ++i) {
        int x = r.Below(W), y = 205 + r.Below(120);
        if (y < 204 - x * 22 / 800 + 4) continue;
        const uint32_t cols[] = {Rgb(205, 30, 35), Rgb(250, 215, 30), Rgb(230, 230, 230), Rgb(40, 70, 180),
                                 Rgb(200, 160, 130)};
        img.Blend(x, y, Shade(cols[r.Below(5)], night ? 0.7f : 0.9f), 0.8f);
        img.Blend(x + 1, y, Shade(cols[r.Below(5)], night ? 0.6f : 0.8f), 0.6f);
    }
    // floodlight pylons with glowing banks
    for (float fx : {90.0f, 710.0f}) {
        img.Line(fx, 330, fx + (fx < 400 ? -10 : 10), 60, 5, Rgb(40, 40, 45));
        float lx = fx + (fx < 400 ? -10 : 10);
        img.FillRect(int(lx - 30), 40, int(lx + 30), 62, Rgb(60, 60, 65));
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 2; ++j) img.FillCircle(lx - 22 + i * 14.5f, 46 + j * 10, 4, Rgb(255, 250, 220));
        if (night)
            for (int k = 0; k < 18; ++k) img.FillCircle(lx, 51, 20.0f + k * 6.0f, Argb(9, 255, 245, 200));
    }
    // the pitch in perspective, mowing stripes converging to a vanishing point
    const float vx = 400, vy = -300;
    for (int y = 330; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            float t = (float(y) - vy) / (600.0f - vy);
            float gx = vx + (float(x) - vx) / t;
            bool light = int(std::floor((gx + 4000.0f) / 70.0f)) % 2 == 0;
            uint32_t c = light ? Rgb(72, 152, 62) : Rgb(58, 132, 50);
            float n = ValueNoise(x / 6.0f, y / 6.0f, 0, seed);
            img.Set(x, y, Shade(c, (night ? 0.75f : 0.95f) + 0.1f * n));
        }
    img.FillRect(0, 328, W, 333, Rgb(30, 30, 30));
    // touchline and halfway line
    img.Line(0, 372, 800, 352, 3, Argb(220, 240, 240, 240));
    img.Line(400, 356, 400, 600, 3, Argb(200, 240, 240, 240));
    img.Ring(400, 470, 110, 3, Argb(200, 240, 240, 240));
    return img;
}

void Vignette(Image& img, float strength) {
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x) {
            float dx = (x - img.w * 0.5f) / (img.w * 0.5f), dy = (y - img.h * 0.5f) / (img.h * 0.5f);
            float f = 1.0f - strength * std::clamp((dx * dx + dy * dy) * 0.5f, 0.0f, 1.0f);
            img.Set(x, y, Shade(img.At(x, y), f));
        }
}

// The lines of the front-end pictures. The menu screens write from 3 pixels in from the left
// (the squad editor's shirt numbers) and 8 pixels down (its title) to 596 pixels down (the
// in-match options' "Return" with its shadow) and 787 across ("End Cup Tournament"), so the
// menu border keeps to the outermost three pixels. The headed pictures' rule lies between the
// header rows (the titles at 30 and 50, "Team:" at 60 with its shadow reaching 86) and the
// first rows of the body at 90.
constexpr int kBorder = 3;
constexpr int kHeaderRuleTop = 86, kHeaderRuleBottom = 89;
// The start menu's band and the plates under its four entries, which it writes at y 297.
constexpr int kStartBandTop = 278, kStartBandBottom = 338;
constexpr int kStartPlateTop = 288, kStartPlateBottom = 328;
constexpr int kStartPlates[4][2] = {{105, 225}, {298, 398}, {426, 590}, {654, 754}};
constexpr int kLoadingRuleTop = 468, kLoadingRuleBottom = 471;
constexpr int kConfirmW = 401, kConfirmH = 232, kConfirmRuleTop = 44, kConfirmRuleBottom = 46;

std::vector<PictureLine> Border(int w, int h, int t) {
    return {{0, 0, w, t}, {0, h - t, w, h}, {0, 0, t, h}, {w - t, 0, w, h}};
}

void DrawLines(Image& img, const std::vector<PictureLine>& lines, uint32_t colour) {
    for (const PictureLine& l : lines) img.FillRect(l.x0, l.y0, l.x1, l.y1, colour);
}

Image PlainBackground(uint32_t tint, uint32_t seed) {
    Image img(800, 600);
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            bool light = (x / 80) % 2 == 0;
            float n = Fractal(x / 40.0f, y / 40.0f, 0, 3, seed);
            uint32_t c = light ? Rgb(30, 62, 34) : Rgb(24, 52, 28);
            img.Set(x, y, Mix(Shade(c, 0.85f + 0.3f * n), tint, 0.18f));
        }
    // chalk markings of a pitch drawn faintly across the picture
    img.Ring(400, 300, 120, 3, Argb(40, 255, 255, 255));
    img.Line(400, 0, 400, 600, 3, Argb(40, 255, 255, 255));
    Vignette(img, 0.45f);
    DrawLines(img, Border(800, 600, kBorder), Rgb(150, 172, 150));
    return img;
}

Image TitlePicture() {
    Image img = StadiumBackdrop(true, 41);
    img.BlendRect(0, 90, 800, 270, Argb(110, 0, 0, 20));
    PaintTitle(img, kSerifBold, 34.0f, 400, 140, Rgb(235, 235, 240), "DORVANIX", Align::Centre, 1.3f);
    PaintTitle(img, kBold, 92.0f, 400, 236, Rgb(255, 205, 50), "QUILLANE", Align::Centre, 1.0f);
    PaintText(img, kBold, 18.0f, 400, 262, Rgb(200, 220, 255), "TURN-BASED FOOTBALL MANAGEMENT", Align::Centre);
    Vignette(img, 0.3f);
    return img;
}

// The start menu writes its four entries in a row at y 297 (x 119, 312, 440 and 668): a
// dark band with a plate under each keeps the green text readable over the stadium.
Image StartPicture() {
    Image img = StadiumBackdrop(false, 42);
    PaintTitle(img, kBold, 64.0f, 400, 110, Rgb(255, 210, 60), "QUILLANE", Align::Centre, 1.1f);
    PaintText(img, kSerifBold, 22.0f, 400, 150, Rgb(240, 240, 245), "DORVANIX", Align::Centre, 1.3f);
    img.BlendRect(0, kStartBandTop + 2, 800, kStartBandBottom - 2, Argb(170, 5, 12, 30));
    for (const auto& p : kStartPlates) img.BlendRect(p[0], kStartPlateTop, p[1], kStartPlateBottom, Argb(120, 0, 0, 0));
    Vignette(img, 0.25f);
    const std::vector<PictureLine> lines = MenuPictureLines("interface\\start.jpg");
    DrawLines(img, {lines[0], lines[1]}, Rgb(220, 180, 60));
    for (size_t i = 2; i < lines.size(); ++i) {
        const PictureLine& l = lines[i];
        for (int y = l.y0; y < l.y1; ++y)
            for (int x = l.x0; x < l.x1; ++x) img.Blend(x, y, Argb(160, 220, 180, 60));
    }
    return img;
}

Image LoadingPicture() {
    Image img = StadiumBackdrop(true, 43);
    PaintTitle(img, kBold, 40.0f, 400, 120, Rgb(255, 255, 255), "MATCH DAY", Align::Centre, 1.2f);
    img.BlendRect(0, kLoadingRuleBottom - 1, 800, 600, Argb(170, 0, 0, 0));
    DrawLines(img, MenuPictureLines("interface\\loading.jpg"), Rgb(220, 180, 60));
    return img;
}

Image HeaderedPicture(uint32_t tint, uint32_t seed, const char* motif) {
    Image img = PlainBackground(tint, seed);
    img.BlendRect(kBorder, kBorder, 800 - kBorder, kHeaderRuleTop,
                  Argb(150, ChanR(tint) / 3, ChanG(tint) / 3, ChanB(tint) / 3));
    img.FillRect(kBorder, kHeaderRuleTop, 800 - kBorder, kHeaderRuleBottom, Shade(tint, 1.0f));
    PaintText(img, kBold, 120.0f, 400, 420, Argb(22, 255, 255, 255), motif, Align::Centre);
    return img;
}

Image ConfirmBox() {
    Image img(kConfirmW, kConfirmH);
    img.VerticalGradient(0, 0, kConfirmW, kConfirmH, Rgb(20, 40, 80), Rgb(8, 16, 36));
    img.VerticalGradient(0, 0, kConfirmW, kConfirmRuleTop, Rgb(50, 90, 160), Rgb(25, 50, 100));
    DrawLines(img, MenuPictureLines("interface\\conf.tga"), Rgb(220, 180, 60));
    // the two answers sit on darker plates
    img.BlendRect(60, 110, 170, 148, Argb(120, 0, 0, 0));
    img.BlendRect(240, 110, 350, 148, Argb(120, 0, 0, 0));
    return img;
}

Image ControlsSheet() {
    Image img(256, 256, 0x00000000u);
    // slider bar: (2, 134)..(170, 142)
    for (int y = 134; y < 142; ++y)
        img.FillRect(2, y, 170, y + 1, Mix(Rgb(30, 30, 40), Rgb(120, 130, 150), float(y - 134) / 7.0f));
    img.Frame(2, 134, 170, 142, 1, Rgb(220, 180, 60));
    for (int x = 10; x < 170; x += 16) img.FillRect(x, 137, x + 1, 139, Rgb(220, 180, 60));
    // knob: (122, 228)..(133, 254)
    for (int x = 122; x < 133; ++x)
        img.FillRect(x, 228, x + 1, 254, Mix(Rgb(250, 240, 200), Rgb(150, 120, 40), float(x - 122) / 10.0f));
    img.Frame(122, 228, 133, 254, 1, Rgb(60, 45, 10));
    for (int y = 236; y < 248; y += 4) img.FillRect(124, y, 131, y + 1, Rgb(90, 70, 20));
    return img;
}

Image Cursor(bool highlight) {
    Image img(32, 32, 0x00000000u);
    std::vector<std::pair<float, float>> arrow = {{1, 1}, {1, 22}, {6.5f, 17}, {10.5f, 26}, {14, 24.5f},
                                                  {10, 16}, {17, 16}};
    img.FillPolygon(arrow, Rgb(0, 0, 0));
    std::vector<std::pair<float, float>> inner = {{2.6f, 4.6f}, {2.6f, 18.4f}, {6.9f, 14.5f}, {11.1f, 23.4f},
                                                  {12.2f, 22.9f}, {8.2f, 14.6f}, {13.2f, 14.6f}};
    img.FillPolygon(inner, highlight ? Rgb(255, 215, 40) : Rgb(255, 255, 255));
    return img;
}

Image BlockTexture() {
    Image img(512, 512);
    for (int t = 0; t < 16; ++t) {
        int x0 = (t % 4) * 128, y0 = (t / 4) * 128;
        for (int y = 0; y < 128; ++y)
            for (int x = 0; x < 128; ++x) {
                float n = Fractal((x0 + x) / 32.0f, (y0 + y) / 32.0f, 0, 4, 9);
                float grain = 0.5f + 0.5f * std::sin((y0 + y) * 0.35f + n * 6.0f);
                img.Set(x0 + x, y0 + y, Shade(Mix(Rgb(200, 150, 70), Rgb(150, 95, 40), grain), 0.85f + 0.25f * n));
            }
        img.Frame(x0, y0, x0 + 128, y0 + 128, 6, Rgb(110, 65, 25));
        img.Frame(x0 + 6, y0 + 6, x0 + 122, y0 + 122, 2, Rgb(240, 200, 120));
        char letter = kBlockAtlas[t];
        if (letter == '*') {
            img.FillCircle(x0 + 64.0f, y0 + 64.0f, 40, Rgb(245, 245, 240));
            img.FillCircle(x0 + 64.0f, y0 + 64.0f, 13, Rgb(25, 25, 30));
            for (int i = 0; i < 5; ++i) {
                float a = kPi * 2 * i / 5 - kPi / 2;
                img.FillCircle(x0 + 64 + std::cos(a) * 31, y0 + 64 + std::sin(a) * 31, 8, Rgb(25, 25, 30));
            }
        } else {
            std::string s(1, letter);
            PaintText(img, kBold, 96.0f, x0 + 67.0f, y0 + 103.0f, Argb(160, 60, 30, 10), s, Align::Centre);
            PaintText(img, kBold, 96.0f, x0 + 64.0f, y0 + 100.0f, Rgb(30, 60, 160), s, Align::Centre);
        }
    }
    return img;
}

}  // namespace

std::vector<std::string> KitNames() {
    std::vector<std::string> v;
    for (const char* k : kKits) v.push_back(std::string(k) + ".tga");
    return v;
}

std::vector<PictureLine> MenuPictureLines(const std::string& file) {
    if (file == "interface\\plain.jpg") return Border(800, 600, kBorder);
    if (file == "interface\\ldet.jpg" || file == "interface\\lres.jpg" || file == "interface\\stats.jpg") {
        std::vector<PictureLine> lines = Border(800, 600, kBorder);
        lines.push_back({kBorder, kHeaderRuleTop, 800 - kBorder, kHeaderRuleBottom});
        return lines;
    }
    if (file == "interface\\start.jpg") {
        std::vector<PictureLine> lines = {{0, kStartBandTop, 800, kStartBandTop + 2},
                                          {0, kStartBandBottom - 2, 800, kStartBandBottom}};
        for (const auto& p : kStartPlates) {
            lines.push_back({p[0], kStartPlateTop, p[1], kStartPlateTop + 1});
            lines.push_back({p[0], kStartPlateBottom - 1, p[1], kStartPlateBottom});
            lines.push_back({p[0], kStartPlateTop + 1, p[0] + 1, kStartPlateBottom - 1});
            lines.push_back({p[1] - 1, kStartPlateTop + 1, p[1], kStartPlateBottom - 1});
        }
        return lines;
    }
    if (file == "interface\\loading.jpg") return {{0, kLoadingRuleTop, 800, kLoadingRuleBottom}};
    if (file == "interface\\conf.tga") {
        std::vector<PictureLine> lines = Border(kConfirmW, kConfirmH, kBorder);
        lines.push_back({kBorder, kConfirmRuleTop, kConfirmW - kBorder, kConfirmRuleBottom});
        return lines;
    }
    return {};
}

std::vector<Picture> BuildPictures() {
    std::vector<Picture> out;
    auto add = [&out](const std::string& file, Image img, PicFormat f, bool twin) {
        out.push_back({file, std::move(img), f, twin});
    };
    const uint32_t skinLight = Rgb(235, 190, 155), skinMid = Rgb(200, 150, 110), skinDark = Rgb(130, 85, 55);
    // the default sides and the goalkeepers
    add("textures\\rplayer.tga", BodyTexture(Plain(Rgb(205, 30, 35), Rgb(245, 245, 245), Rgb(205, 30, 35)), skinLight,
                                             Rgb(70, 45, 25), 1), PicFormat::Tga24, true);
    add("textures\\yplayer.tga", BodyTexture(Plain(Rgb(250, 215, 30), Rgb(30, 70, 200), Rgb(250, 215, 30)), skinMid,
                                             Rgb(25, 20, 18), 2), PicFormat::Tga24, true);
    add("textures\\goaly.tga", BodyTexture({Rgb(40, 170, 70), Rgb(20, 20, 20), 'p', Rgb(25, 25, 25), Rgb(40, 170, 70)},
                                           skinMid, Rgb(120, 80, 40), 3), PicFormat::Tga24, true);
    uint32_t seed = 10;
    const uint32_t skins[] = {skinLight, skinMid, skinDark};
    const uint32_t hairs[] = {Rgb(60, 40, 20), Rgb(20, 18, 16), Rgb(150, 110, 60)};
    for (const char* k : kKits) {
        add(std::string("kit\\") + k + ".tga", BodyTexture(ParseKit(k), skins[seed % 3], hairs[seed % 3], seed),
            PicFormat::Tga24, false);
        ++seed;
    }
    for (int i = 0; i < 16; ++i)
        add(std::string("textures\\no") + char('a' + i) + ".tga", NumberPlate(i + 1), PicFormat::Tga24, true);
    add("textures\\ball.tga", BallTexture(), PicFormat::Tga24, true);
    add("textures\\marker.tga", MarkerTexture('s'), PicFormat::Tga32, true);
    add("textures\\markerx.tga", MarkerTexture('x'), PicFormat::Tga32, true);
    add("textures\\markerxr.tga", MarkerTexture('r'), PicFormat::Tga32, true);
    add("textures\\markerm.tga", MarkerTexture('m'), PicFormat::Tga32, true);
    add("textures\\markermq.tga", MarkerTexture('q'), PicFormat::Tga32, true);
    add("textures\\markermr.tga", MarkerTexture('R'), PicFormat::Tga32, true);
    add("textures\\markermp.tga", MarkerTexture('p'), PicFormat::Tga32, true);
    add("textures\\markeru.tga", MarkerTexture('u'), PicFormat::Tga32, true);
    add("textures\\shadow.tga", MarkerTexture('o'), PicFormat::Tga32, true);
    add("textures\\shade.tga", MarkerTexture('h'), PicFormat::Tga32, true);
    add("textures\\pitch.jpg", PitchTexture(), PicFormat::Jpeg, true);
    add("textures\\goal.tga", GoalTexture(), PicFormat::Tga32, true);
    add("textures\\stand.tga", StandTexture(), PicFormat::Tga24, true);
    add("textures\\crowd.tga", CrowdTexture(), PicFormat::Tga24, true);
    add("textures\\boards.tga", BoardsTexture(), PicFormat::Tga24, true);
    add("textures\\sky.jpg", SkyTexture(), PicFormat::Jpeg, true);
    add("textures\\blocktex.jpg", BlockTexture(), PicFormat::Jpeg, true);
    // HUD pieces at the sizes the match screen declares
    add("textures\\slogo.tga", Logo(), PicFormat::Tga32, true);
    add("textures\\endturn.tga", Button(128, 36, 0), PicFormat::Tga32, true);
    add("textures\\pass.tga", Button(128, 37, 1), PicFormat::Tga32, true);
    add("textures\\options.tga", Button(128, 37, 2), PicFormat::Tga32, true);
    add("textures\\sub.tga", Button(128, 37, 3), PicFormat::Tga32, true);
    for (int w : {128, 256, 512}) {
        std::string p = "textures\\" + std::to_string(w);
        add(p + "top.tga", Panel(w, 32, 0), PicFormat::Tga32, true);
        add(p + "mid.tga", Panel(w, 64, 1), PicFormat::Tga32, true);
        add(p + "bot.tga", Panel(w, 32, 2), PicFormat::Tga32, true);
    }
    add("textures\\infball.tga", Icon(0), PicFormat::Tga32, true);
    add("textures\\infstun.tga", Icon(1), PicFormat::Tga32, true);
    add("textures\\inftire.tga", Icon(2), PicFormat::Tga32, true);
    // front end
    add("interface\\title.jpg", TitlePicture(), PicFormat::Jpeg, false);
    add("interface\\start.jpg", StartPicture(), PicFormat::Jpeg, false);
    add("interface\\plain.jpg", PlainBackground(Rgb(20, 60, 30), 7), PicFormat::Jpeg, false);
    add("interface\\loading.jpg", LoadingPicture(), PicFormat::Jpeg, false);
    add("interface\\ldet.jpg", HeaderedPicture(Rgb(40, 90, 200), 8, "LEAGUE"), PicFormat::Jpeg, false);
    add("interface\\lres.jpg", HeaderedPicture(Rgb(200, 160, 40), 9, "RESULT"), PicFormat::Jpeg, false);
    add("interface\\stats.jpg", HeaderedPicture(Rgb(160, 60, 160), 10, "STATS"), PicFormat::Jpeg, false);
    add("interface\\conf.tga", ConfirmBox(), PicFormat::Tga24, false);
    add("interface\\controls.tga", ControlsSheet(), PicFormat::Tga32, false);
    add("interface\\cursor.tga", Cursor(false), PicFormat::Tga32, false);
    add("interface\\cursor2.tga", Cursor(true), PicFormat::Tga32, false);
    return out;
}

}  // namespace fwdata
