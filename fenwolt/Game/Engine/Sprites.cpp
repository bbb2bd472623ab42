#include "fenwolt/Game/Engine/Sprites.h"

#include "fenwolt/Game/GameApp.h"

#include <cstdio>
#include <cstring>

TextColourScheme TextColours{};
int32_t SpriteImageWidth = 256, SpriteImageHeight = 256;

namespace {
RECT g_sourceRect{0, 0, 0, 0};

void SetRgb(uint8_t out[3], uint8_t r, uint8_t g, uint8_t b)
{
    out[0] = r;
    out[1] = g;
    out[2] = b;
}

BitmapFont* FontAt(int index)
{
    if (index < 0 || index >= FONT_COUNT || !TheAppConstructed()) return nullptr;
    return TheApp.FontTable[index];
}

// Draws a text sprite shadowed in the given colours (they become the font's colours).
void DrawShadowed(Sprite* s, float x, float y, const char* text, uint32_t textColour, uint32_t shadowColour)
{
    if (!s->Font) return;
    s->Font->TextColour = textColour;
    s->Font->ShadowColour = shadowColour;
    s->SetText(x, y, text);
}

void ApplyAlignment(unsigned handle, float x, float y, int alignment)
{
    Sprite* s = SpriteAt(handle);
    if (!s) return;
    const float width = (float)(s->ScreenRect.right - s->ScreenRect.left);
    if (alignment == 1)
        PlaceSprite(handle, x - width / 2.f, y);
    else if (alignment == 32)
        PlaceSprite(handle, x - width, y);
}
}  // namespace

Sprite* SpriteAt(unsigned handle)
{
    if (handle >= (unsigned)SPRITE_COUNT || !TheAppConstructed()) return nullptr;
    return TheApp.SpriteTable[handle];
}

uint32_t ColourWord(const uint8_t rgb[3])
{
    return 0xFF000000u | (uint32_t)rgb[0] << 16 | (uint32_t)rgb[1] << 8 | rgb[2];
}

// A text sprite on `font`, which takes the current text colours; null for a bad handle or font.
static Sprite* NewTextSprite(unsigned handle, int font)
{
    Sprite* s = SpriteAt(handle);
    BitmapFont* f = FontAt(font);
    if (!s || !f) return nullptr;
    f->TextColour = ColourWord(TextColours.Text);
    f->ShadowColour = ColourWord(TextColours.Shadow);
    s->CreateText(TheApp.Device, f, true, true);
    return s;
}

void CreateTextSprite(unsigned handle, float x, float y, int font, const char* text, int alignment)
{
    Sprite* s = NewTextSprite(handle, font);
    if (!s) return;
    s->SetText(x, y, text);
    ApplyAlignment(handle, x, y, alignment);
}

void CreatePlainTextSprite(unsigned handle, float x, float y, int font, const char* text, int alignment)
{
    Sprite* s = NewTextSprite(handle, font);
    if (!s) return;
    s->SetTextColoured(x, y, ColourWord(TextColours.Text), text);
    ApplyAlignment(handle, x, y, alignment);
}

void CreateTextSpriteFixedColours(unsigned handle, float x, float y, int font, const char* text, int alignment)
{
    Sprite* s = SpriteAt(handle);
    BitmapFont* f = FontAt(font);
    if (!s || !f) return;
    // The fixed colours hold for the aligned drawing too, and the shared font keeps its own.
    const uint32_t keepText = f->TextColour, keepShadow = f->ShadowColour;
    f->TextColour = 0xFFFFFF00;
    f->ShadowColour = 0xFF000000;
    s->CreateText(TheApp.Device, f, true, true);
    s->SetText(x, y, text);
    const float width = (float)(s->ScreenRect.right - s->ScreenRect.left);
    if (alignment == 1)
        s->SetText(x - width / 2.f, y, s->Text);
    else if (alignment == 32)
        s->SetText(x - width, y, s->Text);
    f->TextColour = keepText;
    f->ShadowColour = keepShadow;
}

void SetSpriteText(unsigned handle, const char* text)
{
    Sprite* s = SpriteAt(handle);
    if (!s || !s->Font) return;
    char copy[sizeof(s->Text)];
    std::snprintf(copy, sizeof(copy), "%s", text ? text : "");
    if (s->DrawnWithShadow)
        DrawShadowed(s, s->X, s->Y, copy, ColourWord(TextColours.Text), ColourWord(TextColours.Shadow));
    else
        s->SetTextColoured(s->X, s->Y, ColourWord(TextColours.Text), copy);
}

