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
#include "fenwolt/Game/Instances.h"
#include "fenwolt/Game/Match/MatchScreen.h"
#include "fenwolt/Game/Network/Multi.h"
#include "fenwolt/Game/Scene.h"
#include "fenwolt/Game/Sound.h"
#include "fenwolt/Game/Sprites.h"
#include "fenwolt/common/Utilities.h"

#include <cstdio>

int32_t CurrentScreenId = 0;
bool PopupOpen = false;
int32_t SavedSpriteFlags[2000];
ScreenMessageHandlerFn SavedMessageHandler = nullptr;
ScreenUpdateHandlerFn SavedUpdateHandler = nullptr;

namespace {
const char* ScreenName(int32_t id)
{
    switch ((ScreenId)id) {
    case ScreenId::Intro: return "Intro";
    case ScreenId::StartMenu: return "StartMenu";
    case ScreenId::LoadGame: return "LoadGame";
    case ScreenId::Loading: return "Loading";
    case ScreenId::Options: return "Options";
    case ScreenId::Match: return "Match";
    case ScreenId::ExhibitionSetup: return "ExhibitionSetup";
    case ScreenId::CupSetup: return "CupSetup";
    case ScreenId::NetExhibitionSetup: return "NetExhibitionSetup";
    case ScreenId::TeamDetails: return "TeamDetails";
    case ScreenId::SystemMenu: return "SystemMenu";
    case ScreenId::LeagueSetup: return "LeagueSetup";
    case ScreenId::InfoPage1: return "InfoPage1";
    case ScreenId::InfoPage2: return "InfoPage2";
    case ScreenId::GameType: return "GameType";
    case ScreenId::SaveTeam: return "SaveTeam";
    case ScreenId::LoadTeam: return "LoadTeam";
    case ScreenId::ExhibitionResult: return "ExhibitionResult";
    case ScreenId::CupResult: return "CupResult";
    case ScreenId::LeagueResult: return "LeagueResult";
    case ScreenId::GameOptions: return "GameOptions";
    case ScreenId::Credits: return "Credits";
    case ScreenId::TeamStats: return "TeamStats";
    }
    return nullptr;
}

// Screens whose code is not in this build lay out nothing and say so.
void BuildScreenNotYetBuilt()
{
    const char* name = ScreenName(CurrentScreenId);
    DebugTrace("Screen %d (%s) is not built yet: it shows an empty screen\n", CurrentScreenId, name ? name : "?");
}


ScreenBuilderFn g_builders[SCREEN_ID_LIMIT];
bool g_buildersSet = false;

void EnsureBuilders()
{
    if (g_buildersSet) return;
    for (int32_t id = 0; id < SCREEN_ID_LIMIT; ++id) g_builders[id] = ScreenName(id) ? BuildScreenNotYetBuilt : nullptr;
    g_builders[(int)ScreenId::Intro] = BuildIntroScreen;
    g_builders[(int)ScreenId::StartMenu] = BuildStartMenuScreen;
    g_builders[(int)ScreenId::Loading] = BuildLoadingScreen;
    g_builders[(int)ScreenId::Options] = BuildOptionsScreen;
    g_builders[(int)ScreenId::Credits] = BuildCreditsScreen;
    g_builders[(int)ScreenId::InfoPage1] = BuildInfoPage1Screen;
    g_builders[(int)ScreenId::InfoPage2] = BuildInfoPage2Screen;
    g_builders[(int)ScreenId::Match] = BuildMatchScreen;
    g_builders[(int)ScreenId::GameType] = BuildGameTypeScreen;
    g_builders[(int)ScreenId::ExhibitionSetup] = BuildExhibitionScreen;
    g_builders[(int)ScreenId::NetExhibitionSetup] = BuildNetExhibitionScreen;
    g_builders[(int)ScreenId::ExhibitionResult] = BuildExhibitionResultScreen;
    g_builders[(int)ScreenId::CupSetup] = BuildCupScreen;
    g_builders[(int)ScreenId::CupResult] = BuildCupResultScreen;
    g_builders[(int)ScreenId::LeagueSetup] = BuildLeagueScreen;
    g_builders[(int)ScreenId::LeagueResult] = BuildLeagueResultScreen;
    g_builders[(int)ScreenId::TeamDetails] = BuildSquadScreen;
    g_builders[(int)ScreenId::TeamStats] = BuildTeamStatsScreen;
    g_builders[(int)ScreenId::LoadGame] = BuildLoadGameScreen;
    g_builders[(int)ScreenId::SaveTeam] = BuildSaveTeamScreen;
    g_builders[(int)ScreenId::LoadTeam] = BuildLoadTeamScreen;
    g_builders[(int)ScreenId::SystemMenu] = BuildSystemMenuScreen;
    g_builders[(int)ScreenId::GameOptions] = BuildGameOptionsScreen;
    g_buildersSet = true;
}
}  // namespace

ScreenBuilderFn GetScreenBuilder(int32_t id)
{
    EnsureBuilders();
    if (id < 0 || id >= SCREEN_ID_LIMIT) return nullptr;
    return g_builders[id];
}

void SetScreenBuilder(ScreenId id, ScreenBuilderFn builder)
{
    EnsureBuilders();
    const int32_t i = (int32_t)id;
    if (i < 0 || i >= SCREEN_ID_LIMIT || !ScreenName(i)) return;
    if (builder) {
        g_builders[i] = builder;
    } else {
        g_buildersSet = false;
        ScreenBuilderFn keep[SCREEN_ID_LIMIT];
        for (int k = 0; k < SCREEN_ID_LIMIT; ++k) keep[k] = g_builders[k];
        EnsureBuilders();
        for (int k = 0; k < SCREEN_ID_LIMIT; ++k)
            if (k != i) g_builders[k] = keep[k];
    }
}

void FrozenUpdateHandler(float) {}

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

void InitScreenTable()
{
    EnsureBuilders();
    BindSoundCommandPoster(PostScreenCommand);
}
