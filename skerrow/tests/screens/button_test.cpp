#include <gtest/gtest.h>

#include "platform/win32/platform_internal.h"

#include "skerrow/Src/Button.h"
#include "skerrow/Src/Input.h"
#include "skerrow/Src/game/ScreenCommon.h"

namespace {

// One poll of the keyboard and the left button, as the main loop does before a frame.
void Poll(bool left, int key = 0, uint32_t now = 0)
{
    uint8_t keys[256] = {};
    if (key) keys[key] = 0x80;
    DIMOUSESTATE mouse{};
    mouse.rgbButtons[0] = left ? 0x80 : 0;
    ProcessInputStates(keys, &mouse, now);
}

// Runs one frame of a button with the event of the ring; the event code after the button.
int32_t Frame(Button& b)
{
    MouseEvent ev{};
    PopMouseEvent(&ev);
    int32_t code = ev.code;
    b.HandleInput(&code);
    return code;
}

class ButtonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_input = InputState{};
        g_clickedButtonId = 0;
        button.Set(100, 100, 100, 30, 7);
    }
    void MoveTo(int x, int y)
    {
        g_cursorX = x;
        g_cursorY = y;
    }
    Button button;
};

}  // namespace

TEST_F(ButtonTest, PushFiresOnReleaseInsideOnly)
{
    MoveTo(150, 110);
    Poll(true, 0, 1000);
    EXPECT_EQ(Frame(button), MOUSE_NONE);  // the press is consumed
    EXPECT_TRUE(button.IsActive());
    EXPECT_EQ(g_clickedButtonId, 0);
    Poll(false, 0, 1016);
    EXPECT_EQ(Frame(button), MOUSE_LEFT_UP);  // the release is not
    EXPECT_EQ(g_clickedButtonId, 7);
    EXPECT_FALSE(button.pressed);

    // Press inside, move out, release: nothing.
    g_clickedButtonId = 0;
    Poll(true, 0, 5000);
    Frame(button);
    MoveTo(20, 20);
    Poll(false, 0, 5016);
    Frame(button);
    EXPECT_EQ(g_clickedButtonId, 0);
    EXPECT_FALSE(button.pressed);

    // Press outside, move in, release: nothing (it was never pressed).
    Poll(true, 0, 9000);
    Frame(button);
    MoveTo(150, 110);
    Poll(false, 0, 9016);
    Frame(button);
    EXPECT_EQ(g_clickedButtonId, 0);
}

TEST_F(ButtonTest, QuickSecondClickIsADoublePressThatDoesNotFire)
{
    MoveTo(150, 110);
    Poll(true, 0, 1000);
    Frame(button);
    Poll(false, 0, 1050);
    Frame(button);
    ASSERT_EQ(g_clickedButtonId, 7);
    g_clickedButtonId = 0;
    Poll(true, 0, 1100);  // within 300 ms of the first press
    EXPECT_EQ(Frame(button), MOUSE_NONE);
    EXPECT_FALSE(button.pressed);
    Poll(false, 0, 1150);
    Frame(button);
    EXPECT_EQ(g_clickedButtonId, 0);
}

TEST_F(ButtonTest, AutoRepeatFiresEveryHeldFrameWhileHovered)
{
    button.SetType(BUTTON_REPEAT);
    MoveTo(150, 110);
    Poll(true, 0, 1000);
    Frame(button);
    EXPECT_EQ(g_clickedButtonId, 7);
    for (int i = 0; i < 3; ++i) {
        g_clickedButtonId = 0;
        Poll(true, 0, 1016 + 16 * i);
        Frame(button);
        EXPECT_EQ(g_clickedButtonId, 7);
    }
    g_clickedButtonId = 0;
    MoveTo(400, 400);
    Poll(true, 0, 2000);
    Frame(button);
    EXPECT_EQ(g_clickedButtonId, 0);
    // Set resets the type: SetType must come after it.
    button.Set(0, 0, 10, 10, 1);
    EXPECT_EQ(button.type, BUTTON_PUSH);
}

TEST_F(ButtonTest, HotkeyAndDisabledButtons)
{
    button.hotkey = DIK_RETURN;
    MoveTo(0, 0);
    Poll(false, DIK_RETURN);
    Frame(button);
    EXPECT_EQ(g_clickedButtonId, 7);

    g_clickedButtonId = 0;
    button.SetEnabled(0);
    EXPECT_TRUE(button.IsDisabled());
    EXPECT_FALSE(button.IsIdle());
    Poll(false, 0);
    Poll(false, DIK_RETURN);
    Frame(button);
    EXPECT_EQ(g_clickedButtonId, 0);
    MoveTo(150, 110);
    Poll(true, 0, 8000);
    EXPECT_EQ(Frame(button), MOUSE_LEFT_DOWN);  // not consumed by a disabled button
    EXPECT_FALSE(button.pressed);

    button.SetEnabled(1);
    button.SetShown(0);
    Poll(false, 0);
    Poll(false, DIK_RETURN);
    Frame(button);
    EXPECT_EQ(g_clickedButtonId, 0);
}