void CentreSpriteOn(unsigned handle, float x)
{
    Sprite* s = SpriteAt(handle);
    if (!s) return;
    PlaceSprite(handle, x - (float)(s->ScreenRect.right - s->ScreenRect.left) / 2.f, s->Y);
}

void RightAlignSpriteOn(unsigned handle, float x)
{
    Sprite* s = SpriteAt(handle);
    if (!s) return;
    PlaceSprite(handle, x - (float)(s->ScreenRect.right - s->ScreenRect.left), s->Y);
}

void HighlightTextSprite(unsigned handle)
{
    Sprite* s = SpriteAt(handle);
    if (!s) return;
    SetHighlightCursor();
    if (!s->Font) return;
    if (s->DrawnWithShadow)
        DrawShadowed(s, s->X, s->Y, s->Text, ColourWord(TextColours.HighlightText),
                     ColourWord(TextColours.HighlightShadow));
    else
        s->SetTextColoured(s->X, s->Y, ColourWord(TextColours.HighlightText), s->Text);
}

void UnhighlightTextSprite(unsigned handle)
{
    Sprite* s = SpriteAt(handle);
    if (!s) return;
    SetNormalCursor();
    if (!s->Font) return;
    if (s->DrawnWithShadow)
        DrawShadowed(s, s->X, s->Y, s->Text, ColourWord(TextColours.Text), ColourWord(TextColours.Shadow));
    else
        s->SetTextColoured(s->X, s->Y, ColourWord(TextColours.Text), s->Text);
}

void DeactivateTextSprite(unsigned handle)
{
    Sprite* s = SpriteAt(handle);
    if (!s) return;
    s->SetActive(false);
    DrawShadowed(s, s->X, s->Y, s->Text, ColourWord(TextColours.Text), ColourWord(TextColours.Shadow));
}

void SetTextSpriteColour(unsigned handle, uint8_t r, uint8_t g, uint8_t b)
{
    Sprite* s = SpriteAt(handle);
    if (!s || !s->Font) return;
    const uint8_t rgb[3] = {r, g, b};
    s->Font->TextColour = ColourWord(rgb);
    if (s->DrawnWithShadow)
        s->SetText(s->X, s->Y, s->Text);
    else
        s->SetTextColoured(s->X, s->Y, ColourWord(rgb), s->Text);
}

const RECT& MakeRect(float left, float top, float right, float bottom)
{
    g_sourceRect = RECT{(LONG)left, (LONG)top, (LONG)right, (LONG)bottom};
    return g_sourceRect;
}

void CreateImageSprite(unsigned handle, float x, float y, float width, float, const char* file, const RECT& source,
                       uint32_t flags)
{
    Sprite* s = SpriteAt(handle);
    if (!s) return;
    const RECT rect = source;
    s->CreationFlags = flags;
    s->Create(TheApp.Device, file, flags == 256, rect, SpriteImageWidth, SpriteImageHeight, true, true);
    if (flags & 1) {
        x -= width / 2.f;
        if (x < 0.f) x = 0.f;
    }
    s->SetPosition(x, y);
}

void CreateFullScreenSprite(unsigned handle, const char* file)
{
    Sprite* s = SpriteAt(handle);
    if (!s) return;
    s->Create(TheApp.Device, file, false, RECT{0, 0, 800, 600}, 800, 600, false, true);
    s->SetPosition(0.f, 0.f);
}

void RefreshSpriteImage(unsigned handle, const char* file)
{
    Sprite* s = SpriteAt(handle);
    if (!s) return;
    if (s->FromMeshSlot) {
        if (s->Mesh) s->Mesh->ReplaceTexture(TheApp.Device, file);
    } else {
        s->ReloadTexture(TheApp.Device, file);
    }
    s->SetPosition(s->X, s->Y);
}

void PlaceSprite(unsigned handle, float x, float y)
{
    Sprite* s = SpriteAt(handle);
    if (!s) return;
    if (!s->IsText) {
        s->SetPosition(x, y);
    } else if (s->DrawnWithShadow) {
        DrawShadowed(s, x, y, s->Text, ColourWord(TextColours.Text), ColourWord(TextColours.Shadow));
    } else {
        s->SetTextColoured(x, y, s->OwnTextColour, s->Text);
    }
}

