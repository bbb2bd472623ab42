#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/d3dx8/image_decode.h"
#include "platform/tests/ijl/jpeg_encode.h"
#include "test_tga.h"

using d3dx_detail::DecodeImage;
using d3dx_detail::DecodeTga;
using d3dx_detail::Image;

namespace {

Image Decode(const std::vector<uint8_t>& file, bool expectOk = true)
{
    Image img;
    std::string error;
    const bool ok = DecodeImage(file.data(), file.size(), img, error);
    EXPECT_EQ(ok, expectOk) << error;
    return img;
}

TEST(TgaDecode, RowOrderFollowsTheOriginBit)
{
    // 2 x 2: stored rows A then B (B, G, R bytes).
    const std::vector<uint8_t> rows = {1, 2, 3, 4, 5, 6, /*row B*/ 7, 8, 9, 10, 11, 12};
    TgaSpec s;
    s.width = s.height = 2;
    Image bottomUp = Decode(MakeTga(s, rows));
    EXPECT_EQ(bottomUp.argb[0], 0xFF090807u);  // the last stored row is the top
    EXPECT_EQ(bottomUp.argb[3], 0xFF060504u);
    EXPECT_FALSE(bottomUp.hasAlpha);

    s.descriptor = 0x20;
    const std::vector<uint8_t> reversed = {7, 8, 9, 10, 11, 12, 1, 2, 3, 4, 5, 6};
    EXPECT_EQ(Decode(MakeTga(s, reversed)).argb, bottomUp.argb);

    s.descriptor = 0x30;  // top-down and right-to-left
    Image mirrored = Decode(MakeTga(s, reversed));
    EXPECT_EQ(mirrored.argb[0], 0xFF0C0B0Au);
}

TEST(TgaDecode, DepthsAndTheirChannels)
{
    TgaSpec s;
    s.bits = 32;
    Image a = Decode(MakeTga(s, {0x10, 0x20, 0x30, 0x40}));
    EXPECT_EQ(a.argb[0], 0x40302010u);
    EXPECT_TRUE(a.hasAlpha);

    // 16-bit pixels are 1-5-5-5: 0x7C00 is pure red, not a green-heavy 5-6-5 value.
    s.bits = 16;
    Image red = Decode(MakeTga(s, {0x00, 0x7C}));
    EXPECT_EQ(red.argb[0], 0xFFFF0000u);
    EXPECT_FALSE(red.hasAlpha);
    s.descriptor = 1;  // one attribute bit: the top bit is alpha
    Image clear = Decode(MakeTga(s, {0x1F, 0x00}));
    EXPECT_EQ(clear.argb[0], 0x000000FFu);
    EXPECT_TRUE(clear.hasAlpha);

    TgaSpec g;
    g.type = 3;
    g.bits = 8;
    EXPECT_EQ(Decode(MakeTga(g, {0x80})).argb[0], 0xFF808080u);
}

TEST(TgaDecode, RunLengthPackets)
{
    TgaSpec s;
    s.type = 10;
    s.width = 9;
    s.descriptor = 0x20;
    // A run of six (0x85) then a raw packet of three (0x02).
    Image img = Decode(MakeTga(s, {0x85, 1, 2, 3, 0x02, 10, 11, 12, 20, 21, 22, 30, 31, 32}));
    for (int i = 0; i < 6; ++i) EXPECT_EQ(img.argb[i], 0xFF030201u);
    EXPECT_EQ(img.argb[6], 0xFF0C0B0Au);
    EXPECT_EQ(img.argb[8], 0xFF201F1Eu);

    // A packet running past the end of the picture writes nothing beyond it.
    s.width = 2;
    s.height = 2;
    Image over = Decode(MakeTga(s, {0xFF, 9, 9, 9}));
    EXPECT_EQ(over.argb.size(), 4u);
    EXPECT_EQ(over.argb[3], 0xFF090909u);

    // Packets may continue into the next row.
    Image across = Decode(MakeTga(s, {0x80, 1, 1, 1, 0x82, 2, 2, 2}));
    EXPECT_EQ(across.argb[1], 0xFF020202u);
    EXPECT_EQ(across.argb[3], 0xFF020202u);

    // Data that ends before the picture is full fails.
    Decode(MakeTga(s, {0x81, 1, 2, 3}), false);
    Decode(MakeTga(s, {0x83, 1, 2}), false);
    Decode(MakeTga(s, {0x03, 1, 2, 3, 4, 5, 6}), false);
}

TEST(TgaDecode, ColourMappedPictures)
{
    TgaSpec s;
    s.type = 1;
    s.bits = 8;
    s.width = 3;
    s.descriptor = 0x20;
    s.mapFirst = 2;
    s.mapLength = 2;
    s.mapBits = 24;
    const std::vector<uint8_t> map = {0, 0, 255, /*entry 3*/ 0, 255, 0};
    // Index 2 is the first entry, 3 the second; 7 lies outside the map.
    Image img = Decode(MakeTga(s, {2, 3, 7}, map));
    EXPECT_EQ(img.argb[0], 0xFFFF0000u);
    EXPECT_EQ(img.argb[1], 0xFF00FF00u);
    EXPECT_EQ(img.argb[2], 0xFF000000u);

    s.type = 9;
    Image rle = Decode(MakeTga(s, {0x82, 3}, map));
    EXPECT_EQ(rle.argb[2], 0xFF00FF00u);

    s.type = 1;
    s.mapLength = 0;  // colour-mapped without a map
    Decode(MakeTga(s, {0, 0, 0}), false);
}

TEST(TgaDecode, BrokenHeadersAreRefused)
{
    TgaSpec s;
    Decode({}, false);
    Decode({0, 0, 2}, false);
    s.type = 4;
    Decode(MakeTga(s, {1, 2, 3}), false);
    s.type = 2;
    s.bits = 8;
    Decode(MakeTga(s, {1}), false);
    s.bits = 24;
    s.width = 0;
    Decode(MakeTga(s, {}), false);
    s.width = 60000;
    s.height = 60000;
    Decode(MakeTga(s, {1, 2, 3}), false);
    s.width = s.height = 4;
    Decode(MakeTga(s, {1, 2, 3}), false);  // pixels missing
    s.width = s.height = 1;
    s.idLength = 200;  // the ID runs past the end
    std::vector<uint8_t> f = MakeTga(s, {});
    f.resize(30);
    Decode(f, false);
    s.idLength = 3;
    EXPECT_EQ(Decode(MakeTga(s, {1, 2, 3})).argb[0], 0xFF030201u);  // the ID is skipped
}

TEST(JpegDecode, ColourAndGreyPictures)
{
    std::vector<uint8_t> rgb;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) {
            const bool left = x < 8;
            rgb.insert(rgb.end(), {uint8_t(left ? 200 : 10), uint8_t(left ? 30 : 220), 40});
        }
    Image img = Decode(EncodeJpeg(rgb, 16, 8, 3));
    ASSERT_EQ(img.width, 16u);
    ASSERT_EQ(img.height, 8u);
    EXPECT_FALSE(img.hasAlpha);
    const uint32_t p = img.argb[3 * 16 + 2];
    EXPECT_EQ(p >> 24, 255u);
    EXPECT_NEAR(double((p >> 16) & 0xFF), 200, 6);
    EXPECT_NEAR(double((p >> 8) & 0xFF), 30, 6);
    EXPECT_NEAR(double(p & 0xFF), 40, 6);
    const uint32_t q = img.argb[5 * 16 + 13];
    EXPECT_NEAR(double((q >> 8) & 0xFF), 220, 6);

    Image grey = Decode(EncodeJpeg(std::vector<uint8_t>(64, 90), 8, 8, 1));
    const uint32_t g = grey.argb[10];
    EXPECT_NEAR(double(g & 0xFF), 90, 3);
    EXPECT_EQ((g >> 16) & 0xFF, g & 0xFF);

    std::vector<uint8_t> cut = EncodeJpeg(rgb, 16, 8, 3);
    cut.resize(cut.size() / 2);
    Decode(cut, false);
}

}  // namespace
