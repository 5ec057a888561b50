#!/usr/bin/env bash
# Checks what the bash completion of corvanectl offers.
set -u
source "$1"
failures=0
expect() {
    local want=$1
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _corvanectl
    if [ "${COMPREPLY[*]}" != "$want" ]; then
        echo "after '$*': offered '${COMPREPLY[*]}', expected '$want'"
        failures=$((failures + 1))
    fi
}
expect "connect change-ip connections config" corvanectl c
expect "disconnect" corvanectl di
expect "login logout" corvanectl lo
expect "env exec" corvanectl e
expect "relay" corvanectl rel
expect "set show reset" corvanectl relay ""
expect "chacha20 chacha20-ietf-poly1305" corvanectl relay set h 1 --method ""
expect "--password-stdin" corvanectl relay set h 1 --pa
zz_probe() { :; }
expect "zz_probe" corvanectl exec -- zz_pr
expect "" corvanectl exec -- zz_probe --zz
expect "--json" corvanectl change-ip --wait --j
expect "--wait" corvanectl connect --w
expect "none 24h" corvanectl connect --dedup ""
expect "on off" corvanectl connect --abnormal-ip ""
expect "--watch" corvanectl status --wa
expect "--traffic" corvanectl status --t
expect "--json" corvanectl connections --j
expect "auto-reconnect" corvanectl config a
expect "on off" corvanectl config auto-reconnect ""
expect "--json" corvanectl config auto-reconnect on --j
expect "" corvanectl login --mobile ""
expect "system system-wide" corvanectl mode sys
expect "system-wide" corvanectl sys
expect "repair" corvanectl system-wide ""
exit $((failures > 0))
