#include "fenwolt/Game/FrontEnd/Loading.h"

#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Network/GameMessages.h"
#include "fenwolt/Game/Network/NetState.h"
#include "fenwolt/Game/Screens.h"
#include "fenwolt/Game/Engine/Sprites.h"
#include "fenwolt/Game/Engine/Texts.h"
#include "fenwolt/common/Utilities.h"

#include <cstdio>
#include <cstring>

LoadingState Loading{0.f, 0, 0, 0, 10.f};

namespace {

constexpr TextId TEXT_PREPARING = 292;
constexpr TextId TEXT_PROGRESS = 293;
constexpr TextId TEXT_GET_READY = 404;
constexpr unsigned SPRITE_PROGRESS = 1;
constexpr unsigned SPRITE_MESSAGE = 2;
// The longest text a sprite holds.
constexpr size_t SPRITE_TEXT_SIZE = sizeof(Sprite::Text);

// This screen's load pass has run to its end (the loader's own flag may still be set from the
// match before).
bool g_loadPassDone = false;
// Network guest: the host's word that both have loaded, kept if it comes before this computer
// has finished.
bool g_hostReady = false;

void SetCursorVisible(bool visible)
{
    if (!TheAppConstructed()) return;
    if (Sprite* cursor = TheApp.CursorSprites[0]) cursor->SetVisible(visible);
}

void StartMatch()
{
    SetScreen(ScreenId::Match);
    Loading.switched = 1;
}

}  // namespace

int32_t LoadingPercent(uint32_t done, uint32_t total)
{
    if (total == 0) return 100;
    const double percent = (double)done / ((double)total / 100.0);
    if (percent >= 99.0) return 100;
    return percent < 0.0 ? 0 : (int32_t)percent;
}

void FormatLoadingLine(char* out, size_t size, const char* format, int32_t percent)
{
    if (!out || size == 0) return;
    size_t used = 0;
    auto put = [&](char c) {
        if (used + 1 < size) out[used++] = c;
    };
    bool numberDone = false;
    for (const char* p = format ? format : ""; *p; ++p) {
        if (p[0] == '%' && p[1] == '%') {
            put('%');
            ++p;
        } else if (p[0] == '%' && p[1] == 'd' && !numberDone) {
            char digits[16];
            std::snprintf(digits, sizeof(digits), "%d", percent);
            for (const char* d = digits; *d; ++d) put(*d);
            numberDone = true;
            ++p;
        } else {
            put(*p);
        }
    }
    for (int32_t i = 0; i < percent && i < 100; ++i) put('.');
    out[used] = 0;
}

void BuildLoadingScreen()
{
    Loading.switched = 0;
    Loading.waitTime = 0.f;
    g_loadPassDone = false;
    g_hostReady = false;
    TheApp.SetBackground("interface\\loading.jpg");
    UseWhiteTextColours();
    CreatePlainTextSprite(SPRITE_PROGRESS, 15.f, 520.f, 0, GetText(TEXT_PREPARING), 0);
    DeactivateSprite(SPRITE_PROGRESS);
    CreatePlainTextSprite(SPRITE_MESSAGE, 315.f, 490.f, 0, GetText(TEXT_GET_READY), 0);
    DeactivateSprite(SPRITE_MESSAGE);
    SetCursorVisible(false);
    ScreenReady = true;
    Loading.peerReady = 0;
    SetScreenMessageHandler(LoadingMessageHandler);
    SetScreenUpdateHandler(LoadingWaitHandler);
}

void LoadingWaitHandler(float step)
{
    Loading.waitTime += step;
    if (Loading.waitTime < LOADING_WAIT_SECONDS) return;
    SetScreenUpdateHandler(nullptr);

    ResourceLoadProgressRecord& progress = TheApp.ResourceLoadProgress;
    progress.TotalSteps = 0;
    progress.ListsPending = 2;
    TheApp.LoadResourceList("level\\e_mesh.txt", true);
    TheApp.LoadResourceList("level\\e_tex.txt", true);
    ++Loading.loadersPending;
    progress.ResourcesLoaded = 0;
    progress.StepsDone = 0;
    SetScreenUpdateHandler(LoadingProgressHandler);

    // The meshes of an earlier match make room for this one's.
    TheApp.DestroyMeshes();
    TheApp.LoadResourceList("level\\e_mesh.txt", false);
    TheApp.LoadResourceList("level\\e_tex.txt", false);
    // Both lists have been gone through; the screen never waits for a list that cannot come.
    if (!progress.ResourcesLoaded) {
        DebugTrace("Loading: the resource lists ended without the loaded mark; going on\n");
        progress.ResourcesLoaded = 1;
    }
    g_loadPassDone = true;
    --Loading.loadersPending;
}

void LoadingProgressHandler(float)
{
    const ResourceLoadProgressRecord& progress = TheApp.ResourceLoadProgress;
    char line[SPRITE_TEXT_SIZE];
    FormatLoadingLine(line, sizeof(line), GetText(TEXT_PROGRESS),
                      LoadingPercent(progress.StepsDone, progress.TotalSteps));
    UseWhiteTextColours();
    SetSpriteText(SPRITE_PROGRESS, line);

    if (Loading.switched || !progress.ResourcesLoaded || !g_loadPassDone) return;
    if (Loading.loadersPending != 0) return;
    if (IsNetworkGuest()) {
        if (!Loading.peerReady) {
            SendGameMessage(GAME_MSGID_READY);
            Loading.peerReady = 1;
        }
        if (g_hostReady) StartMatch();
        return;
    }
    if (IsNetworkHost()) {
        if (!Loading.peerReady) return;
        SendGameMessage(GAME_MSGID_READY);
    }
    Loading.startDelay -= FrameTimeFactor * 0.5f;
    SetCursorVisible(true);
    if (Loading.startDelay <= 0.f) StartMatch();
}

void LoadingMessageHandler(int32_t message)
{
    if (message != WM_USER + 1) return;
    if (LastMessageParam == NOTIFY_PLAYER_LEFT) {
        UseWhiteTextColours();
        SetSpriteText(SPRITE_MESSAGE, "OTHER PLAYER IS NO LONGER CONNECTED");
        CentreSpriteOn(SPRITE_MESSAGE, 400.f);
        ShowSpriteInactive(SPRITE_MESSAGE);
        NetworkGameActive = false;
        if (Net.sessionSetUp) CleanupDirectPlay();
        return;
    }
    if (LastMessageParam != NOTIFY_READY || !IsNetworkGame()) return;
    if (IsNetworkGuest()) {
        SetCursorVisible(true);
        g_hostReady = true;
        // Before this computer has loaded, the word waits for the progress handler.
        if (Loading.loadersPending == 0 && g_loadPassDone && !Loading.switched) StartMatch();
    } else {
        Loading.peerReady = 1;
    }
}
