#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
# D-Bus activation end to end: a first run of tarsion writes its activation file; on a new bus with
# no program running, a script's creation request then starts tarsion, whose virtual board the
# script drives.
# Usage: activation_test.sh TARSION TARSION_SCRIPT
set -euo pipefail
tarsion="$1"
script_host="$2"
source "$(dirname "$0")/end_to_end_setup.sh"
export QT_QPA_PLATFORM=offscreen TARSION_PORT=sim

# 1. Any start writes the activation file.
dbus-run-session -- bash -c '
    "$1" & program=$!
    wait_for_owner
    kill "$program"
' first "$tarsion"
service="$XDG_DATA_HOME/dbus-1/services/com.tessaric.Tarsion.service"
[ -f "$service" ] || fail "no activation file at $service"
expected="$(printf '[D-BUS Service]\nName=com.tessaric.Tarsion\nExec=%s --automation\n# tarsion %s' \
    "$(readlink -f "$tarsion")" "$("$tarsion" --version | head -n 1 | cut -d' ' -f2)")"
[ "$(cat "$service")" = "$expected" ] || fail "activation file reads: $(cat "$service")"

# 2. A script with no program running starts one and drives its board. The bus daemon runs in /:
# the program it starts keeps the files of relative names in its state folder instead.
cat >"$work/activate.js" <<'JS'
var Tarsion = WScript.CreateObject("Trm90627");
Tarsion.Poke(0x0a, 0x12345678);
Tarsion.write(0x0b, 0x5a);
Tarsion.DumpConstellationRam("tarsion-activation-dump.hex");
WScript.Echo(Tarsion.Peek(0x0a), Tarsion.Read(0x0b));
JS
output="$(cd / && dbus-run-session -- bash -c '
    [ -z "$(owner_pid)" ] || { echo "a program already runs"; exit 1; }
    "$1" "$2"
    status=$?
    program="$(owner_pid)"
    # It saves its settings as it ends: the next step writes them first.
    if [ -n "$program" ]; then
        kill "$program"
        while kill -0 "$program" 2>/dev/null; do sleep 0.1; done
    fi
    exit $status
' second "$script_host" "$work/activate.js")" || fail "script run failed: $output"
[ "$output" = "305419896 90" ] || fail "script printed: $output"
if [ -e /tarsion-activation-dump.hex ]; then
    rm -f /tarsion-activation-dump.hex
    fail "the activated program wrote its dump into /"
fi
[ -s "$XDG_STATE_HOME/tarsion/tarsion-activation-dump.hex" ] || fail "no dump in the state folder"
echo "activation works: $output"

# 3. A run's --port is that run's: a headless test fixture leaves the Port setting alone, and
# tarsion --save-port stores the port activation uses (a relative state file made absolute).
settings="$XDG_CONFIG_HOME/Tessaric/Tarsion.conf"
mkdir -p "$(dirname "$settings")"
printf '[Settings]\nPort=sim:%s\n' "$work/kept.txt" >"$settings"
dbus-run-session -- bash -c '
    "$1" --headless --port "sim:$2/scratch.txt" >/dev/null 2>&1 & program=$!
    wait_for_owner
    kill "$program"
    wait "$program"
' third "$tarsion" "$work" || fail "headless run on a scratch board"
grep -qx "Port=sim:$work/kept.txt" "$settings" || fail "a headless --port rewrote the settings: $(cat "$settings")"
(cd "$work" && "$tarsion" --save-port sim:saved.txt >/dev/null) || fail "--save-port failed"
grep -qx "Port=sim:$work/saved.txt" "$settings" || fail "--save-port stored: $(cat "$settings")"
echo "--port is for its run, --save-port stores the Port setting"

# 4. Activation that can't start: the script gets the program's reason and remedy and exits 2; the
# program's log is in the user's state folder, not in the script's output. No display: the
# activated program runs headless, as on a rack PC.
unset TARSION_PORT QT_QPA_PLATFORM
printf 'var Tarsion = WScript.CreateObject("Trm90627");\nWScript.Echo(Tarsion.Peek(10));\n' >"$work/one.js"
activate() {  # expected text in the error, then the Port setting
    rm -rf "$XDG_STATE_HOME"
    "$tarsion" --save-port "$2" >/dev/null
    status=0
    dbus-run-session -- "$script_host" "$work/one.js" >"$work/one.out" 2>"$work/one.err" || status=$?
    [ "$status" = 2 ] || fail "activation on $2: status $status: $(cat "$work/one.out" "$work/one.err")"
    grep -q "Could not create object named \"Trm90627\": Tarsion could not start: .*$1" "$work/one.err" &&
        grep -q "tarsion --save-port sim chooses the virtual board" "$work/one.err" ||
        fail "activation on $2 said: $(cat "$work/one.err")"
    grep -q "^tarsion 1\|Couldn't Initiate the Driver" "$XDG_STATE_HOME/tarsion/activation.log" ||
        fail "activation on $2: no log in the state folder"
    ! grep -q "^tarsion: " "$work/one.out" || fail "activation on $2: the program's log reached the script's output"
}
activate "/dev/parport-none" /dev/parport-none
echo "activation on a port that can't be opened reports the cause"
if "$tarsion" --list-ports | grep -q "^No parallel port found"; then
    activate "no parallel port found" auto
    echo "activation on a PC without a parallel port reports the cause"
fi
