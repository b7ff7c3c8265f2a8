#!/bin/sh
# Cross-builds the Windows module, the host rimeflower.exe and their tests
# into build-win/ with MinGW-w64, installing the cross compiler and Wine when
# they are missing (Debian 12). Also packs
# build-win/Rimeflower-<version>-win64.zip.
#
# Should the host's sources ever fail to configure for Windows, the module is
# still built, without rimeflower.exe, and the script says so.
# Jobs: RF_JOBS (default 2).
set -eu
cd "$(dirname "$0")/.."
jobs=${RF_JOBS:-2}

scripts/setup.sh --packages g++-mingw-w64-x86-64-posix wine64 wine googletest cmake ninja-build

# Every test folder of tests/CMakeLists.txt: tests build for Windows wherever
# the code they test does (-U forgets a narrower list an earlier run chose).
configure() {
  cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRF_BUILD_TESTS=ON -URF_TEST_DIRS -DRF_BUILD_BENCH=OFF "$@"
}

tools=ON
mkdir -p build-win
if ! configure -DRF_BUILD_TOOLS=ON >build-win/configure-tools.log 2>&1; then
  echo "note: the host program does not configure for Windows; building without rimeflower.exe"
  echo "      (details: build-win/configure-tools.log)"
  tools=OFF
  configure -DRF_BUILD_TOOLS=OFF >/dev/null
else
  rm -f build-win/configure-tools.log
fi

# Exactly what ctest will run, by name (every test program is its own
# target), so that other programs of the tree do not lengthen the build.
targets="Rimeflower64 windows_package controls_window $(cd build-win && ctest -N | sed -n 's/^ *Test *#[0-9]*: //p')"
[ "$tools" = ON ] && targets="$targets rimeflower rf-gallery dialog_probe"
# shellcheck disable=SC2086
cmake --build build-win -j "$jobs" --target $targets
