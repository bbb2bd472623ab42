// Helpers shared by the engine tests: a scratch working directory and small file writers.
#pragma once

#include "platform/tests/support/file_contents.h"
#include "platform/tests/support/scratch_directory.h"

#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// Runs a test inside a fresh temporary directory (the game reads and writes relative names).
class ScratchDir {
public:
    const std::string& Path() const { return path_; }

private:
    ScratchDirectory dir_{"skerrow_test"};
    std::string path_ = dir_.Path().string();
};

inline void WriteFileBytes(const std::string& name, const std::vector<uint8_t>& bytes)
{
    std::filesystem::path p(name);
    if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path());
    std::ofstream out(name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline void WriteFileText(const std::string& name, const std::string& text)
{
    WriteFileBytes(name, std::vector<uint8_t>(text.begin(), text.end()));
}

inline std::vector<uint8_t> ReadFileBytes(const std::string& name) { return FileBytes(name); }

inline void PutLe32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    if (b.size() < at + 4) b.resize(at + 4);
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

inline void PutLe16(std::vector<uint8_t>& b, size_t at, uint16_t v)
{
    if (b.size() < at + 2) b.resize(at + 2);
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

struct TestPackFile {
    std::string name;
    std::string data;
};

// An independent writer of the pack layout (zlib directly), for testing the reader.
inline std::vector<uint8_t> BuildTestPack(const std::vector<TestPackFile>& files)
{
    std::vector<uint8_t> out(256, 0);
    PutLe32(out, 34, 256);
    PutLe32(out, 38, static_cast<uint32_t>(files.size()));
    for (size_t i = 0; i < files.size(); ++i) {
        const TestPackFile& f = files[i];
        uLongf packedLen = compressBound(static_cast<uLong>(f.data.size()));
        std::vector<uint8_t> packed(packedLen);
        compress(packed.data(), &packedLen, reinterpret_cast<const Bytef*>(f.data.data()), static_cast<uLong>(f.data.size()));
        packed.resize(packedLen);
        size_t e = out.size();
        size_t next = e + 22 + f.name.size() + 1 + packed.size();
        out.resize(e + 22, 0);
        PutLe32(out, e, static_cast<uint32_t>(e + 22));
        PutLe32(out, e + 8, static_cast<uint32_t>(next));
        PutLe32(out, e + 12, static_cast<uint32_t>(f.data.size()));
        PutLe32(out, e + 16, static_cast<uint32_t>(packed.size()));
        out.insert(out.end(), f.name.begin(), f.name.end());
        out.push_back(0);
        out.insert(out.end(), packed.begin(), packed.end());
    }
    return out;
}
