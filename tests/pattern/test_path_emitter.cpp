// Curves to the path emitter: lengths, the arc-length walk, the shared
// segment index, the buffer frame, and the choice of emitter type.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/pattern/path_records.h"
#include "pattern/path_emitter.h"

namespace rf::pattern {
namespace {

// Controls at a third and two thirds: the speed is constant.
PathCurve UniformLine(float x0, float y0, float x1, float y1) {
  const float x[4] = {x0, x0 + (x1 - x0) / 3, x0 + 2 * (x1 - x0) / 3, x1};
  const float y[4] = {y0, y0 + (y1 - y0) / 3, y0 + 2 * (y1 - y0) / 3, y1};
  return MakeCurve(x, y);
}

// Controls on the anchors, as a pen tool draws a straight segment.
PathCurve CornerLine(float x0, float y0, float x1, float y1) {
  const float x[4] = {x0, x0, x1, x1};
  const float y[4] = {y0, y0, y1, y1};
  return MakeCurve(x, y);
}

TEST(PathCurveLength, TenSpeedSamples) {
  EXPECT_NEAR(UniformLine(10, 20, 70, 100).length, 100.0f, 1e-3f);
  // The midpoint rule over 6t(1 - t) gives 1.005 of the true length.
  EXPECT_NEAR(CornerLine(0, 0, 100, 0).length, 100.5f, 1e-3f);
  // A quarter circle of radius 100 from the usual four-point cubic.
  const float k = 55.2284749f;
  const float x[4] = {100, 100, k, 0};
  const float y[4] = {0, k, 100, 100};
  EXPECT_NEAR(MakeCurve(x, y).length, 157.08f, 0.5f);
  EXPECT_EQ(CornerLine(5, 5, 5, 5).length, 0.0f);
}

TEST(PathEmitterType, ResolvedByWhetherTheDocumentHasAPath) {
  struct Case {
    uint8_t stored;
    bool path;
    uint8_t resolved;
  };
  const Case cases[] = {{kEmitterAuto, true, kEmitterPaths},        {kEmitterAuto, false, kEmitterContours},
                        {kEmitterPaths, true, kEmitterPaths},       {kEmitterPaths, false, kEmitterContours},
                        {kEmitterContours, true, kEmitterContours}, {kEmitterFixed, true, kEmitterFixed},
                        {kEmitterFixed, false, kEmitterFixed}};
  for (const Case& c : cases) {
    ParameterRecord record{};
    record.EmitterType = c.stored;
    ResolveEmitterType(record, c.path);
    EXPECT_EQ(record.EmitterType, c.resolved) << int(c.stored) << (c.path ? " with a path" : " without");
  }
}

// A 100 x 50 rectangle drawn with four corner clicks in a 400 x 200 document.
PathCurves Rectangle() {
  test::PathRecords r;
  r.Selector(6).Selector(0, 4).Corner(2, 0.25, 0.25).Corner(2, 0.5, 0.25).Corner(2, 0.5, 0.5).Corner(2, 0.25, 0.5);
  PathCurves curves;
  DecodePathRecords(r.bytes.data(), r.bytes.size(), 400 << 16, 200 << 16, 72 << 16, curves);
  return curves;
}

TEST(PathEmitter, ClosedRectangleGivesOneEdgePerFivePixels) {
  const PathCurves curves = Rectangle();
  ASSERT_EQ(curves.size(), 4u);
  Emitter e;
  ASSERT_TRUE(BuildPathEmitter(curves, FinalGeometry(400, 200), -200, -100, e));
  ASSERT_EQ(e.segments.size(), 60u);  // 20 + 10 + 20 + 10
  ASSERT_EQ(e.points.size(), 120u);

  double walked = 0;
  for (size_t i = 0; i < e.segments.size(); ++i) {
    const EmitterSegment& s = e.segments[i];
    ASSERT_EQ(s.start, int32_t(2 * i));
    ASSERT_EQ(s.end, int32_t(2 * i + 1));
    const EmitterPoint& a = e.points[2 * i];
    const EmitterPoint& b = e.points[2 * i + 1];
    // On the rectangle's border, in the centred frame.
    for (const EmitterPoint* p : {&a, &b}) {
      const bool onSide = std::fabs(p->x + 100) < 0.01 || std::fabs(p->x) < 0.01;
      const bool onTopOrBottom = std::fabs(p->y + 50) < 0.01 || std::fabs(p->y) < 0.01;
      EXPECT_TRUE((onSide || onTopOrBottom) && p->x >= -100.01f && p->x <= 0.01f) << i << ": " << p->x << ", " << p->y;
      EXPECT_NEAR(std::fabs(p->nx) + std::fabs(p->ny), 1.0f, 1e-6f);  // the tangent
      EXPECT_TRUE(p->z == 0.0f && p->nz == 0.0f && p->flag == 1);
    }
    EXPECT_NEAR(s.length, 5.0f, 0.3f) << i;
    EXPECT_NEAR(s.length, std::hypot(b.x - a.x, b.y - a.y), 1e-4f);
    // The growth side: the unit perpendicular of the edge, to its right.
    EXPECT_NEAR(s.nx, (b.y - a.y) / s.length, 1e-4f);
    EXPECT_NEAR(s.ny, -(b.x - a.x) / s.length, 1e-4f);
    EXPECT_TRUE(s.nz == 0.0f && s.flag == 1);
    // Within a side the segments follow each other without a gap.
    const bool firstOfSide = i == 0 || i == 20 || i == 30 || i == 50;
    if (!firstOfSide) {
      EXPECT_FLOAT_EQ(a.x, e.points[2 * i - 1].x);
      EXPECT_FLOAT_EQ(a.y, e.points[2 * i - 1].y);
    }
    walked += s.length;
  }
  // Each side stops short of its corner by what is left of its last 5 pixels.
  EXPECT_NEAR(walked, 300.0 * (100.0 / 100.5), 0.5);
  // The first sample is the first corner; the top runs to the right.
  EXPECT_NEAR(e.points[0].x, -100.0f, 0.01f);
  EXPECT_NEAR(e.points[0].y, -50.0f, 0.01f);
  EXPECT_NEAR(e.segments[0].ny, -1.0f, 1e-5f);
}

TEST(PathEmitter, ShortCurvesTakeASegmentOnlyWhenTheTotalHasRoom) {
  const PathCurve shortCurve = UniformLine(0, 0, 3, 0);
  const PathCurve longCurve = UniformLine(0, 10, 20, 10);
  const ImageGeometry g = FinalGeometry(100, 100);
  Emitter e;

  // Alone it adds nothing to the total, so there is nothing at all.
  EXPECT_FALSE(BuildPathEmitter({shortCurve}, g, 0, 0, e));
  EXPECT_TRUE(e.points.empty());
  EXPECT_TRUE(e.segments.empty());

  // First: it spans its whole length in one segment, and the long curve,
  // whose four segments make the total, loses its last.
  ASSERT_TRUE(BuildPathEmitter({shortCurve, longCurve}, g, 0, 0, e));
  ASSERT_EQ(e.segments.size(), 4u);
  EXPECT_NEAR(e.points[0].x, 0.0f, 0.01f);
  EXPECT_NEAR(e.points[1].x, 3.0f, 0.01f);
  EXPECT_NEAR(e.segments[0].length, 3.0f, 0.01f);
  EXPECT_NEAR(e.points[7].x, 15.0f, 0.05f);

  // Last: the long curve has used the total up.
  ASSERT_TRUE(BuildPathEmitter({longCurve, shortCurve}, g, 0, 0, e));
  ASSERT_EQ(e.segments.size(), 4u);
  EXPECT_NEAR(e.points[7].x, 20.0f, 0.05f);
  EXPECT_NEAR(e.points[7].y, 10.0f, 0.01f);
}

TEST(PathEmitter, WalkStopsBeforeTheEndOfAnUnevenCurve) {
  Emitter e;
  // trunc(12) / 5 segments stop short; a whole number of steps reaches the end.
  for (const auto& [length, segments] : {std::pair{12.0f, 2u}, std::pair{35.0f, 7u}}) {
    ASSERT_TRUE(BuildPathEmitter({UniformLine(0, 0, length, 0)}, FinalGeometry(100, 100), 0, 0, e));
    ASSERT_EQ(e.segments.size(), size_t(segments));
    EXPECT_NEAR(e.points.back().x, 5.0f * segments, 0.05f);
  }
}

TEST(PathEmitter, SamplesMoveToThePreviewFrame) {
  ImageGeometry g = FinalGeometry(200, 150);
  g.previewScale = 2.0;
  g.offsetX = 10;
  g.offsetY = 20;
  Emitter e;
  ASSERT_TRUE(BuildPathEmitter({UniformLine(100, 60, 200, 60)}, g, -100, -75, e));
  // Steps of 5 document pixels, 2.5 buffer pixels. Ten halving steps find a
  // sample to within a thousandth of the curve: 0.1 document pixels here.
  ASSERT_EQ(e.segments.size(), 20u);
  EXPECT_NEAR(e.points[0].x, 100 / 2.0 - 10 - 100, 0.06);
  EXPECT_NEAR(e.points[0].y, 60 / 2.0 - 20 - 75, 1e-4);
  EXPECT_NEAR(e.segments[0].length, 2.5f, 0.06f);
  EXPECT_NEAR(e.points.back().x, 200 / 2.0 - 10 - 100, 0.06);
}

TEST(PathEmitter, RefusesWhatItCannotWalk) {
  Emitter e;
  e.points.resize(3);
  const ImageGeometry g = FinalGeometry(100, 100);
  // Far more segments than any path needs: nothing, rather than gigabytes.
  EXPECT_FALSE(BuildPathEmitter({UniformLine(0, 0, 5.0f * kMaxPathSegments + 10, 0)}, g, 0, 0, e));
  EXPECT_TRUE(e.points.empty());

  PathCurve broken = UniformLine(0, 0, 50, 0);
  broken.length = std::numeric_limits<float>::quiet_NaN();
  PathCurve infinite = broken;
  infinite.length = std::numeric_limits<float>::infinity();
  EXPECT_FALSE(BuildPathEmitter({broken, infinite}, g, 0, 0, e));
  ASSERT_TRUE(BuildPathEmitter({broken, UniformLine(0, 0, 50, 0)}, g, 0, 0, e));
  EXPECT_EQ(e.segments.size(), 10u);

  ImageGeometry noScale = g;
  noScale.previewScale = 0.0;
  EXPECT_FALSE(BuildPathEmitter({UniformLine(0, 0, 50, 0)}, noScale, 0, 0, e));
  EXPECT_FALSE(BuildPathEmitter({}, g, 0, 0, e));
}

}  // namespace
}  // namespace rf::pattern
