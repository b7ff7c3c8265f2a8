#include "pattern/bump_source.h"

#include <cstring>

#include "platform/platform.h"

namespace rf::pattern {

namespace {

uint32_t Read32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint16_t Read16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

}  // namespace

bool DecodeBumpBitmap(const uint8_t* dib, size_t size, uint8_t* out) {
  if (!dib || size < 40) return false;
  const uint32_t headerSize = Read32(dib);
  const int32_t width = int32_t(Read32(dib + 4));
  const int32_t height = int32_t(Read32(dib + 8));
  const uint16_t bits = Read16(dib + 14);
  const uint32_t compression = Read32(dib + 16);
  if (headerSize < 40 || headerSize > size || width != kBumpSize || (height != kBumpSize && height != -kBumpSize) ||
      bits != 24 || compression != 0)
    return false;
  const size_t rowBytes = (size_t(kBumpSize) * 3 + 3) & ~size_t(3);
  if (size - headerSize < rowBytes * kBumpSize) return false;
  const uint8_t* pixels = dib + headerSize;
  for (int32_t y = 0; y < kBumpSize; ++y) {
    // Positive heights store the bottom row first.
    const uint8_t* row = pixels + rowBytes * size_t(height > 0 ? kBumpSize - 1 - y : y);
    uint8_t* texel = out + size_t(y) * kBumpSize * 3;
    for (int32_t x = 0; x < kBumpSize; ++x, texel += 3) {
      texel[0] = row[x * 3 + 2];
      texel[1] = 0;
      texel[2] = 0;
    }
  }
  return true;
}

uint8_t* BuildBumpSource() {
  const platform::ResourceBytes bitmap = platform::FindModuleResource(platform::kBitmapResource, 998);
  if (!bitmap) return nullptr;
  auto* texture = static_cast<uint8_t*>(platform::AllocPages(kBumpSourceBytes));
  if (!texture) return nullptr;
  if (!DecodeBumpBitmap(bitmap.data, bitmap.size, texture)) {
    platform::FreePages(texture);
    return nullptr;
  }
  return texture;
}

}  // namespace rf::pattern
