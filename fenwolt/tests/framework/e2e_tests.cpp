// The whole program, headless: started in a scratch directory with a script that switches
// between window and full screen five times, takes a screenshot and quits with Alt+X.
#include "platform/tests/support/file_contents.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

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

RunResult RunFenwolt(const std::filesystem::path& dir, const std::string& script)
{
    std::ofstream(dir / "script.txt") << script;
    std::string command = "cd '" + dir.string() +
                          "' && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy PLATFORM_SCRIPT=script.txt "
                          "PLATFORM_FIXED_STEP_MS=20 LSAN_OPTIONS=suppressions=" SOURCE_ROOT
                          "/fenwolt/tests/framework/lsan.supp:print_suppressions=0 timeout 120 '" FENWOLT_BINARY
                          "' > run.log 2>&1";
    int status = std::system(command.c_str());
    RunResult r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
    std::filesystem::create_directories(dir / "dat");
    std::ofstream(dir / "dat" / "window.dat");
    RunResult r = RunFenwolt(dir, "10 quit\n");
    EXPECT_EQ(r.exitCode, 0) << r.log;
    EXPECT_EQ(r.log.find("LeakSanitizer"), std::string::npos) << r.log;
}
