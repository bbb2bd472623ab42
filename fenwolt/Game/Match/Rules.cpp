#include "fenwolt/Game/Match/Rules.h"

#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Engine/Instances.h"
#include "fenwolt/Game/Match/Banners.h"
#include "fenwolt/Game/Match/Hud.h"
#include "fenwolt/Game/Match/MatchScreen.h"
#include "fenwolt/Game/Match/Previews.h"
#include "fenwolt/Game/Match/Squads.h"
#include "fenwolt/Game/Match/TurnEngine.h"
#include "fenwolt/Game/Engine/Sound.h"
#include "fenwolt/Game/Engine/Sprites.h"
#include "fenwolt/common/Utilities.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

using namespace matchgeo;

GoalFrameBox GoalFrameBoxes[8];

namespace {

constexpr float PENALTY_CLEAR_LOW_X = 23.94f;   // where players leave the low-x area to at a penalty
constexpr float PENALTY_CLEAR_HIGH_X = 95.07f;
constexpr float FOUL_ENERGY_COST = 10.0f;
constexpr float FOUL_ENERGY_FLOOR = 1.0f;
constexpr float KNOCK_STAMINA_FLOOR = 25.0f;
constexpr float KNOCK_STAMINA_COST = 5.0f;
constexpr float INJURED_STAMINA = 10.0f;
constexpr float INJURED_ENERGY = 1.0f;
constexpr float INJURED_CEILING = 10.0f;
constexpr float GOAL_FRAME_NEAR = 10.0f;

// The radius every line test widens or narrows by; a damaged value counts as a point.
float BallRadius()
{
    const float r = TheBall.radius;
    return (r >= 0.f && r < 10.f) ? r : 0.f;
}

// The side that scores in the low-x goal, and the other one in the high-x goal. Read as a pair so
// that a damaged table can never give both ends to one side.
int32_t LowScorer() { return LowGoalScorerSide() == 1 ? 1 : 0; }
int32_t HighScorer() { return 1 - LowScorer(); }

// --- The one rule for each line (half-open: a low line is crossed below it, a high one at it) ---
bool OverLowGoalLine(const D3DVECTOR& p, float r) { return p.x - r < GOAL_LINE_LOW_X; }
bool OverHighGoalLine(const D3DVECTOR& p, float r) { return p.x + r >= GOAL_LINE_HIGH_X; }
bool OverTouchline(const D3DVECTOR& p, float r)
{
    return p.z - r < TOUCHLINE_LOW_Z || p.z + r >= TOUCHLINE_HIGH_Z;
}
bool InGoalMouth(const D3DVECTOR& p, float r)
{
    return p.y - r < CROSSBAR_HEIGHT && p.z + r < GOAL_MOUTH_HIGH_Z && p.z - r >= GOAL_MOUTH_LOW_Z;
}
int32_t AreaOf(const D3DVECTOR& p, float r)
{
    if (!(p.z + r >= PENALTY_AREA_LOW_Z && p.z - r < PENALTY_AREA_HIGH_Z)) return BOX_NONE;
    if (p.x - r < PENALTY_AREA_LOW_X) return BOX_LOW;
    if (p.x + r >= PENALTY_AREA_HIGH_X) return BOX_HIGH;
    return BOX_NONE;
}

// Puts the ball on the ground at (x, z), its flight ended there.
void PlaceBallOnGround(float x, float z)
{
    ModelInstance* ball = BallModel();
    if (!ball) return;
    ball->Position.x = x;
    ball->Position.z = z;
    ball->Position.y = BALL_REST_HEIGHT;
    ball->MatrixValid = 0;
    TheBall.destination = ball->Position;
}

// A free kick is taken on the pitch even when the player it is given for stood beyond a line:
// the spot is brought just inside, so the ball never lies in a goal mouth beyond its line.
D3DVECTOR FreeKickSpot(const D3DVECTOR& at)
{
    const float r = BallRadius();
    const float margin = 0.01f;
    D3DVECTOR spot{at.x, BALL_REST_HEIGHT, at.z};
    spot.x = std::clamp(spot.x, GOAL_LINE_LOW_X + r, GOAL_LINE_HIGH_X - r - margin);
    spot.z = std::clamp(spot.z, TOUCHLINE_LOW_Z + r, TOUCHLINE_HIGH_Z - r - margin);
    if (!std::isfinite(spot.x)) spot.x = CENTRE_X;
    if (!std::isfinite(spot.z)) spot.z = CENTRE_Z;
    return spot;
}

// The stop every award and every goal makes: the ball lies still where it is.
void StopBall()
{
    BallInFlight = 0;
    TheBall.rotation = 0.f;
    TheBall.loft = 0.f;
    TheBall.bendX = 0.f;
    TheBall.bendZ = 0.f;
    if (ModelInstance* ball = BallModel()) {
        ball->Position.y = BALL_REST_HEIGHT;
        ball->MatrixValid = 0;
        TheBall.destination = ball->Position;
    }
}

// The steps every award ends with: the record for the side awarded, the other side kept away
// from the ball where it now lies.
void FinishRestart(int32_t awardedSide, float keepAway, bool throwIn, int32_t penaltyEnd)
{
    const ModelInstance* ball = BallModel();
    RestartState r{};
    r.restartSide = awardedSide == 1 ? 1 : 0;
    r.restrictedFirst = r.restartSide == 0 ? SIDE_SIZE : 0;
    r.restrictedEnd = r.restartSide == 0 ? PLAYER_COUNT : SIDE_SIZE;
    r.restartSpot = ball ? D3DVECTOR{ball->Position.x, 0.f, ball->Position.z} : D3DVECTOR{CENTRE_X, 0.f, CENTRE_Z};
    r.keepAwayDistance = keepAway;
    r.restartPending = 1;
    r.takerHasBall = 0;
    r.throwInPending = throwIn ? 1 : 0;
    r.deadBallKickPending = throwIn ? 0 : 1;
    r.penaltyEnd = penaltyEnd;
    ApplyRestartState(r);
    // Each stoppage adds its own turns of time: a restart that follows another at once (a goal
    // kick played straight out) starts counting afresh, or the clock could stand for good.
    StoppageTurns = 0;
    BallHolder = 0;
    // A new restart has no taker yet: whoever kicked the last one may take this one.
    SetPieceTaker = 0;
    ShowRefereeBanner();
}

void Whistle(SoundId id) { PlaySecondarySound(id, false); }

// Both line kinds of a point: 0 in play, 1, 2 or 3 over a line; `goal` the goal number when the
// point lies in a goal mouth beyond its line.
int32_t ClassifyLines(const D3DVECTOR& p, float r, int32_t& goal)
{
    goal = 0;
    if (OverLowGoalLine(p, r)) {
        if (InGoalMouth(p, r)) goal = GOAL_LOW_X;
        return BALL_OVER_LOW_GOAL_LINE;
    }
    if (OverHighGoalLine(p, r)) {
        if (InGoalMouth(p, r)) goal = GOAL_HIGH_X;
        return BALL_OVER_HIGH_GOAL_LINE;
    }
    if (OverTouchline(p, r)) return BALL_OVER_TOUCHLINE;
    return BALL_IN_PLAY;
}

bool ValidBox(int32_t box) { return box >= 0 && box < 8 && GoalFrameBoxes[box].valid; }

// The first box of each goal's posts and crossbar; the goal's interior is box 0 or 1.
constexpr int32_t FIRST_FRAME_BOX[2] = {2, 5};

// The ball's cube (half-size r) about `p` overlaps the box.
bool TouchesBox(const D3DVECTOR& p, float r, int32_t box)
{
    if (!ValidBox(box)) return false;
    const GoalFrameBox& b = GoalFrameBoxes[box];
    return p.x - r <= b.max.x && p.y - r <= b.max.y && p.z - r <= b.max.z && p.x + r >= b.min.x &&
           p.z + r >= b.min.z && p.y + r >= b.min.y;
}

// Where a goal stands: the middle of the ground its boxes cover (interior, posts and crossbar).
// The frames' instances are placed by their meshes' own origin, which is a corner of the pitch,
// so it is the boxes in the world, not the instances' positions, that say where the goal is.
bool GoalFrameCentre(int32_t goal, D3DVECTOR& centre)
{
    bool any = false;
    D3DVECTOR lo{0, 0, 0}, hi{0, 0, 0};
    for (const int32_t b : {goal, FIRST_FRAME_BOX[goal], FIRST_FRAME_BOX[goal] + 1, FIRST_FRAME_BOX[goal] + 2}) {
        if (!ValidBox(b)) continue;
        const GoalFrameBox& box = GoalFrameBoxes[b];
        if (!any) {
            lo = box.min, hi = box.max;
        } else {
            lo.x = std::min(lo.x, box.min.x), lo.z = std::min(lo.z, box.min.z);
            hi.x = std::max(hi.x, box.max.x), hi.z = std::max(hi.z, box.max.z);
        }
        any = true;
    }
    centre = D3DVECTOR{(lo.x + hi.x) * 0.5f, 0.f, (lo.z + hi.z) * 0.5f};
    return any;
}

// The fraction (0..1) of the way from `from` to `to` at which a ball of radius r moving straight
// along it first touches the box: the box grown by r on every side, met by the segment.
bool SegmentEntersBox(const D3DVECTOR& from, const D3DVECTOR& to, float r, int32_t box, float& entry)
{
    if (!ValidBox(box)) return false;
    const GoalFrameBox& b = GoalFrameBoxes[box];
    const float p[3] = {from.x, from.y, from.z};
    const float d[3] = {to.x - from.x, to.y - from.y, to.z - from.z};
    const float lo[3] = {b.min.x - r, b.min.y - r, b.min.z - r};
    const float hi[3] = {b.max.x + r, b.max.y + r, b.max.z + r};
    float t0 = 0.f, t1 = 1.f;
    for (int k = 0; k < 3; ++k) {
        if (!std::isfinite(p[k]) || !std::isfinite(d[k])) return false;
        if (d[k] == 0.f) {
            if (p[k] < lo[k] || p[k] > hi[k]) return false;
            continue;
        }
        float a = (lo[k] - p[k]) / d[k], c = (hi[k] - p[k]) / d[k];
        if (a > c) std::swap(a, c);
        t0 = std::max(t0, a);
        t1 = std::min(t1, c);
        if (t0 > t1) return false;
    }
    entry = t0;
    return true;
}

// Sorts the side's x positions (11 passes over the 10 neighbouring pairs), ascending or not.
void SortPositions(float (&x)[SIDE_SIZE], bool ascending)
{
    for (int pass = 0; pass < SIDE_SIZE; ++pass)
        for (int i = 0; i + 1 < SIDE_SIZE; ++i) {
            const bool swap = ascending ? x[i] > x[i + 1] : x[i] < x[i + 1];
            if (swap) std::swap(x[i], x[i + 1]);
        }
}

// Flags the attackers beyond the defenders' offside line and the ball.
void JudgeOffside(int32_t attackingSide, float ballX)
{
    const int32_t defendingSide = 1 - attackingSide;
    const bool defendsLow = LowScorer() != defendingSide;
    const float line = OffsideLine(defendingSide, ballX);
    const int32_t first = attackingSide * SIDE_SIZE;
    const int32_t exempt = LastHolder - 1;
    for (int32_t p = first; p < first + SIDE_SIZE; ++p) {
        if (p == exempt) continue;
        const float x = PlayerPosition(p).x;
        const bool beyond = defendsLow ? (x < line && x < ballX) : (x > line && x > ballX);
        if (beyond) MatchPlayers[p].offside = 1;
    }
}

}  // namespace

