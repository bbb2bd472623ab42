// Two computers end a moving phase, and the walk-in to a kick-off, each at its own pace: the other
// computer's messages then come, in their order, at a point of the match this one has not reached
// yet. One computer's match here takes them in such an order, as the other computer sent them,
// and must answer and apply them as if they had come at the point they belong to.
#include "net_a_support.h"

#include "fenwolt/Game/Match/MatchScreen.h"
#include "fenwolt/Game/Match/Rules.h"
#include "fenwolt/Game/Match/TurnEngine.h"
#include "fenwolt/common/Utilities.h"
#include "fenwolt/tests/match/match_screen_support.h"
#include "fenwolt/tests/net/offline_peer.h"
#include "platform/win32/byte_order.h"
#include "platform/tests/support/test_requirements.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace matchdrive;

namespace {

// The session as this computer sees it: what it sends is kept, nothing else is done.
class RecordingPeer final : public OfflinePeer {
public:
    std::vector<std::vector<uint8_t>> sent;

    HRESULT SendTo(DPNID, const DPN_BUFFER_DESC* buffers, DWORD count, DWORD, void*, DPNHANDLE*, DWORD) override
    {
        for (DWORD i = 0; i < count; ++i) sent.emplace_back(buffers[i].pBufferData, buffers[i].pBufferData + buffers[i].dwBufferSize);
        return S_OK;
    }
};

int32_t Field(const std::vector<uint8_t>& message, size_t offset)
{
    return message.size() >= offset + 4 ? (int32_t)LoadLe32(message.data() + offset) : 0;
}

class TurnRaceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!app.Open(false)) SKIP_WITHOUT("a GL device") << app.error;
    }
    void TearDown() override
    {
        SetSharedRandomTableSender(nullptr);
        Net.peer = nullptr;
        Net.playerCount = 0;
        DiscardNetworkMessages();
        app.Close();
    }

    // A network exhibition of 3-minute halves on this computer, the other one at the far end.
    void Start(bool host)
    {
        MatchOptions o;
        o.network = true;
        o.networkHost = host;
        o.managers = 2;
        o.minutesPerHalf = 3;
        StartMatch(o);
        Net.peer = &peer;
        Net.playerCount = 2;
        Net.opponent = 0;
        // The host's refilled random table goes with the end of its turn, as in a session.
        SetSharedRandomTableSender([](const int32_t*, int) { SendGameMessage(GAME_MSGID_RANDOM_TABLE); });
    }

    // A frame of the match, and the main window taking up what has become due.
    static void Step()
    {
        Frame(0.02f);
        ProcessNetworkMessages();
    }
    static bool StepUntil(const std::function<bool()>& done, int frames = 4000)
    {
        for (int i = 0; i < frames && !done(); ++i) Step();
        return done();
    }

    // The other computer's message arriving and the main thread taking it up.
    static void Arrives(const std::vector<uint8_t>& message)
    {
        net_a::Receive(message);
        ProcessNetworkMessages();
    }
    static std::vector<uint8_t> EndTurnMessage(int32_t code)
    {
        const int32_t kept = OutgoingEndTurnCode;
        OutgoingEndTurnCode = code;
        std::vector<uint8_t> m = BuildGameMessage(GAME_MSGID_END_TURN);
        OutgoingEndTurnCode = kept;
        return m;
    }
    // The other computer's order to `player`: where he stands there and where he is to run.
    static std::vector<uint8_t> OrderMessage(int32_t player, const D3DVECTOR& at, const D3DVECTOR& target)
    {
        ModelInstance* m = PlayerModel(player);
        const D3DVECTOR keptAt = m->Position, keptTarget = MatchPlayers[player].moveTarget;
        m->Position = at;
        MatchPlayers[player].moveTarget = target;
        Net.messagePlayer = player;
        std::vector<uint8_t> message = BuildGameMessage(GAME_MSGID_PLAYER_STATE);
        m->Position = keptAt;
        MatchPlayers[player].moveTarget = keptTarget;
        return message;
    }
    // The other computer ends its planning phase: its ball, then the end of the phase.
    static void OtherEndsItsTurn()
    {
        Arrives(BuildGameMessage(GAME_MSGID_BALL_STATE));
        Arrives(BuildGameMessage(GAME_MSGID_PHASE_DONE));
    }
    // This computer's manager ends his turn and the other agrees.
    void EndOwnTurn()
    {
        RequestEndTurn();
        ASSERT_EQ(END_TURN_REQUEST, LastEndTurnCode());
        Arrives(EndTurnMessage(END_TURN_AGREE));
    }
    // The code of the last end-turn message this computer sent (0 when none).
    int32_t LastEndTurnCode() const
    {
        for (auto it = peer.sent.rbegin(); it != peer.sent.rend(); ++it)
            if (Field(*it, 0) == GAME_MSGID_END_TURN) return Field(*it, 4);
        return 0;
    }
    // How many messages of the type this computer sent.
    size_t SentOf(int32_t type) const
    {
        size_t n = 0;
        for (const auto& m : peer.sent) n += Field(m, 0) == type ? 1 : 0;
        return n;
    }

    MatchApp app;
    RecordingPeer peer;
};

