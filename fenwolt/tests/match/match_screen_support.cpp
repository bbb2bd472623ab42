#include "fenwolt/tests/match/match_screen_support.h"

#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/FrontEnd/Options.h"
#include "fenwolt/Game/FrontEnd/Saves.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Engine/Instances.h"
#include "fenwolt/Game/Match/Banners.h"
#include "fenwolt/Game/Match/Hud.h"
#include "fenwolt/Game/Match/MatchScreen.h"
#include "fenwolt/Game/Match/Previews.h"
#include "fenwolt/Game/Match/Rules.h"
#include "fenwolt/Game/Match/Squads.h"
#include "fenwolt/Game/Match/TurnEngine.h"
#include "fenwolt/Game/Network/NetState.h"
#include "fenwolt/Game/ScreenSlots.h"
#include "fenwolt/Game/Screens.h"
#include "fenwolt/Game/Engine/VertexAnimation.h"
#include "fenwolt/common/Utilities.h"
#include "platform/win32/crt_rand.h"
#include "platform/win32/win32.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace matchdrive {

using matchgeo::GroundDistance;
using matchgeo::IsFinite;

std::filesystem::path DataSetDir() { return std::filesystem::path(BUILD_ROOT) / "data" / "fenwolt"; }

namespace {
// Reads the meshes of the resource lists for their geometry alone: enough for instances, their
// bounds and the goal frames, with no device.
void LoadGeometryWithoutDevice()
{
    TheApp.MeshCount = 0;
    for (const char* list : {"level/e_mesh.txt", "level/e_tex.txt"}) {
        std::ifstream in(list);
        std::string line;
        while (std::getline(in, line)) {
            while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
            if (line.empty() || TheApp.MeshCount >= MESH_COUNT) continue;
            XFileMesh* mesh = TheApp.MeshTable[TheApp.MeshCount];
            const bool isMesh = line.back() == 'x';
            if (isMesh && !mesh->ParseTextFile(line.c_str())) continue;
            std::snprintf(mesh->Name, sizeof mesh->Name, "%s", line.c_str());
            mesh->Loaded = true;
            ++TheApp.MeshCount;
        }
    }
}
}  // namespace

bool MatchApp::Open(bool withDevice)
{
    Close();
    if (!std::filesystem::exists(DataSetDir() / "level" / "e_mesh.txt")) {
        error = "no data set: build the fenwolt-data target first";
        return false;
    }
    old_ = std::filesystem::current_path();
    std::string pattern = (std::filesystem::temp_directory_path() / "fenwolt-match-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        error = "no scratch directory";
        return false;
    }
    dir_ = pattern;
    for (const auto& entry : std::filesystem::directory_iterator(DataSetDir())) {
        std::error_code ec;
        if (entry.is_directory())
            std::filesystem::create_directory_symlink(entry.path(), dir_ / entry.path().filename(), ec);
        else
            std::filesystem::copy_file(entry.path(), dir_ / entry.path().filename(), ec);
    }
    std::filesystem::create_directories(dir_ / "dat");
    std::ofstream(dir_ / "dat" / "window.dat");
    std::filesystem::current_path(dir_);
    ConstructTheApp();
    open_ = true;
    if (withDevice) {
        if (FAILED(TheApp.Create(nullptr)) || !TheApp.Device) {
            error = "no device";
            Close();
            return false;
        }
        TheApp.ResourceLoadProgress.ListsPending = 2;
        TheApp.LoadResourceList("level\\e_mesh.txt", false);
        TheApp.LoadResourceList("level\\e_tex.txt", false);
    } else {
        LoadGeometryWithoutDevice();
    }
    return true;
}

bool MatchApp::HasDevice() const { return open_ && TheAppConstructed() && TheApp.Device != nullptr; }

void MatchApp::Close()
{
    if (!open_) return;
    MatchScreenActive = 0;
    NetworkGameActive = false;
    UseSharedRandom = false;
    // The match loads the animation frames with or without a device; an application that never
    // made one does not shut the scene down, so they are given back here.
    FreeAllAnimations();
    if (TheAppConstructed()) {
        if (TheApp.MainWindow) SendMessageA(TheApp.MainWindow, WM_CLOSE, 0, 0);
        DestroyTheApp();
    }
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    ResetScreenHandlers();
    std::filesystem::current_path(old_);
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
    open_ = false;
}

