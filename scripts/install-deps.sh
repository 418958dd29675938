#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the program need.
set -euo pipefail
packages=(cmake ninja-build g++ clang libclang-rt-14-dev
    qt6-base-dev qt6-websockets-dev qt6-multimedia-dev qt6-httpserver-dev
    qtkeychain-qt6-dev qcoro-qt6-dev qt6-qpa-plugins
    dbus gnome-keyring libsecret-1-0 fonts-nanum xvfb xauth)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
