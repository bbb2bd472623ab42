// The program itself, headless, over the player's files and the data set as they can be found on
// a real disk: an options file holding values out of range, the window closed on the options
// screen, a FIFO where a saved game belongs, and a data set with a file missing or cut.
#include "platform/tests/support/file_contents.h"
#include "platform/tests/support/png_reading.h"
#include "platform/tests/support/program_folder.h"
#include "platform/tests/support/program_run.h"
#include "platform/win32/byte_order.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {
namespace fs = std::filesystem;

const fs::path kDataSet = fs::path(BUILD_ROOT) / "data" / "fenwolt";

// The options file's words, by their offsets / 4.
constexpr size_t kVolumeWord = 6, kShowCrowdWord = 10, kInfoPanelWord = 13;

class PlayerFilesEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fs::exists(kDataSet / "interface" / "start.jpg")) << "build the fenwolt-data target first";
        char pattern[] = "/tmp/fenwolt-files-e2e-XXXXXX";
        dir = mkdtemp(pattern);
        FillProgramFolder(kDataSet, dir);
        fs::create_directories(dir / "saves");
        fs::create_directories(dir / "dat");
        std::ofstream(dir / "dat" / "window.dat");
    }
    void TearDown() override
    {
        std::error_code ec;
        if (!HasFailure()) fs::remove_all(dir, ec);
    }

    // Runs the program, over a script when one is given; its exit status, and what it wrote to
    // its standard streams in `log`.
    int Run(const std::string& script)
    {
        std::vector<std::string> variables = {"SDL_VIDEODRIVER=offscreen", "SDL_AUDIODRIVER=dummy"};
        int code;
        if (script.empty()) {
            // Without a script the program runs as a player's would, which these runs expect to
            // end at its start; the budget is a run's that has nothing to do.
            variables.push_back("PLATFORM_FIXED_STEP_MS=20");
            ProgramRun run;
            code = run.Start(FENWOLT_BINARY, dir, variables, CpuBudgetForFrames(0)) ? run.Wait() : -1;
        } else {
            code = RunScriptedProgram(FENWOLT_BINARY, dir, script, 20, variables);
        }
        log = FileText(dir / "run.log");
        return code;
    }

    // The folder of the data set given a copy of its own in the program's folder, so that a
    // file of it can be taken away or damaged.
    void OwnCopyOf(const char* folder)
    {
        fs::remove(dir / folder);
        fs::copy(kDataSet / folder, dir / folder, fs::copy_options::recursive);
    }

    std::vector<int32_t> OptionWords()
    {
        const std::string bytes = FileText(dir / "saves" / "fenwolt.opt");
        std::vector<int32_t> words;
        for (size_t at = 0; at + 4 <= bytes.size(); at += 4)
            words.push_back((int32_t)LoadLe32(reinterpret_cast<const uint8_t*>(bytes.data() + at)));
        return words;
    }

    fs::path dir;
    std::string log;
};

// The start menu after the intro and title have been passed with the space bar (20 ms a frame).
const char* const kToStartMenu = "560 key VK_SPACE\n600 key VK_SPACE\n";

}  // namespace

// A volume of -1000 is the quietest a volume can be, not the loudest; a panel size of 77 the
// largest. Closing the window on the options screen keeps what was changed there.
TEST_F(PlayerFilesEndToEnd, OptionsOutOfRangeTakeTheNearerEndAndClosingTheWindowKeepsThem)
{
    // The record as the program writes it, with the volume and the panel size out of range.
    std::vector<uint8_t> image(56, 0);
    const int32_t words[14] = {1, 1, 1, 1, 0, 2, -1000, 0, 0, 1, 1, 0x00010101, 0, 77};
    for (int i = 0; i < 14; ++i)
        for (int b = 0; b < 4; ++b) image[4 * i + b] = (uint8_t)((uint32_t)words[i] >> (8 * b));
    std::ofstream(dir / "saves" / "fenwolt.opt", std::ios::binary).write((const char*)image.data(), 56);

    const int code = Run(std::string(kToStartMenu) +
                         "640 click 500 308\n"  // OPTIONS
                         "680 screenshot options.png\n"
                         "690 click 540 271\n"  // Show Crowd: Off
                         "700 quit\n");
    ASSERT_EQ(code, 0) << log;

    // The knob stands at the slider's left end.
    std::vector<uint8_t> rgb;
    int width = 0, height = 0;
    ASSERT_TRUE(ReadRgbPng(dir / "options.png", rgb, width, height)) << log;
    auto knobInk = [&](int x0, int x1) {
        int n = 0;
        // Above the bar, where only the knob is drawn over the green background.
        for (int y = 196; y < 205; ++y)
            for (int x = x0; x < x1; ++x) {
                const uint8_t* p = &rgb[((size_t)y * width + x) * 3];
                if (p[0] > 60 && p[0] >= p[1] && p[0] > p[2] + 20) ++n;  // the knob's brass
            }
        return n;
    };
    EXPECT_GT(knobInk(396, 416), 20) << "the knob at volume 0";
    EXPECT_EQ(knobInk(550, 575), 0) << "no knob at volume 100";

    const std::vector<int32_t> saved = OptionWords();
    ASSERT_EQ(saved.size(), 14u);
    EXPECT_EQ(saved[kShowCrowdWord], 0) << "closing the window wrote the options as leaving does";
    EXPECT_EQ(saved[kVolumeWord], 0);
    EXPECT_EQ(saved[kInfoPanelWord], 3);
}

