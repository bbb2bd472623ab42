#include "platform/dinput/dinput.h"

#include <SDL.h>

#include <cstring>

#include "platform/win32/platform_internal.h"

const DIDATAFORMAT c_dfDIKeyboard = {sizeof(DIDATAFORMAT), 256};
const DIDATAFORMAT c_dfDIMouse = {sizeof(DIDATAFORMAT), sizeof(DIMOUSESTATE)};
const DIDATAFORMAT c_dfDIJoystick = {sizeof(DIDATAFORMAT), sizeof(DIJOYSTATE)};

const GUID GUID_SysKeyboard = {0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_SysMouse = {0x6F1D2B60, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID IID_IDirectInput7A = {0x9A4CB684, 0x236D, 0x11D3, {0x8E, 0x9D, 0x00, 0xC0, 0x4F, 0x68, 0x44, 0xAE}};
const IID IID_IDirectInputDevice2A = {0x5944E682, 0xC92E, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID IID_IDirectInputDevice7A = {0x57D7C6BC, 0x2356, 0x11D3, {0x8E, 0x9D, 0x00, 0xC0, 0x4F, 0x68, 0x44, 0xAE}};

namespace {

struct ScancodeDik {
    int scancode;
    int dik;
};

// Every SDL scancode that has a key on a PC keyboard, with its DirectInput code.
const ScancodeDik kScancodeTable[] = {
    {SDL_SCANCODE_ESCAPE, DIK_ESCAPE}, {SDL_SCANCODE_1, DIK_1}, {SDL_SCANCODE_2, DIK_2}, {SDL_SCANCODE_3, DIK_3},
    {SDL_SCANCODE_4, DIK_4}, {SDL_SCANCODE_5, DIK_5}, {SDL_SCANCODE_6, DIK_6}, {SDL_SCANCODE_7, DIK_7},
    {SDL_SCANCODE_8, DIK_8}, {SDL_SCANCODE_9, DIK_9}, {SDL_SCANCODE_0, DIK_0}, {SDL_SCANCODE_MINUS, DIK_MINUS},
    {SDL_SCANCODE_EQUALS, DIK_EQUALS}, {SDL_SCANCODE_BACKSPACE, DIK_BACK}, {SDL_SCANCODE_TAB, DIK_TAB},
    {SDL_SCANCODE_Q, DIK_Q}, {SDL_SCANCODE_W, DIK_W}, {SDL_SCANCODE_E, DIK_E}, {SDL_SCANCODE_R, DIK_R},
    {SDL_SCANCODE_T, DIK_T}, {SDL_SCANCODE_Y, DIK_Y}, {SDL_SCANCODE_U, DIK_U}, {SDL_SCANCODE_I, DIK_I},
    {SDL_SCANCODE_O, DIK_O}, {SDL_SCANCODE_P, DIK_P}, {SDL_SCANCODE_LEFTBRACKET, DIK_LBRACKET},
    {SDL_SCANCODE_RIGHTBRACKET, DIK_RBRACKET}, {SDL_SCANCODE_RETURN, DIK_RETURN}, {SDL_SCANCODE_LCTRL, DIK_LCONTROL},
    {SDL_SCANCODE_A, DIK_A}, {SDL_SCANCODE_S, DIK_S}, {SDL_SCANCODE_D, DIK_D}, {SDL_SCANCODE_F, DIK_F},
    {SDL_SCANCODE_G, DIK_G}, {SDL_SCANCODE_H, DIK_H}, {SDL_SCANCODE_J, DIK_J}, {SDL_SCANCODE_K, DIK_K},
    {SDL_SCANCODE_L, DIK_L}, {SDL_SCANCODE_SEMICOLON, DIK_SEMICOLON}, {SDL_SCANCODE_APOSTROPHE, DIK_APOSTROPHE},
    {SDL_SCANCODE_GRAVE, DIK_GRAVE}, {SDL_SCANCODE_LSHIFT, DIK_LSHIFT}, {SDL_SCANCODE_BACKSLASH, DIK_BACKSLASH},
    {SDL_SCANCODE_NONUSHASH, DIK_BACKSLASH}, {SDL_SCANCODE_Z, DIK_Z}, {SDL_SCANCODE_X, DIK_X},
    {SDL_SCANCODE_C, DIK_C}, {SDL_SCANCODE_V, DIK_V}, {SDL_SCANCODE_B, DIK_B}, {SDL_SCANCODE_N, DIK_N},
    {SDL_SCANCODE_M, DIK_M}, {SDL_SCANCODE_COMMA, DIK_COMMA}, {SDL_SCANCODE_PERIOD, DIK_PERIOD},
    {SDL_SCANCODE_SLASH, DIK_SLASH}, {SDL_SCANCODE_RSHIFT, DIK_RSHIFT}, {SDL_SCANCODE_KP_MULTIPLY, DIK_MULTIPLY},
    {SDL_SCANCODE_LALT, DIK_LMENU}, {SDL_SCANCODE_SPACE, DIK_SPACE}, {SDL_SCANCODE_CAPSLOCK, DIK_CAPITAL},
    {SDL_SCANCODE_F1, DIK_F1}, {SDL_SCANCODE_F2, DIK_F2}, {SDL_SCANCODE_F3, DIK_F3}, {SDL_SCANCODE_F4, DIK_F4},
    {SDL_SCANCODE_F5, DIK_F5}, {SDL_SCANCODE_F6, DIK_F6}, {SDL_SCANCODE_F7, DIK_F7}, {SDL_SCANCODE_F8, DIK_F8},
    {SDL_SCANCODE_F9, DIK_F9}, {SDL_SCANCODE_F10, DIK_F10}, {SDL_SCANCODE_NUMLOCKCLEAR, DIK_NUMLOCK},
    {SDL_SCANCODE_SCROLLLOCK, DIK_SCROLL}, {SDL_SCANCODE_KP_7, DIK_NUMPAD7}, {SDL_SCANCODE_KP_8, DIK_NUMPAD8},
    {SDL_SCANCODE_KP_9, DIK_NUMPAD9}, {SDL_SCANCODE_KP_MINUS, DIK_SUBTRACT}, {SDL_SCANCODE_KP_4, DIK_NUMPAD4},
    {SDL_SCANCODE_KP_5, DIK_NUMPAD5}, {SDL_SCANCODE_KP_6, DIK_NUMPAD6}, {SDL_SCANCODE_KP_PLUS, DIK_ADD},
    {SDL_SCANCODE_KP_1, DIK_NUMPAD1}, {SDL_SCANCODE_KP_2, DIK_NUMPAD2}, {SDL_SCANCODE_KP_3, DIK_NUMPAD3},
    {SDL_SCANCODE_KP_0, DIK_NUMPAD0}, {SDL_SCANCODE_KP_PERIOD, DIK_DECIMAL},
    {SDL_SCANCODE_NONUSBACKSLASH, DIK_OEM_102}, {SDL_SCANCODE_F11, DIK_F11}, {SDL_SCANCODE_F12, DIK_F12},
    {SDL_SCANCODE_F13, DIK_F13}, {SDL_SCANCODE_F14, DIK_F14}, {SDL_SCANCODE_F15, DIK_F15},
    {SDL_SCANCODE_INTERNATIONAL2, DIK_KANA}, {SDL_SCANCODE_INTERNATIONAL1, DIK_ABNT_C1},
    {SDL_SCANCODE_INTERNATIONAL4, DIK_CONVERT}, {SDL_SCANCODE_INTERNATIONAL5, DIK_NOCONVERT},
    {SDL_SCANCODE_INTERNATIONAL3, DIK_YEN}, {SDL_SCANCODE_KP_EQUALS, DIK_NUMPADEQUALS},
    {SDL_SCANCODE_AUDIOPREV, DIK_PREVTRACK}, {SDL_SCANCODE_STOP, DIK_STOP}, {SDL_SCANCODE_AUDIONEXT, DIK_NEXTTRACK},
    {SDL_SCANCODE_KP_ENTER, DIK_NUMPADENTER}, {SDL_SCANCODE_RCTRL, DIK_RCONTROL}, {SDL_SCANCODE_MUTE, DIK_MUTE},
    {SDL_SCANCODE_CALCULATOR, DIK_CALCULATOR}, {SDL_SCANCODE_AUDIOPLAY, DIK_PLAYPAUSE},
    {SDL_SCANCODE_AUDIOSTOP, DIK_MEDIASTOP}, {SDL_SCANCODE_VOLUMEDOWN, DIK_VOLUMEDOWN},
    {SDL_SCANCODE_VOLUMEUP, DIK_VOLUMEUP}, {SDL_SCANCODE_AC_HOME, DIK_WEBHOME},
    {SDL_SCANCODE_KP_COMMA, DIK_NUMPADCOMMA}, {SDL_SCANCODE_KP_DIVIDE, DIK_DIVIDE},
    {SDL_SCANCODE_PRINTSCREEN, DIK_SYSRQ}, {SDL_SCANCODE_SYSREQ, DIK_SYSRQ}, {SDL_SCANCODE_RALT, DIK_RMENU},
    {SDL_SCANCODE_PAUSE, DIK_PAUSE}, {SDL_SCANCODE_HOME, DIK_HOME}, {SDL_SCANCODE_UP, DIK_UP},
    {SDL_SCANCODE_PAGEUP, DIK_PRIOR}, {SDL_SCANCODE_LEFT, DIK_LEFT}, {SDL_SCANCODE_RIGHT, DIK_RIGHT},
    {SDL_SCANCODE_END, DIK_END}, {SDL_SCANCODE_DOWN, DIK_DOWN}, {SDL_SCANCODE_PAGEDOWN, DIK_NEXT},
    {SDL_SCANCODE_INSERT, DIK_INSERT}, {SDL_SCANCODE_DELETE, DIK_DELETE}, {SDL_SCANCODE_LGUI, DIK_LWIN},
    {SDL_SCANCODE_RGUI, DIK_RWIN}, {SDL_SCANCODE_APPLICATION, DIK_APPS}, {SDL_SCANCODE_POWER, DIK_POWER},
    {SDL_SCANCODE_SLEEP, DIK_SLEEP}, {SDL_SCANCODE_AC_SEARCH, DIK_WEBSEARCH},
    {SDL_SCANCODE_AC_BOOKMARKS, DIK_WEBFAVORITES}, {SDL_SCANCODE_AC_REFRESH, DIK_WEBREFRESH},
    {SDL_SCANCODE_AC_STOP, DIK_WEBSTOP}, {SDL_SCANCODE_AC_FORWARD, DIK_WEBFORWARD},
    {SDL_SCANCODE_AC_BACK, DIK_WEBBACK}, {SDL_SCANCODE_COMPUTER, DIK_MYCOMPUTER}, {SDL_SCANCODE_MAIL, DIK_MAIL},
    {SDL_SCANCODE_MEDIASELECT, DIK_MEDIASELECT},
};

static_assert(SDL_NUM_SCANCODES <= PLATFORM_SCANCODE_COUNT, "every scancode has its place in the key state");

enum class Kind { Keyboard, Mouse };

// A key or button of a device that is read by state, once a frame: the changes made since the
// last read are shown one read at a time, so that a press and release in between (a tap, a
// touchpad's click) read as pressed now and released next time instead of not at all.
class ShownControl {
public:
    // Shows the control as it stands; changes not shown yet are nobody's.
    void Take(uint64_t changes, bool held)
    {
        changesShown_ = changes;
        down_ = held;
    }
    bool Read(uint64_t changes, bool held)
    {
        while (changes - changesShown_ > kChangesKept) changesShown_ += 2;
        if (changes > changesShown_) {
            ++changesShown_;
            down_ = !down_;
        } else {
            down_ = held;
        }
        return down_;
    }

private:
    // Taps waiting to be shown beyond this many changes are dropped in pairs.
    static constexpr uint64_t kChangesKept = 8;
    uint64_t changesShown_ = 0;
    bool down_ = false;
};

class Device : public RefCounted<IDirectInputDevice7A> {
public:
    explicit Device(Kind kind) : kind_(kind) {}
    ~Device() override { LetPointerGo(); }

    HRESULT SetDataFormat(LPCDIDATAFORMAT format) override
    {
        if (!format) return DIERR_INVALIDPARAM;
        if (acquired_) return DIERR_ACQUIRED;
        DWORD want = kind_ == Kind::Keyboard ? 256 : sizeof(DIMOUSESTATE);
        if (format->dwDataSize != want) {
            PlatformTrace("dinput: unsupported data format for this device\n");
            return DIERR_INVALIDPARAM;
        }
        formatSet_ = true;
        return DI_OK;
    }
    HRESULT SetCooperativeLevel(HWND hwnd, DWORD flags) override
    {
        if (!hwnd || !PlatformSdlWindow(hwnd)) return DIERR_INVALIDPARAM;
        bool excl = flags & DISCL_EXCLUSIVE, nonExcl = flags & DISCL_NONEXCLUSIVE;
        bool fore = flags & DISCL_FOREGROUND, back = flags & DISCL_BACKGROUND;
        if (excl == nonExcl || fore == back) return DIERR_INVALIDPARAM;
        // An exclusive background keyboard is refused by DirectInput as well.
        if (kind_ == Kind::Keyboard && excl && back) return DIERR_INVALIDPARAM;
        hwnd_ = hwnd;
        foreground_ = fore;
        exclusive_ = excl;
        return DI_OK;
    }
    HRESULT Acquire() override
    {
        if (!formatSet_) return DIERR_INVALIDPARAM;
        if (foreground_ && hwnd_ && GetForegroundWindow() != hwnd_) return DIERR_OTHERAPPHASPRIO;
        if (acquired_) return S_FALSE;
        acquired_ = true;
        // Keys, motion and clicks changed before the acquire belong to nobody.
        if (kind_ == Kind::Keyboard) {
            uint64_t changes[PLATFORM_SCANCODE_COUNT];
            PlatformKeyboardScancodeChanges(changes);
            const uint8_t* keys = PlatformKeyboardScancodes();
            for (const ScancodeDik& e : kScancodeTable) keys_[e.scancode].Take(changes[e.scancode], keys[e.scancode] != 0);
        } else {
            int dx, dy, wheel;
            PlatformTakeMouseMotion(dx, dy, wheel);
            uint64_t changes[3];
            PlatformMouseButtonChanges(changes);
            const uint32_t held = PlatformMouseButtons();
            for (int i = 0; i < 3; ++i) buttons_[i].Take(changes[i], (held >> i & 1) != 0);
            // An exclusive mouse owns the pointer: hidden, held in the window, moving past its
            // edges, until it is unacquired or the window loses the foreground.
            if (exclusive_ && foreground_) {
                PlatformSetMouseCapture(hwnd_, true);
                holdsPointer_ = true;
            }
        }
        return DI_OK;
    }
    HRESULT Unacquire() override
    {
        if (!acquired_) return DI_NOEFFECT;
        acquired_ = false;
        LetPointerGo();
        return DI_OK;
    }
    HRESULT GetDeviceState(DWORD size, LPVOID data) override
    {
        if (!data) return DIERR_INVALIDPARAM;
        if (!acquired_) return DIERR_NOTACQUIRED;
        if (foreground_ && hwnd_ && GetForegroundWindow() != hwnd_) {
            acquired_ = false;
            LetPointerGo();
            return DIERR_INPUTLOST;
        }
        if (kind_ == Kind::Keyboard) {
            if (size != 256) return DIERR_INVALIDPARAM;
            uint8_t* out = static_cast<uint8_t*>(data);
            std::memset(out, 0, 256);
            uint64_t changes[PLATFORM_SCANCODE_COUNT];
            PlatformKeyboardScancodeChanges(changes);
            const uint8_t* keys = PlatformKeyboardScancodes();
            for (const ScancodeDik& e : kScancodeTable)
                if (keys_[e.scancode].Read(changes[e.scancode], keys[e.scancode] != 0)) out[e.dik] = 0x80;
            return DI_OK;
        }
        if (size != sizeof(DIMOUSESTATE)) return DIERR_INVALIDPARAM;
        DIMOUSESTATE state{};
        int dx = 0, dy = 0, wheel = 0;
        PlatformTakeMouseMotion(dx, dy, wheel);
        state.lX = dx;
        state.lY = dy;
        state.lZ = wheel;
        const uint32_t held = PlatformMouseButtons();
        uint64_t changes[3];
        PlatformMouseButtonChanges(changes);
        for (int i = 0; i < 3; ++i) state.rgbButtons[i] = buttons_[i].Read(changes[i], (held >> i & 1) != 0) ? 0x80 : 0;
        std::memcpy(data, &state, sizeof state);
        return DI_OK;
    }
    HRESULT GetCapabilities(DIDEVCAPS* caps) override
    {
        if (!caps) return DIERR_INVALIDPARAM;
        caps->dwDevType = kind_ == Kind::Keyboard ? DIDEVTYPE_KEYBOARD : DIDEVTYPE_MOUSE;
        caps->dwAxes = kind_ == Kind::Keyboard ? 0 : 3;
        caps->dwButtons = kind_ == Kind::Keyboard ? 128 : 3;
        caps->dwPOVs = 0;
        caps->dwFlags = 1;
        return DI_OK;
    }
    HRESULT SetProperty(const GUID*, const DIPROPHEADER* header) override
    {
        if (!header) return DIERR_INVALIDPARAM;
        PlatformTrace("dinput: properties are only for joysticks, and none is attached\n");
        return DIERR_INVALIDPARAM;
    }
    HRESULT Poll() override { return acquired_ ? DI_NOEFFECT : DIERR_NOTACQUIRED; }

private:
    void LetPointerGo()
    {
        if (!holdsPointer_) return;
        holdsPointer_ = false;
        PlatformSetMouseCapture(hwnd_, false);
    }

    Kind kind_;
    ShownControl keys_[PLATFORM_SCANCODE_COUNT];
    ShownControl buttons_[3];
    bool holdsPointer_ = false;
    HWND hwnd_ = nullptr;
    bool foreground_ = false;
    bool exclusive_ = false;
    bool formatSet_ = false;
    bool acquired_ = false;
};

class DirectInput : public RefCounted<IDirectInput7A> {
public:
    HRESULT CreateDeviceEx(REFGUID guid, REFIID iid, LPVOID* out, IUnknown* outer) override
    {
        if (!out) return DIERR_INVALIDPARAM;
        *out = nullptr;
        if (outer) return DIERR_INVALIDPARAM;
        if (iid != IID_IDirectInputDevice7A && iid != IID_IDirectInputDevice2A) return DIERR_NOINTERFACE;
        if (guid == GUID_SysKeyboard)
            *out = static_cast<IDirectInputDevice7A*>(new Device(Kind::Keyboard));
        else if (guid == GUID_SysMouse)
            *out = static_cast<IDirectInputDevice7A*>(new Device(Kind::Mouse));
        else
            return DIERR_DEVICENOTREG;
        return DI_OK;
    }
    HRESULT EnumDevices(DWORD devType, LPDIENUMDEVICESCALLBACKA callback, LPVOID context, DWORD) override
    {
        if (!callback) return DIERR_INVALIDPARAM;
        DIDEVICEINSTANCEA instance{};
        instance.dwSize = sizeof instance;
        if (devType == 0 || devType == DIDEVTYPE_KEYBOARD) {
            instance.guidInstance = instance.guidProduct = GUID_SysKeyboard;
            instance.dwDevType = DIDEVTYPE_KEYBOARD;
            std::strcpy(instance.tszInstanceName, "Keyboard");
            std::strcpy(instance.tszProductName, "Keyboard");
            if (callback(&instance, context) == DIENUM_STOP) return DI_OK;
        }
        if (devType == 0 || devType == DIDEVTYPE_MOUSE) {
            instance.guidInstance = instance.guidProduct = GUID_SysMouse;
            instance.dwDevType = DIDEVTYPE_MOUSE;
            std::strcpy(instance.tszInstanceName, "Mouse");
            std::strcpy(instance.tszProductName, "Mouse");
            if (callback(&instance, context) == DIENUM_STOP) return DI_OK;
        }
        return DI_OK;
    }
};

}  // namespace

int PlatformDikFromScancode(int scancode)
{
    for (const ScancodeDik& e : kScancodeTable)
        if (e.scancode == scancode) return e.dik;
    return 0;
}

HRESULT DirectInputCreateEx(HINSTANCE, DWORD version, REFIID iid, LPVOID* out, IUnknown* outer)
{
    if (!out) return DIERR_INVALIDPARAM;
    *out = nullptr;
    if (outer) return DIERR_INVALIDPARAM;
    if (version > DIRECTINPUT_VERSION) return DIERR_OLDDIRECTINPUTVERSION;
    if (iid != IID_IDirectInput7A) return DIERR_NOINTERFACE;
    *out = static_cast<IDirectInput7A*>(new DirectInput);
    return DI_OK;
}
