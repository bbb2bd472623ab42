// The pictures of dialogs and their controls, in the colours and bevels of a classic desktop.
#include "platform/dialogs/dialogs_internal.h"

#include <algorithm>
#include <cmath>

namespace dialogs_detail {

using dialog_text::Canvas;

int ListRowHeight() { return dialog_text::LineHeight() + 2; }
int ComboBoxHeight() { return dialog_text::LineHeight() + 8; }

int VisibleRows(const Control* c)
{
    if (c->kind == DialogControlKind::ComboBox) return std::min(8, static_cast<int>(c->items.size()));
    return std::max(1, (c->h - 4) / ListRowHeight());
}

bool ListHasScrollBar(const Control* c)
{
    return c->kind == DialogControlKind::ListBox && static_cast<int>(c->items.size()) > VisibleRows(c);
}

namespace {
// Where an entry's text starts: after the box's bevel in a combo box, a little in from a row's
// left edge in a list.
constexpr int ComboTextInset = 5, RowTextInset = 3;
int ComboButtonWidth() { return ComboBoxHeight() - 4; }
// The width of a list's rows: inside the bevel (and left of the scroll bar) of a list box, inside
// the frame of a dropped list.
int RowWidth(const Control* c, bool droppedList)
{
    if (droppedList) return c->w - 2;
    return c->w - 4 - (ListHasScrollBar(c) ? ScrollBarWidth : 0);
}
}  // namespace

int EntryTextRoom(const Control* c, bool droppedList)
{
    if (c->kind == DialogControlKind::ComboBox && !droppedList) return c->w - 2 - ComboButtonWidth() - ComboTextInset;
    return RowWidth(c, droppedList) - RowTextInset;
}

namespace {

void Raised(Canvas& cv, int x, int y, int w, int h)
{
    cv.Fill(x, y, w, 1, Light);
    cv.Fill(x, y, 1, h, Light);
    cv.Fill(x, y + h - 1, w, 1, DarkShadow);
    cv.Fill(x + w - 1, y, 1, h, DarkShadow);
    cv.Fill(x + 1, y + h - 2, w - 2, 1, Shadow);
    cv.Fill(x + w - 2, y + 1, 1, h - 2, Shadow);
}

void Sunken(Canvas& cv, int x, int y, int w, int h)
{
    cv.Fill(x, y, w, 1, Shadow);
    cv.Fill(x, y, 1, h, Shadow);
    cv.Fill(x + 1, y + 1, w - 2, 1, DarkShadow);
    cv.Fill(x + 1, y + 1, 1, h - 2, DarkShadow);
    cv.Fill(x, y + h - 1, w, 1, Light);
    cv.Fill(x + w - 1, y, 1, h, Light);
    cv.Fill(x + 1, y + h - 2, w - 2, 1, Face);
    cv.Fill(x + w - 2, y + 1, 1, h - 2, Face);
}

void Dotted(Canvas& cv, int x, int y, int w, int h)
{
    for (int i = 0; i < w; i += 2) {
        cv.Fill(x + i, y, 1, 1, Black);
        cv.Fill(x + i, y + h - 1, 1, 1, Black);
    }
    for (int i = 0; i < h; i += 2) {
        cv.Fill(x, y + i, 1, 1, Black);
        cv.Fill(x + w - 1, y + i, 1, 1, Black);
    }
}

// Text in the colour of an enabled control, or grey with a light shadow when disabled.
void Label(Canvas& cv, int x, int y, const std::string& text, bool enabled, uint32_t ink = Black)
{
    if (!enabled) {
        dialog_text::DrawText(cv, x + 1, y + 1, text, Light);
        dialog_text::DrawText(cv, x, y, text, GreyText);
    } else {
        dialog_text::DrawText(cv, x, y, text, ink);
    }
}

int CentredTop(const Control* c) { return c->y + (c->h - dialog_text::LineHeight()) / 2; }

void Arrow(Canvas& cv, int cx, int cy, bool up, uint32_t color)
{
    for (int k = 0; k < 4; ++k) {
        int half = up ? k : 3 - k;
        cv.Fill(cx - half, cy - 2 + k, 2 * half + 1, 1, color);
    }
}

void DrawScrollBar(Canvas& cv, const Control* c, int x, int y, int h)
{
    int rows = VisibleRows(c);
    int count = static_cast<int>(c->items.size());
    cv.Fill(x, y, ScrollBarWidth, h, 0xE8E8E8);
    cv.Fill(x, y, ScrollBarWidth, ScrollBarWidth, Face);
    Raised(cv, x, y, ScrollBarWidth, ScrollBarWidth);
    Arrow(cv, x + ScrollBarWidth / 2, y + ScrollBarWidth / 2, true, c->enabled ? Black : GreyText);
    cv.Fill(x, y + h - ScrollBarWidth, ScrollBarWidth, ScrollBarWidth, Face);
    Raised(cv, x, y + h - ScrollBarWidth, ScrollBarWidth, ScrollBarWidth);
    Arrow(cv, x + ScrollBarWidth / 2, y + h - ScrollBarWidth / 2, false, c->enabled ? Black : GreyText);
    int track = h - 2 * ScrollBarWidth;
    if (track <= 8 || count <= rows) return;
    int thumb = std::max(8, track * rows / count);
    int pos = (track - thumb) * c->top / std::max(1, count - rows);
    cv.Fill(x, y + ScrollBarWidth + pos, ScrollBarWidth, thumb, Face);
    Raised(cv, x, y + ScrollBarWidth + pos, ScrollBarWidth, thumb);
}

void DrawListRows(Canvas& cv, const Control* c, int x, int y, int w, int rows, bool focused)
{
    const int rowHeight = ListRowHeight();
    for (int r = 0; r < rows; ++r) {
        int index = c->top + r;
        if (index >= static_cast<int>(c->items.size())) break;
        int ry = y + r * rowHeight;
        bool selected = index == c->cursel;
        cv.ClipTo(x, ry, x + w, ry + rowHeight);
        if (selected) cv.Fill(x, ry, w, rowHeight, c->enabled ? Highlight : Shadow);
        uint32_t ink = selected ? Light : (c->enabled ? Black : GreyText);
        dialog_text::DrawText(cv, x + RowTextInset, ry + 1, c->items[index], ink, false);
        cv.NoClip();
        if (selected && focused) Dotted(cv, x, ry, w, rowHeight);
    }
    if (focused && c->cursel < 0 && !c->items.empty()) Dotted(cv, x, y, w, rowHeight);
}

void DrawControl(Canvas& cv, const Control* c, bool focused)
{
    const int lh = dialog_text::LineHeight();
    switch (c->kind) {
    case DialogControlKind::Static: {
        cv.ClipTo(c->x, c->y, c->x + c->w, c->y + c->h);
        if (c->h >= 2 * lh) {
            int y = c->y;
            for (const std::string& line : dialog_text::WrapText(c->text, c->w)) {
                Label(cv, c->x, y, line, c->enabled);
                y += lh;
            }
        } else {
            Label(cv, c->x, CentredTop(c), c->text, c->enabled);
        }
        cv.NoClip();
        break;
    }
    case DialogControlKind::GroupBox: {
        int fy = c->y + lh / 2;
        cv.Frame(c->x, fy, c->w - 1, c->h - (fy - c->y) - 1, Shadow);
        cv.Frame(c->x + 1, fy + 1, c->w - 1, c->h - (fy - c->y) - 1, Light);
        if (!c->text.empty()) {
            int tw = dialog_text::TextWidth(c->text);
            cv.Fill(c->x + 6, c->y, tw + 4, lh, Face);
            Label(cv, c->x + 8, c->y, c->text, c->enabled);
        }
        break;
    }
    case DialogControlKind::Button:
    case DialogControlKind::DefButton:
    case DialogControlKind::CheckBox:
    case DialogControlKind::RadioButton: {
        bool buttonLike = c->kind == DialogControlKind::Button || c->kind == DialogControlKind::DefButton ||
                          (c->kind == DialogControlKind::CheckBox && c->pushLike);
        if (buttonLike) {
            bool sunk = c->held || (c->pushLike && c->check == BST_CHECKED);
            bool isDefault = c->kind == DialogControlKind::DefButton;
            int x = c->x, y = c->y, w = c->w, h = c->h;
            cv.Fill(x, y, w, h, sunk && c->pushLike && !c->held ? 0xE0DDD8 : Face);
            if (isDefault) {
                cv.Frame(x, y, w, h, Black);
                ++x, ++y, w -= 2, h -= 2;
            }
            if (sunk) {
                cv.Frame(x, y, w, h, DarkShadow);
                cv.Frame(x + 1, y + 1, w - 2, h - 2, Shadow);
            } else {
                Raised(cv, x, y, w, h);
            }
            int shift = sunk ? 1 : 0;
            int tx = c->x + std::max(3, (c->w - dialog_text::TextWidth(c->text)) / 2) + shift;
            cv.ClipTo(c->x + 2, c->y + 2, c->x + c->w - 2, c->y + c->h - 2);
            Label(cv, tx, CentredTop(c) + shift, c->text, c->enabled);
            cv.NoClip();
            if (focused) Dotted(cv, c->x + 4, c->y + 4, c->w - 8, c->h - 8);
            break;
        }
        const int box = 13;
        int bx = c->x, by = c->y + (c->h - box) / 2;
        if (c->kind == DialogControlKind::CheckBox) {
            cv.Fill(bx, by, box, box, c->enabled ? Light : Face);
            Sunken(cv, bx, by, box, box);
            if (c->check == BST_CHECKED) {
                uint32_t ink = c->enabled ? Black : GreyText;
                // A tick: down to the bottom third, then up to the right.
                for (int i = 0; i < 3; ++i) cv.Fill(bx + 3 + i, by + 5 + i, 1, 3, ink);
                for (int i = 0; i < 4; ++i) cv.Fill(bx + 6 + i, by + 6 - i, 1, 3, ink);
            }
        } else {
            // A round box drawn by distance from its centre.
            double cx = bx + 5.5, cy = by + 5.5;
            for (int yy = 0; yy < 12; ++yy)
                for (int xx = 0; xx < 12; ++xx) {
                    double dist = std::hypot(bx + xx - cx, by + yy - cy);
                    if (dist > 6.0) continue;
                    uint32_t color = dist > 5.0 ? ((xx + yy < 12) ? Shadow : Light)
                                     : dist > 4.0 ? ((xx + yy < 12) ? DarkShadow : Face)
                                                  : (c->enabled ? Light : Face);
                    cv.Fill(bx + xx, by + yy, 1, 1, color);
                    if (c->check == BST_CHECKED && dist < 2.2)
                        cv.Fill(bx + xx, by + yy, 1, 1, c->enabled ? Black : GreyText);
                }
        }
        int tx = c->x + box + 5, ty = CentredTop(c);
        cv.ClipTo(c->x, c->y, c->x + c->w, c->y + c->h);
        Label(cv, tx, ty, c->text, c->enabled);
        cv.NoClip();
        if (focused && !c->text.empty())
            Dotted(cv, tx - 2, ty - 1, std::min(dialog_text::TextWidth(c->text) + 4, c->w - box - 3), lh + 2);
        break;
    }
    case DialogControlKind::Edit: {
        cv.Fill(c->x, c->y, c->w, c->h, c->enabled ? Light : Face);
        Sunken(cv, c->x, c->y, c->w, c->h);
        int inner = c->w - 8;
        // Scrolled so that the caret stays in view.
        int caretX = dialog_text::TextWidth(c->text.substr(0, c->caret), false);
        int scroll = std::max(0, caretX - inner + 2);
        int tx = c->x + 4 - scroll, ty = CentredTop(c);
        cv.ClipTo(c->x + 2, c->y + 2, c->x + c->w - 2, c->y + c->h - 2);
        if (focused && c->allSelected && !c->text.empty()) {
            int sw = dialog_text::TextWidth(c->text, false);
            cv.Fill(tx, ty, sw, lh, Highlight);
            dialog_text::DrawText(cv, tx, ty, c->text, Light, false);
        } else {
            dialog_text::DrawText(cv, tx, ty, c->text, c->enabled ? Black : GreyText, false);
        }
        if (focused && !c->allSelected) cv.Fill(tx + caretX, ty, 1, lh, Black);
        cv.NoClip();
        break;
    }
    case DialogControlKind::ListBox: {
        cv.Fill(c->x, c->y, c->w, c->h, c->enabled ? Light : Face);
        Sunken(cv, c->x, c->y, c->w, c->h);
        cv.ClipTo(c->x + 2, c->y + 2, c->x + c->w - 2, c->y + c->h - 2);
        DrawListRows(cv, c, c->x + 2, c->y + 2, RowWidth(c, false), VisibleRows(c), focused);
        cv.ClipTo(c->x + 2, c->y + 2, c->x + c->w - 2, c->y + c->h - 2);
        if (ListHasScrollBar(c)) DrawScrollBar(cv, c, c->x + c->w - 2 - ScrollBarWidth, c->y + 2, c->h - 4);
        cv.NoClip();
        break;
    }
    case DialogControlKind::ComboBox: {
        int bh = ComboBoxHeight();
        cv.Fill(c->x, c->y, c->w, bh, c->enabled ? Light : Face);
        Sunken(cv, c->x, c->y, c->w, bh);
        int buttonW = ComboButtonWidth();
        int ax = c->x + c->w - 2 - buttonW;
        if (focused) cv.Fill(c->x + 3, c->y + 3, ax - c->x - 4, bh - 6, Highlight);
        cv.ClipTo(c->x + 2, c->y + 2, ax, c->y + bh - 2);
        if (c->cursel >= 0 && c->cursel < static_cast<int>(c->items.size()))
            dialog_text::DrawText(cv, c->x + ComboTextInset, c->y + (bh - lh) / 2, c->items[c->cursel],
                                  focused ? Light : (c->enabled ? Black : GreyText), false);
        cv.NoClip();
        cv.Fill(ax, c->y + 2, buttonW, bh - 4, Face);
        if (c->dropped) {
            cv.Frame(ax, c->y + 2, buttonW, bh - 4, Shadow);
        } else {
            Raised(cv, ax, c->y + 2, buttonW, bh - 4);
        }
        Arrow(cv, ax + buttonW / 2, c->y + bh / 2, false, c->enabled ? Black : GreyText);
        break;
    }
    }
}

}  // namespace

void RenderClient(Dialog* d, Canvas& cv)
{
    cv.Reset(d->w, d->h, Face);
    Control* dropped = nullptr;
    for (size_t i = 0; i < d->controls.size(); ++i) {
        Control* c = d->controls[i].get();
        if (!c->visible) continue;
        DrawControl(cv, c, static_cast<int>(i) == d->focus);
        if (c->dropped) dropped = c;
    }
    if (dropped) {
        int rows = VisibleRows(dropped);
        int y = dropped->y + ComboBoxHeight();
        int h = rows * ListRowHeight() + 2;
        cv.Fill(dropped->x, y, dropped->w, h, Light);
        cv.Frame(dropped->x, y, dropped->w, h, Black);
        cv.ClipTo(dropped->x + 1, y + 1, dropped->x + dropped->w - 1, y + h - 1);
        DrawListRows(cv, dropped, dropped->x + 1, y + 1, RowWidth(dropped, true), rows, false);
        cv.NoClip();
    }
}

void RenderFramed(Dialog* d, const std::string& title, bool active, Canvas& cv)
{
    Canvas client;
    RenderClient(d, client);
    const int w = d->w + 2 * FrameWidth, h = d->h + 2 * FrameWidth + CaptionHeight;
    cv.Reset(w, h, Face);
    Raised(cv, 0, 0, w, h);
    // The caption: a gradient from the left, the title, and the close box.
    uint32_t from = active ? CaptionColor : InactiveCaption, to = active ? CaptionEnd : 0xC0C0C0;
    int cw = w - 2 * FrameWidth;
    for (int x = 0; x < cw; ++x) {
        auto mix = [&](int shift) {
            int a = static_cast<int>((from >> shift) & 0xFF), b = static_cast<int>((to >> shift) & 0xFF);
            return static_cast<uint32_t>(a + (b - a) * x / std::max(1, cw - 1));
        };
        cv.Fill(FrameWidth + x, FrameWidth, 1, CaptionHeight - 1, (mix(16) << 16) | (mix(8) << 8) | mix(0));
    }
    int box = CaptionHeight - 5;
    int bx = w - FrameWidth - box - 2, by = FrameWidth + 2;
    cv.ClipTo(FrameWidth + 4, FrameWidth, bx - 2, FrameWidth + CaptionHeight);
    dialog_text::DrawText(cv, FrameWidth + 5, FrameWidth + (CaptionHeight - 1 - dialog_text::LineHeight()) / 2, title,
                          Light, false);
    cv.NoClip();
    cv.Fill(bx, by, box, box - 1, Face);
    Raised(cv, bx, by, box, box - 1);
    for (int k = 0; k < box - 8; ++k) {
        cv.Fill(bx + 4 + k, by + 3 + k, 2, 1, Black);
        cv.Fill(bx + box - 6 - k, by + 3 + k, 2, 1, Black);
    }
    cv.Paste(client, FrameWidth, FrameWidth + CaptionHeight);
}

}  // namespace dialogs_detail
