#include "fenwolt/Game/FrontEnd/StartMenu.h"

#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/FrontEnd/ConfirmBox.h"
#include "fenwolt/Game/FrontEnd/GameType.h"
#include "fenwolt/Game/FrontEnd/Options.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Network/NetState.h"
#include "fenwolt/Game/Screens.h"
#include "fenwolt/Game/Engine/Sound.h"
#include "fenwolt/Game/Engine/Sprites.h"

namespace {
bool IsMenuItem(SpriteHandle h)
{
    return h == STARTMENU_START || h == STARTMENU_OPTIONS || h == STARTMENU_LOAD || h == STARTMENU_EXIT;
}
}  // namespace

void BuildStartMenuScreen()
{
    if (Net.sessionSetUp) CleanupDirectPlay();
    StopSound(SOUND_CROWD);
    PlaySecondarySound(SOUND_WHISTLE_LONG, false);
    PlayPrimarySound(SOUND_MATCH_MUSIC_2, true);
    ResetHover();
    SetScreenMessageHandler(StartMenuMessageHandler);
    CreateFullScreenSprite(0, "interface\\start.jpg");
    UseGreenTextColours();
    CreateTextSprite(STARTMENU_START, 119.f, 297.f, 0, "START", 0);
    CreateTextSprite(STARTMENU_OPTIONS, 440.f, 297.f, 0, "OPTIONS", 0);
    CreateTextSprite(STARTMENU_LOAD, 312.f, 297.f, 0, "LOAD", 0);
    CreateTextSprite(STARTMENU_EXIT, 668.f, 297.f, 0, "EXIT", 0);
    Competition.matchInProgress = 0;
}

void StartMenuMessageHandler(int32_t message)
{
    if (message == WM_MOUSEMOVE) {
        const SpriteHandle hit = TheApp.HitTestSprites();
        HoverSprite(hit, IsMenuItem(hit));
        return;
    }
    if (message == WM_LBUTTONDOWN) {
        switch (TheApp.HitTestSprites()) {
        case STARTMENU_START:
            NetworkGameActive = false;
            SetScreen(ScreenId::GameType);
            PlaySecondarySound(SOUND_CHEER, false);
            return;
        case STARTMENU_OPTIONS:
            OptionsOpenedFromStartMenu = 1;
            StopSound(SOUND_MATCH_MUSIC_2);
            SetScreen(ScreenId::Options);
            return;
        case STARTMENU_LOAD:
            SetScreen(ScreenId::LoadGame);
            return;
        default:
            return;
        }
    }
    if (message == WM_LBUTTONUP && TheApp.HitTestSprites() == STARTMENU_EXIT) ShowConfirmBox(CONFIRM_EXIT_PROGRAM);
}
