// Keyboard and mouse through DirectInput, polled once per frame; mouse buttons become events
// (press, double press, release) in a small ring.
#pragma once

#include <cstdint>

#include "platform/dinput/dinput.h"

struct MouseEvent {
    int32_t code;
    int16_t x, y, wheel;
};

enum MouseEventCode : int32_t {
    MOUSE_NONE = 0,
    MOUSE_LEFT_DOWN = 1,
    MOUSE_LEFT_UP = 2,
    MOUSE_LEFT_DOUBLE = 3,
    MOUSE_RIGHT_DOWN = 11,
    MOUSE_RIGHT_UP = 12,
    MOUSE_RIGHT_DOUBLE = 13,
};

struct JoystickRecord {
    LPDIRECTINPUTDEVICE2A device;
    GUID instance;
    int32_t buttons;
};

struct InputState {
    LPDIRECTINPUT7A input = nullptr;
    LPDIRECTINPUTDEVICE7A keyboard = nullptr;
    LPDIRECTINPUTDEVICE7A mouse = nullptr;
    uint8_t keys[256] = {};
    uint8_t previousKeys[256] = {};
    uint8_t pressed[256] = {};
    int32_t mouseX = 0, mouseY = 0, mouseWheel = 0;
    DIMOUSESTATE previousMouse = {};
    int32_t leftHeld = 0, rightHeld = 0;
    uint32_t lastLeftPress = 0, lastRightPress = 0;
    int32_t hasLeftPress = 0, hasRightPress = 0;
    MouseEvent ring[20] = {};
    int32_t writeIndex = 0, readIndex = 0;
    JoystickRecord joysticks[2] = {};
    int32_t joystickCount = 0;
    int32_t exclusive = 1;
    HWND window = nullptr;  // the game's window, whose pointer the mouse is
};
extern InputState g_input;

const uint32_t kLeftDoubleMs = 300;
const uint32_t kRightDoubleMs = 150;

int InitInput(int exclusive);
void AcquireInput(int acquire);
void PollInput();
int IsKeyHeld(int key);
int WasKeyPressed(int key);
int FirstKeyDown();
void PushMouseEvent(int32_t code);
void PopMouseEvent(MouseEvent* out);
void ReadMouseDelta(int32_t* x, int32_t* y, int32_t* wheel);
// Where the desktop's pointer is over the game's window, in screen pixels; 0 before the input
// devices were made.
int ReadPointerPosition(int32_t* x, int32_t* y);
// Puts the desktop's pointer over the game's window at (x, y) screen pixels: where the game put
// what the mouse steers, so that the mouse moves it from there, as far as the pointer can go.
void PlacePointer(int32_t x, int32_t y);
// The key and button logic of one poll, given the states read (split out for the tests).
void ProcessInputStates(const uint8_t* keys, const DIMOUSESTATE* mouse, uint32_t now);
void ShutdownInput();
