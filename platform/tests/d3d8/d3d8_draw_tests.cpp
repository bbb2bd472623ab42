#include "d3d8_test_support.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace {
struct ScreenVertex {
    float x, y, z, rhw;
    DWORD colour;
    float u, v;
};
constexpr DWORD kScreenFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;  // 0x144

struct ModelVertex {
    float x, y, z, nx, ny, nz, u, v;
};
constexpr DWORD kModelFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;  // 0x112

// A sprite-style quad covering pixels [x0, x1) x [y0, y1), offset by -0.5 as the game does; u runs
// from 0 to `u1` across it.
void Quad(ScreenVertex out[6], float x0, float y0, float x1, float y1, DWORD colour, float z = 0.5f, float u1 = 1.f)
{
    ScreenVertex a{x0 - 0.5f, y0 - 0.5f, z, 1.f, colour, 0.f, 0.f};
    ScreenVertex b{x1 - 0.5f, y0 - 0.5f, z, 1.f, colour, u1, 0.f};
    ScreenVertex c{x0 - 0.5f, y1 - 0.5f, z, 1.f, colour, 0.f, 1.f};
    ScreenVertex d{x1 - 0.5f, y1 - 0.5f, z, 1.f, colour, u1, 1.f};
    out[0] = a;
    out[1] = b;
    out[2] = c;
    out[3] = c;
    out[4] = b;
    out[5] = d;
}

D3DMATRIX Perspective()
{
    D3DMATRIX p{};
    float zn = 1.f, zf = 100.f;
    p._11 = 0.75f;
    p._22 = 1.f;
    p._33 = zf / (zf - zn);
    p._34 = 1.f;
    p._43 = -zn * zf / (zf - zn);
    return p;
}

// A texture one texel tall whose levels hold the given greys, left to right (each level half the
// width of the one before).
IDirect3DTexture8* GreyRow(IDirect3DDevice8* device, const std::vector<std::vector<uint8_t>>& levels)
{
    IDirect3DTexture8* tex = nullptr;
    if (device->CreateTexture((UINT)levels[0].size(), 1, (UINT)levels.size(), 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED,
                              &tex) != D3D_OK)
        return nullptr;
    for (UINT level = 0; level < levels.size(); ++level) {
        D3DLOCKED_RECT locked;
        if (tex->LockRect(level, &locked, nullptr, 0) != D3D_OK) continue;
        uint32_t* row = static_cast<uint32_t*>(locked.pBits);
        for (size_t x = 0; x < levels[level].size(); ++x) row[x] = 0x010101u * levels[level][x];
        tex->UnlockRect(level);
    }
    return tex;
}

class DrawTest : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        if (HasFatalFailure()) return;
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.f, 0);
        device->SetVertexShader(kScreenFvf);
    }
    void Expect(int x, int y, int r, int g, int b, int tolerance = 0)
    {
        Rgb p = PixelAt(device, x, y);
        EXPECT_NEAR(p.r, r, tolerance) << "at " << x << "," << y;
        EXPECT_NEAR(p.g, g, tolerance) << "at " << x << "," << y;
        EXPECT_NEAR(p.b, b, tolerance) << "at " << x << "," << y;
    }
    void ExpectGrey(int x, int y, int grey, int tolerance = 0) { Expect(x, y, grey, grey, grey, tolerance); }
    // Draws `tex` white-lit over pixels [x, x + width) of row y, u running from 0 to u1.
    void DrawRow(IDirect3DTexture8* tex, int x, int y, int width, float u1 = 1.f)
    {
        device->SetTexture(0, tex);
        ScreenVertex v[6];
        Quad(v, (float)x, (float)y, (float)(x + width), (float)(y + 1), 0xFFFFFFFF, 0.5f, u1);
        ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(ScreenVertex)), D3D_OK);
    }
    void Filters(DWORD mag, DWORD min, DWORD mip)
    {
        device->SetTextureStageState(0, D3DTSS_MAGFILTER, mag);
        device->SetTextureStageState(0, D3DTSS_MINFILTER, min);
        device->SetTextureStageState(0, D3DTSS_MIPFILTER, mip);
    }
    void Use3D()
    {
        D3DMATRIX identity{};
        identity._11 = identity._22 = identity._33 = identity._44 = 1.f;
        D3DMATRIX p = Perspective();
        device->SetTransform(D3DTS_PROJECTION, &p);
        device->SetTransform(D3DTS_VIEW, &identity);
        device->SetTransform(D3DTS_WORLD, &identity);
        device->SetVertexShader(kModelFvf);
    }
};
}  // namespace

