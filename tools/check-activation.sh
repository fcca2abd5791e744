#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
# D-Bus activation and the README's headless example from a fresh account, with only what the
# package installed: no per-user activation file, no settings but the board's Port.
# Usage: tools/check-activation.sh   (after the package is installed)
set -euo pipefail
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
export HOME="$work/home"
mkdir -p "$HOME"
unset XDG_CONFIG_HOME DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM TARSION_PORT DBUS_SESSION_BUS_ADDRESS
# The fresh account's default, said aloud: the bus daemon takes the home folder from the user
# database, not from HOME, and would otherwise find the real account's per-user activation file.
export XDG_DATA_HOME="$HOME/.local/share"
service=/usr/share/dbus-1/services/com.tessaric.Tarsion.service
grep -qx 'Exec=/usr/bin/tarsion --automation' "$service" || fail "$service does not start /usr/bin/tarsion"
cd "$work"

cat >bench.js <<'JS'
var Tarsion = WScript.CreateObject("Trm90627");
if (!Tarsion.Poke(0x0a, 0x12345678))
    WScript.Quit(4);
WScript.Echo(Tarsion.Peek(0x0a));
JS

# 1. Activation: the program the bus daemon starts takes its board from the Port setting.
mkdir -p "$HOME/.config/Tessaric"
printf '[Settings]\nPort=sim:%s\n' "$work/activated.txt" >"$HOME/.config/Tessaric/Tarsion.conf"
output="$(dbus-run-session -- sh -c '
    tarsion-script bench.js || exit $?
    program="$(dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.GetConnectionUnixProcessID string:com.tessaric.Tarsion | awk "/uint32/ { print \$2 }")"
    kill "$program"
    while kill -0 "$program" 2>/dev/null; do sleep 0.1; done
')" || fail "activation from a fresh account: $output"
grep -qx 305419896 <<<"$output" || fail "the activated program read back $output"
grep -q "^tarsion 1" "$HOME/.local/state/tarsion/activation.log" || fail "the activated program left no log in the state folder"
! grep -q "^Poke 0a" <<<"$output" || fail "the activated program's log reached the script's output"
grep -qx 'chip 0a 12345678' activated.txt || fail "the activated program did not keep its board"
[ ! -e "$HOME/.local/share/dbus-1/services/com.tessaric.Tarsion.service" ] ||
    fail "the installed program wrote a per-user activation file"
echo "== activation from a fresh account starts the installed program on its Port setting"

# 2. The README's headless example as written, then with a script that fails.
rm -rf "$HOME/.config"
example() {
    dbus-run-session -- sh -c 'tarsion --headless --port sim:board.txt > tarsion.log & server=$!
                               tarsion-script --board sim-board bench.js; status=$?
                               kill $server; wait $server; exit $status'
}
example >example.out || fail "the README's example failed: $(cat example.out tarsion.log)"
[ "$(cat example.out)" = 305419896 ] || fail "the README's example printed $(cat example.out)"
grep -qx 'chip 0a 12345678' board.txt || fail "the README's example left no board state"
echo 'WScript.Quit(3);' >bench.js
status=0
example >/dev/null || status=$?
[ "$status" = 3 ] || fail "the README's example with a failing script ended with $status"
echo "== the README's headless example works and fails with its script"
