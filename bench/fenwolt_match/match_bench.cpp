// The match: steps per second of the match logic alone (no device), a whole match of 2 x 45
// minutes simulated headless (the computer against a scripted home side) as simulated match
// seconds per wall second, and frames per second of the match screen under the software
// rasteriser beside the 2,500-instance scene of the render benchmark in the same run.
// Frames are drawn on the fixed-step clock, which no display paces: a present does not wait for
// the refresh, so frames per second are the drawing's own (refresh_waits counts any present that
// waited all the same). Run headless: SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy ./fenwolt_match_bench
#include "bench/fenwolt_band_scene.h"
#include "bench/support/bench_main.h"
#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Match/MatchScreen.h"
#include "fenwolt/Game/Screens.h"
#include "fenwolt/tests/match/match_screen_support.h"
#include "platform/d3d8/d3d8_testing.h"
#include "platform/win32/platform_internal.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <memory>

using namespace matchdrive;

namespace {
// One application at a time: without a device for the logic, with one for the frames.
std::unique_ptr<MatchApp> g_app;
bool g_withDevice = false;

MatchApp* App(bool withDevice)
{
    if (g_app && g_withDevice == withDevice) return g_app.get();
    g_app.reset();
    g_app = std::make_unique<MatchApp>();
    g_withDevice = withDevice;
    if (!g_app->Open(withDevice)) return nullptr;
    return g_app.get();
}

// The home side chases; the computer plays away. Both act at the start of their planning.
struct Driver {
    std::mt19937 rng{7};
    int32_t seen = -1;
    bool acted = false;
    void BeforeFrame()
    {
        if (TurnPhase != seen) {
            seen = TurnPhase;
            acted = false;
        }
        const bool planning = MatchStopState != STOP_KICK_OFF && !GoalInProgress;
        if (acted || !planning) return;
        if (TurnPhase == PHASE_HOME_PLANS) {
            PlayHomeTurn(HomeScript::Chasing, rng);
            EndTurn();
            acted = true;
        } else if (TurnPhase == PHASE_AWAY_PLANS && MatchSetup.managers == 2) {
            PlaySideSimply(1, rng, true);
            EndTurn();
            acted = true;
        }
    }
};

// Matches from `options` in the benchmark's loop, a new one after each full time; `frame` is one
// iteration's work after the driver's orders.
template <class FrameWork>
void PlayMatches(benchmark::State& state, const MatchOptions& options, FrameWork frame)
{
    StartMatch(options);
    Driver d;
    for (auto _ : state) {
        if (MatchStopState == STOP_FULL_TIME) {
            StartMatch(options);
            d = Driver{};
        }
        d.BeforeFrame();
        frame();
    }
}

void MatchLogicSteps(benchmark::State& state)
{
    if (!App(false)) {
        state.SkipWithError("no data set");
        return;
    }
    MatchOptions o;
    o.seed = 11;
    PlayMatches(state, o, [] { Frame(1.f / 30.f); });
    state.counters["steps_per_s"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
}

void WholeMatch(benchmark::State& state)
{
    if (!App(false)) {
        state.SkipWithError("no data set");
        return;
    }
    double matchSeconds = 0.0, steps = 0.0;
    uint32_t seed = 100;
    for (auto _ : state) {
        MatchOptions o;
        o.seed = seed++;
        o.minutesPerHalf = 45;
        const MatchReport r = PlayMatch(o, HomeScript::Chasing, 1.f / 30.f, 4000000, false);
        if (!r.fullTime) {
            state.SkipWithError(r.failure.c_str());
            return;
        }
        matchSeconds += 2.0 * 45.0 * 60.0;
        steps += (double)r.steps;
    }
    state.counters["match_s_per_s"] = benchmark::Counter(matchSeconds, benchmark::Counter::kIsRate);
    state.counters["steps_per_match"] = steps / (double)state.iterations();
}

void MatchScreenFrames(benchmark::State& state)
{
    if (!App(true)) {
        state.SkipWithError("no device");
        return;
    }
    MatchOptions o;
    o.seed = 21;
    o.managers = 2;
    const uint64_t waits = D3D8RefreshWaits();
    PlayMatches(state, o, [] { TheApp.RenderOneFrame(); });
    state.counters["fps"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
    state.counters["refresh_waits"] = (double)(D3D8RefreshWaits() - waits);
    state.counters["draw_calls"] = TheApp.DrawCallCount;
    state.counters["triangles"] = TheApp.TriangleCount;
}

void RenderScene2500(benchmark::State& state)
{
    if (!App(true)) {
        state.SkipWithError("no device");
        return;
    }
    SetScreen(5);
    std::ofstream("band.x") << benchscene::BandMesh();
    if (!benchscene::LoadBandMesh("band.x")) {
        state.SkipWithError("band mesh");
        return;
    }
    benchscene::PlaceBandScene("band.x");
    TheApp.RenderOneFrame();
    const uint64_t waits = D3D8RefreshWaits();
    for (auto _ : state) TheApp.RenderOneFrame();
    state.counters["fps"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
    state.counters["refresh_waits"] = (double)(D3D8RefreshWaits() - waits);
    state.counters["draw_calls"] = TheApp.DrawCallCount;
}
}  // namespace

BENCHMARK(MatchLogicSteps)->UseRealTime();
BENCHMARK(WholeMatch)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(MatchScreenFrames)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(RenderScene2500)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    PlatformSetFixedStep(20);
    const int status = benchmain::Main(argc, argv, 3.0);
    // The application goes while the program still runs, not among its static objects.
    g_app.reset();
    return status;
}
