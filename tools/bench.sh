#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
# Runs every benchmark program of a build once, briefly (tools/test.sh builds them in Release). A
# benchmark fails the run when its virtual boards saw a byte-cycle protocol violation, or when the
# program crashes, also on its way out.
# Usage: tools/bench.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"

# The benchmarks must not touch the user's own files (checked), nor meet a running Tarsion.
export QT_QPA_PLATFORM=offscreen
unset DBUS_SESSION_BUS_ADDRESS TARSION_PORT

ran=0
for bench in "$build"/bin/tarsion_bench "$build"/bin/tarsion_gui_bench; do
    [ -x "$bench" ] || continue
    echo "== $(basename "$bench")"
    tools/check-user-folders.sh dbus-run-session -- "$bench" --benchmark_min_time=0.01
    ran=$((ran + 1))
done
[ "$ran" -gt 0 ] || { echo "error: no benchmark program in $build/bin (configure with -DTARSION_BENCH=ON)" >&2; exit 1; }
