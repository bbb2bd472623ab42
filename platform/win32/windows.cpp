// Windows over SDL2, the message queue, activation, accelerators, cursors and message boxes.
#include "platform/win32/message_queue.h"
#include "platform/win32/window_table.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

using namespace platform_detail;

namespace platform_detail {
std::recursive_mutex windowMutex;  // guards the tables below; never held while a procedure runs
std::map<std::string, WindowClass> classes;  // key: lower-case name
std::map<HWND, std::shared_ptr<Window>> windows;
HWND focusWindow = nullptr;
HWND activeWindow = nullptr;
bool appActive = false;
std::atomic<bool> videoReady{false};

// The queue
std::mutex queueMutex;
std::condition_variable queueChanged;
std::deque<MSG> queue;
bool quitPending = false;
int quitCode = 0;
}  // namespace platform_detail

namespace {
uint64_t nextSerial = 1;
uintptr_t nextHandle = 0x10000;
bool openGLWindows = true;
// Window procedures run for messages that were sent rather than posted (activation, say):
// WaitMessage returns after one of them, as the caller's state may have changed.
std::atomic<uint64_t> sentRun{0};
std::thread::id mainThread;
bool mainThreadSet = false;

struct DesktopTag {};
DesktopTag desktopTag;

DWORD lastMessageTime = 0;

struct SentMessage {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    std::promise<LRESULT> result;
};
std::deque<std::shared_ptr<SentMessage>> sentMessages;

}  // namespace

