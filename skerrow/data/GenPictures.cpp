// Every picture of the data set, with the frame lists and animation scripts that go with them.
#include "skerrow/data/GenCommon.h"
#include "skerrow/data/Sheet.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace gen {
namespace {

const double kPi = 3.14159265358979;

std::string Num2(int v) {
    char b[8];
    std::snprintf(b, sizeof b, "%02d", v);
    return b;
}

// A shaded sphere; texture u in 0..1 around, used for planets that turn.
void Sphere(Canvas& c, double cx, double cy, double r, Rgba base, double turn, int seed, bool dark) {
    Rng rng{uint32_t(seed)};
    double bands[6];
    for (double& b : bands) b = rng.Unit();
    const double hueShift = rng.Unit();
    for (int y = int(cy - r) - 1; y <= int(cy + r) + 1; ++y)
        for (int x = int(cx - r) - 1; x <= int(cx + r) + 1; ++x) {
            const double dx = (x + 0.5 - cx) / r, dy = (y + 0.5 - cy) / r;
            const double d2 = dx * dx + dy * dy;
            if (d2 > 1.0) continue;
            const double dz = std::sqrt(1 - d2);
            const double lon = std::atan2(dx, dz) / (2 * kPi) + turn;
            const double lat = dy;
            double v = 0.5 + 0.25 * std::sin((lat * 5 + bands[0]) * kPi) +
                       0.2 * std::sin((lon * 6 + lat * 3 + bands[1] * 6) * 2 * kPi) *
                           std::sin((lat * 4 + bands[2]) * kPi);
            v = std::clamp(v, 0.0, 1.0);
            Rgba col = Mix(Scale(base, 0.55), Mix(base, Hsv(hueShift * 360, 0.3, 1), 0.3), v);
            const double light = std::clamp(0.25 + 0.85 * (dz * 0.7 - dx * 0.35 - dy * 0.35), 0.08, 1.2);
            col = Scale(col, light * (dark ? 0.35 : 1.0));
            const double edge = std::clamp((1 - std::sqrt(d2)) * r, 0.0, 1.0);
            c.Blend(x, y, col, edge);
        }
    if (!dark) c.Ring(cx, cy, r, 1.5, Mix(base, RGB(255, 255, 255), 0.5));
}

Canvas SpaceBackground(int w, int h, int seed, double hue) {
    Canvas c(w, h, RGB(4, 4, 12));
    Rng rng{uint32_t(seed)};
    c.VGradient(0, 0, w, h, Hsv(hue, 0.7, 0.10), Hsv(hue + 40, 0.8, 0.18));
    for (int k = 0; k < 14; ++k)
        c.Glow(rng.Below(w), rng.Below(h), 60 + rng.Below(160), Hsv(hue + rng.Range(-40, 60), 0.7, 0.7),
               0.18);
    c.Stars(rng, w * h / 250, 0, 0, w, h);
    return c;
}

// Turns the rectangle (x0, y0)-(x1, y1) into one even colour inside a dark cloud: a rounded
// shape through the rectangle's corners whose edge fades back into the picture over about
// `feather` pixels, its reach wavering around the cloud so that it reads as dust in the sky.
void DarkCloud(Canvas& c, int x0, int y0, int x1, int y1, int feather, Rgba deep, int seed) {
    Rng rng{uint32_t(seed)};
    double phase[3];
    for (double& p : phase) p = rng.Unit() * 2 * kPi;
    const double cx = (x0 + x1) / 2.0, cy = (y0 + y1) / 2.0;
    // A superellipse of power 4 whose outline passes through the rectangle's corners.
    const double grow = std::pow(2.0, 0.25), ax = (x1 - x0) / 2.0 * grow, ay = (y1 - y0) / 2.0 * grow;
    for (int y = 0; y < c.Height(); ++y)
        for (int x = 0; x < c.Width(); ++x) {
            const double nx = (x + 0.5 - cx) / ax, ny = (y + 0.5 - cy) / ay;
            const double rho = std::pow(std::pow(nx, 4) + std::pow(ny, 4), 0.25);
            const double angle = std::atan2(ny, nx);
            const double waver = 1 + 0.45 * std::sin(3 * angle + phase[0]) * std::sin(2 * angle + phase[1]) +
                                 0.25 * std::sin(7 * angle + phase[2]);
            const double reach = feather * waver / std::min(ax, ay);
            const double d = std::clamp((rho - 1) / reach, 0.0, 1.0);
            const double cover = 1 - d * d * (3 - 2 * d);
            if (cover > 0) c.At(x, y) = Mix(c.Get(x, y), deep, cover);
        }
}

void Label(Canvas& c, int size, int x, int y, const std::string& text, Rgba col, bool bold = true,
           bool centre = false) {
    Font f(FontPath(bold), size);
    if (centre) x -= f.Measure(text) / 2;
    f.Draw(c, x, y, text, col);
}

void FancyLabel(Canvas& c, int size, int x, int y, const std::string& text, Rgba top, Rgba bottom,
                bool centre = true) {
    Font f(FontPath(true), size);
    if (centre) x -= f.Measure(text) / 2;
    f.DrawFancy(c, x, y, text, top, bottom, RGB(10, 10, 30));
}

Canvas ButtonPicture(int w, int h, const std::string& text, Rgba face, int state) {
    // state 0 idle, 1 hover, 2 pressed
    Canvas c(w, h);
    const Rgba f = state == 1 ? Mix(face, RGB(255, 255, 255), 0.25) : state == 2 ? Scale(face, 0.7) : face;
    c.Bevel(0, 0, w, h, f, 2);
    if (!text.empty()) {
        const int size = std::min(h - 8, 22);
        Font font(FontPath(true), size);
        const int tw = font.Measure(text);
        const int sh = state == 2 ? 1 : 0;
        font.Draw(c, (w - tw) / 2 + 1 + sh, h / 2 + size / 3 + 1 + sh, text, RGB(0, 0, 0, 160));
        font.Draw(c, (w - tw) / 2 + sh, h / 2 + size / 3 + sh, text,
                  state == 1 ? RGB(255, 255, 200) : RGB(235, 240, 255));
    }
    return c;
}

void AddSheet(DataSet& ds, const std::string& base, const Sheet& s, const std::vector<Anim>& anims,
              bool frm, bool anm) {
    ds.AddTga(base + ".tga", s.Build());
    if (frm) ds.AddText(base + ".frm", s.Frm());
    if (anm) ds.AddText(base + ".anm", s.Anm(anims));
}

Anim Loop(const std::string& name, const std::string& prefix, int n, int ticks) {
    Anim a{name, {}, true};
    for (int i = 0; i < n; ++i) a.frames.push_back({prefix + std::to_string(i), ticks});
    return a;
}

// ---------------------------------------------------------------- the play field

void MakeBlocks(DataSet& ds) {
    Canvas sheet(256, 256);
    for (int f = 0; f < 128; ++f) {
        const int img = f >= 1 && f <= 41 ? f : 1 + f % 41;
        const int x0 = (f / 16) * 32, y0 = (f % 16) * 16;
        Rng rng(uint32_t(img) * 31u);
        const Rgba base = Hsv(img * 360.0 / 41 * 7, 0.45 + 0.4 * rng.Unit(), 0.65 + 0.3 * rng.Unit());
        const int style = img % 6;
        Canvas b(32, 16);
        b.Bevel(0, 0, 32, 16, base, 2);
        switch (style) {
            case 0: b.FillCircle(16, 8, 3, Mix(base, RGB(255, 255, 255), 0.6)); break;
            case 1: for (int i = 4; i < 28; i += 6) b.Line(i, 4, i + 3, 11, Scale(base, 0.6)); break;
            case 2: b.BlendRect(4, 4, 24, 8, Scale(base, 0.5), 0.6); b.Frame(4, 4, 24, 8, Mix(base, RGB(255, 255, 255), 0.5)); break;
            case 3: b.Line(3, 8, 29, 8, Mix(base, RGB(255, 255, 255), 0.5)); break;
            case 4: for (int i = 0; i < 3; ++i) b.FillCircle(8 + i * 8, 8, 2, Scale(base, 0.55)); break;
            default: b.Glow(16, 8, 10, RGB(255, 255, 255), 0.45); break;
        }
        b.Frame(0, 0, 32, 16, Scale(base, 0.3));
        sheet.Paste(b, x0, y0, false);
    }
    sheet.KeyTransparent(RGB(0, 0, 0));
    ds.AddTga("Blocks.tga", sheet);
}

void MakeBall(DataSet& ds) {
    Sheet s(256);
    auto ball = [](Rgba core, Rgba rim, double glint) {
        Canvas c(14, 14);
        c.Glow(7, 7, 7, rim, 0.8);
        c.FillCircle(7, 7, 4.5, rim);
        c.FillCircle(7, 7, 3.2, core);
        c.FillCircle(5.5 + glint, 5.5, 1.2, RGB(255, 255, 255));
        return c;
    };
    for (int i = 0; i < 4; ++i) {
        s.Add("ball" + std::to_string(i), ball(RGB(220, 240, 255), RGB(80, 160, 255), i * 0.6));
        s.Add("fire" + std::to_string(i), ball(RGB(255, 240, 160), Hsv(10 + i * 8, 1, 1), i * 0.6));
        s.Add("dim" + std::to_string(i), ball(RGB(160, 190, 230), RGB(50, 100, 200), i * 0.6));
        Canvas shot(16, 16);
        shot.Glow(8, 8, 8, Hsv(300 + i * 15, 0.8, 1), 0.9);
        shot.FillCircle(8, 8, 3.5 + (i % 2), RGB(255, 200, 255));
        s.Add("boss" + std::to_string(i), shot);
    }
    std::vector<Anim> a = {Loop("Ball", "ball", 4, 3), Loop("BallFire", "fire", 4, 1), Loop("BallBoss", "boss", 4, 1)};
    a.push_back({"AssignedBall", {{"ball0", 12}, {"dim0", 12}}, true});
    a.push_back({"AssignedBallFire", {{"fire0", 8}, {"dim0", 8}}, true});
    AddSheet(ds, "Ball", s, a, false, true);
}

void MakeShip(DataSet& ds) {
    Sheet s(256);
    // The hull spans the whole picture, 2 pixels wider than the ship's 80 (120) pixels of play:
    // drawn 1 pixel right of centre (the animations' offset), it covers x - 40 .. x + 41, so at
    // its limits (centre 40 and 598 on a 640-pixel screen) it meets both walls.
    for (int wide = 0; wide < 2; ++wide)
        for (int i = 0; i < 4; ++i) {
            const int w = wide ? 122 : 82, h = 18;
            Canvas c(w, h);
            c.Glow(5, 9, 8, Hsv(200, 0.8, 1), 0.5 + 0.15 * i);
            c.Glow(w - 6, 9, 8, Hsv(200, 0.8, 1), 0.5 + 0.15 * ((i + 2) % 4));
            c.Bevel(3, 3, w - 6, 11, RGB(150, 160, 190), 2);
            // Engine nozzles closing the hull at both ends, flickering as the ship flies.
            for (int end = 0; end < 2; ++end) {
                const int x = end ? w - 3 : 0;
                c.FillRect(x, 5, 3, 7, RGB(70, 170, 230));
                c.BlendRect(x, 6, 3, 5, RGB(200, 245, 255), 0.3 + 0.15 * ((i + 2 * end) % 4));
            }
            c.FillRect(w / 2 - 10, 5, 20, 5, RGB(60, 220, 255));
            c.BlendRect(w / 2 - 10, 5, 20, 2, RGB(255, 255, 255), 0.5);
            c.FillRect(10, 12, w - 20, 2, RGB(255, 170, 40));
            for (int k = 0; k < (wide ? 4 : 2); ++k)
                c.FillCircle(16 + k * (w - 32) / std::max(1, (wide ? 3 : 1)), 8, 2, Hsv(120 * ((i + k) % 3), 0.6, 1));
            s.Add(std::string(wide ? "wide" : "norm") + std::to_string(i), c);
        }
    // The ship is drawn top-aligned at the paddle's centre line (y 375) while balls bounce
    // off the 10 pixels above it: lift the picture so its deck is where the bounce happens.
    Anim normal = Loop("Normal", "norm", 4, 3), wide = Loop("Wide", "wide", 4, 3);
    normal.offY = wide.offY = -9;
    normal.offX = wide.offX = 1;
    AddSheet(ds, "Ship", s, {normal, wide}, false, true);
}

void MakeCursor(DataSet& ds) {
    Sheet s(128);
    for (int i = 0; i < 4; ++i) {
        Canvas c(28, 28);
        const double px[] = {10, 10, 15, 18, 21, 18, 25}, py[] = {5, 24, 19, 26, 25, 18, 18};
        for (int y = 0; y < 28; ++y)
            for (int x = 0; x < 28; ++x) {
                bool in = false;
                for (int a = 0, b = 6; a < 7; b = a++)
                    if (((py[a] > y) != (py[b] > y)) && (x < (px[b] - px[a]) * (y - py[a]) / (py[b] - py[a]) + px[a])) in = !in;
                if (in) c.Set(x, y, Mix(RGB(120, 230, 255), RGB(255, 255, 255), (y - 5) / 22.0 * (i % 2 ? 0.8 : 0.4)));
            }
        c.Line(10, 5, 10, 24, RGB(20, 40, 90));
        c.Line(10, 5, 25, 18, RGB(20, 40, 90));
        s.Add("cur" + std::to_string(i), c);
    }
    AddSheet(ds, "Cursor", s, {Loop("Cursor", "cur", 4, 6)}, false, true);
}

void MakeMisc(DataSet& ds) {
    Sheet s(256);
    Canvas bullet(6, 12);
    bullet.Glow(3, 6, 6, RGB(255, 220, 80), 0.8);
    bullet.FillRect(2, 1, 2, 10, RGB(255, 255, 200));
    s.Add("Bullet", bullet);
    Canvas star(9, 9);
    star.Glow(4.5, 4.5, 4.5, RGB(255, 255, 255), 1);
    s.Add("Star", star);
    for (int i = 0; i < 6; ++i) {
        Canvas flag(24, 24);
        flag.FillRect(3, 2, 2, 21, RGB(200, 200, 210));
        for (int x = 0; x < 16; ++x) {
            const int dy = int(2 * std::sin((x + i * 3) * 0.5));
            flag.FillRect(5 + x, 3 + dy, 1, 10, Hsv(350, 0.8, 0.9 - x * 0.02));
        }
        s.Add("flag" + std::to_string(i), flag);
    }
    ds.AddTga("Misc.tga", s.Build());
    ds.AddText("Misc.frm", s.Frm());
    const std::vector<Anim> flags = {Loop("Flag", "flag", 6, 3), Loop("Rotation", "flag", 6, 3)};
    ds.AddText("Flag.anm", s.Anm(flags));
}

void MakeParticles(DataSet& ds) {
    // Rows by particle type, columns by size; a 5 x 5 cell each.
    const Rgba rows[7] = {RGB(255, 255, 255), RGB(255, 150, 40), RGB(255, 230, 60), RGB(90, 220, 255),
                          RGB(170, 190, 255), RGB(255, 70, 70), RGB(120, 255, 140)};
    Canvas c(26, 35);  // 5 columns of 5 pixels, padded to an even width
    for (int r = 0; r < 7; ++r)
        for (int col = 0; col < 5; ++col)
            c.Glow(col * 5 + 2.5, r * 5 + 2.5, 1.2 + col * 0.35, rows[r], 1.6);
    c.KeyTransparent(RGB(0, 0, 0));
    ds.AddTga("Particles.tga", c);
}

void MakeContainer(DataSet& ds) {
    Sheet s(512);
    for (int i = 0; i < 8; ++i) {
        Canvas c(40, 20);
        c.Bevel(2, 2, 36, 16, RGB(120, 200, 120), 1);
        c.FillCircle(4, 10, 7, RGB(80, 170, 90));
        c.FillCircle(36, 10, 7, RGB(80, 170, 90));
        c.Bevel(6, 3, 28, 14, RGB(130, 220, 140), 1);
        const int sx = 6 + (i * 4) % 28;
        c.BlendRect(sx, 3, 3, 14, RGB(255, 255, 255), 0.55);
        Label(c, 11, 20, 14, "?", RGB(30, 60, 30), true, true);
        s.Add("cap" + std::to_string(i), c);
    }
    AddSheet(ds, "Container", s, {Loop("Rotation", "cap", 8, 3)}, false, true);
}

void MakeTPanel(DataSet& ds) {
    Sheet s(512);
    const int steps = 8;
    for (int i = 0; i < steps; ++i) {
        const int w = 40 + (280 * (i + 1)) / steps, h = 14 + (46 * (i + 1)) / steps;
        Canvas c(w, h);
        c.VGradient(0, 0, w, h, RGB(30, 50, 110), RGB(10, 20, 50));
        c.Frame(0, 0, w, h, RGB(120, 190, 255));
        c.Frame(2, 2, w - 4, h - 4, RGB(50, 90, 170));
        s.Add("panel" + std::to_string(i), c);
    }
    Anim appear{"Appear", {}, false};
    for (int i = 0; i < steps; ++i) appear.frames.push_back({"panel" + std::to_string(i), 1});
    AddSheet(ds, "TPanel", s, {appear, {"Stay", {{"panel7", 0}}, false}}, false, true);
}

void MakeBoss(DataSet& ds) {
    Sheet s(512);
    auto draw = [](double arm, double eye, double flash, double frost) {
        Canvas c(96, 96);
        const double gx = 40 * arm;
        for (int side = -1; side <= 1; side += 2) {
            c.Line(48, 50, 48 + side * gx, 50 + 36 * arm, RGB(140, 140, 160), 6);
            c.FillCircle(48 + side * gx, 50 + 36 * arm, 6, RGB(180, 180, 200));
            if (flash > 0) c.Glow(48 + side * gx, 56 + 36 * arm, 12, RGB(255, 220, 120), flash);
        }
        Sphere(c, 48, 44, 32, RGB(150, 60, 90), 0.1, 77, false);
        c.Ring(48, 44, 26, 3, RGB(90, 30, 60));
        c.FillCircle(48, 44, 11, RGB(250, 240, 220));
        c.FillCircle(48, 44, 6, Mix(RGB(255, 40, 40), RGB(120, 220, 255), frost));
        c.Glow(48, 44, 16, Mix(RGB(255, 60, 60), RGB(150, 230, 255), frost), eye);
        return c;
    };
    for (int i = 0; i < 4; ++i) {
        s.Add("wait" + std::to_string(i), draw(0.3, 0.3 + 0.15 * i, 0, 0));
        s.Add("arm" + std::to_string(i), draw(0.3 + 0.23 * (i + 1), 0.5, 0, 0));
        s.Add("frz" + std::to_string(i), draw(1.0, 0.6, 0, 0.25 * (i + 1)));
        s.Add("fire" + std::to_string(i), draw(1.0, 0.9, i % 2 ? 0.4 : 1.0, 0.2));
        s.Add("rel" + std::to_string(i), draw(1.0 - 0.23 * (i + 1), 0.5, 0, 0));
    }
    // The boss moves on from Arm, Freeze, Fire and Reload when each has run out, so their
    // lengths are the rhythm of the fight (a frame given n extra ticks shows for n + 2).
    // Arming (0.5 s) and the icy charge (0.6 s) announce every volley. Fire is shorter than the
    // quickest flight of a shot off the screen (24 frames), so each gun fires once a volley: a
    // gun fires again whenever its shot is gone, and a longer Fire would keep a frozen paddle
    // frozen.
    // Reload draws the arms in and rests, its eye pulsing slower than in Wait, for 7 s: with
    // Wait's own random pause a volley comes about every 9 s, so a player who keeps moving is
    // seldom frozen and the long fight that 300 hits make stays within the lives a campaign
    // leaves. (An animation holds at most 64 frames.)
    static const char* const pulse[6] = {"wait0", "wait1", "wait2", "wait3", "wait2", "wait1"};
    Anim wait{"Wait", {}, true};
    Anim arm{"Arm", {}, false}, frz{"Freeze", {}, false}, fire{"Fire", {}, false}, rel{"Reload", {}, false};
    for (const char* f : pulse) wait.frames.push_back({f, 4});
    for (int i = 0; i < 4; ++i) {
        arm.frames.push_back({"arm" + std::to_string(i), 7});
        frz.frames.push_back({"frz" + std::to_string(i), 10});
        fire.frames.push_back({"fire" + std::to_string(i), 2});
        rel.frames.push_back({"rel" + std::to_string(i), 5});
    }
    for (int k = 0; k < 8; ++k)
        for (const char* f : pulse) rel.frames.push_back({f, 9});
    AddSheet(ds, "Boss", s, {wait, arm, frz, fire, rel}, false, true);
}

// ---------------------------------------------------------------- capsules, items, enemies

void ItemIcon(Canvas& c, int id, double cx, double cy) {
    const Rgba col = Hsv(id * 47.0, 0.75, 1.0);
    auto glyph = [&](const std::string& t) { Label(c, 13, int(cx), int(cy + 5), t, RGB(255, 255, 255), true, true); };
    switch (id) {
        case 0: break;
        case 1: case 2:
            c.FillCircle(cx, cy, 9, RGB(255, 210, 60));
            glyph(id == 1 ? "5" : "1");
            break;
        case 3: c.FillCircle(cx, cy, 8, RGB(120, 200, 255)); glyph("+"); break;
        case 4: c.FillRect(int(cx) - 13, int(cy) - 3, 26, 7, col); c.Line(cx - 16, cy, cx - 12, cy, col, 2); c.Line(cx + 12, cy, cx + 16, cy, col, 2); break;
        case 5: glyph(">>"); break;
        case 6: glyph("<<"); break;
        case 7: c.FillCircle(cx - 5, cy, 5, col); c.FillCircle(cx + 5, cy, 5, Mix(col, RGB(255, 255, 255), 0.4)); break;
        case 8: c.FillRect(int(cx) - 7, int(cy) - 2, 14, 9, col); c.FillRect(int(cx) - 2, int(cy) - 11, 4, 10, RGB(230, 230, 230)); break;
        case 9: c.Line(cx - 9, cy + 6, cx, cy - 9, col, 3); c.Line(cx, cy - 9, cx + 9, cy + 6, col, 3); break;
        case 10: c.Glow(cx, cy, 11, RGB(255, 120, 30), 1.2); c.FillCircle(cx, cy, 4, RGB(255, 240, 150)); break;
        case 11: c.Ring(cx, cy + 2, 7, 4, col); c.FillRect(int(cx) - 9, int(cy) - 6, 18, 6, RGB(0, 0, 0, 0)); break;
        case 12: glyph("!!"); break;
        case 13: c.Ring(cx, cy, 8, 2, col); c.Line(cx - 11, cy, cx + 11, cy, col); c.Line(cx, cy - 11, cx, cy + 11, col); break;
        case 14: c.Ring(cx, cy, 9, 2, col); c.Line(cx, cy, cx, cy - 7, col, 2); c.Line(cx, cy, cx + 5, cy, col, 2); break;
        case 15: c.Ring(cx, cy, 9, 3, col); c.FillCircle(cx, cy, 4, RGB(220, 240, 255)); break;
        case 16: for (int k = 0; k < 3; ++k) c.Ring(cx, cy, 3 + k * 3, 1.5, col); break;
        case 17: c.FillCircle(cx - 4, cy, 6, RGB(90, 90, 140)); c.FillCircle(cx + 4, cy, 6, col); break;
        case 18: c.FillCircle(cx, cy + 2, 8, RGB(70, 70, 80)); c.Line(cx + 4, cy - 5, cx + 8, cy - 10, RGB(255, 200, 60), 2); break;
        case 19: c.FillCircle(cx, cy + 2, 8, RGB(200, 60, 60)); glyph("T"); break;
        case 20: c.Ring(cx, cy, 9, 2, RGB(200, 200, 255, 150)); glyph("?"); break;
        case 21: c.FillRect(int(cx) - 8, int(cy) - 4, 16, 12, RGB(200, 60, 40)); c.FillRect(int(cx) - 2, int(cy) - 10, 4, 6, RGB(200, 200, 200)); break;
        default: c.FillRect(int(cx) - 11, int(cy) - 1, 22, 3, RGB(120, 255, 255)); c.Glow(cx, cy, 12, RGB(120, 255, 255), 0.5); break;
    }
}

// The side of an item picture: the shop shows it in the middle of a 50 x 50 shelf place,
// between the item's name above and its price below, and the HUD in a slot 42 pixels wide.
constexpr int kItemPictureSide = 30;

void MakeItems(DataSet& ds, Canvas& strip) {
    strip = Canvas(23 * 40, 40);
    for (int id = 0; id <= 22; ++id) {
        Sheet s(512);
        for (int i = 0; i < 8; ++i) {
            Canvas c(40, 40);
            const double sq = std::fabs(std::cos(i * kPi / 8));
            Canvas icon(40, 40);
            icon.FillCircle(20, 20, 17, Hsv(id * 47.0, 0.55, 0.35));
            icon.Ring(20, 20, 17, 2, Hsv(id * 47.0, 0.6, 0.95));
            ItemIcon(icon, id, 20, 20);
            // Spin: squeeze horizontally around the centre.
            const double k = 0.25 + 0.75 * sq;
            for (int y = 0; y < 40; ++y)
                for (int x = 0; x < 40; ++x) {
                    const double sx = 20 + (x + 0.5 - 20) / k;
                    if (sx >= 0 && sx < 40) c.Set(x, y, icon.Get(int(sx), y));
                }
            s.Add("rot" + std::to_string(i), c.Scaled(kItemPictureSide, kItemPictureSide));
            if (i == 0) strip.Paste(c, id * 40, 0);
        }
        const std::vector<Anim> anims = {Loop("Rotation", "rot", 8, 3), {"Stop", {{"rot0", 0}}, false}};
        AddSheet(ds, "Items\\Item" + Num2(id), s, anims, false, true);
    }
}

void MakeCredits(DataSet& ds) {
    for (int k = 0; k < 2; ++k) {
        Sheet s(512);
        for (int i = 0; i < 8; ++i) {
            Canvas c(40, 20);
            const double w = 9 * std::fabs(std::cos(i * kPi / 8)) + 1.5;
            const Rgba gold = k == 0 ? RGB(255, 200, 50) : RGB(200, 210, 230);
            for (int y = 0; y < 20; ++y)
                for (int x = 0; x < 40; ++x) {
                    const double dx = (x + 0.5 - 20) / w, dy = (y + 0.5 - 10) / 9;
                    const double d = dx * dx + dy * dy;
                    if (d < 1) c.Set(x, y, Scale(gold, 0.7 + 0.3 * (1 - d) - (d > 0.6 ? 0.2 : 0)));
                }
            if (w > 5) Label(c, 11, 20, 14, k == 0 ? "5" : "1", Scale(gold, 0.4), true, true);
            s.Add("coin" + std::to_string(i), c);
        }
        // Standing still (the shop's shelf), a coin shows its face.
        AddSheet(ds, "Credits\\Credit" + Num2(k), s, {Loop("Rotation", "coin", 8, 3), {"Stop", {{"coin0", 0}}, false}},
                 false, true);
    }
}

void MakeEnemies(DataSet& ds) {
    for (int t = 0; t < 3; ++t) {
        Sheet s(512);
        for (int i = 0; i < 8; ++i) {
            Canvas c(32, 32);
            const double a = i * kPi / 4;
            const Rgba col = t == 0 ? RGB(255, 90, 90) : t == 1 ? RGB(160, 255, 90) : RGB(190, 120, 255);
            if (t == 0) {
                for (int k = 0; k < 4; ++k) {
                    const double b = a + k * kPi / 2;
                    c.Line(16, 16, 16 + 13 * std::cos(b), 16 + 13 * std::sin(b), Scale(col, 0.8), 3);
                }
                c.FillCircle(16, 16, 7, col);
                c.FillCircle(16, 16, 3, RGB(255, 255, 200));
            } else if (t == 1) {
                c.FillCircle(16, 16, 10, Scale(col, 0.6));
                for (int k = 0; k < 6; ++k) {
                    const double b = a * 0.5 + k * kPi / 3;
                    c.FillCircle(16 + 10 * std::cos(b), 16 + 10 * std::sin(b), 3, col);
                }
                c.FillCircle(16, 16, 4, RGB(20, 40, 10));
            } else {
                c.Glow(16, 16, 16, col, 0.6 + 0.3 * std::sin(a));
                c.FillCircle(16, 16, 8 + std::sin(a) * 2, Mix(col, RGB(255, 255, 255), 0.3));
                c.FillCircle(13, 14, 2, RGB(30, 0, 40));
                c.FillCircle(19, 14, 2, RGB(30, 0, 40));
            }
            s.Add("en" + std::to_string(i), c);
        }
        AddSheet(ds, "Enemies\\Enemy" + Num2(t), s, {Loop("Rotation", "en", 8, 2)}, false, true);
    }
}

// ---------------------------------------------------------------- background tiles and objects

void MakeTiles(DataSet& ds) {
    std::string ini;
    for (int set = 0; set < 20; ++set) {
        const double hue = set * 360.0 / 20 * 7;
        Rng rng(uint32_t(set) * 97u + 5u);
        Canvas img(640, 320);
        const Rgba base = Hsv(hue, 0.6, 0.09);
        ini += "[Tileset " + Num2(set) + "]\nTGA File = BackTiles\\Tiles" + Num2(set) + ".tga\n";
        std::string freq, rect;
        for (int t = 0; t < 32; ++t) {
            const int tx = (t % 8) * 80, ty = (t / 8) * 80;
            Canvas tile(80, 80, base);
            // Features fade out before the edges, so any two tiles sit side by side.
            const int kind = t < 16 ? 0 : t < 24 ? 1 : t < 29 ? 2 : 3;
            tile.Stars(rng, 10 + rng.Below(12), 2, 2, 76, 76);
            if (kind == 1)
                for (int k = 0; k < 5; ++k)
                    tile.Glow(40 + rng.Range(-14, 14), 40 + rng.Range(-14, 14), 14 + rng.Below(12),
                              Hsv(hue + rng.Range(-30, 30), 0.7, 0.7), 0.22);
            if (kind == 2) {
                tile.Glow(40, 40, 38, Hsv(hue + 180, 0.5, 0.5), 0.25);
                tile.Stars(rng, 25, 10, 10, 60, 60);
            }
            if (kind == 3) Sphere(tile, 40, 40, 12 + rng.Below(14), Hsv(hue + rng.Range(0, 120), 0.5, 0.8), rng.Unit(), set * 40 + t, false);
            img.Paste(tile, tx, ty, false);
            const int weight = kind == 0 ? 10 : kind == 1 ? 4 : kind == 2 ? 3 : 1;
            freq += "TileFreq " + Num2(t) + " = " + std::to_string(weight) + "\n";
            rect += "TileRect " + Num2(t) + " = " + std::to_string(tx) + ", " + std::to_string(ty) + ", 80, 80\n";
        }
        ini += freq + rect + "\n";
        img.MakeOpaque();
        ds.AddTga("BackTiles\\Tiles" + Num2(set) + ".tga", img);
    }
    ds.AddText("BackTiles\\Tiles.ini", ini);
}

// The level map draws set 0's sixth object, a comet, centred on each of its round buttons'
// names, the letters' baseline 4 pixels below the centre. This comet flies beneath the name,
// head to the right, so that it never crosses the rows the letters and the ground right around
// them take (the upper 36 rows of the 48); its sparks run down the tail from frame to frame.
Canvas UnderlineComet(int frame, Rgba tailColour) {
    Canvas c(48, 48);
    const double headX = 37, headY = 41.5, length = 32, width = 3.8;
    const double dirX = -0.995, dirY = -0.0998;  // trailing left, barely rising
    const Rgba head = RGB(230, 245, 255);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 48; ++x) {
            const double px = x + 0.5 - headX, py = y + 0.5 - headY;
            const double along = px * dirX + py * dirY, across = std::fabs(px * dirY - py * dirX);
            if (along < 0 || along > length) continue;
            const double t = along / length;
            const double half = width * std::pow(1 - t, 0.6);
            if (across > half) continue;
            const Rgba body = Mix(Mix(head, tailColour, std::sqrt(t)), Scale(tailColour, 0.6), across / width);
            c.Set(x, y, body);
        }
    for (int k = 0; k < 3; ++k) {
        const double t = std::fmod(frame / 8.0 + k / 3.0, 1.0);
        const double along = 6 + t * 26, side = (k - 1) * 1.6;
        c.FillCircle(headX + dirX * along - dirY * side, headY + dirY * along + dirX * side, 0.9,
                     Mix(RGB(255, 255, 255), tailColour, t));
    }
    c.FillCircle(headX, headY, 4.0 + (frame % 2) * 0.4, Mix(head, RGB(140, 200, 255), 0.3));
    c.FillCircle(headX, headY, 2.6, head);
    return c;
}