void StartMatch(const MatchOptions& options)
{
    // Seeded first, with the squads drawn from this computer's own generator: the default squads
    // draw their bench players' places, so a match never depends on what ran before it. Whether
    // the shared table is in use is left as the last match left it, as in a session.
    srand(options.seed);
    NetworkGameActive = false;
    ResetFormationTables();
    CreateDefaultSquads();
    MatchSetup.managers = options.managers;
    MatchSetup.minutesPerHalf = options.minutesPerHalf;
    Competition.gameMode = options.gameMode;
    Options = OptionsRecord{};
    Options.BeginnersCamera = options.beginnersCamera ? 1 : 0;
    NetworkGameActive = options.network;
    Net.isHost = options.networkHost ? 1 : 0;
    Net.playerCount = 1;
    Net.sessionSetUp = 0;
    LoadRequested = 0;
    ConstantTime = 0;
    CheatControl = CheatPass = 0;
    SetScreen(ScreenId::Match);
}

void Frame(float seconds)
{
    if (ScreenUpdateHandler) ScreenUpdateHandler(seconds);
}

void Select(int32_t player)
{
    if (!IsPlayerIndex(player)) return;
    SelectedPlayer = player;
    CyclePlayerSelection(0);
}

namespace {
constexpr int32_t MOUSE_X = 400, MOUSE_Y = 300;

// A point on open pitch near (x, z): not within a click of any player of the side to move.
D3DVECTOR OpenPoint(float x, float z)
{
    D3DVECTOR p{x, 0.f, z};
    for (int tries = 0; tries < 8 && PlayerUnderPoint(p) != PLAYER_NONE; ++tries) p.z += 0.7f;
    return p;
}
}  // namespace

void OrderRun(int32_t player, float x, float z)
{
    if (!IsPlayerIndex(player)) return;
    Select(player);
    const D3DVECTOR p = OpenPoint(x, z);
    OrderPitchPress(p, MOUSE_X, MOUSE_Y);
    OrderPitchRelease(p, MOUSE_X, MOUSE_Y);
}

void OrderKick(int32_t player, float x, float z, int32_t loftPixels, int32_t bendPixels)
{
    if (!IsPlayerIndex(player) || BallHolder != player + 1 || KickOffPending) return;
    Select(player);
    if (!KickAimMode) ToggleKickAim();
    if (!KickAimMode) return;
    const D3DVECTOR p = OpenPoint(x, z);
    OrderPitchPress(p, MOUSE_X, MOUSE_Y);
    OrderPitchDrag(p, MOUSE_X - bendPixels, MOUSE_Y - loftPixels);
    OrderPitchRelease(p, MOUSE_X - bendPixels, MOUSE_Y - loftPixels);
    if (KickAimMode) ToggleKickAim();
}

void OrderJump(int32_t player, float x, float z)
{
    if (!IsPlayerIndex(player) || BallHolder == player + 1 || MatchPlayers[player].turnsDown > 0) return;
    const ModelInstance* m = PlayerModel(player);
    if (!m) return;
    Select(player);
    if (MatchPlayers[player].stance == 2) return;
    OrderPitchPress(m->Position, MOUSE_X, MOUSE_Y);
    OrderPitchRelease(D3DVECTOR{x, 0.f, z}, MOUSE_X, MOUSE_Y);
}

void EndTurn() { EndTurnIfAllowed(); }

// --- Checks -------------------------------------------------------------------------------------------
namespace {
struct Hasher {
    uint64_t h = 1469598103934665603ull;
    void Bytes(const void* data, size_t size)
    {
        const auto* p = static_cast<const uint8_t*>(data);
        for (size_t i = 0; i < size; ++i) {
            h ^= p[i];
            h *= 1099511628211ull;
        }
    }
    template <class T>
    void Value(const T& v)
    {
        Bytes(&v, sizeof v);
    }
};

bool Inside(const D3DVECTOR& v)
{
    return v.x > -60.f && v.x < 180.f && v.z > -60.f && v.z < 145.f && v.y > -2.f && v.y < 60.f;
}
}  // namespace

