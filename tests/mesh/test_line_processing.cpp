// Contour lines from traced borders: clean-up, subdivision, weights, the
// clamped arguments and the memory budget.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "tests/mesh/mask_support.h"

namespace rf::mesh {
namespace {

using test::Build;
using test::Coords;
using test::Disc;
using test::Mask;
using test::Output;
using test::SameOutput;

// Left half 0; right half 84 above 168. Three inner borders meet at (50, 50)
// and reach the frame at (50, 0), (100, 50) and (50, 100).
Mask TJunction() {
  Mask m(100, 100, 0);
  m.Fill(0, 50, 50, 100, 84);
  m.Fill(50, 50, 100, 100, 168);
  return m;
}

TEST(BuildContourLines, OneValueSucceedsWithNothingAndEmptyMasksFailLeavingOutputsAlone) {
  for (auto [w, h] : {std::pair{1, 1}, {1, 1000}}) {
    const Output out = Build(Mask(w, h, 168));
    EXPECT_TRUE(out.ok);
    EXPECT_EQ(out.vertexCount + out.segmentCount, 0);
    EXPECT_FALSE(out.arraysSet);
  }
  CMeshBuilder b;
  uint8_t byte = 0;
  int32_t vc = -7, sc = -7;
  ContourVertex* v = nullptr;
  ContourSegment* s = nullptr;
  for (auto [w, h] : {std::pair{0, 5}, {4, 0}, {-1, 5}}) {
    EXPECT_FALSE(b.BuildContourLines(w, h, w, &byte, 1.0f, 30, vc, sc, v, s)) << w << " x " << h;
    EXPECT_STREQ(b.LastError(), "Error! CMeshBuilder::LoadMask: Cannot load input mask!");
  }
  EXPECT_FALSE(b.BuildContourLines(5, 5, 5, nullptr, 1.0f, 30, vc, sc, v, s));
  EXPECT_EQ(vc + sc, -14);
  EXPECT_TRUE(v == nullptr && s == nullptr);
}

TEST(BuildContourLines, TJunctionLinesInOrderWithTwoPointLineLeftAlone) {
  const Output out = Build(TJunction());
  ASSERT_TRUE(out.ok);
  EXPECT_EQ(out.vertexCount, 8);
  EXPECT_EQ(out.segmentCount, 5);
  // The frame lines are not output. The straight crack between two
  // junctions has only its two ends and is not subdivided; the other two
  // were traced from a middle corner and are subdivided once (length 50).
  const std::vector<Coords> lines = out.Lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], (Coords{{50, 0}, {50, 25}, {50, 50}}));
  EXPECT_EQ(lines[1], (Coords{{50, 50}, {100, 50}}));
  EXPECT_EQ(lines[2], (Coords{{50, 50}, {50, 75}, {50, 100}}));
  // Indices run on across lines.
  const std::vector<std::pair<uint32_t, uint32_t>> expected = {{0, 1}, {1, 2}, {3, 4}, {5, 6}, {6, 7}};
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(out.segments[i].first, expected[i].first);
    EXPECT_EQ(out.segments[i].second, expected[i].second);
  }
  EXPECT_EQ(out.segments[2].Weight, 1.0f);  // n = 2: half is 1 at j = 1
  EXPECT_EQ(out.segments[0].Weight, 1.0f);
  EXPECT_EQ(out.segments[1].Weight, 0.0f);
}

TEST(BuildContourLines, SubdivisionIntoQuartersAndParabolaWeights) {
  Mask m(200, 100, 0);
  m.Fill(0, 100, 100, 200, 84);
  const Output out = Build(m);
  ASSERT_TRUE(out.ok);
  const std::vector<Coords> lines = out.Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], (Coords{{100, 0}, {100, 25}, {100, 50}, {100, 75}, {100, 100}}));
  ASSERT_EQ(out.segmentCount, 4);
  const float weights[4] = {1.5f, 2.0f, 1.5f, 0.0f};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(out.segments[size_t(i)].Weight, weights[i]) << i;
}

TEST(BuildContourLines, SquareKeepsItsCorners) {
  Mask m(40, 40, 0);
  m.Fill(10, 10, 30, 30, 255);
  const Output out = Build(m);
  ASSERT_TRUE(out.ok);
  const std::vector<Coords> lines = out.Lines();
  ASSERT_EQ(lines.size(), 1u);
  // The loop starts at its first corner and closes on it; the point before
  // the end is kept as the second anchor of the loop.
  EXPECT_EQ(lines[0], (Coords{{10, 10}, {30, 10}, {30, 30}, {10, 30}, {10, 20}, {10, 10}}));
}

