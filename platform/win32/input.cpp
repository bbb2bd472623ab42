// Keyboard and mouse: SDL events and scripted input become window messages with virtual-key
// codes, the key state behind GetAsyncKeyState/GetKeyState, and DirectInput's state.
#include "platform/win32/detail.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

using namespace platform_detail;

namespace {

struct KeyEntry {
    int vk;
    SDL_Scancode scancode;
    const char* name;
};

// One row per key; the first row of a virtual key gives its scancode for scripted input.
const KeyEntry kKeys[] = {
    {VK_BACK, SDL_SCANCODE_BACKSPACE, "VK_BACK"},
    {VK_TAB, SDL_SCANCODE_TAB, "VK_TAB"},
    {VK_RETURN, SDL_SCANCODE_RETURN, "VK_RETURN"},
    {VK_RETURN, SDL_SCANCODE_KP_ENTER, nullptr},
    {VK_PAUSE, SDL_SCANCODE_PAUSE, "VK_PAUSE"},
    {VK_CAPITAL, SDL_SCANCODE_CAPSLOCK, "VK_CAPITAL"},
    {VK_ESCAPE, SDL_SCANCODE_ESCAPE, "VK_ESCAPE"},
    {VK_SPACE, SDL_SCANCODE_SPACE, "VK_SPACE"},
    {VK_PRIOR, SDL_SCANCODE_PAGEUP, "VK_PRIOR"},
    {VK_NEXT, SDL_SCANCODE_PAGEDOWN, "VK_NEXT"},
    {VK_END, SDL_SCANCODE_END, "VK_END"},
    {VK_HOME, SDL_SCANCODE_HOME, "VK_HOME"},
    {VK_LEFT, SDL_SCANCODE_LEFT, "VK_LEFT"},
    {VK_UP, SDL_SCANCODE_UP, "VK_UP"},
    {VK_RIGHT, SDL_SCANCODE_RIGHT, "VK_RIGHT"},
    {VK_DOWN, SDL_SCANCODE_DOWN, "VK_DOWN"},
    {VK_SNAPSHOT, SDL_SCANCODE_PRINTSCREEN, "VK_SNAPSHOT"},
    {VK_INSERT, SDL_SCANCODE_INSERT, "VK_INSERT"},
    {VK_DELETE, SDL_SCANCODE_DELETE, "VK_DELETE"},
    {VK_LWIN, SDL_SCANCODE_LGUI, "VK_LWIN"},
    {VK_RWIN, SDL_SCANCODE_RGUI, "VK_RWIN"},
    {VK_APPS, SDL_SCANCODE_APPLICATION, "VK_APPS"},
    {VK_NUMPAD0, SDL_SCANCODE_KP_0, "VK_NUMPAD0"},
    {VK_NUMPAD1, SDL_SCANCODE_KP_1, "VK_NUMPAD1"},
    {VK_NUMPAD2, SDL_SCANCODE_KP_2, "VK_NUMPAD2"},
    {VK_NUMPAD3, SDL_SCANCODE_KP_3, "VK_NUMPAD3"},
    {VK_NUMPAD4, SDL_SCANCODE_KP_4, "VK_NUMPAD4"},
    {VK_NUMPAD5, SDL_SCANCODE_KP_5, "VK_NUMPAD5"},
    {VK_NUMPAD6, SDL_SCANCODE_KP_6, "VK_NUMPAD6"},
    {VK_NUMPAD7, SDL_SCANCODE_KP_7, "VK_NUMPAD7"},
    {VK_NUMPAD8, SDL_SCANCODE_KP_8, "VK_NUMPAD8"},
    {VK_NUMPAD9, SDL_SCANCODE_KP_9, "VK_NUMPAD9"},
    {VK_MULTIPLY, SDL_SCANCODE_KP_MULTIPLY, "VK_MULTIPLY"},
    {VK_ADD, SDL_SCANCODE_KP_PLUS, "VK_ADD"},
    {VK_SUBTRACT, SDL_SCANCODE_KP_MINUS, "VK_SUBTRACT"},
    {VK_DECIMAL, SDL_SCANCODE_KP_PERIOD, "VK_DECIMAL"},
    {VK_DIVIDE, SDL_SCANCODE_KP_DIVIDE, "VK_DIVIDE"},
    {VK_F1, SDL_SCANCODE_F1, "VK_F1"},
    {VK_F2, SDL_SCANCODE_F2, "VK_F2"},
    {VK_F3, SDL_SCANCODE_F3, "VK_F3"},
    {VK_F4, SDL_SCANCODE_F4, "VK_F4"},
    {VK_F5, SDL_SCANCODE_F5, "VK_F5"},
    {VK_F6, SDL_SCANCODE_F6, "VK_F6"},
    {VK_F7, SDL_SCANCODE_F7, "VK_F7"},
    {VK_F8, SDL_SCANCODE_F8, "VK_F8"},
    {VK_F9, SDL_SCANCODE_F9, "VK_F9"},
    {VK_F10, SDL_SCANCODE_F10, "VK_F10"},
    {VK_F11, SDL_SCANCODE_F11, "VK_F11"},
    {VK_F12, SDL_SCANCODE_F12, "VK_F12"},
    {VK_NUMLOCK, SDL_SCANCODE_NUMLOCKCLEAR, "VK_NUMLOCK"},
    {VK_SCROLL, SDL_SCANCODE_SCROLLLOCK, "VK_SCROLL"},
    {VK_SHIFT, SDL_SCANCODE_LSHIFT, "VK_SHIFT"},
    {VK_CONTROL, SDL_SCANCODE_LCTRL, "VK_CONTROL"},
    {VK_MENU, SDL_SCANCODE_LALT, "VK_MENU"},
    {VK_LSHIFT, SDL_SCANCODE_LSHIFT, "VK_LSHIFT"},
    {VK_RSHIFT, SDL_SCANCODE_RSHIFT, "VK_RSHIFT"},
    {VK_LCONTROL, SDL_SCANCODE_LCTRL, "VK_LCONTROL"},
    {VK_RCONTROL, SDL_SCANCODE_RCTRL, "VK_RCONTROL"},
    {VK_LMENU, SDL_SCANCODE_LALT, "VK_LMENU"},
    {VK_RMENU, SDL_SCANCODE_RALT, "VK_RMENU"},
    {VK_OEM_1, SDL_SCANCODE_SEMICOLON, "VK_OEM_1"},
    {VK_OEM_PLUS, SDL_SCANCODE_EQUALS, "VK_OEM_PLUS"},
    {VK_OEM_COMMA, SDL_SCANCODE_COMMA, "VK_OEM_COMMA"},
    {VK_OEM_MINUS, SDL_SCANCODE_MINUS, "VK_OEM_MINUS"},
    {VK_OEM_PERIOD, SDL_SCANCODE_PERIOD, "VK_OEM_PERIOD"},
    {VK_OEM_2, SDL_SCANCODE_SLASH, "VK_OEM_2"},
    {VK_OEM_3, SDL_SCANCODE_GRAVE, "VK_OEM_3"},
    {VK_OEM_4, SDL_SCANCODE_LEFTBRACKET, "VK_OEM_4"},
    {VK_OEM_5, SDL_SCANCODE_BACKSLASH, "VK_OEM_5"},
    {VK_OEM_6, SDL_SCANCODE_RIGHTBRACKET, "VK_OEM_6"},
    {VK_OEM_7, SDL_SCANCODE_APOSTROPHE, "VK_OEM_7"},
    {VK_OEM_102, SDL_SCANCODE_NONUSBACKSLASH, "VK_OEM_102"},
};

std::recursive_mutex inputMutex;
uint8_t vkState[256];  // 0x80 held, 0x01 toggled
std::atomic<uint8_t> scancodeState[PLATFORM_SCANCODE_COUNT];
// Times each key went down or up, as for the mouse buttons: a reader of the held state that
// looks once a frame still sees a tap made between two of its looks.
std::atomic<uint64_t> scancodeChanges[PLATFORM_SCANCODE_COUNT];
std::function<void(int, bool)> keyListener;
int mouseX = 0, mouseY = 0;  // back-buffer pixels
HWND mouseWindow = nullptr;
int accumX = 0, accumY = 0, accumWheel = 0;
// What is left of the scaled motion below one back-buffer pixel: kept, so that slow motion in
// a window shown larger than its back buffer still adds up instead of being lost.
double fractionX = 0.0, fractionY = 0.0;
uint32_t buttons = 0;
// Times each button went down or up: a reader that looks once a frame still sees a press and
// release made between two of its looks.
uint64_t buttonChanges[3] = {};

// The pointer's owner (main thread only): the window that asked, and whether SDL holds the
// pointer for it right now (the SDL window grabbed).
HWND captureWindow = nullptr;
bool captureApplied = false;
SDL_Window* grabbedWindow = nullptr;
int captureSuspended = 0;  // message boxes up
// While the pointer is owned, its position within the back buffer (clamped to it) when motion
// was last counted: the motion is how far that position moved, so that a pointer that reports
// where it is (a tablet, a virtual machine's or a remote desktop's pointer) moves the program's
// cursor exactly as far as a mouse that reports how far it went, and the two never drift apart.
int ownedX = 0, ownedY = 0;
// Where SetCursorPos put the desktop's pointer (window pixels of `warpWindow`), until the
// pointer reports from there: the jump is no motion of the mouse.
HWND warpWindow = nullptr;
int warpX = 0, warpY = 0;

HWND KeyTarget()
{
    HWND focus = GetFocus();
    return focus ? focus : PlatformMainWindow();
}

void SetScancode(int scancode, bool down)
{
    if (scancode <= 0 || scancode >= PLATFORM_SCANCODE_COUNT) return;
    uint8_t value = down ? 1 : 0;
    if (scancodeState[scancode].exchange(value) == value) return;
    ++scancodeChanges[scancode];
    std::function<void(int, bool)> listener;
    {
        std::lock_guard<std::recursive_mutex> lock(inputMutex);
        listener = keyListener;
    }
    if (listener) listener(scancode, down);
}

void SetVk(int vk, bool down, bool fresh)
{
    if (down) {
        if (fresh) vkState[vk] ^= 0x01;
        vkState[vk] |= 0x80;
    } else {
        vkState[vk] &= ~0x80;
    }
}

int GenericVk(int vk)
{
    switch (vk) {
    case VK_LSHIFT:
    case VK_RSHIFT: return VK_SHIFT;
    case VK_LCONTROL:
    case VK_RCONTROL: return VK_CONTROL;
    case VK_LMENU:
    case VK_RMENU: return VK_MENU;
    default: return vk;
    }
}

// The one path of a key change, from SDL or from the script. `vk` may be specific (VK_LSHIFT)
// or generic; the message names the generic key as the desktop does.
void KeyChange(int vk, int scancode, bool down, bool repeat)
{
    if (vk <= 0 || vk > 255) {
        SetScancode(scancode, down);
        return;
    }
    int generic = GenericVk(vk);
    bool wasDown;
    DWORD mods;
    {
        std::lock_guard<std::recursive_mutex> lock(inputMutex);
        wasDown = (vkState[generic] & 0x80) != 0;
        bool fresh = down && !wasDown;
        if (generic != vk) {
            SetVk(vk, down, fresh);
            // The generic key is held while either side is.
            int other = vk == VK_LSHIFT ? VK_RSHIFT : vk == VK_RSHIFT ? VK_LSHIFT
                      : vk == VK_LCONTROL ? VK_RCONTROL : vk == VK_RCONTROL ? VK_LCONTROL
                      : vk == VK_LMENU ? VK_RMENU : VK_LMENU;
            SetVk(generic, down || (vkState[other] & 0x80), fresh);
        } else {
            SetVk(vk, down, fresh);
            if (generic == VK_SHIFT) SetVk(VK_LSHIFT, down, fresh);
            if (generic == VK_CONTROL) SetVk(VK_LCONTROL, down, fresh);
            if (generic == VK_MENU) SetVk(VK_LMENU, down, fresh);
        }
        (void)repeat;
        mods = CurrentModifiers();
    }
    SetScancode(scancode, down);
    HWND target = KeyTarget();
    if (!target) return;
    bool alt = (mods & FALT) != 0;
    bool ctrl = (mods & MK_CONTROL) != 0;
    UINT message;
    if (down)
        message = ((alt && !ctrl) || generic == VK_F10) ? WM_SYSKEYDOWN : WM_KEYDOWN;
    else
        message = ((alt && !ctrl) || generic == VK_F10 || (generic == VK_MENU && !ctrl)) ? WM_SYSKEYUP : WM_KEYUP;
    LPARAM lParam = 1;
    if (alt) lParam |= 1 << 29;
    if (down && wasDown) lParam |= 1 << 30;
    if (!down) lParam |= (1u << 30) | (1u << 31);
    QueueMessage(target, message, static_cast<WPARAM>(generic), static_cast<LPARAM>(static_cast<uint32_t>(lParam)), mods);
}

void PostChar(int code)
{
    HWND target = KeyTarget();
    if (target) QueueMessage(target, WM_CHAR, static_cast<WPARAM>(code), 1, CurrentModifiers());
}

void TypeUtf8(const char* text)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        uint32_t cp;
        int extra;
        if (*p < 0x80) {
            cp = *p;
            extra = 0;
        } else if ((*p & 0xE0) == 0xC0) {
            cp = *p & 0x1F;
            extra = 1;
        } else if ((*p & 0xF0) == 0xE0) {
            cp = *p & 0x0F;
            extra = 2;
        } else if ((*p & 0xF8) == 0xF0) {
            cp = *p & 0x07;
            extra = 3;
        } else {
            ++p;  // a stray continuation byte: no character
            continue;
        }
        ++p;
        bool ok = true;
        for (int i = 0; i < extra; ++i) {
            if ((*p & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (*p & 0x3F);
            ++p;
        }
        if (!ok) continue;
        int code = Cp1252FromUnicode(cp);
        if (code >= 0) PostChar(code);
    }
}

// Back-buffer pixels per window pixel of SDL's events, through the drawable (high-density
// displays) and the letterbox; 1 when the window has no picture yet.
void BackBufferScale(HWND hwnd, double& sx, double& sy)
{
    sx = sy = 1.0;
    platform_detail::PresentGeometry g;
    if (!hwnd || !platform_detail::GetPresentGeometry(hwnd, g)) return;
    sx = static_cast<double>(g.dw) / g.ww * g.bw / g.pw;
    sy = static_cast<double>(g.dh) / g.wh * g.bh / g.ph;
}

// A back-buffer point moved to the nearest pixel of the back buffer.
void ClampToBackBuffer(HWND hwnd, int x, int y, int& cx, int& cy)
{
    int bw = 0, bh = 0;
    PlatformGetBackBufferSize(hwnd, bw, bh);
    cx = std::clamp(x, 0, std::max(bw - 1, 0));
    cy = std::clamp(y, 0, std::max(bh - 1, 0));
}

// While `hwnd` owns the pointer: how far its clamped position in the back buffer moved since
// motion was last counted, in dx, dy; false when the pointer is not owned by `hwnd`.
bool OwnedMotion(HWND hwnd, int x, int y, int& dx, int& dy)
{
    if (!hwnd || !captureApplied || hwnd != captureWindow) return false;
    int cx, cy;
    ClampToBackBuffer(hwnd, x, y, cx, cy);
    std::lock_guard<std::recursive_mutex> lock(inputMutex);
    dx = cx - ownedX;
    dy = cy - ownedY;
    ownedX = cx;
    ownedY = cy;
    return true;
}

// Whole back-buffer pixels of a scaled motion; the rest waits for the next one.
int TakeWhole(double& fraction, double motion)
{
    fraction += motion;
    const int whole = static_cast<int>(fraction);  // toward zero: both directions alike
    fraction -= whole;
    return whole;
}

uint32_t MkButtons()
{
    uint32_t mk = 0;
    if (buttons & 1) mk |= MK_LBUTTON;
    if (buttons & 2) mk |= MK_RBUTTON;
    if (buttons & 4) mk |= MK_MBUTTON;
    DWORD mods = CurrentModifiers();
    if (mods & MK_SHIFT) mk |= MK_SHIFT;
    if (mods & MK_CONTROL) mk |= MK_CONTROL;
    return mk;
}

void MouseMovedTo(HWND hwnd, int x, int y, int relX, int relY)
{
    {
        std::lock_guard<std::recursive_mutex> lock(inputMutex);
        mouseX = x;
        mouseY = y;
        mouseWindow = hwnd;
        accumX += relX;
        accumY += relY;
    }
    if (!hwnd) return;
    SendNow(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    QueueMessage(hwnd, WM_MOUSEMOVE, MkButtons(), MAKELPARAM(x, y), CurrentModifiers());
}

void ButtonChange(HWND hwnd, int button, bool down)
{
    uint32_t bit = 1u << button;
    {
        std::lock_guard<std::recursive_mutex> lock(inputMutex);
        if (((buttons & bit) != 0) != down) ++buttonChanges[button];
        if (down)
            buttons |= bit;
        else
            buttons &= ~bit;
        vkState[button == 0 ? VK_LBUTTON : button == 1 ? VK_RBUTTON : VK_MBUTTON] = down ? 0x80 : 0;
    }
    if (!hwnd) return;
    static const UINT downMsg[3] = {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN};
    static const UINT upMsg[3] = {WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONUP};
    QueueMessage(hwnd, down ? downMsg[button] : upMsg[button], MkButtons(), MAKELPARAM(mouseX, mouseY),
                 CurrentModifiers());
}

int VkFromSdl(const SDL_Keysym& key)
{
    if (key.sym >= SDLK_a && key.sym <= SDLK_z) return 'A' + (key.sym - SDLK_a);
    if (key.scancode >= SDL_SCANCODE_A && key.scancode <= SDL_SCANCODE_Z)
        return 'A' + (key.scancode - SDL_SCANCODE_A);
    if (key.scancode >= SDL_SCANCODE_1 && key.scancode <= SDL_SCANCODE_9) return '1' + (key.scancode - SDL_SCANCODE_1);
    if (key.scancode == SDL_SCANCODE_0) return '0';
    // Specific shift/control/alt first: the table lists the generic rows earlier.
    switch (key.scancode) {
    case SDL_SCANCODE_LSHIFT: return VK_LSHIFT;
    case SDL_SCANCODE_RSHIFT: return VK_RSHIFT;
    case SDL_SCANCODE_LCTRL: return VK_LCONTROL;
    case SDL_SCANCODE_RCTRL: return VK_RCONTROL;
    case SDL_SCANCODE_LALT: return VK_LMENU;
    case SDL_SCANCODE_RALT: return VK_RMENU;
    default: break;
    }
    return VkFromScancode(key.scancode);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Tables
int platform_detail::VkFromName(const std::string& name)
{
    if (name.size() == 1) {
        char c = static_cast<char>(toupper(static_cast<unsigned char>(name[0])));
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return c;
        return -1;
    }
    for (const auto& k : kKeys)
        if (k.name && name == k.name) return k.vk;
    return -1;
}

int platform_detail::ScancodeFromVk(int vk)
{
    if (vk >= 'A' && vk <= 'Z') return SDL_SCANCODE_A + (vk - 'A');
    if (vk >= '1' && vk <= '9') return SDL_SCANCODE_1 + (vk - '1');
    if (vk == '0') return SDL_SCANCODE_0;
    for (const auto& k : kKeys)
        if (k.vk == vk) return k.scancode;
    return 0;
}

int platform_detail::VkFromScancode(int scancode)
{
    if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) return 'A' + (scancode - SDL_SCANCODE_A);
    if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9) return '1' + (scancode - SDL_SCANCODE_1);
    if (scancode == SDL_SCANCODE_0) return '0';
    for (const auto& k : kKeys)
        if (k.scancode == scancode) return k.vk;
    return 0;
}

int platform_detail::ScancodeFromChar(unsigned char c)
{
    if (c >= 'a' && c <= 'z') return SDL_SCANCODE_A + (c - 'a');
    if (c >= 'A' && c <= 'Z') return SDL_SCANCODE_A + (c - 'A');
    if (c >= '1' && c <= '9') return SDL_SCANCODE_1 + (c - '1');
    switch (c) {
    case '0': return SDL_SCANCODE_0;
    case ' ': return SDL_SCANCODE_SPACE;
    case '-': return SDL_SCANCODE_MINUS;
    case '=': return SDL_SCANCODE_EQUALS;
    case ',': return SDL_SCANCODE_COMMA;
    case '.': return SDL_SCANCODE_PERIOD;
    case '/': return SDL_SCANCODE_SLASH;
    case ';': return SDL_SCANCODE_SEMICOLON;
    case '\'': return SDL_SCANCODE_APOSTROPHE;
    case '[': return SDL_SCANCODE_LEFTBRACKET;
    case ']': return SDL_SCANCODE_RIGHTBRACKET;
    case '\\': return SDL_SCANCODE_BACKSLASH;
    case '`': return SDL_SCANCODE_GRAVE;
    default: return 0;
    }
}

int platform_detail::Cp1252FromUnicode(uint32_t cp)
{
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
    static const uint16_t high[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    for (int i = 0; i < 32; ++i)
        if (high[i] != 0 && high[i] == cp) return 0x80 + i;
    return -1;
}

DWORD platform_detail::CurrentModifiers()
{
    std::lock_guard<std::recursive_mutex> lock(inputMutex);
    DWORD mods = 0;
    if (vkState[VK_SHIFT] & 0x80) mods |= MK_SHIFT;
    if (vkState[VK_CONTROL] & 0x80) mods |= MK_CONTROL;
    if (vkState[VK_MENU] & 0x80) mods |= FALT;
    return mods;
}

void platform_detail::ResetInputState()
{
    std::lock_guard<std::recursive_mutex> lock(inputMutex);
    memset(vkState, 0, sizeof vkState);
    for (int i = 0; i < PLATFORM_SCANCODE_COUNT; ++i)
        if (scancodeState[i].exchange(0)) ++scancodeChanges[i];
    mouseX = mouseY = 0;
    mouseWindow = nullptr;
    accumX = accumY = accumWheel = 0;
    fractionX = fractionY = 0.0;
    ownedX = ownedY = 0;
    warpWindow = nullptr;
    for (int i = 0; i < 3; ++i)
        if (buttons >> i & 1) ++buttonChanges[i];
    buttons = 0;
}

// ---------------------------------------------------------------------------------------------
// SDL events
void platform_detail::HandleInputEvent(const void* raw)
{
    const auto& e = *static_cast<const SDL_Event*>(raw);
    switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        {
            // Lock keys keep the toggles the desktop has, not the ones counted here.
            std::lock_guard<std::recursive_mutex> lock(inputMutex);
            vkState[VK_CAPITAL] = (vkState[VK_CAPITAL] & 0x80) | ((e.key.keysym.mod & KMOD_CAPS) ? 1 : 0);
            vkState[VK_NUMLOCK] = (vkState[VK_NUMLOCK] & 0x80) | ((e.key.keysym.mod & KMOD_NUM) ? 1 : 0);
        }
        int vk = VkFromSdl(e.key.keysym);
        KeyChange(vk, e.key.keysym.scancode, e.type == SDL_KEYDOWN, e.key.repeat != 0);
        break;
    }
    case SDL_TEXTINPUT: {
        // With Alt or Ctrl held the keys are commands (accelerators), not text; AltGr types.
        SDL_Keymod mod = SDL_GetModState();
        if ((mod & KMOD_LALT) || ((mod & KMOD_CTRL) && !(mod & KMOD_RALT))) break;
        TypeUtf8(e.text.text);
        break;
    }
    case SDL_MOUSEMOTION: {
        HWND hwnd = PlatformWindowFromSdl(SDL_GetWindowFromID(e.motion.windowID));
        int bx = e.motion.x, by = e.motion.y;
        if (hwnd) WindowToBackBuffer(hwnd, e.motion.x, e.motion.y, bx, by);
        int relX = e.motion.xrel, relY = e.motion.yrel;
        {
            std::lock_guard<std::recursive_mutex> lock(inputMutex);
            if (warpWindow && hwnd == warpWindow) {
                relX = e.motion.x - warpX;
                relY = e.motion.y - warpY;
            }
            warpWindow = nullptr;
        }
        int dx, dy;
        if (!OwnedMotion(hwnd, bx, by, dx, dy)) {
            // The motion a program reads is in the pixels of the picture it draws: in a window
            // shown at twice its back buffer, two pointer pixels are one of the program's.
            double sx, sy;
            BackBufferScale(hwnd, sx, sy);
            std::lock_guard<std::recursive_mutex> lock(inputMutex);
            dx = TakeWhole(fractionX, relX * sx);
            dy = TakeWhole(fractionY, relY * sy);
        }
        MouseMovedTo(hwnd, bx, by, dx, dy);
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        int button = e.button.button == SDL_BUTTON_LEFT ? 0 : e.button.button == SDL_BUTTON_RIGHT ? 1
                   : e.button.button == SDL_BUTTON_MIDDLE ? 2 : -1;
        if (button < 0) break;
        HWND hwnd = PlatformWindowFromSdl(SDL_GetWindowFromID(e.button.windowID));
        int bx = e.button.x, by = e.button.y;
        if (hwnd && WindowToBackBuffer(hwnd, e.button.x, e.button.y, bx, by)) {
            std::lock_guard<std::recursive_mutex> lock(inputMutex);
            mouseX = bx;
            mouseY = by;
            mouseWindow = hwnd;
        }
        ButtonChange(hwnd, button, e.type == SDL_MOUSEBUTTONDOWN);
        break;
    }
    case SDL_MOUSEWHEEL: {
        int notches = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
        {
            std::lock_guard<std::recursive_mutex> lock(inputMutex);
            accumWheel += notches * 120;
        }
        HWND hwnd = PlatformWindowFromSdl(SDL_GetWindowFromID(e.wheel.windowID));
        if (hwnd && notches) {
            POINT p{mouseX, mouseY};
            ClientToScreen(hwnd, &p);
            QueueMessage(hwnd, WM_MOUSEWHEEL, MAKEWPARAM(MkButtons(), notches * 120), MAKELPARAM(p.x, p.y),
                         CurrentModifiers());
        }
        break;
    }
    default: break;
    }
}

