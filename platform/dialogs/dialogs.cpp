#include "platform/dialogs/dialogs.h"

#include "platform/dialogs/dialogs_internal.h"
#include "platform/win32/platform_internal.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

using namespace dialogs_detail;
using dialog_text::Canvas;

namespace {

// Messages of the layer's own, in the range of registered messages; never given to procedures.
constexpr UINT MsgEndDialog = 0xC7D0;   // wParam: the result
constexpr UINT MsgFrameTick = 0xC7D1;
constexpr UINT MsgRunActions = 0xC7D2;
constexpr UINT MsgCall = 0xC7D3;        // lParam: std::function<LRESULT()>*
constexpr UINT_PTR IdleTimerId = 0xD1A1;  // a modal dialog asks whether anybody can answer it
constexpr DWORD IdleCheckMs = 200;
// A script's dialog line waits this long for its control, the script standing still meanwhile: it
// may wait on another program (the other computer of a two-computer run), which a busy machine
// may hold back for minutes. A line for a dialog that never comes is dropped at last, so that the
// rest of the script still runs.
constexpr DWORD ActionPatienceMs = 300000;
constexpr const char* ClassName = "PlatformDialogWindow";

struct ControlEntry {
    HWND dialog;
    std::thread::id owner;
    Dialog* d;
    Control* c;
};

// The tables below are never destroyed: a program's static objects may still destroy their
// dialogs while it exits, after tables destroyed in order would be gone.
// Dialogs by window; the records themselves are used on their own thread only.
auto& g_dialogs = *new std::map<HWND, std::unique_ptr<Dialog>>;
auto& g_graveyard = *new std::vector<std::unique_ptr<Dialog>>;  // destroyed, freed when no call is running on them
int g_wndProcDepth = 0;
uint64_t g_nextOrder = 1;

// What other threads may look up, under g_handleMutex.
std::mutex g_handleMutex;
auto& g_controls = *new std::map<HWND, ControlEntry>;
auto& g_dialogOwners = *new std::map<HWND, std::thread::id>;

auto& g_templates = *new std::map<std::string, DialogTemplate>;
std::function<void(HWND)> g_driver;
std::function<void()> g_ticker;
uintptr_t g_nextHandle = 0xD1A10000u;
ATOM g_class = 0;

struct PendingAction {
    int line;
    int id;
    std::string action;
    std::string argument;
    std::chrono::steady_clock::time_point queued;
};
auto& g_actions = *new std::deque<PendingAction>;

// --- Frame pump -----------------------------------------------------------------------------
std::mutex g_pumpMutex;
auto& g_pumpWake = *new std::condition_variable;
std::thread* g_pumpThread = nullptr;
bool g_pumpStop = false;
std::atomic<HWND> g_pumpTarget{nullptr};
std::atomic<bool> g_tickOutstanding{false};
// Frames every 16 ms while something counts them (a script, a test, the fixed-step clock);
// otherwise a tick now and then is enough, and the program stays idle.
std::atomic<int> g_tickMs{16};
constexpr int EagerTickMs = 16, IdleTickMs = 250;
uint64_t g_framesAfterMine = 0;
std::chrono::steady_clock::time_point g_othersPresented{};

HWND NewHandle() { return reinterpret_cast<HWND>(g_nextHandle++); }

bool IsList(const Control* c)
{
    return c->kind == DialogControlKind::ListBox || c->kind == DialogControlKind::ComboBox;
}

bool IsButton(const Control* c)
{
    return c->kind == DialogControlKind::Button || c->kind == DialogControlKind::DefButton ||
           c->kind == DialogControlKind::CheckBox || c->kind == DialogControlKind::RadioButton;
}

bool Focusable(const Control* c)
{
    return c->enabled && c->visible && c->kind != DialogControlKind::Static && c->kind != DialogControlKind::GroupBox;
}

int IndexOf(Dialog* d, const Control* c)
{
    for (size_t i = 0; i < d->controls.size(); ++i)
        if (d->controls[i].get() == c) return static_cast<int>(i);
    return -1;
}

Control* Focused(Dialog* d)
{
    if (d->focus < 0 || d->focus >= static_cast<int>(d->controls.size())) return nullptr;
    return d->controls[d->focus].get();
}

void CloseDrops(Dialog* d)
{
    for (auto& c : d->controls) c->dropped = false;
}

void SetFocusTo(Dialog* d, Control* c, bool selectAll = false)
{
    int index = IndexOf(d, c);
    if (index < 0 || !Focusable(c)) return;
    if (index != d->focus) {
        CloseDrops(d);
        if (Control* old = Focused(d)) old->allSelected = false;
        if (c->kind == DialogControlKind::Edit) {
            c->allSelected = selectAll && !c->text.empty();
            c->caret = c->text.size();
        }
    }
    d->focus = index;
    d->dirty = true;
}

void MoveFocus(Dialog* d, int step)
{
    int n = static_cast<int>(d->controls.size());
    if (n == 0) return;
    int start = d->focus < 0 ? (step > 0 ? -1 : 0) : d->focus;
    for (int k = 1; k <= n; ++k) {
        int i = ((start + step * k) % n + n) % n;
        if (Focusable(d->controls[i].get())) {
            SetFocusTo(d, d->controls[i].get(), true);
            return;
        }
    }
}

// Keeps the focus on something that can take it after a control was disabled or hidden.
void RepairFocus(Dialog* d)
{
    Control* f = Focused(d);
    if (f && Focusable(f)) return;
    if (f) {
        f->dropped = false;
        f->held = false;
    }
    MoveFocus(d, 1);
    if (Focused(d) && !Focusable(Focused(d))) d->focus = -1;
}

bool Alive(Dialog* d) { return d && !d->destroyed; }

void Notify(Dialog* d, Control* c, WORD code)
{
    if (!Alive(d) || d->ended || !d->proc) return;
    d->dirty = true;
    d->proc(d->hwnd, WM_COMMAND, MAKEWPARAM(c ? c->id : 0, code), c ? reinterpret_cast<LPARAM>(c->hwnd) : 0);
}

// A command as the keyboard or the close box gives it: nothing when the button of that id is
// there but disabled.
void SendCommand(Dialog* d, int id)
{
    Control* c = FindItem(d, id);
    if (c && (!c->enabled || !c->visible)) return;
    if (!Alive(d) || d->ended || !d->proc) return;
    d->dirty = true;
    d->proc(d->hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), c ? reinterpret_cast<LPARAM>(c->hwnd) : 0);
}

void KeepVisible(Control* c)
{
    int rows = VisibleRows(c);
    if (c->cursel >= 0) {
        if (c->cursel < c->top) c->top = c->cursel;
        if (rows > 0 && c->cursel >= c->top + rows) c->top = c->cursel - rows + 1;
    }
    c->top = std::max(0, std::min(c->top, std::max(0, static_cast<int>(c->items.size()) - rows)));
}

bool Click(Dialog* d, Control* c)
{
    if (!c || !Focusable(c) || !IsButton(c) || d->ended) return false;
    SetFocusTo(d, c);
    if (c->kind == DialogControlKind::CheckBox) {
        c->check = c->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
    } else if (c->kind == DialogControlKind::RadioButton) {
        // Radio buttons next to each other in the template form one group.
        int i = IndexOf(d, c);
        int first = i, last = i;
        while (first > 0 && d->controls[first - 1]->kind == DialogControlKind::RadioButton) --first;
        while (last + 1 < static_cast<int>(d->controls.size()) &&
               d->controls[last + 1]->kind == DialogControlKind::RadioButton)
            ++last;
        for (int k = first; k <= last; ++k) d->controls[k]->check = BST_UNCHECKED;
        c->check = BST_CHECKED;
    }
    Notify(d, c, BN_CLICKED);
    return true;
}

bool Select(Dialog* d, Control* c, int index)
{
    if (!c || !Focusable(c) || !IsList(c) || d->ended) return false;
    if (index < 0 || index >= static_cast<int>(c->items.size())) return false;
    SetFocusTo(d, c);
    c->cursel = index;
    KeepVisible(c);
    Notify(d, c, CBN_SELCHANGE);
    return true;
}

// --- Edit controls ----------------------------------------------------------------------------
void EditReplaceSelection(Control* c)
{
    if (c->allSelected) {
        c->text.clear();
        c->caret = 0;
        c->allSelected = false;
    }
}

