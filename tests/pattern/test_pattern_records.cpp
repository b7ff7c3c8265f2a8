// The building blocks of growth: the generator, the triangle list, the
// normals, the derived values and the placement in the scene.
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "pattern/growth.h"

namespace rf::pattern {
namespace {

// ---- Random numbers ----------------------------------------------------------

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

// ---- Normals ------------------------------------------------------------------

TEST(MakeTriangle, NormalsRule) {
  const PatternTriangle t = MakeTriangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, 2);
  EXPECT_EQ(t.level, 2);
  // (v0 - v1) x (v2 - v1) points down the z axis here; its negation is up.
  for (const PatternVertex& v : t.v) {
    EXPECT_FLOAT_EQ(v.nz, 1.0f);
    EXPECT_EQ(v.flag, 1);
  }
  // Edge normals (y1 - y0, x0 - x1) / length of the edge leaving each corner.
  EXPECT_FLOAT_EQ(t.v[0].nx, 0.0f);
  EXPECT_FLOAT_EQ(t.v[0].ny, -1.0f);
  EXPECT_FLOAT_EQ(t.v[1].nx, float(1 / std::sqrt(2.0)));
  EXPECT_FLOAT_EQ(t.v[1].ny, float(1 / std::sqrt(2.0)));
  EXPECT_FLOAT_EQ(t.v[2].nx, -1.0f);
  EXPECT_FLOAT_EQ(t.v[2].ny, 0.0f);

  const PatternTriangle flipped = MakeTriangle({0, 0, 0}, {0, 1, 0}, {1, 0, 0}, 0);
  EXPECT_FLOAT_EQ(flipped.v[0].nz, -1.0f);

  // A tilted face: only the z share of the unit face normal is kept.
  const PatternTriangle tilted = MakeTriangle({0, 0, 0}, {1, 0, 0}, {0, 1, 1}, 0);
  EXPECT_FLOAT_EQ(tilted.v[1].nz, float(1 / std::sqrt(2.0)));
}

TEST(MakeTriangle, DegenerateShapesKeepUnscaledValues) {
  // Zero area: the face value is not divided; a zero-length edge gives (0, 0).
  const PatternTriangle t = MakeTriangle({3, 4, 0}, {3, 4, 0}, {5, 4, 0}, 0);
  EXPECT_EQ(t.v[0].nx, 0.0f);
  EXPECT_EQ(t.v[0].ny, 0.0f);
  EXPECT_EQ(t.v[0].nz, 0.0f);
  EXPECT_FLOAT_EQ(t.v[1].ny, -1.0f);
}

TEST(MakeTriangle, NonFiniteCornersCollapseTheWholeTriangle) {
  const double inf = std::numeric_limits<double>::infinity();
  for (const Corner bad : {Corner{inf, 0, 0}, Corner{0, std::nan(""), 0}, Corner{0, 0, 1e300}}) {
    const PatternTriangle t = MakeTriangle({10, 10, 1}, bad, {20, 5, 0}, 0);
    for (const PatternVertex& v : t.v) {
      EXPECT_EQ(v.x, 0.0f);
      EXPECT_EQ(v.y, 0.0f);
      EXPECT_EQ(v.z, 0.0f);
      EXPECT_TRUE(std::isfinite(v.nx) && std::isfinite(v.ny) && std::isfinite(v.nz));
    }
  }
}

// ---- The list -------------------------------------------------------------------

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
  EXPECT_EQ(TriangleBudget(1000 * perTriangle), 1000u);
  EXPECT_EQ(TriangleBudget(1000 * perTriangle + perTriangle - 1), 1000u);
  EXPECT_EQ(TriangleBudget(10), 0u);
  EXPECT_EQ(TriangleBudget(uint64_t(1) << 50), kMaxTriangleBudget);
  const uint32_t byDefault = TriangleBudget(0);
  EXPECT_GT(byDefault, 100000u);
  EXPECT_LE(byDefault, kMaxTriangleBudget);
}

// ---- Numeric helpers --------------------------------------------------------------

TEST(NumericHelpers, DirectionAngleQuadrants) {
  EXPECT_EQ(DirectionAngle(0, 0), 0.0);
  EXPECT_DOUBLE_EQ(DirectionAngle(0, 3), kPi / 2);
  EXPECT_DOUBLE_EQ(DirectionAngle(0, -3), -kPi / 2);
  EXPECT_DOUBLE_EQ(DirectionAngle(1, 1), kPi / 4);
  EXPECT_DOUBLE_EQ(DirectionAngle(-1, 1), 3 * kPi / 4);
  EXPECT_DOUBLE_EQ(DirectionAngle(-1, -1), -3 * kPi / 4);
  EXPECT_DOUBLE_EQ(DirectionAngle(-1, 0), -kPi);  // y = 0 counts with the lower half
}

TEST(NumericHelpers, FloralAngleUsesItsOwnDegreeFactor) {
  EXPECT_EQ(FloralAngleDegrees(1, 0), 90.0);
  EXPECT_EQ(FloralAngleDegrees(-1, 0), 270.0);
  EXPECT_EQ(FloralAngleDegrees(0, -1), 0.0);
  EXPECT_EQ(FloralAngleDegrees(0, 1), 180.0);
  // 57.29579143313326 rather than 180 / pi: off by about 1e-5 degrees at 45.
  const double lower = FloralAngleDegrees(-1, -1);
  EXPECT_DOUBLE_EQ(lower, 360.0 - std::atan(1.0) * 57.29579143313326);
  EXPECT_GT(std::fabs(lower - 315.0), 5e-6);
  EXPECT_DOUBLE_EQ(FloralAngleDegrees(1, 1), 180.0 - std::atan(1.0) * 57.29579143313326);
}

