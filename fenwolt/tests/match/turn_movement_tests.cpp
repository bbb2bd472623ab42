#include "match_core_support.h"

#include "fenwolt/Game/Match/BallFlight.h"
#include "fenwolt/Game/Match/Movement.h"
#include "fenwolt/Game/Match/TurnEngine.h"
#include "fenwolt/common/Utilities.h"
#include "platform/win32/crt_rand.h"

#include <cmath>
#include <limits>

using namespace matchcore;

namespace {

constexpr float FACE_PLUS_X = 4.712389f;
constexpr float FACE_MINUS_X = 1.570796f;

class MovementTest : public MatchCoreTest {
protected:
    void SetUp() override
    {
        MatchCoreTest::SetUp();
        ClearArea(40.f, 42.f, 200.f);  // everyone parked along the touchlines
    }
    // A ball on a long course that keeps the moving phase waiting.
    void LongBall()
    {
        PlaceBall(20.f, BALL_REST_HEIGHT, 60.f);
        TheBall.destination = D3DVECTOR{100.f, BALL_REST_HEIGHT, 60.f};
        BallInFlight = 1;
        ShotClass = 0;
    }
    float X(int32_t p) { return Model(p).Position.x; }
};

TEST_F(MovementTest, MovingSideRunsExactlyOneSecondThenStandsWhileTheBallFlies)
{
    PlacePlayer(4, 30.f, 42.f, FACE_PLUS_X);
    MatchPlayers[4].moveTarget.x = 50.f;  // Speed 5: 5 units in the phase
    LongBall();
    StartMovingPhase(PHASE_HOME_MOVES);
    SetStep(0.3f);
    for (int i = 0; i < 4; ++i) StepMatch();
    EXPECT_NEAR(X(4), 35.f, 1e-4f) << "steps of 0.3, 0.3, 0.3 and the cut 0.1";
    EXPECT_TRUE(WaitingForBall);
    EXPECT_EQ(TurnPhase, PHASE_HOME_MOVES);
    for (int i = 0; i < 5; ++i) StepMatch();
    EXPECT_NEAR(X(4), 35.f, 1e-4f);
    EXPECT_EQ(TurnPhase, PHASE_HOME_MOVES) << "the ball is still on its way";
}

TEST_F(MovementTest, WaitingPhaseNeverStepsKeepersOrJumpersBackwards)
{
    // The other side's jumper rises while the phase waits with its timer past the second.
    PlacePlayer(15, 60.f, 60.f, FACE_MINUS_X);
    MatchPlayers[15].stance = 2;
    MatchPlayers[15].moveTarget.y = 0.5f;
    Model(15).Position.y = 0.1f;  // already in the air
    LongBall();
    StartMovingPhase(PHASE_HOME_MOVES);
    PhaseTimer = 1.4f;
    WaitingForBall = 1;
    SetStep(0.02f);
    MovePlayers(true);
    EXPECT_NEAR(Model(15).Position.y, 0.1f + 0.2f, 1e-5f);

    // The last step of the second is cut, never reversed, for the moving side.
    PlacePlayer(4, 30.f, 42.f, FACE_PLUS_X);
    MatchPlayers[4].moveTarget.x = 50.f;
    WaitingForBall = 0;
    PhaseTimer = 0.99f;
    SetStep(0.05f);
    MovePlayers(true);
    EXPECT_NEAR(X(4), 30.05f, 1e-4f);
    PhaseTimer = 1.02f;
    MovePlayers(true);
    EXPECT_NEAR(X(4), 30.05f, 1e-4f);
}

TEST_F(MovementTest, TirednessShortensTheStep)
{
    struct Case {
        float energy;
        float factor;
    } cases[] = {{100.f, 1.f}, {31.f, 1.f}, {29.f, 0.75f}, {50.f, 1.f}, {24.f, 0.67f}, {9.f, 0.5f}};
    MatchPlayers[4].attributes[ATTR_STAMINA] = 70.f;  // tired below 30
    for (const Case& c : cases) {
        MatchPlayers[4].energy = c.energy;
        EXPECT_FLOAT_EQ(TirednessFactor(4), c.factor) << c.energy;
    }
    MatchPlayers[4].attributes[ATTR_STAMINA] = 20.f;  // tired below 80
    MatchPlayers[4].energy = 60.f;
    EXPECT_FLOAT_EQ(TirednessFactor(4), 0.9f);

    PlacePlayer(4, 30.f, 42.f, FACE_PLUS_X);
    MatchPlayers[4].moveTarget.x = 50.f;
    MatchPlayers[4].energy = 5.f;
    StartMovingPhase(PHASE_HOME_MOVES);
    SetStep(0.1f);
    MovePlayers(false);
    EXPECT_NEAR(X(4), 30.f + 5.f * 0.1f * 0.5f, 1e-5f);
}

TEST_F(MovementTest, PlayerTurnsOnTheSpotBeforeRunning)
{
    PlacePlayer(4, 30.f, 42.f, FACE_MINUS_X);  // facing away from the target
    MatchPlayers[4].moveTarget.x = 40.f;
    StartMovingPhase(PHASE_HOME_MOVES);
    SetStep(0.1f);  // Turn 0.5: pi/10 a step, ten steps for the half turn
    MovePlayers(false);
    EXPECT_FLOAT_EQ(X(4), 30.f);
    EXPECT_EQ(Model(4).AnimationSlot, ANIM_TURN);
    int steps = 1;
    while (X(4) == 30.f && steps < 50) {
        MovePlayers(false);
        ++steps;
    }
    EXPECT_GE(steps, 10);
    EXPECT_LE(steps, 11);
    EXPECT_EQ(Model(4).AnimationSlot, ANIM_RUN);
}

TEST_F(MovementTest, TacklesFromTheFrontAndFromBehindOverManySeeds)
{
    // Tackling 50 + 150 - Shielding 45 = 155 of 300 from the front; a quarter (38) from
    // behind, where a failure is a foul when a second roll of 200 exceeds 105.
    MatchPlayers[4].attributes[ATTR_TACKLING] = 50.f;
    MatchPlayers[14].attributes[ATTR_SHIELDING] = 45.f;
    PlacePlayer(14, 50.f, 42.f, FACE_MINUS_X);
    const int trials = 3000;
    int wonFront = 0, wonBehind = 0, fouls = 0;
    srand(4242);
    for (int t = 0; t < trials; ++t) {
        PlacePlayer(4, 49.5f, 42.f, FACE_PLUS_X);  // face to face
        GiveBall(14);
        MatchPlayers[14].turnsDown = 0;
        ResolveTackle(4, 14);
        wonFront += BallHolder == 5;
    }
    for (int t = 0; t < trials; ++t) {
        PlacePlayer(4, 50.5f, 42.f, FACE_MINUS_X);  // same way as the holder
        GiveBall(14);
        MatchStopState = STOP_IN_PLAY;
        const int foulsBefore = TeamSquads[1].players[3].lastMatch.haveBeenFouled;
        ResolveTackle(4, 14);
        wonBehind += BallHolder == 5;
        fouls += TeamSquads[1].players[3].lastMatch.haveBeenFouled > foulsBefore;
        RestartPending = 0;
    }
    EXPECT_NEAR(wonFront / (double)trials, 156.0 / 300.0, 0.03);
    EXPECT_NEAR(wonBehind / (double)trials, 39.0 / 300.0, 0.02);
    EXPECT_NEAR(fouls / (double)trials, (261.0 / 300.0) * (94.0 / 200.0), 0.03);
}

TEST_F(MovementTest, TacklerRollsOncePerContactNotPerFrame)
{
    MatchPlayers[4].attributes[ATTR_TACKLING] = 0.f;
    MatchPlayers[14].attributes[ATTR_SHIELDING] = 150.f;  // chance 0: roll 0 alone wins
    PlacePlayer(14, 50.f, 42.f, FACE_MINUS_X);
    GiveBall(14);
    PlacePlayer(4, 48.f, 42.f, FACE_PLUS_X);
    MatchPlayers[4].moveTarget.x = 52.f;
    StartMovingPhase(PHASE_HOME_MOVES);
    SetStep(0.01f);
    uint32_t seed = 12345;
    for (;; ++seed) {  // a seed whose first roll fails
        srand(seed);
        if (RandomBelow(300) > 0) break;
    }
    srand(seed);
    for (int i = 0; i < 90; ++i) MovePlayers(true);
    EXPECT_EQ(BallHolder, 15);
    EXPECT_EQ(TeamSquads[0].players[4].lastMatch.tackleAttemptsLost, 1);
    EXPECT_LT(X(4), 50.f - 0.8f) << "pressed against the holder, not through him";
}

TEST_F(MovementTest, TackleFromBehindWrapsAngles)
{
    PlacePlayer(4, 50.f, 42.f, 0.1f);
    PlacePlayer(14, 51.f, 42.f, 6.2f);
    EXPECT_TRUE(IsTackleFromBehind(4, 14));
    Model(14).Rotation.y = -0.1f;
    EXPECT_TRUE(IsTackleFromBehind(4, 14));
    Model(14).Rotation.y = 3.2f;
    EXPECT_FALSE(IsTackleFromBehind(4, 14));
    Model(4).Rotation.y = 1.5f;
    Model(14).Rotation.y = 3.1f;
    EXPECT_FALSE(IsTackleFromBehind(4, 14)) << "more than a quarter turn apart";
}

TEST_F(MovementTest, TackledPlayerIsDownForHisSidesNextTwoTurns)
{
    srand(1);
    CheatControl = 2;  // the tackle wins
    PlacePlayer(14, 50.f, 42.f, FACE_MINUS_X);
    PlacePlayer(4, 49.5f, 42.f, FACE_PLUS_X);
    GiveBall(14);
    ResolveTackle(4, 14);
    ASSERT_EQ(BallHolder, 5);
    EXPECT_EQ(TeamSquads[0].players[4].lastMatch.tacklesWon, 1);
    EXPECT_EQ(TeamSquads[1].players[3].lastMatch.haveBeenTackled, 1);
    // Each of the away side's turns starts with its count-down.
    for (int turn = 1; turn <= 2; ++turn) {
        CountDownDowned(SIDE_SIZE, PLAYER_COUNT);
        EXPECT_GT(MatchPlayers[14].turnsDown, 0) << "turn " << turn;
        StartMovingPhase(PHASE_AWAY_MOVES);
        MatchPlayers[14].moveTarget.x = 40.f;
        SetStep(0.1f);
        MovePlayers(true);
        EXPECT_FLOAT_EQ(X(14), 50.f);
        EXPECT_EQ(Model(14).AnimationSlot, ANIM_TACKLE);
    }
    CountDownDowned(SIDE_SIZE, PLAYER_COUNT);
    EXPECT_EQ(MatchPlayers[14].turnsDown, 0);
    EXPECT_EQ(Model(14).AnimationSlot, ANIM_STAND);
}

TEST_F(MovementTest, PlayerPressedAgainstATeammateStillTacklesTheHolder)
{
    CheatControl = 2;
    PlacePlayer(14, 50.f, 42.f, FACE_MINUS_X);
    GiveBall(14);
    PlacePlayer(3, 49.2f, 42.6f, FACE_PLUS_X);  // a teammate touching him
    PlacePlayer(4, 49.2f, 42.f, FACE_PLUS_X);
    MatchPlayers[4].contacts = 1;
    MatchPlayers[4].moveTarget.x = 52.f;
    StartMovingPhase(PHASE_HOME_MOVES);
    SetStep(0.02f);
    MovePlayers(true);
    EXPECT_EQ(BallHolder, 5);
}

TEST_F(MovementTest, DefenderInTheWayDoesNotHoldARestartForEver)
{
    // An away free kick: the home defender between the taker and the ball is no wall.
    PlaceBall(55.f, BALL_REST_HEIGHT, 68.f);
    MatchStopState = STOP_OFFSIDE;
    RestartPending = 1;
    RestartSide = 1;
    RestrictedFirst = 0;
    RestrictedEnd = SIDE_SIZE;
    RestartSpot = D3DVECTOR{55.f, 0.f, 68.f};
    KeepAwayDistance = 10.f;
    PlacePlayer(10, 57.2f, 65.0f, 0.f);
    PlacePlayer(12, 59.f, 62.f, FACE_MINUS_X);
    MatchPlayers[12].moveTarget = D3DVECTOR{55.f, 0.f, 68.f};
    StartMovingPhase(PHASE_AWAY_MOVES);
    SetStep(0.02f);
    for (int i = 0; i < 200 && BallHolder == 0; ++i) MovePlayers(true);
    EXPECT_EQ(BallHolder, 13);
}

TEST_F(MovementTest, TeamMatesInTheWayDoNotHoldARestartForEver)
{
    // A home free kick: a team-mate stands still between the taker and the ball, just too far
    // from it to take it himself.
    PlaceBall(50.f, BALL_REST_HEIGHT, 40.f);
    MatchStopState = STOP_FOUL;
    RestartPending = 1;
    DeadBallKickPending = 1;
    RestartSide = 0;
    RestrictedFirst = SIDE_SIZE;
    RestrictedEnd = PLAYER_COUNT;
    RestartSpot = D3DVECTOR{50.f, 0.f, 40.f};
    KeepAwayDistance = 10.f;
    PlacePlayer(7, 51.0f, 40.f, FACE_MINUS_X);
    PlacePlayer(3, 51.85f, 40.f, FACE_MINUS_X);
    MatchPlayers[3].moveTarget = D3DVECTOR{50.f, 0.f, 40.f};
    StartMovingPhase(PHASE_HOME_MOVES);
    SetStep(0.02f);
    for (int i = 0; i < 200 && BallHolder == 0; ++i) MovePlayers(true);
    EXPECT_EQ(BallHolder, 4);
}

TEST_F(MovementTest, ATeamMateBesideAWaitingTakerWalksOutOfTheArea)
{
    // An away penalty at the low end: the taker holds the ball on the spot and waits until his
    // team-mates have left the area; one of them stands against him, his way out past the taker.
    PlaceBall(15.51f, BALL_REST_HEIGHT, 42.08f);
    MatchStopState = STOP_FOUL;
    PenaltyEnd = PENALTY_LOW_END;
    RestartPending = 1;
    DeadBallKickPending = 1;
    RestartSide = 1;
    RestrictedFirst = 0;
    RestrictedEnd = SIDE_SIZE;
    RestartSpot = D3DVECTOR{15.51f, 0.f, 42.08f};
    KeepAwayDistance = 10.f;
    PlacePlayer(20, 15.51f, 42.08f, FACE_MINUS_X);
    BallHolder = LastHolder = 21;
    PlacePlayer(21, 15.02f, 42.74f, FACE_PLUS_X);
    MatchPlayers[21].moveTarget = D3DVECTOR{33.f, 0.f, 50.f};
    StartMovingPhase(PHASE_AWAY_MOVES);
    SetStep(0.02f);
    for (int i = 0; i < 45; ++i) MovePlayers(true);
    EXPECT_GT(X(21), 17.f) << "held against the taker";
    EXPECT_EQ(BallHolder, 21);
}

TEST_F(MovementTest, WalkInLeavesTheKickOffBallOnTheSpot)
{
    MatchStopState = STOP_KICK_OFF;
    PlaceBall(CENTRE_X, BALL_REST_HEIGHT, CENTRE_Z);
    PlacePlayer(9, CENTRE_X - 3.f, CENTRE_Z, FACE_PLUS_X);
    MatchPlayers[9].moveTarget = D3DVECTOR{CENTRE_X, 0.f, CENTRE_Z};  // walks onto the ball
    WaitingForBall = 1;  // left over from the phase of the goal
    StartMovingPhase(PHASE_HOME_MOVES);
    WaitingForBall = 1;
    SetStep(0.05f);
    for (int i = 0; i < 40; ++i) MovePlayers(false);
    EXPECT_NEAR(X(9), CENTRE_X, 1e-4f);
    EXPECT_EQ(BallHolder, 0);
    EXPECT_FLOAT_EQ(BallInstance().Position.x, CENTRE_X);
    EXPECT_FLOAT_EQ(TheBall.rotation, 0.f);
}

TEST_F(MovementTest, HomeKeeperTracksTheBallAtEitherEnd)
{
    // Second half: the home side defends the high-x goal.
    GoalSideTable[1] = 1;
    GoalSideTable[2] = 0;
    Half = 2;
    PlacePlayer(0, 112.f, 42.f, FACE_MINUS_X);
    PlaceBall(100.f, BALL_REST_HEIGHT, 45.f);
    TheBall.destination = D3DVECTOR{115.f, BALL_REST_HEIGHT, 45.f};
    BallInFlight = 1;
    StartMovingPhase(PHASE_AWAY_MOVES);
    SetStep(0.05f);
    MovePlayers(true);
    EXPECT_FLOAT_EQ(MatchPlayers[0].moveTarget.z, 45.f);
    EXPECT_GT(Model(0).Position.z, 42.f);

    // First half, the same shot at the other end.
    ResetMatch();
    ClearArea(40.f, 42.f, 200.f);
    PlacePlayer(0, 6.f, 42.f, FACE_PLUS_X);
    PlaceBall(18.f, BALL_REST_HEIGHT, 50.f);
    TheBall.destination = D3DVECTOR{3.f, BALL_REST_HEIGHT, 40.f};
    BallInFlight = 1;
    StartMovingPhase(PHASE_AWAY_MOVES);
    SetStep(0.05f);
    MovePlayers(true);
    EXPECT_FLOAT_EQ(MatchPlayers[0].moveTarget.z, 46.f) << "the ball's z kept inside the goal";
}

TEST_F(MovementTest, OneShotAnimationEndsTheAction)
{
    MatchPlayers[4].action = ANIM_PASS;
    SetPlayerAnimation(4, ANIM_PASS);
    EXPECT_EQ(Model(4).AnimationLoopLimit, 1);
    EXPECT_EQ(Model(4).AnimCurrentFrame[ANIM_PASS], 0);
    SetPlayerAnimation(4, ANIM_PASS);
    EXPECT_EQ(MatchPlayers[4].action, ANIM_PASS);
    Model(4).AnimationLoopsDone = 1;
    SetPlayerAnimation(4, ANIM_PASS);
    EXPECT_EQ(MatchPlayers[4].action, 0);
    SetPlayerAnimation(4, ANIM_RUN);
    EXPECT_EQ(Model(4).AnimationLoopLimit, 0);
}

TEST_F(MovementTest, ContactsAndPickUp)
{
    PlacePlayer(4, 50.f, 42.f, 0.f);
    PlacePlayer(5, 50.7f, 42.f, 0.f);
    EXPECT_EQ(FindContact(4), 6);
    PlacePlayer(5, 51.f, 42.f, 0.f);
    PlaceBall(50.3f, BALL_REST_HEIGHT, 42.f);
    EXPECT_EQ(FindContact(4), BALL_TARGET);
    SetPieceTaker = 5;
    EXPECT_EQ(FindContact(4), 0) << "the restart taker does not touch the ball again";
    SetPieceTaker = 0;
    EXPECT_EQ(FindContact(BALL_TARGET), 5);
    LastHolder = 5;
    EXPECT_EQ(FindContact(BALL_TARGET), 0);

    // A restricted player may not collect the ball at a restart.
    RestartPending = 1;
    RestrictedFirst = 0;
    RestrictedEnd = SIDE_SIZE;
    EXPECT_FALSE(TryPickUpBall(4));
    RestartPending = 0;
    EXPECT_TRUE(TryPickUpBall(4));
    EXPECT_EQ(BallHolder, 5);
    EXPECT_EQ(LastTouchSide, 1);
}

TEST_F(MovementTest, BallExactlyOnAPlayerLeavesNoNaN)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    PlacePlayer(4, 50.f, 42.f, 0.f);
    PlacePlayer(14, 50.f, 42.f, 0.f);  // two players on one spot
    PlaceBall(50.f, BALL_REST_HEIGHT, 42.f);
    MatchPlayers[4].facePoint = D3DVECTOR{50.f, 0.f, 42.f};
    MatchPlayers[4].stance = 1;
    StartMovingPhase(PHASE_HOME_MOVES);
    SetStep(0.05f);
    for (int i = 0; i < 15; ++i) StepMatch();
    EXPECT_TRUE(AllFinite());
    SetStep(nan);
    MovePlayers(true);
    EXPECT_TRUE(AllFinite());
    // Orders that are not numbers (a damaged save or message) stop the player where he is.
    SetStep(0.05f);
    MatchPlayers[5].moveTarget = D3DVECTOR{nan, 0.f, nan};
    Model(6).Position.x = nan;
    MatchPlayers[6].moveTarget = D3DVECTOR{52.f, 0.f, 40.f};
    MovePlayers(true);
    EXPECT_TRUE(AllFinite());
}

}  // namespace