// Characters typed into the focused edit; false when none was taken.
bool TypeInto(Dialog* d, Control* c, const std::string& chars)
{
    bool changed = false;
    for (char ch : chars) {
        unsigned char u = static_cast<unsigned char>(ch);
        if (u < 0x20 || u == 0x7F) continue;
        if (c->allSelected) {
            EditReplaceSelection(c);
            changed = true;
        }
        if (c->text.size() >= c->limit) break;  // full: the desktop beeps and keeps the text
        c->caret = std::min(c->caret, c->text.size());
        c->text.insert(c->text.begin() + static_cast<ptrdiff_t>(c->caret), ch);
        ++c->caret;
        changed = true;
    }
    if (changed) Notify(d, c, EN_CHANGE);
    return changed;
}

// The focus in the edit and `text` typed over all it holds (an empty text clears it).
void ReplaceEditText(Dialog* d, Control* c, const std::string& text)
{
    SetFocusTo(d, c);
    c->allSelected = !c->text.empty();
    if (text.empty()) {
        EditReplaceSelection(c);
        Notify(d, c, EN_CHANGE);
    } else {
        TypeInto(d, c, text);
    }
}

// Backspace takes the character before the caret, Delete the one after it; either takes the
// whole text instead while all of it is selected.
enum class EraseSide { BeforeCaret, AfterCaret };

void EditErase(Dialog* d, Control* c, EraseSide side)
{
    if (c->allSelected) {
        EditReplaceSelection(c);
        Notify(d, c, EN_CHANGE);
        return;
    }
    c->caret = std::min(c->caret, c->text.size());
    if (side == EraseSide::BeforeCaret) {
        if (c->caret == 0) return;
        --c->caret;
    } else if (c->caret >= c->text.size()) {
        return;
    }
    c->text.erase(c->caret, 1);
    Notify(d, c, EN_CHANGE);
}

// --- Keyboard ---------------------------------------------------------------------------------
Control* DefaultButton(Dialog* d)
{
    for (auto& c : d->controls)
        if (c->kind == DialogControlKind::DefButton && Focusable(c.get())) return c.get();
    return nullptr;
}

void RadioStep(Dialog* d, Control* c, int step)
{
    int i = IndexOf(d, c) + step;
    while (i >= 0 && i < static_cast<int>(d->controls.size()) &&
           d->controls[i]->kind == DialogControlKind::RadioButton) {
        Control* next = d->controls[i].get();
        if (Focusable(next)) {
            Click(d, next);
            return;
        }
        i += step;
    }
}

void ListStep(Dialog* d, Control* f, int target)
{
    int count = static_cast<int>(f->items.size());
    if (count == 0) return;
    target = std::max(0, std::min(target, count - 1));
    if (target != f->cursel) Select(d, f, target);
}

// A key press as the dialog manager handles it. Returns false for keys it leaves alone.
bool KeyDown(Dialog* d, int vk, bool shift)
{
    if (d->ended) return false;
    Control* f = Focused(d);
    d->dirty = true;
    const bool edit = f && f->kind == DialogControlKind::Edit;
    switch (vk) {
    case VK_TAB: MoveFocus(d, shift ? -1 : 1); return true;
    case VK_UP:
    case VK_DOWN:
    case VK_LEFT:
    case VK_RIGHT: {
        int step = (vk == VK_UP || vk == VK_LEFT) ? -1 : 1;
        if (edit && (vk == VK_LEFT || vk == VK_RIGHT)) {
            if (f->allSelected) {
                f->allSelected = false;
                f->caret = step < 0 ? 0 : f->text.size();
            } else if (step < 0 && f->caret > 0) {
                --f->caret;
            } else if (step > 0 && f->caret < f->text.size()) {
                ++f->caret;
            }
        } else if (f && IsList(f)) {
            ListStep(d, f, f->cursel < 0 ? 0 : f->cursel + step);
        } else if (f && f->kind == DialogControlKind::RadioButton) {
            RadioStep(d, f, step);
        } else {
            MoveFocus(d, step);
        }
        return true;
    }
    case VK_HOME:
    case VK_END:
        if (edit) {
            f->allSelected = false;
            f->caret = vk == VK_HOME ? 0 : f->text.size();
        } else if (f && IsList(f)) {
            ListStep(d, f, vk == VK_HOME ? 0 : static_cast<int>(f->items.size()) - 1);
        }
        return true;
    case VK_PRIOR:
    case VK_NEXT:
        if (f && IsList(f)) {
            int page = std::max(1, VisibleRows(f) - 1);
            ListStep(d, f, (f->cursel < 0 ? 0 : f->cursel) + (vk == VK_PRIOR ? -page : page));
        }
        return true;
    case VK_DELETE:
        if (edit) EditErase(d, f, EraseSide::AfterCaret);
        return true;
    case VK_SPACE:
        if (f && IsButton(f)) Click(d, f);
        else if (f && f->kind == DialogControlKind::ComboBox) f->dropped = !f->dropped;
        return true;
    case VK_RETURN:
        if (f && f->dropped) {
            f->dropped = false;
        } else if (f && (f->kind == DialogControlKind::Button || f->kind == DialogControlKind::DefButton)) {
            Click(d, f);
        } else if (Control* def = DefaultButton(d)) {
            Click(d, def);
        } else {
            SendCommand(d, IDOK);
        }
        return true;
    case VK_ESCAPE:
        if (f && f->dropped)
            f->dropped = false;
        else
            SendCommand(d, IDCANCEL);
        return true;
    default: return false;
    }
}

// The letter after '&' in a control's text, lower case (0 when none).
char Mnemonic(const std::string& text)
{
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '&') {
            if (text[i + 1] == '&') {
                ++i;
                continue;
            }
            return static_cast<char>(std::tolower(static_cast<unsigned char>(text[i + 1])));
        }
    }
    return 0;
}

bool MnemonicKey(Dialog* d, char letter)
{
    letter = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
    for (size_t i = 0; i < d->controls.size(); ++i) {
        Control* c = d->controls[i].get();
        if (!c->visible || Mnemonic(c->text) != letter) continue;
        if (c->kind == DialogControlKind::Static || c->kind == DialogControlKind::GroupBox) {
            // A label hands the focus to the control after it.
            for (size_t k = i + 1; k < d->controls.size(); ++k)
                if (Focusable(d->controls[k].get())) {
                    SetFocusTo(d, d->controls[k].get(), true);
                    return true;
                }
            return true;
        }
        if (!c->enabled) continue;
        if (IsButton(c))
            Click(d, c);
        else
            SetFocusTo(d, c, true);
        return true;
    }
    return false;
}

void CharTyped(Dialog* d, unsigned ch)
{
    Control* f = Focused(d);
    if (f && f->kind == DialogControlKind::Edit) {
        if (ch == 8)
            EditErase(d, f, EraseSide::BeforeCaret);
        else if (ch >= 0x20 && ch != 0x7F && ch <= 0xFF)
            TypeInto(d, f, std::string(1, static_cast<char>(ch)));
        return;
    }
    // Where no edit takes the letter, it is a mnemonic.
    if (ch > 0x20 && ch < 0x7F && std::isalnum(static_cast<int>(ch))) MnemonicKey(d, static_cast<char>(ch));
}

// --- Mouse ------------------------------------------------------------------------------------
bool Inside(const Control* c, int x, int y, int height)
{
    return x >= c->x && x < c->x + c->w && y >= c->y && y < c->y + height;
}

void ScrollList(Dialog* d, Control* c, int amount)
{
    int rows = VisibleRows(c);
    c->top = std::max(0, std::min(c->top + amount, std::max(0, static_cast<int>(c->items.size()) - rows)));
    d->dirty = true;
}

