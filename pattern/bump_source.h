// Rimeflower: the bump source, the grey picture that gives the ice its
// relief (bitmap resource 998 of the module).
#pragma once

#include <cstddef>
#include <cstdint>

namespace rf::pattern {

constexpr int32_t kBumpSize = 100;
constexpr size_t kBumpSourceBytes = size_t(kBumpSize) * kBumpSize * 3;

// A new 100 x 100 x 3 texture from the module's bitmap (committed pages,
// released with platform::FreePages): the red component of each pixel in
// the first byte of its texel, the other two bytes 0, row 0 the top row of
// the picture. Null when the bitmap is missing or not a 24-bit 100 x 100
// picture, or when memory is short.
uint8_t* BuildBumpSource();

// Decodes such a bitmap (a device-independent bitmap: info header, then
// bottom-up or top-down rows of blue, green, red) into `out`. False when the
// bytes are not one.
bool DecodeBumpBitmap(const uint8_t* dib, size_t size, uint8_t* out);

}  // namespace rf::pattern
