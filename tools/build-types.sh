#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
# Builds everything in each build type other than the default RelWithDebInfo (tools/test.sh builds
# that), each in its own folder, so that no type breaks unseen; then runs every benchmark program
# of the Release build once, briefly. A benchmark fails the run when its virtual boards saw a
# byte-cycle protocol violation.
# Usage: tools/build-types.sh [types...]   (default: Release; CI builds only that one: GCC's -O3
# warnings have stopped it twice, the Debug and MinSizeRel builds never found a fault)
set -euo pipefail
cd "$(dirname "$0")/.."
types=("$@")
[ "${#types[@]}" -gt 0 ] || types=(Release)

for type in "${types[@]}"; do
    build="build-${type,,}"
    start=$SECONDS
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="$type" -DTARSION_BENCH=ON >/dev/null
    cmake --build "$build" -j"$(nproc)"
    echo "== $type build: $((SECONDS - start)) s"
done

[[ " ${types[*]} " == *" Release "* ]] || exit 0

# The benchmarks must not touch the user's own files (checked), nor meet a running Tarsion.
export QT_QPA_PLATFORM=offscreen
unset DBUS_SESSION_BUS_ADDRESS TARSION_PORT

for bench in build-release/bin/tarsion_bench build-release/bin/tarsion_gui_bench; do
    [ -x "$bench" ] || continue
    echo "== $(basename "$bench")"
    tools/check-user-folders.sh dbus-run-session -- "$bench" --benchmark_min_time=0.01
done
