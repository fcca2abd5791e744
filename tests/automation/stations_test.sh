#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
# Several boards on one bus, as a test station runs them: two headless programs on two virtual
# boards, each driven through its own board name; a third on a board already held is refused and
# names the holder. Then a server whose bus goes away ends as File > Exit does, one started with
# its standard descriptors closed keeps serving, and one started for automation where the display
# can't be reached serves headless.
# Usage: stations_test.sh TARSION TARSION_SCRIPT
set -euo pipefail
tarsion="$(readlink -f "$1")"
script_host="$(readlink -f "$2")"
source "$(dirname "$0")/end_to_end_setup.sh"
export tarsion script_host work
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM TARSION_PORT

# poke.js VALUE: writes VALUE to the carrier NCO register and prints what reads back.
cat >"$work/poke.js" <<'JS'
var Tarsion = WScript.CreateObject("Trm90627");
if (!Tarsion.Poke(0x0a, parseInt(WScript.Arguments(0))))
    WScript.Quit(4);
WScript.Echo(Tarsion.Peek(0x0a));
JS

# Waits up to 20 s for process $1 to end; fails when it does not.
wait_gone() {
    for _ in $(seq 200); do
        kill -0 "$1" 2>/dev/null || return 0
        sleep 0.1
    done
    return 1
}
export -f wait_gone

# 1. Two boards, each addressed by its id; a third program on a held board is refused.
dbus-run-session -- bash -c '
    "$tarsion" --headless --port "sim:$work/a.txt" >"$work/a.log" 2>&1 & first=$!
    wait_for_owner
    "$tarsion" --headless --port "sim:$work/b.txt" --board-id bench_b >"$work/b.log" 2>&1 & second=$!
    "$script_host" --board sim-a "$work/poke.js" 0x11111111 >"$work/a.out" 2>&1 || { cat "$work/a.out"; exit 1; }
    "$script_host" --board bench_b "$work/poke.js" 0x22222222 >"$work/b.out" 2>&1 || { cat "$work/b.out"; exit 1; }
    # Each program names its own board and port in Status.
    for name in Board.sim-a Board.bench_b ""; do
        gdbus call --session --dest "com.tessaric.Tarsion${name:+.$name}" --object-path /Trm90627 \
            --method com.tessaric.Tarsion.Board1.Status >"$work/status${name:+.$name}" || exit 1
    done
    # The first program keeps the name scripts without --board use.
    [ "$(owner_pid)" = "$first" ] || { echo "com.tessaric.Tarsion is not the first program: $(owner_pid)"; exit 1; }
    status=0
    "$tarsion" --headless --port "sim:$work/a.txt" --board-id third >"$work/third.out" 2>"$work/third.err" || status=$?
    echo "$status $first" >"$work/third.status"
    # Every name of the state file is the same board, the lock file deleted or not.
    ln -s a.txt "$work/a-link.txt"
    ln "$work/a.txt" "$work/a-hard.txt"
    for name in a-link.txt a-hard.txt a.txt; do
        [ "$name" = a.txt ] && rm "$work/a.txt.lock"
        status=0
        # A program that did start would serve until the time-out ends it.
        timeout 20 "$tarsion" --headless --port "sim:$work/$name" >"$work/other.out" 2>"$work/other.err" || status=$?
        [ "$status" = 4 ] || { echo "sim:$name beside the holder ended with $status"; exit 1; }
        grep -q "in use by tarsion (pid $first" "$work/other.err" || { echo "sim:$name: $(cat "$work/other.err")"; exit 1; }
    done
    kill -TERM "$first" "$second"
    wait "$first" "$second"
