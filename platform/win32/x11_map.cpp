// Showing a window on an X display without waiting for a window manager to map it. Kept apart
// from windows.cpp: the X headers' names (Window, None, Bool) clash with the platform's.
#include <SDL.h>
#include <SDL_syswm.h>

#include "platform/win32/detail.h"

#if defined(SDL_VIDEO_DRIVER_X11)
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

// The window a running window manager names on the root window, None without one.
::Window SupportingWindow(Display* display, ::Window of)
{
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
    if (check == None) return None;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    ::Window named = None;
    if (XGetWindowProperty(display, of, check, 0, 1, False, XA_WINDOW, &type, &format, &count, &after, &data) ==
            Success &&
        data && type == XA_WINDOW && format == 32 && count == 1)
        named = *reinterpret_cast<::Window*>(data);
    if (data) XFree(data);
    return named;
}

// As the desktop standard has it: the root names a window that names itself. A window left
// behind by a manager that is gone names nothing (or the query of it fails).
bool WindowManagerRuns(Display* display)
{
    const ::Window support = SupportingWindow(display, DefaultRootWindow(display));
    if (support == None) return false;
    const auto previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    XSync(display, False);
    const bool runs = SupportingWindow(display, support) == support;
    XSync(display, False);
    XSetErrorHandler(previous);
    return runs;
}

}  // namespace

bool platform_detail::RequestMapWithoutWaiting(SDL_Window* window)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return false;
    Display* display = info.info.x11.display;
    if (!WindowManagerRuns(display)) return false;
    XMapRaised(display, info.info.x11.window);
    XFlush(display);
    return true;
}

#else

bool platform_detail::RequestMapWithoutWaiting(SDL_Window*) { return false; }

#endif
