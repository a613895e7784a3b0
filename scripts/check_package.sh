#!/usr/bin/env bash
# Builds the .deb from a build directory, installs it on this machine, and runs the installed programs as a user
# with a fresh home would: simulator, receive, analysis, and the catalogue brought into the data home.
# Usage: scripts/check_package.sh [build-dir]
set -euo pipefail
trap 'echo "check_package: FAILED at line $LINENO: $BASH_COMMAND" >&2' ERR
cd "$(dirname "$0")/.."
dir=${1:-build}
fail() { echo "check_package: FAILED: $*" >&2; exit 1; }

cmake --build "$dir" >/dev/null
rm -f "$dir"/mervo_*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
deb=$(ls "$dir"/mervo_*.deb)
want="./usr/bin/mervo
./usr/bin/mervo-sim
./usr/bin/mervo-tool
./usr/bin/mervo-tool-core
./usr/bin/mervo-tool-print
./usr/lib/udev/rules.d/70-mervo-serial.rules
./usr/share/applications/mervo.desktop
./usr/share/icons/hicolor/scalable/apps/mervo.svg
./usr/share/mervo/MTALL.OBJ
./usr/share/mervo/MT_fe.txt
./usr/share/mervo/bmindex.txt"
got=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort)
[ "$got" = "$want" ] || fail "the package holds"$'\n'"$got"$'\n'"instead of"$'\n'"$want"

# The seat's user opens USB serial adapters without joining their group.
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/lib/udev/rules.d/70-mervo-serial.rules |
  grep -q 'SUBSYSTEMS=="usb", TAG+="uaccess"' || fail "the udev rule does not give the seat's user the USB serial adapters"

SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --reinstall "$(realpath "$deb")" >/dev/null

tmp=$(mktemp -d)
sim=""
trap 'if [ -n "$sim" ]; then kill $sim 2>/dev/null || true; fi; rm -rf "$tmp"' EXIT
unset MERVO_HOME
export HOME=$tmp XDG_DATA_HOME=$tmp/data
cd "$tmp"

version=$(/usr/bin/mervo-tool --version)
[ "$version" = "mervo-tool $(dpkg-query -W -f='${Version}' mervo)" ] || fail "--version says \"$version\""

/usr/bin/mervo-sim --rate 0 --blocks 200 >sim.out 2>sim.err &
sim=$!
for _ in $(seq 100); do [ -s sim.out ] && break; sleep 0.1; done
pty=$(head -n 1 sim.out)
[ -c "$pty" ] || fail "mervo-sim gave no pseudo-terminal: $(cat sim.err)"
timeout 60 /usr/bin/mervo-tool receive --port "$pty" -o demo.MTQ --blocks 200 >/dev/null
analysis=$(/usr/bin/mervo-tool analyze demo.MTQ)
grep -q '"samples":200,' <<<"$analysis" || fail "analyze: $analysis"

motor=$(/usr/bin/mervo-tool motor 1)
grep -q '"valid":true' <<<"$motor" || fail "motor 1: $motor"
for f in MT_fe.txt bmindex.txt MTALL.OBJ; do
  cmp -s "/usr/share/mervo/$f" "$XDG_DATA_HOME/mervo/$f" || fail "$f was not copied into $XDG_DATA_HOME/mervo"
done
echo "check_package: $(basename "$deb") installed and works"
