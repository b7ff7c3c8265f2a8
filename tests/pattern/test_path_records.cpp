// Path records to curves: selectors, subpaths dropped for bad data, the
// size limits and the conversion to pixels.
#include <gtest/gtest.h>

#include "tests/pattern/path_records.h"
#include "pattern/path_emitter.h"

namespace rf::pattern {
namespace {

using test::PathRecords;

constexpr Fixed k72 = 72 << 16;

// A 400 x 300 pixel document at 72 pixels per inch: points are pixels.
PathCurves Decode(const PathRecords& r, Fixed width = 400 << 16, Fixed height = 300 << 16, Fixed res = k72) {
  PathCurves curves;
  const size_t n = DecodePathRecords(r.bytes.data(), r.bytes.size(), width, height, res, curves);
  EXPECT_EQ(n, curves.size());
  return curves;
}

void ExpectCurve(const PathCurve& c, std::initializer_list<float> x, std::initializer_list<float> y) {
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(c.x[i], x.begin()[i], 1e-3) << "x" << i;
    EXPECT_NEAR(c.y[i], y.begin()[i], 1e-3) << "y" << i;
  }
}

PathRecords Square(int16_t lengthSelector = 0, int16_t knotSelector = 2) {
  PathRecords r;
  r.Selector(lengthSelector, 4)
      .Corner(knotSelector, 0.25, 0.25)
      .Corner(knotSelector, 0.75, 0.25)
      .Corner(knotSelector, 0.75, 0.75)
      .Corner(knotSelector, 0.25, 0.75);
  return r;
}

TEST(PathRecordsDecoding, ClosedOpenAndOneKnotSubpaths) {
  // Fill rule and clipboard records between the knots are passed over.
  PathRecords r;
  r.Selector(6).Selector(8, 1).Selector(0, 4).Corner(2, 0.25, 0.25).Selector(7).Corner(2, 0.75, 0.25);
  r.Selector(6).Corner(2, 0.75, 0.75).Corner(2, 0.25, 0.75).Selector(9);
  const PathCurves closed = Decode(r);
  ASSERT_EQ(closed.size(), 4u);
  ExpectCurve(closed[0], {100, 100, 300, 300}, {75, 75, 75, 75});
  ExpectCurve(closed[3], {100, 100, 100, 100}, {225, 225, 75, 75});  // the closing curve

  const PathCurves open = Decode(Square(3, 5));
  ASSERT_EQ(open.size(), 3u);
  ExpectCurve(open[2], {300, 300, 100, 100}, {225, 225, 225, 225});

  // Linked and unlinked knots are alike here.
  EXPECT_EQ(Decode(Square(0, 1)).size(), 4u);
  EXPECT_EQ(Decode(Square(3, 4)).size(), 3u);

  // One knot: a closed loop from the anchor round through both controls,
  // or, open, nothing at all.
  PathRecords loop;
  loop.Selector(0, 1).Knot(1, 0.1, 0.5, 0.5, 0.5, 0.9, 0.5);
  const PathCurves c = Decode(loop);
  ASSERT_EQ(c.size(), 1u);
  ExpectCurve(c[0], {200, 360, 40, 200}, {150, 150, 150, 150});
  PathRecords single;
  single.Selector(3, 1).Corner(4, 0.5, 0.5);
  EXPECT_TRUE(Decode(single).empty());
}

TEST(PathRecordsDecoding, MalformedSubpathsAreDroppedWhole) {
  PathRecords openKnotInClosed;
  openKnotInClosed.Selector(0, 3).Corner(1, 0.1, 0.1).Corner(4, 0.2, 0.2).Corner(1, 0.3, 0.1);
  EXPECT_TRUE(Decode(openKnotInClosed).empty());

  PathRecords closedKnotInOpen;
  closedKnotInOpen.Selector(3, 2).Corner(5, 0.1, 0.1).Corner(2, 0.2, 0.2);
  EXPECT_TRUE(Decode(closedKnotInOpen).empty());

  PathRecords lengthRecordAsKnot;
  lengthRecordAsKnot.Selector(3, 2).Corner(5, 0.1, 0.1).Selector(3, 2);
  EXPECT_TRUE(Decode(lengthRecordAsKnot).empty());

  PathRecords negativeSelector;
  negativeSelector.Selector(3, 2).Corner(5, 0.1, 0.1).Corner(-1, 0.2, 0.2);
  EXPECT_TRUE(Decode(negativeSelector).empty());

  // A bad subpath costs only itself: the square after it is read.
  PathRecords r = openKnotInClosed;
  const std::vector<uint8_t> square = Square().bytes;
  r.bytes.insert(r.bytes.end(), square.begin(), square.end());
  EXPECT_EQ(Decode(r).size(), 4u);

  // Knots without a length record are strays.
  PathRecords strays;
  strays.Corner(1, 0.1, 0.1).Corner(1, 0.2, 0.2);
  EXPECT_TRUE(Decode(strays).empty());
}

TEST(PathRecordsDecoding, TruncatedBlocksLoseOnlyTheCutSubpath) {
  PathRecords r = Square();
  r.Selector(3, 5).Corner(4, 0.1, 0.1).Corner(4, 0.2, 0.2);  // claims five knots, has two
  EXPECT_EQ(Decode(r).size(), 4u);

  // A block whose size is not a whole number of records: the tail is not
  // a record.
  PathRecords partial = Square();
  partial.bytes.resize(partial.bytes.size() + 13, 0xFF);
  EXPECT_EQ(Decode(partial).size(), 4u);
  partial.bytes.resize(partial.bytes.size() - 13 - 26);  // the last knot cut in half
  partial.bytes.resize(partial.bytes.size() + 13);
  EXPECT_TRUE(Decode(partial).empty());

  PathCurves none;
  EXPECT_EQ(DecodePathRecords(nullptr, 100, 400 << 16, 300 << 16, k72, none), 0u);
  PathRecords empty;
  empty.Selector(0, 0).Selector(3, 0);
  EXPECT_TRUE(Decode(empty).empty());
}

TEST(PathRecordsDecoding, CoordinatesTooFarOutDropTheSubpath) {
  const Fixed wide = 20000 << 16;  // points
  auto oneCurve = [&](double outX) {
    PathRecords r;
    r.Selector(3, 2).Knot(4, 0.5, 0.5, 0.5, 0.5, outX, 0.5).Corner(4, 0.6, 0.5);
    return Decode(r, wide, 300 << 16);
  };
  // Whole part 1: 20000 points; whole part 2: 40000, past 32767.
  ASSERT_EQ(oneCurve(1.5).size(), 1u);
  EXPECT_NEAR(oneCurve(1.5)[0].x[1], 30000.0f, 0.01f);
  EXPECT_TRUE(oneCurve(2.0).empty());
  EXPECT_TRUE(oneCurve(-2.0).empty());
  EXPECT_EQ(oneCurve(-0.75).size(), 1u);

  // Off the canvas but within range is fine, also at the largest document.
  PathRecords r;
  r.Selector(3, 2).Corner(4, 1.0, 1.0).Corner(4, 0.0, 0.0);
  const PathCurves c = Decode(r, 32767 << 16, 32767 << 16);
  ASSERT_EQ(c.size(), 1u);
  EXPECT_NEAR(c[0].x[0], 32767.0f, 0.01f);
}

TEST(PathRecordsDecoding, DocumentSizeInPointsRefusesAbove32767) {
  // Pixels, resolution, points (0 for a refusal); no resolution counts as 72.
  const int64_t cases[][3] = {{32767, k72, 32767}, {32768, k72, 0},     {65534, 144 << 16, 32767},
                              {3000, 300 << 16, 720}, {1000, 0, 1000}, {int64_t(1) << 40, k72, 0}, {-1, k72, 0}};
  for (const auto& c : cases) {
    Fixed points = 0;
    EXPECT_EQ(DocumentSizeInPoints(c[0], Fixed(c[1]), points), c[2] != 0) << c[0];
    if (c[2] != 0) {
      EXPECT_EQ(points, Fixed(c[2] << 16)) << c[0];
    }
  }
}

TEST(PathRecordsDecoding, PointsBecomePixelsAtTheVerticalResolution) {
  PathRecords r;
  r.Selector(3, 2).Corner(4, 0.5, 0.5).Corner(4, 1.0, 1.0);
  // 800 x 600 pixels at 144 ppi are 400 x 300 points.
  const PathCurves c = Decode(r, 400 << 16, 300 << 16, 144 << 16);
  ASSERT_EQ(c.size(), 1u);
  ExpectCurve(c[0], {400, 400, 800, 800}, {300, 300, 600, 600});
  // 72 ppi across, 144 down: the width of 800 pixels is 800 points, and the
  // vertical resolution doubles it.
  EXPECT_NEAR(Decode(r, 800 << 16, 300 << 16, 144 << 16)[0].x[0], 800.0f, 1e-3f);

  // A zero resolution counts as 72.
  EXPECT_NEAR(Decode(r, 400 << 16, 300 << 16, 0)[0].x[0], 200.0f, 1e-3f);
}

}  // namespace
}  // namespace rf::pattern
