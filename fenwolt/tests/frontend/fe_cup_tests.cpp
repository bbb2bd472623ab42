// The knockout cup: the budgets round by round, replays, the final, and the screens that carry
// the cup from one round to the next.
#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/FrontEnd/Cup.h"
#include "fenwolt/Game/Match/MatchRecords.h"
#include "fenwolt/Game/Screens.h"
#include "fenwolt/tests/frontend/fe_b_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(CupRules, OutcomesAndTheirLines)
{
    ResetFrontEndState();
    Competition.cupRound = 0;
    EXPECT_EQ(DecideCupResult(2, 1), CUP_THROUGH);
    EXPECT_STREQ(CupOutcomeText(CUP_THROUGH, 0), "Well done you are through to the next round.");
    EXPECT_STREQ(CupOutcomeText(CUP_THROUGH, 1), "Well done you are through to the QUARTER-FINAL.");
    EXPECT_STREQ(CupOutcomeText(CUP_THROUGH, 2), "Well done you are through to the SEMI-FINAL.");
    EXPECT_STREQ(CupOutcomeText(CUP_THROUGH, 3), "Well done you are through to the FINAL.");
    EXPECT_EQ(DecideCupResult(0, 1), CUP_OUT);
    EXPECT_STREQ(CupOutcomeText(CUP_OUT, 2), "You are OUT of the Cup.");
    EXPECT_EQ(Competition.cupReplay, 0);
    EXPECT_EQ(DecideCupResult(1, 1), CUP_REPLAY);
    EXPECT_EQ(Competition.cupReplay, 1);
    EXPECT_STREQ(CupOutcomeText(CUP_REPLAY, 0), "You must replay the match.");

    Competition.cupRound = 4;
    EXPECT_EQ(DecideCupResult(2, 2), CUP_REPLAY) << "a drawn final is replayed";
    EXPECT_EQ(DecideCupResult(0, 3), CUP_OUT);
    EXPECT_EQ(Competition.cupReplay, 0);
    EXPECT_EQ(DecideCupResult(3, 0), CUP_WON);
    EXPECT_STREQ(CupOutcomeText(CUP_WON, 4), "Congratulations, you've WON the Cup!");
    for (CupOutcome o : {CUP_THROUGH, CUP_OUT, CUP_REPLAY})
        EXPECT_STRNE(CupOutcomeText(o, 4), "Congratulations, you've WON the Cup!");

    EXPECT_STREQ(CupRoundName(0), "FIRST ROUND");
    EXPECT_STREQ(CupRoundName(2), "QUARTER-FINAL");
    EXPECT_STREQ(CupRoundName(4), "FINAL");
}

TEST(CupRules, BudgetsAtDifficultyThreeRoundByRound)
{
    ResetFrontEndState();
    SetKitNames({"kita.tga", "kitb.tga", "kitc.tga"});
    MatchSetup.difficulty = 3;
    MatchSetup.kitChoice[1] = 1;
    Competition.cupRound = 0;
    StartCupMatchPoints();
    EXPECT_EQ(Competition.pointsToSpend[0], 700);
    EXPECT_EQ(Competition.pointsToSpend[1], 300);
    EXPECT_EQ(MatchSetup.kitChoice[1], 1) << "the first round keeps the kit";

    // What each side leaves unspent is carried into the next round.
    Competition.pointsToSpend[0] = 5;
    Competition.pointsToSpend[1] = 0;
    int expectedAway = 0;
    for (int round = 1; round <= 4; ++round) {
        Competition.cupRound = round;
        const int homeBefore = Competition.pointsToSpend[0];
        const int kitBefore = MatchSetup.kitChoice[1];
        StartCupMatchPoints();
        expectedAway += round * 250;
        EXPECT_EQ(Competition.pointsToSpend[0], homeBefore + 100) << "round " << round;
        EXPECT_EQ(Competition.pointsToSpend[1], expectedAway) << "round " << round;
        EXPECT_EQ(MatchSetup.kitChoice[1], (kitBefore + 1) % 3) << "round " << round;
    }

    // A replay gives nothing new and keeps the kit.
    Competition.cupReplay = 1;
    const int home = Competition.pointsToSpend[0], away = Competition.pointsToSpend[1], kit = MatchSetup.kitChoice[1];
    StartCupMatchPoints();
    EXPECT_EQ(Competition.pointsToSpend[0], home);
    EXPECT_EQ(Competition.pointsToSpend[1], away);
    EXPECT_EQ(MatchSetup.kitChoice[1], kit);
}

