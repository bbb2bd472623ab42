// The player folders of a run of two copies of the program: "host" and "guest" under one root,
// each with its saves and dat folders, the switch that offers the two-computer game and the
// generated data set.
#pragma once

#include "platform/tests/support/program_folder.h"

#include <filesystem>
#include <fstream>

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
