#include "skerrow/Src/Button.h"

#include <cstdio>

#include "skerrow/Src/Input.h"
#include "skerrow/Src/Graphics/Graphics.h"
#include "skerrow/Src/Sprite.h"
#include "skerrow/Src/Tables.h"
#include "skerrow/Src/TrueTypeFont.h"
#include "skerrow/Src/game/Resources.h"

int32_t g_clickedButtonId = 0;
// The cursor follows the mouse's relative motion; the system's pointer starts in the top left
// corner of the back buffer, so the game's starts there too and the two agree.
int32_t g_cursorX = 0, g_cursorY = 0;

void Control::GetAbsolutePosition(int* ax, int* ay) const
{
    int px = 0, py = 0;
    // Parents never form a loop in this program; the depth bound only keeps a mistake finite.
    int depth = 0;
    for (const Control* c = this; c && depth < 64; c = c->parent, ++depth) {
        px += c->x;
        py += c->y;
    }
    *ax = px;
    *ay = py;
}

Button::Button() = default;

void Button::Set(int bx, int by, int w, int h, int32_t buttonId)
{
    x = static_cast<int16_t>(bx);
    y = static_cast<int16_t>(by);
    width = static_cast<int16_t>(w);
    height = static_cast<int16_t>(h);
    id = buttonId;
    type = BUTTON_PUSH;
    toggle = 0;
}

void Button::SetRect(const RECT& rect, int32_t buttonId)
{
    Set(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, buttonId);
}

int Button::SetFromFrame(const CSprite& sheet, const char* frameName, int32_t buttonId)
{
    SpriteFrame f{};
    if (!sheet.GetFrame(frameName, &f)) {
        Set(0, 0, 0, 0, buttonId);
        SetShown(0);
        return 0;
    }
    RECT r{f.left, f.top, f.right, f.bottom};
    MoveRectTo(&r, f.offsetX, f.offsetY);
    SetRect(r, buttonId);
    SetShown(1);
    return 1;
}

void Button::SetLabel(const char* text) { std::snprintf(label, sizeof label, "%s", text ? text : ""); }
void Button::SetCaption(const char* name) { std::snprintf(caption, sizeof caption, "%s", name ? name : ""); }

void Button::HandleInput(int32_t* code)
{
    if (!IsVisible() || IsDisabled()) {
        // A button taken out of use mid-hover or mid-press shows no highlight, and a press made
        // before it went out of use does not fire it when it comes back.
        hovered = 0;
        pressed = 0;
        return;
    }
    int ax, ay;
    GetAbsolutePosition(&ax, &ay);
    hovered = (ax <= g_cursorX && g_cursorX < ax + width && ay <= g_cursorY && g_cursorY < ay + height) ? 1 : 0;
    if (*code == MOUSE_LEFT_DOWN) {
        if (hovered) {
            pressed = 1;
            *code = MOUSE_NONE;
        }
    } else if (*code == MOUSE_LEFT_UP) {
        if (hovered && pressed && type == BUTTON_PUSH) g_clickedButtonId = id;
        pressed = 0;
    } else if (*code == MOUSE_LEFT_DOUBLE) {
        if (hovered) *code = MOUSE_NONE;
    }
    if (hotkey != 0 && WasKeyPressed(hotkey)) g_clickedButtonId = id;
    if (type == BUTTON_REPEAT && pressed && hovered && g_input.leftHeld) g_clickedButtonId = id;
}

void Button::LabelPosition(int textWidth, int* lx, int* ly) const
{
    int ax, ay;
    GetAbsolutePosition(&ax, &ay);
    switch (labelModeX) {
    case 0: *lx = ax + (width - textWidth) / 2; break;
    case 1: *lx = ax + labelOffsetX; break;
    case 2: *lx = ax + width - textWidth - labelOffsetX; break;
    default: *lx = 0;
    }
    switch (labelModeY) {
    case 0: *ly = ay + (height - 14) / 2; break;
    case 1: *ly = ay + labelOffsetY; break;
    case 2: *ly = ay + height - labelOffsetY - 18; break;
    default: *ly = 0;
    }
}

void Button::Draw()
{
    if (!IsVisible()) return;
    int ax, ay;
    GetAbsolutePosition(&ax, &ay);
    const int shift = (IsActive() || g_clickedButtonId == id) ? 1 : 0;
    uint32_t colour = IsActive() ? highlightColour : normalColour;
    if (IsDisabled()) colour = disabledColour;
    if (!g_sprites) return;
    GameSprites& g = *g_sprites;
    if (caption[0] && g.buttonsAnim.IsLoaded()) {
        g.buttonsAnim.Animate(caption, 0);
        const int dx = IsDisabled() ? 0 : shift;
        g.buttons.DrawAnimationEx(g.buttonsAnim, ax + dx, ay + dx, colour, g.buttons.Alignment(), 1.0f, 0.0f);
    }
    if (label[0] && g.fonts[1].IsLoaded()) {
        BeginText(&g.fonts[1], 14);
        int lx, ly;
        LabelPosition(MeasureText(label), &lx, &ly);
        g.fonts[1].Print(lx + shift, ly + shift + 12, PackPixelRgb(colour & 0xFFFFFF), label);
        EndText();
    }
}

void Button::Update(int32_t* code)
{
    HandleInput(code);
    Draw();
}