TEST_F(DrawTest, PreTransformedQuadCoversExactlyItsPixels)
{
    ScreenVertex v[6];
    Quad(v, 100, 100, 200, 150, 0xFFFF0000);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(ScreenVertex)), D3D_OK);
    Expect(100, 100, 255, 0, 0);
    Expect(199, 149, 255, 0, 0);
    Expect(200, 149, 0, 0, 0);
    Expect(199, 150, 0, 0, 0);
    Expect(99, 100, 0, 0, 0);
    Expect(100, 99, 0, 0, 0);
}

TEST_F(DrawTest, TexturedQuadMapsTexelsToPixelsWithRowZeroOnTop)
{
    IDirect3DTexture8* tex = nullptr;
    ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex), D3D_OK);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(tex->LockRect(0, &locked, nullptr, 0), D3D_OK);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch)[x] =
                0xFF000000u | (uint32_t)(x * 60) << 16 | (uint32_t)(y * 60) << 8 | 0x10;
    tex->UnlockRect(0);
    device->SetTexture(0, tex);
    ScreenVertex v[6];
    Quad(v, 10, 20, 14, 24, 0xFFFFFFFF);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(ScreenVertex)), D3D_OK);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) Expect(10 + x, 20 + y, x * 60, y * 60, 0x10);
    tex->Release();
}

// Two texels, black and white, stretched over eight pixels: pixel i samples texel coordinate
// (i + 0.5) / 4 - 0.5. LINEAR blends the middle pixels (3: 0.375 of white), POINT keeps them
// black or white; at the left edge a wrapped LINEAR reaches round to the white texel, a clamped
// one does not.
TEST_F(DrawTest, MagnifiedTexelsBlendWithLinearAndStaySharpWithPoint)
{
    IDirect3DTexture8* tex = GreyRow(device, {{0, 255}});
    ASSERT_NE(tex, nullptr);
    Filters(D3DTEXF_LINEAR, D3DTEXF_LINEAR, D3DTEXF_NONE);
    DrawRow(tex, 0, 0, 8);
    ExpectGrey(3, 0, 96, 3);
    ExpectGrey(4, 0, 159, 3);
    ExpectGrey(0, 0, 96, 3);  // WRAP, the default
    device->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
    DrawRow(tex, 0, 1, 8);
    ExpectGrey(0, 1, 0, 1);
    ExpectGrey(3, 1, 96, 3);
    Filters(D3DTEXF_POINT, D3DTEXF_LINEAR, D3DTEXF_NONE);
    DrawRow(tex, 0, 2, 8);
    ExpectGrey(3, 2, 0);
    ExpectGrey(4, 2, 255);
    tex->Release();
}

// Six texels over four pixels: pixel 0 samples texel coordinate 0.75, a quarter of the way from
// the first texel's centre to the second's.
TEST_F(DrawTest, MinifiedTexelsBlendWithLinearAndPickOneWithPoint)
{
    IDirect3DTexture8* tex = GreyRow(device, {{0, 255, 0, 255, 0, 255}});
    ASSERT_NE(tex, nullptr);
    device->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
    Filters(D3DTEXF_POINT, D3DTEXF_LINEAR, D3DTEXF_NONE);
    DrawRow(tex, 0, 0, 4);
    ExpectGrey(0, 0, 64, 3);
    ExpectGrey(1, 0, 64, 3);  // 2.25: a quarter into the white fourth texel
    Filters(D3DTEXF_LINEAR, D3DTEXF_POINT, D3DTEXF_NONE);
    DrawRow(tex, 0, 1, 4);
    ExpectGrey(0, 1, 0);
    ExpectGrey(1, 1, 0);
    tex->Release();
}

