// The areas advanceState hands over: subsampled, by plane range, padded at
// the image's edges, and refused when they cannot be met.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tools/hostlib/area_delivery.h"

namespace rf::tools {
namespace {

// A 13 x 9 image of 3 planes whose every sample tells where it is.
struct Picture {
  std::vector<uint8_t> pixels;
  HeldImage held;
  Picture() : pixels(13 * 9 * 3) {
    for (int y = 0; y < 9; ++y)
      for (int x = 0; x < 13; ++x)
        for (int p = 0; p < 3; ++p) pixels[(size_t(y) * 13 + x) * 3 + p] = uint8_t(y * 16 + x + p * 100);
    held = HeldImage{pixels.data(), 13, 9, 3, 1};
  }
  uint8_t At(int x, int y, int p) const { return pixels[(size_t(y) * 13 + x) * 3 + p]; }
};

TEST(AreaDelivery, SubsampledAreasMatchEveryNthPixelOfTheImage) {
  const Picture picture;
  struct Case {
    host::Fixed rate;
    host::VRect rect;
    int16_t lo, hi;
    bool paddedRows;
  } cases[] = {
      {0x10000, {0, 0, 9, 13}, 0, 2, false},   {0x20000, {1, 2, 4, 6}, 0, 2, false},
      {0x30000, {0, 0, 3, 5}, 1, 2, true},     {0x2C000, {0, 0, 3, 4}, 2, 2, false},  // 2.75 rounds to 3
      {0x18000, {2, 3, 4, 6}, 0, 0, true},  // 1.5 rounds to 2
  };
  for (const Case& c : cases) {
    const AreaRequest request{c.rect, WholeRate(c.rate), c.lo, c.hi, host::kWantsErrorOnBoundsException, c.paddedRows};
    std::vector<uint8_t> area;
    int32_t rowBytes = 0;
    ASSERT_EQ(DeliverArea(picture.held, request, area, rowBytes), 0) << c.rate;
    const int planes = c.hi - c.lo + 1, width = c.rect.right - c.rect.left;
    EXPECT_EQ(rowBytes > width * planes, c.paddedRows);
    for (int y = 0; y < c.rect.bottom - c.rect.top; ++y)
      for (int x = 0; x < width; ++x)
        for (int p = 0; p < planes; ++p)
          ASSERT_EQ(area[size_t(y) * rowBytes + size_t(x) * planes + p],
                    picture.At((c.rect.left + x) * request.rate, (c.rect.top + y) * request.rate, c.lo + p))
              << c.rate << " at " << x << "," << y;
  }
}

// A rectangle reaching one pixel past the right and bottom edges.
TEST(AreaDelivery, PaddingDecidesWhatLiesBeyondTheEdge) {
  const Picture picture;
  const host::VRect beyond{7, 11, 10, 14};
  struct Case {
    int16_t padding;
    int16_t result;
    int expectedBeyond;  // -1: the nearest edge pixel
  } cases[] = {{255, 0, 255}, {7, 0, 7}, {host::kWantsEdgeReplication, 0, -1}, {host::kDoesNotWantPadding, 0, 0},
               {host::kWantsErrorOnBoundsException, -50, 0}};
  for (const Case& c : cases) {
    std::vector<uint8_t> area;
    int32_t rowBytes = 0;
    ASSERT_EQ(DeliverArea(picture.held, AreaRequest{beyond, 1, 0, 2, c.padding}, area, rowBytes), c.result);
    if (c.result != 0) continue;
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 3; ++x) {
        const int ix = 11 + x, iy = 7 + y;
        const bool inside = ix < 13 && iy < 9;
        const uint8_t got = area[size_t(y) * rowBytes + size_t(x) * 3 + 1];
        const int want = inside ? picture.At(ix, iy, 1)
                         : c.expectedBeyond < 0 ? picture.At(std::min(ix, 12), std::min(iy, 8), 1)
                                                : c.expectedBeyond;
        ASSERT_EQ(got, want) << c.padding << " at " << ix << "," << iy;
      }
  }
  // Sixteen-bit images get the fill value at the same level.
  std::vector<uint8_t> deep(2 * 4, 0);
  std::vector<uint8_t> area;
  int32_t rowBytes = 0;
  const AreaRequest beyondRight{{0, 0, 1, 3}, 1, 0, 0, 255};
  ASSERT_EQ(DeliverArea(HeldImage{deep.data(), 2, 2, 1, 2}, beyondRight, area, rowBytes), 0);
  uint16_t fill;
  std::memcpy(&fill, &area[4], 2);
  EXPECT_EQ(fill, 32768);
}

TEST(AreaDelivery, RequestsNoHostCanMeetAreRefused) {
  const Picture picture;
  struct Case {
    const char* what;
    AreaRequest request;
    int16_t result;
  } cases[] = {
      {"rate 0", {{0, 0, 2, 2}, WholeRate(0), 0, 2}, -50},
      {"negative rate", {{0, 0, 2, 2}, WholeRate(-0x20000), 0, 2}, -50},
      {"rate rounding to nothing", {{0, 0, 2, 2}, WholeRate(0x7FFF), 0, 2}, -50},
      {"empty rectangle", {{3, 3, 3, 5}, 1, 0, 2}, -50},
      {"reversed rectangle", {{5, 5, 2, 2}, 1, 0, 2}, -50},
      {"outside", {{-1, 0, 2, 2}, 1, 0, 2}, -50},
      {"subsampled past the edge", {{0, 0, 6, 4}, 2, 0, 2}, -50},  // the sixth row samples row 10
      {"planes reversed", {{0, 0, 2, 2}, 1, 2, 1}, -50},
      {"planes beyond", {{0, 0, 2, 2}, 1, 0, 3}, -50},
      {"padding value 256", {{0, 0, 2, 2}, 1, 0, 2, 256}, -50},
      {"too large to hold", {{0, 0, 30000, 30000}, 1, 0, 2, 0}, -108},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> area;
    int32_t rowBytes = 0;
    EXPECT_EQ(DeliverArea(picture.held, c.request, area, rowBytes), c.result) << c.what;
  }
}

}  // namespace
}  // namespace rf::tools
