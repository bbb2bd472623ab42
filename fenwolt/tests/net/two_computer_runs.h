// What runs of two copies of the program share: their player folders ("host" and "guest" under
// one root, each with its saves and dat folders, the switch that offers the two-computer game and
// the generated data set) and the script of their way into the staging area.
#pragma once

#include "platform/tests/support/program_folder.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

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
