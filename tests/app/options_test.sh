#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
# The command lines of tarsion and tarsion-script that need neither a display nor a session bus:
# help and version on standard output with status 0, a wrong option on standard error with
# status 2, one line and where to read more; a window where no display answers is one line on
# standard error and status 2, with nothing written (no settings, no board state).
# Usage: options_test.sh TARSION TARSION_SCRIPT
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
unset DISPLAY WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS QT_QPA_PLATFORM TARSION_PORT
tarsion="$(readlink -f "$1")"
script_host="$(readlink -f "$2")"
# A relative state file would land here.
cd "$work"
failed=0

# program | arguments | status | stream that holds the text | pattern of its first line | what
# follows it: "try" (one line: Try 'PROGRAM --help' ...), or nothing (one line only)
while IFS='|' read -r program arguments status stream pattern then; do
    [ -n "$program" ] || continue
    actual=0
    # shellcheck disable=SC2086
    "${!program}" $arguments >"$work/out" 2>"$work/err" || actual=$?
    other=$([ "$stream" = out ] && echo err || echo out)
    if [ "$actual" != "$status" ] || ! head -n 1 "$work/$stream" | grep -q -- "$pattern" ||
        [ -s "$work/$other" ] ||
        { [ "$then" = try ] && { [ "$(wc -l <"$work/err")" != 2 ] ||
            ! tail -n 1 "$work/err" | grep -q "^Try '$(basename "${!program}") --help' for more information.$"; }; } ||
        { [ "$then" = nothing ] && [ "$(wc -l <"$work/$stream")" != 1 ]; }; then
        echo "FAIL: $program $arguments: status $actual; out: $(cat "$work/out"); err: $(cat "$work/err")" >&2
        failed=1
    fi
done <<'TABLE'
tarsion|--help|0|out|^Usage: tarsion|
tarsion|-h|0|out|^Usage: tarsion|
tarsion|--version|0|out|^tarsion [0-9]|
tarsion|--headless --version|0|out|^tarsion [0-9]|
tarsion|--no-such-option|2|err|unknown option --no-such-option|try
tarsion|--board-id 9lives|2|err|is no board id|try
tarsion|--board-id a.b|2|err|is no board id|try
tarsion|--port|2|err|needs a value|try
tarsion|--headless=yes|2|err|takes no value|try
script_host|--help|0|out|^Usage: tarsion-script|
script_host|--version|0|out|^tarsion-script [0-9]|
script_host|--no-such-option x.js|2|err|unknown option --no-such-option|try
script_host|--board|2|err|no board id|try
script_host|--board 1x x.js|2|err|"1x" is no board id|try
tarsion|--save-port bogus|2|err|"bogus" names no port|try
script_host||2|err|no script named|try
tarsion||2|err|there is no display to open the window on.*xvfb-run -a tarsion.*tarsion --headless|nothing
tarsion|--port sim:board.txt bench.cfg|2|err|there is no display to open the window on.*xvfb-run -a tarsion.*tarsion --headless|nothing
tarsion|-platform xcb|2|err|there is no display to open the window on.*xvfb-run -a tarsion.*tarsion --headless|nothing
tarsion|-display :987|2|err|there is no display to open the window on.*xvfb-run -a tarsion.*tarsion --headless|nothing
TABLE
[ -z "$(find "$work" -mindepth 1 -not -name out -not -name err)" ] || { echo "FAIL: files written" >&2; failed=1; }
# --version names the copyright and the licence.
"$tarsion" --version | grep -q "^Copyright (C) 2026 Tessaric$" && "$tarsion" --version | grep -q "^License GPL-3.0-or-later" ||
    { echo "FAIL: --version without copyright or licence" >&2; failed=1; }
# The man pages' dates parse.
for page in "$here"/../../man/*.1; do
    date -d "$(sed -n 's/^\.TH [^ ]* [0-9] "\([^"]*\)".*/\1/p' "$page")" >/dev/null 2>&1 ||
        { echo "FAIL: $page: the .TH date does not parse" >&2; failed=1; }
done
# tools/run.sh without a display stops with status 2, as the README says.
status=0
"$here"/../../tools/run.sh >/dev/null 2>&1 || status=$?
[ "$status" = 2 ] || { echo "FAIL: tools/run.sh without a display: status $status" >&2; failed=1; }
[ "$failed" = 0 ] && echo "options: all cases hold"
exit "$failed"
