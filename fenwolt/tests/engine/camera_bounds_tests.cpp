// The field camera's bounds: the look-at point over the field, the eye between floor and ceiling
// and within its box on the ground (fitted to the scenery around the field), the zoom within its
// range and the view never straight down; the moves that would leave them do nothing, and any
// pair is brought within them.
#include "fenwolt/Game/Engine/Camera.h"
#include "fenwolt/Game/GameApp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <utility>

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

// The eye's box: the field of the fixture with room around it, as the stands leave it.
class EyeBoxTest : public CameraBoundsTest {
protected:
    void SetUp() override
    {
        CameraBoundsTest::SetUp();
        FieldCamera.EyeMinX = -4.f;
        FieldCamera.EyeMaxX = 124.f;
        FieldCamera.EyeMinZ = -4.f;
        FieldCamera.EyeMaxZ = 84.f;
    }
};

TEST_F(EyeBoxTest, AnEyeBeyondItsBoxComesInAlongTheLineOfSight)
{
    // The view over the near touchline from behind it, high up: the eye comes to the box's edge
    // on the same line, so it still looks the same way at the same angle, from nearer.
    const D3DVECTOR t{60.f, 0.f, 4.f};
    D3DVECTOR e{60.f, 31.f, -27.f}, tt = t;
    EXPECT_FALSE(CameraInBounds(e, tt));
    KeepCameraInBounds(e, tt);
    EXPECT_FLOAT_EQ(tt.x, t.x);
    EXPECT_FLOAT_EQ(tt.z, t.z) << "the look-at point stays";
    EXPECT_NEAR(e.z, -4.f, 1e-4);
    EXPECT_NEAR(Pitch(e, tt), std::atan2(31.f, 31.f), 1e-4);
    EXPECT_FLOAT_EQ(e.x, 60.f);
    EXPECT_TRUE(CameraInBounds(e, tt));
    // Low behind a goal line: on the same line the height would fall under the floor, which
    // holds it up.
    e = D3DVECTOR{-8.f, 2.7f, 40.f};
    tt = D3DVECTOR{5.f, 0.f, 40.f};
    KeepCameraInBounds(e, tt);
    EXPECT_NEAR(e.x, -4.f, 1e-4);
    EXPECT_FLOAT_EQ(e.y, 2.f);
    EXPECT_TRUE(CameraInBounds(e, tt));
    // Into a corner: the nearer of the two sides decides.
    e = D3DVECTOR{-10.f, 20.f, -30.f};
    tt = D3DVECTOR{10.f, 0.f, 10.f};
    KeepCameraInBounds(e, tt);
    EXPECT_NEAR(e.z, -4.f, 1e-4);
    EXPECT_GT(e.x, -4.f);
    EXPECT_NEAR((e.x - tt.x) / (e.z - tt.z), 0.5f, 1e-4) << "the same heading";
}

TEST_F(EyeBoxTest, AnyPairIsBroughtWithinTheBoxOnceAndForAll)
{
    std::mt19937 rng(23);
    std::uniform_real_distribution<float> wide(-300.f, 300.f);
    for (int i = 0; i < 20000; ++i) {
        D3DVECTOR t{wide(rng), wide(rng) * 0.1f, wide(rng)}, e{wide(rng), wide(rng) * 0.2f, wide(rng)};
        KeepCameraInBounds(e, t);
        ASSERT_TRUE(CameraInBounds(e, t)) << i;
        const D3DVECTOR e1 = e, t1 = t;
        KeepCameraInBounds(e, t);
        ASSERT_TRUE(e.x == e1.x && e.y == e1.y && e.z == e1.z && t.x == t1.x && t.y == t1.y && t.z == t1.z) << i;
    }
}

TEST_F(EyeBoxTest, MovesThatWouldTakeTheEyeOutOfItsBoxDoNothing)
{
    // Panning back toward the stand behind the eye stops with the eye at the box's edge.
    Place({60.f, 31.f, 0.f}, {60.f, 0.f, 31.f});
    int pans = 0;
    while (PanCamera(2) && pans < 100) ++pans;
    EXPECT_EQ(pans, 5);
    EXPECT_GE(CameraEye.z, -4.f);
    EXPECT_LT(CameraEye.z, -4.f + 1.f);
    // Zooming out and orbiting the eye into the stand are refused alike.
    const D3DVECTOR eye = CameraEye;
    ZoomCameraStep(0);
    EXPECT_FLOAT_EQ(CameraEye.z, eye.z);
    // A quarter turn of the eye about a point 10 from the low-x end: one way it would end 10
    // behind the end, and stays; the other way it goes round.
    int stayed = 0;
    for (int flag : {0, 1}) {
        Place({10.f, 10.f, 20.f}, {10.f, 0.f, 40.f});
        OrbitEyeAroundTargetBy(flag, 0.5f);
        if (CameraEye.x == 10.f && CameraEye.z == 20.f)
            ++stayed;
        else
            EXPECT_NEAR(CameraEye.x, 30.f, 1e-3);
    }
    EXPECT_EQ(stayed, 1);
}

