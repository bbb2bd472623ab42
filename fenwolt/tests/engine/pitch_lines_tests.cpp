// The pitch's lines drawn from the lowest eye the match allows, standing over the penalty area:
// the grid triangles under and behind the eye cross the near plane, some of their corners lie
// behind the eye, and the lines they carry must still come out straight, where the camera's own
// matrices put them, not folded back into a V.
#include "fenwolt/Game/Engine/Instances.h"
#include "fenwolt/Game/Engine/Scene.h"
#include "engine_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

struct Point {
    float x, y, z;
};

// The generated pitch's markings at the low-x end: the goal line, the penalty area and the goal
// area, on the ground.
const Point kLines[][2] = {
    {{4.5f, 0.f, 4.58f}, {4.5f, 0.f, 79.54f}},      {{4.5f, 0.f, 21.94f}, {20.94f, 0.f, 21.94f}},
    {{4.5f, 0.f, 62.14f}, {20.94f, 0.f, 62.14f}},   {{20.94f, 0.f, 21.94f}, {20.94f, 0.f, 62.14f}},
    {{4.5f, 0.f, 33.53f}, {10.0f, 0.f, 33.53f}},    {{4.5f, 0.f, 51.85f}, {10.0f, 0.f, 51.85f}},
    {{10.0f, 0.f, 33.53f}, {10.0f, 0.f, 51.85f}},
};

Point Transform(const D3DMATRIX& m, const Point& p, float& w)
{
    w = p.x * m._14 + p.y * m._24 + p.z * m._34 + m._44;
    return Point{p.x * m._11 + p.y * m._21 + p.z * m._31 + m._41, p.x * m._12 + p.y * m._22 + p.z * m._32 + m._42,
                 p.x * m._13 + p.y * m._23 + p.z * m._33 + m._43};
}

class PitchLinesTest : public EngineAppTest {
protected:
    void SetUp() override
    {
        EngineAppTest::SetUp();
        if (HasFatalFailure()) return;
        ClearColour = 0xFF519557;
        FieldOfView = 3.14159265f / 4.f;
        ProjectionAspect = 800.f / 600.f;
        NearPlane = 1.f;
        FarPlane = 2000.f;
        DrawDistance = 2000.f;
        CameraUp = D3DVECTOR{0.f, 1.f, 0.f};
        ForceSceneRebuild();
        ScreenReady = true;
        SceneVisible = true;
        InitLights(TheApp.Device);
        ASSERT_LT(LoadMesh("xdata\\pitch.x"), MESH_NONE);
        ASSERT_LT(LoadTextureHolder("textures\\pitch.jpg"), MESH_NONE);
        // Where the match's placement list puts it.
        ASSERT_LT(CreateModelInstance("xdata\\pitch.x", "textures\\pitch.jpg", 59.525f, 0.f, 42.06f, 0.f, 0.f, 0.f, 1.f),
                  INSTANCE_NONE);
    }

    // Of the points along the markings that lie between just past the near plane and 30 units in
    // front of the eye and inside the picture, how many show the line's white; how many looked at.
    static void LinesWhereTheyBelong(const RgbImage& frame, int& looked, int& white)
    {
        const D3DMATRIX& view = TheApp.SceneMatrices[1];
        const D3DMATRIX& projection = TheApp.SceneMatrices[2];
        looked = white = 0;
        for (const auto& line : kLines) {
            float w;
            Point a = Transform(view, line[0], w), b = Transform(view, line[1], w);
            const float nearest = 1.2f;
            if (a.z < nearest && b.z < nearest) continue;
            // Only the part in front of the eye can be seen: cut the rest off in view space.
            auto cut = [nearest](Point& p, const Point& q) {
                const float k = (nearest - p.z) / (q.z - p.z);
                p = Point{p.x + (q.x - p.x) * k, p.y + (q.y - p.y) * k, nearest};
            };
            if (a.z < nearest) cut(a, b);
            if (b.z < nearest) cut(b, a);
            for (int i = 0; i <= 400; ++i) {
                const float f = (float)i / 400.f;
                const Point v{a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f, a.z + (b.z - a.z) * f};
                if (v.z > 30.f) continue;  // farther off, a line is thinner than a pixel
                const Point c = Transform(projection, v, w);
                const int x = (int)((c.x / w + 1.f) * 0.5f * (float)frame.width);
                const int y = (int)((1.f - c.y / w) * 0.5f * (float)frame.height);
                if (x < 2 || y < 2 || x >= frame.width - 2 || y >= frame.height - 2) continue;
                ++looked;
                int brightest = 0;
                for (int dy = -2; dy <= 2; ++dy)
                    for (int dx = -2; dx <= 2; ++dx) {
                        const uint8_t* p = frame.At(x + dx, y + dy);
                        brightest = std::max(brightest, (int)std::min({p[0], p[1], p[2]}));
                    }
                white += brightest > 150;
            }
        }
    }
};

}  // namespace

TEST_F(PitchLinesTest, LinesRunningUnderAndBehindALowEyeStayStraight)
{
    const struct {
        D3DVECTOR eye, target;
    } views[] = {
        // Standing on the penalty area's front line, looking along it.
        {{21.24f, 2.0f, 15.f}, {20.94f, 0.f, 28.f}},
        // On its side line, toward the goal line, and the other way.
        {{24.f, 2.0f, 21.64f}, {11.f, 0.f, 22.f}},
        {{2.f, 2.0f, 62.44f}, {15.f, 0.f, 62.f}},
        // The match's own view behind a player in the goal area, and from over the corner.
        {{19.f, 2.7f, 44.f}, {6.f, 0.f, 42.f}},
        {{22.f, 2.0f, 64.f}, {14.f, 0.f, 55.f}},
    };
    for (const auto& v : views) {
        CameraEye = v.eye;
        CameraTarget = v.target;
        RenderEngineFrame();
        const RgbImage frame = ReadBack();
        ASSERT_EQ(frame.width, 800);
        // The near plane does cut the ground's triangles here: the eye stands over the pitch
        // lower than the grid's cells are wide, so some corners of the cell under it lie behind.
        int looked = 0, white = 0;
        LinesWhereTheyBelong(frame, looked, white);
        EXPECT_GT(looked, 150) << v.eye.x << "," << v.eye.z;
        EXPECT_GT(white, looked * 9 / 10) << "eye " << v.eye.x << "," << v.eye.y << "," << v.eye.z << ": " << white
                                          << " of " << looked << " points of the markings are white";
        if (HasFailure()) {
            WritePng(std::filesystem::path(BUILD_ROOT) / "engine_pitch_lines_failed.png", frame);
            return;
        }
    }
}
