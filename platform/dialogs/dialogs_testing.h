// Test hooks of the dialog layer: tests drive dialogs as a user would and read what they show (for
// tests and benchmarks only; the games never include this).
#pragma once

#include "platform/dialogs/dialogs.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// While a driver is set, a modal dialog does not run its own loop: after WM_INITDIALOG the
// driver is called with the dialog and acts as a user would through the calls below (it may
// pump messages with DialogTestPump). A dialog still open when the driver returns ends as
// IDCANCEL (with a trace), so a test never hangs. Message boxes are dialogs too (buttons IDOK,
// IDCANCEL, IDYES, IDNO ...) unless PlatformRecordMessageBoxes (win32_testing.h) is on.
void DialogSetTestDriver(std::function<void(HWND dialog)> driver);
// Called on the dialogs' thread at every dialog frame (about every 16 ms while a dialog is
// open): modeless dialogs served by the program's own loop are worked from here. While a ticker
// is set, modal dialogs wait for it even without a display.
void DialogSetTestTicker(std::function<void()> ticker);
// Chooses entry `index` of a list or combo box and notifies the procedure. False when the
// control is missing, hidden, disabled or has no such entry.
bool DialogTestSelect(HWND dialog, int id, int index);
// The same followed by a double click on the entry (LBN_DBLCLK).
bool DialogTestDoubleClick(HWND dialog, int id, int index);
// Clicks a button, check box or radio button. False when missing, hidden or disabled.
bool DialogTestClick(HWND dialog, int id);
// Puts the focus in an edit control and types `text` over what it holds, as the keyboard would
// (the length limit applies). False when missing, hidden, disabled or no edit control.
bool DialogTestType(HWND dialog, int id, const std::string& text);
enum class DialogKey { Tab, ShiftTab, Up, Down, Left, Right, Enter, Escape, Space };
// A key as the keyboard would deliver it to the focused control, handled at once.
void DialogTestKey(HWND dialog, DialogKey key);
// A key press (virtual key) posted as real input to the dialog's queue, after the focus moved
// to control `id` (0: where it is): loops that look at WM_KEYDOWN see it.
bool DialogTestPostKey(HWND dialog, int id, int vk);
// The id of the focused control (0 when none).
int DialogTestFocus(HWND dialog);
// The texts of a list or combo box's entries, in order.
std::vector<std::string> DialogTestEntries(HWND dialog, int id);
// The entries of a list or combo box too wide for the room the control draws them in (a combo
// box: its box and its dropped list): they show cut.
std::vector<std::string> DialogTestCutEntries(HWND dialog, int id);
std::string DialogTestText(HWND dialog, int id);
bool DialogTestIsVisible(HWND dialog, int id);  // id 0: the dialog itself
int DialogTestTopIndex(HWND dialog, int id);
// A modal dialog that EndDialog ended (its window goes when its loop or driver returns), or a
// dialog that is gone.
bool DialogTestEnded(HWND dialog);
// The dialog's caption (SetWindowTextA or the template's title).
std::string DialogTestTitle(HWND dialog);
// The dialogs alive, oldest first.
std::vector<HWND> DialogTestOpenDialogs();
// Runs the thread's messages (timers, posted and sent messages, input) for `ms` of real time.
// Stops early, leaving it for the caller's loop, when a WM_QUIT arrives (returns false then).
bool DialogTestPump(DWORD ms);
// Runs messages until `done` answers true (true) or `timeoutMs` passed (false).
bool DialogTestWaitFor(const std::function<bool()>& done, DWORD timeoutMs);
// The dialog's client area as the window shows it: RGB, 3 bytes a pixel, top row first.
bool DialogTestRender(HWND dialog, int& width, int& height, std::vector<uint8_t>& rgb);
// The same with the window's frame and caption, as a desktop shows it.
bool DialogTestRenderFramed(HWND dialog, int& width, int& height, std::vector<uint8_t>& rgb);
// Queues a dialog action as a script line does (`dialog <id> click|text|select|dblclick|key`):
// it waits, in order, until an open dialog shows control `id` enabled (for select and dblclick,
// with that entry), then acts; after five minutes it is dropped with a trace.
void DialogQueueAction(int id, const std::string& action, const std::string& argument);
// Actions queued and not yet carried out.
int DialogPendingActions();