TEST(BuildContourLines, DiagonalStaircaseBecomesAStraightLine) {
  Mask m(60, 60, 0);
  for (int32_t r = 0; r < 60; ++r)
    for (int32_t c = r + 1; c < 60; ++c) m.At(r, c) = 84;
  m.Fill(59, 0, 60, 60, 168);  // keeps the diagonal off the bottom-right frame corner
  const Output out = Build(m);
  ASSERT_TRUE(out.ok);
  const std::vector<Coords> lines = out.Lines();
  ASSERT_FALSE(lines.empty());
  const Coords& diagonal = lines[0];
  // Corner cutting puts the line through the middles of the steps; what is
  // left is a few points within half a pixel of one straight line.
  ASSERT_GE(diagonal.size(), 2u);
  EXPECT_LE(diagonal.size(), 8u);
  for (const auto& [x, y] : diagonal) EXPECT_NEAR(x - y, 0.5f, 0.51f) << x << ", " << y;
}

TEST(BuildContourLines, ClosedLinesCloseAndWeightsPeakInTheMiddle) {
  Mask m(120, 100, 0);
  Disc(m, 40, 50, 30, 84);
  Disc(m, 90, 40, 12, 168);
  const Output out = Build(m);
  ASSERT_TRUE(out.ok);
  const std::vector<Coords> lines = out.Lines();
  ASSERT_EQ(lines.size(), 2u);
  size_t segment = 0;
  for (const Coords& line : lines) {
    EXPECT_EQ(line.front(), line.back());
    const size_t n = line.size();
    const size_t half = std::max<size_t>(n / 2, 1);
    float best = -1.0f;
    size_t bestAt = 0;
    for (size_t j = 1; j < n; ++j, ++segment) {
      const float w = out.segments[segment].Weight;
      EXPECT_GE(w, 0.0f);
      if (w > best) best = w, bestAt = j;
    }
    EXPECT_EQ(bestAt, half);
    EXPECT_EQ(best, float(half));
    // Pieces no longer than the step, in Manhattan length.
    for (size_t j = 1; j < n; ++j) {
      EXPECT_LT(std::abs(line[j].first - line[j - 1].first) + std::abs(line[j].second - line[j - 1].second), 30.0f);
    }
  }
}

TEST(BuildContourLines, ArgumentsAreClamped) {
  Mask m(420, 420, 0);
  Disc(m, 210, 210, 200, 84);
  m.Fill(0, 0, 420, 2, 168);  // a long straight border for the step
  const Output base = Build(m, 1.0f, 30);
  EXPECT_TRUE(SameOutput(Build(m, 0.0f, 30), base));
  EXPECT_TRUE(SameOutput(Build(m, -3.0f, 30), base));
  EXPECT_FALSE(SameOutput(Build(m, 0.4f, 30), base));  // the circle is sensitive to it
  EXPECT_TRUE(SameOutput(Build(m, 25.0f, 30), Build(m, 10.0f, 30)));
  // Between eps 9.5 and 24.5 the circle's eighths are split or not, so an
  // unclamped 25 would differ.
  EXPECT_FALSE(SameOutput(Build(m, 5.0f, 30), Build(m, 10.0f, 30)));

  const Output two = Build(m, 1.0f, 2);
  EXPECT_TRUE(SameOutput(Build(m, 1.0f, 0), two));
  EXPECT_TRUE(SameOutput(Build(m, 1.0f, 1), two));
  EXPECT_TRUE(SameOutput(Build(m, 1.0f, -5), two));
  EXPECT_FALSE(SameOutput(Build(m, 1.0f, 3), two));
  EXPECT_TRUE(SameOutput(Build(m, 1.0f, 100), base));
  EXPECT_FALSE(SameOutput(Build(m, 1.0f, 28), base));  // 420 / 28 = 15 pieces, not 14
}

TEST(BuildContourLines, LonePixelBecomesASmallLoop) {
  // Each side of a lone pixel is a one-pixel U-turn, so its middle is pinned
  // and the loop starts there; simplification keeps the corners farther
  // than half a pixel from the chords.
  Mask m(12, 12, 0);
  m.At(3, 3) = 255;
  const Output out = Build(m);
  ASSERT_TRUE(out.ok);
  const std::vector<Coords> lines = out.Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], (Coords{{3.5f, 3}, {4, 4}, {3, 4}, {3, 3}, {3.5f, 3}}));
}

