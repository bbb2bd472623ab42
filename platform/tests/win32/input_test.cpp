// SDL's keyboard, text and mouse events as window messages, key state and DirectInput state.
#include "test_support.h"

#include "platform/win32/detail.h"

#include <SDL.h>

#include <cstring>

namespace {

class Input : public PlatformTest {
protected:
    void SetUp() override
    {
        PlatformTest::SetUp();
        hwnd = MakeTestWindow();
        ASSERT_NE(hwnd, nullptr);
        windowId = SDL_GetWindowID(PlatformSdlWindow(hwnd));
        DrainMessages();
        Seen().clear();
    }

    void Key(SDL_Scancode sc, bool down, SDL_Keycode sym = SDLK_UNKNOWN, bool repeat = false)
    {
        SDL_Event e{};
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.windowID = windowId;
        e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.key.repeat = repeat ? 1 : 0;
        e.key.keysym.scancode = sc;
        e.key.keysym.sym = sym != SDLK_UNKNOWN ? sym : SDL_GetKeyFromScancode(sc);
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }

    void Text(const char* utf8)
    {
        SDL_Event e{};
        e.type = SDL_TEXTINPUT;
        e.text.windowID = windowId;
        strncpy(e.text.text, utf8, sizeof e.text.text - 1);
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }

    void Motion(int x, int y, int xrel, int yrel)
    {
        SDL_Event e{};
        e.type = SDL_MOUSEMOTION;
        e.motion.windowID = windowId;
        e.motion.x = x;
        e.motion.y = y;
        e.motion.xrel = xrel;
        e.motion.yrel = yrel;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }

    void Button(Uint8 button, bool down, int x, int y)
    {
        SDL_Event e{};
        e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        e.button.windowID = windowId;
        e.button.button = button;
        e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.button.x = x;
        e.button.y = y;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }

    // The key messages dispatched to the window, in order, as (message, wParam).
    std::vector<std::pair<UINT, WPARAM>> KeyMessages()
    {
        std::vector<std::pair<UINT, WPARAM>> out;
        for (auto& s : Seen())
            if (s.message >= WM_KEYFIRST && s.message <= WM_KEYLAST) out.emplace_back(s.message, s.wParam);
        return out;
    }

    HWND hwnd = nullptr;
    Uint32 windowId = 0;
};

using P = std::pair<UINT, WPARAM>;

}  // namespace

TEST_F(Input, KeysBecomeVirtualKeyMessages)
{
    const struct {
        SDL_Scancode sc;
        int vk;
    } keys[] = {{SDL_SCANCODE_A, 'A'},          {SDL_SCANCODE_Z, 'Z'},           {SDL_SCANCODE_0, '0'},
                {SDL_SCANCODE_7, '7'},          {SDL_SCANCODE_F1, VK_F1},         {SDL_SCANCODE_F12, VK_F12},
                {SDL_SCANCODE_LEFT, VK_LEFT},   {SDL_SCANCODE_DOWN, VK_DOWN},     {SDL_SCANCODE_HOME, VK_HOME},
                {SDL_SCANCODE_END, VK_END},     {SDL_SCANCODE_PAGEUP, VK_PRIOR},  {SDL_SCANCODE_PAGEDOWN, VK_NEXT},
                {SDL_SCANCODE_INSERT, VK_INSERT}, {SDL_SCANCODE_DELETE, VK_DELETE}, {SDL_SCANCODE_RETURN, VK_RETURN},
                {SDL_SCANCODE_ESCAPE, VK_ESCAPE}, {SDL_SCANCODE_SPACE, VK_SPACE},   {SDL_SCANCODE_TAB, VK_TAB},
                {SDL_SCANCODE_BACKSPACE, VK_BACK}, {SDL_SCANCODE_KP_5, VK_NUMPAD5}, {SDL_SCANCODE_KP_PLUS, VK_ADD},
                {SDL_SCANCODE_KP_ENTER, VK_RETURN}};
    for (const auto& k : keys) {
        Seen().clear();
        Key(k.sc, true);
        DrainMessages();
        EXPECT_NE(GetAsyncKeyState(k.vk) & 0x8000, 0) << "vk " << k.vk;
        EXPECT_EQ(PlatformKeyboardScancodes()[k.sc], 1) << "scancode " << k.sc;
        Key(k.sc, false);
        DrainMessages();
        EXPECT_EQ(GetAsyncKeyState(k.vk), 0);
        EXPECT_EQ(PlatformKeyboardScancodes()[k.sc], 0);
        auto down = SeenOf(WM_KEYDOWN);
        auto up = SeenOf(WM_KEYUP);
        ASSERT_EQ(down.size(), 1u) << "vk " << k.vk;
        ASSERT_EQ(up.size(), 1u) << "vk " << k.vk;
        EXPECT_EQ(down[0].wParam, static_cast<WPARAM>(k.vk));
        EXPECT_EQ(up[0].wParam, static_cast<WPARAM>(k.vk));
        EXPECT_EQ(down[0].lParam & 0xC0000000, 0);                      // fresh press
        EXPECT_EQ(static_cast<uint32_t>(up[0].lParam) & 0xC0000000u, 0xC0000000u);  // release
    }
}

