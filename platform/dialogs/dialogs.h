// Dialogs built from templates made in code: modal (DialogBox) and modeless (CreateDialog), each
// a top-level window of the core with controls addressed by id (static, edit, list box, combo
// box, push button, check box, push-like check box, radio button, group box). Text is drawn
// with FreeType (DejaVu Sans). Keyboard and mouse work as users expect: Tab moves the focus,
// Enter presses the default button, Escape and the close box send IDCANCEL, Alt+letter presses
// a mnemonic, arrows move in lists, a double click in a list sends LBN_DBLCLK.
//
// Threads: a dialog belongs to the thread that made it. From other threads PostMessageA works as
// for any window, and EndDialog, SendMessageA, SendDlgItemMessageA, EnableWindow, ShowWindow and
// SetDlgItemTextA are carried out on the dialog's thread (EndDialog without waiting; the others
// wait until that thread's next message call runs them).
//
// Frames: while a dialog is open and the program presents no frames of its own, the dialog
// layer presents one every 16 ms (when a script, a test or the fixed-step clock counts them;
// every 250 ms otherwise), so that script frame numbers and the fixed-step clock keep moving
// while, for example, a modal loop runs. Script screenshots show the open dialogs over the
// program's picture. Tests act on dialogs through dialogs_testing.h.
#pragma once

#include "platform/win32/win32.h"

#include <string>
#include <vector>

typedef INT_PTR(CALLBACK* DLGPROC)(HWND, UINT, WPARAM, LPARAM);

// Window messages dialogs use.
#define WM_SETREDRAW 0x000B
#ifndef WM_GETTEXTLENGTH
#define WM_GETTEXTLENGTH 0x000E
#endif
#define WM_NEXTDLGCTL 0x0028
#define WM_SETICON 0x0080
#define ICON_SMALL 0
#define ICON_BIG 1

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
#define LB_GETTOPINDEX 0x018E
#define LB_SETTOPINDEX 0x0197
#define LB_GETITEMDATA 0x0199
#define LB_SETITEMDATA 0x019A
#define LB_ERR (-1)
#define LBN_SELCHANGE 1
#define LBN_DBLCLK 2

// Edit controls.
#define EM_LIMITTEXT 0x00C5
#define EM_SETLIMITTEXT EM_LIMITTEXT
#define EN_CHANGE 0x0300

// Buttons.
#define BM_GETCHECK 0x00F0
#define BM_SETCHECK 0x00F1
#define BM_CLICK 0x00F5
#define BST_UNCHECKED 0
#define BST_CHECKED 1
#define BN_CLICKED 0
#define BS_PUSHLIKE 0x00001000L

enum class DialogControlKind { Static, Edit, ListBox, ComboBox, Button, DefButton, CheckBox, RadioButton, GroupBox };

// Positions and sizes are in dialog pixels (the window's client area, origin top left).
struct DialogItemTemplate {
    DialogControlKind Kind;
    int Id;
    std::string Text;
    int X, Y, Width, Height;
    bool Disabled = false;
    DWORD Style = 0;      // BS_PUSHLIKE for a check box drawn and pressed like a button
    bool Hidden = false;  // made without WS_VISIBLE
};

struct DialogTemplate {
    std::string Title;
    int Width, Height;
    std::vector<DialogItemTemplate> Items;
    bool Visible = true;  // a modeless dialog without WS_VISIBLE stays hidden until ShowWindow
};

// Runs the dialog modally: WM_INITDIALOG (wParam = the control to get the focus, lParam =
// `param`), then WM_COMMAND, WM_TIMER and posted messages until EndDialog. An owner that is a
// dialog is disabled meanwhile; other windows of the program keep getting their messages
// (painting, posted notifications) but no keyboard or mouse input. A WM_QUIT taken meanwhile
// ends the dialog as IDCANCEL and is posted again for the program's own loop. Returns
// EndDialog's value; -1 with a trace when the template or procedure is missing or no window can
// be made.
INT_PTR DialogBoxIndirectParamA(HINSTANCE instance, const DialogTemplate* dialogTemplate, HWND parent, DLGPROC proc,
                                LPARAM param);
// Templates are registered under a resource id (or name) for DialogBoxParamA and
// CreateDialogParamA.
void RegisterDialogTemplate(LPCSTR name, const DialogTemplate& dialogTemplate);
INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND parent, DLGPROC proc, LPARAM param);
// A modeless dialog: returns after WM_INITDIALOG; the program's own message loop serves it
// (GetMessageA, TranslateMessage, DispatchMessageA). Ends with DestroyWindow. Null with a trace
// on a bad template or procedure.
HWND CreateDialogIndirectParamA(HINSTANCE instance, const DialogTemplate* dialogTemplate, HWND parent, DLGPROC proc,
                                LPARAM param);
HWND CreateDialogParamA(HINSTANCE instance, LPCSTR templateName, HWND parent, DLGPROC proc, LPARAM param);
// Ends a modal dialog (hides a modeless one). Any thread.
BOOL EndDialog(HWND dialog, INT_PTR result);

HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND control);
LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);
// Messages to a control handle (SendMessageA does the same).
LRESULT DialogSendMessage(HWND control, UINT message, WPARAM wParam, LPARAM lParam);
// Controls and dialogs. A disabled dialog takes no keyboard or mouse input.
BOOL EnableWindow(HWND window, BOOL enable);
BOOL IsWindowEnabled(HWND window);
BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text);
UINT GetDlgItemTextA(HWND dialog, int id, LPSTR text, int size);
BOOL CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);
UINT GetDoubleClickTime();