void MouseDown(Dialog* d, int x, int y)
{
    d->dirty = true;
    d->pressed = nullptr;
    for (auto& cp : d->controls) {
        Control* c = cp.get();
        if (!c->dropped) continue;
        int ly = c->y + ComboBoxHeight() + 1;
        int rows = VisibleRows(c);
        c->dropped = false;
        if (x >= c->x && x < c->x + c->w && y >= ly && y < ly + rows * ListRowHeight()) {
            int index = c->top + (y - ly) / ListRowHeight();
            if (index != c->cursel) Select(d, c, index);
        }
        return;
    }
    for (auto it = d->controls.rbegin(); it != d->controls.rend(); ++it) {
        Control* c = it->get();
        if (!Focusable(c)) continue;
        int height = c->kind == DialogControlKind::ComboBox ? ComboBoxHeight() : c->h;
        if (!Inside(c, x, y, height)) continue;
        SetFocusTo(d, c);
        if (IsButton(c)) {
            d->pressed = c;
            c->held = true;
        } else if (c->kind == DialogControlKind::ComboBox) {
            c->dropped = !c->items.empty();
            KeepVisible(c);
        } else if (c->kind == DialogControlKind::ListBox) {
            if (ListHasScrollBar(c) && x >= c->x + c->w - 2 - ScrollBarWidth) {
                int inner = c->h - 4;
                int ry = y - c->y - 2;
                int rows = VisibleRows(c);
                if (ry < ScrollBarWidth)
                    ScrollList(d, c, -1);
                else if (ry >= inner - ScrollBarWidth)
                    ScrollList(d, c, 1);
                else {
                    int count = static_cast<int>(c->items.size());
                    int track = inner - 2 * ScrollBarWidth;
                    int thumb = std::max(8, track * rows / count);
                    int pos = (track - thumb) * c->top / std::max(1, count - rows);
                    ScrollList(d, c, ry - ScrollBarWidth < pos ? -rows : rows);
                }
                return;
            }
            int index = c->top + (y - c->y - 2) / ListRowHeight();
            if (index < 0 || index >= static_cast<int>(c->items.size())) return;
            DWORD now = GetMessageTime();
            bool twice = d->lastClickId == c->id && d->lastClickIndex == index &&
                         now - d->lastClickTime <= GetDoubleClickTime();
            if (index != c->cursel) Select(d, c, index);
            if (twice) {
                d->lastClickId = 0;
                d->lastClickIndex = -1;
                Notify(d, c, LBN_DBLCLK);
            } else {
                d->lastClickId = c->id;
                d->lastClickIndex = index;
                d->lastClickTime = now;
            }
        } else if (c->kind == DialogControlKind::Edit) {
            c->allSelected = false;
            c->caret = dialog_text::CharacterAt(c->text, x - c->x - 4);
        }
        return;
    }
}

void MouseMove(Dialog* d, int x, int y)
{
    if (Control* c = d->pressed) {
        bool in = Inside(c, x, y, c->h);
        if (in != c->held) {
            c->held = in;
            d->dirty = true;
        }
    }
}

void MouseUp(Dialog* d, int x, int y)
{
    Control* c = d->pressed;
    d->pressed = nullptr;
    if (!c) return;
    c->held = false;
    d->dirty = true;
    if (Inside(c, x, y, c->h)) Click(d, c);
}

// --- Messages to controls ---------------------------------------------------------------------
LRESULT ControlMessage(Dialog* d, Control* c, UINT message, WPARAM wParam, LPARAM lParam)
{
    d->dirty = true;
    const bool list = IsList(c);
    const int count = static_cast<int>(c->items.size());
    const int index = static_cast<int>(static_cast<INT_PTR>(wParam));
    const bool valid = index >= 0 && index < count;
    switch (message) {
    case CB_ADDSTRING:
    case LB_ADDSTRING:
        if (!list) break;
        c->items.emplace_back(lParam ? reinterpret_cast<const char*>(lParam) : "");
        c->data.push_back(0);
        return count;
    case CB_DELETESTRING:
    case LB_DELETESTRING:
        if (!list) break;
        if (!valid) return CB_ERR;
        c->items.erase(c->items.begin() + index);
        c->data.erase(c->data.begin() + index);
        if (c->cursel == index)
            c->cursel = -1;
        else if (c->cursel > index)
            --c->cursel;
        if (c->top > index) --c->top;
        KeepVisible(c);
        return count - 1;
    case CB_GETCOUNT:
    case LB_GETCOUNT:
        if (!list) break;
        return count;
    case CB_GETCURSEL:
    case LB_GETCURSEL:
        if (!list) break;
        return c->cursel;
    case CB_SETCURSEL:
    case LB_SETCURSEL:
        if (!list) break;
        if (!valid) {
            c->cursel = -1;
            return CB_ERR;
        }
        c->cursel = index;
        KeepVisible(c);
        return index;
    case CB_GETLBTEXT:
    case LB_GETTEXT:
        if (!list) break;
        if (!valid || !lParam) return CB_ERR;
        std::memcpy(reinterpret_cast<char*>(lParam), c->items[index].c_str(), c->items[index].size() + 1);
        return static_cast<LRESULT>(c->items[index].size());
    case CB_GETLBTEXTLEN:
    case LB_GETTEXTLEN:
        if (!list) break;
        return valid ? static_cast<LRESULT>(c->items[index].size()) : CB_ERR;
    case CB_RESETCONTENT:
    case LB_RESETCONTENT:
        if (!list) break;
        c->items.clear();
        c->data.clear();
        c->cursel = -1;
        c->top = 0;
        c->dropped = false;
        return 0;
    case CB_GETITEMDATA:
    case LB_GETITEMDATA:
        if (!list) break;
        return valid ? c->data[index] : CB_ERR;
    case CB_SETITEMDATA:
    case LB_SETITEMDATA:
        if (!list) break;
        if (!valid) return CB_ERR;
        c->data[index] = lParam;
        return 0;
    case LB_GETTOPINDEX:
        if (c->kind != DialogControlKind::ListBox) break;
        return c->top;
    case LB_SETTOPINDEX:
        if (c->kind != DialogControlKind::ListBox) break;
        if (index < 0 || (count > 0 && index >= count)) return LB_ERR;
        // The list scrolls no further than its last full page; the selection may go out of view.
        c->top = std::max(0, std::min(index, std::max(0, count - VisibleRows(c))));
        return 0;
    case EM_LIMITTEXT:
        if (c->kind != DialogControlKind::Edit) break;
        c->limit = wParam == 0 ? 0x7FFFFFFE : static_cast<size_t>(wParam);
        return 0;
    case BM_GETCHECK:
        if (!IsButton(c)) break;
        return c->check;
    case BM_SETCHECK:
        if (!IsButton(c)) break;
        c->check = wParam == BST_CHECKED ? BST_CHECKED : BST_UNCHECKED;
        return 0;
    case BM_CLICK:
        if (!IsButton(c)) break;
        Click(d, c);
        return 0;
    case WM_SETTEXT:
        c->text = lParam ? reinterpret_cast<const char*>(lParam) : "";
        c->caret = c->text.size();
        c->allSelected = false;
        return TRUE;
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(c->text.size());
    case WM_GETTEXT: {
        if (!lParam || wParam == 0) return 0;
        size_t n = std::min(c->text.size(), static_cast<size_t>(wParam) - 1);
        std::memcpy(reinterpret_cast<char*>(lParam), c->text.data(), n);
        reinterpret_cast<char*>(lParam)[n] = 0;
        return static_cast<LRESULT>(n);
    }
    case WM_SETREDRAW:
        c->redraw = wParam != 0;
        return 0;
    case WM_PAINT:  // InvalidateRect on the control: the dialog draws it
    case WM_ENABLE: return 0;
    default: break;
    }
    PlatformTrace("dialogs: control %d does not take message 0x%04X", c->id, message);
    return list ? CB_ERR : 0;
}

// Runs `f` on the thread of the dialog: at once on it, else through the dialog's queue
// (waiting until that thread's next message call has run it).
LRESULT OnDialogThread(HWND dialog, std::thread::id owner, const std::function<LRESULT()>& f)
{
    if (std::this_thread::get_id() == owner) return f();
    std::function<LRESULT()> copy = f;
    return SendMessageA(dialog, MsgCall, 0, reinterpret_cast<LPARAM>(&copy));
}

bool LookUpControl(HWND control, ControlEntry& entry)
{
    std::lock_guard<std::mutex> lock(g_handleMutex);
    auto it = g_controls.find(control);
    if (it == g_controls.end()) return false;
    entry = it->second;
    return true;
}

bool LookUpDialogOwner(HWND dialog, std::thread::id& owner)
{
    std::lock_guard<std::mutex> lock(g_handleMutex);
    auto it = g_dialogOwners.find(dialog);
    if (it == g_dialogOwners.end()) return false;
    owner = it->second;
    return true;
}

