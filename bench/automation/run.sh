#!/usr/bin/env bash
# Automation call rate: tarsion-script makes Poke calls to tarsion on the virtual board, then as many
# calls of a method that does no work, on a private session bus; once against the windowed program
# (no window shown) and once against the headless server (its log to /dev/null).
# Usage: bench/automation/run.sh [BUILD_DIR] [CALLS]   (build with -DCMAKE_BUILD_TYPE=Release for figures)
# The window is drawn offscreen unless QT_QPA_PLATFORM says otherwise (under xvfb-run: xcb).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:-$here/../../build}" && pwd)"
calls="${2:-10000}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
export TARSION_PORT=sim
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
unset DBUS_SESSION_BUS_ADDRESS

# measure LABEL [TARSION_OPTIONS...]: tarsion serves the bus of this run only and is stopped when the
# script has ended.
measure() {
    local label="$1"
    shift
    echo "== $label"
    dbus-run-session -- bash -c '
        build="$1" here="$2" calls="$3"
        shift 3
        "$build/bin/tarsion" "$@" >/dev/null & program=$!
        for _ in $(seq 100); do
            dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
                org.freedesktop.DBus.NameHasOwner string:com.tessaric.Tarsion | grep -q "boolean true" && break
            sleep 0.1
        done
        "$build/bin/tarsion-script" "$here/poke_rate.js" "$calls"
        status=$?
        kill "$program"
        wait "$program"
        exit $status
    ' bench "$build" "$here" "$calls" "$@"
}

measure "windowed (offscreen)"
measure "headless" --headless
