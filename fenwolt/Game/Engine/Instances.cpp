#include "fenwolt/Game/Engine/Instances.h"

#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Engine/PlacementLists.h"
#include "fenwolt/common/Utilities.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

ModelInstance* InstanceAt(int index)
{
    if (index < 0 || index >= INSTANCE_COUNT || !TheAppConstructed()) return nullptr;
    return &TheApp.InstanceTable[index];
}

void ComposeWorldMatrix(D3DMATRIX& out, const D3DVECTOR& rotation, const D3DVECTOR& scale,
                        const D3DVECTOR& translation)
{
    D3DMATRIX m, r;
    SetIdentityMatrix(m);
    if (rotation.x != 0.f || rotation.z != 0.f) {
        SetRotateZMatrix(r, rotation.z);
        MatrixMultiply(m, m, r);
        SetRotateXMatrix(r, rotation.x);
        MatrixMultiply(m, m, r);
    }
    if (rotation.x != 0.f || rotation.y != 0.f || rotation.z != 0.f) {
        SetRotateYMatrix(r, rotation.y);
        MatrixMultiply(m, m, r);
    }
    SetIdentityMatrix(r);
    r._11 = scale.x;
    r._22 = scale.y;
    r._33 = scale.z;
    MatrixMultiply(m, m, r);
    SetIdentityMatrix(r);
    r._41 = translation.x;
    r._42 = translation.y;
    r._43 = translation.z;
    MatrixMultiply(out, m, r);
}

void ApplyInstanceWorldMatrix(ModelInstance& instance, bool keepHeight)
{
    IDirect3DDevice8* device = TheAppConstructed() ? TheApp.Device : nullptr;
    if (!instance.MatrixValid) {
        D3DVECTOR t = instance.Position;
        if (!(instance.Flags & 8)) {
            t.x -= instance.BoundingCentre.x;
            t.z -= instance.BoundingCentre.z;
        }
        if (!keepHeight) t.y -= instance.GroundOffset * instance.Scale.y;
        ComposeWorldMatrix(instance.WorldMatrix, instance.Rotation, instance.Scale, t);
        instance.MatrixValid = 1;
    }
    if (device) device->SetTransform(D3DTS_WORLD, &instance.WorldMatrix);
}

void ComputeInstanceWorldMatrix(int index, bool keepHeight)
{
    ModelInstance* instance = InstanceAt(index);
    if (!instance) return;
    D3DVECTOR t = instance->Position;
    if (!(instance->Flags & 8)) {
        t.x -= instance->BoundingCentre.x;
        t.z -= instance->BoundingCentre.z;
    }
    if (!keepHeight) t.y -= instance->GroundOffset * instance->Scale.y;
    ComposeWorldMatrix(instance->WorldMatrix, instance->Rotation, instance->Scale, t);
    instance->MatrixValid = 1;
}

bool SetInstanceSkinByIndex(int index, const char* textureFile)
{
    ModelInstance* instance = InstanceAt(index);
    if (!instance || !textureFile || !textureFile[0]) return false;
    int mesh = TheApp.FindMeshByName(textureFile);
    instance->TextureMeshIndex = mesh;
    std::snprintf(instance->TextureFile, sizeof(instance->TextureFile), "%s", textureFile);
    return mesh < MESH_NONE;
}

void InitInstanceTransformByIndex(int index, int meshIndex, const char* meshFile)
{
    ModelInstance* instance = InstanceAt(index);
    if (!instance) return;
    // A fresh record: every field drawing reads starts from its creation value.
    instance->ReleaseDeviceBuffers();
    *instance = ModelInstance{};
    instance->Kind = 0;
    instance->MeshIndex = meshIndex;
    std::snprintf(instance->Name, sizeof(instance->Name), "%s", meshFile ? meshFile : "");
    instance->Visible = 1;
    instance->InUse = 1;
    instance->Id = -1;
}

