// The two-computer set-up screen on a real device: what each side shows and may press, the
// hand-shake into the squad editor, and the other player leaving.
#include "net_a_screen_fixture.h"

using namespace net_a;

namespace {
using NetSetupScreenTest = NetScreenTest;
}  // namespace

TEST_F(NetSetupScreenTest, EachManagerReadsTheDifficultyFromHisOwnSide)
{
    Open(true, 3);
    EXPECT_EQ("3", TextOf(NETSETUP_DIFFICULTY));
    EXPECT_EQ("45", TextOf(NETSETUP_MINUTES));
    EXPECT_EQ("On", TextOf(NETSETUP_SWAPPING));
    EXPECT_EQ("SET EXHIBITION MATCH DETAILS", TextOf(NETSETUP_TITLE));
    EXPECT_EQ(2, MatchSetup.managers);
    OpenGuest(3);
    EXPECT_EQ("7", TextOf(NETSETUP_DIFFICULTY));
    EXPECT_FALSE(Visible(NETSETUP_DISCONNECTED));
}

TEST_F(NetSetupScreenTest, PressesStepTheValuesRoundAndShowThem)
{
    Open(true, 10);
    MatchSetup.minutesPerHalf = 45;
    Press(NETSETUP_DIFFICULTY);
    EXPECT_EQ(0, MatchSetup.difficulty);
    EXPECT_EQ("0", TextOf(NETSETUP_DIFFICULTY));
    Press(NETSETUP_MINUTES);
    EXPECT_EQ(3, MatchSetup.minutesPerHalf);
    EXPECT_EQ("3", TextOf(NETSETUP_MINUTES));
    Press(NETSETUP_SWAPPING);
    EXPECT_EQ("Off", TextOf(NETSETUP_SWAPPING));
    // The other computer's settings show as they arrive.
    Arrives(Settings(0, 30, 1));
    EXPECT_EQ("30", TextOf(NETSETUP_MINUTES));
}

TEST_F(NetSetupScreenTest, TheHostStartsOnlyAfterTheGuestIsReady)
{
    Open(true, 3);
    EXPECT_EQ("AWAITING OTHER PLAYER", TextOf(NETSETUP_START));
    EXPECT_FALSE(Active(NETSETUP_START));
    Press(NETSETUP_START);
    EXPECT_EQ((int32_t)ScreenId::NetExhibitionSetup, CurrentScreenId);
    // Something else from the other computer is not readiness.
    Arrives(GAME_MSGID_PHASE_DONE);
    EXPECT_FALSE(Active(NETSETUP_START));
    Arrives(GAME_MSGID_READY);
    EXPECT_EQ("START MATCH", TextOf(NETSETUP_START));
    EXPECT_TRUE(Active(NETSETUP_START));
    Press(NETSETUP_START);
    EXPECT_EQ((int32_t)ScreenId::TeamDetails, CurrentScreenId);
    EXPECT_EQ(0, Competition.currentManager);
    EXPECT_EQ(700, Competition.pointsToSpend[0]);
    EXPECT_EQ(300, Competition.pointsToSpend[1]);
}

TEST_F(NetSetupScreenTest, TheGuestWaitsAfterStartAndFollowsTheHost)
{
    OpenGuest(3);
    EXPECT_EQ("START MATCH", TextOf(NETSETUP_START));
    Press(NETSETUP_START);
    EXPECT_EQ("AWAITING OTHER PLAYER", TextOf(NETSETUP_START));
    EXPECT_FALSE(Active(NETSETUP_START));
    EXPECT_EQ((int32_t)ScreenId::NetExhibitionSetup, CurrentScreenId);
    Arrives(GAME_MSGID_READY);
    EXPECT_EQ((int32_t)ScreenId::TeamDetails, CurrentScreenId);
    EXPECT_EQ(1, Competition.currentManager);
    EXPECT_EQ(700, Competition.pointsToSpend[0]);
    EXPECT_EQ(300, Competition.pointsToSpend[1]);
}

TEST_F(NetSetupScreenTest, TheOtherPlayerLeavingLeavesOnlyReturn)
{
    Open(true, 3);
    Receive(BuildGameMessage(GAME_MSGID_READY));
    Leaves(0x22);
    EXPECT_TRUE(Visible(NETSETUP_DISCONNECTED));
    EXPECT_FALSE(Active(NETSETUP_DISCONNECTED));
    EXPECT_EQ("OTHER PLAYER IS NO LONGER CONNECTED", TextOf(NETSETUP_DISCONNECTED));
    EXPECT_FALSE(Visible(NETSETUP_START));
    EXPECT_EQ(0, Net.sessionSetUp);
    EXPECT_TRUE(Active(NETSETUP_RETURN));
}

