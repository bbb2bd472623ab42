#include <SDL.h>
#include <gtest/gtest.h>

#include <string>

#include "platform/dinput/dinput.h"
#include "platform/win32/platform_internal.h"

namespace {

TEST(DInputKeys, ScancodesOfTheGamesKeysGiveTheirDikCodes)
{
    const struct {
        int scancode, dik;
    } keys[] = {
        {SDL_SCANCODE_ESCAPE, 0x01}, {SDL_SCANCODE_1, 0x02},      {SDL_SCANCODE_0, 0x0B},      {SDL_SCANCODE_BACKSPACE, 0x0E},
        {SDL_SCANCODE_TAB, 0x0F},    {SDL_SCANCODE_Q, 0x10},      {SDL_SCANCODE_P, 0x19},      {SDL_SCANCODE_RETURN, 0x1C},
        {SDL_SCANCODE_LCTRL, 0x1D},  {SDL_SCANCODE_A, 0x1E},      {SDL_SCANCODE_L, 0x26},      {SDL_SCANCODE_LSHIFT, 0x2A},
        {SDL_SCANCODE_Z, 0x2C},      {SDL_SCANCODE_M, 0x32},      {SDL_SCANCODE_RSHIFT, 0x36}, {SDL_SCANCODE_LALT, 0x38},
        {SDL_SCANCODE_SPACE, 0x39},  {SDL_SCANCODE_F1, 0x3B},     {SDL_SCANCODE_F10, 0x44},    {SDL_SCANCODE_F11, 0x57},
        {SDL_SCANCODE_F12, 0x58},    {SDL_SCANCODE_KP_ENTER, 0x9C}, {SDL_SCANCODE_RCTRL, 0x9D}, {SDL_SCANCODE_PRINTSCREEN, 0xB7},
        {SDL_SCANCODE_RALT, 0xB8},   {SDL_SCANCODE_PAUSE, 0xC5},  {SDL_SCANCODE_HOME, 0xC7},   {SDL_SCANCODE_UP, 0xC8},
        {SDL_SCANCODE_PAGEUP, 0xC9}, {SDL_SCANCODE_LEFT, 0xCB},   {SDL_SCANCODE_RIGHT, 0xCD},  {SDL_SCANCODE_END, 0xCF},
        {SDL_SCANCODE_DOWN, 0xD0},   {SDL_SCANCODE_PAGEDOWN, 0xD1}, {SDL_SCANCODE_INSERT, 0xD2}, {SDL_SCANCODE_DELETE, 0xD3},
        {SDL_SCANCODE_KP_PLUS, 0x4E}, {SDL_SCANCODE_KP_MINUS, 0x4A}, {SDL_SCANCODE_KP_0, 0x52}, {SDL_SCANCODE_MINUS, 0x0C},
        {SDL_SCANCODE_EQUALS, 0x0D},
    };
    for (const auto& k : keys) EXPECT_EQ(PlatformDikFromScancode(k.scancode), k.dik) << SDL_GetScancodeName(static_cast<SDL_Scancode>(k.scancode));
    EXPECT_EQ(PlatformDikFromScancode(SDL_SCANCODE_UNKNOWN), 0);
    // No two keys of the main block share a code, and no code is 255.
    int seen[256] = {};
    for (int sc = 0; sc < SDL_NUM_SCANCODES; ++sc) {
        int dik = PlatformDikFromScancode(sc);
        EXPECT_LT(dik, 255);
        if (dik) ++seen[dik];
    }
    for (int dik = 1; dik < 256; ++dik)
        if (dik != DIK_SYSRQ && dik != DIK_BACKSLASH) {
            EXPECT_LE(seen[dik], 1) << dik;
        }
}

LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }

