// The field camera's bounds: the look-at point over the field, the eye between floor and ceiling,
// the zoom within its range and the view never straight down; the moves that would leave them
// do nothing, and any pair is brought within them the shortest way.
#include "fenwolt/Game/Engine/Camera.h"
#include "fenwolt/Game/GameApp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace {

constexpr float kPitch = 1.3962634f;  // 80 degrees

class CameraBoundsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FieldCamera = FieldCameraState{};
        FieldCamera.ZoomStep = 1.0f;
        FieldCamera.FieldLength = 120.f;
        FieldCamera.FieldWidth = 80.f;
        FieldCamera.MaxTargetHeight = 20.f;
        FieldCamera.MinEyeHeight = 2.f;
        FieldCamera.MaxEyeHeight = 60.f;
        FieldCamera.MinDistance = 2.f;
        FieldCamera.MaxDistance = 70.f;
        FieldCamera.MaxViewPitch = kPitch;
        FieldCamera.Bounded = true;
        CameraUp = D3DVECTOR{0.f, 1.f, 0.f};
    }
    void TearDown() override { FieldCamera = FieldCameraState{}; }
    static void Place(D3DVECTOR eye, D3DVECTOR target)
    {
        CameraEye = eye;
        CameraTarget = target;
    }
    static float Length(float x, float y, float z) { return std::sqrt(x * x + y * y + z * z); }
    static float Ground(const D3DVECTOR& e, const D3DVECTOR& t) { return std::hypot(e.x - t.x, e.z - t.z); }
    static float Pitch(const D3DVECTOR& e, const D3DVECTOR& t) { return std::atan2(std::fabs(e.y - t.y), Ground(e, t)); }
};

TEST_F(CameraBoundsTest, ACameraWithinTheBoundsIsLeftExactlyAsItIs)
{
    // The match's kick-off views: behind the centre spot, and the beginners' view from above.
    for (const D3DVECTOR eye : {D3DVECTOR{46.47f, 2.7f, 42.08f}, D3DVECTOR{59.47f, 31.f, 11.08f}}) {
        D3DVECTOR e = eye, t{59.47f, 0.f, 42.08f};
        ASSERT_TRUE(CameraInBounds(e, t));
        KeepCameraInBounds(e, t);
        EXPECT_EQ(e.x, eye.x);
        EXPECT_EQ(e.y, eye.y);
        EXPECT_EQ(e.z, eye.z);
        EXPECT_EQ(t.x, 59.47f);
    }
    // Off, nothing is out of bounds and nothing is moved.
    FieldCamera.Bounded = false;
    D3DVECTOR e{-5000.f, -3.f, 0.f}, t{9000.f, 0.f, 0.f};
    EXPECT_TRUE(CameraInBounds(e, t));
    KeepCameraInBounds(e, t);
    EXPECT_EQ(e.x, -5000.f);
    EXPECT_EQ(t.x, 9000.f);
}

TEST_F(CameraBoundsTest, ALookAtPointOffTheFieldComesBackAndTheEyeComesWithIt)
{
    // A ball kicked far over the touchline and high into the air.
    D3DVECTOR t{300.f, 45.f, -50.f};
    D3DVECTOR e{t.x - 13.f, t.y + 2.7f, t.z};
    KeepCameraInBounds(e, t);
    EXPECT_FLOAT_EQ(t.x, 120.f);
    EXPECT_FLOAT_EQ(t.y, 20.f);
    EXPECT_FLOAT_EQ(t.z, 0.f);
    // The view keeps its direction and its height over what it looks at.
    EXPECT_NEAR(e.x - t.x, -13.f, 1e-4);
    EXPECT_NEAR(e.y - t.y, 2.7f, 1e-4);
    EXPECT_NEAR(e.z - t.z, 0.f, 1e-4);
    EXPECT_TRUE(CameraInBounds(e, t));
}

