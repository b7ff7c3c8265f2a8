#!/bin/sh
# A long fuzzing campaign: every fuzz target (or those named) in turn, each
# until SECONDS have passed or RF_FUZZ_RUNS inputs have run (default ten
# million), whichever comes first. The inputs of the campaign that reach
# coverage the committed corpus lacks are then merged into
# tests/fuzz/corpus/<target> (the smallest such set; the committed inputs
# stay), ready to commit. A crash stops the campaign and names its
# reproducer.
#
#   scripts/fuzz.sh SECONDS [TARGET...]
#
# Runs at the lowest priority, one target at a time. Logs and the growing
# corpora stay in build-fuzz/campaign/.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
[ $# -ge 1 ] || { echo "usage: scripts/fuzz.sh SECONDS [TARGET...]" >&2; exit 2; }
seconds=$1
shift
runs=${RF_FUZZ_RUNS:-10000000}
jobs=${RF_JOBS:-$(nproc)}

if [ $# -gt 0 ]; then
  targets="$*"
else
  targets=""
  for src in tests/fuzz/fuzz_*.cpp; do targets="$targets $(basename "$src" .cpp)"; done
fi

scripts/setup.sh test
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRF_FUZZ=ON \
  -DRF_BUILD_TESTS=ON -DRF_BUILD_TOOLS=ON -URF_TEST_DIRS -DRF_SANITIZE=OFF -DRF_BUILD_BENCH=OFF >/dev/null
# shellcheck disable=SC2086
cmake --build build-fuzz -j "$jobs" --target $targets

campaign="$root/build-fuzz/campaign"
mkdir -p "$campaign"
for name in $targets; do
  binary="build-fuzz/tests/fuzz/$name"
  corpus="$campaign/$name"
  committed="tests/fuzz/corpus/$name"
  mkdir -p "$corpus" "$committed"
  log="$campaign/$name.log"
  echo "-- $name ($(date +%H:%M:%S))"
  if ! nice -n 19 "$binary" -max_total_time="$seconds" -runs="$runs" -rss_limit_mb=2048 -timeout=30 \
      -print_final_stats=1 -artifact_prefix="$campaign/$name-" "$corpus" "$committed" >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "fuzzing $name found a failure (log: $log)"
    exit 1
  fi
  grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$log" || true
  nice -n 19 "$binary" -merge=1 -rss_limit_mb=2048 -timeout=30 "$committed" "$corpus" \
    >"$campaign/$name.merge.log" 2>&1
  echo "   committed corpus: $(find "$committed" -type f | wc -l) files"
done
