#include "fenwolt/common/netconnect.h"

#include "fenwolt/common/Utilities.h"
#include "platform/dialogs/dialogs.h"
#include "platform/dplay8/dplay8.h"
#include "platform/dplay8/dxerr8.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <new>
#include <string>

ConnectionWizard* TheConnectionWizard = nullptr;

struct HostEnumEntry {
    DPN_APPLICATION_DESC desc;  // its own copy of the session name; no other pointers kept
    IDirectPlay8Address* hostAddress;
    IDirectPlay8Address* deviceAddress;
    char text[MAX_PATH];
    DWORD lastResponse;  // timeGetTime
    BOOL valid;
    HostEnumEntry* next;
};

namespace {

const char* const SourceUnit = "common\\netconnect";
const char* const SampleCaption = "DirectPlay Sample";
const char* const DefaultProvider = "DirectPlay8 TCP/IP Service Provider";
const char* const WaitForLobbyText = "Wait for Lobby Connection";
const char* const IdleListText = "Click Start Search to see a list of games.  Click Create to start a new game.";
// Sessions kept at once: a flood of made-up answers replaces the stalest instead of growing the list.
constexpr int MaxListedSessions = 64;

#define WIZARD_TRACE(hr, what) DXTrace(SourceUnit, __LINE__, (hr), (what), TRUE)

void CopyName(char* out, const char* in)
{
    std::snprintf(out, MAX_PATH, "%s", in ? in : "");
}

// A wide text of unknown length from the network, cut to `room` characters with terminator.
void WideToGeneric(char* out, const WCHAR* in, int room)
{
    out[0] = 0;
    if (!in) return;
    ConvertWideStringToGeneric(out, in, room);
}

WCHAR* CopyWide(const WCHAR* in, size_t maxChars)
{
    if (!in) return nullptr;
    size_t n = 0;
    while (n < maxChars && in[n]) ++n;
    WCHAR* out = new (std::nothrow) WCHAR[n + 1];
    if (!out) return nullptr;
    std::wmemcpy(out, in, n);
    out[n] = 0;
    return out;
}

void Release(IDirectPlay8Address*& address)
{
    if (address) address->Release();
    address = nullptr;
}

// Templates of the four dialogs, in dialog pixels.
void RegisterTemplates()
{
    static bool done = false;
    if (done) return;
    done = true;
    using K = DialogControlKind;
    DialogTemplate connect{"Multiplayer Connect", 380, 262, {}};
    connect.Items = {
        {K::Static, -1, "Player Name:", 12, 12, 356, 16},
        {K::Edit, IDC_PLAYER_NAME_EDIT, "", 12, 30, 356, 22},
        {K::Static, -1, "Connection Type:", 12, 64, 356, 16},
        {K::ListBox, IDC_CONNECTION_LIST, "", 12, 82, 356, 132},
        {K::DefButton, IDOK, "OK", 210, 226, 75, 24},
        {K::Button, IDCANCEL, "Cancel", 293, 226, 75, 24},
    };
    RegisterDialogTemplate(MAKEINTRESOURCEA(IDD_MULTIPLAYER_CONNECT), connect);

    DialogTemplate games{"Multiplayer Games", 520, 300, {}};
    games.Items = {
        {K::Static, -1, "Select Game To Join:", 12, 16, 200, 16},
        {K::CheckBox, IDC_SEARCH_CHECK, "Start Search", 398, 10, 110, 26, false, BS_PUSHLIKE},
        {K::ListBox, IDC_GAMES_LIST, "", 12, 44, 496, 204},
        {K::Button, IDC_JOIN, "Join", 12, 262, 90, 26},
        {K::Button, IDC_CREATE, "Create", 110, 262, 90, 26},
        {K::Button, IDC_BACK, "Cancel", 418, 262, 90, 26},
    };
    RegisterDialogTemplate(MAKEINTRESOURCEA(IDD_MULTIPLAYER_GAMES), games);

    DialogTemplate create{"Create Game", 300, 110, {}};
    create.Items = {
        {K::Static, -1, "Game Name:", 12, 12, 276, 16},
        {K::Edit, IDC_EDIT_SESSION_NAME, "", 12, 30, 276, 22},
        {K::DefButton, IDOK, "OK", 130, 72, 75, 24},
        {K::Button, IDCANCEL, "Cancel", 213, 72, 75, 24},
    };
    RegisterDialogTemplate(MAKEINTRESOURCEA(IDD_MULTIPLAYER_CREATE), create);

    DialogTemplate lobby{"Lobby Connection Status", 280, 96, {}};
    lobby.Items = {
        {K::Static, IDC_WAIT_TEXT, "Finding Game...", 12, 16, 256, 16},
        {K::Button, IDCANCEL, "&Cancel", 102, 56, 75, 24},
    };
    RegisterDialogTemplate(MAKEINTRESOURCEA(IDD_LOBBY_WAIT_STATUS), lobby);
}

std::string ListText(HWND dialog, int id, int index)
{
    LRESULT length = SendDlgItemMessageA(dialog, id, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length < 0) return std::string();
    std::string text(static_cast<size_t>(length) + 1, '\0');
    SendDlgItemMessageA(dialog, id, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(std::strlen(text.c_str()));
    return text;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
ConnectionWizard::ConnectionWizard(HINSTANCE instance, const char* applicationName, const GUID* applicationGuid)
{
    instance_ = instance;
    if (applicationGuid) applicationGuid_ = *applicationGuid;
    CopyName(applicationName_, applicationName);
    CopyName(providerName_, DefaultProvider);
    InitializeCriticalSection(&hostListLock_);
    connectCompleteEvent_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    lobbyConnectEvent_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    hostList_ = new HostEnumEntry{};
    hostList_->next = hostList_;
    RegisterTemplates();
    TheConnectionWizard = this;
}

ConnectionWizard::~ConnectionWizard()
{
    EnterCriticalSection(&hostListLock_);
    SessionsDlgEnumListCleanup();
    LeaveCriticalSection(&hostListLock_);
    delete hostList_;
    hostList_ = nullptr;
    Shutdown();
    DeleteCriticalSection(&hostListLock_);
    if (connectCompleteEvent_) CloseHandle(connectCompleteEvent_);
    if (lobbyConnectEvent_) CloseHandle(lobbyConnectEvent_);
    if (TheConnectionWizard == this) TheConnectionWizard = nullptr;
}

HRESULT ConnectionWizard::Init(IDirectPlay8Peer* peer, IDirectPlay8LobbiedApplication* lobbiedApplication)
{
    peer_ = peer;
    lobbiedApplication_ = lobbiedApplication;
    haveLobbySettings_ = FALSE;
    lobbyConnection_ = 0;
    return S_OK;
}

void ConnectionWizard::Shutdown()
{
    Release(deviceAddress_);
    Release(hostAddress_);
}

void ConnectionWizard::SetPlayerName(const char* name) { CopyName(playerName_, name); }
void ConnectionWizard::SetSessionName(const char* name) { CopyName(sessionName_, name); }
void ConnectionWizard::SetPreferredProvider(const char* name) { CopyName(providerName_, name); }

int ConnectionWizard::ValidHostCount()
{
    EnterCriticalSection(&hostListLock_);
    int n = 0;
    for (HostEnumEntry* e = hostList_->next; e != hostList_; e = e->next)
        if (e->valid) ++n;
    LeaveCriticalSection(&hostListLock_);
    return n;
}

WizardResult ConnectionWizard::DoConnectWizard(BOOL startAtGames)
{
    if (!peer_) return E_INVALIDARG;
    int step = startAtGames ? 1 : 0;
    while (step != 2) {
        result_ = 0;
        int id = step == 0 ? IDD_MULTIPLAYER_CONNECT : IDD_MULTIPLAYER_GAMES;
        DLGPROC proc = step == 0 ? StaticConnectionsDlgProc : StaticSessionsDlgProc;
        INT_PTR shown = DialogBoxParamA(instance_, MAKEINTRESOURCEA(id), nullptr, proc, 0);
        if (shown == -1 && result_ == 0) {
            result_ = WIZARD_TRACE(E_FAIL, "DialogBoxParam");
        } else if (result_ == 0) {
            // The dialog went without a choice (the program is closing): nothing was chosen.
            result_ = WIZARD_RESULT_QUIT;
        }
        if (FAILED(result_) || result_ == WIZARD_RESULT_QUIT || result_ == WIZARD_RESULT_LOBBYCONNECTED) break;
        if (result_ == WIZARD_RESULT_BACK)
            step = step > 0 ? step - 1 : 0;
        else
            ++step;
    }
    peer_ = nullptr;
    return result_;
}

// ---------------------------------------------------------------------------------------------
// Connection dialog
INT_PTR CALLBACK ConnectionWizard::StaticConnectionsDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return TheConnectionWizard ? TheConnectionWizard->ConnectionsDlgProc(dialog, msg, wParam, lParam) : FALSE;
}

INT_PTR ConnectionWizard::ConnectionsDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG: {
        SetDlgItemTextA(dialog, IDC_PLAYER_NAME_EDIT, playerName_);
        SendDlgItemMessageA(dialog, IDC_PLAYER_NAME_EDIT, EM_LIMITTEXT, MAX_PATH - 1, 0);
        char title[MAX_PATH + 32];
        std::snprintf(title, sizeof title, "%s - Multiplayer Connect", applicationName_);
        SetWindowTextA(dialog, title);
        HRESULT hr = ConnectionsDlgFillListBox(dialog);
        if (FAILED(hr)) {
            WIZARD_TRACE(hr, "ConnectionsDlgFillListBox");
            result_ = hr;
            EndDialog(dialog, 0);
        }
        return FALSE;
    }
    case WM_COMMAND: {
        int id = LOWORD(wParam), code = HIWORD(wParam);
        if (id == IDOK || (id == IDC_CONNECTION_LIST && code == LBN_DBLCLK)) {
            HRESULT hr = ConnectionsDlgOnOK(dialog);
            result_ = hr;
            if (FAILED(hr)) {
                WIZARD_TRACE(hr, "ConnectionsDlgOnOK");
                EndDialog(dialog, 0);
            } else if (hr == WIZARD_RESULT_LOBBYCONNECTED) {
                EndDialog(dialog, 0);
            }
            return TRUE;
        }
        if (id == IDCANCEL) {
            result_ = WIZARD_RESULT_QUIT;
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    }
    case WM_DESTROY: ConnectionsDlgCleanup(dialog); return FALSE;
    default: return FALSE;
    }
}

HRESULT ConnectionWizard::ConnectionsDlgFillListBox(HWND dialog)
{
    DWORD size = 0, count = 0;
    HRESULT hr = peer_->EnumServiceProviders(nullptr, nullptr, nullptr, &size, &count, 0);
    if (hr != DPNERR_BUFFERTOOSMALL) {
        WIZARD_TRACE(hr, "EnumServiceProviders");
        return FAILED(hr) ? hr : E_FAIL;
    }
    BYTE* buffer = new (std::nothrow) BYTE[size];
    if (!buffer) return E_OUTOFMEMORY;
    auto* info = reinterpret_cast<DPN_SERVICE_PROVIDER_INFO*>(buffer);
    hr = peer_->EnumServiceProviders(nullptr, nullptr, info, &size, &count, 0);
    if (FAILED(hr)) {
        WIZARD_TRACE(hr, "EnumServiceProviders");
        delete[] buffer;
        return hr;
    }
    for (DWORD i = 0; i < count; ++i) {
        char name[MAX_PATH];
        WideToGeneric(name, info[i].pwszName, MAX_PATH);
        LRESULT index = SendDlgItemMessageA(dialog, IDC_CONNECTION_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        if (index < 0) {
            delete[] buffer;
            return E_FAIL;
        }
        GUID* copy = new GUID(info[i].guid);
        SendDlgItemMessageA(dialog, IDC_CONNECTION_LIST, LB_SETITEMDATA, static_cast<WPARAM>(index),
                            reinterpret_cast<LPARAM>(copy));
    }
    delete[] buffer;
    LRESULT index = SendDlgItemMessageA(dialog, IDC_CONNECTION_LIST, LB_ADDSTRING, 0,
                                        reinterpret_cast<LPARAM>(WaitForLobbyText));
    SendDlgItemMessageA(dialog, IDC_CONNECTION_LIST, LB_SETITEMDATA, static_cast<WPARAM>(index), 0);
    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDC_CONNECTION_LIST)), TRUE);

    LRESULT entries = SendDlgItemMessageA(dialog, IDC_CONNECTION_LIST, LB_GETCOUNT, 0, 0);
    int chosen = 0;
    for (int i = 0; i < entries; ++i)
        if (ListText(dialog, IDC_CONNECTION_LIST, i) == providerName_) {
            chosen = i;
            break;
        }
    SendDlgItemMessageA(dialog, IDC_CONNECTION_LIST, LB_SETCURSEL, static_cast<WPARAM>(chosen), 0);
    return S_OK;
}

