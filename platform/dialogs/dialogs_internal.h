// Shared by the dialog layer's own files; not an interface for programs.
#pragma once

#include "platform/dialogs/dialog_text.h"
#include "platform/dialogs/dialogs.h"

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace dialogs_detail {

struct Control {
    HWND hwnd{};
    DialogControlKind kind{};
    int id = 0;
    std::string text;
    int x = 0, y = 0, w = 0, h = 0;
    bool enabled = true;
    bool visible = true;
    bool pushLike = false;
    bool redraw = true;
    UINT check = BST_UNCHECKED;
    std::vector<std::string> items;
    std::vector<LPARAM> data;
    int cursel = -1;
    int top = 0;
    bool dropped = false;
    size_t limit = 30000;  // edit: characters the user may type
    size_t caret = 0;      // edit: caret position
    bool allSelected = false;  // edit: the whole text is selected (typing replaces it)
    bool held = false;     // a button held down by the mouse or the space bar
};

struct Dialog {
    HWND hwnd{};
    DLGPROC proc = nullptr;
    HWND owner{};
    std::thread::id thread;
    std::string title;  // the template's; the window's caption is read from the window
    int w = 0, h = 0;
    std::vector<std::unique_ptr<Control>> controls;
    bool modal = false;
    bool ended = false;
    INT_PTR result = 0;
    bool enabled = true;
    int focus = -1;
    Control* pressed = nullptr;
    bool dirty = true;
    bool initialised = false;
    bool destroyed = false;  // WM_DESTROY came; the record lives until the calls on it returned
    uint64_t order = 0;  // z-order: higher is nearer the front
    // Double clicks in lists.
    DWORD lastClickTime = 0;
    int lastClickId = 0;
    int lastClickIndex = -1;
    // The window's surface.
    void* surface = nullptr;
};

// Dialog lookup (thread of the dialog).
Dialog* FindDialog(HWND hwnd);
Control* FindItem(Dialog* d, int id);

// Drawing (dialog_draw.cpp).
constexpr uint32_t Face = 0xD4D0C8, Shadow = 0x808080, DarkShadow = 0x404040, Light = 0xFFFFFF,
                   Black = 0x000000, GreyText = 0x808080, Highlight = 0x0A246A, CaptionColor = 0x0A246A,
                   CaptionEnd = 0xA6CAF0, InactiveCaption = 0x808080;
int ListRowHeight();
int ComboBoxHeight();
int VisibleRows(const Control* c);
bool ListHasScrollBar(const Control* c);
constexpr int ScrollBarWidth = 16;
// The width an entry's text may take before it is cut: in the box of a combo box (left of its
// drop button), or in a row of a list box or of a combo box's dropped list.
int EntryTextRoom(const Control* c, bool droppedList);
void RenderClient(Dialog* d, dialog_text::Canvas& cv);
// With a caption bar and frame, as a desktop draws the window; `title` is the caption.
void RenderFramed(Dialog* d, const std::string& title, bool active, dialog_text::Canvas& cv);
constexpr int FrameWidth = 3;
constexpr int CaptionHeight = 20;

// Message boxes as dialogs (message_box.cpp).
bool ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type, int& answer);
// True when nobody can answer a dialog: no display, no test driver and no script input left.
bool NobodyCanAnswer();

// Messages of the layer's own, in the range of registered messages; never given to procedures.
constexpr UINT MsgEndDialog = 0xC7D0;   // wParam: the result
constexpr UINT MsgFrameTick = 0xC7D1;
constexpr UINT MsgRunActions = 0xC7D2;
constexpr UINT MsgCall = 0xC7D3;        // lParam: std::function<LRESULT()>*
constexpr UINT_PTR IdleTimerId = 0xD1A1;  // a modal dialog asks whether anybody can answer it
constexpr DWORD IdleCheckMs = 200;
constexpr const char* ClassName = "PlatformDialogWindow";