void ShowSprite(unsigned handle)
{
    if (Sprite* s = SpriteAt(handle)) s->Flags |= SPRITE_VISIBLE | SPRITE_ACTIVE;
}
void ShowSpriteInactive(unsigned handle)
{
    if (Sprite* s = SpriteAt(handle)) {
        s->SetVisible(true);
        s->SetActive(false);
    }
}
void HideSprite(unsigned handle)
{
    if (Sprite* s = SpriteAt(handle)) s->Flags &= ~(SPRITE_VISIBLE | SPRITE_ACTIVE);
}
void DeactivateSprite(unsigned handle)
{
    if (Sprite* s = SpriteAt(handle)) s->SetActive(false);
}
void SetSpriteActive(unsigned handle, uint8_t flag)
{
    if (Sprite* s = SpriteAt(handle)) s->SetActive(flag != 0);
}

void UseYellowTextColours()
{
    SetTextColours(255, 255, 0, 0, 0, 0);
    SetHighlightColours(0, 0, 0, 255, 255, 0);
}
void UseWhiteTextColours()
{
    SetTextColours(255, 255, 255, 0, 0, 0);
    SetHighlightColours(0, 0, 0, 255, 255, 255);
}
void UseGreenTextColours()
{
    SetTextColours(0, 255, 0, 0, 0, 0);
    SetHighlightColours(0, 0, 0, 0, 255, 0);
}

void SetTextColours(uint8_t tr, uint8_t tg, uint8_t tb, uint8_t sr, uint8_t sg, uint8_t sb)
{
    SetRgb(TextColours.Text, tr, tg, tb);
    SetRgb(TextColours.Shadow, sr, sg, sb);
    SetRgb(TextColours.HighlightText, 0, 0, 0);
    SetRgb(TextColours.HighlightShadow, 255, 255, 255);
}

void SetHighlightColours(uint8_t tr, uint8_t tg, uint8_t tb, uint8_t sr, uint8_t sg, uint8_t sb)
{
    SetRgb(TextColours.HighlightText, tr, tg, tb);
    SetRgb(TextColours.HighlightShadow, sr, sg, sb);
}

void PushRedTextColours()
{
    std::memcpy(TextColours.PushedText, TextColours.Text, 3);
    std::memcpy(TextColours.PushedShadow, TextColours.Shadow, 3);
    SetRgb(TextColours.Text, 255, 0, 0);
    SetRgb(TextColours.Shadow, 0, 0, 0);
}

void PopTextColours()
{
    std::memcpy(TextColours.Text, TextColours.PushedText, 3);
    std::memcpy(TextColours.Shadow, TextColours.PushedShadow, 3);
}

// A windowed game shows the system's cursors; full screen draws its own cursor sprites.
static void ShowPointer(bool hand)
{
    if (!TheAppConstructed()) return;
    if (TheApp.Windowed)
        SetCursor(hand ? TheApp.HandCursor : TheApp.ArrowCursor);
    else
        SelectCursorSprite(hand ? 1 : 0);
}

void SetHighlightCursor() { ShowPointer(true); }
void SetNormalCursor() { ShowPointer(false); }

SpriteHandle HitTestSprites()
{
    for (unsigned h = 0; h < (unsigned)SPRITE_COUNT; ++h) {
        const Sprite* s = SpriteAt(h);
        if (!s || !s->Device || !s->IsActive()) continue;
        const RECT& r = s->ScreenRect;
        if (MouseX >= r.left && MouseX <= r.right && MouseY >= r.top && MouseY <= r.bottom) return (SpriteHandle)h;
    }
    return SPRITE_NONE;
}

void RefreshVisibleSprites()
{
    for (unsigned h = 0; h < (unsigned)SPRITE_COUNT; ++h) {
        const Sprite* s = SpriteAt(h);
        if (s && s->IsVisible()) PlaceSprite(h, s->X, s->Y);
    }
}

void DrawVisibleSprites()
{
    Sprite* first = nullptr;
    for (unsigned h = 0; h < (unsigned)SPRITE_COUNT; ++h) {
        Sprite* s = SpriteAt(h);
        if (!s || !s->Device || !s->IsVisible()) continue;
        if (!first) {
            first = s;
            first->BeginBatch();
        }
        s->DrawInBatch();
    }
    if (first) first->EndBatch();
}

void CreateFontTable()
{
    if (!TheAppConstructed()) return;
    for (int i = 0; i < FONT_COUNT; ++i) {
        BitmapFont* f = TheApp.FontTable[i];
        if (!f) continue;
        f->CreateDeviceObjects(TheApp.Device, FONT_SHEET_FILES[i], i);
        f->RestoreVideoResources();
    }
}