void ConnectionWizard::ConnectionsDlgCleanup(HWND dialog)
{
    LRESULT entries = SendDlgItemMessageA(dialog, IDC_CONNECTION_LIST, LB_GETCOUNT, 0, 0);
    for (int i = 0; i < entries; ++i) {
        auto* guid = reinterpret_cast<GUID*>(SendDlgItemMessageA(dialog, IDC_CONNECTION_LIST, LB_GETITEMDATA, i, 0));
        delete guid;
        SendDlgItemMessageA(dialog, IDC_CONNECTION_LIST, LB_SETITEMDATA, i, 0);
    }
}

HRESULT ConnectionWizard::ConnectionsDlgOnOK(HWND dialog)
{
    GetDlgItemTextA(dialog, IDC_PLAYER_NAME_EDIT, playerName_, MAX_PATH);
    if (!playerName_[0]) {
        MessageBoxA(dialog, "You must enter a valid player name.", SampleCaption, MB_OK);
        return S_OK;
    }
    LRESULT chosen = SendDlgItemMessageA(dialog, IDC_CONNECTION_LIST, LB_GETCURSEL, 0, 0);
    if (chosen < 0) return S_OK;
    CopyName(providerName_, ListText(dialog, IDC_CONNECTION_LIST, static_cast<int>(chosen)).c_str());
    auto* provider = reinterpret_cast<const GUID*>(
        SendDlgItemMessageA(dialog, IDC_CONNECTION_LIST, LB_GETITEMDATA, static_cast<WPARAM>(chosen), 0));

    if (!provider) {
        if (!lobbiedApplication_) return WIZARD_TRACE(E_POINTER, "SetAppAvailable");
        HRESULT hr = lobbiedApplication_->SetAppAvailable(TRUE, 0);
        if (FAILED(hr)) return WIZARD_TRACE(hr, "SetAppAvailable");
        DialogBoxParamA(instance_, MAKEINTRESOURCEA(IDD_LOBBY_WAIT_STATUS), dialog, StaticLobbyWaitDlgProc, 0);
        if (!haveLobbySettings_) return S_OK;
        hr = ConnectUsingLobbySettings();
        if (FAILED(hr)) return WIZARD_TRACE(hr, "ConnectUsingLobbySettings");
        return WIZARD_RESULT_LOBBYCONNECTED;
    }

    DPN_SP_CAPS caps{};
    caps.dwSize = sizeof caps;
    HRESULT hr = peer_->GetSPCaps(provider, &caps, 0);
    if (FAILED(hr)) return WIZARD_TRACE(hr, "GetSPCaps");
    expiryTime_ = caps.dwDefaultEnumRetryInterval * 3;

    IDirectPlay8Address** addresses[2] = {&deviceAddress_, &hostAddress_};
    for (IDirectPlay8Address** address : addresses) {
        Release(*address);
        hr = CoCreateInstance(CLSID_DirectPlay8Address, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectPlay8Address,
                              reinterpret_cast<void**>(address));
        if (FAILED(hr)) return WIZARD_TRACE(hr, "CoCreateInstance");
        hr = (*address)->SetSP(provider);
        if (FAILED(hr)) return WIZARD_TRACE(hr, "SetSP");
    }
    result_ = WIZARD_RESULT_NEXT;
    EndDialog(dialog, 0);
    return WIZARD_RESULT_NEXT;
}

