// Vertex-shader effects: the five shader programs under "shader\", loaded on every device
// restore and released before a reset, the morph effect that blends two key frames of a vertex
// animation on the device, and the per-frame advance of the animated models' frame clocks.
#pragma once

#include "fenwolt/Game/Engine/EngineTables.h"

#include <cstdint>

constexpr int SHADER_TABLE_SIZE = 10;
constexpr int LOADED_SHADER_COUNT = 5;
extern DWORD ShaderTable[SHADER_TABLE_SIZE];
// Shaders drawing render kind 1 (always off in this game; the scene drawing reads it).
extern bool VertexShaderLighting;

// The two vertex declarations: one ModelVertex stream (v0-v2), or two (v0-v2 and v3-v5).
extern const DWORD SingleStreamDeclaration[];
extern const DWORD TwoStreamDeclaration[];

// Files of the five table slots, in loading order.
extern const char* const ShaderFiles[LOADED_SHADER_COUNT];

// A missing shader file: the one failure that stops LoadShaders.
constexpr HRESULT SHADER_E_FILE_NOT_FOUND = (HRESULT)0x80070002;

// 1 when all five loaded; 0 when a missing file stopped the sequence or a program failed to
// assemble or to be created (the others are loaded all the same).
int LoadShaders(IDirect3DDevice8* device);
void ReleaseShaders(IDirect3DDevice8* device);
// kind 0 vertex shader, 1 pixel shader (the device offers no pixel shaders: fails). S_OK when
// the shader was created; SHADER_E_FILE_NOT_FOUND for a missing file; another failure code when
// the file could not be assembled or created.
HRESULT LoadVertexShader(IDirect3DDevice8* device, const char* file, const DWORD* declaration, DWORD usage, int kind,
                         DWORD* handle);
// The matrix transposed into four constant registers from `firstRegister` on.
void SetMatrixConstant(IDirect3DDevice8* device, DWORD firstRegister, const D3DMATRIX& m);

// The constants the morph effect reads: c0-c3 world x view x projection (transposed), c4 the
// key light towards the light in model space, c5 (1,1,1,0), c6 0.917, c7 0, c8 (t, 1-t, 0, 0).
struct MorphConstants {
    float c[9][4];
};
MorphConstants ComputeMorphConstants(const D3DMATRIX& world, const D3DMATRIX& view, const D3DMATRIX& projection,
                                     float blendWeight);

// Draws a model of render kind 2 and above with its shader (kinds 5 and 6 from the two key
// frames of its animation, 2 to 4 from the mesh's own vertex buffer); counts the draw call and
// triangles into the given counters. Nothing is drawn when the shader, a key-frame buffer or the
// mesh's buffers are missing, or when the animation's vertex count differs from the mesh's.
void RenderShaderModel(IDirect3DDevice8* device, const ModelInstance& instance, const XFileMesh* mesh,
                       const D3DMATRIX& view, const D3DMATRIX& projection, int32_t& drawCalls, int32_t& triangles);
// The same with the application's device, meshes, scene matrices and counters.
void RenderShaderModel(const ModelInstance& instance);

// Advances the frame clocks of every animating model by the application's frame time.
void AnimateMorphModels();
