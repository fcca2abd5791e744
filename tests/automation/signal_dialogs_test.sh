#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
# SIGTERM while the program waits in a dialog, runs a long load or waits for register bits, end to
# end: the program ends at once as File > Exit does (status 0, settings saved, the board's state
# file written), a load in progress stops after the word in hand, a wait answers false, and a call
# queued behind it still runs. Meanwhile the bus
# is served: Peer and introspection answer during the load, in the window and headless alike.
# Prints how long each program took to end after the signal.
# Usage: signal_dialogs_test.sh TARSION
set -euo pipefail
tarsion="$(readlink -f "$1")"
source "$(dirname "$0")/end_to_end_setup.sh"
settings="$XDG_CONFIG_HOME/Tessaric/Tarsion.conf"
export tarsion work

call() {
    gdbus call --session --dest com.tessaric.Tarsion --object-path /Trm90627 --timeout 600 \
        --method "com.tessaric.Trm90627.$1" "${@:2}"
}
# ends_after_signal PID: sends SIGTERM, waits for the program (at most 20 s) and prints its exit
# status and the time it took.
ends_after_signal() {
    local started status=0
    started="$(date +%s%N)"
    kill -TERM "$1"
    for _ in $(seq 400); do
        kill -0 "$1" 2>/dev/null || break
        sleep 0.05
    done
    if kill -0 "$1" 2>/dev/null; then
        kill -KILL "$1"
        echo "still running 20 s after SIGTERM"
        return
    fi
    wait "$1" || status=$?
    echo "$status $(((($(date +%s%N) - started) / 1000000))) ms"
}
export -f call ends_after_signal

# Kind of wait, how the program runs, and what brings it there.
cases=(
    "progress windowed load"
    "progress headless load"
    "message windowed message"
    "wait windowed wait"
    "wait headless wait"
)
for entry in "${cases[@]}"; do
    read -r kind mode how <<<"$entry"
    rm -rf "$work/state.txt" "$XDG_CONFIG_HOME"
    result="$(dbus-run-session -- bash -c '
        mode="$1" how="$2"
        if [ "$mode" = headless ]; then
            env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM TARSION_PORT="sim-paced:$work/state.txt" \
                "$tarsion" --headless >"$work/out" 2>"$work/err" &
        else
            QT_QPA_PLATFORM=offscreen TARSION_PORT="sim-paced:$work/state.txt" \
                "$tarsion" >"$work/out" 2>"$work/err" &
        fi
        program=$!
        wait_for_owner || { echo "no program on the bus"; exit 1; }
        call Poke "<10>" "<0x12345678>" >/dev/null
        if [ "$how" = load ]; then
            # A full pattern memory at the pace of a real port: about 30 s.
            call LoadExternalMem 1 1 0.5 0.5 16.0 131072.0 >"$work/load" 2>&1 &
        elif [ "$how" = wait ]; then
            # Bit 2 of register 08 is never set: a wait of its whole 60 s.
            gdbus call --session --dest com.tessaric.Tarsion --object-path /Trm90627 --timeout 600 \
                --method com.tessaric.Tarsion.Board1.WaitForBits 0x08 4 4 60000 >"$work/load" 2>&1 &
        else
            call LoadCoefficientRam 0 "\"$work/missing.coe\"" true 1.0 false 0 false false >"$work/load" 2>&1 &
        fi
        loader=$!
        sleep 1.5
        # Answered while the operation still runs.
        dbus-send --session --print-reply --dest=com.tessaric.Tarsion /Trm90627 org.freedesktop.DBus.Peer.Ping \
            >/dev/null || { echo "no answer to Ping"; exit 1; }
        dbus-send --session --print-reply --dest=com.tessaric.Tarsion /Trm90627 \
            org.freedesktop.DBus.Introspectable.Introspect | grep -q LoadExternalMem ||
            { echo "no answer to Introspect"; exit 1; }
        kill -0 "$loader" 2>/dev/null || { echo "the operation ended before the signal: $(cat "$work/load")"; exit 1; }
        # Waits for the operation, then runs.
        call Write "<11>" "<0x5a>" >"$work/queued" 2>&1 &
        queued=$!
        sleep 0.3
        ends_after_signal "$program"
        wait "$loader" "$queued" || true
    ' case "$mode" "$how")" || fail "$kind ($mode): $result"
    read -r status took _ <<<"$result"
    [ "$status" = 0 ] || fail "$kind ($mode): $result; stderr: $(cat "$work/err")"
    grep -qx 'chip 0a 12345678' "$work/state.txt" || fail "$kind ($mode): board state not written"
    grep -qx 'bridge 0b 5a' "$work/state.txt" || fail "$kind ($mode): the queued call did not run"
    grep -q '(true,)' "$work/queued" || fail "$kind ($mode): queued call: $(cat "$work/queued")"
    grep -q '^BaseAddress=888$' "$settings" || fail "$kind ($mode): settings not saved"
    grep -q '(false,)' "$work/load" || fail "$kind ($mode): the operation answered $(cat "$work/load")"
    if [ "$how" = load ] && [ "$mode" = headless ]; then
        grep -q $'^\tCancelled after [0-9]* of 262144 words' "$work/out" ||
            fail "headless: the load did not stop at a word: $(tail -3 "$work/out")"
    fi
    if [ "$how" = wait ] && [ "$mode" = headless ]; then
        grep -q $'^\tCancelled after [0-9]* of 60000 ms' "$work/out" ||
            fail "headless: the wait did not say why it ended: $(tail -3 "$work/out")"
    fi
    echo "$kind ($mode): ended $took ms after SIGTERM, state kept"
done

# The start-up dialog "Couldn't do Initial Read out.": no parallel port answers at the stored base.
if compgen -G '/dev/parport*' >/dev/null; then
    echo "start-up dialog: skipped (this machine has a parallel port)"
else
    rm -rf "$XDG_CONFIG_HOME"
    result="$(dbus-run-session -- bash -c '
        QT_QPA_PLATFORM=offscreen TARSION_PORT=auto "$tarsion" >"$work/out" 2>"$work/err" &
        program=$!
        wait_for_owner || { echo "no program on the bus"; exit 1; }
        grep -q "no board at" "$work/err" || sleep 1
        ends_after_signal "$program"
    ')" || fail "start-up dialog: $result"
    read -r status took _ <<<"$result"
    [ "$status" = 0 ] || fail "start-up dialog: $result; stderr: $(cat "$work/err")"
    grep -q '^BaseAddress=888$' "$settings" || fail "start-up dialog: settings not saved"
    grep -q '^x=' "$settings" || fail "start-up dialog: window position not saved"
    echo "start-up dialog (windowed): ended $took ms after SIGTERM, settings saved"
fi

# A state file that can't be written at exit fails the run: its folder has become a plain file.
rm -rf "$XDG_CONFIG_HOME" "$work/board"
result="$(dbus-run-session -- bash -c '
    mkdir -p "$work/board"
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM TARSION_PORT="sim:$work/board/state.txt" \
        "$tarsion" --headless >"$work/out" 2>"$work/err" &
    program=$!
    wait_for_owner || { echo "no program on the bus"; exit 1; }
    rm -rf "$work/board" && touch "$work/board"
    call Poke "<10>" "<0x12345678>" >/dev/null
    ends_after_signal "$program"
')" || fail "unsaved state: $result"
read -r status _ <<<"$result"
[ "$status" != 0 ] || fail "unsaved state: exit status 0"
grep -q "cannot save the virtual board's state" "$work/err" || fail "unsaved state: no message: $(cat "$work/err")"
echo "a state file that can't be written at exit: exit status $status and a message"
