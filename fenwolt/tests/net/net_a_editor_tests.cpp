// The squad editor's hand-shake on two computers across a SAVE TEAM or LOAD TEAM detour: what
// was sent and heard before the detour stands after it, what arrives during it reaches the
// editor when it is back, and START MATCH then reaches the loading screen on either side.
#include "net_a_screen_fixture.h"

#include "fenwolt/Game/FrontEnd/SquadEditor.h"

using namespace net_a;

namespace {

// The editor's buttons and the team slots' Return.
constexpr unsigned SAVE_TEAM = 193, LOAD_TEAM = 194, START_MATCH = 199, TEAM_SLOTS_RETURN = 240;
// Speed of the first player.
constexpr unsigned FIRST_SPEED = 281;

class NetEditorTest : public NetScreenTest {
protected:
    // The host in its editor: the guest said it is ready on screen 15 and the host started.
    void HostInEditor()
    {
        Open(true, 3);
        Arrives(GAME_MSGID_READY);
        Press(NETSETUP_START);
        ASSERT_EQ(ScreenId::TeamDetails, Screen());
        ASSERT_EQ("START MATCH", TextOf(START_MATCH));
    }
    // The guest in its editor: it pressed START MATCH on screen 15 and the host's start came.
    void GuestInEditor()
    {
        OpenGuest(3);
        Press(NETSETUP_START);
        Arrives(GAME_MSGID_READY);
        ASSERT_EQ(ScreenId::TeamDetails, Screen());
    }
    // SAVE TEAM or LOAD TEAM and back without choosing a slot.
    void Detour(unsigned button, const std::function<void()>& meanwhile = nullptr)
    {
        Press(button);
        ASSERT_EQ(button == SAVE_TEAM ? ScreenId::SaveTeam : ScreenId::LoadTeam, Screen());
        if (meanwhile) meanwhile();
        ASSERT_EQ(button == SAVE_TEAM ? ScreenId::SaveTeam : ScreenId::LoadTeam, Screen());
        Press(TEAM_SLOTS_RETURN);
        ASSERT_EQ(ScreenId::TeamDetails, Screen());
    }
    bool Awaiting() { return TextOf(START_MATCH) == "AWAITING PLAYER" && !Active(START_MATCH); }
};

}  // namespace

TEST_F(NetEditorTest, TheHostKeepsTheGuestsReadinessHeardBeforeADetour)
{
    HostInEditor();
    // The guest's word that it is ready (its squad came before).
    Arrives(GAME_MSGID_READY);
    Detour(SAVE_TEAM);
    Detour(LOAD_TEAM);
    EXPECT_EQ("START MATCH", TextOf(START_MATCH));
    EXPECT_TRUE(Active(START_MATCH));
    Press(START_MATCH);
    EXPECT_EQ(ScreenId::Loading, Screen());
}

TEST_F(NetEditorTest, TheHostTakesUpTheGuestsReadinessThatCameDuringADetour)
{
    HostInEditor();
    Press(START_MATCH);  // before the guest: the squad goes, the host waits
    EXPECT_TRUE(Awaiting());
    Detour(LOAD_TEAM, [] { Arrives(GAME_MSGID_READY); });
    EXPECT_TRUE(Awaiting());
    // Back in the editor, the guest's word arrives there.
    ProcessNetworkMessages();
    EXPECT_EQ("START MATCH", TextOf(START_MATCH));
    EXPECT_TRUE(Active(START_MATCH));
    Press(START_MATCH);
    EXPECT_EQ(ScreenId::Loading, Screen());
}

TEST_F(NetEditorTest, AGuestThatPressedStartWaitsAcrossADetourAndTheHostsStartTakesItOn)
{
    GuestInEditor();
    Press(START_MATCH);
    EXPECT_TRUE(Awaiting());
    // The squad the host has is the one played: nothing changes it any more.
    const float speed = TeamSquads[1].players[0].attributes[ATTR_SPEED];
    Competition.pointsToSpend[1] = 100;
    Press(FIRST_SPEED);
    Press(FIRST_SPEED, MSG_RIGHT_DOWN);
    EXPECT_EQ(speed, TeamSquads[1].players[0].attributes[ATTR_SPEED]);
    Press(LOAD_TEAM);
    EXPECT_EQ(ScreenId::TeamDetails, Screen());
    // Saving it is no change; the host's start comes while the guest is away.
    Detour(SAVE_TEAM, [] { Arrives(GAME_MSGID_READY); });
    EXPECT_TRUE(Awaiting());
    ProcessNetworkMessages();
    EXPECT_EQ(ScreenId::Loading, Screen());
}

TEST_F(NetEditorTest, AGuestBackFromADetourBeforeStartingStartsAsEver)
{
    GuestInEditor();
    Detour(LOAD_TEAM);
    EXPECT_EQ("START MATCH", TextOf(START_MATCH));
    Press(START_MATCH);
    EXPECT_TRUE(Awaiting());
    Arrives(GAME_MSGID_READY);
    EXPECT_EQ(ScreenId::Loading, Screen());
}

TEST_F(NetEditorTest, ANewGameInTheEditorStartsWithNothingHeard)
{
    HostInEditor();
    Arrives(GAME_MSGID_READY);
    // The other player leaves; the next game's editor has heard nothing from the next guest.
    Leaves();
    HostInEditor();
    Press(START_MATCH);
    EXPECT_TRUE(Awaiting());
}
