// SetTimer and KillTimer: WM_TIMER is made by the message calls when nothing else is waiting,
// as the desktop does, so a slow window gets one tick rather than a backlog.
#include "platform/win32/detail.h"

#include <mutex>
#include <vector>

using namespace platform_detail;

namespace {

struct Timer {
    HWND hwnd;
    UINT_PTR id;
    DWORD elapse;
    DWORD last;  // timeGetTime of the start or of the last tick taken
};

std::mutex timerMutex;
// Made on first use and never destroyed: a program's static objects may still kill their timers
// or destroy their windows while it exits, after a table destroyed in order would be gone.
std::vector<Timer>& Timers()
{
    static auto* timers = new std::vector<Timer>;
    return *timers;
}
UINT_PTR nextThreadTimerId = 0x7FF0;

constexpr DWORD MinimumElapse = 10;
constexpr DWORD MaximumElapse = 0x7FFFFFFF;

}  // namespace

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc)
{
    if (proc) {
        PlatformTrace("SetTimer: timer procedures are not provided; use WM_TIMER");
        SetLastError(ERROR_NOT_SUPPORTED);
        return 0;
    }
    if (hwnd && !IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    DWORD period = elapse < MinimumElapse ? MinimumElapse : elapse > MaximumElapse ? MaximumElapse : elapse;
    DWORD now = timeGetTime();
    std::lock_guard<std::mutex> lock(timerMutex);
    // The same window and id again (for thread timers, an id handed out before) restarts it.
    if (hwnd || id)
        for (Timer& t : Timers())
            if (t.hwnd == hwnd && t.id == id) {
                t.elapse = period;
                t.last = now;
                return id ? id : 1;
            }
    if (!hwnd) id = ++nextThreadTimerId;
    Timers().push_back(Timer{hwnd, id, period, now});
    return id ? id : 1;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id)
{
    std::lock_guard<std::mutex> lock(timerMutex);
    std::vector<Timer>& timers = Timers();
    for (auto it = timers.begin(); it != timers.end(); ++it)
        if (it->hwnd == hwnd && it->id == id) {
            timers.erase(it);
            return TRUE;
        }
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

void platform_detail::KillWindowTimers(HWND hwnd)
{
    std::lock_guard<std::mutex> lock(timerMutex);
    std::vector<Timer>& timers = Timers();
    for (auto it = timers.begin(); it != timers.end();)
        it = it->hwnd == hwnd ? timers.erase(it) : it + 1;
}

bool platform_detail::TakeDueTimer(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, bool remove)
{
    if (!((filterMin == 0 && filterMax == 0) || (WM_TIMER >= filterMin && WM_TIMER <= filterMax))) return false;
    DWORD now = timeGetTime();
    std::lock_guard<std::mutex> lock(timerMutex);
    // The timer waiting longest past its time goes first, so that one fast timer cannot starve
    // a slower one.
    Timer* due = nullptr;
    DWORD dueBy = 0;
    for (Timer& t : Timers()) {
        if (hwnd == reinterpret_cast<HWND>(static_cast<intptr_t>(-1))) {
            if (t.hwnd) continue;
        } else if (hwnd && t.hwnd != hwnd) {
            continue;
        }
        DWORD waited = now - t.last;
        if (waited < t.elapse) continue;
        if (!due || waited - t.elapse > dueBy) {
            due = &t;
            dueBy = waited - t.elapse;
        }
    }
    if (!due) return false;
    *msg = MSG{};
    msg->hwnd = due->hwnd;
    msg->message = WM_TIMER;
    msg->wParam = due->id;
    msg->time = now;
    if (remove) due->last = now;
    return true;
}
