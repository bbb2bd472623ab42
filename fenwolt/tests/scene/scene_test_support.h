// Shared by the scene tests: a window with a device, reading back and saving what was drawn, the
// data set of the build and a writer of .anx files.
#pragma once

#include "fenwolt/Game/Engine/EngineTables.h"
#include "platform/d3d8/d3d8_internal.h"
#include "platform/tests/support/file_contents.h"
#include "platform/tests/support/headless_device.h"
#include "platform/tests/support/scratch_directory.h"
#include "platform/win32/platform_internal.h"
#include "platform/win32/win32.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

// The generated data set of this build, or empty when it has not been generated.
inline std::filesystem::path FenwoltDataDir()
{
    std::filesystem::path p = std::filesystem::path(BUILD_ROOT) / "data" / "fenwolt";
    return std::filesystem::exists(p / "shader" / "morph.nvv") ? p : std::filesystem::path();
}

// An .anx file: version, V, header word, F, F durations, trailer, then max(F,1) frames of V
// positions.
struct AnxFile {
    uint32_t Version = 7;
    uint32_t VertexCount = 0;
    uint32_t HeaderWord = 0x1234;
    std::vector<int32_t> Durations;
    uint32_t Trailer = 0x5678;
    std::vector<std::vector<float>> Frames;  // 3 floats per vertex

    std::vector<uint8_t> Bytes() const
    {
        std::vector<uint8_t> b;
        auto word = [&](uint32_t w) {
            for (int i = 0; i < 4; ++i) b.push_back((uint8_t)(w >> (8 * i)));
        };
        word(Version);
        word(VertexCount);
        word(HeaderWord);
        word((uint32_t)Durations.size());
        for (int32_t d : Durations) word((uint32_t)d);
        word(Trailer);
        for (const auto& f : Frames)
            for (float v : f) {
                uint32_t bits;
                std::memcpy(&bits, &v, 4);
                word(bits);
            }
        return b;
    }
};

class SceneDeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        D3D8ResetStandInSettings();
        ASSERT_TRUE(PlatformInit());
        window = CreateTestWindow("scene");
        ASSERT_NE(window, nullptr);
        d3d = Direct3DCreate8(D3D_SDK_VERSION);
        ASSERT_NE(d3d, nullptr);
        D3DPRESENT_PARAMETERS p = WindowedParams(window);
        ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, &device), D3D_OK);
        device->GetDeviceCaps(&caps);
    }
    void TearDown() override
    {
        if (device) device->Release();
        if (d3d) d3d->Release();
        if (window) DestroyWindow(window);
        D3D8ResetStandInSettings();
    }

    struct Rgb {
        uint8_t r, g, b;
        int Sum() const { return r + g + b; }
    };
    std::vector<uint8_t> Frame(int& w, int& h)
    {
        std::vector<uint8_t> rgb;
        ReadFrame(device, w, h, rgb);
        return rgb;
    }
    Rgb Pixel(int x, int y)
    {
        int w = 0, h = 0;
        std::vector<uint8_t> rgb = Frame(w, h);
        if (rgb.empty() || x < 0 || y < 0 || x >= w || y >= h) return Rgb{1, 2, 3};
        const uint8_t* q = rgb.data() + ((size_t)y * w + x) * 3;
        return Rgb{q[0], q[1], q[2]};
    }
    // Keeps a picture of the frame for a person to look at (under the build directory).
    void SaveFrame(const std::string& name)
    {
        int w = 0, h = 0;
        std::vector<uint8_t> rgb = Frame(w, h);
        if (rgb.empty()) return;
        std::filesystem::path dir = std::filesystem::path(BUILD_ROOT) / "scene-shots";
        std::filesystem::create_directories(dir);
        PlatformWriteRgbPng((dir / name).string(), w, h, rgb);
    }

    HWND window = nullptr;
    IDirect3D8* d3d = nullptr;
    IDirect3DDevice8* device = nullptr;
    D3DCAPS8 caps{};
};
