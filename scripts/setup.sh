#!/usr/bin/env bash
# Installs every Debian 12 package that building, testing and running Corvane needs.
# Idempotent, and silent when everything is already there.
set -euo pipefail

packages=(
    build-essential cmake ninja-build g++ clang libclang-rt-14-dev dpkg-dev
    qt6-base-dev qt6-base-dev-tools qt6-httpserver-dev qt6-websockets-dev libgl-dev
    libssl-dev openssl qtkeychain-qt6-dev libhttp-parser-dev libsystemd-dev gnome-keyring
    libsecret-tools libglib2.0-dev dconf-service dconf-gsettings-backend gsettings-desktop-schemas
    libkf5config-bin firefox-esr
    libasio-dev shadowsocks-libev curl wget python3-requests python3-socks iproute2 nftables polkitd
    dnsmasq-base bind9-dnsutils
    libgtest-dev libbenchmark-dev
    xvfb xauth fonts-noto-cjk fonts-wqy-microhei
    python3 dbus dbus-x11 at-spi2-core python3-pyatspi trayer python3-xlib openbox
    appstream lintian desktop-file-utils help2man man-db
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
