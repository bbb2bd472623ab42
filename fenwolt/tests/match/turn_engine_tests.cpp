#include "match_core_support.h"

#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Match/BallFlight.h"
#include "fenwolt/Game/Match/TurnEngine.h"
#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/common/Utilities.h"

#include <cmath>

using namespace matchcore;

namespace {

constexpr float FACE_PLUS_X = 4.712389f;

D3DVECTOR At(float x, float z) { return D3DVECTOR{x, 0.f, z}; }

TEST_F(MatchCoreTest, WalkInAndGoalPauseNeverEndAPhase)
{
    MatchStopState = STOP_KICK_OFF;
    TurnPhase = PHASE_AWAY_MOVES;
    SetStep(0.05f);
    for (int i = 0; i < 300; ++i) UpdatePhaseTimers();
    EXPECT_EQ(TurnPhase, PHASE_AWAY_MOVES);
    EXPECT_NEAR(PhaseTimer, 15.f, 1e-3f) << "the walk-in is timed by the phase timer";
    EXPECT_EQ(Second, 0);

    MatchStopState = STOP_IN_PLAY;
    GoalInProgress = 1;
    PhaseTimer = 2.f;
    UpdatePhaseTimers();
    EXPECT_FLOAT_EQ(PhaseTimer, 2.f);
    EXPECT_EQ(TurnPhase, PHASE_AWAY_MOVES);
}

TEST_F(MatchCoreTest, PhasesRunThroughAFullTurnAgainstTheComputer)
{
    MatchSetup.managers = 1;
    GiveBall(9);
    SetStep(0.1f);
    EndTurnIfAllowed();
    ASSERT_EQ(TurnPhase, PHASE_HOME_MOVES);
    EXPECT_FLOAT_EQ(MatchPlayers[3].energy, 100.f) << "standing players recover, up to 100";
    int steps = 0;
    while (TurnPhase == PHASE_HOME_MOVES && steps < 100) {
        StepMatch();
        ++steps;
    }
    EXPECT_GE(steps, 10) << "a whole second of steps";
    EXPECT_LE(steps, 11);
    EXPECT_EQ(TurnPhase, PHASE_AWAY_PLANS);
    for (int i = 0; i < 2; ++i) UpdatePhaseTimers();
    EXPECT_EQ(TurnPhase, PHASE_AWAY_PLANS) << "the computer plans a quarter of a second in";
    UpdatePhaseTimers();
    EXPECT_EQ(TurnPhase, PHASE_AWAY_MOVES);
    const int holder = BallHolder;
    for (int i = 0; i < 200 && TurnPhase == PHASE_AWAY_MOVES; ++i) StepMatch();
    EXPECT_EQ(TurnPhase, PHASE_HOME_PLANS);
    EXPECT_EQ(Second, 5);
    if (holder > 0 && BallHolder == holder) {
        EXPECT_FLOAT_EQ(SquadPlayerOf(holder - 1)->lastMatch.timeOnBall, 5.f);
    }
    EXPECT_TRUE(AllFinite());
}

TEST_F(MatchCoreTest, EndTurnRefusedWhileMovingAimingOrAtFullTime)
{
    TurnPhase = PHASE_HOME_MOVES;
    EndTurnIfAllowed();
    EXPECT_EQ(TurnPhase, PHASE_HOME_MOVES);
    TurnPhase = PHASE_HOME_PLANS;
    KickAimMode = 1;
    EndTurnIfAllowed();
    EXPECT_EQ(TurnPhase, PHASE_HOME_PLANS);
    KickAimMode = 0;
    MatchStopState = STOP_FULL_TIME;
    EndTurnIfAllowed();
    EXPECT_EQ(TurnPhase, PHASE_HOME_PLANS);
}

TEST_F(MatchCoreTest, OrdersRunJumpAndKick)
{
    SelectedPlayer = 4;
    PlacePlayer(4, 30.f, 40.f, FACE_PLUS_X);
    PlacePlayer(6, 45.f, 30.f, FACE_PLUS_X);
    // A click on open pitch sends the selected player there.
    OrderPitchPress(At(35.f, 45.f), 100, 100);
    EXPECT_FLOAT_EQ(MatchPlayers[4].moveTarget.x, 35.f);
    EXPECT_FLOAT_EQ(MatchPlayers[4].moveTarget.z, 45.f);
    // A click on the selected player without the ball orders a jump, facing the click.
    SelectedPlayer = 6;
    OrderPitchPress(At(45.1f, 30.f), 100, 100);
    EXPECT_EQ(MatchPlayers[6].stance, 2);
    EXPECT_NEAR(MatchPlayers[6].moveTarget.y, 0.87f * MatchPlayers[6].attributes[ATTR_HEADING], 1e-6f);
    EXPECT_TRUE(FacingMode);
    OrderPitchRelease(At(50.f, 30.f), 100, 100);
    EXPECT_FALSE(FacingMode);
    EXPECT_FLOAT_EQ(MatchPlayers[6].facePoint.x, 50.f);
    OrderPitchPress(At(45.f, 30.f), 100, 100);
    EXPECT_EQ(MatchPlayers[6].stance, 0) << "a second click cancels the jump";

    // The selected ball holder: a click on him aims a kick, press and release shoot it.
    SelectedPlayer = 9;
    PlacePlayer(9, 100.f, 42.f, FACE_PLUS_X);
    GiveBall(9);
    OrderPitchPress(At(100.f, 42.f), 400, 300);
    ASSERT_TRUE(KickAimMode);
    OrderPitchDrag(At(115.5f, 42.f), 400, 300);
    EXPECT_EQ(ShotClass, 1);
    OrderPitchPress(At(115.5f, 42.f), 400, 300);
    EXPECT_EQ(BendAiming, 1);
    OrderPitchRelease(At(115.5f, 42.f), 400, 300);
    EXPECT_FALSE(KickAimMode);
    EXPECT_TRUE(BallInFlight);
    EXPECT_EQ(MatchPlayers[9].action, ANIM_SHOOT);
    EXPECT_EQ(LastKicker, 9);
    EXPECT_EQ(PendingKickKind, 4);
    EXPECT_EQ(LastTouchSide, 1);
}

TEST_F(MatchCoreTest, OnlyTheBallHolderKicks)
{
    SelectedPlayer = 9;
    GiveBall(9);
    OrderPitchPress(Model(9).Position, 400, 300);
    ASSERT_TRUE(KickAimMode);
    OrderPitchPress(At(70.f, 30.f), 400, 300);
    SelectedPlayer = 7;  // a selection key while the button is held
    OrderPitchRelease(At(70.f, 30.f), 400, 300);
    EXPECT_FALSE(KickAimMode);
    EXPECT_FALSE(BallInFlight);
    EXPECT_EQ(BallHolder, 10);
}

TEST_F(MatchCoreTest, KickOffTakerAndPartnerTakeNoRunOrders)
{
    GiveBall(9);
    KickOffPending = 1;
    KickOffPartner = 11;
    for (int p : {9, 10}) {
        SelectedPlayer = p;
        const D3DVECTOR before = MatchPlayers[p].moveTarget;
        OrderPitchPress(At(20.f, 20.f), 0, 0);
        EXPECT_FLOAT_EQ(MatchPlayers[p].moveTarget.x, before.x);
    }
    SelectedPlayer = 9;
    OrderPitchPress(Model(9).Position, 0, 0);
    EXPECT_FALSE(KickAimMode) << "the kick-off pass is automatic";
}

TEST_F(MatchCoreTest, TargetClassesAndClickedPlayer)
{
    EXPECT_EQ(ClassifyTarget(At(114.51f, 38.31f)), 1);
    EXPECT_EQ(ClassifyTarget(At(116.58f, 45.65f)), 1);
    EXPECT_EQ(ClassifyTarget(At(116.59f, 42.f)), 0);
    EXPECT_EQ(ClassifyTarget(At(2.43f, 42.f)), 2);
    EXPECT_EQ(ClassifyTarget(At(4.47f, 45.66f)), 0);
    PlacePlayer(3, 30.f, 30.f, 0.f);
    PlacePlayer(14, 30.2f, 30.f, 0.f);
    EXPECT_EQ(PlayerUnderPoint(At(30.3f, 30.f)), 3) << "only the side to move is clicked";
    EXPECT_EQ(PlayerUnderPoint(At(30.6f, 30.f)), PLAYER_NONE);
    TurnPhase = PHASE_AWAY_PLANS;
    EXPECT_EQ(PlayerUnderPoint(At(30.3f, 30.f)), 14);
}

TEST_F(MatchCoreTest, NearestPlayerQueries)
{
    ClearArea(60.f, 42.f, 200.f);
    PlacePlayer(2, 50.f, 40.f, 0.f);
    PlacePlayer(3, 50.f, 44.f, 0.f);  // the same distance as 2: the lower index wins
    PlacePlayer(13, 70.f, 42.f, 0.f);
    PlacePlayer(14, 40.f, 42.f, 0.f);
    const D3DVECTOR point = At(50.f, 42.f);
    float d = 0.f;
    EXPECT_EQ(FindNearestPlayer(point, &d), 2);
    EXPECT_FLOAT_EQ(d, 2.f);
    EXPECT_EQ(FindNearestInRangeExcept(point, 0, SIDE_SIZE, 2), 3);
    // Home attacks the high-x goal in the first half: ahead is +x.
    EXPECT_EQ(FindNearestAhead(point, SIDE_SIZE, PLAYER_COUNT, 0, 5.f, false, &d), 13);
    EXPECT_FLOAT_EQ(d, 20.f);
    EXPECT_EQ(FindNearestNotAhead(point, SIDE_SIZE, PLAYER_COUNT, 0, 5.f), 14);
    EXPECT_EQ(FindNearestAhead(point, SIDE_SIZE, PLAYER_COUNT, 0, 61.f, false, &d), PLAYER_NONE);
    EXPECT_FLOAT_EQ(d, NO_DISTANCE);
    MatchPlayers[13].turnsDown = 1;
    EXPECT_NE(FindNearestAhead(point, SIDE_SIZE, PLAYER_COUNT, 0, 5.f, true), 13);
    // The away side attacks the low-x goal: its most advanced has the lowest x.
    EXPECT_EQ(FindMostAdvancedInRange(point, SIDE_SIZE, PLAYER_COUNT, 1), 14);
    EXPECT_NE(FindMostAdvanced(point, SIDE_SIZE, PLAYER_COUNT, 1, 14), 14);
    GoalSideTable[1] = 1;
    GoalSideTable[2] = 0;  // ends changed
    EXPECT_EQ(FindNearestAhead(point, SIDE_SIZE, PLAYER_COUNT, 0, 5.f, false), 14);
}

TEST_F(MatchCoreTest, PickingFindsTheGroundUnderTheMouse)
{
    CameraEye = D3DVECTOR{50.f, 20.f, 20.f};
    CameraTarget = D3DVECTOR{50.f, 0.f, 40.f};
    CameraUp = D3DVECTOR{0.f, 1.f, 0.f};
    MouseX = 400;
    MouseY = 300;
    ASSERT_TRUE(PickPitchPoint());
    EXPECT_NEAR(PickedPoint.x, 50.f, 1e-3f);
    EXPECT_NEAR(PickedPoint.z, 40.f, 1e-3f);
    MouseX = 600;
    ASSERT_TRUE(PickPitchPoint());
    EXPECT_GT(PickedPoint.x, 50.f) << "right of the centre is +x when looking along +z";
    CameraEye = D3DVECTOR{50.f, 2.f, 20.f};  // nearly level: the top of the view is sky
    MouseY = 0;
    const D3DVECTOR before = PickedPoint;
    EXPECT_FALSE(PickPitchPoint());
    EXPECT_FLOAT_EQ(PickedPoint.x, before.x);
}

}  // namespace
