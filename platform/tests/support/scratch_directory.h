// A fresh directory that is the working directory while the object lives, for tests of code
// that reads and writes files by relative names.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

class ScratchDirectory {
public:
    explicit ScratchDirectory(const char* prefix = "scratch")
    {
        old_ = std::filesystem::current_path();
        std::string pattern = (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
        if (!mkdtemp(pattern.data())) std::abort();
        path_ = pattern;
        std::filesystem::current_path(path_);
    }
    ~ScratchDirectory()
    {
        std::filesystem::current_path(old_);
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    // Creates the folders on the way.
    void Write(const std::string& name, const std::string& content)
    {
        std::filesystem::path p = path_ / name;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << content;
    }
    void Write(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        Write(name, std::string(bytes.begin(), bytes.end()));
    }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path old_, path_;
};
