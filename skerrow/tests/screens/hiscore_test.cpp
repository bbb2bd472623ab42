#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

#include "skerrow/Src/game/HiscoreTable.h"

namespace {
void WriteBytes(const char* name, size_t n, char fill)
{
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    std::vector<char> bytes(n, fill);
    out.write(bytes.data(), static_cast<std::streamsize>(n));
}
}  // namespace

TEST(Hiscores, DefaultTable)
{
    HiscoreEntry t[kHiscoreRows];
    DefaultHiscores(t);
    EXPECT_STREQ(t[0].name, "Orvik");
    EXPECT_EQ(t[0].score, 100000);
    EXPECT_STREQ(t[9].name, "Dot");
    EXPECT_EQ(t[9].score, 10000);
}

TEST(Hiscores, InsertionAtEachRankAndTiesGoBelow)
{
    for (int rank = 0; rank < kHiscoreRows; ++rank) {
        HiscoreEntry t[kHiscoreRows];
        DefaultHiscores(t);
        const int32_t score = 100000 - 10000 * rank + 1;
        EXPECT_EQ(InsertHiscore(t, score), rank);
        EXPECT_EQ(t[rank].score, score);
        EXPECT_STREQ(t[rank].name, "");
        if (rank < kHiscoreRows - 1) EXPECT_EQ(t[rank + 1].score, 100000 - 10000 * rank);
        EXPECT_EQ(t[9].score, rank == 9 ? score : 20000);  // the old tenth drops out
    }
    HiscoreEntry t[kHiscoreRows];
    DefaultHiscores(t);
    EXPECT_EQ(InsertHiscore(t, 10000), -1);  // a tie with the last row enters nowhere
    EXPECT_EQ(InsertHiscore(t, 50000), 6);  // a tie goes below the existing 50000 (row 5)
    DefaultHiscores(t);
    EXPECT_EQ(InsertHiscore(t, 0), -1);
    EXPECT_EQ(InsertHiscore(t, -7), -1);
}

TEST(Hiscores, NameEntryLimits)
{
    HiscoreEntry e{};
    for (char c : std::string("ABCDEFGHIJKLMNOP")) EXPECT_EQ(EditHiscoreName(e, static_cast<uint8_t>(c)), 0);
    EXPECT_STREQ(e.name, "ABCDEFGHIJK");  // 11 characters
    EditHiscoreName(e, 8);
    EXPECT_STREQ(e.name, "ABCDEFGHIJ");
    EditHiscoreName(e, 9);  // control characters are ignored
    EXPECT_STREQ(e.name, "ABCDEFGHIJ");
    EXPECT_EQ(EditHiscoreName(e, 13), 1);
    HiscoreEntry empty{};
    EditHiscoreName(empty, 8);
    EXPECT_STREQ(empty.name, "");
}

TEST(Hiscores, FileMustBeExactlyTheTable)
{
    HiscoreEntry t[kHiscoreRows];
    std::remove(kHiscoreFileName);
    LoadHiscores(t);
    EXPECT_STREQ(t[0].name, "Orvik");

    DefaultHiscores(t);
    ASSERT_GE(InsertHiscore(t, 55555), 0);
    std::strcpy(t[5].name, "Me");
    ASSERT_EQ(WriteHiscores(t), 1);
    HiscoreEntry back[kHiscoreRows];
    LoadHiscores(back);
    EXPECT_STREQ(back[5].name, "Me");
    EXPECT_EQ(back[5].score, 55555);

    for (size_t n : {239u, 241u}) {
        WriteBytes(kHiscoreFileName, n, 'A');
        LoadHiscores(back);
        EXPECT_STREQ(back[0].name, "Orvik") << n;
    }
    // Names without a terminator are cut inside their field.
    WriteBytes(kHiscoreFileName, 240, 'A');
    LoadHiscores(back);
    EXPECT_EQ(std::strlen(back[0].name), 19u);
    EXPECT_EQ(back[0].score, 0x41414141);
    std::remove(kHiscoreFileName);
}
