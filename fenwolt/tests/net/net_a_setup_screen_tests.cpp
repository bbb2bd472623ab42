// The two-computer set-up screen on a real device: what each side shows and may press, the
// hand-shake into the squad editor, and the other player leaving.
#include "net_a_support.h"

#include "fenwolt/Game/FrontEnd/GameType.h"
#include "fenwolt/Game/Network/Multi.h"
#include "fenwolt/Game/Screens.h"
#include "fenwolt/Game/Engine/Sprites.h"
#include "fenwolt/tests/engine/engine_test_support.h"

#include <string>

using namespace net_a;

namespace {

class NetSetupScreenTest : public EngineAppTest {
protected:
    void SetUp() override
    {
        EngineAppTest::SetUp();
        if (HasFatalFailure()) return;
        DiscardNetworkMessages();
        Net.playerCount = 0;
        Net.peer = nullptr;
    }
    void TearDown() override
    {
        DiscardNetworkMessages();
        Net.sessionSetUp = 0;
        NetworkGameActive = false;
        EngineAppTest::TearDown();
    }

    // Screen 15 as the builder leaves it once the session is up, on the host or the guest.
    void Open(bool host, int32_t difficulty = 3)
    {
        NetworkGameActive = true;
        Net.isHost = host ? 1 : 0;
        Net.sessionSetUp = 1;
        ResetScreenHandlers();
        CurrentScreenId = (int32_t)ScreenId::NetExhibitionSetup;
        LayOutNetExhibitionScreen();
        MatchSetup.difficulty = difficulty;
        ShowNetExhibitionValues();
    }
    static std::string TextOf(unsigned handle)
    {
        const Sprite* s = SpriteAt(handle);
        return s && s->Device ? std::string(s->Text) : std::string();
    }
    static bool Visible(unsigned handle)
    {
        const Sprite* s = SpriteAt(handle);
        return s && s->IsVisible();
    }
    static bool Active(unsigned handle)
    {
        const Sprite* s = SpriteAt(handle);
        return s && s->IsActive();
    }
    // A left press with the mouse over the sprite, as the window procedure passes it on.
    static void Press(unsigned handle)
    {
        const Sprite* s = SpriteAt(handle);
        ASSERT_NE(nullptr, s);
        MouseX = (int32_t)(s->X + 2);
        MouseY = (int32_t)(s->Y + 4);
        OnNetExhibitionMessage(MSG_LEFT_DOWN);
    }
    // The other computer's message arriving and being handled by the main window.
    static void Arrives(int32_t type)
    {
        Receive(BuildGameMessage(type));
        ProcessNetworkMessages();
    }
};

}  // namespace

TEST_F(NetSetupScreenTest, EachManagerReadsTheDifficultyFromHisOwnSide)
{
    Open(true, 3);
    EXPECT_EQ("3", TextOf(NETSETUP_DIFFICULTY));
    EXPECT_EQ("45", TextOf(NETSETUP_MINUTES));
    EXPECT_EQ("On", TextOf(NETSETUP_SWAPPING));
    EXPECT_EQ("SET EXHIBITION MATCH DETAILS", TextOf(NETSETUP_TITLE));
    EXPECT_EQ(2, MatchSetup.managers);
    Open(false, 3);
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
    MatchSetup.minutesPerHalf = 30;
    std::vector<uint8_t> settings = BuildGameMessage(GAME_MSGID_SETTINGS);
    MatchSetup.minutesPerHalf = 3;
    Receive(settings);
    ProcessNetworkMessages();
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
    Open(false, 3);
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
    DPNMSG_DESTROY_PLAYER gone{sizeof(DPNMSG_DESTROY_PLAYER), 0x22, nullptr, DPNDESTROYPLAYERREASON_CONNECTIONLOST};
    DirectPlayMessageHandler(nullptr, DPN_MSGID_DESTROY_PLAYER, &gone);
    ProcessNetworkMessages();
    EXPECT_TRUE(Visible(NETSETUP_DISCONNECTED));
    EXPECT_FALSE(Active(NETSETUP_DISCONNECTED));
    EXPECT_EQ("OTHER PLAYER IS NO LONGER CONNECTED", TextOf(NETSETUP_DISCONNECTED));
    EXPECT_FALSE(Visible(NETSETUP_START));
    EXPECT_EQ(0, Net.sessionSetUp);
    EXPECT_TRUE(Active(NETSETUP_RETURN));
}