TEST_F(Input, ModifiersAreGenericInMessagesAndSidedInState)
{
    Key(SDL_SCANCODE_RSHIFT, true);
    DrainMessages();
    EXPECT_EQ(KeyMessages(), (std::vector<P>{{WM_KEYDOWN, VK_SHIFT}}));
    EXPECT_NE(GetAsyncKeyState(VK_SHIFT) & 0x8000, 0);
    EXPECT_NE(GetAsyncKeyState(VK_RSHIFT) & 0x8000, 0);
    EXPECT_EQ(GetAsyncKeyState(VK_LSHIFT), 0);
    Key(SDL_SCANCODE_RSHIFT, false);
    DrainMessages();
    EXPECT_EQ(GetAsyncKeyState(VK_SHIFT), 0);
}

TEST_F(Input, AltCombinationsAreSystemKeys)
{
    Key(SDL_SCANCODE_LALT, true);
    Key(SDL_SCANCODE_X, true);
    Key(SDL_SCANCODE_X, false);
    Key(SDL_SCANCODE_LALT, false);
    DrainMessages();
    EXPECT_EQ(KeyMessages(), (std::vector<P>{{WM_SYSKEYDOWN, VK_MENU},
                                             {WM_SYSKEYDOWN, 'X'},
                                             {WM_SYSKEYUP, 'X'},
                                             {WM_SYSKEYUP, VK_MENU}}));
    auto sysDown = SeenOf(WM_SYSKEYDOWN);
    EXPECT_NE(sysDown[1].lParam & (1 << 29), 0);  // Alt context bit

    // F10 alone is a system key; Ctrl+Alt is not.
    Seen().clear();
    Key(SDL_SCANCODE_F10, true);
    Key(SDL_SCANCODE_F10, false);
    Key(SDL_SCANCODE_LCTRL, true);
    Key(SDL_SCANCODE_LALT, true);
    Key(SDL_SCANCODE_Q, true);
    Key(SDL_SCANCODE_Q, false);
    Key(SDL_SCANCODE_LALT, false);
    Key(SDL_SCANCODE_LCTRL, false);
    DrainMessages();
    auto m = KeyMessages();
    ASSERT_GE(m.size(), 5u);
    EXPECT_EQ(m[0], P(WM_SYSKEYDOWN, VK_F10));
    EXPECT_EQ(m[1], P(WM_SYSKEYUP, VK_F10));
    EXPECT_EQ(m[4], P(WM_KEYDOWN, 'Q'));
}

