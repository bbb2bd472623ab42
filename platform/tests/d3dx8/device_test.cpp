// The D3DX utilities over the real Direct3D stand-in (headless), so that what the mesh and
// texture loaders ask of a device is what the device actually offers.
#include <cstring>

#include <gtest/gtest.h>

#include "platform/d3dx8/d3dx8.h"
#include "platform/tests/support/headless_device.h"
#include "platform/win32/win32.h"
#include "test_tga.h"

namespace {

// A window and a windowed 800 x 600 device, through the public interfaces only.
class D3dxOnDevice : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = CreateTestWindow("d3dx test");
        ASSERT_NE(window, nullptr);
        d3d = Direct3DCreate8(D3D_SDK_VERSION);
        ASSERT_NE(d3d, nullptr);
        D3DPRESENT_PARAMETERS p = WindowedParams(window);
        ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &device),
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
    }
    HWND window = nullptr;
    IDirect3D8* d3d = nullptr;
    IDirect3DDevice8* device = nullptr;
};

const char kTriangle[] = R"(xof 0303txt 0032
Mesh { 3; -1;-1;0;, 0;1;0;, 1;-1;0;; 1; 3;0,1,2;;
  MeshNormals { 1; 0;0;-1;; 1; 3;0,0,0;; }
  MeshTextureCoords { 3; 0;1;, 0.5;0;, 1;1;; }
  MeshMaterialList { 1; 1; 0;; Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } }
}
)";

TEST_F(D3dxOnDevice, MeshLoadsAndClonesIntoTheDefaultPool)
{
    LPD3DXMESH mesh = nullptr, clone = nullptr;
    LPD3DXBUFFER materials = nullptr;
    DWORD count = 0;
    ASSERT_EQ(D3DXLoadMeshFromXInMemory(reinterpret_cast<const BYTE*>(kTriangle), sizeof kTriangle - 1,
                                        D3DXMESH_SYSTEMMEM, device, nullptr, &materials, &count, &mesh),
              S_OK);
    ASSERT_EQ(count, 1u);
    ASSERT_EQ(mesh->CloneMeshFVF(0, mesh->GetFVF(), device, &clone), S_OK);
    IDirect3DVertexBuffer8* vb = nullptr;
    ASSERT_EQ(clone->GetVertexBuffer(&vb), S_OK);
    D3DVERTEXBUFFER_DESC desc;
    ASSERT_EQ(vb->GetDesc(&desc), S_OK);
    EXPECT_EQ(desc.Pool, D3DPOOL_DEFAULT);
    EXPECT_EQ(desc.Size, 3u * 32u);
    vb->Release();
    BYTE* bytes = nullptr;
    ASSERT_EQ(clone->LockVertexBuffer(D3DLOCK_READONLY, &bytes), S_OK);
    float v1[8];
    std::memcpy(v1, bytes + 32, 32);
    clone->UnlockVertexBuffer();
    EXPECT_EQ(v1[1], 1.0f);
    EXPECT_EQ(v1[6], 0.5f);
    EXPECT_EQ(clone->Release(), 0u);
    EXPECT_EQ(mesh->Release(), 0u);
    EXPECT_EQ(materials->Release(), 0u);
}