// ---------------------------------------------------------------------------------------------
// Games dialog
INT_PTR CALLBACK ConnectionWizard::StaticSessionsDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return TheConnectionWizard ? TheConnectionWizard->SessionsDlgProc(dialog, msg, wParam, lParam) : FALSE;
}

INT_PTR ConnectionWizard::SessionsDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG: {
        sessionsDialog_ = dialog;
        char title[MAX_PATH + 32];
        std::snprintf(title, sizeof title, "%s - Multiplayer Games", applicationName_);
        SetWindowTextA(dialog, title);
        searching_ = FALSE;
        SetDlgItemTextA(dialog, IDC_SEARCH_CHECK, "Start Search");
        CheckDlgButton(dialog, IDC_SEARCH_CHECK, BST_UNCHECKED);
        SessionsDlgInitListbox(dialog);
        return TRUE;
    }
    case WM_TIMER:
        if (wParam == TIMER_WIZARD_REFRESH) {
            if (!searching_) return TRUE;
            SessionsDlgExpireOldHostEnums();
            HRESULT hr = SessionsDlgDisplayEnumList(dialog);
            if (FAILED(hr)) {
                WIZARD_TRACE(hr, "SessionsDlgDisplayEnumList");
                KillTimer(dialog, TIMER_WIZARD_REFRESH);
                MessageBoxA(dialog, "Error enumerating DirectPlay games.", SampleCaption, MB_OK | MB_ICONERROR);
            }
            return TRUE;
        }
        if (wParam == TIMER_WIZARD_CONNECT) {
            if (WaitForSingleObject(connectCompleteEvent_, 0) != WAIT_OBJECT_0) return TRUE;
            KillTimer(dialog, TIMER_WIZARD_CONNECT);
            connecting_ = FALSE;
            EnableWindow(GetDlgItem(dialog, IDC_CREATE), TRUE);
            HRESULT hr = connectResult_;
            if (FAILED(hr)) {
                WIZARD_TRACE(hr, "DPN_MSGID_CONNECT_COMPLETE");
                MessageBoxA(dialog, "Unable to join game.", SampleCaption, MB_OK | MB_ICONERROR);
                // The list is drawn again at the next refresh, with "Join" enabled.
                EnterCriticalSection(&hostListLock_);
                listChanged_ = TRUE;
                LeaveCriticalSection(&hostListLock_);
            } else {
                result_ = WIZARD_RESULT_NEXT;
                EndDialog(dialog, 0);
            }
            return TRUE;
        }
        return FALSE;
    case WM_WIZARD_SEARCH_ENDED:
        if (IsDlgButtonChecked(dialog, IDC_SEARCH_CHECK) == BST_CHECKED) SessionsDlgStopSearch(dialog, false);
        return TRUE;
    case WM_COMMAND: {
        int id = LOWORD(wParam), code = HIWORD(wParam);
        switch (id) {
        case IDC_SEARCH_CHECK:
            if (IsDlgButtonChecked(dialog, IDC_SEARCH_CHECK) == BST_CHECKED) {
                searching_ = TRUE;
                SetDlgItemTextA(dialog, IDC_SEARCH_CHECK, "Searching...");
                SetTimer(dialog, TIMER_WIZARD_REFRESH, 250, nullptr);
                SessionsDlgInitListbox(dialog);
                HRESULT hr = SessionsDlgEnumHosts(dialog);
                if (FAILED(hr)) {
                    WIZARD_TRACE(hr, "SessionsDlgEnumHosts");
                    KillTimer(dialog, TIMER_WIZARD_REFRESH);
                    MessageBoxA(dialog, "Error enumerating DirectPlay games.", SampleCaption, MB_OK | MB_ICONERROR);
                    // Nothing searches: the button says so again.
                    SessionsDlgStopSearch(dialog, false);
                }
            } else {
                SessionsDlgStopSearch(dialog, true);
            }
            return TRUE;
        case IDC_GAMES_LIST:
            if (code != LBN_DBLCLK) return FALSE;
            [[fallthrough]];
        case IDC_JOIN: {
            // A join under way is not started twice (a double click while "Join" is disabled).
            if (connecting_) return TRUE;
            HRESULT hr = SessionsDlgJoinGame(dialog);
            if (FAILED(hr)) {
                WIZARD_TRACE(hr, "SessionsDlgJoinGame");
                MessageBoxA(dialog, "Unable to join game.", SampleCaption, MB_OK | MB_ICONERROR);
            }
            return TRUE;
        }
        case IDC_CREATE: {
            HRESULT hr = SessionsDlgCreateGame(dialog);
            if (FAILED(hr)) {
                WIZARD_TRACE(hr, "SessionsDlgCreateGame");
                MessageBoxA(dialog, "Unable to create game.", SampleCaption, MB_OK | MB_ICONERROR);
            }
            return TRUE;
        }
        case IDC_BACK:
            result_ = WIZARD_RESULT_BACK;
            EndDialog(dialog, 0);
            return TRUE;
        case IDCANCEL:
            result_ = WIZARD_RESULT_QUIT;
            EndDialog(dialog, 0);
            return TRUE;
        default: return FALSE;
        }
    }
    case WM_DESTROY: {
        KillTimer(dialog, TIMER_WIZARD_REFRESH);
        KillTimer(dialog, TIMER_WIZARD_CONNECT);
        DPNHANDLE running = 0;
        EnterCriticalSection(&hostListLock_);
        if (searching_) running = enumHandle_;
        LeaveCriticalSection(&hostListLock_);
        if (running && peer_) peer_->CancelAsyncOperation(running, 0);
        searching_ = FALSE;
        // Leaving while a join is under way: the join must not complete behind the user's back.
        if (connecting_ && result_ != WIZARD_RESULT_NEXT && peer_) {
            peer_->CancelAsyncOperation(connectHandle_, 0);
            connecting_ = FALSE;
        }
        sessionsDialog_ = nullptr;
        return FALSE;
    }
    default: return FALSE;
    }
}

