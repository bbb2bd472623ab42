#include "platform/dialogs/dialogs.h"

#include "platform/dialogs/font5x7.h"
#include "platform/win32/platform_internal.h"

#include <SDL.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <memory>

#ifndef WM_GETTEXTLENGTH
#define WM_GETTEXTLENGTH 0x000E
#endif

namespace {

// Glyphs are drawn at twice their size so that the dialog reads well on today's screens.
constexpr int FontScale = 2;
constexpr int GlyphAdvance = (dialogs_font::GlyphColumns + 1) * FontScale;
constexpr int GlyphHeight = dialogs_font::GlyphRows * FontScale;
constexpr int RowHeight = GlyphHeight + 6;
constexpr int DropRows = 8;

struct Control {
    HWND hwnd{};
    DialogControlKind kind{};
    int id = 0;
    std::string text;
    int x = 0, y = 0, w = 0, h = 0;
    bool enabled = true;
    UINT check = BST_UNCHECKED;
    std::vector<std::string> items;
    std::vector<LPARAM> data;
    int cursel = -1;
    int top = 0;
    bool dropped = false;
};

struct Dialog {
    HWND hwnd{};
    DLGPROC proc = nullptr;
    std::string title;
    int w = 0, h = 0;
    std::vector<std::unique_ptr<Control>> controls;
    bool ended = false;
    INT_PTR result = 0;
    int focus = -1;
    Control* pressed = nullptr;
    bool dirty = true;
};

std::map<HWND, Dialog*> g_dialogs;
std::map<HWND, std::pair<Dialog*, Control*>> g_controls;
std::map<std::string, DialogTemplate> g_templates;
std::function<void(HWND)> g_driver;
uintptr_t g_nextHandle = 0xD1A10000u;

HWND NewHandle()
{
    return reinterpret_cast<HWND>(g_nextHandle++);
}

Dialog* FindDialog(HWND hwnd)
{
    auto it = g_dialogs.find(hwnd);
    return it == g_dialogs.end() ? nullptr : it->second;
}

Control* FindControl(HWND hwnd, Dialog** owner = nullptr)
{
    auto it = g_controls.find(hwnd);
    if (it == g_controls.end()) return nullptr;
    if (owner) *owner = it->second.first;
    return it->second.second;
}

Control* FindItem(Dialog* d, int id)
{
    if (!d) return nullptr;
    for (auto& c : d->controls)
        if (c->id == id) return c.get();
    return nullptr;
}

std::string TemplateKey(LPCSTR name)
{
    if (!name) return std::string();
    if (IS_INTRESOURCE(name)) return "#" + std::to_string(reinterpret_cast<uintptr_t>(name));
    return std::string(name);
}

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
    return c->enabled && c->kind != DialogControlKind::Static && c->kind != DialogControlKind::GroupBox;
}

int IndexOf(Dialog* d, const Control* c)
{
    for (size_t i = 0; i < d->controls.size(); ++i)
        if (d->controls[i].get() == c) return (int)i;
    return -1;
}

Control* Focused(Dialog* d)
{
    if (d->focus < 0 || d->focus >= (int)d->controls.size()) return nullptr;
    return d->controls[d->focus].get();
}

void CloseDrops(Dialog* d)
{
    for (auto& c : d->controls) c->dropped = false;
}

void SetFocusTo(Dialog* d, Control* c)
{
    int index = IndexOf(d, c);
    if (index >= 0 && Focusable(c)) {
        if (index != d->focus) CloseDrops(d);
        d->focus = index;
        d->dirty = true;
    }
}

void MoveFocus(Dialog* d, int step)
{
    int n = (int)d->controls.size();
    if (n == 0) return;
    int start = d->focus < 0 ? (step > 0 ? -1 : 0) : d->focus;
    for (int k = 1; k <= n; ++k) {
        int i = ((start + step * k) % n + n) % n;
        if (Focusable(d->controls[i].get())) {
            SetFocusTo(d, d->controls[i].get());
            return;
        }
    }
}

// Keeps the focus on something that can take it after a control was disabled.
void RepairFocus(Dialog* d)
{
    Control* f = Focused(d);
    if (f && Focusable(f)) return;
    if (f) f->dropped = false;
    MoveFocus(d, 1);
    if (Focused(d) && !Focusable(Focused(d))) d->focus = -1;
}

