#include "fenwolt/Game/Network/NetStage.h"

#include "fenwolt/Game/Network/GameMessages.h"
#include "fenwolt/Game/Network/NetState.h"
#include "fenwolt/common/Utilities.h"
#include "platform/dialogs/dialogs.h"
#include "platform/dplay8/dplay8.h"
#include "platform/dplay8/dxerr8.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

NetStage* TheNetStage = nullptr;

namespace {

const char* const SourceUnit = "Game\\NetStage";
const char* const StageCaption = "DirectPlay Multiplayer Stage";
constexpr int StageIcon = 101;

#define STAGE_TRACE(hr, what) DXTrace(SourceUnit, __LINE__, (hr), (what), TRUE)

void ClearSlot(StageSlot& slot)
{
    slot.status = SLOT_OPEN;
    std::memset(slot.name, 0, sizeof slot.name);
    slot.dpnid = SLOT_NO_PLAYER;
}

bool Terminated(const char* text, size_t size) { return std::memchr(text, 0, size) != nullptr; }

// The session's description as DirectPlay keeps it, into `buffer`.
HRESULT ReadApplicationDesc(IDirectPlay8Peer* peer, std::vector<BYTE>& buffer)
{
    DWORD size = 0;
    HRESULT hr = peer->GetApplicationDesc(nullptr, &size, 0);
    if (hr != DPNERR_BUFFERTOOSMALL) return FAILED(hr) ? hr : E_FAIL;
    buffer.assign(std::max<DWORD>(size, sizeof(DPN_APPLICATION_DESC)), 0);
    auto* desc = reinterpret_cast<DPN_APPLICATION_DESC*>(buffer.data());
    desc->dwSize = sizeof(DPN_APPLICATION_DESC);
    return peer->GetApplicationDesc(desc, &size, 0);
}

void RegisterStageTemplate()
{
    static bool done = false;
    if (done) return;
    done = true;
    using K = DialogControlKind;
    DialogTemplate t{"Multiplayer Staging Area", 420, 382, {}};
    t.Visible = false;
    t.Items = {
        {K::GroupBox, -1, "Players", 10, 8, 400, 94},
        {K::Static, -1, "Ready?", 350, 26, 52, 16},
        {K::Static, IDC_STAGE_NAME0, "Static", 24, 46, 300, 20},
        {K::CheckBox, IDC_STAGE_READY0, "", 364, 46, 20, 20},
        {K::Static, IDC_STAGE_NAME0 + 1, "Static", 24, 72, 300, 20},
        {K::Button, IDC_STAGE_SLOTBTN0 + 1, "Open", 20, 70, 304, 24},
        {K::CheckBox, IDC_STAGE_READY0 + 1, "", 364, 72, 20, 20},
        {K::GroupBox, -1, "Chat", 10, 108, 400, 196},
        {K::ListBox, IDC_STAGE_CHAT_LIST, "", 20, 128, 380, 134},
        {K::Edit, IDC_STAGE_CHAT_EDIT, "", 20, 270, 300, 24},
        {K::Button, IDC_STAGE_SEND, "Send", 328, 270, 72, 24},
        {K::Static, IDC_STAGE_STATUS, "The game status is displayed here.", 12, 314, 396, 18},
        {K::Button, IDC_STAGE_START, "Start Game", 222, 344, 92, 26},
        {K::Button, IDC_STAGE_CANCEL, "Cancel", 320, 344, 90, 26},
    };
    RegisterDialogTemplate(MAKEINTRESOURCEA(IDD_MULTIPLAYER_STAGE), t);
}

}  // namespace

size_t StageMessageSize(int32_t id)
{
    switch (id) {
    case STAGE_MSGID_SETSLOTID:
    case STAGE_MSGID_SETREADY:
    case STAGE_MSGID_CLEARREADY: return sizeof(StageMsgSlot);
    case STAGE_MSGID_SETSTAGEDATA: return sizeof(StageData);
    case STAGE_MSGID_REJECTPLAYER:
    case STAGE_MSGID_STARTGAME:
    case STAGE_MSGID_CANCELGAME: return sizeof(StageMsgHeader);
    case STAGE_MSGID_CHAT: return sizeof(StageMsgChat);
    default: return 0;
    }
}

bool CheckStageMessage(const void* data, size_t size, StageMessageCheck& check)
{
    check = StageMessageCheck{};
    if (!data || size < sizeof(StageMsgHeader)) return true;  // nothing of the stage's
    int32_t id;
    std::memcpy(&id, data, sizeof id);
    size_t expected = StageMessageSize(id);
    if (expected == 0) return true;
    check.id = id;
    if (size != expected) {
        check.why = "wrong size";
        return false;
    }
    switch (id) {
    case STAGE_MSGID_SETSLOTID:
    case STAGE_MSGID_SETREADY:
    case STAGE_MSGID_CLEARREADY: {
        StageMsgSlot m;
        std::memcpy(&m, data, sizeof m);
        check.slot = m.slot;
        if (!IsValidStageSlot(m.slot)) {
            check.why = "slot number outside the table";
            return false;
        }
        return true;
    }
    case STAGE_MSGID_SETSTAGEDATA: {
        const auto* table = static_cast<const StageData*>(data);
        for (const StageSlot& slot : table->slots) {
            if ((slot.status & SLOT_STATE_MASK) > SLOT_PLAYER) {
                check.why = "a slot in no known state";
                return false;
            }
            if (!Terminated(slot.name, sizeof slot.name)) {
                check.why = "a name without its end";
                return false;
            }
        }
        return true;
    }
    case STAGE_MSGID_CHAT:
        if (!Terminated(static_cast<const StageMsgChat*>(data)->text, STAGE_CHAT_TEXT_SIZE)) {
            check.why = "a chat text without its end";
            return false;
        }
        return true;
    default: return true;
    }
}

