#include "fenwolt/Game/Network/Multi.h"

#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/FrontEnd/GameType.h"
#include "fenwolt/Game/FrontEnd/SquadEditor.h"
#include "fenwolt/Game/FrontEnd/TextEntry.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Match/MatchRecords.h"
#include "fenwolt/Game/Match/Squads.h"
#include "fenwolt/Game/Network/GameMessages.h"
#include "fenwolt/Game/Network/NetStage.h"
#include "fenwolt/Game/Network/NetState.h"
#include "fenwolt/Game/Screens.h"
#include "fenwolt/Game/Engine/Sprites.h"
#include "fenwolt/common/netconnect.h"
#include "platform/dplay8/dxerr8.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr const char* SOURCE_UNIT = "Game\\multi";
bool g_comInitialized = false;
bool g_exitCleanupRegistered = false;

HRESULT Report(int line, HRESULT hr, const char* call) { return DXTrace(SOURCE_UNIT, (DWORD)line, hr, call, TRUE); }

void CopyName(char* out, const char* in)
{
    std::snprintf(out, 260, "%s", in ? in : "");
}

void SendRandomTable(const int32_t*, int) { SendGameMessage(GAME_MSGID_RANDOM_TABLE); }

// A program that ends with a session up closes it on the way out, so that no DirectPlay thread
// outlives the game.
void CleanupAtExit()
{
    if (Net.peer || Net.lobbiedApplication || Net.wizard || Net.stage) CleanupDirectPlay();
}

// The staging area ends its loop with a WM_QUIT to its dialog; one that arrives after the loop
// has already ended (a cancel and the session's end together) must not end the game's own loop.
// A quit meant for the program (no window) or for a window still open is kept.
void DropStrayQuits()
{
    MSG m;
    std::vector<MSG> kept;
    bool programQuit = false;
    WPARAM code = 0;
    while (PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        if (!m.hwnd) {
            programQuit = true;
            code = m.wParam;
        } else if (IsWindow(m.hwnd)) {
            kept.push_back(m);
        }
    }
    for (const MSG& k : kept) PostMessageA(k.hwnd, k.message, k.wParam, k.lParam);
    if (programQuit) PostQuitMessage((int)code);
}

void ShowStartButton(const char* text, bool clickable)
{
    UseGreenTextColours();
    SetValueText(NETSETUP_START, text);
    CentreSpriteOn(NETSETUP_START, 400.f);
    ShowSprite(NETSETUP_START);
    if (clickable)
        SetSpriteActive(NETSETUP_START, 1);
    else
        DeactivateSprite(NETSETUP_START);
}

// The settings that outlive a session. Each computer keeps its own choice (what it had when the
// set-up screen was built, changed by its own presses); the other computer's choice holds for
// the session it was made in and is forgotten with it, so that a guest who leaves does not
// leave his settings to the next one.
struct SetupChoice {
    int32_t difficulty;
    int32_t minutesPerHalf;
    uint8_t abilitySwapLocked;
    bool operator==(const SetupChoice& o) const
    {
        return difficulty == o.difficulty && minutesPerHalf == o.minutesPerHalf &&
               abilitySwapLocked == o.abilitySwapLocked;
    }
};
SetupChoice g_ownChoice{};
bool g_ownChoiceKept = false;
// The settings as the session last left them, while the other computer's choice is in force.
SetupChoice g_sessionChoice{};
bool g_otherChoiceInForce = false;
// Guest: the host's settings have arrived. Until then the guest shows none and takes no presses
// on them, so that it never shows, changes or agrees to values other than the ones played.
bool g_hostValuesHeard = false;

SetupChoice CurrentChoice()
{
    return SetupChoice{MatchSetup.difficulty, MatchSetup.minutesPerHalf, MatchSetup.abilitySwapLocked};
}

void ApplyChoice(const SetupChoice& c)
{
    MatchSetup.difficulty = c.difficulty;
    MatchSetup.minutesPerHalf = c.minutesPerHalf;
    MatchSetup.abilitySwapLocked = c.abilitySwapLocked;
}

