// Scene assembly: the engine's records from the parameter record, the bump
// source, the contour emitter, and whole renders with the scene cache.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "host/record/run_state.h"
#include "pattern/bump_source.h"
#include "pattern/mask_emitter.h"
#include "pattern/pattern.h"
#include "pattern/scene_assembly.h"
#include "pattern/scene_cache.h"
#include "platform/platform.h"

namespace rf::pattern {
namespace {

TEST(SceneRecords, DrawModesFollowTheRenderMode) {
  // Render modes 1..7, then out-of-range values falling back to shading.
  const int expected[][2] = {{1, 0}, {2, 1}, {3, 2}, {4, 3}, {5, 6}, {6, 8}, {7, 9}, {0, 6}, {200, 6}};
  for (const auto& e : expected) EXPECT_EQ(DrawModeFor(e[0]), e[1]) << e[0];
}

TEST(SceneRecords, MaterialFromTheRecord) {
  ParameterRecord r;
  ResetToDefaults(r, true);
  r.Diffuse = 0x00336699;  // red in the low byte
  r.Speculare = 0x00FFFFFF;
  r.Shininess = 50;
  r.Transparancy = 40;
  r.SelfIllumination = 25;
  r.BumpPercent = 10;
  const material3ds m = MakeMaterial(r, true, false);
  EXPECT_FLOAT_EQ(m.diffuse[0], 0x99 / 255.0f);
  EXPECT_FLOAT_EQ(m.diffuse[2], 0x33 / 255.0f);
  EXPECT_FLOAT_EQ(m.transparency, -0.4f);
  EXPECT_STREQ(m.bumpMap.mapName, "Bump");
  EXPECT_FLOAT_EQ(m.bumpMap.percent, 2 * 10 * 3 / 1000.0f);
  // The preview doubles weak relief once more.
  EXPECT_FLOAT_EQ(MakeMaterial(r, true, true).bumpMap.percent, 2 * 10 * 2 * 3 / 1000.0f);
  r.BumpPercent = 20;
  EXPECT_FLOAT_EQ(MakeMaterial(r, true, true).bumpMap.percent, 2 * 20 * 3 / 1000.0f);
  EXPECT_STREQ(MakeMaterial(r, false, true).bumpMap.mapName, "");
}

TEST(SceneRecords, TwoLightsOppositeEachOther) {
  ParameterRecord r;
  ResetToDefaults(r, true);
  r.LightAlpha = 0;
  r.LightBeta = 0;
  r.LightColor = 0x0000FF00;
  r.LightMultiplay = 150;
  light3ds lights[2];
  MakeLights(r, lights);
  EXPECT_NEAR(lights[0].x, 2000, 1e-3);
  EXPECT_NEAR(lights[0].z, 0, 1e-3);
  EXPECT_NEAR(lights[1].x, -2000 * std::cos(0.436332312999), 0.05);
  EXPECT_NEAR(lights[1].z, -2000 * std::sin(0.436332312999), 0.05);
  for (const light3ds& l : lights) {
    EXPECT_FLOAT_EQ(l.g, 1.0f);
    EXPECT_FLOAT_EQ(l.multiplier, 1.5f);
  }
}

// ---- The bump source ---------------------------------------------------------

std::vector<uint8_t> Dib(int32_t width, int32_t height, uint16_t bits) {
  const size_t rowBytes = (size_t(std::abs(width)) * 3 + 3) & ~size_t(3);
  std::vector<uint8_t> dib(40 + rowBytes * size_t(std::abs(height)), 0);
  auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&dib[at], &v, 4); };
  put32(0, 40);
  put32(4, uint32_t(width));
  put32(8, uint32_t(height));
  dib[12] = 1;
  std::memcpy(&dib[14], &bits, 2);
  return dib;
}

TEST(BumpSource, RowsAreTurnedTopDownAndRedIsKept) {
  std::vector<uint8_t> dib = Dib(100, 100, 24);
  const size_t rowBytes = 300;
  dib[40 + 0] = 11;   // bottom-left pixel: blue
  dib[40 + 2] = 200;  // bottom-left pixel: red
  dib[40 + rowBytes * 99 + 3 * 5 + 2] = 77;  // top row, x 5
  std::vector<uint8_t> texture(kBumpSourceBytes, 0xEE);
  ASSERT_TRUE(DecodeBumpBitmap(dib.data(), dib.size(), texture.data()));
  EXPECT_EQ(texture[size_t(99) * 300 + 0], 200);
  EXPECT_EQ(texture[size_t(99) * 300 + 1], 0);
  EXPECT_EQ(texture[size_t(99) * 300 + 2], 0);
  EXPECT_EQ(texture[5 * 3], 77);
}

