#include "fenwolt/Game/Engine/Camera.h"
#include "fenwolt/Game/GameApp.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class CameraTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FieldCamera = FieldCameraState{};
        CameraUp = D3DVECTOR{0.f, 1.f, 0.f};
    }
    static void Place(D3DVECTOR eye, D3DVECTOR target)
    {
        CameraEye = eye;
        CameraTarget = target;
    }
    static bool Finite(const D3DVECTOR& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }
};

TEST_F(CameraTest, ZoomMovesTheEyeByOneStepAndTheTargetOnlyWhenNotBelowTheEye)
{
    Place({0.f, 100.f, 0.f}, {0.f, 100.f, 100.f});
    ZoomCameraStep(1);
    EXPECT_NEAR(CameraEye.z, 10.f, 1e-4);
    EXPECT_NEAR(CameraTarget.z, 110.f, 1e-4);  // level target moves along
    ZoomCameraStep(0);
    EXPECT_NEAR(CameraEye.z, 0.f, 1e-4);
    EXPECT_NEAR(CameraTarget.z, 100.f, 1e-4);

    // Looking down: the target stays where it is.
    Place({0.f, 100.f, 0.f}, {0.f, 0.f, 0.1f});
    ZoomCameraStep(1);
    EXPECT_LT(CameraEye.y, 100.f);
    EXPECT_FLOAT_EQ(CameraTarget.y, 0.f);
    EXPECT_FLOAT_EQ(CameraTarget.z, 0.1f);
}

TEST_F(CameraTest, ZoomStepBelowTheFloorLeavesBothVectorsUnchanged)
{
    Place({0.f, 14.f, 0.f}, {0.f, 0.f, 0.f});
    ZoomCameraStep(1);  // to 4: below the floor
    EXPECT_FLOAT_EQ(CameraEye.y, 14.f);
    EXPECT_FLOAT_EQ(CameraTarget.y, 0.f);
    Place({0.f, 16.f, 0.f}, {0.f, 0.f, 0.f});
    ZoomCameraStep(1);  // to 6: allowed
    EXPECT_NEAR(CameraEye.y, 6.f, 1e-4);
}

TEST_F(CameraTest, ZoomWithTheEyeOnTheTargetChangesNothingAndMakesNoNaN)
{
    Place({50.f, 50.f, 50.f}, {50.f, 50.f, 50.f});
    ZoomCameraStep(1);
    ZoomCameraStep(0);
    EXPECT_TRUE(Finite(CameraEye));
    EXPECT_TRUE(Finite(CameraTarget));
    EXPECT_FLOAT_EQ(CameraEye.x, 50.f);
}

TEST_F(CameraTest, PanMovesEyeAndTargetAlongTheGround)
{
    Place({0.f, 100.f, 0.f}, {0.f, 100.f, 100.f});
    PanCamera(8);
    EXPECT_NEAR(CameraEye.z, 1.f, 1e-5);
    EXPECT_NEAR(CameraTarget.z, 101.f, 1e-4);
    PanCamera(2);
    EXPECT_NEAR(CameraEye.z, 0.f, 1e-5);
    PanCamera(6);  // looking along +z, the view's right is +x
    EXPECT_NEAR(CameraEye.x, 1.f, 1e-5);
    EXPECT_NEAR(CameraTarget.x, 1.f, 1e-5);
    EXPECT_NEAR(CameraEye.z, 0.f, 1e-5);
    EXPECT_FLOAT_EQ(CameraEye.y, 100.f);
    PanCamera(4);
    PanCamera(4);
    EXPECT_NEAR(CameraEye.x, -1.f, 1e-5);
    PanCamera(6);
    PanCamera(5);  // not a pan code
    EXPECT_NEAR(CameraEye.x, 0.f, 1e-5);
    EXPECT_NEAR(CameraTarget.z, 100.f, 1e-4);
}

TEST_F(CameraTest, PanningWhileLookingAlmostStraightDownMovesLessThanOneUnit)
{
    Place({0.f, 500.f, 0.f}, {0.f, 0.f, 20.f});
    PanCamera(8);
    EXPECT_GT(CameraEye.z, 0.f);
    EXPECT_LT(CameraEye.z, 0.1f);
}

