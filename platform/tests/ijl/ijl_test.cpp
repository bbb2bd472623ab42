#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/ijl/ijl.h"
#include "platform/tests/ijl/jpeg_encode.h"

namespace {

// 4 x 2: top row red, bottom row blue.
std::vector<uint8_t> RedOverBlue()
{
    std::vector<uint8_t> rgb;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) rgb.insert(rgb.end(), {uint8_t(y ? 0 : 255), 0, uint8_t(y ? 255 : 0)});
    return EncodeJpeg(rgb, 4, 2, 3, 100);
}

struct Block {
    JPEG_CORE_PROPERTIES p;
    std::vector<uint8_t> jpeg;
    explicit Block(std::vector<uint8_t> bytes) : jpeg(std::move(bytes))
    {
        EXPECT_EQ(ijlInit(&p), IJL_OK);
        p.JPGBytes = jpeg.data();
        p.JPGSizeBytes = static_cast<DWORD>(jpeg.size());
    }
    ~Block() { ijlFree(&p); }
    // Reads the whole picture into `channels` bytes a pixel (+ pad), with guard bytes after it.
    IJLERR Read(std::vector<uint8_t>& out, DWORD channels, IJL_COLOR color, INT height, DWORD pad = 0)
    {
        const size_t rows = size_t(height < 0 ? -height : height);
        out.assign((p.JPGWidth * channels + pad) * rows + 16, 0xEE);
        p.DIBWidth = p.JPGWidth;
        p.DIBHeight = height;
        p.DIBChannels = channels;
        p.DIBColor = color;
        p.DIBPadBytes = pad;
        p.DIBBytes = out.data();
        return ijlRead(&p, IJL_JBUFF_READWHOLEIMAGE);
    }
};

void ExpectNear(uint8_t actual, int expected) { EXPECT_NEAR(int(actual), expected, 6); }

TEST(Ijl, ParametersThenBgrImageTopRowFirst)
{
    Block b(RedOverBlue());
    ASSERT_EQ(ijlRead(&b.p, IJL_JBUFF_READPARAMS), IJL_OK);
    EXPECT_EQ(b.p.JPGWidth, 4u);
    EXPECT_EQ(b.p.JPGHeight, 2u);
    EXPECT_EQ(b.p.JPGChannels, 3u);
    EXPECT_EQ(b.p.JPGColor, IJL_YCBCR);
    std::vector<uint8_t> px;
    ASSERT_EQ(b.Read(px, 3, IJL_BGR, 2), IJL_OK);
    ExpectNear(px[0], 0);  // B of the top-left pixel: red
    ExpectNear(px[2], 255);
    ExpectNear(px[12], 255);  // first pixel of the bottom row: blue
    ExpectNear(px[14], 0);
    for (size_t i = 24; i < px.size(); ++i) EXPECT_EQ(px[i], 0xEE) << "wrote past the picture";

    // A negative height asks for the bottom row first; padding follows each row.
    ASSERT_EQ(b.Read(px, 3, IJL_RGB, -2, 4), IJL_OK);
    ExpectNear(px[2], 255);  // RGB order, blue first row
    EXPECT_EQ(px[12], 0xEE);  // the pad bytes are left alone
    ExpectNear(px[16], 255);  // second row: red
    for (size_t i = 32; i < px.size(); ++i) EXPECT_EQ(px[i], 0xEE);
}

TEST(Ijl, GreyAndFourChannelStreamsFitTheCallersLayout)
{
    Block grey(EncodeJpeg(std::vector<uint8_t>(16, 77), 4, 4, 1));
    ASSERT_EQ(ijlRead(&grey.p, IJL_JBUFF_READPARAMS), IJL_OK);
    EXPECT_EQ(grey.p.JPGChannels, 1u);
    EXPECT_EQ(grey.p.JPGColor, IJL_G);
    std::vector<uint8_t> px;
    ASSERT_EQ(grey.Read(px, 3, IJL_BGR, 4), IJL_OK);  // grey expanded to B, G, R
    ExpectNear(px[30], 77);
    EXPECT_EQ(px[30], px[31]);
    EXPECT_EQ(px[31], px[32]);
    EXPECT_EQ(px[48], 0xEE);

    // Four channels into a three-channel buffer: converted, never overflowing it.
    std::vector<uint8_t> cmyk;
    for (int i = 0; i < 16; ++i) cmyk.insert(cmyk.end(), {255, 0, 255, 255});  // inverted: no cyan, full magenta
    Block four(EncodeJpeg(cmyk, 4, 4, 4));
    ASSERT_EQ(ijlRead(&four.p, IJL_JBUFF_READPARAMS), IJL_OK);
    EXPECT_EQ(four.p.JPGChannels, 4u);
    EXPECT_EQ(four.p.JPGColor, IJL_OTHER);
    ASSERT_EQ(four.Read(px, 3, IJL_BGR, 4), IJL_OK);
    ExpectNear(px[0], 255);  // B
    ExpectNear(px[1], 0);    // G
    ExpectNear(px[2], 255);  // R
    for (size_t i = 48; i < px.size(); ++i) EXPECT_EQ(px[i], 0xEE);
    // Raw components on request, as many as the caller's pixels hold.
    ASSERT_EQ(four.Read(px, 2, IJL_OTHER, 4), IJL_OK);
    for (size_t i = 32; i < px.size(); ++i) EXPECT_EQ(px[i], 0xEE);
}

