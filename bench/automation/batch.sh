#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
# Batch calls and the Python client, each on a private session bus against `tarsion --headless`:
#  1. 10,000 register writes as single Poke calls and as one PokeMany, on the virtual board at the
#     pace of a real port (sim-paced), against the port's own pace;
#  2. the call rate of the tarsion Python client against plain dbus-python (virtual board, unpaced).
# Usage: bench/automation/batch.sh [BUILD_DIR] [WRITES] [CALLS]
#   (build with -DCMAKE_BUILD_TYPE=Release for figures)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:-$here/../../build}" && pwd)"
writes="${2:-10000}"
calls="${3:-5000}"
# shellcheck source=session.sh
. "$here/session.sh"
export QT_QPA_PLATFORM=offscreen
export PYTHONPATH="$build/python${PYTHONPATH:+:$PYTHONPATH}"

serve() {
    local port="$1"
    shift
    TARSION_PORT="$port" dbus-run-session -- bash -c '
        "$1/bin/tarsion" --headless >/dev/null & host=$!
        wait_for_tarsion
        shift
        /usr/bin/python3 "$@"
        status=$?
        kill "$host"
        wait "$host" 2>/dev/null
        exit $status
    ' serve "$build" "$@" 2>>"$work/stderr" | tail -n 1
}

echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
line="$(serve sim-paced "$here/batch_rate.py" "$writes")"
echo "$line"
awk -v line="$line" 'BEGIN {
    n = split(line, fields, /[ =]/)
    for (i = 1; i < n; i += 2) v[fields[i]] = fields[i + 1]
    if (v["batch"] > 0)
        printf "PokeMany: %.2f of the port pace (%.3f s for %.3f s of port time); single Pokes: %.2f (%.3f s)\n",
               v["port"] / v["batch"], v["batch"], v["port"], v["port"] / v["single"], v["single"]
    if (v["batch_cpu"] > 0)
        printf "program CPU time: PokeMany %.3f s (%.2f of the port pace), single Pokes %.3f s\n",
               v["batch_cpu"], v["port"] / v["batch_cpu"], v["single_cpu"]
}'
serve sim "$here/client_rates.py" "$calls"
[ -s "$work/stderr" ] && { echo "standard error:" >&2; cat "$work/stderr" >&2; }
exit 0
