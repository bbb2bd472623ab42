// Starts the real `skerrow` program in a folder of its own with a PLATFORM_SCRIPT and waits
// for it, as a player's session would run headless.
#pragma once

#include "platform/tests/support/program_run.h"

#include <filesystem>
#include <fstream>
#include <string>
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

// Runs the game in `dir` with `script`; the exit code, 1000 for a crash, 2000 for a hang (a run
// over the processor time its script's frames may take, or blocked for good). Its standard output
// and error go to `dir`/out.txt.
inline int RunGame(const std::string& dir, const std::string& script)
{
    std::ofstream(dir + "/script.txt") << script;
    // The single-instance lock lives under the runtime directory: each run has its own.
    const std::vector<std::string> env = {"SDL_VIDEODRIVER=offscreen", "SDL_AUDIODRIVER=dummy",
                                          "PLATFORM_FIXED_STEP_MS=20", "PLATFORM_SCRIPT=" + dir + "/script.txt",
                                          "XDG_RUNTIME_DIR=" + dir};
    ProgramRun run;
    // What the program writes (a message box shown without a display among it) lands in out.txt.
    if (!run.Start(GamePath(), dir, env, CpuBudgetForFrames(LastScriptFrame(script)), "out.txt")) return 3000;
    const int code = run.Wait();
    if (run.Hung()) return 2000;
    return code < 0 ? 1000 : code;
}

inline std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
