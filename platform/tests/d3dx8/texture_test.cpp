#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "fake_device.h"
#include "platform/d3dx8/d3dx8tex.h"
#include "platform/tests/ijl/jpeg_encode.h"
#include "test_tga.h"

namespace {

struct TextureTest : ::testing::Test {
    FakeDevice* device = new FakeDevice;
    int resourcesBefore = Stats().liveResources;
    void TearDown() override
    {
        EXPECT_EQ(device->Release(), 0u);
        EXPECT_EQ(Stats().liveResources, resourcesBefore) << "a texture leaked";
    }
    HRESULT Create(const std::vector<uint8_t>& file, FakeTexture** out)
    {
        IDirect3DTexture8* tex = nullptr;
        HRESULT hr = D3DXCreateTextureFromFileInMemory(device, file.data(), static_cast<UINT>(file.size()), &tex);
        *out = static_cast<FakeTexture*>(tex);
        return hr;
    }
};

// A w x h top-down 24-bit TGA whose pixel (x, y) has red x * 16, green y * 16, blue 0x40.
std::vector<uint8_t> Gradient(uint16_t w, uint16_t h)
{
    std::vector<uint8_t> px;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) px.insert(px.end(), {0x40, uint8_t(y * 16), uint8_t(x * 16)});
    TgaSpec s;
    s.width = w;
    s.height = h;
    s.descriptor = 0x20;
    return MakeTga(s, px);
}

TEST_F(TextureTest, RequirementsFollowTheDeviceCaps)
{
    UINT w = 100, h = 60, levels = 0;
    D3DFORMAT f = D3DFMT_R5G6B5;
    ASSERT_EQ(D3DXCheckTextureRequirements(device, &w, &h, &levels, 0, &f, D3DPOOL_MANAGED), S_OK);
    EXPECT_EQ(w, 100u);  // no power-of-two requirement: size kept
    EXPECT_EQ(h, 60u);
    EXPECT_EQ(levels, 7u);
    EXPECT_EQ(f, D3DFMT_R5G6B5);

    device->caps.TextureCaps |= D3DPTEXTURECAPS_POW2;
    w = 100, h = 60, levels = 1;
    ASSERT_EQ(D3DXCheckTextureRequirements(device, &w, &h, &levels, 0, nullptr, D3DPOOL_MANAGED), S_OK);
    EXPECT_EQ(w, 128u);
    EXPECT_EQ(h, 64u);
    EXPECT_EQ(levels, 1u);

    device->caps.TextureCaps |= D3DPTEXTURECAPS_SQUAREONLY;
    device->caps.MaxTextureWidth = device->caps.MaxTextureHeight = 256;
    w = 1000, h = 60, levels = 99;
    ASSERT_EQ(D3DXCheckTextureRequirements(device, &w, &h, &levels, 0, nullptr, D3DPOOL_MANAGED), S_OK);
    EXPECT_EQ(w, 256u);
    EXPECT_EQ(h, 256u);
    EXPECT_EQ(levels, 9u);

    device->caps.TextureCaps &= ~DWORD(D3DPTEXTURECAPS_MIPMAP);
    w = D3DX_DEFAULT, h = 0, levels = 0;
    ASSERT_EQ(D3DXCheckTextureRequirements(device, &w, &h, &levels, 0, nullptr, D3DPOOL_MANAGED), S_OK);
    EXPECT_EQ(w, 256u);
    EXPECT_EQ(h, 256u);
    EXPECT_EQ(levels, 1u);
}

TEST_F(TextureTest, MissingFormatsFallBackToTheNearestOffered)
{
    device->formats = {D3DFMT_R5G6B5, D3DFMT_A4R4G4B4};
    D3DFORMAT f = D3DFMT_A8R8G8B8;
    ASSERT_EQ(D3DXCheckTextureRequirements(device, nullptr, nullptr, nullptr, 0, &f, D3DPOOL_MANAGED), S_OK);
    EXPECT_EQ(f, D3DFMT_A4R4G4B4);  // alpha kept where possible
    f = D3DFMT_X8R8G8B8;
    ASSERT_EQ(D3DXCheckTextureRequirements(device, nullptr, nullptr, nullptr, 0, &f, D3DPOOL_MANAGED), S_OK);
    EXPECT_EQ(f, D3DFMT_R5G6B5);
    device->formats = {D3DFMT_L8};
    f = D3DFMT_R5G6B5;
    EXPECT_EQ(D3DXCheckTextureRequirements(device, nullptr, nullptr, nullptr, 0, &f, D3DPOOL_MANAGED), D3DERR_NOTAVAILABLE);
}

