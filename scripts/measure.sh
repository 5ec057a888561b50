#!/usr/bin/env bash
# Builds the release preset and measures Corvane side by side with a minimal Qt Widgets window
# (bench/window/minimal_window.cpp): first paint, instructions from start to first paint to quit
# (valgrind's callgrind, when installed), peak RSS, and CPU time and wake-ups per second while
# the window sits in each state. Prints one Markdown table; start-up rows give Corvane's ratio to
# the minimal window and then to the minimal window showing Corvane's texts and fonts.
#
#   scripts/measure.sh            short run: 5 s windows, 5 start-up pairs
#   scripts/measure.sh --long     20 s windows, 9 start-up pairs
#   scripts/measure.sh --no-build measure what build/release holds
#   scripts/measure.sh --corvane=PATH  measure another corvane binary (say, an earlier build)
#
# QT_QPA_PLATFORM picks the platform (offscreen unless set; "xcb" under a running X server).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=5
pairs=5
build=1
corvane=
for arg in "$@"; do
    case $arg in
    --long) seconds=20 pairs=9 ;;
    --no-build) build=0 ;;
    --corvane=*) corvane=$(realpath "${arg#--corvane=}") ;;
    -h | --help)
        sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'
        exit 0
        ;;
    *)
        echo "measure: unknown option $arg" >&2
        exit 2
        ;;
    esac
done

bin=$root/build/release/bin
probe=$root/build/release/bench/libcorvane-first-paint-probe.so
if ((build)); then
    cmake --preset release >/dev/null
    cmake --build build/release --target corvane corvane-gallery corvane-tunnel-helper \
        corvane-minimal-window corvane-first-paint-probe >/dev/null
fi
cd "$root"
[[ -f $probe ]] || probe=$(find build/release -name 'libcorvane-first-paint-probe.so' | head -1)
minimal=$(find build/release -name corvane-minimal-window -type f | head -1)
corvane=${corvane:-$bin/corvane}
[[ -x $corvane && -x $minimal && -f $probe ]] || {
    echo "measure: build/release lacks corvane, the minimal window or the probe" >&2
    exit 1
}
probe=$(realpath "$probe")

scratch=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$scratch"
}
trap cleanup EXIT
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
export XDG_RUNTIME_DIR=$scratch/run XDG_DATA_HOME=$scratch/data XDG_CONFIG_HOME=$scratch/config
export CORVANE_RELAY_HOST=127.0.0.1 CORVANE_TUNNEL_HELPER=$bin/corvane-tunnel-helper
mkdir -p "$XDG_RUNTIME_DIR" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME"
chmod 700 "$XDG_RUNTIME_DIR"

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# One start to first paint to quit: prints "<first paint ms> <peak RSS KiB>".
startOnce() {
    local log=$scratch/start.log
    CORVANE_PROBE_T0_US=$(($(date +%s%N) / 1000)) LD_PRELOAD=$probe \
        /usr/bin/time -f 'rss %M' "$@" >/dev/null 2>"$log" || true
    awk '/^first paint:/ { paint = $3 } /^rss / { rss = $2 } END { print paint, rss }' "$log"
}

# Instructions from start to first paint to quit.
instructions() {
    command -v valgrind >/dev/null || {
        echo "-"
        return
    }
    LD_PRELOAD=$probe valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 \
        >/dev/null | awk '/Collected :/ { print $NF }'
}

# Per thread of a process: "tid cpu-ns switches" (each switch a wake-up of the thread), CPU time
# from schedstat's nanoseconds rather than stat's 10 ms ticks.
counters() {
    local pid=$1 task cpu
    for task in /proc/"$pid"/task/*; do
        read -r cpu _ 2>/dev/null <"$task/schedstat" || continue
        echo "${task##*/} $cpu $(awk '/ctxt_switches/ { s += $2 } END { print s + 0 }' \
            "$task/status" 2>/dev/null || echo 0)"
    done
}

# "cpu-ns switches" spent between two snapshots of counters: a thread that ended in between is
# left out (its counts went with it), one that started is counted from zero.
spent() {
    awk 'NR == FNR { cpu[$1] = $2; sw[$1] = $3; next }
         { c += $2 - cpu[$1]; s += $3 - sw[$1] }
         END { print c + 0, s + 0 }' "$1" "$2"
}

# Starts "$@" with the probe taking commands on a FIFO; sets $started_pid and $started_fd.
startDriven() {
    local fifo=$scratch/fifo.$RANDOM log=$scratch/driven.$RANDOM
    mkfifo "$fifo"
    CORVANE_PROBE_COMMANDS=1 LD_PRELOAD=$probe "$@" <"$fifo" >/dev/null 2>"$log" &
    started_pid=$!
    started_log=$log
    pids+=("$started_pid")
    exec {started_fd}>"$fifo"
    for _ in $(seq 100); do
        grep -q '^ready' "$log" && return 0
        sleep 0.1
    done
    echo "measure: $* did not paint" >&2
    exit 1
}

# CPU ms per second and wake-ups per second of both processes over the same window.
declare -A cpu wake
sample() {
    local state=$1 a=$2 b=$3 t0 t1 spentA spentB
    counters "$a" >"$scratch/a0"
    counters "$b" >"$scratch/b0"
    t0=$(date +%s%N)
    sleep "$seconds"
    counters "$a" >"$scratch/a1"
    counters "$b" >"$scratch/b1"
    t1=$(date +%s%N)
    read -r -a spentA <<<"$(spent "$scratch/a0" "$scratch/a1")"
    read -r -a spentB <<<"$(spent "$scratch/b0" "$scratch/b1")"
    local elapsed
    elapsed=$(awk -v t0="$t0" -v t1="$t1" 'BEGIN { print (t1 - t0) / 1e9 }')
    cpu[$state, minimal]=$(awk -v d="${spentA[0]}" -v s="$elapsed" 'BEGIN { printf "%.1f", d / 1e6 / s }')
    cpu[$state, corvane]=$(awk -v d="${spentB[0]}" -v s="$elapsed" 'BEGIN { printf "%.1f", d / 1e6 / s }')
    wake[$state, minimal]=$(awk -v d="${spentA[1]}" -v s="$elapsed" 'BEGIN { printf "%.1f", d / s }')
    wake[$state, corvane]=$(awk -v d="${spentB[1]}" -v s="$elapsed" 'BEGIN { printf "%.1f", d / s }')
}

