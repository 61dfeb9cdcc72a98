#!/usr/bin/env bash
# Installs what is needed, builds and runs every test: the normal build, a sanitizer build of the
# core tests (AddressSanitizer + UndefinedBehaviorSanitizer) and a short fuzzing run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
JOBS=${JOBS:-2}

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDRIVARA_WERROR=ON >/dev/null
cmake --build build -j"$JOBS"
PASSED=0
FAILED=0
# Runs ctest in a build folder and adds its counts to the totals printed at the end.
run_ctest() {
  local log
  log=$(mktemp)
  local rc=0
  (cd "$1" && shift && ctest --output-on-failure -j"$JOBS" "$@") | tee "$log" || rc=$?
  local total failed
  total=$(sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -1)
  failed=$(sed -n 's/.*tests passed, \([0-9]*\) tests failed.*/\1/p' "$log" | tail -1)
  rm -f "$log"
  PASSED=$((PASSED + ${total:-0} - ${failed:-0}))
  FAILED=$((FAILED + ${failed:-0}))
  return $rc
}
run_ctest build

if [ "${DRIVARA_SKIP_SANITIZE:-0}" != 1 ]; then
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DDRIVARA_SANITIZE=ON \
        -DDRIVARA_BENCH=OFF >/dev/null
  cmake --build build-asan -j"$JOBS"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_ctest build-asan
fi

if [ "${DRIVARA_SKIP_FUZZ:-0}" != 1 ] && command -v clang++ >/dev/null; then
  bash scripts/fuzz.sh "${FUZZ_SECONDS:-20}"
fi

echo "tests: $PASSED passed, $FAILED failed"
