// The match screen's step without a device: kick-offs, the walk-in and the goal pause, the
// network's fixed step, orders refused when they may not be given, the developer keys, a second
// match after a first, and the same match twice from the same seed and orders.
#include "fenwolt/tests/match/match_screen_support.h"

#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/FrontEnd/Options.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Engine/Instances.h"
#include "fenwolt/Game/Match/Banners.h"
#include "fenwolt/Game/Match/Hud.h"
#include "fenwolt/Game/Match/MatchScreen.h"
#include "fenwolt/Game/Match/Movement.h"
#include "fenwolt/Game/Match/Previews.h"
#include "fenwolt/Game/Match/Rules.h"
#include "fenwolt/Game/Match/TurnEngine.h"
#include "fenwolt/Game/Network/NetState.h"
#include "fenwolt/Game/Engine/VertexAnimation.h"
#include "fenwolt/Game/ScreenSlots.h"
#include "fenwolt/common/AppFramework.h"
#include "fenwolt/common/Utilities.h"
#include "platform/tests/support/test_requirements.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

using namespace matchdrive;

namespace {

class MatchStepTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!app.Open(false)) SKIP_WITHOUT("a GL device") << app.error;
    }
    void TearDown() override
    {
        DebugMode = false;
        app.Close();
    }
    void Key(uint32_t key)
    {
        LastMessageParam = key;
        HandleMatchMessage(WM_KEYDOWN);
    }
    // Steps until the phase is `phase` (false after `limit` frames).
    bool StepUntilPhase(int32_t phase, float step = 0.02f, int limit = 5000)
    {
        for (int i = 0; i < limit && TurnPhase != phase; ++i) Frame(step);
        return TurnPhase == phase;
    }
    MatchApp app;
};

// Exits with 0 when every instance and texture the match keeps is none, as before any scene load.
[[noreturn]] void ExitWithTheMatchInstancesNone()
{
    bool none = SelectionMarkerModel == INSTANCE_NONE && AimMarkerModel == INSTANCE_NONE && SkyDomeModel == INSTANCE_NONE;
    for (const int32_t m : MoveTargetMarkerModels) none = none && m == INSTANCE_NONE;
    for (const int32_t m : JumpMarkerModels) none = none && m == INSTANCE_NONE;
    for (const int32_t m : FacingArrowModels) none = none && m == INSTANCE_NONE;
    for (const int32_t m : GoalFrameModels) none = none && m == INSTANCE_NONE;
    for (const auto& slot : PathDotModels)
        for (const int32_t m : slot) none = none && m == INSTANCE_NONE;
    for (const int32_t m : KickArrowModels) none = none && m == INSTANCE_NONE;
    for (const int32_t t : NumberTextures) none = none && t == MESH_NONE;
    std::_Exit(none ? 0 : 1);
}

TEST(MatchStartUpTest, NoMatchInstanceIsInstanceZeroBeforeTheSceneLoad)
{
    // Only a program that has not loaded a match yet can tell: the check runs in a child that
    // starts the test program afresh.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(ExitWithTheMatchInstancesNone(), testing::ExitedWithCode(0), "");
}

TEST_F(MatchStepTest, TheMatchOpensWithTheHomeKickOff)
{
    StartMatch(MatchOptions{});
    EXPECT_EQ(MatchScreenActive, 1);
    EXPECT_EQ(TurnPhase, PHASE_HOME_PLANS);
    EXPECT_EQ(MatchStopState, STOP_IN_PLAY);
    EXPECT_EQ(KickOffPending, 1);
    EXPECT_EQ(BallHolder, 10);
    EXPECT_EQ(KickOffPartner, 11);
    EXPECT_EQ(SelectedPlayer, 9);
    EXPECT_EQ(Half, 1);
    EXPECT_EQ(Minute, 0);
    const ModelInstance* striker = PlayerModel(9);
    ASSERT_NE(striker, nullptr);
    EXPECT_FLOAT_EQ(striker->Position.x, CENTRE_X);
    EXPECT_FLOAT_EQ(striker->Position.z, CENTRE_Z);
    EXPECT_FLOAT_EQ(PlayerModel(10)->Position.z, 40.08f);
    // Every instance of the scene exists even without a device.
    EXPECT_NE(BallModel(), nullptr);
    EXPECT_NE(InstanceAt(SelectionMarkerModel), nullptr);
    for (int b = 0; b < 8; ++b) EXPECT_NE(InstanceAt(GoalFrameModels[b]), nullptr) << b;
    EXPECT_TRUE(GoalFrameBoxes[0].valid);
    EXPECT_EQ(CheckInvariants(), "");
}

