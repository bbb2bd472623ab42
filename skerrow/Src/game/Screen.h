// The screen base class and the screen stack: which screen is current, how one is entered and
// left, and how the main loop and the window procedure reach it.
#pragma once

#include <cstdint>

#include "platform/win32/win32.h"

class Screen {
public:
    Screen();
    virtual ~Screen();
    virtual void OnKey(uint8_t character) {}
    virtual const char* GetName() = 0;
    virtual void InitSurfaces() = 0;
    virtual void ReleaseSurfaces() = 0;
    virtual void OnDisplay(Screen* previous, int32_t argument) = 0;
    virtual int32_t Process() = 0;

    int SwitchScreen(int32_t argument);
    int ReturnToPreviousScreen(int32_t argument);
    int32_t PingPong(int32_t period) const;

    int32_t frameCounter = 0;
    uint32_t keyTime = 0;
};

const int kScreenStackSize = 15;
extern Screen* g_screenStack[kScreenStackSize];
extern Screen* g_currentScreen;
extern int32_t g_screenDepth;

void ResetToFirstScreen();
void SwitchScreenIfOther(Screen* target, int32_t argument);
void SendKeyToScreen(WPARAM wParam, LPARAM lParam);
void SetScreenSurfaces(int create);
int32_t ProcessCurrentScreen();
Screen* GetCurrentScreen();