// The offside line of the side defending: its second-last player's x, moved up to the ball,
// never past the halfway line.
float OffsideLine(int32_t defendingSide, float ballX)
{
    const bool defendsLow = LowScorer() != (defendingSide == 1 ? 1 : 0);
    float x[SIDE_SIZE];
    const int32_t first = (defendingSide == 1 ? 1 : 0) * SIDE_SIZE;
    for (int32_t i = 0; i < SIDE_SIZE; ++i) x[i] = PlayerPosition(first + i).x;
    SortPositions(x, defendsLow);
    float line = x[1];
    if (defendsLow) {
        if (ballX < line) line = ballX;
        if (line > CENTRE_X) line = CENTRE_X;
    } else {
        if (ballX > line) line = ballX;
        if (line < CENTRE_X) line = CENTRE_X;
    }
    return line;
}

// --- The restart record ----------------------------------------------------------------------------
RestartState CurrentRestartState()
{
    return RestartState{RestartSide,     RestrictedFirst, RestrictedEnd,       RestartSpot,    KeepAwayDistance,
                        RestartPending,  TakerHasBall,    DeadBallKickPending, ThrowInPending, PenaltyEnd};
}

void ApplyRestartState(const RestartState& r)
{
    RestartSide = r.restartSide;
    RestrictedFirst = r.restrictedFirst;
    RestrictedEnd = r.restrictedEnd;
    RestartSpot = r.restartSpot;
    KeepAwayDistance = r.keepAwayDistance;
    RestartPending = r.restartPending;
    TakerHasBall = r.takerHasBall;
    DeadBallKickPending = r.deadBallKickPending;
    ThrowInPending = r.throwInPending;
    PenaltyEnd = r.penaltyEnd;
}

