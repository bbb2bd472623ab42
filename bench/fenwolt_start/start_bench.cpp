// The look at the data set that Fenwolt makes before it opens its window: every picture decoded,
// every mesh of the resource lists parsed. Its time is time the player waits at every start.
// Run: ./fenwolt_start_bench (it reads the data set the build generated).
#include "bench/support/bench_main.h"
#include "fenwolt/Game/DataSetCheck.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

namespace {

void DataSetCheck(benchmark::State& state)
{
    const std::filesystem::path data = std::filesystem::path(BUILD_ROOT) / "data" / "fenwolt";
    std::error_code ec;
    const auto old = std::filesystem::current_path();
    std::filesystem::current_path(data, ec);
    if (ec) {
        state.SkipWithError(("no data set in " + data.string() + ": build the fenwolt-data target first").c_str());
        return;
    }
    std::string unusable;
    for (auto _ : state) {
        unusable = FirstUnusableDataFile();
        benchmark::DoNotOptimize(unusable);
    }
    std::filesystem::current_path(old);
    if (!unusable.empty()) state.SkipWithError(("the data set has an unusable file: " + unusable).c_str());
}
BENCHMARK(DataSetCheck)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return benchmain::Main(argc, argv); }
