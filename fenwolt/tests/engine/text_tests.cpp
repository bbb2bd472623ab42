#include "fenwolt/Game/Engine/Texts.h"
#include "fenwolt/tests/framework/framework_test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {
class TextStoreTest : public ::testing::Test {
protected:
    void SetUp() override { ResetTextPools(); }
    int Load(const std::string& text) { return LoadTextResource(text.data(), text.size()); }
};
}  // namespace

TEST_F(TextStoreTest, IdsArePositionsNotTheWrittenNumbers)
{
    EXPECT_EQ(Load("1 \"one\"\n2 \"two\"\r\n7   \"three\"\n"), 3);
    EXPECT_STREQ(GetText(0), "one");
    EXPECT_STREQ(GetText(1), "two");
    EXPECT_STREQ(GetText(2), "three");
    EXPECT_STREQ(GetText(3), "");
    EXPECT_STREQ(GetText(10000), "");
    // A second file appends with ids continuing.
    Load("1 \"four\"\n");
    EXPECT_STREQ(GetText(3), "four");
}

TEST_F(TextStoreTest, EscapesAndLineFeedsInsideQuotes)
{
    Load("1 \"a\\nb\\tc\\rd\\x\"\n2 \"first\nsecond\"\n3 \"\"\n4 \"after\"\n");
    EXPECT_STREQ(GetText(0), "a\nb\tc\rd\\x");
    EXPECT_STREQ(GetText(1), "first\nsecond");
    EXPECT_STREQ(GetText(2), "");
    EXPECT_STREQ(GetText(3), "after");
}

TEST_F(TextStoreTest, LastLineWithoutLineFeedAndUnterminatedQuote)
{
    Load("1 \"one\"\n2 \"two\"");
    EXPECT_STREQ(GetText(1), "two");
    ResetTextPools();
    Load("1 \"one\"\n2 \"runs to the end");
    EXPECT_STREQ(GetText(0), "one");
    EXPECT_STREQ(GetText(1), "runs to the end");
    // The text stops at the first NUL byte.
    ResetTextPools();
    Load(std::string("1 \"one\"\n2 \"t\0wo\"\n", 17));
    EXPECT_STREQ(GetText(1), "t");
}

TEST_F(TextStoreTest, GetTextSharesOneBufferAndCutsLongTexts)
{
    Load("1 \"first\"\n2 \"second\"\n3 \"" + std::string(1500, 'x') + "\"\n");
    const char* a = GetText(0);
    const char* b = GetText(1);
    EXPECT_EQ(a, b);
    EXPECT_STREQ(a, "second");
    EXPECT_EQ(std::strlen(GetText(2)), TEXT_MAX_LENGTH);
}

TEST_F(TextStoreTest, TableAndPoolLimitsHold)
{
    std::string many;
    for (int i = 0; i < 10050; ++i) many += std::to_string(i) + " \"t" + std::to_string(i) + "\"\n";
    Load(many);
    EXPECT_EQ(TextEntryCount, TEXT_ENTRY_COUNT);
    EXPECT_STREQ(GetText(9999), "t9999");
    // A file of a megabyte or more is read up to what the buffer holds: the last text is cut.
    ResetTextPools();
    std::string big;
    for (int i = 0; i < 4; ++i) big += "1 \"" + std::string(300000, (char)('a' + i)) + "\"\n";
    Load(big);
    EXPECT_EQ(TextEntryCount, 4);
    EXPECT_EQ(std::strlen(GetText(2)), TEXT_MAX_LENGTH);
    // Two files that overflow the pool together: the text that does not fit is dropped whole.
    ResetTextPools();
    Load("1 \"" + std::string(600000, 'x') + "\"\n");
    Load("1 \"" + std::string(600000, 'y') + "\"\n2 \"z\"\n");
    EXPECT_EQ(TextEntryCount, 1);
    EXPECT_EQ(GetText(0)[0], 'x');
    EXPECT_STREQ(GetText(1), "");
}

TEST_F(TextStoreTest, FixedWidthArraysCutAndCountOverruns)
{
    std::string file;
    for (int i = 0; i < 391; ++i) file += "1 \"" + std::string(i == 385 ? 40 : 5, 'q') + "\"\n";
    Load(file);
    LoadGlobalTextArrays();
    EXPECT_EQ(GlobalTextOverruns, 1);
    EXPECT_EQ(std::strlen(GlobalTextArrayA[1]), 31u);
    EXPECT_STREQ(GlobalTextArrayB[4], "qqqqq");
}

TEST(LanguageChoice, FileNamesAndFallbacks)
{
    ScratchDirectory dir;
    dir.Write("english.txt", "1 \"hello\"\n");
    dir.Write("german.txt", "1 \"hallo\"\n");
    dir.Write("lang.txt", "german");
    EXPECT_EQ(ReadLanguageSetting(), 3);
    dir.Write("lang.txt", "german.txt\n");
    EXPECT_EQ(ReadLanguageSetting(), 3);
    // The carriage return belongs to the name: no match.
    dir.Write("lang.txt", "german\r\n");
    EXPECT_EQ(ReadLanguageSetting(), 0);
    dir.Write("lang.txt", "french");
    EXPECT_EQ(ReadLanguageSetting(), 0);  // no such file
    dir.Write("lang.txt", std::string(400, 'g'));
    EXPECT_EQ(ReadLanguageSetting(), 0);
    std::filesystem::remove(dir.Path() / "lang.txt");
    EXPECT_EQ(ReadLanguageSetting(), 0);
    ResetTextPools();
    LoadLanguageText(3);
    EXPECT_STREQ(GetText(0), "hallo");
    EXPECT_STREQ(LanguageFileName, "german.txt");
    ResetTextPools();
    LoadLanguageText(9);
    EXPECT_STREQ(GetText(0), "hello");
}

TEST(LanguageChoice, TheDataSetsLanguagesLoad)
{
    ScratchDirectory dir;
    for (const char* name : {"english.txt", "usa.txt", "french.txt", "german.txt"}) {
        ResetTextPools();
        std::filesystem::path source = std::filesystem::path(BUILD_ROOT) / "data/fenwolt" / name;
        ASSERT_TRUE(std::filesystem::exists(source)) << source;
        EXPECT_GT(LoadTextResourceFile(source.c_str()), 300) << name;
        EXPECT_NE(GetText(293)[0], 0) << name;
        if (std::string(name) == "english.txt") {
            EXPECT_STREQ(GetText(293), "Loading %d");
        }
    }
}
