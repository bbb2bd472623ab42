// The real program, headless and scripted: the intro, the start menu, an exhibition against the
// computer with three minutes a half, the squad editor, the match to full time with a save from
// the system menu on the way, the result and the statistics; then a second start that loads the
// saved game and saves it again. Every screen passed is kept as a screenshot.
#include "platform/tests/support/file_contents.h"
#include "platform/tests/support/png_reading.h"
#include "platform/tests/support/program_folder.h"
#include "platform/tests/support/program_run.h"
#include "platform/win32/byte_order.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {
namespace fs = std::filesystem;

const fs::path kProgram = FENWOLT_BINARY;
const fs::path kDataSet = fs::path(BUILD_ROOT) / "data" / "fenwolt";

struct Shot {
    std::vector<uint8_t> rgb;
    int width = 0, height = 0;
    bool ok = false;
    // The mean colour of a rectangle, sampled every fourth pixel.
    void Mean(int x0, int y0, int x1, int y1, int out[3]) const
    {
        long sum[3] = {0, 0, 0}, n = 0;
        for (int y = y0; y < y1; y += 4)
            for (int x = x0; x < x1; x += 4, ++n)
                for (int k = 0; k < 3; ++k) sum[k] += rgb[((size_t)y * width + x) * 3 + k];
        for (int k = 0; k < 3; ++k) out[k] = n ? (int)(sum[k] / n) : 0;
    }
    // Pixels close to white in a rectangle (text drawn in white).
    int WhitePixels(int x0, int y0, int x1, int y1) const
    {
        return CountPixels(rgb, width, x0, y0, x1, y1, IsWhiteText);
    }
};

class CompetitionEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fs::exists(kProgram)) << "build the fenwolt target first";
        ASSERT_TRUE(fs::exists(kDataSet / "interface" / "plain.jpg")) << "build the fenwolt-data target first";
        char pattern[] = "/tmp/fenwolt-competition-e2e-XXXXXX";
        dir = mkdtemp(pattern);
        FillProgramFolder(kDataSet, dir);
        fs::create_directories(dir / "dat");
        std::ofstream(dir / "dat" / "window.dat");
    }
    void TearDown() override
    {
        std::error_code ec;
        if (!HasFailure()) fs::remove_all(dir, ec);
    }

    // Runs the program over a script; the exit status, and the log in `log`.
    int Run(const std::string& script, const char* name)
    {
        const std::string base(name);
        const int code = RunScriptedProgram(kProgram, dir, script, 50,
                                            {"SDL_VIDEODRIVER=offscreen", "SDL_AUDIODRIVER=dummy"}, base + ".txt",
                                            base + ".log");
        log = FileText(dir / (base + ".log"));
        return code;
    }

    Shot Load(const char* file)
    {
        Shot s;
        s.ok = ReadRgbPng(dir / file, s.rgb, s.width, s.height) && s.width == 800 && s.height == 600;
        return s;
    }

    fs::path dir;
    std::string log;
};

// The frame numbers below follow the program at 50 ms a frame: the intro and title are clicked
// away, the start menu's fade is over by frame 120, a loading takes about 200 frames, and a match
// of two three-minute halves lasts about 5,000 frames when the manager ends every turn at once.
std::string FirstRun()
{
    std::string s;
    auto at = [&](int frame, const std::string& event) { s += std::to_string(frame) + " " + event + "\n"; };
    at(5, "click 400 300");            // the intro's blocks give way to the title
    at(10, "click 400 300");           // the title gives way to the start menu
    at(120, "screenshot 01_start.png");
    at(122, "click 130 305");          // START
    at(125, "screenshot 02_game_type.png");
    at(127, "click 400 108");          // Single Exhibition Match
    at(130, "click 430 198");          // minutes per half: 45 wraps to 3
    at(132, "screenshot 03_exhibition.png");
    at(135, "click 400 268");          // START MATCH
    at(140, "click 213 116");          // the keeper's speed up one step
    at(142, "move 213 116");
    at(145, "screenshot 04_squad_editor.png");
    at(147, "click 670 545");          // START MATCH: the computer's squad is set up, loading follows
    at(150, "screenshot 05_loading.png");
    at(400, "screenshot 06_match.png");
    for (int f = 410; f < 1000; f += 12) at(f, "key VK_SPACE");
    // A pause in phase 0: the System button opens the menu (tried until a walk-in is over).
    for (int f = 1100; f < 1390; f += 40) at(f, "click 760 485");
    at(1400, "click 160 198");         // Slot 1
    at(1405, "screenshot 07_system_menu.png");
    at(1410, "click 650 508");         // Return
    for (int f = 1430; f < 7000; f += 12) at(f, "key VK_SPACE");
    at(7050, "screenshot 08_result.png");
    at(7055, "click 707 545");         // Team Stats
    at(7060, "screenshot 09_team_stats.png");
    at(7065, "click 707 575");         // Return to the result
    at(7070, "click 707 575");         // Continue to the start menu
    at(7075, "screenshot 10_start_again.png");
    at(7080, "key alt+X");
    return s;
}

