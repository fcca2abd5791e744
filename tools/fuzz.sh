#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
# Builds the libFuzzer targets with clang and runs each for a short while from its seed corpus.
# Usage: tools/fuzz.sh [seconds-per-target]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-20}"
build=build-fuzz
CXX=clang++ cmake -S . -B "$build" -G Ninja -DTARSION_FUZZ=ON -DTARSION_BUILD_GUI=OFF -DTARSION_BENCH=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j"$(nproc)" --target fuzz_targets
for target in console_line coefficient_file constellation_file pattern_file script_text snapshot_file state_file \
    import_file; do
    exe="$build/bin/fuzz_$target"
    [ -x "$exe" ] || continue
    corpus="tests/fuzz/corpus/${target%_*}"
    work="$(mktemp -d)"
    [ -d "$corpus" ] && cp -r "$corpus"/. "$work"/
    echo "fuzzing $target for ${seconds}s"
    (cd "$work" && "$OLDPWD/$exe" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 "$work") 2>&1 | tail -n 5
    rm -rf "$work"
done
