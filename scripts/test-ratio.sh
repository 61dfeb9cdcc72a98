#!/usr/bin/env bash
# Prints the lines of test code against the lines of program code (C++ sources and headers,
# blank lines and comment-only lines left out). The aim is a quarter to a third, at most 40%.
set -euo pipefail
cd "$(dirname "$0")/.."
count() {
  find "$@" -type f \( -name '*.cpp' -o -name '*.h' \) -print0 \
    | xargs -0 cat | grep -v -E '^\s*$|^\s*//' | wc -l
}
src=$(count src)
tests=$(count tests)
percent=$((100 * tests / src))
echo "test lines: $tests, program lines: $src, tests are ${percent}% of the program"
if [ "${1:-}" = "--check" ] && { [ "$percent" -lt 25 ] || [ "$percent" -gt 40 ]; }; then
  echo "test share outside 25-40%"
  exit 1
fi
