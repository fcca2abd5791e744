#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
# The headless server and the termination signals end to end, as CI runs them: tarsion starts on a
# virtual board with a state file, a script drives it through tarsion-script, a signal ends it;
# then the board's state file and the settings must hold what a File > Exit leaves. Last, D-Bus
# activation with no display at all starts the headless server, and a session bus that never
# answers ends the start-up.
# Usage: headless_test.sh TARSION TARSION_SCRIPT
set -euo pipefail
tarsion="$(readlink -f "$1")"
script_host="$(readlink -f "$2")"
source "$(dirname "$0")/end_to_end_setup.sh"
settings="$XDG_CONFIG_HOME/Tessaric/Tarsion.conf"
export tarsion script_host work

cat >"$work/drive.js" <<'JS'
var Tarsion = WScript.CreateObject("Trm90627");
if (!Tarsion.Poke(0x0a, 0x12345678) || !Tarsion.Write(0x0b, 0x5a))
    WScript.Quit(4);
WScript.Echo(Tarsion.Peek(0x0a), Tarsion.Read(0x0b));
JS

# run_case SIGNAL MODE: starts tarsion (MODE headless or windowed) on a private bus, runs drive.js,
# sends SIGNAL and prints the program's exit status.
run_case() {
    dbus-run-session -- bash -c '
        signal="$1" mode="$2"
        if [ "$mode" = headless ]; then
            env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM TARSION_PORT="sim:$work/state.txt" \
                "$tarsion" --headless >"$work/out" 2>"$work/err" &
        else
            QT_QPA_PLATFORM=offscreen TARSION_PORT="sim:$work/state.txt" "$tarsion" >"$work/out" 2>"$work/err" &
        fi
        program=$!
        wait_for_owner
        QT_QPA_PLATFORM=offscreen "$script_host" "$work/drive.js" >"$work/script-out" 2>&1 ||
            { kill -KILL "$program"; echo "script failed: $(cat "$work/script-out")"; exit 1; }
        kill -s "$signal" "$program"
        status=0
        wait "$program" || status=$?
        echo "$status"
    ' case "$@"
}

for mode in headless windowed; do
    for signal in TERM INT HUP; do
        rm -rf "$work/state.txt" "$XDG_CONFIG_HOME"
        status="$(run_case "$signal" "$mode")" || fail "$mode $signal: $status"
        [ "$status" = 0 ] || fail "$mode SIG$signal: exit status $status; stderr: $(cat "$work/err")"
        [ "$(cat "$work/script-out")" = "305419896 90" ] || fail "$mode: script printed $(cat "$work/script-out")"
        grep -qx 'chip 0a 12345678' "$work/state.txt" || fail "$mode SIG$signal: board state not written"
        grep -qx 'bridge 0b 5a' "$work/state.txt" || fail "$mode SIG$signal: board state lacks bridge 0b"
        grep -q '^BaseAddress=888$' "$settings" || fail "$mode SIG$signal: settings not saved"
        grep -q '^CarrierFrequencyStep=' "$settings" || fail "$mode SIG$signal: steps not saved"
        if [ "$mode" = headless ]; then
            # The log as the log window would show it: operation at indent 0, result at indent 1.
            grep -qxF 'Poke 0a 12345678 ' "$work/out" || fail "headless log lacks the Poke line: $(cat "$work/out")"
            grep -qx $'\tDone' "$work/out" || fail "headless log lacks the indented Done line"
            ! grep -q '^x=' "$settings" || fail "headless wrote a window position"
        else
            grep -q '^x=' "$settings" || fail "windowed SIG$signal: window position not saved"
        fi
        echo "$mode SIG$signal: ends as File > Exit does"
    done
done

# A log reader that goes away must not end the server: the script still runs and SIGTERM still
# ends it as File > Exit does.
rm -rf "$work/state.txt"
dbus-run-session -- bash -c '
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM TARSION_PORT="sim:$work/state.txt" \
        "$tarsion" --headless 2>"$work/err" | head -c 1 >/dev/null &
    wait_for_owner
    program="$(owner_pid)"
    QT_QPA_PLATFORM=offscreen "$script_host" "$work/drive.js" >"$work/script-out" 2>&1 || exit 1
    kill -TERM "$program"
    wait