// ---------------------------------------------------------------------------------------------
// Scripted input
void platform_detail::InjectKey(int vk, bool down)
{
    bool wasDown;
    {
        std::lock_guard<std::recursive_mutex> lock(inputMutex);
        wasDown = (vkState[GenericVk(vk)] & 0x80) != 0;
    }
    if (!down && !wasDown) return;  // a release of a key that is not held does nothing
    KeyChange(vk, ScancodeFromVk(vk), down, down && wasDown);
}

void platform_detail::InjectText(const std::string& utf8) { TypeUtf8(utf8.c_str()); }

void platform_detail::InjectScancode(int scancode, bool down) { SetScancode(scancode, down); }

void platform_detail::InjectMouseMove(int x, int y)
{
    HWND hwnd = PlatformMainWindow();
    int dx, dy;
    if (!OwnedMotion(hwnd, x, y, dx, dy)) {
        std::lock_guard<std::recursive_mutex> lock(inputMutex);
        dx = x - mouseX;
        dy = y - mouseY;
    }
    MouseMovedTo(hwnd, x, y, dx, dy);
}

void platform_detail::InjectMouseButton(int button, bool down) { ButtonChange(PlatformMainWindow(), button, down); }

void platform_detail::InjectQuit()
{
    HWND main = PlatformMainWindow();
    if (main)
        PostMessageA(main, WM_CLOSE, 0, 0);
    else
        PlatformTrace("script: quit with no window open");
}