void MakeBackObjects(DataSet& ds) {
    for (int set = 0; set < 20; ++set) {
        const int count = set == 0 ? 6 : 4;
        for (int obj = 0; obj < count; ++obj) {
            Rng rng(uint32_t(set * 13 + obj * 7 + 1));
            Sheet s(1024);
            const int kind = (set + obj) % 3;
            const Rgba col = Hsv(set * 25 + obj * 60, 0.3, 0.75);
            const Rgba cometTail = Mix(col, RGB(120, 200, 255), 0.5);
            double bumps[8];
            for (double& b : bumps) b = 0.7 + 0.3 * rng.Unit();
            for (int i = 0; i < 8; ++i) {
                Canvas c(48, 48);
                const double a = i * kPi / 4;
                if (kind == 0) {  // a tumbling rock
                    for (int y = 0; y < 48; ++y)
                        for (int x = 0; x < 48; ++x) {
                            const double dx = x + 0.5 - 24, dy = y + 0.5 - 24;
                            const double ang = std::atan2(dy, dx) - a;
                            const int seg = int(std::floor((ang / (2 * kPi) + 2) * 8)) % 8;
                            const double r = 18 * bumps[seg];
                            const double d = std::hypot(dx, dy);
                            if (d < r) c.Set(x, y, Scale(col, 0.5 + 0.5 * (1 - d / r) - 0.2 * (dx + dy) / 48));
                        }
                    c.FillCircle(24 + 6 * std::cos(a), 24 + 6 * std::sin(a), 3, Scale(col, 0.35));
                } else if (kind == 1) {  // a satellite
                    c.FillRect(20, 20, 8, 8, RGB(200, 200, 210));
                    const double ca = std::cos(a), sa = std::sin(a);
                    for (int side = -1; side <= 1; side += 2)
                        for (double t = 6; t < 22; t += 0.5)
                            for (double w = -4; w <= 4; w += 0.5)
                                c.Set(int(24 + side * t * ca - w * sa), int(24 + side * t * sa + w * ca), Hsv(220, 0.6, 0.7));
                    c.Glow(24, 24, 6, RGB(255, 80, 80), 0.4 + 0.4 * (i % 2));
                } else if (set == 0 && obj == 5) {
                    c = UnderlineComet(i, cometTail);
                } else {  // a comet
                    for (int k = 0; k < 20; ++k)
                        c.Glow(30 - k * 1.1, 30 - k * 0.8, 7 - k * 0.25, cometTail, 0.9 - k * 0.035);
                    c.Glow(30, 30, 9, RGB(200, 230, 255), 0.8);
                    c.FillCircle(30, 30, 4 + (i % 2) * 0.5, RGB(230, 245, 255));
                }
                s.Add("ob" + std::to_string(i), c);
            }
            Canvas img = s.Build();
            const std::string base = "BackObjects\\ts" + std::to_string(set) + "back" + std::to_string(obj);
            ds.AddBmp(base + ".bmp", img);
            ds.AddText(base + ".anm", s.Anm({Loop("Rotation", "ob", 8, 4)}));
        }
    }
}