echo "measuring on $QT_QPA_PLATFORM, ${seconds} s windows, $pairs start-up pairs" >&2

# Start-up, alternating so that all see the same load on a shared machine. The minimal window
# also runs showing the quick connect screen's Chinese texts in its three fonts ("look"): the
# cost of that look in plain Qt.
: >"$scratch/minimal.start"
: >"$scratch/look.start"
: >"$scratch/corvane.start"
for _ in $(seq "$pairs"); do
    startOnce "$minimal" >>"$scratch/minimal.start"
    startOnce "$minimal" --corvane-texts >>"$scratch/look.start"
    startOnce "$corvane" --quick-connect >>"$scratch/corvane.start"
done
paintMinimal=$(cut -d' ' -f1 "$scratch/minimal.start" | median)
paintLook=$(cut -d' ' -f1 "$scratch/look.start" | median)
paintCorvane=$(cut -d' ' -f1 "$scratch/corvane.start" | median)
rssMinimal=$(cut -d' ' -f2 "$scratch/minimal.start" | median)
rssLook=$(cut -d' ' -f2 "$scratch/look.start" | median)
rssCorvane=$(cut -d' ' -f2 "$scratch/corvane.start" | median)
insMinimal=$(instructions "$minimal")
insLook=$(instructions "$minimal" --corvane-texts)
insCorvane=$(instructions "$corvane" --quick-connect)

# Tunnel on in the quick connect window: connect, wait for the pulse, then visible, minimised,
# hidden, and visible again.
startDriven "$minimal"
minimalPid=$started_pid minimalFd=$started_fd
startDriven "$corvane" --quick-connect
corvanePid=$started_pid corvaneFd=$started_fd corvaneLog=$started_log
echo "click connect" >&"$corvaneFd"
sleep 4
echo count >&"$corvaneFd"
sample visible "$minimalPid" "$corvanePid"
echo paints >&"$corvaneFd"
for state in minimise hide; do
    echo "$state" >&"$minimalFd"
    echo "$state" >&"$corvaneFd"
    sleep 1
    sample "$state" "$minimalPid" "$corvanePid"
    echo show >&"$minimalFd"
    echo show >&"$corvaneFd"
    sleep 1
done
sample shown "$minimalPid" "$corvanePid"
echo quit >&"$corvaneFd"
wait "$corvanePid" || true
# Paints of the window's own widget (the screen), which every halo frame repaints.
frames=$(awk -v s="$seconds" '/^paints: corvane::MainViewController / { printf "%.1f", $3 / s }' \
    "$corvaneLog")

# The gallery's index after every page was built and shown once: they exist, off screen.
# Builds before corvane-gallery existed showed the gallery with corvane --gallery.
gallery=$(dirname "$corvane")/corvane-gallery
if [[ -x $gallery ]]; then startDriven "$gallery"; else startDriven "$corvane" --gallery; fi
galleryPid=$started_pid galleryFd=$started_fd
for _ in $(seq 40); do
    echo "key PgDown" >&"$galleryFd"
    sleep 0.05
done
echo "key Esc" >&"$galleryFd"
sleep 1
sample gallery "$minimalPid" "$galleryPid"
echo quit >&"$galleryFd"
echo quit >&"$minimalFd"
wait "$galleryPid" "$minimalPid" || true

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0 && a != "-") printf " (%.2f×)", a / b }'; }
mib() { awk -v k="$1" 'BEGIN { printf "%.1f MiB", k / 1024 }'; }

echo "| Measure | Corvane | Minimal Qt window | Minimal window, Corvane's texts and fonts |"
echo "|---|---|---|---|"
for state in visible minimise hide shown gallery; do
    case $state in
    visible) label="tunnel on, quick connect visible (pulse running)" ;;
    minimise) label="tunnel on, window minimised" ;;
    hide) label="tunnel on, window hidden" ;;
    shown) label="tunnel on, shown again" ;;
    gallery) label="gallery index showing, pages hidden" ;;
    esac
    echo "| $label | ${cpu[$state, corvane]} ms CPU/s, ${wake[$state, corvane]} wake-ups/s |" \
        "${cpu[$state, minimal]} ms CPU/s, ${wake[$state, minimal]} wake-ups/s | - |"
done
echo "| screen repaints per second, pulse running | ${frames:-0} | - | - |"
# Start-up ratios: Corvane against the minimal window, then against the same look in plain Qt.
echo "| first paint ($QT_QPA_PLATFORM, median) | $paintCorvane ms$(ratio "$paintCorvane" "$paintMinimal")$(ratio "$paintCorvane" "$paintLook") |" \
    "$paintMinimal ms | $paintLook ms |"
echo "| instructions, start → first paint → quit | $insCorvane$(ratio "$insCorvane" "$insMinimal")$(ratio "$insCorvane" "$insLook") |" \
    "$insMinimal | $insLook |"
echo "| peak RSS (median) | $(mib "$rssCorvane")$(ratio "$rssCorvane" "$rssMinimal")$(ratio "$rssCorvane" "$rssLook") |" \
    "$(mib "$rssMinimal") | $(mib "$rssLook") |"
