// The match-sized scene at 800 x 600: 22 morph-animated players of the real player mesh, the
// ball, the pitch and both goals with shadows, beside the same scene with animation and shadows
// off. Frames are drawn on the fixed-step clock, which no display paces: a present does not wait
// for the refresh, so frames per second are the drawing's own (refresh_waits counts any present
// that waited all the same).
// Run headless: SDL_VIDEODRIVER=offscreen ./fenwolt_scene_bench
#include "bench/support/bench_main.h"
#include "fenwolt/tests/scene/match_scene_rig.h"
#include "platform/d3d8/d3d8_testing.h"
#include "platform/tests/support/headless_device.h"
#include "platform/win32/platform_internal.h"
#include "platform/win32/win32.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace {

struct Device {
    HWND window = nullptr;
    IDirect3D8* d3d = nullptr;
    IDirect3DDevice8* device = nullptr;

    bool Open()
    {
        if (!PlatformInit()) return false;
        window = CreateTestWindow("scene bench");
        d3d = window ? Direct3DCreate8(D3D_SDK_VERSION) : nullptr;
        if (!d3d) return false;
        D3DPRESENT_PARAMETERS p = WindowedParams(window);
        return SUCCEEDED(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, &device));
    }
    ~Device()
    {
        if (device) device->Release();
        if (d3d) d3d->Release();
        if (window) DestroyWindow(window);
    }
};

void RunScene(benchmark::State& state, bool animate, bool shadows)
{
    const std::filesystem::path data = std::filesystem::path(BUILD_ROOT) / "data" / "fenwolt";
    std::error_code ec;
    const auto old = std::filesystem::current_path();
    std::filesystem::current_path(data, ec);
    if (ec) {
        state.SkipWithError(("no data set in " + data.string() + ": build the fenwolt-data target first").c_str());
        return;
    }
    Device d;
    if (!d.Open()) {
        std::filesystem::current_path(old);
        state.SkipWithError("no device");
        return;
    }
    {
        MatchSceneRig rig(d.device);
        const std::string failed = rig.Load(22);
        if (!failed.empty()) {
            state.SkipWithError(("could not load " + failed).c_str());
        } else {
            // The match's own camera: behind and above the centre spot.
            rig.LookAt(D3DVECTOR{59.47f - 40.f, 25.f, 42.08f}, D3DVECTOR{59.47f, 0.f, 42.08f});
            for (int i = 0; i < 3; ++i) rig.Frame(0.02f, animate, shadows);
            const uint64_t waits = D3D8RefreshWaits();
            for (auto _ : state) rig.Frame(0.02f, animate, shadows);
            state.counters["fps"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
            state.counters["refresh_waits"] = (double)(D3D8RefreshWaits() - waits);
            state.counters["triangles"] = rig.triangles;
            state.counters["draws"] = rig.drawCalls;
        }
    }
    std::filesystem::current_path(old);
}

void BM_MatchSceneAnimatedShadowed(benchmark::State& state) { RunScene(state, true, true); }
void BM_MatchSceneStillWithoutShadows(benchmark::State& state) { RunScene(state, false, false); }

BENCHMARK(BM_MatchSceneAnimatedShadowed)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MatchSceneStillWithoutShadows)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    PlatformSetFixedStep(20);
    return benchmain::Main(argc, argv, 3.0);
}
