#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Signetor need.
# Quick when everything is there already; needs root (or sudo) only when something is missing.
set -euo pipefail

packages=(cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools libgl-dev xvfb xauth appstream
    desktop-file-utils libqt6sql6-sqlite libsqlite3-dev pkg-config sqlite3 qt6-translations-l10n scdoc
    systemd firefox-esr chromium)
if [ "${SIGNETOR_DEPS_EXTRA:-}" != "" ]; then
    read -r -a extra <<<"$SIGNETOR_DEPS_EXTRA"
    packages+=("${extra[@]}")
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
        echo "Missing Debian packages: ${missing[*]}" >&2
        echo "Install them as root (apt-get install ${missing[*]}), then run this again." >&2
        exit 1
    fi
    sudo="sudo"
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