// --- Goal frames -----------------------------------------------------------------------------------
void BuildGoalFrames()
{
    for (int32_t b = 0; b < 8; ++b) {
        GoalFrameBox& box = GoalFrameBoxes[b];
        box = GoalFrameBox{{0, 0, 0}, {0, 0, 0}, false};
        ModelInstance* m = InstanceAt(GoalFrameModels[b]);
        if (!m || !m->InUse || m->MeshIndex < 0 || m->MeshIndex >= MESH_COUNT) continue;
        const XFileMesh* mesh = TheApp.MeshTable[m->MeshIndex];
        if (!mesh || !mesh->Vertices || mesh->VertexCount < 1) continue;
        D3DVECTOR lo = {mesh->Vertices[0].x, mesh->Vertices[0].y, mesh->Vertices[0].z};
        D3DVECTOR hi = lo;
        for (int32_t i = 1; i < mesh->VertexCount; ++i) {
            const ModelVertex& v = mesh->Vertices[i];
            lo.x = std::min(lo.x, v.x), lo.y = std::min(lo.y, v.y), lo.z = std::min(lo.z, v.z);
            hi.x = std::max(hi.x, v.x), hi.y = std::max(hi.y, v.y), hi.z = std::max(hi.z, v.z);
        }
        m->MatrixValid = 0;
        ComputeInstanceWorldMatrix(GoalFrameModels[b], false);
        D3DVECTOR a, c;
        if (FAILED(VectorMatrixMultiply(a, lo, m->WorldMatrix)) || FAILED(VectorMatrixMultiply(c, hi, m->WorldMatrix)))
            continue;
        box.min = D3DVECTOR{std::min(a.x, c.x), std::min(a.y, c.y), std::min(a.z, c.z)};
        box.max = D3DVECTOR{std::max(a.x, c.x), std::max(a.y, c.y), std::max(a.z, c.z)};
        box.valid = std::isfinite(box.min.x) && std::isfinite(box.min.y) && std::isfinite(box.min.z) &&
                    std::isfinite(box.max.x) && std::isfinite(box.max.y) && std::isfinite(box.max.z);
    }
}