void ComputeInstanceBoundingSphere(ModelInstance& instance, const XFileMesh& mesh)
{
    D3DVECTOR centre{0, 0, 0};
    float radius = 0.f;
    int named = 0;
    for (int i = 0; i < mesh.IndexCount && mesh.Indices; ++i) {
        int v = mesh.Indices[i];
        if (v >= mesh.VertexCount) continue;
        centre.x += mesh.Vertices[v].x;
        centre.y += mesh.Vertices[v].y;
        centre.z += mesh.Vertices[v].z;
        ++named;
    }
    if (named > 0) {
        centre.x /= (float)named;
        centre.y /= (float)named;
        centre.z /= (float)named;
    }
    for (float* c : {&centre.x, &centre.y, &centre.z})
        if (std::fabs(*c) < 0.000001f) *c = 0.f;
    for (int i = 0; i < mesh.IndexCount && mesh.Indices; ++i) {
        int v = mesh.Indices[i];
        if (v >= mesh.VertexCount) continue;
        float dx = mesh.Vertices[v].x - centre.x, dy = mesh.Vertices[v].y - centre.y, dz = mesh.Vertices[v].z - centre.z;
        radius = std::max(radius, std::sqrt(dx * dx + dy * dy + dz * dz));
    }
    float dx = instance.BoxMax.x - instance.BoxMin.x, dy = instance.BoxMax.y - instance.BoxMin.y,
          dz = instance.BoxMax.z - instance.BoxMin.z;
    instance.BoundingRadius = std::max(radius, std::sqrt(dx * dx + dy * dy + dz * dz) / 2.f);
    instance.BoundingCentre = D3DVECTOR{0.f, centre.y, 0.f};
}

void BuildInstanceBoxPoints(ModelInstance& instance)
{
    const D3DVECTOR& lo = instance.UnscaledBoxMin;
    const D3DVECTOR& hi = instance.UnscaledBoxMax;
    const float x0 = lo.x, y0 = lo.y, z0 = lo.z, x1 = hi.x, y1 = hi.y, z1 = hi.z;
    const float xm = x0 + (x1 - x0) / 2.f, zm = z0 + (z1 - z0) / 2.f;
    const D3DVECTOR points[12] = {
        {x0, y1, zm}, {x0, y0, z0}, {x0, y0, z1},  // x minimum
        {xm, y1, z1}, {x0, y0, z1}, {x1, y0, z1},  // z maximum
        {x1, y1, zm}, {x1, y0, z1}, {x1, y0, z0},  // x maximum
        {xm, y1, z0}, {x1, y0, z0}, {x0, y0, z0},  // z minimum
    };
    std::copy(points, points + 12, instance.BoxPoints[0]);
}

void TransformInstanceBoxPoints(ModelInstance& instance)
{
    for (int i = 0; i < 12; ++i) {
        D3DVECTOR out = instance.BoxPoints[0][i];
        if (FAILED(VectorMatrixMultiply(out, instance.BoxPoints[0][i], instance.WorldMatrix)))
            out = instance.BoxPoints[0][i];
        if (out.y < 0.f) out.y = 0.f;
        instance.BoxPoints[1][i] = out;
    }
}

void ScaleInstanceBoundsByIndex(int index, float factor)
{
    ModelInstance* instance = InstanceAt(index);
    if (!instance) return;
    const D3DVECTOR& lo = instance->UnscaledBoxMin;
    const D3DVECTOR& hi = instance->UnscaledBoxMax;
    instance->BoxMin = D3DVECTOR{lo.x * factor, lo.y * factor, lo.z * factor};
    instance->BoxMax = D3DVECTOR{hi.x * factor, hi.y * factor, hi.z * factor};
    instance->BoundingCentre.x *= factor;
    instance->BoundingCentre.y *= factor;
    instance->BoundingCentre.z *= factor;
    instance->BoundingRadius *= factor;
    instance->GroundOffset *= factor;
}

