// Starts the real `skerrow` program in a folder of its own with a PLATFORM_SCRIPT and waits
// for it, as a player's session would run headless.
#pragma once

#include "platform/tests/support/program_run.h"

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

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

// Starts the game in `dir` with `script` as `run`; its standard output and error go to
// `dir`/out.txt. False when it could not be started.
inline bool StartGame(ProgramRun& run, const std::string& dir, const std::string& script)
{
    std::ofstream(dir + "/script.txt") << script;
    // The single-instance lock lives under the runtime directory: each run has its own.
    const std::vector<std::string> env = {"SDL_VIDEODRIVER=offscreen", "SDL_AUDIODRIVER=dummy",
                                          "PLATFORM_FIXED_STEP_MS=20", "PLATFORM_SCRIPT=" + dir + "/script.txt",
                                          "XDG_RUNTIME_DIR=" + dir};
    // What the program writes (a message box shown without a display among it) lands in out.txt.
    return run.Start(GamePath(), dir, env, CpuBudgetForFrames(LastScriptFrame(script)), "out.txt");
}

// Waits for the game of `run`: its exit code, 1000 for a crash, 2000 for a hang (a run over the
// processor time its script's frames may take, or blocked for good).
inline int WaitForGame(ProgramRun& run)
{
    const int code = run.Wait();
    if (run.Hung()) return 2000;
    return code < 0 ? 1000 : code;
}

// Runs the game in `dir` with `script`: see WaitForGame; 3000 when it could not be started.
inline int RunGame(const std::string& dir, const std::string& script)
{
    ProgramRun run;
    return StartGame(run, dir, script) ? WaitForGame(run) : 3000;
}

// Runs the game in `dir` with `script` until the file `checkpoint` (a screenshot of the script)
// exists, then sends it `signal`: see WaitForGame; 4000 when the checkpoint never came.
inline int RunGameUntilSignalled(const std::string& dir, const std::string& script, const std::string& checkpoint,
                                 int signal)
{
    ProgramRun run;
    if (!StartGame(run, dir, script)) return 3000;
    while (!std::filesystem::exists(dir + "/" + checkpoint)) {
        if (!run.Running()) return 4000;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(run.Pid(), signal);
    return WaitForGame(run);
}

inline std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
