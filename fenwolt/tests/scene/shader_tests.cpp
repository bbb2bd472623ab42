#include "fenwolt/Game/Engine/Lighting.h"
#include "fenwolt/Game/Engine/ShaderEffects.h"
#include "fenwolt/Game/Engine/VertexAnimation.h"
#include "platform/d3dx8/d3dx8.h"
#include "scene_test_support.h"
#include "platform/tests/support/test_requirements.h"

#include <cmath>

namespace {

const char* kSimpleProgram = "vs.1.1\nm4x4 oPos, v0, c0\nmov oD0, c5\nmov oT0, v2\n";

class ShaderLoadTest : public SceneDeviceTest {
protected:
    void SetUp() override
    {
        SceneDeviceTest::SetUp();
        if (HasFatalFailure()) return;
        for (const char* f : {"membrane", "stand", "halo1", "morph", "fishm"}) {
            const std::string name = std::string("shader/") + f + ".nvv";
            const auto data = FenwoltDataDir();
            dir.Write(name, data.empty() ? std::string(kSimpleProgram) : FileText(data / name));
        }
    }
    void TearDown() override
    {
        ReleaseShaders(device);
        SceneDeviceTest::TearDown();
    }
    int Loaded()
    {
        int n = 0;
        for (int i = 0; i < LOADED_SHADER_COUNT; ++i) n += ShaderTable[i] != 0;
        return n;
    }
    ScratchDirectory dir;
};

TEST_F(ShaderLoadTest, AllFiveProgramsLoadAndReleaseClearsTheTable)
{
    EXPECT_EQ(LoadShaders(device), 1);
    EXPECT_EQ(Loaded(), 5);
    for (int i = LOADED_SHADER_COUNT; i < SHADER_TABLE_SIZE; ++i) EXPECT_EQ(ShaderTable[i], 0u);
    const DWORD morph = ShaderTable[3];
    ReleaseShaders(device);
    EXPECT_EQ(Loaded(), 0);
    EXPECT_NE(device->SetVertexShader(morph), D3D_OK) << "the shader was deleted on the device";
}

TEST_F(ShaderLoadTest, AMissingFileStopsTheSequence)
{
    std::filesystem::remove(dir.Path() / "shader" / "halo1.nvv");
    EXPECT_EQ(LoadShaders(device), 0);
    EXPECT_NE(ShaderTable[0], 0u);
    EXPECT_NE(ShaderTable[1], 0u);
    EXPECT_EQ(ShaderTable[2], 0u);
    EXPECT_EQ(ShaderTable[3], 0u);
    EXPECT_EQ(ShaderTable[4], 0u);
}

TEST_F(ShaderLoadTest, AMissingLastFileKeepsTheOthers)
{
    std::filesystem::remove(dir.Path() / "shader" / "fishm.nvv");
    EXPECT_EQ(LoadShaders(device), 0);
    EXPECT_EQ(Loaded(), 4);
    EXPECT_EQ(ShaderTable[4], 0u);
}

TEST_F(ShaderLoadTest, AProgramThatDoesNotAssembleIsAFailureThatSkipsOnlyItself)
{
    dir.Write("shader/membrane.nvv", "vs.1.1\nmov oPos, v0\nfrobnicate r0, v1\n");
    DWORD handle = 77;
    EXPECT_TRUE(FAILED(LoadVertexShader(device, "shader\\membrane.nvv", SingleStreamDeclaration, 0, 0, &handle)));
    EXPECT_EQ(handle, 0u);
    EXPECT_EQ(LoadShaders(device), 0);
    EXPECT_EQ(ShaderTable[0], 0u);
    EXPECT_EQ(Loaded(), 4);
}

TEST_F(ShaderLoadTest, ALastLineWithoutLineBreakIsPartOfTheProgram)
{
    // Without its last character the final line would read "mov oT0, v" and not assemble.
    dir.Write("shader/stand.nvv", "vs.1.1\nm4x4 oPos, v0, c0\nmov oD0, c5\nmov oT0, v2");
    DWORD handle = 0;
    EXPECT_EQ(LoadVertexShader(device, "shader\\stand.nvv", SingleStreamDeclaration, 0, 0, &handle), S_OK);
    EXPECT_NE(handle, 0u);
    device->DeleteVertexShader(handle);
}

TEST_F(ShaderLoadTest, AssembledFilesAreReadWholeAndCheckedForTheirEnd)
{
    ID3DXBuffer* code = nullptr;
    ID3DXBuffer* errors = nullptr;
    ASSERT_EQ(D3DXAssembleShader(kSimpleProgram, (UINT)std::strlen(kSimpleProgram), 0, nullptr, &code, &errors), S_OK);
    const auto* bytes = static_cast<const char*>(code->GetBufferPointer());
    const std::string whole(bytes, code->GetBufferSize());
    code->Release();
    if (errors) errors->Release();
    dir.Write("shader/simple.vso", whole);
    dir.Write("shader/cut.vso", whole.substr(0, whole.size() - 4));  // end token gone
    dir.Write("shader/odd.vso", whole + "x");

    DWORD handle = 0;
    EXPECT_EQ(LoadVertexShader(device, "shader\\simple.vso", SingleStreamDeclaration, 0, 0, &handle), S_OK);
    EXPECT_NE(handle, 0u);
    device->DeleteVertexShader(handle);
    EXPECT_TRUE(FAILED(LoadVertexShader(device, "shader\\cut.vso", SingleStreamDeclaration, 0, 0, &handle)));
    EXPECT_TRUE(FAILED(LoadVertexShader(device, "shader\\odd.vso", SingleStreamDeclaration, 0, 0, &handle)));
    EXPECT_EQ(LoadVertexShader(device, "shader\\none.vso", SingleStreamDeclaration, 0, 0, &handle),
              SHADER_E_FILE_NOT_FOUND);
    // Pixel shaders are not offered by the device.
    EXPECT_TRUE(FAILED(LoadVertexShader(device, "shader\\simple.vso", nullptr, 0, 1, &handle)));
}

TEST(MorphConstants, RegistersHoldTheMatricesLightAndWeights)
{
    D3DXMATRIX world, view, projection;
    D3DXMatrixTranslation(&world, 1.f, 2.f, 3.f);
    D3DXMatrixScaling(&view, 2.f, 2.f, 2.f);
    D3DXMatrixIdentity(&projection);
    MorphConstants k = ComputeMorphConstants(world, view, projection, 0.25f);
    // c0..c3 are the transposed product: row r of the registers is column r of world x view.
    EXPECT_FLOAT_EQ(k.c[0][0], 2.f);
    EXPECT_FLOAT_EQ(k.c[0][3], 2.f);  // x translation 1, scaled by 2
    EXPECT_FLOAT_EQ(k.c[1][3], 4.f);
    EXPECT_FLOAT_EQ(k.c[2][3], 6.f);
    EXPECT_FLOAT_EQ(k.c[3][3], 1.f);
    const float n = 1.f / std::sqrt(0.75f);
    EXPECT_NEAR(k.c[4][0], -0.5f * n, 1e-5);
    EXPECT_NEAR(k.c[4][1], 0.5f * n, 1e-5);
    EXPECT_NEAR(k.c[4][2], 0.5f * n, 1e-5);
    EXPECT_FLOAT_EQ(k.c[5][0], 1.f);
    EXPECT_FLOAT_EQ(k.c[5][3], 0.f);
    EXPECT_FLOAT_EQ(k.c[6][2], 0.917f);
    EXPECT_FLOAT_EQ(k.c[7][1], 0.f);
    EXPECT_FLOAT_EQ(k.c[8][0], 0.25f);
    EXPECT_FLOAT_EQ(k.c[8][1], 0.75f);

    // A model turned a quarter about y sees the light turned the other way.
    D3DXMatrixRotationY(&world, 3.14159265f / 2.f);
    k = ComputeMorphConstants(world, view, projection, 1.f);
    D3DXVECTOR3 light(-0.5f * n, 0.5f * n, 0.5f * n), inModel;
    D3DXMATRIX inverse;
    D3DXMatrixInverse(&inverse, nullptr, &world);
    D3DXVec3TransformNormal(&inModel, &light, &inverse);
    EXPECT_NEAR(k.c[4][0], inModel.x, 1e-5);
    EXPECT_NEAR(k.c[4][2], inModel.z, 1e-5);
    // A world matrix without inverse still gives a finite light.
    D3DXMatrixScaling(&world, 0.f, 0.f, 0.f);
    k = ComputeMorphConstants(world, view, projection, 1.f);
    EXPECT_TRUE(std::isfinite(k.c[4][0]));
}

// --- The morph effect on the device -------------------------------------------------------------

// A quad of two key frames: frame 0 at clip x -0.5, frame 1 at +0.5, both facing -z.
class MorphDrawTest : public ShaderLoadTest {
protected:
    void SetUp() override
    {
        ShaderLoadTest::SetUp();
        if (HasFatalFailure()) return;
        if (FenwoltDataDir().empty()) SKIP_WITHOUT("the generated data set") << "build the fenwolt-data target";
        ASSERT_EQ(LoadShaders(device), 1);
        for (int i = 0; i < 4; ++i) meshVertices[i] = ModelVertex{0, 0, 0, 0.f, 0.f, -1.f, 0.f, 0.f};
        AnxFile anx;
        anx.VertexCount = 4;
        anx.Durations = {1, 1};
        const float corners[4][2] = {{-1, 1}, {1, 1}, {1, -1}, {-1, -1}};
        for (float centre : {-0.5f, 0.5f}) {
            std::vector<float> f;
            for (auto& c : corners) {
                f.push_back(centre + 0.1f * c[0]);
                f.push_back(0.1f * c[1]);
                f.push_back(0.5f);
            }
            anx.Frames.push_back(f);
        }
        const std::vector<uint8_t> bytes = anx.Bytes();
        ASSERT_EQ(LoadAnimationData(device, bytes.data(), bytes.size(), meshVertices, 4, 0, "quad"), 1);
        ASSERT_EQ(device->CreateIndexBuffer(12, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &indices), D3D_OK);
        BYTE* p = nullptr;
        indices->Lock(0, 12, &p, 0);
        const uint16_t idx[6] = {0, 1, 2, 0, 2, 3};
        std::memcpy(p, idx, 12);
        indices->Unlock();
        mesh = new XFileMesh("quad");
        mesh->VertexCount = 4;
        mesh->IndexCount = 6;
        mesh->IndexBuffer = indices;
        instance.InUse = 1;
        instance.RenderKind = RENDER_KIND_MORPH;
        instance.AnimationSlot = 0;
        instance.AnimCurrentFrame[0] = 0;
        instance.AnimNextFrame[0] = 1;
        D3DXMatrixIdentity(&identity);
        instance.WorldMatrix = identity;
    }
    void TearDown() override
    {
        if (mesh) {
            mesh->IndexBuffer = nullptr;
            delete mesh;
        }
        if (indices) indices->Release();
        FreeAllAnimations();
        ShaderLoadTest::TearDown();
    }
    void Draw(float t)
    {
        instance.AnimBlend[0] = t;
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        device->BeginScene();
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetTexture(0, nullptr);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        RenderShaderModel(device, instance, mesh, identity, identity, drawCalls, triangles);
        device->EndScene();
    }
    // Where the shader puts the quad's centre for a weight, computed from its definition:
    // position = t x frame 0 + (1 - t) x frame 1, then through c0..c3 (identity here).
    static int CentreColumn(float t)
    {
        const float x = t * -0.5f + (1.f - t) * 0.5f;
        return (int)std::lround((x + 1.f) * 0.5f * 800.f);
    }
    // The shader's light for a normal: clamp(dot(n, c4) x 0.917 + 0.917, 0, 1).
    static int ExpectedShade()
    {
        const float n = 1.f / std::sqrt(0.75f);
        const float d = -1.f * (0.5f * n);  // normal (0,0,-1) . c4 (z = +0.5n)
        const float v = std::clamp(d * 0.917f + 0.917f, 0.f, 1.f);
        return (int)std::lround(v * 255.f);
    }
    ModelVertex meshVertices[4];
    IDirect3DIndexBuffer8* indices = nullptr;
    XFileMesh* mesh = nullptr;
    ModelInstance instance;
    D3DXMATRIX identity;
    int32_t drawCalls = 0, triangles = 0;
};

TEST_F(MorphDrawTest, WeightsBlendTheTwoKeyFramesAsTheShaderDefines)
{
    const int shade = ExpectedShade();
    for (float t : {1.0f, 0.5f, 0.0f}) {
        Draw(t);
        SaveFrame("morph_t" + std::to_string((int)(t * 100)) + ".png");
        const int column = CentreColumn(t);
        const Rgb inside = Pixel(column, 300);
        EXPECT_NEAR(inside.r, shade, 3) << "t=" << t;
        EXPECT_NEAR(inside.g, shade, 3) << "t=" << t;
        // 0.1 clip units = 40 pixels each side of the centre.
        EXPECT_NEAR(Pixel(column + 36, 300).r, shade, 3) << "t=" << t;
        EXPECT_EQ(Pixel(column + 44, 300).Sum(), 0) << "t=" << t;
        EXPECT_EQ(Pixel(column, 300 - 34).Sum(), 0) << "t=" << t;
        for (float other : {1.0f, 0.5f, 0.0f})
            if (other != t) {
                EXPECT_EQ(Pixel(CentreColumn(other), 300).Sum(), 0) << "t=" << t << " other=" << other;
            }
    }
    EXPECT_EQ(drawCalls, 3);
    EXPECT_EQ(triangles, 6);
}

TEST_F(MorphDrawTest, NothingIsDrawnWithoutBothFramesOrAMatchingVertexCount)
{
    instance.AnimNextFrame[0] = 5;  // no such frame
    Draw(1.0f);
    EXPECT_EQ(Pixel(CentreColumn(1.f), 300).Sum(), 0);
    instance.AnimNextFrame[0] = 1;
    mesh->VertexCount = 6;  // the animation was made for another mesh
    Draw(1.0f);
    EXPECT_EQ(Pixel(CentreColumn(1.f), 300).Sum(), 0);
    mesh->VertexCount = 4;
    const DWORD saved = ShaderTable[3];
    ShaderTable[3] = 0;
    Draw(1.0f);
    EXPECT_EQ(Pixel(CentreColumn(1.f), 300).Sum(), 0);
    ShaderTable[3] = saved;
    EXPECT_EQ(drawCalls, 0);
    Draw(1.0f);
    EXPECT_EQ(drawCalls, 1);
    DWORD index = 9;
    device->GetTextureStageState(1, D3DTSS_TEXCOORDINDEX, &index);
    EXPECT_EQ(index, 0u);
}

}  // namespace