namespace platform_detail {

HWND DesktopHandle() { return reinterpret_cast<HWND>(&desktopTag); }

std::string Lower(const char* s)
{
    std::string out(s ? s : "");
    for (auto& c : out) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return out;
}

std::shared_ptr<Window> Find(HWND hwnd)
{
    std::lock_guard<std::recursive_mutex> lock(windowMutex);
    auto it = windows.find(hwnd);
    if (it == windows.end()) return nullptr;
    return it->second;
}

void Insets(DWORD style, DWORD exStyle, bool menu, RECT& insets)
{
    int border = 0;
    if (style & WS_THICKFRAME)
        border = GetSystemMetrics(SM_CXFRAME);
    else if ((style & WS_CAPTION) == WS_CAPTION || (style & WS_DLGFRAME))
        border = GetSystemMetrics(SM_CXDLGFRAME);
    else if (style & WS_BORDER)
        border = GetSystemMetrics(SM_CXBORDER);
    insets.left = insets.right = insets.bottom = border;
    insets.top = border;
    if ((style & WS_CAPTION) == WS_CAPTION) insets.top += GetSystemMetrics(SM_CYCAPTION);
    if (menu) insets.top += GetSystemMetrics(SM_CYMENU);
    (void)exStyle;
}

RECT ClientRectOf(const Window& w)
{
    RECT in;
    Insets(w.style, w.exStyle, w.menu != nullptr, in);
    RECT client{w.rect.left + in.left, w.rect.top + in.top, w.rect.right - in.right,
                w.rect.bottom - in.bottom};
    if (client.right < client.left) client.right = client.left;
    if (client.bottom < client.top) client.bottom = client.top;
    return client;
}

void ScreenSize(int& w, int& h)
{
    w = 1024;
    h = 768;
    SDL_DisplayMode mode;
    if (videoReady && SDL_GetDesktopDisplayMode(0, &mode) == 0 && mode.w > 0 && mode.h > 0) {
        w = mode.w;
        h = mode.h;
    }
}

// Where a window's client area goes on the screen (x, y, width, height): where the program put it,
// at its size, when that fits the desktop's usable area (the screen less its panels) with the
// window manager's frame around it. Otherwise it is moved as little as keeps it inside, and a
// window whose picture is scaled to its client area (one with a back buffer) is shown at the
// largest scale that fits: on a small screen all of the picture and the frame's buttons can be
// reached. Pixels drawn one for one (a dialog's) are never scaled.
SDL_Rect ScreenPlace(const Window& w)
{
    const RECT client = ClientRectOf(w);
    SDL_Rect r{client.left, client.top, std::max<int>(1, client.right - client.left),
               std::max<int>(1, client.bottom - client.top)};
    SDL_Rect usable{};
    const int display = w.sdl ? std::max(0, SDL_GetWindowDisplayIndex(w.sdl)) : 0;
    if (!videoReady || SDL_GetDisplayUsableBounds(display, &usable) != 0 || usable.w <= 0 || usable.h <= 0) return r;
    RECT frame{};
    // Until the manager has framed the window, a frame like this system's own stands in for it.
    if (!w.sdl || !WindowManagerFrame(w.sdl, frame)) Insets(w.style, w.exStyle, w.menu != nullptr, frame);
    const int roomW = usable.w - frame.left - frame.right, roomH = usable.h - frame.top - frame.bottom;
    if (w.bbWidth > 0 && w.bbHeight > 0 && roomW > 0 && roomH > 0 && (r.w > roomW || r.h > roomH)) {
        // One scale both ways: the window keeps its shape.
        if (static_cast<int64_t>(roomW) * r.h <= static_cast<int64_t>(roomH) * r.w) {
            r.h = std::max(1, static_cast<int>(static_cast<int64_t>(r.h) * roomW / r.w));
            r.w = roomW;
        } else {
            r.w = std::max(1, static_cast<int>(static_cast<int64_t>(r.w) * roomH / r.h));
            r.h = roomH;
        }
    }
    // One still too large keeps its top-left corner, and so its caption, inside.
    r.x = std::max<int>(usable.x + frame.left, std::min<int>(r.x, usable.x + usable.w - frame.right - r.w));
    r.y = std::max<int>(usable.y + frame.top, std::min<int>(r.y, usable.y + usable.h - frame.bottom - r.h));
    return r;
}

// Takes the window's place on the screen (ScreenPlace). The notional rectangle moves with it: the
// program's client area is where the window is on the screen.
void TakePlace(Window& w)
{
    w.placed = ScreenPlace(w);
    const RECT client = ClientRectOf(w);
    OffsetRect(&w.rect, w.placed.x - client.left, w.placed.y - client.top);
}

// A window whose picture is scaled to its client area (one with a back buffer) that the user
// cannot resize: a window manager may still maximise it, and it then shows its picture scaled,
// as in full screen, while the program keeps the size it chose.
bool ScaledByManager(const Window& w)
{
    return w.bbWidth > 0 && w.bbHeight > 0 && !(w.style & WS_THICKFRAME) && (w.style & WS_CAPTION) == WS_CAPTION;
}

// What the window manager may do with the window and which buttons its frame shows, as the style
// says: a sizing border resizes, a window that scales its picture maximises, a minimise box
// minimises. Closing is always offered: the games end on it.
void OfferStyleControls(const Window& w)
{
    if (!w.sdl || w.fullscreen || (w.style & WS_CAPTION) != WS_CAPTION) return;
    const bool scaled = ScaledByManager(w);
    SDL_SetWindowResizable(w.sdl, (w.style & WS_THICKFRAME) || scaled ? SDL_TRUE : SDL_FALSE);
    OfferFrameControls(w.sdl, (w.style & WS_MINIMIZEBOX) != 0, (w.style & WS_MAXIMIZEBOX) || scaled,
                       (w.style & WS_THICKFRAME) || scaled);
}

// Brings the SDL window (windowed) to its place, without sending messages.
void ApplyGeometry(Window& w)
{
    if (!w.sdl || w.fullscreen) return;
    // Maximised, it has the size and place the window manager gave it until it is restored.
    if (SDL_GetWindowFlags(w.sdl) & SDL_WINDOW_MAXIMIZED) {
        OfferStyleControls(w);
        return;
    }
    TakePlace(w);
    const SDL_Rect place = w.placed;
    // Only what differs is asked for: on X11 a size request also raises a fixed-size window,
    // which (re-applied while a move settles) would bury a dialog opened over it.
    int sw = 0, sh = 0, sx = 0, sy = 0;
    SDL_GetWindowSize(w.sdl, &sw, &sh);
    if (sw != place.w || sh != place.h) SDL_SetWindowSize(w.sdl, place.w, place.h);
    // Where the client area really is: a window manager that framed the window after SDL placed
    // it put its frame, not its client area, where SDL asked, and SDL may not know that yet.
    if (!ClientOriginOnScreen(w.sdl, sx, sy)) SDL_GetWindowPosition(w.sdl, &sx, &sy);
    if ((sx != place.x || sy != place.y) && !MoveClientOnScreen(w.sdl, place.x, place.y))
        SDL_SetWindowPosition(w.sdl, place.x, place.y);
    SDL_SetWindowBordered(w.sdl, (w.style & WS_CAPTION) == WS_CAPTION ? SDL_TRUE : SDL_FALSE);
    OfferStyleControls(w);
}

// Places the window again once what its place depends on is known (its back buffer, the frame
// the manager gave it). The program hears of a move as of one the user made.
void PlaceAgain(HWND hwnd, Window& w)
{
    const RECT before = ClientRectOf(w);
    ApplyGeometry(w);
    const RECT after = ClientRectOf(w);
    if (after.left != before.left || after.top != before.top)
        QueueMessage(hwnd, WM_MOVE, 0, MAKELPARAM(after.left, after.top), 0);
}

void SetRectAndNotify(HWND hwnd, const RECT& rect)
{
    auto w = Find(hwnd);
    if (!w) return;
    RECT oldClient = ClientRectOf(*w);
    w->rect = rect;
    ApplyGeometry(*w);
    RECT client = ClientRectOf(*w);
    if (client.left != oldClient.left || client.top != oldClient.top)
        SendNow(hwnd, WM_MOVE, 0, MAKELPARAM(client.left, client.top));
    if (client.right - client.left != oldClient.right - oldClient.left ||
        client.bottom - client.top != oldClient.bottom - oldClient.top)
        SendNow(hwnd, WM_SIZE, SIZE_RESTORED,
                MAKELPARAM(client.right - client.left, client.bottom - client.top));
}

// Puts the SDL window on the screen (and, given `restore`, out of the task bar). Under a window
// manager a window is on the screen once the manager maps it, which SDL would wait for: a manager
// that is busy starting, or that lost the request, held the program there for good, its window
// never shown and its game never started. The request is made without waiting instead, and made
// again while it goes unanswered (PumpEvents); SDL learns of the map from its events.
void ShowSdlWindow(Window& w, bool restore)
{
    if ((SDL_GetWindowFlags(w.sdl) & SDL_WINDOW_HIDDEN) && RequestMapWithoutWaiting(w.sdl)) {
        w.mapPending = true;
        w.mapAskedAt = SDL_GetTicks();
        return;
    }
    SDL_ShowWindow(w.sdl);
    if (restore) SDL_RestoreWindow(w.sdl);
}

// A window manager may drop a map request (one that arrives while it starts up does, now and
// then): a shown window still waiting for its map after a second asks again.
void AskAgainForPendingMaps()
{
    std::lock_guard<std::recursive_mutex> lock(windowMutex);
    const uint32_t now = SDL_GetTicks();
    for (auto& [h, w] : windows) {
        if (!w->mapPending || !w->sdl || !w->visible || w->minimized || w->destroying) continue;
        if (!SDL_TICKS_PASSED(now, w->mapAskedAt + 1000)) continue;
        w->mapAskedAt = now;
        RequestMapWithoutWaiting(w->sdl);
    }
}

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

void ProcessSentMessages()
{
    for (;;) {
        std::shared_ptr<SentMessage> sent;
        {
            std::lock_guard<std::mutex> lock(queueMutex);
            if (sentMessages.empty()) return;
            sent = sentMessages.front();
            sentMessages.pop_front();
        }
        sent->result.set_value(SendNow(sent->hwnd, sent->message, sent->wParam, sent->lParam));
    }
}

bool Matches(const MSG& m, HWND hwnd, UINT lo, UINT hi)
{
    if (hwnd == reinterpret_cast<HWND>(static_cast<intptr_t>(-1))) {
        if (m.hwnd) return false;
    } else if (hwnd && m.hwnd != hwnd) {
        return false;
    }
    if (lo == 0 && hi == 0) return true;
    return m.message >= lo && m.message <= hi;
}

// Takes a waiting message; no idle bookkeeping (shared by Peek and Get).
bool TakeMessage(LPMSG msg, HWND hwnd, UINT lo, UINT hi, bool remove)
{
    std::lock_guard<std::mutex> lock(queueMutex);
    for (auto it = queue.begin(); it != queue.end(); ++it)
        if (Matches(*it, hwnd, lo, hi)) {
            *msg = *it;
            lastMessageTime = it->time;
            if (remove) queue.erase(it);
            return true;
        }
    if (quitPending && ((lo == 0 && hi == 0) || (WM_QUIT >= lo && WM_QUIT <= hi))) {
        *msg = MSG{};
        msg->message = WM_QUIT;
        msg->wParam = static_cast<WPARAM>(quitCode);
        msg->time = timeGetTime();
        if (remove) quitPending = false;
        return true;
    }
    return TakeDueTimer(msg, hwnd, lo, hi, remove);
}

}  // namespace platform_detail

