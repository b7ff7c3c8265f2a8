#include "tools/hostlib/area_delivery.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "host/interface/result_codes.h"

namespace rf::tools {

namespace {

constexpr int16_t kParamErr = -50;
constexpr uint64_t kMaxAreaBytes = 1ull << 30;
constexpr uint8_t kGarbage = 0xCD;

}  // namespace

int32_t WholeRate(host::Fixed rate) {
  if (rate <= 0) return 0;
  return int32_t((int64_t(rate) + 0x8000) >> 16);
}

int16_t DeliverArea(const HeldImage& image, const AreaRequest& request, std::vector<uint8_t>& buffer,
                    int32_t& rowBytes) {
  const host::VRect& r = request.rect;
  const int64_t w = int64_t(r.right) - r.left, h = int64_t(r.bottom) - r.top;
  if (w <= 0 || h <= 0 || request.rate <= 0) return kParamErr;
  if (request.loPlane < 0 || request.hiPlane < request.loPlane || request.hiPlane >= image.planes) return kParamErr;
  const int16_t padding = request.padding;
  if (padding < host::kWantsErrorOnBoundsException || padding > 255) return kParamErr;
  const int64_t rate = request.rate;
  const bool inside = int64_t(r.top) * rate >= 0 && int64_t(r.left) * rate >= 0 &&
                      (int64_t(r.bottom) - 1) * rate < image.height && (int64_t(r.right) - 1) * rate < image.width;
  if (!inside && padding == host::kWantsErrorOnBoundsException) return kParamErr;

  const int planes = request.hiPlane - request.loPlane + 1;
  const size_t sample = image.sampleBytes;
  const uint64_t pixelBytes = uint64_t(planes) * sample;
  uint64_t row = uint64_t(w) * pixelBytes;
  if (request.paddedRows) row = (row + 15) / 16 * 16 + 16;
  if (row * uint64_t(h) > kMaxAreaBytes || row > uint64_t(INT32_MAX)) return kMemFullErr;
  try {
    buffer.assign(size_t(row * uint64_t(h)), request.paddedRows ? kGarbage : 0);
  } catch (const std::bad_alloc&) {
    return kMemFullErr;
  }
  rowBytes = int32_t(row);

  // A fill value is given in 8 bits; 16-bit images get the same level.
  uint8_t fill[2] = {uint8_t(padding), 0};
  if (sample == 2 && padding >= 0) {
    const uint16_t v = uint16_t((uint32_t(padding) * 32768u + 127u) / 255u);
    std::memcpy(fill, &v, 2);
  }
  const size_t imagePixel = size_t(image.planes) * sample;
  for (int64_t y = 0; y < h; ++y) {
    uint8_t* out = buffer.data() + size_t(y) * size_t(row);
    int64_t sy = (r.top + y) * rate;
    const bool rowInside = sy >= 0 && sy < image.height;
    if (!rowInside && padding == host::kWantsEdgeReplication) sy = std::clamp<int64_t>(sy, 0, image.height - 1);
    for (int64_t x = 0; x < w; ++x, out += pixelBytes) {
      int64_t sx = (r.left + x) * rate;
      const bool columnInside = sx >= 0 && sx < image.width;
      if ((!rowInside || !columnInside) && padding != host::kWantsEdgeReplication) {
        if (padding >= 0)
          for (int p = 0; p < planes; ++p) std::memcpy(out + size_t(p) * sample, fill, sample);
        continue;  // no padding wanted: the bytes stay as they are
      }
      sx = std::clamp<int64_t>(sx, 0, image.width - 1);
      const uint8_t* from = image.pixels + (size_t(sy) * size_t(image.width) + size_t(sx)) * imagePixel +
                            size_t(request.loPlane) * sample;
      std::memcpy(out, from, size_t(pixelBytes));
    }
  }
  return kNoErr;
}

}  // namespace rf::tools
