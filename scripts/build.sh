#!/usr/bin/env bash
# build.sh DIR [cmake options...]: configures and builds the engine, the launcher and the tests into DIR.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$1"
shift
# Compiler caching across checkouts: paths inside the checkout are hashed relative to it, so a fresh clone in another
# folder (as CI makes) reuses what an earlier build compiled.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"
export CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
