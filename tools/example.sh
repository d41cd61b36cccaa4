#!/usr/bin/env bash
# Builds varnok and runs it on a small example script.
set -eu
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$(nproc)" --target varnok
cat examples/example.smt2
echo "--- varnok says:"
./build/src/main/varnok examples/example.smt2
