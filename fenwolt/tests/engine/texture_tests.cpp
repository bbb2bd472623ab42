#include "fenwolt/Game/Engine/Textures.h"
#include "engine_test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {
std::vector<uint8_t> TgaHeader(int type, int depth, int w, int h, int descriptor, int idLength = 0, int mapType = 0,
                               int mapLength = 0, int mapBits = 0)
{
    std::vector<uint8_t> t(18, 0);
    t[0] = (uint8_t)idLength;
    t[1] = (uint8_t)mapType;
    t[2] = (uint8_t)type;
    t[5] = (uint8_t)(mapLength & 255);
    t[6] = (uint8_t)(mapLength >> 8);
    t[7] = (uint8_t)mapBits;
    t[12] = (uint8_t)(w & 255);
    t[13] = (uint8_t)(w >> 8);
    t[14] = (uint8_t)(h & 255);
    t[15] = (uint8_t)(h >> 8);
    t[16] = (uint8_t)depth;
    t[17] = (uint8_t)descriptor;
    return t;
}
void Append(std::vector<uint8_t>& v, std::initializer_list<int> bytes)
{
    for (int b : bytes) v.push_back((uint8_t)b);
}
bool Decode(const std::vector<uint8_t>& file, DecodedPicture& out) { return DecodeTga(file.data(), file.size(), out); }
}  // namespace

TEST(TgaDecode, RowOrderFollowsDescriptorBitFive)
{
    // 2 x 2, 24 bits: red, green on the top row; blue, white below.
    std::vector<uint8_t> topFirst = TgaHeader(2, 24, 2, 2, 0x20);
    Append(topFirst, {0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255});
    std::vector<uint8_t> bottomFirst = TgaHeader(2, 24, 2, 2, 0x00);
    Append(bottomFirst, {255, 0, 0, 255, 255, 255, 0, 0, 255, 0, 255, 0});
    DecodedPicture a, b;
    ASSERT_TRUE(Decode(topFirst, a));
    ASSERT_TRUE(Decode(bottomFirst, b));
    EXPECT_EQ(a.Pixels, b.Pixels);
    EXPECT_EQ(a.Pixels[0], 0xFFFF0000u);
    EXPECT_EQ(a.Pixels[1], 0xFF00FF00u);
    EXPECT_EQ(a.Pixels[2], 0xFF0000FFu);
    EXPECT_FALSE(a.HasAlpha);
}

TEST(TgaDecode, ThirtyTwoBitKeepsAlphaAndSixteenBitIsX1R5G5B5)
{
    std::vector<uint8_t> t32 = TgaHeader(2, 32, 1, 1, 0x20);
    Append(t32, {0x10, 0x20, 0x30, 0x40});
    DecodedPicture p;
    ASSERT_TRUE(Decode(t32, p));
    EXPECT_TRUE(p.HasAlpha);
    EXPECT_EQ(p.Pixels[0], 0x40302010u);

    // X1R5G5B5 word: red 31, green 1, blue 0 (and the unused top bit set).
    const uint16_t word = 0x8000 | (31 << 10) | (1 << 5);
    std::vector<uint8_t> t16 = TgaHeader(2, 16, 1, 1, 0x20);
    Append(t16, {word & 255, word >> 8});
    ASSERT_TRUE(Decode(t16, p));
    EXPECT_FALSE(p.HasAlpha);
    // In the R5G6B5 texture: red 31, green's five bits 1 (low bit 0), blue 0.
    EXPECT_EQ(PackR5G6B5(p.Pixels[0]), (31 << 11) | (1 << 6));
}

TEST(TgaDecode, TwentyFourBitPacksFiveBitsAChannel)
{
    EXPECT_EQ(PackR5G6B5(0xFFFFFFFF), 0xFFDF);  // green's low bit stays 0
    EXPECT_EQ(PackR5G6B5(0xFF080808), (1 << 11) | (1 << 6) | 1);
    EXPECT_EQ(PackR5G6B5(0xFF070707), 0);
}

TEST(TgaDecode, RunAndRawPacketsAndRowEnds)
{
    // Width 8, one row: a run packet 0x85 (6 x the value) then a raw packet 0x02 (3 values) whose
    // last value runs past the row and is dropped; the next row starts with a fresh packet.
    std::vector<uint8_t> t = TgaHeader(10, 24, 8, 2, 0x20);
    Append(t, {0x85, 1, 2, 3, 0x02, 10, 10, 10, 20, 20, 20, 30, 30, 30});
    Append(t, {0x87, 5, 5, 5});
    DecodedPicture p;
    ASSERT_TRUE(Decode(t, p));
    for (int x = 0; x < 6; ++x) EXPECT_EQ(p.Pixels[x], 0xFF030201u) << x;
    EXPECT_EQ(p.Pixels[6], 0xFF0A0A0Au);
    EXPECT_EQ(p.Pixels[7], 0xFF141414u);
    for (int x = 8; x < 16; ++x) EXPECT_EQ(p.Pixels[x], 0xFF050505u) << x;
}

