#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
# Builds Tarsion and runs every test headless: offscreen Qt platform, a private D-Bus session bus.
# The plain build is the Release type with the benchmarks, so that CI runs the benchmarks and builds
# the package from the build it tested; the sanitizer build keeps debug lines for its reports.
# Usage: tools/test.sh [--sanitize] [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=source-date.sh
source tools/source-date.sh
sanitize=OFF
if [ "${1:-}" = "--sanitize" ]; then
    sanitize=ON
    shift
fi
build="${1:-build}"
[ "$sanitize" = ON ] && build="${1:-build-sanitize}"

if [ "$sanitize" = ON ]; then
    cmake -S . -B "$build" -G Ninja -DTARSION_SANITIZE=ON -DTARSION_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
else
    cmake -S . -B "$build" -G Ninja -DTARSION_SANITIZE=OFF -DTARSION_BENCH=ON -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$build" -j"$(nproc)"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
unset DBUS_SESSION_BUS_ADDRESS
# Under a HOME of their own, checked unchanged afterwards: no test may touch the user's files.
tools/check-user-folders.sh dbus-run-session -- ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 600