TEST(DInputDevices, KeyboardStateFollowsKeysAndAcquireFollowsTheForeground)
{
    ASSERT_TRUE(PlatformInit());
    WNDCLASSA wc{};
    wc.lpfnWndProc = Proc;
    wc.lpszClassName = "DInputTest";
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowExA(0, "DInputTest", "t", WS_OVERLAPPEDWINDOW, 0, 0, 320, 240, nullptr, nullptr, nullptr, nullptr);
    ShowWindow(hwnd, SW_SHOW);
    SetForegroundWindow(hwnd);
    LPDIRECTINPUT7A di = nullptr;
    ASSERT_EQ(DirectInputCreateEx(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput7A, reinterpret_cast<LPVOID*>(&di), nullptr), DI_OK);
    LPDIRECTINPUTDEVICE7A kb = nullptr, mouse = nullptr;
    ASSERT_EQ(di->CreateDeviceEx(GUID_SysKeyboard, IID_IDirectInputDevice7A, reinterpret_cast<LPVOID*>(&kb), nullptr), DI_OK);
    ASSERT_EQ(di->CreateDeviceEx(GUID_SysMouse, IID_IDirectInputDevice7A, reinterpret_cast<LPVOID*>(&mouse), nullptr), DI_OK);
    uint8_t state[256];
    EXPECT_EQ(kb->Acquire(), DIERR_INVALIDPARAM);  // no data format yet
    ASSERT_EQ(kb->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    ASSERT_EQ(kb->SetCooperativeLevel(hwnd, DISCL_FOREGROUND | DISCL_NONEXCLUSIVE), DI_OK);
    EXPECT_EQ(kb->GetDeviceState(256, state), DIERR_NOTACQUIRED);
    ASSERT_EQ(kb->Acquire(), DI_OK);
    std::string error;
    ASSERT_TRUE(PlatformLoadScript("0 key A down\n0 key VK_SNAPSHOT down\n", "test", error)) << error;
    MSG msg;
    for (int i = 0; i < 5; ++i)
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    ASSERT_EQ(kb->GetDeviceState(256, state), DI_OK);
    EXPECT_EQ(state[DIK_A], 0x80);
    EXPECT_EQ(state[DIK_SYSRQ], 0x80);
    EXPECT_EQ(state[DIK_B], 0);
    PlatformClearScript();
    ASSERT_EQ(mouse->SetDataFormat(&c_dfDIMouse), DI_OK);
    ASSERT_EQ(mouse->SetCooperativeLevel(hwnd, DISCL_FOREGROUND | DISCL_EXCLUSIVE), DI_OK);
    ASSERT_EQ(mouse->Acquire(), DI_OK);
    DIMOUSESTATE ms{};
    EXPECT_EQ(mouse->GetDeviceState(sizeof ms, &ms), DI_OK);
    EXPECT_EQ(mouse->Unacquire(), DI_OK);
    EXPECT_EQ(mouse->GetDeviceState(sizeof ms, &ms), DIERR_NOTACQUIRED);
    // No joystick is attached: enumeration finds keyboard and mouse only.
    int joysticks = 0;
    di->EnumDevices(DIDEVTYPE_JOYSTICK, [](LPCDIDEVICEINSTANCEA, LPVOID c) -> BOOL { ++*static_cast<int*>(c); return DIENUM_CONTINUE; }, &joysticks, DIEDFL_ATTACHEDONLY);
    EXPECT_EQ(joysticks, 0);
    kb->Release();
    mouse->Release();
    di->Release();
    DestroyWindow(hwnd);
}

void Pump()
{
    MSG msg;
    for (int i = 0; i < 3; ++i)
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

HWND MakeWindow(const char* title)
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = Proc;
        wc.lpszClassName = "DInputPointerTest";
        registered = RegisterClassA(&wc) != 0;
    }
    HWND hwnd = CreateWindowExA(0, "DInputPointerTest", title, WS_OVERLAPPEDWINDOW, 0, 0, 320, 240, nullptr, nullptr,
                                nullptr, nullptr);
    ShowWindow(hwnd, SW_SHOW);
    return hwnd;
}

// The system takes the focus away from the program (another application comes to the front).
void LoseFocus(HWND hwnd)
{
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
    e.window.windowID = SDL_GetWindowID(PlatformSdlWindow(hwnd));
    ASSERT_EQ(SDL_PushEvent(&e), 1);
    Pump();
}

