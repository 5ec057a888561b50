#!/usr/bin/env bash
# The demo service out of file descriptors: it neither spins on its listening socket nor stays
# deaf once the clients that took them let go.
#
#     descriptors_test.sh DEMO_SERVICE
set -u
# The sanitizers' own checks need descriptors too (UBSan's type check fails without them).
if ldd "$1" | grep -q libasan; then echo "skipped under the sanitizers"; exit 77; fi
dir=$(mktemp -d)
prlimit --nofile=32 "$1" --port 0 >"$dir/out" 2>"$dir/err" &
service=$!
trap 'kill $service; rm -rf "$dir"' EXIT
within10s() { for _ in $(seq 200); do "$@" && return; sleep 0.05; done; false; }
within10s test -s "$dir/out" || exit 1
port=$(sed -n 's/^listening on .*://p' "$dir/out")
# More connections than it has descriptors, one at a time, as clients come.
clients=()
for _ in $(seq 40); do
    exec {client}<>"/dev/tcp/127.0.0.1/$port" && clients+=("$client")
    sleep 0.02
done
ticks() { awk '{ print $14 + $15 }' "/proc/$service/stat"; }
before=$(ticks)
sleep 1
used=$(($(ticks) - before))
if [ "$used" -ge $(($(getconf CLK_TCK) / 4)) ]; then
    echo "out of descriptors, the service used $used ticks of CPU in one second"
    exit 1
fi
for client in "${clients[@]}"; do exec {client}>&-; done
# The service frees their descriptors as it sees them go: an early request may still meet none.
answers() {
    local status=
    exec {client}<>"/dev/tcp/127.0.0.1/$port"
    printf 'GET /cityjson HTTP/1.1\r\nHost: x\r\n\r\n' >&"$client"
    read -r -t 1 status <&"$client"
    exec {client}>&-
    [[ $status == "HTTP/1.1 200"* ]]
}
within10s answers 2>/dev/null || { echo "no answer once the clients let go"; exit 1; }
