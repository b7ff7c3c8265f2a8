#include "mesh/brightness_mask.h"

#include <algorithm>
#include <cstring>

#include "platform/platform.h"

namespace rf::mesh {

namespace {

constexpr int32_t kRadius = 5;  // 11 x 11 window
constexpr int kBandWidth = 84;

// The median works on histograms split into 16 coarse bins of 16 fine bins.
// No count can exceed 121 (the window), so every count fits a byte and 16 of
// them fit two 64-bit words that add and subtract lane by lane without
// carries: a whole coarse or fine histogram moves in two additions.
struct Lanes {
  uint64_t lo = 0;
  uint64_t hi = 0;

  void Add(const uint8_t* bytes) {
    uint64_t a, b;
    std::memcpy(&a, bytes, 8);
    std::memcpy(&b, bytes + 8, 8);
    lo += a;
    hi += b;
  }
  void Subtract(const uint8_t* bytes) {
    uint64_t a, b;
    std::memcpy(&a, bytes, 8);
    std::memcpy(&b, bytes + 8, 8);
    lo -= a;
    hi -= b;
  }
  void Unpack(uint8_t* out) const {
    std::memcpy(out, &lo, 8);
    std::memcpy(out + 8, &hi, 8);
  }
};

class SlidingMedian {
 public:
  SlidingMedian(const uint8_t* source, int32_t width, int32_t height)
      : source(source), width(size_t(width)), height(height) {}
  ~SlidingMedian() {
    platform::FreePages(fine);
    platform::FreePages(coarse);
  }

  bool Allocate() {
    // Fine bins are stored segment-major, so the 11 columns of one segment
    // that a lookup sums lie next to each other.
    fine = static_cast<uint8_t*>(platform::AllocPages(width * 256));
    coarse = static_cast<uint8_t*>(platform::AllocPages(width * 16));
    return fine && coarse;
  }

  void Run(uint8_t* target) {
    const int32_t w = int32_t(width);
    for (int32_t y = 0; y <= std::min(kRadius, height - 1); ++y) AddRow(y, 1);
    for (int32_t y = 0; y < height; ++y) {
      if (y > 0) {
        if (y - kRadius - 1 >= 0) AddRow(y - kRadius - 1, -1);
        if (y + kRadius < height) AddRow(y + kRadius, 1);
      }
      const int32_t rowsIn = std::min(height - 1, y + kRadius) - std::max(0, y - kRadius) + 1;
      kernel = Lanes();
      firstColumn = 0;
      lastColumn = std::min(kRadius, w - 1);
      for (int32_t x = firstColumn; x <= lastColumn; ++x) kernel.Add(coarse + size_t(x) * 16);

      uint8_t* out = target + size_t(y) * width;
      for (int32_t x = 0; x < w; ++x) {
        if (x > 0) {
          if (x + kRadius < w) kernel.Add(coarse + size_t(++lastColumn) * 16);
          if (x - kRadius - 1 >= 0) kernel.Subtract(coarse + size_t(firstColumn++) * 16);
        }
        const int32_t count = rowsIn * (lastColumn - firstColumn + 1);
        const int lower = Select((count - 1) / 2);
        out[x] = uint8_t(count % 2 ? lower : (lower + Select(count / 2)) / 2);
      }
    }
  }

 private:
  void AddRow(int32_t y, int delta) {
    const uint8_t* row = source + size_t(y) * width;
    const uint8_t d = uint8_t(delta);  // -1 wraps to 255: byte arithmetic subtracts
    for (size_t x = 0; x < width; ++x) {
      const unsigned v = row[x];
      fine[((v >> 4) * width + x) * 16 + (v & 15)] += d;
      coarse[x * 16 + (v >> 4)] += d;
    }
  }

  // The value of rank k (from 0) in the current window.
  int Select(int k) const {
    uint8_t counts[16];
    kernel.Unpack(counts);
    int below = 0;
    int bin = 0;
    while (bin < 15 && below + counts[bin] <= k) below += counts[bin++];

    Lanes segment;
    const uint8_t* column = fine + (size_t(bin) * width + size_t(firstColumn)) * 16;
    for (int32_t x = firstColumn; x <= lastColumn; ++x, column += 16) segment.Add(column);
    segment.Unpack(counts);
    int value = 0;
    while (value < 15 && below + counts[value] <= k) below += counts[value++];
    return bin * 16 + value;
  }

  const uint8_t* source;
  size_t width;
  int32_t height;
  uint8_t* fine = nullptr;
  uint8_t* coarse = nullptr;
  Lanes kernel;
  int32_t firstColumn = 0;
  int32_t lastColumn = 0;
};

}  // namespace

void ComputeBrightness(const uint8_t* rgba, size_t pixelCount, uint8_t* brightness) {
  for (size_t i = 0; i < pixelCount; ++i, rgba += 4) {
    const unsigned alpha = rgba[3];
    brightness[i] = alpha == 0 ? 0 : uint8_t((rgba[0] * 0.5 + rgba[1] * 0.3 + rgba[2] * 0.2) * alpha / 255);
  }
}

bool MedianFilter11(const uint8_t* source, int32_t width, int32_t height, uint8_t* target) {
  if (width < 1 || height < 1 || !source || !target) return false;
  SlidingMedian median(source, width, height);
  if (!median.Allocate()) return false;
  median.Run(target);
  return true;
}

void QuantiseBands(uint8_t* data, size_t count) {
  for (size_t i = 0; i < count; ++i) data[i] = uint8_t(data[i] / kBandWidth * kBandWidth);
}

bool BuildBrightnessMask(const uint8_t* rgba, int32_t width, int32_t height, uint8_t* mask) {
  if (width < 1 || height < 1 || !rgba || !mask) return false;
  const size_t pixels = size_t(width) * size_t(height);
  auto* brightness = static_cast<uint8_t*>(platform::AllocPages(pixels));
  bool done = brightness != nullptr;
  if (done) {
    ComputeBrightness(rgba, pixels, brightness);
    done = MedianFilter11(brightness, width, height, mask);
    platform::FreePages(brightness);
  }
  if (!done) {
    std::memset(mask, 0, pixels);
    return false;
  }
  QuantiseBands(mask, pixels);
  return true;
}

}  // namespace rf::mesh
