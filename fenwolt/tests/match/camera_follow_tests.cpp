// The match camera, frame by frame, through whole scripted matches: lofted and bent passes,
// shots, restarts and the computer's turns; a ball left hanging in the air; the mouse resting at
// the screen's edge; and every camera key pressed over and over. Whatever happens the camera
// stays within the bounds the match gives it: over the pitch, between floor and ceiling, within
// its zoom range and never looking straight down.
#include "fenwolt/tests/match/match_screen_support.h"

#include "fenwolt/Game/Engine/Camera.h"
#include "fenwolt/Game/FrontEnd/Options.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Match/MatchHelpers.h"
#include "fenwolt/Game/Match/MatchScreen.h"
#include "fenwolt/Game/Match/TurnEngine.h"
#include "fenwolt/common/AppFramework.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

using namespace matchdrive;
using namespace matchgeo;

namespace {

constexpr float kStep = 1.f / 30.f;

class MatchCameraTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!app.Open(false)) GTEST_SKIP() << app.error;
    }
    void TearDown() override { app.Close(); }

    static void Key(uint32_t key)
    {
        LastMessageParam = key;
        HandleMatchMessage(WM_KEYDOWN);
    }
    static void MouseAt(int x, int y)
    {
        MouseX = x;
        MouseY = y;
        HandleMatchMessage(WM_MOUSEMOVE);
    }
    // Empty when the camera the frame is drawn with is within the bounds. (The wanted camera is
    // only an aim, brought within them before the camera eases toward it.)
    static std::string CameraFault()
    {
        char what[200] = "";
        if (!CameraInBounds(CameraEye, CameraTarget))
            std::snprintf(what, sizeof what, "eye (%.2f %.2f %.2f) target (%.2f %.2f %.2f)", CameraEye.x, CameraEye.y,
                          CameraEye.z, CameraTarget.x, CameraTarget.y, CameraTarget.z);
        return what;
    }
    static bool StepUntilPhase(int32_t phase, int limit = 6000)
    {
        for (int i = 0; i < limit && TurnPhase != phase; ++i) Frame(kStep);
        return TurnPhase == phase;
    }
    MatchApp app;
};

TEST_F(MatchCameraTest, TheMatchTurnsTheBoundsOnAroundThePitch)
{
    StartMatch(MatchOptions{});
    ASSERT_TRUE(FieldCamera.Bounded);
    EXPECT_NEAR(FieldCamera.FieldLength, 2.f * CENTRE_X, 1e-4);
    EXPECT_NEAR(FieldCamera.FieldWidth, 2.f * CENTRE_Z, 1e-4);
    // The match's own views are all within them: the kick-off, the beginners' view, behind a
    // player, a heading, the overview.
    EXPECT_EQ(CameraFault(), "");
    CameraBehindPlayer(9);
    EXPECT_TRUE(CameraInBounds(WantedCameraEye, WantedCameraTarget));
    for (uint32_t key : {VK_UP, VK_RIGHT, VK_DOWN, VK_LEFT}) {
        SetCameraHeading(3, key);
        EXPECT_TRUE(CameraInBounds(WantedCameraEye, WantedCameraTarget)) << key;
    }
    SetOverviewCamera();
    EXPECT_TRUE(CameraInBounds(WantedCameraEye, WantedCameraTarget));
    MatchOptions beginners;
    beginners.beginnersCamera = true;
    StartMatch(beginners);
    EXPECT_EQ(CameraFault(), "");
}

