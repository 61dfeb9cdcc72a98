#!/usr/bin/env bash
# Builds the Debian package with debhelper from the checkout's own files (those git knows,
# committed or not; never a build tree), checks it with lintian (no error, no warning), then
# unpacks it into a clean folder (nothing is installed on this machine) and runs it from another
# folder with fresh XDG folders: drivactl against the virtual drive it starts over the serial line
# and a virtual CAN bus, two of the package's drivara-sim side by side reached through the links
# they make in the runtime folder, and drivara started as its desktop entry says (Xvfb), which
# saves a picture. Every file of the unpacked tree must come out of all that unchanged.
# DRIVARA_PACKAGE_SHOTS=DIR keeps the pictures (drivara-package-en.png, drivara-package-zh.png).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT_DIR=$PWD
BUILD="${BUILD_DIR:-build}"
VERSION=$(dpkg-parsechangelog -S Version)
WORK="$ROOT_DIR/$BUILD/deb"
SRC="$WORK/drivara-$VERSION"

# The source tree anew, keeping only debhelper's build folder (obj-*) for a quicker rebuild; the
# files keep their times, so the build redoes only what changed.
mkdir -p "$SRC"
find "$SRC" -mindepth 1 -maxdepth 1 ! -name 'obj-*' -exec rm -rf {} +
git ls-files -z --cached --others --exclude-standard |
  tar --null --ignore-failed-read -T - -cf - 2>/dev/null | tar -xf - -C "$SRC"
rm -f "$WORK"/drivara*_"$VERSION"_*.deb "$WORK"/drivara*_"$VERSION"_*.ddeb "$WORK"/*.changes
(cd "$SRC" && DRIVARA_CCACHE=$(command -v ccache || true) \
   DEB_BUILD_OPTIONS="parallel=${JOBS:-2} nocheck" dpkg-buildpackage -b -us -uc -nc \
   >"$WORK/build.log" 2>&1) || { tail -40 "$WORK/build.log" >&2; exit 1; }
DEB=$(ls "$WORK"/drivara_"$VERSION"_*.deb)
echo "Package: $DEB"
ls "$WORK"/drivara-dbgsym_"$VERSION"_*.*deb >/dev/null || { echo "no debug symbol package" >&2; exit 1; }
lintian --fail-on error,warning --tag-display-limit 0 "$WORK"/drivara_"$VERSION"_*.changes

ROOT=$(mktemp -d)
trap 'kill ${SIM_PIDS:-} 2>/dev/null || true; rm -rf "$ROOT"' EXIT
dpkg-deb -x "$DEB" "$ROOT/pkg"
P="$ROOT/pkg/usr"
for f in bin/drivara bin/drivactl bin/drivara-sim share/drivara/data/EN.qm \
         share/drivara/data/velmor.dat share/drivara/data/velmor.dat.sum share/drivara/sys/sys.ini \
         lib/*/drivara/COM.so lib/*/drivara/CAN.so share/man/man1/drivactl.1.gz \
         share/bash-completion/completions/drivactl share/metainfo/org.drivara.Drivara.metainfo.xml \
         share/applications/drivara.desktop share/icons/hicolor/scalable/apps/drivara.svg; do
  compgen -G "$P/$f" >/dev/null || { echo "missing in the package: /usr/$f" >&2; exit 1; }
done
# What the tree holds now, file by file; compared once everything ran.
sums() { (cd "$ROOT/pkg" && find . \( -type f -o -type l \) -printf '%p %m %l\n' | sort &&
          find . -type f -print0 | sort -z | xargs -0 sha256sum); }
sums >"$ROOT/before"

mkdir -p "$ROOT/elsewhere" "$ROOT/run"
chmod 700 "$ROOT/run"
cd "$ROOT/elsewhere"
export XDG_CONFIG_HOME="$ROOT/config" XDG_DATA_HOME="$ROOT/data" XDG_RUNTIME_DIR="$ROOT/run"
"$P/bin/drivactl" --sim info
# The same through the package's CAN.so, on a virtual CAN bus of its own (a free local port).
BUS_PORT=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])' \
           2>/dev/null || echo $((20000 + RANDOM % 20000)))
"$P/bin/drivactl" --sim --can "virtualcan:tcp://127.0.0.1:$BUS_PORT/can0" read 604100

# Two virtual drives side by side; each names the link to its terminal, which drivactl opens by
# that whole path.
SIM_PIDS=""
for node in 1 2; do
  mkfifo "$ROOT/sim$node"
  "$P/bin/drivara-sim" --serial --node $node >"$ROOT/sim$node" &
  SIM_PIDS="$SIM_PIDS $!"
  exec {OUT}<"$ROOT/sim$node"
  LINK=""
  while read -r -t 10 -u $OUT LINE; do
    case "$LINE" in "link: "*) LINK=${LINE#link: }; break ;; esac
  done
  case "$LINK" in "$XDG_RUNTIME_DIR"/*) ;; *) echo "drivara-sim linked '$LINK'" >&2; exit 1 ;; esac
  "$P/bin/drivactl" --serial "$LINK" --node $node read 604100
done

# drivara as its desktop entry starts it, with a port saved first (the settings go to the XDG
# folder), English, then Chinese as an operator who chose it.
EXEC=$(sed -n 's/^Exec=//p' "$P/share/applications/drivara.desktop" | sed 's/ *%[fFuU]//g')
SHOTS="${DRIVARA_PACKAGE_SHOTS:-$ROOT/shots}"
mkdir -p "$SHOTS"
for lang in en zh; do
  if [ $lang = zh ]; then
    sed -i 's/^lang=.*/lang=1/' "$XDG_CONFIG_HOME/drivara/sys.ini"; locale=zh_CN.UTF-8
  else
    locale=C.UTF-8
  fi
  PATH="$P/bin:$PATH" LANG=$locale LC_ALL=$locale xvfb-run -a -s "-screen 0 1280x800x24" \
    $EXEC --serial ttyS9 --screenshot "$SHOTS/drivara-package-$lang.png" >/dev/null
  test -s "$SHOTS/drivara-package-$lang.png"
done
grep -q '^comid=ttyS9' "$XDG_CONFIG_HOME/drivara/sys.ini"

sums >"$ROOT/after"
if ! diff "$ROOT/before" "$ROOT/after"; then
  echo "the programs changed files of the installation (above)" >&2
  exit 1
fi
echo "Package check passed."