// ---------------------------------------------------------------------------------------------
NetStage::NetStage(HINSTANCE instance, const char* applicationName)
{
    m_hInst = instance;
    std::snprintf(m_strAppName, sizeof m_strAppName, "%s", applicationName ? applicationName : "");
    InitializeCriticalSection(&m_csStageLock);
    for (StageSlot& slot : m_Slots) ClearSlot(slot);
    RegisterStageTemplate();
    TheNetStage = this;
}

NetStage::~NetStage()
{
    m_bActive = FALSE;
    ReturnKeptBuffers();
    ForgetPlayers();
    DeleteCriticalSection(&m_csStageLock);
    if (TheNetStage == this) TheNetStage = nullptr;
}

HRESULT NetStage::Init(IDirectPlay8Peer* peer)
{
    if (!peer) return STAGE_NOT_INITIALIZED;
    // A new session: nothing of an earlier one may linger (slot number, stage data, host id).
    m_bActive = FALSE;
    ReturnKeptBuffers();
    ForgetPlayers();
    EnterCriticalSection(&m_csStageLock);
    m_pDP = peer;
    m_bHostPlayer = FALSE;
    m_bGotSlotId = FALSE;
    m_lLocalSlotNumber = -1;
    m_dpnidHost = 0;
    m_dpnidOpponent = 0;
    m_bSlotsReady = FALSE;
    m_bDlgCreated = FALSE;
    m_hDlg = nullptr;
    m_bEnding = FALSE;
    m_hrResult = 0;
    m_bLocalReady = FALSE;
    m_lPlayerCount = 0;
    for (StageSlot& slot : m_Slots) ClearSlot(slot);
    m_bActive = TRUE;
    LeaveCriticalSection(&m_csStageLock);
    return S_OK;
}

void NetStage::CopySlots(StageSlot out[STAGE_SLOTS])
{
    EnterCriticalSection(&m_csStageLock);
    std::memcpy(out, m_Slots, sizeof m_Slots);
    LeaveCriticalSection(&m_csStageLock);
}

DWORD NetStage::SeatedOpponent()
{
    if (!m_bHostPlayer) return m_dpnidHost.load();
    DWORD found = 0;
    EnterCriticalSection(&m_csStageLock);
    for (int i = 0; i < STAGE_SLOTS && !found; ++i) {
        const StageSlot& s = m_Slots[i];
        if (i != m_lLocalSlotNumber && (s.status & SLOT_STATE_MASK) == SLOT_PLAYER && s.dpnid != 0 &&
            s.dpnid != SLOT_NO_PLAYER)
            found = s.dpnid;
    }
    LeaveCriticalSection(&m_csStageLock);
    return found;
}

// ---------------------------------------------------------------------------------------------
WizardResult NetStage::DoStage(const char* localPlayerName, BOOL host)
{
    if (!m_pDP) return STAGE_NOT_INITIALIZED;
    DebugTrace("\n\nNetStage: starting stage\n");
    std::snprintf(m_strLocalPlayerName, sizeof m_strLocalPlayerName, "%.14s", localPlayerName ? localPlayerName : "");
    m_bHostPlayer = host;
    m_bActive = TRUE;
    m_bQuitProgram = false;
    if (host) {
        // As many slots as the session takes (at most ten); the others are closed, so that
        // opening and closing a slot publishes a maximum within the session's own.
        int32_t usable = STAGE_SLOTS;
        std::vector<BYTE> buffer;
        if (SUCCEEDED(ReadApplicationDesc(m_pDP, buffer))) {
            const DWORD max = reinterpret_cast<const DPN_APPLICATION_DESC*>(buffer.data())->dwMaxPlayers;
            if (max > 0 && max < static_cast<DWORD>(STAGE_SLOTS)) usable = static_cast<int32_t>(max);
        }
        EnterCriticalSection(&m_csStageLock);
        m_lMaxPlayers = usable;
        for (int i = 0; i < STAGE_SLOTS; ++i) {
            ClearSlot(m_Slots[i]);
            if (i >= usable) m_Slots[i].status = SLOT_CLOSED;
        }
        m_lLocalSlotNumber = 0;
        m_Slots[0].status = SLOT_PLAYER;
        m_Slots[0].dpnid = 0;
        std::memcpy(m_Slots[0].name, m_strLocalPlayerName, sizeof m_Slots[0].name);
        m_bGotSlotId = TRUE;
        LeaveCriticalSection(&m_csStageLock);
    }
    if (!m_bEnding) m_hrResult = 0;

    HWND dialog = CreateDialogParamA(m_hInst, MAKEINTRESOURCEA(IDD_MULTIPLAYER_STAGE), nullptr, StaticStageDlgProc, 0);
    if (!dialog) {
        m_bActive = FALSE;
        m_pDP = nullptr;
        return STAGE_TRACE(E_FAIL, "CreateDialog");
    }
    if (host) SeatWaitingPlayers(dialog);
    // Ended before the dialog was there (rejected, cancelled or the session gone meanwhile).
    if (m_bEnding) PostMessageA(dialog, WM_QUIT, 0, 0);

    std::vector<MSG> otherQuits;
    int quitCode = 0;
    for (;;) {
        MSG msg{};
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == -1) {
            EndStage(STAGE_TRACE(E_FAIL, "GetMessage"));
            break;
        }
        if (!got || msg.message == WM_QUIT) {
            if (msg.hwnd == dialog) break;
            if (!msg.hwnd) {
                // The program is closing: the stage ends as a quit and the program's own loop
                // gets the quit back.
                EndStage(WIZARD_RESULT_QUIT);
                m_bQuitProgram = true;
                quitCode = static_cast<int>(msg.wParam);
                break;
            }
            if (IsWindow(msg.hwnd)) otherQuits.push_back(msg);  // another loop's, kept for it
            continue;
        }
        if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN) {
            HRESULT hr = SendChatMessage(dialog);
            if (FAILED(hr)) Fail(hr, "SendChatMessage");
            continue;
        }
        // The game's window keeps its painting and notifications but takes no keys or clicks:
        // its screen would act on them while the set-up that opened the stage is under way.
        const bool input = (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) ||
                           (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST);
        if (input && msg.hwnd != dialog) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }

    // No more messages for the dialog from DirectPlay's threads, then the dialog goes (with
    // what was still queued for it), then the buffers it kept go back.
    EnterCriticalSection(&m_csStageLock);
    m_bActive = FALSE;
    m_bSlotsReady = FALSE;
    m_hDlg = nullptr;
    LeaveCriticalSection(&m_csStageLock);
    DestroyWindow(dialog);
    m_bDlgCreated = FALSE;
    ReturnKeptBuffers();
    ForgetPlayers();
    m_pDP = nullptr;
    for (const MSG& m : otherQuits)
        if (IsWindow(m.hwnd)) PostMessageA(m.hwnd, WM_QUIT, m.wParam, m.lParam);
    if (m_bQuitProgram) PostQuitMessage(quitCode);

    HRESULT result = m_hrResult;
    if (result == WIZARD_RESULT_REJECTED) {
        MessageBoxA(nullptr, "You were dropped from the game.", StageCaption, MB_OK);
        result = WIZARD_RESULT_BACK;
    } else if (result == WIZARD_RESULT_CANCELLED) {
        MessageBoxA(nullptr, "The game was canceled.", StageCaption, MB_OK);
        result = WIZARD_RESULT_BACK;
    }
    m_hrResult = result;
    m_dpnidOpponent = result == WIZARD_RESULT_NEXT ? SeatedOpponent() : 0;
    // Guest state of this session is spent; a later session starts from nothing.
    m_bGotSlotId = FALSE;
    m_lLocalSlotNumber = -1;
    m_dpnidHost = 0;
    m_bEnding = FALSE;
    return result;
}

