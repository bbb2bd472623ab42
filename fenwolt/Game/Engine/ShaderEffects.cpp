#include "fenwolt/Game/Engine/ShaderEffects.h"

#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Engine/Lighting.h"
#include "fenwolt/Game/Engine/VertexAnimation.h"
#include "fenwolt/common/Utilities.h"
#include "platform/d3dx8/d3dx8.h"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

DWORD ShaderTable[SHADER_TABLE_SIZE] = {};
bool VertexShaderLighting = false;

const DWORD SingleStreamDeclaration[] = {
    D3DVSD_STREAM(0),
    D3DVSD_REG(0, D3DVSDT_FLOAT3),
    D3DVSD_REG(1, D3DVSDT_FLOAT3),
    D3DVSD_REG(2, D3DVSDT_FLOAT2),
    D3DVSD_END(),
};

const DWORD TwoStreamDeclaration[] = {
    D3DVSD_STREAM(0),
    D3DVSD_REG(0, D3DVSDT_FLOAT3),
    D3DVSD_REG(1, D3DVSDT_FLOAT3),
    D3DVSD_REG(2, D3DVSDT_FLOAT2),
    D3DVSD_STREAM(1),
    D3DVSD_REG(3, D3DVSDT_FLOAT3),
    D3DVSD_REG(4, D3DVSDT_FLOAT3),
    D3DVSD_REG(5, D3DVSDT_FLOAT2),
    D3DVSD_END(),
};

const char* const ShaderFiles[LOADED_SHADER_COUNT] = {
    "shader\\membrane.nvv", "shader\\stand.nvv", "shader\\halo1.nvv", "shader\\morph.nvv", "shader\\fishm.nvv",
};

namespace {

constexpr DWORD kEndToken = 0x0000FFFF;

// A token stream from a file is used only when its end token lies inside the file: the device
// reads tokens until it meets one.
bool TokenStreamEndsInside(const DWORD* tokens, size_t count)
{
    if (count < 2 || (tokens[0] & 0xFFFF0000u) != 0xFFFE0000u) return false;
    for (size_t k = 1; k < count; ++k) {
        if (tokens[k] == kEndToken) return true;
        if ((tokens[k] & 0xFFFF) == 0xFFFE && !(tokens[k] & 0x80000000u)) k += (tokens[k] >> 16) & 0x7FFF;
    }
    return false;
}

HRESULT CreateFromTokens(IDirect3DDevice8* device, const DWORD* declaration, const DWORD* tokens, int kind,
                         DWORD usage, DWORD* handle)
{
    if (kind == 0) return device->CreateVertexShader(declaration, tokens, handle, usage);
    return device->CreatePixelShader(tokens, handle);
}

HRESULT LoadAssembled(IDirect3DDevice8* device, const char* file, HGLOBAL block, DWORD size, const DWORD* declaration,
                      DWORD usage, int kind, DWORD* handle)
{
    HRESULT hr = E_FAIL;
    const void* bytes = GlobalLock(block);
    if (!bytes) {
        DebugOutPair("Failed to allocate memory for Shader", file);
    } else {
        std::vector<DWORD> tokens(size / 4);
        if (!tokens.empty()) std::memcpy(tokens.data(), bytes, tokens.size() * 4);
        GlobalUnlock(block);
        if (size % 4 != 0 || !TokenStreamEndsInside(tokens.data(), tokens.size())) {
            DebugOutPair("Failed to create shader", file);
        } else {
            hr = CreateFromTokens(device, declaration, tokens.data(), kind, usage, handle);
            if (FAILED(hr)) DebugOutPair("Failed to create shader", file);
        }
    }
    return FAILED(hr) ? E_FAIL : S_OK;
}

HRESULT LoadSource(IDirect3DDevice8* device, const char* file, HGLOBAL block, DWORD size, const DWORD* declaration,
                   DWORD usage, int kind, DWORD* handle)
{
    HRESULT result = E_FAIL;
    const void* text = GlobalLock(block);
    ID3DXBuffer* code = nullptr;
    ID3DXBuffer* errors = nullptr;
    // The whole text: a last line without a line break is still part of the program.
    if (text && SUCCEEDED(D3DXAssembleShader(text, size, 0, nullptr, &code, &errors)) && code) {
        result = CreateFromTokens(device, declaration, static_cast<const DWORD*>(code->GetBufferPointer()), kind,
                                  usage, handle);
        if (FAILED(result)) DebugOutPair("Failed to create Shader", file);
    } else {
        DebugOutPair("Failed to assemble Shader", file);
        if (errors && errors->GetBufferPointer()) DebugOutLine(static_cast<const char*>(errors->GetBufferPointer()));
        result = D3DERR_INVALIDCALL;
    }
    if (code) code->Release();
    if (errors) errors->Release();
    if (text) GlobalUnlock(block);
    return result;
}

}  // namespace

