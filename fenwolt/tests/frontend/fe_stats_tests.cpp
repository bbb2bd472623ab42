// Team statistics: the values of each column in both views, the view switch that is remembered,
// and where Return leads.
#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/FrontEnd/TeamStats.h"
#include "fenwolt/Game/Match/MatchRecords.h"
#include "fenwolt/Game/Screens.h"
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
