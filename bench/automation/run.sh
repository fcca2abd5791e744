#!/usr/bin/env bash
# Automation call rate: tarsion-script makes Poke calls to tarsion on the virtual board, then as many
# calls of a method that does no work, on a private session bus with no window shown.
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

# tarsion serves the bus of this run only and is stopped when the script has ended.
dbus-run-session -- bash -c '
    "$1/bin/tarsion" & program=$!
    for _ in $(seq 100); do
        dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
            org.freedesktop.DBus.NameHasOwner string:com.tessaric.Tarsion | grep -q "boolean true" && break
        sleep 0.1
    done
    "$1/bin/tarsion-script" "$2/poke_rate.js" "$3"
    status=$?
    kill "$program"
    exit $status
' bench "$build" "$here" "$calls"
