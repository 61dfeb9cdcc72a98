#!/usr/bin/env bash
# Installs what is needed, builds and runs every test: the normal build, a sanitizer build of the
# core tests (AddressSanitizer + UndefinedBehaviorSanitizer) and a short fuzzing run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
JOBS=${JOBS:-2}

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDRIVARA_WERROR=ON >/dev/null
cmake --build build -j"$JOBS"
(cd build && ctest --output-on-failure -j"$JOBS")

if [ "${DRIVARA_SKIP_SANITIZE:-0}" != 1 ]; then
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DDRIVARA_SANITIZE=ON \
        -DDRIVARA_BENCH=OFF >/dev/null
  cmake --build build-asan -j"$JOBS"
  (cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
      ctest --output-on-failure -j"$JOBS")
fi

if [ "${DRIVARA_SKIP_FUZZ:-0}" != 1 ] && command -v clang++ >/dev/null; then
  bash scripts/fuzz.sh "${FUZZ_SECONDS:-20}"
fi
