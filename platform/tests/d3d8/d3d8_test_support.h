// A window and a device for the Direct3D tests, and a read-back of the presented image.
#pragma once

#include "platform/d3d8/d3d8_internal.h"
#include "platform/win32/platform_internal.h"
#include "platform/win32/win32.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

inline LRESULT CALLBACK D3DTestWindowProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }

inline HWND MakeTestWindow()
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = D3DTestWindowProc;
        wc.lpszClassName = "D3D8 Test Window";
        RegisterClassA(&wc);
        registered = true;
    }
    RECT rc{0, 0, 800, 600};
    AdjustWindowRectEx(&rc, WS_POPUP | WS_CAPTION, FALSE, 0);
    return CreateWindowExA(0, "D3D8 Test Window", "d3d8 test", WS_POPUP | WS_CAPTION | WS_VISIBLE, 0, 0,
                           rc.right - rc.left, rc.bottom - rc.top, nullptr, nullptr, nullptr, nullptr);
}

inline D3DPRESENT_PARAMETERS WindowedParams(HWND window, bool depth = true, D3DFORMAT depthFormat = D3DFMT_D24S8)
{
    D3DPRESENT_PARAMETERS p{};
    p.Windowed = TRUE;
    p.BackBufferFormat = D3DFMT_X8R8G8B8;
    p.BackBufferWidth = 800;
    p.BackBufferHeight = 600;
    p.BackBufferCount = 1;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.hDeviceWindow = window;
    p.EnableAutoDepthStencil = depth ? TRUE : FALSE;
    p.AutoDepthStencilFormat = depthFormat;
    return p;
}

struct Rgb {
    uint8_t r, g, b;
};

inline Rgb PixelAt(IDirect3DDevice8* device, int x, int y)
{
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    auto* impl = dynamic_cast<Direct3DDevice8Impl*>(device);
    if (!impl || !impl->ReadBackBuffer(w, h, rgb) || x >= w || y >= h) return Rgb{1, 2, 3};
    const uint8_t* p = rgb.data() + ((size_t)y * w + x) * 3;
    return Rgb{p[0], p[1], p[2]};
}

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        D3D8ResetStandInSettings();
        ASSERT_TRUE(PlatformInit());
        window = MakeTestWindow();
        ASSERT_NE(window, nullptr);
        d3d = Direct3DCreate8(D3D_SDK_VERSION);
        ASSERT_NE(d3d, nullptr);
        params = WindowedParams(window);
        ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &params, &device),
                  D3D_OK);
    }
    void TearDown() override
    {
        if (device) {
            EXPECT_EQ(device->Release(), 0u);
        }
        if (d3d) {
            EXPECT_EQ(d3d->Release(), 0u);
        }
        if (window) DestroyWindow(window);
        D3D8ResetStandInSettings();
    }
    HWND window = nullptr;
    IDirect3D8* d3d = nullptr;
    IDirect3DDevice8* device = nullptr;
    D3DPRESENT_PARAMETERS params{};
};