void Notify(Dialog* d, Control* c, WORD code)
{
    if (d->ended || !d->proc) return;
    d->dirty = true;
    d->proc(d->hwnd, WM_COMMAND, MAKEWPARAM(c ? c->id : 0, code), c ? reinterpret_cast<LPARAM>(c->hwnd) : 0);
}

void SendCommand(Dialog* d, int id)
{
    Control* c = FindItem(d, id);
    if (c && !c->enabled) return;
    if (d->ended || !d->proc) return;
    d->dirty = true;
    d->proc(d->hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), c ? reinterpret_cast<LPARAM>(c->hwnd) : 0);
}

void KeepVisible(Control* c, int rows)
{
    if (c->cursel < 0) return;
    if (c->cursel < c->top) c->top = c->cursel;
    if (rows > 0 && c->cursel >= c->top + rows) c->top = c->cursel - rows + 1;
    c->top = std::max(0, std::min(c->top, std::max(0, (int)c->items.size() - rows)));
}

int VisibleRows(const Control* c)
{
    if (c->kind == DialogControlKind::ComboBox) return std::min(DropRows, (int)c->items.size());
    return std::max(1, (c->h - 4) / RowHeight);
}

bool Click(Dialog* d, Control* c)
{
    if (!c || !c->enabled || !IsButton(c) || d->ended) return false;
    SetFocusTo(d, c);
    if (c->kind == DialogControlKind::CheckBox) {
        c->check = c->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
    } else if (c->kind == DialogControlKind::RadioButton) {
        // Radio buttons next to each other in the template form one group.
        int i = IndexOf(d, c);
        int first = i, last = i;
        while (first > 0 && d->controls[first - 1]->kind == DialogControlKind::RadioButton) --first;
        while (last + 1 < (int)d->controls.size() && d->controls[last + 1]->kind == DialogControlKind::RadioButton)
            ++last;
        for (int k = first; k <= last; ++k) d->controls[k]->check = BST_UNCHECKED;
        c->check = BST_CHECKED;
    }
    Notify(d, c, BN_CLICKED);
    return true;
}

bool Select(Dialog* d, Control* c, int index)
{
    if (!c || !c->enabled || !IsList(c) || d->ended) return false;
    if (index < 0 || index >= (int)c->items.size()) return false;
    SetFocusTo(d, c);
    c->cursel = index;
    KeepVisible(c, VisibleRows(c));
    Notify(d, c, CBN_SELCHANGE);
    return true;
}

void RadioStep(Dialog* d, Control* c, int step)
{
    int i = IndexOf(d, c) + step;
    if (i >= 0 && i < (int)d->controls.size()) {
        Control* next = d->controls[i].get();
        if (next->kind == DialogControlKind::RadioButton) {
            if (next->enabled) Click(d, next);
            return;
        }
    }
}

void Key(Dialog* d, DialogKey key)
{
    if (d->ended) return;
    Control* f = Focused(d);
    d->dirty = true;
    switch (key) {
    case DialogKey::Tab: MoveFocus(d, 1); break;
    case DialogKey::ShiftTab: MoveFocus(d, -1); break;
    case DialogKey::Up:
    case DialogKey::Down:
    case DialogKey::Left:
    case DialogKey::Right: {
        int step = (key == DialogKey::Up || key == DialogKey::Left) ? -1 : 1;
        if (f && IsList(f)) {
            int target = f->cursel < 0 ? 0 : f->cursel + step;
            if (target >= 0 && target < (int)f->items.size() && target != f->cursel) Select(d, f, target);
        } else if (f && f->kind == DialogControlKind::RadioButton) {
            RadioStep(d, f, step);
        } else {
            MoveFocus(d, step);
        }
        break;
    }
    case DialogKey::Space:
        if (f && IsButton(f)) Click(d, f);
        else if (f && f->kind == DialogControlKind::ComboBox) f->dropped = !f->dropped;
        break;
    case DialogKey::Enter:
        if (f && f->dropped) {
            f->dropped = false;
        } else if (f && (f->kind == DialogControlKind::Button || f->kind == DialogControlKind::DefButton)) {
            Click(d, f);
        } else {
            Control* def = nullptr;
            for (auto& c : d->controls)
                if (c->kind == DialogControlKind::DefButton && c->enabled) def = c.get();
            if (def) Click(d, def);
            else SendCommand(d, IDOK);
        }
        break;
    case DialogKey::Escape:
        if (f && f->dropped) f->dropped = false;
        else SendCommand(d, IDCANCEL);
        break;
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
            return (char)std::tolower((unsigned char)text[i + 1]);
        }
    }
    return 0;
}