TEST_F(Input, AcceleratorsTurnKeysIntoCommands)
{
    HACCEL table = LoadAcceleratorsA(nullptr, MAKEINTRESOURCEA(113));
    ASSERT_NE(table, nullptr);
    struct Case {
        std::vector<SDL_Scancode> mods;
        SDL_Scancode key;
        WORD command;
    } cases[] = {{{SDL_SCANCODE_LCTRL}, SDL_SCANCODE_F2, 40002},
                 {{SDL_SCANCODE_LALT}, SDL_SCANCODE_RETURN, 40003},
                 {{SDL_SCANCODE_RALT}, SDL_SCANCODE_RETURN, 40003},
                 {{SDL_SCANCODE_LALT}, SDL_SCANCODE_X, 40006},
                 {{}, SDL_SCANCODE_RETURN, 0},
                 {{}, SDL_SCANCODE_F2, 0},
                 {{SDL_SCANCODE_LSHIFT, SDL_SCANCODE_LALT}, SDL_SCANCODE_RETURN, 0}};
    for (const auto& c : cases) {
        Seen().clear();
        for (auto m : c.mods) Key(m, true);
        Key(c.key, true);
        Key(c.key, false);
        for (auto m : c.mods) Key(m, false);
        DrainMessages(hwnd, table);
        auto commands = SeenOf(WM_COMMAND);
        int vk = platform_detail::VkFromScancode(c.key);
        bool keyArrived = false;
        for (auto& s : Seen())
            if ((s.message == WM_KEYDOWN || s.message == WM_SYSKEYDOWN) && s.wParam == static_cast<WPARAM>(vk))
                keyArrived = true;
        if (c.command) {
            ASSERT_EQ(commands.size(), 1u) << "command " << c.command;
            EXPECT_EQ(LOWORD(commands[0].wParam), c.command);
            EXPECT_EQ(HIWORD(commands[0].wParam), 1);
            EXPECT_FALSE(keyArrived) << "an accelerated key must not also arrive as a key press";
        } else {
            EXPECT_TRUE(commands.empty());
            EXPECT_TRUE(keyArrived);
        }
    }
    // Tables of one's own; unknown resources fail.
    ACCEL own[] = {{FVIRTKEY | FSHIFT, VK_F5, 7}};
    HACCEL mine = CreateAcceleratorTableA(own, 1);
    ASSERT_NE(mine, nullptr);
    Seen().clear();
    Key(SDL_SCANCODE_LSHIFT, true);
    Key(SDL_SCANCODE_F5, true);
    Key(SDL_SCANCODE_F5, false);
    Key(SDL_SCANCODE_LSHIFT, false);
    DrainMessages(hwnd, mine);
    ASSERT_EQ(SeenOf(WM_COMMAND).size(), 1u);
    EXPECT_EQ(LOWORD(SeenOf(WM_COMMAND)[0].wParam), 7);
    EXPECT_TRUE(DestroyAcceleratorTable(mine));
    EXPECT_EQ(LoadAcceleratorsA(nullptr, MAKEINTRESOURCEA(114)), nullptr);
}

TEST_F(Input, TextArrivesAsWindows1252Characters)
{
    Text("a\xC3\xA9\xE2\x82\xAC\xE5\xAD\x97Z");  // a, e-acute, euro sign, a CJK character, Z
    DrainMessages();
    std::vector<WPARAM> chars;
    for (auto& s : SeenOf(WM_CHAR)) chars.push_back(s.wParam);
    EXPECT_EQ(chars, (std::vector<WPARAM>{'a', 0xE9, 0x80, 'Z'}));
    for (auto& s : SeenOf(WM_CHAR)) EXPECT_EQ(s.lParam & (1u << 31), 0);
    // Malformed UTF-8 types nothing rather than garbage.
    Seen().clear();
    Text("\xC3(\x80");
    DrainMessages();
    chars.clear();
    for (auto& s : SeenOf(WM_CHAR)) chars.push_back(s.wParam);
    EXPECT_EQ(chars, (std::vector<WPARAM>{'('}));
}

