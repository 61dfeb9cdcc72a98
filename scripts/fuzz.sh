#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a few seconds (default 20).
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_PER_TARGET=${1:-20}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DDRIVARA_FUZZ=ON -DDRIVARA_TESTS=OFF -DDRIVARA_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined" >/dev/null
cmake --build build-fuzz -j"${JOBS:-2}" --target drivara_fuzzers
shopt -s nullglob
for fuzzer in build-fuzz/fuzz/*; do
  [ -f "$fuzzer" ] && [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  corpus=fuzz/corpus/$name
  work=$(mktemp -d)
  [ -d "$corpus" ] && cp -r "$corpus"/. "$work"/
  echo "fuzzing $name for ${SECONDS_PER_TARGET}s"
  "$fuzzer" -max_total_time="$SECONDS_PER_TARGET" -print_final_stats=0 "$work" >/tmp/fuzz-$name.log 2>&1 \
    || { tail -40 /tmp/fuzz-$name.log; exit 1; }
  rm -rf "$work"
done
echo "fuzzing passed"
