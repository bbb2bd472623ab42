// Runs the real screens in-process on the software back buffer with the real data set: input is
// fed poll by poll, frames are processed through the screen stack, and the back buffer can be
// saved as a PNG to look at.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../HeadlessGame.h"
#include "platform/win32/platform_internal.h"
#include "skerrow/Src/Button.h"
#include "skerrow/Src/Graphics/Graphics.h"
#include "skerrow/Src/Input.h"
#include "skerrow/Src/ResourceLocator.h"
#include "skerrow/Src/Tables.h"
#include "skerrow/Src/game/App.h"
#include "skerrow/Src/game/GameScreen.h"
#include "skerrow/Src/game/Gameplay.h"
#include "skerrow/Src/game/Resources.h"
#include "skerrow/Src/game/Screens.h"

// Display, tables and shared resources, once per process; the working directory is a scratch
// folder of the build so that saves and hiscores written here do not leak between runs.
inline bool StartScreens()
{
    static bool ready = false;
    if (ready) return true;
    // CTest runs each case as a process of its own, side by side: each gets its own folder.
    const std::string work = std::string(BUILD_ROOT) + "/screens-work/" + std::to_string(getpid());
    std::filesystem::remove_all(work);
    std::filesystem::create_directories(work);
    std::filesystem::current_path(work);
    if (!StartHeadlessGame()) return false;
    InstallScreens();
    ready = true;
    return true;
}

// A suite on the real screens: they start before each case, and the suite's scratch folder goes
// once its cases are done.
class ScreensSuite : public ::testing::Test {
protected:
    static void TearDownTestSuite()
    {
        std::error_code ec;
        std::filesystem::current_path(BUILD_ROOT, ec);
        std::filesystem::remove_all(std::string(BUILD_ROOT) + "/screens-work/" + std::to_string(getpid()), ec);
    }
    void SetUp() override { ASSERT_TRUE(StartScreens()); }
};

// One poll of the keyboard and mouse (keys held this poll, relative motion, left/right held).
inline void Feed(std::initializer_list<int> keys, bool left = false, bool right = false, uint32_t now = 0)
{
    uint8_t state[256] = {};
    for (int k : keys) state[k] = 0x80;
    DIMOUSESTATE mouse{};
    mouse.rgbButtons[0] = left ? 0x80 : 0;
    mouse.rgbButtons[1] = right ? 0x80 : 0;
    ProcessInputStates(state, &mouse, now);
}

// One frame of the current screen, after a poll.
inline void Frame(std::initializer_list<int> keys = {}, bool left = false, bool right = false)
{
    static uint32_t clock = 100000;
    clock += 500;  // far enough apart that no two presses make a double press
    Feed(keys, left, right, clock);
    ++FrameCounter();
    ProcessCurrentScreen();
}

inline void Frames(int n)
{
    for (int i = 0; i < n; ++i) Frame();
}

// A left click at a screen point: the press frame, then the release frame.
inline void ClickAt(int x, int y, bool right = false)
{
    g_cursorX = x;
    g_cursorY = y;
    Frame({}, !right, right);
    Frame();
}

inline void Key(int key)
{
    Frame({key});
    Frame();
}

// Starts a fresh screen stack with `first` as its root, like the game does with its menu.
inline void StartAt(Screen* first)
{
    g_currentScreen = nullptr;
    g_screenDepth = 0;
    g_input = InputState{};
    first->SwitchScreen(0);
}

inline bool SaveShot(const std::string& name)
{
    const std::string dir = std::string(BUILD_ROOT) + "/screens-shots";
    std::filesystem::create_directories(dir);
    return SaveBackBufferPng(dir + "/" + name + ".png");
}

// Counts back-buffer pixels that are not black: a screen that drew nothing has none.
inline int LitPixels()
{
    uint16_t* pixels = nullptr;
    int pitch = 0;
    if (!LockSurface(g_display.backBuffer, &pixels, &pitch)) return 0;
    int n = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) n += pixels[y * pitch + x] != 0;
    UnlockSurface(g_display.backBuffer);
    return n;
}

// The bot: launches whenever a ball waits, keeps the paddle under the lowest descending ball,
// and leaves the level once it is over.
inline void BotFrame(int tick)
{
    int target = g_level.paddleX;
    float lowest = -1.0f;
    for (const Ball& b : g_balls) {
        if (!b.active) continue;
        if (b.angle > 180.0f && b.position.y > lowest) {
            lowest = b.position.y;
            target = static_cast<int>(b.position.x) + ((tick / 97) % 5 - 2) * 9;
        }
    }
    const bool press = (g_level.ballOnPaddle || g_level.levelOver) && (tick & 1);
    uint8_t state[256] = {};
    if (press) state[DIK_SPACE] = 0x80;
    DIMOUSESTATE mouse{};
    mouse.lX = target - g_level.paddleX;
    ProcessInputStates(state, &mouse, 0);
    ++FrameCounter();
    ProcessCurrentScreen();
}