int32_t FindGoalEntered()
{
    if (IsBallInsideGoalBox(0)) return GOAL_LOW_X;
    if (IsBallInsideGoalBox(1)) return GOAL_HIGH_X;
    return 0;
}

bool IsBallInsideGoalBox(int32_t box)
{
    const ModelInstance* ball = BallModel();
    if (!ball || !ValidBox(box)) return false;
    const D3DVECTOR& p = ball->Position;
    const float r = BallRadius();
    const GoalFrameBox& b = GoalFrameBoxes[box];
    return p.x + r <= b.max.x && p.y + r <= b.max.y && p.z + r <= b.max.z && p.x - r >= b.min.x &&
           p.z - r >= b.min.z;
}

bool IsBallTouchingBox(int32_t box)
{
    const ModelInstance* ball = BallModel();
    return ball && TouchesBox(ball->Position, BallRadius(), box);
}

bool GoalFrameTouchedAt(const D3DVECTOR& point)
{
    const float r = BallRadius();
    for (int32_t goal = 0; goal < 2; ++goal) {
        D3DVECTOR centre;
        if (!GoalFrameCentre(goal, centre) || !(GroundDistance(centre, point) < GOAL_FRAME_NEAR)) continue;
        for (int32_t b = FIRST_FRAME_BOX[goal]; b < FIRST_FRAME_BOX[goal] + 3; ++b)
            if (TouchesBox(point, r, b)) return true;
        return false;
    }
    return false;
}

bool CheckGoalFrameHit()
{
    const ModelInstance* ball = BallModel();
    return ball && GoalFrameTouchedAt(ball->Position);
}

bool FindGoalFrameContact(const D3DVECTOR& from, const D3DVECTOR& to, float& along)
{
    // A ball that touches the frame where it starts is coming off it (a rebound sets it off from
    // where it touched): only a ball that reaches the frame from clear of it meets it.
    if (GoalFrameTouchedAt(from)) return false;
    const float r = BallRadius();
    bool met = false;
    along = 1.0f;
    for (int32_t b = 2; b < 8; ++b) {
        float entry;
        if (SegmentEntersBox(from, to, r, b, entry) && entry <= along) {
            along = entry;
            met = true;
        }
    }
    return met;
}

bool GoalFrameWithinReach(const D3DVECTOR* points, int32_t count, float reach)
{
    if (!points || count < 1) return false;
    D3DVECTOR lo = points[0], hi = points[0];
    for (int32_t i = 1; i < count; ++i) {
        lo.x = std::min(lo.x, points[i].x), lo.y = std::min(lo.y, points[i].y), lo.z = std::min(lo.z, points[i].z);
        hi.x = std::max(hi.x, points[i].x), hi.y = std::max(hi.y, points[i].y), hi.z = std::max(hi.z, points[i].z);
    }
    const float grow = reach + BallRadius();
    for (int32_t b = 2; b < 8; ++b) {
        if (!ValidBox(b)) continue;
        const GoalFrameBox& box = GoalFrameBoxes[b];
        if (lo.x - grow <= box.max.x && hi.x + grow >= box.min.x && lo.y - grow <= box.max.y &&
            hi.y + grow >= box.min.y && lo.z - grow <= box.max.z && hi.z + grow >= box.min.z)
            return true;
    }
    return false;
}

