#!/usr/bin/env bash
# Takes the main window pictures in docs/: drivara connected to the virtual drive, in Chinese and
# English, at 96 and 144 dots per inch, on a 1600x1000 screen (Xvfb): the serial settings window
# with two parameter pages, five parameter pages tiled (Window > Tile), the dictionary browser, the
# I/O page and the PDO windows (RPDO1 mapped to a full 64 bits, so that its mapping editor shows a
# full budget bar), the real-time error page of a drive with three errors raised (one masked),
# a project opened; and the export and import windows after a run with some alarms and failures
# (transfer-*.png), and the oscilloscope page; and a dictionary from a device description over
# CAN with the Emergencies window (drivara-emcy-*.png).
# Needs a built tree (build/dist) and build/tools/drivara_{transfer,scope}_screenshots.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
DIST=$ROOT/build/dist
MKDICT=${MKDICT:-$ROOT/build/tools/mkdict}
WORK=$(mktemp -d)
trap 'kill "${SIM_PID:-}" 2>/dev/null || true; rm -rf "$WORK"' EXIT
cp -r "$DIST"/. "$WORK"/
cd "$WORK"
# Controlword, target velocity and target torque: 16 + 32 + 16 bits. DIN3 simulated high, DIN1
# inverted, DOUT2 simulated; DIN1 with two functions, DOUT1 with three.
FULL_RPDO1=(--set 160000=3 --set 160001=0x60400010 --set 160002=0x60FF0020 --set 160003=0x60710010)
IO=(--set 201001=1 --set 201002=4 --set 201015=4 --set 20100F=2 --set 201016=2 --set 201003=0x401
  --set 201010=0x15)
coproc SIM {
  exec ./drivara-sim --data data --serial --baud 115200 --node 1 "${FULL_RPDO1[@]}" "${IO[@]}" \
    --until-stdin-closes
}
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
for lang in zh en; do
  for dpi in 96 144; do
    shoot $lang $dpi "browser-$lang-$dpi.png" --open ObjectDictionary
    shoot $lang $dpi "drivara-io-$lang-$dpi.png" --open DataInOut
    shoot $lang $dpi "drivara-rpdo-$lang-$dpi.png" --open RPDO
    shoot $lang $dpi "drivara-tpdo-$lang-$dpi.png" --open TPDO
  done
done
# A project: three pages where it placed them, the velocity loop with the rows it was saved with.
cat > user/demo.dvp <<'DVP'
[Drivara:1]
4=1,10,110
5=1,10,440
47=1,590,110
[Drivara:4]
num=5
0=2236417,,DEC
1=2236418,,ms
2=2236421,,rpm
3=6319104,,rpm
4=6318848,,rpm
DVP
shoot en 96 drivara-project-en-96.png --project user/demo.dvp
# The drive again with over-current, under-voltage and the negative limit switch raised, the
# last of them masked (ignored).
eval "exec ${SIM[1]}>&-"
wait "${SIM_PID:-}" 2>/dev/null || true
coproc SIM { exec ./drivara-sim --data data --serial --baud 115200 --node 1 --error 0x20005 \
  --set 260002=0xFFFD --until-stdin-closes; }
LINE=""
read -r -t 10 LINE <&"${SIM[0]}" || true
PORT="${LINE#serial: /dev/}"
for lang in zh en; do
  for dpi in 96 144; do
    shoot $lang $dpi "rterror-$lang-$dpi.png" --open RealTimeError
  done
done
# A dictionary built from a device description (tests/data/Cia402Sample.eds) in a copy of the
# run tree, over virtualcan with the canopen profile: the standard control page and the
# Emergencies window with the drive's heartbeat and the emergency of error bit 3, which the drive
# raised at start and announces at the first request.
eval "exec ${SIM[1]}>&-"
wait "${SIM_PID:-}" 2>/dev/null || true
EDS_RUN=$WORK/eds-run
mkdir -p "$EDS_RUN"
cp -r "$DIST"/. "$EDS_RUN"/
"$MKDICT" --eds "$ROOT/tests/data/Cia402Sample.eds" "$EDS_RUN/data/velmor.dat" \
  "$EDS_RUN/data/velmor-defaults.tsv" >/dev/null
printf '[sys]\nlang=2\ncomm=5\n[can]\nbackend=virtualcan\ninterface=can0\nbuadrate=28\ndriverid=1\nprofile=canopen\n' \
  >"$EDS_RUN/sys/sys.ini"
for lang in en zh; do
  if [ "$lang" = zh ]; then code=1; locale=zh_CN.UTF-8; else code=2; locale=C.UTF-8; fi
  # A drive of its own for each shot: it announces its error only once.
  coproc SIM { exec ./drivara-sim --eds "$ROOT/tests/data/Cia402Sample.eds" --can virtualcan:can0 \
    --node 1 --profile canopen --heartbeat 500 --emergency 3 --until-stdin-closes; }
  LINE=""
  read -r -t 10 LINE <&"${SIM[0]}" || true
  sed -i "s/^lang=.*/lang=$code/" "$EDS_RUN/sys/sys.ini"
  QT_FONT_DPI=96 LANG=$locale LC_ALL=$locale xvfb-run -a -s "-screen 0 1600x1000x24" \
    "$EDS_RUN/drivara" --base "$EDS_RUN" --connect --open Cia402Control Emergencies \
    --screenshot "$ROOT/docs/drivara-emcy-$lang-96.png"
  eval "exec ${SIM[1]}>&-"
  wait "${SIM_PID:-}" 2>/dev/null || true
done

# The transfer windows run against a virtual drive of their own, in the same languages and densities.
for lang in zh en; do
  for dpi in 96 144; do
    if [ "$lang" = zh ]; then code=1; locale=zh_CN.UTF-8; else code=2; locale=C.UTF-8; fi
    QT_FONT_DPI=$dpi LANG=$locale LC_ALL=$locale xvfb-run -a -s "-screen 0 1600x1000x24" \
      "$ROOT/build/tools/drivara_transfer_screenshots" "$ROOT/docs" $code
  done
done

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