TEST_F(TurnRaceTest, AGuestAheadAtHalfTimeIsNotLetOffTheKickOffBeforeTheHostHasWalkedIn)
{
    // The host: the first turn, then the last turn of the half.
    Start(true);
    EndOwnTurn();
    ASSERT_TRUE(StepUntil([] { return TurnPhase == PHASE_AWAY_PLANS; }));
    Minute = 2;
    Second = 55;
    OtherEndsItsTurn();
    ASSERT_EQ(TurnPhase, PHASE_AWAY_MOVES);
    ASSERT_TRUE(StepUntil([] { return MatchStopState == STOP_KICK_OFF; }));
    ASSERT_EQ(Half, 2);
    ASSERT_EQ(TurnPhase, PHASE_HOME_PLANS);  // half time leaves the home side's phase to the walk-in

    // The guest has walked in already and kicks off the second half. Its question to end the
    // turn comes while the host still walks in, and so do its ball and the end of its phase, as a
    // guest that had been agreed to sends them. Agreed in the walk-in, the host would take the end
    // of the guest's phase there for its own and move its side, then wait for the guest's kick-off
    // while the guest waits for the host's turn: both for good.
    peer.sent.clear();
    Arrives(EndTurnMessage(END_TURN_REQUEST));
    EXPECT_EQ(END_TURN_NOT_READY, LastEndTurnCode());
    OtherEndsItsTurn();
    EXPECT_EQ(MatchStopState, STOP_KICK_OFF);
    EXPECT_EQ(TurnPhase, PHASE_HOME_PLANS);

    // Once the host has walked in too, the guest's kick-off is played on both, and the next turn
    // is the host's, five seconds on.
    ASSERT_TRUE(StepUntil([] { return TurnPhase == PHASE_AWAY_MOVES; }));
    ASSERT_TRUE(StepUntil([] { return TurnPhase == PHASE_HOME_PLANS; }));
    EXPECT_EQ(MatchStopState, STOP_IN_PLAY);
    EXPECT_EQ(KickOffPending, 0);
    EXPECT_EQ(Minute, 3);
    EXPECT_EQ(Second, 5);
}

TEST_F(TurnRaceTest, AHostAheadAfterAGoalWaitsForTheGuestsWalkInWithItsOrdersAndItsTurn)
{
    // The guest: the away side has scored in its moving phase, and the home side kicks off.
    Start(false);
    KickOffPending = 0;
    TurnPhase = PHASE_AWAY_MOVES;
    MatchStopState = STOP_GOAL;
    GoalInProgress = 1;
    LastScoringSide = 1;
    PhaseTimer = 0.f;
    ASSERT_TRUE(StepUntil([] { return MatchStopState == STOP_KICK_OFF; }));
    ASSERT_EQ(TurnPhase, PHASE_HOME_PLANS);

    // The host has walked in and asks to end its turn at once: not while the guest still walks in.
    peer.sent.clear();
    Arrives(EndTurnMessage(END_TURN_REQUEST));
    EXPECT_EQ(END_TURN_NOT_READY, LastEndTurnCode());

    // It sends a player off from his kick-off spot and asks again. The order waits for the
    // guest's kick-off (which would otherwise put the player back on his spot here and not
    // there), and the question waits behind it.
    const D3DVECTOR spot{FormationX(5), 0.f, FormationZ(5)}, target{40.f, 0.f, 20.f};
    Arrives(OrderMessage(5, spot, target));
    peer.sent.clear();
    Arrives(EndTurnMessage(END_TURN_REQUEST));
    EXPECT_EQ(0, LastEndTurnCode());
    EXPECT_NE(MatchPlayers[5].moveTarget.x, target.x);

    ASSERT_TRUE(StepUntil([] { return MatchStopState == STOP_IN_PLAY; }));
    EXPECT_EQ(TurnPhase, PHASE_HOME_PLANS);
    EXPECT_EQ(MatchPlayers[5].moveTarget.x, target.x);
    EXPECT_EQ(MatchPlayers[5].moveTarget.z, target.z);
    EXPECT_EQ(END_TURN_AGREE, LastEndTurnCode());
}