// ---------------------------------------------------------------------------------------------
// Public state
SHORT GetAsyncKeyState(int vkey)
{
    if (vkey < 0 || vkey > 255) return 0;
    std::lock_guard<std::recursive_mutex> lock(inputMutex);
    return static_cast<SHORT>((vkState[vkey] & 0x80) ? 0x8000 : 0);
}

SHORT GetKeyState(int vkey)
{
    if (vkey < 0 || vkey > 255) return 0;
    std::lock_guard<std::recursive_mutex> lock(inputMutex);
    return static_cast<SHORT>(((vkState[vkey] & 0x80) ? 0xFF80 : 0) | (vkState[vkey] & 0x01));
}

BOOL GetCursorPos(LPPOINT point)
{
    if (!point) return FALSE;
    std::lock_guard<std::recursive_mutex> lock(inputMutex);
    HWND hwnd = mouseWindow && IsWindow(mouseWindow) ? mouseWindow : PlatformMainWindow();
    POINT origin = hwnd ? ClientOrigin(hwnd) : POINT{0, 0};
    point->x = origin.x + mouseX;
    point->y = origin.y + mouseY;
    return TRUE;
}

BOOL SetCursorPos(int x, int y)
{
    HWND hwnd = GetForegroundWindow();
    int bx, by;
    {
        std::lock_guard<std::recursive_mutex> lock(inputMutex);
        RECT client{};
        POINT origin = hwnd ? ClientOrigin(hwnd) : POINT{0, 0};
        if (!hwnd || !GetClientRect(hwnd, &client) || !PtInRect(&client, POINT{x - origin.x, y - origin.y})) {
            hwnd = mouseWindow && IsWindow(mouseWindow) ? mouseWindow : PlatformMainWindow();
            origin = hwnd ? ClientOrigin(hwnd) : POINT{0, 0};
        }
        bx = mouseX = x - origin.x;
        by = mouseY = y - origin.y;
        mouseWindow = hwnd;
        // The pointer was put there, not moved: an owned pointer's motion counts from its new
        // place, so that it has room to every edge that the program's own cursor or ship has.
        if (captureApplied && hwnd == captureWindow) ClampToBackBuffer(hwnd, bx, by, ownedX, ownedY);
    }
    // The desktop's pointer goes there too, while the program is the one in front: a pointer
    // left elsewhere would move the program's cursor from where the program put it by how far it
    // moves from where it rests.
    SDL_Window* sdl = hwnd && IsMainThread() && VideoReady() && hwnd == GetForegroundWindow() && !IsIconic(hwnd)
                          ? PlatformSdlWindow(hwnd)
                          : nullptr;
    int wx, wy;
    if (sdl && BackBufferToWindow(hwnd, bx, by, wx, wy)) {
        {
            std::lock_guard<std::recursive_mutex> lock(inputMutex);
            warpWindow = hwnd;
            warpX = wx;
            warpY = wy;
        }
        SDL_WarpMouseInWindow(sdl, wx, wy);
    }
    return TRUE;
}

