#!/usr/bin/env bash
# Builds the Debian package, unpacks it into a clean folder (no installation on this machine)
# and checks that the programs work from there: drivactl against the virtual drive it starts,
# from another directory, with its settings in a fresh XDG config folder.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD="${BUILD_DIR:-build}"
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j"${JOBS:-2}" --target drivara drivactl drivara-sim \
    drivara_dictionary_data drivara_sys_files drivara_transport_serial drivara_translations
(cd "$BUILD" && cpack -G DEB >/dev/null)
DEB=$(ls -t "$BUILD"/drivara_*.deb | head -1)
echo "Package: $DEB"
ROOT=$(mktemp -d)
trap 'rm -rf "$ROOT"' EXIT
dpkg-deb -x "$DEB" "$ROOT/pkg"
mkdir -p "$ROOT/elsewhere"
cd "$ROOT/elsewhere"
XDG_CONFIG_HOME="$ROOT/config" XDG_DATA_HOME="$ROOT/data" "$ROOT/pkg/usr/bin/drivactl" --sim info
for f in usr/bin/drivara usr/lib/drivara/data/EN.qm usr/lib/drivara/data/COM.so \
         usr/lib/drivara/data/velmor.dat usr/lib/drivara/data/velmor.dat.sum \
         usr/share/applications/drivara.desktop usr/share/icons/hicolor/scalable/apps/drivara.svg; do
  test -e "$ROOT/pkg/$f" || { echo "missing in the package: $f" >&2; exit 1; }
done
echo "Package check passed."
