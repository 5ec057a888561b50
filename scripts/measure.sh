#!/usr/bin/env bash
# Builds the release preset and measures Corvane side by side with a minimal Qt Widgets window
# (bench/window/minimal_window.cpp): first paint, instructions from start to first paint to quit
# (valgrind's callgrind, when installed), peak RSS, and CPU time and wake-ups per second while
# the window sits in each state, on the offscreen platform and on a real X server (xcb: the
# running one, or an Xvfb with openbox of its own when there is no DISPLAY). Prints Markdown
# tables; start-up rows give Corvane's ratio to the minimal window and then to the minimal
# window showing Corvane's texts and fonts.
#
#   scripts/measure.sh            short run: 5 s windows, 5 start-up pairs
#   scripts/measure.sh --long     20 s windows, 9 start-up pairs
#   scripts/measure.sh --no-build measure what build/release holds
#   scripts/measure.sh --corvane=PATH   measure another corvane binary (say, an earlier build)
#   scripts/measure.sh --baseline=PATH  also start and sample this corvane (say, main's), in turn
#   scripts/measure.sh --platforms=LIST offscreen,xcb unless given (start-up on the first)
#   scripts/measure.sh --traffic        bytes move through the tunnel all along the window's
#                                       states (a fetch every 0.2 s through its SOCKS5 port),
#                                       so the traffic line redraws every second while shown;
#                                       with --baseline from before that line, its cost
#   scripts/measure.sh --bin-dir=DIR    the programs of another build tree (DIR/bin, DIR/bench)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=5
pairs=5
build=1
corvane=
baseline=
platforms=offscreen,xcb
traffic=0
tree=$root/build/release
for arg in "$@"; do
    case $arg in
    --long) seconds=20 pairs=9 ;;
    --no-build) build=0 ;;
    --corvane=*) corvane=$(realpath "${arg#--corvane=}") ;;
    --baseline=*) baseline=$(realpath "${arg#--baseline=}") ;;
    --platforms=*) platforms=${arg#--platforms=} ;;
    --traffic) traffic=1 ;;
    --bin-dir=*) tree=$(realpath "${arg#--bin-dir=}") build=0 ;;
    -h | --help)
        sed -n '2,21p' "$0" | sed 's/^# \{0,1\}//'
        exit 0
        ;;
    *)
        echo "measure: unknown option $arg" >&2
        exit 2
        ;;
    esac
done

bin=$tree/bin
probe=$tree/bench/libcorvane-first-paint-probe.so
if ((build)); then
    cmake --preset release >/dev/null
    cmake --build build/release --target corvane corvane-gallery corvane-tunnel-helper \
        corvane-demo-service corvane-minimal-window corvane-first-paint-probe >/dev/null