const uint8_t* PlatformKeyboardScancodes()
{
    static_assert(sizeof(std::atomic<uint8_t>) == 1, "scancode table is read as bytes");
    return reinterpret_cast<const uint8_t*>(scancodeState);
}

void PlatformKeyboardScancodeChanges(uint64_t changes[PLATFORM_SCANCODE_COUNT])
{
    for (int i = 0; i < PLATFORM_SCANCODE_COUNT; ++i) changes[i] = scancodeChanges[i];
}

void PlatformSetKeyListener(std::function<void(int, bool)> listener)
{
    std::lock_guard<std::recursive_mutex> lock(inputMutex);
    keyListener = std::move(listener);
}

void PlatformTakeMouseMotion(int& dx, int& dy, int& wheel)
{
    std::lock_guard<std::recursive_mutex> lock(inputMutex);
    dx = accumX;
    dy = accumY;
    wheel = accumWheel;
    accumX = accumY = accumWheel = 0;
}

void PlatformSetMouseCapture(HWND hwnd, bool capture)
{
    if (capture)
        captureWindow = hwnd;
    else if (captureWindow == hwnd)
        captureWindow = nullptr;
    ApplyMouseCapture();
}

HWND PlatformMouseCaptureWindow() { return captureApplied ? captureWindow : nullptr; }

