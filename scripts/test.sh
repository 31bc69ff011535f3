#!/usr/bin/env bash
# Builds and runs every test twice: a normal build (gcc), then a build with AddressSanitizer and
# UndefinedBehaviorSanitizer (clang). Tests that need a window run under a virtual X server; audio goes to OpenAL's
# null driver.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/setup.sh"

export ALSOFT_DRIVERS=null
# -noreset: without it the server resets whenever its last client leaves, and a test connecting in that moment
# finds no display.
run_suite() {
    local dir="$1"
    (cd "$dir" && xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" ctest --output-on-failure -j2 --timeout 300)
}

echo "== normal build =="
bash "$root/scripts/build.sh" "$root/build" -DQUILLHAVEN_TESTS=ON -DQUILLHAVEN_SANITIZE=OFF
run_suite "$root/build"

echo "== sanitizer build (address, undefined; clang) =="
# CMake keeps the compiler a build folder was first configured with; a folder set up with another one starts afresh.
if [ -f "$root/build-asan/CMakeCache.txt" ] &&
    ! grep -q '^CMAKE_CXX_COMPILER:[A-Z]*=.*clang++' "$root/build-asan/CMakeCache.txt"; then
    rm -rf "$root/build-asan/CMakeCache.txt" "$root/build-asan/CMakeFiles"
fi
bash "$root/scripts/build.sh" "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug -DQUILLHAVEN_SANITIZE=ON -DQUILLHAVEN_TESTS=ON \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
run_suite "$root/build-asan"
