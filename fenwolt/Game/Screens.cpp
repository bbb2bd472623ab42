#include "fenwolt/Game/Screens.h"

#include "fenwolt/Game/FrontEnd/ConfirmBox.h"
#include "fenwolt/Game/FrontEnd/Cup.h"
#include "fenwolt/Game/FrontEnd/GameType.h"
#include "fenwolt/Game/FrontEnd/Intro.h"
#include "fenwolt/Game/FrontEnd/League.h"
#include "fenwolt/Game/FrontEnd/Loading.h"
#include "fenwolt/Game/FrontEnd/Options.h"
#include "fenwolt/Game/FrontEnd/Saves.h"
#include "fenwolt/Game/FrontEnd/SquadEditor.h"
#include "fenwolt/Game/FrontEnd/StartMenu.h"
#include "fenwolt/Game/FrontEnd/TeamStats.h"
#include "fenwolt/Game/FrontEnd/TextEntry.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Engine/Instances.h"
#include "fenwolt/Game/Match/MatchScreen.h"
#include "fenwolt/Game/Network/Multi.h"
#include "fenwolt/Game/Engine/Scene.h"
#include "fenwolt/Game/Engine/Sound.h"
#include "fenwolt/Game/Engine/Sprites.h"
#include "fenwolt/common/Utilities.h"

int32_t CurrentScreenId = 0;
bool PopupOpen = false;
int32_t SavedSpriteFlags[2000];
ScreenMessageHandlerFn SavedMessageHandler = nullptr;
ScreenUpdateHandlerFn SavedUpdateHandler = nullptr;
uint32_t InputOwner = 1;
bool InputOwnerShown = false;

namespace {
// The builder of each screen of the game; null for an id that names no screen.
ScreenBuilderFn OwnBuilder(int32_t id)
{
    switch ((ScreenId)id) {
    case ScreenId::Intro: return BuildIntroScreen;
    case ScreenId::StartMenu: return BuildStartMenuScreen;
    case ScreenId::LoadGame: return BuildLoadGameScreen;
    case ScreenId::Loading: return BuildLoadingScreen;
    case ScreenId::Options: return BuildOptionsScreen;
    case ScreenId::Match: return BuildMatchScreen;
    case ScreenId::ExhibitionSetup: return BuildExhibitionScreen;
    case ScreenId::CupSetup: return BuildCupScreen;
    case ScreenId::NetExhibitionSetup: return BuildNetExhibitionScreen;
    case ScreenId::TeamDetails: return BuildSquadScreen;
    case ScreenId::SystemMenu: return BuildSystemMenuScreen;
    case ScreenId::LeagueSetup: return BuildLeagueScreen;
    case ScreenId::InfoPage1: return BuildInfoPage1Screen;
    case ScreenId::InfoPage2: return BuildInfoPage2Screen;
    case ScreenId::GameType: return BuildGameTypeScreen;
    case ScreenId::SaveTeam: return BuildSaveTeamScreen;
    case ScreenId::LoadTeam: return BuildLoadTeamScreen;
    case ScreenId::ExhibitionResult: return BuildExhibitionResultScreen;
    case ScreenId::CupResult: return BuildCupResultScreen;
    case ScreenId::LeagueResult: return BuildLeagueResultScreen;
    case ScreenId::GameOptions: return BuildGameOptionsScreen;
    case ScreenId::Credits: return BuildCreditsScreen;
    case ScreenId::TeamStats: return BuildTeamStatsScreen;
    }
    return nullptr;
}

// Builders installed in place of a screen's own (null: its own).
ScreenBuilderFn g_installed[SCREEN_ID_LIMIT];
}  // namespace

ScreenBuilderFn GetScreenBuilder(int32_t id)
{
    if (id < 0 || id >= SCREEN_ID_LIMIT) return nullptr;
    return g_installed[id] ? g_installed[id] : OwnBuilder(id);
}

void SetScreenBuilder(ScreenId id, ScreenBuilderFn builder)
{
    const int32_t i = (int32_t)id;
    if (i < 0 || i >= SCREEN_ID_LIMIT || !OwnBuilder(i)) return;
    g_installed[i] = builder;
}

void FrozenUpdateHandler(float) {}

void ChangeInputOwner()
{
    // 0 is kept for "no owner" by those who remember one.
    if (++InputOwner == 0) InputOwner = 1;
    InputOwnerShown = false;
}

void SetScreen(int32_t id)
{
    ResetScreenHandlers();
    LastMessageId = 0;
    AbortTextEntry();
    RightButtonDown = false;
    LeftButtonDown = false;
    ScreenReady = false;
    SceneVisible = false;
    if (TheAppConstructed()) TheApp.ReleaseAllSprites();
    ReleaseAllInstances();
    ForceSceneRebuild();
    if (TheAppConstructed()) TheApp.SetSceneViewport(0);
    CurrentScreenId = id;
    SetNormalCursor();
    ChangeInputOwner();
    // Pop-ups are opened with OpenPopupScreen, not switched to.
    if (id != (int32_t)ScreenId::SystemMenu && id != (int32_t)ScreenId::GameOptions) {
        if (ScreenBuilderFn builder = GetScreenBuilder(id)) builder();
    }
    PopupOpen = false;
    ScreenReady = true;
}

void OpenPopupScreen(int32_t id)
{
    if (id != (int32_t)ScreenId::SystemMenu && id != (int32_t)ScreenId::GameOptions) {
        DebugTrace("Screen %d is not a pop-up\n", id);
        return;
    }
    // A second pop-up over an open one would overwrite the saved state of the screen below.
    if (PopupOpen) ClosePopupScreen();
    for (unsigned h = 0; h < 2000; ++h) {
        SavedSpriteFlags[h] = 0;
        Sprite* s = SpriteAt(h);
        if (!s) continue;
        if (s->IsActive()) {
            s->SetActive(false);
            SavedSpriteFlags[h] |= 1;
        }
        if (s->IsVisible()) {
            s->SetVisible(false);
            SavedSpriteFlags[h] |= 2;
        }
    }
    SavedMessageHandler = ScreenMessageHandler;
    SavedUpdateHandler = ScreenUpdateHandler;
    SetScreenUpdateHandler(FrozenUpdateHandler);
    ChangeInputOwner();
    if (TheAppConstructed()) TheApp.SetSceneViewport(0);
    if (ScreenBuilderFn builder = GetScreenBuilder(id)) builder();
    PopupOpen = true;
}

void ClosePopupScreen()
{
    for (unsigned h = 1500; h <= 1949; ++h)
        if (Sprite* s = SpriteAt(h)) s->Destroy();
    for (unsigned h = 0; h < 2000; ++h) {
        Sprite* s = SpriteAt(h);
        if (!s) continue;
        if (SavedSpriteFlags[h] & 1) s->SetActive(true);
        if (SavedSpriteFlags[h] & 2) s->SetVisible(true);
    }
    SetScreenMessageHandler(SavedMessageHandler);
    SetScreenUpdateHandler(SavedUpdateHandler);
    PopupOpen = false;
    ChangeInputOwner();
}

void PostScreenCommand(int32_t command, uint32_t parameter)
{
    LastMessageParam = parameter;
    if (ScreenMessageHandler) ScreenMessageHandler(command);
}

void SendScreenCommand(int32_t command)
{
    if (ScreenMessageHandler) ScreenMessageHandler(command);
}

void InitScreenTable() { BindSoundCommandPoster(PostScreenCommand); }
