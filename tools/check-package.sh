#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
# Builds the Debian package, checks it with lintian (no error, no warning) and its AppStream
# metadata, installs it with apt-get and runs the example clients through the installed programs:
# a headless tarsion on the virtual board under dbus-run-session.
# Usage: tools/check-package.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=source-date.sh
source tools/source-date.sh
build="${1:-build}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

cmake --build "$build" -j"$(nproc)" --target package
deb="$(realpath "$(ls -t "$build"/tarsion_*.deb | head -n 1)")"
dpkg-deb --field "$deb"
# Overrides (packaging/tarsion.lintian-overrides) only for tags that cannot apply, each with a reason.
lintian --fail-on error,warning --display-level ">=warning" "$deb" ||
    { echo "FAIL: lintian found errors or warnings in $deb" >&2; exit 1; }
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --reinstall "$deb"

# What the package holds (a minimal system may leave out documentation and man pages at install).
contents="$(dpkg-deb -c "$deb" | awk '{ print $6 }')"
for file in ./usr/bin/tarsion ./usr/bin/tarsion-script ./usr/share/applications/tarsion.desktop \
    ./usr/share/icons/hicolor/48x48/apps/tarsion.png ./usr/share/icons/hicolor/64x64/apps/tarsion.png \
    ./usr/share/icons/hicolor/scalable/apps/tarsion.svg ./usr/share/metainfo/com.tessaric.Tarsion.metainfo.xml \
    ./usr/share/doc/tarsion/index.html ./usr/share/doc/tarsion/copyright ./usr/share/doc/tarsion/changelog.Debian.gz \
    ./usr/share/dbus-1/interfaces/com.tessaric.Trm90627.xml ./usr/share/man/man1/tarsion.1.gz \
    ./usr/share/dbus-1/interfaces/com.tessaric.Tarsion.Board1.xml ./usr/lib/python3/dist-packages/tarsion/__init__.py \
    ./usr/lib/python3/dist-packages/tarsion/py.typed ./usr/lib/python3/dist-packages/tarsion-1.06.dist-info/METADATA \
    ./usr/lib/systemd/user/tarsion@.service ./usr/share/doc/tarsion/README.Debian \
    ./usr/share/dbus-1/interfaces/com.tessaric.Tarsion.Registers1.xml \
    ./usr/share/dbus-1/interfaces/com.tessaric.Tarsion.Signal1.xml \
    ./usr/share/man/man1/tarsion-script.1.gz ./usr/share/tarsion/examples/run-all.sh \
    ./usr/lib/modules-load.d/tarsion.conf; do
    grep -qx "$file" <<<"$contents" || { echo "FAIL: the package lacks $file" >&2; exit 1; }
done
# The README's install table names every file the package holds (a folder row covers its files).
listed="$(sed -n '/^## Installing and uninstalling/,/^## /p' README.md | grep -o '`/usr/[^`]*`' | tr -d '`')"
while read -r file; do
    file="${file#.}"
    case "$file" in */ | "") continue ;; esac
    covered=no
    while read -r path; do
        [ "$file" = "$path" ] || { [ "${path%/}" != "$path" ] && [ "${file#"$path"}" != "$file" ]; } && covered=yes
    done <<<"$listed"
    [ "$covered" = yes ] || echo "WARNING: README's install table does not list $file" >&2
done <<<"$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }')"
[ -x /usr/bin/tarsion ] && [ -x /usr/bin/tarsion-script ] || { echo "FAIL: programs not installed" >&2; exit 1; }
appstreamcli validate --no-net /usr/share/metainfo/com.tessaric.Tarsion.metainfo.xml
grep -qx "ppdev" /usr/lib/modules-load.d/tarsion.conf || { echo "FAIL: ppdev is not loaded at boot" >&2; exit 1; }
/usr/share/tarsion/examples/run-all.sh
echo "== the installed package runs scripts headless"
tools/check-activation.sh
tools/check-unit.sh /usr/lib/systemd/user/tarsion@.service

# The installed module answers for its version; its byte code, compiled at install and made by
# every import, goes with the package.
[ "$(/usr/bin/python3 -c 'import importlib.metadata, tarsion; print(tarsion.__version__, importlib.metadata.version("tarsion"))')" \
    = "$(dpkg-deb --field "$deb" Version | cut -d- -f1) $(dpkg-deb --field "$deb" Version | cut -d- -f1)" ] ||
    { echo "FAIL: the installed tarsion module does not know its version" >&2; exit 1; }
ls -d /usr/lib/python3/dist-packages/tarsion/__pycache__ >/dev/null ||
    { echo "FAIL: no byte code was compiled at install" >&2; exit 1; }
DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -qq tarsion
left="$(find /usr/lib/python3/dist-packages /usr/share -maxdepth 1 -name 'tarsion*')"
[ -z "$left" ] || { echo "FAIL: purging the package left $left" >&2; exit 1; }
echo "== purging the package leaves nothing behind"