TEST_F(TurnRaceTest, WhatAComputerAheadSendsWaitsForTheEndOfThisComputersMovingPhase)
{
    // The host moves its side; the guest has ended the same moving phase already.
    Start(true);
    EndOwnTurn();
    ASSERT_EQ(TurnPhase, PHASE_HOME_MOVES);
    const D3DVECTOR keeper = PlayerModel(AWAY_KEEPER)->Position;

    // The guest orders its keeper off his line for its own planning phase: here, still in the
    // home side's moving phase, the keeper must not set off (he moves in every moving phase).
    Arrives(OrderMessage(AWAY_KEEPER, keeper, D3DVECTOR{keeper.x - 8.f, 0.f, keeper.z + 6.f}));
    ASSERT_TRUE(StepUntil([] { return TurnPhase == PHASE_AWAY_PLANS; }));
    EXPECT_EQ(PlayerModel(AWAY_KEEPER)->Position.x, keeper.x);
    EXPECT_EQ(PlayerModel(AWAY_KEEPER)->Position.z, keeper.z);
    EXPECT_EQ(MatchPlayers[AWAY_KEEPER].moveTarget.x, keeper.x - 8.f);

    // A home player down for two turns; the guest, at the home side's planning phase first,
    // reports him a turn nearer to getting up while the host still moves the away side. He
    // counts that turn once.
    MatchPlayers[3].turnsDown = 2;
    OtherEndsItsTurn();
    ASSERT_EQ(TurnPhase, PHASE_AWAY_MOVES);
    const int32_t kept = MatchPlayers[3].turnsDown;
    MatchPlayers[3].turnsDown = 1;
    Net.messagePlayer = 3;
    const std::vector<uint8_t> upATurn = BuildGameMessage(GAME_MSGID_PLAYER_OUT);
    MatchPlayers[3].turnsDown = kept;
    Arrives(upATurn);
    ASSERT_TRUE(StepUntil([] { return TurnPhase == PHASE_HOME_PLANS; }));
    EXPECT_EQ(MatchPlayers[3].turnsDown, 1);
}

TEST_F(TurnRaceTest, AnAgreementThatFindsTheManagerAimingAKickEndsNothing)
{
    // The host plans with the ball at the feet of its selected player, past the kick-off.
    Start(true);
    EndOwnTurn();
    ASSERT_TRUE(StepUntil([] { return TurnPhase == PHASE_AWAY_PLANS; }));
    OtherEndsItsTurn();
    ASSERT_TRUE(StepUntil([] { return TurnPhase == PHASE_HOME_PLANS; }));
    ASSERT_EQ(KickOffPending, 0);
    SelectedPlayer = 9;
    BallHolder = LastHolder = 10;
    GiveBallToPlayer(9);

    // He asks to end the turn, then takes to aiming a pass before the guest's answer comes: the
    // answer must not end the guest's wait for a turn that does not end here.
    peer.sent.clear();
    RequestEndTurn();
    ToggleKickAim();
    ASSERT_EQ(KickAimMode, 1);
    Arrives(EndTurnMessage(END_TURN_AGREE));
    EXPECT_EQ(0u, SentOf(GAME_MSGID_PHASE_DONE));
    EXPECT_EQ(TurnPhase, PHASE_HOME_PLANS);

    // Done aiming, he asks again, and the turn ends on both.
    ToggleKickAim();
    RequestEndTurn();
    Arrives(EndTurnMessage(END_TURN_AGREE));
    EXPECT_EQ(1u, SentOf(GAME_MSGID_PHASE_DONE));
    EXPECT_EQ(TurnPhase, PHASE_HOME_MOVES);
}

