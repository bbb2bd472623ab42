#include "fenwolt/Game/Match/Previews.h"

#include "fenwolt/Game/Unfinished.h"

int32_t PathDotModels[SIDE_SIZE][PATH_DOTS];
int32_t KickArrowModels[KICK_ARROWS];
int32_t DotTextures[2];
int32_t ArrowTextures[3];
D3DVECTOR GoalMouthTriangles[2][3];
D3DVECTOR GoalMouthCrossing;

void ShowMoveRange(bool hide) { UNFINISHED(); }
float ReachThisTurn(int32_t player) { UNFINISHED(); }
void ShowKickPreview(bool hide) { UNFINISHED(); }
bool KickCrossesGoalMouth() { UNFINISHED(); }
void PlaceBallMarker() { UNFINISHED(); }
void ShowBallArrow(bool visible) { UNFINISHED(); }
void ForceSceneResort() { UNFINISHED(); }
void EnableButtonPair(int32_t id, bool enabled) { UNFINISHED(); }
void SpinModel() { UNFINISHED(); }
void SetUpGoalMouthTriangles() { UNFINISHED(); }
