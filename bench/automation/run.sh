#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
# Automation call rates with the window open on the DataFlow page (the largest): Poke and Peek of
# the program against the same calls to a do-nothing D-Bus server on the same bus
# (tarsion_null_server), and against a call that does no work in the program (Peer.Ping), through
# tarsion-script and through a plain D-Bus client (dbus-python), with the window drawn offscreen and
# on X11 (Xvfb, when installed). Each row runs on a private session bus against a fresh program on
# the virtual board and a fresh do-nothing server; the ratios compare the program's rate with the
# do-nothing server's in the same run. dbus-python takes turns between the two in rounds;
# tarsion-script drives one of them per run, so its runs alternate, four of each.
# The "headless" rows serve the same calls from `tarsion --headless` (no window at all). Every call,
# Ping included, is read and answered by the program's GUI thread.
# Each row is measured three times and the run with the median Poke ratio is shown. With
# TARSION_BENCH_CPU every process of a row (bus, program, do-nothing server, client) runs on that one
# processor, so that a call costs the sum of what each does for it, wherever the scheduler would
# have put them: the strictest measure of what the program adds to a call.
# Usage: bench/automation/run.sh [BUILD_DIR] [CALLS] [PAGE]
#   (build with -DCMAKE_BUILD_TYPE=Release for figures; PAGE is a tab index, DataFlow is 2)
#   TARSION_BENCH_CPU: a processor number (default "none": the scheduler chooses);
#   TARSION_BENCH_CLIENTS: the clients (default "script python"); TARSION_BENCH_RUNS: runs per row.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:-$here/../../build}" && pwd)"
calls="${2:-10000}"
page="${3:-2}"
# shellcheck source=session.sh
. "$here/session.sh"
export TARSION_PORT=sim

# One measurement: the host and the do-nothing server serve a bus of their own, the client
# measures, both are stopped. Prints one line "poke=N peek=N ping=N null_poke=N null_peek=N".
measure() {
    local client="$1" mode="$2"
    $pin dbus-run-session -- bash -c '
        if [ "$6" = headless ]; then
            "$1/bin/tarsion" --headless >/dev/null & host=$!
        else
            "$1/bin/tarsion_bench_host" "$2" & host=$!
        fi
        "$1/bin/tarsion_null_server" & null=$!
        wait_for_tarsion
        case "$3" in
            script)
                # Rates of equal numbers of calls combine as calls over the sum of their times.
                for _ in 1 2 3 4; do
                    "$1/bin/tarsion-script" "$4/call_rates.js" $(($5 / 4)) | tail -n 1
                    "$1/bin/tarsion-script" --board null "$4/call_rates.js" $(($5 / 4)) | tail -n 1 |
                        sed "s/\([a-z]*\)=/null_\1=/g"
                done | tr " " "\n" | awk -F= "NF == 2 && \$2 > 0 { time[\$1] += 1 / \$2; runs[\$1]++ }
                    END { printf \"poke=%.0f peek=%.0f ping=%.0f null_poke=%.0f null_peek=%.0f\n\",
                          runs[\"poke\"] / time[\"poke\"], runs[\"peek\"] / time[\"peek\"], runs[\"ping\"] / time[\"ping\"],
                          runs[\"null_poke\"] / time[\"null_poke\"], runs[\"null_peek\"] / time[\"null_peek\"] }" ;;
            python) /usr/bin/python3 "$4/call_rates.py" "$5" ;;
        esac
        status=$?
        kill "$host" "$null"
        wait "$host" "$null" 2>/dev/null
        exit $status
    ' measure "$build" "$page" "$client" "$here" "$calls" "$mode" 2>>"$work/stderr" | tail -n 1
}

figure() { sed -n "s/.*\\b$1=\\([0-9]*\\).*/\\1/p" <<<"$2"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

# The line of the run whose Poke ratio is the median of the runs.
median_run() {
    local run line
    for run in $(seq "$runs"); do
        line="$(measure "$@")"
        printf '%s %s\n' "$(ratio "$(figure poke "$line")" "$(figure null_poke "$line")" 2>/dev/null)" "$line"
    done | sort -n | sed -n "$(((runs + 1) / 2))p" | cut -d' ' -f2-
}

row() {
    local client="$1" window="$2" line poke peek ping nullPoke nullPeek
    line="$(median_run "$client" "$window")"
    poke="$(figure poke "$line")"
    peek="$(figure peek "$line")"
    ping="$(figure ping "$line")"
    nullPoke="$(figure null_poke "$line")"
    nullPeek="$(figure null_peek "$line")"
    if [ -z "$poke" ] || [ -z "$peek" ] || [ -z "$ping" ] || [ -z "$nullPoke" ] || [ -z "$nullPeek" ]; then
        printf '| %-6s | %-9s | no figures: %s |\n' "$client" "$window" "$line"
        return
    fi
    printf '| %-6s | %-9s | %6s | %6s | %6s | %11s | %11s | %10s | %10s | %10s |\n' "$client" "$window" \
        "$poke" "$peek" "$ping" "$nullPoke" "$nullPeek" "$(ratio "$poke" "$nullPoke")" \
        "$(ratio "$peek" "$nullPeek")" "$(ratio "$poke" "$ping")"
}

cpu="${TARSION_BENCH_CPU:-none}"
pin=""
[ "$cpu" != none ] && command -v taskset >/dev/null && pin="taskset -c $cpu"
runs="${TARSION_BENCH_RUNS:-3}"
clients="${TARSION_BENCH_CLIENTS:-script python}"
echo "calls each: $calls, page $page, processor: ${pin:+$cpu}${pin:-any}, median of $runs runs," \
    "load: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '| %-6s | %-9s | %6s | %6s | %6s | %11s | %11s | %10s | %10s | %10s |\n' Client Window Poke/s Peek/s Ping/s \
    "Null Poke/s" "Null Peek/s" "Poke/null" "Peek/null" "Poke/Ping"
printf '|%s|%s|%s|%s|%s|%s|%s|%s|%s|%s|\n' -------- ----------- -------- -------- -------- ------------- ------------- \
    ------------ ------------ ------------

export QT_QPA_PLATFORM=offscreen
for client in $clients; do
    row "$client" offscreen
    row "$client" headless
done

if start_xvfb; then
    for client in $clients; do
        row "$client" X11
    done
fi