void MnemonicKey(Dialog* d, char letter)
{
    for (size_t i = 0; i < d->controls.size(); ++i) {
        Control* c = d->controls[i].get();
        if (Mnemonic(c->text) != letter) continue;
        if (c->kind == DialogControlKind::Static || c->kind == DialogControlKind::GroupBox) {
            // A label hands the focus to the control after it.
            for (size_t k = i + 1; k < d->controls.size(); ++k)
                if (Focusable(d->controls[k].get())) {
                    SetFocusTo(d, d->controls[k].get());
                    return;
                }
            return;
        }
        if (!c->enabled) continue;
        if (IsButton(c)) Click(d, c);
        else SetFocusTo(d, c);
        return;
    }
}

// --- Drawing into an RGB picture ----------------------------------------------------------------
struct Canvas {
    int w, h;
    std::vector<uint8_t> rgb;
    void Fill(int x, int y, int cw, int ch, uint32_t color)
    {
        int x0 = std::max(0, x), y0 = std::max(0, y);
        int x1 = std::min(w, x + cw), y1 = std::min(h, y + ch);
        for (int yy = y0; yy < y1; ++yy)
            for (int xx = x0; xx < x1; ++xx) {
                uint8_t* p = &rgb[((size_t)yy * w + xx) * 3];
                p[0] = (uint8_t)(color >> 16);
                p[1] = (uint8_t)(color >> 8);
                p[2] = (uint8_t)color;
            }
    }
    void Frame(int x, int y, int cw, int ch, uint32_t color)
    {
        Fill(x, y, cw, 1, color);
        Fill(x, y + ch - 1, cw, 1, color);
        Fill(x, y, 1, ch, color);
        Fill(x + cw - 1, y, 1, ch, color);
    }
    // Draws text clipped to [x, maxX); '&' marks an underlined mnemonic and is not drawn.
    void Text(int x, int y, const std::string& text, uint32_t color, int maxX)
    {
        int cx = x;
        for (size_t i = 0; i < text.size(); ++i) {
            unsigned char ch = (unsigned char)text[i];
            bool underline = false;
            if (ch == '&' && i + 1 < text.size()) {
                ++i;
                ch = (unsigned char)text[i];
                underline = ch != '&';
            }
            if (cx + GlyphAdvance > maxX) break;
            if (ch < 0x20 || ch > 0x7E) ch = '?';
            const uint8_t* g = dialogs_font::Glyphs[ch - 0x20];
            for (int col = 0; col < dialogs_font::GlyphColumns; ++col)
                for (int row = 0; row < dialogs_font::GlyphRows; ++row)
                    if (g[col] & (1u << row)) Fill(cx + col * FontScale, y + row * FontScale, FontScale, FontScale, color);
            if (underline) Fill(cx, y + GlyphHeight + 1, GlyphAdvance - FontScale, 1, color);
            cx += GlyphAdvance;
        }
    }
};

int TextWidth(const std::string& text)
{
    int n = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) ++i;
        ++n;
    }
    return n * GlyphAdvance;
}

constexpr uint32_t Face = 0xD4D0C8, Shadow = 0x808080, Dark = 0x404040, White = 0xFFFFFF, Black = 0x000000,
                   Grey = 0x8C8C8C, Highlight = 0x0A246A;

void DrawList(Canvas& cv, const Control* c, int x, int y, int w, int rows, bool focused)
{
    cv.Fill(x, y, w, rows * RowHeight + 4, White);
    cv.Frame(x, y, w, rows * RowHeight + 4, Dark);
    for (int r = 0; r < rows; ++r) {
        int index = c->top + r;
        if (index >= (int)c->items.size()) break;
        int ry = y + 2 + r * RowHeight;
        bool selected = index == c->cursel;
        if (selected) cv.Fill(x + 2, ry, w - 4, RowHeight, c->enabled ? Highlight : Grey);
        uint32_t color = selected ? White : (c->enabled ? Black : Grey);
        cv.Text(x + 5, ry + 3, c->items[index], color, x + w - 3);
        if (selected && focused) cv.Frame(x + 2, ry, w - 4, RowHeight, 0xFFFF80);
    }
}

