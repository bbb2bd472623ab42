#include "fenwolt/Game/Match/Rules.h"

#include "fenwolt/Game/Unfinished.h"

GoalFrameBox GoalFrameBoxes[8];

void BuildGoalFrames() { UNFINISHED(); }
int32_t FindGoalEntered() { UNFINISHED(); }
bool IsBallInsideGoalBox(int32_t) { UNFINISHED(); }
bool IsBallTouchingBox(int32_t) { UNFINISHED(); }
bool CheckGoalFrameHit() { UNFINISHED(); }
void CheckGoal(int32_t) { UNFINISHED(); }
int32_t ClassifyBallPosition(const D3DVECTOR&) { UNFINISHED(); }
int32_t ClassifyPlayerPosition(const D3DVECTOR&) { UNFINISHED(); }
int32_t PenaltyAreaAt(const D3DVECTOR&) { UNFINISHED(); }
void CheckBallOut() { UNFINISHED(); }
void AwardThrowIn() { UNFINISHED(); }
void AwardCorner() { UNFINISHED(); }
void AwardGoalKick() { UNFINISHED(); }
void AwardOffside(int32_t, int32_t) { UNFINISHED(); }
void AwardFoul(int32_t, int32_t) { UNFINISHED(); }
void ResetBallForRestart() { UNFINISHED(); }
bool ClearPenaltyBox(int32_t) { UNFINISHED(); }
void PositionForSetPiece() { UNFINISHED(); }
bool PenaltyAreaCrowded() { UNFINISHED(); }
void MarkOffsidePlayers() { UNFINISHED(); }
bool CallOffsideOnReceive(int32_t) { UNFINISHED(); }
bool IsBallInYourHalf(int32_t) { UNFINISHED(); }
void ClockStep() { UNFINISHED(); }
void AddClockSteps(int32_t) { UNFINISHED(); }
void ShowMatchClock() { UNFINISHED(); }
void FormatMatchClock(char*, int, int32_t, int32_t) { UNFINISHED(); }
int32_t HalfEndMinute(int32_t) { UNFINISHED(); }
void StartSecondHalf() { UNFINISHED(); }
void EndMatch() { UNFINISHED(); }
float FormationX(int32_t) { UNFINISHED(); }
float FormationZ(int32_t) { UNFINISHED(); }