// Whole matches against the computer: the home side's ball holder kicks anywhere on the pitch,
// lofted up to a hundred units and bent either way, or shoots, or the script plays on.
TEST_F(MatchCameraTest, TheCameraStaysWithinItsBoundsEveryFrameOfWholeMatches)
{
    int lofted = 0, shots = 0, restarts = 0;
    int64_t frames = 0;
    float sharpest = 0.f;
    for (uint32_t seed = 1; seed <= 8; ++seed) {
        MatchOptions o;
        o.seed = seed;
        o.minutesPerHalf = 4;
        StartMatch(o);
        std::mt19937 rng(seed * 7919u);
        std::uniform_real_distribution<float> x(0.f, 119.f), z(0.f, 84.f);
        int32_t seen = -1;
        bool acted = false, wasRestart = false;
        float planned = 0.f, lastHeading = 0.f;
        int64_t steps = 0;
        while (MatchStopState != STOP_FULL_TIME && steps < 60000) {
            if (TurnPhase != seen) {
                seen = TurnPhase;
                acted = false;
                planned = 0.f;
            }
            // The manager looks for a second before he acts, so that the camera eases on.
            if (!acted && TurnPhase == PHASE_HOME_PLANS && MatchStopState != STOP_KICK_OFF && !GoalInProgress &&
                planned >= 1.f) {
                const int32_t holder = BallHolder - 1;
                if (BallHolder > 0 && holder < SIDE_SIZE && !KickOffPending && rng() % 3 != 0) {
                    if (rng() % 4 == 0) {
                        OrderKick(holder, rng() % 2 ? 116.f : 3.f, 42.f, (int32_t)(rng() % 200));
                        ++shots;
                    } else {
                        const int32_t loft = (int32_t)(rng() % 400);
                        OrderKick(holder, x(rng), z(rng), loft, (int32_t)(rng() % 101) - 50);
                        lofted += loft > 100;
                    }
                } else {
                    PlayHomeTurn(seed % 2 ? HomeScript::Random : HomeScript::Chasing, rng);
                }
                EndTurn();
                acted = true;
            }
            Frame(kStep);
            planned += kStep;
            ++steps;
            const bool restart = MatchStopState >= STOP_THROW_IN && MatchStopState != STOP_KICK_OFF &&
                                 MatchStopState != STOP_FULL_TIME;
            restarts += restart && !wasRestart;
            wasRestart = restart;
            const std::string fault = CameraFault();
            ASSERT_EQ(fault, "") << "seed " << seed << ", step " << steps << ", " << (int)Minute << ":" << (int)Second
                                 << ", phase " << TurnPhase << ", stop " << MatchStopState;
            // The view turns about what it looks at, it never flips round from one frame to the
            // next (an eye passing over its target shows the pitch's lines spinning).
            const float heading = std::atan2(CameraEye.z - CameraTarget.z, CameraEye.x - CameraTarget.x);
            if (steps > 1) {
                const float turn = std::fabs(WrapAngle(heading - lastHeading));
                ASSERT_LT(turn, HALF_PI) << "seed " << seed << ", step " << steps << ", phase " << TurnPhase;
                sharpest = std::fmax(sharpest, turn);
            }
            lastHeading = heading;
        }
        EXPECT_EQ(MatchStopState, STOP_FULL_TIME) << "seed " << seed;
        frames += steps;
    }
    // The scripts did what they are here for.
    EXPECT_GT(lofted, 10);
    EXPECT_GT(shots, 5);
    EXPECT_GT(restarts, 5);
    EXPECT_GT(frames, 50000);
    std::printf("[          ] %lld frames; the sharpest turn of the view in one frame %.2f rad\n", (long long)frames,
                sharpest);
}

// The wanted eye straight across the point the camera looks at: the straight way would take the
// eye over it, where the view spins; it goes round it instead and gets there.
TEST_F(MatchCameraTest, AnEyeSentAcrossItsTargetGoesRoundIt)
{
    StartMatch(MatchOptions{});
    ASSERT_EQ(TurnPhase, PHASE_HOME_PLANS);
    const D3DVECTOR spot{CENTRE_X, 0.f, CENTRE_Z};
    CameraTarget = WantedCameraTarget = spot;
    CameraEye = D3DVECTOR{spot.x - 13.f, 2.7f, spot.z};
    WantedCameraEye = D3DVECTOR{spot.x + 13.f, 2.7f, spot.z};
    float last = std::atan2(CameraEye.z - CameraTarget.z, CameraEye.x - CameraTarget.x);
    int frames = 0;
    while (frames < 300 && SpaceDistance(CameraEye, WantedCameraEye) > 0.f) {
        Frame(kStep);
        ++frames;
        ASSERT_EQ(CameraFault(), "") << frames;
        const float heading = std::atan2(CameraEye.z - CameraTarget.z, CameraEye.x - CameraTarget.x);
        ASSERT_LT(std::fabs(WrapAngle(heading - last)), 0.2f) << frames;
        last = heading;
    }
    EXPECT_LT(frames, 300) << "the eye got to the other side";
    EXPECT_EQ(CameraTarget.x, spot.x);
}

