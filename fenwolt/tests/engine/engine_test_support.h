// The application object with a real device in a scratch directory that sees the data set, and
// the picture helpers of the rendering tests.
#pragma once

#include "fenwolt/Game/Engine/Engine.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Engine/Lighting.h"
#include "fenwolt/tests/framework/framework_test_support.h"
#include "platform/d3d8/d3d8_internal.h"
#include "platform/tests/support/headless_device.h"
#include "platform/tests/support/png_reading.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

inline std::filesystem::path DataSetDir() { return std::filesystem::path(BUILD_ROOT) / "data" / "fenwolt"; }

// Every folder of the data set appears in the scratch directory.
inline void LinkDataSet(const std::filesystem::path& into)
{
    for (const char* sub : {"interface", "xdata", "textures", "texture2", "kit", "shader", "level", "wav"}) {
        std::error_code ec;
        std::filesystem::create_directory_symlink(DataSetDir() / sub, into / sub, ec);
    }
}

class EngineAppTest : public RunningAppTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(std::filesystem::exists(DataSetDir() / "interface" / "Font1E.tga"))
            << "build the fenwolt-data target first";
        LinkDataSet(dir.Path());
        RunningAppTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_NE(TheApp.Device, nullptr);
        ASSERT_EQ(CreateEngineDeviceObjects(), S_OK);
        ASSERT_EQ(RestoreEngineVideoResources(), S_OK);
        // The blend cache outlives the device of the test before.
        ForgetBlendMode();
    }
    // Loads a mesh file into the next slot the way the resource list does.
    int LoadMesh(const char* file)
    {
        int slot = TheApp.MeshCount;
        if (FAILED(TheApp.MeshTable[slot]->CreateWithTextParse(TheApp.Device, file))) return MESH_NONE;
        TheApp.MeshTable[slot]->RestoreVideoResources(TheApp.Device);
        ++TheApp.MeshCount;
        return slot;
    }
    int LoadTextureHolder(const char* file)
    {
        int slot = TheApp.MeshCount;
        if (TheApp.MeshTable[slot]->CreatePlaceholder(TheApp.Device, file) != 0) return MESH_NONE;
        TheApp.MeshTable[slot]->RestoreVideoResources(TheApp.Device);
        ++TheApp.MeshCount;
        return slot;
    }
};

struct RgbImage {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    const uint8_t* At(int x, int y) const { return rgb.data() + ((size_t)y * width + x) * 3; }
};

inline RgbImage ReadBack()
{
    RgbImage image;
    ReadFrame(TheApp.Device, image.width, image.height, image.rgb);
    return image;
}

inline bool WritePng(const std::filesystem::path& path, const RgbImage& image)
{
    return PlatformWriteRgbPng(path.string(), image.width, image.height, image.rgb);
}

inline bool ReadPng(const std::filesystem::path& path, RgbImage& image)
{
    return ReadRgbPng(path, image.rgb, image.width, image.height);
}

// Compares the frame with its golden picture under fenwolt/tests/engine/golden: the share of
// pixels whose channels differ by more than `channelTolerance` must stay below `maxShare`. The
// frame is always written beside the build for a look; with FENWOLT_UPDATE_GOLDEN set the
// golden picture is (re)written instead of compared.
inline ::testing::AssertionResult MatchesGolden(const RgbImage& frame, const std::string& name,
                                                int channelTolerance = 24, double maxShare = 0.01)
{
    std::filesystem::path out = std::filesystem::path(BUILD_ROOT) / ("engine_" + name + ".png");
    WritePng(out, frame);
    std::filesystem::path golden = std::filesystem::path(SOURCE_ROOT) / "fenwolt/tests/engine/golden" / (name + ".png");
    if (std::getenv("FENWOLT_UPDATE_GOLDEN")) {
        WritePng(golden, frame);
        return ::testing::AssertionSuccess();
    }
    RgbImage expected;
    if (!ReadPng(golden, expected)) return ::testing::AssertionFailure() << "no golden picture " << golden;
    if (expected.width != frame.width || expected.height != frame.height)
        return ::testing::AssertionFailure() << "size differs from " << golden;
    size_t off = 0;
    for (size_t i = 0; i < frame.rgb.size(); i += 3)
        for (int c = 0; c < 3; ++c)
            if (std::abs((int)frame.rgb[i + c] - (int)expected.rgb[i + c]) > channelTolerance) {
                ++off;
                break;
            }
    double share = (double)off / (double)(frame.rgb.size() / 3);
    if (share > maxShare)
        return ::testing::AssertionFailure() << share * 100.0 << "% of the pixels differ from " << golden
                                             << " (frame in " << out << ")";
    return ::testing::AssertionSuccess();
}
