#include "fenwolt/Game/Network/GameMessages.h"

#include "fenwolt/Game/ByteStream.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Engine/Instances.h"
#include "fenwolt/Game/Match/Hud.h"
#include "fenwolt/Game/Match/MatchRecords.h"
#include "fenwolt/Game/Match/MatchScreen.h"
#include "fenwolt/Game/Match/TurnEngine.h"
#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/FrontEnd/ConfirmBox.h"
#include "fenwolt/Game/Network/Multi.h"
#include "fenwolt/Game/Network/NetStage.h"
#include "fenwolt/Game/Network/NetState.h"
#include "fenwolt/Game/RecordBytes.h"
#include "fenwolt/Game/Screens.h"
#include "fenwolt/Game/Engine/Sprites.h"
#include "fenwolt/common/netconnect.h"
#include "platform/dialogs/dialogs.h"
#include "platform/dplay8/dxerr8.h"
#include "platform/win32/byte_order.h"

#include <cmath>
#include <cstring>
#include <deque>
#include <mutex>

int32_t OutgoingEndTurnCode = 0, OutgoingEndTurnValue = 0;
int32_t IncomingEndTurnCode = 0, IncomingEndTurnValue = 0;
ChatHistory Chat = {{}, 0, {}, "In>"};

namespace {

constexpr char CHAT_PREFIX[CHAT_PREFIX_SIZE + 1] = "In>";
constexpr int32_t FIRST_STAGE_MESSAGE = 0x12001, LAST_STAGE_MESSAGE = 0x12008;

D3DVECTOR InstancePosition(int32_t index)
{
    const ModelInstance* m = InstanceAt(index);
    return m ? m->Position : D3DVECTOR{0, 0, 0};
}

D3DVECTOR InstanceRotation(int32_t index)
{
    const ModelInstance* m = InstanceAt(index);
    return m ? m->Rotation : D3DVECTOR{0, 0, 0};
}

void PlaceInstance(int32_t index, const D3DVECTOR& position, const D3DVECTOR& rotation)
{
    if (ModelInstance* m = InstanceAt(index)) {
        m->Position = position;
        m->Rotation = rotation;
        m->Moved = 1;
        m->MatrixValid = 0;
    }
}

// --- Checks of received bytes ------------------------------------------------------------------
bool Finite(const uint8_t* data, size_t from, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        const uint32_t u = LoadLe32(data + from + 4 * i);
        float f;
        std::memcpy(&f, &u, 4);
        if (!std::isfinite(f)) return false;
    }
    return true;
}

int32_t At(const uint8_t* data, size_t offset) { return (int32_t)LoadLe32(data + offset); }
bool Terminated(const uint8_t* data, size_t offset, size_t size) { return memchr(data + offset, 0, size) != nullptr; }
bool In(int32_t v, int32_t low, int32_t high) { return v >= low && v <= high; }

// The squad field starts at `offset`; every player's floats finite, his name terminated and his
// role and wing known.
bool SquadSound(const uint8_t* data, size_t offset)
{
    for (int i = 0; i < SQUAD_SIZE; ++i) {
        const size_t p = offset + (size_t)i * sizeof(SquadPlayer);
        if (!Finite(data, p, ATTR_COUNT)) return false;
        if (!In(At(data, p + offsetof(SquadPlayer, role)), ROLE_KEEPER, ROLE_ATT)) return false;
        if (!In(At(data, p + offsetof(SquadPlayer, wingFlag)), 0, 1)) return false;
        if (!In(At(data, p + offsetof(SquadPlayer, wingSide)), 0, 3)) return false;
        if (!Finite(data, p + offsetof(SquadPlayer, formationX), 2)) return false;
        if (!Terminated(data, p + offsetof(SquadPlayer, name), sizeof(SquadPlayer::name))) return false;
        if (!Finite(data, p + offsetof(SquadPlayer, career) + offsetof(SquadStats, timeOnBall), 1)) return false;
        if (!Finite(data, p + offsetof(SquadPlayer, lastMatch) + offsetof(SquadStats, timeOnBall), 1)) return false;
    }
    return true;
}

