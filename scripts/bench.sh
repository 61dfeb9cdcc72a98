#!/usr/bin/env bash
# Builds an optimised tree and prints the benchmark figures: dictionary load and lookup, link
# exchanges per second over a pseudo-terminal, a page read pass, the oscilloscope's 8 KiB record
# upload against its wire time, the dictionary browser's sort and filter over 10,000 objects,
# drivactl's memory for a dump and a configuration export paced at 115200 baud, and drivara's
# resident memory over an accelerated minute of continuous oscilloscope capture (about 60 s).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
# The page-view benchmark shares the widget tests' support library, so the tests are configured
# but only the benchmarks and the programs are built.
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-bench -j"${JOBS:-2}" --target drivara_benches drivara drivactl drivara-sim \
  drivara_dictionary_data drivara_sys_files drivara_transport_serial drivara_translations
for bench in build-bench/bench/*; do
  [ -f "$bench" ] && [ -x "$bench" ] || continue
  echo "== $(basename "$bench")"
  "$bench"
done
echo "== drivactl dump against the virtual drive (unpaced)"
cd build-bench/dist
/usr/bin/time -f "drivactl dump: %e s, max resident %M kB" ./drivactl --sim --baud 0 dump >/dev/null || true
echo "== drivactl export of sys/default.cdo against the virtual drive at 115200 baud"
objects=$(grep -c . sys/default.cdo)
start=$(date +%s.%N)
./drivactl --sim --baud 115200 export /tmp/drivara-bench-export.cdi >/dev/null || true
awk -v n="$objects" -v s="$start" -v e="$(date +%s.%N)" \
  'BEGIN { printf "drivactl export, %d objects: %.2f s, %.1f%% of the 576/s wire limit (start-up included)\n", n, e - s, 100 * n / (e - s) / 576 }'

# Starts the virtual drive on a pseudo-terminal with the given extra options; sets PORT. The drive
# lives as long as this script holds its standard input.
start_drive() {
  coproc DRIVE { exec ./drivara-sim --data data --serial --until-stdin-closes "$@"; }
  local line=""
  read -r -t 10 line <&"${DRIVE[0]}" || true
  PORT=${line#serial: /dev/}
}
stop_drive() {
  eval "exec ${DRIVE[1]}>&-"
  wait "$DRIVE_PID" 2>/dev/null || true
}
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

echo "== processor time of a read against a silent drive (four tries of a 500 ms reply timeout)"
start_drive --silent
/usr/bin/time -o /tmp/drivara-bench-time -f "%e s elapsed, %U s user + %S s system" \
  ./drivactl --serial "$PORT" --timeout 500 read 604100 >/dev/null 2>&1 || true
echo "read against a silent drive: $(tail -1 /tmp/drivara-bench-time)"
stop_drive

echo "== drivara connected with three polled pages (offscreen), processor time over 10 s"
start_drive --baud 115200
QT_QPA_PLATFORM=offscreen ./drivara --serial "$PORT" --baud 115200 --connect \
  --open VelocityLoop PositionLoop CurrentLoop >/dev/null 2>&1 &
GUI=$!
sleep 3
before=$(ticks $GUI)
sleep 10
after=$(ticks $GUI)
kill $GUI 2>/dev/null || true
wait $GUI 2>/dev/null || true
hz=$(getconf CLK_TCK)
awk -v t=$((after - before)) -v hz="$hz" \
  'BEGIN { printf "drivara, three polled pages: %.1f%% of one core (%.2f s in 10 s)\n", 100 * t / hz / 10, t / hz }'
stop_drive