// A button of the desktop's pointer going down or up over the window.
void PushButton(HWND hwnd, Uint8 button, bool down)
{
    SDL_Event e{};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.button = button;
    e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.button.windowID = SDL_GetWindowID(PlatformSdlWindow(hwnd));
    e.button.x = 50;
    e.button.y = 40;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
}

// The left and right buttons as one read of the device shows them ("L", "R", "LR" or "").
std::string ReadButtons(LPDIRECTINPUTDEVICE7A mouse)
{
    DIMOUSESTATE ms{};
    if (mouse->GetDeviceState(sizeof ms, &ms) != DI_OK) return "error";
    return std::string(ms.rgbButtons[0] & 0x80 ? "L" : "") + (ms.rgbButtons[1] & 0x80 ? "R" : "");
}

// The game reads the mouse once a frame: a click that goes down and up between two reads (a
// quick click, a touchpad's tap) is a press in the next read and a release in the one after,
// and so is a release and press between two reads of a held button.
TEST(DInputDevices, ClicksBetweenTwoReadsAreEachSeen)
{
    ASSERT_TRUE(PlatformInit());
    HWND game = MakeWindow("clicks");
    SetForegroundWindow(game);
    Pump();
    LPDIRECTINPUT7A di = nullptr;
    ASSERT_EQ(DirectInputCreateEx(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput7A, reinterpret_cast<LPVOID*>(&di), nullptr), DI_OK);
    LPDIRECTINPUTDEVICE7A mouse = nullptr;
    ASSERT_EQ(di->CreateDeviceEx(GUID_SysMouse, IID_IDirectInputDevice7A, reinterpret_cast<LPVOID*>(&mouse), nullptr), DI_OK);
    ASSERT_EQ(mouse->SetDataFormat(&c_dfDIMouse), DI_OK);
    ASSERT_EQ(mouse->SetCooperativeLevel(game, DISCL_FOREGROUND | DISCL_EXCLUSIVE), DI_OK);
    // A click made before the acquire is nobody's.
    PushButton(game, SDL_BUTTON_LEFT, true);
    PushButton(game, SDL_BUTTON_LEFT, false);
    Pump();
    ASSERT_EQ(mouse->Acquire(), DI_OK);
    EXPECT_EQ(ReadButtons(mouse), "");

    PushButton(game, SDL_BUTTON_LEFT, true);
    PushButton(game, SDL_BUTTON_LEFT, false);
    Pump();
    EXPECT_EQ(ReadButtons(mouse), "L");
    EXPECT_EQ(ReadButtons(mouse), "");
    EXPECT_EQ(ReadButtons(mouse), "");

    // Two clicks of the right button and a held left one between two reads.
    PushButton(game, SDL_BUTTON_RIGHT, true);
    PushButton(game, SDL_BUTTON_RIGHT, false);
    PushButton(game, SDL_BUTTON_LEFT, true);
    PushButton(game, SDL_BUTTON_RIGHT, true);
    PushButton(game, SDL_BUTTON_RIGHT, false);
    Pump();
    EXPECT_EQ(ReadButtons(mouse), "LR");
    EXPECT_EQ(ReadButtons(mouse), "L");
    EXPECT_EQ(ReadButtons(mouse), "LR");
    EXPECT_EQ(ReadButtons(mouse), "L");
    EXPECT_EQ(ReadButtons(mouse), "L");

    // The held left button let go and pressed again between two reads.
    PushButton(game, SDL_BUTTON_LEFT, false);
    PushButton(game, SDL_BUTTON_LEFT, true);
    Pump();
    EXPECT_EQ(ReadButtons(mouse), "");
    EXPECT_EQ(ReadButtons(mouse), "L");
    PushButton(game, SDL_BUTTON_LEFT, false);
    Pump();
    EXPECT_EQ(ReadButtons(mouse), "");

    // A burst of clicks far beyond what waits is cut short, yet ends released.
    for (int i = 0; i < 40; ++i) {
        PushButton(game, SDL_BUTTON_LEFT, true);
        PushButton(game, SDL_BUTTON_LEFT, false);
    }
    Pump();
    int presses = 0;
    std::string last;
    for (int i = 0; i < 20; ++i) {
        last = ReadButtons(mouse);
        presses += last == "L";
    }
    EXPECT_GE(presses, 1);
    EXPECT_LE(presses, 5);
    EXPECT_EQ(last, "");
    mouse->Release();
    di->Release();
    DestroyWindow(game);
}

