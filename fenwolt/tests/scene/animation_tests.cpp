#include "fenwolt/Game/Engine/VertexAnimation.h"
#include "scene_test_support.h"
#include "platform/tests/support/test_requirements.h"

#include <cmath>

namespace {

std::vector<ModelVertex> MeshOf(uint32_t count)
{
    std::vector<ModelVertex> v(count);
    for (uint32_t i = 0; i < count; ++i) v[i] = ModelVertex{0, 0, 0, 0.f, 1.f, 0.f, 0.25f * i, 0.5f};
    return v;
}

AnxFile Anx(uint32_t vertices, std::vector<int32_t> durations)
{
    AnxFile a;
    a.VertexCount = vertices;
    a.Durations = durations;
    const size_t frames = durations.empty() ? 1 : durations.size();
    for (size_t f = 0; f < frames; ++f) {
        std::vector<float> p;
        for (uint32_t v = 0; v < vertices; ++v) {
            p.push_back((float)f);
            p.push_back((float)v);
            p.push_back(100.f + f);
        }
        a.Frames.push_back(p);
    }
    return a;
}

int Load(const AnxFile& a, const std::vector<ModelVertex>& mesh, int slot, size_t cut = 0)
{
    std::vector<uint8_t> b = a.Bytes();
    b.resize(b.size() - cut);
    return LoadAnimationData(nullptr, b.data(), b.size(), mesh.data(), (uint32_t)mesh.size(), slot, "test.anx");
}

class AnimationTest : public ::testing::Test {
protected:
    void TearDown() override { FreeAllAnimations(); }
    std::vector<ModelVertex> mesh = MeshOf(4);
};

TEST_F(AnimationTest, LoadsPositionsAndKeepsTheMeshNormalsAndTextureCoordinates)
{
    ASSERT_EQ(Load(Anx(4, {5, 6, 7}), mesh, 3), 1);
    const AnimationSlotData& s = AnimationStore[3];
    EXPECT_EQ(s.VertexCount, 4u);
    EXPECT_EQ(s.FrameCount, 3u);
    EXPECT_EQ(s.HeaderWord, 0x1234u);
    EXPECT_EQ(s.TrailerWord, 0x5678u);
    EXPECT_EQ(s.Durations[2], 7);
    const ModelVertex* f2 = AnimationFrameVertices(3, 2);
    ASSERT_NE(f2, nullptr);
    EXPECT_FLOAT_EQ(f2[3].x, 2.f);
    EXPECT_FLOAT_EQ(f2[3].y, 3.f);
    EXPECT_FLOAT_EQ(f2[3].z, 102.f);
    EXPECT_FLOAT_EQ(f2[3].ny, 1.f);
    EXPECT_FLOAT_EQ(f2[3].tu, 0.75f);
    EXPECT_EQ(AnimationFrameVertices(3, 3), nullptr);
}

TEST_F(AnimationTest, HostileFilesAreRefusedAndLeaveTheSlotAsItWas)
{
    ASSERT_EQ(Load(Anx(4, {5, 5}), mesh, 0), 1);
    AnxFile v6 = Anx(4, {5});
    v6.Version = 6;
    EXPECT_EQ(Load(v6, mesh, 0), 0);
    AnxFile many = Anx(4, std::vector<int32_t>(101, 1));
    EXPECT_EQ(Load(many, mesh, 0), 0);
    EXPECT_EQ(Load(Anx(5, {5}), mesh, 0), 0) << "more vertices than the mesh";
    EXPECT_EQ(Load(Anx(4, {5, -1}), mesh, 0), 0) << "negative duration";
    EXPECT_EQ(Load(Anx(4, {5, 5, 5}), mesh, 0, 1), 0) << "one byte short";
    EXPECT_EQ(Load(Anx(4, {5, 5}), mesh, 0, 4 * 8 * 3 + 5), 0) << "cut inside the durations";
    EXPECT_EQ(Load(Anx(4, {5}), mesh, 17), 0);
    EXPECT_EQ(Load(Anx(4, {5}), mesh, -1), 0);
    AnxFile zeroVertices = Anx(0, {5});
    EXPECT_EQ(Load(zeroVertices, mesh, 0), 0);
    const uint8_t tiny[3] = {7, 0, 0};
    EXPECT_EQ(LoadAnimationData(nullptr, tiny, 3, mesh.data(), 4, 0, "tiny"), 0);
    // The first file is still whole.
    EXPECT_EQ(AnimationStore[0].FrameCount, 2u);
    EXPECT_NE(AnimationFrameVertices(0, 1), nullptr);
}

TEST_F(AnimationTest, FileWithoutFramesHoldsOnePoseAndIsNotStepped)
{
    ASSERT_EQ(Load(Anx(4, {}), mesh, 2), 1);
    EXPECT_EQ(AnimationStore[2].FrameCount, 0u);
    EXPECT_NE(AnimationFrameVertices(2, 0), nullptr);
    ModelInstance m;
    m.InUse = 1;
    ResetInstanceAnimations(m);
    m.AnimationSlot = 2;
    StepModelAnimation(m, 1.0f);
    EXPECT_EQ(m.AnimTimeInFrame[2], 0.f);
    EXPECT_EQ(m.AnimCurrentFrame[2], 0);
}

TEST_F(AnimationTest, SecondFileReplacesTheFirstCompletely)
{
    ASSERT_EQ(Load(Anx(4, {1, 2, 3, 4, 5}), mesh, 1), 1);
    ASSERT_EQ(Load(Anx(2, {9}), mesh, 1), 1);
    EXPECT_EQ(AnimationStore[1].FrameCount, 1u);
    EXPECT_EQ(AnimationStore[1].VertexCount, 2u);
    EXPECT_EQ(AnimationStore[1].Durations[1], 0);
    EXPECT_EQ(AnimationFrameVertices(1, 1), nullptr);
}

TEST_F(AnimationTest, ResetSetsTheMatchClocks)
{
    ModelInstance m;
    m.ShadowHeightOffset = 3.f;
    ResetInstanceAnimations(m);
    EXPECT_EQ(m.RenderKind, RENDER_KIND_MORPH);
    EXPECT_TRUE(m.Animating);
    EXPECT_EQ(m.ShadowHeightOffset, 0.f);
    EXPECT_EQ(m.AnimNextFrame[1], 1);
    EXPECT_EQ(m.AnimNextFrame[3], 0);
    EXPECT_EQ(m.AnimNextFrame[11], 1);
    EXPECT_FLOAT_EQ(m.AnimSecondsPerTick[0], 0.02f);
    EXPECT_FLOAT_EQ(m.AnimSecondsPerTick[4], 10.f);
    EXPECT_FLOAT_EQ(m.AnimSecondsPerTick[11], 0.01f);
    EXPECT_FLOAT_EQ(m.AnimBlend[7], 1.f);
}

struct Clock {
    ModelInstance m;
    Clock(int slot, float secondsPerTick)
    {
        m.InUse = 1;
        m.Animating = 1;
        m.AnimationSlot = slot;
        m.AnimCurrentFrame[slot] = 0;
        m.AnimNextFrame[slot] = 1;
        m.AnimSecondsPerTick[slot] = secondsPerTick;
    }
};

TEST_F(AnimationTest, FrameClockAdvancesWholeFramesAndKeepsTheRest)
{
    ASSERT_EQ(Load(Anx(4, {5, 5, 5, 5}), mesh, 0), 1);
    Clock c(0, 0.02f);  // 0.1 s a frame
    StepModelAnimation(c.m, 0.25f);
    EXPECT_EQ(c.m.AnimCurrentFrame[0], 2);
    EXPECT_EQ(c.m.AnimNextFrame[0], 3);
    EXPECT_NEAR(c.m.AnimTimeInFrame[0], 0.05f, 1e-5);
    EXPECT_NEAR(c.m.AnimBlend[0], 0.5f, 1e-4);
}

TEST_F(AnimationTest, BlendWeightFallsThroughTheFrame)
{
    ASSERT_EQ(Load(Anx(4, {4, 4, 4}), mesh, 5), 1);
    Clock c(5, 0.05f);  // 0.2 s a frame
    StepModelAnimation(c.m, 0.05f);
    EXPECT_NEAR(c.m.AnimBlend[5], 0.75f, 1e-5);
    StepModelAnimation(c.m, 0.2f);
    EXPECT_EQ(c.m.AnimCurrentFrame[5], 1);
    EXPECT_NEAR(c.m.AnimTimeInFrame[5], 0.05f, 1e-5);
}

TEST_F(AnimationTest, WrapCountsLoopsAndTheLimitHoldsTheFirstFrame)
{
    ASSERT_EQ(Load(Anx(4, {1, 1}), mesh, 0), 1);
    Clock c(0, 0.1f);
    c.m.AnimationLoopLimit = 2;
    StepModelAnimation(c.m, 0.15f);  // frame 1
    EXPECT_EQ(c.m.AnimCurrentFrame[0], 1);
    EXPECT_EQ(c.m.AnimNextFrame[0], 0);
    StepModelAnimation(c.m, 0.1f);  // wraps: loop 1
    EXPECT_EQ(c.m.AnimCurrentFrame[0], 0);
    EXPECT_EQ(c.m.AnimationLoopsDone, 1);
    StepModelAnimation(c.m, 0.2f);  // second wrap: held on frame 0
    EXPECT_EQ(c.m.AnimationLoopsDone, 2);
    EXPECT_EQ(c.m.AnimCurrentFrame[0], 0);
    EXPECT_EQ(c.m.AnimNextFrame[0], 0);
}

TEST_F(AnimationTest, ClocksThatCouldNeverUseTheirTimeUpEnd)
{
    ASSERT_EQ(Load(Anx(4, {5, 0, 5}), mesh, 0), 1);
    for (float spt : {0.0f, -0.02f, NAN}) {
        Clock c(0, spt);
        StepModelAnimation(c.m, 1.0f);
        EXPECT_EQ(c.m.AnimCurrentFrame[0], 0);
    }
    // A huge frame time and a tiny tick finish at once and stay in range.
    Clock big(0, 1e-30f);
    StepModelAnimation(big.m, 1e30f);
    EXPECT_GE(big.m.AnimCurrentFrame[0], 0);
    EXPECT_LT(big.m.AnimCurrentFrame[0], 3);
    EXPECT_TRUE(std::isfinite(big.m.AnimBlend[0]));
    // The zero-length frame is passed over without eating time.
    Clock z(0, 0.02f);
    StepModelAnimation(z.m, 0.15f);
    EXPECT_EQ(z.m.AnimCurrentFrame[0], 2);
    EXPECT_NEAR(z.m.AnimTimeInFrame[0], 0.05f, 1e-5);
    // Frame numbers from outside the slot are brought back into it.
    Clock odd(0, 0.02f);
    odd.m.AnimCurrentFrame[0] = 77;
    odd.m.AnimNextFrame[0] = -4;
    StepModelAnimation(odd.m, 0.01f);
    EXPECT_EQ(odd.m.AnimCurrentFrame[0], 0);
    EXPECT_EQ(odd.m.AnimNextFrame[0], 0);
    Clock badSlot(0, 0.02f);
    badSlot.m.AnimationSlot = 40;
    StepModelAnimation(badSlot.m, 0.5f);  // nothing to step, nothing touched
}

TEST_F(AnimationTest, TableStepSkipsFreeAndStillInstances)
{
    ASSERT_EQ(Load(Anx(4, {5, 5}), mesh, 0), 1);
    ModelInstance table[3];
    for (auto& m : table) {
        m.InUse = 1;
        m.Animating = 1;
        m.AnimSecondsPerTick[0] = 0.02f;
    }
    table[1].InUse = 0;
    table[2].Animating = 0;
    StepInstanceAnimations(table, 3, 0.15f);
    EXPECT_EQ(table[0].AnimCurrentFrame[0], 1);
    EXPECT_EQ(table[1].AnimCurrentFrame[0], 0);
    EXPECT_EQ(table[2].AnimCurrentFrame[0], 0);
}

class AnimationDeviceTest : public SceneDeviceTest {
protected:
    void TearDown() override
    {
        FreeAllAnimations();
        SceneDeviceTest::TearDown();
    }
};

TEST_F(AnimationDeviceTest, FramesGetBuffersAndFreeingReleasesThem)
{
    std::vector<ModelVertex> mesh = MeshOf(4);
    std::vector<uint8_t> b = Anx(4, {5, 5, 5}).Bytes();
    ASSERT_EQ(LoadAnimationData(device, b.data(), b.size(), mesh.data(), 4, 6, "x"), 1);
    IDirect3DVertexBuffer8* buffer = AnimationFrameBuffer(6, 2);
    ASSERT_NE(buffer, nullptr);
    D3DVERTEXBUFFER_DESC desc{};
    buffer->GetDesc(&desc);
    EXPECT_EQ(desc.Size, 4u * 32u);
    EXPECT_EQ(desc.FVF, (DWORD)MODEL_VERTEX_FVF);
    buffer->AddRef();
    FreeAnimationSlot(6);
    EXPECT_EQ(AnimationFrameBuffer(6, 2), nullptr);
    EXPECT_EQ(buffer->Release(), 0u) << "the store let go of its reference";
}

TEST_F(AnimationDeviceTest, ThePlayerAnimationsOfTheDataSetFitThePlayerMesh)
{
    const auto data = FenwoltDataDir();
    if (data.empty()) SKIP_WITHOUT("the generated data set") << "build the fenwolt-data target";
    XFileMesh player;
    ASSERT_EQ(player.ParseTextFile((data / "xdata" / "player.x").c_str()), 1);
    ASSERT_GT(player.VertexCount, 0);
    const char* files[] = {"stand", "prun", "pturn", "pass", "shoot", "tackle", "jump", "volley", "gjumpl",
                           "gjumpr", "throwin", "celeb"};
    int slot = 0;
    for (const char* f : files) {
        const std::string path = (data / "xdata" / (std::string(f) + ".anx")).string();
        EXPECT_EQ(LoadAnimationFileForMesh(device, path.c_str(), player, slot), 1) << f;
        EXPECT_EQ(AnimationStore[slot].VertexCount, (uint32_t)player.VertexCount) << f;
        EXPECT_NE(AnimationFrameBuffer(slot, 0), nullptr) << f;
        ++slot;
    }
    EXPECT_EQ(LoadAnimationFileForMesh(device, "xdata\\nothere.anx", player, 12), 0);
}

}  // namespace
