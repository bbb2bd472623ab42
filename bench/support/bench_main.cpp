#include "bench/support/bench_main.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

namespace benchmain {

namespace {

// The report the flags ask for, noting on the way any benchmark that stopped with an error.
class Reporter : public benchmark::BenchmarkReporter {
public:
    bool ReportContext(const Context& context) override { return shown->ReportContext(context); }
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (run.error_occurred) ++failed;
        shown->ReportRuns(runs);
    }
    void Finalize() override { shown->Finalize(); }
    int failed = 0;

private:
    benchmark::BenchmarkReporter* shown = benchmark::CreateDefaultDisplayReporter();  // the library's own
};

}  // namespace

std::vector<std::string> Initialize(int argc, char** argv, double defaultMinTime)
{
    // Google Benchmark keeps pointers into the command line it parsed, so it lives as long as
    // the program. A default goes first: a flag given after it overrides it.
    static std::vector<std::string> texts;
    static std::vector<char*> line;
    texts.assign(argv, argv + argc);
    if (defaultMinTime > 0.0) texts.insert(texts.begin() + 1, "--benchmark_min_time=" + std::to_string(defaultMinTime));
    for (std::string& text : texts) line.push_back(text.data());
    line.push_back(nullptr);
    int count = static_cast<int>(texts.size());
    benchmark::Initialize(&count, line.data());
    return std::vector<std::string>(line.begin() + 1, line.begin() + count);
}

int RunAll()
{
    Reporter reporter;
    const size_t ran = benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    if (ran == 0) {
        std::fprintf(stderr, "no benchmark matches the filter\n");
        return 1;
    }
    if (reporter.failed) {
        std::fprintf(stderr, "%d of %zu benchmarks could not run\n", reporter.failed, ran);
        return 1;
    }
    return 0;
}

int Main(int argc, char** argv, double defaultMinTime)
{
    const std::vector<std::string> rest = Initialize(argc, argv, defaultMinTime);
    if (!rest.empty()) {
        std::fprintf(stderr, "%s: unknown argument \"%s\" (only --benchmark_* flags)\n", argv[0], rest.front().c_str());
        return 2;
    }
    return RunAll();
}

}  // namespace benchmain