// --- The queue between DirectPlay's thread and the main thread --------------------------------
struct Arrival {
    std::vector<uint8_t> message;  // a validated game message, or empty
    uint32_t notification = 0;     // a notification with no message (29000, 29001), or 0
    DPNID player = 0;              // the sender, or the player who left; 0 for our own news
    uint32_t session = 0;          // Net.sessionSerial when it arrived
};
std::mutex g_queueLock;
std::deque<Arrival> g_arrivals;
bool g_hold = false;
// Set when messages waited because an overlay stood over the screen that takes them.
bool g_heldForOverlay = false;
// Set when the first message waits for the point of the match it belongs to.
bool g_heldForMatch = false;

// The system menu, the in-match options and the confirm box replace the screen's message
// handler while they stand: a notification handed to them would be lost (an end-turn request
// never answered, the other player's departure never shown), so the queue waits until the screen
// below has its handler back. The match stands still meanwhile, so nothing falls behind.
bool OverlayOverScreen() { return PopupOpen || ConfirmBoxShown(); }
// One wake per arrival: a wake that some loop swallowed costs nothing, the next one drains all.
// Without a window (tests, tools) whoever runs the main thread drains by hand.
void WakeMainWindow()
{
    if (TheAppConstructed() && TheApp.MainWindow) PostMessageA(TheApp.MainWindow, WM_NET_QUEUED, 0, 0);
}

void Enqueue(Arrival arrival)
{
    arrival.session = Net.sessionSerial.load();
    {
        std::lock_guard<std::mutex> lock(g_queueLock);
        g_arrivals.push_back(std::move(arrival));
    }
    WakeMainWindow();
}

// Whether an arrival is news for the screens: it belongs to the session now open, and comes from
// (or tells of) the other manager. A departure held back while the set-up ran may be of a guest
// who left the stage, or of a stranger who joined and went, long before this opponent came.
bool Concerns(const Arrival& arrival, const char** why)
{
    if (arrival.session != Net.sessionSerial.load()) {
        *why = "of an earlier session";
        return false;
    }
    if (arrival.player != 0 && Net.opponent != 0 && arrival.player != Net.opponent) {
        *why = "not of the other manager";
        return false;
    }
    return true;
}

// Whether a received message belongs to the point this computer's match has reached. What the
// other computer sends while its side plans (its orders, a substitution, its ball, the end of its
// phase) belongs to that planning phase, and a player's getting up is reported as a planning phase
// begins. The two computers end a moving phase or a walk-in to a kick-off each at its own pace, so
// such a message may come while this one is still there: it waits, and whatever came after it, so
// that both computers apply it at the same point of the match.
bool DueNow(const std::vector<uint8_t>& message)
{
    if (message.empty() || !IsNetworkGame() || CurrentScreenId != (int32_t)ScreenId::Match ||
        MatchStopState == STOP_FULL_TIME)
        return true;
    switch (At(message.data(), 0)) {
    case GAME_MSGID_PLAYER_STATE:
    case GAME_MSGID_SUBSTITUTION:
    case GAME_MSGID_BALL_STATE:
    case GAME_MSGID_PHASE_DONE: return OtherComputerPlans();
    case GAME_MSGID_PLAYER_OUT: return PlanningPhaseStands();
    default: return true;
    }
}

void DeliverNotification(uint32_t code)
{
    if (TheAppConstructed() && TheApp.MainWindow && IsWindow(TheApp.MainWindow)) {
        SendMessageA(TheApp.MainWindow, WM_NET_NOTIFY, code, 0);
        return;
    }
    LastMessageParam = code;
    LastMessageId = WM_NET_NOTIFY;
    if (ScreenMessageHandler) ScreenMessageHandler((int32_t)WM_NET_NOTIFY);
}

void HashBytes(uint64_t& h, const void* p, size_t n)
{
    const uint8_t* b = static_cast<const uint8_t*>(p);
    for (size_t i = 0; i < n; ++i) h = (h ^ b[i]) * 1099511628211ull;
}

template <class T>
void HashValue(uint64_t& h, const T& v)
{
    HashBytes(h, &v, sizeof v);
}

