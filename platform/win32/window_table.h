// The table of windows that the core's window files share (windows, placement on the screen,
// activation, SDL's window events, messages): the records, their lock, and the helpers that place
// and activate a window. Not an interface for the other stand-ins.
#pragma once

#include "platform/win32/detail.h"

#include <SDL.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace platform_detail {


struct WindowClass {
    std::string name;
    UINT style = 0;
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
};

struct Window {
    std::string className;
    std::string title;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rect{};  // outer rectangle, notional screen coordinates
    HMENU menu = nullptr;
    HINSTANCE instance = nullptr;
    HCURSOR classCursor = nullptr;
    SDL_Window* sdl = nullptr;
    bool visible = false;
    bool minimized = false;
    bool fullscreen = false;
    RECT windowedRect{};
    SDL_Rect placed{};  // the client area on the screen, windowed, as last placed (ScreenPlace)
    uint32_t settleUntil = 0;  // SDL ticks: size events before this are the mode switch's echo
    int bbWidth = 0, bbHeight = 0;  // 0: the client size
    LONG_PTR userData = 0;
    LONG id = 0;
    bool destroying = false;
    std::thread::id owner;
    uint64_t serial = 0;
    // Where the activation goes when this window, being active, is hidden or destroyed.
    HWND ownerWindow = nullptr;    // the owner it was created with
    HWND activatedFrom = nullptr;  // the window that was active when it was activated
    // Shown, but not yet mapped by the window manager that was asked to (SDL ticks of the ask).
    bool mapPending = false;
    uint32_t mapAskedAt = 0;
};

// The tables (windows.cpp).
extern std::recursive_mutex windowMutex;  // guards the tables below; never held while a procedure runs
extern std::map<std::string, WindowClass> classes;  // key: lower-case name
extern std::map<HWND, std::shared_ptr<Window>> windows;
HWND DesktopHandle();
std::string Lower(const char* s);
std::shared_ptr<Window> Find(HWND hwnd);  // null for a handle that names no window of the table

// SDL's video is up (startup.cpp); VideoReady() for files that do not include this header.
extern std::atomic<bool> videoReady;

// Placement on the screen (placement.cpp).
// The frame's widths around the client area, as this system draws it for the style.
void Insets(DWORD style, DWORD exStyle, bool menu, RECT& insets);
RECT ClientRectOf(const Window& w);  // in notional screen coordinates
void ScreenSize(int& w, int& h);     // the desktop's (1024 x 768 before SDL's video is up)
SDL_Rect ScreenPlace(const Window& w);  // where its client area goes on the screen
void TakePlace(Window& w);
bool ScaledByManager(const Window& w);
void OfferStyleControls(const Window& w);
void ApplyGeometry(Window& w);
void PlaceAgain(HWND hwnd, Window& w);
// A new outer rectangle, with WM_MOVE and WM_SIZE sent for what changed.
void SetRectAndNotify(HWND hwnd, const RECT& rect);
void ShowSdlWindow(Window& w, bool restore);
void AskAgainForPendingMaps();

// Activation (activation.cpp).
extern HWND focusWindow;
extern HWND activeWindow;
extern bool appActive;
bool IsOurTopLevelShown();  // a window of the program is on the screen
void Activate(HWND hwnd);
void Deactivate();
bool PassActivationOn(HWND hwnd, const Window& going);

}  // namespace platform_detail
