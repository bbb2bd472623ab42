#include "fenwolt/Game/Match/BallFlight.h"

#include "fenwolt/Game/Unfinished.h"

int32_t PendingKickKind = -1;
uint8_t PendingKickGood = 0;

bool ExecuteKick(int32_t) { UNFINISHED(); }
void UpdateBall() { UNFINISHED(); }
void ClampBend() { UNFINISHED(); }
void DeflectBall() { UNFINISHED(); }
void ReboundFromGoalFrame() { UNFINISHED(); }
void HeadOrVolley(int32_t) { UNFINISHED(); }