// A key of the desktop's keyboard going down or up.
void PushKey(SDL_Scancode scancode, bool down)
{
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.scancode = scancode;
    e.key.keysym.sym = SDL_GetKeyFromScancode(scancode);
    ASSERT_EQ(SDL_PushEvent(&e), 1);
}

// Escape and Space as one read of the keyboard shows them ("E", "S", "ES" or "").
std::string ReadKeys(LPDIRECTINPUTDEVICE7A keyboard)
{
    uint8_t keys[256];
    if (keyboard->GetDeviceState(256, keys) != DI_OK) return "error";
    return std::string(keys[DIK_ESCAPE] & 0x80 ? "E" : "") + (keys[DIK_SPACE] & 0x80 ? "S" : "");
}

// The game reads the keyboard once a frame, as it does the mouse: a key tapped between two reads
// is down in the next read and up in the one after, and so is a held key let go and pressed
// again in between.
TEST(DInputDevices, KeysTappedBetweenTwoReadsAreEachSeen)
{
    ASSERT_TRUE(PlatformInit());
    HWND game = MakeWindow("keys");
    SetForegroundWindow(game);
    Pump();
    LPDIRECTINPUT7A di = nullptr;
    ASSERT_EQ(DirectInputCreateEx(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput7A, reinterpret_cast<LPVOID*>(&di), nullptr), DI_OK);
    LPDIRECTINPUTDEVICE7A keyboard = nullptr;
    ASSERT_EQ(di->CreateDeviceEx(GUID_SysKeyboard, IID_IDirectInputDevice7A, reinterpret_cast<LPVOID*>(&keyboard), nullptr), DI_OK);
    ASSERT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    ASSERT_EQ(keyboard->SetCooperativeLevel(game, DISCL_FOREGROUND | DISCL_NONEXCLUSIVE), DI_OK);
    // A tap made before the acquire is nobody's; a key held then is held.
    PushKey(SDL_SCANCODE_ESCAPE, true);
    PushKey(SDL_SCANCODE_ESCAPE, false);
    PushKey(SDL_SCANCODE_SPACE, true);
    Pump();
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    EXPECT_EQ(ReadKeys(keyboard), "S");
    PushKey(SDL_SCANCODE_SPACE, false);
    Pump();
    EXPECT_EQ(ReadKeys(keyboard), "");

    PushKey(SDL_SCANCODE_ESCAPE, true);
    PushKey(SDL_SCANCODE_ESCAPE, false);
    Pump();
    EXPECT_EQ(ReadKeys(keyboard), "E");
    EXPECT_EQ(ReadKeys(keyboard), "");
    EXPECT_EQ(ReadKeys(keyboard), "");

    // Two taps of Escape with Space held down over them, all between two reads.
    PushKey(SDL_SCANCODE_ESCAPE, true);
    PushKey(SDL_SCANCODE_ESCAPE, false);
    PushKey(SDL_SCANCODE_SPACE, true);
    PushKey(SDL_SCANCODE_ESCAPE, true);
    PushKey(SDL_SCANCODE_ESCAPE, false);
    Pump();
    EXPECT_EQ(ReadKeys(keyboard), "ES");
    EXPECT_EQ(ReadKeys(keyboard), "S");
    EXPECT_EQ(ReadKeys(keyboard), "ES");
    EXPECT_EQ(ReadKeys(keyboard), "S");

    // Space let go and pressed again between two reads.
    PushKey(SDL_SCANCODE_SPACE, false);
    PushKey(SDL_SCANCODE_SPACE, true);
    Pump();
    EXPECT_EQ(ReadKeys(keyboard), "");
    EXPECT_EQ(ReadKeys(keyboard), "S");
    PushKey(SDL_SCANCODE_SPACE, false);
    Pump();
    EXPECT_EQ(ReadKeys(keyboard), "");

    // Taps made while the window was in the background are not shown once it is back.
    LoseFocus(game);
    EXPECT_EQ(ReadKeys(keyboard), "error");
    PushKey(SDL_SCANCODE_ESCAPE, true);
    PushKey(SDL_SCANCODE_ESCAPE, false);
    Pump();
    SetForegroundWindow(game);
    Pump();
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    EXPECT_EQ(ReadKeys(keyboard), "");
    keyboard->Release();
    di->Release();
    DestroyWindow(game);
}

