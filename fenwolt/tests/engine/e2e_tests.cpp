// The program headless over the data set: the intro shows its picture, a round trip to full
// screen and back (two device resets) leaves the sprites drawn, and the match casts dark shadows.
#include "platform/tests/support/file_contents.h"
#include "platform/tests/support/png_reading.h"
#include "platform/tests/support/program_run.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

TEST(EngineEndToEnd, TheIntroPictureSurvivesTwoDeviceResets)
{
    char pattern[] = "/tmp/fenwolt-engine-e2e-XXXXXX";
    const std::filesystem::path dir = mkdtemp(pattern);
    const std::filesystem::path data = std::filesystem::path(BUILD_ROOT) / "data/fenwolt";
    ASSERT_TRUE(std::filesystem::exists(data / "interface/title.jpg")) << "build the fenwolt-data target first";
    for (const auto& entry : std::filesystem::directory_iterator(data)) {
        if (entry.is_directory())
            std::filesystem::create_directory_symlink(entry.path(), dir / entry.path().filename());
        else
            std::filesystem::copy_file(entry.path(), dir / entry.path().filename());
    }
    std::filesystem::create_directories(dir / "dat");
    std::ofstream(dir / "dat" / "window.dat");
    // A key leaves the intro's block scene for the title picture, whose fade-in takes 5 s.
    const int status = RunScriptedProgram(FENWOLT_BINARY, dir,
                                          "2 key VK_SPACE\n300 screenshot before.png\n305 key alt+VK_RETURN\n"
                                          "310 key alt+VK_RETURN\n316 screenshot after.png\n320 key alt+X\n",
                                          20, {"SDL_VIDEODRIVER=offscreen", "SDL_AUDIODRIVER=dummy", "PLATFORM_DEBUG_OUTPUT=1"});
    const std::string log = FileText(dir / "run.log");
    ASSERT_EQ(status, 0) << log;

    std::vector<uint8_t> before, after;
    int w = 0, h = 0;
    ASSERT_TRUE(ReadRgbPng(dir / "before.png", before, w, h)) << log;
    ASSERT_EQ(w, 800);
    ASSERT_TRUE(ReadRgbPng(dir / "after.png", after, w, h)) << log;
    // The title picture: a green pitch in the lower half, not the black of an empty frame.
    const uint8_t* pitch = after.data() + ((size_t)500 * 800 + 100) * 3;
    EXPECT_GT(pitch[1], pitch[0] + 30);
    EXPECT_GT(pitch[1], 60);
    size_t differing = 0;
    for (size_t i = 0; i < before.size(); ++i) differing += std::abs((int)before[i] - (int)after[i]) > 8;
    EXPECT_LT(differing, before.size() / 100);
    std::error_code ec;
    if (!::testing::Test::HasFailure()) std::filesystem::remove_all(dir, ec);
}

namespace {

// Runs the program from the intro to the first frame of an exhibition match, with the shadows
// option as given, and reads that frame.
bool MatchFrame(bool shadows, std::vector<uint8_t>& rgb, std::string& log)
{
    char pattern[] = "/tmp/fenwolt-shadow-e2e-XXXXXX";
    const std::filesystem::path dir = mkdtemp(pattern);
    const std::filesystem::path data = std::filesystem::path(BUILD_ROOT) / "data/fenwolt";
    for (const auto& entry : std::filesystem::directory_iterator(data)) {
        if (entry.path().filename() == "saves") continue;
        if (entry.is_directory())
            std::filesystem::create_directory_symlink(entry.path(), dir / entry.path().filename());
        else
            std::filesystem::copy_file(entry.path(), dir / entry.path().filename());
    }
    std::filesystem::create_directories(dir / "dat");
    std::filesystem::create_directories(dir / "saves");
    std::ofstream(dir / "dat" / "window.dat");
    // The options file with its defaults but for the shadows switch.
    const int32_t words[12] = {1, 1, 1, 1, 0, 2, 100, 0, 0, shadows ? 1 : 0, 1, 0x00010101};
    const int32_t tail[2] = {0, 1};
    {
        std::ofstream options(dir / "saves" / "fenwolt.opt", std::ios::binary);
        options.write(reinterpret_cast<const char*>(words), sizeof words);
        options.write(reinterpret_cast<const char*>(tail), sizeof tail);
    }
    // Intro, title, START, Single Exhibition Match, START MATCH, the editor's START MATCH; the
    // match is loaded and standing for its kick-off well before frame 400.
    const int status = RunScriptedProgram(FENWOLT_BINARY, dir,
                                          "5 click 400 300\n10 click 400 300\n122 click 130 305\n"
                                          "127 click 400 108\n135 click 400 268\n147 click 670 545\n"
                                          "400 screenshot match.png\n401 quit\n",
                                          50, {"SDL_VIDEODRIVER=offscreen", "SDL_AUDIODRIVER=dummy"});
    log = FileText(dir / "run.log");
    int w = 0, h = 0;
    const bool read = status == 0 && ReadRgbPng(dir / "match.png", rgb, w, h) && w == 800 && h == 600;
    std::error_code ec;
    if (read) std::filesystem::remove_all(dir, ec);
    return read;
}

}  // namespace

// The same match frame with and without shadows differs only where a shadow lies, and there the
// shadowed frame is darker than the grass it covers.
TEST(EngineEndToEnd, MatchShadowsDarkenTheGrassTheyLieOn)
{
    std::vector<uint8_t> shadowed, plain;
    std::string log;
    ASSERT_TRUE(MatchFrame(true, shadowed, log)) << log;
    ASSERT_TRUE(MatchFrame(false, plain, log)) << log;
    ASSERT_EQ(shadowed.size(), plain.size());
    int darker = 0, lighter = 0;
    long shadowSum = 0, grassSum = 0;
    for (size_t i = 0; i + 2 < plain.size(); i += 3) {
        const int with = shadowed[i] + shadowed[i + 1] + shadowed[i + 2];
        const int without = plain[i] + plain[i + 1] + plain[i + 2];
        if (std::abs(with - without) <= 15) continue;
        if (with < without) {
            ++darker;
            shadowSum += with;
            grassSum += without;
        } else {
            ++lighter;
        }
    }
    // 22 players and the ball each leave a patch of some tens of pixels.
    EXPECT_GT(darker, 500);
    EXPECT_LT(lighter, darker / 50) << "a shadow never brightens what it covers";
    // On the whole a shadow takes away at least a third of the light.
    EXPECT_LT(shadowSum * 3, grassSum * 2);
}
