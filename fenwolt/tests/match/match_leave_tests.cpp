// Leaving a match and being left: Esc asks before a match is thrown away, the survivor of a
// two-computer match whose other computer went keeps a standing match and the system menu, and
// the chat rows of a network match stay apart from each other and from the info panel. Run on
// the headless device, since what is shown and clickable is the point.
#include "fenwolt/tests/match/match_screen_support.h"

#include "fenwolt/Game/FrontEnd/ConfirmBox.h"
#include "fenwolt/Game/FrontEnd/TextEntry.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Match/Hud.h"
#include "fenwolt/Game/Match/MatchScreen.h"
#include "fenwolt/Game/Match/Rules.h"
#include "fenwolt/Game/Match/TurnEngine.h"
#include "fenwolt/Game/Network/GameMessages.h"
#include "fenwolt/Game/Network/NetState.h"
#include "fenwolt/Game/Screens.h"
#include "fenwolt/Game/Engine/Sprites.h"
#include "fenwolt/common/AppFramework.h"
#include "platform/tests/support/test_requirements.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>

using namespace matchdrive;

namespace {

class MatchLeaveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!app.Open(true)) SKIP_WITHOUT("a GL device") << app.error;
        // The scratch folder reaches the data set's folders through links: saves go into a
        // folder of its own.
        std::error_code ec;
        std::filesystem::remove(app.Dir() / "saves", ec);
        std::filesystem::create_directories(app.Dir() / "saves");
    }
    void TearDown() override
    {
        DebugMode = false;
        app.Close();
    }

    static void Send(uint32_t message)
    {
        LastMessageId = message;
        if (ScreenMessageHandler) ScreenMessageHandler((int32_t)message);
    }
    static void Key(uint32_t key)
    {
        LastMessageParam = key;
        Send(WM_KEYDOWN);
    }
    static void PointAt(unsigned handle)
    {
        const Sprite* s = SpriteAt(handle);
        ASSERT_TRUE(s && s->Device) << "sprite " << handle;
        MouseX = (s->ScreenRect.left + s->ScreenRect.right) / 2;
        MouseY = (s->ScreenRect.top + s->ScreenRect.bottom) / 2;
    }
    static void Click(unsigned handle, uint32_t message = WM_LBUTTONDOWN)
    {
        PointAt(handle);
        Send(message);
    }
    static bool Shown(unsigned handle)
    {
        const Sprite* s = SpriteAt(handle);
        return s && s->Device && s->IsVisible();
    }
    static bool Clickable(unsigned handle)
    {
        const Sprite* s = SpriteAt(handle);
        return s && s->Device && s->IsVisible() && s->IsActive();
    }
    // Two computers, this one the host or the guest, with a session that is up (and that the
    // departure closes) but nobody on the other end.
    static void StartNetworkMatch(bool host)
    {
        MatchOptions o;
        o.managers = 2;
        o.network = true;
        o.networkHost = host;
        StartMatch(o);
        Net.sessionSetUp = 1;
    }
    static void OtherComputerGoes()
    {
        LastMessageParam = NOTIFY_PLAYER_LEFT;
        Send(WM_NET_NOTIFY);
    }
    static bool StepUntilPhase(int32_t phase)
    {
        for (int i = 0; i < 2000 && TurnPhase != phase; ++i) Frame(0.02f);
        return TurnPhase == phase;
    }
    // Everything a manager might do to the match: clicks all over the pitch, the keys that give
    // orders or end the turn, the HUD buttons where they were.
    static void TryToPlayOn()
    {
        const int points[][2] = {{400, 300}, {250, 200}, {560, 360}, {120, 260}, {640, 180}};
        for (const auto& p : points) {
            MouseX = p[0];
            MouseY = p[1];
            Send(WM_MOUSEMOVE);
            Send(WM_LBUTTONDOWN);
            Send(WM_LBUTTONUP);
            Send(WM_RBUTTONDOWN);
            Send(WM_RBUTTONUP);
        }
        for (uint32_t key : {(uint32_t)VK_SPACE, (uint32_t)'N', (uint32_t)'M', (uint32_t)'0', (uint32_t)'5', (uint32_t)'P'})
            Key(key);
        // Where End Turn, Pass and Substitute stand while they are shown.
        for (int y : {545, 425, 365}) {
            MouseX = 760;
            MouseY = y;
            Send(WM_LBUTTONDOWN);
        }
    }
    // The survivor's screen: the message, the System button and nothing else to press.
    static void ExpectStranded()
    {
        EXPECT_EQ(OtherComputerLeft, 1);
        EXPECT_TRUE(Shown(SPRITE_DISCONNECTED));
        EXPECT_TRUE(Clickable(SPRITE_BUTTON_SYSTEM));
        EXPECT_TRUE(Clickable(SPRITE_CAPTION_SYSTEM));
        for (unsigned h : {SPRITE_BUTTON_END_TURN, SPRITE_CAPTION_END_TURN, SPRITE_BUTTON_PASS, SPRITE_CAPTION_PASS,
                           SPRITE_BUTTON_SUBSTITUTE, SPRITE_CAPTION_SUBSTITUTE, SPRITE_CHAT_IN, SPRITE_CHAT_SEND,
                           SPRITE_CHAT_LINE})
            EXPECT_FALSE(Shown(h)) << "sprite " << h;
    }

    MatchApp app;
};

