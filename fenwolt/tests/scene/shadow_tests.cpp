#include "fenwolt/Game/Engine/Lighting.h"
#include "fenwolt/Game/Engine/Shadows.h"
#include "fenwolt/Game/Engine/VertexAnimation.h"
#include "platform/d3dx8/d3dx8.h"
#include "scene_test_support.h"

#include <cmath>

namespace {

TEST(ShadowPlane, HeightFollowsTheCamera)
{
    EXPECT_FLOAT_EQ(ShadowHeightForCamera(100.f), 0.01f);
    EXPECT_FLOAT_EQ(ShadowHeightForCamera(420.f), 0.01f);
    EXPECT_NEAR(ShadowHeightForCamera(710.f), 1.51f, 1e-5);
    EXPECT_NEAR(ShadowHeightForCamera(1000.f), 3.01f, 1e-5);
    EXPECT_FLOAT_EQ(ShadowHeightForCamera(1000.5f), 3.1f);
}

TEST(ShadowPlane, VerticesAreTurnedThenFlattenedAlongTheDiagonal)
{
    const ModelVertex in[2] = {{0.f, 10.f, 0.f, 0.f, 1.f, 0.f, 0.3f, 0.7f}, {2.f, 1.f, 0.f, 1.f, 0.f, 0.f, 0.f, 0.f}};
    ModelVertex out[2];
    FlattenShadowVertices(out, in, 2, 0.f, 0.5f, 0.25f);
    EXPECT_FLOAT_EQ(out[0].x, -10.5f);
    EXPECT_FLOAT_EQ(out[0].z, -10.5f);
    EXPECT_FLOAT_EQ(out[0].y, 0.25f);
    EXPECT_FLOAT_EQ(out[0].ny, 1.f);
    EXPECT_FLOAT_EQ(out[0].tu, 0.3f);
    EXPECT_FLOAT_EQ(out[0].tv, 0.7f);
    // A quarter turn about y (row vectors): (2, 1, 0) becomes (0, 1, -2).
    FlattenShadowVertices(out, in, 2, 3.14159265f / 2.f, 0.f, 0.f);
    EXPECT_NEAR(out[1].x, 0.f - 1.f, 1e-5);
    EXPECT_NEAR(out[1].z, -2.f - 1.f, 1e-5);
}

// A box mesh of 8 vertices and 12 triangles standing on y = 0.
class ShadowPassTest : public SceneDeviceTest {
protected:
    void SetUp() override
    {
        SceneDeviceTest::SetUp();
        if (HasFatalFailure()) return;
        meshes.assign(MESH_COUNT, nullptr);
        box = new XFileMesh("box.x");
        box->VertexCount = 8;
        box->Vertices = new ModelVertex[8];
        for (int i = 0; i < 8; ++i)
            box->Vertices[i] = ModelVertex{(i & 1) ? 5.f : -5.f, (i & 2) ? 20.f : 0.f, (i & 4) ? 5.f : -5.f, 0.f, 1.f,
                                           0.f, 0.f, 0.f};
        const uint16_t faces[36] = {0, 1, 3, 0, 3, 2, 4, 6, 7, 4, 7, 5, 0, 4, 5, 0, 5, 1,
                                    2, 3, 7, 2, 7, 6, 0, 2, 6, 0, 6, 4, 1, 5, 7, 1, 7, 3};
        box->IndexCount = 36;
        box->Indices = new uint16_t[36];
        std::memcpy(box->Indices, faces, sizeof faces);
        ASSERT_EQ(BuildMeshBuffers(device, box, false), S_OK);
        meshes[1] = box;
        for (int i = 0; i < 4; ++i) {
            ModelInstance& m = instances[i];
            m.InUse = 1;
            m.Visible = 1;
            m.CastsShadow = 1;
            m.MeshIndex = 1;
            m.ShadowScale = 1.f;
            m.Position = D3DVECTOR{0.f, 0.f, 0.f};
        }
        ShadowOption = 2;
        ShadowTextureMesh = MESH_NONE;
        LastShadowCameraHeight = 0.f;
        BlendModeCache = BLEND_OPAQUE;
        context.Device = device;
        context.Caps = &caps;
        context.Instances = instances;
        context.InstanceCount = 4;
        context.Meshes = meshes.data();
        context.CameraEyeHeight = 300.f;
        context.DrawCalls = &drawCalls;
        context.Triangles = &triangles;
        context.CurrentBlend = &currentBlend;
    }
    void TearDown() override
    {
        for (auto& m : instances) m.ReleaseDeviceBuffers();
        delete box;
        FreeShadowScratch();
        FreeAllAnimations();
        SceneDeviceTest::TearDown();
    }
    // The flattened vertices now in an instance's shadow buffer.
    std::vector<ModelVertex> ShadowVertices(ModelInstance& m)
    {
        std::vector<ModelVertex> v;
        IDirect3DVertexBuffer8* b = m.DeviceBuffers[1];
        BYTE* p = nullptr;
        if (!b || FAILED(b->Lock(0, 0, &p, D3DLOCK_READONLY)) || !p) return v;
        v.assign(reinterpret_cast<ModelVertex*>(p), reinterpret_cast<ModelVertex*>(p) + 8);
        b->Unlock();
        return v;
    }
    // Looks straight down at the pitch around the origin.
    void TopView()
    {
        D3DXMATRIX view, projection;
        D3DXVECTOR3 eye(0.f, 100.f, 0.f), at(0.f, 0.f, 0.f), up(0.f, 0.f, 1.f);
        D3DXMatrixLookAtLH(&view, &eye, &at, &up);
        D3DXMatrixPerspectiveFovLH(&projection, 3.14159265f / 2.f, 800.f / 600.f, 1.f, 1000.f);
        device->SetTransform(D3DTS_VIEW, &view);
        device->SetTransform(D3DTS_PROJECTION, &projection);
        D3DMATERIAL8 black{};
        black.Diffuse.a = 1.f;
        device->SetMaterial(&black);
        device->SetRenderState(D3DRS_LIGHTING, TRUE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
        device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    }
    int Pass()
    {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFFFFFFFF, 1.0f, 0);
        device->BeginScene();
        const int n = DrawInstanceShadows(context);
        device->EndScene();
        return n;
    }
    std::vector<XFileMesh*> meshes;
    XFileMesh* box = nullptr;
    ModelInstance instances[4];
    ShadowPassContext context;
    int32_t drawCalls = 0, triangles = 0, currentBlend = 0;
};

TEST_F(ShadowPassTest, WhichInstancesCastUnderEachOption)
{
    instances[1].Kind = 1;                   // never casts
    instances[2].ShadowHeightOffset = 0.5f;  // a ball in the air
    instances[3].Visible = 0;
    EXPECT_EQ(Pass(), 2);
    EXPECT_EQ(drawCalls, 2);
    EXPECT_EQ(triangles, 24) << "index count / 3 per shadow, not vertex count / 3";
    EXPECT_EQ(currentBlend, BLEND_ALPHA);
    ShadowOption = 1;
    drawCalls = 0;
    EXPECT_EQ(Pass(), 1);
    ShadowOption = 0;
    EXPECT_EQ(Pass(), 0);
    DWORD zwrite = 0, bias = 9;
    device->GetRenderState(D3DRS_ZWRITEENABLE, &zwrite);
    device->GetRenderState(D3DRS_ZBIAS, &bias);
    EXPECT_EQ(zwrite, (DWORD)TRUE);
    EXPECT_EQ(bias, 0u);
}

TEST_F(ShadowPassTest, ANewShadowIsFilledBeforeItIsFirstDrawn)
{
    TopView();
    context.InstanceCount = 1;
    instances[0].ShadowDirty = 0;  // placed by code that did not mark it
    ASSERT_EQ(Pass(), 1);
    SaveFrame("shadow_box.png");
    // The box's top (height 20) falls 20 units towards -x and -z: the shadow reaches from
    // (-25, -25) to (5, 5), and the ground at (15, 15) stays lit.
    const std::vector<ModelVertex> v = ShadowVertices(instances[0]);
    ASSERT_EQ(v.size(), 8u);
    EXPECT_FLOAT_EQ(v[0].y, 0.01f);
    EXPECT_EQ(instances[0].ShadowDirty, 0);
    int w = 0, h = 0, dark = 0, light = 0;
    const std::vector<uint8_t> rgb = Frame(w, h);
    ASSERT_EQ((int)rgb.size(), 800 * 600 * 3);
    for (size_t i = 0; i < rgb.size(); i += 3) (rgb[i] + rgb[i + 1] + rgb[i + 2] < 60 ? dark : light)++;
    EXPECT_GT(dark, 2000);
    EXPECT_GT(light, dark);
}

TEST_F(ShadowPassTest, CachedShadowsChangeOnlyWhenMarkedOrTheCameraClimbs)
{
    context.InstanceCount = 1;
    context.CameraEyeHeight = 600.f;
    Pass();
    const float firstX = ShadowVertices(instances[0])[2].x;
    // Turning the model does nothing until someone marks the shadow.
    instances[0].Rotation.y = 1.0f;
    Pass();  // same height: a sideways move
    EXPECT_FLOAT_EQ(ShadowVertices(instances[0])[2].x, firstX);
    context.CameraEyeHeight = 710.f;
    Pass();
    EXPECT_NE(ShadowVertices(instances[0])[2].x, firstX);
    EXPECT_NEAR(ShadowVertices(instances[0])[2].y, 1.51f, 1e-5);
    EXPECT_NEAR(instances[0].ShadowPosition.y, 1.51f, 1e-5);
    instances[0].Rotation.y = 0.f;
    instances[0].ShadowDirty = 1;
    Pass();
    EXPECT_FLOAT_EQ(ShadowVertices(instances[0])[2].x, firstX);
}

TEST_F(ShadowPassTest, NoShadowTextureMeansNoTextureNotTheLastOne)
{
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture), D3D_OK);
    device->SetTexture(0, texture);
    ShadowTextureMesh = MESH_NONE;
    Pass();
    IDirect3DBaseTexture8* bound = reinterpret_cast<IDirect3DBaseTexture8*>(1);
    device->GetTexture(0, &bound);
    EXPECT_EQ(bound, nullptr);
    if (bound) bound->Release();
    texture->Release();
}

