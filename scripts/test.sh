#!/usr/bin/env bash
# Builds Corvane and runs every test: a warnings-as-errors build of the programs with the
# roads that drive them from outside (end-to-end, the package checked and run from an unpacked
# root); the whole suite under AddressSanitizer + UndefinedBehaviorSanitizer, once more with
# another CJK font; and the fuzz targets for a fixed time each (scripts/fuzz-long.sh runs them
# for 10 million executions instead). The suite runs only in the sanitizer build: a second,
# plain build of the test runners would cost a third of the run and find nothing it misses.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
export TZ=${TZ:-UTC}
fuzz_seconds=${CORVANE_FUZZ_SECONDS:-10}

echo "== Stage 1: the programs with -Werror, the end-to-end roads and the package"
cmake --preset programs >/dev/null
cmake --build --preset programs
ctest --preset programs
scripts/check-package.sh build/programs

echo "== Stage 2: the suite under AddressSanitizer + UndefinedBehaviorSanitizer"
cmake --preset asan >/dev/null
cmake --build --preset asan
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp
ctest --preset asan
# Chinese desktops often have WenQuanYi Micro Hei beside Noto: the drawing tests must hold
# whichever of the two CJK fallbacks fontconfig picks.
echo "== Stage 2b: the ui tests again without WenQuanYi's fonts"
FONTCONFIG_FILE=$PWD/scripts/fontconfig/without-wqy.conf ctest --preset asan -R '^ui/'
unset ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS

echo "== Stage 3: fuzz every decoder of outside input for ${fuzz_seconds}s per target"
cmake --preset fuzz >/dev/null
fuzzers=$(cd fuzz && ls fuzz_*.cpp | sed 's/\.cpp$//')
# shellcheck disable=SC2086
cmake --build build/fuzz -j2 --target $fuzzers
fuzz_one() {
    local name=$1 corpus options status=0
    corpus=$(mktemp -d)
    [ -d "fuzz/corpus/$name" ] && cp -r "fuzz/corpus/$name/." "$corpus/"
    # fuzz/<target>.options holds flags of that target's own, which override the ones before.
    options=$(cat "fuzz/$name.options" 2>/dev/null || true)
    # shellcheck disable=SC2086
    UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp \
        "build/fuzz/fuzz/$name" -max_total_time="$fuzz_seconds" -max_len=65536 $options \
        -print_final_stats=1 "$corpus" >"build/fuzz/$name.log" 2>&1 || status=$?
    rm -rf "$corpus"
    return $status
}
# Two at a time, one a core; each one's log is printed whole when it fails.
set -- $fuzzers
while [ $# -gt 0 ]; do
    pids=()
    names=()
    for name in "$1" "${2:-}"; do
        [ -n "$name" ] || continue
        fuzz_one "$name" &
        pids+=($!)
        names+=("$name")
    done
    shift $(( $# < 2 ? $# : 2 ))
    for i in "${!pids[@]}"; do
        name=${names[$i]}
        if wait "${pids[$i]}"; then
            echo "-- $name"
            tail -n 12 "build/fuzz/$name.log"
        else
            echo "-- $name FAILED"
            cat "build/fuzz/$name.log"
            exit 1
        fi
    done
done
echo "All stages passed."