void RefreshSetupLabels()
{
    if (CurrentScreenId == (int32_t)ScreenId::NetExhibitionSetup && Net.sessionSetUp) ShowNetExhibitionValues();
}

}  // namespace

// --- Sizes, building, checking, applying -------------------------------------------------------------

size_t GameMessageSize(int32_t type)
{
    switch (type) {
    case GAME_MSGID_SCORE: return 24;
    case GAME_MSGID_PLAYER_OUT: return 12;
    case GAME_MSGID_PLAYER_STATE: return 76;
    case GAME_MSGID_PHASE_DONE: return 4;
    case GAME_MSGID_RANDOM_TABLE: return 4 + sizeof(SharedRandomTable);
    case GAME_MSGID_BALL_STATE: return 113;
    case GAME_MSGID_SETTINGS: return 13;
    case GAME_MSGID_READY: return 4;
    case GAME_MSGID_10: return 4;
    case GAME_MSGID_TEAM_NAMES: return 4 + 2 * TEAM_NAME_SIZE;
    case GAME_MSGID_TEAM_SQUAD: return 8 + sizeof(TeamSquad) + TEAM_NAME_SIZE + 4;
    case GAME_MSGID_13: return 4;
    case GAME_MSGID_END_TURN: return 12;
    case GAME_MSGID_SUBSTITUTION: return 12;
    case GAME_MSGID_CHAT: return 4 + CHAT_LINE_SIZE;
    default: return 0;
    }
}

GameMessage BuildGameMessage(int32_t type)
{
    const size_t size = GameMessageSize(type);
    if (!size) return {};
    GameMessage bytes(size);
    ByteWriter w(bytes.data(), bytes.size());
    w.I32(type);
    const int32_t p = Net.messagePlayer;
    switch (type) {
    case GAME_MSGID_SCORE:
        w.I32(HomeGoals);
        w.I32(AwayGoals);
        w.I32(Minute);
        w.I32(Second);
        w.I32(LastScoringSide);
        break;
    case GAME_MSGID_PLAYER_OUT:
        w.I32(p);
        w.I32(IsPlayerIndex(p) ? MatchPlayers[p].turnsDown : 0);
        break;
    case GAME_MSGID_PLAYER_STATE: {
        static const MatchPlayer none{};
        const MatchPlayer& m = IsPlayerIndex(p) ? MatchPlayers[p] : none;
        const int32_t model = IsPlayerIndex(p) ? m.model : -1;
        w.I32(p);
        w.Vec(InstancePosition(model));
        w.Vec(InstanceRotation(model));
        w.Vec(m.moveTarget);
        w.F32(m.heading);
        w.I32(m.action);
        w.Vec(m.facePoint);
        w.F32(m.spare);
        w.I32(m.stance);
        w.F32(InstanceRotation(IsPlayerIndex(p) ? FacingArrowModels[p] : -1).y);
        break;
    }
    case GAME_MSGID_RANDOM_TABLE:
        for (int32_t v : SharedRandomTable) w.I32(v);
        break;
    case GAME_MSGID_BALL_STATE:
        w.Vec(InstancePosition(TheBall.model));
        w.Vec(InstanceRotation(TheBall.model));
        w.Vec(TheBall.aimPoint);
        w.F32(TheBall.rotation);
        w.F32(TheBall.bendX);
        w.F32(TheBall.loft);
        w.F32(TheBall.bendZ);
        w.Vec(TheBall.destination);
        w.Vec(TheBall.kickStart);
        w.Vec(TheBall.groundPoint);
        w.I32(TheBall.bendRefMouseX);
        w.I32(TheBall.bendRefMouseY);
        w.I32(TheBall.bendMouseX);
        w.I32(TheBall.bendMouseY);
        w.I32(ShotClass);
        w.U8(BallInFlight);
        break;
    case GAME_MSGID_SETTINGS:
        w.I32(MatchSetup.difficulty);
        w.I32(MatchSetup.minutesPerHalf);
        w.U8(MatchSetup.abilitySwapLocked);
        break;
    case GAME_MSGID_TEAM_NAMES:
        w.Text(TeamNames[0], TEAM_NAME_SIZE);
        w.Text(TeamNames[1], TEAM_NAME_SIZE);
        break;
    case GAME_MSGID_TEAM_SQUAD: {
        // A computer sends the squad it manages: home on the host, away on the guest.
        const int32_t side = Net.isHost ? 0 : 1;
        w.I32(side);
        WriteSquad(w, TeamSquads[side], NameBytes::AsText);
        w.Text(TeamNames[side], TEAM_NAME_SIZE);
        w.I32(MatchSetup.kitChoice[side]);
        break;
    }
    case GAME_MSGID_END_TURN:
        w.I32(OutgoingEndTurnCode);
        w.I32(OutgoingEndTurnValue);
        break;
    case GAME_MSGID_SUBSTITUTION:
        w.I32(SelectedPlayer);
        w.I32(BenchSlot);
        break;
    case GAME_MSGID_CHAT:
        w.Text(Chat.outgoing, CHAT_LINE_SIZE);
        break;
    default:  // types that carry nothing but themselves
        break;
    }
    return bytes;
}

