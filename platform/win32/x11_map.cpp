// Showing a window on an X display without waiting for a window manager to map it. Kept apart
// from windows.cpp: the X headers' names (Window, None, Bool) clash with the platform's.
#include <SDL.h>
#include <SDL_syswm.h>

#include "platform/win32/detail.h"

#if defined(SDL_VIDEO_DRIVER_X11)
#include <X11/Xlib.h>

namespace {

// Whether a map request goes to a window manager rather than straight to the screen: some client
// redirects the root's children. Not whether a manager has announced itself yet: one that is
// starting up redirects before it announces, and it is then that it may drop a request.
bool MapsAreRedirected(Display* display)
{
    XWindowAttributes root{};
    return XGetWindowAttributes(display, DefaultRootWindow(display), &root) &&
           (root.all_event_masks & SubstructureRedirectMask);
}

}  // namespace

bool platform_detail::RequestMapWithoutWaiting(SDL_Window* window)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return false;
    Display* display = info.info.x11.display;
    if (!MapsAreRedirected(display)) return false;
    XMapRaised(display, info.info.x11.window);
    XFlush(display);
    return true;
}

#else

bool platform_detail::RequestMapWithoutWaiting(SDL_Window*) { return false; }

#endif
