// Whole frames of the application at 800 x 600 under the software rasteriser: 2500 instances of
// a 500-triangle mesh and 200 text sprites, beside the same frame with nothing drawn (clear and
// present only). Run headless: SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy ./fenwolt_render_bench
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Instances.h"
#include "fenwolt/Game/Screens.h"
#include "fenwolt/Game/Sprites.h"
#include "platform/win32/platform_internal.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {
// A closed band of 250 quads (500 triangles) around the y axis, radius 1.5, height 3.
std::string BandMesh()
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

struct App {
    std::filesystem::path dir, old;
    bool ok = false;
    App()
    {
        old = std::filesystem::current_path();
        char pattern[] = "/tmp/fenwolt-render-bench-XXXXXX";
        dir = mkdtemp(pattern);
        const std::filesystem::path data = std::filesystem::path(BUILD_ROOT) / "data" / "fenwolt";
        for (const auto& entry : std::filesystem::directory_iterator(data)) {
            std::error_code ec;
            if (entry.is_directory())
                std::filesystem::create_directory_symlink(entry.path(), dir / entry.path().filename(), ec);
            else
                std::filesystem::copy_file(entry.path(), dir / entry.path().filename(), ec);
        }
        std::filesystem::create_directories(dir / "dat");
        std::filesystem::create_directories(dir / "bench");
        std::ofstream(dir / "dat" / "window.dat");
        std::ofstream(dir / "bench" / "band.x") << BandMesh();
        std::filesystem::current_path(dir);
        ConstructTheApp();
        ok = SUCCEEDED(TheApp.Create(nullptr)) && TheApp.Device;
    }
    ~App()
    {
        if (TheApp.MainWindow) SendMessageA(TheApp.MainWindow, WM_CLOSE, 0, 0);
        DestroyTheApp();
        std::filesystem::current_path(old);
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

App& TheBenchApp()
{
    static App app;
    return app;
}

void BuildScene()
{
    SetScreen(5);  // an empty screen: nothing of the front end
    const int slot = TheApp.MeshCount;
    if (FAILED(TheApp.MeshTable[slot]->CreateWithTextParse(TheApp.Device, "bench\\band.x"))) return;
    TheApp.MeshTable[slot]->RestoreVideoResources(TheApp.Device);
    ++TheApp.MeshCount;
    const int holder = TheApp.MeshCount;
    if (TheApp.MeshTable[holder]->CreatePlaceholder(TheApp.Device, "textures\\ball.tga") == 0) ++TheApp.MeshCount;
    for (int i = 0; i < INSTANCE_COUNT; ++i)
        CreateModelInstance("bench\\band.x", "textures\\ball.tga", (float)(i % 50) * 4.f - 100.f, 0.f,
                            (float)(i / 50) * 4.f, 0.f, 0.f, 0.f, 1.f);
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

void Frames(benchmark::State& state, bool scene, bool moveCamera)
{
    App& app = TheBenchApp();
    if (!app.ok) {
        state.SkipWithError("no device");
        return;
    }
    if (scene)
        BuildScene();
    else
        SetScreen(5);
    TheApp.RenderOneFrame();
    float t = 0.f;
    for (auto _ : state) {
        if (moveCamera) {
            t += 0.01f;
            CameraEye.x = std::sin(t) * 5.f;
        }
        TheApp.RenderOneFrame();
    }
    state.counters["fps"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
    state.counters["draw_calls"] = TheApp.DrawCallCount;
    state.counters["triangles"] = TheApp.TriangleCount;
}
}  // namespace

BENCHMARK_CAPTURE(Frames, clear_and_present_only, false, false)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();
BENCHMARK_CAPTURE(Frames, scene_camera_still, true, false)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();
BENCHMARK_CAPTURE(Frames, scene_camera_moving, true, true)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();
BENCHMARK_MAIN();
