#include "skerrow/Src/Input.h"

#include <cstring>

#include "skerrow/Src/Graphics/Graphics.h"
#include "skerrow/Src/Log.h"

InputState g_input;

namespace {

BOOL CALLBACK AddJoystick(LPCDIDEVICEINSTANCEA instance, LPVOID)
{
    if (g_input.joystickCount >= 2) return DIENUM_STOP;
    LPDIRECTINPUTDEVICE2A device = nullptr;
    if (FAILED(g_input.input->CreateDeviceEx(instance->guidInstance, IID_IDirectInputDevice2A,
                                             reinterpret_cast<LPVOID*>(&device), nullptr)))
        return DIENUM_CONTINUE;
    LogMessage("    Joystick has been found: %s\n", instance->tszProductName);
    LogMessage("    Joystick's type: 0x%x\n", static_cast<unsigned>(instance->dwDevType));
    DIDEVCAPS caps{};
    caps.dwSize = sizeof caps;
    device->GetCapabilities(&caps);
    LogMessage("    %d buttons available\n", static_cast<int>(caps.dwButtons));
    LogMessage("\n");
    JoystickRecord& j = g_input.joysticks[g_input.joystickCount++];
    j.device = device;
    j.instance = instance->guidInstance;
    j.buttons = static_cast<int32_t>(caps.dwButtons);
    return g_input.joystickCount < 2 ? DIENUM_CONTINUE : DIENUM_STOP;
}

void PrepareJoystick(const JoystickRecord& j, HWND window, int exclusive)
{
    j.device->Unacquire();
    j.device->SetDataFormat(&c_dfDIJoystick);
    j.device->SetCooperativeLevel(window, DISCL_FOREGROUND | (exclusive ? DISCL_EXCLUSIVE : DISCL_NONEXCLUSIVE));
    j.device->Acquire();
    for (DWORD axis : {0u, 4u}) {  // X and Y
        DIPROPRANGE range{};
        range.diph.dwSize = sizeof range;
        range.diph.dwHeaderSize = sizeof range.diph;
        range.diph.dwObj = axis;
        range.diph.dwHow = DIPH_BYOFFSET;
        range.lMin = -10;
        range.lMax = 10;
        j.device->SetProperty(MAKEDIPROP(DIPROP_RANGE), &range.diph);
    }
    DIPROPDWORD dead{};
    dead.diph.dwSize = sizeof dead;
    dead.diph.dwHeaderSize = sizeof dead.diph;
    dead.diph.dwHow = DIPH_DEVICE;
    dead.dwData = 1000;
    j.device->SetProperty(MAKEDIPROP(DIPROP_DEADZONE), &dead.diph);
}

}  // namespace

int InitInput(int exclusive)
{
    LogMessage("\nInit input devices...\n");
    HWND window = GetForegroundWindow();
    HRESULT hr = DirectInputCreateEx(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput7A,
                                     reinterpret_cast<LPVOID*>(&g_input.input), nullptr);
    if (FAILED(hr)) {
        LogMessage("Failed to Init DirectInput\n");
        return 0;
    }
    g_input.joystickCount = 0;
    g_input.exclusive = exclusive;
    g_input.window = window;
    g_input.input->EnumDevices(DIDEVTYPE_JOYSTICK, AddJoystick, nullptr, DIEDFL_ATTACHEDONLY);
    for (int i = 0; i < g_input.joystickCount; ++i) PrepareJoystick(g_input.joysticks[i], window, exclusive);
    hr = g_input.input->CreateDeviceEx(GUID_SysKeyboard, IID_IDirectInputDevice7A,
                                       reinterpret_cast<LPVOID*>(&g_input.keyboard), nullptr);
    if (FAILED(hr)) {
        MessageBoxA(nullptr, "aKeyboard Initialize Error!", nullptr, MB_ICONERROR);
        return 0;
    }
    g_input.keyboard->SetDataFormat(&c_dfDIKeyboard);
    g_input.keyboard->SetCooperativeLevel(window, DISCL_FOREGROUND | DISCL_NONEXCLUSIVE);
    g_input.keyboard->Acquire();
    hr = g_input.input->CreateDeviceEx(GUID_SysMouse, IID_IDirectInputDevice7A,
                                       reinterpret_cast<LPVOID*>(&g_input.mouse), nullptr);
    if (FAILED(hr)) {
        MessageBoxA(nullptr, "Mouse Initialize Error!", nullptr, MB_ICONERROR);
        return 0;
    }
    if (FAILED(g_input.mouse->SetDataFormat(&c_dfDIMouse))) return 0;
    hr = g_input.mouse->SetCooperativeLevel(window, DISCL_FOREGROUND | (exclusive ? DISCL_EXCLUSIVE : DISCL_NONEXCLUSIVE));
    if (FAILED(hr)) LogMessage("Mouse Change Cooperative Level %s\n", GetDDErrorName(hr));
    g_input.mouse->Acquire();
    return 1;
}

void ShutdownInput()
{
    for (int i = 0; i < g_input.joystickCount; ++i) g_input.joysticks[i].device->Release();
    g_input.joystickCount = 0;
    if (g_input.mouse) g_input.mouse->Release();
    if (g_input.keyboard) g_input.keyboard->Release();
    if (g_input.input) g_input.input->Release();
    g_input.mouse = g_input.keyboard = nullptr;
    g_input.input = nullptr;
}

