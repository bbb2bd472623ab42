// Activation and the keyboard focus: which window of the program is active, whether the program
// is, and where the activation goes when the active window leaves the screen.
#include "platform/win32/window_table.h"

#include <SDL.h>

#include <mutex>

using namespace platform_detail;

namespace platform_detail {
HWND focusWindow = nullptr;
HWND activeWindow = nullptr;
bool appActive = false;

bool IsOurTopLevelShown()
{
    std::lock_guard<std::recursive_mutex> lock(windowMutex);
    for (auto& [h, w] : windows)
        if (w->visible && !w->destroying) return true;
    return false;
}

// Activation as the system announces it: the application first, then the window.
void Activate(HWND hwnd)
{
    HWND previous = activeWindow;
    if (previous == hwnd && appActive) return;
    bool wasAppActive = appActive;
    if (previous && previous != hwnd && IsWindow(previous)) {
        SendNow(previous, WM_NCACTIVATE, FALSE, 0);
        SendNow(previous, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(hwnd));
    }
    appActive = true;
    activeWindow = hwnd;
    // Coming back from a window it opened itself, a window keeps the one it came from.
    auto w = Find(hwnd), from = Find(previous);
    if (w && from && previous != hwnd && from->ownerWindow != hwnd && from->activatedFrom != hwnd)
        w->activatedFrom = previous;
    if (!wasAppActive) SendNow(hwnd, WM_ACTIVATEAPP, TRUE, 0);
    SendNow(hwnd, WM_NCACTIVATE, TRUE, 0);
    SendNow(hwnd, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(previous));
    if (focusWindow != hwnd) {
        HWND old = focusWindow;
        focusWindow = hwnd;
        if (old && IsWindow(old)) SendNow(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
        SendNow(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    }
    ApplyMouseCapture();
}

void Deactivate()
{
    if (!appActive) return;
    HWND previous = activeWindow;
    appActive = false;
    activeWindow = nullptr;
    if (previous && IsWindow(previous)) {
        SendNow(previous, WM_NCACTIVATE, FALSE, 0);
        SendNow(previous, WM_ACTIVATE, WA_INACTIVE, 0);
        SendNow(previous, WM_ACTIVATEAPP, FALSE, 0);
    }
    HWND old = focusWindow;
    focusWindow = nullptr;
    if (old && IsWindow(old)) SendNow(old, WM_KILLFOCUS, 0, 0);
    ApplyMouseCapture();
}

// The active window `hwnd` is going from the screen: as on the desktop the activation, and with it
// the keyboard, passes to the next window, the first one still shown of: its owner, the window
// that was active before it, the program's main window. Without a window manager nobody else
// would pass it on and the keyboard would be lost. False when none is there to take it.
bool PassActivationOn(HWND hwnd, const Window& going)
{
    for (HWND next : {going.ownerWindow, going.activatedFrom, PlatformMainWindow()}) {
        auto w = Find(next);
        if (next == hwnd || !w || w->destroying || !w->visible || w->minimized) continue;
        SetForegroundWindow(next);
        return true;
    }
    return false;
}

}  // namespace platform_detail

HWND GetForegroundWindow() { return appActive ? activeWindow : nullptr; }
HWND GetActiveWindow() { return activeWindow; }
BOOL SetForegroundWindow(HWND hwnd)
{
    auto w = Find(hwnd);
    if (!w) return FALSE;
    if (w->sdl) {
        SDL_RaiseWindow(w->sdl);
        // Raising asks a window manager for the focus; without one (or when it ignores the
        // request) the keyboard would stay with nobody, so the focus is also set directly.
        // Displays that do not offer that (offscreen, Wayland) just say no.
        if (w->visible && !w->minimized) SDL_SetWindowInputFocus(w->sdl);
    }
    Activate(hwnd);
    return TRUE;
}

HWND SetFocus(HWND hwnd)
{
    if (hwnd && IsChildWindow(hwnd)) return ChildWindows()->focus(hwnd);
    HWND old = focusWindow;
    if (hwnd && !IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if (hwnd == old) return old;
    focusWindow = hwnd;
    if (old && IsWindow(old)) SendNow(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    if (hwnd) SendNow(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    return old;
}
HWND GetFocus() { return focusWindow; }
