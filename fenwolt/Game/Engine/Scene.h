// Scene drawing: which model instances are visible in the view frustum, the draw list built
// from them each frame and the drawing of each instance by its render kind.
#pragma once

#include "fenwolt/Game/Engine/EngineTables.h"

struct FrustumPlane {
    float a, b, c, d;
};

extern D3DMATRIX ViewProjectionMatrix;
extern FrustumPlane FrustumPlanes[6];  // left, right, top, bottom, near, far
extern int32_t VisibleList[INSTANCE_COUNT];
extern int32_t VisibleCount;
extern int32_t DrawList[INSTANCE_COUNT];
extern uint8_t DrawListFlags[INSTANCE_COUNT];
extern int32_t DrawCount;
extern D3DVECTOR PreviousEye, LastSortTarget;
extern bool CameraMoved;
extern int32_t InstanceLimit;
// How near in front of the eye an instance that gives way to it (INSTANCE_FLAG_GIVES_WAY_TO_EYE)
// may come, in the scene's units, before it is left out of the frame: nearer than this to the
// eye, nearer to it than the point it looks at, and not standing over that point, it would
// fill the picture. 0: none gives way.
extern float EyeClearance;
// Whether the instance, by the rule above, is left out of a frame drawn from this camera.
bool GivesWayToEye(const ModelInstance& instance, const D3DVECTOR& eye, const D3DVECTOR& target);

// Returns 1 (nothing drawn) while the screen is not ready, else 0.
int DrawScene();
void AddToDrawList(int index);
void DrawRenderList();
void DrawInstance(ModelInstance& instance);
void ComputeFrustum();
void ExtractFrustumPlanes(FrustumPlane* planes, const D3DMATRIX& m, bool normalise);
void CullInstanceAgainstFrustum(int index);
// Makes the next DrawScene rebuild its visible list (a screen switch).
void ForceSceneRebuild();
// One whole frame of the engine: clear, view and projection, the scene when visible, the
// screen's render handler and the visible sprites.
void RenderEngineFrame();
