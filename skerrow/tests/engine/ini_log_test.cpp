#include <gtest/gtest.h>

#include "TestUtil.h"
#include "skerrow/Src/IniFile.h"
#include "skerrow/Src/Log.h"
#include "skerrow/Src/ResourceLocator.h"

namespace {

std::string Get(IniFile& ini, const char* section, const char* key, const char* def = "<def>")
{
    char buffer[64];
    ini.GetString(section, key, def, buffer, sizeof buffer);
    return buffer;
}

TEST(IniFile, SubstringMatchingRules)
{
    ScratchDir dir;
    WriteFileText("s.ini",
                  "Early = 1\r\n"
                  "[Settings]\r\n"
                  "HiScore = 5\r\n"
                  "Score = 9\r\n"
                  "Key=  value  \r\n"
                  "Empty=   \r\n"
                  "Sound volume = 70abc\r\n"
                  "Bad number = x\r\n"
                  "Ratio = 2.5\r\n"
                  "name = Score holder\r\n"
                  "[Other]\r\n"
                  "After = 3\r\n");
    IniFile ini("s.ini", 0);
    ASSERT_TRUE(ini.IsOpen());
    // The first line whose text before '=' contains the key wins.
    EXPECT_EQ(ini.GetInt("Settings", "Score", -1), 5);
    EXPECT_EQ(Get(ini, "Settings", "Key"), "value");
    EXPECT_EQ(Get(ini, "Settings", "Empty"), "<def>");
    EXPECT_EQ(ini.GetInt("Settings", "Sound volume", -1), 70);
    EXPECT_EQ(ini.GetInt("Settings", "Bad number", -1), 0);
    EXPECT_FLOAT_EQ(ini.GetFloat("Settings", "Ratio", 0.0f), 2.5f);
    // A key standing before the header or after the next section is not found.
    EXPECT_EQ(ini.GetInt("Settings", "Early", -1), -1);
    EXPECT_EQ(ini.GetInt("Settings", "After", -1), -1);
    EXPECT_EQ(ini.GetInt("Other", "After", -1), 3);
    // The current section stays for null section arguments.
    EXPECT_EQ(ini.GetInt(nullptr, "After", -1), 3);
    EXPECT_EQ(ini.SetSection("Settings"), 1);
    EXPECT_EQ(ini.GetInt(nullptr, "HiScore", -1), 5);
    EXPECT_EQ(ini.HasSection("Nothing"), 0);
    char small[4];
    EXPECT_EQ(ini.GetString("Settings", "name", nullptr, small, sizeof small), 3);
    EXPECT_STREQ(small, "Sco");
    EXPECT_EQ(ini.GetString("Settings", "missing", nullptr, small, sizeof small), 0);
    EXPECT_STREQ(small, "");
}

TEST(IniFile, SectionHeaderMustStartAtColumnOne)
{
    ScratchDir dir;
    WriteFileText("s.ini", " [Settings]\nA = 1\n[Settings]\nA = 2\n");
    IniFile ini("s.ini", 0);
    EXPECT_EQ(ini.GetInt("Settings", "A", -1), 2);
}

TEST(IniFile, LineWithoutEqualsStopsTheSearch)
{
    ScratchDir dir;
    WriteFileText("s.ini", "[S]\nVolume\nVolume = 3\nMusic = 4\n");
    IniFile ini("s.ini", 0);
    EXPECT_EQ(ini.GetInt("S", "Volume", -1), -1);
    EXPECT_EQ(ini.GetInt("S", "olu", -1), -1);
    EXPECT_EQ(ini.GetInt("S", "Music", -1), 4);
}

TEST(IniFile, CrLfAndLfReadAlikeAndMissingFileGivesDefaults)
{
    ScratchDir dir;
    WriteFileText("a.ini", "[S]\r\nName = Ball\r\n");
    WriteFileText("b.ini", "[S]\nName = Ball\n");
    IniFile a("a.ini", 0), b("b.ini", 0), missing("none.ini", 0);
    EXPECT_EQ(Get(a, "S", "Name"), "Ball");
    EXPECT_EQ(Get(b, "S", "Name"), "Ball");
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_EQ(Get(missing, "S", "Name"), "<def>");
    EXPECT_EQ(missing.HasSection("S"), 0);
    // Over-long lines are cut at 255 characters, never overrun.
    std::string longLine = "[S]\nK = " + std::string(1000, 'v') + "\n";
    WriteFileText("c.ini", longLine);
    IniFile c("c.ini", 0);
    char buffer[600];
    EXPECT_EQ(c.GetString("S", "K", nullptr, buffer, sizeof buffer), 255 - 4);
}

// Numbers beyond 32 bits saturate at the nearer bound instead of wrapping round.
TEST(IniFile, NumbersSaturate)
{
    ScratchDir dir;
    WriteFileText("n.ini", "[S]\nA = 2147483648\nB = 99999999999\nC = -2147483649\nD = 99999999999999999999\nE = " +
                               std::string(300, '9') + "\nF = 2147483647\nG = -2147483648\nH = 70abc\n");
    IniFile ini("n.ini", 0);
    EXPECT_EQ(ini.GetInt("S", "A", 0), INT32_MAX);
    EXPECT_EQ(ini.GetInt("S", "B", 0), INT32_MAX);
    EXPECT_EQ(ini.GetInt("S", "C", 0), INT32_MIN);
    EXPECT_EQ(ini.GetInt("S", "D", 0), INT32_MAX);
    EXPECT_EQ(ini.GetInt("S", "E", 0), INT32_MAX);
    EXPECT_EQ(ini.GetInt("S", "F", 0), INT32_MAX);
    EXPECT_EQ(ini.GetInt("S", "G", 0), INT32_MIN);
    EXPECT_EQ(ini.GetInt("S", "H", 0), 70);
}

TEST(Log, StartLineAndPercentSignsWrittenVerbatim)
{
    ScratchDir dir;
    OpenLog();
    LogMessage("Can't load file '%s'\n", "100%s_done.tga");
    std::vector<uint8_t> bytes = ReadFileBytes("Log.txt");
    std::string text(bytes.begin(), bytes.end());
    ASSERT_EQ(text.rfind("Log start: ", 0), 0u);
    size_t lineEnd = text.find('\n');
    ASSERT_NE(lineEnd, std::string::npos);
    EXPECT_EQ(text[lineEnd - 1], ' ');
    EXPECT_EQ(text.substr(lineEnd + 1), "Can't load file '100%s_done.tga'\n");
}

}  // namespace
