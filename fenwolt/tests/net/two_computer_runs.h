// What runs of two copies of the program share: their player folders ("host" and "guest" under
// one root, each with its saves and dat folders, the switch that offers the two-computer game and
// the generated data set), the script of their way into the staging area, the lines that keep
// the two in step, and the run of both side by side.
#pragma once

#include "platform/tests/support/program_folder.h"
#include "platform/tests/support/program_run.h"

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

// A fresh folder for one run under <build>/net-runs, named after the kind of run: its test
// removes it when it passes and keeps it for a person to look into when it fails, in the build
// tree rather than in the machine's temporary folder. Empty when it cannot be made.
inline std::filesystem::path NewTwoComputerRoot(const std::string& kind)
{
    const std::filesystem::path runs = std::filesystem::path(BUILD_ROOT) / "net-runs";
    std::error_code ec;
    std::filesystem::create_directories(runs, ec);
    std::string pattern = (runs / (kind + "-XXXXXX")).string();
    return mkdtemp(pattern.data()) ? std::filesystem::path(pattern) : std::filesystem::path();
}

// False when the data set has not been built.
inline bool MakeTwoComputerFolders(const std::filesystem::path& root)
{
    const std::filesystem::path data = std::filesystem::path(BUILD_ROOT) / "data/fenwolt";
    if (!std::filesystem::exists(data / "interface/start.jpg")) return false;
    for (const char* who : {"host", "guest"}) {
        const std::filesystem::path dir = root / who;
        std::filesystem::create_directories(dir / "saves");
        std::filesystem::create_directories(dir / "dat");
        std::ofstream(dir / "dat" / "multi.dat");  // the switch that offers the two-computer game
        FillProgramFolder(data, dir);
    }
    return true;
}

// Script lines of both computers' way into the staging area, by frame: past the title to the
// two-computer exhibition, the player's name, then the host creates its game and the guest
// searches and joins it, and both tick Ready (the host then presses Start Game once the guest is
// in and ready).
inline std::string ScriptIntoTheStage(bool host)
{
    std::ostringstream s;
    s << "860 key VK_SPACE\n"   // the title, to the start menu
         "890 click 170 308\n"  // START
         "920 click 400 190\n"  // Single Exhibition Match - Two Computers
         "921 dialog 11002 text "
      << (host ? "Hosty" : "Guesty")
      << "\n"
         "922 dialog 1 click\n";
    if (host)
        s << "923 dialog 11005 click\n"   // Create
             "924 dialog 1 click\n"       // the session's name as offered
             "925 dialog 21101 click\n"   // ready
             "926 dialog 21001 click\n";  // Start Game, once the guest is in and ready
    else
        s << "923 dialog 11010 click\n"   // Start Search
             "924 dialog 11004 click\n"   // Join, once the host's game is listed
             "925 dialog 21102 click\n";  // ready
    return s.str();
}

// Script lines that keep two programs in step from frame `from` to frame `to`: at every
// `every`-th frame each shows that it has come so far (a screenshot "step-<frame>.png" in its own
// folder) and goes on only once the other, in the folder `other` beside its own, has come as far.
// Two programs on one machine keep no common pace otherwise: a loaded machine may run one several
// times as fast as the other, and a line that comes "after" the other's by frame number may then
// come long before it. Both scripts take the same lines; none of them may fall where a script
// waits for a dialog control that only the other's lines after it would bring.
inline std::string InStep(const std::string& other, int from, int to, int every = 100)
{
    std::ostringstream s;
    for (int f = from; f <= to; f += every)
        s << f << " screenshot step-" << f << ".png\n" << f + 1 << " wait ../" << other << "/step-" << f << ".png\n";
    return s.str();
}

// Lays the file `name` in `dir` for a `wait` line of the program there, once.
inline void Cue(const std::filesystem::path& dir, const std::string& name)
{
    if (!std::filesystem::exists(dir / name)) std::ofstream(dir / name) << "";
}

// The host (0) and the guest (1) run side by side, each in its folder under `root` with its
// script and "run.log", on the port range `port` of the test's own.
class TwoProgramRun {
public:
    TwoProgramRun(const std::filesystem::path& root, const std::string& port) : root_(root), port_(port) {}

    std::filesystem::path Dir(int who) const { return root_ / (who == 0 ? "host" : "guest"); }
    ProgramRun& Program(int who) { return programs_[who]; }

    bool Launch(int who, const std::string& script)
    {
        std::ofstream(Dir(who) / "script.txt") << script;
        return programs_[who].Start(
            FENWOLT_BINARY, Dir(who),
            {"SDL_VIDEODRIVER=offscreen", "SDL_AUDIODRIVER=dummy", "PLATFORM_SCRIPT=script.txt",
             "PLATFORM_FIXED_STEP_MS=20", "PLATFORM_DEBUG_OUTPUT=1", "PLATFORM_DPLAY8_PORT=" + port_,
             "LSAN_OPTIONS=suppressions=" SOURCE_ROOT "/fenwolt/tests/framework/lsan.supp:print_suppressions=0"},
            CpuBudgetForFrames(LastScriptFrame(script)));
    }

    // Until both have ended, each bounded by its processor time as ProgramRun bounds it;
    // `eachPoll` is called some ten times a second meanwhile, to lay cues or to kill one.
    void Wait(const std::function<void()>& eachPoll = {})
    {
        for (;;) {
            const bool host = programs_[0].Running(), guest = programs_[1].Running();
            if (!host && !guest) break;
            if (eachPoll) eachPoll();
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }

    int Code(int who) const { return programs_[who].Code(); }
    // Why a program ended other than by itself, for a failing test's message.
    std::string Why(int who) const { return programs_[who].Why(); }

private:
    std::filesystem::path root_;
    std::string port_;
    ProgramRun programs_[2];
};
