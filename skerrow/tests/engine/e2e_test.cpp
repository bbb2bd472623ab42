#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <regex>
#include <thread>

#include "TestUtil.h"
#include "skerrow/Src/Bitmap.h"

extern char** environ;

namespace {

const std::string kGame = std::string(BUILD_ROOT) + "/skerrow/skerrow";

// The single-instance lock lives under the runtime directory: each test gives its instances
// their own, so that tests running side by side do not see each other.
pid_t Start(const std::string& dir, const std::string& script, const std::string& lockDir)
{
    std::vector<std::string> env = {"SDL_VIDEODRIVER=offscreen", "SDL_AUDIODRIVER=dummy", "PLATFORM_FIXED_STEP_MS=20",
                                    "PLATFORM_SCRIPT=" + dir + "/script.txt", "XDG_RUNTIME_DIR=" + lockDir};
    for (char** e = environ; *e; ++e) {
        std::string s(*e);
        if (s.rfind("PLATFORM_", 0) != 0 && s.rfind("SDL_", 0) != 0 && s.rfind("XDG_RUNTIME_DIR=", 0) != 0)
            env.push_back(s);
    }
    std::vector<char*> envp;
    for (std::string& s : env) envp.push_back(s.data());
    envp.push_back(nullptr);
    WriteFileText(dir + "/script.txt", script);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    std::string program = kGame;
    char* argv[] = {program.data(), nullptr};
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, kGame.c_str(), &actions, nullptr, argv, envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int Wait(pid_t pid)
{
    int status = 0;
    for (int i = 0; i < 6000; ++i) {  // ten minutes, for a hang only: a loaded machine is slow
        if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 1000;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return 2000;
}

// The game checks its data set before it opens a window: the packs of the build.
void LinkDataSet(const std::string& dir)
{
    const std::string data = std::string(BUILD_ROOT) + "/data/skerrow/";
    for (const char* pack : {"Ombrelit.dat", "Ombrelit.lng"})
        std::filesystem::create_symlink(data + pack, dir + "/" + pack);
}

std::string Text(const std::string& file)
{
    std::vector<uint8_t> b = ReadFileBytes(file);
    return std::string(b.begin(), b.end());
}

TEST(SkerrowEndToEnd, StartsDrawsScreenshotsAndQuitsOnEscape)
{
    for (int fullscreen : {1, 0}) {
        ScratchDir dir;
        LinkDataSet(dir.Path());
        if (!fullscreen) WriteFileText("Ombrelit.ini", "[Settings]\nFullscreen = 0\n");
        // Escape leaves the first screen; closing the window is the way out of any other.
        pid_t pid = Start(dir.Path(), "2 screenshot shot.png\n3 key VK_SNAPSHOT\n6 key VK_ESCAPE\n30 quit\n", dir.Path());
        ASSERT_EQ(Wait(pid), 0) << "fullscreen " << fullscreen;
        std::string log = Text("Log.txt");
        EXPECT_EQ(log.rfind("Log start: ", 0), 0u);
        EXPECT_NE(log.find("Graphics::Init( 640,480,16 )\nFullscreen = " + std::to_string(fullscreen) + "\n"),
                  std::string::npos);
        EXPECT_TRUE(std::regex_search(
            log, std::regex("Call (\\w+)::OnDisplay\\(\\)\n(.*\n)*Call \\1::InitSurface\\(\\)\n(.*\n)*Screen switched to \\1\n\n")))
            << log;
        EXPECT_FALSE(ReadFileBytes("shot.png").empty());
        std::vector<uint8_t> pcx = ReadFileBytes("screen00.pcx");
        Bitmap b;
        ASSERT_EQ(b.DecodeImage(pcx.data(), static_cast<int32_t>(pcx.size())), 1);
        EXPECT_EQ(b.width, 640);
        EXPECT_EQ(b.height, 480);
    }
}

TEST(SkerrowEndToEnd, SecondInstanceExitsAtOnce)
{
    ScratchDir first;
    ScratchDir second;
    LinkDataSet(first.Path());
    pid_t running = Start(first.Path(), "150 key VK_ESCAPE\n", first.Path());
    for (int i = 0; i < 1200 && ReadFileBytes(first.Path() + "/Log.txt").empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_FALSE(ReadFileBytes(first.Path() + "/Log.txt").empty());
    // The first one, running at the fixed step, may be through its frames before the second has
    // started: it is held where it is (the instance still running) until the second is done.
    kill(running, SIGSTOP);
    pid_t again = Start(second.Path(), "1 key VK_ESCAPE\n", first.Path());
    EXPECT_EQ(Wait(again), 0);
    EXPECT_FALSE(std::filesystem::exists(second.Path() + "/Log.txt"));
    kill(running, SIGCONT);
    EXPECT_EQ(Wait(running), 0);
}

}  // namespace
