// The core's start and end: SDL's video and events brought up once, the platform's state left clean
// at shutdown, and which thread is the game's.
#include "platform/win32/message_queue.h"
#include "platform/win32/window_table.h"

#include <SDL.h>

#include <mutex>
#include <thread>
#include <vector>

using namespace platform_detail;

namespace platform_detail {
std::atomic<bool> videoReady{false};
}  // namespace platform_detail

namespace {
std::thread::id mainThread;
bool mainThreadSet = false;
}  // namespace

bool platform_detail::IsMainThread() { return !mainThreadSet || std::this_thread::get_id() == mainThread; }
bool platform_detail::VideoReady() { return videoReady; }

void platform_detail::NoteMainThread()
{
    if (!mainThreadSet) {
        mainThread = std::this_thread::get_id();
        mainThreadSet = true;
    }
}

bool PlatformInit()
{
    NoteMainThread();
    if (videoReady) return true;
    // No signal handlers of SDL's: signals.cpp turns kill and Ctrl+C into the close of the window.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        PlatformTrace("SDL video cannot start: %s", SDL_GetError());
        return false;
    }
    SDL_StartTextInput();
    // Holds the GL library for the life of the process (see PlatformShutdown); without GL the
    // windows are made without it and the presenters say so.
    if (SDL_GL_LoadLibrary(nullptr) != 0) PlatformTrace("no OpenGL library: %s", SDL_GetError());
    videoReady = true;
    return true;
}

void PlatformShutdown()
{
    std::vector<HWND> left;
    {
        std::lock_guard<std::recursive_mutex> lock(windowMutex);
        for (auto& [h, w] : windows) left.push_back(h);
    }
    for (HWND h : left) {
        auto w = Find(h);
        if (!w) continue;
        if (w->sdl) SDL_DestroyWindow(w->sdl);
        std::lock_guard<std::recursive_mutex> lock(windowMutex);
        windows.erase(h);
    }
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        queue.clear();
        quitPending = false;
    }
    focusWindow = activeWindow = nullptr;
    appActive = false;
    ResetInputState();
    ResetCursors();
    // SDL's video stays up until the process ends: quitting it unloads the GL driver, whose
    // allocations then show up as leaks without a source, and some drivers do not survive
    // being loaded twice in one process.
    if (videoReady) {
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
        }
    }
}
