#!/usr/bin/env bash
# Installs what is needed, builds the installation tree and opens drivara connected to a drive:
# the one on the serial port given in DRIVARA_SERIAL (e.g. ttyUSB0), or, where no drive is given,
# the virtual drive drivara-sim on a pseudo-terminal. Without a display drivara runs under Xvfb,
# saves a screenshot once the first values arrived, prints its path and ends by itself.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"${JOBS:-2}" --target drivara drivara-sim drivactl drivara_dictionary_data \
    drivara_sys_files drivara_transport_serial drivara_transport_can
cd build/dist

BAUD="${DRIVARA_BAUD:-115200}"
NODE="${DRIVARA_NODE:-1}"
if [ -n "${DRIVARA_SERIAL:-}" ]; then
  PORT="${DRIVARA_SERIAL#/dev/}"
else
  echo "No drive given (DRIVARA_SERIAL); starting the virtual drive drivara-sim."
  # The drive lives as long as this script holds its standard input.
  coproc SIM { exec ./drivara-sim --data data --serial --baud "$BAUD" --node "$NODE" \
                    --until-stdin-closes; }
  trap 'kill "$SIM_PID" 2>/dev/null || true' EXIT
  LINE=""
  read -r -t 10 LINE <&"${SIM[0]}" || true
  case "$LINE" in
    "serial: "*) PORT="${LINE#serial: /dev/}" ;;
    *) echo "drivara-sim did not start: $LINE" >&2; exit 1 ;;
  esac
  echo "Virtual drive on /dev/$PORT"
fi

ARGS=(--serial "$PORT" --baud "$BAUD" --node "$NODE" --connect
      --open CommSettings VelocityLoop PositionLoop)
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  SHOT="$PWD/user/drivara-$(date +%Y%m%d-%H%M%S).png"
  echo "No display; running drivara under Xvfb for a screenshot."
  xvfb-run -a -s "-screen 0 1600x1000x24" ./drivara "${ARGS[@]}" --screenshot "$SHOT"
else
  ./drivara "${ARGS[@]}"
fi
