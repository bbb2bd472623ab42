#include "fenwolt/Game/Engine/Shadows.h"

#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Engine/Lighting.h"
#include "fenwolt/Game/Engine/VertexAnimation.h"
#include "fenwolt/common/Utilities.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

int32_t ShadowOption = 2;
float ShadowHeight = 0.01f;
float ShadowAngle = 2.1f;
float LastShadowCameraHeight = 0.0f;
int32_t ShadowTextureMesh = MESH_NONE;

namespace {

ModelVertex* g_scratch = nullptr;
uint32_t g_scratchVertices = 0;

ModelVertex* Scratch(uint32_t vertices)
{
    if (vertices > g_scratchVertices) {
        void* grown = std::realloc(g_scratch, (size_t)vertices * sizeof(ModelVertex));
        if (!grown) return nullptr;
        g_scratch = static_cast<ModelVertex*>(grown);
        g_scratchVertices = vertices;
    }
    return g_scratch;
}

bool Casts(const ModelInstance& m)
{
    if (!m.InUse || !m.Visible || m.Kind == 1 || !m.CastsShadow) return false;
    return ShadowOption != 1 || m.ShadowHeightOffset <= 0.1f;
}

}  // namespace

float ShadowHeightForCamera(float eyeHeight)
{
    if (eyeHeight <= 420.0f) return 0.01f;
    if (eyeHeight <= 1000.0f) return (eyeHeight - 420.0f) / 580.0f * 3.0f + 0.01f;
    return 3.1f;
}

void FlattenShadowVertices(ModelVertex* out, const ModelVertex* source, uint32_t count, float rotationY,
                           float offset, float planeHeight)
{
    D3DMATRIX rotation;
    SetRotateYMatrix(rotation, rotationY);
    for (uint32_t i = 0; i < count; ++i) {
        out[i] = source[i];
        const float px = source[i].x, py = source[i].y, pz = source[i].z;
        const float rx = px * rotation._11 + py * rotation._21 + pz * rotation._31;
        const float ry = px * rotation._12 + py * rotation._22 + pz * rotation._32;
        const float rz = px * rotation._13 + py * rotation._23 + pz * rotation._33;
        out[i].x = rx - ry - offset;
        out[i].y = planeHeight;
        out[i].z = rz - ry - offset;
    }
}

bool DrawInstanceShadow(const ShadowPassContext& c, ModelInstance& m)
{
    IDirect3DDevice8* device = c.Device;
    if (!device || !c.Meshes || m.MeshIndex < 0 || m.MeshIndex >= MESH_COUNT) return false;
    const XFileMesh* mesh = c.Meshes[m.MeshIndex];
    // A mesh without its own vertices and index buffer has nothing to flatten or to draw with.
    if (!mesh || !mesh->Vertices || mesh->VertexCount <= 0 || !mesh->IndexBuffer || mesh->IndexCount < 3) return false;
    const uint32_t vertexCount = (uint32_t)mesh->VertexCount;

    D3DMATRIX rotation, scale, translation, rs, world;
    SetRotateYMatrix(rotation, -ShadowAngle);
    SetIdentityMatrix(scale);
    scale._11 = scale._22 = scale._33 = m.ShadowScale;
    SetIdentityMatrix(translation);
    translation._41 = m.ShadowPosition.x;
    translation._42 = m.ShadowPosition.y;
    translation._43 = m.ShadowPosition.z;
    MatrixMultiply(rs, rotation, scale);
    MatrixMultiply(world, rs, translation);
    device->SetTransform(D3DTS_WORLD, &world);

    const UINT bytes = vertexCount * (UINT)sizeof(ModelVertex);
    IDirect3DVertexBuffer8*& buffer = m.DeviceBuffers[1];
    if (!buffer) {
        if (FAILED(device->CreateVertexBuffer(bytes, D3DUSAGE_WRITEONLY, MODEL_VERTEX_FVF, D3DPOOL_MANAGED, &buffer)) ||
            !buffer) {
            buffer = nullptr;
            return false;
        }
        // A new buffer holds nothing yet: fill it now whatever the flag says.
        m.ShadowDirty = 1;
    }
    if (m.ShadowDirty) {
        const ModelVertex* source = mesh->Vertices;
        if (m.RenderKind == RENDER_KIND_MORPH && m.AnimationSlot >= 0 && m.AnimationSlot < ANIMATION_SLOT_COUNT &&
            AnimationStore[m.AnimationSlot].VertexCount == vertexCount) {
            const ModelVertex* frame =
                AnimationFrameVertices(m.AnimationSlot, m.AnimCurrentFrame[m.AnimationSlot]);
            if (frame) source = frame;
        }
        ModelVertex* flat = Scratch(vertexCount);
        if (!flat) return false;
        FlattenShadowVertices(flat, source, vertexCount, m.Rotation.y + ShadowAngle, m.ShadowHeightOffset,
                              ShadowHeight);
        BYTE* dst = nullptr;
        if (FAILED(buffer->Lock(0, bytes, &dst, 0)) || !dst) return false;
        std::memcpy(dst, flat, bytes);
        buffer->Unlock();
        m.ShadowDirty = 0;
    }
    device->SetVertexShader(MODEL_VERTEX_FVF);
    device->SetStreamSource(0, buffer, sizeof(ModelVertex));
    device->SetIndices(mesh->IndexBuffer, 0);
    const UINT triangles = (UINT)mesh->IndexCount / 3;
    device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, vertexCount, 0, triangles);
    if (c.DrawCalls) ++*c.DrawCalls;
    if (c.Triangles) *c.Triangles += (int32_t)triangles;
    return true;
}

