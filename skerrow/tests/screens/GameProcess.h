// Starts the real `skerrow` program in a folder of its own with a PLATFORM_SCRIPT and waits
// for it, as a player's session would run headless.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

inline const std::string& GamePath()
{
    static const std::string path = std::string(BUILD_ROOT) + "/skerrow/skerrow";
    return path;
}

// A folder with the data packs of the build (links), fresh each time.
inline std::string MakeGameFolder(const std::string& name)
{
    const std::string dir = std::string(BUILD_ROOT) + "/screens-runs/" + name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string data = std::string(BUILD_ROOT) + "/data/skerrow/";
    std::filesystem::create_symlink(data + "Ombrelit.dat", dir + "/Ombrelit.dat");
    std::filesystem::create_symlink(data + "Ombrelit.lng", dir + "/Ombrelit.lng");
    std::ofstream(dir + "/Ombrelit.ini") << "[Settings]\nFullscreen = 0\nSound enable = 0\n";
    return dir;
}

// Starts the game in `dir` with `script`; its standard output and error go to `dir`/out.txt.
// The process id, or -1.
inline pid_t StartGame(const std::string& dir, const std::string& script)
{
    std::ofstream(dir + "/script.txt") << script;
    std::vector<std::string> env = {"SDL_VIDEODRIVER=offscreen", "SDL_AUDIODRIVER=dummy", "PLATFORM_FIXED_STEP_MS=20",
                                    "PLATFORM_SCRIPT=" + dir + "/script.txt", "XDG_RUNTIME_DIR=" + dir};
    for (char** e = environ; *e; ++e) {
        const std::string s(*e);
        if (s.rfind("PLATFORM_", 0) != 0 && s.rfind("SDL_", 0) != 0 && s.rfind("XDG_RUNTIME_DIR=", 0) != 0)
            env.push_back(s);
    }
    std::vector<char*> envp;
    for (std::string& s : env) envp.push_back(s.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    // What the program writes (a message box shown without a display among it) lands in out.txt.
    const std::string out = dir + "/out.txt";
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::string program = GamePath();
    char* argv[] = {program.data(), nullptr};
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? pid : -1;
}

// Waits for the game started as `pid`: its exit code, 1000 plus the signal that ended it, 2000
// for a hang (it is then killed).
inline int WaitForGame(pid_t pid)
{
    int status = 0;
    for (int i = 0; i < 1200; ++i) {
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return 2000;
}

// Runs the game in `dir` with `script`: see WaitForGame.
inline int RunGame(const std::string& dir, const std::string& script)
{
    const pid_t pid = StartGame(dir, script);
    return pid < 0 ? 3000 : WaitForGame(pid);
}

// Runs the game in `dir` with `script` until the file `checkpoint` (a screenshot of the script)
// exists, then sends it `signal`: see WaitForGame; 4000 when the checkpoint never came.
inline int RunGameUntilSignalled(const std::string& dir, const std::string& script, const std::string& checkpoint,
                                 int signal)
{
    const pid_t pid = StartGame(dir, script);
    if (pid < 0) return 3000;
    int status = 0;
    for (int i = 0; i < 1200 && !std::filesystem::exists(dir + "/" + checkpoint); ++i) {
        if (waitpid(pid, &status, WNOHANG) == pid) return 4000;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (!std::filesystem::exists(dir + "/" + checkpoint)) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return 4000;
    }
    kill(pid, signal);
    return WaitForGame(pid);
}

inline std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