uint64_t HashMatch()
{
    Hasher h;
    h.Bytes(MatchPlayers, sizeof MatchPlayers);
    h.Value(TheBall);
    for (int32_t p = 0; p <= PLAYER_COUNT; ++p) {
        const ModelInstance* m = p < PLAYER_COUNT ? PlayerModel(p) : BallModel();
        if (!m) continue;
        h.Value(m->Position);
        h.Value(m->Rotation.y);
        h.Value(m->AnimationSlot);
    }
    for (int32_t v : {TurnPhase, MatchStopState, SelectedPlayer, BallHolder, LastHolder, LastTouchSide, TeamGoals[0],
                      TeamGoals[1], Minute, Second, Half, StoppageTurns, RestartSide, PenaltyEnd, SetPieceTaker,
                      KickOffPartner, GoalSideTable[1], GoalSideTable[2], SubstitutionsMade[0], SubstitutionsMade[1],
                      InjuryCount[0], InjuryCount[1], LastKicker})
        h.Value(v);
    for (uint8_t v : {KickOffPending, RestartPending, TakerHasBall, DeadBallKickPending, ThrowInPending, BallInFlight,
                      GoalInProgress})
        h.Value(v);
    h.Value(RestartSpot);
    return h.h;
}

std::string CheckInvariants()
{
    char text[200];
    for (int32_t p = 0; p < PLAYER_COUNT; ++p) {
        const MatchPlayer& m = MatchPlayers[p];
        bool ok = IsFinite(m.moveTarget) && IsFinite(m.heading) && IsFinite(m.facePoint) && IsFinite(m.energy) &&
                  IsFinite(m.energyCeiling) && IsFinite(m.formationX) && IsFinite(m.formationZ);
        for (float a : m.attributes) ok = ok && IsFinite(a);
        if (!ok) return "player " + std::to_string(p) + ": a float is not a number";
        const ModelInstance* model = PlayerModel(p);
        if (!model) return "player " + std::to_string(p) + " has no model";
        if (!IsFinite(model->Position) || !IsFinite(model->Rotation))
            return "player " + std::to_string(p) + ": model position is not a number";
        if (!Inside(model->Position)) {
            std::snprintf(text, sizeof text, "player %d stands at (%.2f, %.2f, %.2f)", (int)p, model->Position.x,
                          model->Position.y, model->Position.z);
            return text;
        }
        if (m.squadSlot < 0 || m.squadSlot >= SQUAD_SIZE) return "player " + std::to_string(p) + ": squad slot";
        if (m.numberTexture < 0 || m.numberTexture >= SQUAD_SIZE) return "player " + std::to_string(p) + ": number";
        if (m.energy < 0.f || m.energy > m.energyCeiling + 0.001f) return "player " + std::to_string(p) + ": energy";
        if (m.turnsDown < 0 || m.turnsDown > 10) return "player " + std::to_string(p) + ": turns down";
    }
    const float* ball = reinterpret_cast<const float*>(&TheBall.aimPoint);
    for (int i = 0; i < 16; ++i)
        if (!IsFinite(ball[i])) return "the ball record holds a float that is not a number";
    const ModelInstance* b = BallModel();
    if (!b) return "the ball has no model";
    if (!IsFinite(b->Position) || !Inside(b->Position)) {
        std::snprintf(text, sizeof text, "the ball is at (%.2f, %.2f, %.2f)", b->Position.x, b->Position.y, b->Position.z);
        return text;
    }
    if (!IsFinite(CameraEye) || !IsFinite(CameraTarget) || !IsFinite(PhaseTimer)) return "camera or timer not a number";
    if (TurnPhase < 0 || TurnPhase > 3) return "turn phase " + std::to_string(TurnPhase);
    if (MatchStopState < 0 || MatchStopState > 9 || MatchStopState == STOP_UNUSED_5)
        return "stop state " + std::to_string(MatchStopState);
    if (!IsPlayerIndex(SelectedPlayer)) return "selected player " + std::to_string(SelectedPlayer);
    for (int32_t v : {BallHolder, LastHolder, KickOffPartner, SetPieceTaker})
        if (v < 0 || v > PLAYER_COUNT) return "a holder index out of range: " + std::to_string(v);
    if (LastTouchSide < 0 || LastTouchSide > 2) return "last touch side";
    if (Half < 1 || Half > 3) return "half " + std::to_string(Half);
    if (Second < 0 || Second > 59 || Minute < 0) return "clock";
    if (RestartSide < 0 || RestartSide > 1) return "restart side";
    for (int32_t v : DistanceOrder)
        if (!IsPlayerIndex(v)) return "distance order";
    if (BenchSlot < FIRST_BENCH_SLOT || BenchSlot > LAST_BENCH_SLOT) return "bench slot";
    for (int side = 0; side < 2; ++side)
        if (SubstitutionsMade[side] < 0 || SubstitutionsMade[side] > MAX_SUBSTITUTIONS) return "substitutions";
    // Every pause and phase ends in bounded time.
    if ((TurnPhase == PHASE_HOME_MOVES || TurnPhase == PHASE_AWAY_MOVES) && MatchStopState != STOP_KICK_OFF &&
        !GoalInProgress && PhaseTimer > 30.f)
        return "a moving phase runs on after 30 s";
    if (GoalInProgress && PhaseTimer > GOAL_PAUSE_SECONDS + 1.f) return "the goal pause does not end";
    if (MatchStopState == STOP_KICK_OFF && PhaseTimer > WALK_IN_SECONDS + 1.f) return "the walk-in does not end";
    if (TurnPhase == PHASE_AWAY_PLANS && MatchSetup.managers == 1 && MatchStopState != STOP_KICK_OFF && !GoalInProgress &&
        MatchStopState != STOP_FULL_TIME && PhaseTimer > 1.f)
        return "the computer's phase does not end";
    return {};
}