int DrawInstanceShadows(const ShadowPassContext& c)
{
    if (ShadowOption == 0 || !c.Device || !c.Instances) return 0;
    IDirect3DDevice8* device = c.Device;
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    device->SetRenderState(D3DRS_ZBIAS, 15);
    const float eyeHeight = c.CameraEyeHeight;
    ShadowHeight = ShadowHeightForCamera(eyeHeight);
    bool rebuild = false;
    if (eyeHeight != LastShadowCameraHeight && eyeHeight > 420.0f && eyeHeight < 1000.0f) {
        LastShadowCameraHeight = eyeHeight;
        rebuild = true;
    }
    int drawn = 0;
    bool prepared = false;
    for (int i = 0; i < c.InstanceCount; ++i) {
        ModelInstance& m = c.Instances[i];
        if (!Casts(m)) continue;
        if (rebuild) m.ShadowDirty = 1;
        m.ShadowPosition = D3DVECTOR{m.Position.x, ShadowHeight, m.Position.z};
        if (!prepared) {
            prepared = true;
            // Every shadow gets the shadow texture, or none: never whatever the last model left.
            IDirect3DTexture8* texture = nullptr;
            if (c.Meshes && ShadowTextureMesh >= 0 && ShadowTextureMesh < MESH_COUNT && c.Meshes[ShadowTextureMesh])
                texture = c.Meshes[ShadowTextureMesh]->Texture0();
            device->SetTexture(0, texture);
            static const D3DCAPS8 kNoCaps{};
            SetBlendMode(device, c.Caps ? *c.Caps : kNoCaps, BLEND_ALPHA);
            if (c.CurrentBlend) *c.CurrentBlend = BLEND_ALPHA;
        }
        if (DrawInstanceShadow(c, m)) ++drawn;
    }
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    device->SetRenderState(D3DRS_ZBIAS, 0);
    return drawn;
}

int DrawInstanceShadows()
{
    if (!TheAppConstructed() || !TheApp.Device) return 0;
    ShadowPassContext c;
    c.Device = TheApp.Device;
    c.Caps = &TheApp.DeviceCaps;
    c.Instances = TheApp.InstanceTable;
    c.InstanceCount = INSTANCE_COUNT;
    c.Meshes = TheApp.MeshTable;
    c.CameraEyeHeight = CameraEye.y;
    c.DrawCalls = &TheApp.DrawCallCount;
    c.Triangles = &TheApp.TriangleCount;
    return DrawInstanceShadows(c);
}

void FreeShadowScratch()
{
    std::free(g_scratch);
    g_scratch = nullptr;
    g_scratchVertices = 0;
}

uint32_t ShadowScratchBytes() { return g_scratchVertices * (uint32_t)sizeof(ModelVertex); }
