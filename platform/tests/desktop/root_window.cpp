// The root window of an X display read back as a person sees it (the pointer itself is not part
// of it). Kept apart from the tests: the X headers' macros clash with GoogleTest's names.
#include "root_window.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "platform/win32/platform_internal.h"

bool RootWindowScreenshot(const std::string& display, const std::string& path, std::vector<uint8_t>* rgbOut)
{
    Display* d = XOpenDisplay(display.c_str());
    if (!d) return false;
    Window root = DefaultRootWindow(d);
    XWindowAttributes a;
    XGetWindowAttributes(d, root, &a);
    XImage* image = XGetImage(d, root, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
    bool ok = image != nullptr;
    std::vector<uint8_t> rgb;
    if (ok) {
        rgb.resize(static_cast<size_t>(a.width) * a.height * 3);
        for (int y = 0; y < a.height; ++y)
            for (int x = 0; x < a.width; ++x) {
                const unsigned long p = XGetPixel(image, x, y);
                uint8_t* o = &rgb[(static_cast<size_t>(y) * a.width + x) * 3];
                o[0] = static_cast<uint8_t>(p >> 16);
                o[1] = static_cast<uint8_t>(p >> 8);
                o[2] = static_cast<uint8_t>(p);
            }
        XDestroyImage(image);
        ok = PlatformWriteRgbPng(path, a.width, a.height, rgb);
    }
    XCloseDisplay(d);
    if (rgbOut) *rgbOut = std::move(rgb);
    return ok;
}

bool PointerGrabbed(const std::string& display)
{
    Display* d = XOpenDisplay(display.c_str());
    if (!d) return false;
    const int result = XGrabPointer(d, DefaultRootWindow(d), False, ButtonPressMask, GrabModeAsync, GrabModeAsync,
                                    None, None, CurrentTime);
    if (result == GrabSuccess) XUngrabPointer(d, CurrentTime);
    XCloseDisplay(d);
    return result == AlreadyGrabbed;
}

OtherClientWindow::OtherClientWindow(const std::string& display)
{
    Display* d = XOpenDisplay(display.c_str());
    display_ = d;
    if (!d) return;
    window_ = XCreateSimpleWindow(d, DefaultRootWindow(d), 900, 700, 200, 150, 0, 0, 0xFFFFFF);
    XStoreName(d, window_, "another program");
    XMapRaised(d, window_);
    XSync(d, False);
}

OtherClientWindow::~OtherClientWindow()
{
    auto* d = static_cast<Display*>(display_);
    if (!d) return;
    if (window_) XDestroyWindow(d, window_);
    XCloseDisplay(d);
}

FocusWatch::FocusWatch(const std::string& display)
{
    Display* d = XOpenDisplay(display.c_str());
    display_ = d;
    if (!d) return;
    XSelectInput(d, DefaultRootWindow(d), FocusChangeMask);
    XSync(d, False);
}

FocusWatch::~FocusWatch()
{
    if (auto* d = static_cast<Display*>(display_)) XCloseDisplay(d);
}

bool FocusWatch::FocusWentNowhere()
{
    auto* d = static_cast<Display*>(display_);
    if (!d) return true;
    XSync(d, False);
    // The root hears of a focus passing from one top-level window to another not at all, of one
    // merely passing through it as virtual, and of one landing on it, on none or on the pointer's
    // root otherwise.
    while (XPending(d) > 0) {
        XEvent e;
        XNextEvent(d, &e);
        if (e.type == FocusIn && e.xfocus.window == DefaultRootWindow(d) && e.xfocus.detail != NotifyVirtual &&
            e.xfocus.detail != NotifyNonlinearVirtual)
            nowhere_ = true;
    }
    return nowhere_;
}
