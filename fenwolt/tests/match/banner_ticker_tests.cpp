// The event ticker's once-per-turn rule, its line reuse and queueing and its scrolling; the
// banner texts by phase and stop state and the scoreboard of a league match away from home
// (those read the sprites' texts, so they draw on the headless device).
#include "fenwolt/tests/match/match_screen_support.h"

#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/FrontEnd/League.h"
#include "fenwolt/Game/FrontEnd/SquadEditor.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Match/Banners.h"
#include "fenwolt/Game/Match/Hud.h"
#include "fenwolt/Game/Match/MatchScreen.h"
#include "fenwolt/Game/Engine/Sprites.h"
#include "platform/tests/support/test_requirements.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace matchdrive;

namespace {

int LinesInUse()
{
    int n = 0;
    for (uint8_t u : TickerLineInUse) n += u;
    return n;
}

class TickerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!app.Open(false)) SKIP_WITHOUT("a GL device") << app.error;
        StartMatch(MatchOptions{});
        ResetEventTicker();
    }
    MatchApp app;
};

TEST_F(TickerTest, ACodeIsReportedOncePerTurn)
{
    LogMatchEvent(EVENT_TACKLED, 3, 15);
    LogMatchEvent(EVENT_TACKLED, 4, 16);
    EXPECT_EQ(LinesInUse(), 1) << "two tackles in one turn make one line";
    LogMatchEvent(EVENT_PASSES, 4, PLAYER_NONE);
    EXPECT_EQ(LinesInUse(), 2) << "another code still reports";
    ClearEventFlags();
    LogMatchEvent(EVENT_TACKLED, 5, 17);
    EXPECT_EQ(LinesInUse(), 3) << "the next turn reports a tackle again";
    // Codes without a text only set their flag; out-of-range codes are ignored.
    LogMatchEvent(EVENT_KICK_OFF_PASS, PLAYER_NONE, PLAYER_NONE);
    LogMatchEvent(10, PLAYER_NONE, PLAYER_NONE);
    LogMatchEvent(-1, 0, 0);
    LogMatchEvent(24, 0, 0);
    LogMatchEvent(1000, 0, 0);
    EXPECT_EQ(LinesInUse(), 3);
    EXPECT_EQ(EventFlags[EVENT_KICK_OFF_PASS], 1);
}

TEST_F(TickerTest, ANewReportQueuesBehindTheLinesOnScreen)
{
    LogMatchEvent(EVENT_PASSES, 9, PLAYER_NONE);
    EXPECT_FLOAT_EQ(TickerLineX[0], TICKER_START_X);
    const float firstEnd = TickerLineX[0] + TickerLineWidth[0];
    EXPECT_GT(TickerLineWidth[0], 100.f);
    LogMatchEvent(EVENT_SHOOTS, 9, PLAYER_NONE);
    EXPECT_FLOAT_EQ(TickerLineX[1], firstEnd + 10.f);
    // Once the lines have scrolled far enough left, a new one starts at the right edge again.
    TickerLineX[0] = -50.f;
    TickerLineX[1] = 100.f;
    TickerLineWidth[1] = 200.f;
    LogMatchEvent(EVENT_CONTROLLED, 9, PLAYER_NONE);
    EXPECT_FLOAT_EQ(TickerLineX[2], TICKER_START_X);
    TickerLineX[1] = 700.f;
    LogMatchEvent(EVENT_HEADED, 9, PLAYER_NONE);
    EXPECT_FLOAT_EQ(TickerLineX[3], std::max(TickerLineX[2] + TickerLineWidth[2], 900.f) + 10.f);
}

TEST_F(TickerTest, WithAllTenLinesInUseANewReportTakesLineZeroOver)
{
    static const int32_t codes[] = {8, 9, 11, 12, 13, 14, 15, 16, 17, 18};
    for (int32_t code : codes) LogMatchEvent(code, 2, 13);
    ASSERT_EQ(LinesInUse(), 10);
    const float xs[3] = {TickerLineX[0], TickerLineX[1], TickerLineX[9]};
    EXPECT_LT(xs[0], xs[1]);
    LogMatchEvent(EVENT_CONTROLLED, 2, PLAYER_NONE);
    EXPECT_EQ(LinesInUse(), 10);
    // Line 0 was reused: it now queues behind line 9, the furthest of the others.
    EXPECT_FLOAT_EQ(TickerLineX[0], xs[2] + TickerLineWidth[9] + 10.f);
}