// On the control's thread: its record, or null when it went away meanwhile.
bool ControlHere(HWND control, Dialog*& d, Control*& c)
{
    ControlEntry entry;
    if (!LookUpControl(control, entry) || !Alive(entry.d)) return false;
    d = entry.d;
    c = entry.c;
    return true;
}

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

// --- Presenting -------------------------------------------------------------------------------
void Present(Dialog* d)
{
    if (!Alive(d)) return;
    for (auto& c : d->controls)
        if (!c->redraw) return;  // drawn again when redrawing is switched back on
    d->dirty = false;
    SDL_Window* window = PlatformSdlWindow(d->hwnd);
    if (!window || !IsWindowVisible(d->hwnd)) return;
    SDL_Surface* target = SDL_GetWindowSurface(window);
    if (!target) return;
    Canvas cv;
    RenderClient(d, cv);
    SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(cv.rgb.data(), cv.w, cv.h, 24, cv.w * 3,
                                                             SDL_PIXELFORMAT_RGB24);
    if (!source) return;
    SDL_BlitSurface(source, nullptr, target, nullptr);
    SDL_FreeSurface(source);
    SDL_UpdateWindowSurface(window);
}

bool Headless()
{
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return true;
    const char* driver = SDL_GetCurrentVideoDriver();
    return !driver || std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0;
}

// The newest dialog alive gets the frame ticks.
void RetargetPump()
{
    HWND target = nullptr;
    uint64_t best = 0;
    for (auto& [h, d] : g_dialogs)
        if (Alive(d.get()) && d->order >= best) {
            best = d->order;
            target = h;
        }
    // A tick on its way to a dialog that goes dies with it, and one on its way to a dialog that
    // stays is taken late at worst: either way the new target is owed its own, or a dialog left
    // below a box that closed with a tick outstanding would get none again.
    if (g_pumpTarget.exchange(target) != target || !target) g_tickOutstanding = false;
}

void PumpLoop()
{
    std::unique_lock<std::mutex> lock(g_pumpMutex);
    while (!g_pumpStop) {
        g_pumpWake.wait_for(lock, std::chrono::milliseconds(g_tickMs.load()));
        if (g_pumpStop) break;
        HWND target = g_pumpTarget.load();
        if (!target || g_tickOutstanding.exchange(true)) continue;
        lock.unlock();
        if (!PostMessageA(target, MsgFrameTick, 0, 0)) g_tickOutstanding = false;
        lock.lock();
    }
}

void StopPump()
{
    std::thread* thread;
    {
        std::lock_guard<std::mutex> lock(g_pumpMutex);
        thread = g_pumpThread;
        g_pumpThread = nullptr;
        g_pumpStop = true;
    }
    g_pumpWake.notify_all();
    if (thread) {
        thread->join();
        delete thread;
    }
}

void StartPump()
{
    std::lock_guard<std::mutex> lock(g_pumpMutex);
    if (g_pumpThread) return;
    static bool atExit = false;
    if (!atExit) {
        atExit = true;
        std::atexit(StopPump);
    }
    g_pumpStop = false;
    g_pumpThread = new std::thread(PumpLoop);
}

// A dialog frame: drawn where something changed, and counted as a presented frame when the
// program itself has not presented one for a while (it is waiting in a dialog's loop).
void RunActions();

void FrameTick()
{
    g_tickOutstanding = false;
    std::vector<HWND> handles;
    for (auto& [h, d] : g_dialogs) handles.push_back(h);
    for (HWND h : handles) {
        Dialog* d = FindDialog(h);
        if (d && d->dirty) Present(d);
    }
    auto now = std::chrono::steady_clock::now();
    if (PlatformFrameCount() != g_framesAfterMine) g_othersPresented = now;
    if (now - g_othersPresented >= std::chrono::milliseconds(100)) PlatformFramePresented();
    g_framesAfterMine = PlatformFrameCount();
    RunActions();
    const bool eager = PlatformFixedStepActive() || g_ticker || g_driver || !g_actions.empty() ||
                       PlatformPendingScriptEvents() > 0;
    g_tickMs = eager ? EagerTickMs : IdleTickMs;
    if (g_ticker) {
        auto ticker = g_ticker;
        ticker();
    }
}

// --- Script and queued actions ----------------------------------------------------------------
// The dialog that takes an action on control `id`: the frontmost open one that shows it enabled
// (and, to choose an entry, has that entry).
Dialog* ActionTarget(const PendingAction& a, Control*& control)
{
    const int id = a.id;
    int entry = -1;
    if (a.action == "select" || a.action == "dblclick") entry = std::atoi(a.argument.c_str());
    Dialog* best = nullptr;
    for (auto& [h, dp] : g_dialogs) {
        Dialog* d = dp.get();
        if (!Alive(d) || d->ended || !d->enabled || !d->initialised || !IsWindowVisible(h)) continue;
        Control* c = FindItem(d, id);
        if (!c || !c->visible || !c->enabled) continue;
        if (entry >= 0 && (!IsList(c) || entry >= static_cast<int>(c->items.size()))) continue;
        if (!best || d->order > best->order) {
            best = d;
            control = c;
        }
    }
    return best;
}

bool PerformAction(Dialog* d, Control* c, const PendingAction& a)
{
    if (a.action == "click") {
        if (!IsButton(c)) {
            PlatformTrace("script line %d: control %d is no button", a.line, a.id);
            return false;
        }
        return Click(d, c);
    }
    if (a.action == "text") {
        if (c->kind != DialogControlKind::Edit) {
            PlatformTrace("script line %d: control %d is no edit control", a.line, a.id);
            return false;
        }
        ReplaceEditText(d, c, a.argument);
        return true;
    }
    if (a.action == "select" || a.action == "dblclick") {
        int index = std::atoi(a.argument.c_str());
        if (!IsList(c) || index < 0 || index >= static_cast<int>(c->items.size())) {
            PlatformTrace("script line %d: control %d has no entry %d", a.line, a.id, index);
            return false;
        }
        if (index != c->cursel || a.action == "select") Select(d, c, index);
        SetFocusTo(d, c);
        if (a.action == "dblclick" && Alive(d) && !d->ended) Notify(d, c, LBN_DBLCLK);
        return true;
    }
    if (a.action == "key") {
        int vk = 0;
        // Single letters and digits are their own codes; names are looked up by the core.
        static const std::map<std::string, int> names = {
            {"VK_RETURN", VK_RETURN}, {"VK_ESCAPE", VK_ESCAPE}, {"VK_TAB", VK_TAB},     {"VK_SPACE", VK_SPACE},
            {"VK_UP", VK_UP},         {"VK_DOWN", VK_DOWN},     {"VK_LEFT", VK_LEFT},   {"VK_RIGHT", VK_RIGHT},
            {"VK_HOME", VK_HOME},     {"VK_END", VK_END},       {"VK_PRIOR", VK_PRIOR}, {"VK_NEXT", VK_NEXT},
            {"VK_BACK", VK_BACK},     {"VK_DELETE", VK_DELETE}, {"VK_F4", VK_F4}};
        auto it = names.find(a.argument);
        if (it != names.end())
            vk = it->second;
        else if (a.argument.size() == 1 && std::isalnum(static_cast<unsigned char>(a.argument[0])))
            vk = std::toupper(static_cast<unsigned char>(a.argument[0]));
        if (!vk) {
            PlatformTrace("script line %d: key %s is not one a dialog takes", a.line, a.argument.c_str());
            return false;
        }
        return DialogTestPostKey(d->hwnd, c->id, vk);
    }
    PlatformTrace("script line %d: unknown dialog action \"%s\"", a.line, a.action.c_str());
    return false;
}

void RunActions()
{
    while (!g_actions.empty()) {
        PendingAction a = g_actions.front();
        Control* c = nullptr;
        Dialog* d = ActionTarget(a, c);
        if (!d) {
            if (std::chrono::steady_clock::now() - a.queued < std::chrono::milliseconds(ActionPatienceMs)) return;
            PlatformTrace("script line %d: no open dialog showed control %d enabled within %u s; \"%s\" dropped",
                          a.line, a.id, static_cast<unsigned>(ActionPatienceMs / 1000), a.action.c_str());
            g_actions.pop_front();
            continue;
        }
        // Taken off first: the action may run a nested dialog that carries out the next ones.
        g_actions.pop_front();
        PerformAction(d, c, a);
    }
}

