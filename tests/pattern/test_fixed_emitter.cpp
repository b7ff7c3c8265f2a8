// The six fixed layouts: where their lines run, how their points crowd, and
// that tiny images end every line.
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "pattern/pattern.h"

namespace rf::pattern {
namespace {

// A run of points joined by consecutive segments.
struct Line {
  size_t firstPoint = 0;
  size_t pointCount = 0;
  size_t firstSegment = 0;
};

std::vector<Line> SplitLines(const Emitter& e) {
  std::vector<Line> lines;
  for (size_t s = 0; s < e.segments.size(); ++s) {
    const EmitterSegment& seg = e.segments[s];
    EXPECT_EQ(seg.end, seg.start + 1);
    if (lines.empty() || size_t(seg.start) != lines.back().firstPoint + lines.back().pointCount - 1)
      lines.push_back({size_t(seg.start), 1, s});
    ++lines.back().pointCount;
  }
  return lines;
}

struct ExpectedLine {
  bool alongX;
  double at, from, to;
  double spread, base, centre;
  float nx, ny;
};

// Checks one line against the rule: starts at `from`, steps by
// (|p - c| / S + 0.01) x B while it stays within `to`, and each segment
// records the step that leaves its end point.
void ExpectLine(const Emitter& e, const Line& line, const ExpectedLine& x) {
  SCOPED_TRACE(testing::Message() << "line at " << x.at << " from " << x.from);
  auto moving = [&](size_t i) { return double(x.alongX ? e.points[i].x : e.points[i].y); };
  auto fixed = [&](size_t i) { return double(x.alongX ? e.points[i].y : e.points[i].x); };
  auto step = [&](double p) { return (std::fabs(p - x.centre) / x.spread + 0.01) * x.base; };
  ASSERT_GE(line.pointCount, 2u);
  EXPECT_EQ(moving(line.firstPoint), x.from);
  double p = x.from;
  for (size_t k = 0; k < line.pointCount; ++k) {
    const size_t i = line.firstPoint + k;
    EXPECT_EQ(fixed(i), x.at);
    EXPECT_NEAR(moving(i), p, 1e-3);
    EXPECT_LE(moving(i), x.to);
    EXPECT_EQ(e.points[i].nx, x.nx);
    EXPECT_EQ(e.points[i].ny, x.ny);
    EXPECT_EQ(e.points[i].z, 0.0f);
    EXPECT_EQ(e.points[i].flag, 1);
    if (k > 0) {
      const EmitterSegment& s = e.segments[line.firstSegment + k - 1];
      EXPECT_NEAR(s.length, step(p), 1e-3);
      EXPECT_EQ(s.nx, x.nx);
      EXPECT_EQ(s.ny, x.ny);
      EXPECT_EQ(s.flag, 1);
    }
    p += step(p);
  }
  EXPECT_GT(p, x.to);  // the line stopped at the first step past its end
}

void ExpectLayout(uint8_t kind, const ImageGeometry& g, const std::vector<ExpectedLine>& expected) {
  SCOPED_TRACE(testing::Message() << "MaskKind " << int(kind));
  Emitter e;
  EXPECT_TRUE(BuildFixedEmitter(kind, g, e));
  const std::vector<Line> lines = SplitLines(e);
  ASSERT_EQ(lines.size(), expected.size());
  for (size_t i = 0; i < lines.size(); ++i) ExpectLine(e, lines[i], expected[i]);
  EXPECT_EQ(lines.back().firstPoint + lines.back().pointCount, e.points.size());
}

TEST(BuildFixedEmitter, BottomPointsCrowdAtTheCentre) {
  Emitter e;
  ASSERT_TRUE(BuildFixedEmitter(kMaskBottom, FinalGeometry(100, 100), e));
  ASSERT_EQ(e.points.size(), 16u);
  ASSERT_EQ(e.segments.size(), 15u);
  const float head[] = {-50.0f, -24.5f, -11.75f, -5.375f, -2.1875f};
  for (int i = 0; i < 5; ++i) EXPECT_FLOAT_EQ(e.points[i].x, head[i]);
  EXPECT_FLOAT_EQ(e.points[13].x, 19.5565185546875f);
  EXPECT_FLOAT_EQ(e.points[14].x, 29.83477783203125f);
  EXPECT_FLOAT_EQ(e.points[15].x, 45.252166748046875f);
  for (const EmitterPoint& p : e.points) EXPECT_EQ(p.y, 50.0f);
  // The length field is the step leaving the segment's end point.
  EXPECT_FLOAT_EQ(e.segments[0].length, 12.75f);
  EXPECT_FLOAT_EQ(e.segments[1].length, 6.375f);
  EXPECT_FLOAT_EQ(e.segments[2].length, 3.1875f);
  EXPECT_FLOAT_EQ(e.segments[14].length, 23.126083374023438f);
  EXPECT_EQ(e.segments[0].ny, -1.0f);
}

TEST(BuildFixedEmitter, BottomOfTheFinalImageGrowsUpward) {
  Emitter e;
  ASSERT_TRUE(BuildFixedEmitter(kMaskBottom, FinalGeometry(1000, 750), e));
  for (const EmitterPoint& p : e.points) EXPECT_EQ(p.y, 375.0f);
  for (const EmitterSegment& s : e.segments) {
    EXPECT_EQ(s.nx, 0.0f);
    EXPECT_EQ(s.ny, -1.0f);
  }
}

TEST(BuildFixedEmitter, EveryLayoutFollowsItsTable) {
  // W 120, H 90: x0 = -60, y0 = -45, x1 = 60, y1 = 45.
  const ImageGeometry g = FinalGeometry(120, 90);
  const ExpectedLine top{true, -45, -60, 60, 120, 60, 0, 0, 1};
  const ExpectedLine bottom{true, 45, -60, 60, 120, 60, 0, 0, -1};
  ExpectLayout(kMaskBottom, g, {bottom});
  ExpectLayout(kMaskTop, g, {top});
  ExpectLayout(kMaskTopAndBottom, g, {top, bottom});
  ExpectLayout(kMaskPerimeter, g,
               {{false, -60, -45, 45, 90, 45, 0, 1, 0}, {false, 60, -45, 45, 90, 45, 0, -1, 0}, bottom, top});
  // The arms of the U start a third of the way down, densest there.
  ExpectLayout(kMaskULike, g,
               {{false, -60, -15, 45, 90, 45, -15, 1, 0}, {false, 60, -15, 45, 90, 45, -15, -1, 0}, bottom});

  // Window: panes of 60 x 45 in the order top-left, bottom-left,
  // bottom-right, top-right; middles truncate toward zero.
  std::vector<ExpectedLine> window;
  const double left[4] = {-60, -60, 0, 0}, topY[4] = {-45, 0, 0, -45};
  const double middleY[4] = {-22, 22, 22, -22}, middleX[4] = {-30, -30, 30, 30};
  for (int pane = 0; pane < 4; ++pane) {
    const double l = left[pane], t = topY[pane], r = l + 60, b = t + 45;
    window.push_back({false, l, t, b, 45, 22, middleY[pane], 1, 0});
    window.push_back({false, r, t, b, 45, 22, middleY[pane], -1, 0});
    window.push_back({true, b, l, r, 60, 30, middleX[pane], 0, -1});
    window.push_back({true, t, l, r, 60, 30, middleX[pane], 0, 1});
  }
  ExpectLayout(kMaskWindow, g, window);
}

TEST(BuildFixedEmitter, OddSizesTruncateTheirHalves) {
  // W 101, H 75: x0 = -50, y0 = -37; "Bottom" at 75 - 37 = 38, to 50.
  ExpectLayout(kMaskBottom, FinalGeometry(101, 75), {{true, 38, -50, 50, 101, 50, 0, 0, -1}});
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
  ExpectLayout(kMaskBottom, g, {{true, 275, -150, 250, 500, 250, 0, 0, -1}});
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