// A white first level and a black second: four texels over two pixels is exactly the second
// level's size, over three pixels 0.415 of the way from the first level to the second (a blend
// near 149, within what a rasteriser's approximate level of detail makes of it).
TEST_F(DrawTest, MipFilterPicksOrBlendsTheLevelsAndNoneKeepsTheFirst)
{
    IDirect3DTexture8* tex = GreyRow(device, {{255, 255, 255, 255}, {0, 0}});
    ASSERT_NE(tex, nullptr);
    struct Case {
        DWORD mip;
        int halved, byThreeQuarters, tolerance;
    };
    for (const Case& c : {Case{D3DTEXF_NONE, 255, 255, 0}, Case{D3DTEXF_POINT, 0, 255, 0},
                          Case{D3DTEXF_LINEAR, 0, 149, 25}}) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF808080, 1.f, 0);
        Filters(D3DTEXF_LINEAR, D3DTEXF_LINEAR, c.mip);
        DrawRow(tex, 0, 0, 2);
        DrawRow(tex, 0, 1, 3);
        SCOPED_TRACE(::testing::Message() << "mip filter " << c.mip);
        ExpectGrey(0, 0, c.halved);
        ExpectGrey(1, 0, c.halved);
        ExpectGrey(1, 1, c.byThreeQuarters, c.tolerance);
    }
    tex->Release();
}

// Black and white texels over eight pixels with u running to 2: the second copy repeats,
// mirrors, or holds the last texel.
TEST_F(DrawTest, AddressModesRepeatMirrorOrHoldTheEdgeTexel)
{
    IDirect3DTexture8* tex = GreyRow(device, {{0, 255}});
    ASSERT_NE(tex, nullptr);
    Filters(D3DTEXF_POINT, D3DTEXF_POINT, D3DTEXF_NONE);
    struct Case {
        DWORD mode;
        int greys[8];
    };
    const Case cases[] = {{D3DTADDRESS_WRAP, {0, 0, 255, 255, 0, 0, 255, 255}},
                          {D3DTADDRESS_MIRROR, {0, 0, 255, 255, 255, 255, 0, 0}},
                          {D3DTADDRESS_CLAMP, {0, 0, 255, 255, 255, 255, 255, 255}}};
    for (int row = 0; row < 3; ++row) {
        device->SetTextureStageState(0, D3DTSS_ADDRESSU, cases[row].mode);
        DrawRow(tex, 0, row, 8, 2.f);
        SCOPED_TRACE(::testing::Message() << "address mode " << cases[row].mode);
        for (int x = 0; x < 8; ++x) ExpectGrey(x, row, cases[row].greys[x]);
    }
    tex->Release();
}

TEST_F(DrawTest, SixteenBitTexturesKeepTheirChannels)
{
    IDirect3DTexture8* tex = nullptr;
    ASSERT_EQ(device->CreateTexture(2, 1, 1, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, &tex), D3D_OK);
    D3DLOCKED_RECT locked;
    tex->LockRect(0, &locked, nullptr, 0);
    uint16_t* p = static_cast<uint16_t*>(locked.pBits);
    p[0] = 0xF800;  // red
    p[1] = 0x001F;  // blue
    tex->UnlockRect(0);
    device->SetTexture(0, tex);
    ScreenVertex v[6];
    Quad(v, 0, 0, 2, 1, 0xFFFFFFFF);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(ScreenVertex));
    Expect(0, 0, 255, 0, 0);
    Expect(1, 0, 0, 0, 255);
    tex->Release();
}

