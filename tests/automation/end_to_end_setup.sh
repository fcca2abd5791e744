# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
# Sourced by the end-to-end scripts here. The run gets a scratch folder ($work, removed at exit)
# that holds HOME and the XDG folders, so that tarsion's settings and activation file never touch
# the user's, and it inherits no session bus. The helpers are exported for the `bash -c` scripts
# that run under dbus-run-session.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# The bus daemon hands its own environment to the programs it starts.
export HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state"
mkdir -p "$HOME"
unset DBUS_SESSION_BUS_ADDRESS

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# The process id of the program that owns Tarsion's bus name; nothing when no program does.
owner_pid() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.GetConnectionUnixProcessID string:com.tessaric.Tarsion 2>/dev/null |
        awk '/uint32/ { print $2 }'
}

# Waits up to 20 s for a program to own Tarsion's bus name; fails when none does by then.
wait_for_owner() {
    for _ in $(seq 200); do
        [ -n "$(owner_pid)" ] && return 0
        sleep 0.1
    done
    return 1
}
export -f owner_pid wait_for_owner
