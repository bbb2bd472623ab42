#include "fenwolt/Game/Match/Computer.h"

#include "fenwolt/Game/Unfinished.h"

int32_t NearestToBall = 0;
int32_t NearestComputerToBall = AWAY_KEEPER;
int32_t NearestGoalSideComputer = PLAYER_NONE;
int32_t BallClass = 0;
float AIOffset = 0.f;
PassCandidate PassCandidates[PASS_CANDIDATE_COUNT];
const float ShotTargets[SHOT_TARGET_COUNT] = {39.08f, 40.08f, 41.08f, 42.08f, 43.08f, 44.08f, 45.08f};

void RunComputerTurn() { UNFINISHED(); }
void AIDefend() { UNFINISHED(); }
void AIAttack() { UNFINISHED(); }
void AIBallHolderDecision(int32_t) { UNFINISHED(); }
void AICleverPass(int32_t) { UNFINISHED(); }
bool IsPassBlocked(int32_t, int32_t, bool) { UNFINISHED(); }
void AIPass(int32_t, int32_t, int32_t) { UNFINISHED(); }
void AIShoot(int32_t) { UNFINISHED(); }
void AISidestep() { UNFINISHED(); }
void AIStayOnside() { UNFINISHED(); }
void AIPosition(int32_t, int32_t) { UNFINISHED(); }
float TurnAngleFor(float, int32_t) { UNFINISHED(); }
void ClampTargetToPitch(int32_t) { UNFINISHED(); }
void ClampComputerTargets() { UNFINISHED(); }
void AIFaceUpfield() { UNFINISHED(); }
void AIPrepareHeaders() { UNFINISHED(); }
void LandAllPlayers() { UNFINISHED(); }
void PlayKickOffPass() { UNFINISHED(); }
bool IsBallNearGoalLine(int32_t) { UNFINISHED(); }
int32_t ShootingZone(int32_t, int32_t) { UNFINISHED(); }
bool IsBallAheadOfPlayer(int32_t, int32_t) { UNFINISHED(); }
bool IsBallInOwnBoxZone(int32_t) { UNFINISHED(); }
bool IsBallInAttackBoxZone(int32_t) { UNFINISHED(); }
bool IsBallWideOnFlank(int32_t) { UNFINISHED(); }
bool IsBallOnSameFlank(int32_t) { UNFINISHED(); }
bool IsPlayerFresh(int32_t) { UNFINISHED(); }
bool IsOutOfPlay(int32_t) { UNFINISHED(); }