void WakeActions()
{
    HWND target = g_pumpTarget.load();
    if (target && !g_actions.empty()) PostMessageA(target, MsgRunActions, 0, 0);
}

void QueueAction(int line, int id, const std::string& action, const std::string& argument)
{
    g_actions.push_back(PendingAction{line, id, action, argument, std::chrono::steady_clock::now()});
    WakeActions();
}

// --- Screenshots ------------------------------------------------------------------------------
bool OverlayDialogs(int& w, int& h, std::vector<uint8_t>& rgb, bool haveFrame)
{
    std::vector<Dialog*> shown;
    for (auto& [hwnd, d] : g_dialogs)
        if (Alive(d.get()) && IsWindowVisible(hwnd)) shown.push_back(d.get());
    if (shown.empty()) return haveFrame;
    std::sort(shown.begin(), shown.end(), [](Dialog* a, Dialog* b) { return a->order < b->order; });
    // Everything in notional screen coordinates of the client areas.
    HWND main = PlatformMainWindow();
    bool mainIsDialog = main && FindDialog(main) != nullptr;
    POINT origin{0, 0};
    Canvas cv;
    if (haveFrame && main && !mainIsDialog) {
        ClientToScreen(main, &origin);
        cv.w = w;
        cv.h = h;
        cv.rgb = std::move(rgb);
        cv.NoClip();
    } else {
        // No picture of the program's: the dialogs on a plain desktop.
        long left = LONG_MAX, top = LONG_MAX, right = LONG_MIN, bottom = LONG_MIN;
        for (Dialog* d : shown) {
            POINT p{0, 0};
            ClientToScreen(d->hwnd, &p);
            left = std::min<long>(left, p.x - FrameWidth);
            top = std::min<long>(top, p.y - FrameWidth - CaptionHeight);
            right = std::max<long>(right, p.x + d->w + FrameWidth);
            bottom = std::max<long>(bottom, p.y + d->h + FrameWidth);
        }
        const int margin = 16;
        origin = POINT{static_cast<LONG>(left - margin), static_cast<LONG>(top - margin)};
        cv.Reset(static_cast<int>(right - left) + 2 * margin, static_cast<int>(bottom - top) + 2 * margin, 0x3A6EA5);
    }
    HWND active = GetActiveWindow();
    for (Dialog* d : shown) {
        POINT p{0, 0};
        ClientToScreen(d->hwnd, &p);
        SDL_Window* window = PlatformSdlWindow(d->hwnd);
        std::string title = window && SDL_GetWindowTitle(window) ? SDL_GetWindowTitle(window) : d->title;
        Canvas framed;
        RenderFramed(d, title, d->hwnd == active, framed);
        cv.Paste(framed, static_cast<int>(p.x - origin.x) - FrameWidth,
                 static_cast<int>(p.y - origin.y) - FrameWidth - CaptionHeight);
    }
    w = cv.w;
    h = cv.h;
    rgb = std::move(cv.rgb);
    return true;
}

// --- Registration with the core ---------------------------------------------------------------
LRESULT CALLBACK DialogWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

bool ShowControl(Dialog* d, Control* c, int cmdShow)
{
    bool was = c->visible;
    c->visible = cmdShow != SW_HIDE;
    if (!c->visible) {
        c->dropped = false;
        RepairFocus(d);
    }
    d->dirty = true;
    return was;
}

void RegisterWithCore()
{
    static bool done = false;
    if (done) return;
    done = true;
    PlatformChildWindows children;
    children.owns = [](HWND h) {
        std::lock_guard<std::mutex> lock(g_handleMutex);
        return g_controls.count(h) != 0;
    };
    children.send = [](HWND h, UINT msg, WPARAM wParam, LPARAM lParam) -> LRESULT {
        return DialogSendMessage(h, msg, wParam, lParam);
    };
    children.show = [](HWND h, int cmd) -> BOOL {
        LRESULT was = FALSE;
        OnControl(h, was, [cmd](Dialog* d, Control* c) { return ShowControl(d, c, cmd); });
        return static_cast<BOOL>(was);
    };
    children.isVisible = [](HWND h) -> BOOL {
        LRESULT visible = FALSE;
        OnControl(h, visible, [](Dialog* d, Control* c) { return c->visible && IsWindowVisible(d->hwnd); });
        return static_cast<BOOL>(visible);
    };
    children.focus = [](HWND h) -> HWND {
        LRESULT old = 0;
        OnControl(h, old, [](Dialog* d, Control* c) {
            Control* before = Focused(d);
            SetFocusTo(d, c);
            SetFocus(d->hwnd);
            return reinterpret_cast<LRESULT>(before ? before->hwnd : nullptr);
        });
        return reinterpret_cast<HWND>(old);
    };
    PlatformSetChildWindows(std::move(children));
    PlatformSetMessageBoxProvider(ShowMessageBox);
    PlatformSetScriptDialogHandler([](int line, int id, const std::string& action, const std::string& argument) {
        QueueAction(line, id, action, argument);
    });
    PlatformSetScriptDialogWaiting([] { return !g_actions.empty(); });
    PlatformSetScreenshotOverlay(OverlayDialogs);
}

// Script lines may come before the first dialog: the hooks are in place from the start.
const bool g_registeredAtStart = (RegisterWithCore(), true);

bool RegisterClassOnce()
{
    if (g_class) return true;
    WNDCLASSA wc{};
    wc.lpfnWndProc = DialogWindowProc;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = ClassName;
    g_class = RegisterClassA(&wc);
    if (!g_class) PlatformTrace("dialogs: the dialog window class cannot be registered");
    return g_class != 0;
}

// Frees the records of destroyed dialogs once no call is running on them.
void Bury()
{
    if (g_wndProcDepth == 0) g_graveyard.clear();
}

void ForgetDialog(Dialog* d)
{
    {
        std::lock_guard<std::mutex> lock(g_handleMutex);
        for (auto& c : d->controls) g_controls.erase(c->hwnd);
        g_dialogOwners.erase(d->hwnd);
    }
    auto it = g_dialogs.find(d->hwnd);
    if (it != g_dialogs.end()) {
        g_graveyard.push_back(std::move(it->second));
        g_dialogs.erase(it);
    }
    RetargetPump();
    if (g_dialogs.empty()) {
        // Joined now rather than at exit; a new dialog starts it again.
        StopPump();
    }
}

bool AcceptsInput(HWND hwnd)
{
    Dialog* d = FindDialog(hwnd);
    if (!d) {
        ControlEntry e;
        if (!LookUpControl(hwnd, e)) return false;
        d = e.d;
    }
    return Alive(d) && d->enabled;
}

bool IsInputMessage(UINT message)
{
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) || (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST);
}

