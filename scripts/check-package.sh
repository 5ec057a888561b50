#!/usr/bin/env bash
# Builds the Debian packages (corvane and corvane-demo) from a configured and built tree
# (build/ci by default), checks them with lintian, appstreamcli and desktop-file-validate, and
# the manual pages with man; unpacks corvane alone into a temporary root, where corvane --demo
# says which package it needs, then corvane-demo beside it and runs the installed programs from
# there: the --help of each, and a connect and disconnect through the installed helper that
# corvane finds by itself.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/ci}

out=$(mktemp -d)
root=$(mktemp -d)
home=$(mktemp -d)
connect_pid=
service_pid=
cleanup() {
    if [ -n "$connect_pid" ]; then kill "$connect_pid" 2>/dev/null || true; fi
    if [ -n "$service_pid" ]; then kill "$service_pid" 2>/dev/null || true; fi
    rm -rf "$out" "$root" "$home"
}
trap cleanup EXIT

cpack --config "$build/CPackConfig.cmake" -B "$out" >/dev/null
client=$(ls "$out"/corvane_*.deb)
demo=$(ls "$out"/corvane-demo_*.deb)
for deb in "$client" "$demo"; do
    echo "package: $(basename "$deb")"
    dpkg-deb --field "$deb" Depends Suggests
done
# Every tag but the informational ones fails; the client must not pull in the demo's libraries.
lintian --fail-on error,warning --suppress-tags-from-file /dev/null "$client" "$demo"
if dpkg-deb --field "$client" Depends | grep -q httpserver; then
    echo "corvane depends on the demo service's HTTP server" >&2
    exit 1
fi
dpkg-deb --field "$demo" Depends | grep -q "corvane (= "

# The client alone: the demo is another package, and corvane --demo says which.
dpkg -x "$client" "$root"
missing=0
check_files() { # package, then the files it must have brought
    local package=$1
    shift
    for f in "$@"; do
        if [ ! -e "$root/$f" ]; then echo "missing from $package: /$f" >&2; missing=1; fi
    done
}
check_files corvane usr/bin/corvane usr/bin/corvanectl \
    usr/libexec/corvane/corvane-tunnel-helper usr/libexec/corvane/corvane-netd \
    usr/lib/systemd/system/corvane-netd.service \
    usr/share/dbus-1/system.d/com.corvane.Corvane.Network.conf \
    usr/share/dbus-1/system-services/com.corvane.Corvane.Network.service \
    usr/share/polkit-1/actions/com.corvane.Corvane.system-wide.policy \
    usr/share/applications/com.corvane.Corvane.desktop \
    usr/share/metainfo/com.corvane.Corvane.metainfo.xml \
    usr/share/icons/hicolor/scalable/apps/com.corvane.Corvane.svg \
    usr/share/icons/hicolor/{16x16,22x22,24x24,32x32,48x48,64x64,128x128,256x256}/apps/com.corvane.Corvane.png \
    usr/share/man/man1/corvane.1.gz usr/share/man/man1/corvanectl.1.gz \
    usr/share/doc/corvane/copyright usr/share/doc/corvane/changelog.gz
[ "$missing" -eq 0 ]
if [ -e "$root/usr/libexec/corvane/corvane-demo-service" ]; then
    echo "corvane carries the demo service" >&2
    exit 1
fi
appstreamcli validate --no-net "$root/usr/share/metainfo/com.corvane.Corvane.metainfo.xml"
desktop-file-validate "$root/usr/share/applications/com.corvane.Corvane.desktop"
# The manual pages render without a warning from man or groff.
for page in corvane corvanectl; do
    warnings=$(MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
    if [ -n "$warnings" ]; then echo "$page(1): $warnings" >&2; exit 1; fi
    MANWIDTH=80 man -l "$root/usr/share/man/man1/$page.1.gz" | grep -q "^ENVIRONMENT"
done
if QT_QPA_PLATFORM=offscreen "$root/usr/bin/corvane" --demo 2>"$home/demo.err"; then
    echo "corvane --demo ran without the demo package" >&2
    exit 1
fi
grep -q "corvane-demo" "$home/demo.err"

dpkg -x "$demo" "$root"
check_files corvane-demo usr/libexec/corvane/corvane-demo-service \
    usr/libexec/corvane/corvane-demo usr/share/doc/corvane-demo/copyright
[ "$missing" -eq 0 ]

# From here on only the unpacked package runs: no override points anywhere else.
unset CORVANE_TUNNEL_HELPER CORVANE_DEMO_SERVICE
export QT_QPA_PLATFORM=offscreen
mkdir -m 700 "$home/config" "$home/data" "$home/runtime" "$home/config/corvane"
export XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data XDG_RUNTIME_DIR=$home/runtime
# The tunnel's proxies take free ports, whatever else runs here.
echo '{"socksPort": 0, "httpProxyPort": 0}' >"$home/config/corvane/settings.json"
"$root/usr/bin/corvane" --help >/dev/null
"$root/usr/libexec/corvane/corvane-tunnel-helper" --help >/dev/null
# --demo hands over to the demo program shipped beside the helper.
"$root/usr/libexec/corvane/corvane-demo" --help >/dev/null

# The installed demo service's plain relay carries the tunnel that --connect starts.
"$root/usr/libexec/corvane/corvane-demo-service" >"$home/service.out" &
service_pid=$!
for _ in $(seq 100); do
    grep -q '^plain relay on ' "$home/service.out" 2>/dev/null && break
    sleep 0.1
done
relay=$(sed -n 's/^plain relay on 127.0.0.1://p' "$home/service.out")
CORVANE_TUNNEL_HOST=127.0.0.1 CORVANE_TUNNEL_PORT=$relay "$root/usr/bin/corvane" --connect \
    >/dev/null 2>&1 &
connect_pid=$!
for _ in $(seq 100); do
    grep -qx connected "$home/runtime/corvane/"*.status 2>/dev/null && break
    sleep 0.1
done
grep -qx connected "$home/runtime/corvane/"*.status
pgrep -f "^$root/usr/libexec/corvane/corvane-tunnel-helper" >/dev/null
kill -9 "$connect_pid"
wait "$connect_pid" 2>/dev/null || true
connect_pid=
# The helper outlived its window; the installed corvane stops it again.
"$root/usr/bin/corvane" --disconnect-and-exit | tail -n 1 | grep -qx "status: off"
echo "package: installed corvane connected through the installed helper and disconnected"
