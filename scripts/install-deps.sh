#!/usr/bin/env bash
# Installs every Debian package needed to build, run and test Drivara.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
PKGS=(
  build-essential cmake ninja-build pkg-config clang clang-format
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-serialbus-dev
  libqt6serialbus6-bin qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
  libgtest-dev googletest libgmock-dev libbenchmark-dev
  fonts-wqy-microhei xvfb xauth time
  debhelper dpkg-dev lintian help2man
)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