TEST_F(DrawTest, StageOperationsCombineTextureAndDiffuse)
{
    // No texture in the stage samples white: MODULATE leaves the diffuse colour.
    ScreenVertex v[6];
    Quad(v, 0, 0, 10, 10, 0xFF4080C0);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(ScreenVertex));
    Expect(5, 5, 0x40, 0x80, 0xC0);
    // SELECTARG2 (diffuse) with a texture bound ignores the texture.
    IDirect3DTexture8* tex = nullptr;
    device->CreateTexture(1, 1, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &tex);
    D3DLOCKED_RECT locked;
    tex->LockRect(0, &locked, nullptr, 0);
    *static_cast<uint32_t*>(locked.pBits) = 0x00808080;
    tex->UnlockRect(0);
    device->SetTexture(0, tex);
    Quad(v, 20, 0, 30, 10, 0xFF00FF00);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(ScreenVertex));
    Expect(25, 5, 0, 255, 0);
    // MODULATE with the grey texture halves the diffuse colour.
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    Quad(v, 40, 0, 50, 10, 0xFFFFFFFF);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(ScreenVertex));
    Expect(45, 5, 128, 128, 128, 1);
    // A disabled first stage draws the diffuse colour alone.
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
    Quad(v, 60, 0, 70, 10, 0xFF0000FF);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(ScreenVertex));
    Expect(65, 5, 0, 0, 255);
    tex->Release();
}

TEST_F(DrawTest, AlphaBlendingAndAlphaTestFollowTheirStates)
{
    ScreenVertex v[6];
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    Quad(v, 0, 0, 10, 10, 0x80FFFFFF);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(ScreenVertex));
    Expect(5, 5, 128, 128, 128, 1);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHAREF, 0x90);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    Quad(v, 20, 0, 30, 10, 0x80FFFFFF);  // alpha below the reference: rejected
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(ScreenVertex));
    Expect(25, 5, 0, 0, 0);
}

TEST_F(DrawTest, PreTransformedDrawingIsClippedToTheViewport)
{
    D3DVIEWPORT8 vp{0, 0, 608, 600, 0.f, 1.f};
    device->SetViewport(&vp);
    ScreenVertex v[6];
    Quad(v, 500, 10, 700, 20, 0xFFFFFFFF);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(ScreenVertex));
    Expect(600, 15, 255, 255, 255);
    Expect(650, 15, 0, 0, 0);
}

TEST_F(DrawTest, DepthTestKeepsTheNearerSurface)
{
    ScreenVertex v[6];
    Quad(v, 0, 0, 10, 10, 0xFFFF0000, 0.2f);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(ScreenVertex));
    Quad(v, 0, 0, 10, 10, 0xFF0000FF, 0.6f);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(ScreenVertex));
    Expect(5, 5, 255, 0, 0);
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_ALWAYS);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(ScreenVertex));
    Expect(5, 5, 0, 0, 255);
}

// Shadows are drawn over the ground they lie on with a depth bias: of two surfaces at one depth,
// the later one with the bias is in front, even where a LESS test keeps the earlier one without it.
TEST_F(DrawTest, DepthBiasBringsTheLaterOfTwoCoplanarSurfacesInFront)
{
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
    ScreenVertex v[6];
    for (DWORD bias : {0u, 1u, 15u}) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.f, 0);
        device->SetRenderState(D3DRS_ZBIAS, 0);
        Quad(v, 0, 0, 10, 10, 0xFFFF0000);
        device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(ScreenVertex));
        device->SetRenderState(D3DRS_ZBIAS, bias);
        Quad(v, 0, 0, 10, 10, 0xFF0000FF);
        device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(ScreenVertex));
        SCOPED_TRACE(::testing::Message() << "bias " << bias);
        if (bias)
            Expect(5, 5, 0, 0, 255);
        else
            Expect(5, 5, 255, 0, 0);
    }
    // The same in a perspective view, as the shadows are.
    Use3D();
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.f, 0);
    ModelVertex tri[3] = {{-1, -1, 5, 0, 0, -1, 0, 0}, {-1, 1, 5, 0, 0, -1, 0, 0}, {1, -1, 5, 0, 0, -1, 0, 0}};
    device->SetRenderState(D3DRS_ZBIAS, 0);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(ModelVertex));
    Expect(390, 310, 255, 255, 255);
    device->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFF00FF00);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TFACTOR);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(ModelVertex));
    Expect(390, 310, 255, 255, 255);
    device->SetRenderState(D3DRS_ZBIAS, 15);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(ModelVertex));
    Expect(390, 310, 0, 255, 0);
}

