// What the terminal gets from a sound stand-in started on a machine whose sound cannot be opened.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/tests/support/scoped_environment.h"

struct StartsWithoutASoundDevice {
    std::string first;   // the first start, the debugger's trace off
    std::string second;  // a second start in the same process
    std::string traced;  // a start with the debugger's trace on
};

template <typename Start>
StartsWithoutASoundDevice StartWithoutASoundDevice(Start start)
{
    StartsWithoutASoundDevice out;
    ScopedEnvironment noDevice("SDL_AUDIODRIVER", "no-such-driver");
    {
        ScopedEnvironment quiet("PLATFORM_DEBUG_OUTPUT", "");
        testing::internal::CaptureStderr();
        start();
        out.first = testing::internal::GetCapturedStderr();
        testing::internal::CaptureStderr();
        start();
        out.second = testing::internal::GetCapturedStderr();
    }
    ScopedEnvironment debugger("PLATFORM_DEBUG_OUTPUT", "1");
    testing::internal::CaptureStderr();
    start();
    out.traced = testing::internal::GetCapturedStderr();
    return out;
}
