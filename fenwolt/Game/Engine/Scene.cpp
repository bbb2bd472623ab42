#include "fenwolt/Game/Engine/Scene.h"

#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Engine/Instances.h"
#include "fenwolt/Game/Engine/Lighting.h"
#include "fenwolt/Game/Engine/ShaderEffects.h"
#include "fenwolt/Game/Engine/Shadows.h"
#include "fenwolt/Game/Engine/Sprites.h"
#include "platform/d3dx8/d3dx8math.h"

#include <cmath>
#include <cstring>

D3DMATRIX ViewProjectionMatrix{};
FrustumPlane FrustumPlanes[6]{};
int32_t VisibleList[INSTANCE_COUNT];
int32_t VisibleCount = 0;
int32_t DrawList[INSTANCE_COUNT];
uint8_t DrawListFlags[INSTANCE_COUNT];
int32_t DrawCount = 0;
D3DVECTOR PreviousEye{0, 0, 0}, LastSortTarget{-5789.17f, 789.19f, -17789.17f};
bool CameraMoved = false;
int32_t InstanceLimit = INSTANCE_COUNT;
float EyeClearance = 0.f;

namespace {
constexpr float PI = 3.14159265358979f;
// Which slots the visible list holds now (so that each is listed once).
bool g_inVisibleList[INSTANCE_COUNT];
int32_t g_currentMesh = -1;
int32_t g_currentBlend = 0;

bool Same(const D3DVECTOR& a, const D3DVECTOR& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

float DistanceToEye(const ModelInstance& m)
{
    float dx = m.Position.x - CameraEye.x, dy = m.Position.y - CameraEye.y, dz = m.Position.z - CameraEye.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

bool WithinDrawDistance(const ModelInstance& m)
{
    return DistanceToEye(m) <= (m.Billboard ? 500.f : DrawDistance);
}

void FaceEye(ModelInstance& m)
{
    const float dx = m.Position.x - CameraEye.x, dz = m.Position.z - CameraEye.z;
    if (dx == 0.f && dz == 0.f) return;
    m.Rotation.x = 0.f;
    m.Rotation.z = 0.f;
    m.Rotation.y = dx <= 0.f ? -std::atan(dz / dx) - PI / 2.f : -std::atan(dz / dx) + PI / 2.f;
    m.MatrixValid = 0;
}

void AppendVisible(int index)
{
    if (g_inVisibleList[index] || VisibleCount >= INSTANCE_COUNT) return;
    VisibleList[VisibleCount++] = index;
    g_inVisibleList[index] = true;
}

// Leaves out of this frame's list the instances that give way to the eye. Every frame, since
// they move while the camera stands still and the camera moves past them while they stand.
void ClearTheEyesWay()
{
    if (!(EyeClearance > 0.f)) return;
    for (int k = 0; k < DrawCount; ++k) {
        const ModelInstance* m = InstanceAt(DrawList[k]);
        if (m && GivesWayToEye(*m, CameraEye, CameraTarget)) DrawListFlags[k] = 0;
    }
}

void SetBlend(int mode)
{
    SetBlendMode(TheApp.Device, TheApp.DeviceCaps, mode);
    g_currentBlend = mode;
}
}  // namespace

bool GivesWayToEye(const ModelInstance& m, const D3DVECTOR& eye, const D3DVECTOR& target)
{
    if (!(m.Flags & INSTANCE_FLAG_GIVES_WAY_TO_EYE) || !(EyeClearance > 0.f) || !m.MatrixValid) return false;
    // Its box as drawn: the mesh's box through the world matrix, as a sphere about its middle.
    D3DXVECTOR3 lo{1e30f, 1e30f, 1e30f}, hi{-1e30f, -1e30f, -1e30f};
    for (int c = 0; c < 8; ++c) {
        const D3DXVECTOR3 corner{c & 1 ? m.UnscaledBoxMax.x : m.UnscaledBoxMin.x,
                                 c & 2 ? m.UnscaledBoxMax.y : m.UnscaledBoxMin.y,
                                 c & 4 ? m.UnscaledBoxMax.z : m.UnscaledBoxMin.z};
        D3DXVECTOR3 w;
        D3DXVec3TransformCoord(&w, &corner, reinterpret_cast<const D3DXMATRIX*>(&m.WorldMatrix));
        D3DXVec3Minimize(&lo, &lo, &w);
        D3DXVec3Maximize(&hi, &hi, &w);
    }
    const D3DXVECTOR3 centre = (lo + hi) * 0.5f, half = (hi - lo) * 0.5f;
    const float radius = D3DXVec3Length(&half);
    // Standing over the point looked at, it is what the eye looks at (or carries it).
    const float reach = std::fmax(half.x, half.z);
    if (std::fabs(target.x - centre.x) <= half.x + reach && std::fabs(target.z - centre.z) <= half.z + reach)
        return false;
    D3DXVECTOR3 view{target.x - eye.x, target.y - eye.y, target.z - eye.z};
    const float far = D3DXVec3Length(&view);
    if (!(far > 0.f)) return false;
    view /= far;
    const D3DXVECTOR3 toCentre{centre.x - eye.x, centre.y - eye.y, centre.z - eye.z};
    const float depth = D3DXVec3Dot(&toCentre, &view);
    return depth + radius > 0.f && depth + radius < far && D3DXVec3Length(&toCentre) - radius < EyeClearance;
}

void ExtractFrustumPlanes(FrustumPlane* planes, const D3DMATRIX& m, bool normalise)
{
    const float c1[4] = {m._11, m._21, m._31, m._41};
    const float c2[4] = {m._12, m._22, m._32, m._42};
    const float c3[4] = {m._13, m._23, m._33, m._43};
    const float c4[4] = {m._14, m._24, m._34, m._44};
    auto make = [](const float* a, const float* b, float sign) {
        return FrustumPlane{a[0] + sign * b[0], a[1] + sign * b[1], a[2] + sign * b[2], a[3] + sign * b[3]};
    };
    planes[0] = make(c4, c1, 1.f);
    planes[1] = make(c4, c1, -1.f);
    planes[2] = make(c4, c2, -1.f);
    planes[3] = make(c4, c2, 1.f);
    planes[4] = FrustumPlane{c3[0], c3[1], c3[2], c3[3]};
    planes[5] = make(c4, c3, -1.f);
    if (!normalise) return;
    for (int i = 0; i < 6; ++i) {
        FrustumPlane& p = planes[i];
        float length = std::sqrt(p.a * p.a + p.b * p.b + p.c * p.c);
        if (length > 0.f) {
            p.a /= length;
            p.b /= length;
            p.c /= length;
            p.d /= length;
        }
    }
}

void ComputeFrustum()
{
    MatrixMultiply(ViewProjectionMatrix, TheApp.SceneMatrices[1], TheApp.SceneMatrices[2]);
    ExtractFrustumPlanes(FrustumPlanes, ViewProjectionMatrix, true);
}

void CullInstanceAgainstFrustum(int index)
{
    ModelInstance* m = InstanceAt(index);
    if (!m || !m->InUse) return;
    if (m->NeverCull) {
        m->Visible = 1;
        return;
    }
    m->Visible = 0;
    // The bounding radius is already scaled; twice of it is the margin.
    const float margin = 2.f * m->BoundingRadius;
    for (const FrustumPlane& p : FrustumPlanes) {
        float d = p.a * m->Position.x + p.b * m->Position.y + p.c * m->Position.z + p.d;
        if (d + margin < 0.f) return;
    }
    m->Visible = 1;
}

void AddToDrawList(int index)
{
    if (DrawCount >= INSTANCE_COUNT) return;
    DrawList[DrawCount] = index;
    DrawListFlags[DrawCount] = 1;
    ++DrawCount;
}

void ForceSceneRebuild() { LastSortTarget = D3DVECTOR{-5789.17f, 789.19f, -17789.17f}; }

int DrawScene()
{
    if (!ScreenReady || !TheAppConstructed()) return 1;
    DrawCount = 0;
    CameraMoved = !Same(CameraTarget, LastSortTarget) || !Same(CameraEye, PreviousEye);
    ComputeFrustum();
    if (CameraMoved) {
        PreviousEye = CameraEye;
        LastSortTarget = CameraTarget;
        VisibleCount = 0;
        std::memset(g_inVisibleList, 0, sizeof(g_inVisibleList));
        for (int i = 0; i < INSTANCE_COUNT; ++i) {
            ModelInstance& m = TheApp.InstanceTable[i];
            if (!m.InUse || !m.InScene) continue;
            CullInstanceAgainstFrustum(i);
            // The move is accounted for by this rebuild whatever its outcome.
            m.Moved = 0;
            if (m.Visible) {
                if (WithinDrawDistance(m)) {
                    AppendVisible(i);
                    if (m.Billboard) FaceEye(m);
                    if (!m.MatrixValid) ComputeInstanceWorldMatrix(i, false);
                    AddToDrawList(i);
                } else {
                    m.Visible = 0;
                }
            }
            if (!m.MatrixValid) ComputeInstanceWorldMatrix(i, false);
        }
    } else {
        const int limit = InstanceLimit < INSTANCE_COUNT ? InstanceLimit : INSTANCE_COUNT;
        for (int i = 0; i < limit; ++i) {
            ModelInstance& m = TheApp.InstanceTable[i];
            if (!m.InUse || !m.InScene || !m.Moved) continue;
            if (!g_inVisibleList[i]) {
                CullInstanceAgainstFrustum(i);
                if (m.Visible && !WithinDrawDistance(m)) m.Visible = 0;
                if (m.Visible) AppendVisible(i);
            }
            m.Moved = 0;
        }
        for (int k = 0; k < VisibleCount; ++k) {
            const int i = VisibleList[k];
            ModelInstance& m = TheApp.InstanceTable[i];
            // A freed or hidden instance stays listed until the next rebuild but is not drawn.
            if (!m.InUse || !m.InScene) continue;
            if (!m.MatrixValid) ComputeInstanceWorldMatrix(i, false);
            if (m.Visible) AddToDrawList(i);
        }
    }
    ClearTheEyesWay();
    DrawRenderList();
    DrawInstanceShadows();
    TheApp.SetSceneViewport(0);
    return 0;
}

void DrawRenderList()
{
    IDirect3DDevice8* device = TheApp.Device;
    if (!device) return;
    g_currentMesh = -1;
    SetBlend(BLEND_OPAQUE);
    for (int k = 0; k < DrawCount; ++k) {
        if (!DrawListFlags[k]) continue;
        ModelInstance* m = InstanceAt(DrawList[k]);
        if (!m || !m->InUse) continue;
        if (m->MeshIndex < 0 || m->MeshIndex >= MESH_COUNT || !TheApp.MeshTable[m->MeshIndex]) continue;
        XFileMesh* mesh = TheApp.MeshTable[m->MeshIndex];
        if (m->Translucent && g_currentBlend != BLEND_ALPHA) SetBlend(BLEND_ALPHA);
        if (!m->Translucent && g_currentBlend != BLEND_OPAQUE) SetBlend(BLEND_OPAQUE);
        // An instance without a texture is drawn untextured, not with the one before it.
        const bool hasTexture = m->TextureMeshIndex >= 0 && m->TextureMeshIndex < MESH_COUNT &&
                                TheApp.MeshTable[m->TextureMeshIndex];
        const int32_t wanted = hasTexture ? m->TextureMeshIndex : MESH_NONE;
        if (wanted != g_currentMesh) {
            device->SetTexture(0, hasTexture ? TheApp.MeshTable[wanted]->Texture0() : nullptr);
            g_currentMesh = wanted;
        }
        device->SetTransform(D3DTS_WORLD, &m->WorldMatrix);
        if (mesh->Materials && mesh->MaterialCount > 0) device->SetMaterial(&mesh->Materials[0]);
        m->LevelOfDetail = 0;
        DrawInstance(*m);
    }
    if (TheApp.DeviceCaps.MaxTextureBlendStages > 1) device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
}

void DrawInstance(ModelInstance& m)
{
    IDirect3DDevice8* device = TheApp.Device;
    if (!device || m.MeshIndex < 0 || m.MeshIndex >= MESH_COUNT) return;
    XFileMesh* mesh = TheApp.MeshTable[m.MeshIndex];
    if (!mesh) return;
    if (m.RenderKind == 0) {
        if (SUCCEEDED(mesh->DrawSubset0())) ++TheApp.DrawCallCount;
        return;
    }
    if (m.RenderKind == 1) {
        if (!mesh->VertexBuffer || !mesh->IndexBuffer) return;
        if (!VertexShaderLighting) {
            device->SetVertexShader(MODEL_VERTEX_FVF);
            device->SetStreamSource(0, mesh->VertexBuffer, sizeof(ModelVertex));
            device->SetIndices(mesh->IndexBuffer, 0);
            device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, (UINT)mesh->VertexCount, 0,
                                         (UINT)mesh->IndexCount / 3);
            ++TheApp.DrawCallCount;
            TheApp.TriangleCount += mesh->IndexCount / 3;
        } else {
            ModelInstance lit = m;
            lit.RenderKind = 3;
            RenderShaderModel(lit);
        }
        return;
    }
    RenderShaderModel(m);
}

void RenderEngineFrame()
{
    if (!TheAppConstructed() || !TheApp.Device) return;
    IDirect3DDevice8* device = TheApp.Device;
    TheApp.DrawCallCount = 0;
    TheApp.TriangleCount = 0;
    TheApp.SetSceneViewport(0);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, ClearColour, 1.f, 0);
    if (!ScreenReady) return;
    D3DXMATRIX projection, view;
    D3DXMatrixPerspectiveFovLH(&projection, FieldOfView, ProjectionAspect, NearPlane, FarPlane);
    TheApp.SceneMatrices[2] = projection;
    device->SetTransform(D3DTS_PROJECTION, &TheApp.SceneMatrices[2]);
    D3DXVECTOR3 eye(CameraEye.x, CameraEye.y, CameraEye.z);
    D3DXVECTOR3 at(CameraTarget.x, CameraTarget.y, CameraTarget.z);
    D3DXVECTOR3 up(CameraUp.x, CameraUp.y, CameraUp.z);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    TheApp.SceneMatrices[1] = view;
    device->SetTransform(D3DTS_VIEW, &TheApp.SceneMatrices[1]);
    if (FAILED(device->BeginScene())) return;
    if (SceneVisible) DrawScene();
    RunScreenRenderHandler();
    DrawVisibleSprites();
    device->EndScene();
}
