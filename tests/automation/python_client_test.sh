#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
# The tarsion Python module of this source tree against the headless server of this build, with
# numpy when it is installed and once more as if it were not.
# Usage: python_client_test.sh TARSION
set -euo pipefail
tarsion="$(readlink -f "$1")"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/end_to_end_setup.sh"
export tarsion work here
export PYTHONPATH="$here/../../python${PYTHONPATH:+:$PYTHONPATH}"
dbus-run-session -- bash -c '
    TARSION_PORT=sim "$tarsion" --headless >"$work/out" 2>&1 &
    program=$!
    wait_for_owner || { kill "$program"; echo "FAIL: no server"; cat "$work/out"; exit 1; }
    status=0
    /usr/bin/python3 "$here/python_client_test.py" || status=1
    /usr/bin/python3 "$here/python_client_test.py" --without-numpy || status=1
    kill -TERM "$program"
    wait "$program" || true
    [ "$status" = 0 ] || tail -n 30 "$work/out"
    exit $status
'