void NetStage::EndStage(HRESULT result)
{
    if (m_bEnding.exchange(TRUE)) return;
    m_hrResult = result;
    HWND dialog = m_hDlg;
    if (dialog) PostMessageA(dialog, WM_QUIT, 0, 0);
}

void NetStage::Fail(HRESULT hr, const char* what)
{
    STAGE_TRACE(hr, what);
    EndStage(hr);
}

HRESULT NetStage::SendStageMessage(DWORD to, const void* data, DWORD size, DWORD flags)
{
    IDirectPlay8Peer* peer = m_pDP;
    if (!peer) return STAGE_NOT_INITIALIZED;
    DPN_BUFFER_DESC buffer{size, static_cast<BYTE*>(const_cast<void*>(data))};
    DPNHANDLE handle = 0;
    HRESULT hr = peer->SendTo(to, &buffer, 1, 0, nullptr, &handle, flags);
    return hr == DPNSUCCESS_PENDING ? S_OK : hr;
}

void NetStage::ReturnKeptBuffers()
{
    EnterCriticalSection(&m_csStageLock);
    IDirectPlay8Peer* peer = m_pDP;
    if (m_pStageDataMsg && peer) peer->ReturnBuffer(m_hStageDataBuffer, 0);
    m_pStageDataMsg = nullptr;
    m_hStageDataBuffer = 0;
    for (const KeptChat& kept : m_keptChats)
        if (peer) peer->ReturnBuffer(kept.buffer, 0);
    m_keptChats.clear();
    LeaveCriticalSection(&m_csStageLock);
}

void NetStage::ForgetPlayers()
{
    if (!Net.playerListLockMade) {
        m_players.clear();
        return;
    }
    EnterCriticalSection(&Net.playerListLock);
    EnterCriticalSection(&m_csStageLock);
    std::vector<PlayerRecord*> held;
    held.swap(m_players);
    LeaveCriticalSection(&m_csStageLock);
    for (PlayerRecord* record : held) ReleasePlayerRecord(record);
    LeaveCriticalSection(&Net.playerListLock);
}

bool NetStage::ReceivedFromHost(DWORD sender) const
{
    DWORD hostId = m_dpnidHost;
    return hostId == 0 || sender == hostId;
}