TEST(TgaDecode, SkipsImageIdAndColourMap)
{
    std::vector<uint8_t> t = TgaHeader(2, 24, 1, 1, 0x20, 3, 1, 2, 24);
    Append(t, {9, 9, 9});              // image id
    Append(t, {7, 7, 7, 7, 7, 7});     // two map entries of 3 bytes
    Append(t, {1, 2, 3});
    DecodedPicture p;
    ASSERT_TRUE(Decode(t, p));
    EXPECT_EQ(p.Pixels[0], 0xFF030201u);
}

TEST(TgaDecode, RefusesDamagedAndUnsupportedFiles)
{
    DecodedPicture p;
    // Colour-mapped types and unknown depths.
    for (int type : {1, 9, 3, 11}) EXPECT_FALSE(Decode(TgaHeader(type, 24, 1, 1, 0), p)) << type;
    EXPECT_FALSE(Decode(TgaHeader(2, 8, 1, 1, 0), p));
    // Uncompressed data shorter than the picture.
    std::vector<uint8_t> shortRaw = TgaHeader(2, 24, 4, 4, 0);
    Append(shortRaw, {1, 2, 3});
    EXPECT_FALSE(Decode(shortRaw, p));
    // A run-length stream that ends inside a packet.
    std::vector<uint8_t> shortRle = TgaHeader(10, 32, 4, 1, 0);
    Append(shortRle, {0x03, 1, 2, 3, 4, 5});
    EXPECT_FALSE(Decode(shortRle, p));
    // A header alone, an empty picture, an ID that runs past the file.
    EXPECT_FALSE(DecodeTga(shortRaw.data(), 10, p));
    EXPECT_FALSE(Decode(TgaHeader(2, 24, 0, 5, 0), p));
    EXPECT_FALSE(Decode(TgaHeader(2, 24, 1, 1, 0, 200), p));
}

// ---------------------------------------------------------------------------------------------
using TextureLoadTest = EngineAppTest;

TEST_F(TextureLoadTest, PicturesLandUprightInTheTopLeftOfAPaddedTexture)
{
    // 100 x 60 bottom-up: the bottom stored row red, all others blue.
    std::vector<uint8_t> t = TgaHeader(2, 24, 100, 60, 0);
    for (int row = 0; row < 60; ++row)
        for (int x = 0; x < 100; ++x) Append(t, row == 0 ? std::initializer_list<int>{0, 0, 255} : std::initializer_list<int>{255, 0, 0});
    dir.Write("pic.tga", std::string(t.begin(), t.end()));
    IDirect3DTexture8* texture = nullptr;
    TextureTargetInfo info;
    ASSERT_EQ(LoadImageIntoTexture(TheApp.Device, "pic.tga", &texture, info), 0);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(info.FromOwnLoader, 1u);
    D3DCAPS8 caps{};
    TheApp.Device->GetDeviceCaps(&caps);
    if (caps.TextureCaps & D3DPTEXTURECAPS_POW2) {
        EXPECT_EQ(info.TextureWidth, 128);
        EXPECT_EQ(info.TextureHeight, 64);
        EXPECT_FLOAT_EQ(info.ScaleU, 0.78125f);
        EXPECT_FLOAT_EQ(info.ScaleV, 0.9375f);
        EXPECT_EQ(info.Padded, 1u);
    } else {
        EXPECT_EQ(info.TextureWidth, 100);
        EXPECT_EQ(info.TextureHeight, 60);
        EXPECT_FLOAT_EQ(info.ScaleU, 1.f);
        EXPECT_EQ(info.Padded, 0u);
    }
    EXPECT_EQ(info.Format, D3DFMT_R5G6B5);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    auto word = [&](int x, int y) { return reinterpret_cast<const uint16_t*>((const uint8_t*)locked.pBits + y * locked.Pitch)[x]; };
    EXPECT_EQ(word(0, 0), 0x001F);   // blue at the top
    EXPECT_EQ(word(99, 59), 0xF800);  // the red stored row at the bottom of the picture
    texture->UnlockRect(0);
    texture->Release();
}

