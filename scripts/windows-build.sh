#!/bin/sh
# Cross-builds the Windows module and its tests into build-win/ with
# MinGW-w64, installing the cross compiler and Wine when they are missing
# (Debian 12). Also packs build-win/Rimeflower-<version>-win64.zip.
#
# rimeflower.exe is built when the host's sources configure for Windows;
# otherwise the build goes on without it and says so.
# Jobs: RF_JOBS (default 2).
set -eu
cd "$(dirname "$0")/.."
jobs=${RF_JOBS:-2}

packages="g++-mingw-w64-x86-64-posix wine64 wine googletest cmake ninja-build"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  # shellcheck disable=SC2086
  $sudo apt-get install -y -qq --no-install-recommends $missing
fi

configure() {
  cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRF_BUILD_TESTS=ON -DRF_TEST_DIRS=windows -DRF_BUILD_BENCH=OFF "$@"
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

targets="Rimeflower64 windows_package test_pipl_reader test_windows_module test_platform_win32"
[ "$tools" = ON ] && targets="$targets rimeflower"
# shellcheck disable=SC2086
cmake --build build-win -j "$jobs" --target $targets