// ---------------------------------------------------------------------------------------------
// DirectPlay's threads
HRESULT NetStage::MessageHandler(void*, DWORD messageId, void* message)
{
    if (!m_pDP) return STAGE_NOT_INITIALIZED;
    if (!m_bActive) return S_OK;
    switch (messageId) {
    case DPN_MSGID_CREATE_PLAYER: {
        auto* created = static_cast<DPNMSG_CREATE_PLAYER*>(message);
        auto* record = created ? static_cast<PlayerRecord*>(created->pvPlayerContext) : nullptr;
        if (!record || !Net.playerListLockMade) return S_OK;
        EnterCriticalSection(&Net.playerListLock);
        AddPlayerRecordRef(record);
        EnterCriticalSection(&m_csStageLock);
        m_players.push_back(record);
        bool seat = m_bHostPlayer && m_bSlotsReady && !(record->flags & DPNPLAYER_LOCAL);
        LeaveCriticalSection(&m_csStageLock);
        DPNID id = record->id;
        DWORD flags = record->flags;
        char name[PLAYER_RECORD_NAME_SIZE];
        std::memcpy(name, record->name, sizeof name);
        name[sizeof name - 1] = 0;
        LeaveCriticalSection(&Net.playerListLock);
        if (flags & DPNPLAYER_HOST) {
            m_dpnidHost = id;
            DebugTrace("NetStage: Host ID query: Host set to %08x\n", static_cast<unsigned>(id));
        }
        if (seat) {
            DebugTrace("NetStage: adding player (name=%s, dpid=%08x, context=%08x)\n", name,
                       static_cast<unsigned>(id), static_cast<unsigned>(reinterpret_cast<uintptr_t>(record)));
            HRESULT hr = AddPlayerToStage(m_hDlg, record);
            if (FAILED(hr)) {
                STAGE_TRACE(hr, "AddPlayerToStage");
                return hr;
            }
        }
        return S_OK;
    }
    case DPN_MSGID_DESTROY_PLAYER: {
        auto* destroyed = static_cast<DPNMSG_DESTROY_PLAYER*>(message);
        auto* record = destroyed ? static_cast<PlayerRecord*>(destroyed->pvPlayerContext) : nullptr;
        if (!record || !Net.playerListLockMade) return S_OK;
        HRESULT hr = S_OK;
        EnterCriticalSection(&Net.playerListLock);
        EnterCriticalSection(&m_csStageLock);
        auto it = std::find(m_players.begin(), m_players.end(), record);
        bool held = it != m_players.end();
        if (held) m_players.erase(it);
        LeaveCriticalSection(&m_csStageLock);
        LeaveCriticalSection(&Net.playerListLock);
        if (held && m_bHostPlayer && !(record->flags & DPNPLAYER_LOCAL)) {
            DebugTrace("NetStage: removing player (name=%s, dpid=%08x, context=%08x)\n", record->name,
                       static_cast<unsigned>(record->id), static_cast<unsigned>(reinterpret_cast<uintptr_t>(record)));
            hr = RemovePlayerToStage(m_hDlg, record);
            if (FAILED(hr)) STAGE_TRACE(hr, "RemovePlayerToStage");
        }
        if (held) {
            EnterCriticalSection(&Net.playerListLock);
            ReleasePlayerRecord(record);
            LeaveCriticalSection(&Net.playerListLock);
        }
        return hr;
    }
    case DPN_MSGID_RECEIVE: {
        auto* received = static_cast<DPNMSG_RECEIVE*>(message);
        if (!received) return S_OK;
        return OnStageMessage(m_hDlg, received->pReceiveData, received->dwReceiveDataSize, received);
    }
    case DPN_MSGID_TERMINATE_SESSION: EndStage(STAGE_SESSION_TERMINATED); return S_OK;
    default: return S_OK;
    }
}

HRESULT NetStage::OnStageMessage(HWND dialog, const void* data, DWORD size, void* receive)
{
    StageMessageCheck check;
    if (!CheckStageMessage(data, size, check)) {
        DebugTrace("NetStage: stage message 0x%x of %u bytes dropped: %s\n", static_cast<unsigned>(check.id),
                   static_cast<unsigned>(size), check.why);
        return S_OK;
    }
    const int32_t id = check.id;
    if (id == 0) return S_OK;  // a game message or another id: not the stage's
    auto* received = static_cast<DPNMSG_RECEIVE*>(receive);
    const DWORD sender = received ? received->dpnidSender : 0;
    const bool host = m_bHostPlayer;
    switch (id) {
    case STAGE_MSGID_SETSLOTID: {
        if (host) return E_FAIL;
        StageMsgSlot m;
        std::memcpy(&m, data, sizeof m);
        if (!ReceivedFromHost(sender)) {
            DebugTrace("NetStage: STAGE_MSGID_SETSLOTID from a guest dropped\n");
            return S_OK;
        }
        m_lLocalSlotNumber = m.slot;
        m_bGotSlotId = TRUE;
        if (dialog) PostMessageA(dialog, WM_STAGE_REFRESH, 0, 0);
        return S_OK;
    }
    case STAGE_MSGID_SETSTAGEDATA: {
        const auto* stage = static_cast<const StageData*>(data);
        if (!ReceivedFromHost(sender)) {
            DebugTrace("NetStage: STAGE_MSGID_SETSTAGEDATA from a guest dropped\n");
            return S_OK;
        }
        if (!received) return S_OK;
        EnterCriticalSection(&m_csStageLock);
        if (!m_bActive) {
            LeaveCriticalSection(&m_csStageLock);
            return S_OK;
        }
        if (m_pStageDataMsg && m_pDP) m_pDP->ReturnBuffer(m_hStageDataBuffer, 0);
        m_pStageDataMsg = const_cast<StageData*>(stage);
        m_hStageDataBuffer = received->hBufferHandle;
        LeaveCriticalSection(&m_csStageLock);
        if (dialog) PostMessageA(dialog, WM_STAGE_REFRESH, 0, 0);
        return DPNSUCCESS_PENDING;
    }
    case STAGE_MSGID_REJECTPLAYER:
        if (host) return E_FAIL;
        if (!ReceivedFromHost(sender)) return S_OK;
        EndStage(WIZARD_RESULT_REJECTED);
        return S_OK;
    case STAGE_MSGID_SETREADY:
    case STAGE_MSGID_CLEARREADY: {
        if (!host) return E_FAIL;
        StageMsgSlot m;
        std::memcpy(&m, data, sizeof m);
        bool changed = false;
        EnterCriticalSection(&m_csStageLock);
        // Only the player in the slot may say whether he is ready.
        if ((m_Slots[m.slot].status & SLOT_STATE_MASK) == SLOT_PLAYER &&
            m_Slots[m.slot].dpnid == sender) {
            if (id == STAGE_MSGID_SETREADY)
                m_Slots[m.slot].status |= SLOT_READY;
            else
                m_Slots[m.slot].status &= ~SLOT_READY;
            changed = true;
        }
        LeaveCriticalSection(&m_csStageLock);
        if (!changed) {
            DebugTrace("NetStage: ready change for slot %d from %08x dropped\n", static_cast<int>(m.slot),
                       static_cast<unsigned>(sender));
            return S_OK;
        }
        HRESULT hr = SendSlotDataToPlayers(dialog);
        if (FAILED(hr)) STAGE_TRACE(hr, "SendSlotDataToPlayers");
        return hr;
    }
    case STAGE_MSGID_STARTGAME:
        if (host) return E_FAIL;
        if (!ReceivedFromHost(sender)) return S_OK;
        DebugTrace("NetStage: Got STAGE_MSGID_STARTGAME\n");
        if (!m_bEnding) {
            EndStage(WIZARD_RESULT_NEXT);
            NotifyMainWindow();
        }
        return S_OK;
    case STAGE_MSGID_CANCELGAME:
        if (!ReceivedFromHost(sender)) return S_OK;
        EndStage(WIZARD_RESULT_CANCELLED);
        return S_OK;
    case STAGE_MSGID_CHAT: {
        const auto* chat = static_cast<const StageMsgChat*>(data);
        if (!received) return S_OK;
        EnterCriticalSection(&m_csStageLock);
        if (!m_bActive || !dialog) {
            LeaveCriticalSection(&m_csStageLock);
            return S_OK;
        }
        m_keptChats.push_back(KeptChat{chat, received->hBufferHandle});
        LeaveCriticalSection(&m_csStageLock);
        if (!PostMessageA(dialog, WM_STAGE_CHAT, sender, reinterpret_cast<LPARAM>(chat))) {
            EnterCriticalSection(&m_csStageLock);
            m_keptChats.pop_back();
            LeaveCriticalSection(&m_csStageLock);
            return S_OK;
        }
        return DPNSUCCESS_PENDING;
    }
    default: return S_OK;
    }
}

