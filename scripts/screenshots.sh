#!/usr/bin/env bash
# Takes the README's screenshots: the home screen, signed in to the demo service, as the window
# first opens on a 1366×768 and on a 1920×1080 screen under a window manager (Xvfb + openbox).
#
#   scripts/screenshots.sh [BUILD_DIR]    (default build/ci; writes docs/screenshots/*.png)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build/ci}")
bin=$build/bin
probe=$(find "$build" -name 'libcorvane-first-paint-probe.so' | head -1)
[[ -x $bin/corvane && -x $bin/corvane-demo-service && -f $probe ]] || {
    echo "screenshots: build $build lacks corvane, the demo service or the probe" >&2
    exit 1
}
command -v Xvfb >/dev/null && command -v openbox >/dev/null || {
    echo "screenshots: needs Xvfb and openbox (scripts/setup.sh installs them)" >&2
    exit 1
}

scratch=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$scratch"
}
trap cleanup EXIT

"$bin/corvane-demo-service" --port 0 >"$scratch/service.out" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do
    grep -q '^account ' "$scratch/service.out" 2>/dev/null && break
    sleep 0.1
done
url=$(sed -n 's/^listening on //p' "$scratch/service.out")
read -r mobile password < <(sed -n 's/^account \([0-9]*\) password \(.*\)$/\1 \2/p' \
    "$scratch/service.out" | head -1)
mkdir -p "$root/docs/screenshots"

for size in 1366x768 1920x1080; do
    home=$scratch/$size
    mkdir -p -m 700 "$home/data" "$home/run" "$home/config/corvane"
    # Signed in before: the sign-in screen shows the stored mobile number and password.
    printf '{"phoneNum": "%s", "pwdNum": "%s"}' "$mobile" "$password" \
        >"$home/config/corvane/settings.json"
    chmod 600 "$home/config/corvane/settings.json"
    display=:$((90 + RANDOM % 100))
    Xvfb "$display" -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    pids+=("$xvfb")
    sleep 1
    DISPLAY=$display openbox >/dev/null 2>&1 &
    pids+=($!)
    sleep 1
    fifo=$scratch/fifo.$size
    mkfifo "$fifo"
    # No session bus: no keyring asks to be set up over the window.
    DISPLAY=$display QT_QPA_PLATFORM=xcb DBUS_SESSION_BUS_ADDRESS=unix:path=$scratch/no-bus \
        XDG_DATA_HOME=$home/data XDG_RUNTIME_DIR=$home/run \
        XDG_CONFIG_HOME=$home/config CORVANE_SERVICE_URL=$url CORVANE_LOOKUP_URL=$url \
        CORVANE_PROBE_COMMANDS=1 LD_PRELOAD=$probe "$bin/corvane" <"$fifo" >/dev/null \
        2>"$scratch/corvane.$size.log" &
    pids+=($!)
    exec {fd}>"$fifo"
    for _ in $(seq 100); do
        grep -q '^ready' "$scratch/corvane.$size.log" && break
        sleep 0.1
    done
    echo "click loginBtn" >&"$fd"
    sleep 3
    echo "grab-screen $root/docs/screenshots/home-$size.png" >&"$fd"
    sleep 1
    echo quit >&"$fd"
    exec {fd}>&-
    sleep 1
    kill "$xvfb" 2>/dev/null || true
    echo "docs/screenshots/home-$size.png"
done