TEST_F(MatchStepTest, ASecondMatchOfTheSessionStartsInPlayNotAtFullTime)
{
    StartMatch(MatchOptions{});
    // The first match ends in the middle of a stoppage.
    MatchStopState = STOP_FOUL;
    RestartPending = 1;
    PenaltyEnd = PENALTY_HIGH_END;
    StoppageTurns = 4;
    BallInFlight = 1;
    TeamGoals[0] = 3;
    EndMatch();
    ASSERT_EQ(MatchStopState, STOP_FULL_TIME);
    StartMatch(MatchOptions{});
    EXPECT_EQ(MatchStopState, STOP_IN_PLAY);
    EXPECT_EQ(RestartPending, 0);
    EXPECT_EQ(PenaltyEnd, 0);
    EXPECT_EQ(StoppageTurns, 0);
    EXPECT_EQ(BallInFlight, 0);
    EXPECT_EQ(Half, 1);
    EXPECT_EQ(TeamGoals[0], 0);
    EXPECT_EQ(SubstitutionsMade[0], 0);
    // And it plays: the kick-off turn ends into the home side's moving phase.
    EndTurn();
    EXPECT_EQ(TurnPhase, PHASE_HOME_MOVES);
}

TEST_F(MatchStepTest, PlayResumesThroughTheRefereeBanner)
{
    StartMatch(MatchOptions{});
    MatchStopState = STOP_THROW_IN;
    RestartPending = 1;
    HideRefereeBanner();
    EXPECT_EQ(MatchStopState, STOP_IN_PLAY);
    EXPECT_EQ(RestartPending, 0);
}

TEST_F(MatchStepTest, AThrowThatNeverComesOnIsTakenAgainFromItsSpot)
{
    StartMatch(MatchOptions{});
    KickOffPending = 0;
    ModelInstance* ball = BallModel();
    ASSERT_NE(ball, nullptr);
    ball->Position = D3DVECTOR{40.f, BALL_REST_HEIGHT, 79.8f};
    LastTouchSide = 2;
    AwardThrowIn();
    ASSERT_EQ(RestartSide, 0);
    // The thrower stands at the ball with it; his throw goes along the touchline, off the pitch.
    PlayerModel(6)->Position = D3DVECTOR{40.f, 0.f, 79.8f};
    MatchPlayers[6].moveTarget = PlayerModel(6)->Position;
    BallHolder = LastHolder = 7;
    CheatPass = 2;  // every throw lands where it is aimed
    OrderKick(6, 52.f, 83.f);
    CheatPass = 0;
    ASSERT_EQ(BallInFlight, 1);
    EndTurn();
    ASSERT_TRUE(StepUntilPhase(PHASE_AWAY_PLANS));
    // Never on the pitch, so never in play: the throw is taken again from where the ball went out.
    EXPECT_EQ(MatchStopState, STOP_THROW_IN);
    EXPECT_EQ(RestartPending, 1);
    EXPECT_EQ(BallHolder, 0);
    EXPECT_EQ(TakerHasBall, 0);
    EXPECT_NEAR(ball->Position.x, 40.f, 1e-4f);
    EXPECT_NEAR(ball->Position.z, 79.8f, 1e-4f);
    EXPECT_EQ(CheckInvariants(), "");
}

TEST_F(MatchStepTest, TheWalkInAndTheGoalPauseEndNoPhase)
{
    StartMatch(MatchOptions{});
    // The away side scored: the goal pause, then the walk-in to the home kick-off.
    MatchPlayers[3].turnsDown = 2;
    MatchPlayers[14].turnsDown = 2;
    TurnPhase = PHASE_AWAY_MOVES;
    MatchStopState = STOP_GOAL;
    GoalInProgress = 1;
    LastScoringSide = 1;
    PhaseTimer = 0.f;
    for (int i = 0; i < 400 && GoalInProgress; ++i) {
        Frame(0.02f);
        if (GoalInProgress) {
            ASSERT_EQ(TurnPhase, PHASE_AWAY_MOVES) << "a goal pause ended a phase";
        }
    }
    ASSERT_EQ(GoalInProgress, 0);
    ASSERT_EQ(MatchStopState, STOP_KICK_OFF);
    EXPECT_GE(Second, 30);  // 30 s added for the goal
    const int32_t phase = TurnPhase;
    EXPECT_EQ(phase, PHASE_HOME_PLANS);
    int frames = 0;
    while (MatchStopState == STOP_KICK_OFF && frames < 2000) {
        Frame(1.f / 60.f);
        ++frames;
        if (MatchStopState == STOP_KICK_OFF) {
            ASSERT_EQ(TurnPhase, phase) << "the walk-in moved the phase on";
        }
    }
    // 13.7 s at 60 frames a second, and nobody counted a turn down meanwhile.
    EXPECT_NEAR(frames, 823, 2);
    EXPECT_EQ(MatchPlayers[3].turnsDown, 2);
    EXPECT_EQ(MatchPlayers[14].turnsDown, 2);
    EXPECT_EQ(MatchStopState, STOP_IN_PLAY);
    EXPECT_EQ(TurnPhase, PHASE_HOME_PLANS);
    EXPECT_EQ(KickOffPending, 1);
    EXPECT_EQ(BallHolder, 10);
    EXPECT_EQ(CheckInvariants(), "");
}

