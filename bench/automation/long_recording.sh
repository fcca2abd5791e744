#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
# Replay of a long recording: a header as Start Recording writes it, then LINES Poke calls. Reports
# the time from starting tarsion-script to the first call reaching the headless server, the whole
# run's call rate and tarsion-script's peak memory (maximum resident set). With "whole" as MODE the
# script starts with "use strict", which makes tarsion-script compile it as one program, as every
# script was compiled before (for comparison; keep LINES at 200000 or below then).
# Usage: bench/automation/long_recording.sh [BUILD_DIR] [LINES] [MODE]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:-$here/../../build}" && pwd)"
lines="${2:-1000000}"
mode="${3:-chunked}"
# shellcheck source=session.sh
. "$here/session.sh"
export TARSION_PORT=sim

script="$work/recording.js"
{
    [ "$mode" = whole ] && printf '"use strict";\n'
    printf 'var WshShell = WScript.CreateObject("WScript.Shell");\n'
    printf 'var Tarsion = WScript.CreateObject("Trm90627");\n\nvar Data;'
    awk -v n="$lines" 'BEGIN { for (i = 0; i < n; ++i) printf "\nTarsion.Poke ( 0x0a,0x%08x );", i }'
} >"$script"

dbus-run-session -- bash -c '
    build="$1" script="$2" work="$3"
    "$build/bin/tarsion" --headless >"$work/server.log" 2>/dev/null & host=$!
    wait_for_tarsion
    start=$(date +%s.%N)
    /usr/bin/time -f "%M %e" -o "$work/time" "$build/bin/tarsion-script" "$script" & client=$!
    until grep -q "^Poke " "$work/server.log"; do
        kill -0 "$client" 2>/dev/null || break
        sleep 0.01
    done
    first=$(date +%s.%N)
    wait "$client" || echo "tarsion-script failed: exit status $?"
    kill "$host"
    wait "$host" 2>/dev/null || true
    read -r peak elapsed <"$work/time"
    calls=$(grep -c "^Poke " "$work/server.log" || true)
    awk -v s="$start" -v f="$first" -v p="$peak" -v e="$elapsed" -v c="$calls" -v b="$(stat -c %s "$script")" \
        "BEGIN { printf \"script %.1f MB, %d calls made: first call after %.2f s, %.0f calls/s, peak memory %.0f MB\n\",
                 b / 1048576, c, f - s, c / e, p / 1024 }"
' bench "$build" "$script" "$work"
