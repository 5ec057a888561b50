#!/usr/bin/env bash
# Builds Corvane and lets a person walk the whole road against the demo service: sign in, pick
# an order and a province, connect, see the public address, change IP, disconnect. Without a
# display the scripted road also fetches a page through the tunnel's local proxy after the
# connect and after the change of IP, and prints the two addresses the destination saw. With a
# display it opens the application for you and prints a demo account to sign in with; without
# one it plays the scripted road (corvane-demo, what corvane --demo runs) under Xvfb.
# Everything it keeps lives in temporary folders, so nothing of yours is touched.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release --target corvane corvane-demo corvane-tunnel-helper corvane-demo-service

bin=$PWD/build/release/bin
export CORVANE_TUNNEL_HELPER=$bin/corvane-tunnel-helper
export CORVANE_DEMO_SERVICE=$bin/corvane-demo-service
demo_home=$(mktemp -d)
service_pid=
cleanup() {
    if [ -n "$service_pid" ]; then kill "$service_pid" 2>/dev/null || true; fi
    rm -rf "$demo_home"
}
trap cleanup EXIT
mkdir -m 700 "$demo_home/data" "$demo_home/runtime" "$demo_home/config"
export XDG_DATA_HOME=$demo_home/data XDG_RUNTIME_DIR=$demo_home/runtime XDG_CONFIG_HOME=$demo_home/config

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x900x24" "$bin/corvane-demo" --road
fi

"$bin/corvane-demo-service" --port 0 >"$demo_home/service.out" &
service_pid=$!
for _ in $(seq 100); do
    grep -q '^listening on ' "$demo_home/service.out" 2>/dev/null && break
    sleep 0.1
done
url=$(sed -n 's/^listening on //p' "$demo_home/service.out")
relay=$(sed -n 's/^relay on 127.0.0.1://p' "$demo_home/service.out")
plain_relay=$(sed -n 's/^plain relay on 127.0.0.1://p' "$demo_home/service.out")
if [ -z "$url" ] || [ -z "$relay" ] || [ -z "$plain_relay" ]; then
    echo "run.sh: the demo service did not start" >&2
    exit 1
fi
# The home screen's tunnel goes through the demo's service relay, quick connect through its
# plain relay; the demo's rules send loopback through the tunnel too, so the public address is
# the exit address the demo service sees.
mkdir -m 700 "$demo_home/rules"
echo '{"rules": [{"type": "final", "action": "proxy"}]}' >"$demo_home/rules/rules.json"
export CORVANE_SERVICE_URL=$url CORVANE_LOOKUP_URL=$url CORVANE_RULES_DIR=$demo_home/rules
export CORVANE_TUNNEL_HOST=127.0.0.1 CORVANE_TUNNEL_PORT=$relay
export CORVANE_RELAY_HOST=127.0.0.1 CORVANE_RELAY_PORT=$plain_relay
echo "Demo service on $url. Sign in with one of these demo accounts:"
sed -n 's/^account \([0-9]*\) password \(.*\)$/    mobile \1    password \2/p' "$demo_home/service.out"
# The proxy's default port (the window shows the one in use): paste this once connected.
echo "Once connected, this prints the exit address a destination sees:"
echo "    curl -s --proxy socks5h://127.0.0.1:21080 $url/ip"
"$bin/corvane"
