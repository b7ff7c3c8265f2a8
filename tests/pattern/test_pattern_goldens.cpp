// Frozen patterns: counts and shape hashes of the ten kinds at their defaults
// and of every fixed layout. The values were taken from patterns whose
// drawings were checked by eye; a change here means every user's pattern
// for these settings changes, which is never a side effect of refactoring.
#include <gtest/gtest.h>

#include "tests/pattern/pattern_test_support.h"

namespace rf::pattern {
namespace {

using test_support::AllFinite;
using test_support::RecordFor;
using test_support::ShapeHash;
using test_support::Triangles;

struct Golden {
  uint8_t effectKind, patternKind, maskKind;
  size_t count;
  uint64_t hash;
};

void ExpectGolden(const Golden& g) {
  SCOPED_TRACE(testing::Message() << "EffectKind " << int(g.effectKind) << ", PatternKind " << int(g.patternKind)
                                  << ", MaskKind " << int(g.maskKind));
  ParameterRecord r = RecordFor(g.effectKind, g.patternKind);
  r.MaskKind = g.maskKind;
  const auto t = test_support::GrowFixed(r);
  EXPECT_TRUE(AllFinite(t));
  EXPECT_EQ(t.size(), g.count);
  EXPECT_EQ(ShapeHash(t), g.hash) << "0x" << std::hex << ShapeHash(t);
}

TEST(PatternGoldens, TenKindsAtTheirDefaults) {
  // 1000 x 750, "U-like", seed 0: the dialog's defaults apart from the kind.
  const Golden goldens[] = {
      {1, 1, 5, 1620, 0x31ee0ac4c7194580ull},
      {1, 2, 5, 1620, 0x2bfb23d7f7922f05ull},
      {1, 3, 5, 1620, 0xd3376f39c46b3028ull},
      {2, 1, 5, 5115, 0x64745824d1f90fb0ull},
      {2, 2, 5, 18248, 0x8318cc13ef559703ull},
      {2, 3, 5, 12197, 0xc8ff0d98e2518577ull},
      {3, 1, 5, 139, 0x318422202f9bc1a5ull},
      {3, 2, 5, 109, 0x2ce0c5482508f0abull},
      {3, 3, 5, 410, 0xda138aad878dab75ull},
      {3, 4, 5, 410, 0x03b8859b3bd80172ull},
  };
  for (const Golden& g : goldens) ExpectGolden(g);
}

TEST(PatternGoldens, EveryFixedLayout) {
  const Golden goldens[] = {
      {1, 1, 1, 720, 0x616f4545975fb43full},
      {1, 1, 2, 720, 0x0bc0fd6a974b8968ull},
      {1, 1, 3, 1440, 0x75d9eef80d0a4800ull},
      {1, 1, 4, 2460, 0x8bf50c082312046eull},
      {1, 1, 6, 4800, 0xe4118afab8b6aa71ull},
      {2, 3, 6, 36059, 0x08404933bd38eca8ull},
  };
  for (const Golden& g : goldens) ExpectGolden(g);
}

}  // namespace
}  // namespace rf::pattern
