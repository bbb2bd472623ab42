// Shared by the dialog layer's own files; not an interface for programs.
#pragma once

#include "platform/dialogs/dialog_text.h"
#include "platform/dialogs/dialogs.h"

#include <memory>
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

}  // namespace dialogs_detail
