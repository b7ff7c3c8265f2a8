// The building blocks of growth: the generator, degenerate triangles, the
// triangle list, the budget, and the preview and scene frames.
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "pattern/growth.h"

namespace rf::pattern {
namespace {

TEST(CrtRandom, MatchesTheCRuntimeSequence) {
  CrtRandom r;
  r.Seed(1);  // the runtime's own default seed: its well-known first values
  const int32_t expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
  for (int32_t e : expected) EXPECT_EQ(r.Next(), e);

  r.Seed(0 + 1212);  // a run at `RandomSeed` 0
  EXPECT_EQ(r.Next(), 3996);
  EXPECT_EQ(r.Next(), 25892);
  EXPECT_DOUBLE_EQ(r.Unit(), 0.966);  // 12966 mod 1000
}

TEST(MakeTriangle, DegenerateAndNonFiniteCorners) {
  // Zero area: the face value is not divided; a zero-length edge gives (0, 0).
  const PatternTriangle t = MakeTriangle({3, 4, 0}, {3, 4, 0}, {5, 4, 0}, 0);
  EXPECT_EQ(t.v[0].nx, 0.0f);
  EXPECT_EQ(t.v[0].ny, 0.0f);
  EXPECT_EQ(t.v[0].nz, 0.0f);
  EXPECT_FLOAT_EQ(t.v[1].ny, -1.0f);

  // A corner that is not a float collapses the whole triangle.
  const double inf = std::numeric_limits<double>::infinity();
  for (const Corner bad : {Corner{inf, 0, 0}, Corner{0, std::nan(""), 0}, Corner{0, 0, 1e300}}) {
    for (const PatternVertex& v : MakeTriangle({10, 10, 1}, bad, {20, 5, 0}, 0).v) {
      EXPECT_TRUE(v.x == 0.0f && v.y == 0.0f && v.z == 0.0f);
      EXPECT_TRUE(std::isfinite(v.nx) && std::isfinite(v.ny) && std::isfinite(v.nz));
    }
  }
}

TEST(PatternList, KeepsEmissionOrderAcrossStorageBlocks) {
  PatternList list;
  EXPECT_EQ(list.Root()->triangle, nullptr);
  EXPECT_EQ(list.First(), nullptr);
  const int n = 70001;  // more than two storage blocks
  for (int i = 0; i < n; ++i) ASSERT_TRUE(list.Append(MakeTriangle({double(i), 0, 0}, {0, 1, 0}, {1, 0, 0}, i)));
  EXPECT_EQ(list.Count(), size_t(n));
  int i = 0;
  const RFTrNode* previous = list.Root();
  for (const RFTrNode* node = list.First(); node; node = node->next, ++i) {
    ASSERT_NE(node->triangle, nullptr);
    ASSERT_EQ(node->triangle->level, i);
    ASSERT_EQ(node->triangle->v[0].x, float(i));
    ASSERT_EQ(node->previous, previous);
    previous = node;
  }
  EXPECT_EQ(i, n);

  list.Clear();
  EXPECT_EQ(list.Count(), 0u);
  EXPECT_EQ(list.First(), nullptr);
  ASSERT_TRUE(list.Append(MakeTriangle({1, 2, 3}, {0, 1, 0}, {1, 0, 0}, 7)));
  EXPECT_EQ(list.First()->triangle->level, 7);
  EXPECT_EQ(list.First()->previous, list.Root());
}

TEST(TriangleBudget, FollowsTheMemoryBudgetUnderACeiling) {
  const uint64_t perTriangle = PatternList::BytesPerTriangle() + kSceneBytesPerTriangle;
  EXPECT_EQ(TriangleBudget(1000 * perTriangle + perTriangle - 1), 1000u);
  EXPECT_EQ(TriangleBudget(10), 0u);
  EXPECT_EQ(TriangleBudget(uint64_t(1) << 50), kMaxTriangleBudget);
  const uint32_t byDefault = TriangleBudget(0);
  EXPECT_GT(byDefault, 100000u);
  EXPECT_LE(byDefault, kMaxTriangleBudget);
}

TEST(DeriveGrowthValues, PreviewFloorAndNegativeCounts) {
  ParameterRecord r;
  ResetToDefaults(r);
  r.EffectKind = kFamilyFloral;
  r.MinInterval = 0.01f;
  r.MaxIterations = uint32_t(-1);
  r.MaxTriangles = uint32_t(-4);
  // A preview at half size measures the filter area in buffer pixels.
  ImageGeometry g = FinalGeometry(1000, 750);
  g.filterWidth = 1001;
  g.previewScale = 2.0;
  const GrowthValues v = DeriveGrowthValues(r, g);
  EXPECT_EQ(v.scaledWidth, 500);
  EXPECT_DOUBLE_EQ(v.step, 0.25);  // floor of the spacing
  EXPECT_DOUBLE_EQ(v.zoom, 2.0);
  // Scripted negative counts stay negative; the iteration limit does not.
  EXPECT_EQ(v.count, -20);
  EXPECT_EQ(v.iterationLimit, 1);
}

TEST(SelectSegments, CompletenessAndFade) {
  const struct {
    int n;
    double completeness, fade;
    int full, fadeCount, processed;
  } cases[] = {{5, 50, 0, 2, 0, 3}, {10, 30, 20, 3, 2, 5}, {5, 100, 100, -1, -1, 5}, {5, 0, 0, -1, -1, 0},
               {0, 100, 100, -1, -1, 0}, {5, -50, 0, -1, -1, 0}, {5, std::nan(""), std::nan(""), -1, -1, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.n << " " << c.completeness << " " << c.fade);
    const SegmentSelection s = SelectSegments(c.n, c.completeness, c.fade);
    EXPECT_EQ(s.processed, c.processed);
    if (c.full >= 0) {
      EXPECT_EQ(s.full, c.full);
    }
    if (c.fadeCount >= 0) {
      EXPECT_EQ(s.fade, c.fadeCount);
    }
  }
  EXPECT_DOUBLE_EQ(SelectSegments(5, 50, 0).frac, 0.5);
}

TEST(DerivedCentre, PreviewFrameByFamilyAndEmitter) {
  ParameterRecord r;
  ResetToDefaults(r);
  r.CenterX = 50;   // three quarters to the right
  r.CenterY = -50;  // three quarters down
  // A preview at half scale of a 1000 x 800 image showing a 300 x 200 part
  // from (100, 50).
  ImageGeometry g = FinalGeometry(1000, 800);
  g.width = 300;
  g.height = 200;
  g.previewScale = 2.0;
  g.offsetX = 100;
  g.offsetY = 50;
  r.EffectKind = kFamilySingle;
  SceneCentre c = DerivedCentre(r, g);
  EXPECT_DOUBLE_EQ(c.x, 375.0 - 100 - 150);
  EXPECT_DOUBLE_EQ(c.y, 300.0 - 50 - 100);
  r.EffectKind = kFamilyGeometric;
  r.EmitterType = kEmitterFixed;
  c = DerivedCentre(r, g);
  EXPECT_DOUBLE_EQ(c.x, 375.0 - 100 - 250);
  EXPECT_DOUBLE_EQ(c.y, 300.0 - 50 - 200);
  r.EmitterType = kEmitterContours;
  c = DerivedCentre(r, g);
  EXPECT_DOUBLE_EQ(c.x, 125.0);
  EXPECT_DOUBLE_EQ(c.y, 100.0);

  g.previewScale = 0.0;
  c = DerivedCentre(r, g);
  EXPECT_TRUE(std::isfinite(c.x) && std::isfinite(c.y));
}

TEST(SceneTransform, ScaleAndCentre) {
  ParameterRecord r;
  ResetToDefaults(r);
  // Scale 100 with the centre at 0: nothing to do.
  EXPECT_TRUE(MakeSceneTransform(r, {0, 0}).IsIdentity());

  r.Scale = 200;
  r.EffectKind = kFamilyFloral;
  SceneTransform t = MakeSceneTransform(r, {10, -20});
  float x = 1, y = 2, z = 3;
  t.Apply(x, y, z);
  EXPECT_EQ(x, 12.0f);  // scaled about the origin, then moved
  EXPECT_EQ(y, -16.0f);
  EXPECT_EQ(z, 6.0f);

  r.EffectKind = kFamilySingle;  // scaled about its centre, z untouched, not moved
  t = MakeSceneTransform(r, {10, -20});
  x = 11, y = -19, z = 3;
  t.Apply(x, y, z);
  EXPECT_EQ(x, 12.0f);
  EXPECT_EQ(y, -18.0f);
  EXPECT_EQ(z, 3.0f);

  r.Scale = std::nanf("");
  EXPECT_EQ(MakeSceneTransform(r, {0, 0}).scale, 1.0);
}

TEST(PlaceInScene, MovesEveryCornerAndDropsOverflow) {
  ParameterRecord r;
  ResetToDefaults(r);
  r.EffectKind = kFamilyGeometric;
  r.EmitterType = kEmitterPaths;
  r.CenterX = 100;  // the right edge
  r.Scale = 1e20f;
  const ImageGeometry g = FinalGeometry(200, 100);
  PatternList list;
  list.Append(MakeTriangle({1, 0, 0}, {0, 1, 0}, {0, 0, 0}, 0));
  list.Append(MakeTriangle({1e21, 0, 0}, {0, 1, 0}, {0, 0, 0}, 0));
  PlaceInScene(r, g, list);
  const PatternTriangle& first = *list.First()->triangle;
  EXPECT_FLOAT_EQ(first.v[0].x, 1e18f);
  EXPECT_FLOAT_EQ(first.v[1].y, 1e18f);
  EXPECT_FLOAT_EQ(first.v[2].x, 100.0f);
  const PatternTriangle& second = *list.First()->next->triangle;
  for (const PatternVertex& v : second.v) {
    EXPECT_EQ(v.x, 0.0f);
    EXPECT_EQ(v.y, 0.0f);
  }
}

}  // namespace
}  // namespace rf::pattern
