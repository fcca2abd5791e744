#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
# Checks the systemd user unit template tarsion@.service with systemd-analyze verify, as an
# instance: any complaint (an unknown key, a value it ignores, a program it can't find) fails.
# Usage: tools/check-unit.sh UNIT_FILE
set -euo pipefail
unit="$(readlink -f "$1")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$unit" "$work/tarsion@.service"
ln -s tarsion@.service "$work/tarsion@parport0.service"
status=0
output="$(systemd-analyze verify --man=no "$work/tarsion@parport0.service" 2>&1)" || status=$?
if [ "$status" -ne 0 ] || [ -n "$output" ]; then
    echo "FAIL: systemd-analyze verify of $1 (status $status):" >&2
    echo "$output" >&2
    exit 1
fi
echo "== $1 passes systemd-analyze verify"
