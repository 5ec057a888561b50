#!/usr/bin/env bash
# corvanectl login against a real gnome-keyring-daemon on a D-Bus bus of its own: the password
# is in the keyring once login has returned, one left in the settings file moves there at the
# next read, and a keyring that cannot store it leaves it in the owner-only file with a line
# saying why; logout deletes it wherever it is. Exits 77 (skipped) where gnome-keyring-daemon is
# missing.
#
#     keyring_test.sh CORVANECTL DEMO_SERVICE
set -u
ctl=$1
command -v gnome-keyring-daemon >/dev/null || { echo "gnome-keyring-daemon is missing"; exit 77; }
home=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; wait; rm -rf "$home"' EXIT
"$2" --port 0 >"$home/service" & pids+=($!)
failures=0
check() { "$@" || { echo "failed: $*"; failures=$((failures + 1)); }; }
lacks() { ! grep -q "$@"; }
inKeyring() { secret-tool lookup server com.corvane.Corvane user pwdNum >/dev/null 2>&1; }
notInKeyring() { ! inKeyring; }

run() { # unlocked|refusing
    local dir=$home/$1
    mkdir -p "$dir/data" "$dir/config" "$dir/run" && chmod 700 "$dir/run"
    # A session bus that starts no service by itself, so no other keyring answers.
    printf '%s' '<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen><policy
        context="default"><allow send_destination="*" eavesdrop="true"/><allow
        eavesdrop="true"/><allow own="*"/></policy></busconfig>' >"$dir/bus.conf"
    dbus-daemon --config-file="$dir/bus.conf" --nofork --print-address=3 3>"$dir/bus" 2>/dev/null &
    pids+=($!)
    until [ -s "$dir/bus" ]; do sleep 0.05; done
    export DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$dir/bus") HOME=$dir XDG_DATA_HOME=$dir/data \
        XDG_CONFIG_HOME=$dir/config XDG_RUNTIME_DIR=$dir/run
    export CORVANE_SERVICE_URL=$(sed -n 's/^listening on //p' "$home/service")
    local unlock=()
    [ "$1" = unlocked ] && unlock=(--unlock)
    printf 'known password' | gnome-keyring-daemon --foreground --components=secrets \
        "${unlock[@]}" >/dev/null 2>&1 &
    pids+=($!)
    until dbus-send --print-reply --dest=org.freedesktop.secrets / \
        org.freedesktop.DBus.Peer.Ping >/dev/null 2>&1; do sleep 0.05; done

    local settings=$dir/config/corvane/settings.json
    check "$ctl" login --mobile 13800000001 --password-stdin <<<corvane1 >/dev/null 2>"$dir/err"
    check "$ctl" orders >/dev/null
    if [ "$1" = unlocked ]; then
        check lacks corvane1 "$settings"
        printf '%s' '{"phoneNum":"13800000001","pwdNum":"corvane1"}' >"$settings"
        check "$ctl" orders >/dev/null
        check lacks corvane1 "$settings"
        check "$ctl" orders >/dev/null
        check inKeyring
    else
        check grep -q corvane1 "$settings"
        check grep -q 钥匙环拒绝写入 "$dir/err"
    fi
    # Signing out deletes the password wherever it is kept, and keeps the number.
    check "$ctl" logout >/dev/null 2>>"$dir/err"
    check notInKeyring
    check lacks corvane1 "$settings"
    check grep -q 13800000001 "$settings"
    "$ctl" orders >/dev/null 2>&1
    check [ $? -eq 3 ]
}
until [ -s "$home/service" ]; do sleep 0.05; done
run unlocked
run refusing
exit $((failures > 0))