TEST_F(MatchLeaveTest, EscAsksFirstNoKeepsTheMatchGoingAndYesLeavesForTheStartMenu)
{
    StartMatch(MatchOptions{});
    EndTurn();  // into the moving phase, so that a standing match shows
    ASSERT_EQ(TurnPhase, PHASE_HOME_MOVES);
    Frame(0.1f);

    Key(VK_ESCAPE);
    EXPECT_EQ(CurrentScreenId, (int32_t)ScreenId::Match);
    ASSERT_TRUE(ConfirmBoxShown());
    EXPECT_EQ(ConfirmBox.kind, CONFIRM_ABANDON_GAME);
    // The question stands over the match, which stands still under it and takes no clicks.
    const uint64_t asked = HashMatch();
    for (int i = 0; i < 100; ++i) Frame(0.05f);
    EXPECT_EQ(HashMatch(), asked);
    EXPECT_FALSE(Clickable(SPRITE_BUTTON_SYSTEM));

    Click(CONFIRM_NO, WM_LBUTTONUP);
    EXPECT_FALSE(ConfirmBoxShown());
    EXPECT_EQ(CurrentScreenId, (int32_t)ScreenId::Match);
    EXPECT_EQ(ScreenMessageHandler, HandleMatchMessage);
    ASSERT_TRUE(StepUntilPhase(PHASE_AWAY_PLANS)) << "the match goes on after No";

    Key(VK_ESCAPE);
    ASSERT_TRUE(ConfirmBoxShown());
    Click(CONFIRM_YES, WM_LBUTTONUP);
    EXPECT_EQ(CurrentScreenId, (int32_t)ScreenId::StartMenu);
    EXPECT_EQ(MatchScreenActive, 0);
}

TEST_F(MatchLeaveTest, OnTwoComputersEscAsksTheSameAndYesClosesTheSession)
{
    StartNetworkMatch(false);
    Key(VK_ESCAPE);
    ASSERT_TRUE(ConfirmBoxShown());
    EXPECT_EQ(ConfirmBox.kind, CONFIRM_ABANDON_GAME);
    Click(CONFIRM_NO, WM_LBUTTONUP);
    EXPECT_TRUE(IsNetworkGame());
    EXPECT_EQ(Net.sessionSetUp, 1);

    Key(VK_ESCAPE);
    Click(CONFIRM_YES, WM_LBUTTONUP);
    EXPECT_EQ(CurrentScreenId, (int32_t)ScreenId::StartMenu);
    // Closing the session is what tells the other computer (as any player who quits).
    EXPECT_EQ(Net.sessionSetUp, 0);
    EXPECT_FALSE(IsNetworkGame());
}

// Who survives, and whose planning it was when the other computer went.
struct Departure {
    const char* name;
    bool survivorHosts;
    int32_t phase;
};

void PrintTo(const Departure& d, std::ostream* os) { *os << d.name; }

class StrandedTest : public MatchLeaveTest, public ::testing::WithParamInterface<Departure> {};