// ---------------------------------------------------------------------------------------------
// Host operations
HRESULT NetStage::FindFreeSlot(int32_t* slot)
{
    if (!m_bHostPlayer) return E_FAIL;
    for (int32_t i = 0; i < STAGE_SLOTS; ++i)
        if ((m_Slots[i].status & SLOT_STATE_MASK) == SLOT_OPEN) {
            if (slot) *slot = i;
            return S_OK;
        }
    return S_FALSE;
}

HRESULT NetStage::AddPlayerToStage(HWND dialog, PlayerRecord* player)
{
    if (!m_bHostPlayer) return E_FAIL;
    DPNID id;
    char name[PLAYER_RECORD_NAME_SIZE];
    EnterCriticalSection(&Net.playerListLock);
    id = player->id;
    std::memcpy(name, player->name, sizeof name);
    name[sizeof name - 1] = 0;
    LeaveCriticalSection(&Net.playerListLock);

    EnterCriticalSection(&m_csStageLock);
    for (const StageSlot& s : m_Slots)
        if ((s.status & SLOT_STATE_MASK) == SLOT_PLAYER && s.dpnid == id) {
            LeaveCriticalSection(&m_csStageLock);
            return S_OK;  // seated already
        }
    int32_t slot = -1;
    HRESULT found = FindFreeSlot(&slot);
    if (found == S_OK) {
        m_Slots[slot].status = SLOT_PLAYER;
        std::memset(m_Slots[slot].name, 0, sizeof m_Slots[slot].name);
        std::snprintf(m_Slots[slot].name, sizeof m_Slots[slot].name, "%.14s", name);
        m_Slots[slot].dpnid = id;
    }
    LeaveCriticalSection(&m_csStageLock);
    if (found != S_OK) {
        StageMsgHeader reject{STAGE_MSGID_REJECTPLAYER};
        SendStageMessage(id, &reject, sizeof reject, 0);
        return S_OK;
    }
    EnterCriticalSection(&Net.playerListLock);
    player->slot = slot;
    LeaveCriticalSection(&Net.playerListLock);
    StageMsgSlot message{STAGE_MSGID_SETSLOTID, slot};
    SendStageMessage(id, &message, sizeof message, 0);
    DebugTrace("NetStage: sending new player (dpid=%08x) a STAGE_MSGID_SETSLOTID message\n", static_cast<unsigned>(id));
    HRESULT hr = SendSlotDataToPlayers(dialog);
    if (FAILED(hr)) STAGE_TRACE(hr, "SendSlotDataToPlayers");
    return hr;
}

HRESULT NetStage::RemovePlayerToStage(HWND dialog, PlayerRecord* player)
{
    if (!m_bHostPlayer) return E_FAIL;
    bool opened = false;
    EnterCriticalSection(&m_csStageLock);
    // The slot is the player's only while it holds his id: a player who was never seated (his
    // record says slot 0) or whose slot went to someone else leaves the table as it is.
    for (StageSlot& s : m_Slots)
        if ((s.status & SLOT_STATE_MASK) == SLOT_PLAYER && s.dpnid == player->id && s.dpnid != 0) {
            ClearSlot(s);
            opened = true;
        }
    LeaveCriticalSection(&m_csStageLock);
    if (!opened) return S_OK;
    HRESULT hr = SendSlotDataToPlayers(dialog);
    if (FAILED(hr)) STAGE_TRACE(hr, "SendSlotDataToPlayers");
    return hr;
}

void NetStage::SeatWaitingPlayers(HWND dialog)
{
    if (!Net.playerListLockMade) return;
    std::vector<PlayerRecord*> waiting;
    EnterCriticalSection(&Net.playerListLock);
    EnterCriticalSection(&m_csStageLock);
    m_bSlotsReady = TRUE;
    for (PlayerRecord* record : m_players)
        if (!(record->flags & DPNPLAYER_LOCAL)) {
            AddPlayerRecordRef(record);  // alive while seated, even if he leaves meanwhile
            waiting.push_back(record);
        }
    LeaveCriticalSection(&m_csStageLock);
    LeaveCriticalSection(&Net.playerListLock);
    for (PlayerRecord* record : waiting) {
        HRESULT hr = AddPlayerToStage(dialog, record);
        if (FAILED(hr)) STAGE_TRACE(hr, "AddPlayerToStage");
        // Gone while being seated: his departure found no slot yet, so it is freed here.
        EnterCriticalSection(&Net.playerListLock);
        EnterCriticalSection(&m_csStageLock);
        bool stillHere = std::find(m_players.begin(), m_players.end(), record) != m_players.end();
        LeaveCriticalSection(&m_csStageLock);
        LeaveCriticalSection(&Net.playerListLock);
        if (!stillHere) RemovePlayerToStage(dialog, record);
        EnterCriticalSection(&Net.playerListLock);
        ReleasePlayerRecord(record);
        LeaveCriticalSection(&Net.playerListLock);
    }
}

