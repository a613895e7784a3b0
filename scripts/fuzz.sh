#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) in build-fuzz and runs each for the given seconds
# (default 30) over a scratch copy of its seed corpus, so the committed corpus does not grow. Fails on any
# crash, leak or sanitizer report.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
targets=(sync_decode measurement_file settings_file catalogue number_format)

if ! command -v clang++ >/dev/null || ! dpkg-query -W -f='${Status}' libclang-rt-14-dev 2>/dev/null | grep -q 'install ok installed'; then
  echo "fuzz: installing clang" >&2
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends clang libclang-rt-14-dev >/dev/null
fi

cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMERVO_FUZZ=ON -DMERVO_TESTS=OFF -DMERVO_BENCH=OFF >/dev/null
ninja -C build-fuzz "${targets[@]/#/fuzz_}"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
# Qt keeps some allocations for the life of the process; the checked-in list names them. Leak checking stays on.
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
status=0
for t in "${targets[@]}"; do
  mkdir -p "$work/$t/corpus" "$work/$t/artifacts"
  cp tests/fuzz/corpus/"$t"/* "$work/$t/corpus/"
  echo "fuzz: $t for ${seconds}s" >&2
  if ! TMPDIR="$work/$t" build-fuzz/fuzz/fuzz_"$t" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 \
      -artifact_prefix="$work/$t/artifacts/" -print_final_stats=1 "$work/$t/corpus" 2>"$work/$t/log"; then
    tail -n 60 "$work/$t/log" >&2
    mkdir -p build-fuzz/crashes/"$t"
    cp "$work/$t/artifacts/"* build-fuzz/crashes/"$t"/ 2>/dev/null || true
    echo "fuzz: $t FAILED; inputs kept in build-fuzz/crashes/$t" >&2
    status=1
  else
    grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$work/$t/log" | sed "s/^/fuzz: $t /" >&2
  fi
done
exit $status
