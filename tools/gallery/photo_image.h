// Rimeflower gallery: a photo-like test picture drawn from code.
#pragma once

#include "tools/imagefile/image_io.h"

namespace rf::gallery {

// Largest side the generator accepts; the gallery needs a few hundred pixels.
constexpr int kMaxPhotoSide = 8000;

// A still life by a window at night: three glass ornaments on a wooden
// table in front of a wall with out-of-focus fairy lights, with a vignette
// and film grain. It has what the demo's landscape lacks (saturated colours,
// hard highlights, fine texture), which is what glass and bump are judged
// on. Deterministic for a given size; an empty image for sizes outside
// 1..kMaxPhotoSide.
tools::Image MakePhotoImage(int width, int height);

}  // namespace rf::gallery