// ---------------------------------------------------------------------------------------------
// Set-up
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

namespace {
std::mutex handlerMutex;
std::vector<std::pair<int, std::function<bool(const void*)>>> eventHandlers;
int nextHandlerId = 1;

bool OfferToHandlers(const SDL_Event& event)
{
    std::vector<std::function<bool(const void*)>> handlers;
    {
        std::lock_guard<std::mutex> lock(handlerMutex);
        for (auto& h : eventHandlers) handlers.push_back(h.second);
    }
    for (auto& h : handlers)
        if (h(&event)) return true;
    return false;
}
}  // namespace

int PlatformAddEventHandler(std::function<bool(const void*)> handler)
{
    std::lock_guard<std::mutex> lock(handlerMutex);
    eventHandlers.emplace_back(nextHandlerId, std::move(handler));
    return nextHandlerId++;
}

void PlatformRemoveEventHandler(int id)
{
    std::lock_guard<std::mutex> lock(handlerMutex);
    eventHandlers.erase(std::remove_if(eventHandlers.begin(), eventHandlers.end(),
                                       [&](const auto& h) { return h.first == id; }),
                        eventHandlers.end());
}

namespace platform_detail {
void DeliverSignals();  // signals.cpp
}

void platform_detail::PumpEvents()
{
    if (!IsMainThread()) return;
    DeliverSignals();
    if (videoReady) {
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            if (OfferToHandlers(event)) continue;
            if (event.type == SDL_WINDOWEVENT)
                HandleWindowEvent(&event.window);
            else
                HandleInputEvent(&event);
        }
        AskAgainForPendingMaps();
    }
    DeliverScriptEvents();
    ProcessSentMessages();
}