// The desktop's pointer moved by (dx, dy) to (x, y) of the window, and its wheel turned.
void PushMotion(HWND hwnd, int x, int y, int dx, int dy)
{
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.windowID = SDL_GetWindowID(PlatformSdlWindow(hwnd));
    e.motion.x = x;
    e.motion.y = y;
    e.motion.xrel = dx;
    e.motion.yrel = dy;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
}

void PushWheel(HWND hwnd, int notches, bool flipped)
{
    SDL_Event e{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.windowID = SDL_GetWindowID(PlatformSdlWindow(hwnd));
    e.wheel.y = flipped ? -notches : notches;
    e.wheel.direction = flipped ? SDL_MOUSEWHEEL_FLIPPED : SDL_MOUSEWHEEL_NORMAL;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
}

// The axes of the mouse as the games take them: x grows to the right, y downwards (a ship
// steered up the screen by pushing the mouse away), and the wheel turned away from the user
// gives +120 a notch; alike for a shared mouse and for one that owns the pointer.
TEST(DInputDevices, MouseAxesKeepTheirDirections)
{
    ASSERT_TRUE(PlatformInit());
    HWND game = MakeWindow("axes");
    PlatformSetBackBufferSize(game, 200, 100);
    SetForegroundWindow(game);
    Pump();
    LPDIRECTINPUT7A di = nullptr;
    ASSERT_EQ(DirectInputCreateEx(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput7A, reinterpret_cast<LPVOID*>(&di), nullptr), DI_OK);
    for (DWORD level : {DISCL_NONEXCLUSIVE, DISCL_EXCLUSIVE}) {
        SCOPED_TRACE(level == DISCL_EXCLUSIVE ? "owned pointer" : "shared mouse");
        LPDIRECTINPUTDEVICE7A mouse = nullptr;
        ASSERT_EQ(di->CreateDeviceEx(GUID_SysMouse, IID_IDirectInputDevice7A, reinterpret_cast<LPVOID*>(&mouse), nullptr), DI_OK);
        ASSERT_EQ(mouse->SetDataFormat(&c_dfDIMouse), DI_OK);
        ASSERT_EQ(mouse->SetCooperativeLevel(game, DISCL_FOREGROUND | level), DI_OK);
        PushMotion(game, 100, 50, 0, 0);
        Pump();
        ASSERT_EQ(mouse->Acquire(), DI_OK);
        const auto read = [&] {
            Pump();
            DIMOUSESTATE ms{};
            EXPECT_EQ(mouse->GetDeviceState(sizeof ms, &ms), DI_OK);
            return ms;
        };
        // Right and down.
        PushMotion(game, 110, 56, 10, 6);
        DIMOUSESTATE ms = read();
        EXPECT_GT(ms.lX, 0);
        EXPECT_GT(ms.lY, 0);
        EXPECT_EQ(ms.lZ, 0);
        // Left and up.
        PushMotion(game, 95, 47, -15, -9);
        ms = read();
        EXPECT_LT(ms.lX, 0);
        EXPECT_LT(ms.lY, 0);
        // The wheel away from the user and back, also from a desktop that flips its direction.
        PushWheel(game, 1, false);
        EXPECT_EQ(read().lZ, 120);
        PushWheel(game, -2, false);
        EXPECT_EQ(read().lZ, -240);
        PushWheel(game, 1, true);
        ms = read();
        EXPECT_EQ(ms.lZ, 120);
        EXPECT_EQ(ms.lX, 0);
        EXPECT_EQ(ms.lY, 0);
        mouse->Release();
    }
    di->Release();
    DestroyWindow(game);
}

// An exclusive foreground mouse owns the pointer while its window is in front, and gives it
// back whenever another window (a dialog of the program, or another program) has the focus,
// and when it is unacquired or released.
TEST(DInputDevices, ExclusiveMouseHoldsThePointerOnlyWhileItsWindowIsInFront)
{
    ASSERT_TRUE(PlatformInit());
    HWND game = MakeWindow("game");
    HWND dialog = MakeWindow("dialog");
    SetForegroundWindow(game);
    Pump();
    LPDIRECTINPUT7A di = nullptr;
    ASSERT_EQ(DirectInputCreateEx(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput7A, reinterpret_cast<LPVOID*>(&di), nullptr), DI_OK);
    LPDIRECTINPUTDEVICE7A mouse = nullptr, shared = nullptr;
    ASSERT_EQ(di->CreateDeviceEx(GUID_SysMouse, IID_IDirectInputDevice7A, reinterpret_cast<LPVOID*>(&mouse), nullptr), DI_OK);
    ASSERT_EQ(mouse->SetDataFormat(&c_dfDIMouse), DI_OK);
    ASSERT_EQ(mouse->SetCooperativeLevel(game, DISCL_FOREGROUND | DISCL_EXCLUSIVE), DI_OK);
    EXPECT_EQ(PlatformMouseCaptureWindow(), nullptr);
    ASSERT_EQ(mouse->Acquire(), DI_OK);
    EXPECT_EQ(PlatformMouseCaptureWindow(), game);

    // A dialog of the program in front: the pointer is the dialog's, and the device is lost.
    SetForegroundWindow(dialog);
    Pump();
    EXPECT_EQ(PlatformMouseCaptureWindow(), nullptr);
    DIMOUSESTATE ms{};
    EXPECT_EQ(mouse->GetDeviceState(sizeof ms, &ms), DIERR_INPUTLOST);
    EXPECT_EQ(mouse->Acquire(), DIERR_OTHERAPPHASPRIO);
    EXPECT_EQ(PlatformMouseCaptureWindow(), nullptr);
    SetForegroundWindow(game);
    Pump();
    ASSERT_EQ(mouse->Acquire(), DI_OK);
    EXPECT_EQ(PlatformMouseCaptureWindow(), game);

    // Deactivation of the program gives it back at once, before the program polls again.
    LoseFocus(game);
    EXPECT_EQ(GetForegroundWindow(), nullptr);
    EXPECT_EQ(PlatformMouseCaptureWindow(), nullptr);
    EXPECT_EQ(mouse->GetDeviceState(sizeof ms, &ms), DIERR_INPUTLOST);
    SetForegroundWindow(game);
    Pump();
    ASSERT_EQ(mouse->Acquire(), DI_OK);
    EXPECT_EQ(PlatformMouseCaptureWindow(), game);
    EXPECT_EQ(mouse->Unacquire(), DI_OK);
    EXPECT_EQ(PlatformMouseCaptureWindow(), nullptr);

    // A shared (non-exclusive) mouse reads motion but leaves the pointer to the desktop.
    ASSERT_EQ(di->CreateDeviceEx(GUID_SysMouse, IID_IDirectInputDevice7A, reinterpret_cast<LPVOID*>(&shared), nullptr), DI_OK);
    ASSERT_EQ(shared->SetDataFormat(&c_dfDIMouse), DI_OK);
    ASSERT_EQ(shared->SetCooperativeLevel(game, DISCL_FOREGROUND | DISCL_NONEXCLUSIVE), DI_OK);
    ASSERT_EQ(shared->Acquire(), DI_OK);
    EXPECT_EQ(PlatformMouseCaptureWindow(), nullptr);
    shared->Release();

    // Releasing an acquired exclusive mouse lets the pointer go too.
    ASSERT_EQ(mouse->Acquire(), DI_OK);
    EXPECT_EQ(PlatformMouseCaptureWindow(), game);
    mouse->Release();
    EXPECT_EQ(PlatformMouseCaptureWindow(), nullptr);
    di->Release();
    DestroyWindow(dialog);
    DestroyWindow(game);
}

}  // namespace