TEST(BuildContourLines, RepeatedCallsAndPruning) {
  CMeshBuilder b;
  const Mask m = TJunction();
  int32_t vc = 0, sc = 0;
  ContourVertex* v = nullptr;
  ContourSegment* s = nullptr;
  ASSERT_TRUE(b.BuildContourLines(m.width, m.height, m.width, m.bytes.data(), 1.0f, 30, vc, sc, v, s));
  EXPECT_TRUE(b.lines.empty());
  // The pruned index outlives the call; the next call starts afresh.
  const size_t kept = b.index.Size();
  EXPECT_GT(kept, 0u);
  ReleaseContourArrays(v, s);
  EXPECT_TRUE(v == nullptr && s == nullptr);
  ASSERT_TRUE(b.BuildContourLines(m.width, m.height, m.width, m.bytes.data(), 1.0f, 30, vc, sc, v, s));
  EXPECT_EQ(vc, 8);
  EXPECT_EQ(b.index.Size(), kept);
  ReleaseContourArrays(v, s);
}

// ---- Masks that would take the machine -----------------------------------

Mask Checkerboard(int32_t n) {
  Mask m(n, n);
  for (int32_t r = 0; r < n; ++r)
    for (int32_t c = 0; c < n; ++c) m.At(r, c) = (r + c) % 2 ? 255 : 0;
  return m;
}

Mask Noise(int32_t n, int labels, uint32_t seed) {
  Mask m(n, n);
  for (uint8_t& v : m.bytes) {
    seed = seed * 1664525u + 1013904223u;
    v = uint8_t((seed >> 24) % unsigned(labels) * (labels == 2 ? 255 : 84));
  }
  return m;
}

void ExpectRefusal(const CMeshBuilder& b, const Output& out, const char* what) {
  ASSERT_NE(b.LastError(), nullptr) << what;
  EXPECT_EQ(std::string(b.LastError()).rfind("Error! ", 0), 0u) << b.LastError();
  EXPECT_NE(std::strstr(b.LastError(), "too many borders"), nullptr) << b.LastError();
  EXPECT_EQ(out.vertexCount + out.segmentCount, -14) << what;
  EXPECT_FALSE(out.arraysSet) << what;
  EXPECT_TRUE(b.lines.empty()) << what;
  EXPECT_EQ(b.index.Size(), 0u) << what;
}

TEST(BuildContourLines, HostileMasksStopAtTheBudget) {
  constexpr uint64_t kBudget = 256 << 10;
  const struct {
    const char* name;
    Mask mask;
    bool fits;
  } rows[] = {
      {"checkerboard", Checkerboard(100), false},
      {"noise of two labels", Noise(100, 2, 1), false},
      {"noise of four labels", Noise(100, 4, 2), false},
      {"one large region", [] {
         Mask m(200, 200, 0);
         Disc(m, 100, 100, 70, 84);
         return m;
       }(), true},
  };
  for (const auto& row : rows) {
    CMeshBuilder b;
    b.SetMemoryBudget(kBudget);
    const Output out = Build(b, row.mask);
    EXPECT_EQ(out.ok, row.fits) << row.name;
    EXPECT_LE(b.MemoryPeak(), kBudget) << row.name;
    if (!out.ok) ExpectRefusal(b, out, row.name);
    // Under the default budget, which a caller cannot raise, all of them fit.
    b.SetMemoryBudget(UINT64_MAX);
    EXPECT_TRUE(Build(b, row.mask).ok) << row.name;
  }
}

TEST(BuildContourLines, WithinItsBudgetABuildIsTheSame) {
  // Budgets from far too small to enough stop a build at every stage; each
  // refusal leaves the builder fit for the next build, and the first build
  // that fits gives what an unlimited one does.
  Mask staircase(60, 60, 0);
  for (int32_t r = 0; r < 60; ++r) staircase.Fill(r, 0, r + 1, r / 3 + 5, 84);
  const struct {
    const char* name;
    Mask mask;
    int32_t step;
  } rows[] = {{"checkerboard", Checkerboard(30), 30}, {"noise", Noise(30, 4, 3), 30}, {"staircase", staircase, 2}};
  for (const auto& row : rows) {
    const Output full = Build(row.mask, 1.0f, row.step);
    ASSERT_TRUE(full.ok) << row.name;
    CMeshBuilder b;
    int refusals = 0;
    for (uint64_t budget = 4 << 10;; budget += budget / 4) {
      b.SetMemoryBudget(budget);
      const Output out = Build(b, row.mask, 1.0f, row.step);
      if (out.ok) {
        EXPECT_TRUE(SameOutput(out, full)) << row.name << " at " << budget << " bytes";
        break;
      }
      ExpectRefusal(b, out, row.name);
      ++refusals;
    }
    EXPECT_GT(refusals, 3) << row.name;
  }
}

}  // namespace
}  // namespace rf::mesh