int CreateModelInstance(const char* meshFile, const char* textureFile, float x, float y, float z, float rx,
                        float ry, float rz, float scale)
{
    if (!TheAppConstructed() || !meshFile) return INSTANCE_NONE;
    char texture[260] = {};
    std::snprintf(texture, sizeof(texture), "%s", textureFile ? textureFile : "");
    GameApp::ApplyTextureQualityRule(texture, sizeof(texture));
    int slot = 0;
    while (slot < INSTANCE_COUNT && TheApp.InstanceTable[slot].InUse) ++slot;
    if (slot >= INSTANCE_COUNT) {
        DebugOutLine("MAX MODELS REACHED!!!");
        return INSTANCE_NONE;
    }
    const int meshIndex = TheApp.FindMeshByName(meshFile);
    if (meshIndex < 0 || meshIndex >= MESH_COUNT || !TheApp.MeshTable[meshIndex]) return INSTANCE_NONE;
    const XFileMesh& mesh = *TheApp.MeshTable[meshIndex];

    InitInstanceTransformByIndex(slot, meshIndex, meshFile);
    ModelInstance& m = TheApp.InstanceTable[slot];
    SetInstanceSkinByIndex(slot, texture);
    m.Position = D3DVECTOR{x, y, z};
    m.Rotation = D3DVECTOR{rx, ry, rz};
    m.Scale = D3DVECTOR{scale, scale, scale};
    m.Flags = 1;

    m.BoxMin = D3DVECTOR{1000.f, 1000.f, 1000.f};
    m.BoxMax = D3DVECTOR{0.f, 0.f, 0.f};
    for (int i = 0; i < mesh.VertexCount && mesh.Vertices; ++i) {
        const ModelVertex& v = mesh.Vertices[i];
        m.BoxMin.x = std::min(m.BoxMin.x, v.x);
        m.BoxMax.x = std::max(m.BoxMax.x, v.x);
        m.BoxMin.z = std::min(m.BoxMin.z, v.z);
        m.BoxMax.z = std::max(m.BoxMax.z, v.z);
        if (v.y >= 0.f) {
            m.BoxMin.y = std::min(m.BoxMin.y, v.y);
            m.BoxMax.y = std::max(m.BoxMax.y, v.y);
        }
    }
    m.UnscaledBoxMin = m.BoxMin;
    m.UnscaledBoxMax = m.BoxMax;
    ComputeInstanceBoundingSphere(m, mesh);
    ScaleInstanceBoundsByIndex(slot, scale);
    m.Id = slot;
    for (auto& u : m.UserValues) u = -1;
    m.RenderKind = mesh.BuffersBuilt && mesh.VertexBuffer ? 1 : 0;
    m.LevelOfDetail = 0;
    BuildInstanceBoxPoints(m);
    m.MatrixValid = 0;
    ApplyInstanceWorldMatrix(m, false);
    TransformInstanceBoxPoints(m);
    m.ShadowScale = scale;
    m.CreationPosition = m.Position;
    m.Billboard = 0;
    m.InScene = 1;
    m.ExtraFlags[0] = 0;
    m.ExtraFlags[1] = 1;
    m.ExtraFlags[2] = 0;
    // A new instance takes part in the next frame's visibility even while the camera stands.
    m.Moved = 1;
    return slot;
}

int FindNthInstanceByName(const char* name, int n)
{
    if (!name || !TheAppConstructed()) return INSTANCE_NONE;
    int seen = 0;
    for (int i = 0; i < INSTANCE_COUNT; ++i) {
        const ModelInstance& m = TheApp.InstanceTable[i];
        if (m.InUse && std::strcmp(m.Name, name) == 0 && ++seen >= n) return i;
    }
    return INSTANCE_NONE;
}

int FindInstanceByName(const char* name) { return FindNthInstanceByName(name, 1); }

void SetModelFlag(ModelInstance* instance)
{
    if (instance) instance->Visible = 1;
}

void SetInstanceVisible(int index, bool flag)
{
    ModelInstance* instance = InstanceAt(index);
    if (!instance) return;
    instance->InScene = flag ? 1 : 0;
    instance->Visible = flag ? 1 : 0;
    // Shown while the camera stands still, it must still reach the visible list.
    if (flag) instance->Moved = 1;
}

int FreeModelInstance(int index)
{
    ModelInstance* instance = InstanceAt(index);
    if (!instance) return 0;
    instance->InUse = 0;
    instance->Kind = 0;
    instance->ReleaseDeviceBuffers();
    return 1;
}

void ReleaseAllInstances()
{
    if (!TheAppConstructed()) return;
    for (auto& instance : TheApp.InstanceTable) {
        instance.InUse = 0;
        instance.ReleaseDeviceBuffers();
    }
}

void InstallInstanceHooks()
{
    PlacementInstanceHooks hooks;
    hooks.Create = CreateModelInstance;
    hooks.Free = FreeModelInstance;
    SetPlacementInstanceHooks(hooks);
}
