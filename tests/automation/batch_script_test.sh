#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
# A script that throws, run where a display answers (a CI agent with Xvfb), never waits for a
# click in a batch run (--batch, TARSION_BATCH=1): the error goes to standard error with file and
# line, and the exit status says it failed.
# Usage: batch_script_test.sh TARSION_SCRIPT
set -uo pipefail
script_host="$(readlink -f "$1")"
source "$(dirname "$0")/end_to_end_setup.sh"
unset QT_QPA_PLATFORM TARSION_BATCH
printf 'var x = 1;\nthrow new Error("bench cable unplugged");\n' >"$work/throws.js"
printf 'var shell = WScript.CreateObject("WScript.Shell");\nshell.Popup("check the cable");\n' >"$work/popup.js"

# The Xvfb display for every case; each run that waited for a click would hit the time limit.
xvfb-run -a -s "-screen 0 640x480x24" bash -c '
    script_host="$1" work="$2"
    failed=0
    run() {  # expected status, expected first line of the stream, stream, command...
        local status=$1 line=$2 stream=$3
        shift 3
        actual=0
        timeout 20 "$@" >"$work/out" 2>"$work/err" || actual=$?
        if [ "$actual" != "$status" ] || [ "$(head -n 1 "$work/$stream")" != "$line" ]; then
            echo "FAIL: $*: status $actual; out: $(cat "$work/out"); err: $(cat "$work/err")" >&2
            failed=1
        fi
    }
    run 1 "$work/throws.js:2: Error: bench cable unplugged" err "$script_host" --batch "$work/throws.js"
    run 1 "$work/throws.js:2: Error: bench cable unplugged" err env TARSION_BATCH=1 "$script_host" "$work/throws.js"
    run 0 "check the cable" out "$script_host" --batch "$work/popup.js"
    exit $failed
' batch "$script_host" "$work" || exit 1
echo "batch runs under a display show no message box"
