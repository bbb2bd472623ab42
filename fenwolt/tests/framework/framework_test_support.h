// Shared by the framework tests: a scratch working directory and the recorded message boxes.
#pragma once

#include "platform/tests/support/scratch_directory.h"
#include "platform/win32/platform_internal.h"
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