// --- Scripts ---------------------------------------------------------------------------------------------
namespace {
// Full turns after which a match is taken to hang: the clock has not moved, or one restart is
// still waiting.
constexpr int32_t CLOCK_STANDING_LIMIT = 40;
constexpr int32_t RESTART_HANG_LIMIT = 60;

D3DVECTOR BallPos()
{
    const ModelInstance* b = BallModel();
    return b ? b->Position : D3DVECTOR{CENTRE_X, 0.f, CENTRE_Z};
}
D3DVECTOR PlayerPos(int32_t p)
{
    const ModelInstance* m = PlayerModel(p);
    return m ? m->Position : D3DVECTOR{CENTRE_X, 0.f, CENTRE_Z};
}
// The x of the goal line the side attacks.
float AttackedGoalX(int32_t side) { return GoalSideTable[1] == side ? GOAL_LINE_HIGH_X : GOAL_LINE_LOW_X; }

bool Restricted(int32_t p) { return RestartPending && p >= RestrictedFirst && p < RestrictedEnd; }

// The side's player nearest the ball who may go for it.
int32_t Chaser(int32_t side, int32_t except = PLAYER_NONE)
{
    const int32_t first = side ? SIDE_SIZE : 0;
    int32_t best = PLAYER_NONE;
    float bestDistance = 1e9f;
    const D3DVECTOR ball = BallPos();
    for (int32_t p = first; p < first + SIDE_SIZE; ++p) {
        if (p == except || MatchPlayers[p].turnsDown > 0 || Restricted(p)) continue;
        if (KickOffPending && (p == BallHolder - 1 || p == KickOffPartner - 1)) continue;
        const float d = GroundDistance(PlayerPos(p), ball);
        if (d < bestDistance) {
            bestDistance = d;
            best = p;
        }
    }
    return best;
}

bool OnPitch(const D3DVECTOR& at)
{
    return at.x > GOAL_LINE_LOW_X + 1.f && at.x < GOAL_LINE_HIGH_X - 1.f && at.z > TOUCHLINE_LOW_Z + 1.f &&
           at.z < TOUCHLINE_HIGH_Z - 1.f;
}

// The nearest team-mate of a player, to pass to; a manager gives the ball only to someone who
// stands on the pitch.
int32_t NearestMate(int32_t p)
{
    const int32_t first = p < SIDE_SIZE ? 0 : SIDE_SIZE;
    int32_t best = PLAYER_NONE;
    float bestDistance = 1e9f;
    for (int32_t q = first; q < first + SIDE_SIZE; ++q) {
        if (q == p || !OnPitch(PlayerPos(q))) continue;
        const float d = GroundDistance(PlayerPos(q), PlayerPos(p));
        if (d > 3.f && d < bestDistance) {
            bestDistance = d;
            best = q;
        }
    }
    return best;
}

bool RestartWaits() { return MatchStopState == STOP_THROW_IN || MatchStopState == STOP_GOAL_KICK || MatchStopState == STOP_CORNER || MatchStopState == STOP_OFFSIDE || MatchStopState == STOP_FOUL; }

// A restart of the side is taken: the taker passes, or walks to the ball.
bool TakeRestart(int32_t side)
{
    if (!RestartWaits() || RestartSide != side) return false;
    const int32_t holder = BallHolder - 1;
    if (BallHolder > 0 && IsPlayerOfSide(side, holder)) {
        if (MatchStopState == STOP_FOUL && PenaltyEnd != 0) {
            OrderKick(holder, AttackedGoalX(side) + (AttackedGoalX(side) < 60.f ? -1.5f : 1.5f), CENTRE_Z + 2.f, 4);
        } else {
            const int32_t mate = NearestMate(holder);
            const D3DVECTOR at = PlayerPos(holder);
            // Nobody to give it to: into the pitch, toward its middle.
            const D3DVECTOR to = mate != PLAYER_NONE ? PlayerPos(mate)
                                                     : D3DVECTOR{at.x + (CENTRE_X - at.x) * 0.2f, 0.f,
                                                                 at.z + (CENTRE_Z - at.z) * 0.3f};
            OrderKick(holder, to.x, to.z);
        }
        return true;
    }
    const int32_t taker = Chaser(side);
    if (taker != PLAYER_NONE) {
        const D3DVECTOR ball = BallPos();
        OrderRun(taker, ball.x, ball.z);
    }
    return true;
}

void ChaseAndPlay(int32_t side, std::mt19937& rng)
{
    const int32_t holder = BallHolder - 1;
    if (BallHolder > 0 && IsPlayerOfSide(side, holder) && !KickOffPending) {
        const D3DVECTOR at = PlayerPos(holder);
        const float goalX = AttackedGoalX(side);
        if (std::fabs(goalX - at.x) < 28.f) {
            std::uniform_real_distribution<float> z(39.5f, 45.5f);
            OrderKick(holder, goalX + (goalX < 60.f ? -1.5f : 1.5f), z(rng), (int32_t)(rng() % 8));
        } else if (rng() % 3 == 0) {
            const int32_t mate = NearestMate(holder);
            if (mate != PLAYER_NONE) {
                const D3DVECTOR to = PlayerPos(mate);
                OrderKick(holder, to.x + (goalX > 60.f ? 3.f : -3.f), to.z, (int32_t)(rng() % 30));
            }
        } else {
            OrderRun(holder, at.x + (goalX > 60.f ? 8.f : -8.f), at.z + (CENTRE_Z - at.z) * 0.2f);
        }
        // One more runs into space ahead of him.
        const int32_t mate = NearestMate(holder);
        if (mate != PLAYER_NONE) {
            const D3DVECTOR m = PlayerPos(mate);
            OrderRun(mate, m.x + (goalX > 60.f ? 6.f : -6.f), m.z);
        }
        return;
    }
    const int32_t first = Chaser(side);
    const D3DVECTOR ball = BallPos();
    if (first != PLAYER_NONE) OrderRun(first, ball.x, ball.z);
    const int32_t second = Chaser(side, first);
    if (second != PLAYER_NONE) OrderRun(second, ball.x + 2.f, ball.z - 2.f);
}

void RandomOrders(int32_t side, std::mt19937& rng)
{
    std::uniform_real_distribution<float> x(0.f, 119.f), z(0.f, 84.f);
    const int32_t first = side ? SIDE_SIZE : 0;
    const int orders = (int)(rng() % 5);
    for (int i = 0; i < orders; ++i) {
        const int32_t p = first + (int32_t)(rng() % SIDE_SIZE);
        if (BallHolder == p + 1 && !KickOffPending) {
            if (rng() % 2) OrderKick(p, x(rng), z(rng), (int32_t)(rng() % 60), (int32_t)(rng() % 41) - 20);
        } else if (MatchPlayers[p].turnsDown == 0 && rng() % 6 == 0) {
            OrderJump(p, x(rng), z(rng));
        } else if (MatchPlayers[p].turnsDown == 0) {
            OrderRun(p, x(rng), z(rng));
        }
    }
}
}  // namespace

