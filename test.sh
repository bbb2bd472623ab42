#!/usr/bin/env bash
# Builds everything and runs every test headless. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"
bash tools/install-deps.sh

export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
JOBS=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$JOBS"
ctest --test-dir build -j "$JOBS" --output-on-failure --no-tests=error -LE soak

# Every reader of an outside file or network message has a fuzz target; its corpus is
# replayed here under AddressSanitizer and UndefinedBehaviorSanitizer. Fenwolt's end-to-end run
# is repeated in the same build so that LeakSanitizer checks the whole program at its exit.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DENABLE_SANITIZERS=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
fuzz_targets=$(cmake --build build-asan --target help | sed -n 's/^\(fuzz_[A-Za-z0-9_]*\):.*/\1/p' | sort -u)
cmake --build build-asan -j "$JOBS" --target $fuzz_targets fenwolt_e2e_tests
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan -j "$JOBS" -L fuzz --output-on-failure --no-tests=error
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure --no-tests=error -R '^EndToEndTest\.'
