#include "fenwolt/Game/FrontEnd/Saves.h"

#include "fenwolt/Game/ByteStream.h"
#include "fenwolt/Game/Engine/Camera.h"
#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/FrontEnd/ConfirmBox.h"
#include "fenwolt/Game/FrontEnd/FileReplace.h"
#include "fenwolt/Game/FrontEnd/GameType.h"
#include "fenwolt/Game/FrontEnd/League.h"
#include "fenwolt/Game/FrontEnd/Options.h"
#include "fenwolt/Game/FrontEnd/SquadEditor.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Engine/Instances.h"
#include "fenwolt/Game/Match/BallFlight.h"
#include "fenwolt/Game/Match/Banners.h"
#include "fenwolt/Game/Match/Hud.h"
#include "fenwolt/Game/Match/MatchRecords.h"
#include "fenwolt/Game/Match/MatchScreen.h"
#include "fenwolt/Game/Match/Previews.h"
#include "fenwolt/Game/Match/Rules.h"
#include "fenwolt/Game/Match/TurnEngine.h"
#include "fenwolt/Game/RecordBytes.h"
#include "fenwolt/Game/Screens.h"
#include "fenwolt/Game/Engine/Sprites.h"
#include "fenwolt/Game/Engine/VertexAnimation.h"
#include "fenwolt/common/Utilities.h"
#include "platform/win32/win32.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>

TeamStagingCopy TeamStaging;
char SlotLabels[SAVE_SLOT_COUNT][SLOT_LABEL_SIZE];
int32_t SlotUsed[SAVE_SLOT_COUNT];
uint8_t LoadRequested = 0;
int32_t LoadSlot = 0;

struct SavedGameState {
    SaveHeader header;
    D3DVECTOR cameraTarget, cameraEye;
    int32_t goals[2];
    int32_t lastScoringSide;
    int32_t goalSideTable[3];
    int32_t ballInBox;
    MatchPlayer players[PLAYER_COUNT];
    float formationX[PLAYER_COUNT], formationZ[PLAYER_COUNT];
    int32_t formationRole[PLAYER_COUNT], formationWing[PLAYER_COUNT];
    int32_t selectedPlayer, lastSelectedHome, lastSelectedAway;
    uint8_t ordersFlag;
    uint8_t showBallMarker;
    uint8_t tickerInUse[TICKER_LINE_COUNT];
    float tickerX[TICKER_LINE_COUNT];
    MatchBall ball;
    int32_t ballHolder, lastHolder, lastTouchSide;
    uint8_t kickOffPending;
    int32_t kickOffPartner;
    int32_t ballFlightWord[2];
    D3DVECTOR wantedTarget, wantedEye, pickedPoint;
    int32_t turnPhase;
    float phaseTimer;
    float phaseDuration[4];
    int32_t kickOffPhase, minute, second, half, firstKickOffSide;
    uint8_t eventFlags[EVENT_FLAG_COUNT];
    int32_t matchStopState, penaltyEnd, restartSide, setPieceTaker;
    uint8_t takerHasBall, deadBallKickPending, throwInPending;
    D3DVECTOR restartSpot;
    int32_t restrictedFirst, restrictedEnd;
    float keepAwayDistance;
    uint8_t restartPending;
    uint8_t infoPanelShown;
    float hudPanelX, hudPanelY;
    InstanceSnapshot instances[INSTANCE_SNAPSHOT_COUNT];
    int32_t gameMode;
    char teamNames[2][TEAM_NAME_SIZE];
    TeamSquad squads[2];
    int32_t kitChoice[2];
    int32_t stoppageTurns;
    int32_t cupRound;
    int32_t pointsToSpend[2];
    int32_t leagueMatch;
    LeagueTable league;
    int32_t managers;
    int32_t substitutionsMade[2];
    int32_t benchSlotUsed[2][SQUAD_SIZE];
    int32_t injuryCount[2];
    int32_t reservedWord;
    uint8_t kickFlag;
    int32_t lastKicker;
    int32_t distanceOrder[SIDE_SIZE];
    int32_t selectionCycleIndex;
    int32_t minutesPerHalf;
    uint8_t abilitySwapLocked;
    // The ten reserved words at the end: word 0 keeps the difficulty + 1 and word 1 the current
    // manager + 1 (0 = not kept, as in a file whose reserved words are all zero).
    int32_t reserved[10];
};

