// One click acts on one screen: a click (or a key) that leaves a screen, opens a pop-up or closes
// one ends there, and what the player did before the next screen was drawn is not taken by it.
// Input goes through the queue and the window procedure as the platform delivers it; where the
// program's own loop matters, the queue is taken as its loop takes it and frames are drawn as it
// draws them.
#include "fe_a_support.h"

#include "fenwolt/Game/FrontEnd/ConfirmBox.h"
#include "fenwolt/Game/FrontEnd/Intro.h"
#include "fenwolt/Game/FrontEnd/StartMenu.h"
#include "fenwolt/Game/GameApp.h"
#include "platform/win32/detail.h"

#include <algorithm>

namespace {

// Where LOAD and EXIT stand on the start menu; the title picture shows them in the same places.
constexpr int kLoadX = 340, kLoadY = 308, kExitX = 700, kExitY = 308;

void PressOnInfoPage1(int32_t message)
{
    if (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_KEYDOWN) SetScreen(ScreenId::InfoPage2);
}
void BuildPressingPage() { SetScreenMessageHandler(PressOnInfoPage1); }
void RecordMessage(int32_t message) { FrontEndATest::messages.push_back(message); }
void BuildRecordingPage()
{
    FrontEndATest::messages.clear();
    SetScreenMessageHandler(RecordMessage);
}

class OneClickTest : public FrontEndATest {
protected:
    void TearDown() override
    {
        SetScreenBuilder(ScreenId::InfoPage1, nullptr);
        SetScreenBuilder(ScreenId::InfoPage2, nullptr);
        FrontEndATest::TearDown();
    }
    // The queue taken as the program's loop takes it: what the application refuses is dropped.
    static void PumpAsTheLoopDoes()
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!TheApp.AcceptQueuedMessage(msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    // One frame as the loop draws it (the screen's update, the drawing, the present), then the
    // queue taken.
    static void Frame()
    {
        Sleep(2);
        ASSERT_EQ(TheApp.RenderOneFrame(), S_OK);
        PumpAsTheLoopDoes();
    }
    // A click the platform has queued and the program has not taken yet.
    static void QueueClick(int x, int y)
    {
        platform_detail::InjectMouseMove(x, y);
        platform_detail::InjectMouseButton(0, true);
        platform_detail::InjectMouseButton(0, false);
    }
    // The title picture, drawn.
    void ToTitle()
    {
        SetScreen(ScreenId::Intro);
        Frame();
        Key(VK_SPACE);
        ASSERT_EQ(Intro.stage, 1);
        Frame();
    }
    static int Count(int32_t message) { return (int)std::count(messages.begin(), messages.end(), message); }
};

}  // namespace

// Two clicks in quick succession on the title: the first goes on to the start menu, the second
// was made on the title and goes nowhere; on the start menu as drawn, a click takes LOAD.
TEST_F(OneClickTest, ADoubleClickOnTheTitleStopsAtTheStartMenu)
{
    ToTitle();
    QueueClick(kLoadX, kLoadY);
    QueueClick(kLoadX, kLoadY);
    PumpAsTheLoopDoes();
    EXPECT_EQ(CurrentScreenId, (int32_t)ScreenId::StartMenu);
    EXPECT_FALSE(LeftButtonDown);

    Frame();
    QueueClick(kLoadX, kLoadY);
    PumpAsTheLoopDoes();
    EXPECT_EQ(CurrentScreenId, (int32_t)ScreenId::LoadGame);
}

// The title runs out in the frame during which the player presses: the start menu is built and
// drawn, but the press was aimed at the title and its release follows it out.
TEST_F(OneClickTest, APressMadeWhileTheFrameThatChangedTheScreenWasDrawnIsNotTheNewScreens)
{
    ToTitle();
    Intro.titleCountdown = 0.0001f;
    platform_detail::InjectMouseMove(kLoadX, kLoadY);
    platform_detail::InjectMouseButton(0, true);
    Frame();
    EXPECT_EQ(CurrentScreenId, (int32_t)ScreenId::StartMenu);
    EXPECT_FALSE(LeftButtonDown);
    platform_detail::InjectMouseButton(0, false);
    PumpAsTheLoopDoes();
    EXPECT_EQ(CurrentScreenId, (int32_t)ScreenId::StartMenu);

    QueueClick(kLoadX, kLoadY);
    PumpAsTheLoopDoes();
    EXPECT_EQ(CurrentScreenId, (int32_t)ScreenId::LoadGame);
}

// A slow click: pressed on the title, released once the start menu has come in its place. EXIT
// acts on the release, but this release belongs to the title's press.
TEST_F(OneClickTest, AClickPressedOnTheTitleAndReleasedOnTheStartMenuIsNotExit)
{
    ToTitle();
    LeftDown(kExitX, kExitY);
    RunFor(INTRO_TITLE_SECONDS + 0.1f);
    ASSERT_EQ(CurrentScreenId, (int32_t)ScreenId::StartMenu);
    LeftUp(kExitX, kExitY);
    EXPECT_FALSE(ConfirmBoxShown());
    EXPECT_FALSE(LeftButtonDown);
    // The next whole click is the start menu's.
    Click(kExitX, kExitY);
    EXPECT_TRUE(ConfirmBoxShown());
    CloseConfirmBox();
}

// Whatever a screen switches on, the press's release, a key's repeats and its release stay with
// the screen it left; the next press is the new screen's, whole.
TEST_F(OneClickTest, TheRestOfAClickOrAKeyThatLeftAScreenStaysBehind)
{
    SetScreenBuilder(ScreenId::InfoPage1, BuildPressingPage);
    SetScreenBuilder(ScreenId::InfoPage2, BuildRecordingPage);

    SetScreen(ScreenId::InfoPage1);
    LeftDown(100, 100);
    ASSERT_EQ(CurrentScreenId, (int32_t)ScreenId::InfoPage2);
    LeftUp(100, 100);
    EXPECT_EQ(Count(WM_LBUTTONUP), 0);

    SetScreen(ScreenId::InfoPage1);
    KeyDown(VK_ESCAPE);
    ASSERT_EQ(CurrentScreenId, (int32_t)ScreenId::InfoPage2);
    KeyDown(VK_ESCAPE);  // held: the key repeats
    KeyDown(VK_ESCAPE);
    KeyUp(VK_ESCAPE);
    EXPECT_EQ(Count(WM_KEYDOWN), 0);
    EXPECT_EQ(Count(WM_KEYUP), 0);

    SetScreen(ScreenId::InfoPage1);
    platform_detail::InjectMouseMove(100, 100);
    platform_detail::InjectMouseButton(1, true);
    Pump();
    ASSERT_EQ(CurrentScreenId, (int32_t)ScreenId::InfoPage2);
    platform_detail::InjectMouseButton(1, false);
    Pump();
    EXPECT_EQ(Count(WM_RBUTTONUP), 0);
    EXPECT_FALSE(RightButtonDown);

    Click(100, 100);
    Key('A');
    EXPECT_EQ(Count(WM_LBUTTONDOWN), 1);
    EXPECT_EQ(Count(WM_LBUTTONUP), 1);
    EXPECT_EQ(Count(WM_KEYDOWN), 1);
    EXPECT_EQ(Count(WM_KEYUP), 1);
}

// The system menu's Return acts on the press and gives the screen below back: the release of
// that click is not the screen's (over the match, it would be an order on the pitch).
TEST_F(OneClickTest, ThePressThatClosesAPopUpKeepsItsReleaseFromTheScreenBelow)
{
    SetScreen(ScreenId::StartMenu);
    RecordScreenMessages();
    OpenPopupScreen(ScreenId::SystemMenu);
    LeftDown(CentreX(SYSMENU_RETURN), CentreY(SYSMENU_RETURN));
    ASSERT_FALSE(PopupOpen);
    LeftUp(CentreX(SYSMENU_RETURN), CentreY(SYSMENU_RETURN));
    EXPECT_EQ(Count(WM_LBUTTONUP), 0);
    Click(100, 100);
    EXPECT_EQ(Count(WM_LBUTTONDOWN), 1);
    EXPECT_EQ(Count(WM_LBUTTONUP), 1);
}
