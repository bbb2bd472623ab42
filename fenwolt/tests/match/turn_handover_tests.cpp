// What a turn leaves behind when it hands over: the path dots start from where the players stand
// after a moving phase and are gone while nobody plans (walk-ins, full time); a loaded game shows
// the buttons of its own turn; nothing invites a move at full time, where End Turn and System keep
// their captions; and a restart of the computer's is taken on its turn however close an opponent
// stands, by a taker who stays on the ball.
#include "fenwolt/tests/match/match_screen_support.h"

#include "fenwolt/Game/Engine/Instances.h"
#include "fenwolt/Game/Engine/Sprites.h"
#include "fenwolt/Game/FrontEnd/Saves.h"
#include "fenwolt/Game/Match/Banners.h"
#include "fenwolt/Game/Match/MatchScreen.h"
#include "fenwolt/Game/Match/Previews.h"
#include "fenwolt/Game/Match/Rules.h"
#include "fenwolt/Game/Match/TurnEngine.h"
#include "fenwolt/Game/ScreenSlots.h"
#include "fenwolt/Game/Screens.h"
#include "fenwolt/common/Utilities.h"
#include "platform/tests/support/test_requirements.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

using namespace matchdrive;
using matchgeo::GroundDistance;

namespace {

constexpr float STEP = 0.02f;

D3DVECTOR At(int32_t player) { return PlayerModel(player)->Position; }
D3DVECTOR BallSpot() { return BallModel()->Position; }

bool Visible(int32_t model)
{
    const ModelInstance* m = InstanceAt(model);
    return m && m->Visible;
}

bool SpriteShown(unsigned handle)
{
    const Sprite* s = SpriteAt(handle);
    return s && s->IsVisible();
}

std::string SpriteText(unsigned handle)
{
    const Sprite* s = SpriteAt(handle);
    return s ? std::string(s->Text) : std::string();
}

int32_t VisiblePathDots()
{
    int32_t n = 0;
    for (int32_t slot = 0; slot < SIDE_SIZE; ++slot)
        for (int32_t i = 0; i < PATH_DOTS; ++i) n += Visible(PathDotModels[slot][i]) ? 1 : 0;
    return n;
}

class TurnHandOverTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // With a device: the banner and button sprites carry their texts.
        if (!app.Open(true)) SKIP_WITHOUT("a GL device") << app.error;
        // Saved games go to a folder of this test's own, not to the data set's.
        std::error_code ec;
        std::filesystem::remove(app.Dir() / "saves", ec);
        std::filesystem::create_directory(app.Dir() / "saves", ec);
        StartMatch(MatchOptions{});
        // The kick-off turn: the automatic pass is played, and the home side plans again.
        EndTurn();
        ASSERT_TRUE(StepUntilHomePlans());
        ASSERT_EQ(MatchStopState, STOP_IN_PLAY);
    }
    void TearDown() override { app.Close(); }

    // Frames until the home side plans (false after `limit` frames).
    bool StepUntilHomePlans(int limit = 20000)
    {
        for (int i = 0; i < limit; ++i) {
            if (TurnPhase == PHASE_HOME_PLANS && MatchStopState != STOP_KICK_OFF && !GoalInProgress) return true;
            Frame(STEP);
        }
        return false;
    }
    MatchApp app;
};

// --- Path dots ---------------------------------------------------------------------------------------
TEST_F(TurnHandOverTest, ThePathDotsStartFromWhereThePlayerStandsAfterAMovingPhase)
{
    const int32_t runner = 5;
    const D3DVECTOR from = At(runner);
    OrderRun(runner, from.x + 30.f, from.z);
    const D3DVECTOR target = MatchPlayers[runner].moveTarget;
    ASSERT_GT(GroundDistance(from, target), 25.f);
    EXPECT_LT(GroundDistance(InstanceAt(PathDotModels[runner][0])->Position, from), 0.01f);

    EndTurn();
    ASSERT_EQ(TurnPhase, PHASE_HOME_MOVES);
    EXPECT_EQ(VisiblePathDots(), 0) << "no dots while the side moves";
    ASSERT_TRUE(StepUntilHomePlans());

    // He ran part of the way; his dots now start at his feet and still end before his target.
    const D3DVECTOR now = At(runner);
    ASSERT_GT(GroundDistance(now, from), 2.f);
    ASSERT_GT(GroundDistance(now, target), 2.f);
    const ModelInstance* first = InstanceAt(PathDotModels[runner][0]);
    ASSERT_TRUE(first && first->Visible);
    EXPECT_LT(GroundDistance(first->Position, now), 0.01f);
    float ux = 0.f, uz = 0.f;
    ASSERT_TRUE(matchgeo::GroundDirection(now, target, ux, uz));
    const D3DVECTOR second = InstanceAt(PathDotModels[runner][1])->Position;
    EXPECT_GT((second.x - now.x) * ux + (second.z - now.z) * uz, 0.f) << "the row runs toward his target";
}