namespace {
constexpr size_t kTimeTextSize = 260;
constexpr int32_t kReservedDifficulty = 0;
constexpr int32_t kReservedManager = 1;
constexpr int32_t kMaxMinute = 200;
constexpr int32_t kMaxPoints = 1000000;
constexpr int32_t kMaxLeagueCount = 10000;

// --- Records ------------------------------------------------------------------------------------
void WriteHeader(ByteWriter& w, const SaveHeader& h)
{
    w.Bytes(h.timeText, sizeof h.timeText);
    w.I32(h.slot);
    w.U8(h.matchInProgress);
    w.Zeros(3);
    w.I32(h.gameMode);
}

void ReadHeader(ByteReader& r, SaveHeader& h)
{
    r.Text(h.timeText, sizeof h.timeText, sizeof h.timeText - 1);
    h.slot = r.I32In(0, SAVE_SLOT_COUNT - 1);
    h.matchInProgress = r.Flag();
    r.Skip(3);
    h.gameMode = r.I32In(MODE_EXHIBITION, MODE_LEAGUE);
}

void WriteMatchPlayer(ByteWriter& w, const MatchPlayer& p)
{
    w.I32(p.model);
    w.I32(p.numberMarkerModel);
    w.I32(p.numberTexture);
    w.Vec(p.moveTarget);
    w.F32(p.heading);
    w.Vec(p.facePoint);
    w.F32(p.spare);
    w.F32(p.bodySize);
    w.F32(p.headHeight);
    for (float a : p.attributes) w.F32(a);
    w.F32(p.energy);
    w.I32(p.action);
    w.I32(p.stance);
    w.I32(p.turnsDown);
    w.I32(p.contacts);
    w.I32(p.moveCounterA);
    w.I32(p.moveCounterB);
    w.I32(p.aiCounter);
    w.I32(p.role);
    w.I32(p.wingFlag);
    w.I32(p.wingSide);
    w.F32(p.formationX);
    w.F32(p.formationZ);
    w.U8(p.offside);
    w.Bytes(p.name, sizeof p.name);
    w.I32(p.squadSlot);
    w.Bytes(p.reserved0, sizeof p.reserved0);
    w.U8(p.sceneFlag);
    w.Bytes(p.reserved1, sizeof p.reserved1);
    w.F32(p.energyCeiling);
    w.Bytes(p.reserved2, sizeof p.reserved2);
}

bool KnownWingSide(int32_t v) { return v == 0 || v == 2 || v == 3; }

int32_t ReadWingSide(ByteReader& r)
{
    const int32_t v = r.I32();
    if (!KnownWingSide(v)) r.Fail();
    return v;
}

void ReadMatchPlayer(ByteReader& r, MatchPlayer& p)
{
    p.model = r.I32In(0, INSTANCE_COUNT - 1);
    p.numberMarkerModel = r.I32In(0, INSTANCE_NONE);
    p.numberTexture = r.I32In(0, SQUAD_SIZE - 1);
    p.moveTarget = r.Vec();
    p.heading = r.F32();
    p.facePoint = r.Vec();
    p.spare = r.F32();
    p.bodySize = r.F32();
    p.headHeight = r.F32();
    for (float& a : p.attributes) a = r.F32In(0.f, 100.f);
    p.energy = r.F32();
    p.action = r.I32In(0, ANIM_TURN);
    p.stance = r.I32In(0, 2);
    p.turnsDown = r.I32();
    p.contacts = r.I32();
    p.moveCounterA = r.I32();
    p.moveCounterB = r.I32();
    p.aiCounter = r.I32();
    p.role = r.I32In(ROLE_KEEPER, ROLE_ATT);
    p.wingFlag = r.I32In(0, 1);
    p.wingSide = ReadWingSide(r);
    p.formationX = r.F32();
    p.formationZ = r.F32();
    p.offside = r.Flag();
    r.Text(p.name, sizeof p.name, sizeof p.name - 1);
    p.squadSlot = r.I32In(0, SQUAD_SIZE - 1);
    r.Bytes(p.reserved0, sizeof p.reserved0);
    p.sceneFlag = r.U8();
    r.Bytes(p.reserved1, sizeof p.reserved1);
    p.energyCeiling = r.F32();
    r.Bytes(p.reserved2, sizeof p.reserved2);
}

void WriteBall(ByteWriter& w, const MatchBall& b)
{
    w.I32(b.model);
    w.I32(b.markerModel);
    w.Vec(b.aimPoint);
    w.F32(b.bendX);
    w.F32(b.loft);
    w.F32(b.bendZ);
    w.Vec(b.destination);
    w.Vec(b.kickStart);
    w.Vec(b.groundPoint);
    w.F32(b.rotation);
    w.F32(b.radius);
    w.I32(b.bendRefMouseX);
    w.I32(b.bendRefMouseY);
    w.I32(b.bendMouseX);
    w.I32(b.bendMouseY);
}

void ReadBall(ByteReader& r, MatchBall& b)
{
    b.model = r.I32In(0, INSTANCE_COUNT - 1);
    b.markerModel = r.I32In(0, INSTANCE_COUNT - 1);
    b.aimPoint = r.Vec();
    b.bendX = r.F32();
    b.loft = r.F32();
    b.bendZ = r.F32();
    b.destination = r.Vec();
    b.kickStart = r.Vec();
    b.groundPoint = r.Vec();
    b.rotation = r.F32();
    b.radius = r.F32();
    b.bendRefMouseX = r.I32();
    b.bendRefMouseY = r.I32();
    b.bendMouseX = r.I32();
    b.bendMouseY = r.I32();
}

// The ranges a stored squad player may hold; the pitch keeps 14 characters of a name (its
// field is char[15]).
void ReadStoredSquad(ByteReader& r, TeamSquad& squad)
{
    ReadSquad(r, squad, 14);
    for (const SquadPlayer& p : squad.players) {
        for (float a : p.attributes)
            if (!(a >= 0.f && a <= 100.f)) r.Fail();
        if (p.role < ROLE_KEEPER || p.role > ROLE_ATT) r.Fail();
        if (p.wingFlag < 0 || p.wingFlag > 1) r.Fail();
        if (!KnownWingSide(p.wingSide)) r.Fail();
        if (!(p.formationX >= 0.f && p.formationX <= FORMATION_MIRROR_X)) r.Fail();
        if (!(p.formationZ >= 0.f && p.formationZ <= TOUCHLINE_HIGH_Z + TOUCHLINE_LOW_Z)) r.Fail();
    }
}

void WriteLeague(ByteWriter& w, const LeagueTable& league)
{
    for (const LeagueTableRow& row : league.rows) {
        w.I32(row.position);
        w.I32(row.played);
        w.I32(row.won);
        w.I32(row.drawn);
        w.I32(row.lost);
        w.I32(row.goalsFor);
        w.I32(row.goalsAgainst);
        w.I32(row.points);
        w.I32(row.goalDifference);
        w.Bytes(row.name, sizeof row.name);
    }
}

void ReadLeague(ByteReader& r, LeagueTable& league)
{
    for (LeagueTableRow& row : league.rows) {
        row.position = r.I32In(0, LEAGUE_TEAMS - 1);
        row.played = r.I32In(0, kMaxLeagueCount);
        row.won = r.I32In(0, kMaxLeagueCount);
        row.drawn = r.I32In(0, kMaxLeagueCount);
        row.lost = r.I32In(0, kMaxLeagueCount);
        row.goalsFor = r.I32In(0, kMaxLeagueCount * 100);
        row.goalsAgainst = r.I32In(0, kMaxLeagueCount * 100);
        row.points = r.I32In(0, kMaxLeagueCount * 3);
        row.goalDifference = r.I32In(-kMaxLeagueCount * 100, kMaxLeagueCount * 100);
        r.Text(row.name, sizeof row.name, sizeof row.name - 1);
    }
}

void WriteSnapshot(ByteWriter& w, const InstanceSnapshot& s)
{
    w.Vec(s.position);
    w.F32(s.rotationY);
    w.Zeros(4);
    w.I32(s.animationSlot);
    for (int32_t v : s.currentFrame) w.I32(v);
    for (int32_t v : s.nextFrame) w.I32(v);
    for (float v : s.blend) w.F32(v);
    for (float v : s.timeInFrame) w.F32(v);
    w.Zeros(4);
}

void ReadSnapshot(ByteReader& r, InstanceSnapshot& s)
{
    s.position = r.Vec();
    s.rotationY = r.F32();
    r.Skip(4);
    s.animationSlot = r.I32In(0, ANIMATION_SLOT_COUNT - 1);
    for (int32_t& v : s.currentFrame) v = r.I32In(0, MAX_ANIMATION_FRAMES - 1);
    for (int32_t& v : s.nextFrame) v = r.I32In(0, MAX_ANIMATION_FRAMES - 1);
    for (float& v : s.blend) v = r.F32();
    for (float& v : s.timeInFrame) v = r.F32();
    r.Skip(4);
}

InstanceSnapshot TakeSnapshot(int32_t instance)
{
    InstanceSnapshot s{};
    const ModelInstance* m = InstanceAt(instance);
    if (!m) return s;
    s.position = m->Position;
    s.rotationY = m->Rotation.y;
    s.animationSlot = m->AnimationSlot;
    for (int c = 0; c < SNAPSHOT_CHANNELS; ++c) {
        s.currentFrame[c] = m->AnimCurrentFrame[c];
        s.nextFrame[c] = m->AnimNextFrame[c];
        s.blend[c] = m->AnimBlend[c];
        s.timeInFrame[c] = m->AnimTimeInFrame[c];
    }
    return s;
}

// --- Files --------------------------------------------------------------------------------------
void SlotFileName(char (&out)[32], int32_t slot, const char* extension)
{
    std::snprintf(out, sizeof out, "saves\\sav%d.%s", slot, extension);
}

// The whole file when it has exactly `expected` bytes; anything else is no usable file.
bool ReadExactFile(const char* name, uint8_t* out, size_t expected)
{
    HANDLE file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD high = 0;
    const DWORD size = GetFileSize(file, &high);
    bool ok = size != INVALID_FILE_SIZE && high == 0 && size == expected;
    DWORD read = 0;
    if (ok) ok = ReadFile(file, out, (DWORD)expected, &read, nullptr) && read == expected;
    CloseHandle(file);
    return ok;
}

void TimeTextNow(char (&out)[kTimeTextSize])
{
    std::memset(out, 0, sizeof out);
    const std::time_t now = std::time(nullptr);
    const char* text = std::ctime(&now);
    std::snprintf(out, sizeof out, "%s", text ? text : "");
}

// The saving time as a label shows it: the line feed that ends the time text left out.
std::string TimeForLabel(const char* timeText)
{
    std::string s(timeText, strnlen(timeText, kTimeTextSize - 1));
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    return s;
}

// --- Slot screens -------------------------------------------------------------------------------
enum : unsigned {
    SLOT_TITLE = 220,
    SLOT_PROMPT = 221,
    SLOT_BUTTONS = 230,  // 230..239
    SLOT_RETURN = 240,
    SLOT_LABELS = 1524,  // 1524..1533
};

// The medium font: its cells, with the shadow, fit the 20-pixel rows, and "Slot 10" ends well
// before its label also where the label stands only 100 pixels to the right.
constexpr int SLOT_LIST_FONT = 1;

void BuildSlotScreen(const char* title, const char* prompt, float buttonX, float labelX,
                     void (*handler)(int32_t))
{
    BeginMenuScreen(handler, "interface\\plain.jpg");
    CreateLabel(SLOT_TITLE, 40, 120, title, 0);
    CreateLabel(SLOT_PROMPT, 40, 150, prompt, 0);
    UseGreenTextColours();
    CreateTextSprite(SLOT_RETURN, 650, 550, 0, "Return", 0);
    CreateSlotList(SLOT_BUTTONS, buttonX, labelX);
}

int32_t SlotOfSprite(unsigned hit)
{
    return hit >= SLOT_BUTTONS && hit < SLOT_BUTTONS + SAVE_SLOT_COUNT ? (int32_t)(hit - SLOT_BUTTONS) : -1;
}

// Loading takes only a slot that holds a file; saving takes any.
enum class SlotsPressed { Used, All };

// A slot screen's mouse message: the pointer lights Return and the slots that take a press,
// Return goes back to `back`. The slot pressed, or -1.
int32_t PressedSlot(int32_t message, SlotsPressed pressed, ScreenId back)
{
    const SpriteHandle hit = TheApp.HitTestSprites();
    const int32_t slot = SlotOfSprite(hit);
    const bool takesPress = slot >= 0 && (pressed == SlotsPressed::All || SlotUsed[slot]);
    if (message == MSG_MOUSE_MOVE) {
        HoverSprite(hit, hit == SLOT_RETURN || takesPress);
        return -1;
    }
    if (message != MSG_LEFT_DOWN) return -1;
    if (hit == SLOT_RETURN) {
        SetScreen(back);
        return -1;
    }
    return takesPress ? slot : -1;
}

using StatePtr = std::unique_ptr<SavedGameState, void (*)(SavedGameState*)>;

StatePtr NewState() { return StatePtr(NewSavedGameState(), DeleteSavedGameState); }

// The game chosen on the load-game screen, read and checked there: the match applies this copy,
// so a file that changes or goes between the choice and the end of loading cannot fail the load.
StatePtr g_pendingLoad(nullptr, DeleteSavedGameState);
int32_t g_pendingSlot = -1;

bool ReadSlotFile(int32_t slot, SavedGameState& state)
{
    if (slot < 0 || slot >= SAVE_SLOT_COUNT) return false;
    char name[32];
    SlotFileName(name, slot, "sav");
    auto file = std::make_unique<SavedGameFile>();
    if (!ReadExactFile(name, file->bytes, SavedGameFile::kSize)) return false;
    if (ParseSavedGame(file->bytes, SavedGameFile::kSize, state)) return true;
    DebugOutPair("Saved game damaged:", name);
    return false;
}

bool ReadTeamSlotFile(int32_t slot, TeamFile& team)
{
    if (slot < 0 || slot >= SAVE_SLOT_COUNT) return false;
    char name[32];
    SlotFileName(name, slot, "tem");
    uint8_t bytes[TeamFile::kSize];
    return ReadExactFile(name, bytes, sizeof bytes) && ParseTeamFile(bytes, sizeof bytes, team);
}
}  // namespace

