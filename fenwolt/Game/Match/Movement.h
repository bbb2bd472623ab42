// Small geometry and lookup helpers shared by the turn engine, the movement code and the ball
// flight. Every helper answers with a finite number for any input: a direction of zero length
// falls back to a given one rather than dividing by zero, so no NaN reaches the match records.
#pragma once

#include "fenwolt/Game/EngineTables.h"
#include "fenwolt/Game/Instances.h"
#include "fenwolt/Game/Match/MatchRecords.h"

#include <climits>
#include <cmath>
#include <cstdint>

namespace matchgeo {

constexpr float PI = 3.14159265358979f;
constexpr float TWO_PI = 6.28318530717959f;

inline bool IsFinite(float v) { return std::isfinite(v); }
inline bool IsFinite(const D3DVECTOR& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

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

// The unit ground direction from `from` to `to` in (x, z); false (and `out` untouched) when the
// two points stand on one spot or the direction is not a number.
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

// A freed instance (the scene was released) counts as none.
inline ModelInstance* InUseOrNull(ModelInstance* m) { return m && m->InUse ? m : nullptr; }
inline ModelInstance* ModelOfPlayer(int32_t player)
{
    return IsPlayerIndex(player) ? InUseOrNull(InstanceAt(MatchPlayers[player].model)) : nullptr;
}
inline ModelInstance* ModelOfBall() { return InUseOrNull(InstanceAt(TheBall.model)); }

// The model changed: rebuild its matrix, re-cull it, redraw its shadow.
inline void MarkModelMoved(ModelInstance& m)
{
    m.MatrixValid = 0;
    m.Moved = 1;
    m.ShadowDirty = 1;
}

inline int32_t SideOf(int32_t player) { return player >= SIDE_SIZE ? 1 : 0; }
inline bool IsKeeperIndex(int32_t player) { return player == HOME_KEEPER || player == AWAY_KEEPER; }

}  // namespace matchgeo

// Movement internals the turn engine and the ball flight share.
// The tiredness factor of a player's step: 1 when fresh, else 0.9 / 0.75 / 0.67 / 0.5 by energy.
float TirednessFactor(int32_t player);
// The turn rate in radians per second: Turn, or Close Control for the ball holder, x 2pi.
float TurnRate(int32_t player);
// The rotation the facing arrow of a player shows toward his facePoint (bearing from +z toward
// +x); the player's own rotation when the point is on him.
float FacingArrowHeading(int32_t player);
