// The working directory of a gameplay fuzz target: a scratch folder of its own, removed at exit,
// with the data search list pointing at nothing but the plain files the target writes there.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/tests/support/scratch_directory.h"
#include "skerrow/Src/ResourceLocator.h"
#include "skerrow/Src/Tables.h"

inline void WriteFuzzFile(const char* name, const uint8_t* data, size_t size)
{
    std::FILE* f = std::fopen(name, "wb");
    if (!f) return;
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
}

// Makes the folder (named after the target), enters it and creates `subfolder` in it. Once per
// process.
inline void EnterFuzzScratch(const char* target, const char* subfolder)
{
    static ScratchDirectory scratch((std::string("skerrow_fuzz_") + target).c_str());
    std::filesystem::create_directories(subfolder);
    AddSearchPath("missing.dat", "DATA\\", 3);
    BuildStartupTables();
}