TEST_F(CameraTest, PanningStraightDownMakesNoNaN)
{
    Place({10.f, 500.f, 10.f}, {10.f, 0.f, 10.f});
    for (int code : {8, 2, 6, 4}) PanCamera(code);
    EXPECT_TRUE(Finite(CameraEye));
    EXPECT_TRUE(Finite(CameraTarget));
    EXPECT_FLOAT_EQ(CameraEye.x, 10.f);
    EXPECT_FLOAT_EQ(CameraEye.z, 10.f);
}

TEST_F(CameraTest, OrbitOfHalfASecondIsAQuarterTurnAboutTheTarget)
{
    Place({100.f, 300.f, 0.f}, {0.f, 0.f, 0.f});
    OrbitEyeAroundTargetBy(1, 0.5f);  // (100, 0) turned by +pi/2 as a row vector: (0, -100)
    EXPECT_NEAR(CameraEye.x, 0.f, 1e-3);
    EXPECT_NEAR(CameraEye.z, -100.f, 1e-3);
    EXPECT_FLOAT_EQ(CameraEye.y, 300.f);
    OrbitEyeAroundTargetBy(0, 0.5f);  // the other way: back where it was
    EXPECT_NEAR(CameraEye.x, 100.f, 1e-3);
    EXPECT_NEAR(CameraEye.z, 0.f, 1e-3);
    // The other direction ends on the other side.
    OrbitEyeAroundTargetBy(0, 0.5f);
    EXPECT_NEAR(CameraEye.x, 0.f, 1e-3);
    EXPECT_NEAR(CameraEye.z, 100.f, 1e-3);
    EXPECT_FLOAT_EQ(CameraTarget.x, 0.f);
}

TEST_F(CameraTest, OrbitTargetAroundEyeMovesOnlyTheTarget)
{
    Place({0.f, 50.f, 0.f}, {0.f, 10.f, 200.f});
    OrbitTargetAroundEyeBy(1, 0.5f);  // (0, 200) turned by +pi/2: (200, 0)
    EXPECT_NEAR(CameraTarget.x, 200.f, 1e-2);
    EXPECT_NEAR(CameraTarget.z, 0.f, 1e-2);
    OrbitTargetAroundEyeBy(0, 1.0f);  // half a turn the other way
    EXPECT_NEAR(CameraTarget.x, -200.f, 1e-2);
    EXPECT_NEAR(CameraTarget.z, 0.f, 1e-2);
    Place({0.f, 50.f, 0.f}, {0.f, 10.f, 200.f});
    OrbitTargetAroundEyeBy(1, 1.0f);  // half a turn
    EXPECT_NEAR(CameraTarget.z, -200.f, 1e-2);
    EXPECT_NEAR(CameraTarget.x, 0.f, 1e-2);
    EXPECT_FLOAT_EQ(CameraTarget.y, 10.f);
    EXPECT_FLOAT_EQ(CameraEye.z, 0.f);
}

// Seen from behind the eye, looking along +z with +x on the right: the keypad's 9 (flag 1) swings
// the eye round to its left and * (flag 1) turns the view to the right; 7 and / (flag 0) the other
// way. Each turn keeps the distance on the ground.
TEST_F(CameraTest, EachOrbitFlagTurnsItsOwnWay)
{
    const float s = std::sin(3.14159265f * 0.1f) * 100.f, c = std::cos(3.14159265f * 0.1f) * 100.f;
    for (int flag : {0, 1}) {
        const float side = flag ? -1.f : 1.f;
        Place({0.f, 40.f, -100.f}, {0.f, 0.f, 0.f});
        OrbitEyeAroundTargetBy(flag, 0.1f);
        EXPECT_NEAR(CameraEye.x, side * s, 1e-3) << "eye, flag " << flag;
        EXPECT_NEAR(CameraEye.z, -c, 1e-3) << "eye, flag " << flag;
        Place({0.f, 40.f, 0.f}, {0.f, 0.f, 100.f});
        OrbitTargetAroundEyeBy(flag, 0.1f);
        EXPECT_NEAR(CameraTarget.x, -side * s, 1e-3) << "target, flag " << flag;
        EXPECT_NEAR(CameraTarget.z, c, 1e-3) << "target, flag " << flag;
    }
}

TEST_F(CameraTest, Distances)
{
    EXPECT_FLOAT_EQ(Distance3D(0, 0, 0, 3, 4, 12), 13.f);
    EXPECT_FLOAT_EQ(DistanceXZ(0, 100, 0, 3, -50, 4), 5.f);
}

}  // namespace
