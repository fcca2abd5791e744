#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
# A long load watched as a person sees it: the program with its window (on X11 under Xvfb when
# installed, else offscreen) on the virtual board with real-port timing (TARSION_PORT=sim-paced),
# loading a full generated pattern through tarsion-script. Prints how long the load took and how
# often the progress dialog and the main window were painted while the dialog showed.
# Usage: bench/automation/long_load.sh [BUILD_DIR] [PAIRS]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:-$here/../../build}" && pwd)"
pairs="${2:-131072}"
# shellcheck source=session.sh
. "$here/session.sh"
export TARSION_PORT=sim-paced QT_QPA_PLATFORM=offscreen
start_xvfb || true

echo "platform: $QT_QPA_PLATFORM, load: $(cut -d' ' -f1-3 /proc/loadavg)"
dbus-run-session -- bash -c '
    "$1/bin/tarsion_bench_host" 2 2>"$3/host.err" & host=$!
    wait_for_tarsion
    "$1/bin/tarsion-script" "$2/long_load.js" "$4"
    status=$?
    sleep 0.5
    kill "$host"
    wait "$host" 2>/dev/null
    grep "progress dialog" "$3/host.err" || echo "no progress dialog showed"
    exit $status
' long_load "$build" "$here" "$work" "$pairs" 2>/dev/null