' || fail "with its log reader gone: $(cat "$work/script-out")"
grep -qx 'chip 0a 12345678' "$work/state.txt" || fail "with its log reader gone: board state not written"
echo "headless: a log reader that goes away costs only the log"

# Activation with no display: the bus daemon's environment has no DISPLAY, WAYLAND_DISPLAY or
# QT_QPA_PLATFORM, so the activated program runs headless instead of aborting.
rm -rf "$work/state.txt"
mkdir -p "$XDG_DATA_HOME/dbus-1/services"
printf '[D-BUS Service]\nName=com.tessaric.Tarsion\nExec=%s --automation\n' "$tarsion" \
    >"$XDG_DATA_HOME/dbus-1/services/com.tessaric.Tarsion.service"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM TARSION_PORT="sim:$work/state.txt" dbus-run-session -- bash -c '
    QT_QPA_PLATFORM=offscreen "$script_host" "$work/drive.js" >"$work/script-out" 2>&1 ||
        { echo "script failed: $(cat "$work/script-out")"; exit 1; }
    program="$(owner_pid)"
    [ -n "$program" ] || { echo "no program serves the bus"; exit 1; }
    tr "\0" " " <"/proc/$program/cmdline" | grep -q -- "--automation" || { echo "not started by activation"; exit 1; }
    kill -TERM "$program"
    for _ in $(seq 100); do
        kill -0 "$program" 2>/dev/null || exit 0
        sleep 0.1
    done
    echo "the activated program did not end on SIGTERM"
    exit 1
' || fail "activation without a display"
[ "$(cat "$work/script-out")" = "305419896 90" ] || fail "activated: script printed $(cat "$work/script-out")"
grep -qx 'chip 0a 12345678' "$work/state.txt" || fail "activated: board state not written"
echo "activation without a display runs headless"

# A session bus that accepts the connection but never answers: the start-up gives up after its
# time-out with a message and a failure status, and a signal ends the wait at once. The fake bus
# notes each connection it takes in silent-bus.log.
python3 - "$work/silent-bus" <<'PY' &
import socket, sys, time
server = socket.socket(socket.AF_UNIX)
server.bind(sys.argv[1])
server.listen(8)
server.settimeout(0.5)
held = []
end = time.time() + 120
while time.time() < end:
    try:
        held.append(server.accept()[0])
        with open(sys.argv[1] + ".log", "a") as log:
            log.write("connected\n")
    except socket.timeout:
        pass
PY
silent_bus=$!
trap 'kill "$silent_bus" 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 50); do [ -S "$work/silent-bus" ] && break; sleep 0.1; done
silent() {
    exec env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DBUS_SESSION_BUS_ADDRESS="unix:path=$work/silent-bus" \
        "$tarsion" --headless --port sim >"$work/silent.out" 2>"$work/silent.err"
}
status=0
timeout 60 bash -c "$(declare -f silent); silent" || status=$?
[ "$status" = 1 ] || fail "a silent bus: status $status: $(cat "$work/silent.err")"
grep -qxF "tarsion: can't use the D-Bus session bus: the D-Bus session bus did not answer within 5 s" \
    "$work/silent.err" || fail "a silent bus: $(cat "$work/silent.err")"
rm -f "$work/silent-bus.log"
silent &
program=$!
for _ in $(seq 100); do [ -s "$work/silent-bus.log" ] && break; sleep 0.1; done
# A loaded machine may take a while to deliver and serve the signal; the message below tells a
# signal that ended the wait from the bus's own 5 s time-out.
kill -TERM "$program"
for _ in $(seq 100); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
kill -0 "$program" 2>/dev/null && { kill -KILL "$program"; fail "SIGTERM did not end a start-up waiting for a silent bus"; }
status=0
wait "$program" || status=$?
[ "$status" = 1 ] || fail "a silent bus, SIGTERM: status $status: $(cat "$work/silent.err")"
grep -qF "a termination signal ended the wait for the session bus" "$work/silent.err" ||
    fail "a silent bus, SIGTERM: $(cat "$work/silent.err")"
echo "a silent session bus ends the start-up with a message; SIGTERM ends the wait"