TEST(BumpSource, OtherBitmapsAreRefused) {
  std::vector<uint8_t> texture(kBumpSourceBytes);
  for (const auto& dib : {Dib(99, 100, 24), Dib(100, 100, 32), Dib(100, 101, 24)})
    EXPECT_FALSE(DecodeBumpBitmap(dib.data(), dib.size(), texture.data()));
  std::vector<uint8_t> cut = Dib(100, 100, 24);
  cut.resize(cut.size() - 1);
  EXPECT_FALSE(DecodeBumpBitmap(cut.data(), cut.size(), texture.data()));
  EXPECT_FALSE(DecodeBumpBitmap(nullptr, 0, texture.data()));
}

TEST(BumpSource, TheModulePictureFansRaysFromTheBottomMiddle) {
  uint8_t* texture = BuildBumpSource();
  ASSERT_NE(texture, nullptr);
  auto at = [&](int x, int y) { return int(texture[(size_t(y) * 100 + x) * 3]); };
  int bright = 0;
  for (int x = 40; x <= 60; ++x) bright = std::max(bright, at(x, 97));
  EXPECT_GT(bright, 150);
  EXPECT_LT(at(0, 99), 40);
  EXPECT_LT(at(99, 99), 40);
  // Near the top, bright rays alternate with dark gaps.
  int changes = 0;
  for (int x = 1; x < 100; ++x) changes += (at(x, 3) > 120) != (at(x - 1, 3) > 120);
  EXPECT_GE(changes, 6);
  platform::FreePages(texture);
}

// ---- The contour emitter -----------------------------------------------------

TEST(MaskEmitter, ASquareGivesUnitNormalsInTheCentredFrame) {
  const int w = 80, h = 60;
  std::vector<uint8_t> mask(size_t(w) * h, 0);
  for (int y = 20; y < 40; ++y)
    for (int x = 30; x < 50; ++x) mask[size_t(y) * w + x] = 255;
  ImageGeometry g = FinalGeometry(w, h);
  Emitter emitter;
  BuildEmitterFromMask(mask.data(), g, -float(w / 2), -float(h / 2), emitter);
  ASSERT_FALSE(emitter.segments.empty());
  for (const EmitterSegment& s : emitter.segments) {
    ASSERT_GE(s.start, 0);
    ASSERT_LT(size_t(s.end), emitter.points.size());
    EXPECT_NEAR(std::hypot(s.nx, s.ny), 1.0, 1e-4);
    EXPECT_GT(s.length, 0);
    EXPECT_EQ(s.flag, 1);
  }
  for (const EmitterPoint& p : emitter.points) {
    EXPECT_GE(p.x, -11);  // the square spans -10..10 around the centre
    EXPECT_LE(p.x, 11);
    EXPECT_GE(p.y, -11);
    EXPECT_LE(p.y, 11);
    EXPECT_EQ(p.flag, 1);
  }
}

TEST(MaskEmitter, AFullyTransparentImageHasNoContours) {
  const int w = 40, h = 30;
  std::vector<uint8_t> rgba(size_t(w) * h * 4, 0);
  for (size_t i = 0; i < rgba.size(); i += 4) rgba[i] = rgba[i + 1] = 200;  // colour, alpha 0
  RunState run;
  Emitter emitter;
  BuildMaskEmitter(run, rgba.data(), FinalGeometry(w, h), -20, -15, emitter);
  EXPECT_TRUE(emitter.segments.empty());
}

// ---- Whole renders -------------------------------------------------------------

class SceneRender : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetToDefaults(record_, true);
    record_.EmitterType = kEmitterFixed;
    source_.assign(size_t(kW) * kH * 4, 255);
    for (size_t i = 0; i < source_.size(); i += 4) source_[i] = source_[i + 1] = 90;
    output_.assign(source_.size(), 0);
    RunState& run = run_;
    run.source = source_.data();
    run.output = output_.data();
    run.width = run.filterWidth = kW;
    run.height = run.filterHeight = kH;
    run.rowStride = kW * 4;
  }
  void TearDown() override {
    cache_.ReleaseScene(record_);
    cache_.ReleaseTexture(record_);
  }
  int16_t Render() { return RenderEffect(run_, record_, PathCurves{}, cache_); }
  size_t Changed() const {
    size_t n = 0;
    for (size_t i = 0; i < source_.size(); i += 4) n += std::memcmp(&source_[i], &output_[i], 4) != 0;
    return n;
  }

  static constexpr int kW = 240, kH = 180;
  ParameterRecord record_{};
  RunState run_;
  SceneCache cache_;
  std::vector<uint8_t> source_, output_;
};

TEST_F(SceneRender, TheDefaultsDrawIceAndReleaseEverything) {
  ASSERT_EQ(Render(), 0);
  EXPECT_GT(Changed(), size_t(kW * kH) / 50);
  EXPECT_EQ(record_.CachedTriangles, nullptr);  // a final run keeps nothing
  EXPECT_EQ(record_.TextureCache, nullptr);
}