TEST_F(DrawTest, ClockwiseTrianglesAreFrontFacesAsInDirect3D)
{
    Use3D();
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    // Clockwise on screen (y down): bottom-left, top-left, bottom-right.
    ModelVertex cw[3] = {{-1, -1, 5, 0, 0, -1, 0, 0}, {-1, 1, 5, 0, 0, -1, 0, 0}, {1, -1, 5, 0, 0, -1, 0, 0}};
    ModelVertex ccw[3] = {cw[0], cw[2], cw[1]};
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, ccw, sizeof(ModelVertex)), D3D_OK);
    Expect(390, 310, 0, 0, 0);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, cw, sizeof(ModelVertex)), D3D_OK);
    Expect(390, 310, 255, 255, 255);  // lighting off and no vertex colour: white
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.f, 0);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, cw, sizeof(ModelVertex));
    Expect(390, 310, 0, 0, 0);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, ccw, sizeof(ModelVertex));
    Expect(390, 310, 255, 255, 255);
}

TEST_F(DrawTest, TransformsPlaceGeometryWithDirect3DsDepthRange)
{
    Use3D();
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    D3DMATRIX world{};
    world._11 = world._22 = world._33 = world._44 = 1.f;
    world._41 = 2.f;  // moves right: the triangle leaves the centre
    device->SetTransform(D3DTS_WORLD, &world);
    ModelVertex tri[3] = {{-1, -1, 5, 0, 0, -1, 0, 0}, {-1, 1, 5, 0, 0, -1, 0, 0}, {1, -1, 5, 0, 0, -1, 0, 0}};
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(ModelVertex));
    Expect(390, 310, 0, 0, 0);
    Expect(400 + 2 * 300 * 3 / 20, 310, 255, 255, 255);
    // Just inside the near plane is drawn; nearer than it is clipped.
    world._41 = 0.f;
    device->SetTransform(D3DTS_WORLD, &world);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.f, 0);
    ModelVertex nearTri[3] = {{-1, -1, 1.05f, 0, 0, -1, 0, 0}, {-1, 1, 1.05f, 0, 0, -1, 0, 0}, {1, -1, 1.05f, 0, 0, -1, 0, 0}};
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, nearTri, sizeof(ModelVertex));
    Expect(300, 310, 255, 255, 255);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.f, 0);
    for (auto& v : nearTri) v.z = 0.9f;
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, nearTri, sizeof(ModelVertex));
    Expect(300, 310, 0, 0, 0);
}

TEST_F(DrawTest, DirectionalLightLightsWhatFacesItFromItsDirection)
{
    Use3D();
    D3DMATERIAL8 m{};
    m.Diffuse = D3DCOLORVALUE{0.5f, 0.25f, 1.f, 1.f};
    device->SetMaterial(&m);
    D3DLIGHT8 l{};
    l.Type = D3DLIGHT_DIRECTIONAL;
    l.Diffuse = D3DCOLORVALUE{1.f, 1.f, 1.f, 1.f};
    l.Direction = D3DVECTOR{0.f, 0.f, 1.f};  // travels away from the eye onto the surface
    device->SetLight(0, &l);
    device->LightEnable(0, TRUE);
    ModelVertex tri[3] = {{-1, -1, 5, 0, 0, -1, 0, 0}, {-1, 1, 5, 0, 0, -1, 0, 0}, {1, -1, 5, 0, 0, -1, 0, 0}};
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(ModelVertex));
    Expect(390, 310, 128, 64, 255, 2);
    // From behind the surface it gets nothing but the (black) ambient.
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.f, 0);
    l.Direction = D3DVECTOR{0.f, 0.f, -1.f};
    device->SetLight(0, &l);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(ModelVertex));
    Expect(390, 310, 0, 0, 0);
    // Ambient: material ambient times the ambient render state.
    m.Ambient = D3DCOLORVALUE{1.f, 1.f, 1.f, 1.f};
    device->SetMaterial(&m);
    device->SetRenderState(D3DRS_AMBIENT, 0xFF404040);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(ModelVertex));
    Expect(390, 310, 64, 64, 64, 2);
}