// This computer's press on one value of the set-up screen.
void NoteOwnChoice(unsigned handle)
{
    const SetupChoice now = CurrentChoice();
    if (handle == NETSETUP_DIFFICULTY) g_ownChoice.difficulty = now.difficulty;
    if (handle == NETSETUP_MINUTES) g_ownChoice.minutesPerHalf = now.minutesPerHalf;
    if (handle == NETSETUP_SWAPPING) g_ownChoice.abilitySwapLocked = now.abilitySwapLocked;
    if (g_otherChoiceInForce) g_sessionChoice = now;
}

// Puts this computer's own choice back when the session's settings are still in place (nothing
// outside the session, such as a set-up on one computer, has changed them since).
void ForgetOtherComputersChoice()
{
    if (g_otherChoiceInForce && g_ownChoiceKept && CurrentChoice() == g_sessionChoice) ApplyChoice(g_ownChoice);
    g_otherChoiceInForce = false;
}

bool GuestWaitsForHostValues() { return !Net.isHost && !g_hostValuesHeard; }

}  // namespace

// --- The session -----------------------------------------------------------------------------------

HRESULT InitDirectPlay()
{
    if (Net.lobbiedApplication) {
        Net.lobbiedApplication->Close(0);
        Net.lobbiedApplication->Release();
        Net.lobbiedApplication = nullptr;
    }
    if (Net.peer) {
        // Leaving a session on the way back to the wizard is not the other player leaving.
        Net.closing = true;
        Net.peer->Close(0);
        Net.peer->Release();
        Net.peer = nullptr;
        Net.closing = false;
        DiscardNetworkMessages();
    }
    // Nothing the old objects reported concerns the new ones.
    ++Net.sessionSerial;
    Net.opponent = 0;
    Net.playerCount = 0;
    HRESULT hr = CoCreateInstance(CLSID_DirectPlay8Peer, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectPlay8Peer,
                                  reinterpret_cast<void**>(&Net.peer));
    if (FAILED(hr)) return Report(__LINE__, hr, "CoCreateInstance");
    hr = CoCreateInstance(CLSID_DirectPlay8LobbiedApplication, nullptr, CLSCTX_INPROC_SERVER,
                          IID_IDirectPlay8LobbiedApplication, reinterpret_cast<void**>(&Net.lobbiedApplication));
    if (FAILED(hr)) return Report(__LINE__, hr, "CoCreateInstance");
    if (Net.wizard) Net.wizard->Init(Net.peer, Net.lobbiedApplication);
    hr = Net.peer->Initialize(nullptr, DirectPlayMessageHandler, 0);
    if (FAILED(hr)) return Report(__LINE__, hr, "Initialize");
    DPNHANDLE connection = 0;
    hr = Net.lobbiedApplication->Initialize(nullptr, DirectPlayLobbyMessageHandler, &connection, 0);
    if (FAILED(hr)) return Report(__LINE__, hr, "Initialize");
    Net.launchedByLobby = connection != 0;
    if (!g_exitCleanupRegistered) {
        std::atexit(CleanupAtExit);
        g_exitCleanupRegistered = true;
    }
    return S_OK;
}

void CleanupDirectPlay()
{
    Net.closing = true;
    if (Net.wizard) Net.wizard->Shutdown();
    if (Net.peer) {
        Net.peer->Close(0);
        Net.peer->Release();
        Net.peer = nullptr;
    }
    if (Net.lobbiedApplication) {
        Net.lobbiedApplication->Close(0);
        Net.lobbiedApplication->Release();
        Net.lobbiedApplication = nullptr;
    }
    delete Net.wizard;
    Net.wizard = nullptr;
    delete Net.stage;
    Net.stage = nullptr;
    if (Net.playerListLockMade) {
        DeleteCriticalSection(&Net.playerListLock);
        Net.playerListLockMade = false;
    }
    if (g_comInitialized) {
        CoUninitialize();
        g_comInitialized = false;
    }
    ++Net.sessionSerial;
    Net.opponent = 0;
    DiscardNetworkMessages();
    SetSharedRandomTableSender(nullptr);
    ResetSquadHandshake();
    // Settings chosen with the other computer stay with the match they were played in.
    if (!Competition.matchInProgress) ForgetOtherComputersChoice();
    Net.playerCount = 0;
    Net.sessionDialog = nullptr;
    Net.sessionSetUp = 0;
    NetworkGameActive = false;
    Net.closing = false;
}

