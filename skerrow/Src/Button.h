// GUI buttons: a control with a picture from the shared button animations, an optional text
// label, a hotkey, push (fires on release) or auto-repeat (fires every frame while held).
#pragma once

#include <cstdint>

#include "platform/win32/wintypes.h"

class CSprite;

class Control {
public:
    virtual ~Control() = default;
    virtual void Draw() = 0;

    void SetShown(int shown) { flags = static_cast<int16_t>(shown ? flags | 1 : flags & ~1); }
    void SetEnabled(int enabled) { flags = static_cast<int16_t>(enabled ? flags | 2 : flags & ~2); }
    int IsVisible() const { return flags & 1; }
    int IsDisabled() const { return (flags & 2) ? 0 : 1; }
    void GetAbsolutePosition(int* ax, int* ay) const;

    int16_t x = 0, y = 0, width = 0, height = 0;
    int16_t flags = 3;
    Control* parent = nullptr;
};

enum ButtonType : uint8_t { BUTTON_PUSH = 1, BUTTON_REPEAT = 2 };

class Button : public Control {
public:
    Button();
    void Draw() override;
    virtual void HandleInput(int32_t* code);
    virtual void Update(int32_t* code);

    void Set(int bx, int by, int w, int h, int32_t buttonId);
    void SetRect(const RECT& rect, int32_t buttonId);
    // The named frame's size at the frame's offset (its screen position); 0 when the sheet has
    // no such frame (the button then stays hidden rather than sit at the corner).
    int SetFromFrame(const CSprite& sheet, const char* frameName, int32_t buttonId);
    void SetType(uint8_t t) { type = t; }
    void SetLabel(const char* text);
    void SetCaption(const char* name);
    int IsActive() const { return pressed && hovered; }
    int IsIdle() const { return !IsDisabled() && !IsActive(); }
    // Where the label goes for a text of width `textWidth`.
    void LabelPosition(int textWidth, int* lx, int* ly) const;

    int32_t id = 0;
    uint8_t hovered = 0;
    uint8_t pressed = 0;
    uint8_t type = BUTTON_PUSH;
    uint8_t toggle = 0;
    uint32_t normalColour = 0xFFFFFFFFu;
    uint32_t highlightColour = 0xFF00FFFFu;
    uint32_t disabledColour = 0xFF808080u;
    int32_t hotkey = 0;
    char label[32] = {};
    char caption[64] = {};
    int32_t labelOffsetX = 0, labelOffsetY = 0;
    int32_t labelModeX = 0, labelModeY = 0;
};

// The id of the button that fired this frame (0 none); the screens read and clear it.
extern int32_t g_clickedButtonId;
// The cursor in screen pixels, moved by the screens from the mouse motion.
extern int32_t g_cursorX, g_cursorY;
