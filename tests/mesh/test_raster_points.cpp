#include <gtest/gtest.h>

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

TEST(PointIndex, FindsPointsWithinOneHundredth) {
  PointIndex index;
  PointRef a = index.FindOrInsert(3.0f, 4.0f, -10.0f);
  EXPECT_EQ(Raw(index.FindOrInsert(3.009f, 3.991f, -10.0f)), Raw(a));
  EXPECT_NE(Raw(index.FindOrInsert(3.011f, 4.0f, -10.0f)), Raw(a));
  EXPECT_NE(Raw(index.FindOrInsert(3.0f, 4.0f, -9.98f)), Raw(a));
  EXPECT_EQ(index.Size(), 3u);
  // Many points on a half-pixel grid: every lookup at the same x finds its
  // own point, in whatever order the points came.
  std::vector<PointRef> grid;
  for (int i = 0; i < 40; ++i)
    for (int j = 0; j < 40; ++j) grid.push_back(index.FindOrInsert(float((i * 17) % 40) * 0.5f, j * 0.5f, -10.0f));
  for (int i = 0; i < 40; ++i)
    for (int j = 0; j < 40; ++j)
      ASSERT_EQ(Raw(index.FindOrInsert(float((i * 17) % 40) * 0.5f, j * 0.5f - 0.004f, -10.0f)),
                Raw(grid[size_t(i * 40 + j)]));
  EXPECT_EQ(index.Size(), 2u + 1600u);  // (3, 4) was already there
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