HRESULT DirectPlayLobbyMessageHandler(void* context, DWORD messageId, void* message)
{
    if (Net.wizard) return Net.wizard->LobbyMessageHandler(context, messageId, message);
    return S_OK;
}

bool SetupMultiMachine()
{
    Net.displaySwitched = 0;
    if (TheAppConstructed() && !TheApp.Windowed) {
        if (FAILED(TheApp.ToggleFullscreen())) return false;
        Net.displaySwitched = 1;
    }
    if (!Net.playerListLockMade) {
        InitializeCriticalSection(&Net.playerListLock);
        Net.playerListLockMade = true;
    }
    CopyName(Net.playerName, "Player");
    CopyName(Net.sessionName, "Quillane");
    CopyName(Net.providerName, "DirectPlay8 TCP/IP Service Provider");
    if (!g_comInitialized) {
        CoInitialize(nullptr);
        g_comInitialized = true;
    }
    HINSTANCE instance = TheAppConstructed() ? TheApp.Instance : nullptr;
    if (!Net.wizard) Net.wizard = new ConnectionWizard(instance, NET_APPLICATION_NAME, &NetApplicationGuid);
    if (!Net.stage) Net.stage = new NetStage(instance, NET_APPLICATION_NAME);

    HRESULT hr = InitDirectPlay();
    if (FAILED(hr)) {
        Report(__LINE__, hr, "InitDirectPlay");
        return false;
    }
    if (Net.launchedByLobby && Net.wizard->HaveConnectionSettingsFromLobby()) {
        hr = Net.wizard->ConnectUsingLobbySettings();
        if (FAILED(hr)) {
            Report(__LINE__, hr, "ConnectUsingLobbySettings");
            return false;
        }
        CopyName(Net.playerName, Net.wizard->GetPlayerName());
        Net.isHost = Net.wizard->IsHostPlayer();
        return true;
    }
    Net.wizard->SetMaxPlayers(NET_SESSION_PLAYERS);
    Net.wizard->SetPlayerName(Net.playerName);
    Net.wizard->SetSessionName(Net.sessionName);
    Net.wizard->SetPreferredProvider(Net.providerName);
    Net.isHost = 0;

    int step = 0;
    bool firstTime = true;
    while (step < 2) {
        HRESULT result;
        if (step == 0) {
            Net.stage->Init(Net.peer);
            result = Net.wizard->DoConnectWizard(firstTime ? FALSE : TRUE);
            firstTime = false;
            Net.isHost = Net.wizard->IsHostPlayer();
        } else {
            result = Net.stage->DoStage(Net.playerName, Net.isHost);
            DropStrayQuits();
        }
        if (result < 0) {
            Report(__LINE__, result, "DoConnectWizard");
            return false;
        }
        if (result == WIZARD_RESULT_QUIT) return false;
        if (result == WIZARD_RESULT_BACK) {
            --step;
            if (step < 0) return false;  // back out of the first dialog is leaving the set-up
            hr = InitDirectPlay();
            if (FAILED(hr)) {
                Report(__LINE__, hr, "InitDirectPlay");
                return false;
            }
        } else {
            ++step;
        }
        // The stage needs the name the wizard ended with.
        if (step == 1) CopyName(Net.playerName, Net.wizard->GetPlayerName());
    }
    CopyName(Net.playerName, Net.wizard->GetPlayerName());
    CopyName(Net.sessionName, Net.wizard->GetSessionName());
    CopyName(Net.providerName, Net.wizard->GetPreferredProvider());
    // The one the game was started with; whoever else came and went in the stage is no concern.
    Net.opponent = Net.stage->OpponentId();
    DebugTrace("Net: the other manager is player %08x\n", (unsigned)Net.opponent);
    return true;
}

// --- The set-up screen -------------------------------------------------------------------------------