TEST_F(TickerTest, LinesScrollAt60PixelsASecondAndAreFreedPastTheLeftEdge)
{
    LogMatchEvent(EVENT_PASSES, 9, PLAYER_NONE);
    const float width = TickerLineWidth[0];
    TheApp.ElapsedTime = 0.5f;
    ScrollEventTicker();
    EXPECT_FLOAT_EQ(TickerLineX[0], TICKER_START_X - 30.f);
    // Just before its right end passes x 0 the line is still in use.
    TickerLineX[0] = -width + 0.5f;
    TheApp.ElapsedTime = 0.001f;
    ScrollEventTicker();
    EXPECT_EQ(TickerLineInUse[0], 1);
    TheApp.ElapsedTime = 0.1f;
    ScrollEventTicker();
    EXPECT_EQ(TickerLineInUse[0], 0);
    EXPECT_EQ(LinesInUse(), 0);
}

TEST_F(TickerTest, PlayerLabelsNameTheSideAndShirtAndSwapInALeagueMatchAway)
{
    char label[64];
    std::snprintf(MatchPlayers[4].name, sizeof MatchPlayers[4].name, "Quorran");
    std::snprintf(MatchPlayers[15].name, sizeof MatchPlayers[15].name, "Velisk");
    FormatPlayerLabel(label, sizeof label, 4);
    EXPECT_STREQ(label, "(H5) Quorran");
    FormatPlayerLabel(label, sizeof label, 15);
    EXPECT_STREQ(label, "(A5) Velisk");
    FormatPlayerLabel(label, sizeof label, PLAYER_NONE);
    EXPECT_STREQ(label, "");
    Competition.gameMode = MODE_LEAGUE;
    int32_t away = 0;
    while (away < 30 && IsLeagueHomeMatch(away)) ++away;
    ASSERT_LT(away, 30);
    Competition.leagueMatch = away;
    FormatPlayerLabel(label, sizeof label, 4);
    EXPECT_STREQ(label, "(A5) Quorran");
    FormatPlayerLabel(label, sizeof label, 15);
    EXPECT_STREQ(label, "(H5) Velisk");
    Competition.gameMode = MODE_EXHIBITION;
}

// The banners on the headless device: the texts are read back from the sprites.
class BannerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!app.Open(true)) SKIP_WITHOUT("a GL device") << app.error;
        std::snprintf(TeamNames[0], TEAM_NAME_SIZE, "Harrowby");
        std::snprintf(TeamNames[1], TEAM_NAME_SIZE, "Oskel");
        StartMatch(MatchOptions{});
        std::snprintf(TeamNames[0], TEAM_NAME_SIZE, "Harrowby");
        std::snprintf(TeamNames[1], TEAM_NAME_SIZE, "Oskel");
    }
    void TearDown() override
    {
        Competition.gameMode = MODE_EXHIBITION;
        app.Close();
    }
    static std::string Text(unsigned handle)
    {
        const Sprite* s = SpriteAt(handle);
        return s ? std::string(s->Text) : std::string();
    }
    static bool Visible(unsigned handle)
    {
        const Sprite* s = SpriteAt(handle);
        return s && s->IsVisible();
    }
    MatchApp app;
};

TEST_F(BannerTest, TheTurnBannerSaysWhoseTurnItIsAndWhatTheSelectedPlayerDoes)
{
    std::snprintf(MatchPlayers[9].name, sizeof MatchPlayers[9].name, "Tamsley");
    SelectedPlayer = 9;
    BallHolder = 10;
    KickAimMode = 0;
    const struct {
        int32_t phase, managers;
        const char* text;
    } cases[] = {{0, 1, "Harrowby to Move..."}, {1, 1, "Harrowby Moving..."}, {2, 1, "Oskel Thinking..."},
                 {2, 2, "Oskel to Move..."},    {3, 2, "Oskel Moving..."}};
    for (const auto& c : cases) {
        TurnPhase = c.phase;
        MatchSetup.managers = c.managers;
        ShowTurnBanner();
        EXPECT_EQ(Text(SPRITE_TURN_BANNER), c.text);
    }
    MatchSetup.managers = 1;
    EXPECT_EQ(Text(SPRITE_TURN_DETAIL), "10:Tamsley with Ball");
    KickAimMode = 1;
    ShotClass = 0;
    ShowTurnBanner();
    EXPECT_EQ(Text(SPRITE_TURN_DETAIL), "10:Tamsley to Pass");
    ShotClass = 1;
    ShowTurnBanner();
    EXPECT_EQ(Text(SPRITE_TURN_DETAIL), "10:Tamsley to Shoot");
    KickAimMode = 0;
    BallHolder = 0;
    SelectedPlayer = 13;
    std::snprintf(MatchPlayers[13].name, sizeof MatchPlayers[13].name, "Brune");
    ShowTurnBanner();
    EXPECT_EQ(Text(SPRITE_TURN_DETAIL), "3:Brune to Move");
    EXPECT_EQ(Text(SPRITE_CAPTION_END_TURN), "End Turn");
    // Centred on x 400.
    const Sprite* s = SpriteAt(SPRITE_TURN_DETAIL);
    EXPECT_NEAR((s->ScreenRect.left + s->ScreenRect.right) / 2.0, 400.0, 1.0);
}

