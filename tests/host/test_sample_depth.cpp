#include <gtest/gtest.h>

#include "host/filter_run.h"

namespace rf::host {
namespace {

TEST(SampleDepth, SixteenBitSamplesReadAsEightBits) {
  EXPECT_EQ(SampleFrom16(32768), 255);
  EXPECT_EQ(SampleFrom16(32767), 255);
  EXPECT_EQ(SampleFrom16(128), 1);
  EXPECT_EQ(SampleFrom16(127), 0);
  EXPECT_EQ(SampleFrom16(0), 0);
  EXPECT_EQ(SampleFrom16(65535), 255);  // out of range stays in range
}

TEST(SampleDepth, EightBitValuesComeBackWhereTheyWereRead) {
  for (int v = 0; v < 256; ++v) {
    const uint16_t wide = SampleTo16(uint8_t(v));
    EXPECT_LE(wide, 32768);
    EXPECT_EQ(SampleFrom16(wide), v) << v;
  }
  EXPECT_EQ(SampleTo16(255), 32768);
}

}  // namespace
}  // namespace rf::host
