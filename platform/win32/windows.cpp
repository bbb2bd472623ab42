// Window classes and top-level windows over SDL2: creation and destruction, showing, hiding and
// minimising, styles, rectangles, painting, and the handles other stand-ins look windows up by.
// Placement on the screen, activation and the message queue have files of their own.
#include "platform/win32/message_queue.h"
#include "platform/win32/window_table.h"

#include <SDL.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace platform_detail;

namespace platform_detail {
std::recursive_mutex windowMutex;  // guards the tables below; never held while a procedure runs
std::map<std::string, WindowClass> classes;  // key: lower-case name
std::map<HWND, std::shared_ptr<Window>> windows;
}  // namespace platform_detail

namespace {
uint64_t nextSerial = 1;
uintptr_t nextHandle = 0x10000;
bool openGLWindows = true;

struct DesktopTag {};
DesktopTag desktopTag;
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

}  // namespace platform_detail

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

HWND GetDesktopWindow() { return DesktopHandle(); }
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