namespace {

TEST_F(MorphDrawTest, OtherKindsDrawTheirOwnProgramsFromTheRightStreams)
{
    // fishm blends the same two key frames: all of the next frame at weight 0.
    instance.RenderKind = 6;
    Draw(0.0f);
    EXPECT_GT(Pixel(CentreColumn(0.f), 300).Sum(), 0);
    EXPECT_EQ(Pixel(CentreColumn(1.f), 300).Sum(), 0);

    // stand draws the mesh's own vertices: without them, nothing.
    instance.RenderKind = 3;
    Draw(1.0f);
    EXPECT_EQ(drawCalls, 1);
    IDirect3DVertexBuffer8* own = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(4 * sizeof(ModelVertex), D3DUSAGE_WRITEONLY, MODEL_VERTEX_FVF, D3DPOOL_MANAGED,
                                         &own),
              D3D_OK);
    BYTE* p = nullptr;
    own->Lock(0, 0, &p, 0);
    std::memcpy(p, AnimationFrameVertices(0, 0), 4 * sizeof(ModelVertex));
    own->Unlock();
    mesh->VertexBuffer = own;
    Draw(0.0f);  // the weight means nothing to it
    mesh->VertexBuffer = nullptr;
    EXPECT_NEAR(Pixel(CentreColumn(1.f), 300).r, ExpectedShade(), 3);
    EXPECT_EQ(Pixel(CentreColumn(0.f), 300).Sum(), 0);
    EXPECT_EQ(drawCalls, 2);
    own->Release();
}

}  // namespace