TEST_F(D3dxOnDevice, TextureRequirementsAndCreation)
{
    UINT w = 100, h = 60, levels = 1;
    D3DFORMAT format = D3DFMT_R5G6B5;
    ASSERT_EQ(D3DXCheckTextureRequirements(device, &w, &h, &levels, 0, &format, D3DPOOL_MANAGED), S_OK);
    D3DCAPS8 caps;
    device->GetDeviceCaps(&caps);
    if (caps.TextureCaps & D3DPTEXTURECAPS_POW2) {
        EXPECT_EQ(w, 128u);
        EXPECT_EQ(h, 64u);
    } else {
        EXPECT_EQ(w, 100u);
        EXPECT_EQ(h, 60u);
    }
    EXPECT_EQ(levels, 1u);

    TgaSpec s;
    s.width = 2;
    s.height = 2;
    s.bits = 32;
    s.descriptor = 0x28;
    const std::vector<uint8_t> file = MakeTga(s, {0, 0, 255, 255, 0, 255, 0, 255, 255, 0, 0, 255, 0, 0, 0, 128});
    IDirect3DTexture8* tex = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileInMemory(device, file.data(), static_cast<UINT>(file.size()), &tex), S_OK);
    ASSERT_EQ(tex->GetLevelCount(), 2u);
    D3DSURFACE_DESC level;
    ASSERT_EQ(tex->GetLevelDesc(0, &level), S_OK);
    EXPECT_EQ(level.Format, D3DFMT_A8R8G8B8);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(tex->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), S_OK);
    uint32_t row1[2];
    std::memcpy(row1, static_cast<BYTE*>(locked.pBits) + locked.Pitch, 8);
    tex->UnlockRect(0);
    EXPECT_EQ(row1[0], 0xFF0000FFu);
    EXPECT_EQ(row1[1], 0x80000000u);
    EXPECT_EQ(tex->Release(), 0u);
}

// A quad loaded through D3DX, textured with a 2 x 2 TGA through D3DX, drawn with DrawSubset:
// each quarter of the quad on screen shows its texel, texture row 0 at the top.
TEST_F(D3dxOnDevice, LoadedMeshDrawsWithItsLoadedTexture)
{
    const char quad[] = R"(xof 0303txt 0032
Mesh { 4; -1;1;0;, 1;1;0;, 1;-1;0;, -1;-1;0;; 1; 4;0,1,2,3;;
  MeshTextureCoords { 4; 0;0;, 1;0;, 1;1;, 0;1;; }
}
)";
    LPD3DXMESH mesh = nullptr;
    ASSERT_EQ(D3DXLoadMeshFromXInMemory(reinterpret_cast<const BYTE*>(quad), sizeof quad - 1, D3DXMESH_MANAGED, device,
                                        nullptr, nullptr, nullptr, &mesh),
              S_OK);
    TgaSpec s;
    s.width = s.height = 2;
    s.descriptor = 0x20;
    // Top row red, green; bottom row blue, white (B, G, R bytes).
    const std::vector<uint8_t> file = MakeTga(s, {0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255});
    IDirect3DTexture8* tex = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileInMemory(device, file.data(), static_cast<UINT>(file.size()), &tex), S_OK);

    D3DXMATRIX world, view, proj;
    D3DXVECTOR3 eye(0, 0, -3), at(0, 0, 0), up(0, 1, 0);
    D3DXMatrixIdentity(&world);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&proj, D3DX_PI / 2, 800.0f / 600.0f, 1.0f, 100.0f);
    device->SetTransform(D3DTS_WORLD, &world);
    device->SetTransform(D3DTS_VIEW, &view);
    device->SetTransform(D3DTS_PROJECTION, &proj);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetTexture(0, tex);
    device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_POINT);
    device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_POINT);
    device->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_NONE);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    ASSERT_EQ(mesh->DrawSubset(0), S_OK);
    ASSERT_EQ(device->EndScene(), D3D_OK);

    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(ReadFrame(device, w, h, rgb));
    ASSERT_EQ(w, 800);
    auto pixel = [&](int x, int y) {
        const uint8_t* p = &rgb[(size_t(y) * w + x) * 3];
        return (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
    };
    // The quad spans x 300..500 and y 200..400 of the 800 x 600 target.
    EXPECT_EQ(pixel(350, 250), 0xFF0000u);
    EXPECT_EQ(pixel(450, 250), 0x00FF00u);
    EXPECT_EQ(pixel(350, 350), 0x0000FFu);
    EXPECT_EQ(pixel(450, 350), 0xFFFFFFu);
    EXPECT_EQ(pixel(100, 100), 0x000000u);
    EXPECT_EQ(pixel(550, 300), 0x000000u);

    device->SetTexture(0, nullptr);
    EXPECT_EQ(tex->Release(), 0u);
    EXPECT_EQ(mesh->Release(), 0u);
}

}  // namespace
