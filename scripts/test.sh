#!/usr/bin/env bash
# Builds Corvane and runs every test: a warnings-as-errors build, its Debian package checked
# and run from an unpacked root, the same suite again under AddressSanitizer +
# UndefinedBehaviorSanitizer, and the fuzz targets for a fixed time each (scripts/fuzz-long.sh
# runs them for 10 million executions instead).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
export TZ=${TZ:-UTC}
fuzz_seconds=${CORVANE_FUZZ_SECONDS:-10}

echo "== Stage 1: build with -Werror and run the tests"
cmake --preset ci >/dev/null
cmake --build --preset ci
ctest --preset ci
# Chinese desktops often have WenQuanYi Micro Hei beside Noto: the drawing tests must hold
# whichever of the two CJK fallbacks fontconfig picks.
echo "== Stage 1b: the ui tests again without WenQuanYi's fonts"
FONTCONFIG_FILE=$PWD/scripts/fontconfig/without-wqy.conf ctest --preset ci -R '^ui/'
echo "== Package: build the .deb, check it and run it from its unpacked root"
scripts/check-package.sh build/ci

echo "== Stage 2: AddressSanitizer + UndefinedBehaviorSanitizer"
cmake --preset asan >/dev/null
cmake --build --preset asan
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp ctest --preset asan

echo "== Stage 3: fuzz every decoder of outside input for ${fuzz_seconds}s per target"
cmake --preset fuzz >/dev/null
fuzzers=$(cd fuzz && ls fuzz_*.cpp | sed 's/\.cpp$//')
for name in $fuzzers; do
    cmake --build build/fuzz -j2 --target "$name"
done
for name in $fuzzers; do
    fuzzer=build/fuzz/fuzz/$name
    corpus=$(mktemp -d)
    [ -d "fuzz/corpus/$name" ] && cp -r "fuzz/corpus/$name/." "$corpus/"
    # fuzz/<target>.options holds flags of that target's own, which override the ones before.
    options=$(cat "fuzz/$name.options" 2>/dev/null || true)
    # shellcheck disable=SC2086
    UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp \
        "$fuzzer" -max_total_time="$fuzz_seconds" -max_len=65536 $options -print_final_stats=1 \
        "$corpus" 2>&1 | tail -n 12
    rm -rf "$corpus"
done
echo "All stages passed."
