// The connection wizard: the chain of dialogs in which the user names the local player, picks a
// DirectPlay service provider, searches for sessions of this game and joins one, or creates one;
// or waits for a lobby program to hand over a connection.
#pragma once

#include "platform/win32/win32.h"

#include <atomic>
#include <cstdint>

struct IDirectPlay8Peer;
struct IDirectPlay8LobbiedApplication;
struct IDirectPlay8Address;

// What a dialog of the wizard (or the staging area) ended with; negative values are HRESULTs.
typedef HRESULT WizardResult;
constexpr HRESULT WIZARD_RESULT_NEXT = 0x01000001;
constexpr HRESULT WIZARD_RESULT_BACK = 0x01000002;
constexpr HRESULT WIZARD_RESULT_QUIT = 0x01000003;
constexpr HRESULT WIZARD_RESULT_LOBBYCONNECTED = 0x01000004;

// Dialog templates and control ids of the wizard.
constexpr int IDD_MULTIPLAYER_CONNECT = 10001;
constexpr int IDD_MULTIPLAYER_GAMES = 10002;
constexpr int IDD_MULTIPLAYER_CREATE = 10003;
constexpr int IDD_LOBBY_WAIT_STATUS = 10004;
constexpr int IDC_GAMES_LIST = 11003;
constexpr int IDC_JOIN = 11004;
constexpr int IDC_CREATE = 11005;
constexpr int IDC_PLAYER_NAME_EDIT = 11002;
constexpr int IDC_CONNECTION_LIST = 11006;
constexpr int IDC_BACK = 11007;
constexpr int IDC_EDIT_SESSION_NAME = 11009;
constexpr int IDC_SEARCH_CHECK = 11010;
constexpr int IDC_WAIT_TEXT = 11012;
// Posted to the games dialog when the host search ended by itself.
constexpr UINT WM_WIZARD_SEARCH_ENDED = WM_APP + 0x100;
constexpr UINT_PTR TIMER_WIZARD_REFRESH = 1;
constexpr UINT_PTR TIMER_WIZARD_CONNECT = 2;

struct HostEnumEntry;

class ConnectionWizard {
public:
    ConnectionWizard(HINSTANCE instance, const char* applicationName, const GUID* applicationGuid);
    virtual ~ConnectionWizard();

    HRESULT Init(IDirectPlay8Peer* peer, IDirectPlay8LobbiedApplication* lobbiedApplication);
    void Shutdown();

    void SetMaxPlayers(int32_t maxPlayers) { maxPlayers_ = maxPlayers; }
    void SetPlayerName(const char* name);
    void SetSessionName(const char* name);
    void SetPreferredProvider(const char* name);
    const char* GetPlayerName() const { return playerName_; }
    const char* GetSessionName() const { return sessionName_; }
    const char* GetPreferredProvider() const { return providerName_; }
    BOOL IsHostPlayer() const { return isHost_; }
    BOOL HaveConnectionSettingsFromLobby() const { return haveLobbySettings_; }

    // Runs the dialogs until the user has joined or created a session (next), went back out of
    // the games dialog, quit, or a lobby connected; an HRESULT on failure.
    WizardResult DoConnectWizard(BOOL startAtGames);
    // DirectPlay's messages (from DirectPlay's threads); always S_OK.
    HRESULT MessageHandler(void* context, DWORD messageId, void* message);
    // The lobby client's messages.
    HRESULT LobbyMessageHandler(void* context, DWORD messageId, void* message);
    HRESULT ConnectUsingLobbySettings();

    // The games dialog while it is open (0 otherwise).
    HWND SessionsDialog() const { return sessionsDialog_.load(); }
    // Sessions found so far that are still answering (tests look at the list through this).
    int ValidHostCount();

    static INT_PTR CALLBACK StaticConnectionsDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK StaticSessionsDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK StaticLobbyWaitDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK StaticCreateSessionDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);

private:
    INT_PTR ConnectionsDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
    INT_PTR SessionsDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
    INT_PTR LobbyWaitDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
    INT_PTR CreateSessionDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);

    HRESULT ConnectionsDlgFillListBox(HWND dialog);
    HRESULT ConnectionsDlgOnOK(HWND dialog);
    void ConnectionsDlgCleanup(HWND dialog);
    void SessionsDlgInitListbox(HWND dialog);
    HRESULT SessionsDlgEnumHosts(HWND dialog);
    HRESULT SessionsDlgNoteEnumResponse(void* response);
    void SessionsDlgExpireOldHostEnums();
    HRESULT SessionsDlgDisplayEnumList(HWND dialog);
    HRESULT SessionsDlgJoinGame(HWND dialog);
    HRESULT SessionsDlgCreateGame(HWND dialog);
    void SessionsDlgEnumListCleanup();
    // Switches the search off in the dialog; `cancel` also cancels the running enumeration.
    void SessionsDlgStopSearch(HWND dialog, bool cancel);
    bool InHostList(const HostEnumEntry* entry) const;  // under hostListLock
    HRESULT SetLocalPeerInfo();

    IDirectPlay8Peer* peer_ = nullptr;
    IDirectPlay8LobbiedApplication* lobbiedApplication_ = nullptr;
    CRITICAL_SECTION hostListLock_{};
    GUID applicationGuid_{};
    HRESULT result_ = 0;
    std::atomic<HWND> sessionsDialog_{nullptr};
    HINSTANCE instance_ = nullptr;
    int32_t maxPlayers_ = 0;
    char applicationName_[MAX_PATH] = {};
    char providerName_[MAX_PATH] = {};
    char sessionName_[MAX_PATH] = {};
    char playerName_[MAX_PATH] = {};
    std::atomic<BOOL> searching_{FALSE};
    BOOL migrateHost_ = FALSE;
    IDirectPlay8Address* deviceAddress_ = nullptr;
    IDirectPlay8Address* hostAddress_ = nullptr;
    HostEnumEntry* hostList_ = nullptr;  // the sentinel of a circular list, newest first
    BOOL listChanged_ = FALSE;
    DWORD enumHandle_ = 0;
    BOOL isHost_ = FALSE;
    DWORD expiryTime_ = 0;
    std::atomic<BOOL> connecting_{FALSE};
    DWORD connectHandle_ = 0;
    HANDLE connectCompleteEvent_ = nullptr;
    HANDLE lobbyConnectEvent_ = nullptr;
    std::atomic<HRESULT> connectResult_{0};
    BOOL haveLobbySettings_ = FALSE;
    DWORD lobbyConnection_ = 0;
};

// The one wizard, for the static dialog procedures; set by the constructor.
extern ConnectionWizard* TheConnectionWizard;