void ConnectionWizard::SessionsDlgStopSearch(HWND dialog, bool cancel)
{
    searching_ = FALSE;
    CheckDlgButton(dialog, IDC_SEARCH_CHECK, BST_UNCHECKED);
    SetDlgItemTextA(dialog, IDC_SEARCH_CHECK, "Start Search");
    KillTimer(dialog, TIMER_WIZARD_REFRESH);
    if (cancel) {
        DPNHANDLE running;
        EnterCriticalSection(&hostListLock_);
        running = enumHandle_;
        LeaveCriticalSection(&hostListLock_);
        // Outside the lock: the enumeration's end is handled on DirectPlay's thread, which takes it.
        if (running && peer_) peer_->CancelAsyncOperation(running, 0);
    }
    SessionsDlgInitListbox(dialog);
}

void ConnectionWizard::SessionsDlgInitListbox(HWND dialog)
{
    SendDlgItemMessageA(dialog, IDC_GAMES_LIST, LB_RESETCONTENT, 0, 0);
    const char* line = searching_ ? "Looking for games..." : IdleListText;
    LRESULT index = SendDlgItemMessageA(dialog, IDC_GAMES_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
    SendDlgItemMessageA(dialog, IDC_GAMES_LIST, LB_SETITEMDATA, static_cast<WPARAM>(index), 0);
    SendDlgItemMessageA(dialog, IDC_GAMES_LIST, LB_SETCURSEL, 0, 0);
    EnableWindow(GetDlgItem(dialog, IDC_JOIN), FALSE);
}

HRESULT ConnectionWizard::SessionsDlgEnumHosts(HWND)
{
    EnterCriticalSection(&hostListLock_);
    listChanged_ = TRUE;
    LeaveCriticalSection(&hostListLock_);
    DPN_APPLICATION_DESC desc{};
    desc.dwSize = sizeof desc;
    desc.guidApplication = applicationGuid_;
    DPNHANDLE handle = 0;
    HRESULT hr = peer_->EnumHosts(&desc, hostAddress_, deviceAddress_, nullptr, 0, INFINITE, 0, INFINITE, nullptr,
                                  &handle, DPNENUMHOSTS_OKTOQUERYFORADDRESSING);
    if (FAILED(hr) && hr != DPNSUCCESS_PENDING) return WIZARD_TRACE(hr, "EnumHosts");
    EnterCriticalSection(&hostListLock_);
    enumHandle_ = handle;
    LeaveCriticalSection(&hostListLock_);
    return S_OK;
}

bool ConnectionWizard::InHostList(const HostEnumEntry* entry) const
{
    if (!entry) return false;
    for (HostEnumEntry* e = hostList_->next; e != hostList_; e = e->next)
        if (e == entry) return true;
    return false;
}

HRESULT ConnectionWizard::SessionsDlgNoteEnumResponse(void* message)
{
    auto* response = static_cast<DPNMSG_ENUM_HOSTS_RESPONSE*>(message);
    if (!response || !response->pApplicationDescription || !response->pAddressSender) return E_INVALIDARG;
    const DPN_APPLICATION_DESC* offered = response->pApplicationDescription;
    HRESULT hr = S_OK;
    EnterCriticalSection(&hostListLock_);
    HostEnumEntry* entry = nullptr;
    for (HostEnumEntry* e = hostList_->next; e != hostList_; e = e->next)
        if (e->desc.guidInstance == offered->guidInstance) {
            entry = e;
            break;
        }
    if (!entry) {
        listChanged_ = TRUE;
        int kept = 0;
        HostEnumEntry *stalest = nullptr, *beforeStalest = nullptr;
        const DWORD now = timeGetTime();
        for (HostEnumEntry *before = hostList_, *e = hostList_->next; e != hostList_; before = e, e = e->next) {
            if (!e->valid) {
                entry = e;
                break;
            }
            // Newest first: of equally old entries the one further back came first.
            if (!stalest || now - e->lastResponse >= now - stalest->lastResponse) {
                stalest = e;
                beforeStalest = before;
            }
            ++kept;
        }
        if (!entry && kept >= MaxListedSessions) {
            entry = stalest;
            beforeStalest->next = stalest->next;
            entry->next = hostList_->next;
            hostList_->next = entry;
        }
        if (!entry) {
            entry = new (std::nothrow) HostEnumEntry{};
            if (!entry) {
                LeaveCriticalSection(&hostListLock_);
                return E_OUTOFMEMORY;
            }
            entry->next = hostList_->next;
            hostList_->next = entry;
        }
    }
    bool wasValid = entry->valid != FALSE;
    delete[] entry->desc.pwszSessionName;
    entry->desc.pwszSessionName = nullptr;
    Release(entry->hostAddress);
    Release(entry->deviceAddress);
    hr = response->pAddressSender->Duplicate(&entry->hostAddress);
    if (SUCCEEDED(hr) && response->pAddressDevice) hr = response->pAddressDevice->Duplicate(&entry->deviceAddress);
    if (FAILED(hr)) {
        entry->valid = FALSE;
        Release(entry->hostAddress);
        Release(entry->deviceAddress);
        LeaveCriticalSection(&hostListLock_);
        return WIZARD_TRACE(hr, "Duplicate");
    }
    entry->desc = *offered;
    // Only the session name is kept; the other pointers belong to the message.
    entry->desc.pwszSessionName = CopyWide(offered->pwszSessionName, MAX_PATH - 1);
    entry->desc.pwszPassword = nullptr;
    entry->desc.pvReservedData = nullptr;
    entry->desc.dwReservedDataSize = 0;
    entry->desc.pvApplicationReservedData = nullptr;
    entry->desc.dwApplicationReservedDataSize = 0;
    entry->lastResponse = timeGetTime();

    char name[MAX_PATH];
    WideToGeneric(name, entry->desc.pwszSessionName, MAX_PATH);
    char text[MAX_PATH];
    if (offered->dwMaxPlayers)
        std::snprintf(text, sizeof text, "%s (%u/%u) (%ums)", name, static_cast<unsigned>(offered->dwCurrentPlayers),
                      static_cast<unsigned>(offered->dwMaxPlayers),
                      static_cast<unsigned>(response->dwRoundTripLatencyMS));
    else
        std::snprintf(text, sizeof text, "%s (%u) (%ums)", name, static_cast<unsigned>(offered->dwCurrentPlayers),
                      static_cast<unsigned>(response->dwRoundTripLatencyMS));
    if (!wasValid || std::strcmp(text, entry->text) != 0) listChanged_ = TRUE;
    std::memcpy(entry->text, text, sizeof text);
    entry->valid = TRUE;
    LeaveCriticalSection(&hostListLock_);
    return S_OK;
}

void ConnectionWizard::SessionsDlgExpireOldHostEnums()
{
    DWORD now = timeGetTime();
    EnterCriticalSection(&hostListLock_);
    for (HostEnumEntry* e = hostList_->next; e != hostList_; e = e->next) {
        // Measured as time since the answer, so that a clock near its start or its wrap does not
        // expire everything at once.
        if (e->valid && now - e->lastResponse > expiryTime_) {
            e->valid = FALSE;
            listChanged_ = TRUE;
        }
    }
    LeaveCriticalSection(&hostListLock_);
}

HRESULT ConnectionWizard::SessionsDlgDisplayEnumList(HWND dialog)
{
    EnterCriticalSection(&hostListLock_);
    if (!listChanged_) {
        LeaveCriticalSection(&hostListLock_);
        return S_OK;
    }
    listChanged_ = FALSE;
    GUID remembered{};
    bool haveRemembered = false;
    LRESULT chosen = SendDlgItemMessageA(dialog, IDC_GAMES_LIST, LB_GETCURSEL, 0, 0);
    if (chosen >= 0) {
        auto* e = reinterpret_cast<HostEnumEntry*>(
            SendDlgItemMessageA(dialog, IDC_GAMES_LIST, LB_GETITEMDATA, static_cast<WPARAM>(chosen), 0));
        if (InHostList(e) && e->valid) {
            remembered = e->desc.guidInstance;
            haveRemembered = true;
        }
    }
    HWND list = GetDlgItem(dialog, IDC_GAMES_LIST);
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    bool any = false;
    for (HostEnumEntry* e = hostList_->next; e != hostList_; e = e->next)
        if (e->valid) any = true;
    if (!any) {
        SessionsDlgInitListbox(dialog);
    } else {
        SendMessageA(list, LB_RESETCONTENT, 0, 0);
        if (!connecting_) EnableWindow(GetDlgItem(dialog, IDC_JOIN), TRUE);
        int select = 0;
        for (HostEnumEntry* e = hostList_->next; e != hostList_; e = e->next) {
            if (!e->valid) continue;
            LRESULT index = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(e->text));
            SendMessageA(list, LB_SETITEMDATA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(e));
            if (haveRemembered && e->desc.guidInstance == remembered) select = static_cast<int>(index);
        }
        SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(select), 0);
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, FALSE);
    LeaveCriticalSection(&hostListLock_);
    return S_OK;
}

