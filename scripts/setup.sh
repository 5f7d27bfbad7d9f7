#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages that building, running and testing rotor need, when missing, and
# those named as arguments (what packaging or a screenshot needs besides).
# As root it installs them; otherwise it prints the one apt-get line to run.
set -euo pipefail

packages=(cmake ninja-build g++ clang libclang-rt-14-dev clang-format-14 qt6-base-dev qt6-serialport-dev
          fonts-dejavu-core fonts-liberation fontconfig xvfb xauth "$@")

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "rotor needs these Debian packages; install them with:" >&2
    echo "  sudo apt-get install -y ${missing[*]}" >&2
    exit 1
fi
echo "Installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
