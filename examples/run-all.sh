#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
# Runs every example client against a headless Tarsion on the virtual board, on a private session
# bus, then checks that the filter and the pattern reached the board's memories.
# Usage: examples/run-all.sh [BIN_DIR]   (without BIN_DIR: tarsion and tarsion-script from PATH)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
bin="${1:+$(cd "$1" && pwd)/}"
work="$(mktemp -d)"
# A build tree holds the tarsion Python module (with its metadata) beside bin/; the package installs
# it where python3 finds it.
if [ -n "$bin" ] && [ -d "${bin}../python/tarsion" ]; then
    export PYTHONPATH="$(cd "${bin}../python" && pwd)${PYTHONPATH:+:$PYTHONPATH}"
fi
trap 'rm -rf "$work"' EXIT

# Settings and the activation file go to a scratch folder, never the user's. The examples run from
# a copy there too, since a coefficient load writes its RAM image beside the filter file and the
# server its bit listing into its own folder.
export HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" TMPDIR="$work"
mkdir -p "$HOME"
cp -r "$here" "$work/examples"
here="$work/examples"
cd "$work"
unset DBUS_SESSION_BUS_ADDRESS

dbus-run-session -- bash -c '
    here="$1" bin="$2" work="$3"
    TARSION_PORT="sim:$work/board.txt" "${bin}tarsion" --headless >"$work/tarsion.log" 2>&1 &
    server=$!
    for _ in $(seq 100); do
        dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
            org.freedesktop.DBus.NameHasOwner string:com.tessaric.Tarsion 2>/dev/null | grep -q "boolean true" && break
        sleep 0.1
    done
    status=0
    echo "== Python (dbus-python)"
    /usr/bin/python3 "$here/load_and_read.py" || status=1
    echo "== shell (gdbus)"
    "$here/load_and_read.sh" || status=1
    echo "== JavaScript (tarsion-script)"
    QT_QPA_PLATFORM=offscreen "${bin}tarsion-script" "$here/load_and_read.js" "$work" || status=1
    echo "== test station (tarsion Python client)"
    /usr/bin/python3 "$here/test_station.py" --report "$work/station-report.xml" || status=1
    echo "== pytest station (the tarsion pytest plugin)"
    if /usr/bin/python3 -c "import pytest" 2>/dev/null; then
        PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 -m pytest -q -p no:cacheprovider --tarsion-board sim-board \
            --junitxml="$work/pytest-report.xml" "$here/station" || status=1
    else
        echo "pytest is not installed (python3-pytest): not run"
    fi
    kill -TERM "$server"
    wait "$server" || status=1
    exit $status
' run-all "$here" "$bin" "$work" || { echo "FAIL; the server's log:" >&2; tail -n 40 "$work/tarsion.log" >&2; exit 1; }

grep -q "^coef I " "$work/board.txt" || { echo "FAIL: the filter is not in the I coefficient RAM" >&2; exit 1; }
grep -q "^pattern 3ffc0 " "$work/board.txt" || { echo "FAIL: the pattern is not in the pattern memory" >&2; exit 1; }
grep -q 'failures="0" errors="0"' "$work/station-report.xml" || { echo "FAIL: the station's report shows failures" >&2; exit 1; }
echo "all examples ran"
