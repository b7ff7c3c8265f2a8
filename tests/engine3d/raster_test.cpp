// The rasteriser: Z-buffer rules, draw modes, facing, coverage, the write
// rule and compositing, 16-bit images and bad input.
#include "engine3d/internal.h"
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

// ---- Z-buffer ------------------------------------------------------------------

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

TEST_F(Raster, EngineZBufferLivesOnlyForTheCall) {
  Canvas canvas(16, 16);
  Scene s = Flat();
  AddGrid(s, 1, 1, 15, 15, 2, 2);
  s.Render(canvas);
  EXPECT_EQ(ZBuff, nullptr);
  EXPECT_TRUE(engine3d::LastRenderCompleted());
  EXPECT_EQ(engine3d::EngineOwnsZBuff, false);
  EXPECT_EQ(engine3d::BackgroundCopy, nullptr);
}

// ---- Draw modes -------------------------------------------------------------------

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

TEST_F(Raster, RoughSkipsBackFacesAndUsesWidthRows) {
  __SetDrawMode(0);
  Canvas canvas(16, 16);
  Scene s = Flat();
  s.points = {P(2, 2), P(2, 10), P(10, 2)};  // facing away
  s.triangles = {T(0, 1, 2)};
  s.Render(canvas);
  EXPECT_TRUE(canvas.Unchanged());
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

TEST_F(Raster, EveryDrawingModeDrawsAndStaysInsideItsTriangle) {
  for (int mode : {1, 2, 3, 6, 8, 9, 10}) {
    for (int quality = 0; quality <= 1; ++quality) {
      __SetDrawMode(uint8_t(mode));
      __SetQuality(uint8_t(quality));
      Canvas canvas(40, 40);
      Scene s = Flat();
      AddGrid(s, 10, 10, 30, 30, 2, 2);
      s.Render(canvas);
      const PixelSet changed = ChangedPixels(canvas);
      EXPECT_GT(changed.size(), 20u) << "mode " << mode << " quality " << quality;
      for (auto [x, y] : changed) {
        EXPECT_GE(x, 7);
        EXPECT_LE(x, 33);
        EXPECT_GE(y, 7);
        EXPECT_LE(y, 33);
      }
    }
  }
}

// ---- Facing -----------------------------------------------------------------------

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

// ---- Coverage and spans ------------------------------------------------------------

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

// ---- Write rule and compositing ----------------------------------------------------

TEST(RasterPixels, WriteRule) {
  using namespace engine3d;
  ResetEngine();
  std::vector<uint8_t> image(4 * 4, 0);
  RenderWidth = 2;
  RenderHeight = 2;
  RowStride = 8;
  MaxChannelValue = 255;
  PlotPixel(image.data(), 0, 0, 300, -4, 100, 1);  // opaque: clamped colour
  EXPECT_EQ(image[0], 255);
  EXPECT_EQ(image[1], 0);
  EXPECT_EQ(image[2], 100);
  EXPECT_EQ(image[3], 255);
  PlotPixel(image.data(), 1, 0, 200, 100, 50, 0.5f);  // empty pixel: colour, alpha 255 a
  EXPECT_EQ(image[4], 200);
  EXPECT_EQ(image[7], 128);
  PlotPixel(image.data(), 1, 0, 0, 0, 0, 0.25f);  // blend, keep the larger alpha
  EXPECT_EQ(image[4], 150);
  EXPECT_EQ(image[5], 75);
  EXPECT_EQ(image[7], 128);
  const auto before = image;
  PlotPixel(image.data(), 0, 1, 9, 9, 9, 0);
  PlotPixel(image.data(), 0, 1, 9, 9, 9, -1);
  PlotPixel(image.data(), 2, 0, 9, 9, 9, 1);
  PlotPixel(image.data(), -1, 0, 9, 9, 9, 1);
  EXPECT_EQ(image, before);
  RenderWidth = RenderHeight = 0;
}

TEST(RasterPixels, CompositeJoinsEdgesOfOneSurface) {
  using namespace engine3d;
  ResetEngine();
  const int n = 4;
  std::vector<uint8_t> target(n * 4), scratch(n * 4), edge(n * 4, 0), under(n * 4, 0);
  RenderWidth = n;
  RenderHeight = 1;
  RowStride = n * 4;
  MaxChannelValue = 255;
  TargetImage = target.data();
  TriangleScratch = scratch.data();
  EdgeColourBuffer = edge.data();
  UnderColourBuffer = under.data();
  auto set = [](std::vector<uint8_t>& v, int x, int r, int a) {
    v[x * 4] = v[x * 4 + 1] = v[x * 4 + 2] = uint8_t(r);
    v[x * 4 + 3] = uint8_t(a);
  };
  set(target, 0, 0, 255);  // partial over drawn black
  set(target, 1, 0, 0);    // partial over empty
  set(target, 2, 0, 255);  // full
  set(target, 3, 7, 255);  // untouched by an empty scratch pixel
  set(scratch, 0, 200, 102);
  set(scratch, 1, 200, 102);
  set(scratch, 2, 90, 255);
  set(scratch, 3, 50, 0);
  PixelBox box{0, 0, n - 1, 0};
  CompositeScratch(box);
  EXPECT_EQ(target[0], 80);  // 0.4 * 200 over black
  EXPECT_EQ(target[3], 255);
  EXPECT_EQ(target[4], 200);
  EXPECT_EQ(target[7], 102);
  EXPECT_EQ(target[8], 90);
  EXPECT_EQ(under[8], 90);
  EXPECT_EQ(edge[8], 90);
  EXPECT_EQ(target[12], 7);

  // A neighbour of about the same colour continues the edge: it blends over
  // the black under the first, with the larger of the two coverages.
  set(scratch, 0, 210, 153);
  CompositeScratch(box);
  EXPECT_EQ(target[0], 126);  // 0.6 * 210, not a second blend over 80
  EXPECT_EQ(edge[3], 153);
  // A different colour starts a new edge over what is there now.
  set(scratch, 0, 10, 51);
  CompositeScratch(box);
  EXPECT_EQ(target[0], 103);  // 0.2 * 10 + 0.8 * 126
  EXPECT_EQ(under[0], 126);
  TargetImage = TriangleScratch = EdgeColourBuffer = UnderColourBuffer = nullptr;
  RenderWidth = RenderHeight = 0;
}

// ---- Lights and per-pixel function ---------------------------------------------------

std::vector<std::pair<int, int>> g_shaded;
std::vector<std::pair<bool, float>> g_previous;  // (valid, previous x)
float g_lastLightCount = -1;

float RecordingPixel(float originX, float originY, unsigned char*, unsigned char*, float px,
                     float py, float, __Triangle3ds*, material3ds*, int, float& r, float& g,
                     float& b, __Point*, unsigned char, float, float, __Texture*,
                     int lightCount, light3ds*, __PrevInfo* previous, GlassProp*, float, float,
                     float, float) {
  g_shaded.push_back({int(originX + px), int(originY + py)});
  g_previous.push_back({previous && previous->valid, previous ? previous->x : 0});
  g_lastLightCount = float(lightCount);
  r = g = b = 255;
  return 1;
}

TEST_F(Raster, PreviousPixelIsTheLeftNeighbourInTheSpan) {
  __SetQuality(0);
  __SetNewRenderOnePixel(RecordingPixel);
  g_shaded.clear();
  g_previous.clear();
  Canvas canvas(20, 20);
  Scene s = Flat();
  s.offsetX = 3;
  s.offsetY = 2;
  AddGrid(s, 1, 1, 9, 5, 1, 1);
  s.Render(canvas);
  ASSERT_FALSE(g_shaded.empty());
  std::set<std::pair<int, int>> seen;
  for (size_t i = 0; i < g_shaded.size(); ++i) {
    auto [x, y] = g_shaded[i];
    EXPECT_EQ(canvas.Get(x, y, 0), 255);
    const bool leftShadedBefore = seen.count({x - 1, y}) > 0;
    if (g_previous[i].first) {
      EXPECT_FLOAT_EQ(g_previous[i].second, float(x - 1 - 3));
    }
    // The first pixel of each triangle's span has none.
    if (!leftShadedBefore) {
      EXPECT_FALSE(g_previous[i].first) << x << "," << y;
    }
    seen.insert({x, y});
  }
}

TEST_F(Raster, EdgePixelsHaveNoPreviousAndDefaultLightIsMadeForTheCall) {
  __SetNewRenderOnePixel(RecordingPixel);
  g_shaded.clear();
  g_previous.clear();
  Canvas canvas(20, 20);
  Scene s = Flat();
  s.lights.clear();
  s.points = {P(2.5f, 2.5f), P(15.5f, 3.5f), P(4.5f, 16.5f)};
  s.triangles = {T(0, 1, 2)};
  s.Render(canvas);
  EXPECT_EQ(g_lastLightCount, 0);
  EXPECT_EQ(engine3d::DefaultLight, nullptr);  // created and freed inside the call
  // The first shaded pixels are the border's, without a previous pixel.
  ASSERT_FALSE(g_previous.empty());
  EXPECT_FALSE(g_previous.front().first);

  light3ds mine = Light(0, 0, 100);
  __SetLightDef(&mine);
  __SetDefRenderOnePixel();
  Canvas lit(20, 20);
  s.Render(lit);
  EXPECT_EQ(engine3d::DefaultLight, &mine);
  EXPECT_EQ(lit.Get(8, 8, 0), 153);
}

// ---- Other entry points ---------------------------------------------------------------

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
  EXPECT_EQ(canvas.Get(9, 2, 1), 0);
  EXPECT_EQ(canvas.Get(8, 8, 0), 0);
}