TEST_F(TurnRaceTest, ARestartKickOrderedOnTheOtherComputerNamesTheSameTakerHere)
{
    // Both computers hold the same match: the home side plans a free kick whose taker has the
    // ball at his feet (the same seed and the same turns give the same match each time).
    const auto reachFreeKick = [this] {
        Start(true);
        EndOwnTurn();
        ASSERT_TRUE(StepUntil([] { return TurnPhase == PHASE_AWAY_PLANS; }));
        OtherEndsItsTurn();
        ASSERT_TRUE(StepUntil([] { return TurnPhase == PHASE_HOME_PLANS; }));
        AwardFoul(14, 5);
        EndOwnTurn();
        ASSERT_TRUE(StepUntil([] { return TurnPhase == PHASE_AWAY_PLANS; }));
        OtherEndsItsTurn();
        ASSERT_TRUE(StepUntil([] { return TurnPhase == PHASE_HOME_PLANS; }));
        ASSERT_EQ(MatchStopState, STOP_FOUL);
        ASSERT_EQ(BallHolder, 6);
    };
    // What the host's manager sends for his order to player 5 and with the end of his turn.
    const auto endHostTurn = [this] {
        Net.messagePlayer = 5;
        std::vector<std::vector<uint8_t>> sent{BuildGameMessage(GAME_MSGID_PLAYER_STATE)};
        peer.sent.clear();
        EndOwnTurn();
        for (const auto& m : peer.sent)
            if (Field(m, 0) != GAME_MSGID_END_TURN) sent.push_back(m);
        return sent;
    };

    // The taker's passes and shots: a kick counts in them on both computers.
    const auto kickRecord = [] {
        const SquadPlayer* s = SquadPlayerOf(5);
        const auto& m = s->lastMatch;
        return std::vector<int32_t>{m.passAttempts[0], m.passAttempts[1], m.passAttempts[2], m.goodPasses[0],
                                    m.goodPasses[1], m.goodPasses[2], m.attemptsOnGoal};
    };

    // The host: its manager takes the free kick short; the ball lies loose at the end of the
    // moving phase, and next turn he sends the taker onto it.
    reachFreeKick();
    if (HasFatalFailure()) return;
    const uint64_t before = SharedMatchHash();
    const D3DVECTOR spot = PlayerModel(5)->Position;
    const auto hostRecordBefore = kickRecord();
    OrderKick(5, spot.x + 6.f, spot.z);
    ASSERT_EQ(BallInFlight, 1);
    const auto kickTurn = endHostTurn();
    ASSERT_EQ(TurnPhase, PHASE_HOME_MOVES);
    const int32_t hostTaker = SetPieceTaker, hostTouch = LastTouchSide, hostKicker = LastKicker;
    ASSERT_TRUE(StepUntil([] { return TurnPhase == PHASE_AWAY_PLANS; }));
    const uint64_t hostAfterKick = SharedMatchHash();
    const auto hostRecordAfter = kickRecord();
    OtherEndsItsTurn();
    ASSERT_TRUE(StepUntil([] { return TurnPhase == PHASE_HOME_PLANS; }));
    ASSERT_EQ(BallHolder, 0);
    const D3DVECTOR loose = BallModel()->Position;
    OrderRun(5, loose.x, loose.z);
    const auto runTurn = endHostTurn();
    ASSERT_TRUE(StepUntil([] { return TurnPhase == PHASE_AWAY_PLANS; }));
    const int32_t hostHolder = BallHolder;
    const uint64_t hostAfterRun = SharedMatchHash();

    // The guest, at the same point of the same match, takes the host's orders and turns: the
    // kick's taker and side are those the host moves with, and so are both moving phases.
    reachFreeKick();
    if (HasFatalFailure()) return;
    ASSERT_EQ(before, SharedMatchHash());
    ASSERT_EQ(hostRecordBefore, kickRecord());
    Net.isHost = false;
    for (const auto& m : kickTurn) Arrives(m);
    ASSERT_EQ(TurnPhase, PHASE_HOME_MOVES);
    EXPECT_EQ(hostTaker, 6);
    EXPECT_EQ(SetPieceTaker, hostTaker);
    EXPECT_EQ(LastTouchSide, hostTouch);
    EXPECT_EQ(hostKicker, 5);
    EXPECT_EQ(LastKicker, hostKicker) << "a goal from the kick is credited to its kicker on both";
    ASSERT_TRUE(StepUntil([] { return TurnPhase == PHASE_AWAY_PLANS; }));
    EXPECT_EQ(hostAfterKick, SharedMatchHash());
    EXPECT_NE(hostRecordBefore, hostRecordAfter);
    EXPECT_EQ(hostRecordAfter, kickRecord()) << "the short pass counts in the taker's statistics on both";
    EndOwnTurn();
    ASSERT_TRUE(StepUntil([] { return TurnPhase == PHASE_HOME_PLANS; }));
    for (const auto& m : runTurn) Arrives(m);
    ASSERT_EQ(TurnPhase, PHASE_HOME_MOVES);
    ASSERT_TRUE(StepUntil([] { return TurnPhase == PHASE_AWAY_PLANS; }));
    EXPECT_EQ(hostHolder, BallHolder);
    EXPECT_EQ(hostAfterRun, SharedMatchHash());
}

}  // namespace
