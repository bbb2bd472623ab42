// What DirectPlay's threads queue for the main thread, and what of it reaches the screens: only
// what the other manager sent or did, and only in the session now open.
#include "net_a_fixture.h"

using namespace net_a;

namespace {

class ArrivalsTest : public NetGlobalsTest {
protected:
    static void Leaves(DPNID who)
    {
        DPNMSG_DESTROY_PLAYER gone{sizeof(DPNMSG_DESTROY_PLAYER), who, nullptr, DPNDESTROYPLAYERREASON_NORMAL};
        DirectPlayMessageHandler(nullptr, DPN_MSGID_DESTROY_PLAYER, &gone);
    }
    static std::vector<uint8_t> Settings(int32_t difficulty)
    {
        const MatchSettings kept = MatchSetup;
        MatchSetup.difficulty = difficulty;
        std::vector<uint8_t> message = BuildGameMessage(GAME_MSGID_SETTINGS);
        MatchSetup = kept;
        return message;
    }
};

constexpr DPNID FIRST_GUEST = 0x00310002, STRANGER = 0x00310003, GUEST = 0x00310004;

}  // namespace

TEST_F(ArrivalsTest, DeparturesHeldThroughTheStageOfGuestsWhoLeftItReachNoScreen)
{
    // While the host's stage is open: the first guest leaves, a stranger comes, sends settings
    // and goes, then the guest of the game joins; the stage starts the game with him.
    HoldNetworkMessages(true);
    Leaves(FIRST_GUEST);
    Receive(Settings(9), STRANGER);
    Receive(BuildGameMessage(GAME_MSGID_READY), STRANGER);
    Leaves(STRANGER);
    Net.opponent = GUEST;
    HoldNetworkMessages(false);
    ProcessNetworkMessages();
    EXPECT_TRUE(notifications.empty());
    EXPECT_EQ(0, MatchSetup.difficulty);

    // The opponent's own messages and departure are news, once each.
    Receive(Settings(4), GUEST);
    Receive(BuildGameMessage(GAME_MSGID_READY), GUEST);
    Leaves(GUEST);
    Leaves(STRANGER);
    ProcessNetworkMessages();
    EXPECT_EQ(4, MatchSetup.difficulty);
    EXPECT_EQ((std::vector<uint32_t>{NOTIFY_READY, NOTIFY_PLAYER_LEFT}), notifications);
}

TEST_F(ArrivalsTest, WhatAnEarlierSessionLeftIsDroppedAndTheNextSessionsNewsIsNot)
{
    Net.opponent = GUEST;
    HoldNetworkMessages(true);
    Receive(BuildGameMessage(GAME_MSGID_READY), GUEST);
    Leaves(GUEST);
    // New DirectPlay objects: a guest going back to the wizard, or the set-up made again.
    ++Net.sessionSerial;
    HoldNetworkMessages(false);
    ProcessNetworkMessages();
    EXPECT_TRUE(notifications.empty());
    Receive(BuildGameMessage(GAME_MSGID_READY), GUEST);
    ProcessNetworkMessages();
    EXPECT_EQ((std::vector<uint32_t>{NOTIFY_READY}), notifications);
}

TEST_F(ArrivalsTest, UntilTheOtherManagerIsKnownEverybodysNewsCountsAndOurOwnAlways)
{
    Receive(BuildGameMessage(GAME_MSGID_READY), STRANGER);
    Leaves(STRANGER);
    ProcessNetworkMessages();
    Net.opponent = GUEST;
    Net.displaySwitched = 1;
    NotifyMainWindow();
    ProcessNetworkMessages();
    EXPECT_EQ((std::vector<uint32_t>{NOTIFY_READY, NOTIFY_PLAYER_LEFT, NOTIFY_SESSION_STARTED}), notifications);
}
