#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "TestUtil.h"
#include "skerrow/Src/FileSystem.h"
#include "skerrow/Src/ResourceLocator.h"

namespace {

std::string Load(ResourceLocator& locator, const char* name, int searchOnly)
{
    char* data = locator.LoadResourceFile(name, searchOnly);
    if (!data) return "<null>";
    std::string s(data, static_cast<size_t>(locator.GetLastResourceSize()));
    FreeResourceBuffer(data);
    return s;
}

TEST(PackArchive, ReadsEveryEntryOfAnIndependentlyWrittenPack)
{
    ScratchDir dir;
    std::string big(100000, 'x');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('a' + (i * 7) % 26);
    WriteFileBytes("p.dat", BuildTestPack({{"DATA\\Blocks.tga", "blocks"}, {"DATA\\Big.bin", big}, {"DATA\\Empty", ""}}));
    PackArchive pack;
    ASSERT_EQ(pack.Open("p.dat"), 1);
    ASSERT_EQ(pack.Entries().size(), 3u);
    int size = -1;
    char* data = pack.FindEntry("data\\BLOCKS.TGA", &size);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(size, 6);
    EXPECT_EQ(std::string(data, 6), "blocks");
    EXPECT_EQ(data[6], 0);
    EXPECT_EQ(data[7], 0);
    delete[] data;
    data = pack.FindEntry("DATA\\Big.bin", &size);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::string(data, static_cast<size_t>(size)), big);
    delete[] data;
    data = pack.FindEntry("DATA\\Empty", &size);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(size, 0);
    delete[] data;
    EXPECT_EQ(pack.FindEntry("DATA\\Missing", &size), nullptr);
}

TEST(PackArchive, FirstOfTwoEqualNamesWins)
{
    ScratchDir dir;
    WriteFileBytes("p.dat", BuildTestPack({{"A.txt", "first"}, {"a.TXT", "second"}}));
    ResourceLocator locator;
    ASSERT_NE(locator.AddSearchPath("p.dat", "", 1), nullptr);
    EXPECT_EQ(Load(locator, "A.txt", 1), "first");
}

TEST(PackArchive, TinyLastEntryStillOpens)
{
    // The last file has a 5-character name and no data bytes at all behind it (an empty file
    // stored without a stream): fewer than 14 bytes follow its name offset.
    ScratchDir dir;
    std::vector<uint8_t> bytes = BuildTestPack({{"big.txt", "some text"}, {"x.txt", ""}});
    size_t last = bytes.size() - (22 + 6 + 8);
    PutLe32(bytes, last + 16, 0);
    bytes.resize(bytes.size() - 8);
    WriteFileBytes("p.dat", bytes);
    PackArchive pack;
    ASSERT_EQ(pack.Open("p.dat"), 1);
    int size = -1;
    char* data = pack.FindEntry("x.txt", &size);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(data[0], 0);
    delete[] data;
    data = pack.FindEntry("big.txt", &size);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::string(data, 9), "some text");
    delete[] data;
}

TEST(PackArchive, DamagedPacksFailCleanly)
{
    ScratchDir dir;
    const std::vector<uint8_t> good = BuildTestPack({{"DATA\\One.txt", "hello world, hello world"}, {"DATA\\Two.txt", "2"}});
    // Every truncation: the pack does not open, or what it yields is exact.
    for (size_t len = 0; len < good.size(); ++len) {
        WriteFileBytes("t.dat", std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(len)));
        PackArchive pack;
        if (pack.Open("t.dat")) {
            int size = 0;
            char* data = pack.FindEntry("DATA\\One.txt", &size);
            if (data) {
                EXPECT_EQ(std::string(data, static_cast<size_t>(size)), "hello world, hello world");
            }
            delete[] data;
        }
    }
    // Every byte flipped: never a crash, never a buffer of the wrong contents for One.txt.
    for (size_t i = 0; i < good.size(); ++i) {
        std::vector<uint8_t> bad = good;
        bad[i] ^= 0xFF;
        WriteFileBytes("b.dat", bad);
        PackArchive pack;
        if (!pack.Open("b.dat")) continue;
        for (const char* name : {"DATA\\One.txt", "DATA\\Two.txt"}) {
            int size = 0;
            char* data = pack.FindEntry(name, &size);
            if (data && std::strcmp(name, "DATA\\One.txt") == 0 && size == 24) {
                EXPECT_EQ(std::string(data, 24), "hello world, hello world") << "byte " << i;
            }
            delete[] data;
        }
    }
}

TEST(PackArchive, HostileHeadersAreRefused)
{
    ScratchDir dir;
    std::vector<uint8_t> pack = BuildTestPack({{"A", "abc"}});
    std::vector<uint8_t> hugeCount = pack;
    PutLe32(hugeCount, 38, 0x7FFFFFFF);
    WriteFileBytes("count.dat", hugeCount);
    std::vector<uint8_t> negative = pack;
    PutLe32(negative, 38, 0xFFFFFFFF);
    WriteFileBytes("neg.dat", negative);
    std::vector<uint8_t> noNul = pack;
    noNul.resize(256 + 22 + 1);  // the name's single character, no NUL, end of file
    WriteFileBytes("nonul.dat", noNul);
    std::vector<uint8_t> packedTooBig = pack;
    PutLe32(packedTooBig, 256 + 16, 0x10000000);
    WriteFileBytes("packed.dat", packedTooBig);
    std::vector<uint8_t> wrongSize = pack;
    PutLe32(wrongSize, 256 + 12, 1000);  // claims more than the stream inflates to
    WriteFileBytes("size.dat", wrongSize);
    PackArchive p;
    EXPECT_EQ(p.Open("count.dat"), 0);
    EXPECT_EQ(p.Open("neg.dat"), 0);
    EXPECT_EQ(p.Open("nonul.dat"), 0);
    EXPECT_EQ(p.Open("packed.dat"), 0);
    EXPECT_EQ(p.Open("missing.dat"), 0);
    ASSERT_EQ(p.Open("size.dat"), 1);
    int size = 0;
    EXPECT_EQ(p.FindEntry("A", &size), nullptr);
}