SavedGameState* NewSavedGameState() { return new SavedGameState{}; }
void DeleteSavedGameState(SavedGameState* state) { delete state; }

void CaptureSavedGame(SavedGameState& s, int32_t slot, const char* timeText)
{
    s = SavedGameState{};
    std::snprintf(s.header.timeText, sizeof s.header.timeText, "%s", timeText ? timeText : "");
    s.header.slot = slot;
    s.header.matchInProgress = Competition.matchInProgress;
    s.header.gameMode = Competition.gameMode;
    s.cameraTarget = CameraTarget;
    s.cameraEye = CameraEye;
    s.goals[0] = HomeGoals;
    s.goals[1] = AwayGoals;
    s.lastScoringSide = LastScoringSide;
    std::memcpy(s.goalSideTable, GoalSideTable, sizeof s.goalSideTable);
    s.ballInBox = BallInBox;
    std::memcpy(s.players, MatchPlayers, sizeof s.players);
    for (int32_t i = 0; i < PLAYER_COUNT; ++i) {
        s.formationX[i] = FormationTables.x[i];
        s.formationZ[i] = FormationTables.z[i];
        s.formationRole[i] = FormationTables.role[i];
        s.formationWing[i] = FormationTables.wingFlag[i];
    }
    s.selectedPlayer = SelectedPlayer;
    s.lastSelectedHome = LastSelectedHome;
    s.lastSelectedAway = LastSelectedAway;
    s.ordersFlag = 0;
    s.showBallMarker = ShowBallMarker;
    std::memcpy(s.tickerInUse, TickerLineInUse, sizeof s.tickerInUse);
    std::memcpy(s.tickerX, TickerLineX, sizeof s.tickerX);
    s.ball = TheBall;
    s.ballHolder = BallHolder;
    s.lastHolder = LastHolder;
    s.lastTouchSide = LastTouchSide;
    s.kickOffPending = KickOffPending;
    s.kickOffPartner = KickOffPartner;
    s.ballFlightWord[0] = PendingKickKind;
    s.ballFlightWord[1] = PendingKickGood;
    s.wantedTarget = WantedCameraTarget;
    s.wantedEye = WantedCameraEye;
    s.pickedPoint = PickedPoint;
    s.turnPhase = TurnPhase;
    s.phaseTimer = PhaseTimer;
    std::memcpy(s.phaseDuration, PhaseDuration, sizeof s.phaseDuration);
    s.kickOffPhase = KickOffPhase;
    s.minute = Minute;
    s.second = Second;
    s.half = Half;
    s.firstKickOffSide = FirstKickOffSide;
    std::memcpy(s.eventFlags, EventFlags, sizeof s.eventFlags);
    s.matchStopState = MatchStopState;
    s.penaltyEnd = PenaltyEnd;
    s.restartSide = RestartSide;
    s.setPieceTaker = SetPieceTaker;
    s.takerHasBall = TakerHasBall;
    s.deadBallKickPending = DeadBallKickPending;
    s.throwInPending = ThrowInPending;
    s.restartSpot = RestartSpot;
    s.restrictedFirst = RestrictedFirst;
    s.restrictedEnd = RestrictedEnd;
    s.keepAwayDistance = KeepAwayDistance;
    s.restartPending = RestartPending;
    s.infoPanelShown = InfoPanelShown;
    s.hudPanelX = HudPanelX;
    s.hudPanelY = HudPanelY;
    for (int32_t i = 0; i < PLAYER_COUNT; ++i) s.instances[i] = TakeSnapshot(MatchPlayers[i].model);
    {
        const InstanceSnapshot ball = TakeSnapshot(TheBall.model);
        s.instances[PLAYER_COUNT] = InstanceSnapshot{};
        s.instances[PLAYER_COUNT].position = ball.position;
        s.instances[PLAYER_COUNT].rotationY = ball.rotationY;
    }
    s.gameMode = Competition.gameMode;
    std::memcpy(s.teamNames, TeamNames, sizeof s.teamNames);
    std::memcpy(s.squads, TeamSquads, sizeof s.squads);
    s.kitChoice[0] = MatchSetup.kitChoice[0];
    s.kitChoice[1] = MatchSetup.kitChoice[1];
    s.stoppageTurns = StoppageTurns;
    s.cupRound = Competition.cupRound;
    s.pointsToSpend[0] = Competition.pointsToSpend[0];
    s.pointsToSpend[1] = Competition.pointsToSpend[1];
    s.leagueMatch = Competition.leagueMatch;
    s.league = League;
    s.managers = MatchSetup.managers;
    std::memcpy(s.substitutionsMade, SubstitutionsMade, sizeof s.substitutionsMade);
    std::memcpy(s.benchSlotUsed, BenchSlotUsed, sizeof s.benchSlotUsed);
    std::memcpy(s.injuryCount, InjuryCount, sizeof s.injuryCount);
    s.reservedWord = -1;
    s.kickFlag = 1;
    s.lastKicker = LastKicker;
    std::memcpy(s.distanceOrder, DistanceOrder, sizeof s.distanceOrder);
    s.selectionCycleIndex = SelectionCycleIndex;
    s.minutesPerHalf = MatchSetup.minutesPerHalf;
    s.abilitySwapLocked = MatchSetup.abilitySwapLocked;
    s.reserved[kReservedDifficulty] = MatchSetup.difficulty + 1;
    s.reserved[kReservedManager] = Competition.currentManager + 1;
}

