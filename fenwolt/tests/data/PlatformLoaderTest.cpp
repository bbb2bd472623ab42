// The generated data set through the platform's own readers: the D3DX text .x reader, the
// picture decoder behind the texture loader, and the vertex-shader assembler.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "DataReaders.h"
#include "platform/d3dx8/d3dx8shader.h"
#include "platform/d3dx8/image_decode.h"
#include "platform/d3dx8/xfile_text.h"

namespace fs = std::filesystem;
using namespace fwcheck;

namespace {
std::vector<std::string> FilesUnder(const std::string& folder, const std::string& ext) {
    std::vector<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(DataRoot() + "/" + folder))
        if (e.is_regular_file() && e.path().extension() == ext) out.push_back(e.path().string());
    std::sort(out.begin(), out.end());
    return out;
}
}  // namespace

TEST(FenwoltDataThroughPlatform, MeshesLoadWithOneMaterialAndMatchTheGamesParser) {
    auto files = FilesUnder("xdata", ".x");
    ASSERT_GE(files.size(), 20u);
    for (const auto& f : files) {
        SCOPED_TRACE(f);
        std::string text = ReadText(f);
        d3dx_detail::XMeshData d;
        std::string error;
        ASSERT_TRUE(d3dx_detail::ParseTextX(text.data(), text.size(), d, error)) << error;
        EXPECT_EQ(d.materials.size(), 1u);
        EXPECT_TRUE(d.hasNormals);
        EXPECT_TRUE(d.hasTexcoords);
        // both readers see the same vertices in the same order: animations address them by index
        XMesh own = ParseXText(text);
        ASSERT_EQ(own.error, "");
        ASSERT_EQ(d.VertexCount(), own.verts.size());
        for (size_t i = 0; i < own.verts.size(); ++i) ASSERT_FLOAT_EQ(d.positions[i * 3 + 1], own.verts[i][1]);
        EXPECT_EQ(d.indices.size(), own.idx.size());
    }
}

TEST(FenwoltDataThroughPlatform, PicturesDecode) {
    size_t count = 0;
    for (const char* folder : {"textures", "texture2", "interface", "kit"})
        for (const char* ext : {".tga", ".jpg"})
            for (const auto& f : FilesUnder(folder, ext)) {
                SCOPED_TRACE(f);
                auto bytes = ReadBytes(f);
                d3dx_detail::Image img;
                std::string error;
                ASSERT_TRUE(d3dx_detail::DecodeImage(bytes.data(), bytes.size(), img, error)) << error;
                Picture own = std::string(ext) == ".jpg" ? ReadJpeg(f) : ReadTga(bytes);
                EXPECT_EQ(int(img.width), own.width);
                EXPECT_EQ(int(img.height), own.height);
                if (std::string(ext) == ".tga") {
                    EXPECT_EQ(img.argb, own.argb);
                    EXPECT_EQ(img.hasAlpha, own.bits == 32);
                }
                ++count;
            }
    EXPECT_GT(count, 100u);
}

TEST(FenwoltDataThroughPlatform, ShadersAssemble) {
    for (const auto& f : FilesUnder("shader", ".nvv")) {
        SCOPED_TRACE(f);
        std::string text = ReadText(f);
        LPD3DXBUFFER code = nullptr, errors = nullptr;
        // the game hands over the text without its last byte
        HRESULT hr = D3DXAssembleShader(text.data(), UINT(text.size() - 1), 0, nullptr, &code, &errors);
        std::string why = errors ? static_cast<const char*>(errors->GetBufferPointer()) : "";
        EXPECT_EQ(hr, S_OK) << why;
        if (code) code->Release();
        if (errors) errors->Release();
    }
}