// --- Goals -------------------------------------------------------------------------------------------
void CheckGoal(int32_t goal)
{
    if (goal == 0) goal = FindGoalEntered();
    if (goal != GOAL_HIGH_X && goal != GOAL_LOW_X) return;
    if (GoalInProgress) return;

    GoalInProgress = 1;
    MatchStopState = STOP_GOAL;
    ShowRefereeBanner();

    const int32_t scorer = goal == GOAL_LOW_X ? LowScorer() : HighScorer();
    LastScoringSide = scorer;
    TeamGoals[scorer] += 1;

    if (SquadPlayer* s = SquadPlayerOf(LastKicker)) {
        SquadStats& m = s->lastMatch;
        if (IsAwaySide(LastKicker) == scorer)
            m.goalsScored += 1;
        else if (m.attemptsOnGoal > 0)
            m.attemptsOnGoal -= 1;
        if (m.attemptsOnGoal < m.goalsScored) m.attemptsOnGoal = m.goalsScored;
    }

    ShowScoreboard();
    StopBall();
    SetInstanceVisible(AimMarkerModel, false);
    ForceSceneResort();
    PhaseTimer = 0.f;
    Whistle(SOUND_WHISTLE_LONG);
    Whistle(SOUND_CHEER);
}

int32_t ClassifyBallPosition(const D3DVECTOR& point)
{
    BallInBox = BOX_NONE;
    const float r = BallRadius();
    int32_t goal = 0;
    const int32_t line = ClassifyLines(point, r, goal);
    if (line == BALL_OVER_LOW_GOAL_LINE || line == BALL_OVER_HIGH_GOAL_LINE) {
        if (!goal) return line;
        if (!GoalInProgress) {
            CheckGoal(goal);
            return BALL_GOAL_GIVEN;
        }
        // A goal already given: the ball in the net is judged by the other lines.
    }
    if (OverTouchline(point, r)) return BALL_OVER_TOUCHLINE;
    BallInBox = AreaOf(point, r);
    return BALL_IN_PLAY;
}

int32_t ClassifyPosition(const D3DVECTOR& point)
{
    int32_t goal = 0;
    return ClassifyLines(point, BallRadius(), goal);
}

int32_t GoalMouthAt(const D3DVECTOR& point)
{
    int32_t goal = 0;
    ClassifyLines(point, BallRadius(), goal);
    return goal;
}

int32_t PenaltyAreaAt(const D3DVECTOR& point)
{
    if (ClassifyPosition(point) != BALL_IN_PLAY) return BOX_NONE;
    return AreaOf(point, BallRadius());
}

void CheckBallOut()
{
    const ModelInstance* ball = BallModel();
    if (!ball) return;
    const int32_t where = ClassifyBallPosition(ball->Position);
    const bool low = LowScorer() == 0;  // the home side attacks the low-x goal
    switch (where) {
    case BALL_IN_PLAY:
        if (MatchStopState > STOP_IN_PLAY) HideRefereeBanner();
        break;
    case BALL_OVER_TOUCHLINE:
        AwardThrowIn();
        Whistle(SOUND_WHISTLE);
        break;
    case BALL_OVER_LOW_GOAL_LINE:
    case BALL_OVER_HIGH_GOAL_LINE: {
        // As LastTouchSide counts sides: home at the low-x line, away at the high-x line (the side
        // attacking that end while the home side attacks the low-x goal).
        const int32_t endSide = where == BALL_OVER_LOW_GOAL_LINE ? 1 : 2;
        const bool corner = low ? LastTouchSide != endSide : LastTouchSide == endSide;
        if (corner)
            AwardCorner();
        else
            AwardGoalKick();
        Whistle(SOUND_WHISTLE);
        break;
    }
    default:
        break;
    }
}

// --- Restarts ------------------------------------------------------------------------------------------
void ResetBallForRestart() { StopBall(); }

void AwardThrowIn()
{
    ResetBallForRestart();
    MatchStopState = STOP_THROW_IN;
    FinishRestart(LastTouchSide == 1 ? 1 : 0, KEEP_AWAY_THROW_IN, true, 0);
    AISubstitutions();
}

bool RetakeThrowInOffThePitch()
{
    if (MatchStopState != STOP_THROW_IN || !ThrowInPending || BallInFlight) return false;
    ModelInstance* ball = BallModel();
    if (!ball) return false;
    // Until the throw the ball lies on the spot; afterwards it is back on the pitch (and play
    // has resumed) unless the throw never brought it in.
    if (Vec3EqualXZ(ball->Position, RestartSpot) || ClassifyPosition(ball->Position) == BALL_IN_PLAY) return false;
    PlaceBallOnGround(RestartSpot.x, RestartSpot.z);
    ResetBallForRestart();
    PlaceBallMarker();
    BallHolder = 0;
    SetPieceTaker = 0;
    TakerHasBall = 0;
    return true;
}

