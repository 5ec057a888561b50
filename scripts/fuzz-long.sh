#!/usr/bin/env bash
# Runs every libFuzzer target (or the ones named as arguments) for at least 10 million executions
# (CORVANE_FUZZ_RUNS changes the count), CORVANE_FUZZ_JOBS targets at a time (2 by default), and
# prints each target's figures. fuzz/<target>.options holds flags of that target's own.
# The grown corpora, logs and any crashing inputs are kept under build/fuzz/long-run/; with
# CORVANE_FUZZ_KEEP=1 a target that passed has its grown corpus minimised (-merge=1) into
# fuzz/corpus/<target>/, replacing the seeds there.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
runs=${CORVANE_FUZZ_RUNS:-10000000}
jobs=${CORVANE_FUZZ_JOBS:-2}
out=$PWD/build/fuzz/long-run

cmake --preset fuzz >/dev/null
fuzzers=${*:-$(cd fuzz && ls fuzz_*.cpp | sed 's/\.cpp$//')}
for name in $fuzzers; do
    cmake --build build/fuzz -j2 --target "$name"
done

mkdir -p "$out"
run_one() {
    local name=$1 corpus=$out/corpus-$1
    mkdir -p "$corpus"
    [ -d "fuzz/corpus/$name" ] && cp -r "fuzz/corpus/$name/." "$corpus/"
    local started=$SECONDS status=0 options
    options=$(cat "fuzz/$name.options" 2>/dev/null || true)
    # ASan's default 256 MB quarantine outlives any one input by far, and only makes each target
    # touch fresh memory until it has grown that large: 16 MB still catches a use after free.
    # shellcheck disable=SC2086
    ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=16} UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
        LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp "build/fuzz/fuzz/$name" -runs="$runs" -max_len=65536 $options -print_final_stats=1 \
        -artifact_prefix="$out/$name-" "$corpus" >"$out/$name.log" 2>&1 || status=$?
    echo "$status $((SECONDS - started))" >"$out/$name.result"
    if [ "$status" -eq 0 ] && [ "${CORVANE_FUZZ_KEEP:-0}" = 1 ]; then
        local kept=$out/kept-$name
        rm -rf "$kept" && mkdir -p "$kept"
        # shellcheck disable=SC2086
        LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp "build/fuzz/fuzz/$name" -merge=1 \
            -max_len=65536 $options "$kept" "$corpus" >"$out/$name.merge.log" 2>&1 &&
            rm -rf "fuzz/corpus/$name" && cp -r "$kept" "fuzz/corpus/$name"
    fi
}
export -f run_one
export out runs
printf '%s\n' $fuzzers | xargs -P "$jobs" -I{} bash -c 'run_one {}'

failed=0
printf '%-22s %12s %8s %10s %8s %s\n' target executions seconds exec/s rss_mb result
for name in $fuzzers; do
    read -r status seconds <"$out/$name.result"
    executed=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/$name.log")
    rss=$(sed -n 's/^stat::peak_rss_mb: *//p' "$out/$name.log")
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$out/$name.log")
    result=ok
    if [ "$status" -ne 0 ]; then
        result="FAILED (exit $status, see $out/$name.log)"
        failed=1
    fi
    printf '%-22s %12s %8s %10s %8s %s\n' "$name" "${executed:-?}" "$seconds" "${speed:-?}" \
        "${rss:-?}" "$result"
done
exit $failed