void ConnectionWizard::SessionsDlgEnumListCleanup()
{
    HostEnumEntry* e = hostList_->next;
    while (e != hostList_) {
        HostEnumEntry* next = e->next;
        delete[] e->desc.pwszSessionName;
        Release(e->hostAddress);
        Release(e->deviceAddress);
        delete e;
        e = next;
    }
    hostList_->next = hostList_;
}

HRESULT ConnectionWizard::SetLocalPeerInfo()
{
    WCHAR name[MAX_PATH];
    ConvertGenericStringToWide(name, playerName_, MAX_PATH);
    DPN_PLAYER_INFO info{};
    info.dwSize = sizeof info;
    info.dwInfoFlags = DPNINFO_NAME;
    info.pwszName = name;
    return peer_->SetPeerInfo(&info, nullptr, nullptr, DPNSETPEERINFO_SYNC);
}

HRESULT ConnectionWizard::SessionsDlgJoinGame(HWND dialog)
{
    isHost_ = FALSE;
    // What the join needs is copied under the lock; DirectPlay is called outside it, since its
    // own thread takes the lock for every answer to the search.
    DPN_APPLICATION_DESC desc{};
    WCHAR* sessionName = nullptr;
    IDirectPlay8Address* host = nullptr;
    IDirectPlay8Address* device = nullptr;
    EnterCriticalSection(&hostListLock_);
    LRESULT chosen = SendDlgItemMessageA(dialog, IDC_GAMES_LIST, LB_GETCURSEL, 0, 0);
    auto* entry = chosen >= 0 ? reinterpret_cast<HostEnumEntry*>(SendDlgItemMessageA(
                                    dialog, IDC_GAMES_LIST, LB_GETITEMDATA, static_cast<WPARAM>(chosen), 0))
                              : nullptr;
    if (!InHostList(entry) || !entry->valid || !entry->hostAddress) {
        LeaveCriticalSection(&hostListLock_);
        MessageBoxA(dialog, "There are no games to join.", SampleCaption, MB_OK);
        return S_OK;
    }
    desc = entry->desc;
    sessionName = CopyWide(entry->desc.pwszSessionName, MAX_PATH - 1);
    desc.pwszSessionName = sessionName;
    host = entry->hostAddress;
    host->AddRef();
    device = entry->deviceAddress;
    if (device) device->AddRef();
    LeaveCriticalSection(&hostListLock_);

    connecting_ = TRUE;
    HRESULT hr = SetLocalPeerInfo();
    if (FAILED(hr)) {
        WIZARD_TRACE(hr, "SetPeerInfo");
    } else {
        ResetEvent(connectCompleteEvent_);
        hr = peer_->Connect(&desc, host, device, nullptr, nullptr, nullptr, 0, nullptr, nullptr, &connectHandle_,
                            DPNCONNECT_OKTOQUERYFORADDRESSING);
        if (hr == DPNSUCCESS_PENDING || SUCCEEDED(hr)) {
            SetTimer(dialog, TIMER_WIZARD_CONNECT, 100, nullptr);
            EnableWindow(GetDlgItem(dialog, IDC_JOIN), FALSE);
            EnableWindow(GetDlgItem(dialog, IDC_CREATE), FALSE);
            hr = S_OK;
        } else {
            WIZARD_TRACE(hr, "Connect");
        }
    }
    if (FAILED(hr)) connecting_ = FALSE;
    delete[] sessionName;
    host->Release();
    if (device) device->Release();
    return hr;
}