// A ball left above the ground where nobody can reach it: every moving phase the camera follows
// it up there, every planning phase it goes back to a player. The eye must not come back from
// each trip higher over the player than it went.
TEST_F(MatchCameraTest, ABallLeftInTheAirDoesNotLiftTheCameraTurnAfterTurn)
{
    MatchOptions o;
    o.seed = 4;
    StartMatch(o);
    EndTurn();
    ASSERT_TRUE(StepUntilPhase(PHASE_AWAY_PLANS));
    ASSERT_TRUE(StepUntilPhase(PHASE_HOME_PLANS));
    ASSERT_EQ(MatchStopState, STOP_IN_PLAY);
    ModelInstance* ball = BallModel();
    ASSERT_NE(ball, nullptr);
    // Four units up over the halfway line, at rest: out of every player's reach.
    BallHolder = 0;
    BallInFlight = 0;
    ball->Position = D3DVECTOR{CENTRE_X, 4.f, CENTRE_Z + 20.f};
    TheBall.destination = TheBall.aimPoint = TheBall.kickStart = TheBall.groundPoint = ball->Position;
    Options.FollowBallAtEndTurn = 1;
    Options.CentrePlayerWhenSelected = 1;

    float first = 0.f, highest = 0.f;
    for (int turn = 0; turn < 8; ++turn) {
        ASSERT_TRUE(StepUntilPhase(PHASE_HOME_PLANS)) << turn;
        // The planning phase's focus on the selected player, eased to the end.
        for (int i = 0; i < 90; ++i) Frame(kStep);
        ASSERT_EQ(CameraFault(), "") << turn;
        const float rise = CameraEye.y - CameraTarget.y;
        if (turn == 0) first = rise;
        highest = std::fmax(highest, rise);
        EndTurn();
        ASSERT_TRUE(StepUntilPhase(PHASE_HOME_MOVES)) << turn;
        ASSERT_NEAR(BallModel()->Position.y, 4.f, 1e-4) << "the ball still hangs";
    }
    EXPECT_LE(highest, first + 0.01f) << "the eye climbed by the ball's height every turn";
    EXPECT_LT(highest, 6.f);
}

// The mouse left at the screen's right edge, over the end of the Pass button or off the window:
// the view scrolls to the pitch's edge and stops there, through planning and moving phases, and
// the ball key brings it back once the mouse has left the edge.
TEST_F(MatchCameraTest, TheEdgeScrollStopsAtThePitchsEdgeAndTheBallKeyBringsTheViewBack)
{
    MatchOptions o;
    o.seed = 9;
    o.managers = 2;
    StartMatch(o);
    MouseAt(799, 425);
    float farthest = 0.f;
    for (int i = 0; i < 2400; ++i) {
        if ((TurnPhase == PHASE_HOME_PLANS || TurnPhase == PHASE_AWAY_PLANS) && MatchStopState != STOP_KICK_OFF &&
            i % 150 == 149)
            EndTurn();
        Frame(kStep);
        ASSERT_EQ(CameraFault(), "") << "frame " << i;
        farthest = std::fmax(farthest, std::fabs(CameraTarget.x - CENTRE_X) + std::fabs(CameraTarget.z - CENTRE_Z));
    }
    EXPECT_GT(farthest, 30.f) << "the view did scroll";
    ASSERT_TRUE(StepUntilPhase(TurnPhase == PHASE_HOME_MOVES || TurnPhase == PHASE_HOME_PLANS ? PHASE_AWAY_PLANS
                                                                                             : PHASE_HOME_PLANS));
    MouseAt(400, 300);
    Key(VK_BACK);
    const D3DVECTOR ball = BallModel()->Position;
    int frames = 0;
    while (frames < 600 && SpaceDistance(CameraTarget, ball) > 0.01f) {
        Frame(kStep);
        ++frames;
    }
    EXPECT_LT(frames, 600) << "the view went back to the ball";
}

// Each camera key held down for hundreds of presses, from the default and the beginners' views.
TEST_F(MatchCameraTest, TheCameraKeysCannotTakeTheCameraOutOfItsBounds)
{
    for (bool beginners : {false, true}) {
        MatchOptions o;
        o.beginnersCamera = beginners;
        StartMatch(o);
        const uint32_t keys[] = {VK_DECIMAL, VK_NUMPAD8, VK_NUMPAD6, VK_ADD,      VK_NUMPAD9, VK_MULTIPLY,
                                 VK_NUMPAD0, VK_NUMPAD2, VK_NUMPAD4, VK_SUBTRACT, VK_NUMPAD7, VK_DIVIDE};
        for (uint32_t key : keys)
            for (int press = 0; press < 300; ++press) {
                Key(key);
                ASSERT_EQ(CameraFault(), "") << "key " << key << ", press " << press;
                if (press % 10 == 0) Frame(kStep);
            }
        // Zooming still works within the range: up high, a press brings the eye one step nearer.
        StartMatch(o);
        for (int i = 0; i < 20; ++i) Key(VK_ADD);
        const float before = SpaceDistance(CameraEye, CameraTarget);
        Key(VK_NUMPAD0);
        EXPECT_NEAR(SpaceDistance(CameraEye, CameraTarget), before - 1.f, 1e-3) << beginners;
    }
}

}  // namespace
