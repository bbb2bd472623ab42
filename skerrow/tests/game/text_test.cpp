#include <gtest/gtest.h>

#include <vector>

#include "GameTestUtil.h"
#include "skerrow/Src/Graphics/Graphics.h"
#include "skerrow/Src/ResourceLocator.h"
#include "skerrow/Src/TrueTypeFont.h"

namespace {

class Text : public ::testing::Test {
protected:
    void SetUp() override
    {
        PixelFormatShifts.red = 11;
        PixelFormatShifts.green = 6;
        std::filesystem::copy_file("/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed.ttf", "LCDN.ttf");
        g_resourceLocator.Clear();
        AddSearchPath("missing.dat", "DATA\\", 3);
        ASSERT_EQ(font_.Load("LCDN.ttf"), 1);
        font_.SetSize(16);
        font_.SetBlendMode(0, 0);
        Clear();
    }
    void TearDown() override { g_resourceLocator.Clear(); }
    void Clear()
    {
        pixels_.assign(640 * 480, 0);
        font_.SetTarget(pixels_.data(), 640 * 2);
    }
    int CountNot(uint16_t v) const
    {
        int n = 0;
        for (uint16_t p : pixels_) n += p != v;
        return n;
    }
    ScratchDir dir_;
    TrueTypeFont font_;
    std::vector<uint16_t> pixels_;
};

TEST_F(Text, ColourTagsColourAndTakeNoSpace)
{
    font_.Printf(10, 40, 0xFFFF, "%s", "<0xFF0000>Red");
    int lit = 0;
    for (uint16_t p : pixels_) {
        if (!p) continue;
        ++lit;
        EXPECT_EQ(p, 0xF800);
    }
    EXPECT_GT(lit, 20);
    EXPECT_EQ(font_.TextWidth8("<0xFF0000>Red"), font_.TextWidth8("Red"));
    EXPECT_EQ(font_.TextWidth(u"<0xFF0000>Red"), font_.TextWidth8("Red"));
    EXPECT_EQ(font_.TextWidth(u"%d<0xFF>%s", 42, "ab"), font_.TextWidth8("42ab"));
    EXPECT_GT(font_.TextWidth8("Red"), 10);
}

TEST_F(Text, TagAtTheEndStopsAtTheTerminator)
{
    const char text[] = "AB<0xF\0ZZZZZZ";
    EXPECT_EQ(font_.TextWidth8(text), font_.TextWidth8("AB"));
    uint32_t rgb = 1;
    EXPECT_EQ(ParseColourTag("<0xF", &rgb), 4);
    EXPECT_EQ(rgb, 0xFu);
    EXPECT_EQ(ParseColourTag("<1x", &rgb), 0);
    font_.Print(10, 40, 0xFFFF, text);
    std::vector<uint16_t> ab = pixels_;
    Clear();
    font_.Print(10, 40, 0xFFFF, "AB");
    EXPECT_EQ(ab, pixels_);
}

TEST_F(Text, LineFeedStartsLowerAtTheStart)
{
    font_.Print(10, 30, 0xFFFF, "A\nA");
    std::vector<uint16_t> two = pixels_;
    Clear();
    font_.Print(10, 30 + 16 + 2, 0xFFFF, "A");
    for (size_t i = 0; i < pixels_.size(); ++i) {
        if (pixels_[i]) {
            ASSERT_EQ(two[i], pixels_[i]) << i;
        }
    }
    EXPECT_GT(CountNot(0), 10);
}

TEST_F(Text, ClipAndBlend)
{
    font_.SetClip(0, 0, 15, 480);
    font_.Print(10, 40, 0xFFFF, "WWWW");
    for (int y = 0; y < 480; ++y)
        for (int x = 15; x < 640; ++x) ASSERT_EQ(pixels_[y * 640 + x], 0);
    font_.colour = 0xFFFF;
    font_.SetBlendMode(1, 0x000000);
    EXPECT_EQ(font_.BlendPixel(0, 128), static_cast<uint16_t>(15 << 11 | 15 << 6 | 15));
    font_.SetBlendMode(1, 0x0000FF);
    EXPECT_EQ(font_.BlendPixel(0, 128) & 31, 30);
    EXPECT_EQ(font_.BlendPixel(0x1234, 0), 0x1234);
    EXPECT_EQ(font_.BlendPixel(0x1234, 224), 0xFFFF);
    font_.SetBlendMode(0, 0);
    EXPECT_EQ(font_.BlendPixel(7, 64), 7);
    EXPECT_EQ(font_.BlendPixel(7, 65), 0xFFFF);
}

TEST_F(Text, MeasureTakesLabelsLiterally)
{
    g_currentFont = &font_;
    EXPECT_EQ(MeasureText("%s%n%d"), font_.TextWidth8("%s%n%d"));
    char16_t wide[4];
    WidenString("\xE9xyz", wide, 4);
    EXPECT_EQ(wide[0], 0xE9);
    EXPECT_EQ(wide[3], 0);
    g_currentFont = nullptr;
    EXPECT_EQ(MeasureText("abc"), 0);
    TrueTypeFont none;
    EXPECT_EQ(none.Load("nofont.ttf"), 0);
    none.Print(0, 0, 0xFFFF, "nothing");
}

}  // namespace
