// Sixteen-bit samples (0..32768) and the module's eight bits, both ways.
#include <gtest/gtest.h>

#include "host/filter_run.h"

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

}  // namespace
}  // namespace rf::host