TEST_F(TextureTest, PictureFillsTheTextureWithAFullMipChain)
{
    FakeTexture* tex = nullptr;
    ASSERT_EQ(Create(Gradient(4, 2), &tex), S_OK);
    EXPECT_EQ(tex->format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(tex->pool, D3DPOOL_MANAGED);
    ASSERT_EQ(tex->levels.size(), 3u);  // 4x2, 2x1, 1x1
    EXPECT_EQ(tex->Pixel32(0, 0, 0), 0xFF000040u);
    EXPECT_EQ(tex->Pixel32(0, 3, 1), 0xFF301040u);
    // Level 1 pixel 1 averages x 2..3 of both rows: red (32+48)/2, green (0+16)/2.
    EXPECT_EQ(tex->Pixel32(1, 1, 0), 0xFF280840u);
    EXPECT_FALSE(tex->levels[0].locked);
    // The padding behind each row is left alone.
    EXPECT_EQ(tex->levels[0].bytes[16], 0xCD);
    tex->Release();
}

TEST_F(TextureTest, PowerOfTwoDevicesGetTheWholePictureStretched)
{
    device->caps.TextureCaps |= D3DPTEXTURECAPS_POW2;
    FakeTexture* tex = nullptr;
    ASSERT_EQ(Create(Gradient(3, 3), &tex), S_OK);
    ASSERT_EQ(tex->levels[0].width, 4u);
    ASSERT_EQ(tex->levels[0].height, 4u);
    // The corners of the texture are the corners of the picture.
    EXPECT_EQ(tex->Pixel32(0, 0, 0), 0xFF000040u);
    EXPECT_EQ(tex->Pixel32(0, 3, 3), 0xFF202040u);
    // In between, values interpolate monotonically.
    const uint32_t r1 = (tex->Pixel32(0, 1, 0) >> 16) & 0xFF, r2 = (tex->Pixel32(0, 2, 0) >> 16) & 0xFF;
    EXPECT_GT(r1, 0u);
    EXPECT_GT(r2, r1);
    EXPECT_LT(r2, 0x20u);
    tex->Release();
}

TEST_F(TextureTest, FormatsChosenFromThePicture)
{
    TgaSpec s;
    s.bits = 32;
    FakeTexture* tex = nullptr;
    ASSERT_EQ(Create(MakeTga(s, {0x10, 0x20, 0x30, 0x80}), &tex), S_OK);
    EXPECT_EQ(tex->format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(tex->Pixel32(0, 0, 0), 0x80302010u);
    tex->Release();

    s.bits = 16;
    ASSERT_EQ(Create(MakeTga(s, {0x1F, 0x7C}), &tex), S_OK);
    EXPECT_EQ(tex->format, D3DFMT_X1R5G5B5);
    EXPECT_EQ(tex->Pixel16(0, 0, 0), 0xFC1Fu);  // red and blue full, the X bit set
    tex->Release();

    // A device without 32-bit textures gets 16-bit words, never 32-bit rows.
    device->formats = {D3DFMT_R5G6B5};
    s.bits = 24;
    ASSERT_EQ(Create(MakeTga(s, {0xFF, 0x00, 0xFF}), &tex), S_OK);
    EXPECT_EQ(tex->format, D3DFMT_R5G6B5);
    EXPECT_EQ(tex->Pixel16(0, 0, 0), 0xF81Fu);
    EXPECT_EQ(tex->levels[0].bytes[2], 0xCD);
    tex->Release();
}

TEST_F(TextureTest, JpegAndColourMappedPicturesLoad)
{
    std::vector<uint8_t> rgb(8 * 8 * 3);
    for (size_t i = 0; i < rgb.size(); i += 3) rgb[i] = 250;
    FakeTexture* tex = nullptr;
    ASSERT_EQ(Create(EncodeJpeg(rgb, 8, 8, 3), &tex), S_OK);
    EXPECT_EQ(tex->format, D3DFMT_X8R8G8B8);
    EXPECT_NEAR(double((tex->Pixel32(0, 4, 4) >> 16) & 0xFF), 250, 4);
    tex->Release();

    TgaSpec s;
    s.type = 1;
    s.bits = 8;
    s.mapLength = 1;
    s.mapBits = 24;
    ASSERT_EQ(Create(MakeTga(s, {0}, {0, 0, 255}), &tex), S_OK);
    EXPECT_EQ(tex->Pixel32(0, 0, 0), 0xFFFF0000u);
    tex->Release();
}

TEST_F(TextureTest, FailuresCreateNothing)
{
    FakeTexture* tex = reinterpret_cast<FakeTexture*>(0x1);
    TgaSpec s;
    s.type = 4;
    EXPECT_EQ(Create(MakeTga(s, {1, 2, 3}), &tex), D3DXERR_INVALIDDATA);
    EXPECT_EQ(tex, nullptr);
    EXPECT_EQ(device->texturesCreated, 0);
    device->failCreateTexture = true;
    EXPECT_EQ(Create(Gradient(2, 2), &tex), D3DERR_INVALIDCALL);
    EXPECT_EQ(tex, nullptr);
    IDirect3DTexture8* t = nullptr;
    EXPECT_EQ(D3DXCreateTextureFromFileA(device, "no\\such\\picture.tga", &t), D3DXERR_INVALIDDATA);
    EXPECT_EQ(t, nullptr);

    // A texture the device made but the loader cannot fill is released, not handed out
    // half-written (the fixture checks that nothing stays alive).
    device->failCreateTexture = false;
    device->formats = {D3DFMT_DXT1};
    const std::vector<uint8_t> file = Gradient(2, 2);
    EXPECT_EQ(D3DXCreateTextureFromFileInMemoryEx(device, file.data(), static_cast<UINT>(file.size()), 0, 0, 1, 0,
                                                  D3DFMT_DXT1, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr,
                                                  nullptr, &t),
              D3DERR_WRONGTEXTUREFORMAT);
    EXPECT_EQ(device->texturesCreated, 1);
    EXPECT_EQ(t, nullptr);
}

TEST_F(TextureTest, ExtendedCallReportsThePictureAndHonoursItsArguments)
{
    const std::vector<uint8_t> file = Gradient(6, 3);
    D3DXIMAGE_INFO info{};
    IDirect3DTexture8* t = nullptr;
    // Colour key: the top-left pixel's colour becomes transparent black.
    ASSERT_EQ(D3DXCreateTextureFromFileInMemoryEx(device, file.data(), static_cast<UINT>(file.size()), 0, 0, 1, 0,
                                                  D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, D3DX_DEFAULT, D3DX_DEFAULT,
                                                  0xFF000040u, &info, nullptr, &t),
              S_OK);
    EXPECT_EQ(info.Width, 6u);
    EXPECT_EQ(info.Height, 3u);
    EXPECT_EQ(info.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_TGA);
    auto* tex = static_cast<FakeTexture*>(t);
    EXPECT_EQ(tex->pool, D3DPOOL_SYSTEMMEM);
    EXPECT_EQ(tex->levels.size(), 1u);
    EXPECT_EQ(tex->Pixel32(0, 0, 0), 0u);
    EXPECT_EQ(tex->Pixel32(0, 1, 0), 0xFF100040u);
    t->Release();
}

TEST_F(TextureTest, LoadsFromAFileInAnyLetterCase)
{
    const std::string dir = std::string(BUILD_ROOT) + "/d3dx8_texture_test/Textures";
    std::filesystem::create_directories(dir);
    const std::vector<uint8_t> file = Gradient(2, 2);
    std::ofstream(dir + "/Pitch.TGA", std::ios::binary).write(reinterpret_cast<const char*>(file.data()), file.size());
    IDirect3DTexture8* t = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileA(device, (std::string(BUILD_ROOT) + "/d3dx8_texture_test/textures\\pitch.tga").c_str(), &t),
              S_OK);
    EXPECT_EQ(t->GetLevelCount(), 2u);
    t->Release();
}

}  // namespace
