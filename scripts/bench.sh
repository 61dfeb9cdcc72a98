#!/usr/bin/env bash
# Builds an optimised tree and prints the benchmark figures: dictionary load and lookup, link
# exchanges per second over a pseudo-terminal, a page read pass, and drivactl's memory for a dump.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DDRIVARA_TESTS=OFF >/dev/null
cmake --build build-bench -j"${JOBS:-2}"
for bench in build-bench/bench/*; do
  [ -f "$bench" ] && [ -x "$bench" ] || continue
  echo "== $(basename "$bench")"
  "$bench"
done
echo "== drivactl dump against the virtual drive (unpaced)"
cd build-bench/dist
/usr/bin/time -f "drivactl dump: %e s, max resident %M kB" ./drivactl --sim --baud 0 dump >/dev/null || true
