#!/bin/sh
# Every test: installs what is missing, then
#   1. the normal build and all its tests,
#   2. the same tests built with AddressSanitizer and UndefinedBehaviorSanitizer,
#   3. a short libFuzzer run of every fuzz target,
#   4. the Windows module, cross-built and tested under Wine (when the
#      Windows scripts exist),
#   5. the GIMP plug-in in a headless GIMP against the command line.
# A failure anywhere fails the run. Jobs: RF_JOBS (default: all cores).
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${RF_JOBS:-$(nproc)}
scripts/setup.sh test

section() { printf '\n==== %s (%s) ====\n' "$1" "$(date +%H:%M:%S)"; }

# Every build directory is configured with all it needs, whatever an earlier
# command left in its cache (scripts/demo.sh builds build/ without tests),
# and every ctest run fails when it finds no test.
all_tests="-DRF_BUILD_TESTS=ON -DRF_BUILD_TOOLS=ON -URF_TEST_DIRS"

section "build and test"
# shellcheck disable=SC2086
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release $all_tests -DRF_SANITIZE=OFF -DRF_FUZZ=OFF \
  -DRF_BUILD_BENCH=ON >/dev/null
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure --no-tests=error -j "$jobs")

section "sanitizers (address, undefined behaviour)"
# shellcheck disable=SC2086
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug $all_tests -DRF_SANITIZE=ON -DRF_FUZZ=OFF \
  -DRF_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan -j "$jobs"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1:halt_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --output-on-failure --no-tests=error -j "$jobs")

section "fuzzing (short runs)"
targets=""
for src in tests/fuzz/fuzz_*.cpp; do
  [ -e "$src" ] && targets="$targets $(basename "$src" .cpp)"
done
if [ -n "$targets" ]; then
  # shellcheck disable=SC2086
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRF_FUZZ=ON \
    $all_tests -DRF_SANITIZE=OFF -DRF_BUILD_BENCH=OFF >/dev/null
  # shellcheck disable=SC2086
  cmake --build build-fuzz -j "$jobs" --target $targets
  for name in $targets; do
    corpus="$root/build-fuzz/corpus-$name"
    mkdir -p "$corpus"
    [ -d "tests/fuzz/corpus/$name" ] && cp -r "tests/fuzz/corpus/$name/." "$corpus/"
    echo "-- $name"
    log="$root/build-fuzz/$name.log"
    if ! "build-fuzz/tests/fuzz/$name" -max_total_time="${RF_FUZZ_SECONDS:-10}" -rss_limit_mb=2048 \
        -print_final_stats=1 "$corpus" >"$log" 2>&1; then
      tail -n 40 "$log"
      echo "fuzzing $name found a failure (log: $log)"
      exit 1
    fi
    grep -E "stat::number_of_executed_units" "$log" || true
  done
fi

if [ -x scripts/windows-test.sh ]; then
  section "Windows module (MinGW-w64, Wine)"
  scripts/windows-test.sh
fi

section "GIMP plug-in" && RF_BUILD_DIR=build scripts/gimp-test.sh

section "all tests passed"
