#!/usr/bin/env bash
# Takes the main window pictures in docs/: drivara connected to the virtual drive, in Chinese and
# English, at 96 and 144 dots per inch, on a 1600x1000 screen (Xvfb): the serial settings window
# with two parameter pages, and five parameter pages tiled (Window > Tile).
# Needs a built tree (build/dist, and build/tools/drivara_scope_screenshots for the oscilloscope).
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
# drivara on its own screen of 1600x1000 pixels at the given density and language.
shoot() {
  local lang=$1 dpi=$2 file=$3 code locale
  shift 3
  if [ "$lang" = zh ]; then code=1; locale=zh_CN.UTF-8; else code=2; locale=C.UTF-8; fi
  sed -i "s/^lang=.*/lang=$code/" sys/sys.ini
  QT_FONT_DPI=$dpi LANG=$locale LC_ALL=$locale xvfb-run -a -s "-screen 0 1600x1000x24" \
    ./drivara --serial "$PORT" --baud 115200 --connect "$@" --screenshot "$ROOT/docs/$file"
}
for lang in zh en; do
  for dpi in 96 144; do
    shoot $lang $dpi "drivara-$lang-$dpi.png" --open CommSettings VelocityLoop PositionLoop
  done
done
TILED=(--open VelocityLoop PositionLoop CurrentLoop MotorConfig DriverProperty --tile)
shoot zh 96 drivara-tiled-zh-96.png "${TILED[@]}"
shoot en 96 drivara-tiled-en-96.png "${TILED[@]}"
shoot en 144 drivara-tiled-en-144.png "${TILED[@]}"

# The oscilloscope page: a velocity step captured twice (the first faintly behind the second) with
# two cursors, rendered by drivara_scope_screenshots against its own virtual drive.
SCOPE_SHOTS=$ROOT/build/tools/drivara_scope_screenshots
for lang in zh en; do
  for dpi in 96 144; do
    if [ "$lang" = zh ]; then code=1; locale=zh_CN.UTF-8; else code=2; locale=C.UTF-8; fi
    QT_QPA_PLATFORM=xcb LANG=$locale LC_ALL=$locale xvfb-run -a -s "-screen 0 1600x1000x24" \
      "$SCOPE_SHOTS" "$ROOT/docs/drivara-scope-$lang-$dpi.png" $code $dpi
  done
done
