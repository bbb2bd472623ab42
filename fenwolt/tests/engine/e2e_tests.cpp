// The program headless over the data set: the intro shows its picture, and a round trip to full
// screen and back (two device resets) leaves the sprites drawn.
#include "platform/tests/support/file_contents.h"
#include "platform/tests/support/png_reading.h"

#include <gtest/gtest.h>

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
    std::ofstream(dir / "script.txt") << "2 key VK_SPACE\n"
                                         "300 screenshot before.png\n"
                                         "305 key alt+VK_RETURN\n"
                                         "310 key alt+VK_RETURN\n"
                                         "316 screenshot after.png\n"
                                         "320 key alt+X\n";
    const std::string command = "cd '" + dir.string() +
                                "' && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy PLATFORM_SCRIPT=script.txt "
                                "PLATFORM_DEBUG_OUTPUT=1 PLATFORM_FIXED_STEP_MS=20 timeout 120 '" FENWOLT_BINARY "' > run.log 2>&1";
    const int status = std::system(command.c_str());
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
