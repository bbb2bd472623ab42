// The working directory of a gameplay fuzz target: a scratch folder of its own, removed at exit,
// with the data search list pointing at nothing but the plain files the target writes there.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "skerrow/Src/ResourceLocator.h"
#include "skerrow/Src/Tables.h"

inline void WriteFuzzFile(const char* name, const uint8_t* data, size_t size)
{
    std::FILE* f = std::fopen(name, "wb");
    if (!f) return;
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
}

inline std::filesystem::path& FuzzScratchDirectory()
{
    static std::filesystem::path dir;
    return dir;
}

inline void RemoveFuzzScratch()
{
    std::error_code ec;
    std::filesystem::current_path("/", ec);
    std::filesystem::remove_all(FuzzScratchDirectory(), ec);
}

// Makes the folder (named after the target), enters it and creates `subfolder` in it.
inline bool EnterFuzzScratch(const char* target, const char* subfolder)
{
    std::string pattern = std::string("/tmp/skerrow_fuzz_") + target + "_XXXXXX";
    if (!mkdtemp(pattern.data())) return false;
    FuzzScratchDirectory() = pattern;
    std::atexit(RemoveFuzzScratch);
    std::filesystem::current_path(pattern);
    std::filesystem::create_directories(subfolder);
    AddSearchPath("missing.dat", "DATA\\", 3);
    BuildStartupTables();
    return true;
}