TEST_P(StrandedTest, TheMatchStandsNoOrderIsTakenAndOnlyTheSystemMenuLeadsOn)
{
    const Departure d = GetParam();
    StartNetworkMatch(d.survivorHosts);
    if (d.phase != PHASE_HOME_PLANS) {
        EndTurnIfAllowed();
        ASSERT_TRUE(d.phase == PHASE_HOME_MOVES || StepUntilPhase(d.phase));
    }
    Frame(0.1f);
    OtherComputerGoes();
    EXPECT_FALSE(IsNetworkGame()) << "the session is closed";
    ExpectStranded();

    const uint64_t left = HashMatch();
    const int32_t minute = Minute, second = Second;
    TryToPlayOn();
    for (int i = 0; i < 300; ++i) Frame(0.05f);
    EXPECT_EQ(TurnPhase, d.phase);
    EXPECT_EQ(Minute * 60 + Second, minute * 60 + second);
    EXPECT_EQ(HashMatch(), left) << "no order and no step reached either side";
    EXPECT_EQ(CurrentScreenId, (int32_t)ScreenId::Match);
    ExpectStranded();

    // The System button opens the system menu; Return comes back to the same standing match.
    Click(SPRITE_BUTTON_SYSTEM);
    ASSERT_TRUE(PopupOpen);
    EXPECT_EQ(ScreenMessageHandler, SystemMenuMessageHandler);
    Click(SYSMENU_RETURN);
    EXPECT_FALSE(PopupOpen);
    ExpectStranded();
    for (int i = 0; i < 50; ++i) Frame(0.05f);
    EXPECT_EQ(HashMatch(), left);

    // So does Esc; the game saves, and "Restart game" leaves for the start menu after its question.
    Key(VK_ESCAPE);
    ASSERT_TRUE(PopupOpen);
    Click(SYSMENU_FIRST_SLOT + 2);
    EXPECT_TRUE(std::filesystem::exists(app.Dir() / "saves" / "sav2.sav"));
    Click(SYSMENU_RESTART);
    ASSERT_TRUE(ConfirmBoxShown());
    Click(CONFIRM_YES, WM_LBUTTONUP);
    EXPECT_EQ(CurrentScreenId, (int32_t)ScreenId::StartMenu);
}

INSTANTIATE_TEST_SUITE_P(EachSideAndPhase, StrandedTest,
                         ::testing::Values(Departure{"HostInItsOwnPlanning", true, PHASE_HOME_PLANS},
                                           Departure{"HostInTheGuestsPlanning", true, PHASE_AWAY_PLANS},
                                           Departure{"GuestInTheHostsPlanning", false, PHASE_HOME_PLANS},
                                           Departure{"GuestInItsOwnPlanning", false, PHASE_AWAY_PLANS},
                                           Departure{"HostWhileTheHomeSideMoves", true, PHASE_HOME_MOVES}),
                         [](const ::testing::TestParamInfo<Departure>& info) { return std::string(info.param.name); });

TEST_F(MatchLeaveTest, EscOfTheSurvivorOpensTheSystemMenuAndALineBeingTypedIsDropped)
{
    StartNetworkMatch(true);
    Key(VK_F7);
    ASSERT_TRUE(TextEntryRunning);
    OtherComputerGoes();
    EXPECT_FALSE(TextEntryRunning);
    EXPECT_EQ(ChatEntryActive, 0);
    ExpectStranded();
    Key(VK_ESCAPE);
    EXPECT_TRUE(PopupOpen);
    EXPECT_FALSE(ConfirmBoxShown());
}

// Keys as the window gets them: a running text entry sees them before the screen does.
void WindowKey(uint32_t key) { TheApp.HandleMessage(TheApp.MainWindow, WM_KEYDOWN, key, 0); }

TEST_F(MatchLeaveTest, EscThatThrowsAChatLineAwayDoesNotAlsoAskToLeaveTheMatch)
{
    StartNetworkMatch(true);
    WindowKey(VK_F7);
    ASSERT_TRUE(TextEntryRunning);
    WindowKey('H');
    WindowKey('I');
    WindowKey(VK_ESCAPE);
    EXPECT_FALSE(TextEntryRunning);
    EXPECT_FALSE(ConfirmBoxShown()) << "the Esc was the chat line's";
    EXPECT_STREQ(Chat.outgoing, "");

    WindowKey(VK_F7);
    WindowKey('H');
    WindowKey('I');
    WindowKey(VK_RETURN);
    EXPECT_FALSE(TextEntryRunning);
    EXPECT_STREQ(Chat.outgoing, "hi");
    EXPECT_STREQ(SpriteAt(SPRITE_CHAT_LINE)->Text, "hi");

    // The next Esc is the match's again.
    WindowKey(VK_ESCAPE);
    EXPECT_TRUE(ConfirmBoxShown());
}

TEST_F(MatchLeaveTest, AMatchOverWhenTheOtherComputerLeftStillReachesItsResult)
{
    StartNetworkMatch(true);
    DebugMode = true;
    Key(VK_F4);
    ASSERT_EQ(MatchStopState, STOP_FULL_TIME);
    OtherComputerGoes();
    for (int i = 0; i < 200 && CurrentScreenId == (int32_t)ScreenId::Match; ++i) Frame(0.05f);
    EXPECT_EQ(CurrentScreenId, (int32_t)ScreenId::ExhibitionResult);
}

TEST_F(MatchLeaveTest, ADepartureNoticeInAOneComputerMatchChangesNothing)
{
    StartMatch(MatchOptions{});
    OtherComputerGoes();
    EXPECT_EQ(OtherComputerLeft, 0);
    EXPECT_FALSE(Shown(SPRITE_DISCONNECTED));
    EXPECT_TRUE(Clickable(SPRITE_BUTTON_END_TURN));
    EndTurn();
    EXPECT_EQ(TurnPhase, PHASE_HOME_MOVES);
}

