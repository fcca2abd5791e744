#!/usr/bin/env bash
# Builds the Debian package, installs it with apt-get and runs the example clients through the
# installed programs: a headless tarsion on the virtual board under dbus-run-session.
# Usage: tools/check-package.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

cmake --build "$build" -j"$(nproc)" --target package
deb="$(realpath "$(ls -t "$build"/tarsion_*.deb | head -n 1)")"
dpkg-deb --info "$deb" | sed -n '/Package:/,$p'
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --reinstall "$deb"

# What the package holds (a minimal system may leave out documentation and man pages at install).
contents="$(dpkg-deb -c "$deb" | awk '{ print $6 }')"
for file in ./usr/bin/tarsion ./usr/bin/tarsion-script ./usr/share/applications/tarsion.desktop \
    ./usr/share/icons/hicolor/64x64/apps/tarsion.png ./usr/share/doc/tarsion/index.html \
    ./usr/share/dbus-1/interfaces/com.tessaric.Trm90627.xml ./usr/share/man/man1/tarsion.1.gz \
    ./usr/share/dbus-1/interfaces/com.tessaric.Tarsion.Board1.xml ./usr/lib/python3/dist-packages/tarsion/__init__.py \
    ./usr/share/dbus-1/interfaces/com.tessaric.Tarsion.Registers1.xml \
    ./usr/share/man/man1/tarsion-script.1.gz ./usr/share/tarsion/examples/run-all.sh; do
    grep -qx "$file" <<<"$contents" || { echo "FAIL: the package lacks $file" >&2; exit 1; }
done
[ -x /usr/bin/tarsion ] && [ -x /usr/bin/tarsion-script ] || { echo "FAIL: programs not installed" >&2; exit 1; }
/usr/share/tarsion/examples/run-all.sh
echo "== the installed package runs scripts headless"
