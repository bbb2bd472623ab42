#include "match_core_support.h"

#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Match/BallFlight.h"
#include "fenwolt/Game/Match/Banners.h"
#include "fenwolt/Game/Match/MatchHelpers.h"
#include "fenwolt/Game/Match/MatchScreen.h"
#include "fenwolt/Game/Match/Squads.h"
#include "fenwolt/Game/Match/TurnEngine.h"
#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/FrontEnd/Options.h"
#include "fenwolt/common/Utilities.h"
#include "platform/win32/crt_rand.h"

#include <cmath>
#include <cstring>

namespace matchcore {

void SetStep(float seconds) { TheApp.ElapsedTime = seconds; }
void Seed(uint32_t seed) { srand(seed); }

ModelInstance& Model(int32_t player) { return TheApp.InstanceTable[MatchPlayers[player].model]; }
ModelInstance& BallInstance() { return TheApp.InstanceTable[TheBall.model]; }

void PlacePlayer(int32_t player, float x, float z, float rotation)
{
    ModelInstance& m = Model(player);
    m.Position = D3DVECTOR{x, 0.f, z};
    m.Rotation.y = rotation;
    MatchPlayers[player].moveTarget = m.Position;
}

void PlaceBall(float x, float y, float z)
{
    BallInstance().Position = D3DVECTOR{x, y, z};
    TheBall.destination = TheBall.kickStart = TheBall.groundPoint = TheBall.aimPoint = D3DVECTOR{x, y, z};
}

void ClearArea(float x, float z, float radius)
{
    for (int32_t i = 0; i < PLAYER_COUNT; ++i) {
        ModelInstance& m = Model(i);
        const float dx = m.Position.x - x, dz = m.Position.z - z;
        if (std::sqrt(dx * dx + dz * dz) < radius) {
            // Parked in a row along the far touchline, out of everyone's way.
            PlacePlayer(i, 5.0f + 5.0f * (float)i, i < SIDE_SIZE ? 75.0f : 9.0f, 0.f);
        }
    }
}

void GiveBall(int32_t player)
{
    BallHolder = LastHolder = player + 1;
    LastTouchSide = player < SIDE_SIZE ? 1 : 2;
    const ModelInstance& m = Model(player);
    PlaceBall(m.Position.x, BALL_REST_HEIGHT, m.Position.z);
}

void StartMovingPhase(int32_t phase)
{
    TurnPhase = phase;
    PhaseTimer = 0.f;
    WaitingForBall = 0;
}

void StepMatch(bool tackles)
{
    MovePlayers(tackles);
    UpdateBall();
    UpdatePhaseTimers();
}

bool AllFinite()
{
    using matchgeo::IsFinite;
    for (int32_t i = 0; i < PLAYER_COUNT; ++i) {
        const ModelInstance& m = Model(i);
        if (!IsFinite(m.Position) || !IsFinite(m.Rotation) || !IsFinite(MatchPlayers[i].moveTarget) ||
            !IsFinite(MatchPlayers[i].energy))
            return false;
    }
    const ModelInstance& b = BallInstance();
    return IsFinite(b.Position) && IsFinite(b.Rotation) && IsFinite(TheBall.destination) &&
           IsFinite(TheBall.kickStart) && IsFinite(TheBall.groundPoint) && IsFinite(TheBall.aimPoint) &&
           IsFinite(TheBall.loft) && IsFinite(TheBall.bendX) && IsFinite(TheBall.bendZ) && IsFinite(TheBall.rotation);
}

void ResetMatch(uint32_t seed, float step)
{
    ConstructTheApp();
    ResetMatchGlobals();
    ResetFormationTables();
    ResetEventTicker();
    Options = OptionsRecord{};
    Options.BeginnersCamera = 1;
    MatchSetup.managers = 2;
    UseSharedRandom = false;
    CheatControl = CheatPass = 0;
    PendingKickKind = -1;
    PendingKickGood = 0;

    // No marker or preview models: the match must run without them.
    ForgetMatchInstances();

    Seed(0);
    CreateDefaultSquads();
    CopySquadToPitch(0, 0);
    CopySquadToPitch(1, 1);
    for (int32_t i = 0; i < PLAYER_COUNT; ++i) {
        ModelInstance& m = TheApp.InstanceTable[i];
        m = ModelInstance{};
        m.InUse = 1;
        m.Scale = D3DVECTOR{MODEL_SCALE, MODEL_SCALE, MODEL_SCALE};
        MatchPlayer& p = MatchPlayers[i];
        p.model = i;
        p.bodySize = 30.0f * MODEL_SCALE;
        p.headHeight = 61.0f * MODEL_SCALE;
        p.energyCeiling = 100.0f;
        p.squadSlot = i % SIDE_SIZE;
        p.action = p.stance = p.turnsDown = p.contacts = p.moveCounterA = p.moveCounterB = 0;
        p.offside = 0;
        const bool home = i < SIDE_SIZE;
        PlacePlayer(i, home ? p.formationX : FORMATION_MIRROR_X - p.formationX, p.formationZ,
                    home ? 4.712389f : 1.570796f);
        p.facePoint = m.Position;
    }
    ModelInstance& ball = TheApp.InstanceTable[BALL_INSTANCE];
    ball = ModelInstance{};
    ball.InUse = 1;
    ball.Scale = D3DVECTOR{MODEL_SCALE, MODEL_SCALE, MODEL_SCALE};
    TheBall = MatchBall{};
    TheBall.model = BALL_INSTANCE;
    TheBall.markerModel = INSTANCE_NONE;
    TheBall.radius = 4.9f * MODEL_SCALE;
    PlaceBall(CENTRE_X, BALL_REST_HEIGHT, CENTRE_Z);
    SelectedPlayer = PLAYER_NONE;
    ClearTackleAttempts();
    Seed(seed);
    SetStep(step);
}

}  // namespace matchcore
