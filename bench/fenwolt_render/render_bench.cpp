// Whole frames of the application at 800 x 600 under the software rasteriser: 2500 instances of
// a 500-triangle mesh and 200 text sprites, beside the same frame with nothing drawn (clear and
// present only). Run headless: SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy ./fenwolt_render_bench
#include "bench/fenwolt_band_scene.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Screens.h"
#include "platform/win32/platform_internal.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {
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
        std::ofstream(dir / "bench" / "band.x") << benchscene::BandMesh();
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
    if (!benchscene::LoadBandMesh("bench\\band.x")) return;
    const int holder = TheApp.MeshCount;
    if (TheApp.MeshTable[holder]->CreatePlaceholder(TheApp.Device, "textures\\ball.tga") == 0) ++TheApp.MeshCount;
    benchscene::PlaceBandScene("bench\\band.x");
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
