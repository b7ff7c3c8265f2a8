#!/bin/sh
# Installs what building and testing Rimeflower needs on Debian 12, skipping
# what is already there. Usage:
#   scripts/setup.sh [build]            the compiler, CMake, Ninja and the image libraries
#   scripts/setup.sh test               also GoogleTest, Google Benchmark, clang's fuzzing
#                                       runtime, the MinGW-w64 cross compiler and Wine
#   scripts/setup.sh --packages P...    just these Debian packages
set -eu

what=${1:-build}
packages="g++ cmake ninja-build pkg-config libpng-dev libjpeg-dev libtiff-dev"
if [ "$what" = test ]; then
  packages="$packages libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev fonts-liberation2
            g++-mingw-w64-x86-64-posix wine64 wine xvfb xdotool imagemagick fonts-wine googletest"
elif [ "$what" = --packages ]; then
  shift
  packages="$*"
fi

missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
# shellcheck disable=SC2086
$sudo apt-get install -y -qq --no-install-recommends $missing
