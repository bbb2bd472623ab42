#include "d3d8_test_support.h"

#include <SDL.h>

#include <chrono>
#include <cstring>

namespace {
void ExpectPixel(IDirect3DDevice8* device, int x, int y, uint8_t r, uint8_t g, uint8_t b)
{
    Rgb p = PixelAt(device, x, y);
    EXPECT_EQ(p.r, r) << "at " << x << "," << y;
    EXPECT_EQ(p.g, g) << "at " << x << "," << y;
    EXPECT_EQ(p.b, b) << "at " << x << "," << y;
}
}  // namespace

TEST_F(DeviceTest, ClearFillsTheBackBufferWithTheArgbColour)
{
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0xFF336699, 1.f, 0),
              D3D_OK);
    ExpectPixel(device, 0, 0, 0x33, 0x66, 0x99);
    ExpectPixel(device, 799, 599, 0x33, 0x66, 0x99);
}

TEST_F(DeviceTest, ClearWithoutRectanglesIsLimitedToTheViewportCountedFromTheTop)
{
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.f, 0);
    D3DVIEWPORT8 vp{0, 100, 608, 50, 0.f, 1.f};
    ASSERT_EQ(device->SetViewport(&vp), D3D_OK);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000, 1.f, 0);
    ExpectPixel(device, 0, 100, 255, 0, 0);
    ExpectPixel(device, 607, 149, 255, 0, 0);
    ExpectPixel(device, 608, 120, 0, 0, 0);  // beside the match viewport
    ExpectPixel(device, 10, 99, 0, 0, 0);    // above it
    ExpectPixel(device, 10, 150, 0, 0, 0);   // below it
}

TEST_F(DeviceTest, ClearRectanglesAreClippedToTheViewport)
{
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.f, 0);
    D3DVIEWPORT8 vp{0, 0, 400, 600, 0.f, 1.f};
    device->SetViewport(&vp);
    D3DRECT rects[2] = {{10, 10, 20, 20}, {390, 300, 500, 310}};
    ASSERT_EQ(device->Clear(2, rects, D3DCLEAR_TARGET, 0xFF00FF00, 1.f, 0), D3D_OK);
    ExpectPixel(device, 10, 10, 0, 255, 0);
    ExpectPixel(device, 20, 20, 0, 0, 0);  // the rectangle's right and bottom edges are exclusive
    ExpectPixel(device, 399, 305, 0, 255, 0);
    ExpectPixel(device, 400, 305, 0, 0, 0);
}

TEST_F(DeviceTest, ClearRejectsWhatTheDeviceDoesNotHave)
{
    EXPECT_EQ(device->Clear(1, nullptr, D3DCLEAR_TARGET, 0, 1.f, 0), D3DERR_INVALIDCALL);
    device->Release();
    device = nullptr;
    D3DPRESENT_PARAMETERS p = WindowedParams(window, true, D3DFMT_D16);
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &device), D3D_OK);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.f, 0), D3D_OK);
}

TEST_F(DeviceTest, ViewportOutsideTheBackBufferIsRefused)
{
    D3DVIEWPORT8 vp{700, 0, 200, 600, 0.f, 1.f};
    EXPECT_EQ(device->SetViewport(&vp), D3DERR_INVALIDCALL);
    D3DVIEWPORT8 got{};
    device->GetViewport(&got);
    EXPECT_EQ(got.Width, 800u);
    EXPECT_EQ(got.Height, 600u);
}

TEST_F(DeviceTest, PresentShowsTheFrameAndCountsIt)
{
    uint64_t before = PlatformFrameCount();
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF102030, 1.f, 0);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->BeginScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->EndScene(), D3D_OK);
    EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(PlatformFrameCount(), before + 1);
    RECT partial{0, 0, 10, 10};
    EXPECT_EQ(device->Present(&partial, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
}

TEST_F(DeviceTest, BackBufferDescriptionMatchesThePresentParameters)
{
    IDirect3DSurface8* bb = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &bb), D3D_OK);
    D3DSURFACE_DESC desc{};
    bb->GetDesc(&desc);
    EXPECT_EQ(desc.Width, 800u);
    EXPECT_EQ(desc.Height, 600u);
    EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
    D3DLOCKED_RECT locked;
    EXPECT_EQ(bb->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(bb->Release(), 0u);
    EXPECT_EQ(device->GetBackBuffer(1, D3DBACKBUFFER_TYPE_MONO, &bb), D3DERR_INVALIDCALL);
}