// ---------------------------------------------------------------------------------------------
// Classes and windows
ATOM RegisterClassExA(const WNDCLASSEXA* wc)
{
    if (!wc || !wc->lpszClassName || IS_INTRESOURCE(wc->lpszClassName) || !wc->lpfnWndProc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::lock_guard<std::recursive_mutex> lock(windowMutex);
    std::string key = Lower(wc->lpszClassName);
    if (classes.count(key)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    WindowClass c;
    c.name = wc->lpszClassName;
    c.style = wc->style;
    c.proc = wc->lpfnWndProc;
    c.instance = wc->hInstance;
    c.icon = wc->hIcon;
    c.cursor = wc->hCursor;
    c.background = wc->hbrBackground;
    classes[key] = c;
    return static_cast<ATOM>(0xC000 + classes.size());
}

ATOM RegisterClassA(const WNDCLASSA* wc)
{
    if (!wc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    WNDCLASSEXA ex{sizeof(WNDCLASSEXA), wc->style, wc->lpfnWndProc, wc->cbClsExtra, wc->cbWndExtra,
                   wc->hInstance, wc->hIcon, wc->hCursor, wc->hbrBackground, wc->lpszMenuName,
                   wc->lpszClassName, nullptr};
    return RegisterClassExA(&ex);
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE)
{
    std::lock_guard<std::recursive_mutex> lock(windowMutex);
    if (!className || IS_INTRESOURCE(className) || !classes.erase(Lower(className))) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return FALSE;
    }
    return TRUE;
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param)
{
    if (style & WS_CHILD) {
        PlatformTrace("CreateWindowExA: child windows are not provided (class \"%s\")",
                      className && !IS_INTRESOURCE(className) ? className : "?");
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    WindowClass wc;
    {
        std::lock_guard<std::recursive_mutex> lock(windowMutex);
        auto it = className && !IS_INTRESOURCE(className) ? classes.find(Lower(className)) : classes.end();
        if (it == classes.end()) {
            PlatformTrace("CreateWindowExA: class \"%s\" is not registered",
                          className && !IS_INTRESOURCE(className) ? className : "?");
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
        wc = it->second;
    }
    if (!PlatformInit()) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    auto w = std::make_shared<Window>();
    w->className = wc.name;
    w->title = windowName ? windowName : "";
    w->proc = wc.proc;
    w->style = style;
    w->exStyle = exStyle;
    w->menu = menu;
    w->instance = instance;
    w->classCursor = wc.cursor;
    w->owner = std::this_thread::get_id();
    w->ownerWindow = parent;
    if (width == CW_USEDEFAULT) {
        width = 640;
        height = 480;
    }
    if (x == CW_USEDEFAULT) {
        x = 32;
        y = 32;
    }
    w->rect = RECT{x, y, x + width, y + height};
    TakePlace(*w);
    const SDL_Rect place = w->placed;
    RECT client = ClientRectOf(*w);
    int cw = std::max<int>(1, client.right - client.left);
    int ch = std::max<int>(1, client.bottom - client.top);
    Uint32 flags = SDL_WINDOW_HIDDEN;
    if ((style & WS_CAPTION) != WS_CAPTION) flags |= SDL_WINDOW_BORDERLESS;
    if (style & WS_THICKFRAME) flags |= SDL_WINDOW_RESIZABLE;
    if (openGLWindows) {
        w->sdl = SDL_CreateWindow(w->title.c_str(), place.x, place.y, place.w, place.h, flags | SDL_WINDOW_OPENGL);
        if (!w->sdl) PlatformTrace("CreateWindowExA: no OpenGL window (%s); trying without", SDL_GetError());
    }
    if (!w->sdl) w->sdl = SDL_CreateWindow(w->title.c_str(), place.x, place.y, place.w, place.h, flags);
    if (!w->sdl) {
        PlatformTrace("CreateWindowExA: SDL_CreateWindow failed: %s", SDL_GetError());
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    HWND hwnd;
    {
        std::lock_guard<std::recursive_mutex> lock(windowMutex);
        hwnd = reinterpret_cast<HWND>(nextHandle);
        nextHandle += 0x10;
        w->serial = nextSerial++;
        windows[hwnd] = w;
    }
    SDL_SetWindowData(w->sdl, "hwnd", hwnd);
    OfferStyleControls(*w);
    MINMAXINFO limits{};
    int screenW, screenH;
    ScreenSize(screenW, screenH);
    limits.ptMaxSize = POINT{screenW, screenH};
    limits.ptMaxTrackSize = POINT{screenW, screenH};
    limits.ptMinTrackSize = POINT{GetSystemMetrics(SM_CXFRAME) * 2 + 100, GetSystemMetrics(SM_CYCAPTION)};
    SendNow(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    if (style & WS_THICKFRAME) {
        RECT in;
        Insets(style, exStyle, menu != nullptr, in);
        SDL_SetWindowMinimumSize(w->sdl, std::max(1, static_cast<int>(limits.ptMinTrackSize.x - in.left - in.right)),
                                 std::max(1, static_cast<int>(limits.ptMinTrackSize.y - in.top - in.bottom)));
    }
    CREATESTRUCTA cs{param, instance, menu, parent, height, width, y, x, static_cast<LONG>(style),
                     windowName, className, exStyle};
    if (!SendNow(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)) ||
        SendNow(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(hwnd);
        SetLastError(ERROR_INVALID_FUNCTION);
        return nullptr;
    }
    if (!IsWindow(hwnd)) return nullptr;
    SendNow(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(cw, ch));
    SendNow(hwnd, WM_MOVE, 0, MAKELPARAM(client.left, client.top));
    if (style & WS_VISIBLE) ShowWindow(hwnd, SW_SHOW);
    return IsWindow(hwnd) ? hwnd : nullptr;
}

BOOL IsWindow(HWND hwnd)
{
    auto w = Find(hwnd);
    if (!w) return IsChildWindow(hwnd) ? TRUE : FALSE;
    return !w->destroying ? TRUE : FALSE;
}

BOOL DestroyWindow(HWND hwnd)
{
    auto w = Find(hwnd);
    if (!w || w->destroying) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (w->visible) {
        w->visible = false;
        w->mapPending = false;
        if (activeWindow == hwnd && !PassActivationOn(hwnd, *w)) {
            if (IsOurTopLevelShown()) {
                activeWindow = nullptr;
            } else {
                Deactivate();
            }
        }
        // Hidden once the keyboard has gone on: hidden first, the window would take the display's
        // focus with it, and keys typed until the next window took it would reach no window.
        if (w->sdl) SDL_HideWindow(w->sdl);
    }
    SendNow(hwnd, WM_DESTROY, 0, 0);
    w->destroying = true;
    SendNow(hwnd, WM_NCDESTROY, 0, 0);
    if (focusWindow == hwnd) focusWindow = nullptr;
    if (activeWindow == hwnd) activeWindow = nullptr;
    if (w->sdl) SDL_DestroyWindow(w->sdl);
    w->sdl = nullptr;
    KillWindowTimers(hwnd);
    {
        std::lock_guard<std::recursive_mutex> lock(windowMutex);
        windows.erase(hwnd);
    }
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        queue.erase(std::remove_if(queue.begin(), queue.end(), [&](const MSG& m) { return m.hwnd == hwnd; }),
                    queue.end());
    }
    ApplyMouseCapture();
    return TRUE;
}

BOOL ShowWindow(HWND hwnd, int cmdShow)
{
    auto w = Find(hwnd);
    if (!w && IsChildWindow(hwnd)) return ChildWindows()->show(hwnd, cmdShow);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    BOOL wasVisible = w->visible ? TRUE : FALSE;
    switch (cmdShow) {
    case SW_HIDE:
        if (!w->visible) break;
        w->visible = false;
        w->mapPending = false;
        SendNow(hwnd, WM_SHOWWINDOW, FALSE, 0);
        if (activeWindow == hwnd && !PassActivationOn(hwnd, *w) && !IsOurTopLevelShown()) Deactivate();
        // After the keyboard has gone on, as when the window is destroyed.
        SDL_HideWindow(w->sdl);
        break;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE:
        // Minimised already (by the window manager, say): showing it to minimise it would ask
        // the manager to map it, which brings it back.
        if (w->visible && w->minimized) break;
        w->visible = true;
        w->minimized = true;
        w->style |= WS_VISIBLE;
        ShowSdlWindow(*w, false);
        SDL_MinimizeWindow(w->sdl);
        SendNow(hwnd, WM_SIZE, SIZE_MINIMIZED, 0);
        break;
    default: {
        bool wasMinimized = w->minimized;
        w->minimized = false;
        if (!w->visible) {
            w->visible = true;
            SendNow(hwnd, WM_SHOWWINDOW, TRUE, 0);
        }
        w->style |= WS_VISIBLE;
        ShowSdlWindow(*w, wasMinimized);
        if (wasMinimized) {
            RECT c = ClientRectOf(*w);
            SendNow(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(c.right - c.left, c.bottom - c.top));
        }
        if (cmdShow != SW_SHOWNA && cmdShow != SW_SHOWNOACTIVATE && IsWindow(hwnd)) Activate(hwnd);
        break;
    }
    }
    return wasVisible;
}

BOOL UpdateWindow(HWND hwnd)
{
    if (!IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    // A pending paint is delivered now instead of waiting in the queue.
    bool pending = false;
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        for (auto it = queue.begin(); it != queue.end(); ++it)
            if (it->hwnd == hwnd && it->message == WM_PAINT) {
                queue.erase(it);
                pending = true;
                break;
            }
    }
    if (pending) SendNow(hwnd, WM_PAINT, 0, 0);
    return TRUE;
}

BOOL IsIconic(HWND hwnd)
{
    auto w = Find(hwnd);
    return w && w->minimized;
}

BOOL IsWindowVisible(HWND hwnd)
{
    auto w = Find(hwnd);
    if (!w && IsChildWindow(hwnd)) return ChildWindows()->isVisible(hwnd);
    return w && w->visible;
}

BOOL SetWindowPos(HWND hwnd, HWND, int x, int y, int cx, int cy, UINT flags)
{
    auto w = Find(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    RECT r = w->rect;
    if (!(flags & SWP_NOMOVE)) {
        int width = r.right - r.left, height = r.bottom - r.top;
        r = RECT{x, y, x + width, y + height};
    }
    if (!(flags & SWP_NOSIZE)) {
        r.right = r.left + std::max(0, cx);
        r.bottom = r.top + std::max(0, cy);
    }
    SetRectAndNotify(hwnd, r);
    if (flags & SWP_SHOWWINDOW) ShowWindow(hwnd, (flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
    if (flags & SWP_HIDEWINDOW) ShowWindow(hwnd, SW_HIDE);
    return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL)
{
    return SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL GetWindowRect(HWND hwnd, LPRECT rect)
{
    if (!rect) return FALSE;
    if (hwnd == DesktopHandle()) {
        int w, h;
        ScreenSize(w, h);
        *rect = RECT{0, 0, w, h};
        return TRUE;
    }
    auto w = Find(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    *rect = w->rect;
    return TRUE;
}

BOOL GetClientRect(HWND hwnd, LPRECT rect)
{
    if (!rect) return FALSE;
    if (hwnd == DesktopHandle()) return GetWindowRect(hwnd, rect);
    auto w = Find(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    RECT c = ClientRectOf(*w);
    *rect = RECT{0, 0, c.right - c.left, c.bottom - c.top};
    return TRUE;
}

BOOL AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL menu, DWORD exStyle)
{
    if (!rect) return FALSE;
    RECT in;
    Insets(style, exStyle, menu != FALSE, in);
    rect->left -= in.left;
    rect->top -= in.top;
    rect->right += in.right;
    rect->bottom += in.bottom;
    return TRUE;
}

BOOL AdjustWindowRect(LPRECT rect, DWORD style, BOOL menu) { return AdjustWindowRectEx(rect, style, menu, 0); }

LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value)
{
    auto w = Find(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    LONG_PTR old = 0;
    switch (index) {
    case GWL_STYLE: {
        old = static_cast<LONG>(w->style);
        // The outer rectangle stays; the client area follows the new frame, as on the desktop.
        w->style = static_cast<DWORD>(value);
        ApplyGeometry(*w);
        break;
    }
    case GWL_EXSTYLE:
        old = static_cast<LONG>(w->exStyle);
        w->exStyle = static_cast<DWORD>(value);
        break;
    case GWL_WNDPROC:
        old = reinterpret_cast<LONG_PTR>(w->proc);
        if (value) w->proc = reinterpret_cast<WNDPROC>(value);
        break;
    case GWL_USERDATA:
        old = w->userData;
        w->userData = value;
        break;
    case GWL_ID:
        old = w->id;
        w->id = static_cast<LONG>(value);
        break;
    default:
        PlatformTrace("SetWindowLongA: index %d is not provided", index);
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    SetLastError(NO_ERROR);
    return old;
}

LONG_PTR GetWindowLongPtrA(HWND hwnd, int index)
{
    auto w = Find(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    switch (index) {
    case GWL_STYLE: return static_cast<LONG>(w->style);
    case GWL_EXSTYLE: return static_cast<LONG>(w->exStyle);
    case GWL_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
    case GWL_USERDATA: return w->userData;
    case GWL_ID: return w->id;
    case GWL_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->instance);
    default:
        PlatformTrace("GetWindowLongA: index %d is not provided", index);
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
}

LONG SetWindowLongA(HWND hwnd, int index, LONG value)
{
    if (index == GWL_WNDPROC) {
        PlatformTrace("SetWindowLongA: a procedure does not fit 32 bits; use SetWindowLongPtrA");
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return static_cast<LONG>(SetWindowLongPtrA(hwnd, index, value));
}

LONG GetWindowLongA(HWND hwnd, int index) { return static_cast<LONG>(GetWindowLongPtrA(hwnd, index)); }

BOOL SetWindowTextA(HWND hwnd, LPCSTR text)
{
    auto w = Find(hwnd);
    if (!w && IsChildWindow(hwnd))
        return ChildWindows()->send(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
    if (!w) return FALSE;
    w->title = text ? text : "";
    if (w->sdl) SDL_SetWindowTitle(w->sdl, w->title.c_str());
    return TRUE;
}

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
HWND GetDesktopWindow() { return DesktopHandle(); }

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

int GetSystemMetrics(int index)
{
    int w, h;
    switch (index) {
    case SM_CXSCREEN:
    case SM_CXFULLSCREEN: ScreenSize(w, h); return w;
    case SM_CYSCREEN:
    case SM_CYFULLSCREEN: ScreenSize(w, h); return h;
    case SM_CXFRAME:
    case SM_CYFRAME: return 4;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME: return 3;
    case SM_CXBORDER:
    case SM_CYBORDER: return 1;
    case SM_CYCAPTION:
    case SM_CYMENU: return 19;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL: return 17;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR: return 32;
    case SM_MOUSEPRESENT: return 1;
    default: PlatformTrace("GetSystemMetrics: index %d is not provided", index); return 0;
    }
}

POINT platform_detail::ClientOrigin(HWND hwnd)
{
    auto w = Find(hwnd);
    if (!w) return POINT{0, 0};
    RECT c = ClientRectOf(*w);
    return POINT{c.left, c.top};
}

BOOL ClientToScreen(HWND hwnd, LPPOINT point)
{
    if (!point || (!IsWindow(hwnd) && hwnd != DesktopHandle())) return FALSE;
    if (hwnd == DesktopHandle()) return TRUE;
    POINT o = ClientOrigin(hwnd);
    point->x += o.x;
    point->y += o.y;
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, LPPOINT point)
{
    if (!point || (!IsWindow(hwnd) && hwnd != DesktopHandle())) return FALSE;
    if (hwnd == DesktopHandle()) return TRUE;
    POINT o = ClientOrigin(hwnd);
    point->x -= o.x;
    point->y -= o.y;
    return TRUE;
}

BOOL InvalidateRect(HWND hwnd, const RECT*, BOOL)
{
    if (!IsWindow(hwnd)) return FALSE;
    std::lock_guard<std::mutex> lock(queueMutex);
    for (auto& m : queue)
        if (m.hwnd == hwnd && m.message == WM_PAINT) return TRUE;
    MSG m{hwnd, WM_PAINT, 0, 0, timeGetTime(), {0, 0}, 0};
    queue.push_back(m);
    queueChanged.notify_all();
    return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT*)
{
    std::lock_guard<std::mutex> lock(queueMutex);
    queue.erase(std::remove_if(queue.begin(), queue.end(),
                               [&](const MSG& m) { return m.hwnd == hwnd && m.message == WM_PAINT; }),
                queue.end());
    return TRUE;
}

HMENU GetMenu(HWND hwnd)
{
    auto w = Find(hwnd);
    return w ? w->menu : nullptr;
}

BOOL DestroyMenu(HMENU)
{
    // No menus are made here, so whatever is passed is no menu.
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

namespace {
struct BrushTag {
    int index;
};
BrushTag stockBrushes[6] = {{0}, {1}, {2}, {3}, {4}, {5}};
}  // namespace
HBRUSH GetStockObject(int object)
{
    if (object < 0 || object > 5) {
        PlatformTrace("GetStockObject: object %d is not provided", object);
        return nullptr;
    }
    return reinterpret_cast<HBRUSH>(&stockBrushes[object]);
}

HMODULE GetModuleHandleA(LPCSTR name)
{
    static int moduleTag;
    if (name) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HMODULE>(&moduleTag);
}

BOOL SetRect(LPRECT rect, int left, int top, int right, int bottom)
{
    if (!rect) return FALSE;
    *rect = RECT{left, top, right, bottom};
    return TRUE;
}
BOOL SetRectEmpty(LPRECT rect) { return SetRect(rect, 0, 0, 0, 0); }
BOOL OffsetRect(LPRECT rect, int dx, int dy)
{
    if (!rect) return FALSE;
    rect->left += dx;
    rect->right += dx;
    rect->top += dy;
    rect->bottom += dy;
    return TRUE;
}
BOOL PtInRect(const RECT* rect, POINT pt)
{
    return rect && pt.x >= rect->left && pt.x < rect->right && pt.y >= rect->top && pt.y < rect->bottom;
}
BOOL IsRectEmpty(const RECT* rect) { return !rect || rect->right <= rect->left || rect->bottom <= rect->top; }
BOOL IntersectRect(LPRECT out, const RECT* a, const RECT* b)
{
    if (!out || !a || !b) return FALSE;
    RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
           std::min(a->bottom, b->bottom)};
    if (IsRectEmpty(&r)) {
        SetRectEmpty(out);
        return FALSE;
    }
    *out = r;
    return TRUE;
}

// ---------------------------------------------------------------------------------------------
// Platform services for the other stand-ins
SDL_Window* PlatformSdlWindow(HWND hwnd)
{
    auto w = Find(hwnd);
    return w ? w->sdl : nullptr;
}

HWND PlatformWindowFromSdl(SDL_Window* window)
{
    if (!window) return nullptr;
    HWND hwnd = static_cast<HWND>(SDL_GetWindowData(window, "hwnd"));
    return IsWindow(hwnd) ? hwnd : nullptr;
}

HWND PlatformMainWindow()
{
    std::lock_guard<std::recursive_mutex> lock(windowMutex);
    HWND best = nullptr;
    uint64_t serial = UINT64_MAX;
    for (auto& [h, w] : windows)
        if (!w->destroying && w->serial < serial) {
            serial = w->serial;
            best = h;
        }
    return best;
}

void PlatformSetOpenGLWindows(bool opengl) { openGLWindows = opengl; }

void PlatformSetBackBufferSize(HWND hwnd, int width, int height)
{
    auto w = Find(hwnd);
    if (!w) return;
    if (w->bbWidth == std::max(0, width) && w->bbHeight == std::max(0, height)) return;
    w->bbWidth = std::max(0, width);
    w->bbHeight = std::max(0, height);
    // Its picture is scaled to the window from now on: a window too large for the screen can
    // be shown smaller.
    if (IsMainThread() && VideoReady()) PlaceAgain(hwnd, *w);
}

void PlatformGetBackBufferSize(HWND hwnd, int& width, int& height)
{
    width = height = 0;
    auto w = Find(hwnd);
    if (!w) return;
    if (w->bbWidth > 0 && w->bbHeight > 0) {
        width = w->bbWidth;
        height = w->bbHeight;
        return;
    }
    RECT c = ClientRectOf(*w);
    width = c.right - c.left;
    height = c.bottom - c.top;
}

RECT PlatformPresentRect(HWND hwnd)
{
    auto w = Find(hwnd);
    if (!w || !w->sdl) return RECT{0, 0, 0, 0};
    int dw = 0, dh = 0;
    SDL_GL_GetDrawableSize(w->sdl, &dw, &dh);
    if (dw <= 0 || dh <= 0) SDL_GetWindowSize(w->sdl, &dw, &dh);
    int bw, bh;
    PlatformGetBackBufferSize(hwnd, bw, bh);
    if (bw <= 0 || bh <= 0 || dw <= 0 || dh <= 0) return RECT{0, 0, dw, dh};
    // Largest rectangle of the back buffer's shape; integer arithmetic keeps it exact when the
    // sizes match.
    int64_t w1 = dw, h1 = static_cast<int64_t>(dw) * bh / bw;
    if (h1 > dh) {
        h1 = dh;
        w1 = static_cast<int64_t>(dh) * bw / bh;
    }
    int left = static_cast<int>((dw - w1) / 2), top = static_cast<int>((dh - h1) / 2);
    return RECT{left, top, left + static_cast<int>(w1), top + static_cast<int>(h1)};
}

bool platform_detail::GetPresentGeometry(HWND hwnd, PresentGeometry& g)
{
    auto w = Find(hwnd);
    if (!w || !w->sdl) return false;
    g = PresentGeometry{};
    SDL_GetWindowSize(w->sdl, &g.ww, &g.wh);
    SDL_GL_GetDrawableSize(w->sdl, &g.dw, &g.dh);
    if (g.dw <= 0 || g.dh <= 0) {
        g.dw = g.ww;
        g.dh = g.wh;
    }
    g.picture = PlatformPresentRect(hwnd);
    PlatformGetBackBufferSize(hwnd, g.bw, g.bh);
    g.pw = g.picture.right - g.picture.left;
    g.ph = g.picture.bottom - g.picture.top;
    return g.ww > 0 && g.wh > 0 && g.pw > 0 && g.ph > 0 && g.bw > 0 && g.bh > 0;
}

bool platform_detail::WindowToBackBuffer(HWND hwnd, int wx, int wy, int& bx, int& by)
{
    PresentGeometry g;
    if (!GetPresentGeometry(hwnd, g)) return false;
    // Window coordinates to drawable pixels (they differ on high-density displays).
    int64_t px = static_cast<int64_t>(wx) * g.dw / g.ww, py = static_cast<int64_t>(wy) * g.dh / g.wh;
    int64_t x = (px - g.picture.left) * g.bw, y = (py - g.picture.top) * g.bh;
    // Floor division so that points left of or above the picture stay negative.
    bx = static_cast<int>(x >= 0 ? x / g.pw : -((-x + g.pw - 1) / g.pw));
    by = static_cast<int>(y >= 0 ? y / g.ph : -((-y + g.ph - 1) / g.ph));
    return true;
}

bool platform_detail::BackBufferToWindow(HWND hwnd, int bx, int by, int& wx, int& wy)
{
    PresentGeometry g;
    if (!GetPresentGeometry(hwnd, g)) return false;
    // The first drawable pixel, then the first window pixel, that WindowToBackBuffer takes back
    // to this back-buffer pixel (rounding up where it rounds down).
    const auto up = [](int64_t a, int64_t b) { return a >= 0 ? (a + b - 1) / b : -(-a / b); };
    const int64_t px = g.picture.left + up(static_cast<int64_t>(bx) * g.pw, g.bw);
    const int64_t py = g.picture.top + up(static_cast<int64_t>(by) * g.ph, g.bh);
    wx = static_cast<int>(up(px * g.ww, g.dw));
    wy = static_cast<int>(up(py * g.wh, g.dh));
    return true;
}

bool PlatformSetFullscreen(HWND hwnd, bool fullscreen)
{
    auto w = Find(hwnd);
    if (!w) {
        PlatformTrace("PlatformSetFullscreen: %p is not a window", static_cast<void*>(hwnd));
        return false;
    }
    if (w->fullscreen == fullscreen) return true;
    if (fullscreen) {
        w->windowedRect = w->rect;
        if (w->sdl) {
            // Full screen is the window manager's to carry out; with none (a bare X server)
            // the request goes unheard, so the window first covers the display by itself.
            SDL_Rect display{0, 0, 0, 0};
            if (SDL_GetDisplayBounds(std::max(0, SDL_GetWindowDisplayIndex(w->sdl)), &display) == 0 && display.w > 0) {
                SDL_SetWindowBordered(w->sdl, SDL_FALSE);
                SDL_SetWindowPosition(w->sdl, display.x, display.y);
                SDL_SetWindowSize(w->sdl, display.w, display.h);
            }
        }
        if (w->sdl && SDL_SetWindowFullscreen(w->sdl, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0)
            PlatformTrace("full screen: SDL refused (%s); the window stays as it is", SDL_GetError());
        w->fullscreen = true;
        int sw, sh;
        ScreenSize(sw, sh);
        RECT in;
        Insets(w->style, w->exStyle, w->menu != nullptr, in);
        w->rect = RECT{-in.left, -in.top, sw + in.right, sh + in.bottom};
    } else {
        if (w->sdl && SDL_SetWindowFullscreen(w->sdl, 0) != 0)
            PlatformTrace("leaving full screen: SDL refused (%s)", SDL_GetError());
        w->fullscreen = false;
        w->rect = w->windowedRect;
        w->settleUntil = SDL_GetTicks() + 500;
        // A minimised window takes its place when it is shown again: resizing or moving it now
        // raises it, and a window manager takes a raise as a wish to have it back.
        if (!w->minimized) ApplyGeometry(*w);
    }
    return true;
}

bool PlatformIsFullscreen(HWND hwnd)
{
    auto w = Find(hwnd);
    return w && w->fullscreen;
}

// ---------------------------------------------------------------------------------------------
// SDL window events
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

// ---------------------------------------------------------------------------------------------
// Messages
void platform_detail::QueueMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, DWORD modifiers)
{
    int bx = 0, by = 0;
    PlatformMousePosition(bx, by);
    MSG m{hwnd, message, wParam, lParam, timeGetTime(), {bx, by}, modifiers};
    if (hwnd) {
        POINT o = ClientOrigin(hwnd);
        m.pt.x += o.x;
        m.pt.y += o.y;
    }
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        // Moves not yet taken are combined, as the desktop does: a program that is slow to
        // read its queue sees where the mouse is, not where it was.
        if (message == WM_MOUSEMOVE && !queue.empty() && queue.back().message == WM_MOUSEMOVE &&
            queue.back().hwnd == hwnd && queue.back().wParam == wParam)
            queue.back() = m;
        else
            queue.push_back(m);
    }
    queueChanged.notify_all();
}

LRESULT platform_detail::SendNow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto w = Find(hwnd);
    if (!w && IsChildWindow(hwnd)) return ChildWindows()->send(hwnd, message, wParam, lParam);
    if (!w || !w->proc) return 0;
    ++sentRun;
    return w->proc(hwnd, message, wParam, lParam);
}

BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (hwnd && !IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    MSG m{hwnd, message, wParam, lParam, timeGetTime(), {0, 0}, CurrentModifiers()};
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        queue.push_back(m);
    }
    queueChanged.notify_all();
    return TRUE;
}

LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto w = Find(hwnd);
    if (!w && IsChildWindow(hwnd)) return ChildWindows()->send(hwnd, message, wParam, lParam);
    if (!w || w->destroying) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (std::this_thread::get_id() == w->owner) return SendNow(hwnd, message, wParam, lParam);
    auto sent = std::make_shared<SentMessage>();
    sent->hwnd = hwnd;
    sent->message = message;
    sent->wParam = wParam;
    sent->lParam = lParam;
    auto result = sent->result.get_future();
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        sentMessages.push_back(sent);
    }
    queueChanged.notify_all();
    return result.get();
}

void PostQuitMessage(int exitCode)
{
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        quitPending = true;
        quitCode = exitCode;
    }
    queueChanged.notify_all();
}

BOOL PeekMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags)
{
    if (!msg) return FALSE;
    PumpEvents();
    if (TakeMessage(msg, hwnd, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0)) return TRUE;
    NoteIdlePoll();
    return FALSE;
}

BOOL GetMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax)
{
    if (!msg) return -1;
    if (hwnd && hwnd != reinterpret_cast<HWND>(static_cast<intptr_t>(-1)) && !IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    for (;;) {
        PumpEvents();
        if (TakeMessage(msg, hwnd, filterMin, filterMax, true)) return msg->message != WM_QUIT;
        std::unique_lock<std::mutex> lock(queueMutex);
        if (!queue.empty() || quitPending || !sentMessages.empty()) continue;
        // SDL has no wake-up of its own for posted messages: wait briefly, then poll it again.
        queueChanged.wait_for(lock, std::chrono::milliseconds(videoReady ? 5 : 50));
    }
}

BOOL WaitMessage()
{
    for (;;) {
        const uint64_t before = sentRun;
        PumpEvents();
        // A message sent to a window while waiting (the application activated again) wakes the
        // caller too: it is no posted message, yet the caller has work to do now.
        if (sentRun != before) return TRUE;
        std::unique_lock<std::mutex> lock(queueMutex);
        if (!queue.empty() || quitPending) return TRUE;
        queueChanged.wait_for(lock, std::chrono::milliseconds(videoReady ? 5 : 50));
    }
}

DWORD GetMessageTime() { return lastMessageTime; }

BOOL TranslateMessage(const MSG* msg)
{
    // Text arrives from SDL's text input as WM_CHAR already; the keys that type no text but do
    // produce a character on the desktop (Return, Backspace, Tab, Escape, Ctrl+letter) are
    // made here.
    if (!msg || msg->message != WM_KEYDOWN) return FALSE;
    int ch = -1;
    switch (msg->wParam) {
    case VK_RETURN: ch = '\r'; break;
    case VK_BACK: ch = 8; break;
    case VK_TAB: ch = '\t'; break;
    case VK_ESCAPE: ch = 27; break;
    default:
        if ((msg->lPrivate & MK_CONTROL) && !(msg->lPrivate & FALT) && msg->wParam >= 'A' && msg->wParam <= 'Z')
            ch = static_cast<int>(msg->wParam - 'A' + 1);
        break;
    }
    if (ch < 0) return FALSE;
    // Next in line, right behind its key, as the desktop does.
    MSG c = *msg;
    c.message = WM_CHAR;
    c.wParam = static_cast<WPARAM>(ch);
    c.lParam = msg->lParam & 0x7FFFFFFF;
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        queue.push_front(c);
    }
    queueChanged.notify_all();
    return TRUE;
}

LRESULT DispatchMessageA(const MSG* msg)
{
    if (!msg || !msg->hwnd) return 0;
    if (!IsWindow(msg->hwnd)) return 0;
    if (msg->message == WM_PAINT) ValidateRect(msg->hwnd, nullptr);
    return SendNow(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return proc ? proc(hwnd, message, wParam, lParam) : 0;
}

LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_NCCREATE: return TRUE;
    case WM_CLOSE: DestroyWindow(hwnd); return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageA(hwnd, WM_CLOSE, 0, 0);
        else if ((wParam & 0xFFF0) == SC_MINIMIZE) ShowWindow(hwnd, SW_MINIMIZE);
        else if ((wParam & 0xFFF0) == SC_RESTORE) ShowWindow(hwnd, SW_RESTORE);
        return 0;
    case WM_SYSKEYDOWN:
        if (wParam == VK_F4 && (lParam & (1 << 29))) SendMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
    case WM_NCHITTEST: return HTCLIENT;
    case WM_NCACTIVATE: return TRUE;
    case WM_MOUSEACTIVATE: return 1;
    case WM_ERASEBKGND: return 1;
    case WM_SETCURSOR:
        // Without a class cursor the shape is left as it is: the program sets its own.
        if (LOWORD(lParam) == HTCLIENT) {
            auto w = Find(hwnd);
            if (w && w->classCursor) SetCursor(w->classCursor);
        }
        return FALSE;
    case WM_GETMINMAXINFO:
    default: return 0;
    }
}

DWORD SetThreadExecutionState(DWORD flags)
{
    static DWORD state = ES_CONTINUOUS;
    DWORD old = state;
    if (flags & ES_CONTINUOUS) state = flags;
    if (videoReady) {
        if (flags & ES_DISPLAY_REQUIRED)
            SDL_DisableScreenSaver();
        else if (flags & ES_CONTINUOUS)
            SDL_EnableScreenSaver();
    }
    return old;
}
