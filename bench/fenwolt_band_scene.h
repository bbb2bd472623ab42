// The scene the render and match benchmarks draw: a closed band of 250 quads (500 triangles)
// around the y axis, radius 1.5, height 3, as a text X file, and 2500 instances of it in a 50 x 50
// grid beside 200 text sprites, the camera looking along the grid.
#pragma once

#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Engine/Instances.h"
#include "fenwolt/Game/Engine/Sprites.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace benchscene {

inline std::string BandMesh()
{
    const int segments = 25, rings = 10;
    std::string v, t, f, n;
    int vertices = 0;
    for (int r = 0; r <= rings; ++r)
        for (int s = 0; s <= segments; ++s) {
            const float a = 6.2831853f * (float)s / segments;
            char line[160];
            std::snprintf(line, sizeof line, " %.4f;%.4f;%.4f;%s\n", 1.5f * std::cos(a), 3.f * r / rings,
                          1.5f * std::sin(a), "");
            v += line;
            std::snprintf(line, sizeof line, " %.4f;%.4f;0.0;\n", std::cos(a), std::sin(a));
            n += line;
            std::snprintf(line, sizeof line, " %.4f;%.4f;\n", (float)s / segments, (float)r / rings);
            t += line;
            ++vertices;
        }
    int faces = 0;
    for (int r = 0; r < rings; ++r)
        for (int s = 0; s < segments; ++s) {
            const int a = r * (segments + 1) + s, b = a + 1, c = a + segments + 1, d = c + 1;
            f += " 3;" + std::to_string(a) + "," + std::to_string(c) + "," + std::to_string(b) + ";\n";
            f += " 3;" + std::to_string(b) + "," + std::to_string(c) + "," + std::to_string(d) + ";\n";
            faces += 2;
        }
    auto commaList = [](std::string s) {
        // Entries end with ";" + "," except the last, which ends with ";;".
        std::string out;
        size_t start = 0;
        while (true) {
            size_t end = s.find('\n', start);
            if (end == std::string::npos) break;
            std::string line = s.substr(start, end - start);
            start = end + 1;
            out += line + (start < s.size() ? ",\n" : ";\n");
        }
        return out;
    };
    std::string text = "xof 0302txt 0032\nMesh band {\n " + std::to_string(vertices) + ";\n" + commaList(v) + " " +
                       std::to_string(faces) + ";\n" + commaList(f) +
                       " MeshMaterialList {\n  1;\n  1;\n  0;;\n  Material {\n   0.8;0.8;0.8;1.0;;\n   0.0;\n"
                       "   0.0;0.0;0.0;;\n   0.0;0.0;0.0;;\n  }\n }\n MeshNormals {\n " +
                       std::to_string(vertices) + ";\n" + commaList(n) + " " + std::to_string(faces) + ";\n" +
                       commaList(f) + " }\n MeshTextureCoords {\n " + std::to_string(vertices) + ";\n" +
                       commaList(t) + " }\n}\n";
    return text;
}

// The band written to `file` into the next mesh slot; false when it does not load.
inline bool LoadBandMesh(const char* file)
{
    const int slot = TheApp.MeshCount;
    if (FAILED(TheApp.MeshTable[slot]->CreateWithTextParse(TheApp.Device, file))) return false;
    TheApp.MeshTable[slot]->RestoreVideoResources(TheApp.Device);
    ++TheApp.MeshCount;
    return true;
}

// The 2500 instances of the loaded band, the 200 text sprites and the camera, shown.
inline void PlaceBandScene(const char* file)
{
    for (int i = 0; i < INSTANCE_COUNT; ++i)
        CreateModelInstance(file, "textures\\ball.tga", (float)(i % 50) * 4.f - 100.f, 0.f, (float)(i / 50) * 4.f, 0.f,
                            0.f, 0.f, 1.f);
    UseWhiteTextColours();
    for (int i = 0; i < 200; ++i) {
        char text[32];
        std::snprintf(text, sizeof text, "Player %03d", i);
        CreateTextSprite((unsigned)(1 + i), (float)(i % 5) * 160.f, (float)(i / 5) * 15.f, 2, text, 0);
    }
    DrawDistance = 5000.f;
    CameraEye = D3DVECTOR{0.f, 60.f, -60.f};
    CameraTarget = D3DVECTOR{0.f, 0.f, 100.f};
    SceneVisible = true;
}

}  // namespace benchscene
