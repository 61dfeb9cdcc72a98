#!/usr/bin/env bash
# Installs what is needed, builds and runs every test: the layer check, the normal build with all
# tests, every benchmark and tool once briefly, the Debian package unpacked and run from
# elsewhere, an AddressSanitizer + UndefinedBehaviorSanitizer build of the tests, a
# ThreadSanitizer build of the threaded tests (link, message layer, dictionary loader) and a
# short fuzzing run.
# Every stage runs even when an earlier one failed; the summary line is always printed and the
# script fails when any stage failed.
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh || exit 1
JOBS=${JOBS:-2}
PASSED=0
FAILED=0
FAILED_STAGES=()

# Runs ctest in a build folder and adds its counts to the totals printed at the end.
run_ctest() {
  local dir=$1
  shift
  local log rc=0
  log=$(mktemp)
  (cd "$dir" && ctest --output-on-failure -j"$JOBS" "$@") 2>&1 | tee "$log" || rc=$?
  local total failed
  total=$(sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -1)
  failed=$(sed -n 's/.*tests passed, \([0-9]*\) tests failed.*/\1/p' "$log" | tail -1)
  rm -f "$log"
  PASSED=$((PASSED + ${total:-0} - ${failed:-0}))
  FAILED=$((FAILED + ${failed:-0}))
  return $rc
}

# stage NAME COMMAND...: runs one stage and remembers it when it fails.
stage() {
  local name=$1
  shift
  echo "== $name"
  local start=$SECONDS
  if ! "$@"; then
    FAILED_STAGES+=("$name")
    echo "== $name FAILED"
  fi
  echo "== $name took $((SECONDS - start)) s"
}

build() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null && cmake --build "$dir" -j"$JOBS"
}

main_tests() {
  build build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDRIVARA_WERROR=ON || return 1
  run_ctest build
}

# Every benchmark and tool once, briefly, so that none of them rots unseen; their figures mean
# nothing here (scripts/bench.sh measures).
brief_benchmarks_and_tools() {
  local status=0 log
  log=$(mktemp)
  for bench in build/bench/*; do
    [ -f "$bench" ] && [ -x "$bench" ] || continue
    if DRIVARA_BENCH_BRIEF=1 timeout 300 "$bench" >"$log" 2>&1; then
      echo "ran $(basename "$bench")"
    else
      echo "$(basename "$bench") FAILED:"; tail -20 "$log"; status=1
    fi
  done
  local pictures
  pictures=$(mktemp -d)
  if QT_QPA_PLATFORM=offscreen timeout 120 build/tools/drivara_page_screenshots "$pictures" 2 96 \
      >"$log" 2>&1 && ls "$pictures"/*.png >/dev/null 2>&1; then
    echo "ran drivara_page_screenshots ($(ls "$pictures" | wc -l) pictures)"
  else
    echo "drivara_page_screenshots FAILED:"; tail -20 "$log"; status=1
  fi
  rm -rf "$pictures" "$log"
  return $status
}

asan_tests() {
  build build-asan -DCMAKE_BUILD_TYPE=Debug -DDRIVARA_SANITIZE=ON -DDRIVARA_BENCH=OFF || return 1
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_ctest build-asan
}

# Qt itself is not built with ThreadSanitizer; tests/tsan.supp names the few reports that come
# from inside it, and why.
tsan_tests() {
  cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DDRIVARA_TSAN=ON -DDRIVARA_BENCH=OFF \
    "-DDRIVARA_TEST_DIRS=link;shell;dictionary" >/dev/null || return 1
  cmake --build build-tsan -j"$JOBS" --target link_test message_layer_test dictionary_test \
    drivara_transport_serial drivara_transport_can drivara_dictionary_data || return 1
  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp" \
    run_ctest build-tsan -R '^(link_test|message_layer_test|dictionary_test)\.'
}

stage "layer check" bash scripts/check-layers.sh
stage "tests" main_tests
stage "benchmarks and tools, briefly" brief_benchmarks_and_tools
stage "Debian package" bash scripts/package.sh
if [ "${DRIVARA_SKIP_SANITIZE:-0}" != 1 ]; then
  stage "AddressSanitizer and UndefinedBehaviorSanitizer" asan_tests
  stage "ThreadSanitizer" tsan_tests
fi
if [ "${DRIVARA_SKIP_FUZZ:-0}" != 1 ] && command -v clang++ >/dev/null; then
  stage "fuzzing" bash scripts/fuzz.sh "${FUZZ_SECONDS:-20}"
fi
stage "test share" bash scripts/test-ratio.sh --check

if [ ${#FAILED_STAGES[@]} -gt 0 ]; then
  echo "failed stages: ${FAILED_STAGES[*]}"
  [ "$FAILED" -eq 0 ] && FAILED=1
fi
echo "tests: $PASSED passed, $FAILED failed"
[ ${#FAILED_STAGES[@]} -eq 0 ]
