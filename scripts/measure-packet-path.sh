#!/usr/bin/env bash
# The packet path's own instructions per packet (valgrind's callgrind), from the release build:
# the NAT rewrite with RFC 1624 checksum updates, the same NAT with each segment's checksum
# computed afresh, and the relay's AEAD sealing of the same 1,400 bytes of payload. Each figure
# is the difference between COUNT packets and none, over COUNT, so set-up does not count.
# Then, as root, one 1 GB TCP stream through a real TUN device at three MTUs against loopback
# (throughput, and the CPU of the whole process per GB: both TCP ends, the kernel, the path),
# three rounds alternating.
#
#     scripts/measure-packet-path.sh              200,000 packets per mode
#     scripts/measure-packet-path.sh --no-build   measure what build/release already holds
#
# CORVANE_PACKET_COST names another build of the benchmark.
set -euo pipefail
cd "$(dirname "$0")/.."

count=200000
if [ "${1:-}" != "--no-build" ]; then
    cmake --preset release -DCORVANE_BUILD_BENCHMARKS=ON >/dev/null
    cmake --build --preset release --target packet_cost packet_throughput
fi
bench=${CORVANE_PACKET_COST:-build/release/bench/packet_cost}
throughput=$(dirname "$bench")/packet_throughput
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

instructions() {
    valgrind --tool=callgrind --callgrind-out-file="$out/run" "$bench" "$1" "$2" >/dev/null 2>&1
    awk '/^(summary|totals):/ { print $2; exit }' "$out/run"
}

echo "| mode | instructions per packet |"
echo "|---|---|"
for mode in nat recompute seal; do
    none=$(instructions "$mode" 0)
    many=$(instructions "$mode" "$count")
    echo "| $mode | $(( (many - none) / count )) |"
done

[ "$(id -u)" -eq 0 ] || exit 0
echo
for round in 1 2 3; do
    "$throughput" loopback 1024
    for mtu in 1500 9000 65535; do
        "$throughput" tun 1024 "$mtu"
    done
done