HRESULT LoadVertexShader(IDirect3DDevice8* device, const char* file, const DWORD* declaration, DWORD usage, int kind,
                         DWORD* handle)
{
    if (!device || !file || !handle) return E_INVALIDARG;
    *handle = 0;
    DWORD size = 0;
    HGLOBAL block = ReadWholeFile(file, &size);
    if (!block) {
        DebugOutPair("Could not find Shader", file);
        return SHADER_E_FILE_NOT_FOUND;
    }
    HRESULT hr = std::strstr(file, ".vso") ? LoadAssembled(device, file, block, size, declaration, usage, kind, handle)
                                           : LoadSource(device, file, block, size, declaration, usage, kind, handle);
    GlobalFree(block);
    return hr;
}

int LoadShaders(IDirect3DDevice8* device)
{
    for (DWORD& h : ShaderTable) h = 0;
    int result = 1;
    for (int i = 0; i < LOADED_SHADER_COUNT; ++i) {
        const DWORD* declaration = i < 3 ? SingleStreamDeclaration : TwoStreamDeclaration;
        HRESULT hr = LoadVertexShader(device, ShaderFiles[i], declaration, 0, 0, &ShaderTable[i]);
        if (hr == SHADER_E_FILE_NOT_FOUND || hr == E_INVALIDARG) return 0;
        // A program that did not assemble or was refused leaves only its own slot empty.
        if (FAILED(hr)) {
            ShaderTable[i] = 0;
            result = 0;
        }
    }
    return result;
}

void ReleaseShaders(IDirect3DDevice8* device)
{
    for (DWORD& h : ShaderTable) {
        if (h && device) device->DeleteVertexShader(h);
        h = 0;
    }
}

void SetMatrixConstant(IDirect3DDevice8* device, DWORD firstRegister, const D3DMATRIX& m)
{
    D3DXMATRIX source(m), transposed;
    D3DXMatrixTranspose(&transposed, &source);
    device->SetVertexShaderConstant(firstRegister, &transposed, 4);
}

MorphConstants ComputeMorphConstants(const D3DMATRIX& world, const D3DMATRIX& view, const D3DMATRIX& projection,
                                     float t)
{
    MorphConstants k{};
    D3DXMATRIX w(world), v(view), p(projection), wv, wvp, transposed;
    D3DXMatrixMultiply(&wv, &w, &v);
    D3DXMatrixMultiply(&wvp, &wv, &p);
    D3DXMatrixTranspose(&transposed, &wvp);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) k.c[r][c] = transposed.m[r][c];

    // The light direction in the model's own space: through the inverse of the world matrix,
    // translation ignored. A world matrix without an inverse (scale 0) keeps the world direction.
    const D3DVECTOR d = KEY_LIGHT_DIRECTION;
    D3DXMATRIX inverse;
    float determinant = 0.0f;
    D3DXMATRIX worldX(world);
    const bool invertible = D3DXMatrixInverse(&inverse, &determinant, &worldX) != nullptr && determinant != 0.0f;
    if (!invertible) D3DXMatrixIdentity(&inverse);
    float lx = d.x * inverse._11 + d.y * inverse._21 + d.z * inverse._31;
    float ly = d.x * inverse._12 + d.y * inverse._22 + d.z * inverse._32;
    float lz = d.x * inverse._13 + d.y * inverse._23 + d.z * inverse._33;
    const float len = std::sqrt(lx * lx + ly * ly + lz * lz);
    if (len > 1e-12f) {
        lx /= len;
        ly /= len;
        lz /= len;
    }
    k.c[4][0] = -lx;
    k.c[4][1] = -ly;
    k.c[4][2] = -lz;
    k.c[4][3] = 0.0f;
    const float c5[4] = {1.f, 1.f, 1.f, 0.f}, c6[4] = {0.917f, 0.917f, 0.917f, 0.917f};
    std::memcpy(k.c[5], c5, sizeof c5);
    std::memcpy(k.c[6], c6, sizeof c6);
    k.c[8][0] = t;
    k.c[8][1] = 1.0f - t;
    return k;
}

