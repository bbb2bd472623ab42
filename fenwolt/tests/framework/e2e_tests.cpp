// The whole program, headless, started in a scratch directory over the data set: with a script
// that switches between window and full screen five times, takes a screenshot and quits with
// Alt+X; and the device dialog worked on the start menu, in a league match and on the league
// screens after it.
#include "platform/tests/support/file_contents.h"
#include "platform/tests/support/png_reading.h"
#include "platform/tests/support/program_folder.h"
#include "platform/tests/support/program_run.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {
uint32_t BigEndian(const std::string& s, size_t at)
{
    return ((uint32_t)(uint8_t)s[at] << 24) | ((uint32_t)(uint8_t)s[at + 1] << 16) |
           ((uint32_t)(uint8_t)s[at + 2] << 8) | (uint32_t)(uint8_t)s[at + 3];
}

struct RunResult {
    int exitCode;
    std::string log;
};

// The program's traces are printed unless `debugOutput` is off; `audio` is SDL's sound driver.
RunResult RunFenwolt(const std::filesystem::path& dir, const std::string& script, int stepMs = 20,
                     const std::string& audio = "dummy", bool debugOutput = true)
{
    RunResult r;
    r.exitCode = RunScriptedProgram(
        FENWOLT_BINARY, dir, script, stepMs,
        {"SDL_VIDEODRIVER=offscreen", "SDL_AUDIODRIVER=" + audio,
         std::string("PLATFORM_DEBUG_OUTPUT=") + (debugOutput ? "1" : "0"),
         "LSAN_OPTIONS=suppressions=" SOURCE_ROOT "/fenwolt/tests/framework/lsan.supp:print_suppressions=0"});
    r.log = FileText(dir / "run.log");
    return r;
}

class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/fenwolt-e2e-XXXXXX";
        dir = mkdtemp(pattern);
    }
    void TearDown() override
    {
        std::error_code ec;
        if (!HasFailure()) std::filesystem::remove_all(dir, ec);
    }
    std::filesystem::path dir;
};
}  // namespace

TEST_F(EndToEndTest, FullScreenTogglesScreenshotAndAltXQuit)
{
    // The program starts only where it finds the files it cannot run without.
    FillProgramFolder(std::filesystem::path(BUILD_ROOT) / "data" / "fenwolt", dir);
    RunResult r = RunFenwolt(dir,
                             "# five switches between full screen and the window\n"
                             "3 key alt+VK_RETURN\n"
                             "6 key alt+VK_RETURN\n"
                             "9 key alt+VK_RETURN\n"
                             "12 key alt+VK_RETURN\n"
                             "15 key alt+VK_RETURN\n"
                             "20 screenshot shot.png\n"
                             "25 key alt+X\n");
    EXPECT_EQ(r.exitCode, 0) << r.log;
    EXPECT_EQ(r.log.find("LeakSanitizer"), std::string::npos) << r.log;
    EXPECT_EQ(r.log.find("runtime error"), std::string::npos) << r.log;
    EXPECT_EQ(r.log.find("Could not reset the Direct3D device"), std::string::npos) << r.log;
    std::string png = FileText(dir / "shot.png");
    ASSERT_GT(png.size(), 24u) << r.log;
    EXPECT_EQ(png.substr(1, 3), "PNG");
    EXPECT_EQ(BigEndian(png, 16), 800u);
    EXPECT_EQ(BigEndian(png, 20), 600u);
}

TEST_F(EndToEndTest, ClosingTheWindowEndsTheProgramCleanly)
{
    FillProgramFolder(std::filesystem::path(BUILD_ROOT) / "data" / "fenwolt", dir);
    std::filesystem::create_directories(dir / "dat");
    std::ofstream(dir / "dat" / "window.dat");
    RunResult r = RunFenwolt(dir, "10 quit\n");
    EXPECT_EQ(r.exitCode, 0) << r.log;
    EXPECT_EQ(r.log.find("LeakSanitizer"), std::string::npos) << r.log;
}

// A machine without a sound device: the game goes through its title to the start menu silent,
// clicking as it goes, and the terminal shows one plain line, not the sound layer's complaints.
TEST_F(EndToEndTest, WithoutASoundDeviceTheTerminalGetsOneLine)
{
    FillProgramFolder(std::filesystem::path(BUILD_ROOT) / "data" / "fenwolt", dir);
    std::filesystem::create_directories(dir / "dat");
    std::filesystem::create_directories(dir / "saves");
    std::ofstream(dir / "dat" / "window.dat");
    RunResult r = RunFenwolt(dir, "5 click 400 300\n10 click 400 300\n100 screenshot menu.png\n110 key alt+X\n", 20,
                             "no-such-device", false);
    EXPECT_EQ(r.exitCode, 0) << r.log;
    EXPECT_EQ(r.log, "No sound device could be opened: the game runs without sound.\n");
    EXPECT_TRUE(std::filesystem::exists(dir / "menu.png"));
}