TEST_F(DeviceTest, ResetFailsWhileADefaultPoolResourceIsAlive)
{
    IDirect3DVertexBuffer8* vb = nullptr;
    IDirect3DVertexBuffer8* managed = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(64, D3DUSAGE_WRITEONLY, 0x112, D3DPOOL_DEFAULT, &vb), D3D_OK);
    ASSERT_EQ(device->CreateVertexBuffer(64, D3DUSAGE_WRITEONLY, 0x112, D3DPOOL_MANAGED, &managed), D3D_OK);
    D3DPRESENT_PARAMETERS p = params;
    EXPECT_EQ(device->Reset(&p), D3DERR_INVALIDCALL);
    EXPECT_EQ(vb->Release(), 0u);
    p = params;
    EXPECT_EQ(device->Reset(&p), D3D_OK);  // the managed buffer survives a reset
    D3DVERTEXBUFFER_DESC desc{};
    EXPECT_EQ(managed->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Size, 64u);
    managed->Release();
}

TEST_F(DeviceTest, AHeldBackBufferAlsoBlocksReset)
{
    IDirect3DSurface8* bb = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &bb), D3D_OK);
    D3DPRESENT_PARAMETERS p = params;
    EXPECT_EQ(device->Reset(&p), D3DERR_INVALIDCALL);
    bb->Release();
    EXPECT_EQ(device->Reset(&p), D3D_OK);
}

TEST_F(DeviceTest, ResetRestoresEveryStateToItsDefault)
{
    D3DMATRIX m{};
    m._11 = 2.f;
    m._44 = 1.f;
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTransform(D3DTS_WORLD, &m);
    D3DPRESENT_PARAMETERS p = params;
    ASSERT_EQ(device->Reset(&p), D3D_OK);
    DWORD v = 0;
    device->GetRenderState(D3DRS_CULLMODE, &v);
    EXPECT_EQ(v, (DWORD)D3DCULL_CCW);
    device->GetRenderState(D3DRS_LIGHTING, &v);
    EXPECT_EQ(v, (DWORD)TRUE);
    device->GetTextureStageState(1, D3DTSS_COLOROP, &v);
    EXPECT_EQ(v, (DWORD)D3DTOP_DISABLE);
    D3DMATRIX got{};
    device->GetTransform(D3DTS_WORLD, &got);
    EXPECT_EQ(got._11, 1.f);
}

