// Rimeflower: whole rows of 8-bit pixels between the host's packed RGB and
// the renderer's RGBA.
#pragma once

#include <cstdint>

namespace rf::host {

// Packed RGB to RGBA with full alpha.
void RGBRowToRGBA(const uint8_t* in, int width, uint8_t* out);

// RGBA to packed RGB. There is no transparency plane to hold partial
// coverage, so a pixel's colour darkens towards black by its alpha.
void RGBARowToRGB(const uint8_t* in, int width, uint8_t* out);

}  // namespace rf::host