void Draw(Dialog* d, Canvas& cv)
{
    cv.Fill(0, 0, cv.w, cv.h, Face);
    Control* dropped = nullptr;
    for (size_t i = 0; i < d->controls.size(); ++i) {
        Control* c = d->controls[i].get();
        bool focused = (int)i == d->focus;
        uint32_t ink = c->enabled ? Black : Grey;
        int ty = c->y + (c->h - GlyphHeight) / 2;
        switch (c->kind) {
        case DialogControlKind::Static: cv.Text(c->x, ty, c->text, ink, c->x + c->w); break;
        case DialogControlKind::GroupBox:
            cv.Frame(c->x, c->y + GlyphHeight / 2, c->w, c->h - GlyphHeight / 2, Shadow);
            cv.Fill(c->x + 6, c->y, TextWidth(c->text) + 6, GlyphHeight, Face);
            cv.Text(c->x + 9, c->y, c->text, ink, c->x + c->w);
            break;
        case DialogControlKind::Button:
        case DialogControlKind::DefButton: {
            cv.Fill(c->x, c->y, c->w, c->h, Face);
            cv.Frame(c->x, c->y, c->w, c->h, c->kind == DialogControlKind::DefButton ? Black : Dark);
            cv.Fill(c->x + 1, c->y + 1, c->w - 2, 1, White);
            cv.Fill(c->x + 1, c->y + 1, 1, c->h - 2, White);
            cv.Fill(c->x + 1, c->y + c->h - 2, c->w - 2, 1, Shadow);
            cv.Fill(c->x + c->w - 2, c->y + 1, 1, c->h - 2, Shadow);
            int tx = c->x + std::max(2, (c->w - TextWidth(c->text)) / 2);
            cv.Text(tx, ty, c->text, ink, c->x + c->w - 2);
            if (focused) cv.Frame(c->x + 4, c->y + 4, c->w - 8, c->h - 8, Dark);
            break;
        }
        case DialogControlKind::CheckBox:
        case DialogControlKind::RadioButton: {
            int by = c->y + (c->h - 14) / 2;
            cv.Fill(c->x, by, 14, 14, c->enabled ? White : Face);
            cv.Frame(c->x, by, 14, 14, Dark);
            if (c->check == BST_CHECKED) cv.Fill(c->x + 4, by + 4, 6, 6, ink);
            cv.Text(c->x + 20, ty, c->text, ink, c->x + c->w);
            if (focused) cv.Frame(c->x + 18, ty - 2, std::min(TextWidth(c->text) + 4, c->w - 18), GlyphHeight + 4, Dark);
            break;
        }
        case DialogControlKind::Edit:
            cv.Fill(c->x, c->y, c->w, c->h, c->enabled ? White : Face);
            cv.Frame(c->x, c->y, c->w, c->h, Dark);
            cv.Text(c->x + 4, ty, c->text, ink, c->x + c->w - 4);
            if (focused) cv.Fill(std::min(c->x + 4 + TextWidth(c->text), c->x + c->w - 4), ty - 1, 2, GlyphHeight + 2, Black);
            break;
        case DialogControlKind::ListBox: {
            int rows = VisibleRows(c);
            DrawList(cv, c, c->x, c->y, c->w, rows, focused);
            break;
        }
        case DialogControlKind::ComboBox: {
            int bh = RowHeight + 4;
            cv.Fill(c->x, c->y, c->w, bh, c->enabled ? White : Face);
            cv.Frame(c->x, c->y, c->w, bh, Dark);
            if (focused) cv.Fill(c->x + 2, c->y + 2, c->w - bh - 4, bh - 4, Highlight);
            if (c->cursel >= 0 && c->cursel < (int)c->items.size())
                cv.Text(c->x + 5, c->y + 5, c->items[c->cursel], focused ? White : ink, c->x + c->w - bh - 2);
            int ax = c->x + c->w - bh;
            cv.Fill(ax, c->y + 1, bh - 1, bh - 2, Face);
            cv.Frame(ax, c->y, bh, bh, Dark);
            for (int k = 0; k < 5; ++k) cv.Fill(ax + bh / 2 - 5 + k, c->y + bh / 2 - 2 + k, 11 - 2 * k, 1, ink);
            if (c->dropped) dropped = c;
            break;
        }
        }
    }
    if (dropped) DrawList(cv, dropped, dropped->x, dropped->y + RowHeight + 4, dropped->w, VisibleRows(dropped), true);
}

