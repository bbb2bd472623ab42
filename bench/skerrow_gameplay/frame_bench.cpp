// One whole frame of the game screen (a tick of play and the drawing into the back buffer,
// without presenting) on a busy level, beside a plain full-screen memcpy.
#include "bench/support/bench_main.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "Harness.h"

namespace {

void KeepBusy()
{
    const int first = g_level.scrollOffset / kCellHeight;
    for (int r = first; r < first + 25 && r < g_level.height; ++r)
        for (int c = 0; c < kGridColumns; ++c) {
            BlockCell* cell = GetBlockCell(c, r);
            if (cell && !cell->type) SetBlock(c, r, (r + c) % 7 == 0 ? 2 : 1);
        }
    for (const Ball& b : g_balls)
        if (!b.active) AddBall(Vector2(static_cast<float>(rand() % 600 + 20), 380.0f - static_cast<float>(rand() % 100)), 60.0f + static_cast<float>(rand() % 60), 3.0f);
    for (const Enemy& e : g_enemies)
        if (!e.type) SpawnEnemy(rand() % 600 + 20, rand() % 200 + 50, 1 + rand() % 3);
    int used = 0;
    for (const Particle& p : g_particles) used += p.type != 0;
    if (used < kMaxParticles) SpawnParticles(320, 200, kMaxParticles - used, 1 + rand() % 5, 1.0f);
}

void BM_GameFrame(benchmark::State& state)
{
    if (!StartHarnessDisplay()) {
        state.SkipWithError("no display or data set");
        return;
    }
    PlayLevel(100, 99, 1, 0);
    Activate(ITEM_TIMEZIP);
    g_level.ballOnPaddle = 0;
    g_game.lives = 1000000;
    for (int i = 0; i < 50; ++i) {
        KeepBusy();
        ++FrameCounter();
        FeedInput({}, 0, 0);
        g_gameScreen.Process();
    }
    for (auto _ : state) {
        state.PauseTiming();
        KeepBusy();
        ++FrameCounter();
        FeedInput({}, (FrameCounter() % 40) - 20, 0);
        state.ResumeTiming();
        g_gameScreen.Process();
    }
}
BENCHMARK(BM_GameFrame)->Unit(benchmark::kMicrosecond);

void BM_FullScreenMemcpy(benchmark::State& state)
{
    std::vector<uint16_t> a(640 * 480, 0x1234), b(640 * 480);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), a.size() * 2);
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FullScreenMemcpy)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return benchmain::Main(argc, argv); }
