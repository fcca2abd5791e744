#!/usr/bin/env bash
# A long load watched as a person sees it: the program with its window (on X11 under Xvfb when
# installed, else offscreen) on the virtual board with real-port timing (TARSION_PORT=sim-paced),
# loading a full generated pattern through tarsion-script. Prints how long the load took and how
# often the progress dialog and the main window were painted while the dialog showed.
# Usage: bench/automation/long_load.sh [BUILD_DIR] [PAIRS]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:-$here/../../build}" && pwd)"
pairs="${2:-131072}"
work="$(mktemp -d)"
xvfb=""
cleanup() {
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

export TARSION_PORT=sim-paced
export HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
mkdir -p "$HOME"
unset DBUS_SESSION_BUS_ADDRESS
export QT_QPA_PLATFORM=offscreen
if command -v Xvfb >/dev/null; then
    display=":$((90 + RANDOM % 400))"
    Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 & xvfb=$!
    sleep 1
    export DISPLAY="$display" QT_QPA_PLATFORM=xcb
fi

echo "platform: $QT_QPA_PLATFORM, load: $(cut -d' ' -f1-3 /proc/loadavg)"
dbus-run-session -- bash -c '
    "$1/bin/tarsion_bench_host" 2 2>"$3/host.err" & host=$!
    for _ in $(seq 100); do
        dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
            org.freedesktop.DBus.NameHasOwner string:com.tessaric.Tarsion 2>/dev/null |
            grep -q "boolean true" && break
        sleep 0.1
    done
    "$1/bin/tarsion-script" "$2/long_load.js" "$4"
    status=$?
    sleep 0.5
    kill "$host"
    wait "$host" 2>/dev/null
    grep "progress dialog" "$3/host.err" || echo "no progress dialog showed"
    exit $status
' long_load "$build" "$here" "$work" "$pairs" 2>/dev/null
