// Shared by the framework tests: a scratch working directory, the message queue drained and the
// application running over a real device.
#pragma once

#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/ScreenSlots.h"
#include "platform/d3d8/d3d8_internal.h"
#include "platform/tests/support/scratch_directory.h"
#include "platform/win32/platform_internal.h"
#include "platform/win32/win32_testing.h"
#include "platform/win32/win32.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

inline void DrainMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

// The application created over a real device in a scratch directory, with message boxes
// recorded rather than shown; closed and forgotten again after each test.
class RunningAppTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        D3D8ResetStandInSettings();
        PlatformRecordMessageBoxes(true);
        dir.Write("dat/window.dat", "");
        ConstructTheApp();
        ASSERT_EQ(TheApp.Create(nullptr), S_OK);
    }
    void TearDown() override
    {
        if (TheApp.MainWindow) SendMessageA(TheApp.MainWindow, WM_CLOSE, 0, 0);
        DestroyTheApp();
        DrainMessages();
        ResetScreenHandlers();
        PlatformRecordMessageBoxes(false);
    }
    ScratchDirectory dir;
};