TEST_F(DrawTest, IndexedDrawingAddsTheBaseVertexIndex)
{
    IDirect3DVertexBuffer8* vb = nullptr;
    IDirect3DIndexBuffer8* ib = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(12 * sizeof(ScreenVertex), D3DUSAGE_WRITEONLY, kScreenFvf, D3DPOOL_MANAGED, &vb),
              D3D_OK);
    ASSERT_EQ(device->CreateIndexBuffer(6 * 2, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib), D3D_OK);
    BYTE* data = nullptr;
    vb->Lock(0, 0, &data, 0);
    ScreenVertex quads[12];
    Quad(quads, 0, 0, 10, 10, 0xFFFF0000);
    Quad(quads + 6, 50, 0, 60, 10, 0xFF00FF00);
    std::memcpy(data, quads, sizeof(quads));
    vb->Unlock();
    ib->Lock(0, 0, &data, 0);
    const uint16_t idx[6] = {0, 1, 2, 3, 4, 5};
    std::memcpy(data, idx, sizeof(idx));
    ib->Unlock();
    device->SetStreamSource(0, vb, sizeof(ScreenVertex));
    device->SetIndices(ib, 6);
    ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 6, 0, 2), D3D_OK);
    Expect(55, 5, 0, 255, 0);
    Expect(5, 5, 0, 0, 0);
    // An index that reaches past the vertex buffer is refused, not read.
    device->SetIndices(ib, 7);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 6, 0, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 6, 3, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 8, 2), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3D_OK);
    Expect(5, 5, 255, 0, 0);
    vb->Release();
    ib->Release();
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3DERR_INVALIDCALL);  // the stream went with it
}

// An indexed draw starts at its start index: the second half of the indices draws the second quad
// alone, with 16- and 32-bit indices alike.
TEST_F(DrawTest, IndexedDrawingBeginsAtItsStartIndex)
{
    IDirect3DVertexBuffer8* vb = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(12 * sizeof(ScreenVertex), D3DUSAGE_WRITEONLY, kScreenFvf, D3DPOOL_MANAGED, &vb),
              D3D_OK);
    BYTE* data = nullptr;
    vb->Lock(0, 0, &data, 0);
    ScreenVertex quads[12];
    Quad(quads, 0, 0, 10, 10, 0xFFFF0000);
    Quad(quads + 6, 50, 0, 60, 10, 0xFF00FF00);
    std::memcpy(data, quads, sizeof(quads));
    vb->Unlock();
    device->SetStreamSource(0, vb, sizeof(ScreenVertex));
    for (D3DFORMAT format : {D3DFMT_INDEX16, D3DFMT_INDEX32}) {
        SCOPED_TRACE(::testing::Message() << "index format " << format);
        const UINT width = format == D3DFMT_INDEX16 ? 2 : 4;
        IDirect3DIndexBuffer8* ib = nullptr;
        ASSERT_EQ(device->CreateIndexBuffer(12 * width, D3DUSAGE_WRITEONLY, format, D3DPOOL_MANAGED, &ib), D3D_OK);
        ib->Lock(0, 0, &data, 0);
        for (uint32_t i = 0; i < 12; ++i) {
            const uint16_t narrow = (uint16_t)i;
            std::memcpy(data + i * width, width == 2 ? (const void*)&narrow : (const void*)&i, width);
        }
        ib->Unlock();
        device->SetIndices(ib, 0);
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.f, 0);
        ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 12, 6, 2), D3D_OK);
        Expect(55, 5, 0, 255, 0);
        Expect(5, 5, 0, 0, 0);
        // The start index counts indices, not bytes, and the draw ends with its own count.
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.f, 0);
        ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 12, 3, 1), D3D_OK);
        Expect(8, 8, 255, 0, 0);  // the first quad's second triangle alone
        Expect(1, 1, 0, 0, 0);
        Expect(55, 5, 0, 0, 0);
        EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 12, 7, 2), D3DERR_INVALIDCALL);
        device->SetIndices(nullptr, 0);
        ib->Release();
    }
    vb->Release();
}