TEST_F(MatchStepTest, OnlyAGoalsWalkInCelebrates)
{
    StartMatch(MatchOptions{});
    // Players who are yet to walk back: everyone a long way from his spot.
    auto scatter = [] {
        for (int32_t p = 0; p < PLAYER_COUNT; ++p) {
            PlayerModel(p)->Position.x = p < SIDE_SIZE ? 100.f : 20.f;
            PlayerModel(p)->Position.z = 10.f + 3.f * (float)(p % SIDE_SIZE);
        }
    };
    auto celebrating = [](int32_t first) {
        int count = 0;
        for (int32_t p = first; p < first + SIDE_SIZE; ++p) count += PlayerModel(p)->AnimationSlot == ANIM_CELEBRATE;
        return count;
    };
    // Half time: both sides simply walk to their second-half spots.
    StartSecondHalf();
    ASSERT_EQ(MatchStopState, STOP_KICK_OFF);
    scatter();
    for (int i = 0; i < 30; ++i) Frame(0.02f);
    EXPECT_EQ(celebrating(0), 0);
    EXPECT_EQ(celebrating(SIDE_SIZE), 0);
    // A goal of the away side: it celebrates on the way back, the home side does not.
    for (int i = 0; i < 2000 && MatchStopState == STOP_KICK_OFF; ++i) Frame(0.02f);
    TurnPhase = PHASE_HOME_MOVES;
    MatchStopState = STOP_GOAL;
    GoalInProgress = 1;
    LastScoringSide = 1;
    PhaseTimer = GOAL_PAUSE_SECONDS;
    Frame(0.02f);
    ASSERT_EQ(MatchStopState, STOP_KICK_OFF);
    scatter();
    for (int i = 0; i < 30; ++i) Frame(0.02f);
    EXPECT_EQ(celebrating(0), 0);
    EXPECT_GT(celebrating(SIDE_SIZE), 5);
}

TEST_F(MatchStepTest, ANetworkMovingPhaseAdvancesInFixedStepsAt100Frames)
{
    MatchOptions o;
    o.network = true;
    o.managers = 2;
    StartMatch(o);
    EndTurn();
    ASSERT_EQ(TurnPhase, PHASE_HOME_MOVES);
    NetStepAccumulator = 0.f;
    PhaseTimer = 0.f;
    int advances = 0;
    for (int frame = 1; frame <= 24; ++frame) {
        const float before = PhaseTimer;
        Frame(0.01f);
        if (PhaseTimer != before) {
            ++advances;
            EXPECT_EQ(TheApp.ElapsedTime, NET_FIXED_STEP) << "frame " << frame;
            EXPECT_NEAR(PhaseTimer - before, NET_FIXED_STEP, 1e-6f);
            EXPECT_EQ(frame % 4, 0) << "advanced on frame " << frame;
        }
    }
    EXPECT_EQ(advances, 6);
    // The developer's constant step changes nothing of it: both computers step alike.
    ConstantTime = 1;
    for (int frame = 1; frame <= 8 && TurnPhase == PHASE_HOME_MOVES; ++frame) {
        const float before = PhaseTimer;
        Frame(0.01f);
        if (PhaseTimer != before) {
            EXPECT_NEAR(PhaseTimer - before, NET_FIXED_STEP, 1e-6f) << "frame " << frame;
        }
    }
    ConstantTime = 0;
}

TEST_F(MatchStepTest, APassOrderEndsWithItsAnimationWithoutAScreenToo)
{
    StartMatch(MatchOptions{});
    ASSERT_GT(AnimationStore[ANIM_PASS].FrameCount, 0u) << "the animations were not loaded";
    KickOffPending = 0;
    OrderKick(9, 45.f, 30.f);
    ASSERT_EQ(MatchPlayers[9].action, ANIM_PASS);
    EndTurn();
    ASSERT_TRUE(StepUntilPhase(PHASE_AWAY_PLANS));
    // The kicker turned to his kick while the pass played, and stands free of the order now.
    EXPECT_EQ(MatchPlayers[9].action, 0);
}

