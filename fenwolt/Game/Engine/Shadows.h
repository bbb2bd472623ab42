// Planar projected shadows: each casting instance's vertices flattened onto a plane just above
// the pitch and drawn as a second, textured, alpha-blended copy of its mesh. The flattened
// vertices are cached in the instance's shadow buffer and recomputed only when marked dirty.
#pragma once

#include "fenwolt/Game/Engine/EngineTables.h"

#include <cstdint>

// 0 no shadows; 1 only instances whose shadow height offset is at most 0.1; other values all.
extern int32_t ShadowOption;
extern float ShadowHeight;
extern float ShadowAngle;
extern float LastShadowCameraHeight;
// Mesh slot whose first texture every shadow is drawn with; MESH_NONE or more: none.
extern int32_t ShadowTextureMesh;

// The plane's height for a camera eye height.
float ShadowHeightForCamera(float eyeHeight);
// Flattens `count` vertices as the shadow of an instance turned by `rotationY` about y.
void FlattenShadowVertices(ModelVertex* out, const ModelVertex* source, uint32_t count, float rotationY,
                           float heightOffset, float planeHeight);

struct ShadowPassContext {
    IDirect3DDevice8* Device = nullptr;
    const D3DCAPS8* Caps = nullptr;
    ModelInstance* Instances = nullptr;
    int InstanceCount = 0;
    XFileMesh* const* Meshes = nullptr;  // MESH_COUNT entries
    float CameraEyeHeight = 0.0f;
    int32_t* DrawCalls = nullptr;
    int32_t* Triangles = nullptr;
    // Set to 1 when the pass changed the blend mode (the render list's current blend).
    int32_t* CurrentBlend = nullptr;
};

// All shadows of the frame. Returns the number of shadows drawn.
int DrawInstanceShadows(const ShadowPassContext& context);
// The same over the application's device, instances, meshes and camera.
int DrawInstanceShadows();
// One shadow; true when it was drawn.
bool DrawInstanceShadow(const ShadowPassContext& context, ModelInstance& instance);
void FreeShadowScratch();
// Bytes of the scratch block now (for tests).
uint32_t ShadowScratchBytes();