HRESULT NetStage::SendSlotDataToPlayers(HWND)
{
    if (!m_bHostPlayer) return E_FAIL;
    StageData data{};
    data.id = STAGE_MSGID_SETSTAGEDATA;
    EnterCriticalSection(&m_csStageLock);
    std::memcpy(data.slots, m_Slots, sizeof m_Slots);
    LeaveCriticalSection(&m_csStageLock);
    DebugTrace("NetStage: sending STAGE_MSGID_SETSTAGEDATA to all players\n");
    SendStageMessage(DPNID_ALL_PLAYERS_GROUP, &data, sizeof data, 0);
    return S_OK;
}

HRESULT NetStage::UpdateSessionDesc()
{
    if (!m_bHostPlayer) return E_FAIL;
    IDirectPlay8Peer* peer = m_pDP;
    if (!peer) return STAGE_NOT_INITIALIZED;
    std::vector<BYTE> buffer;
    HRESULT hr = ReadApplicationDesc(peer, buffer);
    if (FAILED(hr)) return STAGE_TRACE(hr, "GetApplicationDesc");
    auto* desc = reinterpret_cast<DPN_APPLICATION_DESC*>(buffer.data());
    EnterCriticalSection(&m_csStageLock);
    desc->dwMaxPlayers = static_cast<DWORD>(std::max(0, m_lMaxPlayers));
    LeaveCriticalSection(&m_csStageLock);
    hr = peer->SetApplicationDesc(desc, 0);
    if (FAILED(hr)) return STAGE_TRACE(hr, "SetApplicationDesc");
    return S_OK;
}

HRESULT NetStage::ChangePlayerReadyStatus(HWND dialog, BOOL ready)
{
    m_bLocalReady = ready;
    if (!m_bHostPlayer) {
        int32_t slot = m_lLocalSlotNumber;
        DWORD hostId = m_dpnidHost;
        if (!IsValidStageSlot(slot) || hostId == 0) {
            DebugTrace("NetStage: no slot or host known yet; ready flag not sent\n");
            return S_OK;
        }
        // The display follows when the host sends the table back.
        StageMsgSlot message{ready ? STAGE_MSGID_SETREADY : STAGE_MSGID_CLEARREADY, slot};
        SendStageMessage(hostId, &message, sizeof message, 0);
        return S_OK;
    }
    EnterCriticalSection(&m_csStageLock);
    if (ready)
        m_Slots[0].status |= SLOT_READY;
    else
        m_Slots[0].status &= ~SLOT_READY;
    LeaveCriticalSection(&m_csStageLock);
    HRESULT hr = SendSlotDataToPlayers(dialog);
    if (FAILED(hr)) STAGE_TRACE(hr, "SendSlotDataToPlayers");
    return hr;
}

HRESULT NetStage::ChangePlayerSlotStatus(HWND dialog, int32_t slot)
{
    if (!m_bHostPlayer) return E_FAIL;
    if (!IsValidStageSlot(slot) || slot == m_lLocalSlotNumber) return S_OK;
    EnterCriticalSection(&m_csStageLock);
    StageSlot before = m_Slots[slot];
    LeaveCriticalSection(&m_csStageLock);

    const int32_t state = before.status & SLOT_STATE_MASK;
    if (state == SLOT_PLAYER) {
        // Asked with no lock held: the network keeps running while the host makes up his mind.
        char question[64];
        std::snprintf(question, sizeof question, "Do you want to reject %s?", before.name);
        if (MessageBoxA(dialog, question, StageCaption, MB_YESNO) != IDYES) return S_OK;
        bool rejected = false;
        EnterCriticalSection(&m_csStageLock);
        // Only if the same player still holds the slot.
        if ((m_Slots[slot].status & SLOT_STATE_MASK) == SLOT_PLAYER && m_Slots[slot].dpnid == before.dpnid) {
            m_Slots[slot].status = SLOT_OPEN;
            rejected = true;
        }
        LeaveCriticalSection(&m_csStageLock);
        if (!rejected) return S_OK;
        StageMsgHeader reject{STAGE_MSGID_REJECTPLAYER};
        SendStageMessage(before.dpnid, &reject, sizeof reject, 0);
    } else {
        EnterCriticalSection(&m_csStageLock);
        int32_t now = m_Slots[slot].status & SLOT_STATE_MASK;
        if (now == SLOT_OPEN) {
            m_Slots[slot].status = SLOT_CLOSED;
            --m_lMaxPlayers;
        } else if (now == SLOT_CLOSED) {
            m_Slots[slot].status = SLOT_OPEN;
            ++m_lMaxPlayers;
        }
        LeaveCriticalSection(&m_csStageLock);
        HRESULT hr = UpdateSessionDesc();
        if (FAILED(hr)) return STAGE_TRACE(hr, "UpdateSessionDesc");
    }
    HRESULT hr = SendSlotDataToPlayers(dialog);
    if (FAILED(hr)) STAGE_TRACE(hr, "SendSlotDataToPlayers");
    return hr;
}

