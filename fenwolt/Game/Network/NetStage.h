// The staging area: the waiting room after the connection wizard. The host keeps the slot table
// and sends it to everybody; guests ask for changes; players tick "Ready?", chat, and the host
// opens, closes or rejects a slot and starts or cancels the game.
#pragma once

#include "fenwolt/common/netconnect.h"
#include "platform/win32/win32.h"

#include <cstddef>
#include <cstdint>
#include <atomic>
#include <deque>
#include <vector>

// Results the staging area adds to the wizard's.
constexpr HRESULT WIZARD_RESULT_REJECTED = 0x01000005;
constexpr HRESULT WIZARD_RESULT_CANCELLED = 0x01000006;
// DirectPlay ended the session while the stage was open.
constexpr HRESULT STAGE_SESSION_TERMINATED = (HRESULT)0x80158160;
constexpr HRESULT STAGE_NOT_INITIALIZED = (HRESULT)0x800401F0;

// --- Stage messages (little-endian, fixed sizes) ----------------------------------------------
constexpr int32_t STAGE_MSGID_SETSLOTID = 0x12001;
constexpr int32_t STAGE_MSGID_SETSTAGEDATA = 0x12002;
constexpr int32_t STAGE_MSGID_REJECTPLAYER = 0x12003;
constexpr int32_t STAGE_MSGID_SETREADY = 0x12004;
constexpr int32_t STAGE_MSGID_CLEARREADY = 0x12005;
constexpr int32_t STAGE_MSGID_STARTGAME = 0x12006;
constexpr int32_t STAGE_MSGID_CANCELGAME = 0x12007;
constexpr int32_t STAGE_MSGID_CHAT = 0x12008;

constexpr int STAGE_SLOTS = 10;
constexpr int32_t SLOT_STATE_MASK = 0x0F;
constexpr int32_t SLOT_OPEN = 0;
constexpr int32_t SLOT_CLOSED = 1;
constexpr int32_t SLOT_PLAYER = 2;
constexpr int32_t SLOT_READY = 0x10;
constexpr uint32_t SLOT_NO_PLAYER = 0xFFFFFFFFu;
constexpr int STAGE_NAME_SIZE = 16;      // room for 14 characters and the terminator
constexpr int STAGE_NAME_MAX = 14;
constexpr int STAGE_CHAT_TEXT_SIZE = 508;  // at most 507 characters are sent

struct StageSlot {
    int32_t status;  // bits 0-3 the state, bit 4 ready
    char name[STAGE_NAME_SIZE];
    uint32_t dpnid;  // 0xFFFFFFFF empty, 0 the host's own slot
};
static_assert(sizeof(StageSlot) == 24);

struct StageMsgHeader {
    int32_t id;
};
struct StageMsgSlot {  // STAGE_MSGID_SETSLOTID, SETREADY, CLEARREADY
    int32_t id;
    int32_t slot;
};
static_assert(sizeof(StageMsgSlot) == 8);
struct StageData {  // STAGE_MSGID_SETSTAGEDATA
    int32_t id;
    uint32_t reserved;
    StageSlot slots[STAGE_SLOTS];
};
static_assert(sizeof(StageData) == 248);
static_assert(offsetof(StageData, slots) == 8);
struct StageMsgChat {  // STAGE_MSGID_CHAT
    int32_t id;
    char text[STAGE_CHAT_TEXT_SIZE];
    uint32_t reserved;
};
static_assert(sizeof(StageMsgChat) == 516);
static_assert(offsetof(StageMsgChat, reserved) == 512);

// The size a stage message of that id must have; 0 for an id that is no stage message.
size_t StageMessageSize(int32_t id);
// A received message as the stage sees it: `id` 0 when it is none of the stage's (a game
// message); `slot` for the slot messages; `why` says what is unsound about a dropped one.
struct StageMessageCheck {
    int32_t id = 0;
    int32_t slot = -1;
    const char* why = nullptr;
};
// False for a stage message of the wrong size, a slot number outside 0..9, a table with a slot in
// no known state or a name without its end, or a chat text without its end.
bool CheckStageMessage(const void* data, size_t size, StageMessageCheck& check);
// A received slot number that may index the slot table.
inline bool IsValidStageSlot(int32_t slot) { return slot >= 0 && slot < STAGE_SLOTS; }
// A slot counts as ready only when bits 4-7 are exactly 0x10.
inline bool IsSlotReady(int32_t status) { return (status & 0xF0) == SLOT_READY; }

// Stage dialog and its controls.
constexpr int IDD_MULTIPLAYER_STAGE = 20001;
constexpr int IDC_STAGE_START = 21001;
constexpr int IDC_STAGE_CHAT_LIST = 21002;
constexpr int IDC_STAGE_CHAT_EDIT = 21003;
constexpr int IDC_STAGE_STATUS = 21004;
constexpr int IDC_STAGE_READY0 = 21101;   // + slot
constexpr int IDC_STAGE_SLOTBTN0 = 21201; // + slot
constexpr int IDC_STAGE_NAME0 = 21301;    // + slot
constexpr int IDC_STAGE_SEND = 1017;
constexpr int IDC_STAGE_CANCEL = 11007;
constexpr UINT WM_STAGE_REFRESH = WM_APP;
constexpr UINT WM_STAGE_CHAT = WM_APP + 1;
constexpr int STAGE_CHAT_MAX_LINES = 51;

