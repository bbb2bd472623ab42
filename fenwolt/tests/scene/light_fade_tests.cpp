#include "fenwolt/Game/Engine/Fade.h"
#include "fenwolt/Game/Engine/Lighting.h"
#include "scene_test_support.h"

namespace {

DWORD State(IDirect3DDevice8* d, D3DRENDERSTATETYPE s)
{
    DWORD v = 0xDEADBEEF;
    d->GetRenderState(s, &v);
    return v;
}

class BlendTest : public SceneDeviceTest {
protected:
    void SetUp() override
    {
        SceneDeviceTest::SetUp();
        BlendModeCache = BLEND_OPAQUE;
    }
};

TEST_F(BlendTest, KeyLightAndLightingStates)
{
    InitLights(device);
    D3DLIGHT8 light{};
    ASSERT_EQ(device->GetLight(0, &light), D3D_OK);
    EXPECT_EQ(light.Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_FLOAT_EQ(light.Diffuse.r, 0.91f);
    EXPECT_FLOAT_EQ(light.Ambient.g, 0.7f);
    EXPECT_FLOAT_EQ(light.Specular.b, 0.f);
    EXPECT_FLOAT_EQ(light.Direction.x, 0.5f);
    EXPECT_FLOAT_EQ(light.Direction.y, -0.5f);
    BOOL enabled = FALSE;
    device->GetLightEnable(0, &enabled);
    EXPECT_TRUE(enabled);
    EXPECT_EQ(State(device, D3DRS_LIGHTING), (DWORD)TRUE);
    EXPECT_EQ(State(device, D3DRS_AMBIENT), 0u);
    EXPECT_EQ(LightSlots[0].InUse, 1);
    for (int i = 1; i < LIGHT_SLOT_COUNT; ++i) EXPECT_EQ(LightSlots[i].InUse, 0);
}

TEST_F(BlendTest, ModesSetTheirStatesAndTheCacheSkipsRepeats)
{
    // The cache starts opaque: a first opaque request sets nothing.
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    SetBlendMode(device, caps, BLEND_OPAQUE);
    EXPECT_EQ(State(device, D3DRS_ALPHABLENDENABLE), (DWORD)TRUE);

    D3DCAPS8 withTest = caps;
    withTest.AlphaCmpCaps |= D3DPCMPCAPS_GREATEREQUAL;
    SetBlendMode(device, withTest, BLEND_ALPHA);
    EXPECT_EQ(State(device, D3DRS_SRCBLEND), (DWORD)D3DBLEND_SRCALPHA);
    EXPECT_EQ(State(device, D3DRS_DESTBLEND), (DWORD)D3DBLEND_INVSRCALPHA);
    EXPECT_EQ(State(device, D3DRS_ALPHATESTENABLE), (DWORD)TRUE);
    EXPECT_EQ(State(device, D3DRS_ALPHAREF), 8u);
    EXPECT_EQ(State(device, D3DRS_ALPHAFUNC), (DWORD)D3DCMP_GREATEREQUAL);

    // A second alpha request reaches nothing.
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ZERO);
    SetBlendMode(device, withTest, BLEND_ALPHA);
    EXPECT_EQ(State(device, D3DRS_SRCBLEND), (DWORD)D3DBLEND_ZERO);

    SetBlendMode(device, withTest, BLEND_ADDITIVE);
    EXPECT_EQ(State(device, D3DRS_SRCBLEND), (DWORD)D3DBLEND_ONE);
    EXPECT_EQ(State(device, D3DRS_DESTBLEND), (DWORD)D3DBLEND_ONE);
    EXPECT_EQ(State(device, D3DRS_ALPHATESTENABLE), (DWORD)TRUE) << "additive keeps the alpha test";

    SetBlendMode(device, withTest, BLEND_OPAQUE);
    EXPECT_EQ(State(device, D3DRS_ALPHABLENDENABLE), (DWORD)FALSE);
    EXPECT_EQ(State(device, D3DRS_ALPHATESTENABLE), (DWORD)FALSE);
}

TEST_F(BlendTest, WithoutGreaterEqualComparisonAlphaBlendsWithoutTest)
{
    D3DCAPS8 noTest = caps;
    noTest.AlphaCmpCaps &= ~(DWORD)D3DPCMPCAPS_GREATEREQUAL;
    device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    SetBlendMode(device, noTest, BLEND_ALPHA);
    EXPECT_EQ(State(device, D3DRS_ALPHABLENDENABLE), (DWORD)TRUE);
    EXPECT_EQ(State(device, D3DRS_ALPHATESTENABLE), (DWORD)FALSE);
}

// --- Fade -------------------------------------------------------------------------------------

class FadeTest : public SceneDeviceTest {
protected:
    void SetUp() override
    {
        SceneDeviceTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_EQ(CreateFadeQuad(device), S_OK);
        BlendModeCache = BLEND_OPAQUE;
    }
    void TearDown() override
    {
        ReleaseFadeQuad();
        FadeTimer = 0.f;
        SceneDeviceTest::TearDown();
    }
    void DrawOverWhite()
    {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFFFFFFFF, 1.0f, 0);
        device->BeginScene();
        RenderFade(device);
        device->EndScene();
    }
};

