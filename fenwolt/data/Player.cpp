#include "fenwolt/data/Player.h"

#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <stdexcept>

namespace fwdata {

namespace {
constexpr float kPi = 3.14159265358979f;
constexpr float kDeg = kPi / 180.0f;

enum Bone { Pelvis, Chest, Head, UpperArmL, ForeArmL, UpperArmR, ForeArmR, ThighL, ShinL, FootL, ThighR, ShinR, FootR,
            BoneCount };

// The model faces -z with its feet on y = 0; "left" is the -x side.
const int kParent[BoneCount] = {-1, Pelvis, Chest, Chest, UpperArmL, Chest, UpperArmR, Pelvis, ThighL, ShinL,
                                Pelvis, ThighR, ShinR};
const Vec3 kJoint[BoneCount] = {{0, 35, 0},     {0, 38, 0},     {0, 55, 0},       {-8.6f, 52.5f, 0},
                                {-10.2f, 42, 0}, {8.6f, 52.5f, 0}, {10.2f, 42, 0},   {-4.3f, 34, 0},
                                {-4.5f, 18.5f, 0}, {-4.6f, 3.6f, 0}, {4.3f, 34, 0},  {4.5f, 18.5f, 0},
                                {4.6f, 3.6f, 0}};

struct Affine {   // column-vector convention: p' = m * p + t
    float m[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    Vec3 t;
    Vec3 Apply(Vec3 p) const {
        return {m[0][0] * p.x + m[0][1] * p.y + m[0][2] * p.z + t.x, m[1][0] * p.x + m[1][1] * p.y + m[1][2] * p.z + t.y,
                m[2][0] * p.x + m[2][1] * p.y + m[2][2] * p.z + t.z};
    }
    Affine operator*(const Affine& o) const {
        Affine r;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) r.m[i][j] = m[i][0] * o.m[0][j] + m[i][1] * o.m[1][j] + m[i][2] * o.m[2][j];
        Vec3 ot = o.t;
        r.t = Vec3{m[0][0] * ot.x + m[0][1] * ot.y + m[0][2] * ot.z, m[1][0] * ot.x + m[1][1] * ot.y + m[1][2] * ot.z,
                   m[2][0] * ot.x + m[2][1] * ot.y + m[2][2] * ot.z} + t;
        return r;
    }
};

Affine Rotation(Vec3 deg) {   // about x, then y, then z (degrees)
    float a = deg.x * kDeg, b = deg.y * kDeg, c = deg.z * kDeg;
    Affine rx, ry, rz;
    rx.m[1][1] = std::cos(a); rx.m[1][2] = -std::sin(a); rx.m[2][1] = std::sin(a); rx.m[2][2] = std::cos(a);
    ry.m[0][0] = std::cos(b); ry.m[0][2] = std::sin(b); ry.m[2][0] = -std::sin(b); ry.m[2][2] = std::cos(b);
    rz.m[0][0] = std::cos(c); rz.m[0][1] = -std::sin(c); rz.m[1][0] = std::sin(c); rz.m[1][1] = std::cos(c);
    return rz * ry * rx;
}

Affine Translation(Vec3 t) { Affine a; a.t = t; return a; }

// A pose: per-bone rotation about its joint in degrees. For a limb, +x swings it forward
// (towards -z); for the chest, -x leans forward. `root` moves the whole body, `rootRot`
// turns it about the pelvis joint.
struct Pose {
    std::array<Vec3, BoneCount> rot{};
    Vec3 root, rootRot;
};

std::array<Affine, BoneCount> Solve(const Pose& pose) {
    std::array<Affine, BoneCount> world;
    for (int b = 0; b < BoneCount; ++b) {
        Vec3 r = pose.rot[size_t(b)];
        if (b == Pelvis) r = r + pose.rootRot;
        Affine local = Translation(kJoint[b]) * Rotation(r) * Translation(-kJoint[b]);
        world[size_t(b)] = kParent[b] < 0 ? Translation(pose.root) * local : world[size_t(kParent[b])] * local;
    }
    return world;
}

std::vector<Vec3> Skin(const Mesh& m, const Pose& pose) {
    auto world = Solve(pose);
    std::vector<Vec3> out;
    out.reserve(m.verts.size());
    for (const auto& v : m.verts) out.push_back(world[size_t(v.bone)].Apply(v.p));
    return out;
}

float Lerp(float a, float b, float t) { return a + (b - a) * t; }
Vec3 LerpV(Vec3 a, Vec3 b, float t) { return {Lerp(a.x, b.x, t), Lerp(a.y, b.y, t), Lerp(a.z, b.z, t)}; }
Pose Blend(const Pose& a, const Pose& b, float t) {
    Pose p;
    for (size_t i = 0; i < BoneCount; ++i) p.rot[i] = LerpV(a.rot[i], b.rot[i], t);
    p.root = LerpV(a.root, b.root, t);
    p.rootRot = LerpV(a.rootRot, b.rootRot, t);
    return p;
}
float Smooth(float t) { t = std::fmin(std::fmax(t, 0.0f), 1.0f); return t * t * (3 - 2 * t); }

// Key poses sampled along a timeline (keys at fractions 0..1, smoothstep between them).
Pose Timeline(const std::vector<std::pair<float, Pose>>& keys, float t) {
    if (t <= keys.front().first) return keys.front().second;
    for (size_t i = 0; i + 1 < keys.size(); ++i)
        if (t <= keys[i + 1].first) {
            float span = keys[i + 1].first - keys[i].first;
            return Blend(keys[i].second, keys[i + 1].second, Smooth(span > 0 ? (t - keys[i].first) / span : 1.0f));
        }
    return keys.back().second;
}

// The relaxed standing pose: arms a little away from the body, elbows soft.
Pose Rest() {
    Pose p;
    p.rot[UpperArmL] = {4, 0, -8};
    p.rot[UpperArmR] = {4, 0, 8};
    p.rot[ForeArmL] = {14, 0, 0};
    p.rot[ForeArmR] = {14, 0, 0};
    return p;
}

// Samples a pose function into frames. Loops leave out t = 1, which is frame 0 again.
// With `floor` set, a frame that would reach below the pitch is lifted onto it.
Animation Make(const char* file, int frames, int ticks, const std::function<Pose(float)>& at, const Mesh& m,
               bool loop, bool floor = false) {
    Animation a;
    a.file = file;
    for (int f = 0; f < frames; ++f) {
        float t = loop ? float(f) / float(frames) : float(f) / float(frames - 1);
        a.durations.push_back(ticks);
        std::vector<Vec3> fr = Skin(m, at(t));
        if (floor) {
            float minY = 0;
            for (const auto& p : fr) minY = std::fmin(minY, p.y);
            for (auto& p : fr) p.y -= minY;
        }
        a.frames.push_back(std::move(fr));
    }
    return a;
}

Pose RunPose(float t) {
    Pose p = Rest();
    float s = std::sin(2 * kPi * t), c = std::cos(2 * kPi * t);
    p.rot[Chest] = {-12, 6 * s, 0};
    p.rot[Head] = {8, -6 * s, 0};
    p.rot[ThighL] = {38 * s + 6, 0, 0};
    p.rot[ThighR] = {-38 * s + 6, 0, 0};
    p.rot[ShinL] = {-(18 + 50 * std::fmax(0.0f, -c)), 0, 0};
    p.rot[ShinR] = {-(18 + 50 * std::fmax(0.0f, c)), 0, 0};
    p.rot[FootL] = {10 * s, 0, 0};
    p.rot[FootR] = {-10 * s, 0, 0};
    p.rot[UpperArmL] = {-34 * s, 0, -10};
    p.rot[UpperArmR] = {34 * s, 0, 10};
    p.rot[ForeArmL] = {70, 0, 0};
    p.rot[ForeArmR] = {70, 0, 0};
    p.root = {0, 1.4f * std::fabs(s) - 1.2f, 0};
    return p;
}

Pose KickPose(float t, float power) {   // right-footed: back swing, strike, follow-through
    Pose back = Rest(), strike = Rest(), follow = Rest();
    back.rot[Chest] = {-6, -12, 0};
    back.rot[ThighR] = {-35 * power, 0, 0};
    back.rot[ShinR] = {-75 * power, 0, 0};
    back.rot[ThighL] = {8, 0, 0};
    back.rot[ShinL] = {-14, 0, 0};
    back.rot[UpperArmL] = {25, 0, -45};
    back.rot[UpperArmR] = {-25, 0, 30};
    back.root = {0, -1.0f, 0};
    strike = back;
    strike.rot[Chest] = {-10, 8, 0};
    strike.rot[ThighR] = {30 * power + 10, 0, 0};
    strike.rot[ShinR] = {-10, 0, 0};
    strike.rot[FootR] = {-25, 0, 0};
    strike.rot[UpperArmL] = {-10, 0, -55};
    strike.rot[UpperArmR] = {30, 0, 25};
    follow = strike;
    follow.rot[ThighR] = {55 * power + 10, 0, 0};
    follow.rot[ShinR] = {-20, 0, 0};
    follow.rot[Chest] = {-4, 14, 0};
    follow.root = {0, -0.6f, 0};
    return Timeline({{0.0f, Rest()}, {0.35f, back}, {0.55f, strike}, {0.75f, follow}, {1.0f, Rest()}}, t);
}

}  // namespace

Mesh BuildPlayerMesh() {
    using K = KitLayout;
    Mesh m;
    m.name = "footballer";
    m.diffuse = 0xFFFFFFFFu;
    const int sides = 8;
    // shorts: hip block and the top of the thighs
    m.AddTube({0, 30.5f, 0}, {0, 38.5f, 0}, 4.6f, 4.3f, sides, K::kShortsU0, K::kShortsV1, K::kShortsU1, K::kShortsV0,
              Pelvis, true, false, 1.55f);
    // shirt: waist to shoulders, wider at the chest
    m.AddTube({0, 37.5f, 0}, {0, 47.0f, 0}, 4.4f, 5.0f, sides, K::kShirtU0, K::kShirtV1, K::kShirtU1, 0.14f, Chest,
              false, false, 1.6f);
    m.AddTube({0, 47.0f, 0}, {0, 53.6f, 0}, 5.0f, 4.0f, sides, K::kShirtU0, 0.14f, K::kShirtU1, K::kShirtV0, Chest,
              false, true, 1.95f);
    // neck and head
    m.AddTube({0, 52.5f, 0}, {0, 57.5f, 0}, 1.9f, 1.8f, 6, K::kLimbU0, K::kLimbV0, K::kLimbU1, K::kLimbV1, Head, false,
              false);
    m.AddEllipsoid({0, 61.0f, -0.2f}, {3.5f, 4.6f, 4.0f}, 7, 10, K::kSkinU0, K::kSkinV0, K::kSkinU1, K::kSkinV1, Head);
    m.AddEllipsoid({0, 62.6f, 0.55f}, {3.75f, 3.65f, 4.05f}, 5, 10, K::kHairU0, K::kHairV0, K::kHairU1, K::kHairV1,
                   Head);
    for (int side = 0; side < 2; ++side) {
        float sx = side == 0 ? -1.0f : 1.0f;
        int ua = side == 0 ? UpperArmL : UpperArmR, fa = side == 0 ? ForeArmL : ForeArmR;
        int th = side == 0 ? ThighL : ThighR, sh = side == 0 ? ShinL : ShinR, ft = side == 0 ? FootL : FootR;
        // sleeve, bare upper arm below it, forearm, hand
        m.AddTube({sx * 8.4f, 53.2f, 0}, {sx * 9.5f, 46.5f, 0}, 2.5f, 2.2f, sides, K::kShirtU0, K::kSleeveV0,
                  K::kShirtU1, K::kSleeveV1, ua);
        m.AddTube({sx * 9.5f, 46.5f, 0}, {sx * 10.2f, 42.0f, 0}, 1.9f, 1.7f, 6, K::kLimbU0, K::kLimbV0, K::kLimbU1,
                  K::kLimbV1, ua, false, false);
        m.AddTube({sx * 10.2f, 42.0f, 0}, {sx * 10.8f, 31.5f, 0}, 1.75f, 1.3f, 6, K::kLimbU0, K::kLimbV0, K::kLimbU1,
                  K::kLimbV1, fa);
        m.AddEllipsoid({sx * 11.0f, 29.4f, -0.2f}, {1.15f, 2.2f, 1.6f}, 4, 6, K::kLimbU0, K::kLimbV0, K::kLimbU1,
                       K::kLimbV1, fa);
        // shorts leg, bare knee, sock, boot
        m.AddTube({sx * 4.3f, 35.0f, 0}, {sx * 4.4f, 27.0f, 0}, 3.6f, 3.25f, sides, K::kShortsU0, K::kShortsV0,
                  K::kShortsU1, K::kShortsV1, th, false, true);
        m.AddTube({sx * 4.4f, 27.0f, 0}, {sx * 4.5f, 18.5f, 0}, 2.9f, 2.3f, 6, K::kLimbU0, K::kLimbV0, K::kLimbU1,
                  K::kLimbV1, th, false, false);
        m.AddTube({sx * 4.5f, 18.8f, 0}, {sx * 4.6f, 3.4f, 0.3f}, 2.45f, 1.45f, sides, K::kSockU0, K::kSockV0,
                  K::kSockU1, K::kSockV1, sh);
        m.AddBox({sx * 4.6f - 1.7f, 0.0f, -5.6f}, {sx * 4.6f + 1.7f, 3.4f, 2.0f}, K::kBootU0, K::kBootV0, K::kBootU1,
                 K::kBootV1, ft);
    }
    return m;
}

std::vector<Animation> BuildPlayerAnimations(const Mesh& m) {
    std::vector<Animation> out;
    // 0 stand: slow breathing and weight shift (0.02 s a tick)
    out.push_back(Make("stand.anx", 8, 8, [](float t) {
        Pose p = Rest();
        float s = std::sin(2 * kPi * t);
        p.rot[Chest] = {-1.5f * s, 2.0f * s, 0};
        p.rot[Head] = {2.0f * s, -3.0f * s, 0};
        p.rot[UpperArmL] = {4 + 3 * s, 0, -8 - s};
        p.rot[UpperArmR] = {4 - 3 * s, 0, 8 + s};
        p.root = {0.3f * s, -0.15f * std::fabs(s), 0};
        return p;
    }, m, true));
    // 1 prun: the running stride, eight frames a cycle
    out.push_back(Make("prun.anx", 8, 4, RunPose, m, true));
    // 2 pass: a side-foot pass
    out.push_back(Make("pass.anx", 10, 3, [](float t) { return KickPose(t, 0.7f); }, m, false));
    // 3 jump: arms up, knees tucked, a nod of the head at the top
    out.push_back(Make("jump.anx", 8, 5, [](float t) {
        Pose crouch = Rest(), air = Rest(), nod = Rest();
        crouch.rot[ThighL] = crouch.rot[ThighR] = {35, 0, 0};
        crouch.rot[ShinL] = crouch.rot[ShinR] = {-60, 0, 0};
        crouch.rot[FootL] = crouch.rot[FootR] = {25, 0, 0};
        crouch.rot[Chest] = {-20, 0, 0};
        crouch.root = {0, -5.5f, -1.0f};
        air.rot[UpperArmL] = {40, 0, -60};
        air.rot[UpperArmR] = {40, 0, 60};
        air.rot[ThighL] = {15, 0, 0};
        air.rot[ThighR] = {25, 0, 0};
        air.rot[ShinL] = air.rot[ShinR] = {-55, 0, 0};
        air.rot[Chest] = {8, 0, 0};
        air.rot[Head] = {15, 0, 0};
        nod = air;
        nod.rot[Chest] = {-18, 0, 0};
        nod.rot[Head] = {-20, 0, 0};
        return Timeline({{0.0f, crouch}, {0.35f, air}, {0.65f, nod}, {1.0f, crouch}}, t);
    }, m, false));
    // 4 tackle: a sliding tackle, held on the ground (the match plays it slowly)
    out.push_back(Make("tackle.anx", 2, 1, [](float t) {
        Pose p = Rest();
        p.rootRot = {58 + 4 * t, 0, 8};
        p.root = {0, -24.0f, 4.0f};
        p.rot[ThighR] = {52, 0, 0};
        p.rot[ShinR] = {-4, 0, 0};
        p.rot[FootR] = {-20, 0, 0};
        p.rot[ThighL] = {-10, 0, 10};
        p.rot[ShinL] = {-85, 0, 0};
        p.rot[Chest] = {-25, 0, 0};
        p.rot[Head] = {-28, 0, 0};
        p.rot[UpperArmL] = {-30, 0, -70};
        p.rot[UpperArmR] = {-45, 0, 55};
        return p;
    }, m, false, true));
    // 5 shoot: full back swing and strike
    out.push_back(Make("shoot.anx", 10, 3, [](float t) { return KickPose(t, 1.25f); }, m, false));
    // 6 volley: body leaning back, kicking leg raised to the side
    out.push_back(Make("volley.anx", 8, 4, [](float t) {
        Pose up = Rest();
        up.rootRot = {0, 0, 22};
        up.rot[ThighR] = {75, 0, 20};
        up.rot[ShinR] = {-15, 0, 0};
        up.rot[ThighL] = {20, 0, 0};
        up.rot[ShinL] = {-70, 0, 0};
        up.rot[Chest] = {10, 0, -10};
        up.rot[UpperArmL] = {0, 0, -80};
        up.rot[UpperArmR] = {20, 0, 50};
        Pose cock = up;
        cock.rot[ThighR] = {40, 0, 35};
        cock.rot[ShinR] = {-80, 0, 0};
        return Timeline({{0.0f, Rest()}, {0.3f, cock}, {0.6f, up}, {1.0f, Rest()}}, t);
    }, m, false));
    // 7 celeb: arms punching the air on little jumps
    out.push_back(Make("celeb.anx", 12, 4, [](float t) {
        Pose p = Rest();
        float s = std::sin(2 * kPi * t), s2 = std::sin(4 * kPi * t);
        p.rot[UpperArmL] = {20 + 20 * s, 0, -150 - 15 * s2};
        p.rot[UpperArmR] = {20 - 20 * s, 0, 150 + 15 * s2};
        p.rot[ForeArmL] = {30 + 30 * std::fabs(s2), 0, 0};
        p.rot[ForeArmR] = {30 + 30 * std::fabs(s2), 0, 0};
        p.rot[Chest] = {6, 10 * s, 0};
        p.rot[Head] = {20, 0, 0};
        p.rot[ThighL] = p.rot[ThighR] = {15 * std::fabs(s2), 0, 0};
        p.rot[ShinL] = p.rot[ShinR] = {-30 * std::fabs(s2), 0, 0};
        p.root = {0, 3.0f * std::fabs(s2) - 0.8f, 0};
        return p;
    }, m, true));
    // 8 throwin: both hands behind the head, then over and forward
    out.push_back(Make("throwin.anx", 10, 4, [](float t) {
        Pose back = Rest(), fwd = Rest();
        back.rot[UpperArmL] = {175, 0, -10};
        back.rot[UpperArmR] = {175, 0, 10};
        back.rot[ForeArmL] = back.rot[ForeArmR] = {70, 0, 0};
        back.rot[Chest] = {16, 0, 0};
        back.rot[ThighL] = {20, 0, 0};
        back.rot[ThighR] = {-10, 0, 0};
        back.rot[ShinR] = {-10, 0, 0};
        fwd = back;
        fwd.rot[UpperArmL] = {120, 0, -10};
        fwd.rot[UpperArmR] = {120, 0, 10};
        fwd.rot[ForeArmL] = fwd.rot[ForeArmR] = {5, 0, 0};
        fwd.rot[Chest] = {-18, 0, 0};
        return Timeline({{0.0f, Rest()}, {0.35f, back}, {0.6f, fwd}, {1.0f, Rest()}}, t);
    }, m, false));
    // 9 and 10: goalkeeper dives to his right (-x) and left (+x)
    for (int dir = 0; dir < 2; ++dir) {
        float sg = dir == 0 ? 1.0f : -1.0f;
        out.push_back(Make(dir == 0 ? "gjumpr.anx" : "gjumpl.anx", 10, 4, [sg](float t) {
            Pose set = Rest(), flight = Rest(), down = Rest();
            set.rot[ThighL] = set.rot[ThighR] = {30, 0, 0};
            set.rot[ShinL] = set.rot[ShinR] = {-50, 0, 0};
            set.rot[UpperArmL] = {30, 0, -40};
            set.rot[UpperArmR] = {30, 0, 40};
            set.root = {0, -4.0f, 0};
            flight.rootRot = {0, 0, 75 * sg};
            flight.root = {-14.0f * sg, -4.0f, 0};
            flight.rot[UpperArmL] = {0, 0, -165};
            flight.rot[UpperArmR] = {0, 0, 165};
            flight.rot[ForeArmL] = flight.rot[ForeArmR] = {0, 0, 0};
            flight.rot[ThighL] = {10, 0, -10 * sg};
            flight.rot[ThighR] = {-10, 0, -10 * sg};
            down = flight;
            down.rootRot = {0, 0, 88 * sg};
            down.root = {-26.0f * sg, -29.0f, 0};
            return Timeline({{0.0f, set}, {0.3f, flight}, {0.7f, down}, {1.0f, down}}, t);
        }, m, false, true));
    }
    // 11 pturn: short shuffling steps while turning on the spot
    out.push_back(Make("pturn.anx", 8, 6, [](float t) {
        Pose p = Rest();
        float s = std::sin(2 * kPi * t), c = std::cos(2 * kPi * t);
        p.rot[ThighL] = {12 * s, 0, -4};
        p.rot[ThighR] = {-12 * s, 0, 4};
        p.rot[ShinL] = {-(8 + 20 * std::fmax(0.0f, -c)), 0, 0};
        p.rot[ShinR] = {-(8 + 20 * std::fmax(0.0f, c)), 0, 0};
        p.rot[UpperArmL] = {-10 * s, 0, -14};
        p.rot[UpperArmR] = {10 * s, 0, 14};
        p.rot[ForeArmL] = p.rot[ForeArmR] = {35, 0, 0};
        p.rot[Chest] = {-5, 8 * s, 0};
        p.root = {0, 0.5f * std::fabs(s) - 0.5f, 0};
        return p;
    }, m, true));
    return out;
}

std::vector<unsigned char> EncodeAnx(const Animation& a, uint32_t vertexCount) {
    if (a.frames.size() > 100 || a.frames.size() != a.durations.size())
        throw std::runtime_error("bad animation " + a.file);
    std::vector<unsigned char> out;
    auto u32 = [&out](uint32_t v) {
        for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
    };
    auto f32 = [&u32](float f) {
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        u32(bits);
    };
    u32(7);
    u32(vertexCount);
    u32(0);   // header word: unused by the game
    u32(uint32_t(a.frames.size()));
    for (int d : a.durations) u32(uint32_t(d));
    u32(0);   // trailer word
    for (const auto& fr : a.frames) {
        if (fr.size() != vertexCount) throw std::runtime_error("frame size mismatch in " + a.file);
        for (const auto& p : fr) { f32(p.x); f32(p.y); f32(p.z); }
    }
    return out;
}

}  // namespace fwdata
