// What the controls do: the focus, clicks on buttons, choices in lists, typing in edit controls,
// and the messages a program sends to a control.
#include "platform/dialogs/dialogs_internal.h"
#include "platform/win32/platform_internal.h"

#include <algorithm>
#include <cstring>
#include <string>

using namespace dialogs_detail;

namespace {

void EditReplaceSelection(Control* c)
{
    if (c->allSelected) {
        c->text.clear();
        c->caret = 0;
        c->allSelected = false;
    }
}
}  // namespace

namespace dialogs_detail {

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

void SetFocusTo(Dialog* d, Control* c, bool selectAll)
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

}  // namespace dialogs_detail