HRESULT ConnectionWizard::SessionsDlgCreateGame(HWND dialog)
{
    EnableWindow(dialog, FALSE);
    INT_PTR answer =
        DialogBoxParamA(instance_, MAKEINTRESOURCEA(IDD_MULTIPLAYER_CREATE), dialog, StaticCreateSessionDlgProc, 0);
    EnableWindow(dialog, TRUE);
    if (answer != IDOK) return S_OK;
    if (searching_) SessionsDlgStopSearch(dialog, true);

    isHost_ = TRUE;
    HRESULT hr = SetLocalPeerInfo();
    if (FAILED(hr)) {
        isHost_ = FALSE;
        return WIZARD_TRACE(hr, "SetPeerInfo");
    }
    WCHAR name[MAX_PATH];
    ConvertGenericStringToWide(name, sessionName_, MAX_PATH);
    DPN_APPLICATION_DESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = migrateHost_ ? DPNSESSION_MIGRATE_HOST : 0;
    desc.guidApplication = applicationGuid_;
    desc.dwMaxPlayers = static_cast<DWORD>(maxPlayers_);
    desc.pwszSessionName = name;
    hr = peer_->Host(&desc, &deviceAddress_, 1, nullptr, nullptr, nullptr, DPNHOST_OKTOQUERYFORADDRESSING);
    if (FAILED(hr)) {
        isHost_ = FALSE;
        return WIZARD_TRACE(hr, "Host");
    }
    result_ = WIZARD_RESULT_NEXT;
    EndDialog(dialog, 0);
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
// Create and lobby wait dialogs
INT_PTR CALLBACK ConnectionWizard::StaticCreateSessionDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return TheConnectionWizard ? TheConnectionWizard->CreateSessionDlgProc(dialog, msg, wParam, lParam) : FALSE;
}