void ShowNetExhibitionValues()
{
    char text[32];
    UseGreenTextColours();
    if (GuestWaitsForHostValues()) {
        for (unsigned handle : {NETSETUP_MINUTES, NETSETUP_SWAPPING, NETSETUP_HOME_NAME, NETSETUP_AWAY_NAME,
                                NETSETUP_DIFFICULTY})
            SetValueText(handle, ":");
        RefreshHover();
        return;
    }
    std::snprintf(text, sizeof text, "%d", MatchSetup.minutesPerHalf);
    SetValueText(NETSETUP_MINUTES, text);
    SetValueText(NETSETUP_SWAPPING, MatchSetup.abilitySwapLocked ? "Off" : "On");
    std::snprintf(text, sizeof text, "%.11s", TeamNames[0]);
    SetValueText(NETSETUP_HOME_NAME, text);
    std::snprintf(text, sizeof text, "%.11s", TeamNames[1]);
    SetValueText(NETSETUP_AWAY_NAME, text);
    // Each manager reads the difficulty from his own side: the guest plays against it.
    std::snprintf(text, sizeof text, "%d", Net.isHost ? MatchSetup.difficulty : DIFFICULTY_MAX - MatchSetup.difficulty);
    SetValueText(NETSETUP_DIFFICULTY, text);
    RefreshHover();
}

void BuildNetExhibitionScreen()
{
    if (Net.sessionSetUp) {
        CleanupDirectPlay();
        // Cleaning up the old session is no change of mind about playing on two computers.
        NetworkGameActive = true;
    }
    HoldNetworkMessages(true);
    if (!SetupMultiMachine()) {
        Net.sessionSetUp = 0;
        if (Net.displaySwitched && TheAppConstructed()) {
            TheApp.ToggleFullscreen();
            Net.displaySwitched = 0;
        }
        // Nothing of an abandoned set-up stays behind.
        CleanupDirectPlay();
        HoldNetworkMessages(false);
        SetScreen(ScreenId::StartMenu);
        return;
    }
    Net.sessionSetUp = 1;
    SetSharedRandomTableSender(SendRandomTable);
    ResetChat();
    LayOutNetExhibitionScreen();
    // What arrived while the dialogs were up reaches this screen now.
    HoldNetworkMessages(false);
}

void LayOutNetExhibitionScreen()
{
    // An earlier session's settings that nothing has touched since give way to this computer's.
    ForgetOtherComputersChoice();
    CreateDefaultSquads();
    MatchSetup.minutesPerHalf = 45;
    g_ownChoice = CurrentChoice();
    g_ownChoiceKept = true;
    g_hostValuesHeard = false;
    BeginMenuScreen(OnNetExhibitionMessage, "interface\\plain.jpg");
    CreateLabel(NETSETUP_TITLE, 400.f, 30.f, "SET EXHIBITION MATCH DETAILS", 1);
    CreateLabel(NETSETUP_HOME_LABEL, 400.f, 70.f, "Home Team:", 32);
    CreateLabel(NETSETUP_AWAY_LABEL, 400.f, 100.f, "Away Team:", 32);
    CreateLabel(NETSETUP_DIFFICULTY_LABEL, 400.f, 130.f, "Difficulty Level:", 32);
    CreateLabel(NETSETUP_MINUTES_LABEL, 400.f, 160.f, "Minutes per Half:", 32);
    CreateLabel(NETSETUP_SWAPPING_LABEL, 400.f, 190.f, "Allow Ability Swapping:", 32);
    UseGreenTextColours();
    CreateTextSprite(NETSETUP_HOME_NAME, 420.f, 70.f, 0, ":", 0);
    CreateTextSprite(NETSETUP_AWAY_NAME, 420.f, 100.f, 0, ":", 0);
    CreateTextSprite(NETSETUP_DIFFICULTY, 420.f, 130.f, 0, ":", 0);
    CreateTextSprite(NETSETUP_MINUTES, 420.f, 160.f, 0, ":", 0);
    CreateTextSprite(NETSETUP_SWAPPING, 420.f, 190.f, 0, ":", 0);
    CreateTextSprite(NETSETUP_START, 400.f, 230.f, 0, "START MATCH", 1);
    CreateTextSprite(NETSETUP_RETURN, 707.f, 567.f, 0, "Return", 1);
    ListKits();
    Competition.matchInProgress = 0;
    // The host waits for the guest's readiness, the guest for the host's settings.
    ShowStartButton("AWAITING OTHER PLAYER", false);
    UseGreenTextColours();
    CreateTextSprite(NETSETUP_DISCONNECTED, 400.f, 540.f, 0, "OTHER PLAYER IS NO LONGER CONNECTED", 1);
    HideSprite(NETSETUP_DISCONNECTED);
    ShowNetExhibitionValues();
    MatchSetup.managers = 2;
    // The guest has arrived: both managers start from the host's settings.
    if (Net.isHost) {
        SendGameMessage(GAME_MSGID_SETTINGS);
        SendGameMessage(GAME_MSGID_TEAM_NAMES);
    }
}

