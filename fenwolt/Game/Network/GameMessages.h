// Game messages that keep two computers' matches and menus in step. The match, the front end and
// the network screens send them; with no other computer in the session nothing is sent.
//
// Received messages are checked on DirectPlay's thread (exact size for the type, every index and
// value in range, every text terminated inside its field) and queued with the notifications; the
// main thread applies them in arrival order, each one's notification reaching the current screen
// before the next message is applied. During a match a message that belongs to a point of the
// match this computer has not reached yet waits for it, with everything behind it.
#pragma once

#include "platform/dplay8/dplay8.h"

#include <cstddef>
#include <cstdint>
#include <vector>

enum GameMessageType : int32_t {
    GAME_MSGID_SCORE = 1,
    GAME_MSGID_PLAYER_OUT = 2,
    GAME_MSGID_PLAYER_STATE = 3,
    GAME_MSGID_PHASE_DONE = 5,
    GAME_MSGID_RANDOM_TABLE = 6,
    GAME_MSGID_BALL_STATE = 7,
    GAME_MSGID_SETTINGS = 8,
    GAME_MSGID_READY = 9,
    GAME_MSGID_10 = 10,
    GAME_MSGID_TEAM_NAMES = 11,
    GAME_MSGID_TEAM_SQUAD = 12,
    GAME_MSGID_13 = 13,
    GAME_MSGID_END_TURN = 14,
    GAME_MSGID_SUBSTITUTION = 15,
    GAME_MSGID_CHAT = 16,
};

// End-turn codes of GAME_MSGID_END_TURN.
enum EndTurnCode : int32_t { END_TURN_REQUEST = 1, END_TURN_AGREE = 2, END_TURN_NOT_READY = 3 };

// Notification codes posted to the main window as WM_USER + 1 (wParam).
enum NetNotification : uint32_t {
    NOTIFY_PHASE_DONE = 6,
    NOTIFY_TYPE_13 = 11,
    NOTIFY_READY = 12,
    NOTIFY_SESSION_STARTED = 29000,
    NOTIFY_PLAYER_LEFT = 29001,
    NOTIFY_TYPE_10 = 29002,
    NOTIFY_END_TURN = 29003,
};
constexpr UINT WM_NET_NOTIFY = WM_USER + 1;
// Posted to the main window when received messages wait to be applied; its handler calls
// ProcessNetworkMessages.
constexpr UINT WM_NET_QUEUED = WM_USER + 2;

// The outgoing end-turn code and value that the next GAME_MSGID_END_TURN carries, and the last
// incoming one (written when the message is applied).
extern int32_t OutgoingEndTurnCode, OutgoingEndTurnValue;
extern int32_t IncomingEndTurnCode, IncomingEndTurnValue;

// Builds the message of that type from the current globals and sends it to the other computer.
bool SendGameMessage(int32_t type);
// Types 2 and 3 describe one footballer: stores his index, then SendGameMessage.
bool SendGameMessageFor(int32_t type, int32_t player);

// --- Wire format ------------------------------------------------------------------------------
// A game message as it travels: little-endian fields written one by one, the type first; each
// type has its fixed size.
typedef std::vector<uint8_t> GameMessage;
// The fixed size of a message type (type 4 and unknown types: 0).
size_t GameMessageSize(int32_t type);
// The message of that type as SendGameMessage sends it, from the current globals; empty for an
// unknown type.
GameMessage BuildGameMessage(int32_t type);
// Whether received bytes are a whole, sound game message; `why` says what is wrong otherwise.
bool ValidateGameMessage(const uint8_t* data, size_t size, const char** why);
// Writes a validated message into the globals (main thread); its notification code, 0 for none.
uint32_t ApplyGameMessage(const uint8_t* data, size_t size);

// The match state both computers must hold alike whenever a planning phase is handed over:
// players (model placement, orders, condition), the ball and who touched it last or may not yet
// (holder, side, restart taker), score, clock, phase, stop state and
// the shared random table. Traced at every hand-over ("Net hand-over"), sent and received.
uint64_t SharedMatchHash();
// Traces the shared state at a point of the match that both computers pass alike ("Net <point>:
// phase, clock, score and SharedMatchHash"): the hand-over of a planning phase, sent and
// received, every change of phase and full time.
void TraceSharedState(const char* point);

// --- DirectPlay's side --------------------------------------------------------------------------
// DirectPlay's message callback (DirectPlay's threads): players, received messages, the end of
// the session; then the wizard's and the staging area's handlers. S_OK, or DPNSUCCESS_PENDING
// when the staging area keeps the buffer.
HRESULT DirectPlayMessageHandler(void* context, DWORD messageId, void* message);
// Notification 29000, when the display was switched to a window for the dialogs: the session is
// set up and the game starts (any thread).
void NotifyMainWindow();
// Main thread: applies what has arrived, in order, and hands each notification to the current
// screen (through the main window's WM_USER + 1) before going on. What an earlier session left,
// and what anybody but Net.opponent sent or did (once he is known), is dropped with a trace.
void ProcessNetworkMessages();
// Holds received messages back (true) while the screen that will take them is being built;
// releasing lets the main window process them.
void HoldNetworkMessages(bool hold);
// Forgets everything not yet applied (after the session is closed).
void DiscardNetworkMessages();
// Main thread, every frame: messages held back while a pop-up or the confirm box stood over the
// screen are taken up again once it has closed, and those that waited for the point of the match
// they belong to (the other computer's planning phase, a planning phase for a player's getting
// up) once this computer's match has reached it.
void ResumeHeldNetworkMessages();

// --- Chat of a network match -----------------------------------------------------------------
constexpr int32_t CHAT_LINES = 10;
constexpr int32_t CHAT_LINE_SIZE = 37;
constexpr int32_t CHAT_PREFIX_SIZE = 3;
struct ChatHistory {
    char lines[CHAT_LINES][CHAT_LINE_SIZE];  // line 0 the newest
    int32_t viewIndex;                       // 0..9
    char outgoing[CHAT_LINE_SIZE];           // the line being typed
    char shown[CHAT_PREFIX_SIZE + CHAT_LINE_SIZE];  // "In>" and the line (text item 70)
};
extern ChatHistory Chat;
// Lines 0..8 move to 1..9, the shown line's text becomes line 0, the view returns to 0.
void AddChatLine();
// Moves the view up (at most 9) or down (at least 0) onto a non-empty line and shows it.
void ScrollChat(bool up);
// An empty history, view 0, "In>" shown.
void ResetChat();