class CupScreens : public FrontEndAppTest {
protected:
    // Plays the current round's set-up and result with this score and presses Continue.
    void PlayRound(int homeGoals, int awayGoals)
    {
        SetScreen(ScreenId::CupSetup);
        ClickSprite(199);
        ASSERT_EQ(CurrentScreenId, (int)ScreenId::TeamDetails);
        HomeGoals = homeGoals;
        AwayGoals = awayGoals;
        SetScreen(ScreenId::CupResult);
    }
};

TEST_F(CupScreens, FiveRoundsWithAReplayedFinalAndOnlyAHomeWinTakesTheCup)
{
    Competition.gameMode = MODE_CUP;
    MatchSetup.difficulty = 3;
    SetScreen(ScreenId::CupSetup);
    EXPECT_TRUE(SpriteVisible(32)) << "the difficulty is chosen in the first round";
    EXPECT_EQ(SpriteText(21), "FIRST ROUND");
    EXPECT_EQ(SpriteText(35), std::string(TeamNames[1]));

    PlayRound(2, 0);
    EXPECT_EQ(Competition.pointsToSpend[0], 700);
    EXPECT_EQ(Competition.pointsToSpend[1], 300);
    EXPECT_EQ(SpriteText(31), "Victory for " + std::string(TeamNames[0]) + ".");
    EXPECT_EQ(SpriteText(32), "Well done you are through to the next round.");
    EXPECT_TRUE(SpriteVisible(31)) << "the verdict stays beside the outcome";
    ClickSprite(199);
    EXPECT_EQ(CurrentScreenId, (int)ScreenId::CupSetup);
    EXPECT_EQ(Competition.cupRound, 1);
    EXPECT_FALSE(SpriteVisible(32)) << "no difficulty after the first round";
    EXPECT_EQ(SpriteText(21), "SECOND ROUND");

    Competition.pointsToSpend[0] = 0;
    Competition.pointsToSpend[1] = 0;
    const std::string passes[] = {"Well done you are through to the QUARTER-FINAL.",
                                  "Well done you are through to the SEMI-FINAL.",
                                  "Well done you are through to the FINAL."};
    for (int round = 1; round <= 3; ++round) {
        const int away = Competition.pointsToSpend[1];
        PlayRound(1, 0);
        EXPECT_EQ(Competition.pointsToSpend[0], 100 * round);
        EXPECT_EQ(Competition.pointsToSpend[1], away + round * 250);
        EXPECT_EQ(SpriteText(32), passes[round - 1]);
        ClickSprite(199);
        EXPECT_EQ(Competition.cupRound, round + 1);
    }

    // The final, drawn: replayed without new points.
    EXPECT_EQ(SpriteText(21), "FINAL");
    PlayRound(1, 1);
    const int home = Competition.pointsToSpend[0], away = Competition.pointsToSpend[1];
    EXPECT_EQ(SpriteText(31), "A draw.");
    EXPECT_EQ(SpriteText(32), "You must replay the match.");
    ClickSprite(199);
    EXPECT_EQ(CurrentScreenId, (int)ScreenId::CupSetup);
    EXPECT_EQ(Competition.cupRound, 4);
    EXPECT_EQ(Competition.cupReplay, 1);
    PlayRound(2, 1);
    EXPECT_EQ(Competition.pointsToSpend[0], home);
    EXPECT_EQ(Competition.pointsToSpend[1], away);
    EXPECT_EQ(SpriteText(32), "Congratulations, you've WON the Cup!");
    // The statistics return to the same result without moving the cup on.
    ClickSprite(197);
    EXPECT_EQ(CurrentScreenId, (int)ScreenId::TeamStats);
    ClickSprite(200);
    EXPECT_EQ(CurrentScreenId, (int)ScreenId::CupResult);
    EXPECT_EQ(SpriteText(32), "Congratulations, you've WON the Cup!");
    ClickSprite(199);
    EXPECT_EQ(CurrentScreenId, (int)ScreenId::StartMenu);
}

TEST_F(CupScreens, AnAwayWinEndsTheCup)
{
    Competition.gameMode = MODE_CUP;
    SetScreen(ScreenId::CupSetup);
    PlayRound(0, 2);
    EXPECT_EQ(SpriteText(32), "You are OUT of the Cup.");
    ClickSprite(199);
    EXPECT_EQ(CurrentScreenId, (int)ScreenId::StartMenu);
    EXPECT_EQ(Competition.cupRound, 0);
}
