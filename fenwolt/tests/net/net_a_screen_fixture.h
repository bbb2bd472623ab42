// The network screens on a real device (the two-computer set-up screen, the squad editor and its
// team slots): screen 15 as its builder leaves it once the session is up, presses through the
// current screen's handler, and the other computer's messages arriving for the main window.
#pragma once

#include "net_a_support.h"

#include "fenwolt/Game/FrontEnd/GameType.h"
#include "fenwolt/Game/FrontEnd/SquadEditor.h"
#include "fenwolt/Game/Network/Multi.h"
#include "fenwolt/Game/Screens.h"
#include "fenwolt/Game/Engine/Sprites.h"
#include "fenwolt/tests/engine/engine_test_support.h"

#include <string>

namespace net_a {

class NetScreenTest : public EngineAppTest {
protected:
    void SetUp() override
    {
        EngineAppTest::SetUp();
        if (HasFatalFailure()) return;
        DiscardNetworkMessages();
        Net.playerCount = 0;
        Net.peer = nullptr;
        Net.opponent = 0;
        ResetSquadHandshake();
    }
    void TearDown() override
    {
        HoldNetworkMessages(false);
        DiscardNetworkMessages();
        Net.sessionSetUp = 0;
        NetworkGameActive = false;
        EngineAppTest::TearDown();
    }

    // Screen 15 as the builder leaves it once the session is up, on the host or the guest, with
    // the settings this computer had before.
    void Open(bool host, int32_t difficulty = 3, uint8_t swapLocked = 0)
    {
        NetworkGameActive = true;
        Net.isHost = host ? 1 : 0;
        Net.sessionSetUp = 1;
        Competition.matchInProgress = 0;
        MatchSetup.difficulty = difficulty;
        MatchSetup.abilitySwapLocked = swapLocked;
        ResetScreenHandlers();
        CurrentScreenId = (int32_t)ScreenId::NetExhibitionSetup;
        LayOutNetExhibitionScreen();
    }
    // A guest's screen 15 once the host's settings (these) have arrived.
    void OpenGuest(int32_t hostDifficulty = 3)
    {
        Open(false, 0, 1);
        Arrives(Settings(hostDifficulty, 45, 0));
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
    // A press with the mouse over the sprite, as the window procedure passes it to the screen.
    static void Press(unsigned handle, int32_t message = MSG_LEFT_DOWN)
    {
        const Sprite* s = SpriteAt(handle);
        ASSERT_NE(nullptr, s);
        MouseX = (int32_t)(s->X + 2);
        MouseY = (int32_t)(s->Y + 4);
        ASSERT_NE(nullptr, ScreenMessageHandler);
        ScreenMessageHandler(message);
    }
    // The other computer's message arriving and being handled by the main window.
    static void Arrives(const std::vector<uint8_t>& message, DPNID from = 0x1234)
    {
        Receive(message, from);
        ProcessNetworkMessages();
    }
    static void Arrives(int32_t type) { Arrives(BuildGameMessage(type)); }
    static void Leaves(DPNID who = 0x1234)
    {
        DPNMSG_DESTROY_PLAYER gone{sizeof(DPNMSG_DESTROY_PLAYER), who, nullptr, DPNDESTROYPLAYERREASON_NORMAL};
        DirectPlayMessageHandler(nullptr, DPN_MSGID_DESTROY_PLAYER, &gone);
        ProcessNetworkMessages();
    }
    // A GAME_MSGID_SETTINGS as the other computer would send it, this computer's settings untouched.
    static std::vector<uint8_t> Settings(int32_t difficulty, int32_t minutes, uint8_t swapLocked)
    {
        const MatchSettings kept = MatchSetup;
        MatchSetup.difficulty = difficulty;
        MatchSetup.minutesPerHalf = minutes;
        MatchSetup.abilitySwapLocked = swapLocked;
        std::vector<uint8_t> message = BuildGameMessage(GAME_MSGID_SETTINGS);
        MatchSetup = kept;
        return message;
    }
    static ScreenId Screen() { return (ScreenId)CurrentScreenId; }
};

}  // namespace net_a
