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
constexpr unsigned kBandWidth = 84;

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

  // The medians of columns [x0, x1) and rows [y0, y1) only, into rows of
  // `target` `targetStride` bytes apart; the rest of `target` is left alone.
  void Run(uint8_t* target, size_t targetStride, int32_t x0, int32_t x1, int32_t y0, int32_t y1) {
    for (int32_t strip = x0; strip < x1; strip += kStripWidth) {
      RunStrip(strip, std::min(x1, strip + kStripWidth), y0, y1, target, targetStride);
    }
  }

 private:
  // Output columns [x0, x1); the histograms cover the window's reach beyond.
  void RunStrip(int32_t x0, int32_t x1, int32_t y0, int32_t y1, uint8_t* target, size_t targetStride) {
    histFirst = std::max(0, x0 - kRadius);
    histWidth = size_t(std::min(imageWidth, x1 + kRadius) - histFirst);
    std::memset(fine, 0, histWidth * 256);
    std::memset(coarse, 0, histWidth * 16);

    for (int32_t y = std::max(0, y0 - kRadius); y <= std::min(y0 + kRadius, height - 1); ++y) AddRow(y, 1);
    for (int32_t y = y0; y < y1; ++y) {
      if (y > y0) {
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

      uint8_t* out = target + size_t(y) * targetStride;
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

// ---- Bands without the median ----
//
// The mask needs only the band the median falls in. With an odd count n the
// median is the value of rank (n - 1) / 2 counted from the smallest, so it is
// at least t exactly when at most (n - 1) / 2 values lie below t, that is when
// at least (n + 1) / 2 values are t or more. And trunc(m / 84) x 84 is 84
// times the number of the thresholds 84, 168 and 252 that m reaches. So the
// band follows from three counts per window, which box sums give in a few
// additions per pixel.
//
// A full window holds 121 values. Only a window clipped by a border can hold
// an even count, and the truncated mean of its two middle values depends on
// the values themselves, not just on counts; the frame kRadius pixels wide
// along the borders therefore takes the exact median.

// The three counts share a word, a byte lane each, lane 0 for 84. No count
// exceeds 121, so a lane never carries into the next, and sums that end
// non-negative in every lane come out right even when a subtraction borrows
// on the way.
struct ThresholdLanes {
  uint32_t lanes[256];
  constexpr ThresholdLanes() : lanes() {
    for (unsigned v = 0; v < 256; ++v) {
      lanes[v] = (v >= 1 * kBandWidth ? 1u : 0u) | (v >= 2 * kBandWidth ? 1u << 8 : 0u) |
                 (v >= 3 * kBandWidth ? 1u << 16 : 0u);
    }
  }
};
constexpr ThresholdLanes kThresholdLanes;

constexpr int32_t kWindow = 2 * kRadius + 1;
constexpr uint32_t kMajority = (kWindow * kWindow + 1) / 2;  // 61 of 121

// The band of a full window from its three counts: adding 128 - 61 sets a
// lane's high bit exactly when its count is 61 or more, and the multiply
// adds the three bits into the third byte.
inline uint8_t BandOfCounts(uint32_t counts) {
  constexpr uint32_t kBias = (128 - kMajority) * 0x010101u;
  const uint32_t reached = ((counts + kBias) >> 7) & 0x010101u;
  return uint8_t(((reached * 0x010101u) >> 16 & 0xFF) * kBandWidth);
}

// Exact medians of a rectangle of a brightness image, cut into bands.
bool ExactBands(const uint8_t* brightness, int32_t width, int32_t height, uint8_t* target, size_t targetStride,
                int32_t x0, int32_t x1, int32_t y0, int32_t y1) {
  SlidingMedian median(brightness, width, height);
  if (!median.Allocate()) return false;
  median.Run(target, targetStride, x0, x1, y0, y1);
  for (int32_t y = y0; y < y1; ++y) QuantiseBands(target + size_t(y) * targetStride + size_t(x0), size_t(x1 - x0));
  return true;
}

// The mask of an image at least kWindow wide and high, row by row. Each
// row's brightness is made once and kept in a ring while windows still need
// it; the frame's exact medians read copies of the kFrame rows and columns
// along each border, which hold every value their clipped windows reach. So
// no brightness image is needed, only a few dozen bytes per row and column.
class FullWindowBands {
 public:
  FullWindowBands(int32_t width, int32_t height) : width(width), height(height) {}
  ~FullWindowBands() { platform::FreePages(block); }

  bool Allocate() {
    const size_t w = size_t(width), h = size_t(height);
    const size_t bytes = w * sizeof(uint32_t) + w * (kRingRows + 2 * kFrame) + h * 2 * kFrame;
    block = static_cast<uint8_t*>(platform::AllocPages(bytes));
    if (!block) return false;
    columns = reinterpret_cast<uint32_t*>(block);  // pages are aligned for any type
    ring = block + w * sizeof(uint32_t);
    topRows = ring + w * kRingRows;
    bottomRows = topRows + w * kFrame;
    leftColumns = bottomRows + w * kFrame;
    rightColumns = leftColumns + h * kFrame;
    return true;
  }

  bool Run(const uint8_t* rgba, uint8_t* mask) {
    const size_t w = size_t(width);
    std::fill(columns, columns + width, 0u);
    for (int32_t y = 0; y < height; ++y) {
      uint8_t* row = ring + size_t(y % kRingRows) * w;
      ComputeBrightness(rgba + size_t(y) * w * 4, w, row);
      KeepFrame(y, row);
      AddRowCounts(row, y >= kWindow ? ring + size_t((y - kWindow) % kRingRows) * w : nullptr);
      if (y >= kWindow - 1) BandRow(mask + size_t(y - kRadius) * w);
    }
    return ExactBands(topRows, width, kFrame, mask, w, 0, width, 0, kRadius) &&
           ExactBands(bottomRows, width, kFrame, mask + size_t(height - kFrame) * w, w, 0, width, kRadius,
                      kFrame) &&
           ExactBands(leftColumns, kFrame, height, mask, w, 0, kRadius, kRadius, height - kRadius) &&
           ExactBands(rightColumns, kFrame, height, mask + size_t(width - kFrame), w, kRadius, kFrame, kRadius,
                      height - kRadius);
  }

 private:
  // One more row than the window, so that the row entering never overwrites
  // the one leaving before its counts are taken out.
  static constexpr int32_t kRingRows = kWindow + 1;
  static constexpr int32_t kFrame = 2 * kRadius;

  void KeepFrame(int32_t y, const uint8_t* row) {
    const size_t w = size_t(width);
    if (y < kFrame) std::memcpy(topRows + size_t(y) * w, row, w);
    if (y >= height - kFrame) std::memcpy(bottomRows + size_t(y - (height - kFrame)) * w, row, w);
    std::memcpy(leftColumns + size_t(y) * kFrame, row, kFrame);
    std::memcpy(rightColumns + size_t(y) * kFrame, row + w - kFrame, kFrame);
  }

  void AddRowCounts(const uint8_t* entering, const uint8_t* leaving) {
    uint32_t* counts = columns;
    const ThresholdLanes& lanes = kThresholdLanes;
    if (leaving) {
      for (int32_t x = 0; x < width; ++x) counts[x] += lanes.lanes[entering[x]] - lanes.lanes[leaving[x]];
    } else {
      for (int32_t x = 0; x < width; ++x) counts[x] += lanes.lanes[entering[x]];
    }
  }

  // Bands of one row's full windows, columns kRadius to width - 1 - kRadius.
  void BandRow(uint8_t* out) const {
    const uint32_t* counts = columns;
    uint32_t window = 0;
    for (int32_t x = 0; x < kWindow; ++x) window += counts[x];
    for (int32_t x = kRadius;; ++x) {
      out[x] = BandOfCounts(window);
      if (x + kRadius + 1 >= width) break;
      window += counts[x + kRadius + 1] - counts[x - kRadius];
    }
  }

  int32_t width;
  int32_t height;
  uint8_t* block = nullptr;
  uint32_t* columns = nullptr;  // per image column, the counts of the rows in the window
  uint8_t* ring = nullptr;
  uint8_t* topRows = nullptr;
  uint8_t* bottomRows = nullptr;
  uint8_t* leftColumns = nullptr;  // kFrame bytes per row
  uint8_t* rightColumns = nullptr;
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
  median.Run(target, size_t(width), 0, width, 0, height);
  return true;
}

void QuantiseBands(uint8_t* data, size_t count) {
  for (size_t i = 0; i < count; ++i) data[i] = uint8_t(data[i] / kBandWidth * kBandWidth);
}

bool BuildBrightnessMask(const uint8_t* rgba, int32_t width, int32_t height, uint8_t* mask) {
  if (width < 1 || height < 1 || !rgba || !mask) return false;
  const size_t pixels = size_t(width) * size_t(height);
  bool done = false;
  if (width >= kWindow && height >= kWindow) {
    FullWindowBands bands(width, height);
    done = bands.Allocate() && bands.Run(rgba, mask);
  } else {
    // Every window is clipped; the image is at most kWindow - 1 pixels across.
    auto* brightness = static_cast<uint8_t*>(platform::AllocPages(pixels));
    if (brightness) {
      ComputeBrightness(rgba, pixels, brightness);
      done = ExactBands(brightness, width, height, mask, size_t(width), 0, width, 0, height);
      platform::FreePages(brightness);
    }
  }
  if (!done) std::memset(mask, 0, pixels);
  return done;
}

}  // namespace rf::mesh