// ---- Derived values ----------------------------------------------------------------

TEST(DeriveGrowthValues, PerFamilyFormulas) {
  ParameterRecord r;
  ResetToDefaults(r);
  r.MinInterval = 10;
  r.Width = 80;
  r.Lenght = 12;
  r.MaxTriangles = 3;
  r.MaxIterations = 0;
  r.Turn = 180;
  ImageGeometry g = FinalGeometry(1000, 750);

  r.EffectKind = kFamilyGeometric;
  GrowthValues v = DeriveGrowthValues(r, g);
  EXPECT_EQ(v.scaledWidth, 1000);
  EXPECT_DOUBLE_EQ(v.spacing, 20.0);
  EXPECT_DOUBLE_EQ(v.step, 20.0);
  EXPECT_DOUBLE_EQ(v.fanWidth, 0.8);
  EXPECT_DOUBLE_EQ(v.length, 30.0);
  EXPECT_EQ(v.count, 3);
  EXPECT_EQ(v.iterationLimit, 1);
  EXPECT_DOUBLE_EQ(v.turn, 3.151592);  // not pi

  r.EffectKind = kFamilyFloral;
  v = DeriveGrowthValues(r, g);
  EXPECT_DOUBLE_EQ(v.fanWidth, 1.6);
  EXPECT_DOUBLE_EQ(v.length, 120.0);
  EXPECT_EQ(v.count, 15);

  r.EffectKind = kFamilySingle;
  v = DeriveGrowthValues(r, g);
  EXPECT_DOUBLE_EQ(v.fanWidth, 80.0);
  EXPECT_DOUBLE_EQ(v.length, 12.0);

  // A preview at half size measures the filter area in buffer pixels.
  g.filterWidth = 1001;
  g.previewScale = 2.0;
  r.MinInterval = 0.01f;
  v = DeriveGrowthValues(r, g);
  EXPECT_EQ(v.scaledWidth, 500);
  EXPECT_DOUBLE_EQ(v.step, 0.25);  // floor of the spacing
  EXPECT_DOUBLE_EQ(v.zoom, 2.0);

  // Scripted negative counts stay negative.
  r.MaxTriangles = uint32_t(-4);
  r.MaxIterations = uint32_t(-1);
  v = DeriveGrowthValues(r, g);
  EXPECT_EQ(v.count, -20);
  EXPECT_EQ(v.iterationLimit, 1);
}

TEST(SelectSegments, CompletenessAndFade) {
  SegmentSelection s = SelectSegments(5, 0, 0);
  EXPECT_EQ(s.processed, 0);

  s = SelectSegments(5, 50, 0);
  EXPECT_EQ(s.full, 2);
  EXPECT_DOUBLE_EQ(s.frac, 0.5);
  EXPECT_EQ(s.fade, 0);
  EXPECT_EQ(s.processed, 3);

  s = SelectSegments(10, 30, 20);
  EXPECT_EQ(s.full, 3);
  EXPECT_EQ(s.fade, 2);
  EXPECT_EQ(s.processed, 5);

  s = SelectSegments(5, 100, 100);  // the defaults: everything, capped at n
  EXPECT_EQ(s.processed, 5);

  EXPECT_EQ(SelectSegments(0, 100, 100).processed, 0);
  EXPECT_EQ(SelectSegments(5, -50, 0).processed, 0);
  EXPECT_EQ(SelectSegments(5, std::nan(""), std::nan("")).processed, 0);
}

// ---- Placement in the scene ------------------------------------------------------------

TEST(DerivedCentre, DependsOnFamilyAndEmitter) {
  ParameterRecord r;
  ResetToDefaults(r);
  r.CenterX = 50;   // three quarters to the right
  r.CenterY = -50;  // three quarters down
  ImageGeometry g = FinalGeometry(1000, 800);

  r.EffectKind = kFamilySingle;
  SceneCentre c = DerivedCentre(r, g);
  EXPECT_DOUBLE_EQ(c.x, 250.0);
  EXPECT_DOUBLE_EQ(c.y, 200.0);

  r.EffectKind = kFamilyFloral;
  r.EmitterType = kEmitterFixed;
  c = DerivedCentre(r, g);
  EXPECT_DOUBLE_EQ(c.x, 250.0);
  EXPECT_DOUBLE_EQ(c.y, 200.0);

  r.EmitterType = kEmitterPaths;
  c = DerivedCentre(r, g);
  EXPECT_DOUBLE_EQ(c.x, 250.0);
  EXPECT_DOUBLE_EQ(c.y, 200.0);

  // A preview at half scale showing a 300 x 200 part from (100, 50).
  g.width = 300;
  g.height = 200;
  g.previewScale = 2.0;
  g.offsetX = 100;
  g.offsetY = 50;
  r.EffectKind = kFamilySingle;
  c = DerivedCentre(r, g);
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