void Render(Dialog* d, Canvas& cv)
{
    cv.w = d->w;
    cv.h = d->h;
    cv.rgb.assign((size_t)cv.w * cv.h * 3, 0);
    Draw(d, cv);
}

bool Inside(const Control* c, int x, int y, int height)
{
    return x >= c->x && x < c->x + c->w && y >= c->y && y < c->y + height;
}

void MouseDown(Dialog* d, int x, int y)
{
    d->dirty = true;
    d->pressed = nullptr;
    for (auto& cp : d->controls) {
        Control* c = cp.get();
        if (!c->dropped) continue;
        int ly = c->y + RowHeight + 4;
        int rows = VisibleRows(c);
        c->dropped = false;
        if (x >= c->x && x < c->x + c->w && y >= ly + 2 && y < ly + 2 + rows * RowHeight) {
            int index = c->top + (y - ly - 2) / RowHeight;
            if (index != c->cursel) Select(d, c, index);
            return;
        }
    }
    for (auto it = d->controls.rbegin(); it != d->controls.rend(); ++it) {
        Control* c = it->get();
        if (!Focusable(c)) continue;
        int height = c->kind == DialogControlKind::ComboBox ? RowHeight + 4 : c->h;
        if (!Inside(c, x, y, height)) continue;
        SetFocusTo(d, c);
        if (IsButton(c)) {
            d->pressed = c;
        } else if (c->kind == DialogControlKind::ComboBox) {
            c->dropped = !c->items.empty();
            KeepVisible(c, VisibleRows(c));
        } else if (c->kind == DialogControlKind::ListBox) {
            int index = c->top + (y - c->y - 2) / RowHeight;
            if (index >= 0 && index < (int)c->items.size() && index != c->cursel) Select(d, c, index);
        }
        return;
    }
}

void MouseUp(Dialog* d, int x, int y)
{
    Control* c = d->pressed;
    d->pressed = nullptr;
    if (c && Inside(c, x, y, c->h)) Click(d, c);
}

void Wheel(Dialog* d, int amount)
{
    Control* f = Focused(d);
    if (!f || !IsList(f)) return;
    int rows = VisibleRows(f);
    f->top = std::max(0, std::min(f->top - amount, std::max(0, (int)f->items.size() - rows)));
    d->dirty = true;
}

void TypeText(Dialog* d, const char* text)
{
    Control* f = Focused(d);
    if (!f || f->kind != DialogControlKind::Edit) return;
    for (const char* p = text; *p; ++p)
        if ((unsigned char)*p >= 0x20 && (unsigned char)*p < 0x7F) f->text.push_back(*p);
    Notify(d, f, EN_CHANGE);
}

void Backspace(Dialog* d)
{
    Control* f = Focused(d);
    if (!f || f->kind != DialogControlKind::Edit || f->text.empty()) return;
    f->text.pop_back();
    Notify(d, f, EN_CHANGE);
}