TEST_F(DrawTest, StateBlocksRecordExactlyWhatWasSetAndApplyIt)
{
    IDirect3DTexture8* tex = nullptr;
    device->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex);
    ASSERT_EQ(device->BeginStateBlock(), D3D_OK);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTexture(0, tex);
    DWORD token = 0;
    ASSERT_EQ(device->EndStateBlock(&token), D3D_OK);
    DWORD v = 0;
    device->GetRenderState(D3DRS_CULLMODE, &v);
    EXPECT_EQ(v, (DWORD)D3DCULL_CCW);  // recording does not change the device
    IDirect3DBaseTexture8* bound = reinterpret_cast<IDirect3DBaseTexture8*>(1);
    device->GetTexture(0, &bound);
    EXPECT_EQ(bound, nullptr);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    ASSERT_EQ(device->ApplyStateBlock(token), D3D_OK);
    device->GetRenderState(D3DRS_CULLMODE, &v);
    EXPECT_EQ(v, (DWORD)D3DCULL_NONE);
    device->GetRenderState(D3DRS_LIGHTING, &v);
    EXPECT_EQ(v, (DWORD)FALSE);  // not in the block: untouched
    device->GetTexture(0, &bound);
    EXPECT_EQ(bound, tex);
    bound->Release();
    // Capture refreshes only the block's own states.
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    ASSERT_EQ(device->CaptureStateBlock(token), D3D_OK);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device->ApplyStateBlock(token);
    device->GetRenderState(D3DRS_CULLMODE, &v);
    EXPECT_EQ(v, (DWORD)D3DCULL_CW);
    // A released texture leaves the block rather than dangle in it.
    device->SetTexture(0, nullptr);
    EXPECT_EQ(tex->Release(), 0u);
    ASSERT_EQ(device->ApplyStateBlock(token), D3D_OK);
    device->GetTexture(0, &bound);
    EXPECT_EQ(bound, nullptr);
    ASSERT_EQ(device->DeleteStateBlock(token), D3D_OK);
    EXPECT_EQ(device->ApplyStateBlock(token), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->EndStateBlock(&token), D3DERR_INVALIDCALL);
}

TEST_F(DrawTest, CreatedStateBlockOfAllStatesRestoresThem)
{
    DWORD token = 0;
    ASSERT_EQ(device->CreateStateBlock(D3DSBT_ALL, &token), D3D_OK);
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_ALWAYS);
    device->SetTextureStageState(2, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
    D3DVIEWPORT8 vp{10, 10, 100, 100, 0.f, 1.f};
    device->SetViewport(&vp);
    device->ApplyStateBlock(token);
    DWORD v = 0;
    device->GetRenderState(D3DRS_ZFUNC, &v);
    EXPECT_EQ(v, (DWORD)D3DCMP_LESSEQUAL);
    device->GetTextureStageState(2, D3DTSS_ADDRESSU, &v);
    EXPECT_EQ(v, (DWORD)D3DTADDRESS_WRAP);
    D3DVIEWPORT8 got{};
    device->GetViewport(&got);
    EXPECT_EQ(got.Width, 800u);
    DWORD pixel = 0;
    ASSERT_EQ(device->CreateStateBlock(D3DSBT_PIXELSTATE, &pixel), D3D_OK);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);  // a vertex state
    device->SetRenderState(D3DRS_ALPHAREF, 7);      // a pixel state
    device->ApplyStateBlock(pixel);
    device->GetRenderState(D3DRS_LIGHTING, &v);
    EXPECT_EQ(v, (DWORD)FALSE);
    device->GetRenderState(D3DRS_ALPHAREF, &v);
    EXPECT_EQ(v, 0u);
}

TEST_F(DrawTest, UnsupportedVertexFormatsFailLoudly)
{
    device->SetVertexShader(D3DFVF_XYZB2);
    float v[15] = {};
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, 20), D3DERR_INVALIDCALL);
    device->SetVertexShader(kModelFvf);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, 16), D3DERR_INVALIDCALL);  // stride too small
}