TEST_F(FadeTest, AlphaFallsFromOpaqueToClearOverTheDuration)
{
    StartFadeIn(0.0001f, 5.0f);
    EXPECT_NEAR(CurrentFadeAlpha(), 1.0f, 1e-4);
    UpdateFade(2.5f);
    EXPECT_NEAR(CurrentFadeAlpha(), 0.5f, 1e-3);
    UpdateFade(2.4999f);  // exactly at the duration: still drawn
    EXPECT_GT(FadeTimer, 0.f);
    UpdateFade(0.01f);
    EXPECT_EQ(FadeTimer, 0.f);
    EXPECT_EQ(CurrentFadeAlpha(), 0.f);
    UpdateFade(1.0f);  // idle stays idle
    EXPECT_EQ(FadeTimer, 0.f);
}

TEST_F(FadeTest, StartingAtTimeZeroStartsNothing)
{
    StartFadeIn(0.0f, 3.0f);
    UpdateFade(0.5f);
    EXPECT_EQ(FadeTimer, 0.f);
    DrawOverWhite();
    EXPECT_GT(Pixel(400, 300).Sum(), 700);
}

TEST_F(FadeTest, FullScreenFadeCoversEverythingAtTheStartAndHalfwayHalves)
{
    StartFadeIn(0.0001f, 5.0f);
    DrawOverWhite();
    EXPECT_LT(Pixel(400, 300).Sum(), 10) << "a fresh quad must be drawn: rhw 1, not 0";
    EXPECT_LT(Pixel(5, 5).Sum(), 10);
    EXPECT_LT(Pixel(795, 595).Sum(), 10);
    UpdateFade(2.5f);
    DrawOverWhite();
    const int mid = Pixel(400, 300).r;
    EXPECT_GT(mid, 110);
    EXPECT_LT(mid, 145);
}

TEST_F(FadeTest, NarrowedRectangleFadesOnlyItsPartAndIsForgottenWhenItsFadeEnds)
{
    SetFadeRect(300, 400, 500, 500);
    StartFadeIn(0.0001f, 3.0f);
    DrawOverWhite();
    SaveFrame("fade_narrowed.png");
    EXPECT_LT(Pixel(400, 450).Sum(), 10);
    EXPECT_GT(Pixel(100, 100).Sum(), 700);
    EXPECT_GT(Pixel(400, 350).Sum(), 700);
    UpdateFade(3.5f);
    float rect[4];
    GetFadeRect(rect);
    EXPECT_EQ(rect[0], 0.f);
    EXPECT_EQ(rect[3], 600.f);
    // The next fade of the title sequence does not narrow: it covers the whole screen.
    StartFadeIn(0.0001f, 5.0f);
    DrawOverWhite();
    EXPECT_LT(Pixel(100, 100).Sum(), 10);
}

TEST_F(FadeTest, FadeIgnoresStagesLeftByOthersAndRestoresThem)
{
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHAREF, 255);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    StartFadeIn(0.0001f, 4.0f);
    UpdateFade(2.0f);
    DrawOverWhite();
    const int mid = Pixel(400, 300).r;
    EXPECT_GT(mid, 110);
    EXPECT_LT(mid, 145);
    DWORD op = 0;
    device->GetTextureStageState(0, D3DTSS_COLOROP, &op);
    EXPECT_EQ(op, (DWORD)D3DTOP_MODULATE);
    device->GetTextureStageState(0, D3DTSS_ALPHAOP, &op);
    EXPECT_EQ(op, (DWORD)D3DTOP_DISABLE);
    EXPECT_EQ(State(device, D3DRS_ALPHATESTENABLE), (DWORD)TRUE);
}

TEST_F(FadeTest, ATranslucentRequestAfterTheFadeStillBlends)
{
    // The shadows left the cache at alpha; the fade then turned blending off.
    SetBlendMode(device, caps, BLEND_ALPHA);
    StartFadeIn(0.0001f, 5.0f);
    DrawOverWhite();
    EXPECT_EQ(State(device, D3DRS_ALPHABLENDENABLE), (DWORD)FALSE);
    SetBlendMode(device, caps, BLEND_ALPHA);
    EXPECT_EQ(State(device, D3DRS_ALPHABLENDENABLE), (DWORD)TRUE);
}

TEST_F(FadeTest, ResetEndsARunningFadeAndAMissingQuadDrawsNothing)
{
    StartFadeIn(0.0001f, 5.0f);
    ReleaseFadeQuad();
    DrawOverWhite();
    EXPECT_GT(Pixel(400, 300).Sum(), 700);
    ASSERT_EQ(CreateFadeQuad(device), S_OK);
    EXPECT_EQ(FadeTimer, 0.f);
}

}  // namespace
