#include "fenwolt/Game/Match/Previews.h"

#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Engine/Instances.h"
#include "fenwolt/Game/Match/MatchScreen.h"
#include "fenwolt/Game/Match/Movement.h"
#include "fenwolt/Game/Match/TurnEngine.h"
#include "fenwolt/Game/Network/NetState.h"
#include "fenwolt/Game/Engine/Scene.h"
#include "fenwolt/Game/Engine/Sprites.h"
#include "fenwolt/common/Utilities.h"

#include <cmath>

int32_t PathDotModels[SIDE_SIZE][PATH_DOTS];
int32_t KickArrowModels[KICK_ARROWS];
int32_t DotTextures[2] = {MESH_NONE, MESH_NONE};
int32_t ArrowTextures[3] = {MESH_NONE, MESH_NONE, MESH_NONE};
D3DVECTOR GoalMouthTriangles[2][3];
D3DVECTOR GoalMouthCrossing{0, 0, 0};

using namespace matchgeo;

namespace {
// Shorter than this, a path or a kick has no direction.
constexpr float NO_LENGTH = 0.0001f;
constexpr float BALL_MARKER_LIFT = 2.5f;
constexpr float SKY_TURN_RATE = 0.0125f;

struct Path {
    float length;
    D3DVECTOR direction;  // unit, or zero when the path has no length
    int32_t count;        // dots or arrows
    float step;
};

// 20 marks 1.5 apart on a path of 30; below 15 one mark every 0.75 (at least one).
Path PathOnGround(const D3DVECTOR& from, const D3DVECTOR& to, int32_t most)
{
    Path p{};
    const float dx = to.x - from.x, dz = to.z - from.z;
    p.length = std::sqrt(dx * dx + dz * dz);
    if (p.length > NO_LENGTH)
        p.direction = D3DVECTOR{dx / p.length, 0.f, dz / p.length};
    else
        p.direction = D3DVECTOR{0.f, 0.f, 0.f};
    float n = p.length >= 15.0f ? (float)most : p.length / 0.75f;
    if (n < 1.0f) n = 1.0f;
    p.count = (int32_t)n;
    if (p.count > most) p.count = most;
    p.step = p.length / (float)p.count;
    return p;
}

void SetTexture(int32_t model, int32_t textureMesh)
{
    if (ModelInstance* m = InstanceAt(model)) m->TextureMeshIndex = textureMesh;
}

void HideSlot(int32_t slot)
{
    for (int32_t i = 0; i < PATH_DOTS; ++i) SetInstanceVisible(PathDotModels[slot][i], false);
    SetInstanceVisible(MoveTargetMarkerModels[slot], false);
}

bool StandsOnTarget(const MatchPlayer& p, const ModelInstance& m)
{
    return m.Position.x == p.moveTarget.x && m.Position.z == p.moveTarget.z;
}
}  // namespace

float ReachThisTurn(int32_t player)
{
    if (!IsPlayerIndex(player)) return 0.f;
    const MatchPlayer& p = MatchPlayers[player];
    const ModelInstance* m = PlayerModel(player);
    if (!m) return 0.f;
    if (StandsOnTarget(p, *m) || p.moveTarget.y > 0.f) return 0.f;
    float t = PhaseDuration[PHASE_HOME_MOVES];
    const Path path = PathOnGround(m->Position, p.moveTarget, PATH_DOTS);
    const bool holder = BallHolder == player + 1;
    if (path.length > NO_LENGTH) {
        const float turn = AngleGap(HeadingAlong(path.direction.x, path.direction.z), m->Rotation.y);
        if (turn > 0.001f) {
            const float rate = TurnRate(player);
            if (!(rate > 0.f)) return 0.f;
            if (turn / rate > t) return 0.f;
            t -= turn / rate;
        }
    }
    const float distance =
        (holder ? p.attributes[ATTR_DRIBBLE] * t * 0.7f : p.attributes[ATTR_SPEED] * t) * TirednessFactor(player);
    return std::isfinite(distance) && distance > 0.f ? distance : 0.f;
}