// ---- Bad input ----------------------------------------------------------------------

TEST_F(Raster, BadGeometryNeverWritesOutsideTheImage) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  Scene s = Flat();
  s.points = {P(5, 5), P(20, 5), P(5, 20), P(nan, 3), P(inf, 4), P(-inf, 8),
              P(1e30f, 1e30f), P(-1e30f, 2e30f), P(3e30f, -1e30f),
              P(10, 10), P(20, 20), P(30, 30),  // collinear
              P(-1e6f, -1e6f, 0, 0, 0, 1), P(1e6f, -1e6f), P(0, 1e6f)};
  s.triangles = {T(0, 1, 2), T(3, 1, 2), T(0, 4, 5), T(6, 7, 8), T(9, 10, 11),
                 T(0, 0, 1), T(-1, 1, 2), T(0, 1, 99), T(2147483647, 0, 1),
                 T(12, 13, 14), T(0, 1, 2, 7)};
  for (int mode : {0, 1, 2, 3, 6, 8, 9, 10}) {
    for (int quality = 0; quality <= 1; ++quality) {
      ResetEngine();
      __SetDrawMode(uint8_t(mode));
      __SetQuality(uint8_t(quality));
      // Guard rows around the image catch any write outside it.
      Canvas canvas(24, 26, 1, 2, 3, 255);
      const int rowBytes = 24 * 4;
      __RasterScene(canvas.target.data() + rowBytes, canvas.source.data() + rowBytes, 24, 24,
                    rowBytes, int(s.points.size()), int(s.triangles.size()),
                    s.triangles.data(), s.points.data(), 0, 0, 1, s.materials.data(), nullptr,
                    1, s.lights.data(), nullptr);
      for (int x = 0; x < 24; ++x) {
        ASSERT_EQ(canvas.Get(x, 0, 0), 1) << "mode " << mode;
        ASSERT_EQ(canvas.Get(x, 25, 0), 1) << "mode " << mode;
      }
      EXPECT_TRUE(engine3d::LastRenderCompleted());
    }
  }
}

TEST_F(Raster, TrianglesOutsideOrFlatChangeNothing) {
  Canvas canvas(20, 20, 5, 5, 5);
  Scene s = Flat();
  s.points = {P(30, 30), P(50, 30), P(30, 50), P(-40, 2), P(-20, 2), P(-40, 12),
              P(2, 2), P(10, 10), P(18, 18), P(10, 10), P(2, 2), P(6, 6)};
  s.triangles = {T(0, 1, 2), T(3, 4, 5), T(6, 7, 8), T(9, 10, 11)};
  for (int mode : {1, 2, 3, 6, 8, 9, 10}) {
    __SetDrawMode(uint8_t(mode));
    s.Render(canvas);
    EXPECT_TRUE(canvas.Unchanged()) << "mode " << mode;
  }
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