bool ValidateGameMessage(const uint8_t* data, size_t size, const char** why)
{
    const char* unused;
    if (!why) why = &unused;
    *why = nullptr;
    if (!data || size < 4) {
        *why = "shorter than its type";
        return false;
    }
    const int32_t type = At(data, 0);
    const size_t expected = GameMessageSize(type);
    if (!expected) {
        *why = "unknown type";
        return false;
    }
    if (size != expected) {
        *why = "wrong size for its type";
        return false;
    }
    switch (type) {
    case GAME_MSGID_SCORE:
        if (!In(At(data, 4), 0, 999) || !In(At(data, 8), 0, 999)) *why = "score out of range";
        else if (!In(At(data, 12), 0, 999) || !In(At(data, 16), 0, 59)) *why = "clock out of range";
        else if (!In(At(data, 20), 0, 1)) *why = "scoring side out of range";
        break;
    case GAME_MSGID_PLAYER_OUT:
        if (!IsPlayerIndex(At(data, 4))) *why = "player out of range";
        else if (!In(At(data, 8), 0, 1000)) *why = "turns down out of range";
        break;
    case GAME_MSGID_PLAYER_STATE:
        if (!IsPlayerIndex(At(data, 4))) *why = "player out of range";
        else if (!Finite(data, 8, 10) || !Finite(data, 52, 4) || !Finite(data, 72, 1)) *why = "not a number";
        else if (!In(At(data, 48), 0, ANIM_TURN)) *why = "action out of range";
        else if (!In(At(data, 68), 0, 2)) *why = "stance out of range";
        break;
    case GAME_MSGID_RANDOM_TABLE:
        for (int i = 0; i < SHARED_RANDOM_COUNT && !*why; ++i)
            if (!In(At(data, 4 + 4 * (size_t)i), 0, PLATFORM_RAND_MAX)) *why = "random value out of range";
        break;
    case GAME_MSGID_BALL_STATE:
        if (!Finite(data, 4, 22)) *why = "not a number";
        else if (!In(At(data, 108), 0, 2)) *why = "shot class out of range";
        else if (data[112] > 1) *why = "flight flag out of range";
        break;
    case GAME_MSGID_SETTINGS:
        if (!In(At(data, 4), 0, 10)) *why = "difficulty out of range";
        else if (!In(At(data, 8), 3, 45)) *why = "minutes out of range";
        else if (data[12] > 1) *why = "swap flag out of range";
        break;
    case GAME_MSGID_TEAM_NAMES:
        if (!Terminated(data, 4, TEAM_NAME_SIZE) || !Terminated(data, 16, TEAM_NAME_SIZE)) *why = "name not terminated";
        break;
    case GAME_MSGID_TEAM_SQUAD: {
        const size_t nameAt = 8 + sizeof(TeamSquad), kitAt = nameAt + TEAM_NAME_SIZE;
        const int32_t kit = At(data, kitAt);
        if (!In(At(data, 4), 0, 1)) *why = "side out of range";
        else if (!SquadSound(data, 8)) *why = "squad record unsound";
        else if (!Terminated(data, nameAt, TEAM_NAME_SIZE)) *why = "name not terminated";
        else if (!In(kit, 0, KIT_TABLE_SIZE - 1) || (KitTable.count > 0 && kit >= KitTable.count)) *why = "kit out of range";
        break;
    }
    case GAME_MSGID_END_TURN:
        if (!In(At(data, 4), END_TURN_REQUEST, END_TURN_NOT_READY)) *why = "end-turn code out of range";
        break;
    case GAME_MSGID_SUBSTITUTION:
        if (!IsPlayerIndex(At(data, 4))) *why = "player out of range";
        else if (!In(At(data, 8), FIRST_BENCH_SLOT, LAST_BENCH_SLOT)) *why = "bench slot out of range";
        break;
    case GAME_MSGID_CHAT:
        if (!Terminated(data, 4, CHAT_LINE_SIZE)) *why = "chat line not terminated";
        break;
    default:
        break;
    }
    return *why == nullptr;
}

