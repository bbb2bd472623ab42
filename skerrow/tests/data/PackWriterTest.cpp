#include "skerrow/data/PackWriter.h"
#include "skerrow/tests/data/Readers.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

TEST(PackWriter, RoundTripsThroughTheEntryChain) {
    std::vector<uint8_t> binary(70000);
    for (size_t i = 0; i < binary.size(); ++i) binary[i] = uint8_t((i * 7919) >> 3);
    const std::vector<PackWriterEntry> entries = {
        {"Buttons.anm", Bytes("*ALL_FRAMES { }")},
        {"Items/Item00.tga", binary},
        {"empty.txt", {}},
        {"Level01.map", Bytes(std::string(20, '\x01'))},
    };
    std::vector<uint8_t> pack;
    std::string error;
    ASSERT_TRUE(BuildPackArchive(entries, "DATA\\", pack, &error)) << error;

    std::vector<testread::PackFile> files;
    std::string why;
    ASSERT_TRUE(testread::ParsePack(pack, files, why)) << why;
    ASSERT_EQ(files.size(), entries.size());
    EXPECT_EQ(files[0].name, "DATA\\Buttons.anm");
    EXPECT_EQ(files[1].name, "DATA\\Items\\Item00.tga");  // host separators become '\'
    EXPECT_EQ(files[2].name, "DATA\\empty.txt");
    for (size_t i = 0; i < entries.size(); ++i) EXPECT_EQ(files[i].data, entries[i].data) << files[i].name;
    // Repetitive data is really compressed.
    EXPECT_LT(files[3].packedSize, 20u);
    // Every name sits right behind its 22-byte entry header.
    const uint32_t first = testread::Le32(pack, 34);
    EXPECT_EQ(testread::Le32(pack, first), first + 22);
}

TEST(PackWriter, SmallLastEntryLeavesEnoughBytesBehindItsName) {
    // A 5-character name with a tiny file would leave fewer than 14 bytes behind the name
    // offset; the reader refuses such a pack, so the writer pads the end.
    std::vector<uint8_t> pack;
    ASSERT_TRUE(BuildPackArchive({{"a.txt", Bytes("x")}}, "", pack, nullptr));
    const uint32_t nameAt = testread::Le32(pack, testread::Le32(pack, 34));
    EXPECT_GE(pack.size(), nameAt + 14u);
    std::vector<testread::PackFile> files;
    std::string why;
    EXPECT_TRUE(testread::ParsePack(pack, files, why)) << why;
}

TEST(PackWriter, RefusesNamesTheReaderCannotServe) {
    std::vector<uint8_t> pack;
    std::string error;
    EXPECT_FALSE(BuildPackArchive({{"", Bytes("x")}}, "DATA\\", pack, &error));
    EXPECT_FALSE(BuildPackArchive({{std::string(251, 'n'), Bytes("x")}}, "DATA\\", pack, &error));
    EXPECT_NE(error.find("255"), std::string::npos);
    EXPECT_TRUE(BuildPackArchive({{std::string(250, 'n'), Bytes("x")}}, "DATA\\", pack, &error)) << error;
    EXPECT_FALSE(BuildPackArchive({{std::string("a\0b", 3), Bytes("x")}}, "", pack, &error));
    // The reader compares names ignoring case and serves the first: a second entry would be lost.
    EXPECT_FALSE(BuildPackArchive({{"Blocks.tga", Bytes("1")}, {"BLOCKS.TGA", Bytes("2")}}, "", pack, &error));
    EXPECT_NE(error.find("twice"), std::string::npos);
}

TEST(PackWriter, SameInputGivesSameBytesAndFilesReportFailure) {
    const std::vector<PackWriterEntry> entries = {{"one", Bytes("first")}, {"two", Bytes("second")}};
    std::vector<uint8_t> a, b;
    ASSERT_TRUE(BuildPackArchive(entries, "LANG\\", a, nullptr));
    ASSERT_TRUE(BuildPackArchive(entries, "LANG\\", b, nullptr));
    EXPECT_EQ(a, b);

    const std::string path = std::string(BUILD_ROOT) + "/packwriter_test.pack";
    std::string error;
    ASSERT_TRUE(WritePackArchive(path, entries, "LANG\\", &error)) << error;
    EXPECT_EQ(testread::ReadFile(path), a);
    std::remove(path.c_str());
    EXPECT_FALSE(WritePackArchive("/nonexistent-dir/x.pack", entries, "", &error));
    EXPECT_NE(error.find("cannot"), std::string::npos);
}

}  // namespace