TEST_F(Input, TranslateMessageMakesControlCharactersRightAfterTheirKey)
{
    Key(SDL_SCANCODE_RETURN, true);
    Key(SDL_SCANCODE_RETURN, false);
    Key(SDL_SCANCODE_BACKSPACE, true);
    Key(SDL_SCANCODE_BACKSPACE, false);
    Key(SDL_SCANCODE_LCTRL, true);
    Key(SDL_SCANCODE_C, true);
    Key(SDL_SCANCODE_C, false);
    Key(SDL_SCANCODE_LCTRL, false);
    DrainMessages();
    auto m = KeyMessages();
    std::vector<P> expected{{WM_KEYDOWN, VK_RETURN}, {WM_CHAR, '\r'},         {WM_KEYUP, VK_RETURN},
                            {WM_KEYDOWN, VK_BACK},   {WM_CHAR, 8},            {WM_KEYUP, VK_BACK},
                            {WM_KEYDOWN, VK_CONTROL}, {WM_KEYDOWN, 'C'},      {WM_CHAR, 3},
                            {WM_KEYUP, 'C'},         {WM_KEYUP, VK_CONTROL}};
    EXPECT_EQ(m, expected);
}

TEST_F(Input, KeyStateTogglesOnEachPressNotOnRepeats)
{
    EXPECT_EQ(GetKeyState(VK_INSERT) & 1, 0);
    Key(SDL_SCANCODE_INSERT, true);
    DrainMessages();
    EXPECT_EQ(GetKeyState(VK_INSERT) & 1, 1);
    EXPECT_LT(GetKeyState(VK_INSERT), 0);  // held: high bit
    Key(SDL_SCANCODE_INSERT, true, SDLK_UNKNOWN, true);  // auto-repeat
    Key(SDL_SCANCODE_INSERT, false);
    DrainMessages();
    EXPECT_EQ(GetKeyState(VK_INSERT), 1);
    auto downs = SeenOf(WM_KEYDOWN);
    ASSERT_EQ(downs.size(), 2u);
    EXPECT_NE(downs[1].lParam & (1 << 30), 0);  // the repeat says the key was down
    Key(SDL_SCANCODE_INSERT, true);
    Key(SDL_SCANCODE_INSERT, false);
    DrainMessages();
    EXPECT_EQ(GetKeyState(VK_INSERT), 0);
}

TEST_F(Input, MouseInBackBufferPixelsThroughTheLetterbox)
{
    PlatformSetBackBufferSize(hwnd, 800, 600);
    Motion(100, 50, 3, -2);
    DrainMessages();
    auto moves = SeenOf(WM_MOUSEMOVE);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(GET_X_LPARAM(moves[0].lParam), 100);
    EXPECT_EQ(GET_Y_LPARAM(moves[0].lParam), 50);
    // The cursor was announced first (the framework hides it there in full screen).
    EXPECT_EQ(SeenOf(WM_SETCURSOR).size(), 1u);
    POINT p;
    GetCursorPos(&p);
    ScreenToClient(hwnd, &p);
    EXPECT_EQ(p.x, 100);
    EXPECT_EQ(p.y, 50);

    // A back buffer half the window's size: window pixels are scaled down.
    PlatformSetBackBufferSize(hwnd, 400, 300);
    Seen().clear();
    Motion(200, 100, 1, 1);
    Button(SDL_BUTTON_LEFT, true, 200, 100);
    Button(SDL_BUTTON_LEFT, false, 200, 100);
    Button(SDL_BUTTON_RIGHT, true, 200, 100);
    DrainMessages();
    moves = SeenOf(WM_MOUSEMOVE);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(GET_X_LPARAM(moves[0].lParam), 100);
    EXPECT_EQ(GET_Y_LPARAM(moves[0].lParam), 50);
    ASSERT_EQ(SeenOf(WM_LBUTTONDOWN).size(), 1u);
    EXPECT_EQ(SeenOf(WM_LBUTTONDOWN)[0].wParam & MK_LBUTTON, static_cast<WPARAM>(MK_LBUTTON));
    EXPECT_EQ(GET_X_LPARAM(SeenOf(WM_LBUTTONDOWN)[0].lParam), 100);
    EXPECT_EQ(SeenOf(WM_LBUTTONUP).size(), 1u);
    EXPECT_EQ(SeenOf(WM_RBUTTONDOWN).size(), 1u);
    EXPECT_EQ(PlatformMouseButtons(), 2u);
    EXPECT_NE(GetAsyncKeyState(VK_RBUTTON) & 0x8000, 0);

    // DirectInput's relative motion adds up in back-buffer pixels (the second move counts half),
    // then starts again from zero.
    int dx, dy, wheel;
    PlatformTakeMouseMotion(dx, dy, wheel);
    EXPECT_EQ(dx, 3);
    EXPECT_EQ(dy, -2);
    PlatformTakeMouseMotion(dx, dy, wheel);
    EXPECT_EQ(dx, 0);
    EXPECT_EQ(dy, 0);

    // SetCursorPos and GetCursorPos agree in screen coordinates.
    POINT centre{200, 150};
    ClientToScreen(hwnd, &centre);
    SetCursorPos(centre.x, centre.y);
    int bx, by;
    PlatformMousePosition(bx, by);
    EXPECT_EQ(bx, 200);
    EXPECT_EQ(by, 150);
    GetCursorPos(&p);
    EXPECT_EQ(p.x, centre.x);
    EXPECT_EQ(p.y, centre.y);
}