uint32_t ApplyGameMessage(const uint8_t* data, size_t size)
{
    const char* why = nullptr;
    if (!ValidateGameMessage(data, size, &why)) {
        DebugTrace("Game message dropped: %s\n", why);
        return 0;
    }
    // Checked above by the message's own rules.
    ByteReader r(data, size);
    r.Skip(4);  // the type
    switch (At(data, 0)) {
    case GAME_MSGID_SCORE:
        HomeGoals = r.I32();
        AwayGoals = r.I32();
        Minute = r.I32();
        Second = r.I32();
        LastScoringSide = r.I32();
        return 0;
    case GAME_MSGID_PLAYER_OUT: {
        const int32_t p = r.I32();
        MatchPlayers[p].turnsDown = r.I32();
        return 0;
    }
    case GAME_MSGID_PLAYER_STATE: {
        const int32_t p = r.I32();
        MatchPlayer& m = MatchPlayers[p];
        const D3DVECTOR position = r.Vec();
        const D3DVECTOR rotation = r.Vec();
        PlaceInstance(m.model, position, rotation);
        m.moveTarget = r.Vec();
        m.heading = r.F32();
        m.action = r.I32();
        m.facePoint = r.Vec();
        m.spare = r.F32();
        m.stance = r.I32();
        const float arrow = r.F32();
        if (ModelInstance* a = InstanceAt(FacingArrowModels[p])) {
            a->Rotation.y = arrow;
            a->MatrixValid = 0;
        }
        return 0;
    }
    case GAME_MSGID_PHASE_DONE:
        TraceSharedState("hand-over received");
        return NOTIFY_PHASE_DONE;
    case GAME_MSGID_RANDOM_TABLE:
        for (int32_t& v : SharedRandomTable) v = r.I32();
        SharedRandomIndex = 0;
        return 0;
    case GAME_MSGID_BALL_STATE: {
        const D3DVECTOR position = r.Vec();
        const D3DVECTOR rotation = r.Vec();
        PlaceInstance(TheBall.model, position, rotation);
        TheBall.aimPoint = r.Vec();
        TheBall.rotation = r.F32();
        TheBall.bendX = r.F32();
        TheBall.loft = r.F32();
        TheBall.bendZ = r.F32();
        TheBall.destination = r.Vec();
        TheBall.kickStart = r.Vec();
        TheBall.groundPoint = r.Vec();
        TheBall.bendRefMouseX = r.I32();
        TheBall.bendRefMouseY = r.I32();
        TheBall.bendMouseX = r.I32();
        TheBall.bendMouseY = r.I32();
        ShotClass = r.I32();
        BallInFlight = r.U8();
        return 0;
    }
    case GAME_MSGID_SETTINGS:
        MatchSetup.difficulty = r.I32();
        MatchSetup.minutesPerHalf = r.I32();
        MatchSetup.abilitySwapLocked = r.U8();
        NoteSettingsFromOtherComputer();
        return 0;
    case GAME_MSGID_READY: return NOTIFY_READY;
    case GAME_MSGID_10: return NOTIFY_TYPE_10;
    case GAME_MSGID_TEAM_NAMES:
        r.Text(TeamNames[0], TEAM_NAME_SIZE);
        r.Text(TeamNames[1], TEAM_NAME_SIZE);
        RefreshSetupLabels();
        return 0;
    case GAME_MSGID_TEAM_SQUAD: {
        const int32_t side = r.I32();
        ReadSquad(r, TeamSquads[side], sizeof(SquadPlayer::name) - 1);
        r.Text(TeamNames[side], TEAM_NAME_SIZE);
        MatchSetup.kitChoice[side] = r.I32();
        return 0;
    }
    case GAME_MSGID_13: return NOTIFY_TYPE_13;
    case GAME_MSGID_END_TURN:
        IncomingEndTurnCode = r.I32();
        IncomingEndTurnValue = r.I32();
        return NOTIFY_END_TURN;
    case GAME_MSGID_SUBSTITUTION: {
        // The other computer's substitution, without disturbing what this manager has selected.
        const int32_t keptSelection = SelectedPlayer, keptBench = BenchSlot;
        SelectedPlayer = r.I32();
        BenchSlot = r.I32();
        PerformSubstitution();
        SelectedPlayer = keptSelection;
        BenchSlot = keptBench;
        return 0;
    }
    case GAME_MSGID_CHAT:
        std::memcpy(Chat.shown, CHAT_PREFIX, CHAT_PREFIX_SIZE);
        r.Text(Chat.shown + CHAT_PREFIX_SIZE, CHAT_LINE_SIZE);
        // Item 70 is the chat line only on the match screen.
        if (CurrentScreenId == (int32_t)ScreenId::Match) SetSpriteText(SPRITE_CHAT_IN, Chat.shown);
        AddChatLine();
        return 0;
    default: return 0;
    }
}

