#!/usr/bin/env bash
# Takes the README's screenshots under Xvfb and a window manager (openbox), signed in to the demo
# service: the home screen as the window first opens on a 1366×768 and on a 1920×1080 screen, and
# the home screen connected through the demo's relay (an order, 广东, the public address the demo
# gives and the local proxy line).
#
#   scripts/screenshots.sh [BUILD_DIR]    (default build/ci; writes docs/screenshots/*.png)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build/ci}")
bin=$build/bin
probe=$(find "$build" -name 'libcorvane-first-paint-probe.so' | head -1)
[[ -x $bin/corvane && -x $bin/corvane-demo-service && -x $bin/corvane-tunnel-helper &&
    -f $probe ]] || {
    echo "screenshots: build $build lacks corvane, the demo service, the tunnel helper or the" \
        "probe" >&2
    exit 1
}
if ! command -v Xvfb >/dev/null || ! command -v openbox >/dev/null ||
    ! /usr/bin/python3 -c 'import Xlib.ext.xtest' 2>/dev/null; then
    echo "screenshots: needs Xvfb, openbox and python3-xlib (scripts/setup.sh installs them)" >&2
    exit 1
fi

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
relay=$(sed -n 's/^relay on 127.0.0.1://p' "$scratch/service.out")
read -r mobile password < <(sed -n 's/^account \([0-9]*\) password \(.*\)$/\1 \2/p' \
    "$scratch/service.out" | head -1)
# Every connection through the tunnel, as run.sh has it.
mkdir -m 700 "$scratch/rules"
echo '{"rules": [{"type": "final", "action": "proxy"}]}' >"$scratch/rules/rules.json"
mkdir -p "$root/docs/screenshots"

# Presses keys as a person would, into the window with the focus: sheets and lists take arrow
# keys from their own rows, which the probe's "key" does not reach.
press() {
    DISPLAY=$1 /usr/bin/python3 - "${@:2}" <<'EOF'
import sys, time
from Xlib import X, XK, display
from Xlib.ext import xtest
screen = display.Display()
for chord in sys.argv[1:]:
    codes = [screen.keysym_to_keycode(XK.string_to_keysym(name)) for name in chord.split('+')]
    for code in codes:
        xtest.fake_input(screen, X.KeyPress, code)
    for code in reversed(codes):
        xtest.fake_input(screen, X.KeyRelease, code)
    screen.sync()
    time.sleep(0.2)
EOF
}

# shoot NAME SIZE STEP...: opens Corvane on a screen of SIZE and signs in; each STEP is a probe
# command, "keys KEY..." or "wait SECONDS".
shoot() {
    local name=$1 size=$2 home=$scratch/$1
    shift 2
    (umask 077 && mkdir -p "$home/data" "$home/run" "$home/config/corvane")
    # Signed in before: the sign-in screen shows the stored mobile number and password.
    printf '{"phoneNum": "%s", "pwdNum": "%s"}' "$mobile" "$password" \
        >"$home/config/corvane/settings.json"
    chmod 600 "$home/config/corvane/settings.json"
    local display=:$((90 + RANDOM % 100))
    Xvfb "$display" -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 &
    local xvfb=$!
    pids+=("$xvfb")
    sleep 1
    DISPLAY=$display openbox >/dev/null 2>&1 &
    pids+=($!)
    sleep 1
    local fifo=$scratch/fifo.$name fd
    mkfifo "$fifo"
    # No session bus: no keyring asks to be set up over the window.
    DISPLAY=$display QT_QPA_PLATFORM=xcb DBUS_SESSION_BUS_ADDRESS=unix:path=$scratch/no-bus \
        XDG_DATA_HOME=$home/data XDG_RUNTIME_DIR=$home/run XDG_CONFIG_HOME=$home/config \
        CORVANE_SERVICE_URL=$url CORVANE_LOOKUP_URL=$url CORVANE_RULES_DIR=$scratch/rules \
        CORVANE_TUNNEL_HOST=127.0.0.1 CORVANE_TUNNEL_PORT=$relay \
        CORVANE_TUNNEL_HELPER=$bin/corvane-tunnel-helper \
        CORVANE_PROBE_COMMANDS=1 LD_PRELOAD=$probe "$bin/corvane" <"$fifo" >/dev/null \
        2>"$scratch/corvane.$name.log" &
    pids+=($!)
    exec {fd}>"$fifo"
    for _ in $(seq 100); do
        grep -q '^ready' "$scratch/corvane.$name.log" && break
        sleep 0.1
    done
    echo "click loginBtn" >&"$fd"
    sleep 3
    local step keys
    for step in "$@"; do
        case $step in
        keys\ *)
            read -r -a keys <<<"${step#keys }"
            press "$display" "${keys[@]}"
            ;;
        wait\ *) sleep "${step#wait }" ;;
        *)
            echo "$step" >&"$fd"
            sleep 1.5
            ;;
        esac
    done
    echo quit >&"$fd"
    exec {fd}>&-
    sleep 1
    kill "$xvfb" 2>/dev/null || true
}

for size in 1366x768 1920x1080; do
    shoot "$size" "$size" "grab-screen $root/docs/screenshots/home-$size.png"
    echo "docs/screenshots/home-$size.png"
done

# The third order (带宽订单-20M/季) and 广东 (19 rows below the list's 随机省份), connected, once
# the lookup a step after the tunnel came up has answered.
shoot home_on 1024x900 "click orderRow" "keys Down Down Return" "click provinceRow" \
    "keys $(printf 'Down %.0s' $(seq 19))" "keys Control_L+s" "click connectBtn" "wait 5" \
    "grab $root/docs/screenshots/home_on.png"
echo "docs/screenshots/home_on.png"
