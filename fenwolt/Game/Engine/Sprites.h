// The sprite table's interface for screens: text and picture sprites addressed by handle, the
// text-colour scheme, the hit test and the table-wide operations. Every function ignores a
// handle of 2000 or more.
#pragma once

#include "fenwolt/Game/Engine/EngineTables.h"

#include <cstdint>

struct TextColourScheme {
    uint8_t Text[3];
    uint8_t Shadow[3];
    uint8_t HighlightText[3];
    uint8_t HighlightShadow[3];
    uint8_t PushedText[3];
    uint8_t PushedShadow[3];
};
extern TextColourScheme TextColours;
// Size of the picture file the next CreateImageSprite loads (256 x 256 at start).
extern int32_t SpriteImageWidth, SpriteImageHeight;

// The sprite of a handle; null for 2000 and above (or before the application object exists).
Sprite* SpriteAt(unsigned handle);
uint32_t ColourWord(const uint8_t rgb[3]);

void CreateTextSprite(unsigned handle, float x, float y, int font, const char* text, int alignment);
void CreatePlainTextSprite(unsigned handle, float x, float y, int font, const char* text, int alignment);
void CreateTextSpriteFixedColours(unsigned handle, float x, float y, int font, const char* text, int alignment);
void SetSpriteText(unsigned handle, const char* text);
void CentreSpriteOn(unsigned handle, float x);
void RightAlignSpriteOn(unsigned handle, float x);
void HighlightTextSprite(unsigned handle);
void UnhighlightTextSprite(unsigned handle);
void DeactivateTextSprite(unsigned handle);
void SetTextSpriteColour(unsigned handle, uint8_t r, uint8_t g, uint8_t b);

const RECT& MakeRect(float left, float top, float right, float bottom);
void CreateImageSprite(unsigned handle, float x, float y, float width, float height, const char* file,
                       const RECT& source, uint32_t flags);
void CreateFullScreenSprite(unsigned handle, const char* file);
void RefreshSpriteImage(unsigned handle, const char* file);

void PlaceSprite(unsigned handle, float x, float y);
void ShowSprite(unsigned handle);
void ShowSpriteInactive(unsigned handle);
void HideSprite(unsigned handle);
void DeactivateSprite(unsigned handle);
void SetSpriteActive(unsigned handle, uint8_t flag);

void UseYellowTextColours();
void UseWhiteTextColours();
void UseGreenTextColours();
void SetTextColours(uint8_t tr, uint8_t tg, uint8_t tb, uint8_t sr, uint8_t sg, uint8_t sb);
void SetHighlightColours(uint8_t tr, uint8_t tg, uint8_t tb, uint8_t sr, uint8_t sg, uint8_t sb);
void PushRedTextColours();
void PopTextColours();

void SetHighlightCursor();
void SetNormalCursor();

// The created, ACTIVE sprite under (MouseX, MouseY), edges included; the lowest handle wins.
SpriteHandle HitTestSprites();
// Rewrites every VISIBLE sprite at its position (after a reactivation in full screen).
void RefreshVisibleSprites();
// Draws every VISIBLE, created sprite in handle order as one batch.
void DrawVisibleSprites();
// Creates the three fonts' device objects and video resources on the application's device.
void CreateFontTable();
