// The benchmarks' main: Google Benchmark's, with an exit status that can be trusted and a
// minimum time a command line can shorten.
#pragma once

#include <string>
#include <vector>

namespace benchmain {

// Takes Google Benchmark's flags out of the command line and gives back what is left, the
// program's own arguments. `defaultMinTime` seconds, when not 0, is every benchmark's minimum
// time unless --benchmark_min_time is given: a benchmark that set its own could not be run once.
std::vector<std::string> Initialize(int argc, char** argv, double defaultMinTime = 0.0);

// Runs the benchmarks the flags select. 0 when every one of them ran; 1 when any stopped with
// an error (no data set, no device: a figure left out is no result) or when none was selected.
int RunAll();

// Initialize, no arguments of the program's own, RunAll.
int Main(int argc, char** argv, double defaultMinTime = 0.0);

}  // namespace benchmain
