#include "fenwolt/common/AppTimer.h"

#include "platform/win32/win32.h"

namespace {
struct TimerState {
    bool initialised = false;
    bool useCounter = false;
    LONGLONG ticksPerSecond = 0;
    LONGLONG stopTime = 0, lastElapsedTime = 0, baseTime = 0;
    double stopTimeS = 0.0, lastElapsedTimeS = 0.0, baseTimeS = 0.0;
};
TimerState g_timer;

LONGLONG CounterNow()
{
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

double CounterCommand(TimerState& s, uint32_t command)
{
    LONGLONG now;
    if (s.stopTime != 0 && command != TIMER_START && command != TIMER_GETABSOLUTETIME)
        now = s.stopTime;
    else
        now = CounterNow();
    const double tps = (double)s.ticksPerSecond;
    switch (command) {
    case TIMER_RESET:
        s.baseTime = now;
        s.lastElapsedTime = now;
        return 0.0;
    case TIMER_START:
        s.baseTime += now - s.stopTime;
        s.stopTime = 0;
        s.lastElapsedTime = now;
        return 0.0;
    case TIMER_STOP:
        s.stopTime = now;
        s.lastElapsedTime = now;
        return 0.0;
    case TIMER_ADVANCE:
        s.stopTime += s.ticksPerSecond / 10;
        return 0.0;
    case TIMER_GETABSOLUTETIME:
        return (double)now / tps;
    case TIMER_GETAPPTIME:
        return (double)(now - s.baseTime) / tps;
    case TIMER_GETELAPSEDTIME: {
        double elapsed = (double)(now - s.lastElapsedTime) / tps;
        s.lastElapsedTime = now;
        return elapsed;
    }
    default:
        return -1.0;
    }
}

double MillisecondCommand(TimerState& s, uint32_t command)
{
    double now;
    if (s.stopTimeS != 0.0 && command != TIMER_START && command != TIMER_GETABSOLUTETIME)
        now = s.stopTimeS;
    else
        now = timeGetTime() * 0.001;
    switch (command) {
    case TIMER_RESET:
        s.baseTimeS = now;
        s.lastElapsedTimeS = now;
        return 0.0;
    case TIMER_START:
        s.baseTimeS += now - s.stopTimeS;
        s.stopTimeS = 0.0;
        s.lastElapsedTimeS = now;
        return 0.0;
    case TIMER_STOP:
        s.stopTimeS = now;
        return 0.0;
    case TIMER_ADVANCE:
        s.stopTimeS += 0.1;
        return 0.0;
    case TIMER_GETABSOLUTETIME:
        return now;
    case TIMER_GETAPPTIME:
        return now - s.baseTimeS;
    case TIMER_GETELAPSEDTIME: {
        double elapsed = now - s.lastElapsedTimeS;
        s.lastElapsedTimeS = now;
        return elapsed;
    }
    default:
        return -1.0;
    }
}
}  // namespace

double AppTimer(uint32_t command)
{
    TimerState& s = g_timer;
    if (!s.initialised) {
        LARGE_INTEGER f;
        s.useCounter = QueryPerformanceFrequency(&f) && f.QuadPart > 0;
        s.ticksPerSecond = s.useCounter ? f.QuadPart : 0;
        s.initialised = true;
    }
    return s.useCounter ? CounterCommand(s, command) : MillisecondCommand(s, command);
}

void AppTimerForgetState() { g_timer = TimerState(); }
