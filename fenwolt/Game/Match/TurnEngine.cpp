#include "fenwolt/Game/Match/TurnEngine.h"

#include "fenwolt/Game/Unfinished.h"

D3DVECTOR PickedPoint{0, 0, 0};

float MatchStepSeconds() { UNFINISHED(); }
bool PickPitchPoint() { UNFINISHED(); }
int32_t ClassifyTarget(const D3DVECTOR&) { UNFINISHED(); }
int32_t FindNearestPlayer(const D3DVECTOR&, float*) { UNFINISHED(); }
int32_t FindNearestInRange(const D3DVECTOR&, int32_t, int32_t, float*) { UNFINISHED(); }
int32_t FindNearestInRangeExcept(const D3DVECTOR&, int32_t, int32_t, int32_t, float*) { UNFINISHED(); }
int32_t FindNearestNotAhead(const D3DVECTOR&, int32_t, int32_t, int32_t, float, float*) { UNFINISHED(); }
int32_t FindNearestAhead(const D3DVECTOR&, int32_t, int32_t, int32_t, float, bool, float*) { UNFINISHED(); }
int32_t FindMostAdvanced(const D3DVECTOR&, int32_t, int32_t, int32_t, int32_t, float*) { UNFINISHED(); }
int32_t FindMostAdvancedInRange(const D3DVECTOR&, int32_t, int32_t, int32_t, float*) { UNFINISHED(); }
void InitPhaseDurations() { UNFINISHED(); }
void EndTurnIfAllowed() { UNFINISHED(); }
void RequestEndTurn() { UNFINISHED(); }
void EndTurnBothAgreed() { UNFINISHED(); }
void EndPhase(int32_t) { UNFINISHED(); }
void UpdatePhaseTimers() { UNFINISHED(); }
void SetSideAnimating(bool) { UNFINISHED(); }
void CountDownDowned(int32_t, int32_t) { UNFINISHED(); }
bool HandlePitchClick(uint32_t) { UNFINISHED(); }
bool HandlePitchDrag() { UNFINISHED(); }
void OrderPitchPress(const D3DVECTOR&, int32_t, int32_t) { UNFINISHED(); }
void OrderPitchRelease(const D3DVECTOR&, int32_t, int32_t) { UNFINISHED(); }
bool OrderPitchDrag(const D3DVECTOR&, int32_t, int32_t) { UNFINISHED(); }
int32_t PlayerUnderPoint(const D3DVECTOR&) { UNFINISHED(); }
void ToggleKickAim() { UNFINISHED(); }
void StartJump(int32_t) { UNFINISHED(); }
void SetFacing(int32_t) { UNFINISHED(); }
void CancelJump(int32_t) { UNFINISHED(); }
void RestoreJumps() { UNFINISHED(); }
void SetOverviewCamera() { UNFINISHED(); }
void MovePlayers(bool) { UNFINISHED(); }
bool TryPickUpBall(int32_t) { UNFINISHED(); }
int32_t FindContact(int32_t) { UNFINISHED(); }
bool IsTackleFromBehind(int32_t, int32_t) { UNFINISHED(); }
void CountContacts() { UNFINISHED(); }
void SetPlayerAnimation(int32_t, int32_t) { UNFINISHED(); }
void GiveBallToPlayer(int32_t) { UNFINISHED(); }
void ResolveTackle(int32_t, int32_t) { UNFINISHED(); }
void ClearTackleAttempts() { UNFINISHED(); }