LRESULT CALLBACK DialogWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    Dialog* d = FindDialog(hwnd);
    if (!d) {
        if (msg == WM_CLOSE) return 0;  // never destroyed behind the program's back
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    ++g_wndProcDepth;
    struct Leave {
        ~Leave()
        {
            --g_wndProcDepth;
            Bury();
        }
    } leave;
    switch (msg) {
    case MsgCall: return (*reinterpret_cast<std::function<LRESULT()>*>(lParam))();
    case MsgEndDialog:
        if (!d->destroyed) {
            d->ended = true;
            d->result = static_cast<INT_PTR>(wParam);
            if (!d->modal) ShowWindow(hwnd, SW_HIDE);
        }
        return 0;
    case MsgFrameTick: FrameTick(); return 0;
    case MsgRunActions: RunActions(); return 0;
    case WM_PAINT:
        Present(d);
        return 0;
    case WM_ERASEBKGND: return 1;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (!d->enabled || d->destroyed) return 0;
        if (msg == WM_SYSKEYDOWN) {
            if (wParam == VK_F4) SendCommand(d, IDCANCEL);
            else if ((wParam >= 'A' && wParam <= 'Z') || (wParam >= '0' && wParam <= '9'))
                MnemonicKey(d, static_cast<char>(wParam));
            else
                return DefWindowProcA(hwnd, msg, wParam, lParam);
        } else {
            KeyDown(d, static_cast<int>(wParam), (GetKeyState(VK_SHIFT) & 0x8000) != 0);
        }
        if (Alive(d)) InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_CHAR:
        if (!d->enabled || d->destroyed) return 0;
        CharTyped(d, static_cast<unsigned>(wParam & 0xFF));
        if (Alive(d)) InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_KEYUP:
    case WM_SYSKEYUP:
    case WM_SYSCHAR: return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (!d->enabled || d->destroyed) return 0;
        MouseDown(d, static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam)));
        if (Alive(d)) InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_LBUTTONUP:
        if (d->destroyed) return 0;
        MouseUp(d, static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam)));
        if (Alive(d)) InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_MOUSEMOVE:
        MouseMove(d, static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam)));
        if (d->dirty) InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_MOUSEWHEEL: {
        if (!d->enabled) return 0;
        POINT p{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
        ScreenToClient(hwnd, &p);
        int notches = static_cast<SHORT>(HIWORD(wParam)) / 120;
        Control* target = nullptr;
        for (auto& c : d->controls)
            if (c->visible && c->kind == DialogControlKind::ListBox && Inside(c.get(), p.x, p.y, c->h)) target = c.get();
        if (!target && Focused(d) && IsList(Focused(d))) target = Focused(d);
        if (target) {
            ScrollList(d, target, -3 * notches);
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        return 0;
    }
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP: return 0;
    case WM_CLOSE: {
        // The close box: the procedure may take it, else it is Cancel.
        if (!d->enabled || d->destroyed) return 0;
        INT_PTR taken = d->proc ? d->proc(hwnd, msg, wParam, lParam) : FALSE;
        if (!taken && Alive(d)) SendCommand(d, IDCANCEL);
        return 0;
    }
    case WM_NEXTDLGCTL:
        if (lParam) {
            Dialog* owner;
            Control* c;
            if (ControlHere(reinterpret_cast<HWND>(wParam), owner, c) && owner == d) SetFocusTo(d, c);
        } else {
            MoveFocus(d, wParam ? -1 : 1);
        }
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_TIMER:
        if (wParam == IdleTimerId) {
            if (d->modal && !d->ended && NobodyCanAnswer()) {
                PlatformTrace("dialogs: \"%s\" has no display or script to answer it; cancelled", d->title.c_str());
                d->ended = true;
                d->result = IDCANCEL;
            }
            return 0;
        }
        break;
    case WM_DESTROY:
        if (d->proc) d->proc(hwnd, msg, wParam, lParam);
        d->destroyed = true;
        if (d->surface) d->surface = nullptr;
        return 0;
    case WM_NCDESTROY:
        d->destroyed = true;
        ForgetDialog(d);
        return 0;
    default: break;
    }
    if (d->destroyed || !d->proc) return DefWindowProcA(hwnd, msg, wParam, lParam);
    INT_PTR handled = d->proc(hwnd, msg, wParam, lParam);
    if (msg == WM_TIMER || msg == WM_COMMAND || msg >= WM_USER) {
        if (Alive(d) && d->dirty) InvalidateRect(hwnd, nullptr, FALSE);
        return handled;
    }
    return handled ? handled : DefWindowProcA(hwnd, msg, wParam, lParam);
}

std::string TemplateKey(LPCSTR name)
{
    if (!name) return std::string();
    if (IS_INTRESOURCE(name)) return "#" + std::to_string(reinterpret_cast<uintptr_t>(name));
    return std::string(name);
}

