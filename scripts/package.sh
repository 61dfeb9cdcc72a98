#!/usr/bin/env bash
# Builds the Debian package, unpacks it into a clean folder (no installation on this machine)
# and checks that the programs work from there: drivactl against the virtual drive it starts,
# over the serial line and over a virtual CAN bus, from another directory, with its settings in a
# fresh XDG config folder.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD="${BUILD_DIR:-build}"
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j"${JOBS:-2}" --target drivara drivactl drivara-sim \
    drivara_dictionary_data drivara_sys_files drivara_transport_serial drivara_transport_can \
    drivara_translations
(cd "$BUILD" && cpack -G DEB >/dev/null)
DEB=$(ls -t "$BUILD"/drivara_*.deb | head -1)
echo "Package: $DEB"
ROOT=$(mktemp -d)
trap 'rm -rf "$ROOT"' EXIT
dpkg-deb -x "$DEB" "$ROOT/pkg"
mkdir -p "$ROOT/elsewhere"
cd "$ROOT/elsewhere"
XDG_CONFIG_HOME="$ROOT/config" XDG_DATA_HOME="$ROOT/data" "$ROOT/pkg/usr/bin/drivactl" --sim info
# The same through the package's CAN.so, on a virtual CAN bus of its own (a free local port).
BUS_PORT=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])' \
           2>/dev/null || echo $((20000 + RANDOM % 20000)))
XDG_CONFIG_HOME="$ROOT/config" XDG_DATA_HOME="$ROOT/data" "$ROOT/pkg/usr/bin/drivactl" --sim \
    --can "virtualcan:tcp://127.0.0.1:$BUS_PORT/can0" read 604100
for f in usr/bin/drivara usr/lib/drivara/data/EN.qm usr/lib/drivara/data/COM.so \
         usr/lib/drivara/data/CAN.so \
         usr/lib/drivara/data/velmor.dat usr/lib/drivara/data/velmor.dat.sum \
         usr/share/applications/drivara.desktop usr/share/icons/hicolor/scalable/apps/drivara.svg; do
  test -e "$ROOT/pkg/$f" || { echo "missing in the package: $f" >&2; exit 1; }
done
echo "Package check passed."