uint64_t SharedMatchHash()
{
    uint64_t h = 1469598103934665603ull;
    for (const MatchPlayer& m : MatchPlayers) {
        HashValue(h, InstancePosition(m.model));
        HashValue(h, InstanceRotation(m.model));
        HashValue(h, m.moveTarget);
        HashValue(h, m.heading);
        HashValue(h, m.facePoint);
        HashValue(h, m.spare);
        HashValue(h, m.attributes);
        HashValue(h, m.energy);
        HashValue(h, m.action);
        HashValue(h, m.stance);
        HashValue(h, m.turnsDown);
        HashValue(h, m.squadSlot);
    }
    HashValue(h, InstancePosition(TheBall.model));
    HashValue(h, TheBall.aimPoint);
    HashValue(h, TheBall.bendX);
    HashValue(h, TheBall.loft);
    HashValue(h, TheBall.bendZ);
    HashValue(h, TheBall.destination);
    HashValue(h, TheBall.kickStart);
    HashValue(h, TheBall.groundPoint);
    const int32_t scalars[] = {HomeGoals, AwayGoals, Minute, Second, Half, TurnPhase, MatchStopState,
                               BallHolder, LastHolder, LastTouchSide, SetPieceTaker, ShotClass, BallInFlight,
                               SharedRandomIndex};
    HashValue(h, scalars);
    HashValue(h, SharedRandomTable);
    return h;
}

void TraceSharedState(const char* point)
{
    DebugTrace("Net %s: phase %d minute %d:%02d score %d-%d hash %016llx\n", point, TurnPhase, Minute, Second, HomeGoals,
               AwayGoals, (unsigned long long)SharedMatchHash());
}

// --- Sending ------------------------------------------------------------------------------------------

bool SendGameMessage(int32_t type)
{
    // A session that holds only this computer (or none at all) has nobody to tell.
    if (Net.playerCount <= 1 || !Net.peer) return true;
    GameMessage bytes = BuildGameMessage(type);
    if (bytes.empty()) return true;
    if (type == GAME_MSGID_PHASE_DONE) TraceSharedState("hand-over sent");
    DPN_BUFFER_DESC buffer{(DWORD)bytes.size(), bytes.data()};
    DPNHANDLE handle = 0;
    HRESULT hr = Net.peer->SendTo(DPNID_ALL_PLAYERS_GROUP, &buffer, 1, 0, nullptr, &handle, DPNSEND_NOLOOPBACK);
    // A session that broke is reported by DirectPlay's own messages; the trace says what was lost.
    if (FAILED(hr)) DebugTrace("Game message %d not sent: %s\n", type, DXGetErrorString8(hr));
    return true;
}

