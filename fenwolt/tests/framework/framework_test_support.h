// Shared by the framework tests: a scratch working directory and the recorded message boxes.
#pragma once

#include "platform/win32/platform_internal.h"
#include "platform/win32/win32.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

// Runs a test inside a fresh directory (switch files and lists are looked up relative to it).
class ScratchDirectory {
public:
    ScratchDirectory()
    {
        old_ = std::filesystem::current_path();
        char pattern[] = "/tmp/fenwolt-test-XXXXXX";
        path_ = mkdtemp(pattern);
        std::filesystem::current_path(path_);
    }
    ~ScratchDirectory()
    {
        std::filesystem::current_path(old_);
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    void Write(const std::string& name, const std::string& content)
    {
        std::filesystem::path p = path_ / name;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << content;
    }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path old_, path_;
};

inline void DrainMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}