// The tables (dialogs.cpp).
struct ControlEntry {
    HWND dialog;
    std::thread::id owner;
    Dialog* d;
    Control* c;
};
// The tables below are never destroyed: a program's static objects may still destroy their
// dialogs while it exits, after tables destroyed in order would be gone.
// Dialogs by window; the records themselves are used on their own thread only.
extern std::map<HWND, std::unique_ptr<Dialog>>& g_dialogs;
extern std::vector<std::unique_ptr<Dialog>>& g_graveyard;  // destroyed, freed when no call is running on them
extern int g_wndProcDepth;  // window procedure calls running; records are freed at 0
// What other threads may look up, under g_handleMutex.
extern std::mutex g_handleMutex;
extern std::map<HWND, ControlEntry>& g_controls;
extern std::map<HWND, std::thread::id>& g_dialogOwners;
extern std::function<void(HWND)> g_driver;  // DialogSetTestDriver
extern std::function<void()> g_ticker;      // DialogSetTestTicker
// Script lines for dialogs, waiting for their control (dialog_script.cpp).
struct PendingAction {
    int line;
    int id;
    std::string action;
    std::string argument;
    std::chrono::steady_clock::time_point queued;
};
extern std::deque<PendingAction>& g_actions;

// Lookups and calls on a dialog's own thread (dialogs.cpp).
LRESULT OnDialogThread(HWND dialog, std::thread::id owner, const std::function<LRESULT()>& f);
bool LookUpControl(HWND control, ControlEntry& entry);
bool LookUpDialogOwner(HWND dialog, std::thread::id& owner);
bool ControlHere(HWND control, Dialog*& d, Control*& c);
// Runs `f(dialog, control)` on the thread of the control's dialog; `result` is what it gives,
// 0 when the control went away meanwhile. False when `control` is no control.
template <class F>
bool OnControl(HWND control, LRESULT& result, F f)
{
    ControlEntry e;
    if (!LookUpControl(control, e)) return false;
    result = OnDialogThread(e.dialog, e.owner, [control, &f]() -> LRESULT {
        Dialog* d;
        Control* c;
        return ControlHere(control, d, c) ? static_cast<LRESULT>(f(d, c)) : 0;
    });
    return true;
}
void Bury();
void ForgetDialog(Dialog* d);

// What the controls do (dialog_controls.cpp).
bool IsList(const Control* c);
bool IsButton(const Control* c);
bool Focusable(const Control* c);
int IndexOf(Dialog* d, const Control* c);
Control* Focused(Dialog* d);
void CloseDrops(Dialog* d);
void SetFocusTo(Dialog* d, Control* c, bool selectAll = false);
void MoveFocus(Dialog* d, int step);
void RepairFocus(Dialog* d);
bool Alive(Dialog* d);  // not null and not destroyed
void Notify(Dialog* d, Control* c, WORD code);
void SendCommand(Dialog* d, int id);
void KeepVisible(Control* c);
bool Click(Dialog* d, Control* c);
bool Select(Dialog* d, Control* c, int index);
bool TypeInto(Dialog* d, Control* c, const std::string& chars);
void ReplaceEditText(Dialog* d, Control* c, const std::string& text);
// Backspace takes the character before the caret, Delete the one after it; either takes the
// whole text instead while all of it is selected.
enum class EraseSide { BeforeCaret, AfterCaret };
void EditErase(Dialog* d, Control* c, EraseSide side);
LRESULT ControlMessage(Dialog* d, Control* c, UINT message, WPARAM wParam, LPARAM lParam);

// Keyboard and mouse (dialog_input.cpp).
bool KeyDown(Dialog* d, int vk, bool shift);
bool MnemonicKey(Dialog* d, char letter);
void CharTyped(Dialog* d, unsigned ch);
bool Inside(const Control* c, int x, int y, int height);
void ScrollList(Dialog* d, Control* c, int amount);
void MouseDown(Dialog* d, int x, int y);
void MouseMove(Dialog* d, int x, int y);
void MouseUp(Dialog* d, int x, int y);

// Frames (dialog_frames.cpp).
extern std::atomic<HWND> g_pumpTarget;  // the dialog that gets the frame ticks
void Present(Dialog* d);
bool Headless();  // no video, or a display nobody sees
void RetargetPump();
void StartPump();
void StopPump();
void FrameTick();

// Script lines and screenshots (dialog_script.cpp).
void RunActions();
void WakeActions();
void QueueAction(int line, int id, const std::string& action, const std::string& argument);
bool OverlayDialogs(int& w, int& h, std::vector<uint8_t>& rgb, bool haveFrame);

// The window procedure and the modal loop (dialog_window.cpp).
LRESULT CALLBACK DialogWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR RunModal(HWND hwnd);

}  // namespace dialogs_detail
