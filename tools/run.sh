#!/usr/bin/env bash
# Builds Tarsion and starts it. Without an argument (and without TARSION_PORT) it runs on the
# virtual board, whose state is kept in the user's state directory between runs.
# Usage: tools/run.sh [PORT] where PORT is a TARSION_PORT value (auto, direct, /dev/parportN, sim...).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DTARSION_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)" --target tarsion tarsion-script
state_dir="${XDG_STATE_HOME:-$HOME/.local/state}/tarsion"
mkdir -p "$state_dir"
export TARSION_PORT="${1:-${TARSION_PORT:-sim:$state_dir/virtual-board.txt}}"
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
    exec dbus-run-session -- build/bin/tarsion
fi
exec build/bin/tarsion
