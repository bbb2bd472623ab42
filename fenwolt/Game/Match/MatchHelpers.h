// Small helpers the whole match shares: distances, directions, angles and headings on the pitch,
// the model instances of the players and the ball and where they stand, and a few questions
// asked of the match records. Every helper answers with a finite number for any input: a
// direction of zero length falls back rather than dividing by zero, so no NaN reaches the
// match records.
#pragma once

#include "fenwolt/Game/Engine/EngineTables.h"
#include "fenwolt/Game/Engine/Instances.h"
#include "fenwolt/Game/Match/MatchRecords.h"
#include "fenwolt/common/Utilities.h"

#include <climits>
#include <cmath>
#include <cstdint>

// The model instance of a player, or of the ball for 27; null when there is none (before the
// scene load, or freed with the scene).
inline ModelInstance* BallModel()
{
    ModelInstance* m = InstanceAt(TheBall.model);
    return m && m->InUse ? m : nullptr;
}

inline ModelInstance* PlayerModel(int32_t player)
{
    if (player == BALL_TARGET) return BallModel();
    if (!IsPlayerIndex(player)) return nullptr;
    ModelInstance* m = InstanceAt(MatchPlayers[player].model);
    return m && m->InUse ? m : nullptr;
}

namespace matchgeo {

constexpr float PI = 3.14159265358979f;
constexpr float TWO_PI = 6.28318530717959f;
constexpr float HALF_PI = 1.57079632679490f;
// Markers on the pitch (selection, targets, aim, path dots) float this high over the grass.
constexpr float MARKER_HEIGHT = 0.1f;

inline bool IsFinite(float v) { return std::isfinite(v); }
inline bool IsFinite(const D3DVECTOR& v) { return Vec3Finite(v); }

inline float GroundDistance(const D3DVECTOR& a, const D3DVECTOR& b)
{
    const float dx = a.x - b.x, dz = a.z - b.z;
    return std::sqrt(dx * dx + dz * dz);
}

inline float SpaceDistance(const D3DVECTOR& a, const D3DVECTOR& b)
{
    const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// The unit ground direction from `from` to `to` in (x, z); false (and the outputs untouched) when
// the two points stand on one spot or the direction is not a number.
inline bool GroundDirection(const D3DVECTOR& from, const D3DVECTOR& to, float& outX, float& outZ)
{
    const float dx = to.x - from.x, dz = to.z - from.z;
    const float length = std::sqrt(dx * dx + dz * dz);
    if (!(length > 1e-6f) || !std::isfinite(length)) return false;
    outX = dx / length;
    outZ = dz / length;
    return true;
}

// An angle reduced into [0, 2pi); 0 for a value that is not a number.
inline float ReduceAngle(float a)
{
    if (!std::isfinite(a)) return 0.f;
    a = std::fmod(a, TWO_PI);
    if (a < 0.f) a += TWO_PI;
    if (a >= TWO_PI) a = 0.f;
    return a;
}

// An angle difference wrapped into [-pi, pi].
inline float WrapAngle(float a)
{
    a = ReduceAngle(a);
    if (a > PI) a -= TWO_PI;
    return a;
}

// The turn between two angles taken the short way round, 0..pi.
inline float AngleGap(float a, float b)
{
    const float d = std::fabs(ReduceAngle(a) - ReduceAngle(b));
    return d > PI ? TWO_PI - d : d;
}

// The model rotation under which a player faces along the ground direction (dx, dz): a model
// with rotation h faces (-sin h, 0, -cos h).
inline float HeadingAlong(float dx, float dz) { return ReduceAngle(std::atan2(-dx, -dz)); }

// The bearing (from +z toward +x) of the ground direction (dx, dz).
inline float BearingAlong(float dx, float dz) { return ReduceAngle(std::atan2(dx, dz)); }

// The integer part of a float, saturated, 0 for a value that is not a number.
inline int32_t TruncToInt(float v)
{
    if (!std::isfinite(v)) return 0;
    if (v >= 2147483520.f) return INT32_MAX;
    if (v <= -2147483520.f) return INT32_MIN;
    return (int32_t)v;
}

// The model changed: rebuild its matrix, re-cull it, redraw its shadow.
inline void MarkModelMoved(ModelInstance& m)
{
    m.MatrixValid = 0;
    m.Moved = 1;
    m.ShadowDirty = 1;
}

// Puts an existing instance on a point.
inline void PlaceModel(int32_t model, float x, float y, float z)
{
    ModelInstance* m = InstanceAt(model);
    if (!m || !m->InUse) return;
    m->Position = D3DVECTOR{x, y, z};
    MarkModelMoved(*m);
}

// Where a player stands; one without an instance is taken to stand on his target.
inline D3DVECTOR PlayerPosition(int32_t player)
{
    if (const ModelInstance* m = PlayerModel(player)) return m->Position;
    if (!IsPlayerIndex(player)) return D3DVECTOR{CENTRE_X, 0.f, CENTRE_Z};
    const D3DVECTOR& t = MatchPlayers[player].moveTarget;
    return D3DVECTOR{t.x, 0.f, t.z};
}

// Where the ball is; the centre spot when it has no instance.
inline D3DVECTOR BallPosition()
{
    if (const ModelInstance* m = BallModel()) return m->Position;
    return D3DVECTOR{CENTRE_X, BALL_REST_HEIGHT, CENTRE_Z};
}

inline bool IsKeeperIndex(int32_t player) { return player == HOME_KEEPER || player == AWAY_KEEPER; }

// The number the banners, the ticker and the panel print: index + 1 at home, index - 10 away.
inline int32_t ShirtNumber(int32_t player) { return player < SIDE_SIZE ? player + 1 : player - 10; }

// A player is tired while his energy is below 100 - Stamina.
inline bool IsTired(const MatchPlayer& p) { return p.energy < 100.0f - p.attributes[ATTR_STAMINA]; }

// The restarts that are taken with a kick or a throw.
inline bool IsRestartState(int32_t state)
{
    return state == STOP_THROW_IN || state == STOP_GOAL_KICK || state == STOP_CORNER || state == STOP_OFFSIDE ||
           state == STOP_FOUL;
}

// The same with the stop state that is never set (a few tests treat it like a restart).
inline bool IsRestartWaitingState(int32_t state) { return IsRestartState(state) || state == STOP_UNUSED_5; }

// A player index range [first, end) kept within the 22 players.
inline void ClampRange(int32_t& first, int32_t& end)
{
    if (first < 0) first = 0;
    if (end > PLAYER_COUNT) end = PLAYER_COUNT;
}

}  // namespace matchgeo
