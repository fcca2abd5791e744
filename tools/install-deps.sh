#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
# Installs the Debian 12 packages that building, running and testing Tarsion need.
set -euo pipefail
packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-declarative-dev libgl-dev
    qt6-charts-dev qt6-svg-dev libfftw3-dev libdbus-1-dev zlib1g-dev
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    dbus dbus-x11 xvfb xauth fontconfig fonts-dejavu-core
    clang libclang-rt-14-dev
    dpkg-dev file python3-dbus python3-numpy python3-pytest libglib2.0-bin lintian appstream
    reuse systemd
)
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
