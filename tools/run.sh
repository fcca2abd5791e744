#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
# Builds Tarsion and starts it. Without an argument (and without TARSION_PORT) it runs on the
# virtual board, whose state is kept in the user's state directory between runs.
# Usage: tools/run.sh [PORT] where PORT is a TARSION_PORT value (auto, direct, /dev/parportN, sim...).
set -euo pipefail
cd "$(dirname "$0")/.."
# Without a display Qt would abort at start with a message about platform plugins.
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
    echo "tools/run.sh opens a window and needs a display (DISPLAY or WAYLAND_DISPLAY is unset)." >&2
    echo "Use xvfb-run -a tools/run.sh for a virtual display, or build/bin/tarsion --headless." >&2
    exit 2
fi
cmake -S . -B build -G Ninja -DTARSION_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)" --target tarsion tarsion-script
state_dir="${XDG_STATE_HOME:-$HOME/.local/state}/tarsion"
mkdir -p "$state_dir"
export TARSION_PORT="${1:-${TARSION_PORT:-sim:$state_dir/virtual-board.txt}}"
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
    exec dbus-run-session -- build/bin/tarsion
fi
exec build/bin/tarsion
