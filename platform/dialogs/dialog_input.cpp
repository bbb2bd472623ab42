// The keyboard and the mouse in a dialog, as the desktop's dialog manager handles them: Tab and the
// arrows move, Enter and Escape answer, mnemonics, clicks, drags off a button, lists and scroll bars.
#include "platform/dialogs/dialogs_internal.h"
#include "platform/win32/platform_internal.h"

#include <algorithm>
#include <cctype>
#include <string>

using namespace dialogs_detail;

// --- Keyboard ---------------------------------------------------------------------------------
namespace {

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

}  // namespace

namespace dialogs_detail {

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

}  // namespace dialogs_detail

namespace {

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

}  // namespace

namespace dialogs_detail {

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

}  // namespace dialogs_detail
