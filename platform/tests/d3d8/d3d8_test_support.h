// A window and a device for the Direct3D tests, and a read-back of the presented image.
#pragma once

#include "platform/d3d8/d3d8_internal.h"
#include "platform/tests/support/headless_device.h"
#include "platform/win32/platform_internal.h"
#include "platform/win32/win32.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

inline HWND MakeTestWindow() { return CreateTestWindow("d3d8 test", WS_POPUP | WS_CAPTION); }

struct Rgb {
    uint8_t r, g, b;
};

inline Rgb PixelAt(IDirect3DDevice8* device, int x, int y)
{
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    if (!ReadFrame(device, w, h, rgb) || x >= w || y >= h) return Rgb{1, 2, 3};
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
