// The generated meshes and vertex animations, read as the game's own parser and
// animation loader read them.
#include <gtest/gtest.h>

#include <cmath>

#include "DataReaders.h"

using namespace fwcheck;

namespace {

const char* const kMeshes[] = {"xdata\\player.x", "xdata\\ball.x", "xdata\\goalbox.x", "xdata\\postl.x",
                               "xdata\\postr.x", "xdata\\crossbar.x", "xdata\\goal.x", "xdata\\pitch.x",
                               "xdata\\stand.x", "xdata\\standend.x", "xdata\\crowd.x", "xdata\\crowdend.x",
                               "xdata\\boards.x", "xdata\\skydome.x", "xdata\\squarecf.x", "xdata\\arrowd.x",
                               "xdata\\arrowup.x", "xdata\\arrow.x", "xdata\\arrowh.x", "xdata\\number.x",
                               "xdata\\bvorne.x", "xdata\\btulst.x", "xdata\\dummy.x"};

XMesh Load(const std::string& name) {
    std::string path = Resolve(DataRoot(), name);
    if (path.empty()) {
        XMesh m;
        m.error = "missing";
        return m;
    }
    return ParseXText(ReadText(path));
}

struct Box { float lo[3], hi[3]; };
Box Bounds(const XMesh& m) {
    Box b{{1e30f, 1e30f, 1e30f}, {-1e30f, -1e30f, -1e30f}};
    for (const auto& v : m.verts)
        for (int k = 0; k < 3; ++k) {
            b.lo[k] = std::min(b.lo[k], v[size_t(k)]);
            b.hi[k] = std::max(b.hi[k], v[size_t(k)]);
        }
    return b;
}

}  // namespace

TEST(FenwoltMeshData, EveryMeshParsesAsTrianglesWithOneMaterial) {
    for (const char* name : kMeshes) {
        SCOPED_TRACE(name);
        std::string text = ReadText(Resolve(DataRoot(), name));
        XMesh m = ParseXText(text);
        ASSERT_EQ(m.error, "");
        EXPECT_EQ(m.nonTriangles, 0);
        EXPECT_FALSE(m.verts.empty());
        EXPECT_EQ(m.idx.size() % 3, 0u);
        // D3DX needs the header and a material for the texture holder and the meshes alike
        EXPECT_EQ(text.rfind("xof 0302txt", 0), 0u);
        EXPECT_NE(text.find("Material {"), std::string::npos);
        // numbers never start with a bare point: the parser skips to a digit or minus sign
        EXPECT_EQ(text.find(" ."), std::string::npos);
        EXPECT_EQ(text.find(";."), std::string::npos);
        EXPECT_EQ(text.find("-."), std::string::npos);
        for (const auto& v : m.verts) {
            float len = std::sqrt(v[3] * v[3] + v[4] * v[4] + v[5] * v[5]);
            EXPECT_NEAR(len, 1.0f, 1e-3f);
            for (float f : v) EXPECT_TRUE(std::isfinite(f));
        }
    }
}

// Front faces are clockwise on screen (cross(b - a, c - a) points at the viewer): the
// winding must agree with the normals, or the game culls the outside away.
TEST(FenwoltMeshData, WindingAgreesWithNormals) {
    for (const char* name : kMeshes) {
        SCOPED_TRACE(name);
        XMesh m = Load(name);
        ASSERT_EQ(m.error, "");
        int wrong = 0;
        for (size_t t = 0; t + 2 < m.idx.size(); t += 3) {
            const auto &a = m.verts[m.idx[t]], &b = m.verts[m.idx[t + 1]], &c = m.verts[m.idx[t + 2]];
            float e1[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]}, e2[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
            float n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
            float dot = 0;
            for (const auto* v : {&a, &b, &c}) dot += n[0] * (*v)[3] + n[1] * (*v)[4] + n[2] * (*v)[5];
            if (dot <= 0) ++wrong;
        }
        EXPECT_EQ(wrong, 0);
    }
}