std::string SecondRun()
{
    std::string s;
    auto at = [&](int frame, const std::string& event) { s += std::to_string(frame) + " " + event + "\n"; };
    at(5, "click 400 300");
    at(10, "click 400 300");
    at(120, "click 340 305");          // LOAD
    at(125, "screenshot 11_load_game.png");
    at(127, "click 160 198");          // Slot 1
    at(130, "screenshot 12_loading.png");
    at(400, "screenshot 13_loaded_match.png");
    at(410, "click 760 485");          // System
    at(415, "click 160 218");          // Slot 2
    at(420, "screenshot 14_saved_again.png");
    at(425, "click 650 508");          // Return
    at(430, "key alt+X");
    return s;
}

int32_t I32At(const std::string& b, size_t at) { return (int32_t)LoadLe32((const uint8_t*)&b[at]); }

bool IsPitch(const Shot& s)
{
    int c[3];
    s.Mean(200, 250, 600, 450, c);
    return c[1] > 100 && c[1] > c[0] + 40;
}
bool IsPlainBackground(const Shot& s)
{
    int c[3];
    s.Mean(200, 250, 600, 450, c);
    return c[1] < 90 && c[1] > c[0];
}
}  // namespace

TEST_F(CompetitionEndToEnd, AnExhibitionPlayedSavedResultedAndLoadedAgain)
{
    ASSERT_EQ(Run(FirstRun(), "first"), 0) << log;
    for (const char* bad : {"is not written yet", "runtime error", "AddressSanitizer", "LeakSanitizer"})
        EXPECT_EQ(log.find(bad), std::string::npos) << bad << "\n" << log;

    const std::string saved = FileText(dir / "saves" / "sav0.sav");
    ASSERT_EQ(saved.size(), 23924u) << "the system menu saved into slot 1";
    EXPECT_EQ(I32At(saved, 13634), 0) << "an exhibition";
    EXPECT_EQ(I32At(saved, 23879), 3) << "three minutes a half";
    EXPECT_EQ(I32At(saved, 23674), 1) << "one manager";
    EXPECT_EQ(I32At(saved, 6649), 1) << "saved in the first half";
    EXPECT_GT(I32At(saved, 6641) * 60 + I32At(saved, 6645), 0) << "after some play";

    for (const char* file : {"01_start.png", "02_game_type.png", "03_exhibition.png", "04_squad_editor.png",
                             "05_loading.png", "06_match.png", "07_system_menu.png", "08_result.png",
                             "09_team_stats.png", "10_start_again.png"}) {
        EXPECT_TRUE(Load(file).ok) << file;
    }
    EXPECT_TRUE(IsPlainBackground(Load("03_exhibition.png")));
    EXPECT_TRUE(IsPitch(Load("06_match.png")));
    const Shot result = Load("08_result.png");
    EXPECT_TRUE(IsPlainBackground(result)) << "full time has led to the result";
    EXPECT_GT(result.WhitePixels(200, 30, 600, 60), 200) << "the result's title";
    EXPECT_FALSE(IsPitch(Load("09_team_stats.png")));
    // The editor's raised value and the home budget shown in its header row.
    EXPECT_GT(Load("04_squad_editor.png").WhitePixels(400, 45, 800, 70), 50);

    ASSERT_EQ(Run(SecondRun(), "second"), 0) << log;
    EXPECT_EQ(log.find("runtime error"), std::string::npos) << log;
    EXPECT_TRUE(IsPitch(Load("13_loaded_match.png"))) << "the loaded game is played on";
    EXPECT_TRUE(Load("11_load_game.png").ok);
    const std::string again = FileText(dir / "saves" / "sav1.sav");
    ASSERT_EQ(again.size(), 23924u) << "the loaded game saved into slot 2";
    EXPECT_EQ(I32At(again, 260), 1);
    // The loaded match is the saved one: score, clock, phase, competition, names and squads.
    for (auto [from, to] : {std::pair<size_t, size_t>{296, 304}, {6613, 6617}, {6641, 6653}, {13634, 22886},
                            {22890, 23678}, {23879, 23884}}) {
        EXPECT_EQ(saved.substr(from, to - from), again.substr(from, to - from)) << "bytes " << from << ".." << to;
    }
}
