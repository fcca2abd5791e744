#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
# Automation call rates with the window open on the DataFlow page (the largest): Poke and Peek
# against a call that does no work (Peer.Ping), through tarsion-script and through a plain D-Bus
# client (dbus-python), with the window drawn offscreen and on X11 (Xvfb, when installed). Each row
# runs on a private session bus against a fresh program on the virtual board; the ratios compare a
# rate with the bare call rate of the same client in the same run.
# The "headless" rows serve the same calls from `tarsion --headless` (no window at all), for
# reference. Every call, Ping included, is read and answered by the program's GUI thread.
# Usage: bench/automation/run.sh [BUILD_DIR] [CALLS] [PAGE]
#   (build with -DCMAKE_BUILD_TYPE=Release for figures; PAGE is a tab index, DataFlow is 2)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:-$here/../../build}" && pwd)"
calls="${2:-10000}"
page="${3:-2}"
# shellcheck source=session.sh
. "$here/session.sh"
export TARSION_PORT=sim

# One measurement: the host serves a bus of its own, the client measures, the host is stopped.
measure() {
    local client="$1" mode="$2"
    dbus-run-session -- bash -c '
        if [ "$6" = headless ]; then
            "$1/bin/tarsion" --headless >/dev/null & host=$!
        else
            "$1/bin/tarsion_bench_host" "$2" & host=$!
        fi
        wait_for_tarsion
        case "$3" in
            script) "$1/bin/tarsion-script" "$4/call_rates.js" "$5" ;;
            python) /usr/bin/python3 "$4/call_rates.py" "$5" ;;
        esac
        status=$?
        kill "$host"
        wait "$host" 2>/dev/null
        exit $status
    ' measure "$build" "$page" "$client" "$here" "$calls" "$mode" 2>>"$work/stderr" | tail -n 1
}

row() {
    local client="$1" window="$2" line poke peek ping
    line="$(measure "$client" "$window")"
    poke="$(sed -n 's/.*poke=\([0-9]*\).*/\1/p' <<<"$line")"
    peek="$(sed -n 's/.*peek=\([0-9]*\).*/\1/p' <<<"$line")"
    ping="$(sed -n 's/.*ping=\([0-9]*\).*/\1/p' <<<"$line")"
    if [ -z "$poke" ] || [ -z "$peek" ] || [ -z "$ping" ]; then
        printf '| %-15s | %-9s | no figures: %s |\n' "$client" "$window" "$line"
        return
    fi
    printf '| %-15s | %-9s | %7s | %7s | %7s | %10s | %10s |\n' "$client" "$window" "$poke" "$peek" "$ping" \
        "$(awk -v a="$poke" -v b="$ping" 'BEGIN { printf "%.2f", a / b }')" \
        "$(awk -v a="$peek" -v b="$ping" 'BEGIN { printf "%.2f", a / b }')"
}

echo "calls each: $calls, page $page, load: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '| %-15s | %-9s | %7s | %7s | %7s | %10s | %10s |\n' Client Window Poke/s Peek/s Ping/s "Poke ratio" "Peek ratio"
printf '|%s|%s|%s|%s|%s|%s|%s|\n' -----------------  ----------- --------- --------- --------- ------------ ------------

export QT_QPA_PLATFORM=offscreen
for client in script python; do
    row "$client" offscreen
    row "$client" headless
done

if start_xvfb; then
    for client in script python; do
        row "$client" X11
    done
fi
