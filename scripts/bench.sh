#!/usr/bin/env bash
# Builds and runs the benchmarks (optimised build); extra arguments go to the benchmark program.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" "$root/build-bench" -DCMAKE_BUILD_TYPE=Release -DQUILLHAVEN_TESTS=OFF -DQUILLHAVEN_BENCH=ON
mkdir -p "$root/out"
cd "$root/out"
# The frame and picture benchmarks open a real window: without a display, they get a virtual one.
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" env ALSOFT_DRIVERS=null \
        "$root/build-bench/bin/quillhaven_bench" "$@"
fi
exec "$root/build-bench/bin/quillhaven_bench" "$@"