TEST_F(CameraBoundsTest, TheZoomAndTheEyeHeightStayInTheirRanges)
{
    const D3DVECTOR t{60.f, 0.f, 40.f};
    // Far away along a fixed direction: back to the far end on the same line.
    D3DVECTOR e{60.f - 300.f, 30.f, 40.f}, tt = t;
    KeepCameraInBounds(e, tt);
    EXPECT_NEAR(Length(e.x - t.x, e.y - t.y, e.z - t.z), 70.f, 1e-3);
    EXPECT_FLOAT_EQ(e.y, 30.f) << "the height is within its range and stays";
    EXPECT_FLOAT_EQ(e.z, 40.f);
    // Nearer than the near end (a jumping player looked at from the floor).
    e = D3DVECTOR{60.5f, 2.f, 40.f};
    tt = D3DVECTOR{60.f, 1.f, 40.f};
    KeepCameraInBounds(e, tt);
    EXPECT_NEAR(Length(e.x - tt.x, e.y - tt.y, e.z - tt.z), 2.f, 1e-4);
    EXPECT_GT(e.x, 60.f) << "on the side it was";
    tt = t;
    // Under the floor and over the ceiling.
    e = D3DVECTOR{47.f, 0.5f, 40.f};
    KeepCameraInBounds(e, tt);
    EXPECT_FLOAT_EQ(e.y, 2.f);
    EXPECT_FLOAT_EQ(e.x, 47.f);
    e = D3DVECTOR{20.f, 200.f, 40.f};
    KeepCameraInBounds(e, tt);
    EXPECT_FLOAT_EQ(e.y, 60.f);
    EXPECT_TRUE(CameraInBounds(e, tt));
}

TEST_F(CameraBoundsTest, AViewStraightDownTiltsToThePitchLimitFromTheSideItWasOn)
{
    // Exactly over the target the look-at view has no roll at all: it is seen from the low-x side.
    const D3DVECTOR t{20.94f, 0.f, 21.94f};  // a corner of the penalty area
    D3DVECTOR e{t.x, 25.f, t.z}, tt = t;
    KeepCameraInBounds(e, tt);
    EXPECT_NEAR(Pitch(e, tt), kPitch, 1e-4);
    EXPECT_LT(e.x, t.x);
    EXPECT_FLOAT_EQ(e.y, 25.f);
    // Nearly over it, the eye keeps the side it was on.
    e = D3DVECTOR{t.x + 0.001f, 25.f, t.z + 0.002f};
    KeepCameraInBounds(e, tt);
    EXPECT_NEAR(Pitch(e, tt), kPitch, 1e-4);
    EXPECT_GT(e.x, t.x);
    EXPECT_GT(e.z, t.z);
    EXPECT_NEAR((e.z - t.z) / (e.x - t.x), 2.f, 1e-2);
    // Looking straight up at a ball overhead is no better.
    e = D3DVECTOR{30.f, 2.f, 40.f};
    tt = D3DVECTOR{30.f, 20.f, 40.f};
    KeepCameraInBounds(e, tt);
    EXPECT_NEAR(Pitch(e, tt), kPitch, 1e-4);
}

TEST_F(CameraBoundsTest, PairsThatAreNotNumbersBecomeASoundView)
{
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    D3DVECTOR e{nan, 3.f, 1.f}, t{10.f, 0.f, 10.f};
    EXPECT_FALSE(CameraInBounds(e, t));
    KeepCameraInBounds(e, t);
    EXPECT_TRUE(CameraInBounds(e, t));
    EXPECT_FLOAT_EQ(t.x, 10.f);
    e = D3DVECTOR{1.f, 3.f, 1.f};
    t = D3DVECTOR{inf, nan, -inf};
    KeepCameraInBounds(e, t);
    EXPECT_TRUE(CameraInBounds(e, t));
    EXPECT_FLOAT_EQ(t.x, 60.f) << "the middle of the field";
}

