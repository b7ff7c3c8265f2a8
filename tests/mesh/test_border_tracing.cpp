// Border tracing: corner codes, the frame, junctions, saddles, and every
// crack walked once.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <tuple>

#include "tests/mesh/mask_support.h"

namespace rf::mesh {
namespace {

using test::Coords;
using test::CoordsOf;
using test::Mask;
using test::MaskFromRows;
using test::Trace;

TEST(CornerCode, CracksAndJunctions) {
  // Arguments: A below left, B above left, C below right, D above right.
  EXPECT_EQ(CornerCode(1, 1, 1, 1), 0);
  EXPECT_EQ(CornerCode(1, 1, 2, 2), kCrackDown | kCrackUp);
  EXPECT_EQ(CornerCode(1, 1, 2, 1), kCrackRight | kCrackDown);
  // Three cracks always meet three regions.
  EXPECT_EQ(CornerCode(1, 2, 1, 3), kCrackRight | kCrackLeft | kCrackUp | kJunction);
  EXPECT_EQ(CornerCode(1, 2, 3, 3), kCrackDown | kCrackLeft | kCrackUp | kJunction);
  // Four cracks: a two-label saddle passes, four labels meet.
  EXPECT_EQ(CornerCode(1, 2, 2, 1), 15);
  EXPECT_EQ(CornerCode(1, 2, 3, 4), 15 | kJunction);
  // An equal diagonal pair is not a junction even with a third label.
  EXPECT_EQ(CornerCode(1, 2, 3, 1), 15);
}

TEST(FindBorderLines, OneValueGivesTheClockwiseFrame) {
  for (uint8_t value : {0, 84, 255}) {
    CMeshBuilder b;
    Trace(b, Mask(5, 3, value));
    ASSERT_EQ(b.lines.size(), 1u);
    const CBorderLine& line = *b.lines[0];
    EXPECT_TRUE(line.Closed);
    EXPECT_EQ(line.RightLabel, value);
    EXPECT_EQ(line.LeftLabel, kOutsideLabel);
    EXPECT_EQ(CoordsOf(line), (Coords{{0, 0}, {5, 0}, {5, 3}, {0, 3}, {0, 0}}));
    EXPECT_EQ(line.points.front().get(), line.points.back().get());
    for (const PointRef& p : line.points) EXPECT_EQ(p->z, -10.0f);
  }
  // Straight runs cost two points whatever their length.
  CMeshBuilder thin;
  Trace(thin, Mask(100000, 1, 84));
  ASSERT_EQ(thin.lines.size(), 1u);
  EXPECT_EQ(thin.lines[0]->Count(), 5);
}

// (An empty mask is refused where the contour lines are built.)
TEST(FindBorderLines, AnEmptyRasterRaisesItsMessage) {
  CMeshBuilder b;
  TCRaster<uint8_t> empty;
  try {
    b.FindBorderLines(empty, b.lines);
    FAIL() << "FindBorderLines accepted an empty raster";
  } catch (const MeshError& e) {
    EXPECT_STREQ(e.what(), "Error! CMeshBuilder::FindBorderLines: Cannot create raster of borders.");
  }
}

TEST(FindBorderLines, SinglePixelIsAClosedLineOfFiveEntries) {
  Mask m(5, 5, 84);
  m.At(2, 3) = 168;
  CMeshBuilder b;
  Trace(b, m);
  ASSERT_EQ(b.lines.size(), 2u);
  const CBorderLine& pixel = *b.lines[1];
  EXPECT_TRUE(pixel.Closed);
  EXPECT_EQ(pixel.RightLabel, 168);
  EXPECT_EQ(pixel.LeftLabel, 84);
  EXPECT_EQ(CoordsOf(pixel), (Coords{{3, 2}, {4, 2}, {4, 3}, {3, 3}, {3, 2}}));
  // Closed lines carry no anchors from tracing.
  for (const PointRef& p : pixel.points) EXPECT_FALSE(p->Has(CMyPoint::Anchor));
}

TEST(FindBorderLines, TJunctionLinesShareTheirEndPoint) {
  // Left half 0, right half 84 above 168: three inner borders meet at (3, 3).
  const Mask m = MaskFromRows({"...aaa", "...aaa", "...aaa", "...bbb", "...bbb", "...bbb"});
  CMeshBuilder b;
  Trace(b, m);
  std::vector<const CBorderLine*> inner;
  for (const auto& line : b.lines) {
    if (line->RightLabel != kOutsideLabel && line->LeftLabel != kOutsideLabel) inner.push_back(line.get());
    else EXPECT_FALSE(line->Closed) << "the frame breaks where an inner border reaches it";
  }
  ASSERT_EQ(inner.size(), 3u);
  EXPECT_EQ(b.lines.size(), 6u);
  // In the order of their start corners, each running with RightLabel on
  // its right (x right, y down).
  EXPECT_EQ(CoordsOf(*inner[0]), (Coords{{3, 0}, {3, 1}, {3, 3}}));
  EXPECT_EQ(inner[0]->RightLabel, 0);
  EXPECT_EQ(inner[0]->LeftLabel, 84);
  EXPECT_EQ(CoordsOf(*inner[1]), (Coords{{3, 3}, {6, 3}}));
  EXPECT_EQ(inner[1]->RightLabel, 168);
  EXPECT_EQ(inner[1]->LeftLabel, 84);
  EXPECT_EQ(CoordsOf(*inner[2]), (Coords{{3, 3}, {3, 4}, {3, 6}}));
  EXPECT_EQ(inner[2]->RightLabel, 0);
  EXPECT_EQ(inner[2]->LeftLabel, 168);

  const CMyPoint* junction = inner[0]->points.back().get();
  EXPECT_EQ(inner[1]->points.front().get(), junction);
  EXPECT_EQ(inner[2]->points.front().get(), junction);
  for (const CBorderLine* line : inner) {
    EXPECT_FALSE(line->Closed);
    EXPECT_TRUE(line->points.front()->Has(CMyPoint::Anchor));
    EXPECT_TRUE(line->points.back()->Has(CMyPoint::Anchor));
  }
}

TEST(FindBorderLines, SaddleIsWalkedThroughByLookAhead) {
  // Two diagonal pixels touch at the corner (2, 2). The walk keeps turning
  // the same way round, so both pixels come out as one figure-eight line.
  Mask m(4, 4, 0);
  m.At(1, 1) = 255;
  m.At(2, 2) = 255;
  CMeshBuilder b;
  Trace(b, m);
  ASSERT_EQ(b.lines.size(), 2u);
  const CBorderLine& eight = *b.lines[1];
  EXPECT_TRUE(eight.Closed);
  EXPECT_EQ(eight.RightLabel, 255);
  EXPECT_EQ(eight.LeftLabel, 0);
  EXPECT_EQ(CoordsOf(eight),
            (Coords{{1, 1}, {2, 1}, {2, 2}, {3, 2}, {3, 3}, {2, 3}, {2, 2}, {1, 2}, {1, 1}}));
  auto it = eight.points.begin();
  std::advance(it, 2);
  const CMyPoint* saddle = it->get();
  std::advance(it, 4);
  EXPECT_EQ(it->get(), saddle);
}

// Unit cracks as (x, y, horizontal) of their left or upper end.
using Crack = std::tuple<int, int, bool>;

std::multiset<Crack> WalkedCracks(const CMeshBuilder& b) {
  std::multiset<Crack> walked;
  for (const auto& line : b.lines) {
    const Coords xy = CoordsOf(*line);
    for (size_t i = 1; i < xy.size(); ++i) {
      const int x0 = int(xy[i - 1].first), y0 = int(xy[i - 1].second);
      const int x1 = int(xy[i].first), y1 = int(xy[i].second);
      EXPECT_TRUE(x0 == x1 || y0 == y1) << "points of a traced line are joined by straight runs";
      for (int x = std::min(x0, x1); x < std::max(x0, x1); ++x) walked.insert({x, y0, true});
      for (int y = std::min(y0, y1); y < std::max(y0, y1); ++y) walked.insert({x0, y, false});
    }
  }
  return walked;
}

std::set<Crack> MaskCracks(Mask& m) {
  auto px = [&](int32_t r, int32_t c) -> int {
    return r < 0 || c < 0 || r >= m.height || c >= m.width ? 121 : m.At(r, c);
  };
  std::set<Crack> cracks;
  for (int32_t r = 0; r <= m.height; ++r) {
    for (int32_t c = 0; c <= m.width; ++c) {
      if (c < m.width && px(r - 1, c) != px(r, c)) cracks.insert({c, r, true});
      if (r < m.height && px(r, c - 1) != px(r, c)) cracks.insert({c, r, false});
    }
  }
  return cracks;
}

TEST(FindBorderLines, CracksAreWalkedAtMostOnce) {
  uint32_t seed = 7;
  for (int labels : {2, 3}) {
    for (int round = 0; round < 20; ++round) {
      Mask m(13, 11);
      for (uint8_t& v : m.bytes) {
        seed = seed * 1664525u + 1013904223u;
        v = uint8_t((seed >> 24) % unsigned(labels) * 84);
      }
      CMeshBuilder b;
      Trace(b, m);
      const std::multiset<Crack> walked = WalkedCracks(b);
      const std::set<Crack> cracks = MaskCracks(m);
      for (const Crack& c : walked) {
        EXPECT_EQ(walked.count(c), 1u);
        EXPECT_EQ(cracks.count(c), 1u) << "walked a crack that is not a border";
      }
      // Each corner starts one walk only, so a crack between two junctions
      // that neither chooses first is left. With two labels only the frame
      // has junctions, and every inner crack ends up in a line.
      if (labels == 2) {
        for (const Crack& c : cracks) {
          const auto [x, y, horizontal] = c;
          const bool onFrame = horizontal ? (y == 0 || y == m.height) : (x == 0 || x == m.width);
          if (!onFrame) {
            EXPECT_EQ(walked.count(c), 1u) << x << ", " << y << " round " << round;
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace rf::mesh
