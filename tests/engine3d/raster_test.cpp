// The rasteriser: Z-buffer rules, draw modes, facing, coverage, the write
// rule and compositing, 16-bit images and unusable images. (Arbitrary
// geometry, bit patterns included, is tests/fuzz/fuzz_engine.cpp's.)
#include "engine3d/render.h"
#include "tests/engine3d/scenes.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

namespace rf::test {
namespace {

class Raster : public ::testing::Test {
 protected:
  void SetUp() override { ResetEngine(); }
  void TearDown() override { ResetEngine(); }

  // One opaque flat-coloured triangle or mesh under a white light.
  static Scene Flat(float r = 0.6f, float g = 0.4f, float b = 0.2f) {
    Scene s;
    s.materials = {FlatMaterial(r, g, b)};
    s.lights = {Light(0, 0, 1000)};
    return s;
  }
};

using PixelSet = std::set<std::pair<int, int>>;

PixelSet ChangedPixels(const Canvas& c) {
  PixelSet changed;
  const size_t bytesPerPixel = c.deep ? 8 : 4;
  for (int y = 0; y < c.height; ++y)
    for (int x = 0; x < c.width; ++x) {
      const size_t at = (size_t(y) * c.width + x) * bytesPerPixel;
      if (std::memcmp(&c.target[at], &c.source[at], bytesPerPixel) != 0) changed.insert({x, y});
    }
  return changed;
}

TEST_F(Raster, CallerZBufferOfRenderSizeIsKeptAndShared) {
  std::vector<float> depth(20 * 20);
  std::memset(depth.data(), 0xFE, depth.size() * sizeof(float));
  __SetZBuff(depth.data(), 20, 20);
  Canvas canvas(20, 20);

  Scene nearRed = Flat(1, 0, 0);
  AddGrid(nearRed, 2, 2, 12, 12, 1, 1, 50);
  nearRed.Render(canvas);
  EXPECT_EQ(ZBuff, depth.data());
  EXPECT_FLOAT_EQ(depth[5 * 20 + 5], 50);
  // Untouched depths keep the fill.
  uint32_t bits;
  std::memcpy(&bits, &depth[19 * 20 + 19], 4);
  EXPECT_EQ(bits, 0xFEFEFEFEu);

  Scene farBlue = Flat(0, 0, 1);
  AddGrid(farBlue, 6, 6, 18, 18, 1, 1, 10);
  farBlue.Render(canvas);
  EXPECT_EQ(canvas.Get(8, 8, 0), 255);  // the nearer red stays
  EXPECT_EQ(canvas.Get(8, 8, 2), 0);
  EXPECT_EQ(canvas.Get(15, 15, 2), 255);  // blue where nothing was nearer
  EXPECT_EQ(ZBuff, depth.data());
}

TEST_F(Raster, ZBufferOfAnotherSizeIsReplacedForTheCall) {
  std::vector<float> depth(10 * 10, -5.0f);
  __SetZBuff(depth.data(), 10, 10);
  Canvas canvas(20, 20);
  Scene s = Flat();
  AddGrid(s, 2, 2, 18, 18, 1, 1, -100);  // behind the caller's -5, if it were used
  s.Render(canvas);
  EXPECT_EQ(ZBuff, nullptr);
  EXPECT_EQ(Zwidth, 0);
  EXPECT_EQ(canvas.Get(5, 5, 0), 153);
  for (float d : depth) ASSERT_EQ(d, -5.0f);  // dropped, not written
}

TEST_F(Raster, RoughDrawsInverseEdgesWithoutZBuffer) {
  for (int deep = 0; deep <= 1; ++deep) {
    __SetDeep(uint8_t(deep));
    __SetDrawMode(0);
    __SetDrawBackFaces(1);
    Canvas canvas(16, 16);
    const int high = deep ? 32768 : 255;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) canvas.Set(x, y, x * 10, y * 10, 7, 0);
    canvas.source = canvas.target;
    Scene s = Flat();
    s.points = {P(2, 2), P(10, 2), P(2, 10)};
    s.triangles = {T(0, 1, 2)};
    s.Render(canvas);

    PixelSet expected;
    for (int k = 0; k < 8; ++k) {
      expected.insert({2 + k, 2});       // top edge, its right end excluded
      expected.insert({2, 2 + k});       // left edge, its lower end excluded
      expected.insert({2 + k, 10 - k});  // diagonal from its left end
    }
    EXPECT_EQ(ChangedPixels(canvas), expected) << "deep " << deep;
    EXPECT_EQ(canvas.Get(5, 2, 0), high - 50);
    EXPECT_EQ(canvas.Get(5, 2, 1), high - 20);
    EXPECT_EQ(canvas.Get(5, 2, 3), high);
    EXPECT_EQ(ZBuff, nullptr);
    EXPECT_EQ(_DrawBackFaces, 0);
  }
}

TEST_F(Raster, UnknownModesDrawNothing) {
  for (int mode : {4, 5, 7, 11, 255}) {
    __SetDrawMode(uint8_t(mode));
    Canvas canvas(16, 16, 10, 20, 30);
    Scene s = Flat();
    AddGrid(s, 1, 1, 15, 15, 2, 2);
    s.Render(canvas);
    EXPECT_TRUE(canvas.Unchanged()) << "mode " << mode;
  }
}

TEST_F(Raster, FacingTests) {
  struct Case {
    int mode;
    int dubleSide;
    int multyRefract;
    bool drawn;
  };
  const Case cases[] = {
      {6, 0, 1, false}, {6, 1, 1, true}, {6, 0, 2, true}, {3, 0, 2, true},
      {1, 0, 2, false},  // the line mode has no multi-refraction exception
      {1, 1, 1, true},   {0, 0, 2, false},
  };
  for (const Case& c : cases) {
    ResetEngine();
    __SetDrawMode(uint8_t(c.mode));
    __SetDubleSide(uint8_t(c.dubleSide));
    __SetUseMultyRefract(uint8_t(c.multyRefract));
    Canvas canvas(20, 20);
    Scene s = Flat();
    s.points = {P(2, 2), P(2, 16), P(16, 2)};  // back-facing
    s.triangles = {T(0, 1, 2)};
    s.Render(canvas);
    EXPECT_EQ(!canvas.Unchanged(), c.drawn)
        << "mode " << c.mode << " double " << c.dubleSide << " refract " << c.multyRefract;
  }
}

TEST_F(Raster, BackPassDrawsBackFacesAndFeedsTheGlass) {
  __SetQuality(0);
  Scene s = Flat(1, 0, 0);
  s.materials.push_back(FlatMaterial(0.5f, 0.5f, 0.5f));
  s.glass = {GlassProp{0, 0, 0, 0}, GlassProp{1, 0, 0, 0}};
  s.points = {P(2, 2), P(2, 18), P(18, 2),            // red, facing away
              P(1, 1), P(19, 1), P(19, 19), P(1, 19)};  // grey glass, facing
  s.triangles = {T(0, 1, 2, 0), T(3, 4, 5, 1), T(3, 5, 6, 1)};

  Canvas plain(20, 20, 0, 0, 200);
  s.Render(plain);
  // Without the back pass the glass shows the blue source everywhere.
  EXPECT_EQ(plain.Get(5, 5, 0), 0);
  EXPECT_EQ(plain.Get(5, 5, 2), 200);

  __SetDrawBackFaces(1);
  Canvas twoPass(20, 20, 0, 0, 200);
  s.Render(twoPass);
  EXPECT_EQ(_DrawBackFaces1, 0);
  EXPECT_EQ(twoPass.Get(5, 5, 0), 255);  // the back face, seen through the glass
  EXPECT_EQ(twoPass.Get(5, 5, 2), 0);
  EXPECT_EQ(twoPass.Get(16, 16, 2), 200);  // glass over the plain source
}

TEST_F(Raster, QualityZeroSpansAreExact) {
  __SetQuality(0);
  Canvas canvas(12, 12);
  Scene s = Flat(1, 1, 1);
  s.points = {P(0.5f, 0.5f), P(8.5f, 0.5f), P(0.5f, 8.5f)};
  s.triangles = {T(0, 1, 2)};
  s.Render(canvas);
  // Rows 1..8; each from trunc(0.5) = 0 to below the hypotenuse x = 9 - y.
  PixelSet expected;
  for (int y = 1; y <= 8; ++y)
    for (int x = 0; x <= 8 - y; ++x) expected.insert({x, y});
  EXPECT_EQ(ChangedPixels(canvas), expected);
  EXPECT_EQ(canvas.Get(0, 1, 0), 255);
  EXPECT_EQ(canvas.Get(0, 1, 3), 255);
}

TEST_F(Raster, EdgePixelsGetDistanceCoverage) {
  Canvas canvas(26, 26);
  Scene s = Flat(1, 1, 1);
  AddGrid(s, 5.5f, 5.5f, 20.5f, 20.5f, 1, 1);
  s.Render(canvas);
  // Half a pixel outside the sides: coverage 0.5 over black.
  EXPECT_NEAR(canvas.Get(5, 12, 0), 128, 1);
  EXPECT_NEAR(canvas.Get(21, 12, 0), 128, 1);
  EXPECT_NEAR(canvas.Get(12, 5, 0), 128, 1);
  EXPECT_NEAR(canvas.Get(12, 21, 0), 128, 1);
  // Diagonally off a corner: 1 - sqrt(0.5).
  EXPECT_NEAR(canvas.Get(5, 5, 0), 75, 1);
  EXPECT_EQ(canvas.Get(4, 12, 0), 0);
  for (int y = 6; y <= 20; ++y)
    for (int x = 6; x <= 20; ++x) ASSERT_EQ(canvas.Get(x, y, 0), 255) << x << "," << y;
}

// A mesh of adjacent triangles must look like one surface: no gaps, and
// with a transparent material no pixel blended twice along a shared edge.
TEST_F(Raster, SharedEdgesLeaveNoSeam) {
  for (float transparency : {0.0f, -0.5f}) {
    for (int quality = 0; quality <= 1; ++quality) {
      if (quality == 0 && transparency != 0) continue;  // stepped spans overlap by design
      ResetEngine();
      __SetQuality(uint8_t(quality));
      Canvas canvas(48, 48, 0, 0, 0, 255);
      Scene s = Flat(0.6f, 0.4f, 0.2f);
      s.materials[0].transparency = transparency;
      AddGrid(s, 3.3f, 4.1f, 44.7f, 43.6f, 7, 5);
      // Jitter the inner grid points so that the shared edges run at odd angles.
      for (size_t i = 0; i < s.points.size(); ++i) {
        const int col = int(i % 8), row = int(i / 8);
        if (col == 0 || col == 7 || row == 0 || row == 5) continue;
        s.points[i].x += 1.7f * float((i * 7) % 5) / 5 - 0.8f;
        s.points[i].y += 1.3f * float((i * 3) % 4) / 4 - 0.6f;
      }
      s.Render(canvas);
      const int r = canvas.Get(10, 10, 0), g = canvas.Get(10, 10, 1);
      EXPECT_NEAR(r, transparency == 0 ? 153 : 77, 1);
      for (int y = 6; y <= 41; ++y)
        for (int x = 5; x <= 43; ++x) {
          ASSERT_EQ(canvas.Get(x, y, 0), r) << x << "," << y << " q" << quality;
          ASSERT_EQ(canvas.Get(x, y, 1), g) << x << "," << y;
          ASSERT_EQ(canvas.Get(x, y, 3), 255);
        }
    }
  }
}

TEST_F(Raster, DeepImagesUseTheSixteenBitRange) {
  __SetDeep(1);
  Canvas canvas(20, 20);
  Scene s = Flat(0.6f, 0.4f, 0.2f);
  AddGrid(s, 2.5f, 2.5f, 18, 18, 1, 1);
  s.Render(canvas);
  EXPECT_EQ(canvas.Get(10, 10, 0), 19661);
  EXPECT_EQ(canvas.Get(10, 10, 1), 13107);
  EXPECT_EQ(canvas.Get(10, 10, 3), 32768);
  EXPECT_NEAR(canvas.Get(2, 10, 0), 19661 / 2, 40);  // border at half coverage over black
}

TEST_F(Raster, SolidFillIgnoresDepthAndSetsTheSize) {
  Canvas canvas(20, 20);
  std::vector<__Point3ds> points = {P(2.5f, 2, 100), P(18, 2, 100), P(2.5f, 18, 100), P(4, 4, -100),
                                    P(18, 4, -100), P(4, 18, -100)};
  std::vector<__Triangle3ds> triangles = {T(0, 1, 2), T(3, 5, 4)};
  __RasterSolid(canvas.target.data(), 20, 20, 80, 6, 2, triangles.data(), points.data(), 0, 0,
                0.2f, 0.4f, 1.0f, 1.0f);
  EXPECT_EQ(Zwidth, 20);
  EXPECT_EQ(Zheight, 20);
  EXPECT_EQ(canvas.Get(6, 6, 0), 51);
  EXPECT_EQ(canvas.Get(6, 6, 2), 255);
  EXPECT_NEAR(canvas.Get(2, 10, 2), 128, 1);  // antialiased border
}

TEST_F(Raster, ColourLinesFollowFrontFacingEdges) {
  Canvas canvas(20, 20);
  std::vector<__Point3ds> points = {P(2, 2), P(17, 2), P(2, 17)};
  std::vector<__Triangle3ds> front = {T(0, 1, 2)}, back = {T(0, 2, 1)};
  __DrawScenesLineColor(1, 255, 0, 0, canvas.target.data(), nullptr, 20, 20, 80, 3, 1,
                        back.data(), points.data(), 0, 0);
  EXPECT_TRUE(canvas.Unchanged());
  __DrawScenesLineColor(1, 255, 0, 0, canvas.target.data(), nullptr, 20, 20, 80, 3, 1,
                        front.data(), points.data(), 0, 0);
  EXPECT_EQ(canvas.Get(9, 2, 0), 255);
  EXPECT_EQ(canvas.Get(2, 9, 0), 255);
  EXPECT_EQ(canvas.Get(8, 8, 0), 0);
}

TEST_F(Raster, UnusableImagesAndHugeRequestsFailCleanly) {
  Canvas canvas(8, 8, 9, 9, 9);
  Scene s = Flat();
  AddGrid(s, -100, -100, 100, 100, 1, 1);
  auto render = [&](unsigned char* target, int w, int h, int stride) {
    __RasterScene(target, canvas.source.data(), w, h, stride, int(s.points.size()),
                  int(s.triangles.size()), s.triangles.data(), s.points.data(), 0, 0, 1,
                  s.materials.data(), nullptr, 1, s.lights.data(), nullptr);
  };
  render(canvas.target.data(), 0, 8, 32);
  EXPECT_FALSE(engine3d::LastRenderCompleted());
  render(canvas.target.data(), 8, 0, 32);
  render(canvas.target.data(), 8, 8, 16);  // rows narrower than the image
  render(nullptr, 8, 8, 32);
  EXPECT_TRUE(canvas.Unchanged());

  // Far more memory than the machine has: nothing allocated, nothing drawn
  // (the triangle would cover the small buffer's pixels first).
  render(canvas.target.data(), 2000000, 2000000, 8000000);
  EXPECT_FALSE(engine3d::LastRenderCompleted());
  EXPECT_TRUE(canvas.Unchanged());
  EXPECT_EQ(ZBuff, nullptr);

  // Null scene arrays render nothing but complete.
  __RasterScene(canvas.target.data(), nullptr, 8, 8, 32, 4, 2, nullptr, nullptr, 0, 0, 0,
                nullptr, nullptr, 0, nullptr, nullptr);
  EXPECT_TRUE(engine3d::LastRenderCompleted());
  EXPECT_TRUE(canvas.Unchanged());
}

}  // namespace
}  // namespace rf::test
