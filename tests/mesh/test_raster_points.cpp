// Rasters with guarded access, and the index that makes nearby points one.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <set>

#include "mesh/contour_points.h"
#include "mesh/raster.h"

namespace rf::mesh {
namespace {

TEST(Raster, FailedCreateGuardedAccessAndStride) {
  TCRaster<uint8_t> r;
  r.outside = 121;
  for (auto [h, w] : {std::pair{0, 5}, {5, 0}, {-3, 4}}) EXPECT_FALSE(r.Create(h, w)) << h << " x " << w;
  // Rows that would overlap are refused rather than read past the block.
  EXPECT_FALSE(r.Create(4, 8, 7));
  EXPECT_EQ(r.Get(0, 0), 121);
  r.Set(0, 0, 1);  // ignored, and must not touch memory

  ASSERT_TRUE(r.Create(3, 4, 10));
  for (int32_t row = 0; row < 3; ++row)
    for (int32_t c = 0; c < 4; ++c) r.Set(row, c, uint8_t(row * 4 + c));
  EXPECT_EQ(r.rows[2] - r.rows[0], 20);
  // Columns beyond the width but inside the stride are still outside.
  for (auto [row, c] : {std::pair{-1, 0}, {0, -1}, {3, 0}, {0, 4}, {0, 5}, {3, 4}, {INT32_MIN, 0}}) {
    EXPECT_EQ(r.Get(row, c), 121) << row << ", " << c;
    r.Set(row, c, 7);
  }
  EXPECT_EQ(r.rows[0][5], 0);
  for (int32_t row = 0; row < 3; ++row)
    for (int32_t c = 0; c < 4; ++c) EXPECT_EQ(r.Get(row, c), row * 4 + c);
  ASSERT_TRUE(r.Create(2, 2));
  EXPECT_EQ(r.Get(1, 1), 0);  // fresh block, zero-filled
}

CMyPoint* Raw(const PointRef& p) { return p.get(); }

// The lines depend on which of several nearby points a lookup answers, and
// that is the answer of a std::set ordered by x, y and z with points within
// 0.01 equal, as GNU libstdc++ builds it: find, then insert.
struct Keyed {
  float x, y, z;
  int id;
};
struct SetOrder {
  bool operator()(const Keyed& a, const Keyed& b) const {
    auto close = [](float u, float v) { return std::fabs(double(u) - double(v)) < 0.01; };
    if (!close(a.x, b.x)) return b.x > a.x;
    if (close(a.y, b.y) && close(a.z, b.z)) return false;
    if (b.x > a.x) return true;
    if (a.x != b.x) return false;
    if (b.y > a.y) return true;
    if (a.y != b.y) return false;
    return b.z > a.z;
  }
};

TEST(PointIndex, AnswersAsTheOrderedSetDoes) {
#ifndef __GLIBCXX__
  GTEST_SKIP() << "the expected answers are those of libstdc++'s tree";
#endif
  // Keys crowd a few pixels: quarter-pixel points, and points an ulp, a few
  // thousandths or just over a hundredth off them, as subdivision makes.
  const float offsets[] = {0.0f, 0.0f, 0.0f, 4e-6f, -4e-6f, 0.004f, -0.006f, 0.0099f, -0.0101f, 0.013f};
  for (uint32_t seed = 1; seed <= 60; ++seed) {
    std::mt19937 random(seed);
    const int span = 2 + int(seed % 5) * 4;  // quarter pixels per axis
    PointIndex index;
    std::set<Keyed, SetOrder> set;
    std::map<const CMyPoint*, int> ids;
    int made = 0;
    for (int i = 0; i < 1500; ++i) {
      auto coordinate = [&] {
        const float grid = float(int(random() % unsigned(span))) * 0.25f;
        return grid + (random() % 3 == 0 ? offsets[random() % 10] : 0.0f);
      };
      const float x = coordinate();
      const float y = coordinate();
      const float z = random() % 50 == 0 ? -10.005f : -10.0f;

      int expected;
      const Keyed key{x, y, z, made};
      auto found = set.find(key);
      if (found != set.end()) {
        expected = found->id;
      } else {
        auto [where, inserted] = set.insert(key);
        expected = where->id;
        made += inserted;
      }
      const CMyPoint* p = index.FindOrInsert(x, y, z).get();
      const int answer = ids.emplace(p, int(ids.size())).first->second;
      ASSERT_EQ(answer, expected) << "seed " << seed << ", lookup " << i << " at (" << x << ", " << y << ", " << z
                                  << ")";
    }
    EXPECT_EQ(index.Size(), set.size());
  }
}

TEST(PointIndex, PruneKeepsAnchorsOnlyAndSharedPointsOutliveIt) {
  PointIndex index;
  PointRef kept = index.FindOrInsert(0, 0, 0);
  PointRef dropped = index.FindOrInsert(1, 0, 0);
  PointRef cut = index.FindOrInsert(2, 0, 0);
  kept->flags = CMyPoint::Anchor;
  cut->flags = CMyPoint::Anchor | CMyPoint::Cut;
  EXPECT_EQ(kept->refCount, 2);
  index.Prune();
  EXPECT_EQ(index.Size(), 1u);
  EXPECT_EQ(kept->refCount, 2);
  EXPECT_EQ(dropped->refCount, 1);  // still alive through this reference
  // After pruning a new point at the dropped place is a different object.
  EXPECT_NE(Raw(index.FindOrInsert(1, 0, 0)), Raw(dropped));
}

}  // namespace
}  // namespace rf::mesh