// The rules read the goal-frame boxes: mouth z 38.29..47.09 under a crossbar at 2.56, the
// goal line at x 4.5; turned half a circle about (119.05, 85.38) the set lands on the far goal.
TEST(FenwoltMeshData, GoalFramesMatchThePitchConstants) {
    Box goal = Bounds(Load("xdata\\goalbox.x"));
    EXPECT_NEAR(goal.hi[0], 4.5f, 1e-4f);
    EXPECT_LT(goal.lo[0], 4.5f - 1.0f);
    EXPECT_NEAR(goal.lo[1], 0.0f, 1e-4f);
    EXPECT_NEAR(goal.hi[1], 2.56f, 1e-4f);
    EXPECT_NEAR(goal.lo[2], 38.29f, 1e-4f);
    EXPECT_NEAR(goal.hi[2], 47.09f, 1e-4f);
    Box l = Bounds(Load("xdata\\postl.x")), r = Bounds(Load("xdata\\postr.x")), bar = Bounds(Load("xdata\\crossbar.x"));
    EXPECT_NEAR(l.hi[2], 38.29f, 1e-4f);    // posts stand just outside the mouth
    EXPECT_NEAR(r.lo[2], 47.09f, 1e-4f);
    EXPECT_NEAR(bar.lo[1], 2.56f, 1e-4f);   // the crossbar sits on the mouth's height
    for (const Box* b : {&l, &r, &bar}) {
        EXPECT_LE(b->lo[0], 4.5f);
        EXPECT_GE(b->hi[0], 4.5f);
    }
    // every vertex is above ground, as the instance box only counts y >= 0
    for (const char* n : {"xdata\\goalbox.x", "xdata\\postl.x", "xdata\\postr.x", "xdata\\crossbar.x"})
        EXPECT_GE(Bounds(Load(n)).lo[1], 0.0f) << n;
    // mirrored: x' = 119.05 - x, z' = 85.38 - z
    EXPECT_NEAR(119.05f - goal.hi[0], 114.55f, 1e-3f);
    EXPECT_NEAR(85.38f - goal.hi[2], 38.29f, 1e-3f);
    EXPECT_NEAR(85.38f - goal.lo[2], 47.09f, 1e-3f);
}

TEST(FenwoltMeshData, PlayerAndBallHaveTheSizesTheMatchScales) {
    XMesh p = Load("xdata\\player.x");
    ASSERT_EQ(p.error, "");
    Box b = Bounds(p);
    // head height 61 and body size 30 in model units (scale 0.027 in the match)
    EXPECT_NEAR(b.lo[1], 0.0f, 0.01f);
    EXPECT_GT(b.hi[1], 61.0f);
    EXPECT_LT(b.hi[1], 70.0f);
    EXPECT_LT(b.hi[0] - b.lo[0], 30.0f);
    // facing -z: the toes reach further forward than the heels go back
    EXPECT_LT(b.lo[2], -4.0f);
    EXPECT_LT(-b.lo[2], 5.0f + b.hi[2]);
    EXPECT_LT(p.verts.size(), 65535u);
    Box ball = Bounds(Load("xdata\\ball.x"));
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(ball.hi[k], 4.9f, 0.01f);
        EXPECT_NEAR(ball.lo[k], -4.9f, 0.01f);
    }
}

// The shirt-number marker is a small card that floats over its player: the match places it 1.27
// above the player's feet at scale 0.2, the player at scale 0.027.
TEST(FenwoltMeshData, NumberMarkerIsASmallCardOverThePlayersHead) {
    const Box card = Bounds(Load("xdata\\number.x"));
    const Box player = Bounds(Load("xdata\\player.x"));
    const float scale = 0.2f, lift = 1.27f, playerScale = 0.027f;
    const float width = (card.hi[0] - card.lo[0]) * scale, height = (card.hi[1] - card.lo[1]) * scale;
    const float depth = (card.hi[2] - card.lo[2]) * scale;
    // About a sixth of the player's height across, not half of it.
    const float playerHeight = player.hi[1] * playerScale;
    EXPECT_LT(width, playerHeight * 0.25f);
    EXPECT_LT(height, playerHeight * 0.25f);
    EXPECT_GT(width, playerHeight * 0.1f);
    EXPECT_LT(depth, 0.05f);
    // Over the head, not through it, and not lost high above it.
    EXPECT_GT(lift + card.lo[1] * scale, playerHeight);
    EXPECT_LT(lift + card.lo[1] * scale, playerHeight + 0.3f);
    EXPECT_NEAR(card.hi[0] + card.lo[0], 0.0f, 1e-4f);
}

