#!/usr/bin/env bash
# Measures the service relay's two datagram paths on loopback, alternating in one run: the
# round-trip time of 10,000 sequential 32-byte datagrams through ServiceSession and the demo
# relay to a UDP echo server, over UDP and over a datagram connection (UDP-over-TCP). Prints a
# Markdown table of the median over the rounds of each round's median and p99, in microseconds.
#
#     scripts/measure-datagrams.sh              5 rounds, the build in build/w
#     scripts/measure-datagrams.sh --rounds 9
#     scripts/measure-datagrams.sh --no-build   measure what build/w already holds
set -euo pipefail
cd "$(dirname "$0")/.."

rounds=5
build=1
dir=build/w
while [ $# -gt 0 ]; do
    case "$1" in
        --rounds) rounds=$2; shift ;;
        --no-build) build=0 ;;
        *) echo "usage: $0 [--rounds N] [--no-build]" >&2; exit 2 ;;
    esac
    shift
done
[ "$build" = 1 ] && cmake --build "$dir" -j2 --target datagram_rtt >/dev/null

declare -A medians p99s
for _ in $(seq "$rounds"); do
    for path in udp connection; do
        read -r median p99 < <("$dir/bench/datagram_rtt" "$path" 10000)
        medians[$path]+="$median "
        p99s[$path]+="$p99 "
    done
done
middle() { tr ' ' '\n' | grep . | sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
echo "| path | median RTT (µs) | p99 RTT (µs) |"
echo "|---|---|---|"
for path in udp connection; do
    echo "| $path | $(echo "${medians[$path]}" | middle) | $(echo "${p99s[$path]}" | middle) |"
done
