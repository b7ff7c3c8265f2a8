#!/bin/sh
# Installs Rimeflower into GIMP 2.10 on Debian 12: installs GIMP and libgimp
# when missing, builds the plug-in with the module, and copies both with the
# module's data folder into GIMP's plug-in folder. Usage:
#   scripts/gimp-install.sh             for this user: $GIMP2_DIRECTORY/plug-ins, by default
#                                       ~/.config/GIMP/2.10/plug-ins/rimeflower-gimp/
#   scripts/gimp-install.sh --system    for every user: /usr/lib/gimp/2.0/plug-ins/rimeflower-gimp/
#                                       (through sudo when not root)
#   scripts/gimp-install.sh --to DIR    into DIR/rimeflower-gimp/
# The build goes to build/ (RF_BUILD_DIR to change it); --no-build installs
# what is already built there. Restart GIMP afterwards: it finds the filter
# under Filters > Kestrelworks > Rimeflower...
set -eu
cd "$(dirname "$0")/.."
build=${RF_BUILD_DIR:-build}
plugins="${GIMP2_DIRECTORY:-$HOME/.config/GIMP/2.10}/plug-ins"
sudo=""
make=yes
while [ $# -gt 0 ]; do
  case "$1" in
    --system) plugins=/usr/lib/gimp/2.0/plug-ins; [ "$(id -u)" -ne 0 ] && sudo=sudo ;;
    --to) shift; plugins="$1" ;;
    --no-build) make=no ;;
    *) echo "usage: scripts/gimp-install.sh [--system | --to DIR] [--no-build]" >&2; exit 2 ;;
  esac
  shift
done

if [ "$make" = yes ]; then
  scripts/setup.sh build
  scripts/setup.sh --packages gimp libgimp2.0-dev
  if [ -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" >/dev/null  # keeps what the folder was configured with, finds libgimp
  else
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DRF_BUILD_TESTS=OFF -DRF_BUILD_BENCH=OFF >/dev/null
  fi
  cmake --build "$build" -j "${RF_JOBS:-$(nproc)}" --target rimeflower-gimp Rimeflower64
fi
[ -x "$build/gimp/rimeflower-gimp" ] || { echo "no plug-in in $build/gimp: build it first" >&2; exit 1; }

# GIMP runs a plug-in kept in a folder of its own name.
to="$plugins/rimeflower-gimp"
$sudo mkdir -p "$to"
$sudo rm -rf "$to/Rimeflower"
$sudo cp "$build/gimp/rimeflower-gimp" "$build/plugin/Rimeflower64.8bf" "$to/"
$sudo cp -r "$build/plugin/Rimeflower" "$to/"
echo "installed in $to"
