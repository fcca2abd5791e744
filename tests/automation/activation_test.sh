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
    "$(readlink -f "$tarsion")" "$("$tarsion" --version | cut -d' ' -f2)")"
[ "$(cat "$service")" = "$expected" ] || fail "activation file reads: $(cat "$service")"

# 2. A script with no program running starts one and drives its board.
cat >"$work/activate.js" <<'JS'
var Tarsion = WScript.CreateObject("Trm90627");
Tarsion.Poke(0x0a, 0x12345678);
Tarsion.write(0x0b, 0x5a);
WScript.Echo(Tarsion.Peek(0x0a), Tarsion.Read(0x0b));
JS
output="$(dbus-run-session -- bash -c '
    [ -z "$(owner_pid)" ] || { echo "a program already runs"; exit 1; }
    "$1" "$2"
    status=$?
    program="$(owner_pid)"
    [ -n "$program" ] && kill "$program"
    exit $status
' second "$script_host" "$work/activate.js")" || fail "script run failed: $output"
[ "$output" = "305419896 90" ] || fail "script printed: $output"
echo "activation works: $output"