bool HandleSdlEvent(Dialog* d, Uint32 windowId, const SDL_Event* e)
{
    switch (e->type) {
    case SDL_KEYDOWN: {
        if (e->key.windowID != windowId) return false;
        SDL_Keycode k = e->key.keysym.sym;
        bool shift = (e->key.keysym.mod & KMOD_SHIFT) != 0;
        if (e->key.keysym.mod & KMOD_ALT) {
            if (k >= SDLK_a && k <= SDLK_z) MnemonicKey(d, (char)('a' + (k - SDLK_a)));
            return true;
        }
        switch (k) {
        case SDLK_TAB: Key(d, shift ? DialogKey::ShiftTab : DialogKey::Tab); break;
        case SDLK_UP: Key(d, DialogKey::Up); break;
        case SDLK_DOWN: Key(d, DialogKey::Down); break;
        case SDLK_LEFT: Key(d, DialogKey::Left); break;
        case SDLK_RIGHT: Key(d, DialogKey::Right); break;
        case SDLK_RETURN:
        case SDLK_KP_ENTER: Key(d, DialogKey::Enter); break;
        case SDLK_ESCAPE: Key(d, DialogKey::Escape); break;
        case SDLK_SPACE:
            if (Focused(d) && Focused(d)->kind != DialogControlKind::Edit) Key(d, DialogKey::Space);
            break;
        case SDLK_BACKSPACE: Backspace(d); break;
        default: break;
        }
        return true;
    }
    case SDL_KEYUP: return e->key.windowID == windowId;
    case SDL_TEXTINPUT:
        if (e->text.windowID != windowId) return false;
        TypeText(d, e->text.text);
        return true;
    case SDL_MOUSEBUTTONDOWN:
        if (e->button.windowID != windowId) return false;
        if (e->button.button == SDL_BUTTON_LEFT) MouseDown(d, e->button.x, e->button.y);
        return true;
    case SDL_MOUSEBUTTONUP:
        if (e->button.windowID != windowId) return false;
        if (e->button.button == SDL_BUTTON_LEFT) MouseUp(d, e->button.x, e->button.y);
        return true;
    case SDL_MOUSEWHEEL:
        if (e->wheel.windowID != windowId) return false;
        Wheel(d, e->wheel.y);
        return true;
    case SDL_MOUSEMOTION: return e->motion.windowID == windowId;
    case SDL_WINDOWEVENT:
        if (e->window.windowID != windowId) return false;
        if (e->window.event == SDL_WINDOWEVENT_CLOSE) SendCommand(d, IDCANCEL);
        d->dirty = true;
        return true;
    default: return false;
    }
}

// Shows the dialog in a window of its own until it ends; the program's own windows keep being
// painted, but take no input meanwhile.
INT_PTR RunWindow(Dialog* d)
{
    if (!PlatformInit()) {
        PlatformTrace("dialogs: \"%s\" cannot be shown: the platform did not start", d->title.c_str());
        return -1;
    }
    SDL_Window* window = SDL_CreateWindow(d->title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, d->w, d->h,
                                          SDL_WINDOW_SHOWN);
    if (!window) {
        PlatformTrace("dialogs: no window for \"%s\": %s", d->title.c_str(), SDL_GetError());
        return -1;
    }
    SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
    SDL_Texture* texture =
        renderer ? SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB24, SDL_TEXTUREACCESS_STREAMING, d->w, d->h) : nullptr;
    if (!texture) {
        PlatformTrace("dialogs: no renderer for \"%s\": %s", d->title.c_str(), SDL_GetError());
        if (renderer) SDL_DestroyRenderer(renderer);
        SDL_DestroyWindow(window);
        return -1;
    }
    Uint32 windowId = SDL_GetWindowID(window);
    int handler = PlatformAddEventHandler(
        [d, windowId](const void* e) { return HandleSdlEvent(d, windowId, static_cast<const SDL_Event*>(e)); });
    SDL_StartTextInput();
    // Without a display nobody can answer the dialog: it takes the input already queued for it
    // (scripted events) and then ends as Cancel rather than wait for ever.
    const char* driver = SDL_GetCurrentVideoDriver();
    const bool headless = driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
    Canvas cv{};
    while (!d->ended) {
        MSG msg{};
        bool any = false;
        while (!d->ended && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            any = true;
            if (msg.message == WM_QUIT) {
                // The program is closing: give the quit back to its own loop.
                PostQuitMessage((int)msg.wParam);
                d->ended = true;
                d->result = IDCANCEL;
                break;
            }
            bool input = (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) ||
                         (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST);
            if (input) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (d->ended) break;
        if (d->dirty) {
            d->dirty = false;
            Render(d, cv);
            SDL_UpdateTexture(texture, nullptr, cv.rgb.data(), cv.w * 3);
            SDL_RenderClear(renderer);
            SDL_RenderCopy(renderer, texture, nullptr, nullptr);
            SDL_RenderPresent(renderer);
        }
        if (!any && headless) {
            PlatformTrace("dialogs: \"%s\" has no display to answer it and no more input; cancelled",
                          d->title.c_str());
            d->result = IDCANCEL;
            break;
        }
        if (!any) SDL_Delay(10);
    }
    SDL_StopTextInput();
    PlatformRemoveEventHandler(handler);
    SDL_DestroyTexture(texture);
    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
    return d->result;
}

} // namespace

