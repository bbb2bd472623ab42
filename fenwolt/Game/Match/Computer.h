// The computer opponent. It always plays the away side (11..21, 11 its keeper) and plans its whole
// turn at once from the match state a human sees: move targets, facings, jumps and, for the ball
// holder, a pass, a cross, a shot or a dribble through the kick of BallFlight. Every random
// choice goes through RandomBelow.
//
// "Its goal" is the goal the computer defends and "the attacked goal" the other; which is which
// follows LowGoalScorerSide().
#pragma once

#include "fenwolt/Game/Match/MatchRecords.h"

#include <cstdint>

// The computer's side.
constexpr int32_t COMPUTER_SIDE = 1;
constexpr int32_t PASS_CANDIDATE_COUNT = 11;
constexpr int32_t SHOT_TARGET_COUNT = 7;
// Positioning modes of AIPosition.
constexpr int32_t AI_MODE_COUNT = 22;

struct PassCandidate {
    int32_t player;
    float distanceToGoal;    // to the centre of the attacked goal line
    float distanceToPasser;
    int32_t opponentsWithin5;
    int32_t opponentsWithin10;
    uint8_t ahead;           // at or beyond the ball's x towards the attacked goal
    int32_t score;
};

// Filled at the start of each computer turn.
extern int32_t NearestToBall;
extern int32_t NearestComputerToBall;
extern int32_t NearestGoalSideComputer;  // PLAYER_NONE when none
extern int32_t BallClass;
// The distance parameter some positioning modes read.
extern float AIOffset;
extern PassCandidate PassCandidates[PASS_CANDIDATE_COUNT];
extern const float ShotTargets[SHOT_TARGET_COUNT];

// --- Turn --------------------------------------------------------------------------------------------
void RunComputerTurn();
void AIDefend();
void AIAttack();
void AIBallHolderDecision(int32_t holder);
void AICleverPass(int32_t passer);
bool IsPassBlocked(int32_t passer, int32_t target, bool useTarget);
// kind 0 to the player's position, 1 to where he runs, 2 a cross, 3 a corner into the box.
void AIPass(int32_t passer, int32_t target, int32_t kind);
void AIShoot(int32_t shooter);
void AISidestep();
void AIStayOnside();
void AIPosition(int32_t player, int32_t mode);
float TurnAngleFor(float angle, int32_t detourStep);
void ClampTargetToPitch(int32_t player);
void ClampComputerTargets();
void AIFaceUpfield();
void AIPrepareHeaders();
void LandAllPlayers();
void PlayKickOffPass();

// --- Zone tests (for side s; `player` 27 means the ball where a point is asked for) -------------
bool IsBallNearGoalLine(int32_t side);
int32_t ShootingZone(int32_t player, int32_t side);
bool IsBallAheadOfPlayer(int32_t side, int32_t player);
bool IsBallInOwnBoxZone(int32_t side);
bool IsBallInAttackBoxZone(int32_t side);
bool IsBallWideOnFlank(int32_t player);
bool IsBallOnSameFlank(int32_t player);
// A player is fresh while his energy is at least 100 - Stamina.
bool IsPlayerFresh(int32_t player);
// A player who is down (turnsDown above 0) takes no orders.
bool IsOutOfPlay(int32_t player);