TEST_F(ShadowPassTest, CastersWithoutGeometryAreSkipped)
{
    XFileMesh bare("bare.x");  // no vertices, no index buffer
    meshes[2] = &bare;
    instances[0].MeshIndex = 2;
    instances[1].MeshIndex = 999;  // empty slot
    instances[2].MeshIndex = -3;
    EXPECT_EQ(Pass(), 1);
    EXPECT_EQ(triangles, 12);
    meshes[2] = nullptr;
}

TEST_F(ShadowPassTest, AnimatedCastersUseTheirCurrentFrameWhenItFits)
{
    AnxFile anx;
    anx.VertexCount = 8;
    anx.Durations = {1, 1};
    for (int f = 0; f < 2; ++f) {
        std::vector<float> p;
        for (int v = 0; v < 8; ++v) {
            p.push_back(100.f * (f + 1));
            p.push_back(0.f);
            p.push_back(0.f);
        }
        anx.Frames.push_back(p);
    }
    const std::vector<uint8_t> bytes = anx.Bytes();
    ASSERT_EQ(LoadAnimationData(nullptr, bytes.data(), bytes.size(), box->Vertices, 8, 4, "a"), 1);
    context.InstanceCount = 1;
    ModelInstance& m = instances[0];
    m.RenderKind = RENDER_KIND_MORPH;
    m.AnimationSlot = 4;
    m.AnimCurrentFrame[4] = 1;
    Pass();
    ModelVertex expected[8];
    FlattenShadowVertices(expected, AnimationFrameVertices(4, 1), 8, ShadowAngle, 0.f, ShadowHeight);
    EXPECT_FLOAT_EQ(ShadowVertices(m)[3].x, expected[3].x);
    EXPECT_NEAR(expected[3].x, 200.f * std::cos(ShadowAngle), 1e-3);
    // An animation made for another mesh is not used.
    ASSERT_EQ(LoadAnimationData(nullptr, bytes.data(), bytes.size() - 12 * 8 * 2 + 12 * 2, box->Vertices, 8, 4, "b"),
              0);
    AnxFile small = anx;
    small.VertexCount = 2;
    for (auto& f : small.Frames) f.resize(6);
    const std::vector<uint8_t> smallBytes = small.Bytes();
    ASSERT_EQ(LoadAnimationData(nullptr, smallBytes.data(), smallBytes.size(), box->Vertices, 8, 4, "c"), 1);
    m.ShadowDirty = 1;
    Pass();
    FlattenShadowVertices(expected, box->Vertices, 8, ShadowAngle, 0.f, ShadowHeight);
    EXPECT_FLOAT_EQ(ShadowVertices(m)[3].x, expected[3].x);
    EXPECT_EQ(ShadowScratchBytes(), 8u * 32u);
    FreeShadowScratch();
    EXPECT_EQ(ShadowScratchBytes(), 0u);
}

}  // namespace
