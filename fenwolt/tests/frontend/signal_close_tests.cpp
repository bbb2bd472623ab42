// The program ended from outside (kill, Ctrl+C in its terminal, the terminal closing) ends as
// closing its window does: an option changed on the options screen is kept, and the program
// leaves with 0 as on its own way out.
#include "platform/tests/support/file_contents.h"
#include "platform/tests/support/program_folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {
namespace fs = std::filesystem;

const fs::path kProgram = fs::path(BUILD_ROOT) / "fenwolt" / "fenwolt";
const fs::path kDataSet = fs::path(BUILD_ROOT) / "data" / "fenwolt";
constexpr size_t kShowCrowdWord = 10;

// Starts the program in `dir` over `script`, waits for the script's screenshot `checkpoint`,
// sends `signal` and waits for the end: the exit code, 1000 plus a signal that ended it, 2000
// when it did not end, 3000 when the checkpoint never came.
int RunUntilSignalled(const fs::path& dir, const std::string& script, const char* checkpoint, int signal)
{
    std::ofstream(dir / "script.txt") << script;
    std::vector<std::string> env = {"SDL_VIDEODRIVER=offscreen", "SDL_AUDIODRIVER=dummy", "PLATFORM_FIXED_STEP_MS=20",
                                    "PLATFORM_SCRIPT=script.txt"};
    for (char** e = environ; *e; ++e) {
        const std::string s(*e);
        if (s.rfind("PLATFORM_", 0) != 0 && s.rfind("SDL_", 0) != 0) env.push_back(s);
    }
    std::vector<char*> envp;
    for (std::string& s : env) envp.push_back(s.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    posix_spawn_file_actions_addopen(&actions, 1, (dir / "run.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::string program = kProgram.string();
    char* argv[] = {program.data(), nullptr};
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return 4000;
    int status = 0;
    auto ended = [&] { return waitpid(pid, &status, WNOHANG) == pid; };
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(240);
    while (!fs::exists(dir / checkpoint)) {
        if (ended()) return 3000;
        if (std::chrono::steady_clock::now() > until) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return 3000;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(pid, signal);
    for (int i = 0; i < 1200; ++i) {
        if (ended()) return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return 2000;
}

}  // namespace

TEST(SignalClose, EachSignalEndsTheProgramAsItsWindowsCloseAndKeepsTheOptions)
{
    ASSERT_TRUE(fs::exists(kProgram)) << "build the fenwolt target first";
    ASSERT_TRUE(fs::exists(kDataSet / "interface" / "start.jpg")) << "build the fenwolt-data target first";
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        char pattern[] = "/tmp/fenwolt-signal-XXXXXX";
        const fs::path dir = mkdtemp(pattern);
        FillProgramFolder(kDataSet, dir);
        fs::create_directories(dir / "saves");
        fs::create_directories(dir / "dat");
        std::ofstream(dir / "dat" / "window.dat");
        // The intro and the title passed with the space bar, then the options with the crowd
        // switched off; the program is left standing there.
        const int code = RunUntilSignalled(dir,
                                           "560 key VK_SPACE\n600 key VK_SPACE\n"
                                           "640 click 500 308\n"  // OPTIONS
                                           "690 click 540 271\n"  // Show Crowd: Off
                                           "710 screenshot ready.png\n",
                                           "ready.png", signal);
        const std::string log = FileText(dir / "run.log");
        EXPECT_EQ(code, 0) << "signal " << signal << "\n" << log;
        const std::string bytes = FileText(dir / "saves" / "fenwolt.opt");
        ASSERT_EQ(bytes.size(), 56u) << "signal " << signal << "\n" << log;
        int32_t crowd = -1;
        std::memcpy(&crowd, bytes.data() + 4 * kShowCrowdWord, 4);
        EXPECT_EQ(crowd, 0) << "signal " << signal;
        if (!::testing::Test::HasFailure()) {
            std::error_code ec;
            fs::remove_all(dir, ec);
        }
    }
}
