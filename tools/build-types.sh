#!/usr/bin/env bash
# Builds everything in each build type other than the default RelWithDebInfo (tools/test.sh builds
# that), each in its own folder, so that no type breaks unseen; then runs every benchmark program
# of the Release build once, briefly. A benchmark fails the run when its virtual boards saw a
# byte-cycle protocol violation.
# Usage: tools/build-types.sh [types...]   (default: Release Debug MinSizeRel)
set -euo pipefail
cd "$(dirname "$0")/.."
types=("$@")
[ "${#types[@]}" -gt 0 ] || types=(Release Debug MinSizeRel)

for type in "${types[@]}"; do
    build="build-${type,,}"
    start=$SECONDS
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="$type" -DTARSION_BENCH=ON >/dev/null
    cmake --build "$build" -j"$(nproc)"
    echo "== $type build: $((SECONDS - start)) s"
done

[[ " ${types[*]} " == *" Release "* ]] || exit 0

# The benchmarks must not touch the user's own files, nor meet a running Tarsion.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
export XDG_STATE_HOME="$work/state" XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=offscreen
unset DBUS_SESSION_BUS_ADDRESS TARSION_PORT

for bench in build-release/bin/tarsion_bench build-release/bin/tarsion_gui_bench; do
    [ -x "$bench" ] || continue
    echo "== $(basename "$bench")"
    dbus-run-session -- "$bench" --benchmark_min_time=0.01
done
