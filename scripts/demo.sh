#!/bin/sh
# Fresh machine to picture: installs what is missing, builds the module and
# the rimeflower host, and renders the default effect to rimeflower-demo.png.
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh build
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DRF_BUILD_TESTS=OFF -DRF_BUILD_TOOLS=ON -DRF_BUILD_BENCH=OFF >/dev/null
cmake --build build --target rimeflower
build/bin/rimeflower demo -o rimeflower-demo.png
