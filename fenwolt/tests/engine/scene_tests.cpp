#include "fenwolt/Game/Engine/Instances.h"
#include "fenwolt/Game/Engine/Scene.h"
#include "fenwolt/Game/Screens.h"
#include "engine_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {
class SceneTest : public EngineAppTest {
protected:
    void SetUp() override
    {
        EngineAppTest::SetUp();
        ASSERT_LT(LoadMesh("xdata\\squarecf.x"), MESH_NONE);
        CameraEye = D3DVECTOR{0.f, 0.f, -100.f};
        CameraTarget = D3DVECTOR{0.f, 0.f, 0.f};
        CameraUp = D3DVECTOR{0.f, 1.f, 0.f};
        FieldOfView = 0.75f;
        NearPlane = 1.f;
        FarPlane = 5000.f;
        DrawDistance = 1000.f;
        ForceSceneRebuild();
        ScreenReady = true;
        SceneVisible = true;
    }
    static int Place(float x, float y, float z)
    {
        return CreateModelInstance("xdata\\squarecf.x", "", x, y, z, 0.f, 0.f, 0.f, 1.f);
    }
    static bool Drawn(int index)
    {
        return std::find(DrawList, DrawList + DrawCount, index) != DrawList + DrawCount;
    }
    static void Frame() { RenderEngineFrame(); }
};
}  // namespace

TEST_F(SceneTest, FrustumEdgesKeepTheGenerousMargin)
{
    // At 100 units the view reaches about 52.5 to each side.
    const int inside = Place(50.f, 0.f, 0.f);
    const int onEdge = Place(54.f, 0.f, 0.f);
    const int outside = Place(60.f, 0.f, 0.f);
    const int above = Place(0.f, 60.f, 0.f);
    const int behind = Place(0.f, 0.f, -150.f);
    Frame();
    EXPECT_TRUE(Drawn(inside));
    EXPECT_TRUE(Drawn(onEdge));
    EXPECT_FALSE(Drawn(outside));
    EXPECT_FALSE(Drawn(above));
    EXPECT_FALSE(Drawn(behind));
    EXPECT_EQ(DrawCount, 2);
    // One draw call a drawn instance, and nothing else in the scene.
    EXPECT_EQ(TheApp.DrawCallCount, 2);
}

TEST_F(SceneTest, PlanesOfTheIdentityAreTheUnitCube)
{
    D3DMATRIX identity;
    SetIdentityMatrix(identity);
    FrustumPlane planes[6];
    ExtractFrustumPlanes(planes, identity, true);
    EXPECT_FLOAT_EQ(planes[0].a, 1.f);  // left: x >= -1
    EXPECT_FLOAT_EQ(planes[0].d, 1.f);
    EXPECT_FLOAT_EQ(planes[1].a, -1.f);  // right: x <= 1
    EXPECT_FLOAT_EQ(planes[4].c, 1.f);   // near: z >= 0
    EXPECT_FLOAT_EQ(planes[4].d, 0.f);
    EXPECT_FLOAT_EQ(planes[5].c, -1.f);  // far: z <= 1
}

TEST_F(SceneTest, WithTheCameraStillOnlyChangesAreLookedAt)
{
    const int moving = Place(0.f, 0.f, 0.f);
    const int freed = Place(10.f, 0.f, 0.f);
    Frame();
    ASSERT_TRUE(Drawn(moving));
    ASSERT_TRUE(Drawn(freed));
    // Moved out of view while the camera stands: still drawn until the camera moves.
    ModelInstance& m = TheApp.InstanceTable[moving];
    m.Position.x = 900.f;
    m.MatrixValid = 0;
    m.Moved = 1;
    const int created = Place(-10.f, 0.f, 0.f);
    FreeModelInstance(freed);
    Frame();
    EXPECT_FALSE(CameraMoved);
    EXPECT_TRUE(Drawn(moving));
    EXPECT_FALSE(Drawn(freed));
    EXPECT_TRUE(Drawn(created));
    // Hidden then shown again while the camera stands: back in the scene.
    SetInstanceVisible(created, false);
    Frame();
    EXPECT_FALSE(Drawn(created));
    SetInstanceVisible(created, true);
    Frame();
    EXPECT_TRUE(Drawn(created));
    // The camera moves: the instance out of view goes.
    CameraEye.y = 0.5f;
    Frame();
    EXPECT_TRUE(CameraMoved);
    EXPECT_FALSE(Drawn(moving));
    EXPECT_TRUE(Drawn(created));
}