INT_PTR ConnectionWizard::CreateSessionDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM)
{
    if (msg == WM_INITDIALOG) {
        SetDlgItemTextA(dialog, IDC_EDIT_SESSION_NAME, sessionName_);
        SendDlgItemMessageA(dialog, IDC_EDIT_SESSION_NAME, EM_LIMITTEXT, MAX_PATH - 1, 0);
        return TRUE;
    }
    if (msg != WM_COMMAND) return FALSE;
    if (LOWORD(wParam) == IDOK) {
        char name[MAX_PATH];
        GetDlgItemTextA(dialog, IDC_EDIT_SESSION_NAME, name, MAX_PATH);
        if (!name[0]) return TRUE;
        CopyName(sessionName_, name);
        EndDialog(dialog, IDOK);
        return TRUE;
    }
    if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK ConnectionWizard::StaticLobbyWaitDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return TheConnectionWizard ? TheConnectionWizard->LobbyWaitDlgProc(dialog, msg, wParam, lParam) : FALSE;
}

INT_PTR ConnectionWizard::LobbyWaitDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG:
        SetTimer(dialog, TIMER_WIZARD_CONNECT, 100, nullptr);
        SetDlgItemTextA(dialog, IDC_WAIT_TEXT, "Waiting for lobby connection...");
        return TRUE;
    case WM_TIMER:
        // Looked at without waiting: the dialog keeps answering its Cancel button.
        if (wParam == TIMER_WIZARD_CONNECT && WaitForSingleObject(lobbyConnectEvent_, 0) == WAIT_OBJECT_0) {
            KillTimer(dialog, TIMER_WIZARD_CONNECT);
            EndDialog(dialog, IDOK);
        }
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY: KillTimer(dialog, TIMER_WIZARD_CONNECT); return FALSE;
    default: return FALSE;
    }
}

