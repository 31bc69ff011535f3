#!/usr/bin/env bash
# Builds and runs the benchmarks (optimised build); extra arguments go to the benchmark program.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" "$root/build-bench" -DCMAKE_BUILD_TYPE=Release -DQUILLHAVEN_TESTS=OFF -DQUILLHAVEN_BENCH=ON
mkdir -p "$root/out"
cd "$root/out" && "$root/build-bench/bin/quillhaven_bench" "$@"