HRESULT NetStage::StartGame(HWND)
{
    if (!m_bHostPlayer) return E_FAIL;
    EnterCriticalSection(&m_csStageLock);
    m_lMaxPlayers = m_lPlayerCount;
    LeaveCriticalSection(&m_csStageLock);
    HRESULT hr = UpdateSessionDesc();
    if (FAILED(hr)) return hr;
    StageMsgHeader start{STAGE_MSGID_STARTGAME};
    SendStageMessage(DPNID_ALL_PLAYERS_GROUP, &start, sizeof start, 0);
    EndStage(WIZARD_RESULT_NEXT);
    NotifyMainWindow();
    return S_OK;
}

HRESULT NetStage::CancelGame()
{
    if (!m_bHostPlayer) return E_FAIL;
    StageMsgHeader cancel{STAGE_MSGID_CANCELGAME};
    SendStageMessage(DPNID_ALL_PLAYERS_GROUP, &cancel, sizeof cancel, DPNSEND_NOLOOPBACK);
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
// The dialog
INT_PTR CALLBACK NetStage::StaticStageDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return TheNetStage ? TheNetStage->StageDlgProc(dialog, msg, wParam, lParam) : FALSE;
}

INT_PTR NetStage::StageDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG: {
        m_hDlg = dialog;
        m_bDlgCreated = TRUE;
        DebugTrace("NetStage: initing dialog m_hDlg=%08x\n", static_cast<unsigned>(reinterpret_cast<uintptr_t>(dialog)));
        HRESULT hr = StageDlgInit(dialog);
        if (FAILED(hr)) Fail(hr, "StageDlgInit");
        return TRUE;
    }
    case WM_STAGE_REFRESH:
        EnterCriticalSection(&m_csStageLock);
        UpdateStageDlg(dialog);
        LeaveCriticalSection(&m_csStageLock);
        return TRUE;
    case WM_STAGE_CHAT: ShowChatLine(dialog, static_cast<DWORD>(wParam), lParam); return TRUE;
    case WM_COMMAND: {
        int id = LOWORD(wParam);
        if (id == IDC_STAGE_SEND) {
            HRESULT hr = SendChatMessage(dialog);
            if (FAILED(hr)) Fail(hr, "SendChatMessage");
            return TRUE;
        }
        if (id >= IDC_STAGE_READY0 && id < IDC_STAGE_READY0 + STAGE_SLOTS) {
            HRESULT hr = ChangePlayerReadyStatus(dialog, !m_bLocalReady);
            if (FAILED(hr)) Fail(hr, "ChangePlayerReadyStatus");
            return TRUE;
        }
        if (id > IDC_STAGE_SLOTBTN0 && id < IDC_STAGE_SLOTBTN0 + STAGE_SLOTS) {
            if (m_bHostPlayer) {
                HRESULT hr = ChangePlayerSlotStatus(dialog, id - IDC_STAGE_SLOTBTN0);
                if (FAILED(hr)) Fail(hr, "ChangePlayerSlotStatus");
            }
            return TRUE;
        }
        if (id == IDC_STAGE_START) {
            HRESULT hr = StartGame(dialog);
            if (FAILED(hr)) Fail(hr, "StartGame");
            return TRUE;
        }
        if (id == IDC_STAGE_CANCEL || id == IDCANCEL) {
            if (m_bHostPlayer) {
                HRESULT hr = CancelGame();
                if (FAILED(hr)) {
                    Fail(hr, "CancelGame");
                    return TRUE;
                }
            }
            EndStage(id == IDC_STAGE_CANCEL ? WIZARD_RESULT_BACK : WIZARD_RESULT_QUIT);
            return TRUE;
        }
        return FALSE;
    }
    default: return FALSE;
    }
}

HRESULT NetStage::StageDlgInit(HWND dialog)
{
    if (HICON icon = LoadIconA(m_hInst, MAKEINTRESOURCEA(StageIcon))) {
        SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    }
    char title[MAX_PATH + 32];
    std::snprintf(title, sizeof title, "%s - Multiplayer Stage", m_strAppName);
    SetWindowTextA(dialog, title);
    m_bLocalReady = FALSE;
    EnableWindow(GetDlgItem(dialog, IDC_STAGE_READY0), FALSE);
    EnableWindow(GetDlgItem(dialog, IDC_STAGE_READY0 + 1), FALSE);
    SendDlgItemMessageA(dialog, IDC_STAGE_CHAT_EDIT, EM_LIMITTEXT, STAGE_CHAT_TEXT_SIZE - 1, 0);
    ShowWindow(dialog, SW_HIDE);
    if (!m_bHostPlayer) {
        ShowWindow(GetDlgItem(dialog, IDC_STAGE_START), SW_HIDE);
        ShowWindow(GetDlgItem(dialog, IDC_STAGE_SLOTBTN0 + 1), SW_HIDE);
        ShowWindow(GetDlgItem(dialog, IDC_STAGE_NAME0), SW_SHOW);
        ShowWindow(GetDlgItem(dialog, IDC_STAGE_NAME0 + 1), SW_SHOW);
        EnterCriticalSection(&m_csStageLock);
        if (m_pStageDataMsg) UpdateStageSlotText(dialog, m_pStageDataMsg);
        LeaveCriticalSection(&m_csStageLock);
    } else {
        EnableWindow(GetDlgItem(dialog, IDC_STAGE_READY0), TRUE);
        EnableWindow(GetDlgItem(dialog, IDC_STAGE_START), FALSE);
        SetDlgItemTextA(dialog, IDC_STAGE_NAME0, m_strLocalPlayerName);
        ShowWindow(GetDlgItem(dialog, IDC_STAGE_SLOTBTN0 + 1), SW_SHOW);
        ShowWindow(GetDlgItem(dialog, IDC_STAGE_NAME0 + 1), SW_HIDE);
        HRESULT hr = SendSlotDataToPlayers(dialog);
        if (FAILED(hr)) return STAGE_TRACE(hr, "SendSlotDataToPlayers");
    }
    PostMessageA(dialog, WM_STAGE_REFRESH, 0, 0);
    return S_OK;
}