void ShowMoveRange(bool hide)
{
    int32_t first = -1;
    if (TurnPhase == PHASE_AWAY_PLANS) {
        if (MatchSetup.managers != 2 || IsNetworkHost()) hide = true;
        first = SIDE_SIZE;
    } else if (TurnPhase == PHASE_HOME_PLANS) {
        if (IsNetworkGuest()) hide = true;
        first = 0;
    } else {
        hide = true;
    }
    // Nobody plans during a goal, the walk-in to a kick-off or after full time: the players
    // walk to spots they were never ordered to.
    if (GoalInProgress || MatchStopState == STOP_GOAL || MatchStopState == STOP_KICK_OFF ||
        MatchStopState == STOP_FULL_TIME)
        hide = true;
    if (hide || first < 0) {
        for (int32_t slot = 0; slot < SIDE_SIZE; ++slot) HideSlot(slot);
        return;
    }
    for (int32_t slot = 0; slot < SIDE_SIZE; ++slot) {
        const int32_t player = first + slot;
        const MatchPlayer& p = MatchPlayers[player];
        const ModelInstance* m = PlayerModel(player);
        if (!m) {
            HideSlot(slot);
            continue;
        }
        const bool standing = StandsOnTarget(p, *m);
        if (standing && player == SelectedPlayer) {
            HideSlot(slot);
            continue;
        }
        const Path path = PathOnGround(m->Position, p.moveTarget, PATH_DOTS);
        float reach = 0.f;
        if (standing) {
            SetInstanceVisible(MoveTargetMarkerModels[slot], false);
        } else {
            reach = ReachThisTurn(player);
            PlaceModel(MoveTargetMarkerModels[slot], p.moveTarget.x, MARKER_HEIGHT, p.moveTarget.z);
            SetInstanceVisible(MoveTargetMarkerModels[slot], true);
        }
        for (int32_t i = 0; i < PATH_DOTS; ++i) {
            const int32_t dot = PathDotModels[slot][i];
            if (i >= path.count) {
                SetInstanceVisible(dot, false);
                continue;
            }
            const float along = (float)i * path.step;
            PlaceModel(dot, m->Position.x + path.direction.x * along, MARKER_HEIGHT,
                       m->Position.z + path.direction.z * along);
            SetTexture(dot, DotTextures[along <= reach ? 1 : 0]);
            SetInstanceVisible(dot, true);
        }
    }
}

void RefreshPreviews()
{
    ShowMoveRange(false);
    ShowKickPreview(!(KickAimMode || BallInFlight));
}

void ShowKickPreview(bool hide)
{
    if (hide) {
        for (int32_t i = 0; i < KICK_ARROWS; ++i) SetInstanceVisible(KickArrowModels[i], false);
        return;
    }
    const ModelInstance* ball = BallModel();
    if (!ball) return;
    const D3DVECTOR from = ball->Position;
    const D3DVECTOR aim = TheBall.aimPoint;
    const Path path = PathOnGround(from, aim, KICK_ARROWS);

    // The mouse drag of the manager sets loft and bend; the bend mouse x has already been kept
    // in its window and scaled by the kicker's Bend (ClampBend), so what is shown here is what
    // the flight will use.
    if (BendAiming) {
        const int32_t up = TheBall.bendRefMouseY - TheBall.bendMouseY;
        TheBall.loft = up > 0 ? (float)up * 0.25f : 0.f;
    }
    D3DVECTOR normal{0.f, 0.f, 0.f};
    float bend = 0.f;
    if (path.length > NO_LENGTH) {
        // The vertical plane through the ball and the aim: its normal is the sideways direction.
        const D3DVECTOR up{from.x, from.y + 10.f, from.z};
        const D3DVECTOR n = CrossProduct(D3DVECTOR{aim.x - from.x, aim.y - from.y, aim.z - from.z},
                                         D3DVECTOR{up.x - from.x, up.y - from.y, up.z - from.z});
        const float len = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
        if (len > NO_LENGTH) normal = D3DVECTOR{n.x / len, n.y / len, n.z / len};
    }
    if (TheBall.bendMouseX != TheBall.bendRefMouseX) {
        bend = (float)(TheBall.bendRefMouseX - TheBall.bendMouseX) * 0.5f;
        if (from.z < aim.z) bend = -bend;
        TheBall.bendX = normal.x * bend;
        TheBall.bendZ = normal.z * bend;
    } else if (BendAiming) {
        TheBall.bendX = TheBall.bendZ = 0.f;
    }
    const float sideways = normal.x * TheBall.bendX + normal.z * TheBall.bendZ;
    const float facing = path.length > NO_LENGTH ? HeadingAlong(path.direction.x, path.direction.z) + PI : 0.f;
    const float peak = ShotClass > 0 ? 1.0f : 0.5f;
    for (int32_t i = 0; i < KICK_ARROWS; ++i) {
        const int32_t arrow = KickArrowModels[i];
        if (i >= path.count) {
            SetInstanceVisible(arrow, false);
            continue;
        }
        const float along = (float)i * path.step;
        const float f0 = path.length > NO_LENGTH ? along / path.length : 0.f;
        const float f = f0 > peak ? 1.f - f0 : f0;
        float height = TheBall.loft * std::sin(HALF_PI * f);
        if (MatchStopState == STOP_THROW_IN && path.length > NO_LENGTH)
            height += 2.f * (float)(path.count - i) * path.step / path.length;
        const float g = f0 > 0.5f ? 1.f - f0 : f0;
        const float swing = sideways * std::sin(HALF_PI * g);
        PlaceModel(arrow, from.x + path.direction.x * along - normal.x * swing, from.y + height,
                   from.z + path.direction.z * along - normal.z * swing);
        if (ModelInstance* a = InstanceAt(arrow)) a->Rotation = D3DVECTOR{HALF_PI, facing, 0.f};
        SetTexture(arrow, ArrowTextures[along > 30.0f ? 2 : (along > 10.0f ? 1 : 0)]);
        SetInstanceVisible(arrow, true);
    }
}

