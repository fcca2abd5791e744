#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
# Drives Tarsion's automation object from the shell with gdbus (package libglib2.0-bin): loads the
# example filter into the I coefficient RAM and the example pattern into the pattern memory, writes
# the carrier frequency register and reads it back. gdbus reads the argument types from the
# object's introspection data; register arguments are variants, written <int32 N>. Works on copies
# of the example files in a new temporary folder (the filter load writes its RAM image beside the
# filter). Exits with status 1 when an operation fails; Tarsion's log says why.
set -euo pipefail
command -v gdbus >/dev/null || { echo "load_and_read.sh needs gdbus (package libglib2.0-bin)" >&2; exit 1; }
examples="$(cd "$(dirname "$0")" && pwd)"
here="$(mktemp -d "${TMPDIR:-/tmp}/tarsion-example-XXXXXX")"
cp "$examples/lowpass.coe" "$examples/tone.pat" "$here"/
echo "working in $here (the filter's RAM image lowpass_I.Ram goes there)"

# One call to the automation object; prints gdbus's answer, for example "(true,)". Memory loads may
# take minutes, so the time-out is a day.
call() {
    local method="$1"
    shift
    gdbus call --session --timeout 86400 --dest com.tessaric.Tarsion --object-path /Trm90627 \
        --method "$method" "$@"
}

# A file name as a GVariant string: quoted, with quotes and backslashes escaped.
quoted() {
    local text="${1//\\/\\\\}"
    printf "'%s'" "${text//\'/\\\'}"
}

check() {
    [ "$2" = "(true,)" ] || { echo "$1 failed ($2); see Tarsion's log" >&2; exit 1; }
}

# Starts Tarsion through D-Bus activation when none runs.
call com.tessaric.Tarsion.Automation.Create >/dev/null
# RAM 0 (I), Best Fit, scale 1.0, load the offset, interpolation 0, not 2-bit mode, not symmetric.
check LoadCoefficientRam "$(call com.tessaric.Trm90627.LoadCoefficientRam 0 "$(quoted "$here/lowpass.coe")" \
    true 1.0 true 0 false false)"
check LoadExternalMemory "$(call com.tessaric.Trm90627.LoadExternalMemory "$(quoted "$here/tone.pat")")"
check Poke "$(call com.tessaric.Trm90627.Poke '<int32 10>' '<int32 536870912>')"
# Peek answers a double, for example "(536870912.0,)".
value="$(call com.tessaric.Trm90627.Peek 10 | sed -E 's/^\(([0-9]+)(\.0)?,\)$/\1/')"
printf 'register 0x0a reads 0x%08x\n' "$value"
[ "$value" = 536870912 ]
