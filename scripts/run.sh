#!/usr/bin/env bash
# Builds and starts the program. With no COM1 link in the program directory, the simulated instrument is linked
# there as COM1, so "手动接收" shows readings at once.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build
export MERVO_HOME=${MERVO_HOME:-$PWD/build}
if [ ! -e "$MERVO_HOME/COM1" ]; then
  build/mervo-sim --com 1 --dir "$MERVO_HOME" >/dev/null &
  sim=$!
  trap 'kill $sim 2>/dev/null' EXIT
  sleep 0.5
fi
build/mervo "$@"