TEST_F(TextureLoadTest, ThirtyTwoBitGivesAlphaTextureAndAFailedLoadLeavesNothing)
{
    std::vector<uint8_t> t = TgaHeader(2, 32, 2, 1, 0x20);
    Append(t, {1, 2, 3, 4, 5, 6, 7, 8});
    dir.Write("alpha.tga", std::string(t.begin(), t.end()));
    IDirect3DTexture8* texture = nullptr;
    TextureTargetInfo info;
    ASSERT_EQ(LoadImageIntoTexture(TheApp.Device, "alpha.tga", &texture, info), 0);
    EXPECT_EQ(info.Format, D3DFMT_A8R8G8B8);
    texture->Release();
    texture = nullptr;

    std::vector<uint8_t> broken = TgaHeader(10, 24, 64, 64, 0);
    Append(broken, {0x85, 1, 2, 3});
    dir.Write("broken.tga", std::string(broken.begin(), broken.end()));
    EXPECT_EQ(LoadImageIntoTexture(TheApp.Device, "broken.tga", &texture, info), 1);
    EXPECT_EQ(texture, nullptr);
    EXPECT_EQ(info.FromOwnLoader, 0u);
    EXPECT_EQ(LoadImageIntoTexture(TheApp.Device, "missing.tga", &texture, info), 1);
    EXPECT_EQ(texture, nullptr);
}

TEST_F(TextureLoadTest, JpegChosenByCaseSensitiveNameAndDecodedToR5G6B5)
{
    IDirect3DTexture8* texture = nullptr;
    TextureTargetInfo info;
    ASSERT_EQ(LoadImageIntoTexture(TheApp.Device, "textures\\sky.jpg", &texture, info), 0);
    EXPECT_EQ(info.Format, D3DFMT_R5G6B5);
    EXPECT_EQ(info.FromOwnLoader, 1u);
    texture->Release();
    texture = nullptr;
    // A JPEG under an upper-case name goes to the TGA decoder, which refuses it.
    std::filesystem::copy_file(DataSetDir() / "textures" / "sky.jpg", dir.Path() / "SKY.JPG");
    EXPECT_EQ(LoadImageIntoTexture(TheApp.Device, "SKY.JPG", &texture, info), 1);
    EXPECT_EQ(texture, nullptr);
}

TEST_F(TextureLoadTest, EveryPictureOfTheDataSetLoads)
{
    int loaded = 0;
    for (const char* folder : {"textures", "texture2", "interface", "kit"}) {
        for (const auto& entry : std::filesystem::directory_iterator(DataSetDir() / folder)) {
            std::string name = std::string(folder) + "\\" + entry.path().filename().string();
            IDirect3DTexture8* texture = nullptr;
            TextureTargetInfo info;
            EXPECT_EQ(LoadImageIntoTexture(TheApp.Device, name.c_str(), &texture, info), 0) << name;
            if (texture) {
                texture->Release();
                ++loaded;
            }
        }
    }
    EXPECT_GT(loaded, 10);
}

TEST(TextureWrite, RowsFollowTheGrantedFormatAndStayInsideTheTexture)
{
    DecodedPicture p;
    p.Width = 3;
    p.Height = 2;
    p.HasAlpha = true;
    p.Pixels = {0x80FF0000, 0xFF00FF00, 0x000000FF, 0xFFFFFFFF, 0xFF000000, 0x7F102030};
    // A 16-bit grant for an alpha picture: two bytes a pixel, never four.
    std::vector<uint8_t> mem(2 * 2 * 2 + 4, 0xEE);
    ASSERT_TRUE(WritePixelsInFormat(p, D3DFMT_A4R4G4B4, mem.data(), 4, 2, 2));
    EXPECT_EQ(mem[0] | mem[1] << 8, 0x8F00);
    EXPECT_EQ(mem[2] | mem[3] << 8, 0xF0F0);
    EXPECT_EQ(mem[4] | mem[5] << 8, 0xFFFF);
    EXPECT_EQ(mem[8], 0xEE);  // past the 2 x 2 texture: untouched
    ASSERT_TRUE(WritePixelsInFormat(p, D3DFMT_A1R5G5B5, mem.data(), 4, 2, 2));
    EXPECT_EQ(mem[0] | mem[1] << 8, 0xFC00);
    std::vector<uint32_t> wide(3 * 2, 0);
    ASSERT_TRUE(WritePixelsInFormat(p, D3DFMT_A8R8G8B8, reinterpret_cast<uint8_t*>(wide.data()), 12, 3, 2));
    EXPECT_EQ(wide[5], 0x7F102030u);
    EXPECT_FALSE(WritePixelsInFormat(p, D3DFMT_DXT1, mem.data(), 4, 2, 2));
}
