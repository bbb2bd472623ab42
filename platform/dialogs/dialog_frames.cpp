// Frames while a dialog is open: dialogs drawn where something changed, and presented frames
// counted for the script and the fixed-step clock while the program waits in a dialog's loop.
#include "platform/dialogs/dialogs_internal.h"
#include "platform/win32/platform_internal.h"

#include <SDL.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

using namespace dialogs_detail;
using dialog_text::Canvas;

namespace dialogs_detail {
std::atomic<HWND> g_pumpTarget{nullptr};
}  // namespace dialogs_detail

namespace {
std::mutex g_pumpMutex;
auto& g_pumpWake = *new std::condition_variable;
std::thread* g_pumpThread = nullptr;
bool g_pumpStop = false;
std::atomic<bool> g_tickOutstanding{false};
// Frames every 16 ms while something counts them (a script, a test, the fixed-step clock);
// otherwise a tick now and then is enough, and the program stays idle.
std::atomic<int> g_tickMs{16};
constexpr int EagerTickMs = 16, IdleTickMs = 250;
uint64_t g_framesAfterMine = 0;
std::chrono::steady_clock::time_point g_othersPresented{};
}  // namespace

// --- Presenting -------------------------------------------------------------------------------
namespace dialogs_detail {

void Present(Dialog* d)
{
    if (!Alive(d)) return;
    for (auto& c : d->controls)
        if (!c->redraw) return;  // drawn again when redrawing is switched back on
    d->dirty = false;
    SDL_Window* window = PlatformSdlWindow(d->hwnd);
    if (!window || !IsWindowVisible(d->hwnd)) return;
    SDL_Surface* target = SDL_GetWindowSurface(window);
    if (!target) return;
    Canvas cv;
    RenderClient(d, cv);
    SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(cv.rgb.data(), cv.w, cv.h, 24, cv.w * 3,
                                                             SDL_PIXELFORMAT_RGB24);
    if (!source) return;
    SDL_BlitSurface(source, nullptr, target, nullptr);
    SDL_FreeSurface(source);
    SDL_UpdateWindowSurface(window);
}

bool Headless()
{
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return true;
    const char* driver = SDL_GetCurrentVideoDriver();
    return !driver || std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0;
}

// The newest dialog alive gets the frame ticks.
void RetargetPump()
{
    HWND target = nullptr;
    uint64_t best = 0;
    for (auto& [h, d] : g_dialogs)
        if (Alive(d.get()) && d->order >= best) {
            best = d->order;
            target = h;
        }
    // A tick on its way to a dialog that goes dies with it, and one on its way to a dialog that
    // stays is taken late at worst: either way the new target is owed its own, or a dialog left
    // below a box that closed with a tick outstanding would get none again.
    if (g_pumpTarget.exchange(target) != target || !target) g_tickOutstanding = false;
}

}  // namespace dialogs_detail

namespace {

void PumpLoop()
{
    std::unique_lock<std::mutex> lock(g_pumpMutex);
    while (!g_pumpStop) {
        g_pumpWake.wait_for(lock, std::chrono::milliseconds(g_tickMs.load()));
        if (g_pumpStop) break;
        HWND target = g_pumpTarget.load();
        if (!target || g_tickOutstanding.exchange(true)) continue;
        lock.unlock();
        if (!PostMessageA(target, MsgFrameTick, 0, 0)) g_tickOutstanding = false;
        lock.lock();
    }
}

}  // namespace

namespace dialogs_detail {

void StopPump()
{
    std::thread* thread;
    {
        std::lock_guard<std::mutex> lock(g_pumpMutex);
        thread = g_pumpThread;
        g_pumpThread = nullptr;
        g_pumpStop = true;
    }
    g_pumpWake.notify_all();
    if (thread) {
        thread->join();
        delete thread;
    }
}

void StartPump()
{
    std::lock_guard<std::mutex> lock(g_pumpMutex);
    if (g_pumpThread) return;
    static bool atExit = false;
    if (!atExit) {
        atExit = true;
        std::atexit(StopPump);
    }
    g_pumpStop = false;
    g_pumpThread = new std::thread(PumpLoop);
}

// A dialog frame: drawn where something changed, and counted as a presented frame when the
// program itself has not presented one for a while (it is waiting in a dialog's loop).
void FrameTick()
{
    g_tickOutstanding = false;
    std::vector<HWND> handles;
    for (auto& [h, d] : g_dialogs) handles.push_back(h);
    for (HWND h : handles) {
        Dialog* d = FindDialog(h);
        if (d && d->dirty) Present(d);
    }
    auto now = std::chrono::steady_clock::now();
    if (PlatformFrameCount() != g_framesAfterMine) g_othersPresented = now;
    if (now - g_othersPresented >= std::chrono::milliseconds(100)) PlatformFramePresented();
    g_framesAfterMine = PlatformFrameCount();
    RunActions();
    const bool eager = PlatformFixedStepActive() || g_ticker || g_driver || !g_actions.empty() ||
                       PlatformPendingScriptEvents() > 0;
    g_tickMs = eager ? EagerTickMs : IdleTickMs;
    if (g_ticker) {
        auto ticker = g_ticker;
        ticker();
    }
}

}  // namespace dialogs_detail