TEST_F(NetSetupScreenTest, TheGuestShowsNoValuesAndTakesNoPressUntilTheHostsArrive)
{
    // Left from this guest's last game: difficulty 3 (7 from its side) and swapping off.
    Open(false, 3, 1);
    for (unsigned value : {NETSETUP_HOME_NAME, NETSETUP_AWAY_NAME, NETSETUP_DIFFICULTY, NETSETUP_MINUTES,
                           NETSETUP_SWAPPING})
        EXPECT_EQ(":", TextOf(value)) << value;
    EXPECT_EQ("AWAITING OTHER PLAYER", TextOf(NETSETUP_START));
    EXPECT_FALSE(Active(NETSETUP_START));
    Press(NETSETUP_DIFFICULTY);
    Press(NETSETUP_SWAPPING);
    EXPECT_EQ(3, MatchSetup.difficulty);
    EXPECT_EQ(1, MatchSetup.abilitySwapLocked);
    EXPECT_EQ(":", TextOf(NETSETUP_DIFFICULTY));

    // The host's settings: shown as the host's, and now the guest may change them and start.
    Arrives(Settings(5, 45, 0));
    EXPECT_EQ("5", TextOf(NETSETUP_DIFFICULTY));
    EXPECT_EQ("On", TextOf(NETSETUP_SWAPPING));
    EXPECT_EQ("HomeTeam", TextOf(NETSETUP_HOME_NAME));
    EXPECT_EQ("START MATCH", TextOf(NETSETUP_START));
    EXPECT_TRUE(Active(NETSETUP_START));
    Press(NETSETUP_SWAPPING);
    EXPECT_EQ("Off", TextOf(NETSETUP_SWAPPING));
    // A later change of the host's does not undo a press already made.
    Press(NETSETUP_START);
    Arrives(Settings(6, 45, 1));
    EXPECT_EQ("4", TextOf(NETSETUP_DIFFICULTY));
    EXPECT_EQ("AWAITING OTHER PLAYER", TextOf(NETSETUP_START));
    EXPECT_FALSE(Active(NETSETUP_START));
}

TEST_F(NetSetupScreenTest, ADepartedGuestsSettingsAreForgottenAndTheHostsOwnStay)
{
    Open(true, 2);
    Press(NETSETUP_SWAPPING);  // the host's own choice
    Arrives(Settings(8, 30, 1));
    EXPECT_EQ("8", TextOf(NETSETUP_DIFFICULTY));
    Leaves();
    EXPECT_EQ(0, Net.sessionSetUp);
    EXPECT_EQ(2, MatchSetup.difficulty);
    EXPECT_EQ(45, MatchSetup.minutesPerHalf);
    EXPECT_EQ(1, MatchSetup.abilitySwapLocked);

    // A press of the host's after the guest's settings keeps that value as the host's own.
    Open(true, 2);
    Arrives(Settings(8, 30, 1));
    Press(NETSETUP_DIFFICULTY);
    Leaves();
    EXPECT_EQ(9, MatchSetup.difficulty);
    EXPECT_EQ(0, MatchSetup.abilitySwapLocked);

    // A match played on them keeps them for as long as it runs; the next set-up starts from the
    // host's own again.
    Open(true, 2);
    Arrives(Settings(8, 30, 1));
    Competition.matchInProgress = 1;
    Leaves();
    EXPECT_EQ(8, MatchSetup.difficulty);
    EXPECT_EQ(30, MatchSetup.minutesPerHalf);
    Competition.matchInProgress = 0;
    Open(true, MatchSetup.difficulty, MatchSetup.abilitySwapLocked);
    EXPECT_EQ(2, MatchSetup.difficulty);
    EXPECT_EQ("2", TextOf(NETSETUP_DIFFICULTY));
    EXPECT_EQ("On", TextOf(NETSETUP_SWAPPING));

    // Unless something else changed them meanwhile (a game on one computer): those stay.
    Open(true, 2);
    Arrives(Settings(8, 30, 1));
    Competition.matchInProgress = 1;
    Leaves();
    MatchSetup.difficulty = 6;
    Open(true, MatchSetup.difficulty, MatchSetup.abilitySwapLocked);
    EXPECT_EQ(6, MatchSetup.difficulty);
}
