// A match without a screen or a device for the referee's and the computer's tests: the 22
// players and the ball as bare model instances at their formation spots, the default squads on
// the pitch, one manager against the computer, 45-minute halves and a seeded generator.
#pragma once

#include "fenwolt/Game/Engine/EngineTables.h"
#include "fenwolt/Game/Match/MatchRecords.h"
#include "fenwolt/tests/match/match_core_support.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace rulestest {

constexpr float SCALE = 0.027f;
constexpr float RADIUS = 4.9f * SCALE;
constexpr int32_t BALL_INSTANCE = 60;
constexpr int32_t FIRST_FRAME_INSTANCE = 70;  // the eight goal frames, when a test builds them

void ResetMatch(uint32_t seed = 1);
// The same as the turn engine's fixture: the seed, a player's and the ball's instance, the ball
// placed (its flight ended there) and given to a player.
using matchcore::GiveBall;
using matchcore::Model;
using matchcore::PlaceBall;
using matchcore::Seed;
inline ModelInstance& Ball() { return matchcore::BallInstance(); }
inline D3DVECTOR BallAt() { return Ball().Position; }

// The player (and his move target) on (x, z).
void PlacePlayer(int32_t player, float x, float z);
// Every player to a parking row far from the penalty areas and the centre, so that a test
// places only the ones it needs.
void ParkEveryone();
// The eight goal frames as boxes: interiors 0 and 1, posts and crossbars 2..7, around the
// goal mouths of both ends (the boxes are written directly; no mesh is needed).
void SetGoalFrameBoxes();
bool MatchStateFinite();

}  // namespace rulestest

class RulesTest : public ::testing::Test {
protected:
    void SetUp() override { rulestest::ResetMatch(); }
};
