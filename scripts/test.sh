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
# Further arguments are VARIABLE=value settings for the tests (not for the X server).
run_suite() {
    local dir="$1"
    shift
    (cd "$dir" && xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" env "$@" ctest --output-on-failure -j2 --timeout 300)
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
# The editor is left out here: Qt's own libraries are not built with the sanitizers, and the editor drives the
# engine only through the exports, which the host tests of this build cover.
bash "$root/scripts/build.sh" "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug -DQUILLHAVEN_SANITIZE=ON -DQUILLHAVEN_TESTS=ON \
    -DQUILLHAVEN_FUZZ=ON -DQUILLHAVEN_EDITOR=OFF -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# Mesa unloads its GL driver with the last GL context, before the leak check at a process's exit; the blocks the
# driver keeps for the whole process are then reported from an unknown module, which no suppression can name. The
# tests and the programs they start keep the software driver (the one the virtual X server's GL uses) loaded, so
# that the check finds those blocks as the driver's own.
gl_driver=/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so
preload=()
[ -f "$gl_driver" ] && preload=("LD_PRELOAD=$gl_driver${LD_PRELOAD:+:$LD_PRELOAD}")
run_suite "$root/build-asan" "${preload[@]}"

# The fuzzers share one minute: the script fuzzer 40 s, the XML fuzzer (Config.xml, global0.xml, save slots) 20 s.
# Each runs from a scratch folder of its own, as the engine writes debug.txt (and the XML fuzzer its files) into the
# current one. New inputs go to the fuzzer's corpus folder (kept in build-asan between runs); the seeds are only
# read. A crashing, hanging or leaking input is saved under build-asan/fuzz-artifacts/NAME/; once minimised
# (-minimize_crash=1) it belongs in the fuzzer's regressions folder, which the unit tests replay.
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
# run_fuzzer NAME SECONDS SEEDS REGRESSIONS: runs build-asan/bin/quillhaven_NAME_fuzz for SECONDS seconds; exits the
# script with a message when it finds something.
run_fuzzer() {
    local name="$1" seconds="$2" seeds="$3" regressions="$4"
    local fuzzer="$root/build-asan/bin/quillhaven_${name}_fuzz"
    local corpus="$root/build-asan/fuzz-corpus-$name"
    local artifacts="$root/build-asan/fuzz-artifacts/$name"
    local fuzz_log="$root/build-asan/fuzz-$name.log"
    local dir="$scratch/$name"
    mkdir -p "$corpus" "$artifacts" "$dir"
    echo "== $name fuzzer ($seconds s) =="
    # Each run adds its new inputs to the kept corpus; past a thousand files it is merged down to the inputs that
    # still add coverage, so that loading it never eats into the fuzzer's time.
    if [ "$(find "$corpus" -type f | wc -l)" -gt "${QUILLHAVEN_FUZZ_CORPUS_LIMIT:-1000}" ]; then
        rm -rf "$corpus.merged" && mkdir -p "$corpus.merged"
        if (cd "$dir" && env "${preload[@]}" xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$fuzzer" -merge=1 \
            "$corpus.merged" "$corpus") >"$fuzz_log" 2>&1; then
            rm -rf "$corpus" && mv "$corpus.merged" "$corpus"
            echo "fuzz: kept corpus merged down to $(find "$corpus" -type f | wc -l) inputs"
        fi
    fi
    local status=0
    # Under the virtual X server as well: picture lines create textures, and a texture needs a GL context. With the GL
    # driver kept loaded, as for the tests: a placeholder picture's render texture otherwise leaves the driver's
    # process-long blocks to the leak check as blocks of an unknown module.
    (cd "$dir" && env "${preload[@]}" xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$fuzzer" \
        -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" "$seeds") >"$fuzz_log" 2>&1 ||
        status=$?
    if [ "$status" -ne 0 ] || grep -qE 'runtime error:|ERROR: [A-Za-z]*Sanitizer|ERROR: libFuzzer' "$fuzz_log"; then
        tail -n 80 "$fuzz_log"
        echo "fuzz: $name FAILED (exit status $status); the whole output is in $fuzz_log, the input in $artifacts/;" \
            "minimised, it belongs in $regressions/"
        exit 1
    fi
    grep -E '^#[0-9]+[[:space:]]+DONE' "$fuzz_log" | tail -n 1
    grep -E '^Done [0-9]+ runs' "$fuzz_log" | tail -n 1
}
# The script fuzzer's corpus was kept as fuzz-corpus before there were two.
[ -d "$root/build-asan/fuzz-corpus" ] && [ ! -e "$root/build-asan/fuzz-corpus-script" ] &&
    mv "$root/build-asan/fuzz-corpus" "$root/build-asan/fuzz-corpus-script"
run_fuzzer script 40 "$root/tests/fuzz/seeds" "$root/tests/fuzz/regressions"
run_fuzzer xml 20 "$root/tests/fuzz/xml-seeds" "$root/tests/fuzz/xml-regressions"
