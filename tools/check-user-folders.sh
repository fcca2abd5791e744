#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
# Runs a command with a HOME of its own, seeded like a user's, and fails when the command changed
# anything in it: no test or benchmark may touch the user's settings, activation file or state.
# Caches (.cache) are the system's business and are not compared. The checkout this script lies in
# must not change either (what git status shows, and the content of every file it lists): a test
# that writes into the source folder would leave its files in every developer's tree.
# Usage: tools/check-user-folders.sh COMMAND [ARGUMENTS...]
set -euo pipefail
home="$(mktemp -d)"
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/.config/Tessaric" "$home/.local/share/dbus-1/services"
printf '[Settings]\nBaseAddress=888\n' >"$home/.config/Tessaric/Tarsion.conf"
printf '[D-BUS Service]\nName=com.tessaric.Tarsion\nExec=/usr/bin/tarsion --automation\n' \
    >"$home/.local/share/dbus-1/services/com.tessaric.Tarsion.service"

snapshot() {
    # Folders by name only: a cache created beside them changes their times, not the user's files.
    (cd "$home" && find . -path ./.cache -prune -o -type d -printf '%p d\n' -o -printf '%p %y %s %T@\n' | sort)
}
checkout="$(git -C "$(dirname "$0")" rev-parse --show-toplevel 2>/dev/null || true)"
checkout_snapshot() {
    [ -n "$checkout" ] || return 0
    (cd "$checkout" && git status --porcelain --untracked-files=all | while IFS= read -r line; do
        path="${line:3}"
        if [ -f "$path" ]; then
            echo "$line $(sha1sum <"$path" | cut -c1-40)"
        else
            echo "$line"
        fi
    done)
}
before="$(snapshot)"
checkout_before="$(checkout_snapshot)"
status=0
env -u XDG_CONFIG_HOME -u XDG_DATA_HOME -u XDG_STATE_HOME -u XDG_CACHE_HOME HOME="$home" "$@" || status=$?
after="$(snapshot)"
checkout_after="$(checkout_snapshot)"
if [ "$before" != "$after" ]; then
    echo "error: the run changed files in the user's folders (HOME):" >&2
    diff <(echo "$before") <(echo "$after") >&2 || true
    exit 1
fi
if [ "$checkout_before" != "$checkout_after" ]; then
    echo "error: the run changed files in the checkout ($checkout):" >&2
    diff <(echo "$checkout_before") <(echo "$checkout_after") >&2 || true
    exit 1
fi
exit "$status"
