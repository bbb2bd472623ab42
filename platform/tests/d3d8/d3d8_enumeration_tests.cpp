#include "d3d8_test_support.h"

namespace {
class OfferTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        D3D8ResetStandInSettings();
        ASSERT_TRUE(PlatformInit());
    }
    void TearDown() override
    {
        if (d3d) {
            EXPECT_EQ(d3d->Release(), 0u);
        }
        D3D8ResetStandInSettings();
    }
    IDirect3D8* Make()
    {
        d3d = Direct3DCreate8(120);
        return d3d;
    }
    IDirect3D8* d3d = nullptr;
};
}  // namespace

TEST_F(OfferTest, DefaultOfferHasBothDeviceTypesAnd800x600InTwoFormats)
{
    ASSERT_NE(Make(), nullptr);
    EXPECT_EQ(d3d->GetAdapterCount(), 1u);
    int found = 0;
    for (UINT i = 0; i < d3d->GetAdapterModeCount(0); ++i) {
        D3DDISPLAYMODE m;
        ASSERT_EQ(d3d->EnumAdapterModes(0, i, &m), D3D_OK);
        if (m.Width == 800 && m.Height == 600) ++found;
    }
    EXPECT_EQ(found, 2);
    D3DCAPS8 caps;
    ASSERT_EQ(d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_TRUE(caps.Caps2 & D3DCAPS2_CANRENDERWINDOWED);
    EXPECT_TRUE(caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT);
    EXPECT_GE(caps.MaxTextureBlendStages, 2u);
    EXPECT_EQ(caps.VertexShaderVersion, D3DVS_VERSION(1, 1));
    EXPECT_EQ(d3d->GetDeviceCaps(0, D3DDEVTYPE_REF, &caps), D3D_OK);
    EXPECT_EQ(d3d->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, TRUE), D3D_OK);
    EXPECT_EQ(d3d->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_R5G6B5, D3DFMT_R5G6B5, FALSE), D3D_OK);
    // Windowed rendering needs the desktop format.
    EXPECT_NE(d3d->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_R5G6B5, D3DFMT_R5G6B5, TRUE), D3D_OK);
    EXPECT_NE(d3d->CheckDeviceType(0, D3DDEVTYPE_SW, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, FALSE), D3D_OK);
    EXPECT_EQ(d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, TRUE, D3DMULTISAMPLE_NONE), D3D_OK);
    EXPECT_NE(d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, TRUE, D3DMULTISAMPLE_2_SAMPLES),
              D3D_OK);
}

TEST_F(OfferTest, DepthFormatsFollowTheConfiguration)
{
    ASSERT_NE(Make(), nullptr);
    for (D3DFORMAT f : {D3DFMT_D16, D3DFMT_D24S8, D3DFMT_D32}) {
        EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, f),
                  D3D_OK);
        EXPECT_EQ(d3d->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, f), D3D_OK);
    }
    EXPECT_NE(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE,
                                     D3DFMT_D15S1),
              D3D_OK);
    d3d->Release();
    d3d = nullptr;
    D3D8StandInSettings().offerD24S8 = false;
    D3D8StandInSettings().offerD32 = false;
    ASSERT_NE(Make(), nullptr);
    EXPECT_NE(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE,
                                     D3DFMT_D24S8),
              D3D_OK);
    EXPECT_NE(d3d->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_D32), D3D_OK);
    EXPECT_EQ(d3d->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_D16), D3D_OK);
}

TEST_F(OfferTest, ReducedOffersHideWhatWasSwitchedOff)
{
    D3D8StandInSettings().offerRef = false;
    D3D8StandInSettings().halCanRenderWindowed = false;
    D3D8StandInSettings().offer800x600 = false;
    ASSERT_NE(Make(), nullptr);
    D3DCAPS8 caps;
    EXPECT_NE(d3d->GetDeviceCaps(0, D3DDEVTYPE_REF, &caps), D3D_OK);
    ASSERT_EQ(d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_FALSE(caps.Caps2 & D3DCAPS2_CANRENDERWINDOWED);
    EXPECT_NE(d3d->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, TRUE), D3D_OK);
    for (UINT i = 0; i < d3d->GetAdapterModeCount(0); ++i) {
        D3DDISPLAYMODE m;
        d3d->EnumAdapterModes(0, i, &m);
        EXPECT_FALSE(m.Width == 800 && m.Height == 600);
    }
    // Settings changed later do not alter an existing Direct3D object.
    D3D8ResetStandInSettings();
    EXPECT_NE(d3d->GetDeviceCaps(0, D3DDEVTYPE_REF, &caps), D3D_OK);
}

TEST_F(OfferTest, CreateDeviceValidatesItsArguments)
{
    ASSERT_NE(Make(), nullptr);
    HWND window = MakeTestWindow();
    ASSERT_NE(window, nullptr);
    IDirect3DDevice8* device = nullptr;
    D3DPRESENT_PARAMETERS p = WindowedParams(window);
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, 0, &p, &device), D3DERR_INVALIDCALL);
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window,
                                D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &device),
              D3DERR_INVALIDCALL);
    p.MultiSampleType = D3DMULTISAMPLE_2_SAMPLES;
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &device),
              D3DERR_INVALIDCALL);
    p = WindowedParams(window);
    p.AutoDepthStencilFormat = D3DFMT_D15S1;
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &device),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device, nullptr);
    // A windowed device with no size takes the window's client size.
    p = WindowedParams(window);
    p.BackBufferWidth = p.BackBufferHeight = 0;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_REF, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &device), D3D_OK);
    EXPECT_EQ(p.BackBufferWidth, 800u);
    EXPECT_EQ(p.BackBufferHeight, 600u);
    D3DDEVICE_CREATION_PARAMETERS cp{};
    device->GetCreationParameters(&cp);
    EXPECT_EQ(cp.DeviceType, D3DDEVTYPE_REF);
    EXPECT_EQ(d3d->AddRef(), 3u);  // ours, the device's, and this one
    d3d->Release();
    EXPECT_EQ(device->Release(), 0u);
    DestroyWindow(window);
}

TEST_F(OfferTest, AFailingHardwareDeviceCanBeConfigured)
{
    D3D8StandInSettings().failCreateHal = true;
    ASSERT_NE(Make(), nullptr);
    HWND window = MakeTestWindow();
    IDirect3DDevice8* device = nullptr;
    D3DPRESENT_PARAMETERS p = WindowedParams(window);
    EXPECT_TRUE(FAILED(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &device)));
    EXPECT_EQ(device, nullptr);
    DestroyWindow(window);
}