// ---------------------------------------------------------------------------------------------
namespace {

struct Picture {
    std::vector<uint8_t> rgb;
    int width = 0, height = 0;
    bool Read(const std::filesystem::path& path) { return ReadRgbPng(path, rgb, width, height) && width == 800; }
    // The share of pixels that are not (nearly) black.
    double Lit() const
    {
        size_t lit = 0;
        for (size_t i = 0; i + 2 < rgb.size(); i += 3) lit += rgb[i] + rgb[i + 1] + rgb[i + 2] > 40;
        return rgb.empty() ? 0.0 : (double)lit / (double)(rgb.size() / 3);
    }
    // The mean of a channel over the middle of the picture.
    int Mean(int channel) const
    {
        long sum = 0, n = 0;
        for (int y = 200; y < 400; y += 2)
            for (int x = 200; x < 600; x += 2, ++n) sum += rgb[((size_t)y * width + x) * 3 + channel];
        return n ? (int)(sum / n) : 0;
    }
};

// Ctrl+F2, full screen in mode `mode` of the list (0 is 800 x 600 x 16, 1 is 800 x 600 x 32), OK.
std::string FullScreenThroughTheDialog(int frame, int mode)
{
    const std::string at = std::to_string(frame) + " ";
    return at + "key ctrl+VK_F2\n" + at + "dialog 1018 click\n" + at + "dialog 1003 select " + std::to_string(mode) +
           "\n" + at + "dialog 1 click\n";
}

// At `frame`: full screen in 16 bits, then in 32 bits, then Alt+Enter back to the window, each
// followed by a screenshot "<name>-16.png", "<name>-32.png", "<name>-window.png".
std::string ThereAndBack(int frame, const std::string& name)
{
    std::string s = FullScreenThroughTheDialog(frame, 0);
    s += std::to_string(frame + 10) + " screenshot " + name + "-16.png\n";
    s += FullScreenThroughTheDialog(frame + 15, 1);
    s += std::to_string(frame + 25) + " screenshot " + name + "-32.png\n";
    s += std::to_string(frame + 30) + " key alt+VK_RETURN\n";
    s += std::to_string(frame + 40) + " screenshot " + name + "-window.png\n";
    return s;
}

}  // namespace

// The frame numbers follow the program at 50 ms a frame: the start menu is still by frame 120, a
// loading takes about 200 frames, and a league match of two three-minute halves whose turns are
// all ended at once is over, and its result shown, by frame 4,900.
TEST_F(EndToEndTest, TheDeviceDialogOnTheStartMenuInAMatchAndOnTheLeagueScreensAfterIt)
{
    FillProgramFolder(std::filesystem::path(BUILD_ROOT) / "data" / "fenwolt", dir);
    std::filesystem::create_directories(dir / "dat");
    std::filesystem::create_directories(dir / "saves");
    std::ofstream(dir / "dat" / "window.dat");
    std::string script;
    auto at = [&](int frame, const std::string& event) { script += std::to_string(frame) + " " + event + "\n"; };
    at(5, "click 400 300");  // the intro gives way to the title
    at(10, "click 400 300");  // and the title to the start menu
    at(120, "screenshot menu.png");
    script += ThereAndBack(125, "menu");
    at(170, "click 130 305");  // START
    at(175, "click 400 168");  // League
    at(180, "click 680 158");  // three minutes a half
    at(185, "click 400 204");  // START MATCH: the squad editor
    at(190, "click 670 545");  // START MATCH: loading, then the match
    at(450, "screenshot match.png");
    script += ThereAndBack(455, "match");
    for (int f = 510; f < 5000; f += 12) at(f, "key VK_SPACE");
    at(5500, "screenshot result.png");
    script += ThereAndBack(5505, "result");
    at(5550, "click 400 567");  // Continue: the league screen for the next match
    at(5560, "screenshot league.png");
    script += ThereAndBack(5565, "league");
    at(5610, "key alt+X");
    RunResult r = RunFenwolt(dir, script, 50);
    EXPECT_EQ(r.exitCode, 0) << r.log;
    // The framework says so when a device it releases is still referenced, and closes.
    EXPECT_EQ(r.log.find("non-zero reference"), std::string::npos) << r.log;
    // Nothing the old device held failed to come back on the new one.
    for (const char* trace : {"Failed to load mesh again", "Failed to build mesh buffers again",
                              "Failed to load texture again", "Sprite Texture not read again",
                              "Could not create animation buffer", "not found in Memory", "runtime error",
                              "LeakSanitizer"})
        EXPECT_EQ(r.log.find(trace), std::string::npos) << trace << "\n" << r.log;

    for (const char* place : {"menu", "match", "result", "league"}) {
        Picture before;
        ASSERT_TRUE(before.Read(dir / (std::string(place) + ".png"))) << place;
        EXPECT_GT(before.Lit(), 0.9) << place;
        for (const char* after : {"-16", "-32", "-window"}) {
            const std::string name = std::string(place) + after;
            Picture shot;
            ASSERT_TRUE(shot.Read(dir / (name + ".png"))) << name;
            EXPECT_GT(shot.Lit(), 0.9) << name << " is black";
            // The same screen as before the change of device.
            for (int c = 0; c < 3; ++c) EXPECT_NEAR(shot.Mean(c), before.Mean(c), 12) << name << " channel " << c;
        }
    }
    // The match is played on the pitch; the league screens are not.
    Picture match, result;
    ASSERT_TRUE(match.Read(dir / "match-window.png"));
    ASSERT_TRUE(result.Read(dir / "result.png"));
    EXPECT_GT(match.Mean(1), match.Mean(0) + 40);
    EXPECT_LT(result.Mean(1), 110);
}