// The corner goes to the side attacking the end the ball went out at, the goal kick to the side
// defending it. For a ball last touched by either side that is the side that did not touch it; a
// ball nobody has touched yet still goes to the side the restart belongs to.
void AwardCorner()
{
    ResetBallForRestart();
    MatchStopState = STOP_CORNER;
    const ModelInstance* ball = BallModel();
    const float x0 = ball ? ball->Position.x : CENTRE_X;
    const float z0 = ball ? ball->Position.z : CENTRE_Z;
    const bool lowEnd = x0 <= CENTRE_X;
    PlaceBallOnGround(lowEnd ? x0 + CORNER_STEP_IN : x0 - CORNER_STEP_IN, z0 <= CENTRE_Z ? CORNER_LOW_Z : CORNER_HIGH_Z);
    FinishRestart(lowEnd ? LowScorer() : HighScorer(), KEEP_AWAY_CORNER, false, 0);
}

void AwardGoalKick()
{
    ResetBallForRestart();
    MatchStopState = STOP_GOAL_KICK;
    const ModelInstance* ball = BallModel();
    const float x0 = ball ? ball->Position.x : CENTRE_X;
    const float z0 = ball ? ball->Position.z : CENTRE_Z;
    const bool lowEnd = x0 <= CENTRE_X;
    PlaceBallOnGround(lowEnd ? GOAL_KICK_LOW_X : GOAL_KICK_HIGH_X, z0 <= CENTRE_Z ? GOAL_KICK_LOW_Z : GOAL_KICK_HIGH_Z);
    FinishRestart(1 - (lowEnd ? LowScorer() : HighScorer()), KEEP_AWAY_GOAL_KICK, false, 0);
}

void AwardOffside(int32_t offendingSide, int32_t offender)
{
    offendingSide = offendingSide == 1 ? 1 : 0;
    MatchStopState = STOP_OFFSIDE;
    if (IsPlayerIndex(offender)) {
        const D3DVECTOR at = FreeKickSpot(PlayerPosition(offender));
        PlaceBallOnGround(at.x, at.z);
        LogMatchEvent(EVENT_OFFSIDE, offender, PLAYER_NONE);
    }
    ResetBallForRestart();
    PlaceBallMarker();
    FinishRestart(1 - offendingSide, KEEP_AWAY_FREE_KICK, false, 0);
}

void AwardFoul(int32_t fouler, int32_t fouled)
{
    if (!IsPlayerIndex(fouler) || !IsPlayerIndex(fouled)) return;
    MatchStopState = STOP_FOUL;
    const int32_t awarded = fouler <= 10 ? 1 : 0;
    int32_t penaltyEnd = 0;

    const D3DVECTOR stood = PlayerPosition(fouled);
    const D3DVECTOR at = FreeKickSpot(stood);
    PlaceBallOnGround(at.x, at.z);
    if (SquadPlayer* s = SquadPlayerOf(fouler)) s->lastMatch.foulsDone += 1;
    if (SquadPlayer* s = SquadPlayerOf(fouled)) s->lastMatch.haveBeenFouled += 1;
    Whistle(SOUND_FOUL);

    // Judged where the ball now lies, which is where the victim stands: never a goal.
    BallInBox = PenaltyAreaAt(D3DVECTOR{at.x, BALL_REST_HEIGHT, at.z});
    if (BallInBox == BOX_LOW && !IsBallInYourHalf(awarded)) {
        penaltyEnd = PENALTY_LOW_END;
        PlaceBallOnGround(PENALTY_SPOT_LOW_X, CENTRE_Z);
    } else if (BallInBox == BOX_HIGH && !IsBallInYourHalf(awarded)) {
        penaltyEnd = PENALTY_HIGH_END;
        PlaceBallOnGround(PENALTY_SPOT_HIGH_X, CENTRE_Z);
    }

    ResetBallForRestart();
    PlaceBallMarker();
    MatchPlayer& victim = MatchPlayers[fouled];
    victim.moveTarget.x = stood.x;
    victim.moveTarget.z = stood.z;

    FinishRestart(awarded, KEEP_AWAY_FREE_KICK, false, penaltyEnd);
    Whistle(SOUND_BOO);
    Whistle(SOUND_WHISTLE_LONG);

    victim.energy = std::max(victim.energy - FOUL_ENERGY_COST, FOUL_ENERGY_FLOOR);
    if (fouled == HOME_KEEPER || fouled == AWAY_KEEPER) return;
    float& stamina = victim.attributes[ATTR_STAMINA];
    if (RandomBelow(10) == 0) {
        if (stamina > KNOCK_STAMINA_FLOOR) {
            stamina -= KNOCK_STAMINA_COST;
            LogMatchEvent(EVENT_MINOR_KNOCK, fouled, PLAYER_NONE);
        }
        return;
    }
    int32_t& injuries = InjuryCount[IsAwaySide(fouled)];
    if (injuries < MAX_INJURIES && RandomBelow(20) == 0) {
        injuries += 1;
        stamina = INJURED_STAMINA;
        victim.energy = INJURED_ENERGY;
        victim.energyCeiling = INJURED_CEILING;
        LogMatchEvent(EVENT_INJURED, fouled, PLAYER_NONE);
        AISubstitutions();
    }
}