void EncodeSavedGame(const SavedGameState& s, SavedGameFile& file)
{
    ByteWriter w(file.bytes, sizeof file.bytes);
    WriteHeader(w, s.header);
    w.Vec(s.cameraTarget);
    w.Vec(s.cameraEye);
    w.I32(s.goals[0]);
    w.I32(s.goals[1]);
    w.I32(s.lastScoringSide);
    for (int32_t v : s.goalSideTable) w.I32(v);
    w.I32(s.ballInBox);
    for (const MatchPlayer& p : s.players) WriteMatchPlayer(w, p);
    for (float v : s.formationX) w.F32(v);
    for (float v : s.formationZ) w.F32(v);
    for (int32_t v : s.formationRole) w.I32(v);
    for (int32_t v : s.formationWing) w.I32(v);
    w.I32(s.selectedPlayer);
    w.I32(s.lastSelectedHome);
    w.I32(s.lastSelectedAway);
    w.U8(s.ordersFlag);
    w.U8(s.showBallMarker);
    w.Bytes(s.tickerInUse, sizeof s.tickerInUse);
    for (float v : s.tickerX) w.F32(v);
    WriteBall(w, s.ball);
    w.I32(s.ballHolder);
    w.I32(s.lastHolder);
    w.I32(s.lastTouchSide);
    w.U8(s.kickOffPending);
    w.I32(s.kickOffPartner);
    w.I32(s.ballFlightWord[0]);
    w.I32(s.ballFlightWord[1]);
    w.Vec(s.wantedTarget);
    w.Vec(s.wantedEye);
    w.Vec(s.pickedPoint);
    w.I32(s.turnPhase);
    w.F32(s.phaseTimer);
    for (float v : s.phaseDuration) w.F32(v);
    w.I32(s.kickOffPhase);
    w.I32(s.minute);
    w.I32(s.second);
    w.I32(s.half);
    w.I32(s.firstKickOffSide);
    w.Bytes(s.eventFlags, sizeof s.eventFlags);
    w.I32(s.matchStopState);
    w.I32(s.penaltyEnd);
    w.I32(s.restartSide);
    w.I32(s.setPieceTaker);
    w.U8(s.takerHasBall);
    w.U8(s.deadBallKickPending);
    w.U8(s.throwInPending);
    w.Vec(s.restartSpot);
    w.I32(s.restrictedFirst);
    w.I32(s.restrictedEnd);
    w.F32(s.keepAwayDistance);
    w.U8(s.restartPending);
    w.U8(s.infoPanelShown);
    w.F32(s.hudPanelX);
    w.F32(s.hudPanelY);
    for (const InstanceSnapshot& snap : s.instances) WriteSnapshot(w, snap);
    w.I32(s.gameMode);
    w.Bytes(s.teamNames, sizeof s.teamNames);
    WriteSquad(w, s.squads[0], NameBytes::AsStored);
    WriteSquad(w, s.squads[1], NameBytes::AsStored);
    w.I32(s.kitChoice[0]);
    w.I32(s.kitChoice[1]);
    w.I32(s.stoppageTurns);
    w.I32(s.cupRound);
    w.I32(s.pointsToSpend[0]);
    w.I32(s.pointsToSpend[1]);
    w.I32(s.leagueMatch);
    WriteLeague(w, s.league);
    w.I32(s.managers);
    w.I32(s.substitutionsMade[0]);
    w.I32(s.substitutionsMade[1]);
    for (const auto& side : s.benchSlotUsed)
        for (int32_t v : side) w.I32(v);
    w.I32(s.injuryCount[0]);
    w.I32(s.injuryCount[1]);
    w.I32(s.reservedWord);
    w.U8(s.kickFlag);
    w.I32(s.lastKicker);
    for (int32_t v : s.distanceOrder) w.I32(v);
    w.I32(s.selectionCycleIndex);
    w.I32(s.minutesPerHalf);
    w.U8(s.abilitySwapLocked);
    for (int32_t v : s.reserved) w.I32(v);
}