TEST_F(SceneTest, FreedInstancesAreNotDrawnFromTheVisibleList)
{
    const int a = Place(0.f, 0.f, 0.f);
    Place(5.f, 0.f, 0.f);
    Frame();
    FreeModelInstance(a);
    Frame();
    EXPECT_FALSE(Drawn(a));
    EXPECT_EQ(DrawCount, 1);
}

TEST_F(SceneTest, DistanceLimitBillboardsAndNeverCull)
{
    DrawDistance = 300.f;
    const int far = Place(0.f, 0.f, 350.f);  // 450 from the eye
    const int board = Place(0.f, 0.f, 350.f);
    TheApp.InstanceTable[board].Billboard = 1;
    const int anywhere = Place(-250.f, 0.f, 0.f);  // out of view, within reach
    TheApp.InstanceTable[anywhere].NeverCull = 1;
    const int tooFar = Place(0.f, 0.f, 2000.f);
    TheApp.InstanceTable[tooFar].NeverCull = 1;
    Frame();
    EXPECT_FALSE(Drawn(far));
    EXPECT_TRUE(Drawn(board));
    EXPECT_TRUE(Drawn(anywhere));
    EXPECT_FALSE(Drawn(tooFar));
    // The billboard turned to face the eye straight ahead.
    EXPECT_NEAR(std::fabs(TheApp.InstanceTable[board].Rotation.y), 3.14159265f, 1e-4);
    // A distance-hidden instance flagged as moved does not come back while the camera stands.
    TheApp.InstanceTable[far].Moved = 1;
    Frame();
    EXPECT_FALSE(Drawn(far));
}

TEST_F(SceneTest, NothingIsDrawnWhileTheScreenIsNotReady)
{
    Place(0.f, 0.f, 0.f);
    ScreenReady = false;
    EXPECT_EQ(DrawScene(), 1);
    ScreenReady = true;
    TheApp.SceneMatrices[1] = TheApp.SceneMatrices[2] = D3DMATRIX{};
    EXPECT_EQ(DrawScene(), 0);
}

TEST_F(SceneTest, AnInstanceWithoutTextureDoesNotInheritThePreviousOne)
{
    const int holder = LoadTextureHolder("textures\\ball.tga");
    ASSERT_LT(holder, MESH_NONE);
    const int textured = CreateModelInstance("xdata\\squarecf.x", "textures\\ball.tga", 0, 0, 0, 0, 0, 0, 1);
    const int bare = Place(0.5f, 0.f, 0.5f);
    ASSERT_EQ(TheApp.InstanceTable[textured].TextureMeshIndex, holder);
    ASSERT_GT(bare, textured);
    ScreenReady = true;
    TheApp.Device->BeginScene();
    TheApp.SceneMatrices[1] = TheApp.SceneMatrices[2] = D3DMATRIX{};
    SetIdentityMatrix(TheApp.SceneMatrices[1]);
    SetIdentityMatrix(TheApp.SceneMatrices[2]);
    DrawScene();
    TheApp.Device->EndScene();
    ASSERT_EQ(DrawCount, 2);
    IDirect3DBaseTexture8* texture = reinterpret_cast<IDirect3DBaseTexture8*>(1);
    TheApp.Device->GetTexture(0, &texture);
    EXPECT_EQ(texture, nullptr);
    if (texture) texture->Release();
}
