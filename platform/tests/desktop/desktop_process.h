// Child processes for the desktop tests: the games, the X server, the pointer tool and the
// player-folder script, each started with an environment of the test's choosing.
#pragma once

#include "platform/tests/support/file_contents.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace desktop {

inline void WriteText(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// The program's full path when it is on PATH, else empty.
inline std::string FindProgram(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        const std::filesystem::path candidate = std::filesystem::path(dirs.substr(start, end - start)) / name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate.string();
        start = end + 1;
    }
    return {};
}

// This process's environment with `changes` applied (an empty value removes the variable) and
// every PLATFORM_ and SDL_ setting of the test runner dropped unless given here.
inline std::vector<std::string> Environment(const std::map<std::string, std::string>& changes)
{
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string s(*e);
        const std::string name = s.substr(0, s.find('='));
        if (changes.count(name) || name.rfind("PLATFORM_", 0) == 0 || name.rfind("SDL_", 0) == 0) continue;
        env.push_back(s);
    }
    for (const auto& [name, value] : changes)
        if (!value.empty()) env.push_back(name + "=" + value);
    return env;
}

struct Child {
    pid_t pid = -1;
    int code = 3000;  // the exit code once ended (see Wait)

    // Exit code; 1000 for a crash, 2000 when it did not end within `seconds` (then killed).
    int Wait(double seconds)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (Running()) {
            if (std::chrono::steady_clock::now() >= until) {
                Kill();
                return code = 2000;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return code;
    }
    void Kill()
    {
        if (pid <= 0) return;
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        pid = -1;
    }
    // Reaps the process when it has ended, keeping its exit code.
    bool Running()
    {
        if (pid <= 0) return false;
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) != pid) return true;
        pid = -1;
        code = WIFEXITED(status) ? WEXITSTATUS(status) : 1000;
        return false;
    }
};

// Starts `argv` in `dir` (empty: here) with `env`; stdout and stderr go to `output` when given.
inline Child Start(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                   const std::string& dir = {}, const std::string& output = {}, int keepFd = -1)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!dir.empty()) posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    if (!output.empty()) {
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    }
    (void)keepFd;  // inherited as it is: not close-on-exec
    std::vector<std::string> args = argv, vars = env;
    std::vector<char*> a, e;
    for (std::string& s : args) a.push_back(s.data());
    a.push_back(nullptr);
    for (std::string& s : vars) e.push_back(s.data());
    e.push_back(nullptr);
    Child child;
    if (posix_spawn(&child.pid, a[0], &actions, nullptr, a.data(), e.data()) != 0) child.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return child;
}

// Runs to the end; the exit code (see Child::Wait).
inline int Run(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& dir = {},
               const std::string& output = {}, double seconds = 120)
{
    Child c = Start(argv, env, dir, output);
    return c.Wait(seconds);
}

}  // namespace desktop
