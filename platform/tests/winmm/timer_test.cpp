#include "platform/winmm/mmsystem.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;

struct Probe {
    std::atomic<int> calls{0};
    std::atomic<bool> inside{false};
    std::atomic<bool> finished{false};
    std::atomic<UINT> selfKill{0};
    std::chrono::milliseconds hold{0};
};

void CALLBACK Count(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR)
{
    auto* p = reinterpret_cast<Probe*>(user);
    p->inside = true;
    std::this_thread::sleep_for(p->hold);
    ++p->calls;
    p->inside = false;
    p->finished = true;
}

void CALLBACK KillSelf(UINT id, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR)
{
    auto* p = reinterpret_cast<Probe*>(user);
    ++p->calls;
    if (p->calls == 2) p->selfKill = timeKillEvent(id) == TIMERR_NOERROR ? 1 : 2;
}

}  // namespace

TEST(MultimediaTimer, CapsAndPeriodsPairUp)
{
    TIMECAPS caps{};
    ASSERT_EQ(timeGetDevCaps(&caps, sizeof caps), UINT(TIMERR_NOERROR));
    EXPECT_GE(caps.wPeriodMin, 1u);
    EXPECT_GE(caps.wPeriodMax, 1000u);
    EXPECT_NE(timeGetDevCaps(&caps, 2), UINT(TIMERR_NOERROR));
    EXPECT_EQ(timeBeginPeriod(10), UINT(TIMERR_NOERROR));
    EXPECT_EQ(timeEndPeriod(10), UINT(TIMERR_NOERROR));
    EXPECT_EQ(timeEndPeriod(10), UINT(TIMERR_NOCANDO));  // unmatched
    EXPECT_EQ(timeBeginPeriod(0), UINT(TIMERR_NOCANDO));
}

TEST(MultimediaTimer, PeriodicEventFiresUntilKilled)
{
    Probe p;
    UINT id = timeSetEvent(10, 10, Count, reinterpret_cast<DWORD_PTR>(&p), TIME_PERIODIC);
    ASSERT_NE(id, 0u);
    auto deadline = std::chrono::steady_clock::now() + 5s;
    while (p.calls < 3 && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
    EXPECT_GE(p.calls, 3);
    EXPECT_EQ(timeKillEvent(id), UINT(TIMERR_NOERROR));
    int after = p.calls;
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(p.calls, after);
    EXPECT_NE(timeKillEvent(id), UINT(TIMERR_NOERROR));  // already gone
}

TEST(MultimediaTimer, KillWaitsForARunningCallback)
{
    Probe p;
    p.hold = 80ms;
    UINT id = timeSetEvent(1, 1, Count, reinterpret_cast<DWORD_PTR>(&p), TIME_PERIODIC);
    ASSERT_NE(id, 0u);
    while (!p.inside) std::this_thread::sleep_for(1ms);
    EXPECT_EQ(timeKillEvent(id), UINT(TIMERR_NOERROR));
    // What the callback uses may be freed now: it has returned and will not run again.
    EXPECT_FALSE(p.inside);
    EXPECT_TRUE(p.finished);
}

TEST(MultimediaTimer, OneShotFiresOnceAndCallbackMayKillItsOwnEvent)
{
    Probe once;
    UINT id = timeSetEvent(5, 1, Count, reinterpret_cast<DWORD_PTR>(&once), TIME_ONESHOT);
    ASSERT_NE(id, 0u);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(once.calls, 1);
    EXPECT_NE(timeKillEvent(id), UINT(TIMERR_NOERROR));  // a one-shot event ends by itself

    Probe self;
    UINT sid = timeSetEvent(5, 1, KillSelf, reinterpret_cast<DWORD_PTR>(&self), TIME_PERIODIC);
    ASSERT_NE(sid, 0u);
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(self.selfKill, 1u);
    EXPECT_EQ(self.calls, 2);
}

TEST(MultimediaTimer, RefusesBadRequests)
{
    Probe p;
    EXPECT_EQ(timeSetEvent(0, 1, Count, 0, TIME_PERIODIC), 0u);
    EXPECT_EQ(timeSetEvent(10, 1, nullptr, 0, TIME_PERIODIC), 0u);
    EXPECT_EQ(timeSetEvent(10, 1, Count, reinterpret_cast<DWORD_PTR>(&p), 0x100), 0u);
    EXPECT_NE(timeKillEvent(0xdeadbeef), UINT(TIMERR_NOERROR));
}