bool ParseSaveHeader(const uint8_t* data, size_t size, SaveHeader& out)
{
    if (!data || size < SAVE_HEADER_SIZE) return false;
    ByteReader r(data, SAVE_HEADER_SIZE);
    ReadHeader(r, out);
    return r.ok();
}

bool ParseSavedGame(const uint8_t* data, size_t size, SavedGameState& s)
{
    if (!data || size != SavedGameFile::kSize) return false;
    ByteReader r(data, size);
    ReadHeader(r, s.header);
    s.cameraTarget = r.Vec();
    s.cameraEye = r.Vec();
    s.goals[0] = r.I32In(0, 999);
    s.goals[1] = r.I32In(0, 999);
    s.lastScoringSide = r.I32In(0, 1);
    s.goalSideTable[0] = r.I32();
    s.goalSideTable[1] = r.I32In(0, 1);
    s.goalSideTable[2] = r.I32In(0, 1);
    s.ballInBox = r.I32();
    if (s.ballInBox != BOX_NONE && s.ballInBox != BOX_LOW && s.ballInBox != BOX_HIGH) r.Fail();
    for (MatchPlayer& p : s.players) ReadMatchPlayer(r, p);
    for (float& v : s.formationX) v = r.F32();
    for (float& v : s.formationZ) v = r.F32();
    for (int32_t& v : s.formationRole) v = r.I32In(ROLE_KEEPER, ROLE_ATT);
    for (int32_t& v : s.formationWing) v = r.I32In(0, 1);
    s.selectedPlayer = r.I32In(0, PLAYER_COUNT - 1);
    s.lastSelectedHome = r.I32In(0, PLAYER_COUNT - 1);
    s.lastSelectedAway = r.I32In(0, PLAYER_COUNT - 1);
    s.ordersFlag = r.Flag();
    s.showBallMarker = r.Flag();
    for (uint8_t& v : s.tickerInUse) v = r.Flag();
    for (float& v : s.tickerX) v = r.F32();
    ReadBall(r, s.ball);
    s.ballHolder = r.I32In(0, PLAYER_COUNT);
    s.lastHolder = r.I32In(0, PLAYER_COUNT);
    s.lastTouchSide = r.I32In(0, 2);
    s.kickOffPending = r.Flag();
    s.kickOffPartner = r.I32In(0, PLAYER_COUNT);
    s.ballFlightWord[0] = r.I32In(-1, 5);
    s.ballFlightWord[1] = r.I32In(0, 1);
    s.wantedTarget = r.Vec();
    s.wantedEye = r.Vec();
    s.pickedPoint = r.Vec();
    s.turnPhase = r.I32In(PHASE_HOME_PLANS, PHASE_AWAY_MOVES);
    s.phaseTimer = r.F32();
    for (float& v : s.phaseDuration) v = r.F32();
    s.kickOffPhase = r.I32();
    if (s.kickOffPhase != PHASE_HOME_PLANS && s.kickOffPhase != PHASE_AWAY_PLANS) r.Fail();
    s.minute = r.I32In(0, kMaxMinute);
    s.second = r.I32In(0, 59);
    s.half = r.I32In(1, 3);
    s.firstKickOffSide = r.I32In(0, 1);
    for (uint8_t& v : s.eventFlags) v = r.Flag();
    s.matchStopState = r.I32In(STOP_IN_PLAY, STOP_FOUL);
    s.penaltyEnd = r.I32();
    if (s.penaltyEnd != 0 && s.penaltyEnd != PENALTY_LOW_END && s.penaltyEnd != PENALTY_HIGH_END) r.Fail();
    s.restartSide = r.I32In(0, 1);
    s.setPieceTaker = r.I32In(0, PLAYER_COUNT);
    s.takerHasBall = r.Flag();
    s.deadBallKickPending = r.Flag();
    s.throwInPending = r.Flag();
    s.restartSpot = r.Vec();
    s.restrictedFirst = r.I32In(0, PLAYER_COUNT);
    s.restrictedEnd = r.I32In(0, PLAYER_COUNT);
    if (s.restrictedFirst > s.restrictedEnd) r.Fail();
    s.keepAwayDistance = r.F32();
    s.restartPending = r.Flag();
    s.infoPanelShown = r.Flag();
    s.hudPanelX = r.F32();
    s.hudPanelY = r.F32();
    for (InstanceSnapshot& snap : s.instances) ReadSnapshot(r, snap);
    s.gameMode = r.I32In(MODE_EXHIBITION, MODE_LEAGUE);
    for (auto& name : s.teamNames) r.Text(name, sizeof name, sizeof name - 1);
    ReadStoredSquad(r, s.squads[0]);
    ReadStoredSquad(r, s.squads[1]);
    s.kitChoice[0] = r.I32In(0, KIT_TABLE_SIZE - 1);
    s.kitChoice[1] = r.I32In(0, KIT_TABLE_SIZE - 1);
    s.stoppageTurns = r.I32In(0, 100000);
    s.cupRound = r.I32In(0, 4);
    s.pointsToSpend[0] = r.I32In(-kMaxPoints, kMaxPoints);
    s.pointsToSpend[1] = r.I32In(-kMaxPoints, kMaxPoints);
    s.leagueMatch = r.I32In(0, LEAGUE_MATCHES);
    ReadLeague(r, s.league);
    s.managers = r.I32In(1, 2);
    s.substitutionsMade[0] = r.I32In(0, MAX_SUBSTITUTIONS);
    s.substitutionsMade[1] = r.I32In(0, MAX_SUBSTITUTIONS);
    for (auto& side : s.benchSlotUsed)
        for (int32_t& v : side) v = r.I32In(0, MAX_SUBSTITUTIONS);
    s.injuryCount[0] = r.I32In(0, MAX_INJURIES);
    s.injuryCount[1] = r.I32In(0, MAX_INJURIES);
    s.reservedWord = r.I32();
    s.kickFlag = r.Flag();
    s.lastKicker = r.I32In(0, PLAYER_COUNT);
    for (int32_t& v : s.distanceOrder) v = r.I32In(0, PLAYER_COUNT);
    s.selectionCycleIndex = r.I32In(0, SIDE_SIZE - 1);
    s.minutesPerHalf = r.I32In(MINUTES_PER_HALF_MIN, MINUTES_PER_HALF_MAX);
    s.abilitySwapLocked = r.Flag();
    for (int32_t& v : s.reserved) v = r.I32();
    if (s.reserved[kReservedDifficulty] < 0 || s.reserved[kReservedDifficulty] > DIFFICULTY_MAX + 1) r.Fail();
    if (s.reserved[kReservedManager] < 0 || s.reserved[kReservedManager] > 2) r.Fail();
    return r.ok() && r.Position() == SavedGameFile::kSize;
}

