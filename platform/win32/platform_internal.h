// What the other platform stand-ins (Direct3D, DirectDraw, DirectInput, DirectSound, dialogs,
// DirectPlay, DirectMusic) need of the core. Not for game code.
#pragma once

#include "platform/win32/win32.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct SDL_Window;

// Sets up SDL's video and events once (idempotent; the entry point calls it, and so does the
// first window). False with a trace when SDL cannot start.
bool PlatformInit();
// Destroys the windows left, closes SDL; script screenshots still due are reported.
void PlatformShutdown();

// The SDL window behind a window handle (null for an unknown handle).
SDL_Window* PlatformSdlWindow(HWND hwnd);
HWND PlatformWindowFromSdl(SDL_Window* window);
// The first top-level window still alive (the one a script's `quit` closes).
HWND PlatformMainWindow();

// Windows are created OpenGL-capable by default (the Direct3D stand-in makes a GL context on
// the program's window; an SDL renderer works on such a window too). Call before CreateWindowExA
// to change that for the windows created afterwards.
void PlatformSetOpenGLWindows(bool opengl);

// The size of the image the window presents. Mouse positions are reported in these pixels,
// mapped through the letterbox. Until set, the client size.
void PlatformSetBackBufferSize(HWND hwnd, int width, int height);
void PlatformGetBackBufferSize(HWND hwnd, int& width, int& height);
// Where the back buffer goes in the window's drawable (pixels, y down): the largest rectangle
// of the back buffer's aspect that fits, centred. The presenters draw there and clear the rest.
RECT PlatformPresentRect(HWND hwnd);
// Full screen: a desktop-sized window (SDL's full-screen desktop) showing the back buffer
// letterboxed; the notional window rectangle becomes the desktop. Off: the window returns to
// its previous rectangle. False with a trace when the window is unknown.
bool PlatformSetFullscreen(HWND hwnd, bool fullscreen);
// Counts the times a window's shown picture may have been lost or moved (exposed, shown,
// restored, resized): a presenter that skips showing an unchanged picture again shows it anew
// when this has moved on.
uint64_t PlatformPictureDamage();
bool PlatformIsFullscreen(HWND hwnd);

// Script screenshots read the presented image through this reader: top-down RGB, 3 bytes a
// pixel, no padding. One reader at a time; the presenting stand-in registers it.
void PlatformSetFrameReader(std::function<bool(int& w, int& h, std::vector<uint8_t>& rgb)> reader);
// Called by the presenting stand-in after every Present/Flip: takes the screenshots due for the
// frame just shown, counts the frame and advances the fixed-step clock. The scripted input of
// the next frame is delivered by the next message call (PeekMessageA, GetMessageA,
// WaitMessage), so no window procedure runs inside Present.
void PlatformFramePresented();
// Presented frames so far.
uint64_t PlatformFrameCount();

// Keyboard state by SDL scancode (SDL_NUM_SCANCODES entries, 1 = held), updated by real keys
// and by scripted ones alike, as the window messages are made.
constexpr int PLATFORM_SCANCODE_COUNT = 512;
const uint8_t* PlatformKeyboardScancodes();
// How many times each key (by scancode) went down or up so far, as PlatformMouseButtonChanges
// for the buttons.
void PlatformKeyboardScancodeChanges(uint64_t changes[PLATFORM_SCANCODE_COUNT]);
// Every key change by scancode, in order (DirectInput's buffered data). Null removes it.
void PlatformSetKeyListener(std::function<void(int scancode, bool down)> listener);
// Mouse for DirectInput: the relative motion (in back-buffer pixels of the window it happened
// in, whatever that window's scale; x to the right, y downwards) and wheel (120 a notch, away
// from the user positive) accumulated since the last call (then cleared), and the buttons held
// (bit 0 left, 1 right, 2 middle).
void PlatformTakeMouseMotion(int& dx, int& dy, int& wheel);
uint32_t PlatformMouseButtons();
// How many times each button (left, right, middle) went down or up so far: a reader of the
// held state can tell a press and release made between two of its reads from no press at all.
void PlatformMouseButtonChanges(uint64_t changes[3]);
// Cursor position in back-buffer pixels of the window under it.
void PlatformMousePosition(int& x, int& y);
// The pointer owned by a window (DirectInput's exclusive mouse): while `hwnd` is the foreground
// window the pointer is hidden and held inside it, and its motion is how far its position in the
// back buffer moved (so the position and the summed motion agree, for pointers that report
// positions as for those that report motion); it is given back when the window is deactivated,
// while a dialog or message box has the focus, and for good when that window lets it go
// (capture false). Main thread.
void PlatformSetMouseCapture(HWND hwnd, bool capture);
// The window holding the pointer right now (null when the pointer is free).
HWND PlatformMouseCaptureWindow();