// What a text sprite covers: from its position the advance of each glyph, one cell high; a
// picture covers its rectangle.
RECT Covered(unsigned handle)
{
    const Sprite* s = SpriteAt(handle);
    if (!s || !s->Device) return RECT{0, 0, 0, 0};
    if (!s->IsText) return s->ScreenRect;
    int width = 0;
    for (const char* c = s->Text; *c; ++c) width += GetGlyphWidth(s->Font ? s->Font->Kind : 0, (unsigned char)*c);
    return RECT{(LONG)s->X, s->ScreenRect.top, (LONG)s->X + width, s->ScreenRect.bottom};
}

bool Overlap(const RECT& a, const RECT& b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// The received line, the "Send>" label and the line typed or sent: apart from each other, from
// the info panel in each of its sizes, from the HUD buttons and from the ticker along the bottom.
TEST_F(MatchLeaveTest, TheChatRowsCoverNeitherEachOtherNorThePanelNorTheButtons)
{
    StartNetworkMatch(true);
    // Full lines of the widest letters: the rows must keep apart whatever is said.
    const std::string widest(CHAT_LINE_SIZE - 1, 'W');
    SetSpriteText(SPRITE_CHAT_IN, ("In>" + widest).c_str());
    SetSpriteText(SPRITE_CHAT_LINE, widest.c_str());
    const unsigned chat[3] = {SPRITE_CHAT_IN, SPRITE_CHAT_SEND, SPRITE_CHAT_LINE};
    for (unsigned h : chat) ASSERT_TRUE(Shown(h)) << h;
    EXPECT_FALSE(Overlap(Covered(SPRITE_CHAT_IN), Covered(SPRITE_CHAT_SEND)));
    EXPECT_FALSE(Overlap(Covered(SPRITE_CHAT_IN), Covered(SPRITE_CHAT_LINE)));
    EXPECT_FALSE(Overlap(Covered(SPRITE_CHAT_SEND), Covered(SPRITE_CHAT_LINE)));
    // The received line stands above the line sent.
    EXPECT_LE(Covered(SPRITE_CHAT_IN).bottom, Covered(SPRITE_CHAT_SEND).top);

    for (int32_t size = 1; size <= 3; ++size) {
        ShowInfoPanelGroup(size);
        Frame(0.02f);
        for (unsigned panel = 1100; panel <= 1170; ++panel) {
            if (!Shown(panel)) continue;
            for (unsigned h : chat)
                EXPECT_FALSE(Overlap(Covered(h), Covered(panel)))
                    << "chat " << h << " over panel sprite " << panel << " at size " << size;
        }
    }
    for (unsigned h : chat) EXPECT_LT(Covered(h).bottom, 583) << "the ticker's row";

    // A full line of ordinary capitals stays clear of the HUD buttons on the right (only a line
    // of nothing but the widest letters reaches under the Pass button).
    const std::string capitals(CHAT_LINE_SIZE - 1, 'O');
    SetSpriteText(SPRITE_CHAT_IN, ("In>" + capitals).c_str());
    SetSpriteText(SPRITE_CHAT_LINE, capitals.c_str());
    for (unsigned button : {SPRITE_CAPTION_END_TURN, SPRITE_CAPTION_PASS, SPRITE_CAPTION_SYSTEM, SPRITE_BUTTON_END_TURN,
                            SPRITE_BUTTON_PASS, SPRITE_BUTTON_SYSTEM, SPRITE_CAPTION_SUBSTITUTE, SPRITE_BUTTON_SUBSTITUTE})
        for (unsigned h : chat) EXPECT_FALSE(Overlap(Covered(h), Covered(button))) << h << " over " << button;

    // Typing a line: the entry takes the place of the line sent, beside its label and below the
    // line received.
    Key(VK_F7);
    ASSERT_TRUE(TextEntryRunning);
    const Sprite* typed = SpriteAt(TEXT_ENTRY_TEXT_SPRITE);
    ASSERT_TRUE(typed && typed->Device);
    EXPECT_EQ(typed->X, CHAT_LINE_X);
    EXPECT_EQ(typed->Y, CHAT_SEND_Y);
    EXPECT_FALSE(Overlap(Covered(TEXT_ENTRY_TEXT_SPRITE), Covered(SPRITE_CHAT_IN)));
    EXPECT_FALSE(Overlap(Covered(TEXT_ENTRY_TEXT_SPRITE), Covered(SPRITE_CHAT_SEND)));
}

}  // namespace
