#!/usr/bin/env bash
# Installs what is needed, builds the installation tree and runs the main job: drivactl against
# a drive on the serial port given in DRIVARA_SERIAL (e.g. ttyUSB0), or, where no drive is
# attached, against the virtual drive that drivactl starts and stops itself.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"${JOBS:-2}"
cd build/dist
if [ -n "${DRIVARA_SERIAL:-}" ]; then
  DRIVE=(--serial "$DRIVARA_SERIAL" --baud "${DRIVARA_BAUD:-115200}" --node "${DRIVARA_NODE:-1}")
else
  echo "No drive given (DRIVARA_SERIAL); using the virtual drive drivara-sim."
  DRIVE=(--sim)
fi
./drivactl "${DRIVE[@]}" info
./drivactl "${DRIVE[@]}" page VelocityLoop