TEST(ResourceLocator, SearchOrderPlainFileThenPacksInOrder)
{
    ScratchDir dir;
    WriteFileBytes("Ombrelit.dat", BuildTestPack({{"DATA\\Buttons.anm", "from data"}, {"DATA\\Only.txt", "d"}}));
    WriteFileBytes("Ombrelit.lng", BuildTestPack({{"LANG\\Buttons.anm", "from lang"}, {"LANG\\Strings.txt", "s"}}));
    WriteFileText("Buttons.anm", "plain");
    WriteFileText("Strings.txt", "plain strings");
    ResourceLocator locator;
    ASSERT_NE(locator.AddSearchPath("Ombrelit.dat", "DATA\\", 3), nullptr);
    ASSERT_NE(locator.AddSearchPath("Ombrelit.lng", "LANG\\", 3), nullptr);
    EXPECT_EQ(Load(locator, "Buttons.anm", 0), "plain");
    EXPECT_EQ(Load(locator, "Buttons.anm", 1), "from data");
    EXPECT_EQ(Load(locator, "buttons.ANM", 1), "from data");
    EXPECT_EQ(Load(locator, "Strings.txt", 1), "s");
    // A pack entry that lacks a file does not fall back to plain files.
    EXPECT_EQ(Load(locator, "Nowhere.txt", 1), "<null>");
    WriteFileText("Plainonly.txt", "x");
    EXPECT_EQ(Load(locator, "Plainonly.txt", 1), "<null>");
    EXPECT_EQ(Load(locator, "Plainonly.txt", 0), "x");
}

TEST(ResourceLocator, MissingPacksBecomeDirectoryEntries)
{
    ScratchDir dir;
    WriteFileText("data/Buttons.anm", "in data dir");
    WriteFileText("lang/strings.TXT", "in lang dir");
    WriteFileText("Root.txt", "root");
    ResourceLocator locator;
    EXPECT_EQ(locator.AddSearchPath("Ombrelit.dat", "DATA\\", 1), nullptr);  // bit 1 clear: nothing added
    EXPECT_EQ(locator.Entries().size(), 0u);
    EXPECT_EQ(reinterpret_cast<intptr_t>(locator.AddSearchPath("Ombrelit.dat", "DATA\\", 3)), 1);
    EXPECT_EQ(reinterpret_cast<intptr_t>(locator.AddSearchPath("Ombrelit.lng", "LANG\\", 3)), 2);
    EXPECT_EQ(locator.AddSearchPath(nullptr, "X\\", 3), nullptr);
    EXPECT_EQ(Load(locator, "Buttons.anm", 1), "in data dir");
    EXPECT_EQ(Load(locator, "Strings.txt", 1), "in lang dir");
    // After the prefixed name, the bare name is tried for a directory entry.
    EXPECT_EQ(Load(locator, "Root.txt", 1), "root");
}

TEST(ResourceLocator, BuffersCarryTwoZerosAndReadsAreCut)
{
    ScratchDir dir;
    WriteFileText("ten.bin", "0123456789");
    ResourceLocator locator;
    char* data = locator.LoadResourceFile("ten.bin", 0);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(locator.GetLastResourceSize(), 10);
    EXPECT_EQ(data[10], 0);
    EXPECT_EQ(data[11], 0);
    FreeResourceBuffer(data);
    char small[9] = {};
    EXPECT_EQ(locator.ReadResourceFile("ten.bin", small, 8, 0), 1);
    EXPECT_EQ(std::string(small), "01234567");
    EXPECT_EQ(locator.ReadResourceFile("none.bin", small, 8, 0), 0);
    // A directory is not a file.
    std::filesystem::create_directory("adir");
    EXPECT_EQ(locator.LoadResourceFile("adir", 0), nullptr);
}

}  // namespace

// A FIFO (or any other file that is not a regular one) where the game looks for its settings,
// a save, the hiscores or its pack is no file: the open does not wait for a writer that never
// comes, and the lookup goes on as for a missing file. Writing the log into one does not wait
// for a reader either.
TEST(ResourceLocator, FifosAreNoFilesAndNeverWaitedFor)
{
    ScratchDir dir;
    for (const char* name : {"Ombrelit.ini", "game1.sav", "Ombrelit.hsc", "Ombrelit.dat", "Log.txt"})
        ASSERT_EQ(mkfifo(name, 0644), 0) << name;
    ResourceLocator locator;
    EXPECT_EQ(reinterpret_cast<intptr_t>(locator.AddSearchPath("Ombrelit.dat", "DATA\\", 3)), 1);
    for (const char* name : {"Ombrelit.ini", "game1.sav", "Ombrelit.hsc"}) {
        EXPECT_EQ(locator.LoadResourceFile(name, 0), nullptr) << name;
        char buffer[8];
        EXPECT_EQ(locator.ReadResourceFile(name, buffer, sizeof buffer, 0), 0) << name;
    }
    EXPECT_EQ(OpenGameFile("Log.txt", "a"), nullptr);
    EXPECT_EQ(OpenGameFile("Ombrelit.ini", "rb"), nullptr);
    // A regular file is opened as before, for reading and for writing.
    WriteFileText("plain.txt", "x");
    std::FILE* f = OpenGameFile("plain.txt", "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(std::fgetc(f), 'x');
    std::fclose(f);
    f = OpenGameFile("new.txt", "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
}
