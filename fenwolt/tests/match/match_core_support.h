// A match without a screen or a device for the tests of the squads, the turn engine and the ball:
// the 22 players and the ball as bare model instances (plain memory) at the default squads'
// formation, the random generator seeded, and a fixed step in the application's ElapsedTime.
#pragma once

#include "fenwolt/Game/Engine/EngineTables.h"
#include "fenwolt/Game/Match/MatchRecords.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace matchcore {

constexpr float MODEL_SCALE = 0.027f;
constexpr int32_t BALL_INSTANCE = 40;
constexpr float STEP = 0.02f;

// Everything back to a fresh match: default squads on the pitch, players on their formation
// spots facing their opponents' goal, the ball on the centre spot, phase 0, nobody holding it.
void ResetMatch(uint32_t seed = 1, float step = STEP);
void SetStep(float seconds);
void Seed(uint32_t seed);

ModelInstance& Model(int32_t player);
ModelInstance& BallInstance();
// Puts a player (and his move target) on a spot, facing `rotation`.
void PlacePlayer(int32_t player, float x, float z, float rotation);
void PlaceBall(float x, float y, float z);
// Moves every player far from (x, z) so that only the ones a test places take part.
void ClearArea(float x, float z, float radius);
// The player holds the ball at his feet.
void GiveBall(int32_t player);

// A moving phase of `phase` (1 or 3) with the timer at zero.
void StartMovingPhase(int32_t phase);
// MovePlayers, UpdateBall and UpdatePhaseTimers once, as the match step runs them in play.
void StepMatch(bool tackles = true);

bool AllFinite();

}  // namespace matchcore

class MatchCoreTest : public ::testing::Test {
protected:
    void SetUp() override { matchcore::ResetMatch(); }
};