// A goal over the low-x end of the field as a sight obstacle: the eye never looks from behind it
// through it at what stands in front of it, but rises over it.
class SightObstacleTest : public EyeBoxTest {
protected:
    void SetUp() override
    {
        EyeBoxTest::SetUp();
        FieldCamera.SightObstacles[0] = FieldCameraState::SightObstacle{{2.3f, 0.f, 38.f}, {4.6f, 2.7f, 47.f}, 0};
        FieldCamera.SightObstacleCount = 1;
    }
    // Whether the straight line from the eye to the target passes through the goal's box.
    static bool ThroughTheGoal(const D3DVECTOR& e, const D3DVECTOR& t)
    {
        const FieldCameraState::SightObstacle& g = FieldCamera.SightObstacles[0];
        for (int i = 0; i <= 1000; ++i) {
            const float s = i / 1000.f;
            const D3DVECTOR p{e.x + (t.x - e.x) * s, e.y + (t.y - e.y) * s, e.z + (t.z - e.z) * s};
            if (p.x >= g.Min.x && p.x <= g.Max.x && p.y >= g.Min.y && p.y <= g.Max.y && p.z >= g.Min.z &&
                p.z <= g.Max.z)
                return true;
        }
        return false;
    }
};

TEST_F(SightObstacleTest, AnEyeBehindAGoalRisesToLookOverIt)
{
    // The keeper six units out, looked at from behind his goal: the eye goes straight up, no
    // nearer and no further round, until the line of sight clears the crossbar.
    const D3DVECTOR keeper{6.f, 0.f, 42.f};
    D3DVECTOR e{-3.f, 5.f, 42.f}, t = keeper;
    ASSERT_TRUE(ThroughTheGoal(e, t));
    EXPECT_FALSE(CameraInBounds(e, t));
    KeepCameraInBounds(e, t);
    EXPECT_FLOAT_EQ(e.x, -3.f);
    EXPECT_FLOAT_EQ(e.z, 42.f);
    EXPECT_FLOAT_EQ(t.x, keeper.x);
    EXPECT_FALSE(ThroughTheGoal(e, t));
    EXPECT_GT(e.y, 2.7f * 9.f / 1.4f) << "over the crossbar's front edge";
    EXPECT_LT(e.y, 2.7f * 9.f / 1.4f + 2.f) << "and no higher than that needs";
    EXPECT_TRUE(CameraInBounds(e, t));
    // A ball just off the goal line under the crossbar: no tilt the view allows clears it; the eye
    // rises as far as the tilt lets it, and that counts as within the bounds.
    e = D3DVECTOR{-3.f, 5.f, 42.f};
    t = D3DVECTOR{4.7f, 0.f, 42.f};
    KeepCameraInBounds(e, t);
    EXPECT_NEAR(Pitch(e, t), kPitch, 1e-4);
    EXPECT_TRUE(CameraInBounds(e, t));
    // Not behind it: beside the goal, in front of it looking back through its mouth at a ball
    // behind the line, or behind it looking at a ball behind it too, the eye stays.
    for (const auto& [eye, target] :
         {std::pair{D3DVECTOR{-3.f, 3.f, 30.f}, D3DVECTOR{8.f, 0.f, 33.f}},
          std::pair{D3DVECTOR{15.f, 2.7f, 42.f}, D3DVECTOR{1.f, 0.f, 42.f}},
          std::pair{D3DVECTOR{-3.5f, 2.7f, 42.f}, D3DVECTOR{1.f, 0.f, 42.f}}}) {
        D3DVECTOR ee = eye, tt = target;
        EXPECT_TRUE(CameraInBounds(ee, tt)) << eye.x << " " << eye.z;
        KeepCameraInBounds(ee, tt);
        EXPECT_FLOAT_EQ(ee.y, eye.y);
    }
}