// The kick arrows stand up in their own space: the match turns them a quarter about x to lay them
// on the path and then about y along it, so the tip must point up (+y) and the arrow lie just
// behind its axis (-z becomes a little height).
TEST(FenwoltMeshData, KickArrowStandsUpToBeLaidAlongThePath) {
    XMesh m = Load("xdata\\arrowh.x");
    ASSERT_EQ(m.error, "");
    const Box b = Bounds(m);
    EXPECT_GT(b.hi[1] - b.lo[1], 2.0f * (b.hi[2] - b.lo[2]));
    // The head (the widest part) is on the +y side.
    float widest = 0.f, widestY = 0.f;
    for (const auto& v : m.verts)
        if (std::fabs(v[0]) > widest) {
            widest = std::fabs(v[0]);
            widestY = v[1];
        }
    EXPECT_GT(widestY, 0.0f);
    EXPECT_LT(b.hi[2] + b.lo[2], 0.0f);
}

// The facing arrow over a player is turned by the bearing of the point he is to face; that turn
// carries +z onto the direction, so the arrow's head must lie on the +z side.
TEST(FenwoltMeshData, FacingArrowPointsAlongPlusZ) {
    XMesh m = Load("xdata\\arrow.x");
    ASSERT_EQ(m.error, "");
    float widest = 0.f, widestZ = 0.f;
    for (const auto& v : m.verts)
        if (std::fabs(v[0]) > widest) {
            widest = std::fabs(v[0]);
            widestZ = v[2];
        }
    EXPECT_GT(widestZ, 0.0f);
    const Box b = Bounds(m);
    EXPECT_GT(b.hi[2], -b.lo[2]);
}

// Scenery is centred on its own origin in x and z: the game's culling sphere is centred on
// the instance position, so an off-centre mesh would vanish at the edge of the view.
TEST(FenwoltMeshData, SceneryIsCentredForCulling) {
    for (const char* n : {"xdata\\pitch.x", "xdata\\stand.x", "xdata\\standend.x", "xdata\\crowd.x",
                          "xdata\\crowdend.x", "xdata\\boards.x", "xdata\\goal.x", "xdata\\skydome.x"}) {
        Box b = Bounds(Load(n));
        float sx = b.hi[0] - b.lo[0], sz = b.hi[2] - b.lo[2];
        EXPECT_NEAR((b.hi[0] + b.lo[0]) * 0.5f, 0.0f, 0.05f * sx + 0.01f) << n;
        EXPECT_NEAR((b.hi[2] + b.lo[2]) * 0.5f, 0.0f, 0.35f * sz + 0.01f) << n;
    }
}

// ------------------------------------------------------------------ animations

namespace {
const char* const kAnims[12] = {"stand", "prun", "pass", "jump", "tackle", "shoot",
                                "volley", "celeb", "throwin", "gjumpr", "gjumpl", "pturn"};
}

