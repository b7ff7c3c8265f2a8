// Rimeflower host: the built-in sample picture for `rimeflower demo`.
#pragma once

#include "tools/imagefile/image_io.h"

namespace rf::tools {

// A winter landscape at dusk (sky, sun, hills, a frozen lake), drawn from
// code so that the demo needs no file. Deterministic for a given size.
Image MakeSampleImage(int width = 1000, int height = 750);

}  // namespace rf::tools
