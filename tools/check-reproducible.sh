#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
# Two builds of one commit give the same package: the package of BUILD_DIR (tools/check-package.sh
# made it) against one built from a copy of the source in another folder, in another build folder,
# of the programs and data alone (no tests, no benchmarks), both with the commit's time.
# Usage: tools/check-reproducible.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=source-date.sh
source tools/source-date.sh
build="$(realpath "${1:-build}")"
first="$(ls -t "$build"/tarsion_*.deb | head -n 1)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir "$work/source"
git ls-files -z | xargs -0 cp --parents -t "$work/source"
cmake -S "$work/source" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARSION_BENCH=OFF -DTARSION_TESTS=OFF >/dev/null
cmake --build "$work/build" -j"$(nproc)" --target package >/dev/null
second="$(ls "$work"/build/tarsion_*.deb)"
if ! cmp -s "$first" "$second"; then
    echo "FAIL: the package differs when built in $work:" >&2
    mkdir "$work/a" "$work/b"
    dpkg-deb -R "$first" "$work/a"
    dpkg-deb -R "$second" "$work/b"
    diff -r "$work/a" "$work/b" >&2 || true
    exit 1
fi
echo "== a second build in another folder gives the same package ($(sha256sum <"$first" | cut -c1-16))"
