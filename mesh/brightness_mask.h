// Rimeflower contour meshing: the label mask of an image without a selection.
//
// The image's brightness, smoothed by an 11 x 11 median so that texture and
// noise do not become borders, and cut into four bands: 0, 84, 168 and 252.
// The contour tracer then follows the borders between the bands.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rf::mesh {

// The banded brightness of an RGBA image (8-bit R, G, B, A per pixel, rows
// packed) into `mask` (width x height bytes, rows packed). Equal to
// QuantiseBands(MedianFilter11(ComputeBrightness(...))) byte for byte, but
// works row by row from window counts: beyond the mask it needs a few dozen
// bytes per row and column. False, with the mask all 0, when the working
// memory cannot be had or a size is below 1.
bool BuildBrightnessMask(const uint8_t* rgba, int32_t width, int32_t height, uint8_t* mask);

// ---- The steps, public for tests and benchmarks ----

// trunc((R x 0.5 + G x 0.3 + B x 0.2) x A / 255), 0 where A is 0.
void ComputeBrightness(const uint8_t* rgba, size_t pixelCount, uint8_t* brightness);

// Median over the 11 x 11 window centred on each pixel, the window clipped to
// the image; for an even number of pixels the truncated mean of the two
// middle values. Runs in constant time per pixel from sliding histograms.
// False when its histograms cannot be allocated or a size is below 1.
bool MedianFilter11(const uint8_t* source, int32_t width, int32_t height, uint8_t* target);

// trunc(v / 84) x 84 in place.
void QuantiseBands(uint8_t* data, size_t count);

}  // namespace rf::mesh
