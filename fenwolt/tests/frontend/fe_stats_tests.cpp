// Team statistics: the values of each column in both views, the view switch that is remembered,
// where Return leads, and a table whose heads and roles read apart from their neighbours.
#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/FrontEnd/TeamStats.h"
#include "fenwolt/Game/Match/MatchRecords.h"
#include "fenwolt/Game/Screens.h"
#include "fenwolt/Game/Engine/Sprites.h"
#include "fenwolt/tests/frontend/fe_b_support.h"

#include <gtest/gtest.h>

TEST(StatsValues, ColumnsReadTheCareerOrTheLastMatch)
{
    SquadPlayer p{};
    p.gamesPlayed = 7;
    p.career = SquadStats{1, 2, 3, 4, 5, 6, {10, 20, 30}, {1, 2, 3}, 11, 12, 99.f};
    p.lastMatch = SquadStats{21, 22, 23, 24, 25, 26, {1, 1, 1}, {0, 1, 0}, 31, 32, 5.f};
    const int career[11] = {7, 12, 11, 1, 2, 3, 4, 5, 6, 60, 6};
    const int last[11] = {7, 32, 31, 21, 22, 23, 24, 25, 26, 3, 1};
    for (int c = 0; c < STATS_COLUMN_COUNT; ++c) {
        EXPECT_EQ(StatsValue(p, c, true), career[c]) << StatsColumns[c].head;
        EXPECT_EQ(StatsValue(p, c, false), last[c]) << StatsColumns[c].head;
    }
    EXPECT_STREQ(StatsColumns[0].help, "Games Played...");
    EXPECT_STREQ(StatsColumns[10].help, "Good Passes...");
}

class StatsScreen : public FrontEndAppTest {};

TEST_F(StatsScreen, TheViewSwitchIsRememberedAndReturnGoesToTheModesScreen)
{
    MakeDefaultSquads();
    TeamSquads[0].players[3].lastMatch.goalsScored = 2;
    TeamSquads[0].players[3].career.goalsScored = 9;
    SetScreen(ScreenId::TeamStats);
    EXPECT_EQ(SpriteText(20), "TEAM STATS - LAST MATCH");
    EXPECT_EQ(SpriteText(219), "Career Stats");
    EXPECT_EQ(SpriteText(281 + 20 + 3), "2");
    EXPECT_EQ(SpriteText(34), std::string(TeamNames[0]));

    // The help line follows the column under the mouse.
    MoveTo(240, 200);
    EXPECT_EQ(SpriteText(700), "Goals Scored...");
    MoveTo(215, 95);
    EXPECT_EQ(SpriteText(700), "Games Played...");

    ClickSprite(219);
    EXPECT_EQ(CurrentScreenId, (int)ScreenId::TeamStats);
    EXPECT_EQ(SpriteText(20), "TEAM STATS - CAREER");
    EXPECT_EQ(SpriteText(219), "For Last Match");
    EXPECT_EQ(SpriteText(281 + 20 + 3), "9");
    SetScreen(ScreenId::StartMenu);
    SetScreen(ScreenId::TeamStats);
    EXPECT_EQ(SpriteText(20), "TEAM STATS - CAREER") << "the switch survives between visits";

    for (auto [mode, screen] : {std::pair{MODE_EXHIBITION, ScreenId::ExhibitionResult},
                                std::pair{MODE_CUP, ScreenId::CupResult}, std::pair{MODE_LEAGUE, ScreenId::LeagueSetup}}) {
        Competition.gameMode = mode;
        SetScreen(ScreenId::TeamStats);
        ClickSprite(200);
        EXPECT_EQ(CurrentScreenId, (int)screen) << mode;
    }
}

TEST_F(StatsScreen, TwoManagersSeeNoViewButtonAndEachTheirOwnSquad)
{
    MakeDefaultSquads();
    MatchSetup.managers = 2;
    Competition.currentManager = 1;
    SetScreen(ScreenId::TeamStats);
    EXPECT_FALSE(SpriteVisible(219));
    EXPECT_EQ(SpriteText(34), std::string(TeamNames[1]));
    EXPECT_EQ(SpriteText(241), std::string(TeamSquads[1].players[0].name));
}

// Drawn: every column head ends a space of its font before the next head, and every role (the
// widest are two letters, "MR") a space of its font before the first value of its row.
TEST_F(StatsScreen, HeadsAndRolesEndASpaceBeforeTheNextColumn)
{
    MakeDefaultSquads();
    TeamSquads[0].players[5].role = 2;
    TeamSquads[0].players[5].wingSide = 3;
    TeamSquads[0].players[6].role = 2;
    TeamSquads[0].players[6].wingSide = 2;
    SetScreen(ScreenId::TeamStats);
    ASSERT_EQ(SpriteText(261 + 5), "MR");
    ASSERT_EQ(SpriteText(261 + 6), "ML");
    const RgbImage frame = DrawScreen();
    for (int c = 0; c + 1 < STATS_COLUMN_COUNT; ++c) {
        const unsigned head = 202 + (unsigned)c;
        EXPECT_EQ(InkBeforeNextText(frame, head, (int)SpriteAt(head + 1)->X, 1, IsWhiteInk), 0)
            << SpriteText(head) << " runs into " << SpriteText(head + 1);
    }
    for (unsigned i = 0; i < 16; ++i)
        EXPECT_EQ(InkBeforeNextText(frame, 261 + i, (int)SpriteAt(281 + i)->X, 1, IsWhiteInk), 0)
            << "the role " << SpriteText(261 + i) << " of row " << i + 1 << " runs into its first value";
}

// Both tables' rows: the shirt number ends a space before the name, and the role (the widest are
// two letters, "MR") a space before the first value, on the statistics and in the squad editor.
TEST_F(StatsScreen, NumbersAndRolesEndASpaceBeforeTheirNeighboursOnBothTables)
{
    MakeDefaultSquads();
    TeamSquads[0].players[9].role = 2;
    TeamSquads[0].players[9].wingSide = 3;
    for (ScreenId screen : {ScreenId::TeamStats, ScreenId::TeamDetails}) {
        SetScreen(screen);
        ASSERT_EQ(SpriteText(261 + 9), "MR");
        const RgbImage frame = DrawScreen();
        for (unsigned i = 0; i < 16; ++i) {
            EXPECT_EQ(InkBeforeNextText(frame, 221 + i, (int)SpriteAt(241 + i)->X, 1, IsWhiteInk), 0)
                << "screen " << (int)screen << ": the number " << i + 1 << " runs into its name";
            EXPECT_EQ(InkBeforeNextText(frame, 261 + i, (int)SpriteAt(281 + i)->X, 1, IsWhiteInk), 0)
                << "screen " << (int)screen << ": the role " << SpriteText(261 + i) << " of row " << i + 1
                << " runs into its first value";
        }
    }
}
