#include "fenwolt/Game/Engine/Instances.h"
#include "fenwolt/Game/Engine/Scene.h"
#include "fenwolt/Game/Engine/Sprites.h"
#include "engine_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
// A 16 x 16 picture of 4 x 4 blocks in four colours that survive R5G6B5 exactly.
std::string CheckerTga()
{
    std::string t(18, '\0');
    t[2] = 2;
    t[12] = 16;
    t[14] = 16;
    t[16] = 24;
    t[17] = 0x20;
    const uint8_t colours[4][3] = {{0, 0, 248}, {0, 248, 0}, {248, 0, 0}, {248, 248, 248}};  // B, G, R
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const uint8_t* c = colours[((y / 4) + (x / 4)) % 4];
            t += (char)c[0];
            t += (char)c[1];
            t += (char)c[2];
        }
    return t;
}

int CheckerRed(int x, int y)
{
    static const int reds[4] = {248, 0, 0, 248};
    return reds[((y / 4) + (x / 4)) % 4];
}

bool IsBackground(const uint8_t* p, uint32_t clear)
{
    return std::abs(p[0] - (int)((clear >> 16) & 255)) < 4 && std::abs(p[1] - (int)((clear >> 8) & 255)) < 4 &&
           std::abs(p[2] - (int)(clear & 255)) < 4;
}

int CountNonBackground(const RgbImage& img, int x0, int y0, int x1, int y1, uint32_t clear)
{
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) n += !IsBackground(img.At(x, y), clear);
    return n;
}

class GoldenTest : public EngineAppTest {
protected:
    void SetUp() override
    {
        EngineAppTest::SetUp();
        ClearColour = 0xFF203040;
        FieldOfView = 0.75f;
        NearPlane = 1.f;
        FarPlane = 5000.f;
        DrawDistance = 1000.f;
        CameraUp = D3DVECTOR{0.f, 1.f, 0.f};
        ForceSceneRebuild();
        ScreenReady = true;
        InitLights(TheApp.Device);
    }
};
}  // namespace

TEST_F(GoldenTest, AScreenOfPicturesTextsAndALitMesh)
{
    dir.Write("checker.tga", CheckerTga());
    ASSERT_LT(LoadMesh("xdata\\bvorne.x"), MESH_NONE);
    ASSERT_LT(LoadTextureHolder("textures\\blocktex.jpg"), MESH_NONE);
    const int cube = CreateModelInstance("xdata\\bvorne.x", "textures\\blocktex.jpg", 0, 0, 0, 0.f, 0.6f, 0.f, 0.25f);
    ASSERT_LT(cube, INSTANCE_NONE);
    const ModelInstance& m = TheApp.InstanceTable[cube];
    const float midY = (m.BoxMin.y + m.BoxMax.y) / 2.f;
    CameraEye = D3DVECTOR{4.f, midY + 5.f, -9.f};
    CameraTarget = D3DVECTOR{0.f, midY, 0.f};
    SceneVisible = true;

    SpriteImageWidth = SpriteImageHeight = 16;
    CreateImageSprite(1, 20, 20, 16, 16, "checker.tga", MakeRect(0, 0, 16, 16), 0);
    SpriteImageWidth = 401;
    SpriteImageHeight = 232;
    CreateImageSprite(2, 20, 60, 180, 100, "interface\\conf.tga", MakeRect(0, 0, 180, 100), 0);
    UseYellowTextColours();
    CreateTextSprite(3, 400, 450, 0, "Fenwolt Cup 1-0", 1);
    UseWhiteTextColours();
    CreateTextSprite(4, 400, 500, 1, "Options  Credits", 1);
    UseGreenTextColours();
    CreateTextSprite(5, 400, 540, 2, "Loading 42%", 1);
    CreatePlainTextSprite(6, 600, 20, 2, "plain", 0);

    RenderEngineFrame();
    const RgbImage frame = ReadBack();
    ASSERT_EQ(frame.width, 800);

    // The picture lands texel for texel: pixel (20 + x, 20 + y) shows texel (x, y).
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) ASSERT_NEAR(frame.At(20 + x, 20 + y)[0], CheckerRed(x, y), 8) << x << "," << y;
    EXPECT_TRUE(IsBackground(frame.At(19, 20), ClearColour));
    EXPECT_TRUE(IsBackground(frame.At(36, 20), ClearColour));
    // Every font wrote letters around its line.
    EXPECT_GT(CountNonBackground(frame, 200, 440, 600, 490, ClearColour), 500);
    EXPECT_GT(CountNonBackground(frame, 250, 495, 550, 525, ClearColour), 300);
    EXPECT_GT(CountNonBackground(frame, 300, 535, 500, 560, ClearColour), 150);
    // Yellow letters with a shadow: both colours appear.
    int yellow = 0, dark = 0;
    for (int y = 440; y < 490; ++y)
        for (int x = 200; x < 600; ++x) {
            const uint8_t* p = frame.At(x, y);
            yellow += p[0] > 200 && p[1] > 200 && p[2] < 80;
            dark += p[0] < 16 && p[1] < 16 && p[2] < 16;
        }
    EXPECT_GT(yellow, 100);
    EXPECT_GT(dark, 50);
    // The lit cube fills the middle with shaded faces.
    EXPECT_GT(CountNonBackground(frame, 300, 200, 500, 400, ClearColour), 4000);
    EXPECT_TRUE(MatchesGolden(frame, "screen"));
}

TEST_F(GoldenTest, InstancesOutsideTheFrustumAreLeftOut)
{
    ASSERT_LT(LoadMesh("xdata\\squarecf.x"), MESH_NONE);
    ASSERT_LT(LoadTextureHolder("textures\\marker.tga"), MESH_NONE);
    CameraEye = D3DVECTOR{0.f, 40.f, -40.f};
    CameraTarget = D3DVECTOR{0.f, 0.f, 0.f};
    SceneVisible = true;
    int placed = 0;
    for (int gx = -20; gx <= 20; ++gx)
        for (int gz = -20; gz <= 20; ++gz) {
            int i = CreateModelInstance("xdata\\squarecf.x", "textures\\marker.tga", gx * 4.f, 0.f, gz * 4.f, 0, 0, 0,
                                        1.5f);
            ASSERT_LT(i, INSTANCE_NONE);
            ++placed;
        }
    RenderEngineFrame();
    EXPECT_GT(DrawCount, 100);
    EXPECT_LT(DrawCount, placed);
    EXPECT_EQ(TheApp.DrawCallCount, DrawCount);
    const RgbImage frame = ReadBack();
    // Nothing visible is left out: the squares reach the edges of the view.
    EXPECT_GT(CountNonBackground(frame, 0, 300, 8, 600, ClearColour), 600);
    EXPECT_GT(CountNonBackground(frame, 792, 300, 800, 600, ClearColour), 600);
    EXPECT_TRUE(MatchesGolden(frame, "culling"));
}