void platform_detail::ApplyMouseCapture()
{
    if (captureWindow && !IsWindow(captureWindow)) captureWindow = nullptr;
    const bool want = captureWindow && GetForegroundWindow() == captureWindow && captureSuspended == 0;
    if (want == captureApplied) return;
    captureApplied = want;
    SDL_Window* sdl = want && VideoReady() ? PlatformSdlWindow(captureWindow) : nullptr;
    {
        std::lock_guard<std::recursive_mutex> lock(inputMutex);
        fractionX = fractionY = 0.0;
        if (want)
            ClampToBackBuffer(captureWindow, mouseWindow == captureWindow ? mouseX : 0,
                              mouseWindow == captureWindow ? mouseY : 0, ownedX, ownedY);
    }
    if (want) PointerFromDesktop(captureWindow);
    if (!VideoReady()) return;
    // The pointer is held inside the window and hidden, and keeps reporting where it is: the
    // program's cursor stays under it and reaches every edge, whatever kind of pointer it is. A
    // driver without a pointer (offscreen) has nothing to hold.
    if (grabbedWindow && grabbedWindow != sdl) SDL_SetWindowGrab(grabbedWindow, SDL_FALSE);
    grabbedWindow = sdl;
    if (sdl) {
        SDL_SetWindowGrab(sdl, SDL_TRUE);
        SDL_ShowCursor(SDL_DISABLE);
    } else {
        SetCursorShown();
    }
}