// ---------------------------------------------------------------- planets and the map

void MakePlanets(DataSet& ds) {
    Sheet dark(512);
    for (int p = 0; p < 8; ++p) {
        const Rgba base = Hsv(p * 45 + 10, 0.6, 0.9);
        Sheet s(512);
        for (int i = 0; i < 8; ++i) {
            Canvas c(44, 44);
            c.Glow(22, 22, 22, base, 0.3);
            Sphere(c, 22, 22, 17, base, i / 8.0, p * 11 + 3, false);
            s.Add("pl" + std::to_string(i), c);
        }
        ds.AddTga("planet" + std::to_string(p) + ".tga", s.Build());
        if (p == 0) ds.AddText("planet.anm", s.Anm({Loop("Rotation", "pl", 8, 5), Loop("Planet", "pl", 8, 5)}));
        Canvas d(44, 44);
        Sphere(d, 22, 22, 17, base, 0.0, p * 11 + 3, true);
        d.Ring(22, 22, 17, 1, RGB(70, 70, 80));
        dark.Add("dark" + std::to_string(p), d);
    }
    AddSheet(ds, "DarkPlanets", dark, {}, true, false);

    Sheet sel(256);
    Canvas ring(56, 56);
    ring.Ring(28, 28, 24, 3, RGB(120, 255, 160));
    for (int k = 0; k < 4; ++k) {
        const double a = k * kPi / 2 + kPi / 4;
        ring.Line(28 + 20 * std::cos(a), 28 + 20 * std::sin(a), 28 + 27 * std::cos(a), 28 + 27 * std::sin(a), RGB(200, 255, 220), 2);
    }
    sel.Add("Select", ring);
    AddSheet(ds, "Select", sel, {}, true, false);

    Canvas node = SpaceBackground(640, 480, 4242, 220);
    Sphere(node, 560, 90, 60, RGB(90, 110, 200), 0.3, 99, false);
    node.Glow(100, 380, 160, RGB(160, 60, 200), 0.15);
    // The saved-games lists print their rows over this picture from (240, 170) on, in a blue
    // that reaches at best about 2.6 : 1 on black: behind them lies a cloud of deep, even
    // black-blue with no star or glow, the deepest the display keeps clear of the colour key.
    DarkCloud(node, 226, 160, 478, 342, 40, RGB(2, 3, 12), 4243);
    node.MakeOpaque();
    ds.AddTga("Nodes\\Node.tga", node);

    Sheet nb(512);
    const char* names[] = {"start", "shop", "save", "quit"};
    // Each face spans its button's 80 x 80 square, where a click works, with the bright rim
    // clear of the grey name the map prints on it. The names sit in their squares' middles but
    // QUIT's, 20 pixels left of it: QUIT's face leans 8 pixels toward its name so that the
    // name stays inside the rim, while the face still covers nearly all of its square.
    const int pos[4][2] = {{68, 364}, {191, 401}, {357, 401}, {507, 364}};
    for (int i = 0; i < 4; ++i) {
        Canvas c(80, 80);
        c.Glow(40, 40, 40, RGB(80, 160, 255), 0.4);
        c.FillCircle(40, 40, 36, RGB(40, 60, 110));
        c.Ring(40, 40, 36, 3, RGB(140, 200, 255));
        nb.Add(names[i], c, pos[i][0], pos[i][1]);
    }
    for (int dir = 0; dir < 2; ++dir) {
        Canvas c(28, 23);
        c.Bevel(0, 0, 28, 23, RGB(70, 110, 180), 2);
        for (int y = 0; y < 11; ++y) {
            const int half = dir == 0 ? 10 - y : y;
            c.FillRect(14 - half / 2, 6 + y, std::max(1, half), 1, RGB(230, 240, 255));
        }
        nb.Add(dir == 0 ? "down" : "up", c, dir == 0 ? 269 : 319, 359);
    }
    AddSheet(ds, "NodeButtons", nb, {}, true, false);
}