INT_PTR DialogBoxIndirectParamA(HINSTANCE, const DialogTemplate* dialogTemplate, HWND, DLGPROC proc, LPARAM param)
{
    if (!dialogTemplate || !proc) {
        PlatformTrace("dialogs: DialogBoxIndirectParamA without a %s", dialogTemplate ? "procedure" : "template");
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (dialogTemplate->Width <= 0 || dialogTemplate->Height <= 0 || dialogTemplate->Width > 4096 ||
        dialogTemplate->Height > 4096) {
        PlatformTrace("dialogs: \"%s\" has an unusable size %d x %d", dialogTemplate->Title.c_str(),
                      dialogTemplate->Width, dialogTemplate->Height);
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    auto d = std::make_unique<Dialog>();
    d->hwnd = NewHandle();
    d->proc = proc;
    d->title = dialogTemplate->Title;
    d->w = dialogTemplate->Width;
    d->h = dialogTemplate->Height;
    for (const DialogItemTemplate& item : dialogTemplate->Items) {
        auto c = std::make_unique<Control>();
        c->hwnd = NewHandle();
        c->kind = item.Kind;
        c->id = item.Id;
        c->text = item.Text;
        c->x = item.X;
        c->y = item.Y;
        c->w = item.Width;
        c->h = item.Height;
        c->enabled = !item.Disabled;
        g_controls[c->hwnd] = {d.get(), c.get()};
        d->controls.push_back(std::move(c));
    }
    g_dialogs[d->hwnd] = d.get();

    MoveFocus(d.get(), 1);
    Control* first = Focused(d.get());
    INT_PTR setFocus = proc(d->hwnd, WM_INITDIALOG, first ? reinterpret_cast<WPARAM>(first->hwnd) : 0, param);
    (void)setFocus;
    RepairFocus(d.get());

    INT_PTR result;
    if (d->ended) {
        result = d->result;
    } else if (g_driver) {
        auto driver = g_driver;
        driver(d->hwnd);
        if (!d->ended) {
            PlatformTrace("dialogs: \"%s\" was still open when its test driver returned; cancelled\n",
                          d->title.c_str());
            d->ended = true;
            d->result = IDCANCEL;
        }
        result = d->result;
    } else {
        result = RunWindow(d.get());
    }
    for (auto& c : d->controls) g_controls.erase(c->hwnd);
    g_dialogs.erase(d->hwnd);
    return result;
}

void RegisterDialogTemplate(LPCSTR name, const DialogTemplate& dialogTemplate)
{
    g_templates[TemplateKey(name)] = dialogTemplate;
}

INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND parent, DLGPROC proc, LPARAM param)
{
    auto it = g_templates.find(TemplateKey(templateName));
    if (it == g_templates.end()) {
        PlatformTrace("dialogs: no dialog template %s", TemplateKey(templateName).c_str());
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    // A copy: the procedure may register templates while the dialog runs.
    DialogTemplate copy = it->second;
    return DialogBoxIndirectParamA(instance, &copy, parent, proc, param);
}

BOOL EndDialog(HWND dialog, INT_PTR result)
{
    Dialog* d = FindDialog(dialog);
    if (!d) {
        PlatformTrace("dialogs: EndDialog on an unknown dialog");
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    d->ended = true;
    d->result = result;
    return TRUE;
}

HWND GetDlgItem(HWND dialog, int id)
{
    Control* c = FindItem(FindDialog(dialog), id);
    if (!c) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return c->hwnd;
}

int GetDlgCtrlID(HWND control)
{
    Control* c = FindControl(control);
    return c ? c->id : 0;
}

LRESULT DialogSendMessage(HWND control, UINT message, WPARAM wParam, LPARAM lParam)
{
    Dialog* d = nullptr;
    Control* c = FindControl(control, &d);
    if (!c) {
        PlatformTrace("dialogs: message 0x%04X to an unknown control", message);
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    d->dirty = true;
    const bool list = IsList(c);
    const int count = (int)c->items.size();
    const int index = (int)(INT_PTR)wParam;
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
        if (c->cursel == index) c->cursel = -1;
        else if (c->cursel > index) --c->cursel;
        c->top = std::min(c->top, std::max(0, count - 1));
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
        KeepVisible(c, VisibleRows(c));
        return index;
    case CB_GETLBTEXT:
    case LB_GETTEXT:
        if (!list) break;
        if (!valid || !lParam) return CB_ERR;
        std::memcpy(reinterpret_cast<char*>(lParam), c->items[index].c_str(), c->items[index].size() + 1);
        return (LRESULT)c->items[index].size();
    case CB_GETLBTEXTLEN:
    case LB_GETTEXTLEN:
        if (!list) break;
        return valid ? (LRESULT)c->items[index].size() : CB_ERR;
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
        return TRUE;
    case WM_GETTEXTLENGTH: return (LRESULT)c->text.size();
    case WM_GETTEXT: {
        if (!lParam || wParam == 0) return 0;
        size_t n = std::min(c->text.size(), (size_t)wParam - 1);
        std::memcpy(reinterpret_cast<char*>(lParam), c->text.data(), n);
        reinterpret_cast<char*>(lParam)[n] = 0;
        return (LRESULT)n;
    }
    default: break;
    }
    PlatformTrace("dialogs: control %d does not take message 0x%04X", c->id, message);
    return list ? CB_ERR : 0;
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

BOOL EnableWindow(HWND control, BOOL enable)
{
    Dialog* d = nullptr;
    Control* c = FindControl(control, &d);
    if (!c) {
        PlatformTrace("dialogs: EnableWindow on a window that is not a dialog control");
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    BOOL wasDisabled = !c->enabled;
    c->enabled = enable != FALSE;
    if (!c->enabled) {
        c->dropped = false;
        RepairFocus(d);
    }
    d->dirty = true;
    return wasDisabled;
}

BOOL IsWindowEnabled(HWND control)
{
    Control* c = FindControl(control);
    return c && c->enabled;
}

BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text)
{
    Control* c = FindItem(FindDialog(dialog), id);
    if (!c) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    c->text = text ? text : "";
    FindDialog(dialog)->dirty = true;
    return TRUE;
}

UINT GetDlgItemTextA(HWND dialog, int id, LPSTR text, int size)
{
    Control* c = FindItem(FindDialog(dialog), id);
    if (!text || size <= 0) return 0;
    text[0] = 0;
    if (!c) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    // A drop-down list reads as its chosen entry.
    const std::string& s = c->kind == DialogControlKind::ComboBox && c->cursel >= 0 ? c->items[c->cursel] : c->text;
    size_t n = std::min(s.size(), (size_t)size - 1);
    std::memcpy(text, s.data(), n);
    text[n] = 0;
    return (UINT)n;
}

BOOL CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId)
{
    Dialog* d = FindDialog(dialog);
    if (!d) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    for (auto& c : d->controls)
        if (c->id >= firstId && c->id <= lastId && IsButton(c.get()))
            c->check = c->id == checkId ? BST_CHECKED : BST_UNCHECKED;
    d->dirty = true;
    return TRUE;
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check)
{
    HWND control = GetDlgItem(dialog, id);
    if (!control || !IsButton(FindControl(control))) return FALSE;
    DialogSendMessage(control, BM_SETCHECK, check, 0);
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    if (!control || !IsButton(FindControl(control))) return 0;
    return (UINT)DialogSendMessage(control, BM_GETCHECK, 0, 0);
}

void DialogSetTestDriver(std::function<void(HWND dialog)> driver)
{
    g_driver = std::move(driver);
}

bool DialogTestSelect(HWND dialog, int id, int index)
{
    Dialog* d = FindDialog(dialog);
    return d && Select(d, FindItem(d, id), index);
}

bool DialogTestClick(HWND dialog, int id)
{
    Dialog* d = FindDialog(dialog);
    return d && Click(d, FindItem(d, id));
}

void DialogTestKey(HWND dialog, DialogKey key)
{
    if (Dialog* d = FindDialog(dialog)) Key(d, key);
}

int DialogTestFocus(HWND dialog)
{
    Dialog* d = FindDialog(dialog);
    Control* f = d ? Focused(d) : nullptr;
    return f ? f->id : 0;
}

std::vector<std::string> DialogTestEntries(HWND dialog, int id)
{
    Control* c = FindItem(FindDialog(dialog), id);
    return c ? c->items : std::vector<std::string>();
}

bool DialogTestRender(HWND dialog, int& width, int& height, std::vector<uint8_t>& rgb)
{
    Dialog* d = FindDialog(dialog);
    if (!d) return false;
    Canvas cv{};
    Render(d, cv);
    width = cv.w;
    height = cv.h;
    rgb = std::move(cv.rgb);
    return true;
}