// ---------------------------------------------------------------------------------------------
// DirectPlay's and the lobby's messages
HRESULT ConnectionWizard::MessageHandler(void*, DWORD messageId, void* message)
{
    switch (messageId) {
    case DPN_MSGID_ASYNC_OP_COMPLETE: {
        auto* done = static_cast<DPNMSG_ASYNC_OP_COMPLETE*>(message);
        bool ended = false;
        EnterCriticalSection(&hostListLock_);
        if (done && enumHandle_ && done->hAsyncOp == enumHandle_) {
            SessionsDlgEnumListCleanup();
            enumHandle_ = 0;
            ended = true;
        }
        LeaveCriticalSection(&hostListLock_);
        if (ended) {
            // Told to the dialog by a posted message: waiting here for the main thread could
            // deadlock with a main thread that waits for this thread (cancelling the search).
            bool wasSearching = searching_.exchange(FALSE);
            HWND dialog = sessionsDialog_;
            if (wasSearching && dialog) PostMessageA(dialog, WM_WIZARD_SEARCH_ENDED, 0, 0);
        }
        break;
    }
    case DPN_MSGID_CONNECT_COMPLETE: {
        auto* done = static_cast<DPNMSG_CONNECT_COMPLETE*>(message);
        if (!done) break;
        connectResult_ = done->hResultCode;
        SetEvent(connectCompleteEvent_);
        break;
    }
    case DPN_MSGID_ENUM_HOSTS_RESPONSE: SessionsDlgNoteEnumResponse(message); break;
    default: break;
    }
    return S_OK;
}

HRESULT ConnectionWizard::LobbyMessageHandler(void*, DWORD messageId, void* message)
{
    if (messageId != DPL_MSGID_CONNECT) return S_OK;
    auto* connect = static_cast<DPL_MESSAGE_CONNECT*>(message);
    if (!connect) return E_INVALIDARG;
    lobbyConnection_ = connect->hConnectId;
    if (!peer_) return WIZARD_TRACE(E_POINTER, "RegisterLobby");
    HRESULT hr = peer_->RegisterLobby(connect->hConnectId, lobbiedApplication_, DPNLOBBY_REGISTER);
    if (FAILED(hr)) return WIZARD_TRACE(hr, "RegisterLobby");
    if (!connect->pdplConnectionSettings) {
        haveLobbySettings_ = FALSE;
    } else {
        if (connect->pdplConnectionSettings->pwszPlayerName)
            WideToGeneric(playerName_, connect->pdplConnectionSettings->pwszPlayerName, MAX_PATH);
        else
            CopyName(playerName_, "Unknown player name");
        haveLobbySettings_ = TRUE;
    }
    SetEvent(lobbyConnectEvent_);
    return S_OK;
}

HRESULT ConnectionWizard::ConnectUsingLobbySettings()
{
    if (!lobbyConnection_) return E_INVALIDARG;
    if (!peer_ || !lobbiedApplication_) return WIZARD_TRACE(E_POINTER, "GetConnectionSettings");
    DWORD size = 0;
    HRESULT hr = lobbiedApplication_->GetConnectionSettings(lobbyConnection_, nullptr, &size, 0);
    if (hr != DPNERR_BUFFERTOOSMALL) return WIZARD_TRACE(FAILED(hr) ? hr : E_FAIL, "GetConnectionSettings");
    BYTE* buffer = new (std::nothrow) BYTE[size];
    if (!buffer) return E_OUTOFMEMORY;
    auto* settings = reinterpret_cast<DPL_CONNECTION_SETTINGS*>(buffer);
    hr = lobbiedApplication_->GetConnectionSettings(lobbyConnection_, settings, &size, 0);
    if (FAILED(hr)) {
        delete[] buffer;
        return WIZARD_TRACE(hr, "GetConnectionSettings");
    }
    isHost_ = (settings->dwFlags & DPLCONNECTSETTINGS_HOST) != 0;
    hr = SetLocalPeerInfo();
    if (FAILED(hr)) {
        WIZARD_TRACE(hr, "SetPeerInfo");
    } else if (!isHost_) {
        ResetEvent(connectCompleteEvent_);
        IDirectPlay8Address* device =
            settings->cNumDeviceAddresses && settings->ppdp8DeviceAddresses ? settings->ppdp8DeviceAddresses[0] : nullptr;
        hr = peer_->Connect(&settings->dpnAppDesc, settings->pdp8HostAddress, device, nullptr, nullptr, nullptr, 0,
                            nullptr, nullptr, &connectHandle_, 0);
        if (FAILED(hr) && hr != DPNSUCCESS_PENDING) {
            WIZARD_TRACE(hr, "Connect");
        } else {
            WaitForSingleObject(connectCompleteEvent_, INFINITE);
            hr = connectResult_;
            if (FAILED(hr)) {
                WIZARD_TRACE(hr, "DPN_MSGID_CONNECT_COMPLETE");
                MessageBoxA(nullptr, "Unable to join game.", SampleCaption, MB_OK | MB_ICONERROR);
            }
        }
    } else {
        settings->dpnAppDesc.dwFlags |= DPNSESSION_MIGRATE_HOST;
        hr = peer_->Host(&settings->dpnAppDesc, settings->ppdp8DeviceAddresses, settings->cNumDeviceAddresses, nullptr,
                         nullptr, nullptr, 0);
        if (FAILED(hr)) WIZARD_TRACE(hr, "Host");
    }
    if (settings->pdp8HostAddress) settings->pdp8HostAddress->Release();
    for (DWORD i = 0; settings->ppdp8DeviceAddresses && i < settings->cNumDeviceAddresses; ++i)
        if (settings->ppdp8DeviceAddresses[i]) settings->ppdp8DeviceAddresses[i]->Release();
    delete[] buffer;
    return hr;
}