void ApplySavedGame(const SavedGameState& s)
{
    Competition.matchInProgress = s.header.matchInProgress;
    CameraTarget = s.cameraTarget;
    CameraEye = s.cameraEye;
    HomeGoals = s.goals[0];
    AwayGoals = s.goals[1];
    LastScoringSide = s.lastScoringSide;
    std::memcpy(GoalSideTable, s.goalSideTable, sizeof GoalSideTable);
    BallInBox = s.ballInBox;
    // Instance indices are handles into this run's scene: where the scene is loaded its own
    // players and ball keep their instances, whatever the file names.
    int32_t liveModel[PLAYER_COUNT], liveMarker[PLAYER_COUNT];
    for (int32_t i = 0; i < PLAYER_COUNT; ++i) {
        liveModel[i] = MatchPlayers[i].model;
        liveMarker[i] = MatchPlayers[i].numberMarkerModel;
    }
    const int32_t liveBall = TheBall.model, liveBallMarker = TheBall.markerModel;
    std::memcpy(MatchPlayers, s.players, sizeof MatchPlayers);
    for (int32_t i = 0; i < PLAYER_COUNT; ++i) {
        const ModelInstance* m = InstanceAt(liveModel[i]);
        if (m && m->InUse) {
            MatchPlayers[i].model = liveModel[i];
            MatchPlayers[i].numberMarkerModel = liveMarker[i];
        }
    }
    for (int32_t i = 0; i < PLAYER_COUNT; ++i) {
        FormationTables.x[i] = s.formationX[i];
        FormationTables.z[i] = s.formationZ[i];
        FormationTables.role[i] = s.formationRole[i];
        FormationTables.wingFlag[i] = s.formationWing[i];
    }
    SelectedPlayer = s.selectedPlayer;
    LastSelectedHome = s.lastSelectedHome;
    LastSelectedAway = s.lastSelectedAway;
    ShowBallMarker = s.showBallMarker;
    std::memcpy(TickerLineInUse, s.tickerInUse, sizeof TickerLineInUse);
    std::memcpy(TickerLineX, s.tickerX, sizeof TickerLineX);
    TheBall = s.ball;
    if (const ModelInstance* m = InstanceAt(liveBall); m && m->InUse) {
        TheBall.model = liveBall;
        TheBall.markerModel = liveBallMarker;
    }
    BallHolder = s.ballHolder;
    LastHolder = s.lastHolder;
    LastTouchSide = s.lastTouchSide;
    KickOffPending = s.kickOffPending;
    KickOffPartner = s.kickOffPartner;
    PendingKickKind = s.ballFlightWord[0];
    PendingKickGood = (uint8_t)s.ballFlightWord[1];
    WantedCameraTarget = s.wantedTarget;
    WantedCameraEye = s.wantedEye;
    PickedPoint = s.pickedPoint;
    TurnPhase = s.turnPhase;
    PhaseTimer = s.phaseTimer;
    std::memcpy(PhaseDuration, s.phaseDuration, sizeof PhaseDuration);
    KickOffPhase = s.kickOffPhase;
    Minute = s.minute;
    Second = s.second;
    Half = s.half;
    FirstKickOffSide = s.firstKickOffSide;
    std::memcpy(EventFlags, s.eventFlags, sizeof EventFlags);
    MatchStopState = s.matchStopState;
    PenaltyEnd = s.penaltyEnd;
    RestartSide = s.restartSide;
    SetPieceTaker = s.setPieceTaker;
    TakerHasBall = s.takerHasBall;
    DeadBallKickPending = s.deadBallKickPending;
    ThrowInPending = s.throwInPending;
    RestartSpot = s.restartSpot;
    RestrictedFirst = s.restrictedFirst;
    RestrictedEnd = s.restrictedEnd;
    KeepAwayDistance = s.keepAwayDistance;
    RestartPending = s.restartPending;
    InfoPanelShown = s.infoPanelShown;
    HudPanelX = s.hudPanelX;
    HudPanelY = s.hudPanelY;

    // The pose of every player's model and of the ball, into the instances the records name.
    for (int32_t i = 0; i < PLAYER_COUNT; ++i) {
        ModelInstance* m = InstanceAt(MatchPlayers[i].model);
        if (!m) continue;
        const InstanceSnapshot& snap = s.instances[i];
        m->Position = snap.position;
        m->Rotation.y = snap.rotationY;
        m->AnimationSlot = snap.animationSlot;
        for (int c = 0; c < SNAPSHOT_CHANNELS; ++c) {
            m->AnimCurrentFrame[c] = snap.currentFrame[c];
            m->AnimNextFrame[c] = snap.nextFrame[c];
            m->AnimBlend[c] = snap.blend[c];
            m->AnimTimeInFrame[c] = snap.timeInFrame[c];
        }
        m->Animating = 0;
        m->MatrixValid = 0;
        m->Moved = 1;
    }
    if (ModelInstance* ball = InstanceAt(TheBall.model)) {
        ball->Position = s.instances[PLAYER_COUNT].position;
        ball->Rotation.y = s.instances[PLAYER_COUNT].rotationY;
        ball->MatrixValid = 0;
        ball->Moved = 1;
    }

    Competition.gameMode = s.gameMode;
    std::memcpy(TeamNames, s.teamNames, sizeof TeamNames);
    std::memcpy(TeamSquads, s.squads, sizeof TeamSquads);
    // A kit list that has changed since the save (fewer files) falls back to the default kits.
    if (s.kitChoice[0] < KitTable.count && s.kitChoice[1] < KitTable.count) {
        MatchSetup.kitChoice[0] = s.kitChoice[0];
        MatchSetup.kitChoice[1] = s.kitChoice[1];
    } else {
        SetDefaultKits();
    }
    StoppageTurns = s.stoppageTurns;
    Competition.cupRound = s.cupRound;
    Competition.pointsToSpend[0] = s.pointsToSpend[0] < 0 ? 0 : s.pointsToSpend[0];
    Competition.pointsToSpend[1] = s.pointsToSpend[1] < 0 ? 0 : s.pointsToSpend[1];
    Competition.leagueMatch = s.leagueMatch;
    League = s.league;
    MatchSetup.managers = s.managers;
    std::memcpy(SubstitutionsMade, s.substitutionsMade, sizeof SubstitutionsMade);
    std::memcpy(BenchSlotUsed, s.benchSlotUsed, sizeof BenchSlotUsed);
    std::memcpy(InjuryCount, s.injuryCount, sizeof InjuryCount);
    LastKicker = s.lastKicker;
    std::memcpy(DistanceOrder, s.distanceOrder, sizeof DistanceOrder);
    SelectionCycleIndex = s.selectionCycleIndex;
    MatchSetup.minutesPerHalf = s.minutesPerHalf;
    MatchSetup.abilitySwapLocked = s.abilitySwapLocked;
    if (s.reserved[kReservedDifficulty] > 0) MatchSetup.difficulty = s.reserved[kReservedDifficulty] - 1;
    if (s.reserved[kReservedManager] > 0) Competition.currentManager = s.reserved[kReservedManager] - 1;
}