// SDL events are read by the core's message calls (PeekMessageA, GetMessageA, WaitMessage).
// A stand-in with SDL windows of its own (dialogs) registers a handler: it sees every event
// first (as `const SDL_Event*`) and returns true for those it took. Returns an id for removal.
int PlatformAddEventHandler(std::function<bool(const void* sdlEvent)> handler);
void PlatformRemoveEventHandler(int id);

// COM classes and libraries provided by stand-ins. Register before the game asks for them
// (e.g. from the stand-in's creation function or an explicit set-up call: a static object in
// a static library is not linked unless something else in its file is used).
void PlatformRegisterComClass(const CLSID& clsid,
                              std::function<HRESULT(REFIID iid, void** out)> create);
void PlatformRegisterLibrary(const char* name,
                             std::vector<std::pair<std::string, FARPROC>> entries);

// Trace to stderr with the platform prefix (used by the stand-ins for loud failures).
void PlatformTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));

// `rgb` holds `h` rows of `w` RGB byte triples, top row first; written to `path` as given (not
// mapped). False with a trace when the file cannot be written.
bool PlatformWriteRgbPng(const std::string& path, int w, int h, const std::vector<uint8_t>& rgb);

// --- Script and fixed step (tests) ----------------------------------------------------------
// Loads PLATFORM_SCRIPT and PLATFORM_FIXED_STEP_MS from the environment. A malformed script
// line is reported as "PLATFORM_SCRIPT <file>:<line>: <why>" and gives false.
bool PlatformLoadScriptFromEnvironment();
// Parses a script text; false with `error` naming the line on the first malformed line.
bool PlatformLoadScript(const std::string& text, const std::string& sourceName, std::string& error);
void PlatformClearScript();
// Script screenshots still due (reported at shutdown).
int PlatformPendingScreenshots();
// Fixed-step clock: 0 switches back to the real clock.
void PlatformSetFixedStep(uint32_t ms);
// True while the fixed-step clock runs (a scripted test): nothing then waits for real time.
bool PlatformFixedStepActive();

// --- Windows kept by another stand-in (the controls of a dialog) ----------------------------
// The core makes top-level windows only. A stand-in that hands out handles of child windows of
// its own registers these, and the core passes IsWindow, ShowWindow, IsWindowVisible,
// SetWindowTextA, SendMessageA, DispatchMessageA and SetFocus on such a handle to it. `owns`
// and `send` may be called from any thread; `send` runs the message on the owner's thread.
struct PlatformChildWindows {
    std::function<bool(HWND)> owns;
    std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)> send;
    std::function<BOOL(HWND, int)> show;
    std::function<BOOL(HWND)> isVisible;
    std::function<HWND(HWND)> focus;  // SetFocus; returns the window that had the focus
};
void PlatformSetChildWindows(PlatformChildWindows children);

// A stand-in that shows message boxes itself (the dialogs) registers this; MessageBoxA asks it
// first on the main thread, after recording (PlatformRecordMessageBoxes). It returns false to
// leave the box to the core.
void PlatformSetMessageBoxProvider(std::function<bool(HWND owner, const char* text, const char* caption,
                                                      UINT type, int& answer)> provider);

// Script lines `<frame> dialog <control-id> <action> [argument]` are handed to this handler
// when their frame comes (main thread); `line` is the script line for traces.
void PlatformSetScriptDialogHandler(
    std::function<void(int line, int controlId, const std::string& action, const std::string& argument)> handler);
// Says whether a dialog line handed over still waits for its control. While one waits the script
// stands still: presented frames move the fixed-step clock (the program's timers run) but not
// the script, so the lines after a dialog line keep their distance from it however long it
// waited (for another program, say).
void PlatformSetScriptDialogWaiting(std::function<bool()> waiting);
// Script screenshots pass through this before they are written: it may draw over the frame
// (the dialogs open over the game) or, when `haveFrame` is false, make the picture itself.
// Returns whether there is a picture to write.
void PlatformSetScreenshotOverlay(std::function<bool(int& w, int& h, std::vector<uint8_t>& rgb, bool haveFrame)> overlay);
// Script events (input, dialog actions, quit) not yet delivered.
int PlatformPendingScriptEvents();