TEST_F(MatchStepTest, AKickGradedOnOneComputerLeavesTheSharedTableInStep)
{
    // The guest plans the away side and kicks; the host hears of the kick only through the ball's
    // message, so the guest's place in the shared table must not move.
    MatchOptions o;
    o.network = true;
    o.networkHost = false;
    o.managers = 2;
    StartMatch(o);
    KickOffPending = 0;
    TurnPhase = PHASE_AWAY_PLANS;
    const ModelInstance* taker = PlayerModel(18);
    ASSERT_NE(taker, nullptr);
    BallHolder = LastHolder = 19;
    GiveBallToPlayer(18);
    const int32_t index = SharedRandomIndex;
    OrderKick(18, taker->Position.x - 20.f, taker->Position.z + 5.f);
    ASSERT_EQ(BallInFlight, 1);
    EXPECT_EQ(SharedRandomIndex, index);
    EXPECT_TRUE(UseSharedRandom);
}

TEST_F(MatchStepTest, ARefreshOfThePhaseCountsNobodyDown)
{
    // A network game refreshes the phase when a kick-off is set up (the automatic kick-off pass):
    // that is no new turn of the side, and a tackled player stays down his two turns.
    MatchOptions o;
    o.network = true;
    o.managers = 2;
    StartMatch(o);
    MatchPlayers[3].turnsDown = 2;
    EndPhase(1);
    EXPECT_EQ(MatchPlayers[3].turnsDown, 2);
    for (int k = 0; k < 4; ++k) EndPhase(0);
    EXPECT_EQ(TurnPhase, PHASE_HOME_PLANS);
    EXPECT_EQ(MatchPlayers[3].turnsDown, 1);
}

TEST_F(MatchStepTest, OrdersAreRefusedInTheWalkInAndTheComputersPhases)
{
    StartMatch(MatchOptions{});
    // The walk-in: selection keys, Space and clicks change nothing.
    MatchStopState = STOP_KICK_OFF;
    PhaseTimer = 1.f;
    const uint64_t before = HashMatch();
    for (uint32_t key : {(uint32_t)'2', (uint32_t)'G', (uint32_t)VK_SPACE, (uint32_t)'N', (uint32_t)'P'}) Key(key);
    MouseX = 300;
    MouseY = 300;
    HandleMatchMessage(WM_LBUTTONDOWN);
    HandleMatchMessage(WM_LBUTTONUP);
    HandleMatchMessage(WM_RBUTTONDOWN);
    HandleMatchMessage(WM_RBUTTONUP);
    EXPECT_EQ(HashMatch(), before);

    // Against the computer, phases 1 to 3 take nothing from the manager.
    MatchStopState = STOP_IN_PLAY;
    for (int32_t phase : {PHASE_HOME_MOVES, PHASE_AWAY_PLANS, PHASE_AWAY_MOVES}) {
        TurnPhase = phase;
        PhaseTimer = 0.f;
        const uint64_t h = HashMatch();
        for (uint32_t key : {(uint32_t)'3', (uint32_t)VK_SPACE, (uint32_t)'M'}) Key(key);
        HandleMatchMessage(WM_LBUTTONDOWN);
        HandleMatchMessage(WM_RBUTTONDOWN);
        HandleMatchMessage(WM_RBUTTONUP);
        EXPECT_EQ(HashMatch(), h) << "phase " << phase;
        EXPECT_EQ(TurnPhase, phase);
    }
    // In the home planning phase the same key selects.
    TurnPhase = PHASE_HOME_PLANS;
    Key('3');
    EXPECT_EQ(SelectedPlayer, 2);
}

TEST_F(MatchStepTest, DeveloperKeysDoNothingWithoutTheDebugSwitch)
{
    StartMatch(MatchOptions{});
    DebugMode = false;
    const uint64_t before = HashMatch();
    for (uint32_t key : {VK_F4, VK_F6, VK_F8, VK_F9, VK_F11, VK_F12}) Key(key);
    EXPECT_EQ(HashMatch(), before);
    EXPECT_EQ(CheatControl, 0);
    EXPECT_EQ(CheatPass, 0);
    EXPECT_EQ(ConstantTime, 0);
    EXPECT_EQ(MatchStopState, STOP_IN_PLAY);

    DebugMode = true;
    Key(VK_F8);
    EXPECT_EQ(CheatControl, 1);
    EXPECT_EQ(CheatPass, 1);
    Key(VK_F12);
    EXPECT_EQ(ConstantTime, 1);
    SelectedPlayer = 4;
    const float energy = MatchPlayers[4].energy;
    Key(VK_F11);
    EXPECT_FLOAT_EQ(MatchPlayers[4].energy, energy - 10.f);
    Key(VK_F9);
    EXPECT_EQ(BallHolder, 5);
    Key(VK_F4);
    EXPECT_EQ(MatchStopState, STOP_FULL_TIME);
    EXPECT_EQ(Half, 3);
}

