// The set-up and result screens driven as a player would: the game-type menu, the exhibition's
// values and budgets, the league's season and its end, and the editor's presses.
#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/FrontEnd/League.h"
#include "fenwolt/Game/FrontEnd/SquadEditor.h"
#include "fenwolt/Game/Match/MatchRecords.h"
#include "fenwolt/Game/Screens.h"
#include "fenwolt/tests/frontend/fe_b_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

class CompetitionScreens : public FrontEndAppTest {};

TEST_F(CompetitionScreens, TheTwoComputerEntryNeedsTheMultiSwitch)
{
    std::filesystem::remove(dir.Path() / "dat" / "multi.dat");
    SetScreen(ScreenId::GameType);
    EXPECT_FALSE(SpriteVisible(134));
    EXPECT_FALSE(SpriteActive(134));
    std::ofstream(dir.Path() / "dat" / "multi.dat");
    SetScreen(ScreenId::GameType);
    EXPECT_TRUE(SpriteActive(134));
    ClickSprite(131);
    EXPECT_EQ(CurrentScreenId, (int)ScreenId::CupSetup);
    EXPECT_EQ(Competition.gameMode, MODE_CUP);
    EXPECT_EQ(Competition.cupRound, 0);
}

TEST_F(CompetitionScreens, ExhibitionValuesWrapAndDifficultySplitsThePoints)
{
    SetScreen(ScreenId::ExhibitionSetup);
    EXPECT_EQ(SpriteText(30), "45");
    ClickSprite(30);
    EXPECT_EQ(MatchSetup.minutesPerHalf, 3);
    EXPECT_EQ(SpriteText(30), "3");
    ClickSprite(30, false);
    EXPECT_EQ(MatchSetup.minutesPerHalf, 45);
    ClickSprite(32, false);
    EXPECT_EQ(MatchSetup.difficulty, 10);
    ClickSprite(33);
    EXPECT_EQ(MatchSetup.managers, 2);
    ClickSprite(33);
    EXPECT_EQ(MatchSetup.managers, 1);
    ClickSprite(31);
    EXPECT_EQ(SpriteText(31), "Off");
    ClickSprite(31, false);
    EXPECT_EQ(SpriteText(31), "Off") << "a right press does not toggle";

    ClickSprite(199);
    EXPECT_EQ(CurrentScreenId, (int)ScreenId::TeamDetails);
    EXPECT_EQ(Competition.pointsToSpend[0], 0);
    EXPECT_EQ(Competition.pointsToSpend[1], 1000);
    MatchSetup.difficulty = 0;
    SetScreen(ScreenId::ExhibitionSetup);
    ClickSprite(199);
    EXPECT_EQ(Competition.pointsToSpend[0], 1000);
    EXPECT_EQ(Competition.pointsToSpend[1], 0);
}

TEST_F(CompetitionScreens, ExhibitionResultNamesTheWinnerOrADraw)
{
    MakeDefaultSquads();
    HomeGoals = AwayGoals = 0;
    SetScreen(ScreenId::ExhibitionResult);
    EXPECT_EQ(SpriteText(31), "A draw.");
    EXPECT_EQ(SpriteText(197), "Team Stats");
    EXPECT_FALSE(SpriteVisible(198));
    AwayGoals = 3;
    MatchSetup.managers = 2;
    SetScreen(ScreenId::ExhibitionResult);
    EXPECT_EQ(SpriteText(31), "Victory for AwayTeam.");
    EXPECT_EQ(SpriteText(11), "0");
    EXPECT_EQ(SpriteText(21), "3");
    ClickSprite(198);
    EXPECT_EQ(CurrentScreenId, (int)ScreenId::TeamStats);
    EXPECT_EQ(Competition.currentManager, 1);
}

TEST_F(CompetitionScreens, TheSeasonRunsHomeAndAwayAndEndsAfterThirtyMatches)
{
    Competition.gameMode = MODE_LEAGUE;
    SetScreen(ScreenId::LeagueSetup);
    EXPECT_EQ(SpriteText(26), "Home Against:");
    EXPECT_EQ(SpriteText(21), "Match No: 1");
    EXPECT_TRUE(SpriteVisible(32));
    EXPECT_EQ(std::string(TeamNames[1]), std::string(League.rows[1].name));
    HomeGoals = 2;
    AwayGoals = 0;
    SetScreen(ScreenId::LeagueResult);
    EXPECT_EQ(SpriteText(31), "A win for HomeTeam.");
    ClickSprite(199);
    EXPECT_EQ(CurrentScreenId, (int)ScreenId::LeagueSetup);
    EXPECT_EQ(Competition.leagueMatch, 1);
    EXPECT_EQ(SpriteText(26), "Away Against:");
    EXPECT_FALSE(SpriteVisible(32)) << "the difficulty is chosen once a season";
    EXPECT_EQ(League.rows[0].points, 3);
    EXPECT_EQ(std::string(TeamNames[1]), std::string(League.rows[2].name));

    Competition.leagueMatch = 30;
    SetScreen(ScreenId::LeagueSetup);
    EXPECT_EQ(SpriteText(21), "END OF SEASON");
    EXPECT_FALSE(SpriteVisible(199));
    EXPECT_TRUE(SpriteActive(200));
    LeftClick(400, 196);
    EXPECT_EQ(CurrentScreenId, (int)ScreenId::LeagueSetup);
}

TEST_F(CompetitionScreens, EditorPressesBuyAndSellOnlyWhileSwappingIsAllowed)
{
    MakeDefaultSquads();
    Competition.pointsToSpend[0] = 0;
    SetScreen(ScreenId::TeamDetails);
    const unsigned keeperTackling = 361;
    EXPECT_EQ(SpriteText(keeperTackling), "80");
    ClickSprite(keeperTackling);
    EXPECT_EQ(SpriteText(keeperTackling), "80") << "nothing to spend";
    ClickSprite(keeperTackling, false);
    EXPECT_EQ(SpriteText(keeperTackling), "75");
    EXPECT_EQ(Competition.pointsToSpend[0], 5);
    MatchSetup.abilitySwapLocked = 1;
    ClickSprite(keeperTackling);
    EXPECT_EQ(SpriteText(keeperTackling), "80");
    ClickSprite(keeperTackling, false);
    EXPECT_EQ(SpriteText(keeperTackling), "80") << "with swapping off bought points stay bought";
    EXPECT_EQ(Competition.pointsToSpend[0], 0);

    // A marker picked, then the pitch: the player moves and takes the role of the place.
    ClickSprite(701 + 3);
    EXPECT_EQ(SelectedMarker, 4);
    LeftClick(200, 585);
    EXPECT_EQ(TeamSquads[0].players[3].role, ROLE_ATT);
    EXPECT_EQ(SpriteText(261 + 3), "AL");
    // Two managers: the home manager's START hands the screen to the away manager.
    MatchSetup.managers = 2;
    ClickSprite(199);
    EXPECT_EQ(CurrentScreenId, (int)ScreenId::TeamDetails);
    EXPECT_EQ(Competition.currentManager, 1);
    EXPECT_EQ(SpriteText(241), std::string(TeamSquads[1].players[0].name));
}