void EncodeTeamFile(const TeamFile& team, uint8_t (&out)[TeamFile::kSize])
{
    ByteWriter w(out, sizeof out);
    WriteHeader(w, team.header);
    w.Bytes(team.teamName, sizeof team.teamName);
    WriteSquad(w, team.squad, NameBytes::AsStored);
    w.I32(team.kitChoice);
}

bool ParseTeamFile(const uint8_t* data, size_t size, TeamFile& out)
{
    if (!data || size != TeamFile::kSize) return false;
    ByteReader r(data, size);
    ReadHeader(r, out.header);
    r.Text(out.teamName, sizeof out.teamName, sizeof out.teamName - 1);
    ReadStoredSquad(r, out.squad);
    out.kitChoice = r.I32In(0, KIT_TABLE_SIZE - 1);
    return r.ok() && r.Position() == TeamFile::kSize;
}

void FormatGameSlotLabel(char (&out)[SLOT_LABEL_SIZE], const SaveHeader& header)
{
    const char* mode = header.gameMode == MODE_EXHIBITION ? "EXH" : header.gameMode == MODE_CUP ? "CUP" : "LGE";
    std::snprintf(out, sizeof out, "%s %s", mode, TimeForLabel(header.timeText).c_str());
}

void FormatTeamSlotLabel(char (&out)[SLOT_LABEL_SIZE], const TeamFile& team)
{
    std::snprintf(out, sizeof out, "%.11s %s", team.teamName, TimeForLabel(team.header.timeText).c_str());
}

bool SaveGame(int32_t slot, WriteFault* why)
{
    if (slot < 0 || slot >= SAVE_SLOT_COUNT) return false;
    char time[kTimeTextSize];
    TimeTextNow(time);
    StatePtr state = NewState();
    CaptureSavedGame(*state, slot, time);
    auto file = std::make_unique<SavedGameFile>();
    EncodeSavedGame(*state, *file);
    char name[32];
    SlotFileName(name, slot, "sav");
    return ReplaceFileWhole(name, file->bytes, SavedGameFile::kSize, why);
}

bool LoadSavedGame(int32_t slot)
{
    ListKits();
    if (slot < 0 || slot >= SAVE_SLOT_COUNT) return false;
    StatePtr state(nullptr, DeleteSavedGameState);
    if (g_pendingLoad && g_pendingSlot == slot) {
        state = std::move(g_pendingLoad);
    } else {
        state = NewState();
        if (!ReadSlotFile(slot, *state)) return false;
    }
    g_pendingLoad.reset();
    g_pendingSlot = -1;
    ApplySavedGame(*state);
    PlaceBallMarker();
    ShowRefereeBanner();
    ShowScoreboard();
    ShowMatchClock();
    ShowMoveRange(true);
    ShowTurnBanner();
    PlaceSelectionMarker(SelectedPlayer);
    // The HUD buttons as the loaded turn gives them (the scene load set them for its kick-off).
    ShowTurnButtons();
    return true;
}

