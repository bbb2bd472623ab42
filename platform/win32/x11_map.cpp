// Showing a window on an X display without waiting for a window manager to map it, and the frame
// the manager puts around it. Kept apart from the window files (windows.cpp, placement.cpp, ...):
// the X headers' names (Window, None, Bool) clash with the platform's.
#include <SDL.h>
#include <SDL_syswm.h>

#include "platform/win32/detail.h"

namespace {

// The frame as SDL knows it, where SDL can say (false elsewhere).
bool SdlWindowFrame(SDL_Window* window, RECT& frame)
{
    int top = 0, left = 0, bottom = 0, right = 0;
    if (SDL_GetWindowBordersSize(window, &top, &left, &bottom, &right) != 0) return false;
    frame = RECT{left, top, right, bottom};
    return true;
}

}  // namespace

#if defined(SDL_VIDEO_DRIVER_X11)
#include <X11/Xatom.h>
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

bool X11Window(SDL_Window* window, SDL_SysWMinfo& info)
{
    SDL_VERSION(&info.version);
    return SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11;
}

}  // namespace

bool platform_detail::RequestMapWithoutWaiting(SDL_Window* window)
{
    SDL_SysWMinfo info;
    if (!X11Window(window, info)) return false;
    Display* display = info.info.x11.display;
    if (!MapsAreRedirected(display)) return false;
    XMapRaised(display, info.info.x11.window);
    XFlush(display);
    return true;
}

bool platform_detail::WindowManagerFrame(SDL_Window* window, RECT& frame)
{
    SDL_SysWMinfo info;
    if (!X11Window(window, info)) return SdlWindowFrame(window, frame);
    Display* display = info.info.x11.display;
    frame = RECT{0, 0, 0, 0};
    // A bare X server draws no frame.
    if (!MapsAreRedirected(display)) return true;
    // Read from the server rather than from SDL, which learns of it only as it reads its events.
    const Atom extents = XInternAtom(display, "_NET_FRAME_EXTENTS", True);
    if (extents == None) return false;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const bool found = XGetWindowProperty(display, info.info.x11.window, extents, 0, 4, False, XA_CARDINAL, &type,
                                          &format, &count, &after, &data) == Success &&
                       data && type == XA_CARDINAL && format == 32 && count == 4;
    if (found) {
        const long* v = reinterpret_cast<const long*>(data);
        frame = RECT{static_cast<LONG>(v[0]), static_cast<LONG>(v[2]), static_cast<LONG>(v[1]),
                     static_cast<LONG>(v[3])};
    }
    if (data) XFree(data);
    return found;
}

bool platform_detail::ClientOriginOnScreen(SDL_Window* window, int& x, int& y)
{
    SDL_SysWMinfo info;
    if (!X11Window(window, info)) return false;
    Display* display = info.info.x11.display;
    ::Window child = 0;
    return XTranslateCoordinates(display, info.info.x11.window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
}

bool platform_detail::MoveClientOnScreen(SDL_Window* window, int x, int y)
{
    SDL_SysWMinfo info;
    if (!X11Window(window, info) || !MapsAreRedirected(info.info.x11.display)) return false;
    Display* display = info.info.x11.display;
    const ::Window client = info.info.x11.window, root = DefaultRootWindow(display);
    // The frame is the window the manager put the client in: the client's ancestor just below
    // the root. Where the client lies in it is read from the two, not from what the manager
    // announces, which it may do only after it has framed and placed the window.
    ::Window frame = client;
    for (;;) {
        ::Window rootOut = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display, frame, &rootOut, &parent, &children, &count)) return false;
        if (children) XFree(children);
        if (!parent || parent == root) break;
        frame = parent;
    }
    if (frame == client) return false;  // not framed yet
    int cx = 0, cy = 0, fx = 0, fy = 0;
    ::Window child = 0;
    if (!XTranslateCoordinates(display, client, root, 0, 0, &cx, &cy, &child) ||
        !XTranslateCoordinates(display, frame, root, 0, 0, &fx, &fy, &child))
        return false;
    XMoveWindow(display, client, x - (cx - fx), y - (cy - fy));
    XFlush(display);
    return true;
}

bool platform_detail::OfferFrameControls(SDL_Window* window, bool minimize, bool maximize, bool resize)
{
    SDL_SysWMinfo info;
    if (!X11Window(window, info)) return false;
    Display* display = info.info.x11.display;
    // The hints Motif defined and window managers read: which functions the manager may carry
    // out, and which parts of its frame it draws.
    enum : unsigned long {
        FunctionsGiven = 1, DecorationsGiven = 2,
        ResizeFunction = 2, MoveFunction = 4, MinimizeFunction = 8, MaximizeFunction = 16, CloseFunction = 32,
        Border = 2, ResizeHandles = 4, Title = 8, Menu = 16, MinimizeButton = 32, MaximizeButton = 64,
    };
    unsigned long hints[5] = {FunctionsGiven | DecorationsGiven, MoveFunction | CloseFunction, Border | Title | Menu, 0, 0};
    if (minimize) {
        hints[1] |= MinimizeFunction;
        hints[2] |= MinimizeButton;
    }
    if (maximize) {
        hints[1] |= MaximizeFunction;
        hints[2] |= MaximizeButton;
    }
    if (resize) {
        hints[1] |= ResizeFunction;
        hints[2] |= ResizeHandles;
    }
    const Atom atom = XInternAtom(display, "_MOTIF_WM_HINTS", False);
    XChangeProperty(display, info.info.x11.window, atom, atom, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(hints), 5);
    XFlush(display);
    return true;
}

#else

bool platform_detail::OfferFrameControls(SDL_Window*, bool, bool, bool) { return false; }
bool platform_detail::ClientOriginOnScreen(SDL_Window*, int&, int&) { return false; }
bool platform_detail::MoveClientOnScreen(SDL_Window*, int, int) { return false; }
bool platform_detail::RequestMapWithoutWaiting(SDL_Window*) { return false; }
bool platform_detail::WindowManagerFrame(SDL_Window* window, RECT& frame) { return SdlWindowFrame(window, frame); }

#endif