void RenderShaderModel(IDirect3DDevice8* device, const ModelInstance& m, const XFileMesh* mesh, const D3DMATRIX& view,
                       const D3DMATRIX& projection, int32_t& drawCalls, int32_t& triangles)
{
    const int tableSlot = m.RenderKind - 2;
    if (!device || tableSlot < 0 || tableSlot >= SHADER_TABLE_SIZE || !ShaderTable[tableSlot]) return;
    if (!mesh || !mesh->IndexBuffer || mesh->VertexCount <= 0 || mesh->IndexCount < 3) return;
    // The two-stream effects (morph, fishm) blend two key frames of the current animation; the
    // single-stream ones draw the mesh's own vertices.
    const bool twoStreams = tableSlot == 3 || tableSlot == 4;
    IDirect3DVertexBuffer8* first = nullptr;
    IDirect3DVertexBuffer8* second = nullptr;
    float weight = 1.0f;
    if (twoStreams) {
        const int slot = m.AnimationSlot;
        // Both key frames must exist and match the mesh vertex for vertex: the mesh's indices
        // address them.
        if (slot < 0 || slot >= ANIMATION_SLOT_COUNT || AnimationStore[slot].VertexCount != (uint32_t)mesh->VertexCount)
            return;
        first = AnimationFrameBuffer(slot, m.AnimCurrentFrame[slot]);
        second = AnimationFrameBuffer(slot, m.AnimNextFrame[slot]);
        weight = m.AnimBlend[slot];
        if (!first || !second) return;
    } else {
        first = mesh->VertexBuffer;
        if (!first || tableSlot >= LOADED_SHADER_COUNT) return;
    }

    const MorphConstants k = ComputeMorphConstants(m.WorldMatrix, view, projection, weight);
    device->SetVertexShaderConstant(0, k.c[0], 4);
    device->SetVertexShaderConstant(4, k.c[4], 1);
    device->SetVertexShaderConstant(5, k.c[5], 1);
    device->SetVertexShaderConstant(6, k.c[6], 1);
    device->SetVertexShaderConstant(7, k.c[7], 1);
    device->SetVertexShaderConstant(8, k.c[8], 1);

    device->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 1);
    if (SUCCEEDED(device->SetVertexShader(ShaderTable[tableSlot]))) {
        device->SetStreamSource(0, first, sizeof(ModelVertex));
        if (second) device->SetStreamSource(1, second, sizeof(ModelVertex));
        device->SetIndices(mesh->IndexBuffer, 0);
        const UINT count = (UINT)mesh->IndexCount / 3;
        device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, (UINT)mesh->VertexCount, 0, count);
        ++drawCalls;
        triangles += (int32_t)count;
        // The second stream must not outlive the draw: the key frame could be freed under it.
        if (second) device->SetStreamSource(1, nullptr, 0);
    }
    device->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 0);
}

void RenderShaderModel(const ModelInstance& m)
{
    if (!TheAppConstructed() || !TheApp.Device) return;
    const XFileMesh* mesh = m.MeshIndex >= 0 && m.MeshIndex < MESH_COUNT ? TheApp.MeshTable[m.MeshIndex] : nullptr;
    RenderShaderModel(TheApp.Device, m, mesh, TheApp.SceneMatrices[1], TheApp.SceneMatrices[2], TheApp.DrawCallCount,
                      TheApp.TriangleCount);
}

void AnimateMorphModels()
{
    if (!TheAppConstructed()) return;
    StepInstanceAnimations(TheApp.ElapsedTime);
}
