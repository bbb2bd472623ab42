// SDL's window events become the messages and state changes of the window they happened to: focus,
// minimising and restoring, moves and sizes by the user or the window manager, closing, exposure.
#include "platform/win32/window_table.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>

using namespace platform_detail;

namespace {
std::atomic<uint64_t> pictureDamage{0};
}

uint64_t PlatformPictureDamage() { return pictureDamage.load(); }

void platform_detail::HandleWindowEvent(const void* raw)
{
    const auto& e = *static_cast<const SDL_WindowEvent*>(raw);
    switch (e.event) {
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_SIZE_CHANGED:
    case SDL_WINDOWEVENT_RESIZED: ++pictureDamage; break;
    default: break;
    }
    SDL_Window* sdl = SDL_GetWindowFromID(e.windowID);
    HWND hwnd = PlatformWindowFromSdl(sdl);
    if (!hwnd) return;
    auto w = Find(hwnd);
    if (!w) return;
    switch (e.event) {
    case SDL_WINDOWEVENT_SHOWN:
        w->mapPending = false;
        // The window manager has framed it: the frame it drew, not the one guessed, is fitted.
        // The moves it makes as it puts the window up are its own, not the user's: the window
        // is put back where it belongs after them.
        if (!w->fullscreen) w->settleUntil = std::max<uint32_t>(w->settleUntil, SDL_GetTicks() + 1000);
        PlaceAgain(hwnd, *w);
        break;
    case SDL_WINDOWEVENT_CLOSE: QueueMessage(hwnd, WM_CLOSE, 0, 0, CurrentModifiers()); break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        if (!w->visible) break;
        // A window with the focus is no longer minimised, whether or not a window manager said
        // so (without one, a minimised window never went anywhere).
        if (w->minimized) {
            w->minimized = false;
            RECT c = ClientRectOf(*w);
            QueueMessage(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(c.right - c.left, c.bottom - c.top), 0);
        }
        Activate(hwnd);
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST: {
        // Another window of the program taking the focus is no deactivation of the program.
        SDL_Window* focus = SDL_GetKeyboardFocus();
        if (!focus || !PlatformWindowFromSdl(focus)) {
            if (activeWindow == hwnd) {
                const bool fullscreen = w->fullscreen;
                Deactivate();
                // A full-screen program that another program takes the focus from goes to the
                // task bar and leaves it the display; activated again, it is restored and covers
                // the display once more (a program that left full screen on its deactivation
                // asks for it again on its activation).
                if (fullscreen && IsWindow(hwnd)) ShowWindow(hwnd, SW_SHOWMINNOACTIVE);
            }
        }
        break;
    }
    case SDL_WINDOWEVENT_MINIMIZED:
        if (!w->minimized) {
            w->minimized = true;
            QueueMessage(hwnd, WM_SIZE, SIZE_MINIMIZED, 0, 0);
        }
        break;
    case SDL_WINDOWEVENT_RESTORED:
        if (w->minimized) {
            w->minimized = false;
            RECT c = ClientRectOf(*w);
            QueueMessage(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(c.right - c.left, c.bottom - c.top), 0);
        }
        break;
    case SDL_WINDOWEVENT_MOVED:
        // Moved before it is on the screen, or as it comes there: the window manager framing it,
        // which no user did.
        if (!w->fullscreen && (w->mapPending || !SDL_TICKS_PASSED(SDL_GetTicks(), w->settleUntil))) {
            PlaceAgain(hwnd, *w);
        } else if (!w->fullscreen) {
            RECT c = ClientRectOf(*w);
            if (c.left != e.data1 || c.top != e.data2) {
                OffsetRect(&w->rect, e.data1 - c.left, e.data2 - c.top);
                w->placed.x = e.data1;
                w->placed.y = e.data2;
                QueueMessage(hwnd, WM_MOVE, 0, MAKELPARAM(e.data1, e.data2), 0);
            }
        }
        PointerFromDesktop(hwnd);
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        if (!w->fullscreen && !SDL_TICKS_PASSED(SDL_GetTicks(), w->settleUntil)) {
            // A window manager reporting the size it had while full screen, after the switch
            // back: put the window where it belongs rather than calling it a resize.
            ApplyGeometry(*w);
        } else if (!w->fullscreen && !ScaledByManager(*w)) {
            if (w->placed.w != e.data1 || w->placed.h != e.data2) {
                // The user dragged the frame: the system brackets that with these two. The size
                // the user chose is the client area's, shown as it is.
                RECT c = ClientRectOf(*w);
                w->rect.right += e.data1 - (c.right - c.left);
                w->rect.bottom += e.data2 - (c.bottom - c.top);
                w->placed.w = e.data1;
                w->placed.h = e.data2;
                QueueMessage(hwnd, WM_ENTERSIZEMOVE, 0, 0, 0);
                QueueMessage(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(e.data1, e.data2), 0);
                QueueMessage(hwnd, WM_EXITSIZEMOVE, 0, 0, 0);
            }
        }
        break;
    case SDL_WINDOWEVENT_EXPOSED: InvalidateRect(hwnd, nullptr, FALSE); break;
    default: break;
    }
}