TEST_F(CameraBoundsTest, AnyPairIsBroughtWithinTheBoundsOnceAndForAll)
{
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> wide(-500.f, 500.f), near(-3.f, 3.f);
    for (int i = 0; i < 20000; ++i) {
        D3DVECTOR t{wide(rng), wide(rng) * 0.1f, wide(rng)};
        D3DVECTOR e = i % 3 == 0 ? D3DVECTOR{t.x + near(rng), t.y + wide(rng) * 0.2f, t.z + near(rng)}
                                 : D3DVECTOR{wide(rng), wide(rng) * 0.2f, wide(rng)};
        KeepCameraInBounds(e, t);
        ASSERT_TRUE(CameraInBounds(e, t)) << i;
        const D3DVECTOR e1 = e, t1 = t;
        KeepCameraInBounds(e, t);
        ASSERT_TRUE(e.x == e1.x && e.y == e1.y && e.z == e1.z && t.x == t1.x && t.y == t1.y && t.z == t1.z) << i;
    }
}

TEST_F(CameraBoundsTest, MovesThatWouldLeaveTheBoundsDoNothing)
{
    // Zooming out stops at the far end; zooming in still works within the range.
    auto zoom = [] { return Length(CameraEye.x - CameraTarget.x, CameraEye.y - CameraTarget.y, CameraEye.z - CameraTarget.z); };
    Place({60.f - 67.2f, 10.f, 40.f}, {60.f, 0.f, 40.f});
    for (int i = 0; i < 10; ++i) ZoomCameraStep(0);
    EXPECT_NEAR(zoom(), 69.94f, 0.01f);
    ZoomCameraStep(1);
    EXPECT_NEAR(zoom(), 68.94f, 0.01f);

    // Panning toward the touchline stops at the field's edge and says so.
    Place({60.f, 2.7f, 70.f}, {60.f, 0.f, 78.5f});
    const float step = 8.5f / std::hypot(8.5f, 2.7f);  // the ground part of the view direction
    EXPECT_TRUE(PanCamera(8));
    EXPECT_NEAR(CameraTarget.z, 78.5f + step, 1e-4);
    EXPECT_FALSE(PanCamera(8));
    EXPECT_NEAR(CameraTarget.z, 78.5f + step, 1e-4);
    EXPECT_TRUE(PanCamera(2));
    EXPECT_FALSE(PanCamera(5));

    // Turning the look-at point about the eye off the field is refused.
    Place({1.f, 2.7f, 40.f}, {14.f, 0.f, 40.f});
    OrbitTargetAroundEyeBy(1, 1.0f);  // half a turn: behind the goal line
    EXPECT_FLOAT_EQ(CameraTarget.x, 14.f);
    OrbitEyeAroundTargetBy(1, 1.0f);  // the eye may go round: the look-at point stays on the field
    EXPECT_NEAR(CameraEye.x, 27.f, 1e-3);

    // A hand-made move that leaves the bounds is undone; one from outside them is brought within.
    Place({40.f, 2.7f, 40.f}, {53.f, 0.f, 40.f});
    const D3DVECTOR oldEye = CameraEye, oldTarget = CameraTarget;
    CameraEye.y = 1.f;
    EXPECT_FALSE(SettleCameraMove(oldEye, oldTarget));
    EXPECT_FLOAT_EQ(CameraEye.y, 2.7f);
    CameraEye.y = 3.7f;
    EXPECT_TRUE(SettleCameraMove(oldEye, oldTarget));
    EXPECT_FLOAT_EQ(CameraEye.y, 3.7f);
    Place({-400.f, 2.7f, 40.f}, {-387.f, 0.f, 40.f});
    const D3DVECTOR lostEye = CameraEye, lostTarget = CameraTarget;
    CameraEye.x -= 1.f;
    CameraTarget.x -= 1.f;
    EXPECT_TRUE(SettleCameraMove(lostEye, lostTarget));
    EXPECT_TRUE(CameraInBounds(CameraEye, CameraTarget));
}

}  // namespace