TEST_F(DeviceTest, DefaultStatesAreDirect3D8s)
{
    struct {
        D3DRENDERSTATETYPE state;
        DWORD value;
    } expected[] = {
        {D3DRS_ZENABLE, D3DZB_TRUE},       {D3DRS_ZWRITEENABLE, TRUE},       {D3DRS_ZFUNC, D3DCMP_LESSEQUAL},
        {D3DRS_CULLMODE, D3DCULL_CCW},     {D3DRS_SRCBLEND, D3DBLEND_ONE},   {D3DRS_DESTBLEND, D3DBLEND_ZERO},
        {D3DRS_ALPHAFUNC, D3DCMP_ALWAYS},  {D3DRS_LIGHTING, TRUE},           {D3DRS_SPECULARENABLE, FALSE},
        {D3DRS_FILLMODE, D3DFILL_SOLID},   {D3DRS_SHADEMODE, D3DSHADE_GOURAUD}, {D3DRS_COLORWRITEENABLE, 0xF},
        {D3DRS_STENCILMASK, 0xFFFFFFFF},   {D3DRS_TEXTUREFACTOR, 0xFFFFFFFF}, {D3DRS_NORMALIZENORMALS, FALSE},
    };
    for (auto& e : expected) {
        DWORD v = 12345;
        ASSERT_EQ(device->GetRenderState(e.state, &v), D3D_OK);
        EXPECT_EQ(v, e.value) << "render state " << (int)e.state;
    }
    DWORD v = 0;
    device->GetTextureStageState(0, D3DTSS_COLOROP, &v);
    EXPECT_EQ(v, (DWORD)D3DTOP_MODULATE);
    device->GetTextureStageState(0, D3DTSS_ALPHAOP, &v);
    EXPECT_EQ(v, (DWORD)D3DTOP_SELECTARG1);
    device->GetTextureStageState(3, D3DTSS_TEXCOORDINDEX, &v);
    EXPECT_EQ(v, 3u);
    EXPECT_EQ(device->SetRenderState((D3DRENDERSTATETYPE)500, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetTextureStageState(8, D3DTSS_COLOROP, 1), D3DERR_INVALIDCALL);
}

TEST_F(DeviceTest, ReleaseReturnsRealCountsAndResourcesKeepTheDeviceAlive)
{
    EXPECT_EQ(device->AddRef(), 2u);
    EXPECT_EQ(device->Release(), 1u);
    IDirect3DTexture8* tex = nullptr;
    ASSERT_EQ(device->CreateTexture(16, 16, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex), D3D_OK);
    EXPECT_EQ(tex->GetLevelCount(), 5u);
    EXPECT_EQ(tex->AddRef(), 2u);
    EXPECT_EQ(tex->Release(), 1u);
    // The device's own count now includes the texture's reference.
    EXPECT_EQ(device->Release(), 1u);
    IDirect3DDevice8* owner = nullptr;
    ASSERT_EQ(tex->GetDevice(&owner), D3D_OK);
    EXPECT_EQ(owner->Release(), 1u);
    device->SetTexture(0, tex);
    EXPECT_EQ(tex->Release(), 0u);  // the texture goes and takes the last device reference with it
    device = nullptr;
    // The Direct3D object was held by the device until then.
    EXPECT_EQ(d3d->AddRef(), 2u);
    EXPECT_EQ(d3d->Release(), 1u);
}

TEST_F(DeviceTest, BufferLocksStayInsideTheBuffer)
{
    IDirect3DIndexBuffer8* ib = nullptr;
    ASSERT_EQ(device->CreateIndexBuffer(12, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib), D3D_OK);
    BYTE* data = nullptr;
    EXPECT_EQ(ib->Lock(8, 8, &data, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(ib->Lock(0xFFFFFFF0u, 0x20, &data, 0), D3DERR_INVALIDCALL);
    ASSERT_EQ(ib->Lock(4, 8, &data, 0), D3D_OK);
    const uint16_t values[4] = {1, 2, 3, 4};
    std::memcpy(data, values, 8);
    EXPECT_EQ(ib->Unlock(), D3D_OK);
    EXPECT_EQ(ib->Unlock(), D3DERR_INVALIDCALL);
    ASSERT_EQ(ib->Lock(0, 0, &data, D3DLOCK_READONLY), D3D_OK);  // size 0: the whole buffer
    EXPECT_EQ(reinterpret_cast<uint16_t*>(data)[2], 1);
    ib->Unlock();
    EXPECT_EQ(ib->Release(), 0u);
    EXPECT_EQ(device->CreateIndexBuffer(12, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &ib), D3DERR_INVALIDCALL);
    EXPECT_EQ(ib, nullptr);
    IDirect3DIndexBuffer8* keep = nullptr;
    ASSERT_EQ(device->CreateIndexBuffer(4, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &keep), D3D_OK);
    keep->Release();
}

TEST_F(DeviceTest, TextureLevelsLockWithTheirOwnPitch)
{
    IDirect3DTexture8* tex = nullptr;
    ASSERT_EQ(device->CreateTexture(64, 32, 2, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, &tex), D3D_OK);
    D3DSURFACE_DESC desc{};
    tex->GetLevelDesc(1, &desc);
    EXPECT_EQ(desc.Width, 32u);
    EXPECT_EQ(desc.Height, 16u);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(tex->LockRect(1, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(locked.Pitch, 64);
    EXPECT_EQ(tex->LockRect(1, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(tex->UnlockRect(1), D3D_OK);
    RECT outside{0, 0, 33, 16};
    EXPECT_EQ(tex->LockRect(1, &locked, &outside, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(tex->LockRect(2, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    IDirect3DSurface8* level = nullptr;
    ASSERT_EQ(tex->GetSurfaceLevel(0, &level), D3D_OK);
    EXPECT_EQ(tex->Release(), 1u);  // the level surface keeps its texture
    EXPECT_EQ(level->Release(), 0u);
}

TEST_F(DeviceTest, FullScreenResetNeedsAnOfferedModeAndGoesBackToTheWindow)
{
    D3DPRESENT_PARAMETERS full = params;
    full.Windowed = FALSE;
    full.BackBufferWidth = 801;
    full.SwapEffect = D3DSWAPEFFECT_FLIP;
    EXPECT_EQ(device->Reset(&full), D3DERR_INVALIDCALL);
    EXPECT_FALSE(PlatformIsFullscreen(window));
    full.BackBufferWidth = 800;
    ASSERT_EQ(device->Reset(&full), D3D_OK);
    EXPECT_TRUE(PlatformIsFullscreen(window));
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.f, 0);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    ExpectPixel(device, 400, 300, 0, 0, 255);
    D3DPRESENT_PARAMETERS back = params;
    ASSERT_EQ(device->Reset(&back), D3D_OK);
    EXPECT_FALSE(PlatformIsFullscreen(window));
}

// A full-screen device gives the display back when it is released: a windowed device made next
// on the same window finds it a window again.
TEST_F(DeviceTest, ReleasingAFullScreenDeviceGivesTheWindowBack)
{
    D3DPRESENT_PARAMETERS full = params;
    full.Windowed = FALSE;
    full.BackBufferWidth = 800;
    full.BackBufferHeight = 600;
    full.SwapEffect = D3DSWAPEFFECT_FLIP;
    ASSERT_EQ(device->Reset(&full), D3D_OK);
    ASSERT_TRUE(PlatformIsFullscreen(window));
    EXPECT_EQ(device->Release(), 0u);
    device = nullptr;
    EXPECT_FALSE(PlatformIsFullscreen(window));
    D3DPRESENT_PARAMETERS p = params;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &device), D3D_OK);
    EXPECT_FALSE(PlatformIsFullscreen(window));
    IDirect3DSurface8* back = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    D3DSURFACE_DESC desc{};
    back->GetDesc(&desc);
    back->Release();
    EXPECT_EQ(desc.Width, 800u);
    EXPECT_EQ(desc.Height, 600u);
}

// Full screen with the default or one-frame interval, and in a window, a program presents no
// faster than the display refreshes; immediate full-screen presents and scripted fixed-step runs
// do not wait.
TEST_F(DeviceTest, PresentsWaitForTheDisplaysRefreshUnlessImmediateOrFixedStep)
{
    D3DPRESENT_PARAMETERS full = params;
    full.Windowed = FALSE;
    full.BackBufferWidth = 800;
    full.BackBufferHeight = 600;
    full.SwapEffect = D3DSWAPEFFECT_FLIP;
    full.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;
    ASSERT_EQ(device->Reset(&full), D3D_OK);
    SDL_DisplayMode mode{};
    ASSERT_EQ(SDL_GetCurrentDisplayMode(0, &mode), 0);
    const double period = 1.0 / (mode.refresh_rate > 0 ? mode.refresh_rate : 60);
    uint64_t before = D3D8RefreshWaits();
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 7; ++i) ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(D3D8RefreshWaits() - before, 7u);
    // Seven frames span at least six refreshes (the first one may show at once).
    EXPECT_GE(took, 6 * period * 0.95);

    full.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_ONE;
    ASSERT_EQ(device->Reset(&full), D3D_OK);
    before = D3D8RefreshWaits();
    for (int i = 0; i < 3; ++i) ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(D3D8RefreshWaits() - before, 3u);

    full.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    ASSERT_EQ(device->Reset(&full), D3D_OK);
    before = D3D8RefreshWaits();
    for (int i = 0; i < 3; ++i) ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(D3D8RefreshWaits(), before);

    full.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_ONE;
    ASSERT_EQ(device->Reset(&full), D3D_OK);
    PlatformSetFixedStep(20);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    PlatformSetFixedStep(0);
    EXPECT_EQ(D3D8RefreshWaits(), before);

    // A window is paced as well, unless the frames come from the fixed-step clock.
    D3DPRESENT_PARAMETERS back = params;
    ASSERT_EQ(device->Reset(&back), D3D_OK);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(D3D8RefreshWaits() - before, 3u);
    before = D3D8RefreshWaits();
    PlatformSetFixedStep(20);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    PlatformSetFixedStep(0);
    EXPECT_EQ(D3D8RefreshWaits(), before);
}

TEST_F(DeviceTest, DeviceCursorTakesAnA8R8G8B8ImageWithItsHotSpotInside)
{
    IDirect3DSurface8* image = nullptr;
    ASSERT_EQ(device->CreateImageSurface(32, 32, D3DFMT_A8R8G8B8, &image), D3D_OK);
    EXPECT_EQ(device->SetCursorProperties(4, 4, image), D3D_OK);
    EXPECT_EQ(device->SetCursorProperties(32, 0, image), D3DERR_INVALIDCALL);
    image->Release();
    ASSERT_EQ(device->CreateImageSurface(32, 32, D3DFMT_R5G6B5, &image), D3D_OK);
    EXPECT_EQ(device->SetCursorProperties(0, 0, image), D3DERR_INVALIDCALL);
    image->Release();
}

TEST_F(DeviceTest, CallsNotCarriedOutFailLoudly)
{
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);  // no stream set
    IDirect3DSurface8* target = nullptr;
    EXPECT_EQ(device->CreateRenderTarget(64, 64, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, FALSE, &target),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CopyRects(nullptr, nullptr, 0, nullptr, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetPixelShader(1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetVertexShader(0x112), D3D_OK);
    DWORD handle = 0;
    device->GetVertexShader(&handle);
    EXPECT_EQ(handle, 0x112u);
}