// ---------------------------------------------------------------- screens

void MakeScreens(DataSet& ds, const Canvas& itemStrip) {
    // Main menu: the background carries the idle buttons; "menu" holds the lit ones.
    const char* menuNames[] = {"newgame", "loadgame", "hiscores", "options", "instruction", "quit"};
    const char* menuTexts[] = {"NEW GAME", "LOAD GAME", "HISCORES", "OPTIONS", "HELP", "QUIT"};
    Canvas logo = SpaceBackground(640, 480, 777, 250);
    Sphere(logo, 150, 330, 120, RGB(200, 110, 60), 0.2, 5, false);
    logo.Glow(150, 330, 170, RGB(255, 150, 80), 0.15);
    Sheet menu(640);
    for (int i = 0; i < 6; ++i) {
        logo.Paste(ButtonPicture(280, 40, menuTexts[i], RGB(40, 70, 130), 0), 316, 179 + i * 48);
        menu.Add(std::string(menuNames[i]) + "_up", ButtonPicture(280, 40, menuTexts[i], RGB(60, 120, 210), 1), 0, i * 48);
        menu.Add(std::string(menuNames[i]) + "_down", ButtonPicture(280, 40, menuTexts[i], RGB(60, 120, 210), 2), 0, i * 48);
    }
    logo.MakeOpaque();
    ds.AddTga("Logo2.tga", logo);
    AddSheet(ds, "menu", menu, {}, true, false);

    Canvas title(300, 100);
    FancyLabel(title, 46, 150, 56, "OMBRELIT", RGB(255, 240, 150), RGB(255, 110, 40));
    FancyLabel(title, 22, 150, 88, "Q  R  N", RGB(150, 220, 255), RGB(60, 120, 255));
    title.KeyTransparent(RGB(0, 0, 0));
    ds.AddTga("OmbrelitQRN.tga", title);

    // Headers shared by the screens, placed by their offsets.
    Sheet headers(640);
    auto header = [](int w, int h, const std::string& text, int size, Rgba top, Rgba bottom) {
        Canvas c(w, h);
        FancyLabel(c, size, w / 2, h - h / 4, text, top, bottom);
        return c;
    };
    // The level map types a level's name on the line at y 35 across the top: the title keeps
    // below it, above the screens' own headers at y 75.
    headers.Add("Ombrelit", header(400, 34, "OMBRELIT QRN", 28, RGB(255, 240, 150), RGB(255, 110, 40)), 120, 41);
    headers.Add("Options", header(300, 44, "OPTIONS", 30, RGB(180, 230, 255), RGB(60, 130, 255)), 170, 75);
    headers.Add("hiscores", header(300, 44, "HISCORES", 30, RGB(180, 230, 255), RGB(60, 130, 255)), 170, 75);
    headers.Add("Load", header(300, 44, "SAVED GAMES", 30, RGB(180, 230, 255), RGB(60, 130, 255)), 170, 75);
    headers.Add("quit", ButtonPicture(100, 30, "BACK", RGB(150, 60, 60), 0), 270, 430);
    headers.Add("quits", ButtonPicture(100, 30, "BACK", RGB(150, 60, 60), 2), 270, 430);
    headers.Add("prev", ButtonPicture(90, 30, "< PREV", RGB(50, 90, 160), 0), 40, 440);
    headers.Add("prevs", ButtonPicture(90, 30, "< PREV", RGB(50, 90, 160), 2), 40, 440);
    headers.Add("next", ButtonPicture(90, 30, "NEXT >", RGB(50, 90, 160), 0), 510, 440);
    headers.Add("nexts", ButtonPicture(90, 30, "NEXT >", RGB(50, 90, 160), 2), 510, 440);
    AddSheet(ds, "headers", headers, {}, true, false);

    Sheet help(512);
    help.Add("prev", ButtonPicture(90, 30, "< PREV", RGB(50, 90, 160), 0), 40, 440);
    help.Add("prevs", ButtonPicture(90, 30, "< PREV", RGB(50, 90, 160), 2), 40, 440);
    help.Add("next", ButtonPicture(90, 30, "NEXT >", RGB(50, 90, 160), 0), 510, 440);
    help.Add("nexts", ButtonPicture(90, 30, "NEXT >", RGB(50, 90, 160), 2), 510, 440);
    AddSheet(ds, "HelpBtn", help, {}, true, false);

    // Generic buttons of the button class, by caption name.
    Sheet buttons(512);
    const char* caps[][2] = {{"quit", "BACK"}, {"prev", "PREV"}, {"next", "NEXT"}, {"ok", "OK"},
                             {"start", "START"}, {"shop", "SHOP"}, {"save", "SAVE"}, {"button", ""}};
    std::vector<Anim> capAnims;
    for (const auto& cap : caps) {
        buttons.Add(std::string(cap[0]) + "_b", ButtonPicture(100, 30, cap[1], RGB(60, 90, 150), 0));
        buttons.Add(std::string(cap[0]) + "_p", ButtonPicture(100, 30, cap[1], RGB(60, 90, 150), 2));
        capAnims.push_back({cap[0], {{std::string(cap[0]) + "_b", 0}}, false});
        capAnims.push_back({std::string(cap[0]) + "s", {{std::string(cap[0]) + "_p", 0}}, false});
    }
    AddSheet(ds, "Buttons", buttons, capAnims, false, true);

    // The in-game panel: magenta is the colour key.
    Canvas panel(640, 80, RGB(255, 0, 255));
    panel.VGradient(0, 6, 640, 74, RGB(70, 80, 110), RGB(25, 30, 45));
    for (int x = 0; x < 640; ++x)
        for (int y = 0; y < 6; ++y)
            if (y >= 6 - std::min(6, std::min(x, 639 - x) / 4)) panel.Set(x, y, RGB(120, 140, 190));
    panel.FillRect(0, 6, 640, 2, RGB(150, 180, 240));
    panel.Bevel(8, 12, 160, 62, RGB(40, 50, 75), 2);
    Label(panel, 10, 14, 25, "DONE", RGB(160, 200, 255));
    Label(panel, 10, 14, 42, "LIFE", RGB(160, 200, 255));
    panel.FillCircle(90, 37, 5, RGB(255, 210, 60));
    Label(panel, 8, 87, 40, "C", RGB(120, 80, 0), true, false);
    Label(panel, 10, 14, 60, "SCORE", RGB(160, 200, 255));
    for (int i = 0; i < 10; ++i) {
        const int cx = 197 + 42 * i;
        panel.Bevel(cx - 20, 27, 40, 40, RGB(45, 55, 85), 2);
        Label(panel, 9, cx - 17, 38, std::to_string((i + 1) % 10), RGB(140, 160, 200));
    }
    ds.AddTga("panel.tga", panel);

    // Shop shelves, copied under the catalogue at (0, 20).
    Canvas shelves(640, 260, RGB(0, 0, 0));
    shelves.BlendRect(20, 50, 600, 190, RGB(20, 30, 60), 0.85);
    shelves.Frame(20, 50, 600, 190, RGB(90, 130, 200));
    for (int row = 0; row < 3; ++row) {
        shelves.Bevel(28, 60 + row * 60 + 52, 584, 6, RGB(150, 110, 70), 1);
        for (int k = 0; k < 7; ++k) shelves.BlendRect(40 + k * 85, 60 + row * 60, 50, 50, RGB(60, 80, 140), 0.35);
    }
    shelves.KeyTransparent(RGB(0, 0, 0));
    ds.AddTga("shelves.tga", shelves);

    Sheet shop(512);
    const char* sb[] = {"buy", "sell", "back"};
    const char* st[] = {"BUY", "SELL", "BACK"};
    for (int i = 0; i < 3; ++i) {
        shop.Add(std::string(sb[i]) + "_rel", ButtonPicture(110, 32, st[i], RGB(60, 120, 80), 0), 490, 250 + i * 40);
        shop.Add(std::string(sb[i]) + "_push", ButtonPicture(110, 32, st[i], RGB(60, 120, 80), 2), 490, 250 + i * 40);
    }
    AddSheet(ds, "ShopButtons", shop, {}, true, false);

    // Options: the picture with the labels, the highlights placed on the screen.
    Canvas options(552, 240);
    options.BlendRect(0, 0, 552, 240, RGB(15, 25, 55), 0.9);
    options.Frame(0, 0, 552, 240, RGB(90, 130, 200));
    const int oy = 123, ox = 44;
    auto optLabel = [&](int y, const std::string& t) { Label(options, 16, 36, y - oy + 16, t, RGB(200, 220, 255)); };
    optLabel(150, "Music volume");
    optLabel(185, "Sound volume");
    optLabel(225, "Reverse stereo");
    optLabel(260, "Vanishing blocks");
    optLabel(300, "Scroll speed");
    for (int row = 0; row < 2; ++row) {
        const int y = (row == 0 ? 150 : 185) - oy;
        options.Bevel(320 - ox, y + 6, 122, 8, RGB(40, 50, 80), 1);
        Label(options, 16, 292 - ox, y + 16, "-", RGB(255, 255, 255), true, true);
        Label(options, 16, 458 - ox, y + 16, "+", RGB(255, 255, 255), true, true);
    }
    for (int row = 0; row < 2; ++row) options.Bevel(320 - ox, (row == 0 ? 225 : 260) - oy, 20, 20, RGB(40, 50, 80), 1);
    Label(options, 14, 389 - ox, 300 - oy + 16, "SLOW", RGB(160, 170, 200), true, true);
    Label(options, 14, 469 - ox, 300 - oy + 16, "FAST", RGB(160, 170, 200), true, true);
    options.KeyTransparent(RGB(0, 0, 0));
    ds.AddTga("options.tga", options);

    Sheet hl(512);
    Canvas track(122, 20);
    track.BlendRect(0, 0, 122, 20, RGB(80, 160, 255), 0.3);
    track.Frame(0, 0, 122, 20, RGB(120, 200, 255));
    hl.Add("mvol", track, 320, 150);
    hl.Add("svol", track, 320, 185);
    Canvas knob(12, 20);
    knob.Bevel(0, 0, 12, 20, RGB(120, 200, 255), 2);
    hl.Add("music", knob, 320, 150);
    hl.Add("sound", knob, 320, 185);
    Canvas pm(24, 20);
    pm.BlendRect(0, 0, 24, 20, RGB(120, 200, 255), 0.5);
    hl.Add("m0", pm, 280, 150);
    hl.Add("m100", pm, 446, 150);
    hl.Add("s0", pm, 280, 185);
    hl.Add("s100", pm, 446, 185);
    Canvas rowHl(420, 24);
    rowHl.BlendRect(0, 0, 420, 24, RGB(120, 200, 255), 0.25);
    hl.Add("reverse", rowHl, 74, 223);
    hl.Add("vanishing", rowHl, 74, 258);
    Canvas check(20, 20);
    check.Line(4, 10, 8, 15, RGB(120, 255, 140), 3);
    check.Line(8, 15, 16, 4, RGB(120, 255, 140), 3);
    hl.Add("r", check, 320, 225);
    hl.Add("v", check, 320, 260);
    Canvas speed(70, 24);
    speed.BlendRect(0, 0, 70, 24, RGB(120, 255, 140), 0.35);
    speed.Frame(0, 0, 70, 24, RGB(120, 255, 140));
    hl.Add("slow", speed, 354, 298);
    hl.Add("fast", speed, 434, 298);
    hl.Add("quit", ButtonPicture(100, 30, "BACK", RGB(150, 60, 60), 0), 270, 430);
    hl.Add("quits", ButtonPicture(100, 30, "BACK", RGB(150, 60, 60), 2), 270, 430);
    AddSheet(ds, "OptionsHL", hl, {}, true, false);

    Canvas hiscore(550, 230);
    hiscore.BlendRect(0, 0, 550, 230, RGB(15, 25, 55), 0.85);
    hiscore.Frame(0, 0, 550, 230, RGB(90, 130, 200));
    // Rows are printed from baseline 165 + 16 i on the screen: 43 + 16 i here.
    Label(hiscore, 13, 165, 24, "NAME", RGB(140, 170, 230));
    Label(hiscore, 13, 345, 24, "SCORE", RGB(140, 170, 230));
    for (int i = 0; i < 10; ++i) Label(hiscore, 14, 122, 43 + 16 * i, std::to_string(i + 1) + ".", RGB(140, 170, 230));
    hiscore.KeyTransparent(RGB(0, 0, 0));
    ds.AddTga("Hiscore.tga", hiscore);

    // Help pictures: the panel in miniature with its parts named, and the item row.
    Canvas mini(300, 120, RGB(10, 15, 35));
    Canvas small = ds.pictures["panel.tga"].Scaled(300, 38);
    for (int y = 0; y < small.Height(); ++y)
        for (int x = 0; x < small.Width(); ++x)
            if (small.Get(x, y).r > 200 && small.Get(x, y).g < 80) small.At(x, y) = RGB(10, 15, 35);
    mini.Paste(small, 0, 60, true);
    Label(mini, 11, 4, 14, "progress, lives, credits", RGB(200, 220, 255), false);
    Label(mini, 11, 4, 30, "and score", RGB(200, 220, 255), false);
    Label(mini, 11, 150, 14, "item slots: keys 1..0", RGB(200, 220, 255), false);
    mini.Line(40, 34, 40, 70, RGB(255, 220, 120));
    mini.Line(200, 18, 200, 72, RGB(255, 220, 120));
    ds.AddTga("help\\MinPanel.tga", mini);
    Canvas items(256, 90, RGB(0, 0, 0));
    for (int i = 0; i < 12; ++i) {
        Canvas one(40, 40);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x) one.At(x, y) = itemStrip.Get((4 + i) * 40 + x, y);
        items.Paste(one, 4 + (i % 6) * 42, 3 + (i / 6) * 44);
    }
    items.KeyTransparent(RGB(0, 0, 0));
    ds.AddTga("help\\Items.tga", items);

    Canvas studio(200, 60, RGB(0, 0, 0));
    studio.Glow(30, 30, 26, RGB(120, 200, 255), 0.8);
    studio.Ring(30, 30, 18, 3, RGB(200, 240, 255));
    FancyLabel(studio, 26, 120, 40, "OSTREV", RGB(220, 240, 255), RGB(90, 150, 255));
    studio.KeyTransparent(RGB(0, 0, 0));
    ds.AddTga("OstrevLogo.tga", studio);
}

}  // namespace

