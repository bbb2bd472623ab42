#include "skerrow/Src/Input.h"

#include <cstring>

#include "skerrow/Src/Graphics/Graphics.h"
#include "skerrow/Src/Log.h"

InputState g_input;

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
    // No joystick is read by the game; the stand-in enumerates none, so nothing is kept.
    g_input.joystickCount = 0;
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
    if (g_input.mouse) g_input.mouse->Release();
    if (g_input.keyboard) g_input.keyboard->Release();
    if (g_input.input) g_input.input->Release();
    g_input.mouse = g_input.keyboard = nullptr;
    g_input.input = nullptr;
}

void AcquireInput(int acquire)
{
    if (!g_input.mouse) return;
    if (acquire)
        g_input.mouse->Acquire();
    else
        g_input.mouse->Unacquire();
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
