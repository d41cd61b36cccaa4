#!/usr/bin/env bash
# Builds varnok twice (optimised with assertions; AddressSanitizer +
# UndefinedBehaviorSanitizer) and runs the whole test suite on both.
set -eu
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DVARNOK_WERROR=ON >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build -j "$jobs" --output-on-failure

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cmake -S . -B build-san -DCMAKE_BUILD_TYPE=Debug -DVARNOK_SANITIZE=ON -DVARNOK_WERROR=ON -DVARNOK_BUILD_BENCH=OFF >/dev/null
cmake --build build-san -j "$jobs"
ctest --test-dir build-san -j "$jobs" --output-on-failure
