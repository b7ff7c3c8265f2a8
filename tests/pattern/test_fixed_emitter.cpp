// The fixed layouts away from the goldens' even 1000 x 750: odd sizes,
// previews, unknown kinds, and tiny images that must still end every line.
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "pattern/pattern.h"

namespace rf::pattern {
namespace {

// One "Bottom" line at height `at` from `from` to `to`: every point on the
// line, growing upward, and the last step the first one past `to`.
void ExpectBottomLine(const ImageGeometry& g, float at, float from, float to) {
  Emitter e;
  ASSERT_TRUE(BuildFixedEmitter(kMaskBottom, g, e));
  ASSERT_EQ(e.segments.size() + 1, e.points.size());
  EXPECT_EQ(e.points.front().x, from);
  for (const EmitterPoint& p : e.points) {
    EXPECT_EQ(p.y, at);
    EXPECT_LE(p.x, to);
  }
  for (const EmitterSegment& s : e.segments) EXPECT_EQ(s.ny, -1.0f);
  EXPECT_GT(e.points.back().x + e.segments.back().length, to);
}

TEST(BuildFixedEmitter, OddSizesTruncateTheirHalves) {
  // W 101, H 75: x0 = -50, y0 = -37; "Bottom" at 75 - 37 = 38, to 50.
  ExpectBottomLine(FinalGeometry(101, 75), 38, -50, 50);
  // "Perimeter": y1 = 38, yc = (-37 + 38) / 2 = 0.
  Emitter e;
  ASSERT_TRUE(BuildFixedEmitter(kMaskPerimeter, FinalGeometry(101, 75), e));
  const double p1 = -37 + (37.0 / 75 + 0.01) * 37;
  EXPECT_NEAR(e.points[1].y, p1, 1e-4);
  EXPECT_NEAR(e.segments[0].length, (std::fabs(p1) / 75 + 0.01) * 37, 1e-4);
}

TEST(BuildFixedEmitter, PreviewMeasuresTheWholeFilterArea) {
  // A 300 x 200 view of a 1000 x 750 filter area at half scale: DW 500, DH 375.
  ImageGeometry g;
  g.width = 300;
  g.height = 200;
  g.filterWidth = 1000;
  g.filterHeight = 750;
  g.previewScale = 2.0;
  ExpectBottomLine(g, 275, -150, 250);
  // Steps grow with the distance from the centre over DW, from a base of DW / 2.
  Emitter e;
  BuildFixedEmitter(kMaskBottom, g, e);
  EXPECT_NEAR(e.points[1].x, -150 + (150.0 / 500 + 0.01) * 250, 1e-3);
  EXPECT_NEAR(e.segments[0].length, (72.5 / 500 + 0.01) * 250, 1e-3);
}

TEST(BuildFixedEmitter, UnknownKindsBuildNothing) {
  for (int kind : {0, 7, 255}) {
    Emitter e;
    e.points.resize(3);  // stale content is cleared
    EXPECT_FALSE(BuildFixedEmitter(uint8_t(kind), FinalGeometry(100, 100), e));
    EXPECT_TRUE(e.points.empty());
    EXPECT_TRUE(e.segments.empty());
  }
}

TEST(BuildFixedEmitter, TinyImagesEndEveryLine) {
  // A pixel or two across makes the step base 0: such lines stay single
  // points instead of running forever.
  const int sizes[][2] = {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {1, 500}, {500, 1}, {4, 4}, {2, 7}};
  for (const auto& size : sizes) {
    for (int kind = 1; kind <= 6; ++kind) {
      SCOPED_TRACE(testing::Message() << size[0] << " x " << size[1] << " kind " << kind);
      Emitter e;
      BuildFixedEmitter(uint8_t(kind), FinalGeometry(size[0], size[1]), e);
      EXPECT_LT(e.points.size(), 5000u);
      for (const EmitterPoint& p : e.points) EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
      for (const EmitterSegment& s : e.segments) {
        EXPECT_TRUE(s.start >= 0 && size_t(s.end) < e.points.size());
        EXPECT_TRUE(std::isfinite(s.length) && s.length > 0);
      }
    }
  }
  Emitter e;
  EXPECT_FALSE(BuildFixedEmitter(kMaskBottom, FinalGeometry(1, 1), e));
  EXPECT_EQ(e.points.size(), 1u);
  EXPECT_TRUE(BuildFixedEmitter(kMaskBottom, FinalGeometry(2, 2), e));  // base 1: steps of 0.01 and up
}

}  // namespace
}  // namespace rf::pattern
