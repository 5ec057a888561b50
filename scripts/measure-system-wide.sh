#!/usr/bin/env bash
# Measures the system-wide mode in network namespaces of its own (root only), through the same
# relay (Debian's ss-server, chacha20-ietf-poly1305), side by side and alternating: (a) direct,
# (b) the proxy mode (a SOCKS5 client), (c) the system-wide mode (a client with no proxy
# setting, routed through the TUN device): throughput of a 1 GB download and upload, the helper's
# CPU seconds per GB, time to the first byte of 1,000 sequential small requests, and 1,000
# sequential DNS queries (median, p99). Prints a Markdown table.
#
#     scripts/measure-system-wide.sh              3 rounds, release build
#     scripts/measure-system-wide.sh --rounds 5
#     scripts/measure-system-wide.sh --no-build   measure what build/release already holds
set -euo pipefail
cd "$(dirname "$0")/.."

rounds=3
build=1
while [ $# -gt 0 ]; do
    case "$1" in
        --rounds) rounds=$2; shift ;;
        --no-build) build=0 ;;
        *) echo "usage: $0 [--rounds N] [--no-build]" >&2; exit 2 ;;
    esac
    shift
done
[ "$(id -u)" -eq 0 ] || { echo "measure-system-wide: needs root for its namespaces" >&2; exit 2; }

scripts/setup.sh
if [ "$build" -eq 1 ]; then
    cmake --preset release >/dev/null
    cmake --build --preset release --target corvane-tunnel-helper corvane-netd
fi
exec python3 scripts/system-wide-load.py build/release . "$rounds"