TEST_F(BannerTest, TheRefereeBannerNamesTheStoppage)
{
    KickOffPending = 0;
    RestartSide = 0;
    PenaltyEnd = 0;
    const struct {
        int32_t state, side, penalty;
        const char* text;
    } cases[] = {{STOP_GOAL, 0, 0, "GOAL!"},
                 {STOP_THROW_IN, 1, 0, "THROW IN FOR Oskel"},
                 {STOP_GOAL_KICK, 0, 0, "GOAL KICK FOR Harrowby"},
                 {STOP_CORNER, 1, 0, "CORNER FOR Oskel"},
                 {STOP_KICK_OFF, 0, 0, "KICK OFF"},
                 {STOP_FULL_TIME, 0, 0, "FULL TIME"},
                 {STOP_OFFSIDE, 0, 0, "Oskel OFFSIDE"},
                 {STOP_FOUL, 1, 0, "FOUL BY Harrowby"},
                 {STOP_FOUL, 1, PENALTY_LOW_END, "PENALTY FOR Oskel"}};
    for (const auto& c : cases) {
        MatchStopState = c.state;
        RestartSide = c.side;
        PenaltyEnd = c.penalty;
        ShowRefereeBanner();
        EXPECT_EQ(Text(SPRITE_REFEREE_BANNER), c.text);
        EXPECT_TRUE(Visible(SPRITE_REFEREE_BANNER));
        EXPECT_FALSE(SpriteAt(SPRITE_REFEREE_BANNER)->IsActive());
    }
    // In play the banner goes, except for the automatic kick-off pass.
    MatchStopState = STOP_IN_PLAY;
    PenaltyEnd = 0;
    ShowRefereeBanner();
    EXPECT_FALSE(Visible(SPRITE_REFEREE_BANNER));
    KickOffPending = 1;
    ShowRefereeBanner();
    EXPECT_EQ(Text(SPRITE_REFEREE_BANNER), "AUTOMATIC KICK OFF PASS");
    EXPECT_TRUE(Visible(SPRITE_REFEREE_BANNER));
    EXPECT_EQ(EventFlags[EVENT_KICK_OFF_PASS], 1);
}

TEST_F(BannerTest, TheScoreboardShowsTheManagersTeamOnTheRightInALeagueMatchAway)
{
    TeamGoals[0] = 2;
    TeamGoals[1] = 1;
    ShowScoreboard();
    EXPECT_EQ(Text(SPRITE_HOME_NAME), "Harrowby");
    EXPECT_EQ(Text(SPRITE_HOME_GOALS), "2");
    EXPECT_EQ(Text(SPRITE_AWAY_GOALS), "1");
    EXPECT_EQ(Text(SPRITE_AWAY_NAME), "Oskel");
    EXPECT_EQ(SpriteAt(SPRITE_HOME_NAME)->ScreenRect.right, 330);

    Competition.gameMode = MODE_LEAGUE;
    int32_t away = 0;
    while (away < 30 && IsLeagueHomeMatch(away)) ++away;
    Competition.leagueMatch = away;
    ShowScoreboard();
    EXPECT_EQ(Text(SPRITE_HOME_NAME), "Oskel");
    EXPECT_EQ(Text(SPRITE_HOME_GOALS), "1");
    EXPECT_EQ(Text(SPRITE_AWAY_GOALS), "2");
    EXPECT_EQ(Text(SPRITE_AWAY_NAME), "Harrowby");
    int32_t home = 0;
    while (home < 30 && !IsLeagueHomeMatch(home)) ++home;
    Competition.leagueMatch = home;
    ShowScoreboard();
    EXPECT_EQ(Text(SPRITE_HOME_NAME), "Harrowby");
}

