#include <gtest/gtest.h>

#include <cstdlib>

#include "TestUtil.h"
#include "platform/tests/support/png_reading.h"
#include "skerrow/Src/ResourceLocator.h"

namespace {

const std::string kTool = std::string(BUILD_ROOT) + "/skerrow/skerrow-tool";

int RunTool(const std::string& args) { return std::system((kTool + " " + args + " >tool.out 2>tool.err").c_str()); }

std::string Out()
{
    std::vector<uint8_t> b = ReadFileBytes("tool.out");
    return std::string(b.begin(), b.end());
}

TEST(SkerrowTool, PackRoundTripThroughTheLocator)
{
    ScratchDir dir;
    std::string big;
    for (int i = 0; i < 50000; ++i) big += static_cast<char>('A' + i % 23);
    WriteFileText("in/Buttons.anm", "*ALL_FRAMES { }\n");
    WriteFileText("in/Sub/Blocks.tga", big);
    WriteFileText("in/empty.txt", "");
    ASSERT_EQ(RunTool("pack in 'DATA\\' Ombrelit.dat"), 0);
    ResourceLocator locator;
    ASSERT_NE(locator.AddSearchPath("Ombrelit.dat", "DATA\\", 1), nullptr);
    char* data = locator.LoadResourceFile("Sub\\blocks.TGA", 1);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::string(data, static_cast<size_t>(locator.GetLastResourceSize())), big);
    FreeResourceBuffer(data);
    data = locator.LoadResourceFile("empty.txt", 1);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(locator.GetLastResourceSize(), 0);
    FreeResourceBuffer(data);
    ASSERT_EQ(RunTool("cat Ombrelit.dat 'DATA\\Buttons.anm'"), 0);
    EXPECT_EQ(Out(), "*ALL_FRAMES { }\n");
    // An independently written pack reads the same through the tool.
    WriteFileBytes("other.dat", BuildTestPack({{"X\\y.txt", "independent"}}));
    ASSERT_EQ(RunTool("cat other.dat 'x\\Y.TXT'"), 0);
    EXPECT_EQ(Out(), "independent");
    EXPECT_NE(RunTool("cat other.dat missing"), 0);
    WriteFileText("junk.dat", "not a pack");
    EXPECT_NE(RunTool("cat junk.dat x"), 0);
    EXPECT_NE(RunTool("pack nodir 'DATA\\' x.dat"), 0);
    EXPECT_NE(RunTool("frobnicate"), 0);
}

TEST(SkerrowTool, DecodesEveryFixtureToACorrectPng)
{
    ScratchDir dir;
    for (const char* name : {"pcx24_5x3.pcx", "pcx8_64x4.pcx", "bmp8rle_6x4.bmp", "bmp24v5_6x4.bmp", "tga24rle_5x3.tga",
                             "tga8_6x4.tga"}) {
        std::string src = std::string(SOURCE_ROOT) + "/skerrow/tests/engine/data/" + name;
        ASSERT_EQ(RunTool("decode '" + src + "' out.png"), 0) << name;
        int w = 0, h = 0;
        std::vector<uint8_t> rgb;
        ReadRgbPng("out.png", rgb, w, h);
        ASSERT_FALSE(rgb.empty()) << name;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const uint8_t* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
                EXPECT_EQ(p[0], 40 * x % 256) << name;
                EXPECT_EQ(p[1], 60 * y % 256) << name;
                EXPECT_EQ(p[2], 20 * (x + y) % 256) << name;
            }
    }
    WriteFileText("bad.tga", std::string(30, '\x03'));
    EXPECT_NE(RunTool("decode bad.tga out2.png"), 0);
    EXPECT_FALSE(std::filesystem::exists("out2.png"));
}

}  // namespace
