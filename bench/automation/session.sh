# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
# Sourced by the automation benchmarks: scratch user folders (removed at exit) so the program never
# touches the user's own files, a private X server on request, and a wait for the bus name.
work="$(mktemp -d)"
xvfb=""
cleanup() {
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

export HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
mkdir -p "$HOME"
unset DBUS_SESSION_BUS_ADDRESS

# Starts Xvfb on a display of its own and points Qt at it; false when Xvfb is not installed.
start_xvfb() {
    command -v Xvfb >/dev/null || return 1
    local display=":$((90 + RANDOM % 400))"
    Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 & xvfb=$!
    sleep 1
    export DISPLAY="$display" QT_QPA_PLATFORM=xcb
}

# Waits up to 10 s for the program to own its name on the session bus (run under dbus-run-session).
wait_for_tarsion() {
    for _ in $(seq 100); do
        dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
            org.freedesktop.DBus.NameHasOwner string:com.tessaric.Tarsion 2>/dev/null |
            grep -q "boolean true" && return 0
        sleep 0.1
    done
    return 1
}
export -f wait_for_tarsion
