// The tiredness and turning of players, shared by the movement, the turn engine, the ball flight
// and the previews.
#pragma once

#include "fenwolt/Game/Match/MatchHelpers.h"

#include <cstdint>

// The tiredness factor of a player's step: 1 when fresh, else 0.9 / 0.75 / 0.67 / 0.5 by energy.
float TirednessFactor(int32_t player);
// The turn rate in radians per second: Turn, or Close Control for the ball holder, x 2pi.
float TurnRate(int32_t player);
// The rotation the facing arrow of a player shows toward his facePoint (bearing from +z toward
// +x); the player's own rotation when the point is on him.
float FacingArrowHeading(int32_t player);
