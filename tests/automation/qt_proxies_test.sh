#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
# qdbusxml2cpp makes a Qt proxy of every interface description without a complaint (it stops at
# the first type it does not know unless an annotation names the C++ type).
# Usage: qt_proxies_test.sh QDBUSXML2CPP DESCRIPTION...
set -uo pipefail
tool="$1"
shift
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failed=0
for description in "$@"; do
    name="$(basename "$description" .xml)"
    output="$("$tool" -p "$work/$name" "$description" 2>&1)"
    if [ -n "$output" ] || [ ! -s "$work/$name.h" ] || ! grep -q "class .*: public QDBusAbstractInterface" "$work/$name.h"; then
        echo "FAIL: $name: ${output:-no proxy class}" >&2
        failed=1
    fi
done
[ "$failed" = 0 ] && echo "Qt proxies of $# interface descriptions"
exit "$failed"
