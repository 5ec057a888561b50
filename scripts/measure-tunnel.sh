#!/usr/bin/env bash
# Measures the tunnel on loopback, side by side in one run and alternating, with the same
# cipher: (a) direct, (b) Debian's ss-local -> ss-server, (c) corvane-tunnel-helper ->
# ss-server. For each: throughput of a 1 GB transfer, the CPU seconds per GB of both ends and of
# the client end alone (the helper or ss-local), time to the first byte of 1,000 sequential
# small requests, and the memory of the client end with 1,000 idle connections open. Prints one Markdown table per cipher (the stream form and
# the AEAD form).
#
#     scripts/measure-tunnel.sh               3 rounds, release build
#     scripts/measure-tunnel.sh --rounds 5
#     scripts/measure-tunnel.sh --no-build    measure what build/release already holds
#     scripts/measure-tunnel.sh --baseline OLD_HELPER
#                                             also another build of the helper (repeatable),
#                                             in the same rounds: before and after side by side
#     scripts/measure-tunnel.sh --watch-traffic --baseline OLD_HELPER
#                                             the cost of the traffic counters: a window asks
#                                             each helper for its "traffic" lines throughout
#                                             (one a second while bytes move), against a build
#                                             from before the counters (it ignores the request)
#     scripts/measure-tunnel.sh --engines     the I/O engines instead: the same plain TCP
#                                             forwarder on epoll, standalone Asio and Qt
#     scripts/measure-tunnel.sh --udp         datagrams instead, through ss-server -u (AEAD):
#                                             direct, ss-local -u and the helper's SOCKS5 UDP
#                                             ASSOCIATE (and --baseline's); RTT of 10,000
#                                             sequential datagrams (median, p99), and loss and
#                                             the client end's CPU at 20,000 datagrams/s for
#                                             10 s, the load from bench/tunnel/udp_load
set -euo pipefail
cd "$(dirname "$0")/.."

rounds=3
build=1
engines=0
udp=0
baseline=()
watch=()
while [ $# -gt 0 ]; do
    case "$1" in
        --rounds) rounds=$2; shift ;;
        --no-build) build=0 ;;
        --engines) engines=1 ;;
        --udp) udp=1 ;;
        --baseline) baseline+=("$(realpath "$2")"); shift ;;
        --watch-traffic) watch=(--watch-traffic) ;;
        *) echo "usage: $0 [--rounds N] [--no-build] [--engines] [--udp] [--watch-traffic]" \
                "[--baseline HELPER]" >&2
           exit 2 ;;
    esac
    shift
done

scripts/setup.sh
if [ "$build" -eq 1 ]; then
    cmake --preset release -DCORVANE_BUILD_BENCHMARKS=ON >/dev/null
    if [ "$udp" -eq 1 ]; then
        cmake --build --preset release --target corvane-tunnel-helper udp_load
    else
        cmake --build --preset release --target corvane-tunnel-helper forward_epoll \
            forward_asio forward_qt
    fi
fi
# 1,000 idle connections take two descriptors each in a forwarder.
ulimit -n "$(ulimit -Hn)"
if [ "$udp" -eq 1 ]; then
    exec python3 scripts/udp-load.py compare build/release/bench/udp_load \
        build/release/bin/corvane-tunnel-helper "$rounds" "${baseline[@]}"
fi
if [ "$engines" -eq 1 ]; then
    exec python3 scripts/tunnel-load.py engines build/release/bench "$rounds"
fi
exec python3 scripts/tunnel-load.py tunnel "${watch[@]}" build/release/bin/corvane-tunnel-helper \
    "$rounds" "${baseline[@]}"
