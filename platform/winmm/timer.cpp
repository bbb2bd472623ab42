#include "platform/winmm/mmsystem.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace {

constexpr UINT kPeriodMin = 1;
constexpr UINT kPeriodMax = 1000000;

struct TimerEvent {
    UINT id = 0;
    UINT delay = 0;
    bool periodic = false;
    LPTIMECALLBACK callback = nullptr;
    DWORD_PTR user = 0;
    std::mutex lock;
    std::condition_variable wake;
    bool stop = false;
    std::thread worker;
};

struct TimerTable {
    std::mutex lock;
    std::map<UINT, std::shared_ptr<TimerEvent>> events;
    UINT nextId = 1;
    std::map<UINT, int> periods;  // outstanding timeBeginPeriod requests per period
};

// Never destroyed: an event still running at exit must not meet a destroyed table.
TimerTable& Table()
{
    static TimerTable* table = new TimerTable;
    return *table;
}

// A one-shot event ends by itself: it leaves the table unless a kill already took it.
void RetireOneShot(const std::shared_ptr<TimerEvent>& ev)
{
    auto& t = Table();
    std::lock_guard<std::mutex> hold(t.lock);
    auto it = t.events.find(ev->id);
    if (it != t.events.end() && it->second == ev) {
        t.events.erase(it);
        ev->worker.detach();
    }
}

void RunEvent(std::shared_ptr<TimerEvent> ev)
{
    using Clock = std::chrono::steady_clock;
    // Deadlines are absolute so that a slow callback does not make the period drift.
    auto due = Clock::now() + std::chrono::milliseconds(ev->delay);
    for (;;) {
        {
            std::unique_lock<std::mutex> hold(ev->lock);
            ev->wake.wait_until(hold, due, [&] { return ev->stop; });
            if (ev->stop) return;
        }
        ev->callback(ev->id, 0, ev->user, 0, 0);
        if (!ev->periodic) {
            RetireOneShot(ev);
            return;
        }
        due += std::chrono::milliseconds(ev->delay);
        auto now = Clock::now();
        if (due < now) due = now;  // after a long stall, do not fire a burst to catch up
    }
}

}  // namespace

MMRESULT timeGetDevCaps(LPTIMECAPS caps, UINT size)
{
    if (!caps || size < sizeof(TIMECAPS)) {
        std::fprintf(stderr, "winmm: timeGetDevCaps: bad structure\n");
        return TIMERR_STRUCT;
    }
    caps->wPeriodMin = kPeriodMin;
    caps->wPeriodMax = kPeriodMax;
    return TIMERR_NOERROR;
}

MMRESULT timeBeginPeriod(UINT period)
{
    if (period < kPeriodMin || period > kPeriodMax) {
        std::fprintf(stderr, "winmm: timeBeginPeriod(%u): out of range\n", period);
        return TIMERR_NOCANDO;
    }
    // The thread timers are always as precise as the system allows; the requests are only
    // counted so that an unmatched timeEndPeriod is reported like on the original system.
    auto& t = Table();
    std::lock_guard<std::mutex> hold(t.lock);
    ++t.periods[period];
    return TIMERR_NOERROR;
}

MMRESULT timeEndPeriod(UINT period)
{
    auto& t = Table();
    std::lock_guard<std::mutex> hold(t.lock);
    auto it = t.periods.find(period);
    if (it == t.periods.end()) {
        std::fprintf(stderr, "winmm: timeEndPeriod(%u) without timeBeginPeriod\n", period);
        return TIMERR_NOCANDO;
    }
    if (--it->second == 0) t.periods.erase(it);
    return TIMERR_NOERROR;
}

MMRESULT timeSetEvent(UINT delay, UINT resolution, LPTIMECALLBACK callback, DWORD_PTR user,
                      UINT flags)
{
    if (!callback || delay < kPeriodMin || delay > kPeriodMax) {
        std::fprintf(stderr, "winmm: timeSetEvent(%u): bad delay or no callback\n", delay);
        return 0;
    }
    if ((flags & ~UINT(TIME_PERIODIC)) != 0) {
        std::fprintf(stderr, "winmm: timeSetEvent: unsupported flags 0x%x\n", flags);
        return 0;
    }
    auto ev = std::make_shared<TimerEvent>();
    ev->delay = delay;
    ev->periodic = (flags & TIME_PERIODIC) != 0;
    ev->callback = callback;
    ev->user = user;
    auto& t = Table();
    std::lock_guard<std::mutex> hold(t.lock);
    ev->id = t.nextId++;
    if (t.nextId == 0) t.nextId = 1;
    t.events[ev->id] = ev;
    ev->worker = std::thread(RunEvent, ev);
    return ev->id;
}

MMRESULT timeKillEvent(UINT id)
{
    std::shared_ptr<TimerEvent> ev;
    {
        auto& t = Table();
        std::lock_guard<std::mutex> hold(t.lock);
        auto it = t.events.find(id);
        if (it == t.events.end()) {
            std::fprintf(stderr, "winmm: timeKillEvent(%u): no such event\n", id);
            return MMSYSERR_INVALPARAM;
        }
        ev = it->second;
        t.events.erase(it);
    }
    {
        std::lock_guard<std::mutex> hold(ev->lock);
        ev->stop = true;
    }
    ev->wake.notify_all();
    // A callback that kills its own event cannot wait for itself: the thread ends after the
    // callback returns and holds its own reference until then.
    if (ev->worker.get_id() == std::this_thread::get_id())
        ev->worker.detach();
    else
        ev->worker.join();
    return TIMERR_NOERROR;
}