void platform_detail::PointerFromDesktop(HWND hwnd)
{
    SDL_Window* sdl = VideoReady() && hwnd ? PlatformSdlWindow(hwnd) : nullptr;
    // Only a desktop that has told the window the pointer is over it knows where it is.
    if (!sdl || SDL_GetMouseFocus() != sdl) return;
    int gx = 0, gy = 0, wx = 0, wy = 0, ww = 0, wh = 0, bx = 0, by = 0;
    SDL_GetGlobalMouseState(&gx, &gy);
    // Where the window is as the display has it: SDL's own idea may still be where the window
    // was before it went full screen or the window manager moved it, and the program's cursor
    // would then stand that far off the pointer for good.
    if (!ClientOriginOnScreen(sdl, wx, wy)) SDL_GetWindowPosition(sdl, &wx, &wy);
    SDL_GetWindowSize(sdl, &ww, &wh);
    gx -= wx;
    gy -= wy;
    if (gx < 0 || gy < 0 || gx >= ww || gy >= wh || !WindowToBackBuffer(hwnd, gx, gy, bx, by)) return;
    std::lock_guard<std::recursive_mutex> lock(inputMutex);
    mouseX = bx;
    mouseY = by;
    mouseWindow = hwnd;
    // The window moved, not the pointer: no motion.
    if (captureApplied && hwnd == captureWindow) ClampToBackBuffer(hwnd, bx, by, ownedX, ownedY);
}

void platform_detail::SuspendMouseCapture(bool suspend)
{
    if (!IsMainThread()) return;
    captureSuspended += suspend ? 1 : -1;
    if (captureSuspended < 0) captureSuspended = 0;
    ApplyMouseCapture();
}

uint32_t PlatformMouseButtons()
{
    std::lock_guard<std::recursive_mutex> lock(inputMutex);
    return buttons;
}

void PlatformMouseButtonChanges(uint64_t changes[3])
{
    std::lock_guard<std::recursive_mutex> lock(inputMutex);
    for (int i = 0; i < 3; ++i) changes[i] = buttonChanges[i];
}

void PlatformMousePosition(int& x, int& y)
{
    std::lock_guard<std::recursive_mutex> lock(inputMutex);
    x = mouseX;
    y = mouseY;
}
