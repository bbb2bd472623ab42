// Model instances: placed copies of the mesh table's meshes with a texture, a transform,
// bounds and flags. Indices run 0..2499; 2500 means none.
#pragma once

#include "fenwolt/Game/Engine/EngineTables.h"

// Flag bit of an instance that gives way to the camera's eye: it is left undrawn while it stands
// close in front of the eye, between the eye and what it looks at (Scene.h, EyeClearance).
constexpr uint32_t INSTANCE_FLAG_GIVES_WAY_TO_EYE = 32;

// The instance of an index, or null outside 0..2499 (or before the application object exists).
ModelInstance* InstanceAt(int index);

int CreateModelInstance(const char* meshFile, const char* textureFile, float x, float y, float z, float rx,
                        float ry, float rz, float scale);
int FindInstanceByName(const char* name);
int FindNthInstanceByName(const char* name, int n);
void SetModelFlag(ModelInstance* instance);
void SetInstanceVisible(int index, bool flag);
void ScaleInstanceBoundsByIndex(int index, float factor);
int FreeModelInstance(int index);
// Frees every instance and releases its device buffers (a screen switch).
void ReleaseAllInstances();
void ApplyInstanceWorldMatrix(ModelInstance& instance, bool keepHeight);
void ComputeInstanceWorldMatrix(int index, bool keepHeight);
bool SetInstanceSkinByIndex(int index, const char* textureFile);
void InitInstanceTransformByIndex(int index, int meshIndex, const char* meshFile);
void ComputeInstanceBoundingSphere(ModelInstance& instance, const XFileMesh& mesh);
void BuildInstanceBoxPoints(ModelInstance& instance);
void TransformInstanceBoxPoints(ModelInstance& instance);
// The world matrix of a placement: rotations z, x, y (row vectors), scale, translation.
void ComposeWorldMatrix(D3DMATRIX& out, const D3DVECTOR& rotation, const D3DVECTOR& scale,
                        const D3DVECTOR& translation);
// Hands the instance functions to the code that needs them through hooks (placement lists).
void InstallInstanceHooks();
