// Modal dialogs built from templates made in code: controls addressed by id, the list, combo
// box and button messages programs send them, drawn in an SDL window of their own with a small
// built-in font, driven by keyboard and mouse, and scriptable by control id for tests.
#pragma once

#include "platform/win32/win32.h"

#include <functional>
#include <string>
#include <vector>

typedef INT_PTR(CALLBACK* DLGPROC)(HWND, UINT, WPARAM, LPARAM);

// Combo box messages and results.
#define CB_GETEDITSEL 0x0140
#define CB_ADDSTRING 0x0143
#define CB_DELETESTRING 0x0144
#define CB_GETCOUNT 0x0146
#define CB_GETCURSEL 0x0147
#define CB_GETLBTEXT 0x0148
#define CB_GETLBTEXTLEN 0x0149
#define CB_RESETCONTENT 0x014B
#define CB_SETCURSEL 0x014E
#define CB_GETITEMDATA 0x0150
#define CB_SETITEMDATA 0x0151
#define CB_ERR (-1)
#define CBN_SELCHANGE 1

// List box messages (same behaviour as their combo box twins).
#define LB_ADDSTRING 0x0180
#define LB_DELETESTRING 0x0182
#define LB_RESETCONTENT 0x0184
#define LB_SETCURSEL 0x0186
#define LB_GETCURSEL 0x0188
#define LB_GETTEXT 0x0189
#define LB_GETTEXTLEN 0x018A
#define LB_GETCOUNT 0x018B
#define LB_GETITEMDATA 0x0199
#define LB_SETITEMDATA 0x019A
#define LB_ERR (-1)
#define LBN_SELCHANGE 1

// Buttons.
#define BM_GETCHECK 0x00F0
#define BM_SETCHECK 0x00F1
#define BM_CLICK 0x00F5
#define BST_UNCHECKED 0
#define BST_CHECKED 1
#define BN_CLICKED 0
#define EN_CHANGE 0x0300

enum class DialogControlKind { Static, Edit, ListBox, ComboBox, Button, DefButton, CheckBox, RadioButton, GroupBox };

// Positions and sizes are in dialog pixels (the window's client area, origin top left).
struct DialogItemTemplate {
    DialogControlKind Kind;
    int Id;
    std::string Text;
    int X, Y, Width, Height;
    bool Disabled = false;
};

struct DialogTemplate {
    std::string Title;
    int Width, Height;
    std::vector<DialogItemTemplate> Items;
};

// Runs the dialog modally: WM_INITDIALOG (wParam = the control to get the focus, lParam =
// `param`), then WM_COMMAND for every user action until EndDialog. Returns EndDialog's value;
// -1 with a trace when the template or procedure is missing or no window can be shown.
INT_PTR DialogBoxIndirectParamA(HINSTANCE instance, const DialogTemplate* dialogTemplate, HWND parent, DLGPROC proc,
                                LPARAM param);
// Templates are registered under a resource id (or name) for DialogBoxParamA.
void RegisterDialogTemplate(LPCSTR name, const DialogTemplate& dialogTemplate);
INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND parent, DLGPROC proc, LPARAM param);
BOOL EndDialog(HWND dialog, INT_PTR result);

HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND control);
LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);
// Messages to a control handle (the core's SendMessageA serves program windows).
LRESULT DialogSendMessage(HWND control, UINT message, WPARAM wParam, LPARAM lParam);
BOOL EnableWindow(HWND control, BOOL enable);
BOOL IsWindowEnabled(HWND control);
BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text);
UINT GetDlgItemTextA(HWND dialog, int id, LPSTR text, int size);
BOOL CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);

// --- Test hook ------------------------------------------------------------------------------
// While a driver is set, modal dialogs open no window: after WM_INITDIALOG the driver is called
// with the dialog and acts as a user would through the calls below. A dialog still open when
// the driver returns ends as IDCANCEL (with a trace), so a test never hangs.
void DialogSetTestDriver(std::function<void(HWND dialog)> driver);
// Chooses entry `index` of a list or combo box and notifies the procedure. False when the
// control is missing, disabled or has no such entry.
bool DialogTestSelect(HWND dialog, int id, int index);
// Clicks a button, check box or radio button. False when missing or disabled.
bool DialogTestClick(HWND dialog, int id);
enum class DialogKey { Tab, ShiftTab, Up, Down, Left, Right, Enter, Escape, Space };
// A key as the keyboard would deliver it to the focused control.
void DialogTestKey(HWND dialog, DialogKey key);
// The id of the focused control (0 when none).
int DialogTestFocus(HWND dialog);
// The texts of a list or combo box's entries, in order.
std::vector<std::string> DialogTestEntries(HWND dialog, int id);
// The dialog's picture as the window would show it: RGB, 3 bytes a pixel, top row first.
bool DialogTestRender(HWND dialog, int& width, int& height, std::vector<uint8_t>& rgb);
