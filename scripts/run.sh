#!/usr/bin/env bash
# Builds and starts the program. Until the window lands, this starts the simulated instrument and records
# ten seconds of it with the command-line tool, then shows what was recorded.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build
export MERVO_HOME=${MERVO_HOME:-$PWD/build}
if [ -x build/mervo ]; then
  if [ ! -e "$MERVO_HOME/COM1" ]; then
    build/mervo-sim --com 1 --dir "$MERVO_HOME" >/dev/null &
    sim=$!; trap 'kill $sim 2>/dev/null' EXIT
    sleep 0.5
  fi
  build/mervo "$@"
else
  build/mervo-sim --com 1 --dir "$MERVO_HOME" >/dev/null &
  sim=$!; trap 'kill $sim 2>/dev/null' EXIT
  sleep 0.5
  build/mervo-tool receive --port COM1 --dir "$MERVO_HOME" --seconds 10 -o "$MERVO_HOME/demo.MTQ"
  build/mervo-tool info "$MERVO_HOME/demo.MTQ"
fi
