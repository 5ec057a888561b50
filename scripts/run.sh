#!/usr/bin/env bash
# Builds Corvane and runs its demo: the quick connect screen connects through the stand-in tunnel
# helper, shows the tunnel up, disconnects and quits. Without a display it runs under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release --target corvane corvane-tunnel-helper

bin=$PWD/build/release/bin
export CORVANE_TUNNEL_HELPER=$bin/corvane-tunnel-helper
export CORVANE_RELAY_HOST=127.0.0.1
# The demo keeps its VPN profile and tunnel status in folders of its own, away from the user's.
demo_home=$(mktemp -d)
trap 'rm -rf "$demo_home"' EXIT
mkdir -m 700 "$demo_home/data" "$demo_home/runtime" "$demo_home/config"
export XDG_DATA_HOME=$demo_home/data XDG_RUNTIME_DIR=$demo_home/runtime XDG_CONFIG_HOME=$demo_home/config

if [ -n "${DISPLAY:-}" ]; then
    "$bin/corvane" --demo
else
    xvfb-run -a -s "-screen 0 1024x900x24" "$bin/corvane" --demo
fi