// A program's cursor driven by relative motion keeps pace with the pointer whatever the scale
// of its picture: no faster in a window shown smaller, none lost in one shown larger.
TEST_F(Input, RelativeMotionIsInBackBufferPixelsAtAnyScale)
{
    int dx, dy, wheel;
    PlatformTakeMouseMotion(dx, dy, wheel);
    // Shown at twice its size: two pointer pixels make one; halves wait for the next move.
    PlatformSetBackBufferSize(hwnd, 400, 300);
    Motion(10, 10, 3, -3);
    Motion(20, 20, 3, -3);
    Motion(30, 30, 3, -3);
    DrainMessages();
    PlatformTakeMouseMotion(dx, dy, wheel);
    EXPECT_EQ(dx, 4);
    EXPECT_EQ(dy, -4);
    Motion(31, 31, 1, -1);
    DrainMessages();
    PlatformTakeMouseMotion(dx, dy, wheel);
    EXPECT_EQ(dx, 1);
    EXPECT_EQ(dy, -1);
    // A hundred one-pixel moves at 0.8 are 80 pixels, not 0 and not 100.
    PlatformSetBackBufferSize(hwnd, 640, 480);
    for (int i = 0; i < 100; ++i) Motion(100, 100, 1, 0);
    DrainMessages();
    PlatformTakeMouseMotion(dx, dy, wheel);
    EXPECT_EQ(dx, 80);
    EXPECT_EQ(dy, 0);
    // Shown at half its size: one pointer pixel is two of the picture's.
    PlatformSetBackBufferSize(hwnd, 1600, 1200);
    Motion(100, 100, 5, -7);
    DrainMessages();
    PlatformTakeMouseMotion(dx, dy, wheel);
    EXPECT_EQ(dx, 10);
    EXPECT_EQ(dy, -14);
}

// While a window owns the pointer its motion is how far the pointer's place in the picture
// moved, whatever the pointer says it moved: a tablet, a virtual machine's pointer or a remote
// desktop's reports where it is, and the program's cursor must land there, not be pushed. The
// place stops at the picture's edges, so the summed motion never runs away from the pointer.
TEST_F(Input, OwnedPointerMovesAsFarAsItsPlaceInThePicture)
{
    PlatformSetBackBufferSize(hwnd, 400, 300);  // shown at twice its size
    PlatformSetMouseCapture(hwnd, true);
    ASSERT_EQ(PlatformMouseCaptureWindow(), hwnd);
    int dx, dy, wheel;
    Motion(0, 0, -3, -3);
    DrainMessages();
    PlatformTakeMouseMotion(dx, dy, wheel);
    Motion(100, 80, 37, 12);
    DrainMessages();
    PlatformTakeMouseMotion(dx, dy, wheel);
    EXPECT_EQ(dx, 50);
    EXPECT_EQ(dy, 40);
    // The pointer reports where it already was: no motion, whatever the motion field says.
    Motion(100, 80, 100, 0);
    DrainMessages();
    PlatformTakeMouseMotion(dx, dy, wheel);
    EXPECT_EQ(dx, 0);
    EXPECT_EQ(dy, 0);
    // Beyond the picture: the motion ends at its last pixel, and going on there adds nothing.
    Motion(900, 700, 5, 5);
    Motion(798, 598, -5, -5);
    DrainMessages();
    PlatformTakeMouseMotion(dx, dy, wheel);
    EXPECT_EQ(dx, 399 - 50);
    EXPECT_EQ(dy, 299 - 40);
    POINT p{};
    GetCursorPos(&p);
    ScreenToClient(hwnd, &p);
    EXPECT_EQ(p.x, 399);
    EXPECT_EQ(p.y, 299);
    Motion(0, 0, -1, -1);
    DrainMessages();
    PlatformTakeMouseMotion(dx, dy, wheel);
    EXPECT_EQ(dx, -399);
    EXPECT_EQ(dy, -299);
    // Given back, the pointer's own motion counts again, in picture pixels.
    PlatformSetMouseCapture(hwnd, false);
    ASSERT_EQ(PlatformMouseCaptureWindow(), nullptr);
    Motion(10, 10, 4, 4);
    DrainMessages();
    PlatformTakeMouseMotion(dx, dy, wheel);
    EXPECT_EQ(dx, 2);
    EXPECT_EQ(dy, 2);
}

