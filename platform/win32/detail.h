// Shared between the platform core's own files; not a public interface.
#pragma once

#include "platform/win32/platform_internal.h"

#include <cstdint>
#include <string>

namespace platform_detail {

// Everything a HANDLE can name. Live objects are registered so that a stale or foreign handle
// is refused (ERROR_INVALID_HANDLE) instead of being dereferenced.
struct KernelObject {
    enum class Kind { File, Event, Mutex };
    explicit KernelObject(Kind k) : kind(k) {}
    virtual ~KernelObject() = default;
    const Kind kind;
};
HANDLE RegisterHandle(KernelObject* object);
KernelObject* LookUpHandle(HANDLE handle, KernelObject::Kind kind);  // null + SetLastError

// Clock (system.cpp)
void NoteIdlePoll();        // a message poll found nothing
void NoteFramePresented();  // advances the fixed clock by one step
bool FixedStepActive();

// Input as the script delivers it (input.cpp): the same paths as real SDL events.
void InjectKey(int vk, bool down);
void InjectText(const std::string& utf8);
void InjectMouseMove(int x, int y);
void InjectMouseButton(int button, bool down);  // 0 left, 1 right
void InjectQuit();
void InjectScancode(int scancode, bool down);  // DirectInput only, no window message
int ScancodeFromChar(unsigned char c);         // 0 when no key types it

// Script (script.cpp): queues the events due for the current frame.
void DeliverScriptEvents();
void TakeDueScreenshots(uint64_t frame);

// Start-up (startup.cpp)
bool IsMainThread();
void NoteMainThread();  // the calling thread runs the game, unless one was named already
bool VideoReady();  // SDL video is up (events can be polled)

// Messages (messages.cpp)
void PumpEvents();  // SDL events, script input, sent messages from other threads
// Posts with the modifier snapshot that TranslateAcceleratorA and GetKeyState's callers see.
void QueueMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, DWORD modifiers);
// Sends to the procedure now (main thread), as the system sends its own notifications.
LRESULT SendNow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Placement (placement.cpp)
// The sizes that relate window pixels to back-buffer pixels: the SDL window, its drawable (they
// differ on high-density displays), the back buffer and the letterboxed picture in the drawable.
struct PresentGeometry {
    int ww = 0, wh = 0, dw = 0, dh = 0, bw = 0, bh = 0;
    RECT picture{};
    int pw = 0, ph = 0;  // the picture's size
};
// False while the window has no picture yet (any of the sizes is empty).
bool GetPresentGeometry(HWND hwnd, PresentGeometry& g);
// Window pixels (SDL window coordinates) to back-buffer pixels through the letterbox.
bool WindowToBackBuffer(HWND hwnd, int wx, int wy, int& bx, int& by);
// A back-buffer pixel to a window pixel that WindowToBackBuffer takes back to it.
bool BackBufferToWindow(HWND hwnd, int bx, int by, int& wx, int& wy);
POINT ClientOrigin(HWND hwnd);  // in notional screen coordinates

// SDL window events: focus, size, position, close, expose (window_events.cpp).
void HandleWindowEvent(const void* sdlWindowEvent);

// Cursor (cursor.cpp)
void SetCursorShown();  // applies ShowCursor's counter and SetCursor's choice to SDL
void ResetCursors();    // the arrow, shown, and SDL's cursors freed (shutdown)

// X displays with a window manager (x11_map.cpp): asks for the window to be mapped and returns
// at once, true; false elsewhere, where SDL's own show is left to do it.
bool RequestMapWithoutWaiting(SDL_Window* window);
// The frame a window manager has put around the window, as insets (left, top, right, bottom;
// none without a manager); false while it has not said (the window not yet framed).
bool WindowManagerFrame(SDL_Window* window, RECT& frame);
// Where the window's client area is on the screen, as the display has it (SDL's own idea lags
// behind a window manager's moves); false where the display cannot say.
bool ClientOriginOnScreen(SDL_Window* window, int& x, int& y);
// Puts the client area's top-left corner at (x, y) of the screen once a window manager has
// framed the window: the manager takes a move of its client as one of its frame, so the frame is
// moved to where it puts the client there. False (nothing done) while it is not framed.
bool MoveClientOnScreen(SDL_Window* window, int x, int y);
// Tells a window manager which of its frame's controls the window offers: moving and closing
// always, minimising, maximising and resizing as given. A window that does not offer maximising
// has no such button and is not maximised. False where there is no window manager to tell.
bool OfferFrameControls(SDL_Window* window, bool minimize, bool maximize, bool resize);

// Input (input.cpp)
void HandleInputEvent(const void* sdlEvent);  // keys, text, mouse
DWORD CurrentModifiers();  // MK_SHIFT | MK_CONTROL | FALT as held now
void ResetInputState();
// Gives the pointer to the window that asked for it (PlatformSetMouseCapture) while that window
// is the foreground one and no message box is up, and back otherwise. Called whenever one of
// those changes (main thread).
void ApplyMouseCapture();
void SuspendMouseCapture(bool suspend);  // around a message box, which needs the pointer
// Takes the pointer's position over `hwnd` from the desktop, when the desktop has it over that
// window: a window that moved under a still pointer, or that takes the pointer, knows where it
// is without waiting for it to move.
void PointerFromDesktop(HWND hwnd);

// Key tables (input.cpp)
int VkFromName(const std::string& name);  // -1 when unknown
int ScancodeFromVk(int vk);               // 0 when none
int VkFromScancode(int scancode);         // 0 when none
int Cp1252FromUnicode(uint32_t cp);       // -1 when outside Windows-1252

// Timers (timers.cpp): a due WM_TIMER for the filter, taken like a queued message.
bool TakeDueTimer(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, bool remove);
void KillWindowTimers(HWND hwnd);

// What other stand-ins hook into the core (hooks.cpp). Null or empty when nothing registered.
const PlatformChildWindows* ChildWindows();  // only when the owner of `hwnd` claims it
bool IsChildWindow(HWND hwnd);
bool MessageBoxFromProvider(HWND owner, const char* text, const char* caption, UINT type, int& answer);
void HandScriptDialogAction(int line, int controlId, const std::string& action, const std::string& argument);
bool ScriptDialogWaiting();  // a dialog line handed over still waits for its control
bool OverlayScreenshot(int& w, int& h, std::vector<uint8_t>& rgb, bool haveFrame);

}  // namespace platform_detail
