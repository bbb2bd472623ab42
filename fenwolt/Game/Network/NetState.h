// The state of a two-computer game that the rest of the game reads: whether this is a network
// game (NetworkGameActive, which also routes random draws through the shared table), whether
// this computer hosts (and so plays the home side), whether the session is up, and the
// DirectPlay objects, the player records and the names of the session.
#pragma once

#include "fenwolt/common/Utilities.h"
#include "platform/dplay8/dplay8.h"

#include <atomic>
#include <cstdint>

class ConnectionWizard;
class NetStage;

// The game's sessions: only sessions with this application GUID are found and joined.
extern const GUID NetApplicationGuid;
// Shown in the titles of the wizard and the staging dialogs.
constexpr const char* NET_APPLICATION_NAME = "Dorvanix: MultiMachine Setup";
constexpr int32_t NET_SESSION_PLAYERS = 2;
// The session-ended result that DPN_MSGID_TERMINATE_SESSION leaves in NetState.
constexpr HRESULT NET_SESSION_ENDED = (HRESULT)0x80158160;
constexpr int32_t PLAYER_RECORD_NAME_SIZE = 15;  // 14 characters and the terminator

// One per DirectPlay player, kept as the player's context. Made with a count of 1 when the
// player is created; whoever keeps a pointer takes a reference under Net.playerListLock and
// drops it with ReleasePlayerRecord under the same lock.
struct PlayerRecord {
    volatile LONG refCount;
    DPNID id;
    DWORD flags;  // DPNPLAYER_LOCAL, DPNPLAYER_HOST
    char name[PLAYER_RECORD_NAME_SIZE];
    int32_t slot;  // the stage slot (0 when made; the staging area writes it)
};
// Under Net.playerListLock.
void AddPlayerRecordRef(PlayerRecord* record);
// Under Net.playerListLock: drops a reference, freeing the record below 1.
void ReleasePlayerRecord(PlayerRecord* record);

struct NetState {
    uint8_t sessionSetUp = 0;  // the session exists and has not been cleaned up
    int32_t isHost = 0;        // this computer created the session and plays home
    uint8_t displaySwitched = 0;
    volatile LONG playerCount = 0;  // players in the session, this computer included
    IDirectPlay8Peer* peer = nullptr;
    IDirectPlay8LobbiedApplication* lobbiedApplication = nullptr;
    ConnectionWizard* wizard = nullptr;
    NetStage* stage = nullptr;
    HWND sessionDialog = nullptr;  // a session dialog told of player changes (WM_APP), or none
    int32_t launchedByLobby = 0;
    CRITICAL_SECTION playerListLock{};
    bool playerListLockMade = false;
    int32_t messagePlayer = 0;  // the footballer the next message of type 2 or 3 describes
    HRESULT sessionEndedResult = 0;
    // Cleanup has begun: departures seen while the session is closed are not news.
    volatile bool closing = false;
    // The other manager's player, fixed when the staging area starts the game (0 while unknown):
    // what anybody else sent, and anybody else's departure, are no concern of the screens.
    DPNID opponent = 0;
    // Counts the DirectPlay objects made: what an earlier session's threads left behind is stale.
    std::atomic<uint32_t> sessionSerial{0};
    char playerName[260] = "Player";
    char sessionName[260] = "Quillane";
    char providerName[260] = "DirectPlay8 TCP/IP Service Provider";
};
extern NetState Net;

inline bool IsNetworkGame() { return NetworkGameActive; }
inline bool IsNetworkHost() { return NetworkGameActive && Net.isHost != 0; }
inline bool IsNetworkGuest() { return NetworkGameActive && Net.isHost == 0; }
// In a network game the computer whose side plans now: the host in phase 0, the guest in phase 2.
// Always true on one computer.
bool IsLocalSideToPlan(int32_t turnPhase);

// Closes and releases everything of the session; clears the networked-game flag.
void CleanupDirectPlay();