TEST(FenwoltAnimationData, EveryAnimationFitsThePlayerMesh) {
    XMesh p = Load("xdata\\player.x");
    ASSERT_EQ(p.error, "");
    for (int slot = 0; slot < 12; ++slot) {
        SCOPED_TRACE(kAnims[slot]);
        Anx a = ParseAnx(ReadBytes(Resolve(DataRoot(), std::string("xdata\\") + kAnims[slot] + ".anx")));
        ASSERT_EQ(a.error, "");
        EXPECT_EQ(a.version, 7u);
        EXPECT_EQ(a.vertexCount, p.verts.size());
        EXPECT_GE(a.frameCount, 1u);
        EXPECT_LE(a.frameCount, 100u);
        for (int d : a.durations) EXPECT_GT(d, 0);
        // the looping and one-shot slots start their next frame at 1
        if (slot == 1 || slot == 2 || slot == 5 || slot == 7 || slot == 8 || slot == 11) {
            EXPECT_GE(a.frameCount, 2u);
        }
        for (const auto& fr : a.frames)
            for (const auto& v : fr)
                for (float f : v) ASSERT_TRUE(std::isfinite(f));
    }
}

TEST(FenwoltAnimationData, FramesMoveTheBodyAndKeepItWhole) {
    XMesh p = Load("xdata\\player.x");
    ASSERT_EQ(p.error, "");
    for (int slot = 0; slot < 12; ++slot) {
        SCOPED_TRACE(kAnims[slot]);
        Anx a = ParseAnx(ReadBytes(Resolve(DataRoot(), std::string("xdata\\") + kAnims[slot] + ".anx")));
        ASSERT_EQ(a.error, "");
        float maxMove = 0;
        for (const auto& fr : a.frames) {
            float minY = 1e30f;
            for (size_t i = 0; i < fr.size(); ++i) {
                minY = std::min(minY, fr[i][1]);
                float d = std::hypot(fr[i][0] - p.verts[i][0], fr[i][1] - p.verts[i][1], fr[i][2] - p.verts[i][2]);
                maxMove = std::max(maxMove, d);
                ASSERT_LT(d, 100.0f);   // nothing flies off the body
            }
            // no pose sinks through the pitch; only leaps and dives leave it (the match lifts
            // headers itself)
            EXPECT_GT(minY, -4.0f);
            EXPECT_LT(minY, (slot == 3 || slot == 9 || slot == 10) ? 20.0f : 8.0f);
        }
        EXPECT_GT(maxMove, 1.0f);   // a pose differs from the bind pose
        // triangles keep their size: skinning moves limbs rigidly
        for (size_t t = 0; t + 2 < p.idx.size(); t += 3) {
            auto edge = [](const std::array<float, 3>& x, const std::array<float, 3>& y) {
                return std::hypot(x[0] - y[0], x[1] - y[1], x[2] - y[2]);
            };
            const auto& fr = a.frames.back();
            std::array<float, 3> pa{p.verts[p.idx[t]][0], p.verts[p.idx[t]][1], p.verts[p.idx[t]][2]};
            std::array<float, 3> pb{p.verts[p.idx[t + 1]][0], p.verts[p.idx[t + 1]][1], p.verts[p.idx[t + 1]][2]};
            ASSERT_NEAR(edge(fr[p.idx[t]], fr[p.idx[t + 1]]), edge(pa, pb), 0.01f);
        }
    }
}

TEST(FenwoltAnimationData, RunningCycleLoopsSmoothly) {
    Anx a = ParseAnx(ReadBytes(Resolve(DataRoot(), "xdata\\prun.anx")));
    ASSERT_EQ(a.error, "");
    // the step from the last frame back to the first is no bigger than any other step
    auto step = [&a](size_t f, size_t g) {
        float m = 0;
        for (size_t i = 0; i < a.frames[f].size(); ++i)
            m = std::max(m, std::hypot(a.frames[f][i][0] - a.frames[g][i][0], a.frames[f][i][1] - a.frames[g][i][1],
                                       a.frames[f][i][2] - a.frames[g][i][2]));
        return m;
    };
    float biggest = 0;
    for (size_t f = 0; f + 1 < a.frames.size(); ++f) biggest = std::max(biggest, step(f, f + 1));
    EXPECT_LE(step(a.frames.size() - 1, 0), biggest * 1.05f);
    EXPECT_GT(biggest, 2.0f);
}