void MakePictures(DataSet& ds) {
    Canvas itemStrip;
    MakeBlocks(ds);
    MakeBall(ds);
    MakeShip(ds);
    MakeCursor(ds);
    MakeMisc(ds);
    MakeParticles(ds);
    MakeContainer(ds);
    MakeTPanel(ds);
    MakeBoss(ds);
    MakeItems(ds, itemStrip);
    MakeCredits(ds);
    MakeEnemies(ds);
    MakeTiles(ds);
    MakeBackObjects(ds);
    MakePlanets(ds);
    MakeScreens(ds, itemStrip);
}

// Bitmap fonts: one frame per character, named by the character; upper case only, as the
// game upper-cases before it looks a character up.
void MakeFonts(DataSet& ds) {
    const std::string chars = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789%.:/-+!?,()'#*";
    struct Spec { const char* name; int size; Rgba top, bottom; };
    const Spec specs[] = {{"litSmall", 13, RGB(255, 255, 200), RGB(255, 170, 40)},
                          {"litMedium", 20, RGB(200, 255, 255), RGB(60, 160, 255)},
                          {"litBig", 32, RGB(255, 240, 170), RGB(255, 90, 40)}};
    for (const Spec& sp : specs) {
        Font font(FontPath(true), sp.size);
        const int asc = font.Ascender();
        const int h = sp.size + 4;
        Sheet s(512);
        for (char ch : chars) {
            const int adv = font.Render(uint8_t(ch)).advance + 2;
            Canvas c(adv, h);
            font.DrawFancy(c, 1, asc + 1, std::string(1, ch), sp.top, sp.bottom, RGB(20, 10, 40));
            s.Add(std::string(1, ch), c);
        }
        AddSheet(ds, sp.name, s, {}, true, false);
    }
    // The TrueType font of the game's text: Debian's DejaVu Sans Condensed.
    std::FILE* f = std::fopen(FontPath(false).c_str(), "rb");
    if (!f) throw std::runtime_error("missing " + FontPath(false));
    std::vector<uint8_t> bytes;
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    std::fclose(f);
    ds.Add("LCDN.ttf", std::move(bytes));
}

}  // namespace gen
