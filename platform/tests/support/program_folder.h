// The folder a test runs a built program in: the data set's files are copied in (the program may
// write over them) and its folders linked, all but its saves, which a run starts without.
#pragma once

#include <filesystem>

inline void FillProgramFolder(const std::filesystem::path& dataSet, const std::filesystem::path& into)
{
    for (const auto& entry : std::filesystem::directory_iterator(dataSet)) {
        if (entry.path().filename() == "saves") continue;
        if (entry.is_directory())
            std::filesystem::create_directory_symlink(entry.path(), into / entry.path().filename());
        else
            std::filesystem::copy_file(entry.path(), into / entry.path().filename());
    }
}