bool ClearPenaltyBox(int32_t player)
{
    if (!IsPlayerIndex(player) || player < RestrictedFirst || player >= RestrictedEnd) return false;
    const D3DVECTOR p = PlayerPosition(player);
    if (MatchStopState == STOP_FOUL && PenaltyEnd > 0) {
        if (PenaltyEnd == PENALTY_LOW_END && p.x < PENALTY_AREA_LOW_X) return true;
        if (PenaltyEnd == PENALTY_HIGH_END && p.x >= PENALTY_AREA_HIGH_X) return true;
    }
    return SpaceDistance(p, RestartSpot) <= KeepAwayDistance;
}

bool KeepsAwayFromRestart(int32_t player)
{
    return RestartPending && IsPlayerIndex(player) && player >= RestrictedFirst && player < RestrictedEnd;
}

void PositionForSetPiece()
{
    const int32_t first = std::max(RestrictedFirst, 0);
    const int32_t end = std::min(RestrictedEnd, PLAYER_COUNT);
    const bool penalty = MatchStopState == STOP_FOUL && PenaltyEnd > 0;
    const int32_t defendingKeeper = RestartSide == 0 ? AWAY_KEEPER : HOME_KEEPER;
    for (int32_t p = first; p < end; ++p) {
        MatchPlayer& m = MatchPlayers[p];
        const D3DVECTOR pos = PlayerPosition(p);
        if (penalty && (PenaltyEnd == PENALTY_LOW_END || PenaltyEnd == PENALTY_HIGH_END)) {
            const bool low = PenaltyEnd == PENALTY_LOW_END;
            if (p == defendingKeeper && m.role == ROLE_KEEPER) {
                m.moveTarget.x = low ? GOAL_LINE_LOW_X : GOAL_LINE_HIGH_X;
                m.moveTarget.z = CENTRE_Z;
                continue;
            }
            if (low ? pos.x < PENALTY_AREA_LOW_X : pos.x >= PENALTY_AREA_HIGH_X) {
                m.moveTarget.x = low ? PENALTY_CLEAR_LOW_X : PENALTY_CLEAR_HIGH_X;
                continue;
            }
        }
        if (!ClearPenaltyBox(p)) continue;
        float dx = pos.x - RestartSpot.x, dz = pos.z - RestartSpot.z;
        if (Vec3EqualXZ(pos, RestartSpot)) {
            dx = RestartSpot.x <= CENTRE_X ? 1.f : -1.f;
            dz = RestartSpot.z <= CENTRE_Z ? 1.f : -1.f;
        }
        const float len = std::sqrt(dx * dx + dz * dz);
        const float step = KeepAwayDistance + 1.0f;
        m.moveTarget.x = pos.x + dx / len * step;
        m.moveTarget.z = pos.z + dz / len * step;
    }
}

bool PenaltyAreaCrowded()
{
    int32_t area = BOX_NONE;
    if (PenaltyEnd == PENALTY_LOW_END) area = BOX_LOW;
    if (PenaltyEnd == PENALTY_HIGH_END) area = BOX_HIGH;
    if (area == BOX_NONE) return false;
    const int32_t first = RestartSide == 0 ? 0 : SIDE_SIZE;
    int32_t count = 0;
    for (int32_t p = first; p < first + SIDE_SIZE; ++p)
        if (PenaltyAreaAt(PlayerPosition(p)) == area) ++count;
    return count > 1;
}

// --- Offside -----------------------------------------------------------------------------------------
void MarkOffsidePlayers()
{
    for (MatchPlayer& p : MatchPlayers) p.offside = 0;
    if (MatchStopState != STOP_IN_PLAY) return;
    const ModelInstance* ball = BallModel();
    if (!ball) return;
    const float ballX = ball->Position.x;
    if (LastTouchSide != 1) JudgeOffside(1, ballX);
    if (LastTouchSide != 2) JudgeOffside(0, ballX);
}

bool CallOffsideOnReceive(int32_t player)
{
    if (!IsPlayerIndex(player)) return false;
    if (MatchStopState == STOP_IN_PLAY && MatchPlayers[player].offside) {
        AwardOffside(player < SIDE_SIZE ? 0 : 1, player);
        Whistle(SOUND_WHISTLE_LONG);
        return true;
    }
    // The pass has reached someone who may take it: its offside judgement is spent, so a flag
    // from it cannot catch a player who later wins a loose ball.
    for (MatchPlayer& p : MatchPlayers) p.offside = 0;
    return false;
}

