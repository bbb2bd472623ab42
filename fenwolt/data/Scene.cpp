#include "fenwolt/data/Scene.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace fwdata {

const char kBlockAtlas[17] = "FENWOLTDRAVKQUI*";
// The intro's blocks come to rest spelling the game's own name between balls: the front blocks
// show the ball, Q, U, I and L, the back blocks L, A, N, E and the ball again.
const char kBlockFacesFront[7] = "QUILO*";
const char kBlockFacesBack[7] = "LANED*";

namespace {
constexpr float kPi = 3.14159265358979f;
// The drawn goal reaches from the goal line (plus the post) back by the goal's depth.
constexpr float kGoalCentreOffset = (pitch::kGoalDepth - pitch::kPostThickness * 0.5f) * 0.5f;

Mesh Named(const char* name, uint32_t colour) {
    Mesh m;
    m.name = name;
    m.diffuse = colour;
    return m;
}

Mesh Ball() {
    Mesh m = Named("ball", 0xFFFFFFFFu);
    m.specularPower = 20.0f;
    m.AddEllipsoid({0, 0, 0}, {4.9f, 4.9f, 4.9f}, 10, 16, 0, 0, 1, 1);   // vertices on all six extremes
    return m;
}

// The invisible goal frames the rules measure, in pitch units of the low-x goal.
Mesh GoalBox() {
    Mesh m = Named("goalbox", 0xFFFFFFFFu);
    using namespace pitch;
    m.AddBox({kGoalLineLow - kGoalDepth, 0, kMouthLow}, {kGoalLineLow, kCrossbar, kMouthHigh}, 0, 0, 1, 1);
    return m;
}
Mesh Post(bool left) {
    using namespace pitch;
    Mesh m = Named(left ? "postl" : "postr", 0xFFFFFFFFu);
    float z0 = left ? kMouthLow - kPostThickness : kMouthHigh, z1 = left ? kMouthLow : kMouthHigh + kPostThickness;
    m.AddBox({kGoalLineLow - kPostThickness * 0.5f, 0, z0}, {kGoalLineLow + kPostThickness * 0.5f,
              kCrossbar + kPostThickness, z1}, 0, 0, 1, 1);
    return m;
}
Mesh Crossbar() {
    using namespace pitch;
    Mesh m = Named("crossbar", 0xFFFFFFFFu);
    m.AddBox({kGoalLineLow - kPostThickness * 0.5f, kCrossbar, kMouthLow - kPostThickness},
             {kGoalLineLow + kPostThickness * 0.5f, kCrossbar + kPostThickness, kMouthHigh + kPostThickness}, 0, 0, 1, 1);
    return m;
}

// Both sides of a net panel, so it shows from inside and outside the goal.
void NetPanel(Mesh& m, Vec3 a, Vec3 b, Vec3 c, Vec3 d, float u0, float v0, float u1, float v1) {
    m.AddQuad(a, b, c, d, u0, v0, u1, v1);
    m.AddQuad(d, c, b, a, u1, v0, u0, v1);
}

// The goal that is drawn: posts, crossbar and net; mouth centred on the local origin,
// opening towards +x.
Mesh Goal() {
    using namespace pitch;
    Mesh m = Named("goal", 0xFFFFFFFFu);
    const float hw = (kMouthHigh - kMouthLow) * 0.5f, r = kPostThickness * 0.5f, top = kCrossbar + r;
    const float postU0 = 0.0f, postU1 = 0.2f;
    m.AddTube({0, 0, -hw - r}, {0, top + r, -hw - r}, r, r, 8, postU0, 0, postU1, 1);
    m.AddTube({0, 0, hw + r}, {0, top + r, hw + r}, r, r, 8, postU0, 0, postU1, 1);
    m.AddTube({0, top, -hw - 2 * r}, {0, top, hw + 2 * r}, r, r, 8, postU0, 0, postU1, 1);
    const float d = -kGoalDepth, backTop = 1.6f;
    // back stanchions
    m.AddTube({d, 0, -hw}, {d, backTop, -hw}, 0.03f, 0.03f, 6, postU0, 0, postU1, 1);
    m.AddTube({d, 0, hw}, {d, backTop, hw}, 0.03f, 0.03f, 6, postU0, 0, postU1, 1);
    // net: roof, back, two sides (the texture's right part is the mesh)
    NetPanel(m, {0, top, -hw}, {d, backTop, -hw}, {d, backTop, hw}, {0, top, hw}, 0.25f, 0, 1, 0.5f);
    NetPanel(m, {d, backTop, -hw}, {d, 0, -hw}, {d, 0, hw}, {d, backTop, hw}, 0.25f, 0.5f, 1, 1);
    NetPanel(m, {0, 0, -hw}, {0, top, -hw}, {d, backTop, -hw}, {d, 0, -hw}, 0.25f, 0.5f, 0.5f, 1);
    NetPanel(m, {d, 0, hw}, {d, backTop, hw}, {0, top, hw}, {0, 0, hw}, 0.25f, 0.5f, 0.5f, 1);
    // centre the goal on its origin for culling; the placement list shifts it back
    m.Transform(1, 1, 1, kGoalCentreOffset, 0, 0);
    return m;
}

// The grass: a grid over the whole ground, centred on its own origin (the placement list
// puts it in place), texture coordinates spanning the pitch texture once.
Mesh Pitch() {
    using namespace pitch;
    Mesh m = Named("pitch", 0xFFFFFFFFu);
    const int nx = 16, nz = 12;
    const float w = kGrassX1 - kGrassX0, h = kGrassZ1 - kGrassZ0;
    int base = int(m.verts.size());
    for (int j = 0; j <= nz; ++j)
        for (int i = 0; i <= nx; ++i) {
            float fx = float(i) / nx, fz = float(j) / nz;
            m.AddVertex({-w * 0.5f + w * fx, 0, -h * 0.5f + h * fz}, {0, 1, 0}, fx, 1.0f - fz);
        }
    for (int j = 0; j < nz; ++j)
        for (int i = 0; i < nx; ++i) {
            int a = base + j * (nx + 1) + i;
            m.AddTri(a, a + nx + 1, a + nx + 2);
            m.AddTri(a, a + nx + 2, a + 1);
        }
    return m;
}

// A covered stand, front edge at local z = -12 facing -z, `len` long.
constexpr int kTiers = 10;
constexpr float kTierDepth = 2.0f, kTierRise = 1.3f, kFront = -12.0f, kWallTop = 1.5f;
Mesh Stand(const char* name, float len) {
    Mesh m = Named(name, 0xFFFFFFFFu);
    const float hl = len * 0.5f;
    // atlas: concrete u 0..0.5 v 0..0.5; seats u 0.5..1 v 0..0.5; roof u 0..0.5 v 0.5..1; steel u 0.5..1 v 0.5..1
    m.AddBox({-hl, 0, kFront}, {hl, kWallTop, kFront + 1.0f}, 0, 0, 0.5f, 0.5f);
    for (int t = 0; t < kTiers; ++t) {
        float z0 = kFront + 1.0f + t * kTierDepth, y1 = kWallTop + (t + 1) * kTierRise;
        m.AddBox({-hl, 0, z0}, {hl, y1, z0 + kTierDepth}, 0.5f, 0, 1, 0.5f);
    }
    float back = kFront + 1.0f + kTiers * kTierDepth;
    const float roofY = kWallTop + kTiers * kTierRise + 6.0f;
    m.AddBox({-hl, 0, back}, {hl, roofY, back + 1.5f}, 0, 0, 0.5f, 0.5f);
    m.AddBox({-hl - 1.0f, 0, kFront}, {-hl, roofY, back + 1.5f}, 0, 0, 0.5f, 0.5f);
    m.AddBox({hl, 0, kFront}, {hl + 1.0f, roofY, back + 1.5f}, 0, 0, 0.5f, 0.5f);
    m.AddBox({-hl - 1.0f, roofY, kFront + 4.0f}, {hl + 1.0f, roofY + 0.8f, back + 1.5f}, 0, 0.5f, 0.5f, 1);
    for (int c = 0; c <= 4; ++c) {
        float x = -hl + len * c / 4.0f;
        m.AddBox({x - 0.3f, kWallTop + 2 * kTierRise, kFront + 4.5f}, {x + 0.3f, roofY, kFront + 5.1f}, 0.5f, 0.5f, 1,
                 1);
    }
    return m;
}

// Rows of spectators standing on the tiers of a stand of the same length.
Mesh Crowd(const char* name, float len) {
    Mesh m = Named(name, 0xFFFFFFFFu);
    const float hl = len * 0.5f, reps = len / 12.0f;
    for (int t = 0; t < kTiers; ++t) {
        float z = kFront + 1.0f + t * kTierDepth + 0.7f, y0 = kWallTop + (t + 1) * kTierRise;
        float shift = float((t * 7) % 5) / 5.0f;   // no two rows look alike
        m.AddQuad({-hl, y0, z}, {-hl, y0 + 1.9f, z + 0.25f}, {hl, y0 + 1.9f, z + 0.25f}, {hl, y0, z}, shift, 0,
                  shift + reps, 1);
    }
    return m;
}

// Advertising boards, front facing -z.
Mesh Boards() {
    Mesh m = Named("boards", 0xFFFFFFFFu);
    m.AddBox({-25, 0, -0.1f}, {25, 0.9f, 0.1f}, 0, 0, 1, 1);
    return m;
}

Mesh SkyDome() {
    Mesh m = Named("skydome", 0xFFFFFFFFu);
    const float r = 900.0f;
    const int rings = 8, segs = 24;
    const float lo = -12.0f * kPi / 180.0f, hi = kPi * 0.5f;
    int base = int(m.verts.size());
    for (int i = 0; i <= rings; ++i) {
        float el = hi - (hi - lo) * float(i) / rings;   // zenith first
        for (int j = 0; j <= segs; ++j) {
            float az = 2 * kPi * float(j) / segs;
            Vec3 dir{std::cos(el) * std::cos(az), std::sin(el), std::cos(el) * std::sin(az)};
            m.AddVertex(dir * r, -dir, float(j) / segs, float(i) / rings);
        }
    }
    for (int i = 0; i < rings; ++i)
        for (int j = 0; j < segs; ++j) {
            int a = base + i * (segs + 1) + j, b = a + 1, c = a + segs + 1, d = c + 1;
            if (i != 0) m.AddTri(a, c, b);
            m.AddTri(b, c, d);
        }
    return m;
}

Mesh Square() {
    Mesh m = Named("square", 0xFFFFFFFFu);
    m.AddQuad({-1, 0.02f, -1}, {-1, 0.02f, 1}, {1, 0.02f, 1}, {1, 0.02f, -1}, 0, 0, 1, 1);
    return m;
}

// A solid arrow along `axis` (unit, one of the main axes) from its tail to its tip.
void Arrow(Mesh& m, Vec3 tail, Vec3 tip, float shaftR, float headR, float headLen) {
    Vec3 d = Normalize(tip - tail);
    Vec3 neck = tip - d * headLen;
    m.AddTube(tail, neck, shaftR, shaftR, 8, 0, 0.5f, 1, 1);
    m.AddTube(neck, tip, headR, 0.001f, 8, 0, 0, 1, 0.5f, 0, true, false);
}

Mesh ArrowMesh(const char* name, Vec3 tail, Vec3 tip, float shaftR, float headR, float headLen) {
    Mesh m = Named(name, 0xFFFFFFFFu);
    Arrow(m, tail, tip, shaftR, headR, headLen);
    return m;
}

Mesh NumberPlate() {
    Mesh m = Named("number", 0xFFFFFFFFu);
    // A thin card floating just over the player's head: the match lifts it 1.27 above his feet
    // and scales it by 0.2, so it stands 0.3 across from 1.87 to 2.17, clear of the hair at about
    // 1.79. The box maps the whole picture to every face, and the front and back faces both read
    // the right way round.
    m.AddBox({-0.75f, 3.0f, -0.05f}, {0.75f, 4.5f, 0.05f}, 0, 0, 1, 1);
    return m;
}

int AtlasTile(char letter) {
    const char* p = std::strchr(kBlockAtlas, letter);
    if (!p) throw std::runtime_error("letter missing from block atlas");
    return int(p - kBlockAtlas);
}

Mesh Block(const char* name, const char* faces) {
    Mesh m = Named(name, 0xFFFFFFFFu);
    const float h = 5.0f;
    Vec3 c[8];
    for (int i = 0; i < 8; ++i) c[i] = {i & 1 ? h : -h, i & 2 ? h : -h, i & 4 ? h : -h};
    // corners listed bottom-left, top-left, top-right, bottom-right as seen from outside
    const int quad[6][4] = {{0, 2, 3, 1}, {5, 7, 6, 4}, {4, 6, 2, 0}, {1, 3, 7, 5}, {2, 6, 7, 3}, {4, 0, 1, 5}};
    for (int f = 0; f < 6; ++f) {
        int tile = AtlasTile(faces[f]);
        float u0 = (tile % 4) / 4.0f, v0 = float(tile / 4) / 4.0f;
        m.AddQuad(c[quad[f][0]], c[quad[f][1]], c[quad[f][2]], c[quad[f][3]], u0 + 0.004f, v0 + 0.004f,
                  u0 + 0.246f, v0 + 0.246f);
    }
    return m;
}

Mesh Dummy() {
    Mesh m = Named("dummy", 0xFFFFFFFFu);
    m.AddQuad({-0.5f, 0, 0}, {-0.5f, 1, 0}, {0.5f, 1, 0}, {0.5f, 0, 0}, 0, 0, 1, 1);
    return m;
}

}  // namespace