TEST_F(MatchStepTest, SelectionKeysFollowTheSideThatPlansWithTwoManagers)
{
    MatchOptions o;
    o.managers = 2;
    StartMatch(o);
    Key('G');
    EXPECT_EQ(SelectedPlayer, 0);
    Key('1');
    EXPECT_EQ(SelectedPlayer, 10);
    TurnPhase = PHASE_AWAY_PLANS;
    Key('G');
    EXPECT_EQ(SelectedPlayer, 11);
    Key('0');
    EXPECT_EQ(SelectedPlayer, 20);
    // The cycle keys step through the players nearest the ball first.
    TurnPhase = PHASE_HOME_PLANS;
    SortByDistanceToBall();
    Key('N');
    EXPECT_EQ(SelectedPlayer, DistanceOrder[1]);
    Key('M');
    EXPECT_EQ(SelectedPlayer, DistanceOrder[0]);
    Key('M');
    EXPECT_EQ(SelectedPlayer, DistanceOrder[10]);
}

TEST_F(MatchStepTest, TheSameSeedAndOrdersPlayTheSameMatchTwice)
{
    MatchOptions o;
    o.seed = 4242;
    o.minutesPerHalf = 3;
    const MatchReport a = PlayMatch(o, HomeScript::Chasing, 0.02f);
    ASSERT_EQ(a.failure, "");
    const MatchReport b = PlayMatch(o, HomeScript::Chasing, 0.02f);
    ASSERT_EQ(b.failure, "");
    ASSERT_GT(a.turnHashes.size(), 20u);
    EXPECT_EQ(a.turnHashes, b.turnHashes);
    o.seed = 4243;
    const MatchReport c = PlayMatch(o, HomeScript::Chasing, 0.02f);
    EXPECT_NE(a.turnHashes, c.turnHashes);
}

TEST_F(MatchStepTest, TheFirstNetworkMatchOfASessionPlaysLikeAnyLaterOne)
{
    MatchOptions o;
    o.seed = 99;
    o.minutesPerHalf = 3;
    o.network = true;
    o.managers = 2;
    // A fresh session: nothing has drawn from the shared table yet.
    ASSERT_FALSE(UseSharedRandom);
    const MatchReport first = PlayMatch(o, HomeScript::Chasing, 0.02f);
    ASSERT_EQ(first.failure, "");
    const MatchReport second = PlayMatch(o, HomeScript::Chasing, 0.02f);
    ASSERT_EQ(second.failure, "");
    ASSERT_GT(first.turnHashes.size(), 20u);
    EXPECT_EQ(first.turnHashes, second.turnHashes);
}

TEST_F(MatchStepTest, TheFixedNetworkStepGivesTheSameMatchAtAnotherFrameRate)
{
    // Two computers: one draws 100 frames a second and its manager plans quickly, the other 60
    // (or 144) and plans slowly. Goals with their pauses and walk-ins, half time, restarts and
    // ordered jumps all come by; every full turn must leave the same records.
    int goals = 0;
    for (const uint32_t seed : {95u, 101u, 105u}) {
        for (const HomeScript script : {HomeScript::Chasing, HomeScript::Random}) {
            SCOPED_TRACE(testing::Message() << "seed " << seed << " script " << (int)script);
            MatchOptions o;
            o.seed = seed;
            o.minutesPerHalf = 3;
            o.network = true;
            o.managers = 2;
            o.planningSeconds = 0.3f;
            const MatchReport a = PlayMatch(o, script, 0.01f);
            ASSERT_EQ(a.failure, "");
            o.planningSeconds = 1.7f;
            const MatchReport b = PlayMatch(o, script, seed == 105u ? 1.f / 144.f : 1.f / 60.f);
            ASSERT_EQ(b.failure, "");
            ASSERT_GT(a.turnHashes.size(), 20u);
            EXPECT_EQ(a.turnHashes, b.turnHashes);
            EXPECT_EQ(a.homeGoals, b.homeGoals);
            EXPECT_EQ(a.awayGoals, b.awayGoals);
            goals += a.homeGoals + a.awayGoals;
        }
    }
    EXPECT_GT(goals, 0) << "no goal pause or walk-in was played";
}

}  // namespace
