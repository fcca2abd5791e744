#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
# `tarsion --list-ports` runs with no display and no session bus, touches no user file and ends with
# status 0, whether or not the machine has a parallel port.
# Usage: list_ports_test.sh TARSION
set -euo pipefail
tarsion="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
unset DISPLAY WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS QT_QPA_PLATFORM TARSION_PORT

status=0
"$tarsion" --list-ports >"$work/out" 2>"$work/err" || status=$?
cat "$work/out"
if [ "$status" -ne 0 ]; then
    echo "FAIL: exit status $status" >&2
    cat "$work/err" >&2
    exit 1
fi
if ls /proc/sys/dev/parport/parport* >/dev/null 2>&1; then
    grep -q '^/dev/parport[0-9]*  base 0x' "$work/out" || { echo "FAIL: no port line" >&2; exit 1; }
else
    grep -q '^No parallel port found' "$work/out" || { echo "FAIL: no clear text" >&2; exit 1; }
fi
if [ -s "$work/err" ]; then
    echo "FAIL: unexpected standard error:" >&2
    cat "$work/err" >&2
    exit 1
fi
if [ -n "$(find "$work" -mindepth 1 -not -name out -not -name err)" ]; then
    echo "FAIL: files written:" >&2
    find "$work" -mindepth 1 >&2
    exit 1
fi