bool SaveTeam(int32_t slot, WriteFault* why)
{
    if (slot < 0 || slot >= SAVE_SLOT_COUNT) return false;
    TeamFile team{};
    TimeTextNow(team.header.timeText);
    team.header.slot = slot;
    team.header.matchInProgress = 0;
    team.header.gameMode = MODE_EXHIBITION;
    std::memcpy(team.teamName, TeamStaging.name, sizeof team.teamName);
    team.teamName[TEAM_NAME_SIZE - 1] = 0;
    team.squad = TeamStaging.squad;
    team.kitChoice = TeamStaging.kitChoice;
    uint8_t bytes[TeamFile::kSize];
    EncodeTeamFile(team, bytes);
    char name[32];
    SlotFileName(name, slot, "tem");
    return ReplaceFileWhole(name, bytes, sizeof bytes, why);
}

bool LoadTeam(int32_t slot)
{
    TeamFile team{};
    if (!ReadTeamSlotFile(slot, team)) {
        DebugPrintInt("Saved team not usable in slot", slot);
        return false;
    }
    std::memcpy(TeamStaging.name, team.teamName, sizeof TeamStaging.name);
    TeamStaging.squad = team.squad;
    TeamStaging.kitChoice = team.kitChoice;
    return true;
}

void ClearLeftoverTemporaries()
{
    RemoveLeftoverTemporariesOf(OPTIONS_FILE);
    for (int32_t slot = 0; slot < SAVE_SLOT_COUNT; ++slot)
        for (const char* extension : {"sav", "tem"}) {
            char name[32];
            SlotFileName(name, slot, extension);
            RemoveLeftoverTemporariesOf(name);
        }
}

void ReadSaveSlotName(int32_t slot)
{
    if (slot < 0 || slot >= SAVE_SLOT_COUNT) return;
    // A slot shows a game only when that game can be loaded.
    StatePtr state = NewState();
    SlotUsed[slot] = ReadSlotFile(slot, *state);
    if (SlotUsed[slot])
        FormatGameSlotLabel(SlotLabels[slot], state->header);
    else
        std::snprintf(SlotLabels[slot], sizeof SlotLabels[slot], "--- ----------");
}

void ReadTeamSlotName(int32_t slot)
{
    if (slot < 0 || slot >= SAVE_SLOT_COUNT) return;
    TeamFile team{};
    SlotUsed[slot] = ReadTeamSlotFile(slot, team);
    if (SlotUsed[slot])
        FormatTeamSlotLabel(SlotLabels[slot], team);
    else
        std::snprintf(SlotLabels[slot], sizeof SlotLabels[slot], "----------");
}

void ReadSaveSlotNames()
{
    for (int32_t slot = 0; slot < SAVE_SLOT_COUNT; ++slot) ReadSaveSlotName(slot);
}

void ReadTeamSlotNames()
{
    for (int32_t slot = 0; slot < SAVE_SLOT_COUNT; ++slot) ReadTeamSlotName(slot);
}

void CreateSlotList(unsigned firstButton, float buttonX, float labelX)
{
    UseGreenTextColours();
    for (int32_t i = 0; i < SAVE_SLOT_COUNT; ++i) {
        char text[16];
        std::snprintf(text, sizeof text, "Slot %d", i + 1);
        const float y = 190.f + 20.f * (float)i;
        CreateTextSprite(firstButton + (unsigned)i, buttonX, y, SLOT_LIST_FONT, text, 0);
        CreatePlainTextSprite(SLOT_LABELS + (unsigned)i, labelX, y, SLOT_LIST_FONT, SlotLabels[i], 0);
        DeactivateSprite(SLOT_LABELS + (unsigned)i);
    }
}

void RedrawSlotLabels()
{
    UseGreenTextColours();
    for (int32_t i = 0; i < SAVE_SLOT_COUNT; ++i) SetSpriteText(SLOT_LABELS + (unsigned)i, SlotLabels[i]);
}

void BuildLoadGameScreen()
{
    ReadSaveSlotNames();
    BuildSlotScreen("LOAD SAVED GAME", "Select Slot to Load Game From...", 140, 240, OnLoadGameMessage);
}

void OnLoadGameMessage(int32_t message)
{
    const int32_t slot = PressedSlot(message, SlotsPressed::Used, ScreenId::StartMenu);
    if (slot < 0) return;
    // The file is read and checked now, while the player can still choose another slot; the
    // match applies this copy once the loading is over.
    StatePtr state = NewState();
    if (!ReadSlotFile(slot, *state)) {
        ReadSaveSlotName(slot);
        RedrawSlotLabels();
        return;
    }
    g_pendingLoad = std::move(state);
    g_pendingSlot = slot;
    LoadRequested = 1;
    LoadSlot = slot;
    SetScreen(ScreenId::Loading);
}

void BuildSaveTeamScreen()
{
    ReadTeamSlotNames();
    BuildSlotScreen("SAVE TEAM", "Select Slot to Save Team to...", 43, 143, OnSaveTeamMessage);
}

void OnSaveTeamMessage(int32_t message)
{
    const int32_t slot = PressedSlot(message, SlotsPressed::All, ScreenId::TeamDetails);
    if (slot < 0) return;
    WriteFault why = WriteFault::None;
    const bool saved = SaveTeam(slot, &why);
    ReadTeamSlotName(slot);
    RedrawSlotLabels();
    // The slot as it is read now, after the failed save: a team it held is still there.
    if (!saved)
        ShowWriteFailedBox("The team was not saved.", why,
                           SlotUsed[slot] ? "The slot keeps its old team." : "The slot stays empty.");
}

void BuildLoadTeamScreen()
{
    ReadTeamSlotNames();
    BuildSlotScreen("LOAD TEAM", "Select Team to Load...", 43, 143, OnLoadTeamMessage);
}

void OnLoadTeamMessage(int32_t message)
{
    const int32_t slot = PressedSlot(message, SlotsPressed::Used, ScreenId::TeamDetails);
    if (slot < 0) return;
    if (!LoadTeam(slot)) {
        ReadTeamSlotName(slot);
        RedrawSlotLabels();
        return;
    }
    CopyStagingToTeam(Competition.currentManager == 1 ? 1 : 0);
    SetScreen(ScreenId::TeamDetails);
}