void NoteSettingsFromOtherComputer()
{
    g_sessionChoice = CurrentChoice();
    g_otherChoiceInForce = true;
    if (CurrentScreenId != (int32_t)ScreenId::NetExhibitionSetup || !Net.sessionSetUp) return;
    const bool first = GuestWaitsForHostValues();
    if (!Net.isHost) g_hostValuesHeard = true;
    ShowNetExhibitionValues();
    if (first) ShowStartButton("START MATCH", true);
}

void OnNetExhibitionMessage(int32_t message)
{
    if (message == (int32_t)WM_NET_NOTIFY) {
        switch (LastMessageParam) {
        case NOTIFY_SESSION_STARTED:
            if (Net.displaySwitched && TheAppConstructed()) {
                TheApp.ToggleFullscreen();
                Net.displaySwitched = 0;
                SpritesNeedRefresh = true;
            }
            return;
        case NOTIFY_PLAYER_LEFT:
            ShowSpriteInactive(NETSETUP_DISCONNECTED);
            HideSprite(NETSETUP_START);
            if (Net.sessionSetUp) CleanupDirectPlay();
            return;
        case NOTIFY_READY:
            if (Net.isHost) {
                ShowStartButton("START MATCH", true);
            } else {
                Competition.currentManager = 1;
                SetStartingPoints();
                ResetSquadHandshake();
                SetScreen(ScreenId::TeamDetails);
            }
            return;
        default:  // nothing else concerns this screen
            return;
        }
    }
    if (message == TEXT_ENTRY_ENDED_COMMAND) {
        SendGameMessage(GAME_MSGID_TEAM_NAMES);
        ShowNetExhibitionValues();
        return;
    }
    const SpriteHandle hit = TheAppConstructed() ? TheApp.HitTestSprites() : SPRITE_NONE;
    if (message == MSG_MOUSE_MOVE) {
        HoverSprite(hit, hit == NETSETUP_RETURN || hit == NETSETUP_START || hit == NETSETUP_MINUTES ||
                             (hit >= NETSETUP_SWAPPING && hit <= NETSETUP_AWAY_NAME));
        return;
    }
    if (message != MSG_LEFT_DOWN || hit == SPRITE_NONE) return;
    if (GuestWaitsForHostValues() && hit != NETSETUP_RETURN) return;
    switch (hit) {
    case NETSETUP_SWAPPING:
    case NETSETUP_DIFFICULTY:
    case NETSETUP_MINUTES:
        // The same steps as the one-computer set-up, whose value sprites go by other numbers.
        StepSetupValue(hit == NETSETUP_SWAPPING     ? SETUP_SWAPPING
                       : hit == NETSETUP_DIFFICULTY ? SETUP_DIFFICULTY
                                                    : SETUP_MINUTES,
                       true);
        NoteOwnChoice(hit);
        SendGameMessage(GAME_MSGID_SETTINGS);
        break;
    case NETSETUP_HOME_NAME:
    case NETSETUP_AWAY_NAME:
        EditTeamName(hit, hit == NETSETUP_HOME_NAME ? 0 : 1);
        break;
    case NETSETUP_RETURN:
        SetScreen(ScreenId::StartMenu);
        return;
    case NETSETUP_START:
        if (!Net.sessionSetUp) break;
        if (Net.isHost) {
            SendGameMessage(GAME_MSGID_SETTINGS);
            SendGameMessage(GAME_MSGID_TEAM_NAMES);
            SendGameMessage(GAME_MSGID_READY);
            Competition.currentManager = 0;
            SetStartingPoints();
            ResetSquadHandshake();
            SetScreen(ScreenId::TeamDetails);
            return;
        }
        ShowStartButton("AWAITING OTHER PLAYER", false);
        SendGameMessage(GAME_MSGID_READY);
        break;
    default:
        break;
    }
    // A press that left the screen must not write into the next screen's sprites.
    if (CurrentScreenId == (int32_t)ScreenId::NetExhibitionSetup) ShowNetExhibitionValues();
}
