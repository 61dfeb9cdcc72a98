#!/usr/bin/env bash
# Takes the main window pictures in docs/: drivara connected to the virtual drive with the serial
# settings window and two parameter pages, in Chinese and English, at 96 and 144 dots per inch.
# Needs a built tree (build/dist).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
DIST=$ROOT/build/dist
WORK=$(mktemp -d)
trap 'kill "${SIM_PID:-}" 2>/dev/null || true; rm -rf "$WORK"' EXIT
cp -r "$DIST"/. "$WORK"/
cd "$WORK"
coproc SIM { exec ./drivara-sim --data data --serial --baud 115200 --node 1 --until-stdin-closes; }
LINE=""
read -r -t 10 LINE <&"${SIM[0]}" || true
PORT="${LINE#serial: /dev/}"
for lang in zh en; do
  for dpi in 96 144; do
    if [ $lang = zh ]; then code=1; locale=zh_CN.UTF-8; else code=2; locale=C.UTF-8; fi
    sed -i "s/^lang=.*/lang=$code/" sys/sys.ini
    QT_QPA_PLATFORM=offscreen QT_FONT_DPI=$dpi LANG=$locale LC_ALL=$locale ./drivara \
      --serial "$PORT" --baud 115200 --connect --open CommSettings VelocityLoop PositionLoop \
      --screenshot "$ROOT/docs/drivara-$lang-$dpi.png"
  done
done
