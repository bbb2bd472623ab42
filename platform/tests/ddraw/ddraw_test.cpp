#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/ddraw/d3d7.h"
#include "platform/ddraw/ddraw.h"
#include "platform/ddraw/ddraw_testing.h"
#include "platform/win32/platform_internal.h"

namespace {

struct DDraw {
    LPDIRECTDRAW7 dd = nullptr;
    DDraw()
    {
        EXPECT_EQ(DirectDrawCreateEx(nullptr, reinterpret_cast<LPVOID*>(&dd), IID_IDirectDraw7, nullptr), DD_OK);
        EXPECT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
    }
    ~DDraw() { dd->Release(); }
    LPDIRECTDRAWSURFACE7 Make(int w, int h, bool is555 = false, DWORD caps = DDSCAPS_OFFSCREENPLAIN)
    {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        d.dwWidth = static_cast<DWORD>(w);
        d.dwHeight = static_cast<DWORD>(h);
        d.ddsCaps.dwCaps = caps;
        d.ddpfPixelFormat.dwSize = sizeof d.ddpfPixelFormat;
        d.ddpfPixelFormat.dwFlags = DDPF_RGB;
        d.ddpfPixelFormat.dwRGBBitCount = 16;
        d.ddpfPixelFormat.dwRBitMask = is555 ? 0x7C00 : 0xF800;
        d.ddpfPixelFormat.dwGBitMask = is555 ? 0x03E0 : 0x07E0;
        d.ddpfPixelFormat.dwBBitMask = 0x1F;
        LPDIRECTDRAWSURFACE7 s = nullptr;
        EXPECT_EQ(dd->CreateSurface(&d, &s, nullptr), DD_OK);
        return s;
    }
};

// The whole surface as rows of pixels, read through Lock and its pitch.
std::vector<uint16_t> Read(LPDIRECTDRAWSURFACE7 s, int w, int h)
{
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    EXPECT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    std::vector<uint16_t> out(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        std::memcpy(&out[static_cast<size_t>(y) * w], static_cast<uint8_t*>(d.lpSurface) + y * d.lPitch, static_cast<size_t>(w) * 2);
    s->Unlock(nullptr);
    return out;
}

void Fill(LPDIRECTDRAWSURFACE7 s, int w, int h, uint16_t (*f)(int, int))
{
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    ASSERT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint16_t v = f(x, y);
            std::memcpy(static_cast<uint8_t*>(d.lpSurface) + y * d.lPitch + x * 2, &v, 2);
        }
    s->Unlock(nullptr);
}

uint16_t SourcePattern(int x, int y) { return (x + y) % 3 == 0 ? 0xF81F : static_cast<uint16_t>(x * 64 + y + 1); }
uint16_t DestPattern(int x, int y) { return static_cast<uint16_t>(0x1000 + x * 7 + y * 131); }

TEST(DDrawSurface, LockGivesAPitchWiderThanTheRowForOddWidths)
{
    DDraw dd;
    LPDIRECTDRAWSURFACE7 s = dd.Make(13, 7);
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    ASSERT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_GE(d.lPitch, 26);
    EXPECT_EQ(d.dwWidth, 13u);
    EXPECT_EQ(d.ddpfPixelFormat.dwRGBBitCount, 16u);
    // A second lock and a blit while locked are refused.
    DDSURFACEDESC2 again{};
    again.dwSize = sizeof again;
    EXPECT_EQ(s->Lock(nullptr, &again, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    LPDIRECTDRAWSURFACE7 other = dd.Make(4, 4);
    EXPECT_EQ(other->BltFast(0, 0, s, nullptr, 0), DDERR_SURFACEBUSY);
    EXPECT_EQ(s->Unlock(nullptr), DD_OK);
    EXPECT_EQ(s->Unlock(nullptr), DDERR_NOTLOCKED);
    other->Release();
    s->Release();
}

TEST(DDrawSurface, KeyedBltFastMatchesAReferenceAtEveryPosition)
{
    DDraw dd;
    const int SW = 5, SH = 4, DW = 11, DH = 9;
    LPDIRECTDRAWSURFACE7 src = dd.Make(SW, SH);
    LPDIRECTDRAWSURFACE7 dst = dd.Make(DW, DH);
    Fill(src, SW, SH, SourcePattern);
    DDCOLORKEY key = {0xF81F, 0xF81F};
    ASSERT_EQ(src->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    RECT part = {1, 1, 5, 4};  // 4 x 3 of the source
    for (int y = -4; y <= DH + 1; ++y)
        for (int x = -5; x <= DW + 1; ++x) {
            Fill(dst, DW, DH, DestPattern);
            HRESULT hr = dst->BltFast(static_cast<DWORD>(x), static_cast<DWORD>(y), src, &part, DDBLTFAST_SRCCOLORKEY);
            bool inside = x >= 0 && y >= 0 && x + 4 <= DW && y + 3 <= DH;
            std::vector<uint16_t> got = Read(dst, DW, DH);
            for (int ty = 0; ty < DH; ++ty)
                for (int tx = 0; tx < DW; ++tx) {
                    uint16_t want = DestPattern(tx, ty);
                    if (inside && tx >= x && tx < x + 4 && ty >= y && ty < y + 3) {
                        uint16_t s = SourcePattern(tx - x + 1, ty - y + 1);
                        if (s != 0xF81F) want = s;
                    }
                    ASSERT_EQ(got[static_cast<size_t>(ty) * DW + tx], want) << "blit at " << x << "," << y;
                }
            EXPECT_EQ(hr, inside ? DD_OK : DDERR_INVALIDRECT) << x << "," << y;
        }
    src->Release();
    dst->Release();
}

TEST(DDrawSurface, RefusesEmptyInvertedAndOutsideRectangles)
{
    DDraw dd;
    LPDIRECTDRAWSURFACE7 src = dd.Make(8, 8), dst = dd.Make(8, 8);
    RECT empty = {2, 2, 2, 5}, inverted = {5, 5, 2, 2}, outside = {4, 4, 9, 6}, negative = {-1, 0, 3, 3};
    for (RECT* r : {&empty, &inverted, &outside, &negative}) {
        EXPECT_EQ(dst->BltFast(0, 0, src, r, 0), DDERR_INVALIDRECT);
        EXPECT_EQ(dst->Blt(nullptr, src, r, 0, nullptr), DDERR_INVALIDRECT);
        EXPECT_EQ(dst->Blt(r, src, nullptr, 0, nullptr), DDERR_INVALIDRECT);
    }
    // Keyed blits of a source without a key, and different pixel formats, are refused.
    EXPECT_EQ(dst->BltFast(0, 0, src, nullptr, DDBLTFAST_SRCCOLORKEY), DDERR_NOCOLORKEY);
    LPDIRECTDRAWSURFACE7 s555 = dd.Make(8, 8, true);
    EXPECT_EQ(dst->BltFast(0, 0, s555, nullptr, 0), DDERR_INVALIDPIXELFORMAT);
    s555->Release();
    src->Release();
    dst->Release();
}

TEST(DDrawSurface, StretchBltAndColourFill)
{
    DDraw dd;
    LPDIRECTDRAWSURFACE7 src = dd.Make(3, 2), dst = dd.Make(10, 6);
    Fill(src, 3, 2, SourcePattern);
    DDCOLORKEY key = {0xF81F, 0xF81F};
    src->SetColorKey(DDCKEY_SRCBLT, &key);
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = 0x1234;
    ASSERT_EQ(dst->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);
    RECT to = {2, 1, 8, 5};  // 6 x 4: each source pixel becomes 2 x 2
    ASSERT_EQ(dst->Blt(&to, src, nullptr, DDBLT_KEYSRC | DDBLT_WAIT, nullptr), DD_OK);
    std::vector<uint16_t> got = Read(dst, 10, 6);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 10; ++x) {
            uint16_t want = 0x1234;
            if (x >= 2 && x < 8 && y >= 1 && y < 5) {
                uint16_t s = SourcePattern((x - 2) / 2, (y - 1) / 2);
                if (s != 0xF81F) want = s;
            }
            EXPECT_EQ(got[static_cast<size_t>(y) * 10 + x], want) << x << "," << y;
        }
    src->Release();
    dst->Release();
}

TEST(DDrawSurface, SixteenBitModesIn565And555)
{
    for (bool use555 : {false, true}) {
        PlatformDDrawUse555(use555);
        LPDIRECTDRAW7 dd = nullptr;
        ASSERT_EQ(DirectDrawCreateEx(nullptr, reinterpret_cast<LPVOID*>(&dd), IID_IDirectDraw7, nullptr), DD_OK);
        // Display modes belong to exclusive full-screen owners.
        EXPECT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
        EXPECT_EQ(dd->SetDisplayMode(640, 480, 16, 0, 0), DDERR_NOEXCLUSIVEMODE);
        DDSURFACEDESC2 mode{};
        mode.dwSize = sizeof mode;
        ASSERT_EQ(dd->GetDisplayMode(&mode), DD_OK);
        EXPECT_EQ(mode.ddpfPixelFormat.dwRGBBitCount, 32u);
        // A surface without an explicit format takes the display's.
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        d.dwFlags = DDSD_WIDTH | DDSD_HEIGHT;
        d.dwWidth = d.dwHeight = 4;
        LPDIRECTDRAWSURFACE7 s = nullptr;
        ASSERT_EQ(dd->CreateSurface(&d, &s, nullptr), DD_OK);
        DDPIXELFORMAT f{};
        s->GetPixelFormat(&f);
        EXPECT_EQ(f.dwRGBBitCount, 32u);
        s->Release();
        PlatformDDrawSetDesktopDepth(16);
        dd->RestoreDisplayMode();
        ASSERT_EQ(dd->GetDisplayMode(&mode), DD_OK);
        EXPECT_EQ(mode.ddpfPixelFormat.dwRGBBitCount, 16u);
        EXPECT_EQ(mode.ddpfPixelFormat.dwGBitMask, use555 ? 0x03E0u : 0x07E0u);
        PlatformDDrawSetDesktopDepth(32);
        dd->Release();
    }
    PlatformDDrawUse555(false);
}

TEST(DDrawSurface, Direct3DDeviceNeedsA3DSurfaceAndKeepsStates)
{
    DDraw dd;
    LPDIRECT3D7 d3d = nullptr;
    ASSERT_EQ(dd.dd->QueryInterface(IID_IDirect3D7, reinterpret_cast<void**>(&d3d)), S_OK);
    LPDIRECTDRAWSURFACE7 plain = dd.Make(8, 8), target = dd.Make(8, 8, false, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE);
    LPDIRECT3DDEVICE7 dev = nullptr;
    EXPECT_EQ(d3d->CreateDevice(IID_IDirect3DHALDevice, plain, &dev), DDERR_INVALIDCAPS);
    ASSERT_EQ(d3d->CreateDevice(IID_IDirect3DHALDevice, target, &dev), DD_OK);
    dev->SetRenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD);
    DWORD v = 0;
    dev->GetRenderState(D3DRENDERSTATE_SHADEMODE, &v);
    EXPECT_EQ(v, static_cast<DWORD>(D3DSHADE_GOURAUD));
    PlatformDDrawFailNext("CreateDevice", DDERR_GENERIC);
    LPDIRECT3DDEVICE7 failed = nullptr;
    EXPECT_EQ(d3d->CreateDevice(IID_IDirect3DHALDevice, target, &failed), DDERR_GENERIC);
    EXPECT_EQ(failed, nullptr);
    dev->Release();
    d3d->Release();
    plain->Release();
    target->Release();
}

LRESULT CALLBACK PlainProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }

// A game that draws the same frame again (an idle menu) does not have it scaled and shown again;
// a changed frame is shown, and so is the same frame once the window lost its picture.
TEST(DDrawPresent, AnUnchangedFrameIsShownAgainOnlyAfterTheWindowLostIt)
{
    ASSERT_TRUE(PlatformInit());
    WNDCLASSA wc{};
    wc.lpfnWndProc = PlainProc;
    wc.lpszClassName = "DDrawPresentTest";
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowExA(0, "DDrawPresentTest", "t", WS_POPUP, 0, 0, 128, 96, nullptr, nullptr, nullptr, nullptr);
    ShowWindow(hwnd, SW_SHOW);
    DDraw d;
    ASSERT_EQ(d.dd->SetCooperativeLevel(hwnd, DDSCL_NORMAL), DD_OK);
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    LPDIRECTDRAWSURFACE7 primary = nullptr;
    ASSERT_EQ(d.dd->CreateSurface(&desc, &primary, nullptr), DD_OK);
    LPDIRECTDRAWCLIPPER clipper = nullptr;
    ASSERT_EQ(d.dd->CreateClipper(0, &clipper, nullptr), DD_OK);
    ASSERT_EQ(clipper->SetHWnd(0, hwnd), DD_OK);
    ASSERT_EQ(primary->SetClipper(clipper), DD_OK);
    LPDIRECTDRAWSURFACE7 back = d.Make(64, 48);
    RECT client;
    GetClientRect(hwnd, &client);
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    OffsetRect(&client, origin.x, origin.y);
    auto present = [&] { ASSERT_EQ(primary->Blt(&client, back, nullptr, DDBLT_WAIT, nullptr), DD_OK); };

    Fill(back, 64, 48, SourcePattern);
    const uint64_t before = PlatformDDrawWindowShows();
    const uint64_t presents = PlatformDDrawPresentCount();
    present();
    EXPECT_EQ(PlatformDDrawWindowShows(), before + 1);
    present();
    present();
    EXPECT_EQ(PlatformDDrawWindowShows(), before + 1);
    // Every present still counts as a frame, and the last one is what screenshots read.
    EXPECT_EQ(PlatformDDrawPresentCount(), presents + 3);

    Fill(back, 64, 48, DestPattern);
    present();
    EXPECT_EQ(PlatformDDrawWindowShows(), before + 2);
    int w = 0, h = 0;
    std::vector<uint32_t> rgb;
    ASSERT_TRUE(PlatformDDrawLastPresented(w, h, rgb));
    EXPECT_EQ(rgb[0], 0x100000u);  // DestPattern(0, 0) = 0x1000 in 565

    // The window is uncovered: its picture must be drawn again, though the frame is the same.
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = SDL_WINDOWEVENT_EXPOSED;
    e.window.windowID = SDL_GetWindowID(PlatformSdlWindow(hwnd));
    ASSERT_EQ(SDL_PushEvent(&e), 1);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    present();
    EXPECT_EQ(PlatformDDrawWindowShows(), before + 3);
    present();
    EXPECT_EQ(PlatformDDrawWindowShows(), before + 3);

    back->Release();
    clipper->Release();
    primary->Release();
    DestroyWindow(hwnd);
}

}  // namespace