TEST_F(SceneRender, PreviewReusesTheSceneWithoutPlacingItTwice) {
  run_.dialogOpen = true;
  record_.Scale = 150;
  record_.CenterX = 30;
  ASSERT_EQ(Render(), 0);
  ASSERT_EQ(record_.SceneDirty, 0);
  ASSERT_GT(record_.CachedPointCount, 0u);
  const __Triangle3ds* triangles = record_.CachedTriangles;
  std::vector<__Point3ds> points(record_.CachedPoints, record_.CachedPoints + record_.CachedPointCount);
  const std::vector<uint8_t> first = output_;
  record_.Diffuse = 0x000000FF;
  ASSERT_EQ(Render(), 0);
  EXPECT_EQ(record_.CachedTriangles, triangles);
  ASSERT_EQ(record_.CachedPointCount, points.size());
  EXPECT_EQ(std::memcmp(points.data(), record_.CachedPoints, points.size() * sizeof(__Point3ds)), 0);
  EXPECT_NE(first, output_);  // the colour changed without a regrowth
}

TEST_F(SceneRender, ScaleOneAndCentreZeroLeaveTheGrownCoordinates) {
  run_.dialogOpen = true;
  record_.Scale = 100;
  record_.CenterX = record_.CenterY = 0;
  ASSERT_EQ(Render(), 0);
  PatternList list;
  Emitter emitter;
  BuildFixedEmitter(record_.MaskKind, FinalGeometry(kW, kH), emitter);
  ASSERT_EQ(GrowPattern(record_, &emitter, FinalGeometry(kW, kH), RunHooks{}, 0, list), GrowthStatus::Ok);
  ASSERT_EQ(list.Count(), record_.CachedTriangleCount);
  size_t k = 0;
  for (const RFTrNode* n = list.First(); n; n = n->next, ++k)
    for (int j = 0; j < 3; ++j) {
      ASSERT_EQ(record_.CachedPoints[3 * k + j].x, n->triangle->v[j].x);
      ASSERT_EQ(record_.CachedPoints[3 * k + j].y, n->triangle->v[j].y);
    }
}

TEST_F(SceneRender, AlphaCutFillsTheBackgroundOrLeavesItTransparent) {
  record_.AlphaCut = 1;
  record_.BackgroundColor = 0x00102030;
  ASSERT_EQ(Render(), 0);
  size_t background = 0;
  for (size_t i = 0; i < output_.size(); i += 4)
    background += output_[i] == 0x30 && output_[i + 1] == 0x20 && output_[i + 2] == 0x10 && output_[i + 3] == 255;
  EXPECT_GT(background, size_t(kW * kH) / 2);

  run_.hasAlphaPlane = true;
  record_.SceneDirty = 1;
  ASSERT_EQ(Render(), 0);
  size_t clear = 0;
  for (size_t i = 0; i < output_.size(); i += 4) clear += output_[i + 3] == 0;
  EXPECT_GT(clear, size_t(kW * kH) / 2);
}

// (A cancel's -128 is checked through a whole filter run, in tests/host.)
TEST_F(SceneRender, RunawayGrowthIsOutOfMemory) {
  record_.MaxIterations = 10;
  record_.MaxTriangles = 30;
  run_.memoryBudgetBytes = 1 << 20;
  EXPECT_EQ(Render(), -108);
  EXPECT_EQ(record_.CachedTriangles, nullptr);
}

TEST_F(SceneRender, ASelectionWithTooManyBordersIsOutOfMemory) {
  std::vector<uint8_t> checkerboard(size_t(kW) * kH);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) checkerboard[size_t(y) * kW + x] = (x + y) % 2 ? 255 : 0;
  record_.EmitterType = kEmitterContours;
  run_.haveMask = true;
  run_.maskData = checkerboard.data();
  run_.maskRowBytes = kW;
  run_.memoryBudgetBytes = 1 << 20;
  EXPECT_EQ(Render(), -108);
  EXPECT_EQ(record_.CachedTriangles, nullptr);
}

TEST_F(SceneRender, ForeignPointersAreClearedNotFreed) {
  record_.CachedTriangles = reinterpret_cast<__Triangle3ds*>(uintptr_t(0x1234));
  record_.CachedPoints = reinterpret_cast<__Point3ds*>(uintptr_t(0x5678));
  record_.CachedTriangleCount = 5;
  record_.TextureCache = reinterpret_cast<uint8_t*>(uintptr_t(0x9abc));
  record_.SceneDirty = 0;
  cache_.ForgetForeignPointers(record_);
  EXPECT_EQ(record_.CachedTriangles, nullptr);
  EXPECT_EQ(record_.CachedTriangleCount, 0u);
  EXPECT_EQ(record_.TextureCache, nullptr);
  EXPECT_EQ(record_.SceneDirty, 1);
  ASSERT_EQ(Render(), 0);
}

}  // namespace
}  // namespace rf::pattern