// A button that goes out of use under the pointer (START once the selection is gone) loses its
// highlight at once, and the press it had does not fire it when it is usable again.
TEST_F(ButtonTest, ButtonTakenOutOfUseDropsItsHoverAndPress)
{
    MoveTo(150, 110);
    Poll(true, 0, 1000);
    Frame(button);
    ASSERT_TRUE(button.hovered);
    ASSERT_TRUE(button.IsActive());
    button.SetEnabled(0);
    Poll(true, 0, 1016);
    Frame(button);
    EXPECT_FALSE(button.hovered);
    EXPECT_FALSE(button.IsActive());
    button.SetEnabled(1);
    Poll(false, 0, 1032);
    Frame(button);
    EXPECT_TRUE(button.hovered);
    EXPECT_EQ(g_clickedButtonId, 0);

    Poll(false, 0, 2000);
    Frame(button);
    ASSERT_TRUE(button.hovered);
    button.SetShown(0);
    Frame(button);
    EXPECT_FALSE(button.hovered);
}

TEST_F(ButtonTest, AbsolutePositionAndLabelPlacement)
{
    Button parent;
    parent.Set(10, 20, 300, 300, 1);
    button.parent = &parent;
    int x, y;
    button.GetAbsolutePosition(&x, &y);
    EXPECT_EQ(x, 110);
    EXPECT_EQ(y, 120);
    button.parent = nullptr;

    // A 40-pixel text on the 100 x 30 button.
    button.LabelPosition(40, &x, &y);
    EXPECT_EQ(x, 100 + 30);
    EXPECT_EQ(y, 100 + 8);
    button.labelModeX = 1;
    button.labelModeY = 1;
    button.labelOffsetX = 5;
    button.labelOffsetY = 3;
    button.LabelPosition(40, &x, &y);
    EXPECT_EQ(x, 105);
    EXPECT_EQ(y, 103);
    button.labelModeX = 2;
    button.labelModeY = 2;
    button.LabelPosition(40, &x, &y);
    EXPECT_EQ(x, 100 + 100 - 40 - 5);
    EXPECT_EQ(y, 100 + 30 - 3 - 18);
    button.labelModeX = 7;
    button.labelModeY = 9;
    button.LabelPosition(40, &x, &y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
}

TEST_F(ButtonTest, FirstButtonUnderTheCursorTakesThePress)
{
    Button second;
    second.Set(100, 100, 100, 30, 8);
    MoveTo(150, 110);
    Poll(true, 0, 1000);
    MouseEvent ev{};
    PopMouseEvent(&ev);
    int32_t code = ev.code;
    button.HandleInput(&code);
    second.HandleInput(&code);
    EXPECT_TRUE(button.pressed);
    EXPECT_FALSE(second.pressed);
}

// Texts from the language pack carry a number into them without ever being a printf format.
TEST(ScreenText, NumberGoesIntoATextThatIsNeverAFormat)
{
    char out[64];
    FormatNumberInto("Trade %d points", 250, out, sizeof out);
    EXPECT_STREQ(out, "Trade 250 points");
    FormatNumberInto("%s%n%x %d %d 100%%", -7, out, sizeof out);
    EXPECT_STREQ(out, "%s%n%x -7 %d 100%");
    FormatNumberInto("abcdefghij %d", 123456, out, 12);
    EXPECT_STREQ(out, "abcdefghij ");
    FormatNumberInto(nullptr, 1, out, sizeof out);
    EXPECT_STREQ(out, "");
}

namespace {
LRESULT CALLBACK CursorTestProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }

// The desktop's pointer put on a pixel of the window.
void PointerTo(HWND window, int x, int y)
{
    POINT p{x, y};
    ClientToScreen(window, &p);
    SetCursorPos(p.x, p.y);
}
}  // namespace

// The game's cursor is drawn under the desktop's pointer: where it is when the game starts and
// after a level that moved only the ship, not wherever the summed motion would put it.
TEST(Cursor, StaysUnderThePointerOfTheGamesWindow)
{
    ASSERT_TRUE(PlatformInit());
    WNDCLASSA wc{};
    wc.lpfnWndProc = CursorTestProc;
    wc.lpszClassName = "SkerrowCursorTest";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, "SkerrowCursorTest", "cursor", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr,
                                  nullptr, nullptr);
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    PlatformSetBackBufferSize(window, 640, 480);
    g_input = InputState{};
    DIMOUSESTATE motion{};
    motion.lX = 5;
    motion.lY = -3;
    // No window known yet: the motion moves it.
    g_cursorX = 100;
    g_cursorY = 100;
    ProcessInputStates(nullptr, &motion, 0);
    MoveCursor();
    EXPECT_EQ(g_cursorX, 105);
    EXPECT_EQ(g_cursorY, 97);

    g_input.window = window;
    PointerTo(window, 200, 150);
    ProcessInputStates(nullptr, &motion, 0);
    MoveCursor();
    EXPECT_EQ(g_cursorX, 200);
    EXPECT_EQ(g_cursorY, 150);
    // The ship took the motion of a whole level; the cursor comes back under the pointer.
    PointerTo(window, 630, 20);
    ReadMouseDelta(nullptr, nullptr, nullptr);
    MoveCursor();
    EXPECT_EQ(g_cursorX, 630);
    EXPECT_EQ(g_cursorY, 20);
    DestroyWindow(window);
    g_input = InputState{};
}
