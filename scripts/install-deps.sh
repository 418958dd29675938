#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the program need. Says nothing
# when all of them are there.
set -euo pipefail
packages=(cmake ninja-build g++ clang libclang-rt-14-dev
    qt6-base-dev qt6-websockets-dev qt6-multimedia-dev qt6-httpserver-dev
    qtkeychain-qt6-dev qcoro-qt6-dev qt6-qpa-plugins libqt6svg6 qt6-translations-l10n
    dbus gnome-keyring libsecret-1-0 fonts-nanum xvfb xauth at-spi2-core)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
echo "Installing ${#missing[@]} missing packages (a few minutes on a fresh machine):"
echo "  ${missing[*]}"
echo "Updating the package lists..."
$sudo apt-get update -qq
# -q keeps apt-get's lines of what it fetches, unpacks and sets up, without the progress bars
# that garble a log.
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
echo "Installed: ${missing[*]}"
