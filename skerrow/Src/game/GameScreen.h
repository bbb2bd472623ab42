// The screen of one level: each frame a tick of play, then the play view, the panel with the
// HUD and the messages. Its drawing functions are shared with the other play screens.
#pragma once

#include <cstdint>

#include "skerrow/Src/game/Screen.h"
#include "platform/ddraw/ddraw.h"

class GameScreen : public Screen {
public:
    const char* GetName() override { return "GameScreen"; }
    void OnKey(uint8_t) override {}
    void InitSurfaces() override;
    void ReleaseSurfaces() override;
    void OnDisplay(Screen* previous, int32_t argument) override;
    int32_t Process() override;

    // Play view, panel, HUD and messages of one frame (no tick of play).
    void DrawFrame();
    // The level editor: play stands still while it is on; F5 toggles it when enabled.
    int32_t editorAllowed = 0;

private:
    void ProcessEditor();
    LPDIRECTDRAWSURFACE7 panel_ = nullptr;
};
extern GameScreen g_gameScreen;
// Where F10 leads (the options screen, once the program has one).
extern Screen* g_optionsScreen;

void RestartAnimations();
// Puts the desktop's pointer on the ship, as a screen with the ship is shown (a level begun, play
// resumed after the options, the window activated again): the mouse then moves the ship from
// where it is, with room to push it to either wall, wherever the pointer rested before.
void PlaceShipPointer();
void DrawBitmapText(int x, int y, uint16_t colour, float scale, const char* format, ...)
    __attribute__((format(printf, 5, 6)));
void FillScreenRect(int x, int y, int w, int h, uint16_t colour);
void DrawLine(int x0, int y0, int x1, int y1, uint16_t colour);
void DrawFrameStats();
void DrawTileBackground();
void DrawBlocks();
void DrawPaddleAndBalls();
void DrawEnemies();
void DrawCapsulesAndBullets();
void DrawHud();
// The HUD with the given DONE figure, none when it is negative (no level to give one).
void DrawHudWith(int progress);
void DrawMessages();
// The progress figure of the HUD: 0 at the start of a level, 99 at its top.
int LevelProgress();
