#include "match_rules_support.h"

#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/FrontEnd/Options.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Match/BallFlight.h"
#include "fenwolt/Game/Match/Banners.h"
#include "fenwolt/Game/Match/Hud.h"
#include "fenwolt/Game/Match/MatchHelpers.h"
#include "fenwolt/Game/Match/MatchScreen.h"
#include "fenwolt/Game/Match/Rules.h"
#include "fenwolt/Game/Match/Squads.h"
#include "fenwolt/common/Utilities.h"

#include <cmath>

namespace rulestest {

void PlacePlayer(int32_t player, float x, float z)
{
    ModelInstance& m = Model(player);
    m.Position = D3DVECTOR{x, 0.f, z};
    MatchPlayers[player].moveTarget = m.Position;
}

void ParkEveryone()
{
    // Along the middle of the pitch, a player every 2.5 units of z on two lines either side of
    // the halfway line: far from both penalty areas and from each other.
    for (int32_t i = 0; i < PLAYER_COUNT; ++i) {
        const float x = i < SIDE_SIZE ? 50.0f : 69.0f;
        PlacePlayer(i, x, 10.0f + 6.0f * (float)(i % SIDE_SIZE));
    }
}

namespace {
void Frame(int32_t box, float x0, float y0, float z0, float x1, float y1, float z1)
{
    GoalFrameBoxes[box] = GoalFrameBox{{x0, y0, z0}, {x1, y1, z1}, true};
    const int32_t index = FIRST_FRAME_INSTANCE + box;
    ModelInstance& m = TheApp.InstanceTable[index];
    m = ModelInstance{};
    m.InUse = 1;
    m.Position = D3DVECTOR{(x0 + x1) * 0.5f, 0.f, (z0 + z1) * 0.5f};
    GoalFrameModels[box] = index;
}
}  // namespace

void SetGoalFrameBoxes()
{
    Frame(0, 2.0f, 0.f, GOAL_MOUTH_LOW_Z, GOAL_LINE_LOW_X, CROSSBAR_HEIGHT, GOAL_MOUTH_HIGH_Z);
    Frame(1, GOAL_LINE_HIGH_X, 0.f, GOAL_MOUTH_LOW_Z, 117.0f, CROSSBAR_HEIGHT, GOAL_MOUTH_HIGH_Z);
    Frame(2, 4.3f, 0.f, 38.0f, 4.7f, 2.76f, 38.29f);
    Frame(3, 4.3f, 0.f, 47.09f, 4.7f, 2.76f, 47.4f);
    Frame(4, 4.3f, 2.56f, 38.0f, 4.7f, 2.76f, 47.4f);
    Frame(5, 114.35f, 0.f, 38.0f, 114.75f, 2.76f, 38.29f);
    Frame(6, 114.35f, 0.f, 47.09f, 114.75f, 2.76f, 47.4f);
    Frame(7, 114.35f, 2.56f, 38.0f, 114.75f, 2.76f, 47.4f);
}

bool MatchStateFinite()
{
    using matchgeo::IsFinite;
    for (int32_t i = 0; i < PLAYER_COUNT; ++i) {
        const MatchPlayer& p = MatchPlayers[i];
        if (!IsFinite(Model(i).Position) || !IsFinite(Model(i).Rotation) || !IsFinite(p.moveTarget) ||
            !IsFinite(p.facePoint) || !IsFinite(p.energy))
            return false;
    }
    return IsFinite(Ball().Position) && IsFinite(TheBall.destination) && IsFinite(TheBall.aimPoint) &&
           IsFinite(TheBall.kickStart) && IsFinite(TheBall.groundPoint) && IsFinite(TheBall.loft) &&
           IsFinite(TheBall.bendX) && IsFinite(TheBall.bendZ) && IsFinite(RestartSpot);
}

void ResetMatch(uint32_t seed)
{
    ConstructTheApp();
    for (ModelInstance& m : TheApp.InstanceTable) m = ModelInstance{};
    ResetMatchGlobals();
    ResetFormationTables();
    ResetEventTicker();
    ResetSubstitutions();
    Options = OptionsRecord{};
    Options.BeginnersCamera = 1;
    Competition = CompetitionState{};
    MatchSetup = MatchSettings{};
    MatchSetup.managers = 1;
    MatchSetup.minutesPerHalf = 45;
    UseSharedRandom = false;
    CheatControl = CheatPass = 0;
    PendingKickKind = -1;

    ForgetMatchInstances();
    for (GoalFrameBox& b : GoalFrameBoxes) b = GoalFrameBox{};

    Seed(0);
    CreateDefaultSquads();
    CopySquadToPitch(0, 0);
    CopySquadToPitch(1, 1);
    for (int32_t i = 0; i < PLAYER_COUNT; ++i) {
        ModelInstance& m = TheApp.InstanceTable[i];
        m.InUse = 1;
        m.Scale = D3DVECTOR{SCALE, SCALE, SCALE};
        m.Rotation.y = i < SIDE_SIZE ? 4.712389f : 1.570796f;
        MatchPlayer& p = MatchPlayers[i];
        p.model = i;
        p.numberMarkerModel = INSTANCE_NONE;
        p.bodySize = 30.0f * SCALE;
        p.headHeight = 61.0f * SCALE;
        p.energyCeiling = 100.0f;
        p.squadSlot = i % SIDE_SIZE;
        p.action = p.stance = p.turnsDown = p.contacts = p.moveCounterA = p.moveCounterB = p.aiCounter = 0;
        p.offside = 0;
        PlacePlayer(i, i < SIDE_SIZE ? p.formationX : FORMATION_MIRROR_X - p.formationX, p.formationZ);
        p.facePoint = m.Position;
    }
    TheBall = MatchBall{};
    TheBall.model = BALL_INSTANCE;
    TheBall.markerModel = INSTANCE_NONE;
    TheBall.radius = RADIUS;
    ModelInstance& ball = TheApp.InstanceTable[BALL_INSTANCE];
    ball.InUse = 1;
    ball.Scale = D3DVECTOR{SCALE, SCALE, SCALE};
    PlaceBall(CENTRE_X, BALL_REST_HEIGHT, CENTRE_Z);
    for (SquadPlayer& s : TeamSquads[0].players) s.lastMatch = SquadStats{};
    for (SquadPlayer& s : TeamSquads[1].players) s.lastMatch = SquadStats{};
    Seed(seed);
}

}  // namespace rulestest