void PlaySideSimply(int32_t side, std::mt19937& rng, bool chase)
{
    if (TakeRestart(side)) return;
    if (chase) ChaseAndPlay(side, rng);
}

void PlayHomeTurn(HomeScript script, std::mt19937& rng)
{
    if (TakeRestart(0)) return;
    switch (script) {
    case HomeScript::Passive: break;
    case HomeScript::Chasing: ChaseAndPlay(0, rng); break;
    case HomeScript::Random: RandomOrders(0, rng); break;
    }
}

MatchReport PlayMatch(const MatchOptions& options, HomeScript script, float step, int64_t stepLimit,
                      bool checkEveryStep)
{
    MatchReport report;
    StartMatch(options);
    std::mt19937 rng(options.seed * 2654435761u + 17u);
    int32_t seenPhase = -1;
    bool acted = false;
    int32_t restartTurns = 0;
    int32_t restartSide = 0;
    int32_t restartKind = 0;
    bool inRestart = false;
    int64_t phaseSteps = 0;
    int32_t lastClock = -1, standingTurns = 0;
    while (report.steps < stepLimit) {
        if (MatchStopState == STOP_FULL_TIME) {
            report.fullTime = true;
            break;
        }
        if (TurnPhase != seenPhase) {
            if (TurnPhase == PHASE_HOME_PLANS && seenPhase == PHASE_AWAY_MOVES) {
                ++report.fullTurns;
                report.turnHashes.push_back(HashMatch());
                if (inRestart) ++restartTurns;
                const int32_t clock = Minute * 60 + Second;
                standingTurns = clock == lastClock ? standingTurns + 1 : 0;
                lastClock = clock;
                // A match whose clock stands or whose restart is never taken would only end at
                // the step limit: say so at once.
                if (standingTurns > CLOCK_STANDING_LIMIT || restartTurns > RESTART_HANG_LIMIT) {
                    char what[128];
                    std::snprintf(what, sizeof what, "%s at %02d:%02d, stop %d, turn %d",
                                  standingTurns > CLOCK_STANDING_LIMIT ? "the clock stands" : "a restart is never taken",
                                  (int)Minute, (int)Second, (int)MatchStopState, (int)report.fullTurns);
                    report.failure = what;
                    break;
                }
            }
            seenPhase = TurnPhase;
            acted = false;
            phaseSteps = 0;
        }
        const bool restart = RestartWaits();
        if (restart && !inRestart) {
            inRestart = true;
            restartTurns = 0;
            restartSide = RestartSide == 1 ? 1 : 0;
            restartKind = std::clamp(MatchStopState, 0, 9);
            ++report.restarts;
        } else if (!restart && inRestart) {
            inRestart = false;
            report.longestRestart = std::max(report.longestRestart, restartTurns);
            report.longestRestartOf[restartSide] = std::max(report.longestRestartOf[restartSide], restartTurns);
            int32_t& kind = report.longestRestartOfKind[restartSide][restartKind];
            kind = std::max(kind, restartTurns);
        }
        const bool planning = MatchStopState != STOP_KICK_OFF && !GoalInProgress &&
                              (float)phaseSteps * step >= options.planningSeconds;
        if (!acted && planning && TurnPhase == PHASE_HOME_PLANS) {
            PlayHomeTurn(script, rng);
            EndTurn();
            acted = true;
        } else if (!acted && planning && TurnPhase == PHASE_AWAY_PLANS && MatchSetup.managers == 2) {
            PlaySideSimply(1, rng, true);
            EndTurn();
            acted = true;
        }
        Frame(step);
        ++report.steps;
        ++phaseSteps;
        report.simulatedSeconds += step;
        if (checkEveryStep || (report.steps & 63) == 0) {
            std::string broken = CheckInvariants();
            if (!broken.empty()) {
                char where[96];
                std::snprintf(where, sizeof where, " (step %lld, %02d:%02d, half %d, phase %d, stop %d)",
                              (long long)report.steps, (int)Minute, (int)Second, (int)Half, (int)TurnPhase,
                              (int)MatchStopState);
                report.failure = broken + where;
                break;
            }
        }
        if ((float)phaseSteps * step > 120.f) {
            report.failure = "a phase lasted more than 120 s of match steps (phase " + std::to_string(TurnPhase) +
                             ", stop " + std::to_string(MatchStopState) + ")";
            break;
        }
    }
    if (!report.fullTime && report.failure.empty()) report.failure = "no full time within the step limit";
    report.homeGoals = HomeGoals;
    report.awayGoals = AwayGoals;
    return report;
}

}  // namespace matchdrive
