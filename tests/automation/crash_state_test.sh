#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
# The virtual board keeps its state through a crash: tarsion is killed with -9 shortly after a burst
# of Pokes, and a restart on the same state file shows the last value the script saw acknowledged.
# Usage: crash_state_test.sh TARSION TARSION_SCRIPT
set -euo pipefail
tarsion="$1"
script_host="$2"
source "$(dirname "$0")/end_to_end_setup.sh"
# The state folder does not exist yet: the board creates it.
export QT_QPA_PLATFORM=offscreen TARSION_PORT="sim:$work/state/board.state"

cat >"$work/burst.js" <<'JS'
var t = WScript.CreateObject("Trm90627");
for (var i = 1; i <= 3000; ++i)
    t.Poke(0x0b, 0x10000 + i);
WScript.Echo(t.Peek(0x0b));
JS
cat >"$work/peek.js" <<'JS'
WScript.Echo(WScript.CreateObject("Trm90627").Peek(0x0b));
JS

dbus-run-session -- bash -c '
    serve() {
        "$1" & program=$!
        wait_for_owner || { echo "tarsion did not start" >&2; exit 1; }
    }
    serve "$1"
    "$2" "$3/burst.js" >"$3/acknowledged"
    # The board writes its state a quarter of a second after the last change; a loaded machine may
    # take longer, so wait for the write itself (the program still runs) before the crash.
    for _ in $(seq 200); do
        grep -qx "chip 0b 00010bb8" "$3/state/board.state" 2>/dev/null && break
        sleep 0.1
    done
    kill -0 "$program" || { echo "tarsion ended before the crash" >&2; exit 1; }
    kill -9 "$program"
    wait "$program" || true
    serve "$1"
    "$2" "$3/peek.js" >"$3/restarted"
    kill "$program"
    wait "$program" || true
' crash "$tarsion" "$script_host" "$work"

acknowledged="$(cat "$work/acknowledged")"
restarted="$(cat "$work/restarted")"
[ "$acknowledged" = "$((0x10000 + 3000))" ] || fail "the burst read back $acknowledged"
[ "$restarted" = "$acknowledged" ] || fail "after the crash the board shows $restarted, not $acknowledged"
echo "the board kept $restarted through kill -9"
