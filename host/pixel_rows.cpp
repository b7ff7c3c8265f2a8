#include "host/pixel_rows.h"

#include <cstring>

namespace rf::host {

// Whole images pass through here, so it is kept to a few shifts per pixel:
// four pixels are three 32-bit words in and two 64-bit words out, bytes
// R, G, B, A on the little-endian machines we build for.
void RGBRowToRGBA(const uint8_t* in, int width, uint8_t* out) {
  constexpr uint64_t kOpaque = 0xFF000000FF000000ull;
  int x = 0;
  for (; x + 4 <= width; x += 4, in += 12, out += 16) {
    uint64_t a;
    uint32_t b;
    std::memcpy(&a, in, 8);
    std::memcpy(&b, in + 8, 4);
    const uint64_t first = (a & 0xFFFFFF) | ((a >> 24) & 0xFFFFFF) << 32 | kOpaque;
    const uint64_t second = (a >> 48) | uint64_t(b & 0xFF) << 16 | uint64_t(b >> 8) << 32 | kOpaque;
    std::memcpy(out, &first, 8);
    std::memcpy(out + 8, &second, 8);
  }
  for (; x < width; ++x, in += 3, out += 4) out[0] = in[0], out[1] = in[1], out[2] = in[2], out[3] = 255;
}

// Runs of opaque pixels, nearly all of an image, are packed four at a time.
void RGBARowToRGB(const uint8_t* in, int width, uint8_t* out) {
  int x = 0;
  while (x < width) {
    if (x + 4 <= width) {
      uint64_t first, second;
      std::memcpy(&first, in, 8);
      std::memcpy(&second, in + 8, 8);
      if ((first & second & 0xFF000000FF000000ull) == 0xFF000000FF000000ull) {
        const uint64_t a = (first & 0xFFFFFF) | ((first >> 32) & 0xFFFFFF) << 24 | (second & 0xFFFF) << 48;
        const uint32_t b = uint32_t((second >> 16) & 0xFF) | uint32_t((second >> 32) & 0xFFFFFF) << 8;
        std::memcpy(out, &a, 8);
        std::memcpy(out + 8, &b, 4);
        x += 4, in += 16, out += 12;
        continue;
      }
    }
    if (in[3] == 255) {
      out[0] = in[0], out[1] = in[1], out[2] = in[2];
    } else {
      const float a = in[3] / 255.0f;
      out[0] = uint8_t(in[0] * a), out[1] = uint8_t(in[1] * a), out[2] = uint8_t(in[2] * a);
    }
    ++x, in += 4, out += 3;
  }
}

}  // namespace rf::host