struct PlayerRecord;

class NetStage {
public:
    NetStage(HINSTANCE instance, const char* applicationName);
    virtual ~NetStage();

    HRESULT Init(IDirectPlay8Peer* peer);
    WizardResult DoStage(const char* localPlayerName, BOOL host);
    // DirectPlay's messages (from DirectPlay's threads).
    HRESULT MessageHandler(void* context, DWORD messageId, void* message);
    // A received message: stage messages are checked (size, slot numbers, terminated texts, the
    // sender's role) and dropped with a trace when unsound; other ids give S_OK.
    HRESULT OnStageMessage(HWND dialog, const void* data, DWORD size, void* receive);
    // Under m_csStageLock: the first open slot.
    HRESULT FindFreeSlot(int32_t* slot);

    static INT_PTR CALLBACK StaticStageDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);

    // What the tests and the set-up read.
    HWND Dialog() const { return m_hDlg.load(); }
    int32_t LocalSlotNumber() const { return m_lLocalSlotNumber.load(); }
    int32_t MaxPlayers() const { return m_lMaxPlayers; }
    int32_t PlayerCount() const { return m_lPlayerCount; }
    BOOL IsHost() const { return m_bHostPlayer.load(); }
    BOOL IsActive() const { return m_bActive.load(); }
    // A copy of the host's slot table.
    void CopySlots(StageSlot out[STAGE_SLOTS]);
    // The other manager of the game the stage started: on the host the player seated in the
    // table, on a guest the host; 0 when there is none or the stage ended otherwise.
    DWORD OpponentId() const { return m_dpnidOpponent; }

private:
    INT_PTR StageDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
    HRESULT SendChatMessage(HWND dialog);
    HRESULT SendSlotDataToPlayers(HWND dialog);
    HRESULT AddPlayerToStage(HWND dialog, PlayerRecord* player);
    HRESULT RemovePlayerToStage(HWND dialog, PlayerRecord* player);
    HRESULT UpdateSessionDesc();
    HRESULT ChangePlayerReadyStatus(HWND dialog, BOOL ready);
    HRESULT ChangePlayerSlotStatus(HWND dialog, int32_t slot);
    HRESULT StartGame(HWND dialog);
    HRESULT CancelGame();
    void UpdateStageDlg(HWND dialog);
    void UpdateStageSlotText(HWND dialog, const StageData* data);
    HRESULT StageDlgInit(HWND dialog);
    void ShowChatLine(HWND dialog, DWORD sender, LPARAM message);
    // Ends the stage with `result` unless it is ending already (the first reason stands).
    void EndStage(HRESULT result);
    // Ends the stage on a failure of the main thread's own operation.
    void Fail(HRESULT hr, const char* what);
    HRESULT SendStageMessage(DWORD to, const void* data, DWORD size, DWORD flags);
    void ReturnKeptBuffers();
    void ForgetPlayers();
    // Host: the players who joined before the slot table was made get their slots now.
    void SeatWaitingPlayers(HWND dialog);
    bool ReceivedFromHost(DWORD sender) const;
    // The host's seated guest, or a guest's host.
    DWORD SeatedOpponent();

    IDirectPlay8Peer* m_pDP = nullptr;
    HINSTANCE m_hInst = nullptr;
    std::atomic<HRESULT> m_hrResult{0};
    std::atomic<HWND> m_hDlg{nullptr};
    std::atomic<BOOL> m_bActive{FALSE};
    std::atomic<BOOL> m_bHostPlayer{FALSE};
    std::atomic<BOOL> m_bGotSlotId{FALSE};
    BOOL m_bDlgCreated = FALSE;
    std::atomic<int32_t> m_lLocalSlotNumber{-1};
    BOOL m_bLocalReady = FALSE;
    int32_t m_lPlayerCount = 0;
    char m_strAppName[MAX_PATH] = {};
    char m_strLocalPlayerName[STAGE_NAME_SIZE] = {};
    StageData* m_pStageDataMsg = nullptr;  // in DirectPlay's buffer
    DWORD m_hStageDataBuffer = 0;
    CRITICAL_SECTION m_csStageLock{};
    StageSlot m_Slots[STAGE_SLOTS] = {};
    int32_t m_lMaxPlayers = 0;
    std::atomic<DWORD> m_dpnidHost{0};
    // Who the game was started with (the stage's own ids are spent when it ends).
    DWORD m_dpnidOpponent = 0;

    // Chat messages posted to the dialog, still in DirectPlay's buffers (under m_csStageLock).
    struct KeptChat {
        const StageMsgChat* message;
        DWORD buffer;
    };
    std::deque<KeptChat> m_keptChats;
    // Records this stage holds a reference on (under the player-list lock, then m_csStageLock).
    std::vector<PlayerRecord*> m_players;
    // The slot table is made (host): joiners are seated as they come.
    BOOL m_bSlotsReady = FALSE;
    std::atomic<BOOL> m_bEnding{FALSE};
    bool m_bQuitProgram = false;
};

// The one stage, for the static dialog procedure; set by the constructor.
extern NetStage* TheNetStage;
