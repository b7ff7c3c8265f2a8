#include "mesh/brightness_mask.h"

#include <algorithm>
#include <cstring>

#include "platform/platform.h"

// The lane arithmetic below reads the bytes of a 64-bit word in memory order.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "the sliding median expects a little-endian machine"
#endif

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

constexpr uint64_t kEveryByte = 0x0101010101010101ull;
constexpr uint64_t kByteHighBits = 0x8080808080808080ull;

// Of the eight byte lanes of `lanes` (lane 0 first in memory), how many come
// before the one holding rank k, with `below` the count in those lanes.
// Multiplying by kEveryByte turns the lanes into running totals; as no total
// exceeds 121, (128 + k) - total sets a lane's high bit exactly when the
// total is at most k, without borrows between lanes.
int LeadingLanesAtOrBelow(uint64_t lanes, int k, int& below) {
  const uint64_t totals = lanes * kEveryByte;
  const uint64_t atOrBelow = ((kByteHighBits | (uint64_t(k) * kEveryByte)) - totals) & kByteHighBits;
  const int n = int(((atOrBelow >> 7) * kEveryByte) >> 56);
  below = n ? int((totals >> (8 * (n - 1))) & 0xFF) : 0;
  return n;
}

// The lane (0 to 15) holding rank k, and the count in the lanes before it.
int FindLane(const Lanes& lanes, int k, int& below) {
  const int n = LeadingLanesAtOrBelow(lanes.lo, k, below);
  if (n < 8) return n;
  int more = 0;
  const int m = LeadingLanesAtOrBelow(lanes.hi, k - below, more);
  below += more;
  return 8 + m;
}

// The image is filtered in vertical strips so that the column histograms of
// a strip stay in the cache while its rows slide past.
constexpr int32_t kStripWidth = 256;

class SlidingMedian {
 public:
  SlidingMedian(const uint8_t* source, int32_t width, int32_t height)
      : source(source), imageWidth(width), height(height) {}
  ~SlidingMedian() {
    platform::FreePages(fine);
    platform::FreePages(coarse);
  }

  bool Allocate() {
    const size_t columns = size_t(std::min(imageWidth, kStripWidth + 2 * kRadius));
    fine = static_cast<uint8_t*>(platform::AllocPages(columns * 256));
    coarse = static_cast<uint8_t*>(platform::AllocPages(columns * 16));
    return fine && coarse;
  }

  void Run(uint8_t* target) {
    for (int32_t x0 = 0; x0 < imageWidth; x0 += kStripWidth) {
      const int32_t x1 = std::min(imageWidth, x0 + kStripWidth);
      RunStrip(x0, x1, target);
    }
  }

 private:
  // Output columns [x0, x1); the histograms cover the window's reach beyond.
  void RunStrip(int32_t x0, int32_t x1, uint8_t* target) {
    histFirst = std::max(0, x0 - kRadius);
    histWidth = size_t(std::min(imageWidth, x1 + kRadius) - histFirst);
    std::memset(fine, 0, histWidth * 256);
    std::memset(coarse, 0, histWidth * 16);

    for (int32_t y = 0; y <= std::min(kRadius, height - 1); ++y) AddRow(y, 1);
    for (int32_t y = 0; y < height; ++y) {
      if (y > 0) {
        if (y - kRadius - 1 >= 0) AddRow(y - kRadius - 1, -1);
        if (y + kRadius < height) AddRow(y + kRadius, 1);
      }
      const int32_t rowsIn = std::min(height - 1, y + kRadius) - std::max(0, y - kRadius) + 1;
      // Window columns, relative to histFirst.
      firstColumn = std::max(0, x0 - kRadius) - histFirst;
      lastColumn = std::min(imageWidth - 1, x0 + kRadius) - histFirst;
      kernel = Lanes();
      for (int32_t x = firstColumn; x <= lastColumn; ++x) kernel.Add(coarse + size_t(x) * 16);
      ForgetFineSegments();

      uint8_t* out = target + size_t(y) * size_t(imageWidth);
      for (int32_t x = x0; x < x1; ++x) {
        if (x > x0) {
          if (x + kRadius < imageWidth) kernel.Add(coarse + size_t(++lastColumn) * 16);
          if (x - kRadius - 1 >= 0) kernel.Subtract(coarse + size_t(firstColumn++) * 16);
        }
        const int32_t count = rowsIn * (lastColumn - firstColumn + 1);
        const int lower = Select((count - 1) / 2);
        out[x] = uint8_t(count % 2 ? lower : (lower + Select(count / 2)) / 2);
      }
    }
  }

  void AddRow(int32_t y, int delta) {
    // Locals, because byte stores could otherwise alias the members and
    // force them to be reloaded on every pixel.
    const uint8_t* row = source + size_t(y) * size_t(imageWidth) + size_t(histFirst);
    const size_t n = histWidth;
    uint8_t* fineBins = fine;
    uint8_t* coarseBins = coarse;
    const uint8_t d = uint8_t(delta);  // -1 wraps to 255: byte arithmetic subtracts
    for (size_t x = 0; x < n; ++x) {
      const unsigned v = row[x];
      fineBins[((v >> 4) * n + x) * 16 + (v & 15)] += d;
      coarseBins[x * 16 + (v >> 4)] += d;
    }
  }

  // The value of rank k (from 0) in the current window. Fine bins are stored
  // segment-major, so the columns of one segment lie next to each other.
  int Select(int k) {
    int below = 0;
    const int bin = FindLane(kernel, k, below);
    int unused = 0;
    return bin * 16 + FindLane(FineSegment(bin), k - below, unused);
  }

  // The window's fine histogram of one coarse bin. Each is brought up to
  // date only when asked for, by the columns that entered and left since;
  // the median mostly stays in the same bin from one pixel to the next, so
  // that is usually one column in and one out.
  const Lanes& FineSegment(int bin) {
    Lanes& segment = fineKernel[bin];
    int32_t& from = fineFirst[bin];
    int32_t& to = fineLast[bin];
    const uint8_t* columns = fine + size_t(bin) * histWidth * 16;
    if (from < 0 || to < firstColumn) {
      segment = Lanes();
      for (int32_t x = firstColumn; x <= lastColumn; ++x) segment.Add(columns + size_t(x) * 16);
    } else {
      for (int32_t x = to + 1; x <= lastColumn; ++x) segment.Add(columns + size_t(x) * 16);
      for (int32_t x = from; x < firstColumn; ++x) segment.Subtract(columns + size_t(x) * 16);
    }
    from = firstColumn;
    to = lastColumn;
    return segment;
  }

  void ForgetFineSegments() {
    for (int32_t& f : fineFirst) f = -1;
  }

  const uint8_t* source;
  int32_t imageWidth;
  int32_t height;
  uint8_t* fine = nullptr;
  uint8_t* coarse = nullptr;
  int32_t histFirst = 0;
  size_t histWidth = 0;
  Lanes kernel;
  int32_t firstColumn = 0;
  int32_t lastColumn = 0;
  Lanes fineKernel[16];
  int32_t fineFirst[16] = {};
  int32_t fineLast[16] = {};
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
