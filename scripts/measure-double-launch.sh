#!/usr/bin/env bash
# Two `corvane --connect` launched at once on a fresh store, both ended with SIGTERM once their
# tunnels are up, RUNS times (20 by default): prints the profiles made and the helpers left
# running after each run, and the total left (which must be 0).
#
#     scripts/measure-double-launch.sh BIN_DIR [RUNS]
set -euo pipefail
bin=$(cd "$1" && pwd)
runs=${2:-20}
left_total=0
# `corvane --connect` signs no string, so its tunnel goes through the demo service's plain relay.
service_out=$(mktemp)
"$bin/corvane-demo-service" --port 0 >"$service_out" 2>/dev/null & service=$!
trap 'kill "$service"; rm -f "$service_out"' EXIT
while [ "$(wc -l <"$service_out")" -lt 3 ]; do sleep 0.05; done
plain_port=$(sed -n 3p "$service_out" | sed 's/.*://')
for i in $(seq 1 "$runs"); do
    home=$(mktemp -d /tmp/corvane-double-XXXXXX)
    mkdir -p "$home/data" "$home/config" "$home/run"
    chmod 700 "$home/run"
    export XDG_DATA_HOME=$home/data XDG_CONFIG_HOME=$home/config XDG_RUNTIME_DIR=$home/run
    export QT_QPA_PLATFORM=offscreen CORVANE_TUNNEL_HOST=127.0.0.1 CORVANE_TUNNEL_PORT=$plain_port
    mkdir -p "$home/config/corvane"
    printf '{"socksPort": 0, "httpProxyPort": 0}' >"$home/config/corvane/settings.json"
    export CORVANE_TUNNEL_HELPER=$bin/corvane-tunnel-helper
    "$bin/corvane" --connect >/dev/null 2>&1 & first=$!
    "$bin/corvane" --connect >/dev/null 2>&1 & second=$!
    for _ in $(seq 1 200); do
        statuses=$(cat "$home"/run/corvane/*.status 2>/dev/null | sort -u | tr '\n' ' ' || true)
        [ "$statuses" = "connected " ] && break
        sleep 0.05
    done
    kill -TERM "$first" "$second"
    wait "$first" "$second" || true
    sleep 1
    helpers=$(pgrep -f -- "--channel $home/run" | wc -l || true)
    profiles=$(grep -o '"identifier"' "$home/data/corvane/profiles.json" 2>/dev/null | wc -l || true)
    printf 'run %2d: %d profile(s), %d helper(s) left\n' "$i" "$profiles" "$helpers"
    left_total=$((left_total + helpers))
    pgrep -f -- "--channel $home/run" | xargs -r kill -KILL || true
    rm -rf "$home"
done
echo "helpers left in all: $left_total"
[ "$left_total" -eq 0 ]