' || fail "two boards: $(cat "$work"/*.log)"
[ "$(cat "$work/a.out")" = 286331153 ] || fail "board sim-a read back $(cat "$work/a.out")"
[ "$(cat "$work/b.out")" = 572662306 ] || fail "board bench_b read back $(cat "$work/b.out")"
grep -qx 'chip 0a 11111111' "$work/a.txt" || fail "board a lacks its write"
grep -qx 'chip 0a 22222222' "$work/b.txt" || fail "board b lacks its write"
head -n 1 "$work/a.log" | grep -q 'board sim-a (sim:' || fail "log a begins: $(head -n 1 "$work/a.log")"
head -n 1 "$work/b.log" | grep -q 'board bench_b (sim:' || fail "log b begins: $(head -n 1 "$work/b.log")"
# board id | port field of the status bar | status reply
while IFS='|' read -r id port reply; do
    grep -qF "'board id': <'$id'>" "$work/$reply" || fail "Status of $id: $(cat "$work/$reply")"
    grep -qF "'port': <'$port'>" "$work/$reply" || fail "Status of $id names another port: $(cat "$work/$reply")"
done <<'TABLE'
sim-a|Virtual board — a.txt|status.Board.sim-a
bench_b|Virtual board — b.txt|status.Board.bench_b
sim-a|Virtual board — a.txt|status
TABLE
read -r status holder <"$work/third.status"
[ "$status" = 4 ] || fail "a third program on a held board ended with $status"
grep -q "pid $holder, board id sim-a" "$work/third.err" || fail "the refusal names no holder: $(cat "$work/third.err")"
! grep -q '^Peek\|^Poke' "$work/third.out" || fail "the refused program reached the board"
echo "two boards served side by side; a third refused on a held board, by any name of its file"

# 2. The bus goes away: the server ends, its board's state written, the board free again.
bus="$(dbus-daemon --session --fork --print-address=1 --print-pid=1)"
address="$(sed -n 1p <<<"$bus")"
daemon="$(sed -n 2p <<<"$bus")"
DBUS_SESSION_BUS_ADDRESS="$address" "$tarsion" --headless --port "sim:$work/c.txt" >"$work/c.log" 2>&1 & server=$!
DBUS_SESSION_BUS_ADDRESS="$address" "$script_host" --board sim-c "$work/poke.js" 0x33333333 >"$work/c.out" 2>&1 ||
    { kill -KILL "$server" "$daemon"; fail "bus loss: script failed: $(cat "$work/c.out")"; }
kill -TERM "$daemon"
wait_gone "$server" || { kill -KILL "$server"; fail "the server outlived its bus"; }
status=0
wait "$server" || status=$?
[ "$status" = 0 ] || fail "the server ended with $status after its bus went away: $(cat "$work/c.log")"
grep -qx 'chip 0a 33333333' "$work/c.txt" || fail "bus loss: board state not written"
echo "a server whose bus goes away ends and keeps its board"

# 3. Standard input, output and error closed: log lines and messages must not read as signals.
dbus-run-session -- bash -c '
    "$tarsion" --headless --port "sim:$work/d.txt" <&- >&- 2>&- & server=$!
    for value in 0x44444444 0x55555555; do
        "$script_host" --board sim-d "$work/poke.js" "$value" >>"$work/d.out" 2>&1 || exit 1
    done
    kill -TERM "$server"
    wait "$server"
' || fail "closed descriptors: $(cat "$work/d.out")"
grep -qx 'chip 0a 55555555' "$work/d.txt" || fail "closed descriptors: board state not written"
echo "standard descriptors closed: the server goes on serving"

# 4. Started for automation where the display named can't be reached: the headless server, not an
# abort in the platform plugin or a dialog nobody sees.
dbus-run-session -- bash -c '
    DISPLAY=:97 "$tarsion" --automation --port "sim:$work/e.txt" >"$work/e.log" 2>&1 & server=$!
    "$script_host" --board sim-e "$work/poke.js" 0x66666666 >"$work/e.out" 2>&1 || exit 1
    kill -TERM "$server"
    wait "$server"
' || fail "automation without a reachable display: $(cat "$work/e.out" "$work/e.log")"
grep -qx 'chip 0a 66666666' "$work/e.txt" || fail "automation without a reachable display: board state not written"
echo "automation without a reachable display serves headless"