TEST_F(SightObstacleTest, APanBehindTheGoalIsRefusedAndAnyPairEndsClearOfIt)
{
    // Looking along +x at a player in front of the goal, the view pans back toward the end: it
    // stops before the eye passes behind the goal.
    Place({14.f, 2.7f, 42.f}, {25.f, 0.f, 42.f});
    int pans = 0;
    while (PanCamera(2) && pans < 100) ++pans;
    EXPECT_LT(pans, 100);
    EXPECT_GT(CameraEye.x, 4.6f);
    EXPECT_FALSE(ThroughTheGoal(CameraEye, CameraTarget));
    // Pairs all round the goal come clear of it (or as high as they may), once and for all.
    std::mt19937 rng(29);
    std::uniform_real_distribution<float> x(-10.f, 30.f), z(25.f, 60.f), y(0.f, 12.f);
    int raised = 0;
    for (int i = 0; i < 20000; ++i) {
        D3DVECTOR t{x(rng), y(rng) * 0.3f, z(rng)}, e{x(rng), y(rng), z(rng)};
        const bool through = ThroughTheGoal(e, t) && e.x < 4.6f && t.x > 4.6f;
        KeepCameraInBounds(e, t);
        ASSERT_TRUE(CameraInBounds(e, t)) << i;
        const D3DVECTOR e1 = e, t1 = t;
        KeepCameraInBounds(e, t);
        ASSERT_TRUE(e.x == e1.x && e.y == e1.y && e.z == e1.z && t.x == t1.x && t.y == t1.y && t.z == t1.z) << i;
        if (through) {
            ++raised;
            if (Pitch(e, t) < kPitch - 1e-3f && e.y < FieldCamera.MaxEyeHeight - 1e-3f) {
                ASSERT_FALSE(ThroughTheGoal(e, t)) << i;
            }
        }
    }
    EXPECT_GT(raised, 100);
}

// Scenery around a field of 120 x 80: a stand off each side, a corner tower, boards before the
// near stand, a goal over the field's edge, the ground and a stand whose front would leave no
// room over the field's edge.
TEST(EyeBoxFit, TheSceneryAroundTheFieldClosesTheEyesBox)
{
    ConstructTheApp();
    FieldCamera = FieldCameraState{};
    FieldCamera.FieldLength = 120.f;
    FieldCamera.FieldWidth = 80.f;
    FieldCamera.MinEyeHeight = 2.f;
    int used = 0;
    auto place = [&used](D3DVECTOR lo, D3DVECTOR hi) {
        ModelInstance& m = TheApp.InstanceTable[used++];
        m.InUse = 1;
        for (int i = 0; i < 12; ++i)
            m.BoxPoints[1][i] = D3DVECTOR{i & 1 ? hi.x : lo.x, i & 2 ? hi.y : lo.y, i & 4 ? hi.z : lo.z};
    };
    place({-20.f, 0.f, -30.f}, {140.f, 21.f, -6.f});   // the near stand
    place({-30.f, 0.f, -10.f}, {-5.f, 21.f, 90.f});    // the low end's stand
    place({125.f, 0.f, -10.f}, {150.f, 21.f, 90.f});   // the high end's
    place({-40.f, 0.f, 100.f}, {-36.f, 40.f, 104.f});  // a tower off the corner, furthest off the far side
    place({10.f, 0.f, -2.f}, {60.f, 0.9f, -1.8f});     // boards
    place({-2.f, 0.f, 36.f}, {0.5f, 2.7f, 44.f});      // a goal over the field's edge
    place({-20.f, 0.f, 80.5f}, {140.f, 21.f, 100.f});  // the far stand, right at the edge
    place({-10.f, 0.f, -10.f}, {130.f, 0.f, 90.f});    // the grass
    FitEyeBoundsToScenery();
    const float t = std::tan(FieldOfView * 0.5f);
    const float reach = NearPlane * std::sqrt(1.f + t * t * (1.f + ProjectionAspect * ProjectionAspect));
    EXPECT_FLOAT_EQ(FieldCamera.EyeMinZ, std::fmin(-1.8f + reach, 0.f)) << "the boards, not the stand behind";
    EXPECT_FLOAT_EQ(FieldCamera.EyeMinX, -5.f + reach);
    EXPECT_FLOAT_EQ(FieldCamera.EyeMaxX, 125.f - reach);
    EXPECT_FLOAT_EQ(FieldCamera.EyeMaxZ, 80.f) << "never over the field";
    ASSERT_EQ(FieldCamera.SightObstacleCount, 1) << "the goal, not the grass";
    EXPECT_EQ(FieldCamera.SightObstacles[0].Side, 0);
    EXPECT_FLOAT_EQ(FieldCamera.SightObstacles[0].Max.y, 2.7f);
    // Fitted again with nothing around, the box opens.
    for (ModelInstance& m : TheApp.InstanceTable) m.InUse = 0;
    FitEyeBoundsToScenery();
    EXPECT_TRUE(std::isinf(FieldCamera.EyeMinX) && std::isinf(FieldCamera.EyeMaxZ));
    EXPECT_EQ(FieldCamera.SightObstacleCount, 0);
    FieldCamera = FieldCameraState{};
    DestroyTheApp();
}

}  // namespace