void AcquireInput(int acquire)
{
    LPDIRECTINPUTDEVICE7A devices[3] = {g_input.mouse, g_input.joysticks[0].device, g_input.joysticks[1].device};
    for (int i = 0; i < 1 + g_input.joystickCount; ++i) {
        if (!devices[i]) continue;
        if (acquire)
            devices[i]->Acquire();
        else
            devices[i]->Unacquire();
    }
}

void PushMouseEvent(int32_t code)
{
    int32_t next = (g_input.writeIndex + 1) % 20;
    if (next == g_input.readIndex) return;
    MouseEvent& e = g_input.ring[g_input.writeIndex];
    e.code = code;
    e.x = static_cast<int16_t>(g_input.mouseX);
    e.y = static_cast<int16_t>(g_input.mouseY);
    e.wheel = static_cast<int16_t>(g_input.mouseWheel);
    g_input.writeIndex = next;
}

void PopMouseEvent(MouseEvent* out)
{
    if (!out) return;
    if (g_input.readIndex == g_input.writeIndex) {
        *out = MouseEvent{};
        return;
    }
    *out = g_input.ring[g_input.readIndex];
    g_input.readIndex = (g_input.readIndex + 1) % 20;
}

void ReadMouseDelta(int32_t* x, int32_t* y, int32_t* wheel)
{
    if (x) *x = g_input.mouseX;
    if (y) *y = g_input.mouseY;
    if (wheel) *wheel = g_input.mouseWheel;
    g_input.mouseX = g_input.mouseY = g_input.mouseWheel = 0;
}

int ReadPointerPosition(int32_t* x, int32_t* y)
{
    POINT p{};
    if (!g_input.window || !GetCursorPos(&p) || !ScreenToClient(g_input.window, &p)) return 0;
    if (x) *x = p.x;
    if (y) *y = p.y;
    return 1;
}

void PlacePointer(int32_t x, int32_t y)
{
    POINT p{x, y};
    if (g_input.window && ClientToScreen(g_input.window, &p)) SetCursorPos(p.x, p.y);
}

void ProcessInputStates(const uint8_t* keys, const DIMOUSESTATE* mouse, uint32_t now)
{
    if (keys) {
        std::memcpy(g_input.keys, keys, 256);
        for (int k = 0; k < 256; ++k) {
            g_input.pressed[k] = (g_input.keys[k] & 0x80) && g_input.keys[k] != g_input.previousKeys[k] ? 1 : 0;
            g_input.previousKeys[k] = g_input.keys[k];
        }
    }
    if (!mouse) return;
    g_input.mouseX += mouse->lX;
    g_input.mouseY += mouse->lY;
    g_input.mouseWheel += mouse->lZ;
    const bool left = mouse->rgbButtons[0] & 0x80, leftBefore = g_input.previousMouse.rgbButtons[0] & 0x80;
    if (left && !leftBefore) {
        PushMouseEvent(g_input.hasLeftPress && now - g_input.lastLeftPress < kLeftDoubleMs ? MOUSE_LEFT_DOUBLE : MOUSE_LEFT_DOWN);
        g_input.lastLeftPress = now;
        g_input.hasLeftPress = 1;
    } else if (!left && leftBefore) {
        PushMouseEvent(MOUSE_LEFT_UP);
    }
    g_input.leftHeld = left;
    const bool right = mouse->rgbButtons[1] & 0x80, rightBefore = g_input.previousMouse.rgbButtons[1] & 0x80;
    if (right && !rightBefore) {
        PushMouseEvent(g_input.hasRightPress && now - g_input.lastRightPress < kRightDoubleMs ? MOUSE_RIGHT_DOUBLE
                                                                                              : MOUSE_RIGHT_DOWN);
        g_input.lastRightPress = now;
        g_input.hasRightPress = 1;
    } else if (!right && rightBefore) {
        PushMouseEvent(MOUSE_RIGHT_UP);
    }
    g_input.rightHeld = right;
    g_input.previousMouse = *mouse;
}

void PollInput()
{
    const uint32_t now = GetTickCount();
    uint8_t keys[256];
    bool haveKeys = false;
    if (g_input.keyboard) {
        g_input.keyboard->Acquire();
        // A failed read keeps the previous state.
        haveKeys = SUCCEEDED(g_input.keyboard->GetDeviceState(256, keys));
    }
    if (!haveKeys) std::memcpy(keys, g_input.keys, 256);
    DIMOUSESTATE mouse{};
    bool haveMouse = false;
    if (g_input.mouse) {
        HRESULT hr = g_input.mouse->GetDeviceState(sizeof mouse, &mouse);
        while (hr == DIERR_INPUTLOST) {
            if (FAILED(g_input.mouse->Acquire())) break;
            hr = g_input.mouse->GetDeviceState(sizeof mouse, &mouse);
        }
        if (SUCCEEDED(hr)) {
            haveMouse = true;
        } else if (hr != DIERR_INPUTLOST) {
            g_input.mouseX = g_input.mouseY = g_input.mouseWheel = 0;
        }
    }
    ProcessInputStates(keys, haveMouse ? &mouse : nullptr, now);
}

int IsKeyHeld(int key) { return key >= 0 && key < 256 ? g_input.keys[key] & 0x80 : 0; }
int WasKeyPressed(int key) { return key >= 0 && key < 256 ? g_input.pressed[key] : 0; }

int FirstKeyDown()
{
    for (int k = 0; k < 255; ++k)
        if (g_input.pressed[k]) return k;
    return 0;
}
