#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <iterator>
#include <vector>

#include "skerrow/Src/Digest.h"
#include "skerrow/Src/game/SaveFile.h"

namespace {

GameState SampleGame()
{
    GameState g{};
    g.score = 12345;
    g.lives = 3;
    g.money = 275;
    g.inventory[0] = InventorySlot{ITEM_CANNON, 2, 1, 40, 1000, 960};
    g.inventory[4] = InventorySlot{ITEM_DETONATOR, 1, 0, 0, 10, 0};
    g.levels[0].completed = 1;
    g.levels[4].completed = 1;
    g.levels[99].completed = 1;
    return g;
}

// The temporaries of `name` in the working folder, left or planted.
int TemporariesOf(const std::string& name)
{
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator("."))
        n += e.path().filename().string().rfind(name + ".tmp", 0) == 0 ? 1 : 0;
    return n;
}

std::vector<uint8_t> ReadFile(const char* name)
{
    std::ifstream in(name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const char* name, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

TEST(SaveFile, GeneratorFollowsItsRecurrence)
{
    RandomGenerator r;
    EXPECT_EQ(r.Seed(), 1u);
    EXPECT_EQ(r.Next(32768), 41);  // the first draw of seed 1
    EXPECT_EQ(r.Next(32768), 18467);
    r.SetSeed(0);
    EXPECT_EQ(r.NextInRange(10, 20), 10 + static_cast<int>((2531011u >> 16) & 0x7FFF) % 10);
}

TEST(SaveFile, ScrambleKeystreamIsFixedAndUndoesItself)
{
    uint8_t bytes[kSaveRecordSize] = {};
    ScrambleRecord(bytes);
    const uint8_t head[8] = {162, 159, 109, 32, 133, 93, 54, 68};
    EXPECT_EQ(std::memcmp(bytes, head, 8), 0);
    EXPECT_EQ(bytes[260], 93);
    EXPECT_EQ(bytes[263], 154);
    ScrambleRecord(bytes);
    for (uint8_t b : bytes) EXPECT_EQ(b, 0);
}

TEST(SaveFile, RecordLayoutAndRoundTrip)
{
    SaveGameRecord r;
    BuildSaveRecord(SampleGame(), "A title that is far too long", &r);
    EXPECT_STREQ(r.title, "A title that is ");  // 16 characters kept
    const uint8_t* raw = reinterpret_cast<const uint8_t*>(&r);
    int32_t score;
    std::memcpy(&score, raw + 32, 4);
    EXPECT_EQ(score, 12345);
    int16_t id;
    std::memcpy(&id, raw + 44, 2);
    EXPECT_EQ(id, ITEM_CANNON);
    EXPECT_EQ(raw[164 + 4], 1);
    EXPECT_EQ(raw[164 + 5], 0);

    uint8_t file[kSaveFileSize];
    EncodeSaveFile(r, file);
    // The digest covers the scrambled bytes as stored.
    DigestContext c;
    DigestInit(&c, DIGEST_MD5);
    DigestUpdate(&c, file + 16, kSaveRecordSize);
    uint8_t md5[16];
    int32_t n;
    DigestFinal(&c, md5, &n);
    EXPECT_EQ(std::memcmp(md5, file, 16), 0);
    EXPECT_NE(std::memcmp(file + 16, &r, kSaveRecordSize), 0);

    SaveGameRecord back;
    ASSERT_EQ(DecodeSaveFile(file, sizeof file, &back), 1);
    EXPECT_EQ(std::memcmp(&back, &r, sizeof r), 0);

    GameState g{};
    g.levels[7].available = 1;
    g.levels[7].mapX = 99;
    ApplySaveRecord(back, g);
    EXPECT_EQ(g.score, 12345);
    EXPECT_EQ(g.lives, 3);
    EXPECT_EQ(g.money, 275);
    EXPECT_EQ(g.inventory[0].id, ITEM_CANNON);
    EXPECT_EQ(g.inventory[0].count, 2);
    EXPECT_EQ(g.inventory[4].id, ITEM_DETONATOR);
    EXPECT_EQ(g.levels[4].completed, 1);
    EXPECT_EQ(g.levels[4].revealed, 1);
    EXPECT_EQ(g.levels[3].revealed, 0);
    EXPECT_EQ(g.levels[7].available, 0);  // every record cleared; the map recomputes it
}

TEST(SaveFile, AnyFlippedByteOrWrongSizeEmptiesTheSlot)
{
    SaveGameRecord r;
    BuildSaveRecord(SampleGame(), "x", &r);
    uint8_t file[kSaveFileSize];
    EncodeSaveFile(r, file);
    SaveGameRecord out;
    std::memset(&out, 0x55, sizeof out);
    for (int i = 0; i < kSaveFileSize; ++i) {
        uint8_t copy[kSaveFileSize];
        std::memcpy(copy, file, sizeof copy);
        copy[i] ^= 0x01;
        EXPECT_EQ(DecodeSaveFile(copy, sizeof copy, &out), 0) << "byte " << i;
    }
    std::vector<uint8_t> longer(file, file + kSaveFileSize);
    longer.push_back(0);
    EXPECT_EQ(DecodeSaveFile(longer.data(), longer.size(), &out), 0);
    EXPECT_EQ(DecodeSaveFile(file, kSaveFileSize - 1, &out), 0);
    EXPECT_EQ(out.score, 0x55555555);  // a refused file leaves the output alone
}

TEST(SaveFile, DigestValidHostileRecordIsSanitised)
{
    SaveGameRecord r;
    std::memset(&r, 0, sizeof r);
    std::memset(r.title, 'Z', sizeof r.title);  // no terminator at all
    r.score = -5;
    r.lives = -3;
    r.money = -100;
    r.inventory[0] = InventorySlot{200, 5, 1, 10, 100, 0};
    r.inventory[1] = InventorySlot{ITEM_SHIELD, -2, 0, 0, 0, 0};
    r.inventory[2] = InventorySlot{ITEM_CREDIT1, 3, 0, 0, 0, 0};
    r.inventory[3] = InventorySlot{ITEM_CANNON, 1, 7, 30000, 100, -4};
    r.completed[10] = 0xFF;
    uint8_t file[kSaveFileSize];
    EncodeSaveFile(r, file);
    SaveGameRecord out;
    ASSERT_EQ(DecodeSaveFile(file, sizeof file, &out), 1);
    EXPECT_EQ(std::strlen(out.title), static_cast<size_t>(kSaveTitleMax));
    EXPECT_EQ(out.score, 0);
    EXPECT_EQ(out.lives, 0);
    EXPECT_EQ(out.money, 0);
    EXPECT_EQ(out.inventory[0].id, 0);
    EXPECT_EQ(out.inventory[0].count, 0);
    EXPECT_EQ(out.inventory[1].id, 0);
    EXPECT_EQ(out.inventory[2].id, 0);
    EXPECT_EQ(out.inventory[3].id, ITEM_CANNON);
    EXPECT_EQ(out.inventory[3].active, 1);
    EXPECT_EQ(out.inventory[3].ticksLeft, 100);
    EXPECT_EQ(out.inventory[3].elapsed, 0);
    EXPECT_EQ(out.completed[10], 1);
}

TEST(SaveFile, SlotsOnDiskRoundTripAndRejectDamage)
{
    std::remove("game3.sav");
    SaveGameRecord r, back;
    BuildSaveRecord(SampleGame(), "Slot three", &r);
    EXPECT_EQ(ReadSaveSlot(2, &back), 0);  // missing file
    ASSERT_EQ(WriteSaveSlot(2, r), 1);
    std::vector<uint8_t> bytes = ReadFile("game3.sav");
    ASSERT_EQ(bytes.size(), static_cast<size_t>(kSaveFileSize));
    ASSERT_EQ(ReadSaveSlot(2, &back), 1);
    EXPECT_STREQ(back.title, "Slot three");
    EXPECT_EQ(back.completed[99], 1);

    bytes.pop_back();
    WriteFile("game3.sav", bytes);
    EXPECT_EQ(ReadSaveSlot(2, &back), 0);  // 279 bytes
    bytes.push_back(0);
    bytes.push_back(0);
    WriteFile("game3.sav", bytes);
    EXPECT_EQ(ReadSaveSlot(2, &back), 0);  // 281 bytes
    std::remove("game3.sav");
    EXPECT_EQ(ReadSaveSlot(-1, &back), 0);
    EXPECT_EQ(ReadSaveSlot(10, &back), 0);
}

TEST(SaveFile, FailedWriteIsReportedAndKeepsTheOldFile)
{
    SaveGameRecord r;
    BuildSaveRecord(SampleGame(), "old", &r);
    ASSERT_EQ(WriteSaveSlot(6, r), 1);
    // A disk that takes no byte more.
    BuildSaveRecord(SampleGame(), "new", &r);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit full{0, limit.rlim_max};
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &full);
    const int written = WriteSaveSlot(6, r);
    const int error = errno;
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(written, 0);
    EXPECT_EQ(error, EFBIG);
    SaveGameRecord back;
    ASSERT_EQ(ReadSaveSlot(6, &back), 1);
    EXPECT_STREQ(back.title, "old");
    EXPECT_EQ(TemporariesOf("game7.sav"), 0) << "the failed write's temporary is gone";
    std::remove("game7.sav");
}

// A save goes through a temporary of its own: a link someone planted at a temporary's name
// never receives it, the save file stays a file, and a temporary a killed save left (an empty
// game1.sav.tmp) goes at the next save.
TEST(SaveFile, TemporariesNeverFollowLinksAndLeftOnesGo)
{
    const std::string outside = std::filesystem::temp_directory_path() / ("skerrow-outside-" + std::to_string(getpid()));
    std::ofstream(outside) << "not the game's";
    std::remove("game7.sav.tmp");
    std::filesystem::create_symlink(outside, "game7.sav.tmp");
    std::ofstream("game7.sav.tmp-AAAAAA");
    SaveGameRecord r;
    BuildSaveRecord(SampleGame(), "linked", &r);
    ASSERT_EQ(WriteSaveSlot(6, r), 1);
    EXPECT_EQ(ReadFile(outside.c_str()), std::vector<uint8_t>({'n', 'o', 't', ' ', 't', 'h', 'e', ' ', 'g', 'a', 'm', 'e', '\'', 's'}));
    EXPECT_FALSE(std::filesystem::is_symlink("game7.sav"));
    SaveGameRecord back;
    ASSERT_EQ(ReadSaveSlot(6, &back), 1);
    EXPECT_STREQ(back.title, "linked");
    EXPECT_EQ(TemporariesOf("game7.sav"), 0);
    EXPECT_TRUE(std::filesystem::exists(outside)) << "a link goes, never what it points to";
    std::remove("game7.sav");
    std::remove(outside.c_str());
}

// A file made by an independent writer of the format (MD5 from another library, the same
// keystream) reads back as written.
TEST(SaveFile, ReadsAFileMadeElsewhere)
{
    const std::vector<uint8_t> bytes = ReadFile(SOURCE_ROOT "/skerrow/tests/screens/corpus_save/valid.sav");
    ASSERT_EQ(bytes.size(), static_cast<size_t>(kSaveFileSize));
    SaveGameRecord r;
    ASSERT_EQ(DecodeSaveFile(bytes.data(), bytes.size(), &r), 1);
    EXPECT_STREQ(r.title, "Hello");
    EXPECT_EQ(r.score, 1234);
    EXPECT_EQ(r.lives, 5);
    EXPECT_EQ(r.money, 99);
    EXPECT_EQ(r.inventory[0].id, ITEM_CANNON);
    EXPECT_EQ(r.inventory[0].ticksLeft, 40);
    EXPECT_EQ(r.completed[0], 1);
}