TEST(Ijl, MisuseAndDamagedDataFail)
{
    JPEG_CORE_PROPERTIES raw;
    std::memset(&raw, 0, sizeof raw);
    EXPECT_EQ(ijlRead(&raw, IJL_JFILE_READPARAMS), IJL_INVALID_JPEG_PROPERTIES);
    EXPECT_EQ(ijlFree(&raw), IJL_INVALID_JPEG_PROPERTIES);

    Block b(RedOverBlue());
    std::vector<uint8_t> px;
    ASSERT_EQ(ijlRead(&b.p, IJL_JBUFF_READPARAMS), IJL_OK);
    b.p.JPGWidth = 8;  // a buffer described for another size is refused
    EXPECT_EQ(b.Read(px, 3, IJL_BGR, 2), IJL_INVALID_JPEG_PROPERTIES);
    b.p.JPGWidth = 4;
    EXPECT_EQ(b.Read(px, 3, IJL_BGR, 3), IJL_INVALID_JPEG_PROPERTIES);
    EXPECT_EQ(b.Read(px, 5, IJL_BGR, 2), IJL_INVALID_JPEG_PROPERTIES);
    EXPECT_EQ(ijlRead(&b.p, static_cast<IJLIOTYPE>(6)), IJL_INVALID_ENCODER);

    Block cut(RedOverBlue());
    cut.jpeg.resize(cut.jpeg.size() - 40);
    cut.p.JPGSizeBytes = static_cast<DWORD>(cut.jpeg.size());
    ASSERT_EQ(ijlRead(&cut.p, IJL_JBUFF_READPARAMS), IJL_OK);
    EXPECT_NE(cut.Read(px, 3, IJL_BGR, 2), IJL_OK);

    Block junk(std::vector<uint8_t>(100, 0x42));
    EXPECT_EQ(ijlRead(&junk.p, IJL_JBUFF_READPARAMS), IJL_ERR_NOT_JPEG);
}

TEST(Ijl, ReadsFilesByTheGamesNames)
{
    const std::string dir = std::string(BUILD_ROOT) + "/ijl_test/Textures";
    std::filesystem::create_directories(dir);
    const std::vector<uint8_t> bytes = RedOverBlue();
    std::ofstream(dir + "/Pitch.jpg", std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const std::string name = std::string(BUILD_ROOT) + "/ijl_test/textures\\PITCH.jpg";

    JPEG_CORE_PROPERTIES p;
    ASSERT_EQ(ijlInit(&p), IJL_OK);
    p.JPGFile = name.c_str();
    ASSERT_EQ(ijlRead(&p, IJL_JFILE_READPARAMS), IJL_OK);
    std::vector<uint8_t> px(p.JPGWidth * p.JPGHeight * 3);
    p.DIBWidth = p.JPGWidth;
    p.DIBHeight = static_cast<INT>(p.JPGHeight);
    p.DIBChannels = 3;
    p.DIBColor = IJL_BGR;
    p.DIBBytes = px.data();
    ASSERT_EQ(ijlRead(&p, IJL_JFILE_READWHOLEIMAGE), IJL_OK);
    ExpectNear(px[2], 255);
    EXPECT_EQ(ijlFree(&p), IJL_OK);

    ASSERT_EQ(ijlInit(&p), IJL_OK);
    p.JPGFile = "textures\\missing.jpg";
    EXPECT_EQ(ijlRead(&p, IJL_JFILE_READPARAMS), IJL_INVALID_FILENAME);
    ijlFree(&p);
}

}  // namespace