void NetStage::UpdateStageDlg(HWND dialog)
{
    if (!m_bGotSlotId || !m_pStageDataMsg || !m_bDlgCreated) return;
    int32_t slot = m_lLocalSlotNumber;
    DebugTrace("NetStage: updating stage (m_hDlg=%08x m_lLocalSlotNumber=%d m_pStageDataMsg=%08x\n)",
               static_cast<unsigned>(reinterpret_cast<uintptr_t>(dialog)), static_cast<int>(slot),
               static_cast<unsigned>(reinterpret_cast<uintptr_t>(m_pStageDataMsg)));
    UpdateStageSlotText(dialog, m_pStageDataMsg);
    if (IsValidStageSlot(slot)) EnableWindow(GetDlgItem(dialog, IDC_STAGE_READY0 + slot), TRUE);
    ShowWindow(dialog, SW_SHOW);
}

void NetStage::UpdateStageSlotText(HWND dialog, const StageData* data)
{
    bool allReady = true;
    m_lPlayerCount = 0;
    for (int i = 0; i < STAGE_SLOTS; ++i) {
        const StageSlot& s = data->slots[i];
        switch (s.status & SLOT_STATE_MASK) {
        case SLOT_OPEN:
            SetDlgItemTextA(dialog, IDC_STAGE_SLOTBTN0 + i, "Open");
            SetDlgItemTextA(dialog, IDC_STAGE_NAME0 + i, "Open");
            CheckDlgButton(dialog, IDC_STAGE_READY0 + i, BST_UNCHECKED);
            break;
        case SLOT_CLOSED:
            SetDlgItemTextA(dialog, IDC_STAGE_SLOTBTN0 + i, "Closed");
            SetDlgItemTextA(dialog, IDC_STAGE_NAME0 + i, "Closed");
            CheckDlgButton(dialog, IDC_STAGE_READY0 + i, BST_UNCHECKED);
            break;
        case SLOT_PLAYER: {
            char name[STAGE_NAME_SIZE];
            std::memcpy(name, s.name, sizeof name);
            name[sizeof name - 1] = 0;
            if (i != 0) SetDlgItemTextA(dialog, IDC_STAGE_SLOTBTN0 + i, name);
            SetDlgItemTextA(dialog, IDC_STAGE_NAME0 + i, name);
            bool ready = IsSlotReady(s.status);
            CheckDlgButton(dialog, IDC_STAGE_READY0 + i, ready ? BST_CHECKED : BST_UNCHECKED);
            if (!ready) allReady = false;
            ++m_lPlayerCount;
            break;
        }
        default: break;
        }
    }
    HWND start = GetDlgItem(dialog, IDC_STAGE_START);
    EnableWindow(start, FALSE);
    const char* status;
    if (!allReady)
        status = m_bLocalReady ? "Waiting until all players check the Ready flag."
                               : "Ready?  Flag the checkbox next to your name.";
    else if (!m_bHostPlayer)
        status = "All are ready! Waiting for host to start the game.";
    else if (m_lPlayerCount == 1)
        status = "Waiting for more players to join.";
    else {
        status = "All are ready! Waiting for you to start the game.";
        EnableWindow(start, TRUE);
    }
    SetDlgItemTextA(dialog, IDC_STAGE_STATUS, status);
}

HRESULT NetStage::SendChatMessage(HWND dialog)
{
    StageMsgChat message{};
    message.id = STAGE_MSGID_CHAT;
    GetDlgItemTextA(dialog, IDC_STAGE_CHAT_EDIT, message.text, STAGE_CHAT_TEXT_SIZE);
    if (!message.text[0]) return S_OK;
    SendStageMessage(DPNID_ALL_PLAYERS_GROUP, &message, sizeof message, 0);
    SetDlgItemTextA(dialog, IDC_STAGE_CHAT_EDIT, "");
    return S_OK;
}

void NetStage::ShowChatLine(HWND dialog, DWORD sender, LPARAM message)
{
    const auto* chat = reinterpret_cast<const StageMsgChat*>(message);
    DWORD buffer = 0;
    bool kept = false;
    EnterCriticalSection(&m_csStageLock);
    for (auto it = m_keptChats.begin(); it != m_keptChats.end(); ++it)
        if (it->message == chat) {
            buffer = it->buffer;
            m_keptChats.erase(it);
            kept = true;
            break;
        }
    LeaveCriticalSection(&m_csStageLock);
    if (!kept) return;  // given back already

    char name[PLAYER_RECORD_NAME_SIZE] = "";
    bool known = false;
    if (m_pDP && Net.playerListLockMade) {
        EnterCriticalSection(&Net.playerListLock);
        void* context = nullptr;
        if (SUCCEEDED(m_pDP->GetPlayerContext(sender, &context, 0)) && context) {
            std::memcpy(name, static_cast<PlayerRecord*>(context)->name, sizeof name);
            name[sizeof name - 1] = 0;
            known = true;
        }
        LeaveCriticalSection(&Net.playerListLock);
    }
    if (known) {
        HWND list = GetDlgItem(dialog, IDC_STAGE_CHAT_LIST);
        if (SendMessageA(list, LB_GETCOUNT, 0, 0) > STAGE_CHAT_MAX_LINES - 1) SendMessageA(list, LB_DELETESTRING, 0, 0);
        char line[STAGE_CHAT_TEXT_SIZE + PLAYER_RECORD_NAME_SIZE + 8];
        std::snprintf(line, sizeof line, "<%s> %s", name, chat->text);
        LRESULT index = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
        if (index >= 0) SendMessageA(list, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);
    }
    if (m_pDP) m_pDP->ReturnBuffer(buffer, 0);
}
