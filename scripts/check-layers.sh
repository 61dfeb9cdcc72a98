#!/usr/bin/env bash
# Fails when a core folder includes a header from a folder above it. The order is the one in
# src/CMakeLists.txt: a folder may include its own headers and those of the folders before it.
set -euo pipefail
cd "$(dirname "$0")/../src/core"
layers=(base plot windows dictionary eds comm pdo units pages transfer scope project dio app browse rterror)
status=0
for ((i = 0; i < ${#layers[@]}; i++)); do
  layer=${layers[$i]}
  allowed=("${layers[@]:0:$((i + 1))}")
  while IFS=: read -r file line include; do
    folder=${include%%/*}
    ok=0
    for a in "${allowed[@]}"; do [ "$folder" = "$a" ] && ok=1; done
    if [ $ok = 0 ]; then
      echo "layer violation: core/$file:$line includes \"$include\" (core/$layer may use: ${allowed[*]})"
      status=1
    fi
  done < <(grep -n -o '#include "[a-z]*/[^"]*"' -r "$layer" | sed 's/#include "\(.*\)"/\1/')
done
[ $status = 0 ] && echo "layers: no folder includes from a folder above it"
exit $status