// A program that puts its cursor or ship somewhere itself puts the pointer there too
// (SetCursorPos): the pointer then moves it from there, with room to every edge of the picture,
// and the jump is no motion, whether the pointer is owned or not.
TEST_F(Input, PointerPutByTheProgramMovesFromThere)
{
    PlatformSetBackBufferSize(hwnd, 400, 300);  // shown at twice its size
    PlatformSetMouseCapture(hwnd, true);
    ASSERT_EQ(PlatformMouseCaptureWindow(), hwnd);
    int dx, dy, wheel;
    Motion(0, 0, -3, -3);
    DrainMessages();
    PlatformTakeMouseMotion(dx, dy, wheel);
    POINT centre{200, 150};
    ClientToScreen(hwnd, &centre);
    ASSERT_TRUE(SetCursorPos(centre.x, centre.y));
    DrainMessages();
    PlatformTakeMouseMotion(dx, dy, wheel);
    EXPECT_EQ(dx, 0);
    EXPECT_EQ(dy, 0);
    // From the middle, the pointer goes as far to the left edge as to the right.
    Motion(0, 300, 0, 0);
    DrainMessages();
    PlatformTakeMouseMotion(dx, dy, wheel);
    EXPECT_EQ(dx, -200);
    EXPECT_EQ(dy, 0);
    Motion(799, 300, 0, 0);
    DrainMessages();
    PlatformTakeMouseMotion(dx, dy, wheel);
    EXPECT_EQ(dx, 399);

    // A pointer the program does not own reports its jump to the new place as a move: no
    // motion is counted for it, only for what it moves from there.
    PlatformSetMouseCapture(hwnd, false);
    ASSERT_TRUE(SetCursorPos(centre.x, centre.y));
    DrainMessages();
    PlatformTakeMouseMotion(dx, dy, wheel);
    EXPECT_EQ(dx, 0);
    EXPECT_EQ(dy, 0);
    int wx = 0, wy = 0, bx = 0, by = 0;
    ASSERT_TRUE(platform_detail::BackBufferToWindow(hwnd, 200, 150, wx, wy));
    ASSERT_TRUE(platform_detail::WindowToBackBuffer(hwnd, wx, wy, bx, by));
    EXPECT_EQ(bx, 200);
    EXPECT_EQ(by, 150);
    Motion(wx - 8, wy + 4, -8, 4);
    DrainMessages();
    PlatformTakeMouseMotion(dx, dy, wheel);
    EXPECT_EQ(dx, -4);
    EXPECT_EQ(dy, 2);
}