bool SendGameMessageFor(int32_t type, int32_t player)
{
    Net.messagePlayer = player;
    return SendGameMessage(type);
}

// --- DirectPlay's thread ----------------------------------------------------------------------------

HRESULT DirectPlayMessageHandler(void* context, DWORD messageId, void* message)
{
    PlayerRecord* departed = nullptr;
    switch (messageId) {
    case DPN_MSGID_CREATE_PLAYER: {
        auto* m = static_cast<DPNMSG_CREATE_PLAYER*>(message);
        if (!Net.peer) break;
        DWORD size = 0;
        HRESULT hr = Net.peer->GetPeerInfo(m->dpnidPlayer, nullptr, &size, 0);
        if (hr != DPNERR_BUFFERTOOSMALL) return DXTrace("Game\\multi", __LINE__, hr, "GetPeerInfo", TRUE);
        std::vector<uint8_t> buffer(size < sizeof(DPN_PLAYER_INFO) ? sizeof(DPN_PLAYER_INFO) : size);
        auto* info = reinterpret_cast<DPN_PLAYER_INFO*>(buffer.data());
        info->dwSize = sizeof(DPN_PLAYER_INFO);
        hr = Net.peer->GetPeerInfo(m->dpnidPlayer, info, &size, 0);
        if (FAILED(hr)) return DXTrace("Game\\multi", __LINE__, hr, "GetPeerInfo", TRUE);
        auto* record = new PlayerRecord{};
        record->refCount = 1;
        record->id = m->dpnidPlayer;
        record->flags = info->dwPlayerFlags;
        if (info->pwszName) ConvertWideStringToGeneric(record->name, info->pwszName, PLAYER_RECORD_NAME_SIZE);
        m->pvPlayerContext = record;
        InterlockedIncrement(&Net.playerCount);
        if (Net.sessionDialog) PostMessageA(Net.sessionDialog, WM_APP, 0, 0);
        break;
    }
    case DPN_MSGID_DESTROY_PLAYER: {
        auto* m = static_cast<DPNMSG_DESTROY_PLAYER*>(message);
        departed = static_cast<PlayerRecord*>(m->pvPlayerContext);
        InterlockedDecrement(&Net.playerCount);
        if (Net.sessionDialog) PostMessageA(Net.sessionDialog, WM_APP, 0, 0);
        // Only the other computer leaving is news; our own player goes when we close.
        const bool local = departed && (departed->flags & DPNPLAYER_LOCAL);
        if (!local && !Net.closing) Enqueue(Arrival{{}, NOTIFY_PLAYER_LEFT, m->dpnidPlayer});
        break;
    }
    case DPN_MSGID_RECEIVE: {
        auto* m = static_cast<DPNMSG_RECEIVE*>(message);
        if (!m->pReceiveData || m->dwReceiveDataSize < 4) {
            DebugTrace("Game message dropped: %u bytes\n", (unsigned)m->dwReceiveDataSize);
            break;
        }
        const int32_t type = At(m->pReceiveData, 0);
        if (type >= FIRST_STAGE_MESSAGE && type <= LAST_STAGE_MESSAGE) break;  // the staging area's
        const char* why = nullptr;
        if (!ValidateGameMessage(m->pReceiveData, m->dwReceiveDataSize, &why)) {
            DebugTrace("Game message dropped (type %d, %u bytes): %s\n", type, (unsigned)m->dwReceiveDataSize, why);
            break;
        }
        Enqueue(Arrival{std::vector<uint8_t>(m->pReceiveData, m->pReceiveData + m->dwReceiveDataSize), 0,
                        m->dpnidSender});
        break;
    }
    case DPN_MSGID_TERMINATE_SESSION:
        Net.sessionEndedResult = NET_SESSION_ENDED;
        if (Net.sessionDialog) EndDialog(Net.sessionDialog, 0);
        break;
    default:
        break;
    }
    HRESULT result = S_OK;
    if (Net.wizard) Net.wizard->MessageHandler(context, messageId, message);
    if (Net.stage && Net.stage->MessageHandler(context, messageId, message) == DPNSUCCESS_PENDING)
        result = DPNSUCCESS_PENDING;
    // Released only after the wizard and the stage have seen the departure with its record.
    if (departed && Net.playerListLockMade) {
        EnterCriticalSection(&Net.playerListLock);
        ReleasePlayerRecord(departed);
        LeaveCriticalSection(&Net.playerListLock);
    } else if (departed) {
        ReleasePlayerRecord(departed);
    }
    return result;
}