bool IsBallInYourHalf(int32_t side)
{
    const ModelInstance* ball = BallModel();
    if (!ball) return false;
    if (ball->Position.x < CENTRE_X) return LowScorer() != side;
    return HighScorer() != side;
}

// --- Clock ----------------------------------------------------------------------------------------------
int32_t HalfEndMinute(int32_t half)
{
    const int32_t length = std::max(MatchSetup.minutesPerHalf, 1);
    return half <= 1 ? length : 2 * length;
}

void FormatMatchClock(char* out, int size, int32_t minute, int32_t second)
{
    if (!out || size < 1) return;
    std::snprintf(out, (size_t)size, "%02d:%02d", std::max(minute, 0), std::clamp(second, 0, 59));
}

void ShowMatchClock()
{
    char text[32];
    FormatMatchClock(text, sizeof(text), Minute, Second);
    SetSpriteText(SPRITE_CLOCK, text);
}

void ClockStep()
{
    if (Half >= 3 || MatchStopState == STOP_FULL_TIME) return;
    if (MatchStopState == STOP_KICK_OFF) return;
    if (MatchStopState == STOP_IN_PLAY) {
        StoppageTurns = 0;
    } else if (++StoppageTurns > STOPPAGE_TURNS_WITH_TIME) {
        return;
    }
    Second = std::clamp(Second, 0, 59);
    Second += SECONDS_PER_TURN;
    bool minutePassed = false;
    while (Second >= 60) {
        EnergyMinuteDrain(0, PLAYER_COUNT);
        Second -= 60;
        Minute += 1;
        minutePassed = true;
    }
    ShowMatchClock();
    if (!minutePassed) return;
    if (Half == 1 && Minute >= HalfEndMinute(1))
        StartSecondHalf();
    else if (Half == 2 && Minute >= HalfEndMinute(2))
        EndMatch();
}

void AddClockSteps(int32_t seconds)
{
    if (Half != 1 && Half != 2) return;
    const int32_t limit = HalfEndMinute(Half) - 2;
    if (Minute >= limit) return;
    for (int32_t left = seconds; left > 0; left -= SECONDS_PER_TURN) {
        if (Second + SECONDS_PER_TURN < 60) {
            Second += SECONDS_PER_TURN;
        } else {
            Second -= 60 - SECONDS_PER_TURN;
            Minute += 1;
            if (Minute >= limit) break;
        }
    }
    ShowMatchClock();
}

void StartSecondHalf()
{
    if (Half != 1) return;
    Half = 2;
    std::swap(GoalSideTable[1], GoalSideTable[2]);
    StoppageTurns = 0;
    RestartPending = TakerHasBall = DeadBallKickPending = ThrowInPending = 0;
    PenaltyEnd = 0;
    SetPieceTaker = 0;
    BallInBox = BOX_NONE;
    GoalInProgress = 0;
    BallInFlight = 0;
    WaitingForBall = 0;
    KickAimMode = 0;
    for (MatchPlayer& p : MatchPlayers) p.offside = 0;
    // The side that did not kick off the match kicks off the second half; the kick-off set-up
    // takes the side that conceded, so it is given the other one.
    const int32_t kicker = FirstKickOffSide == 1 ? 0 : 1;
    SetUpKickOff(1 - kicker);
    MatchStopState = STOP_KICK_OFF;
    WalkInAfterGoal = 0;
    PhaseTimer = 0.f;
    ShowRefereeBanner();
}

void EndMatch()
{
    if (Half == 3 && MatchStopState == STOP_FULL_TIME) return;
    Half = 3;
    GoalInProgress = 0;
    RestartPending = TakerHasBall = DeadBallKickPending = ThrowInPending = 0;
    KickAimMode = 0;
    MatchStopState = STOP_FULL_TIME;
    ShowRefereeBanner();
    // Nobody is to move any more: the turn banner, the buttons and the path dots say so.
    ShowTurnBanner();
    ShowTurnButtons();
    ShowMoveRange(true);
    PhaseTimer = 0.f;
}

// --- Formation spots -----------------------------------------------------------------------------------
float FormationX(int32_t player)
{
    if (!IsPlayerIndex(player)) return CENTRE_X;
    float x = MatchPlayers[player].formationX;
    if (IsAwaySide(player)) x = FORMATION_MIRROR_X - x;
    if (Half >= 2) x = x + 2.0f * (CENTRE_X - x);
    return x;
}

float FormationZ(int32_t player)
{
    if (!IsPlayerIndex(player)) return CENTRE_Z;
    float z = MatchPlayers[player].formationZ;
    if (Half >= 2) z = z + 2.0f * (CENTRE_Z - z);
    return z;
}
