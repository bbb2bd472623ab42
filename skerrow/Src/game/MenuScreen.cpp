#include <cstdio>

#include "skerrow/Src/Graphics/Graphics.h"
#include "skerrow/Src/Input.h"
#include "skerrow/Src/Log.h"
#include "skerrow/Src/game/App.h"
#include "skerrow/Src/game/Gameplay.h"
#include "skerrow/Src/game/Resources.h"
#include "skerrow/Src/game/ScreenCommon.h"
#include "skerrow/Src/game/Screens.h"

MenuScreen g_menuScreenInstance;

namespace {
const char* const kMenuFrames[6] = {"newgame", "loadgame", "hiscores", "options", "instruction", "quit"};
const int kMenuX = 316, kMenuY = 179;
const int kVersionSize = 14, kVersionBaseline = 475;
}  // namespace

void MenuScreen::InitSurfaces()
{
    LogMessage("Call MenuScreen::InitSurfaces()\n");
    ReleaseSurfaces();
    if (!LoadPicture("Logo2.tga", &background_)) {
        LogMessage("Can't load logo.tga\n");
        return;
    }
    CopyPictureOnto("OmbrelitQRN.tga", background_, 17, 7);
    sheet_.LoadWithFrames("menu.tga", "menu.frm");
    for (int i = 0; i < 6; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "%s_up", kMenuFrames[i]);
        SpriteFrame f{};
        if (sheet_.GetFrame(name, &f)) {
            buttons_[i].Set(f.offsetX + kMenuX, f.offsetY + kMenuY, f.right - f.left, f.bottom - f.top, i + 1);
            buttons_[i].SetShown(1);
        } else {
            buttons_[i].SetShown(0);
        }
    }
}

void MenuScreen::ReleaseSurfaces()
{
    ReleasePicture(&background_);
    sheet_.Destroy();
}

int32_t MenuScreen::Process()
{
    MoveCursor();
    // Escape backs out of every screen; at the root that means leaving the game.
    if (WasKeyPressed(DIK_ESCAPE)) {
        QuitApplication();
        return 0;
    }
    DrawPicture(background_, 0, 0);
    int32_t code = PopMouseCode();
    g_clickedButtonId = 0;
    for (int i = 0; i < 6; ++i) {
        Button& b = buttons_[i];
        b.Update(&code);
        char name[32];
        if (b.pressed) {
            std::snprintf(name, sizeof name, "%s_down", kMenuFrames[i]);
            sheet_.DrawFrame(name, kMenuX, kMenuY, ALIGN_LEFT | ALIGN_TOP);
        } else if (b.hovered) {
            std::snprintf(name, sizeof name, "%s_up", kMenuFrames[i]);
            sheet_.DrawFrame(name, kMenuX, kMenuY, ALIGN_LEFT | ALIGN_TOP);
        }
    }
    const int clicked = g_clickedButtonId;
    g_clickedButtonId = 0;
    switch (clicked) {
    case 1: LoadLevelList(1); return 1;
    case 2: g_loadScreen.SwitchScreen(0); return 1;
    case 3:
        HiscoreScreen::SetScorePending(0);
        g_hiscoreScreen.SwitchScreen(0);
        return 1;
    case 4: g_optionsScreenInstance.SwitchScreen(0); return 1;
    case 5: g_helpScreen.SwitchScreen(0); return 1;
    case 6: QuitApplication(); return 0;
    default: break;
    }
    DrawCursor();
    // In the corner under the QUIT button (which ends at y 459), clear of it.
    if (g_sprites) PrintRight(TextFont(), kVersionSize, 635, kVersionBaseline, PackPixelRgb(0xFFFFFF), g_strings.Get("Version"));
    return 1;
}