void NotifyMainWindow()
{
    // Only a display that was switched to a window for the dialogs has anything to undo.
    if (Net.displaySwitched) Enqueue(Arrival{{}, NOTIFY_SESSION_STARTED});
}

// --- The main thread's side ----------------------------------------------------------------------------

void ProcessNetworkMessages()
{
    for (;;) {
        Arrival next;
        const char* why = nullptr;
        bool concerns;
        {
            std::lock_guard<std::mutex> lock(g_queueLock);
            if (g_hold || g_arrivals.empty()) return;
            if (OverlayOverScreen()) {
                g_heldForOverlay = true;
                return;
            }
            concerns = Concerns(g_arrivals.front(), &why);
            g_heldForMatch = concerns && !DueNow(g_arrivals.front().message);
            if (g_heldForMatch) return;
            next = std::move(g_arrivals.front());
            g_arrivals.pop_front();
        }
        if (!concerns) {
            DebugTrace("Net: %s about player %08x dropped: %s\n", next.message.empty() ? "notice" : "message",
                       (unsigned)next.player, why);
            continue;
        }
        uint32_t code = next.notification;
        if (!next.message.empty()) code = ApplyGameMessage(next.message.data(), next.message.size());
        if (code) DeliverNotification(code);
    }
}

void HoldNetworkMessages(bool hold)
{
    bool waiting;
    {
        std::lock_guard<std::mutex> lock(g_queueLock);
        g_hold = hold;
        waiting = !g_arrivals.empty();
    }
    if (!hold && waiting) WakeMainWindow();
}

void ResumeHeldNetworkMessages()
{
    bool wake;
    {
        std::lock_guard<std::mutex> lock(g_queueLock);
        if (OverlayOverScreen()) return;
        wake = g_heldForOverlay || (g_heldForMatch && !g_arrivals.empty() && DueNow(g_arrivals.front().message));
        g_heldForOverlay = false;
    }
    if (wake) WakeMainWindow();
}

void DiscardNetworkMessages()
{
    std::lock_guard<std::mutex> lock(g_queueLock);
    g_arrivals.clear();
    g_heldForMatch = false;
}

// --- Chat ---------------------------------------------------------------------------------------------------

void ResetChat()
{
    std::memset(&Chat, 0, sizeof Chat);
    std::memcpy(Chat.shown, CHAT_PREFIX, CHAT_PREFIX_SIZE);
}

void AddChatLine()
{
    for (int i = CHAT_LINES - 1; i > 0; --i) std::memcpy(Chat.lines[i], Chat.lines[i - 1], CHAT_LINE_SIZE);
    std::memcpy(Chat.lines[0], Chat.shown + CHAT_PREFIX_SIZE, CHAT_LINE_SIZE);
    Chat.lines[0][CHAT_LINE_SIZE - 1] = 0;
    Chat.viewIndex = 0;
}

void ScrollChat(bool up)
{
    int32_t index = Chat.viewIndex + (up ? 1 : -1);
    if (index > CHAT_LINES - 1) index = CHAT_LINES - 1;
    if (index < 0) index = 0;
    if (!Chat.lines[index][0]) return;  // nothing older (or newer) to show: the view stays
    Chat.viewIndex = index;
    std::memcpy(Chat.shown, CHAT_PREFIX, CHAT_PREFIX_SIZE);
    std::memcpy(Chat.shown + CHAT_PREFIX_SIZE, Chat.lines[index], CHAT_LINE_SIZE);
    Chat.shown[sizeof Chat.shown - 1] = 0;
    SetSpriteText(SPRITE_CHAT_IN, Chat.shown);
}