void SetUpGoalMouthTriangles()
{
    // Each triangle spans the whole vertical plane of its goal line around the pitch: a kick
    // crosses it wherever it passes the line.
    const float xs[2] = {GOAL_LINE_LOW_X, GOAL_LINE_HIGH_X};
    for (int g = 0; g < 2; ++g) {
        GoalMouthTriangles[g][0] = D3DVECTOR{xs[g], -100.f, -1000.f};
        GoalMouthTriangles[g][1] = D3DVECTOR{xs[g], -100.f, 1000.f};
        GoalMouthTriangles[g][2] = D3DVECTOR{xs[g], 1000.f, CENTRE_Z};
    }
}

bool KickCrossesGoalMouth()
{
    const ModelInstance* ball = BallModel();
    if (!ball) return false;
    const D3DVECTOR from = ball->Position;
    const D3DVECTOR to = TheBall.aimPoint;
    const int g = to.x <= from.x ? 0 : 1;
    D3DVECTOR crossing;
    if (!IntersectSegmentTriangle(from, to, GoalMouthTriangles[g][0], GoalMouthTriangles[g][1],
                                  GoalMouthTriangles[g][2], crossing))
        return false;
    GoalMouthCrossing = crossing;
    return true;
}

void PlaceBallMarker()
{
    const ModelInstance* ball = BallModel();
    if (!ball) return;
    PlaceModel(TheBall.markerModel, ball->Position.x, ball->Position.y + BALL_MARKER_LIFT, ball->Position.z);
}

void ShowBallArrow(bool visible)
{
    if (visible) PlaceBallMarker();
    SetInstanceVisible(TheBall.markerModel, visible);
}

void ForceSceneResort()
{
    LastSortTarget = D3DVECTOR{CameraTarget.x + 10.f, CameraTarget.y, CameraTarget.z};
}

void EnableButtonPair(int32_t id, bool enabled)
{
    // The caption and picture of each HUD button as the match screen's builder makes them.
    static const int32_t pairs[4][2] = {{SPRITE_CAPTION_END_TURN, SPRITE_BUTTON_END_TURN},
                                        {SPRITE_CAPTION_PASS, SPRITE_BUTTON_PASS},
                                        {SPRITE_CAPTION_SYSTEM, SPRITE_BUTTON_SYSTEM},
                                        {SPRITE_CAPTION_SUBSTITUTE, SPRITE_BUTTON_SUBSTITUTE}};
    const int32_t* pair = nullptr;
    for (const auto& p : pairs)
        if (p[0] == id || p[1] == id) pair = p;
    if (!pair) return;
    if (enabled && pair[0] == (int32_t)SPRITE_CAPTION_PASS && IsNetworkGame()) {
        // A computer passes only in its own side's turn.
        if ((IsNetworkHost() && TurnPhase == PHASE_AWAY_PLANS) || (IsNetworkGuest() && TurnPhase == PHASE_HOME_PLANS))
            enabled = false;
    }
    for (int k = 0; k < 2; ++k) {
        if (enabled)
            ShowSprite((unsigned)pair[k]);
        else
            HideSprite((unsigned)pair[k]);
    }
}

void SpinModel()
{
    ModelInstance* sky = InstanceAt(SkyDomeModel);
    if (!sky || !sky->InUse) return;
    sky->Rotation.y = std::fmod(sky->Rotation.y + SKY_TURN_RATE * MatchStepSeconds(), TWO_PI);
    sky->MatrixValid = 0;
}
