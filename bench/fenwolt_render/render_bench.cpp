// Whole frames of the application at 800 x 600 under the software rasteriser: 2500 instances of
// a 500-triangle mesh and 200 text sprites, beside the same frame with nothing drawn (clear and
// present only). Frames are drawn on the fixed-step clock, which no display paces: a present does
// not wait for the refresh, so frames per second are the drawing's own (refresh_waits counts any
// present that waited all the same).
// Run headless: SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy ./fenwolt_render_bench
#include "bench/fenwolt_band_scene.h"
#include "bench/support/bench_main.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Screens.h"
#include "platform/d3d8/d3d8_testing.h"
#include "platform/win32/platform_internal.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace {
// The fixed clock's step: one frame's play at 50 frames a second.
constexpr DWORD kStepMs = 20;

struct App {
    std::filesystem::path dir, old;
    std::string error;  // empty once the application has its device
    App()
    {
        old = std::filesystem::current_path();
        const std::filesystem::path data = std::filesystem::path(BUILD_ROOT) / "data" / "fenwolt";
        if (!std::filesystem::is_directory(data)) {
            error = "no data set in " + data.string() + ": build the fenwolt-data target first";
            return;
        }
        char pattern[] = "/tmp/fenwolt-render-bench-XXXXXX";
        dir = mkdtemp(pattern);
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
        if (FAILED(TheApp.Create(nullptr)) || !TheApp.Device) error = "no device";
    }
    ~App()
    {
        if (dir.empty()) return;
        if (TheApp.MainWindow) SendMessageA(TheApp.MainWindow, WM_CLOSE, 0, 0);
        DestroyTheApp();
        std::filesystem::current_path(old);
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

// Made by the first benchmark, closed by main while the program still runs.
std::unique_ptr<App> g_app;

App& TheBenchApp()
{
    if (!g_app) g_app = std::make_unique<App>();
    return *g_app;
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
    if (!app.error.empty()) {
        state.SkipWithError(app.error.c_str());
        return;
    }
    if (scene)
        BuildScene();
    else
        SetScreen(5);
    // The fixed clock stands still until a frame is shown, and a frame no time has passed for is
    // not shown: one step moves it to the first, whose present moves it on to the next.
    Sleep(kStepMs);
    TheApp.RenderOneFrame();
    const uint64_t waits = D3D8RefreshWaits();
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
    state.counters["refresh_waits"] = (double)(D3D8RefreshWaits() - waits);
}
}  // namespace

BENCHMARK_CAPTURE(Frames, clear_and_present_only, false, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Frames, scene_camera_still, true, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Frames, scene_camera_moving, true, true)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    PlatformSetFixedStep(kStepMs);
    const int status = benchmain::Main(argc, argv, 3.0);
    g_app.reset();
    return status;
}