// A saved game's name taken by a FIFO: the load screen opens, with the slot free, and the
// program goes on.
TEST_F(PlayerFilesEndToEnd, AFifoInPlaceOfASavedGameIsAFreeSlot)
{
    ASSERT_EQ(mkfifo((dir / "saves" / "sav0.sav").c_str(), 0644), 0);
    const int code = Run(std::string(kToStartMenu) +
                         "640 click 330 308\n"  // LOAD
                         "680 screenshot load.png\n"
                         "690 click 160 198\n"  // Slot 1: free, nothing happens
                         "700 screenshot still_load.png\n"
                         "710 quit\n");
    EXPECT_EQ(code, 0) << log;
    EXPECT_TRUE(fs::exists(dir / "load.png")) << log;
    EXPECT_TRUE(fs::exists(dir / "still_load.png")) << log;
    EXPECT_EQ(fs::status(dir / "saves" / "sav0.sav").type(), fs::file_type::fifo) << "left as it was";
}

// Without a file it cannot be played with, the program says which one and how to mend the data
// set, and ends with a failure, before any window. A cut picture is as unusable as a missing one,
// and a mesh that either of its two readers rejects as unusable as a picture that does not decode.
TEST_F(PlayerFilesEndToEnd, AMissingOrCutFileOfTheDataSetIsNamedAndTheProgramFails)
{
    OwnCopyOf("interface");
    OwnCopyOf("textures");
    OwnCopyOf("level");
    OwnCopyOf("xdata");
    enum class Damage { Removed, Cut, CountTooLarge, Noise };
    const struct {
        const char* file;
        Damage damage;
    } cases[] = {
        {"interface/Font1E.tga", Damage::Removed},
        {"textures/pitch.jpg", Damage::Removed},
        {"interface/start.jpg", Damage::Cut},
        {"interface/Font1G.tga", Damage::Cut},
        {"textures/goal.tga", Damage::Cut},  // named by the match's resource list
        {"level/e_mesh.txt", Damage::Removed},
        // Meshes of the match's list: the file's header, then a mesh whose vertices could not
        // fit in it; half a file; random bytes.
        {"xdata/player.x", Damage::CountTooLarge},
        {"xdata/ball.x", Damage::Cut},
        {"xdata/goal.x", Damage::Noise},
        // The mesh every texture holder is made on, outside the lists.
        {"xdata/dummy.x", Damage::Cut},
    };
    uint32_t noise = 12345;
    auto noiseBytes = [&](size_t n) {
        std::string bytes(n, 0);
        for (char& c : bytes) {
            noise = noise * 1103515245u + 12345u;
            c = (char)(noise >> 16);
        }
        return bytes;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const fs::path file = dir / c.file;
        const fs::path kept = dir / "kept";
        fs::copy_file(file, kept, fs::copy_options::overwrite_existing);
        switch (c.damage) {
        case Damage::Removed: fs::remove(file); break;
        case Damage::Cut: fs::resize_file(file, fs::file_size(file) / 2); break;
        case Damage::CountTooLarge:
            std::ofstream(file, std::ios::binary | std::ios::trunc)
                << FileText(kept).substr(0, 17) << "Mesh {\n999999999;\n" << noiseBytes(4000);
            break;
        case Damage::Noise: std::ofstream(file, std::ios::binary | std::ios::trunc) << noiseBytes(3000); break;
        }

        EXPECT_EQ(Run(""), 1) << log;
        const std::string name = c.file;
        EXPECT_NE(log.find("[message box] Dorvanix: Quillane: A file the game needs is missing or damaged"),
                  std::string::npos)
            << log;
        EXPECT_NE(log.find("\n" + name + "\n"), std::string::npos) << log;
        EXPECT_NE(log.find("./run.sh fenwolt"), std::string::npos) << log;
        EXPECT_FALSE(fs::exists(dir / "saves" / "fenwolt.opt")) << "the game went no further";

        fs::rename(kept, file);
    }

    // The box is a real one that a player answers; the program then ends as before.
    fs::remove(dir / "interface" / "Font1F.tga");
    EXPECT_EQ(Run("0 dialog 1 click\n"), 1) << log;

    // A sound is not among the files the game needs: it plays on without it.
    fs::copy(kDataSet / "interface" / "Font1F.tga", dir / "interface" / "Font1F.tga");
    fs::remove(dir / "wav");
    fs::create_directories(dir / "wav");
    EXPECT_EQ(Run(std::string(kToStartMenu) + "640 screenshot start.png\n650 quit\n"), 0) << log;
    EXPECT_TRUE(fs::exists(dir / "start.png")) << log;
}