std::vector<NamedMesh> BuildSceneMeshes() {
    std::vector<NamedMesh> out;
    out.push_back({"xdata\\ball.x", Ball()});
    out.push_back({"xdata\\goalbox.x", GoalBox()});
    out.push_back({"xdata\\postl.x", Post(true)});
    out.push_back({"xdata\\postr.x", Post(false)});
    out.push_back({"xdata\\crossbar.x", Crossbar()});
    out.push_back({"xdata\\goal.x", Goal()});
    out.push_back({"xdata\\pitch.x", Pitch()});
    out.push_back({"xdata\\stand.x", Stand("stand", 150.0f)});
    out.push_back({"xdata\\standend.x", Stand("standend", 110.0f)});
    out.push_back({"xdata\\crowd.x", Crowd("crowd", 150.0f)});
    out.push_back({"xdata\\crowdend.x", Crowd("crowdend", 110.0f)});
    out.push_back({"xdata\\boards.x", Boards()});
    out.push_back({"xdata\\skydome.x", SkyDome()});
    out.push_back({"xdata\\squarecf.x", Square()});
    out.push_back({"xdata\\arrowd.x", ArrowMesh("arrowdown", {0, 3.2f, 0}, {0, 0, 0}, 0.22f, 0.6f, 1.2f)});
    out.push_back({"xdata\\arrowup.x", ArrowMesh("arrowup", {0, 0, 0}, {0, 3.2f, 0}, 0.22f, 0.6f, 1.2f)});
    // The facing arrow points along +z: the match turns it by the bearing of the point the player
    // is told to face, which carries +z onto that direction.
    out.push_back({"xdata\\arrow.x", ArrowMesh("arrow", {0, 0.4f, -2.0f}, {0, 0.4f, 2.2f}, 0.25f, 0.8f, 1.5f)});
    // The kick arrows stand up in their own space: the match lays them flat (a quarter turn about
    // x) and then turns them along the kick's path, so they lie just over the grass, tip ahead.
    out.push_back({"xdata\\arrowh.x", ArrowMesh("arrowh", {0, -1.5f, -0.4f}, {0, 1.5f, -0.4f}, 0.2f, 0.6f, 1.1f)});
    out.push_back({"xdata\\number.x", NumberPlate()});
    out.push_back({"xdata\\bvorne.x", Block("blockfront", kBlockFacesFront)});
    out.push_back({"xdata\\btulst.x", Block("blockback", kBlockFacesBack)});
    out.push_back({"xdata\\dummy.x", Dummy()});
    return out;
}