TEST_F(TurnHandOverTest, NoPathDotsWhileThePlayersWalkInToAKickOff)
{
    // After a goal of the computer's the home side kicks off; at half time the side that did
    // not kick off the match does. Both walk-ins move players nobody ordered.
    struct Case {
        const char* what;
        bool halfTime;
    } cases[] = {{"after the computer's goal", false}, {"at half time", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (KickOffPending) {
            EndTurn();
            Frame(STEP);
            ASSERT_TRUE(StepUntilHomePlans());
        }
        ASSERT_EQ(MatchStopState, STOP_IN_PLAY);
        if (c.halfTime) {
            FirstKickOffSide = 1;  // the second half is the home side's to kick off
            Minute = HalfEndMinute(1) - 1;
            Second = 55;
            EndTurn();
        } else {
            CheckGoal(2);  // the goal the away side scores in
            ASSERT_TRUE(GoalInProgress);
        }
        int frames = 0, walkInFrames = 0;
        for (; frames < 5000 && walkInFrames < 400; ++frames) {
            Frame(STEP);
            if (MatchStopState != STOP_KICK_OFF) continue;
            ++walkInFrames;
            ASSERT_EQ(VisiblePathDots(), 0) << "frame " << frames << " of the walk-in";
        }
        ASSERT_GT(walkInFrames, 0);
        ASSERT_TRUE(StepUntilHomePlans());
    }
}

// --- A loaded game ------------------------------------------------------------------------------------
TEST_F(TurnHandOverTest, ALoadedGameShowsTheButtonsOfItsOwnTurn)
{
    const struct {
        bool selectedHolds;
    } cases[] = {{false}, {true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.selectedHolds ? "the selected player holds the ball" : "he does not");
        ASSERT_EQ(TurnPhase, PHASE_HOME_PLANS);
        const int32_t selected = 6;
        BallHolder = c.selectedHolds ? selected + 1 : 0;
        Select(selected);
        ASSERT_TRUE(SaveGame(0));

        // A new match screen, built as the load-game screen has it built: the scene's own
        // kick-off (whose striker holds the ball) first, then the saved turn over it.
        LoadRequested = 1;
        LoadSlot = 0;
        SetScreen(ScreenId::Match);
        ASSERT_EQ(SelectedPlayer, selected);
        ASSERT_EQ(BallHolder, c.selectedHolds ? selected + 1 : 0);
        EXPECT_EQ(SpriteShown(SPRITE_CAPTION_PASS), c.selectedHolds);
        EXPECT_EQ(SpriteShown(SPRITE_BUTTON_PASS), c.selectedHolds);
        EXPECT_TRUE(SpriteShown(SPRITE_CAPTION_END_TURN));
        EXPECT_TRUE(SpriteShown(SPRITE_CAPTION_SYSTEM));
        EXPECT_EQ(SpriteText(SPRITE_TURN_DETAIL).find("with Ball") != std::string::npos, c.selectedHolds);
        // Pass then does what it shows: it aims a kick only for the holder.
        ToggleKickAim();
        EXPECT_EQ(KickAimMode != 0, c.selectedHolds);
        if (KickAimMode) ToggleKickAim();
        BallHolder = 0;
    }
}

// --- Full time ---------------------------------------------------------------------------------------
// Full time comes with the turn that hands the home side its planning: the turn lines go blank
// and no kick, substitution or path is offered, while End Turn and System stay as in any planning
// phase, each picture with its caption (End Turn then ends nothing).
TEST_F(TurnHandOverTest, AtFullTimeNothingInvitesAMoveAndTheButtonsKeepTheirCaptions)
{
    BallHolder = 10;
    Select(9);
    ASSERT_TRUE(SpriteShown(SPRITE_CAPTION_PASS));
    OrderRun(4, At(4).x - 20.f, At(4).z);
    Half = 2;
    Minute = HalfEndMinute(2) - 1;
    Second = 55;
    EndTurn();
    for (int i = 0; i < 20000 && MatchStopState != STOP_FULL_TIME; ++i) Frame(STEP);
    ASSERT_EQ(MatchStopState, STOP_FULL_TIME);
    ASSERT_EQ(TurnPhase, PHASE_HOME_PLANS);

    EXPECT_EQ(SpriteText(SPRITE_REFEREE_BANNER), "FULL TIME");
    for (unsigned line : {SPRITE_TURN_BANNER, SPRITE_TURN_DETAIL}) {
        const std::string text = SpriteText(line);
        for (const char* word : {"to Move", "Moving", "Thinking", "with Ball", "to Pass", "to Shoot"})
            EXPECT_EQ(text.find(word), std::string::npos) << "'" << text << "'";
    }
    for (unsigned caption : {SPRITE_CAPTION_PASS, SPRITE_CAPTION_SUBSTITUTE})
        EXPECT_FALSE(SpriteShown(caption)) << caption;
    EXPECT_EQ(VisiblePathDots(), 0);
    const struct {
        unsigned picture, caption;
        const char* text;
    } buttons[] = {{SPRITE_BUTTON_END_TURN, SPRITE_CAPTION_END_TURN, "End Turn"},
                   {SPRITE_BUTTON_SYSTEM, SPRITE_CAPTION_SYSTEM, "System"}};
    for (const auto& b : buttons) {
        EXPECT_TRUE(SpriteShown(b.picture)) << b.text;
        EXPECT_TRUE(SpriteShown(b.caption)) << b.text;
        EXPECT_EQ(SpriteText(b.caption), b.text);
    }

    // Selecting the holder during the pause offers no kick either, and End Turn ends no turn.
    Select(9);
    EXPECT_FALSE(SpriteShown(SPRITE_CAPTION_PASS));
    EndTurn();
    EXPECT_EQ(TurnPhase, PHASE_HOME_PLANS);
    EXPECT_EQ(MatchStopState, STOP_FULL_TIME);
}

// --- Restarts -----------------------------------------------------------------------------------------
class RestartTakenTest : public TurnHandOverTest {
protected:
    // The computer's taker holds the ball of the restart just awarded, with a home player
    // standing against him and a stale order that would take him 30 units away.
    void TakerOnTheBall(int32_t taker, int32_t opponent)
    {
        const D3DVECTOR spot = BallSpot();
        ModelInstance* t = PlayerModel(taker);
        t->Position = D3DVECTOR{spot.x, 0.f, spot.z};
        t->Rotation.y = 0.f;
        t->Moved = 1;
        ModelInstance* o = PlayerModel(opponent);
        o->Position = D3DVECTOR{spot.x + 0.4f, 0.f, spot.z + 0.2f};
        o->Moved = 1;
        MatchPlayers[opponent].moveTarget = o->Position;
        BallHolder = LastHolder = taker + 1;
        TakerHasBall = 1;
        MatchPlayers[taker].moveTarget = D3DVECTOR{spot.x - 30.f, 0.f, spot.z};
        MatchPlayers[taker].aiCounter = 0;
    }
    // Full turns with a passive home side until the computer kicks: the number of its planning
    // turns up to and including the kick, 0 when it never kicks. Until then the restart stands
    // as it was given and the taker stays on its ball.
    int32_t ComputerTurnsUntilTheKick(int32_t state, int32_t taker)
    {
        int32_t turns = 0;
        int32_t seen = -1;
        for (int frame = 0; frame < 40000 && turns < 12; ++frame) {
            if (TurnPhase == PHASE_HOME_PLANS && seen != PHASE_HOME_PLANS) EndTurn();
            seen = TurnPhase;
            Frame(STEP);
            if (seen == PHASE_AWAY_PLANS && TurnPhase == PHASE_AWAY_MOVES) ++turns;
            if (BallInFlight) return turns;
            EXPECT_EQ(MatchStopState, state) << "turn " << turns;
            EXPECT_EQ(BallHolder, taker + 1) << "turn " << turns;
            EXPECT_LT(GroundDistance(At(taker), BallSpot()), 0.05f) << "turn " << turns;
            if (MatchStopState != state || BallHolder != taker + 1) return 0;
        }
        return 0;
    }
    // The home side ends its turns until the restart is over (false when it never is).
    bool PlayOnUntilInPlay()
    {
        int32_t seen = -1;
        for (int frame = 0; frame < 40000; ++frame) {
            if (!RestartPending && MatchStopState == STOP_IN_PLAY) return true;
            if (TurnPhase == PHASE_HOME_PLANS && seen != PHASE_HOME_PLANS) EndTurn();
            seen = TurnPhase;
            Frame(STEP);
        }
        return false;
    }
};

TEST_F(RestartTakenTest, TheComputersRestartIsTakenOnItsTurnWithAnOpponentAgainstTheTaker)
{
    // The computer attacks the low-x goal in the first half and defends the high-x one.
    struct Case {
        const char* what;
        int32_t state, turn;
    } cases[] = {{"foul free kick", STOP_FOUL, 6},
                 {"offside free kick", STOP_OFFSIDE, 4},
                 {"goal kick", STOP_GOAL_KICK, 4},
                 {"corner", STOP_CORNER, 4},
                 {"throw-in", STOP_THROW_IN, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(StepUntilHomePlans());
        ASSERT_EQ(MatchStopState, STOP_IN_PLAY);
        BallHolder = 0;
        int32_t taker = 17, opponent = 8;
        ModelInstance* ball = BallModel();
        switch (c.state) {
        case STOP_FOUL:
            // His own keeper in his area: a tackle on him there is always a foul.
            taker = AWAY_KEEPER;
            PlayerModel(taker)->Position = D3DVECTOR{108.f, 0.f, 44.f};
            PlayerModel(opponent)->Position = D3DVECTOR{107.6f, 0.f, 44.f};
            AwardFoul(opponent, taker);
            break;
        case STOP_OFFSIDE:
            PlayerModel(opponent)->Position = D3DVECTOR{70.f, 0.f, 30.f};
            AwardOffside(0, opponent);
            break;
        case STOP_GOAL_KICK:
            taker = AWAY_KEEPER;
            LastTouchSide = 1;
            ball->Position = D3DVECTOR{114.9f, BALL_REST_HEIGHT, 30.f};
            AwardGoalKick();
            break;
        case STOP_CORNER:
            LastTouchSide = 1;
            ball->Position = D3DVECTOR{4.2f, BALL_REST_HEIGHT, 20.f};
            AwardCorner();
            break;
        default:
            LastTouchSide = 1;
            ball->Position = D3DVECTOR{50.f, BALL_REST_HEIGHT, 4.4f};
            AwardThrowIn();
            break;
        }
        MatchStopState = c.state;
        ASSERT_EQ(RestartSide, 1);
        ASSERT_TRUE(RestartPending);
        TakerOnTheBall(taker, opponent);
        const int32_t fouls = SquadPlayerOf(opponent)->lastMatch.foulsDone;

        EXPECT_EQ(ComputerTurnsUntilTheKick(c.state, taker), c.turn);
        EXPECT_EQ(SquadPlayerOf(opponent)->lastMatch.foulsDone, fouls) << "the opponent fouled the taker";
        // The next case begins from open play (a poor kick may have left the ball out again).
        if (!PlayOnUntilInPlay()) {
            ResetBallForRestart();
            HideRefereeBanner();
        }
    }
}

TEST_F(RestartTakenTest, AManagersTakerIsNotSentAwayFromTheBall)
{
    // A foul on a home player: he holds the free kick's ball, and a run order leaves him there.
    const int32_t taker = 6, fouler = 16;
    PlayerModel(taker)->Position = D3DVECTOR{45.f, 0.f, 30.f};
    PlayerModel(fouler)->Position = D3DVECTOR{45.5f, 0.f, 30.f};
    AwardFoul(fouler, taker);
    ASSERT_EQ(RestartSide, 0);
    BallHolder = LastHolder = taker + 1;
    const D3DVECTOR spot = BallSpot();
    OrderRun(taker, spot.x + 20.f, spot.z + 10.f);
    EXPECT_LT(GroundDistance(MatchPlayers[taker].moveTarget, spot), 0.01f);
    EndTurn();
    ASSERT_EQ(TurnPhase, PHASE_HOME_MOVES);
    for (int i = 0; i < 200 && TurnPhase == PHASE_HOME_MOVES; ++i) {
        Frame(STEP);
        ASSERT_LT(GroundDistance(At(taker), spot), 0.05f);
    }
    EXPECT_EQ(BallHolder, taker + 1);
    EXPECT_EQ(MatchStopState, STOP_FOUL);
}

}  // namespace
