#!/usr/bin/env bash
# Builds and starts the program. Its program directory (settings, working file, port links) lies outside build/,
# so a clean build loses nothing: $MERVO_HOME, or the installed program's own ${XDG_DATA_HOME:-~/.local/share}/mervo.
# With no COM1 link there, the simulated instrument is linked as COM1, so "手动接收" shows readings at once.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build
export MERVO_HOME=${MERVO_HOME:-${XDG_DATA_HOME:-$HOME/.local/share}/mervo}
mkdir -p "$MERVO_HOME"
# The catalogue the build made, unless one is there already.
for f in MT_fe.txt bmindex.txt MTALL.OBJ; do
  [ -e "$MERVO_HOME/$f" ] || cp "build/$f" "$MERVO_HOME/"
done
if [ ! -e "$MERVO_HOME/COM1" ]; then
  build/mervo-sim --com 1 --dir "$MERVO_HOME" >/dev/null &
  sim=$!
  trap 'kill $sim 2>/dev/null' EXIT
  sleep 0.5
fi
build/mervo "$@"
