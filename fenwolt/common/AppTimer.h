// The one clock of the frame loop: a command in, a time in seconds out.
#pragma once

#include <cstdint>

enum AppTimerCommand : uint32_t {
    TIMER_RESET = 0,
    TIMER_START = 1,
    TIMER_STOP = 2,
    TIMER_ADVANCE = 3,
    TIMER_GETABSOLUTETIME = 4,
    TIMER_GETAPPTIME = 5,
    TIMER_GETELAPSEDTIME = 6,
};

double AppTimer(uint32_t command);

// Tests only: forget the chosen clock and all times, as at process start.
void AppTimerForgetState();
