#include "match_core_support.h"

#include "fenwolt/Game/Match/Banners.h"
#include "fenwolt/Game/Match/BallFlight.h"
#include "fenwolt/Game/Match/TurnEngine.h"
#include "fenwolt/common/Utilities.h"
#include "platform/win32/crt_rand.h"

#include <cmath>
#include <limits>

using namespace matchcore;

namespace {

constexpr float FACE_PLUS_X = 4.712389f;  // a model with this rotation faces +x
constexpr float FACE_PLUS_Z = 3.14159265f;

// A seed whose first RandomBelow(100) lies in [low, high].
uint32_t SeedWithFirstRoll(int low, int high)
{
    for (uint32_t s = 1; s < 100000; ++s) {
        srand(s);
        const int r = RandomBelow(100);
        if (r >= low && r <= high) return s;
    }
    ADD_FAILURE() << "no seed rolls " << low << ".." << high;
    return 1;
}

class BallTest : public MatchCoreTest {
protected:
    // Player 5 holds the ball at (40, 42), facing +x, and aims at (40 + dx, 42 + dz).
    void SetUpKick(float dx, float dz, float facing = FACE_PLUS_X)
    {
        ClearArea(40.f, 42.f, 80.f);
        PlacePlayer(5, 40.f, 42.f, facing);
        GiveBall(5);
        TheBall.aimPoint = D3DVECTOR{40.f + dx, BALL_REST_HEIGHT, 42.f + dz};
        ShotClass = 0;
    }
    // The ball in flight from (x0, z) to (x1, z) along x, in home's moving phase.
    void Fly(float x0, float x1, float loft, int32_t shotClass)
    {
        ClearArea(0.f, 42.f, 200.f);
        PlaceBall(x0, BALL_REST_HEIGHT, 42.f);
        TheBall.destination = D3DVECTOR{x1, BALL_REST_HEIGHT, 42.f};
        TheBall.loft = loft;
        ShotClass = shotClass;
        BallInFlight = 1;
        LastHolder = 0;
        StartMovingPhase(PHASE_HOME_MOVES);
    }
    float BallX() { return BallInstance().Position.x; }
};

TEST_F(BallTest, KickKindsChangeAfterTenAndThirtyUnits)
{
    struct Case {
        float length;
        int kind;
    } cases[] = {{0.f, 0}, {10.f, 0}, {10.01f, 1}, {30.f, 1}, {30.01f, 2}};
    for (const Case& c : cases) {
        SetUpKick(c.length, 0.f);
        ExecuteKick(5);
        EXPECT_EQ(PendingKickKind, c.kind) << c.length;
        EXPECT_EQ(LastKicker, 5);
    }
    SetUpKick(30.f, 0.f);
    ShotClass = 1;
    ExecuteKick(5);
    EXPECT_EQ(PendingKickKind, 4) << "a medium shot";
}

TEST_F(BallTest, DirectionPenaltyThresholds)
{
    MatchPlayers[5].attributes[ATTR_PASS_SHORT] = 0.f;    // short skill 50
    MatchPlayers[5].attributes[ATTR_PASS_MEDIUM] = 100.f;  // medium skill 100
    auto kickAt = [&](float length, float angle, uint32_t seed) {
        SetUpKick(length * std::sin(angle + 1.5707963f), length * std::cos(angle + 1.5707963f));
        srand(seed);
        return ExecuteKick(5);
    };
    // Short, 10 units: 50 within 0.78 of his facing, 50 - 20 up to 1.7, 50 - 50 (so 1) beyond.
    const uint32_t between30And50 = SeedWithFirstRoll(31, 50);
    EXPECT_TRUE(kickAt(10.f, 0.77f, between30And50));
    EXPECT_FALSE(kickAt(10.f, 0.79f, between30And50));
    const uint32_t between1And30 = SeedWithFirstRoll(2, 30);
    EXPECT_TRUE(kickAt(10.f, 1.69f, between1And30));
    EXPECT_FALSE(kickAt(10.f, 1.71f, between1And30));
    // Medium, 20 units: 100 - 10 up to 1.7, 100 - 50 beyond; the same on the other side.
    const uint32_t between50And90 = SeedWithFirstRoll(51, 90);
    EXPECT_TRUE(kickAt(20.f, -1.69f, between50And90));
    EXPECT_FALSE(kickAt(20.f, -1.71f, between50And90));
}

TEST_F(BallTest, PoorKicksLandWithinTheirSpread)
{
    CheatPass = 1;  // every kick poor
    for (uint32_t seed = 1; seed <= 200; ++seed) {
        const float length = seed % 2 ? 20.f : 70.f;
        SetUpKick(0.f, length, FACE_PLUS_Z);
        TheBall.loft = 2.0f;
        srand(seed);
        ASSERT_FALSE(ExecuteKick(5));
        EXPECT_EQ(PendingKickGood, 0);
        const float dx = TheBall.destination.x - 40.f, dz = TheBall.destination.z - 42.f;
        const float landed = std::sqrt(dx * dx + dz * dz);
        const float base = length <= 61.f ? length * 0.75f : 30.5f;
        EXPECT_GE(landed, base - 0.001f);
        EXPECT_LT(landed, base + std::floor(base) + 0.001f);
        EXPECT_LE(std::fabs(std::atan2(dx, dz)), 0.3927f + 0.0001f);
        EXPECT_GE(TheBall.loft, 0.5f - 0.0001f);
        EXPECT_LE(TheBall.loft, 0.5f + 1.99f + 0.0001f);
    }
}

TEST_F(BallTest, KicksBeyondSixtyOneUnitsAreAlwaysPoorEvenAtFullSkill)
{
    MatchPlayers[5].attributes[ATTR_PASS_LONG] = 100.f;
    int good = 0;
    for (uint32_t seed = 1; seed <= 300; ++seed) {
        SetUpKick(0.f, 61.5f, FACE_PLUS_Z);
        srand(seed);
        good += ExecuteKick(5) ? 1 : 0;
    }
    EXPECT_EQ(good, 0);
    CheatPass = 2;
    SetUpKick(0.f, 61.5f, FACE_PLUS_Z);
    EXPECT_TRUE(ExecuteKick(5)) << "the developer switch still lands every kick";
    EXPECT_FLOAT_EQ(TheBall.destination.z, 42.f + 61.5f);
}

TEST_F(BallTest, OverlongThrowInIsPoorAndShort)
{
    MatchStopState = STOP_THROW_IN;
    MatchPlayers[5].attributes[ATTR_THROW_IN] = 50.f;  // reaches 30
    srand(77);
    int good = 0;
    for (int trial = 0; trial < 500; ++trial) {
        SetUpKick(0.f, 40.f, FACE_PLUS_Z);
        if (ExecuteKick(5)) {
            ++good;  // skill 1: a roll of 0 or 1 still lands it
            continue;
        }
        const float dx = TheBall.destination.x - 40.f, dz = TheBall.destination.z - 42.f;
        const float landed = std::sqrt(dx * dx + dz * dz);
        EXPECT_GE(landed, 15.f - 0.001f);
        EXPECT_LE(landed, (30.f + 29.f) * 0.5f + 0.001f);
    }
    EXPECT_LT(good, 25);
}

TEST_F(BallTest, PassPeaksHalfWayAndShotEndsAtFullHeight)
{
    Fly(30.f, 50.f, 2.0f, 0);
    SetStep(0.5f);  // 20 units/s: ten units, half the way
    UpdateBall();
    EXPECT_NEAR(BallX(), 40.f, 1e-4f);
    EXPECT_NEAR(BallInstance().Position.y, 0.70711f * 2.0f + BALL_REST_HEIGHT, 1e-4f);

    // A shot at the goal, its destination behind the goal line: it keeps rising on its way to
    // full height there, and goes in where it meets the line, under the bar.
    Fly(95.f, 115.5f, 2.0f, 1);
    SetStep(0.01f);
    float lastHeight = 0.f, lastX = 95.f;
    while (BallInFlight) {
        UpdateBall();
        if (!BallInFlight) break;
        EXPECT_GE(BallInstance().Position.y, lastHeight - 1e-5f) << "a shot keeps rising";
        lastHeight = BallInstance().Position.y;
        lastX = BallX();
    }
    EXPECT_NEAR(lastHeight, 2.0f * std::sin((lastX - 95.f) / 20.5f * 1.5707964f) + BALL_REST_HEIGHT, 1e-4f);
    EXPECT_NEAR(lastHeight, 2.0f + BALL_REST_HEIGHT, 0.02f);
    EXPECT_EQ(GoalInProgress, 1);
    EXPECT_EQ(HomeGoals, 1);
}

TEST_F(BallTest, ShotsKeepTheirPaceAndPassesSlowDown)
{
    Fly(30.f, 40.f, 0.f, 1);
    SetStep(0.1f);
    UpdateBall();
    EXPECT_NEAR(BallX(), 32.5f, 1e-4f);

    Fly(30.f, 40.f, 0.f, 0);  // within the last 15: speed = remaining + 5
    UpdateBall();
    EXPECT_NEAR(BallX(), 31.5f, 1e-4f);
    UpdateBall();
    EXPECT_NEAR(BallX(), 31.5f + 1.35f, 1e-4f);

    Fly(0.f, 40.f, 0.f, 0);
    UpdateBall();
    EXPECT_NEAR(BallX(), 2.0f, 1e-4f) << "20 units/s further out";

    // The pass ends on its destination and lets the phase end.
    Fly(30.f, 31.f, 0.f, 0);
    for (int i = 0; i < 20 && BallInFlight; ++i) UpdateBall();
    EXPECT_FALSE(BallInFlight);
    EXPECT_FLOAT_EQ(BallX(), 31.f);
}

TEST_F(BallTest, FlightCountsTheKickOnceForTheKicker)
{
    SetUpKick(8.f, 0.f);
    CheatPass = 2;
    ExecuteKick(5);
    BallInFlight = 1;
    StartMovingPhase(PHASE_HOME_MOVES);
    SetStep(0.05f);
    UpdateBall();
    UpdateBall();
    const SquadStats& s = TeamSquads[0].players[5].lastMatch;
    EXPECT_EQ(s.passAttempts[0], 1);
    EXPECT_EQ(s.goodPasses[0], 1);
    EXPECT_EQ(BallHolder, 0) << "the ball has left his feet";
    EXPECT_EQ(PendingKickKind, -1);
}

TEST_F(BallTest, AKickWithinOneStepStillLeavesTheKickerAndTakesTheRestart)
{
    // A free kick of five hundredths, and one at the ball's own spot: each is the kick that was
    // ordered, so the taker no longer holds the ball and the restart is taken.
    for (const float length : {0.05f, 0.f}) {
        SCOPED_TRACE(length);
        SetUpKick(length, 0.f);
        MatchStopState = STOP_FOUL;
        RestartPending = 1;
        DeadBallKickPending = 1;
        CheatPass = 2;
        ExecuteKick(5);
        CheatPass = 0;
        BallInFlight = 1;
        StartMovingPhase(PHASE_HOME_MOVES);
        UpdateBall();
        EXPECT_EQ(BallHolder, 0);
        EXPECT_EQ(DeadBallKickPending, 0);
        EXPECT_NEAR(BallX(), 40.f + length, 1e-4f);
    }
}

TEST_F(BallTest, ReceiverControlsOrDeflects)
{
    Fly(30.f, 50.f, 0.f, 0);
    PlacePlayer(3, 35.f, 42.f, FACE_PLUS_X);
    SetStep(0.05f);
    CheatControl = 2;
    for (int i = 0; i < 40 && BallInFlight; ++i) UpdateBall();
    EXPECT_FALSE(BallInFlight);
    EXPECT_EQ(BallHolder, 4);
    EXPECT_NEAR(BallX(), 35.f, 1e-4f);
    EXPECT_FLOAT_EQ(BallInstance().Position.y, BALL_REST_HEIGHT);

    Fly(30.f, 50.f, 0.f, 0);
    PlacePlayer(3, 35.f, 42.f, FACE_PLUS_X);
    CheatControl = 1;
    for (int i = 0; i < 40 && BallX() < 34.7f; ++i) UpdateBall();
    ASSERT_TRUE(BallInFlight) << "a failed control sends the ball off";
    const float dx = TheBall.destination.x - TheBall.kickStart.x, dz = TheBall.destination.z - TheBall.kickStart.z;
    // Half the 15 units left of the course, at least 5.
    EXPECT_NEAR(std::sqrt(dx * dx + dz * dz), 7.5f, 0.3f);
}

TEST_F(BallTest, JumperWhoWinsTheRollHeadsTheBallOn)
{
    // A lofted pass from 30 to 50 meets the jumper at 35 a little under 1.0 high: between half
    // and three quarters of his head height.
    Fly(30.f, 50.f, 2.3f, 0);
    PlacePlayer(14, 35.f, 42.f, FACE_PLUS_X);
    MatchPlayers[14].moveTarget.y = 0.5f;
    Model(14).Position.y = 0.5f;
    CheatControl = 2;
    SetStep(0.01f);
    D3DVECTOR course = TheBall.destination;
    for (int i = 0; i < 400 && BallHolder == 0; ++i) {
        course = TheBall.destination;
        UpdateBall();
    }
    ASSERT_EQ(BallHolder, 15);
    const D3DVECTOR at = BallInstance().Position;
    const float head = MatchPlayers[14].headHeight;
    ASSERT_GT(at.y, head * 0.5f);
    ASSERT_LT(at.y, head * 0.75f);
    // Factor 1.75 on the course that was left, on from him through the ball; no ticker line.
    const float left = std::sqrt((course.x - at.x) * (course.x - at.x) + (course.y - at.y) * (course.y - at.y) +
                                 (course.z - at.z) * (course.z - at.z));
    const float gx = at.x - 35.f, gz = at.z - 42.f, g = std::sqrt(gx * gx + gz * gz);
    ASSERT_GT(g, 0.f);
    EXPECT_NEAR(TheBall.destination.x, at.x + gx / g * left * 1.75f, 1e-3f);
    EXPECT_NEAR(TheBall.destination.z, at.z + gz / g * left * 1.75f, 1e-3f);
    EXPECT_EQ(LastKicker, 14);
    EXPECT_TRUE(BallInFlight);
    EXPECT_FALSE(EventFlags[EVENT_HEADED]);
    EXPECT_FALSE(EventFlags[EVENT_VOLLEY]);
    for (uint8_t used : TickerLineInUse) EXPECT_FALSE(used);
}

TEST_F(BallTest, DeflectionAndHeaderMeasureTheBallsOwnCourse)
{
    PlaceBall(40.f, 1.f, 42.f);
    TheBall.aimPoint = D3DVECTOR{110.f, 0.f, 70.f};  // stale: the kick was a poor one
    TheBall.destination = D3DVECTOR{60.f, BALL_REST_HEIGHT, 42.f};
    TheBall.loft = 2.f;
    DeflectBall();
    const float dx = TheBall.destination.x - 40.f, dz = TheBall.destination.z - 42.f;
    EXPECT_NEAR(std::sqrt(dx * dx + dz * dz), 10.f, 0.01f);
    EXPECT_FLOAT_EQ(TheBall.loft, 1.f);

    PlacePlayer(7, 38.f, 42.f, FACE_PLUS_X);
    PlaceBall(40.f, 1.0f, 42.f);  // between half and three quarters of the head height
    TheBall.aimPoint = D3DVECTOR{110.f, 0.f, 70.f};
    TheBall.destination = D3DVECTOR{44.f, BALL_REST_HEIGHT, 42.f};
    HeadOrVolley(7);
    EXPECT_NEAR(TheBall.destination.x, 40.f + std::sqrt(16.f + 0.88093f * 0.88093f) * 1.75f, 0.01f);
    EXPECT_NEAR(TheBall.destination.z, 42.f, 1e-4f);
    EXPECT_EQ(LastKicker, 7);
}

TEST_F(BallTest, ReboundTurnsTheBallAwayFromTheFrame)
{
    PlaceBall(113.f, 1.f, 39.f);
    TheBall.destination = D3DVECTOR{118.f, BALL_REST_HEIGHT, 39.f};  // straight into the post
    TheBall.loft = 2.f;
    ReboundFromGoalFrame();
    EXPECT_NEAR(TheBall.destination.x, 113.f - std::sqrt(25.f + 0.88093f * 0.88093f), 1e-3f);
    EXPECT_NEAR(TheBall.destination.z, 39.f, 1e-3f);
    EXPECT_FLOAT_EQ(TheBall.loft, 1.5f);
}

TEST_F(BallTest, BendWindowShrinksNearTheKickerAndScalesByBend)
{
    SelectedPlayer = 5;
    MatchPlayers[5].attributes[ATTR_BEND] = 10.f;
    TheBall.kickStart = D3DVECTOR{40.f, 0.f, 42.f};
    TheBall.aimPoint = D3DVECTOR{70.f, 0.f, 42.f};
    TheBall.bendRefMouseX = 400;
    TheBall.bendMouseX = 460;
    ClampBend();
    EXPECT_EQ(TheBall.bendMouseX, 410) << "25 pixels at most, scaled by 10 / 25";
    TheBall.bendMouseX = 300;
    ClampBend();
    EXPECT_EQ(TheBall.bendMouseX, 390);
    TheBall.aimPoint = D3DVECTOR{54.f, 0.f, 42.f};  // 14 away: the window loses 10 each side
    TheBall.bendMouseX = 460;
    ClampBend();
    EXPECT_EQ(TheBall.bendMouseX, 406);
    MatchPlayers[5].attributes[ATTR_BEND] = 0.1f;
    TheBall.bendMouseX = 460;
    ClampBend();
    EXPECT_EQ(TheBall.bendMouseX, 400);
}

TEST_F(BallTest, HostileKicksLeaveNoNaN)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    // A kick of zero length, from any facing, is graded and stays on the spot.
    SetUpKick(0.f, 0.f);
    ExecuteKick(5);
    EXPECT_TRUE(AllFinite());
    // An aim that is not a number lands on the ball.
    SetUpKick(0.f, 0.f);
    TheBall.aimPoint = D3DVECTOR{nan, nan, nan};
    ExecuteKick(5);
    EXPECT_TRUE(AllFinite());
    // A ball exactly on a player: header, deflection and rebound.
    PlacePlayer(6, 60.f, 30.f, 0.f);
    PlaceBall(60.f, 0.9f, 30.f);
    HeadOrVolley(6);
    EXPECT_TRUE(AllFinite());
    EXPECT_GT(std::fabs(TheBall.destination.z - 30.f) + std::fabs(TheBall.destination.x - 60.f), 1.f);
    PlaceBall(60.f, 0.9f, 30.f);
    DeflectBall();
    ReboundFromGoalFrame();
    EXPECT_TRUE(AllFinite());
    // A flight with a broken course or step ends instead of waiting for ever.
    Fly(30.f, 40.f, 1.f, 0);
    TheBall.destination = D3DVECTOR{nan, 0.f, nan};
    SetStep(nan);
    UpdateBall();
    SetStep(0.05f);
    UpdateBall();
    EXPECT_TRUE(AllFinite());
    EXPECT_FALSE(BallInFlight && std::fabs(BallX() - TheBall.destination.x) > 0.001f && !std::isfinite(BallX()));
}

}  // namespace
