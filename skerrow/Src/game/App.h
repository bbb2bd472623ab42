// The Skerrow process: start-up and exit order, the main window and its procedure, the paced
// frame loop and the release and rebuild of the display on activation changes.
#pragma once

#include <cstdint>

#include "platform/win32/win32.h"

class Screen;

struct AppState {
    int32_t screenWidth = 0, screenHeight = 0;
    HWND mainWindow = nullptr;
    RECT windowRect = {0, 0, 0, 0};
    RECT clientRect = {0, 0, 0, 0};
    int32_t quit = 0;
    int32_t active = 0;
    int32_t graphicsReady = 0;
    int32_t restored = 0, released = 0;
    uint32_t lastFrameTime = 0;
    int32_t frameCounter = 0;
    int32_t waitForVerticalBlank = 1;
    int32_t fullscreen = 1;
    int32_t soundEnabled = 0;
    HANDLE instanceMutex = nullptr;
    // The shared resources of the game, set by the process entry when they are built in: the
    // start-up loading, the sheets released and reloaded with the display, and the sound set-up.
    int (*loadResources)() = nullptr;
    void (*loadGameSprites)() = nullptr;
    void (*releaseGameSprites)() = nullptr;
    int (*initSound)() = nullptr;
};
extern AppState g_app;

// The first screen the game shows (the menu, once it exists).
extern Screen* g_firstScreen;

int CheckSingleInstance(const char* mutexName);
int RegisterWindowClass(HINSTANCE instance);
int CreateMainWindow(HINSTANCE instance, int showCommand);
int InitDirectX(int fullscreen);
// 1 with the sound as the settings ask, 0 when an enabled engine could not start: the game then
// plays silent.
int InitSound();
int InitGame();
// 1 when a frame is due at `now` after one at `last`: more than 12 ms on the wrapping
// millisecond counter.
int FrameDue(uint32_t now, uint32_t last);
// The time a frame due after one at `last` and run at `now` counts from: its 13 ms mark. The
// loop looks at the clock between rests of about half a millisecond and a present may hold it
// longer, so a frame often starts a millisecond or more after its mark; counting the next one
// from the late look would push every later frame back with it (73 frames a second instead of
// 77). After a stall of a whole frame or more the marks start again from `now`: no burst of
// frames to catch up.
uint32_t FrameMark(uint32_t now, uint32_t last);
void RunFrame();
LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void QuitApplication();
uint32_t GetTimeMs();
// Reads the display and sound switches of "Ombrelit.ini" [Settings].
void ReadDisplaySettings();
