#!/usr/bin/env bash
# The virtual board keeps its state through a crash: tarsion is killed with -9 shortly after a burst
# of Pokes, and a restart on the same state file shows the last value the script saw acknowledged.
# Usage: crash_state_test.sh TARSION TARSION_SCRIPT
set -euo pipefail
tarsion="$1"
script_host="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

export HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
# The state folder does not exist yet: the board creates it.
export QT_QPA_PLATFORM=offscreen TARSION_PORT="sim:$work/state/board.state"
unset DBUS_SESSION_BUS_ADDRESS

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
        for _ in $(seq 200); do
            dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
                org.freedesktop.DBus.NameHasOwner string:com.tessaric.Tarsion | grep -q "boolean true" && return
            sleep 0.1
        done
        echo "tarsion did not start" >&2
        exit 1
    }
    serve "$1"
    "$2" "$3/burst.js" >"$3/acknowledged"
    sleep 1 # well past the coalescing window (a quarter of a second)
    kill -9 "$program"
    wait "$program" || true
    serve "$1"
    "$2" "$3/peek.js" >"$3/restarted"
    kill "$program"
    wait "$program" || true
' crash "$tarsion" "$script_host" "$work"

acknowledged="$(cat "$work/acknowledged")"
restarted="$(cat "$work/restarted")"
[ "$acknowledged" = "$((0x10000 + 3000))" ] || { echo "FAIL: the burst read back $acknowledged" >&2; exit 1; }
[ "$restarted" = "$acknowledged" ] || { echo "FAIL: after the crash the board shows $restarted, not $acknowledged" >&2; exit 1; }
echo "the board kept $restarted through kill -9"