TEST_F(Input, WaitingMovesAreCombinedButNotAcrossButtons)
{
    PlatformSetBackBufferSize(hwnd, 800, 600);
    Motion(1, 1, 1, 1);
    Motion(2, 2, 1, 1);
    Motion(3, 3, 1, 1);
    Button(SDL_BUTTON_LEFT, true, 3, 3);
    Motion(4, 4, 1, 1);
    Motion(5, 5, 1, 1);
    DrainMessages();
    auto moves = SeenOf(WM_MOUSEMOVE);
    ASSERT_EQ(moves.size(), 2u);
    EXPECT_EQ(GET_X_LPARAM(moves[0].lParam), 3);
    EXPECT_EQ(GET_X_LPARAM(moves[1].lParam), 5);
    EXPECT_EQ(moves[1].wParam & MK_LBUTTON, static_cast<WPARAM>(MK_LBUTTON));
    // DirectInput still gets all the motion.
    int dx, dy, wheel;
    PlatformTakeMouseMotion(dx, dy, wheel);
    EXPECT_EQ(dx, 5);
}

TEST_F(Input, KeyListenerSeesEveryChangeOnce)
{
    std::vector<std::pair<int, bool>> changes;
    PlatformSetKeyListener([&](int sc, bool down) { changes.emplace_back(sc, down); });
    Key(SDL_SCANCODE_UP, true);
    Key(SDL_SCANCODE_UP, true, SDLK_UNKNOWN, true);
    Key(SDL_SCANCODE_UP, false);
    DrainMessages();
    EXPECT_EQ(changes, (std::vector<std::pair<int, bool>>{{SDL_SCANCODE_UP, true}, {SDL_SCANCODE_UP, false}}));
}

TEST_F(Input, RegisteredHandlersSeeEventsFirst)
{
    // A stand-in with windows of its own takes their events; the rest reach the messages.
    int taken = 0;
    int id = PlatformAddEventHandler([&](const void* raw) {
        auto* e = static_cast<const SDL_Event*>(raw);
        if (e->type == SDL_KEYDOWN && e->key.keysym.scancode == SDL_SCANCODE_F9) {
            ++taken;
            return true;
        }
        return false;
    });
    Key(SDL_SCANCODE_F9, true);
    Key(SDL_SCANCODE_F8, true);
    DrainMessages();
    EXPECT_EQ(taken, 1);
    EXPECT_EQ(KeyMessages(), (std::vector<P>{{WM_KEYDOWN, VK_F8}}));
    PlatformRemoveEventHandler(id);
    Key(SDL_SCANCODE_F9, false);
    DrainMessages();
    EXPECT_EQ(taken, 1);
    EXPECT_EQ(SeenOf(WM_KEYUP).size(), 1u);
}

TEST_F(Input, CursorShapeAndVisibility)
{
    // The pointer starts as the arrow; the class cursor is set over the client area; a class
    // without one leaves the shape to the program; the display counter hides it below zero.
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_ARROW));
    SetCursor(nullptr);
    Motion(10, 10, 1, 1);
    DrainMessages();
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_ARROW));  // the test class has the arrow

    struct Local {
        static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }
    };
    WNDCLASSA wc{};
    wc.lpfnWndProc = Local::Proc;
    wc.lpszClassName = "no cursor";
    ASSERT_NE(RegisterClassA(&wc), 0);
    HWND bare = CreateWindowExA(0, "no cursor", "b", WS_POPUP | WS_VISIBLE, 0, 0, 32, 32, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_NE(bare, nullptr);
    HCURSOR hand = LoadCursorA(nullptr, IDC_HAND);
    ASSERT_NE(hand, nullptr);
    SetCursor(hand);
    DefWindowProcA(bare, WM_SETCURSOR, reinterpret_cast<WPARAM>(bare), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor(), hand);
    DestroyWindow(bare);
    UnregisterClassA("no cursor", nullptr);

    EXPECT_EQ(ShowCursor(FALSE), -1);
    EXPECT_EQ(ShowCursor(TRUE), 0);

    // Program cursor resources exist only when registered.
    testing::internal::CaptureStderr();
    HINSTANCE self = reinterpret_cast<HINSTANCE>(GetModuleHandleA(nullptr));
    EXPECT_EQ(LoadCursorA(self, MAKEINTRESOURCEA(147)), nullptr);
    testing::internal::GetCapturedStderr();
    PlatformRegisterCursorResource(147, PlatformCursorShape::Hand);
    EXPECT_EQ(LoadCursorA(self, MAKEINTRESOURCEA(147)), hand);
}