std::vector<Placement> StadiumPlacements() {
    using namespace pitch;
    const float cx = (kGrassX0 + kGrassX1) * 0.5f, cz = (kGrassZ0 + kGrassZ1) * 0.5f;
    const float mid = (kMouthLow + kMouthHigh) * 0.5f;
    std::vector<Placement> v;
    auto add = [&v](const char* mesh, const char* tex, float x, float z, float ry, int kind, int translucent) {
        Placement p;
        p.mesh = mesh; p.texture = tex; p.x = x; p.z = z; p.ry = ry; p.kind = kind; p.translucent = translucent;
        v.push_back(p);
    };
    add("xdata\\pitch.x", "textures\\pitch.jpg", cx, cz, 0, 11, 0);
    // stands: long sides, then the two ends; their fronts stand 10 units off the lines, the
    // boards a unit before them
    constexpr float kStandsOff = 10.0f, kBoardsOff = kStandsOff - 1.0f;
    const float sideFar = kTouchHigh + kStandsOff + 12.0f, sideNear = kTouchLow - kStandsOff - 12.0f;
    const float endFar = kGoalLineHigh + kStandsOff + 12.0f, endNear = kGoalLineLow - kStandsOff - 12.0f;
    add("xdata\\stand.x", "textures\\stand.tga", cx, sideFar, 0, 11, 0);
    add("xdata\\stand.x", "textures\\stand.tga", cx, sideNear, kPi, 11, 0);
    add("xdata\\standend.x", "textures\\stand.tga", endFar, cz, kPi * 0.5f, 11, 0);
    add("xdata\\standend.x", "textures\\stand.tga", endNear, cz, kPi * 1.5f, 11, 0);
    add("xdata\\crowd.x", "textures\\crowd.tga", cx, sideFar, 0, 31, 0);
    add("xdata\\crowd.x", "textures\\crowd.tga", cx, sideNear, kPi, 31, 0);
    add("xdata\\crowdend.x", "textures\\crowd.tga", endFar, cz, kPi * 0.5f, 31, 0);
    add("xdata\\crowdend.x", "textures\\crowd.tga", endNear, cz, kPi * 1.5f, 31, 0);
    // Advertising boards facing the pitch, just in front of the stands' walls: the camera's eye
    // stays on the pitch side of them, and there they leave it the room its views need around
    // the pitch (from behind, a board low in front of the eye fills the picture with its back).
    for (float x : {kCentreX - 26.0f, kCentreX + 26.0f}) {
        add("xdata\\boards.x", "textures\\boards.tga", x, kTouchHigh + kBoardsOff, 0, 11, 0);
        add("xdata\\boards.x", "textures\\boards.tga", x, kTouchLow - kBoardsOff, kPi, 11, 0);
    }
    for (float z : {mid - 26.0f, mid + 26.0f}) {
        add("xdata\\boards.x", "textures\\boards.tga", kGoalLineHigh + kBoardsOff, z, kPi * 0.5f, 11, 0);
        add("xdata\\boards.x", "textures\\boards.tga", kGoalLineLow - kBoardsOff, z, kPi * 1.5f, 11, 0);
    }
    // the two goals, nets translucent
    add("xdata\\goal.x", "textures\\goal.tga", kGoalLineLow - kGoalCentreOffset, mid, 0, 11, 1);
    add("xdata\\goal.x", "textures\\goal.tga", kGoalLineHigh + kGoalCentreOffset, mid, kPi, 11, 1);
    return v;
}

std::string FormatPlacementList(const std::vector<Placement>& list) {
    std::string s;
    char buf[512];
    for (const auto& p : list) {
        std::snprintf(buf, sizeof buf, "%s,%s,%.4f,%.4f,%.4f,%.6f,%.6f,%.6f,%.4f,0,0,%d,%d,0,0,0,0,0,0,0,0,"
                      "-1,-1,-1,-1,-1,-1,-1,-1,-1,-1\r\n",
                      p.mesh.c_str(), p.texture.c_str(), double(p.x), double(p.y), double(p.z), double(p.rx),
                      double(p.ry), double(p.rz), double(p.scale), p.translucent, p.kind);
        s += buf;
    }
    return s;
}

}  // namespace fwdata
