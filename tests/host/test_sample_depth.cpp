// The host's samples and the module's RGBA, both ways: sixteen-bit samples
// (0..32768) against eight bits, and whole packed RGB rows.
#include <gtest/gtest.h>

#include <vector>

#include "host/filter_run.h"
#include "host/pixel_rows.h"

namespace rf::host {
namespace {

TEST(SampleDepth, RoundsToTheNearestLevelAndEightBitValuesComeBack) {
  const std::pair<uint16_t, int> edges[] = {{32768, 255}, {32767, 255}, {128, 1}, {127, 0}, {0, 0}, {65535, 255}};
  for (const auto& [wide, narrow] : edges) EXPECT_EQ(SampleFrom16(wide), narrow) << wide;
  for (int v = 0; v < 256; ++v) {
    const uint16_t wide = SampleTo16(uint8_t(v));
    EXPECT_LE(wide, 32768);
    EXPECT_EQ(SampleFrom16(wide), v) << v;
  }
  EXPECT_EQ(SampleTo16(255), 32768);
}

// The rows are packed several pixels at a time; every width up to two whole
// steps and a tail, and alphas of each kind within a step, must come out as
// pixel-by-pixel conversion would.
TEST(PixelRows, PackedRowsMatchPixelByPixelConversion) {
  for (int width = 1; width <= 11; ++width) {
    std::vector<uint8_t> rgb(size_t(width) * 3), rgba(size_t(width) * 4), back(size_t(width) * 3 + 1, 0xAB);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(37 * i + 11);
    RGBRowToRGBA(rgb.data(), width, rgba.data());
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < 3; ++c) ASSERT_EQ(rgba[size_t(x) * 4 + c], rgb[size_t(x) * 3 + c]) << width;
      ASSERT_EQ(rgba[size_t(x) * 4 + 3], 255) << width;
    }
    for (int x = 0; x < width; x += 3) rgba[size_t(x) * 4 + 3] = uint8_t(x % 2 ? 0 : 128);
    RGBARowToRGB(rgba.data(), width, back.data());
    for (int x = 0; x < width; ++x) {
      const uint8_t* p = &rgba[size_t(x) * 4];
      for (int c = 0; c < 3; ++c) {
        const uint8_t expected = p[3] == 255 ? p[c] : uint8_t(p[c] * (p[3] / 255.0f));
        ASSERT_EQ(back[size_t(x) * 3 + c], expected) << width << " " << x;
      }
    }
    EXPECT_EQ(back.back(), 0xAB) << "wrote past the row, width " << width;
  }
}

}  // namespace
}  // namespace rf::host
