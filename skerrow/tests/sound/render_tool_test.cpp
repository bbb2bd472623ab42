#include "skerrow/tools/render_s3m.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/tests/support/file_contents.h"
#include "skerrow/tests/sound/s3m_writer.h"

namespace {

int RunTool(std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    return RenderS3mCommand(int(argv.size()), argv.data());
}

uint32_t U32(const std::vector<uint8_t>& v, size_t at)
{
    return uint32_t(v[at]) | uint32_t(v[at + 1]) << 8 | uint32_t(v[at + 2]) << 16 | uint32_t(v[at + 3]) << 24;
}

}  // namespace

TEST(RenderS3mTool, WritesAWavOfTheSongOrTheAskedLength)
{
    auto dir = std::filesystem::temp_directory_path() / "render_s3m_test";
    std::filesystem::create_directories(dir);
    s3mtest::Module m;
    m.samples.push_back(s3mtest::SineSample());
    m.patterns[0].push_back({0, 0, s3mtest::Note(5, 0), 1, -1, 0, 0});
    auto image = s3mtest::Write(m);
    std::ofstream((dir / "in.s3m").string(), std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));

    ASSERT_EQ(RunTool({"render-s3m", (dir / "in.s3m").string(), (dir / "whole.wav").string()}), 0);
    auto wav = FileBytes(dir / "whole.wav");
    ASSERT_GE(wav.size(), 44u);
    EXPECT_EQ(std::memcmp(wav.data(), "RIFF", 4), 0);
    EXPECT_EQ(std::memcmp(wav.data() + 8, "WAVEfmt ", 8), 0);
    EXPECT_EQ(U32(wav, 24), 44100u);
    EXPECT_EQ(U32(wav, 40), 64u * 6 * 882 * 4);  // one pattern, then the song ends
    EXPECT_EQ(wav.size(), 44 + size_t(U32(wav, 40)));

    ASSERT_EQ(RunTool({"render-s3m", (dir / "in.s3m").string(), (dir / "half.wav").string(), "0.5"}), 0);
    EXPECT_EQ(U32(FileBytes(dir / "half.wav"), 40), 22050u * 4);

    EXPECT_EQ(RunTool({"render-s3m", (dir / "missing.s3m").string(), (dir / "x.wav").string()}), 1);
    EXPECT_EQ(RunTool({"render-s3m", (dir / "in.s3m").string(), (dir / "x.wav").string(), "ten"}), 2);
    EXPECT_EQ(RunTool({"render-s3m", (dir / "in.s3m").string()}), 2);
    std::ofstream((dir / "junk.s3m").string()) << "not a module";
    EXPECT_EQ(RunTool({"render-s3m", (dir / "junk.s3m").string(), (dir / "x.wav").string()}), 1);
    std::filesystem::remove_all(dir);
}