// The template registered under that name, null with a trace when there is none.
const DialogTemplate* RegisteredTemplate(LPCSTR name)
{
    auto it = g_templates.find(TemplateKey(name));
    if (it != g_templates.end()) return &it->second;
    PlatformTrace("dialogs: no dialog template %s", TemplateKey(name).c_str());
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

bool ValidTemplate(const DialogTemplate* t, DLGPROC proc, const char* call)
{
    if (!t || !proc) {
        PlatformTrace("dialogs: %s without a %s", call, t ? "procedure" : "template");
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (t->Width <= 0 || t->Height <= 0 || t->Width > 4096 || t->Height > 4096) {
        PlatformTrace("dialogs: \"%s\" has an unusable size %d x %d", t->Title.c_str(), t->Width, t->Height);
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return true;
}

// Makes the window and its controls and runs WM_INITDIALOG. Null on failure; for a modal
// dialog the caller runs the loop.
HWND MakeDialog(HINSTANCE instance, const DialogTemplate* t, HWND parent, DLGPROC proc, LPARAM param, bool modal)
{
    RegisterWithCore();
    if (!RegisterClassOnce()) return nullptr;
    // Without this SDL may draw window surfaces through a GL context of its own, which would
    // take the current context away from the Direct3D stand-in on this thread.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    auto owned = std::make_unique<Dialog>();
    Dialog* d = owned.get();
    d->proc = proc;
    d->owner = parent;
    d->modal = modal;
    d->thread = std::this_thread::get_id();
    d->title = t->Title;
    d->w = t->Width;
    d->h = t->Height;
    for (const DialogItemTemplate& item : t->Items) {
        auto c = std::make_unique<Control>();
        c->hwnd = NewHandle();
        c->kind = item.Kind;
        c->id = item.Id;
        c->text = item.Text;
        c->caret = c->text.size();
        c->x = item.X;
        c->y = item.Y;
        c->w = item.Width;
        c->h = item.Height;
        c->enabled = !item.Disabled;
        c->visible = !item.Hidden;
        c->pushLike = (item.Style & BS_PUSHLIKE) != 0 && item.Kind == DialogControlKind::CheckBox;
        d->controls.push_back(std::move(c));
    }
    // Centred on the owner, else on the program's window, else on the screen.
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    RECT outer{0, 0, t->Width, t->Height};
    AdjustWindowRect(&outer, style, FALSE);
    int ow = outer.right - outer.left, oh = outer.bottom - outer.top;
    RECT around{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    HWND centreOn = parent && IsWindow(parent) ? parent : PlatformMainWindow();
    if (centreOn) GetWindowRect(centreOn, &around);
    int x = (around.left + around.right - ow) / 2, y = (around.top + around.bottom - oh) / 2;
    HWND hwnd = CreateWindowExA(0, ClassName, t->Title.c_str(), style, x, y, ow, oh, parent, nullptr, instance, nullptr);
    if (!hwnd) {
        PlatformTrace("dialogs: no window for \"%s\"", t->Title.c_str());
        return nullptr;
    }
    d->hwnd = hwnd;
    d->order = g_nextOrder++;
    {
        std::lock_guard<std::mutex> lock(g_handleMutex);
        for (auto& c : d->controls) g_controls[c->hwnd] = ControlEntry{hwnd, d->thread, d, c.get()};
        g_dialogOwners[hwnd] = d->thread;
    }
    g_dialogs[hwnd] = std::move(owned);
    RetargetPump();
    StartPump();

    MoveFocus(d, 1);
    Control* first = Focused(d);
    ++g_wndProcDepth;
    proc(hwnd, WM_INITDIALOG, first ? reinterpret_cast<WPARAM>(first->hwnd) : 0, param);
    --g_wndProcDepth;
    if (!IsWindow(hwnd) || !Alive(FindDialog(hwnd))) {
        Bury();
        return nullptr;
    }
    d->initialised = true;
    RepairFocus(d);
    if (!(modal && d->ended) && (modal || t->Visible)) ShowWindow(hwnd, SW_SHOW);
    InvalidateRect(hwnd, nullptr, FALSE);
    WakeActions();
    return hwnd;
}

INT_PTR RunModal(HWND hwnd)
{
    Dialog* d = FindDialog(hwnd);
    if (!d) return -1;
    HWND owner = d->owner;
    Dialog* ownerDialog = FindDialog(owner);
    bool ownerWasEnabled = ownerDialog && ownerDialog->enabled;
    if (ownerDialog) EnableWindow(owner, FALSE);

    if (!d->ended) {
        if (g_driver) {
            auto driver = g_driver;
            driver(hwnd);
            d = FindDialog(hwnd);
            if (d && !d->ended) {
                PlatformTrace("dialogs: \"%s\" was still open when its test driver returned; cancelled",
                              d->title.c_str());
                d->ended = true;
                d->result = IDCANCEL;
            }
        } else {
            SetTimer(hwnd, IdleTimerId, IdleCheckMs, nullptr);
            std::vector<MSG> laterQuits;  // quits addressed to other windows' loops
            bool programQuit = false;
            WPARAM quitCode = 0;
            while ((d = FindDialog(hwnd)) && Alive(d) && !d->ended) {
                MSG msg{};
                BOOL got = GetMessageA(&msg, nullptr, 0, 0);
                if (got == -1) break;
                if (!got || msg.message == WM_QUIT) {
                    if (msg.hwnd && msg.hwnd != hwnd) {
                        if (IsWindow(msg.hwnd)) laterQuits.push_back(msg);
                        continue;
                    }
                    if (!msg.hwnd) {
                        programQuit = true;
                        quitCode = msg.wParam;
                    }
                    d->ended = true;
                    d->result = IDCANCEL;
                    break;
                }
                if (IsInputMessage(msg.message) && !AcceptsInput(msg.hwnd)) continue;
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            if (IsWindow(hwnd)) KillTimer(hwnd, IdleTimerId);
            for (const MSG& m : laterQuits)
                if (IsWindow(m.hwnd)) PostMessageA(m.hwnd, WM_QUIT, m.wParam, m.lParam);
            // The program is closing: its own loop gets the quit back.
            if (programQuit) PostQuitMessage(static_cast<int>(quitCode));
        }
    }
    d = FindDialog(hwnd);
    INT_PTR result = d ? d->result : IDCANCEL;
    // Enabled again first: the owner is where the keyboard goes back to when the dialog goes.
    if (ownerDialog && FindDialog(owner) == ownerDialog && ownerWasEnabled) EnableWindow(owner, TRUE);
    if (IsWindow(hwnd)) DestroyWindow(hwnd);
    Bury();
    return result;
}

}  // namespace

// --- Lookups shared with the other files of the layer ------------------------------------------
Dialog* dialogs_detail::FindDialog(HWND hwnd)
{
    auto it = g_dialogs.find(hwnd);
    return it == g_dialogs.end() ? nullptr : it->second.get();
}

Control* dialogs_detail::FindItem(Dialog* d, int id)
{
    if (!d) return nullptr;
    for (auto& c : d->controls)
        if (c->id == id) return c.get();
    return nullptr;
}

bool dialogs_detail::NobodyCanAnswer()
{
    return Headless() && !g_driver && !g_ticker && PlatformPendingScriptEvents() == 0 && g_actions.empty();
}

// --- Public calls -----------------------------------------------------------------------------
INT_PTR DialogBoxIndirectParamA(HINSTANCE instance, const DialogTemplate* dialogTemplate, HWND parent, DLGPROC proc,
                                LPARAM param)
{
    if (!ValidTemplate(dialogTemplate, proc, "DialogBoxIndirectParamA")) return -1;
    // A copy: the procedure may register templates (this one too) while the dialog runs.
    DialogTemplate copy = *dialogTemplate;
    HWND hwnd = MakeDialog(instance, &copy, parent, proc, param, true);
    if (!hwnd) return -1;
    return RunModal(hwnd);
}

void RegisterDialogTemplate(LPCSTR name, const DialogTemplate& dialogTemplate)
{
    g_templates[TemplateKey(name)] = dialogTemplate;
}

INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND parent, DLGPROC proc, LPARAM param)
{
    const DialogTemplate* t = RegisteredTemplate(templateName);
    return t ? DialogBoxIndirectParamA(instance, t, parent, proc, param) : -1;
}

HWND CreateDialogIndirectParamA(HINSTANCE instance, const DialogTemplate* dialogTemplate, HWND parent, DLGPROC proc,
                                LPARAM param)
{
    if (!ValidTemplate(dialogTemplate, proc, "CreateDialogIndirectParamA")) return nullptr;
    DialogTemplate copy = *dialogTemplate;
    return MakeDialog(instance, &copy, parent, proc, param, false);
}

HWND CreateDialogParamA(HINSTANCE instance, LPCSTR templateName, HWND parent, DLGPROC proc, LPARAM param)
{
    const DialogTemplate* t = RegisteredTemplate(templateName);
    return t ? CreateDialogIndirectParamA(instance, t, parent, proc, param) : nullptr;
}

BOOL EndDialog(HWND dialog, INT_PTR result)
{
    std::thread::id owner;
    if (!LookUpDialogOwner(dialog, owner)) {
        PlatformTrace("dialogs: EndDialog on an unknown dialog");
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (std::this_thread::get_id() != owner) {
        // Another thread (a network callback) must not touch the dialog nor wait for its thread:
        // the end is carried out by the dialog's own loop.
        return PostMessageA(dialog, MsgEndDialog, static_cast<WPARAM>(result), 0);
    }
    Dialog* d = FindDialog(dialog);
    if (!Alive(d)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    d->ended = true;
    d->result = result;
    if (!d->modal) ShowWindow(dialog, SW_HIDE);
    return TRUE;
}

HWND GetDlgItem(HWND dialog, int id)
{
    std::thread::id owner;
    if (!LookUpDialogOwner(dialog, owner)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return reinterpret_cast<HWND>(OnDialogThread(dialog, owner, [dialog, id]() -> LRESULT {
        Control* c = FindItem(FindDialog(dialog), id);
        if (!c) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return reinterpret_cast<LRESULT>(c ? c->hwnd : nullptr);
    }));
}

int GetDlgCtrlID(HWND control)
{
    ControlEntry e;
    if (!LookUpControl(control, e)) return 0;
    return e.c->id;  // ids never change
}

LRESULT DialogSendMessage(HWND control, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (!OnControl(control, result, [=](Dialog* d, Control* c) {
            LRESULT r = ControlMessage(d, c, message, wParam, lParam);
            if (Alive(d)) InvalidateRect(d->hwnd, nullptr, FALSE);
            return r;
        })) {
        PlatformTrace("dialogs: message 0x%04X to an unknown control", message);
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    }
    return result;
}

LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND control = GetDlgItem(dialog, id);
    if (!control) {
        PlatformTrace("dialogs: no control %d for message 0x%04X", id, message);
        return 0;
    }
    return DialogSendMessage(control, message, wParam, lParam);
}

BOOL EnableWindow(HWND window, BOOL enable)
{
    LRESULT wasDisabled = FALSE;
    if (OnControl(window, wasDisabled, [enable](Dialog* d, Control* c) -> LRESULT {
            const BOOL was = !c->enabled;
            c->enabled = enable != FALSE;
            if (!c->enabled) {
                c->dropped = false;
                c->held = false;
                if (d->pressed == c) d->pressed = nullptr;
                RepairFocus(d);
            }
            d->dirty = true;
            InvalidateRect(d->hwnd, nullptr, FALSE);
            return was;
        }))
        return static_cast<BOOL>(wasDisabled);
    std::thread::id owner;
    if (LookUpDialogOwner(window, owner)) {
        return static_cast<BOOL>(OnDialogThread(window, owner, [=]() -> LRESULT {
            Dialog* d = FindDialog(window);
            if (!Alive(d)) return FALSE;
            BOOL wasDisabled = !d->enabled;
            d->enabled = enable != FALSE;
            if (!d->enabled && d->pressed) {
                d->pressed->held = false;
                d->pressed = nullptr;
            }
            return wasDisabled;
        }));
    }
    PlatformTrace("dialogs: EnableWindow on a window that is no dialog nor control");
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
}

BOOL IsWindowEnabled(HWND window)
{
    LRESULT enabled = FALSE;
    if (OnControl(window, enabled, [](Dialog*, Control* c) { return c->enabled; })) return static_cast<BOOL>(enabled);
    std::thread::id owner;
    if (LookUpDialogOwner(window, owner)) {
        return static_cast<BOOL>(OnDialogThread(window, owner, [=]() -> LRESULT {
            Dialog* d = FindDialog(window);
            return Alive(d) && d->enabled;
        }));
    }
    return IsWindow(window);
}

BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text)
{
    HWND control = GetDlgItem(dialog, id);
    if (!control) return FALSE;
    return DialogSendMessage(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

UINT GetDlgItemTextA(HWND dialog, int id, LPSTR text, int size)
{
    if (!text || size <= 0) return 0;
    text[0] = 0;
    LRESULT copied = 0;
    OnControl(GetDlgItem(dialog, id), copied, [=](Dialog*, Control* c) -> LRESULT {
        // A drop-down list reads as its chosen entry.
        const std::string& s =
            c->kind == DialogControlKind::ComboBox && c->cursel >= 0 ? c->items[c->cursel] : c->text;
        size_t n = std::min(s.size(), static_cast<size_t>(size) - 1);
        std::memcpy(text, s.data(), n);
        text[n] = 0;
        return static_cast<LRESULT>(n);
    });
    return static_cast<UINT>(copied);
}

BOOL CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId)
{
    std::thread::id owner;
    if (!LookUpDialogOwner(dialog, owner)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return static_cast<BOOL>(OnDialogThread(dialog, owner, [=]() -> LRESULT {
        Dialog* d = FindDialog(dialog);
        if (!Alive(d)) return FALSE;
        for (auto& c : d->controls)
            if (c->id >= firstId && c->id <= lastId && IsButton(c.get()))
                c->check = c->id == checkId ? BST_CHECKED : BST_UNCHECKED;
        d->dirty = true;
        InvalidateRect(dialog, nullptr, FALSE);
        return TRUE;
    }));
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check)
{
    HWND control = GetDlgItem(dialog, id);
    ControlEntry e;
    if (!control || !LookUpControl(control, e) || !IsButton(e.c)) return FALSE;
    DialogSendMessage(control, BM_SETCHECK, check, 0);
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    ControlEntry e;
    if (!control || !LookUpControl(control, e) || !IsButton(e.c)) return 0;
    return static_cast<UINT>(DialogSendMessage(control, BM_GETCHECK, 0, 0));
}

UINT GetDoubleClickTime() { return 500; }

// --- Test hooks -------------------------------------------------------------------------------
void DialogSetTestDriver(std::function<void(HWND dialog)> driver) { g_driver = std::move(driver); }

void DialogSetTestTicker(std::function<void()> ticker) { g_ticker = std::move(ticker); }

namespace {
Control* TestControl(HWND dialog, int id, Dialog*& d)
{
    d = FindDialog(dialog);
    if (!Alive(d)) return nullptr;
    return FindItem(d, id);
}

void Redraw(Dialog* d)
{
    if (Alive(d)) InvalidateRect(d->hwnd, nullptr, FALSE);
}
}  // namespace

bool DialogTestSelect(HWND dialog, int id, int index)
{
    Dialog* d;
    Control* c = TestControl(dialog, id, d);
    bool ok = c && Select(d, c, index);
    Redraw(d);
    return ok;
}

bool DialogTestDoubleClick(HWND dialog, int id, int index)
{
    Dialog* d;
    Control* c = TestControl(dialog, id, d);
    if (!c || c->kind != DialogControlKind::ListBox || !Focusable(c) || index < 0 ||
        index >= static_cast<int>(c->items.size()))
        return false;
    if (index != c->cursel) Select(d, c, index);
    if (Alive(d) && !d->ended) Notify(d, c, LBN_DBLCLK);
    Redraw(d);
    return true;
}

bool DialogTestClick(HWND dialog, int id)
{
    Dialog* d;
    Control* c = TestControl(dialog, id, d);
    bool ok = c && Click(d, c);
    Redraw(d);
    return ok;
}

bool DialogTestType(HWND dialog, int id, const std::string& text)
{
    Dialog* d;
    Control* c = TestControl(dialog, id, d);
    if (!c || c->kind != DialogControlKind::Edit || !Focusable(c) || d->ended) return false;
    ReplaceEditText(d, c, text);
    Redraw(d);
    return true;
}

void DialogTestKey(HWND dialog, DialogKey key)
{
    Dialog* d = FindDialog(dialog);
    if (!Alive(d)) return;
    static const int vks[] = {VK_TAB, VK_TAB, VK_UP, VK_DOWN, VK_LEFT, VK_RIGHT, VK_RETURN, VK_ESCAPE, VK_SPACE};
    KeyDown(d, vks[static_cast<int>(key)], key == DialogKey::ShiftTab);
    Redraw(d);
}

bool DialogTestPostKey(HWND dialog, int id, int vk)
{
    Dialog* d = FindDialog(dialog);
    if (!Alive(d)) return false;
    if (id) {
        Control* c = FindItem(d, id);
        if (!c || !Focusable(c)) return false;
        SetFocusTo(d, c);
    }
    PostMessageA(dialog, WM_KEYDOWN, static_cast<WPARAM>(vk), 1);
    PostMessageA(dialog, WM_KEYUP, static_cast<WPARAM>(vk), static_cast<LPARAM>(0xC0000001u));
    return true;
}

int DialogTestFocus(HWND dialog)
{
    Dialog* d = FindDialog(dialog);
    Control* f = Alive(d) ? Focused(d) : nullptr;
    return f ? f->id : 0;
}

std::vector<std::string> DialogTestEntries(HWND dialog, int id)
{
    Dialog* d;
    Control* c = TestControl(dialog, id, d);
    return c ? c->items : std::vector<std::string>();
}

std::vector<std::string> DialogTestCutEntries(HWND dialog, int id)
{
    Dialog* d;
    Control* c = TestControl(dialog, id, d);
    std::vector<std::string> cut;
    if (!c) return cut;
    const bool combo = c->kind == DialogControlKind::ComboBox;
    for (const std::string& item : c->items) {
        const int width = dialog_text::TextWidth(item, false);
        if (width > EntryTextRoom(c, false) || (combo && width > EntryTextRoom(c, true))) cut.push_back(item);
    }
    return cut;
}

std::string DialogTestText(HWND dialog, int id)
{
    Dialog* d;
    Control* c = TestControl(dialog, id, d);
    return c ? c->text : std::string();
}

bool DialogTestIsVisible(HWND dialog, int id)
{
    Dialog* d = FindDialog(dialog);
    if (!Alive(d) || !IsWindowVisible(dialog)) return false;
    if (id == 0) return true;
    Control* c = FindItem(d, id);
    return c && c->visible;
}

int DialogTestTopIndex(HWND dialog, int id)
{
    Dialog* d;
    Control* c = TestControl(dialog, id, d);
    return c ? c->top : -1;
}

bool DialogTestEnded(HWND dialog)
{
    Dialog* d = FindDialog(dialog);
    return !Alive(d) || d->ended;
}

std::string DialogTestTitle(HWND dialog)
{
    Dialog* d = FindDialog(dialog);
    if (!d) return std::string();
    SDL_Window* window = PlatformSdlWindow(dialog);
    const char* title = window ? SDL_GetWindowTitle(window) : nullptr;
    return title ? std::string(title) : d->title;
}

std::vector<HWND> DialogTestOpenDialogs()
{
    std::vector<std::pair<uint64_t, HWND>> open;
    for (auto& [h, d] : g_dialogs)
        if (Alive(d.get())) open.emplace_back(d->order, h);
    std::sort(open.begin(), open.end());
    std::vector<HWND> out;
    for (auto& o : open) out.push_back(o.second);
    return out;
}

bool DialogTestPump(DWORD ms)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                if (msg.hwnd)
                    PostMessageA(msg.hwnd, WM_QUIT, msg.wParam, msg.lParam);
                else
                    PostQuitMessage(static_cast<int>(msg.wParam));
                return false;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    } while (std::chrono::steady_clock::now() < until);
    return true;
}

bool DialogTestWaitFor(const std::function<bool()>& done, DWORD timeoutMs)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= until) return false;
        if (!DialogTestPump(5)) return done();
    }
}

bool DialogTestRender(HWND dialog, int& width, int& height, std::vector<uint8_t>& rgb)
{
    Dialog* d = FindDialog(dialog);
    if (!Alive(d)) return false;
    Canvas cv;
    RenderClient(d, cv);
    width = cv.w;
    height = cv.h;
    rgb = std::move(cv.rgb);
    return true;
}

bool DialogTestRenderFramed(HWND dialog, int& width, int& height, std::vector<uint8_t>& rgb)
{
    Dialog* d = FindDialog(dialog);
    if (!Alive(d)) return false;
    Canvas cv;
    RenderFramed(d, DialogTestTitle(dialog), true, cv);
    width = cv.w;
    height = cv.h;
    rgb = std::move(cv.rgb);
    return true;
}

void DialogQueueAction(int id, const std::string& action, const std::string& argument)
{
    QueueAction(0, id, action, argument);
}

int DialogPendingActions() { return static_cast<int>(g_actions.size()); }
