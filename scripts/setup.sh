#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need, skipping what is already there.
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-serialport-dev libgl-dev libgtest-dev googletest
          libbenchmark-dev fonts-arphic-uming fonts-wqy-zenhei poppler-utils xvfb clang libclang-rt-14-dev
          qt6-translations-l10n libqcustomplot-dev qt6-svg-dev dpkg-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}" >&2
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