fi
cd "$root"
[[ -f $probe ]] || probe=$(find "$tree" -name 'libcorvane-first-paint-probe.so' | head -1)
minimal=$(find "$tree" -name corvane-minimal-window -type f | head -1)
corvane=${corvane:-$bin/corvane}
[[ -x $corvane && -x $minimal && -f $probe && -x $bin/corvane-demo-service ]] || {
    echo "measure: $tree lacks corvane, the minimal window, the probe or the demo service" >&2
    exit 1
}
[[ -z $baseline || -x $baseline ]] || {
    echo "measure: no program $baseline" >&2
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
export XDG_RUNTIME_DIR=$scratch/run XDG_DATA_HOME=$scratch/data XDG_CONFIG_HOME=$scratch/config
export CORVANE_RELAY_HOST=127.0.0.1 CORVANE_TUNNEL_HELPER=$bin/corvane-tunnel-helper
mkdir -p "$XDG_RUNTIME_DIR" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME"
chmod 700 "$XDG_RUNTIME_DIR"

# The quick connect screen's relay: the tunnel is on (and the button pulses) only once a relay
# takes its connection.
"$bin/corvane-demo-service" --port 0 >"$scratch/service.out" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
    grep -q '^plain relay on ' "$scratch/service.out" && break
    sleep 0.1
done
CORVANE_RELAY_PORT=$(sed -n 's/^plain relay on .*:\([0-9]*\)$/\1/p' "$scratch/service.out")
[[ -n $CORVANE_RELAY_PORT ]] || {
    echo "measure: the demo service did not start its relay" >&2
    exit 1
}
export CORVANE_RELAY_PORT
servicePort=$(sed -n 's|^listening on http://127.0.0.1:\([0-9]*\)$|\1|p' "$scratch/service.out")

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

# CPU ms per second and wake-ups per second of every NAME=PID given, over the same window.
declare -A cpu wake
sample() {
    local state=$1 entry t0 t1 elapsed
    shift
    for entry in "$@"; do counters "${entry#*=}" >"$scratch/${entry%%=*}.0"; done
    t0=$(date +%s%N)
    sleep "$seconds"
    for entry in "$@"; do counters "${entry#*=}" >"$scratch/${entry%%=*}.1"; done
    t1=$(date +%s%N)
    elapsed=$(awk -v t0="$t0" -v t1="$t1" 'BEGIN { print (t1 - t0) / 1e9 }')
    for entry in "$@"; do
        read -r -a used <<<"$(spent "$scratch/${entry%%=*}.0" "$scratch/${entry%%=*}.1")"
        cpu[$platform, $state, ${entry%%=*}]=$(awk -v d="${used[0]}" -v s="$elapsed" \
            'BEGIN { printf "%.1f", d / 1e6 / s }')
        wake[$platform, $state, ${entry%%=*}]=$(awk -v d="${used[1]}" -v s="$elapsed" \
            'BEGIN { printf "%.1f", d / s }')
    done
}

# Every window of the X server to another workspace and back: the window manager unmaps them
# there, as it does for a window left on another workspace.
workspace() {
    /usr/bin/python3 - "$1" <<'PY'
import sys
from Xlib import X, display
from Xlib.protocol import event
screen = display.Display()
root = screen.screen().root
root.send_event(event.ClientMessage(window=root, client_type=screen.intern_atom("_NET_CURRENT_DESKTOP"),
                                    data=(32, [int(sys.argv[1]), X.CurrentTime, 0, 0, 0])),
                event_mask=X.SubstructureRedirectMask | X.SubstructureNotifyMask)
screen.sync()
PY
}

# An X server with a window manager for the xcb platform, when none is running.
startX() {
    [[ -n ${DISPLAY:-} ]] && return 0
    if ! command -v Xvfb >/dev/null || ! command -v openbox >/dev/null; then
        echo "measure: xcb needs Xvfb and openbox (scripts/setup.sh installs them)" >&2
        exit 1
    fi
    # Xvfb picks a free display and writes its number on descriptor 3.
    Xvfb -displayfd 3 -screen 0 1366x768x24 -nolisten tcp 3>"$scratch/display" >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do
        [[ -s $scratch/display ]] && break
        sleep 0.1
    done
    DISPLAY=:$(head -1 "$scratch/display")
    export DISPLAY
    openbox >/dev/null 2>&1 &
    pids+=($!)
    sleep 1
}

IFS=, read -r -a platformList <<<"$platforms"
echo "measuring on ${platformList[*]}, ${seconds} s windows, $pairs start-up pairs$( ((traffic)) && echo ", bytes moving through the tunnel")" >&2

# Start-up on the first platform, alternating so that all see the same load on a shared
# machine. The minimal window also runs showing the quick connect screen's Chinese texts in its
# three fonts ("look"): the cost of that look in plain Qt.
platform=${platformList[0]}
[[ $platform == xcb ]] && startX
export QT_QPA_PLATFORM=$platform
: >"$scratch/minimal.start"
: >"$scratch/look.start"
: >"$scratch/corvane.start"
: >"$scratch/baseline.start"
for _ in $(seq "$pairs"); do
    startOnce "$minimal" >>"$scratch/minimal.start"
    startOnce "$minimal" --corvane-texts >>"$scratch/look.start"
    startOnce "$corvane" --quick-connect >>"$scratch/corvane.start"
    [[ -z $baseline ]] || startOnce "$baseline" --quick-connect >>"$scratch/baseline.start"
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
paintBaseline=- rssBaseline=- insBaseline=-
if [[ -n $baseline ]]; then
    paintBaseline=$(cut -d' ' -f1 "$scratch/baseline.start" | median)
    rssBaseline=$(cut -d' ' -f2 "$scratch/baseline.start" | median)
    insBaseline=$(instructions "$baseline" --quick-connect)
fi
startPlatform=$platform

# Tunnel on in the quick connect window: visible, minimised, hidden, on another workspace (xcb),
# and visible again, sampled over the same seconds as the minimal window. The baseline, when
# given, goes through the same right after, in a home of its own (one window per user).
states() {
    local name=$1 program=$2 home=$scratch/$1.$platform fd pid log
    mkdir -p "$home/data" "$home/config" "$home/run"
    chmod 700 "$home/run"
    XDG_RUNTIME_DIR=$home/run XDG_DATA_HOME=$home/data XDG_CONFIG_HOME=$home/config \
        startDriven "$program" --quick-connect
    fd=$started_fd pid=$started_pid log=$started_log
    startDriven "$minimal"
    echo "click connect" >&"$fd"
    sleep 4
    local mover=
    if ((traffic)); then
        local socks
        socks=$(awk '{ print $2 }' "$home"/run/corvane/*.proxy 2>/dev/null | head -1)
        [[ -n $socks ]] || {
            echo "measure: $name's tunnel has no local proxy to carry traffic" >&2
            exit 1
        }
        while :; do
            curl -s --socks5-hostname "127.0.0.1:$socks" "http://127.0.0.1:$servicePort/ip" \
                -o /dev/null || true
            sleep 0.2
        done &
        mover=$!
        pids+=("$mover")
        sleep 2
    fi
    echo count >&"$fd"
    sample visible "$name=$pid" "minimal.$name=$started_pid"
    echo paints >&"$fd"
    for state in minimise hide; do
        echo "$state" >&"$fd"
        echo "$state" >&"$started_fd"
        sleep 1
        sample "$state" "$name=$pid" "minimal.$name=$started_pid"
        echo show >&"$fd"
        echo show >&"$started_fd"
        sleep 1
    done
    if [[ $platform == xcb ]]; then
        workspace 1
        sleep 1
        sample unmapped "$name=$pid" "minimal.$name=$started_pid"
        workspace 0
        sleep 1
    fi
    sample shown "$name=$pid" "minimal.$name=$started_pid"
    [[ -z $mover ]] || kill "$mover" 2>/dev/null || true
    echo quit >&"$fd"
    echo quit >&"$started_fd"
    wait "$pid" "$started_pid" || true
    # The halo's frames, and the paints of the screen beneath it that they caused.
    frames[$platform, $name]=$(awk -v s="$seconds" \
        '/^paints: corvane::PulseHalo / { printf "%.1f", $3 / s }' "$log")
    screens[$platform, $name]=$(awk -v s="$seconds" \
        '/^paints: corvane::MainViewController / { printf "%.1f", $3 / s }' "$log")
}

declare -A frames screens
for platform in "${platformList[@]}"; do
    [[ $platform == xcb ]] && startX
    export QT_QPA_PLATFORM=$platform
    states corvane "$corvane"
    [[ -z $baseline ]] || states baseline "$baseline"

    # The gallery's index after every page was built and shown once: they exist, off screen.
    # Builds before corvane-gallery existed showed the gallery with corvane --gallery.
    startDriven "$minimal"
    minimalPid=$started_pid minimalFd=$started_fd
    gallery=$(dirname "$corvane")/corvane-gallery
    if [[ -x $gallery ]]; then startDriven "$gallery"; else startDriven "$corvane" --gallery; fi
    galleryPid=$started_pid galleryFd=$started_fd
    for _ in $(seq 40); do
        echo "key PgDown" >&"$galleryFd"
        sleep 0.05
    done
    echo "key Esc" >&"$galleryFd"
    sleep 1
    sample gallery minimal.corvane="$minimalPid" corvane="$galleryPid"
    echo quit >&"$galleryFd"
    echo quit >&"$minimalFd"
    wait "$galleryPid" "$minimalPid" || true
done

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0 && a != "-") printf " (%.2f×)", a / b }'; }
mib() { awk -v k="$1" 'BEGIN { printf "%.1f MiB", k / 1024 }'; }
# A start-up figure as "$2" shows it, then its ratios to the minimal window's "$3" and to the
# same look's "$4" in plain Qt.
startup() {
    if [[ $1 == - ]]; then echo "-"; else echo "$2$(ratio "$1" "$3")$(ratio "$1" "$4")"; fi
}
figure() {
    [[ -n ${cpu[$1, $2, $3]:-} ]] || {
        echo "-"
        return
    }
    echo "${cpu[$1, $2, $3]} ms CPU/s, ${wake[$1, $2, $3]} wake-ups/s"
}

for platform in "${platformList[@]}"; do
    echo
    echo "**$platform**"
    echo
    echo "| Measure | Corvane | Baseline | Minimal Qt window | Minimal window, Corvane's texts and fonts |"
    echo "|---|---|---|---|---|"
    for state in visible minimise hide unmapped shown gallery; do
        [[ -n ${cpu[$platform, $state, corvane]:-} ]] || continue
        case $state in
        visible) label="tunnel on, quick connect visible (pulse running)" ;;
        minimise) label="tunnel on, window minimised" ;;
        hide) label="tunnel on, window hidden" ;;
        unmapped) label="tunnel on, window on another workspace (unmapped)" ;;
        shown) label="tunnel on, shown again" ;;
        gallery) label="gallery index showing, pages hidden" ;;
        esac
        echo "| $label | $(figure "$platform" "$state" corvane) |" \
            "$(figure "$platform" "$state" baseline) | $(figure "$platform" "$state" minimal.corvane) | - |"
    done
    echo "| halo frames per second, pulse running | ${frames[$platform, corvane]:-0} |" \
        "${frames[$platform, baseline]:--} | - | - |"
    echo "| screen repaints per second, pulse running | ${screens[$platform, corvane]:-0} |" \
        "${screens[$platform, baseline]:--} | - | - |"
    [[ $platform == "$startPlatform" ]] || continue
    # Start-up ratios: each corvane against the minimal window, then against the same look in
    # plain Qt.
    echo "| first paint ($platform, median) |" \
        "$(startup "$paintCorvane" "$paintCorvane ms" "$paintMinimal" "$paintLook") |" \
        "$(startup "$paintBaseline" "$paintBaseline ms" "$paintMinimal" "$paintLook") |" \
        "$paintMinimal ms | $paintLook ms |"
    echo "| instructions, start → first paint → quit |" \
        "$(startup "$insCorvane" "$insCorvane" "$insMinimal" "$insLook") |" \
        "$(startup "$insBaseline" "$insBaseline" "$insMinimal" "$insLook") | $insMinimal | $insLook |"
    echo "| peak RSS (median) |" \
        "$(startup "$rssCorvane" "$(mib "$rssCorvane")" "$rssMinimal" "$rssLook") |" \
        "$(startup "$rssBaseline" "$(mib "$rssBaseline")" "$rssMinimal" "$rssLook") |" \
        "$(mib "$rssMinimal") | $(mib "$rssLook") |"
done