TEST_F(BannerTest, TickerLinesAreTheReportsTexts)
{
    ResetEventTicker();
    std::snprintf(MatchPlayers[3].name, sizeof MatchPlayers[3].name, "Orrin");
    std::snprintf(MatchPlayers[14].name, sizeof MatchPlayers[14].name, "Pell");
    LogMatchEvent(EVENT_TACKLED, 3, 14);
    EXPECT_EQ(Text(SPRITE_TICKER_FIRST), "(H4) Orrin Tackled by (A4) Pell...");
    LogMatchEvent(EVENT_NO_MORE_SUBS, PLAYER_NONE, PLAYER_NONE);
    EXPECT_EQ(Text(SPRITE_TICKER_FIRST + 1), "Ref: No more than 3 subs allowed...");
    // The kept width is the sprite's own.
    const Sprite* s = SpriteAt(SPRITE_TICKER_FIRST);
    EXPECT_FLOAT_EQ(TickerLineWidth[0], (float)(s->ScreenRect.right - s->ScreenRect.left));
}

TEST_F(BannerTest, KitChoicesAreCheckedFromBelowAndAbove)
{
    ListKits();
    ASSERT_GT(KitTable.count, 1) << "the data set has kits";
    const int slot = TheApp.FindMeshByName("textures\\rplayer.tga");
    ASSERT_LT(slot, MESH_COUNT);
    // A replaced texture starts its loader record afresh: a mark in it tells whether it was.
    XFileMesh* mesh = TheApp.MeshTable[slot];
    for (int32_t choice : {-1, -2000, KitTable.count, KIT_TABLE_SIZE + 10}) {
        mesh->TexInfo.Levels = 77;
        MatchSetup.kitChoice[0] = choice;
        MatchSetup.kitChoice[1] = 0;
        LoadKitTexture();
        EXPECT_EQ(mesh->TexInfo.Levels, 77) << choice;
    }
    mesh->TexInfo.Levels = 77;
    MatchSetup.kitChoice[0] = 1;
    MatchSetup.kitChoice[1] = 0;
    LoadKitTexture();
    EXPECT_NE(mesh->TexInfo.Levels, 77);
    EXPECT_NE(mesh->Texture0(), nullptr);
    MatchSetup.kitChoice[0] = 0;
    MatchSetup.kitChoice[1] = 1;
}

}  // namespace

// After a goal the ball lies on the centre spot with nobody on it while both sides walk back:
// the turn banner names the selected striker as the one to move, never as the man with the ball
// (he had it when the goal went in), and says whose kick-off it is.
TEST_F(BannerTest, TheWalkInAfterAGoalShowsNobodyWithTheBall)
{
    std::snprintf(MatchPlayers[9].name, sizeof MatchPlayers[9].name, "Tamsley");
    ASSERT_EQ(BallHolder, 10) << "the striker has the ball at the kick-off";
    ShowTurnBanner();
    ASSERT_EQ(Text(SPRITE_TURN_DETAIL), "10:Tamsley with Ball");
    // The away side scores in its moving phase; the home side kicks off.
    TurnPhase = PHASE_AWAY_MOVES;
    ShowTurnBanner();
    MatchStopState = STOP_GOAL;
    GoalInProgress = 1;
    LastScoringSide = 1;
    PhaseTimer = GOAL_PAUSE_SECONDS;
    Frame(0.02f);
    ASSERT_EQ(MatchStopState, STOP_KICK_OFF);
    int walked = 0;
    for (; walked < 2000 && MatchStopState == STOP_KICK_OFF; ++walked) {
        ASSERT_EQ(BallHolder, 0) << "frame " << walked << " of the walk-in";
        EXPECT_EQ(Text(SPRITE_TURN_BANNER), "Harrowby to Move...") << "frame " << walked;
        ASSERT_EQ(Text(SPRITE_TURN_DETAIL), "10:Tamsley to Move") << "frame " << walked;
        EXPECT_EQ(Text(SPRITE_REFEREE_BANNER), "KICK OFF");
        Frame(0.05f);
    }
    EXPECT_GT(walked, 200);
    // The kick-off itself gives the striker the ball.
    EXPECT_EQ(BallHolder, 10);
    EXPECT_EQ(Text(SPRITE_TURN_DETAIL), "10:Tamsley with Ball");
}
