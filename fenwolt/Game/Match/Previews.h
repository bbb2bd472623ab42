// What the orders of a planning turn will do, shown on the pitch: rows of dots from each player
// of the side to move to his move target (coloured by how far he gets in one moving phase), and
// arrows from the ball to a kick's aim, lifted by the loft and bent by the bend that the mouse
// drag sets. Also a few small scene helpers of the match: the ball arrow, the HUD button pairs,
// the turning sky and the goal-mouth crossing test of a kick.
#pragma once

#include "fenwolt/Game/Match/MatchRecords.h"

#include <cstdint>

constexpr int32_t PATH_DOTS = 20;
constexpr int32_t KICK_ARROWS = 20;

// Model instances made by the scene load (INSTANCE_NONE until then).
extern int32_t PathDotModels[SIDE_SIZE][PATH_DOTS];
extern int32_t KickArrowModels[KICK_ARROWS];
// Mesh slots of the dot textures (0 beyond reach, 1 within reach) and the arrow textures
// (0 up to 10.0 from the ball, 1 above 10.0, 2 above 30.0).
extern int32_t DotTextures[2];
extern int32_t ArrowTextures[3];
// The goal-mouth triangle of each goal (0 the low-x goal, 1 the high-x goal), set up with the
// scene, and where the last crossing kick passes through it.
extern D3DVECTOR GoalMouthTriangles[2][3];
extern D3DVECTOR GoalMouthCrossing;

void ShowMoveRange(bool hide);
// The move previews of the side to move, and the kick preview while a kick is aimed or planned.
void RefreshPreviews();
float ReachThisTurn(int32_t player);
void ShowKickPreview(bool hide);
bool KickCrossesGoalMouth();
void PlaceBallMarker();
// Shows or hides the arrow over the ball (placing it when shown). The option that decides
// whether it shows outside the moving phases is the match global ShowBallMarker.
void ShowBallArrow(bool visible);
void ForceSceneResort();
// Shows or hides a HUD button's caption and picture together.
void EnableButtonPair(int32_t id, bool enabled);
void SpinModel();
// The two goal-mouth triangles for the pitch geometry.
void SetUpGoalMouthTriangles();
