// Module mixer speed: seconds of 44.1 kHz stereo 16-bit interpolated audio rendered per second
// of time, for the game's player and, when installed, libopenmpt on the same module.
//   bench_skerrow_sound [--benchmark_* flags] [--modules DIR]
// The modules are read from DIR, by default the test modules beside the source tree
// (../shared/testdata/s3m); one missing is an error, never a figure.
#include "bench/support/bench_main.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "skerrow/Src/Sound/ModulePlayer.h"
#ifdef HAVE_OPENMPT
#include <libopenmpt/libopenmpt.h>
#endif

namespace {

constexpr int kRate = 44100;
const char* const kModules[] = {"inside_out.s3m", "mm2flash.s3m"};

// Every module the benchmarks play, read by main before any of them runs.
std::map<std::string, std::vector<char>> g_modules;

const std::vector<char>& Module(const std::string& name) { return g_modules.at(name); }

// Renders up to `seconds` (0: the whole song, at most ten minutes); returns the frames.
long RenderPlayer(const std::vector<char>& image, int seconds)
{
    ModulePlayer p(image.data(), image.size(), kRate, 1, 1, 1);
    std::vector<int16_t> buf(size_t(kRate / 10) * 2);
    long total = 0, limit = long(seconds ? seconds : 600) * kRate;
    while (total < limit) {
        int got = p.Render(buf.data(), int(buf.size() * 2), nullptr);
        total += got;
        if (got < kRate / 10) break;
    }
    benchmark::DoNotOptimize(buf.data());
    return total;
}

// Calls `render` once an iteration for the frames it renders: the rate of audio seconds per second
// of time. A module that renders nothing stops the benchmark with an error, never a rate of 0.
template <class Render>
void MeasureRate(benchmark::State& state, Render render)
{
    long frames = 0;
    for (auto _ : state) {
        const long got = render();
        if (got <= 0) {
            state.SkipWithError("the module rendered nothing");
            return;
        }
        frames += got;
    }
    state.counters["audio_s_per_s"] = benchmark::Counter(double(frames) / kRate, benchmark::Counter::kIsRate);
}

void BM_PlayerInsideOut10s(benchmark::State& state)
{
    const auto& image = Module("inside_out.s3m");
    MeasureRate(state, [&] { return RenderPlayer(image, 10); });
}
BENCHMARK(BM_PlayerInsideOut10s)->Unit(benchmark::kMillisecond);

void BM_PlayerWholeSong(benchmark::State& state, const char* name)
{
    const auto& image = Module(name);
    MeasureRate(state, [&] { return RenderPlayer(image, 0); });
}
BENCHMARK_CAPTURE(BM_PlayerWholeSong, mm2flash, "mm2flash.s3m")->Unit(benchmark::kMillisecond);

#ifdef HAVE_OPENMPT
long RenderReference(const std::vector<char>& image, int seconds)
{
    openmpt_module* mod = openmpt_module_create_from_memory2(image.data(), image.size(), nullptr, nullptr,
                                                             nullptr, nullptr, nullptr, nullptr, nullptr);
    if (!mod) return 0;
    openmpt_module_set_render_param(mod, OPENMPT_MODULE_RENDER_INTERPOLATIONFILTER_LENGTH, 2);
    openmpt_module_set_render_param(mod, OPENMPT_MODULE_RENDER_VOLUMERAMPING_STRENGTH, 0);
    std::vector<int16_t> buf(size_t(kRate / 10) * 2);
    long total = 0, limit = long(seconds ? seconds : 600) * kRate;
    while (total < limit) {
        size_t got = openmpt_module_read_interleaved_stereo(mod, kRate, size_t(kRate / 10), buf.data());
        total += long(got);
        if (got < size_t(kRate / 10)) break;
    }
    openmpt_module_destroy(mod);
    return total;
}

void BM_ReferenceInsideOut10s(benchmark::State& state)
{
    const auto& image = Module("inside_out.s3m");
    MeasureRate(state, [&] { return RenderReference(image, 10); });
}
BENCHMARK(BM_ReferenceInsideOut10s)->Unit(benchmark::kMillisecond);

void BM_ReferenceWholeSong(benchmark::State& state, const char* name)
{
    const auto& image = Module(name);
    MeasureRate(state, [&] { return RenderReference(image, 0); });
}
BENCHMARK_CAPTURE(BM_ReferenceWholeSong, mm2flash, "mm2flash.s3m")->Unit(benchmark::kMillisecond);
#endif

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments = benchmain::Initialize(argc, argv);
    std::string folder = SOURCE_ROOT "/../shared/testdata/s3m";
    if (arguments.size() == 2 && arguments[0] == "--modules") {
        folder = arguments[1];
    } else if (!arguments.empty()) {
        std::fprintf(stderr, "usage: %s [--benchmark_* flags] [--modules DIR]\n", argv[0]);
        return 2;
    }
    for (const char* name : kModules) {
        std::ifstream in(folder + "/" + name, std::ios::binary);
        std::vector<char> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (image.empty()) {
            std::fprintf(stderr, "%s: no module %s in %s (give the folder of the test modules with --modules DIR)\n",
                         argv[0], name, folder.c_str());
            return 1;
        }
        g_modules[name] = std::move(image);
    }
    return benchmain::RunAll();
}
