// The program itself, headless over the data set, driven by a script through its first screens:
// the intro's blocks and the title picture, the start menu, the options (which it writes), the
// credits, and the confirm box on leaving, answered No, then Yes.
#include "platform/tests/support/file_contents.h"
#include "platform/tests/support/png_reading.h"
#include "platform/tests/support/program_folder.h"
#include "platform/tests/support/program_run.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Picture {
    std::vector<uint8_t> rgb;
    int width = 0, height = 0;
    const uint8_t* At(int x, int y) const { return rgb.data() + ((size_t)y * width + x) * 3; }
    // Pixels in the rectangle for which `test` holds.
    template <class Test>
    int Count(int x0, int y0, int x1, int y1, Test test) const
    {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                if (test(At(x, y))) ++n;
        return n;
    }
};

bool Yellowish(const uint8_t* p) { return p[0] > 200 && p[1] > 200 && p[2] < 80; }
bool Greenish(const uint8_t* p) { return p[1] > 150 && p[0] < 100 && p[2] < 100; }
bool Whitish(const uint8_t* p) { return p[0] > 200 && p[1] > 200 && p[2] > 200; }
bool Woody(const uint8_t* p) { return p[0] > 120 && p[1] > 70 && p[2] < 90 && p[0] > p[2] + 60; }

class FrontEndEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/fenwolt-frontend-e2e-XXXXXX";
        dir = mkdtemp(pattern);
        const std::filesystem::path data = std::filesystem::path(BUILD_ROOT) / "data/fenwolt";
        ASSERT_TRUE(std::filesystem::exists(data / "interface/start.jpg")) << "build the fenwolt-data target first";
        FillProgramFolder(data, dir);
        std::filesystem::create_directories(dir / "saves");
        std::filesystem::create_directories(dir / "dat");
        std::ofstream(dir / "dat" / "window.dat");
    }
    void TearDown() override
    {
        std::error_code ec;
        if (!HasFailure()) std::filesystem::remove_all(dir, ec);
    }
    int Run(const std::string& script)
    {
        const int code =
            RunScriptedProgram(FENWOLT_BINARY, dir, script, 20, {"SDL_VIDEODRIVER=offscreen", "SDL_AUDIODRIVER=dummy"});
        log = FileText(dir / "run.log");
        return code;
    }
    Picture Shot(const char* name)
    {
        Picture p;
        EXPECT_TRUE(ReadRgbPng(dir / name, p.rgb, p.width, p.height)) << name << "\n" << log;
        EXPECT_EQ(p.width, 800) << name;
        EXPECT_EQ(p.height, 600) << name;
        if (p.width != 800 || p.height != 600) p = Picture{std::vector<uint8_t>(800 * 600 * 3, 0), 800, 600};
        return p;
    }
    std::filesystem::path dir;
    std::string log;
};

}  // namespace

TEST_F(FrontEndEndToEnd, IntroTitleStartMenuOptionsCreditsAndLeaving)
{
    // 20 ms a frame: the blocks stand until frame 585, the title fades in over 250 frames.
    const int code = Run("560 screenshot blocks.png\n"
                         "850 screenshot title.png\n"
                         "860 key VK_SPACE\n"
                         "880 screenshot start.png\n"
                         "890 click 500 308\n"            // OPTIONS
                         "910 click 402 209\n"            // the volume bar's first pixel
                         "920 click 415 181\n"            // effects off
                         "940 screenshot options.png\n"
                         "950 click 390 331\n"            // Credits
                         "980 screenshot credits.png\n"
                         "990 click 690 561\n"            // Return
                         "1010 move 700 308\n"
                         "1020 click 700 308\n"           // EXIT, on the release
                         "1040 screenshot confirm.png\n"
                         "1050 click 490 313\n"           // No
                         "1070 screenshot start2.png\n"
                         "1080 click 700 308\n"
                         "1100 click 310 313\n"           // Yes
                         "1400 quit\n");
    EXPECT_EQ(code, 0) << log;
    EXPECT_EQ(log.find("runtime error"), std::string::npos) << log;
    EXPECT_EQ(log.find("not written yet"), std::string::npos) << log;

    // The blocks have come to rest in a row across the middle, the label under them.
    const Picture blocks = Shot("blocks.png");
    EXPECT_GT(blocks.Count(0, 250, 800, 340, Woody), 10000);
    EXPECT_LT(blocks.Count(0, 0, 800, 200, Woody), 100);
    EXPECT_GT(blocks.Count(320, 470, 545, 495, Yellowish), 300);

    // The title picture, faded in: a green pitch below.
    const Picture title = Shot("title.png");
    const uint8_t* pitch = title.At(100, 500);
    EXPECT_GT(pitch[1], pitch[0] + 30);
    EXPECT_GT(pitch[1], 60);

    const Picture start = Shot("start.png");
    EXPECT_GT(start.Count(110, 295, 230, 325, Greenish), 150) << "START";
    EXPECT_GT(start.Count(660, 295, 750, 325, Greenish), 100) << "EXIT";

    const Picture options = Shot("options.png");
    EXPECT_GT(options.Count(255, 135, 360, 220, Whitish), 400) << "the sound labels";
    const std::vector<uint8_t> opt = FileBytes(dir / "saves" / "fenwolt.opt");
    ASSERT_EQ(opt.size(), 56u) << log;
    int32_t effects = -1, volume = -1;
    std::memcpy(&effects, &opt[4], 4);
    std::memcpy(&volume, &opt[24], 4);
    EXPECT_EQ(effects, 0);
    EXPECT_EQ(volume, 0);

    const Picture credits = Shot("credits.png");
    EXPECT_GT(credits.Count(38, 118, 160, 145, Whitish), 200) << "CREDITS";

    // The box over the start menu, which stays drawn around it; gone again after No.
    const Picture confirm = Shot("confirm.png");
    const uint8_t* box = confirm.At(400, 380);
    EXPECT_LT(box[0], 60);
    EXPECT_GT(box[2], box[0]);
    EXPECT_GT(confirm.Count(110, 295, 190, 325, Greenish), 100) << "START beside the box";
    const Picture again = Shot("start2.png");
    const uint8_t* field = again.At(400, 380);
    EXPECT_GT(field[1], field[2]) << "the pitch again where the box stood";
}

// A double-click on the title where the start menu shows LOAD: the first click leaves the title,
// the second was made on it and goes no further. The start menu, once shown, takes LOAD.
TEST_F(FrontEndEndToEnd, ADoubleClickOnTheTitleOpensTheStartMenuOnly)
{
    // The title fades in over 250 frames; the clicks come once it is whole.
    const int code = Run("560 key VK_SPACE\n"
                         "820 click 340 308\n"
                         "821 click 340 308\n"  // its press comes with the first click's release
                         "860 screenshot start.png\n"
                         "870 click 340 308\n"
                         "910 screenshot load.png\n"
                         "920 quit\n");
    EXPECT_EQ(code, 0) << log;
    // The load screen's heading, white on the plain picture, where the start menu has its sky.
    const Picture start = Shot("start.png");
    EXPECT_GT(start.Count(110, 295, 230, 325, Greenish), 150) << "START";
    EXPECT_LT(start.Count(38, 118, 300, 145, Whitish), 50) << "no LOAD SAVED GAME";
    const Picture load = Shot("load.png");
    EXPECT_GT(load.Count(38, 118, 300, 145, Whitish), 300) << "LOAD SAVED GAME";
}
