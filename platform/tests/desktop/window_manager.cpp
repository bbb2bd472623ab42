#include "window_manager.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>

#include <set>

namespace {

// The display opened for one question and closed after it, errors (a window gone meanwhile)
// answered as "unknown" instead of ending the test.
class Connection {
public:
    explicit Connection(const std::string& name) : display_(XOpenDisplay(name.c_str()))
    {
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    }
    ~Connection()
    {
        if (display_) XCloseDisplay(display_);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    Display* operator*() const { return display_; }

private:
    Display* display_;
};

// The first `count` values of a CARDINAL property of the window; false when it has fewer.
bool Cardinals(Display* display, Window window, const char* name, long* values, unsigned long count)
{
    const Atom property = XInternAtom(display, name, True);
    if (property == None) return false;
    Atom type = None;
    int format = 0;
    unsigned long found = 0, after = 0;
    unsigned char* data = nullptr;
    const bool ok = XGetWindowProperty(display, window, property, 0, static_cast<long>(count), False, XA_CARDINAL,
                                       &type, &format, &found, &after, &data) == Success &&
                    data && type == XA_CARDINAL && format == 32 && found >= count;
    if (ok)
        for (unsigned long i = 0; i < count; ++i) values[i] = reinterpret_cast<const long*>(data)[i];
    if (data) XFree(data);
    return ok;
}

}  // namespace

DisplayHold::DisplayHold(const std::string& display) : display_(XOpenDisplay(display.c_str())) {}

DisplayHold::~DisplayHold()
{
    if (display_) XCloseDisplay(static_cast<Display*>(display_));
}

bool WindowManagerRunning(const std::string& display)
{
    Connection c(display);
    if (!*c) return false;
    Atom check = XInternAtom(*c, "_NET_SUPPORTING_WM_CHECK", True);
    if (check == None) return false;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const bool found = XGetWindowProperty(*c, DefaultRootWindow(*c), check, 0, 1, False, XA_WINDOW, &type, &format,
                                          &count, &after, &data) == Success &&
                       type == XA_WINDOW && count == 1;
    if (data) XFree(data);
    return found;
}

bool FindWindowPlace(const std::string& display, unsigned long window, WindowPlace& place)
{
    Connection c(display);
    if (!*c) return false;
    XWindowAttributes a;
    if (!XGetWindowAttributes(*c, window, &a)) return false;
    Window child = 0;
    int x = 0, y = 0;
    if (!XTranslateCoordinates(*c, window, DefaultRootWindow(*c), 0, 0, &x, &y, &child)) return false;
    place.x = x;
    place.y = y;
    place.width = a.width;
    place.height = a.height;
    place.viewable = a.map_state == IsViewable;
    place.minimised = false;
    long frame[4] = {};
    if (Cardinals(*c, window, "_NET_FRAME_EXTENTS", frame, 4)) {
        place.frameLeft = static_cast<int>(frame[0]);
        place.frameRight = static_cast<int>(frame[1]);
        place.frameTop = static_cast<int>(frame[2]);
        place.frameBottom = static_cast<int>(frame[3]);
    }
    Atom wmState = XInternAtom(*c, "WM_STATE", True);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (wmState != None &&
        XGetWindowProperty(*c, window, wmState, 0, 2, False, wmState, &type, &format, &count, &after, &data) ==
            Success &&
        data && format == 32 && count >= 1)
        place.minimised = reinterpret_cast<const long*>(data)[0] == IconicState;
    if (data) XFree(data);
    return true;
}

void AskToMaximise(const std::string& display, unsigned long window, bool maximise)
{
    Connection c(display);
    if (!*c) return;
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = window;
    e.xclient.message_type = XInternAtom(*c, "_NET_WM_STATE", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = maximise ? 1 : 0;  // add, remove
    e.xclient.data.l[1] = static_cast<long>(XInternAtom(*c, "_NET_WM_STATE_MAXIMIZED_VERT", False));
    e.xclient.data.l[2] = static_cast<long>(XInternAtom(*c, "_NET_WM_STATE_MAXIMIZED_HORZ", False));
    e.xclient.data.l[3] = 2;  // from a pager: a person's own request
    XSendEvent(*c, DefaultRootWindow(*c), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    XSync(*c, False);
}

bool Maximised(const std::string& display, unsigned long window)
{
    Connection c(display);
    if (!*c) return false;
    const Atom state = XInternAtom(*c, "_NET_WM_STATE", True);
    const Atom vert = XInternAtom(*c, "_NET_WM_STATE_MAXIMIZED_VERT", True);
    const Atom horz = XInternAtom(*c, "_NET_WM_STATE_MAXIMIZED_HORZ", True);
    if (state == None || vert == None || horz == None) return false;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool v = false, h = false;
    if (XGetWindowProperty(*c, window, state, 0, 32, False, XA_ATOM, &type, &format, &count, &after, &data) == Success &&
        data && format == 32)
        for (unsigned long i = 0; i < count; ++i) {
            const Atom a = static_cast<Atom>(reinterpret_cast<const long*>(data)[i]);
            v = v || a == vert;
            h = h || a == horz;
        }
    if (data) XFree(data);
    return v && h;
}

bool FindUsableArea(const std::string& display, UsableArea& area)
{
    Connection c(display);
    if (!*c) return false;
    // The first desktop's: the games are started on it.
    long v[4] = {};
    if (!Cardinals(*c, DefaultRootWindow(*c), "_NET_WORKAREA", v, 4)) return false;
    area = UsableArea{static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[2]), static_cast<int>(v[3])};
    return true;
}

BottomPanel::BottomPanel(const std::string& name, int height) : height_(height)
{
    Display* d = XOpenDisplay(name.c_str());
    display_ = d;
    if (!d) return;
    const int screenW = DisplayWidth(d, DefaultScreen(d)), screenH = DisplayHeight(d, DefaultScreen(d));
    window_ = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, screenH - height, screenW, height, 0, 0, 0x808080);
    XStoreName(d, window_, "panel");
    // Where it was put, not where the manager would place a new window.
    XSizeHints hints{};
    hints.flags = USPosition | PPosition | USSize | PSize;
    hints.x = 0;
    hints.y = screenH - height;
    hints.width = screenW;
    hints.height = height;
    XSetWMNormalHints(d, window_, &hints);
    const Atom typeAtom = XInternAtom(d, "_NET_WM_WINDOW_TYPE", False);
    const Atom dock = XInternAtom(d, "_NET_WM_WINDOW_TYPE_DOCK", False);
    XChangeProperty(d, window_, typeAtom, XA_ATOM, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(&dock), 1);
    // Left, right, top, bottom, then where along each edge: the bottom, the whole width.
    const long strut[12] = {0, 0, 0, height, 0, 0, 0, 0, 0, 0, 0, screenW - 1};
    XChangeProperty(d, window_, XInternAtom(d, "_NET_WM_STRUT_PARTIAL", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(strut), 12);
    XChangeProperty(d, window_, XInternAtom(d, "_NET_WM_STRUT", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(strut), 4);
    Show();
}

void BottomPanel::Show()
{
    auto* d = static_cast<Display*>(display_);
    if (!d) return;
    XWindowAttributes a;
    if (XGetWindowAttributes(d, window_, &a) && a.map_state == IsViewable) return;
    XMapRaised(d, window_);
    // The manager places a new window by its own rules; asked again once it has it, it moves it.
    XMoveWindow(d, window_, 0, DisplayHeight(d, DefaultScreen(d)) - height_);
    XSync(d, False);
}

BottomPanel::~BottomPanel()
{
    auto* d = static_cast<Display*>(display_);
    if (!d) return;
    if (window_) XDestroyWindow(d, window_);
    XCloseDisplay(d);
}

ForgetfulWindowManager::ForgetfulWindowManager(const std::string& name) : display_(XOpenDisplay(name.c_str()))
{
    auto* display = static_cast<Display*>(display_);
    if (!display) return;
    static bool refused;
    refused = false;
    const auto previous = XSetErrorHandler([](Display*, XErrorEvent*) {
        refused = true;
        return 0;
    });
    const Window root = DefaultRootWindow(display);
    // Only one client may redirect the root's children: another manager makes this fail.
    XSelectInput(display, root, SubstructureRedirectMask | SubstructureNotifyMask);
    XSync(display, False);
    XSetErrorHandler(previous);
    if (refused) return;
    XSync(display, False);
    // From here on an error is a window that went meanwhile: nothing to stop for.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    running_ = true;
    thread_ = std::thread([this] { Serve(); });
}

ForgetfulWindowManager::~ForgetfulWindowManager()
{
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (display_) XCloseDisplay(static_cast<Display*>(display_));
}

void ForgetfulWindowManager::Serve()
{
    auto* display = static_cast<Display*>(display_);
    std::set<Window> asked;
    while (!stop_) {
        if (!XPending(display)) {
            // Looks at the stop flag now and then while the display is quiet.
            pollfd fd{ConnectionNumber(display), POLLIN, 0};
            poll(&fd, 1, 50);
            continue;
        }
        XEvent e;
        XNextEvent(display, &e);
        if (e.type == MapRequest) {
            ++mapRequests_;
            if (asked.insert(e.xmaprequest.window).second) continue;
            XMapRaised(display, e.xmaprequest.window);
        } else if (e.type == ConfigureRequest) {
            const XConfigureRequestEvent& r = e.xconfigurerequest;
            XWindowChanges changes{r.x, r.y, r.width, r.height, r.border_width, r.above, r.detail};
            XConfigureWindow(display, r.window, static_cast<unsigned>(r.value_mask), &changes);
        }
        XFlush(display);
    }
}
