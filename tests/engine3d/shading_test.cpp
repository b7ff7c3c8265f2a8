// The built-in per-pixel function, called directly.
#include "engine3d/internal.h"
#include "tests/engine3d/scenes.h"

#include <gtest/gtest.h>

#include <utility>

namespace rf::test {
namespace {

using engine3d::DefaultRenderOnePixel;

// One call's arguments, with a pixel at image (20, 10) facing the viewer.
struct Call {
  float px = 20, py = 10, pz = 0;
  __Triangle3ds triangle = T(0, 0, 0);
  std::vector<material3ds> materials;
  std::vector<__Texture> textures;
  std::vector<light3ds> lights;
  std::vector<GlassProp> glass;
  __Point normal{0, 0, 1};
  unsigned char hasUV = 0;
  float u = 0, v = 0;
  float rgb[3] = {-1, -1, -1};
  float planeD = 0;  // with A = B = 0 and C = -1 the plane's depth is planeD

  float Run() {
    if (!materials.empty() && textures.size() < materials.size() * 4)
      textures.resize(materials.size() * 4, __Texture{});
    return DefaultRenderOnePixel(0, 0, nullptr, nullptr, px, py, pz,
                                 &triangle, materials.data(), int(materials.size()), rgb[0],
                                 rgb[1], rgb[2], &normal, hasUV, u, v,
                                 textures.empty() ? nullptr : textures.data(),
                                 int(lights.size()), lights.data(), nullptr,
                                 glass.empty() ? nullptr : glass.data(), 0, 0, -1, planeD);
  }
};

class Shading : public ::testing::Test {
 protected:
  void SetUp() override { ResetEngine(); }
  void TearDown() override {
    engine3d::CurrentBand = nullptr;
    ResetEngine();
  }

  // A light straight above the pixel at (20, 10).
  static light3ds Above(float r = 1, float g = 1, float b = 1) { return Light(20, 10, 1000, r, g, b); }
};

TEST_F(Shading, BuiltInLookIsLitGrey) {
  Call c;
  // Light at 60 degrees from the normal: d = 0.5, so the highlight
  // 0.5^150 x 10 vanishes and the grey shows at half strength.
  c.lights = {Light(20 + 1000 * std::sqrt(3.0f), 10, 1000)};
  EXPECT_EQ(c.Run(), 1.0f);
  EXPECT_NEAR(c.rgb[0], 0.25f * 255, 0.1f);
  EXPECT_EQ(c.rgb[0], c.rgb[2]);

  // A material index equal to the count selects the same look.
  c.materials = {FlatMaterial(1, 0, 0)};
  c.triangle.material = 1;
  c.Run();
  EXPECT_NEAR(c.rgb[2], 0.25f * 255, 0.1f);

  // Facing the light: d = 1, highlight 10 x white saturates.
  Call straight;
  straight.lights = {Above()};
  straight.Run();
  EXPECT_EQ(straight.rgb[0], 255);
}

TEST_F(Shading, TransparencyAndMissingLights) {
  Call c;
  c.materials = {FlatMaterial(1, 1, 1)};
  c.lights = {Above()};
  for (auto [transparency, opacity] : {std::pair{-3.0f, 0.0f}, std::pair{0.5f, 1.0f}}) {
    c.materials[0].transparency = transparency;
    EXPECT_FLOAT_EQ(c.Run(), opacity);
  }

  // No light and no default light: black, the opacity still returned.
  c.lights.clear();
  c.materials[0].transparency = -0.25f;
  EXPECT_FLOAT_EQ(c.Run(), 0.75f);
  EXPECT_EQ(c.rgb[0], 0);
  light3ds fallback = Above(0.5f, 0.5f, 0.5f);
  __SetLightDef(&fallback);
  c.Run();
  EXPECT_NEAR(c.rgb[0], 127.5f, 0.01f);
}

// ---- Texture maps ----------------------------------------------------------------

struct Bitmap {
  std::vector<uint8_t> pixels;
  __Texture texture{};
  Bitmap(int w, int h, uint8_t b, uint8_t g, uint8_t r, uint8_t a) {
    pixels.resize(size_t(w) * h * 4);
    for (size_t i = 0; i < pixels.size(); i += 4) {
      pixels[i] = b;
      pixels[i + 1] = g;
      pixels[i + 2] = r;
      pixels[i + 3] = a;
    }
    texture = __Texture{1, w, h, pixels.data(), 0};
  }
};

map3ds FullMap() {
  map3ds m{};
  m.percent = 1;
  m.uScale = m.vScale = 1;
  return m;
}

TEST_F(Shading, ColourOpacityAndReflectionMaps) {
  Call c;
  c.materials = {FlatMaterial(0, 0, 0)};
  c.lights = {Above()};
  c.hasUV = 1;
  c.u = 0.3f;
  c.v = 0.6f;
  Bitmap colour(4, 4, 10, 20, 200, 255);  // blue, green, red, alpha in memory
  c.textures.assign(4, __Texture{});
  c.textures[0] = colour.texture;
  c.materials[0].colourMap = FullMap();
  c.Run();
  EXPECT_NEAR(c.rgb[0], 200, 0.01f);
  EXPECT_NEAR(c.rgb[1], 20, 0.01f);
  EXPECT_NEAR(c.rgb[2], 10, 0.01f);

  // No UV, no map.
  c.hasUV = 0;
  c.Run();
  EXPECT_EQ(c.rgb[0], 0);
  c.hasUV = 1;

  Bitmap opacity(2, 2, 0, 64, 0, 255);
  c.textures[1] = opacity.texture;
  c.materials[0].opacityMap = FullMap();
  EXPECT_NEAR(c.Run(), 64 / 255.0f, 1e-5f);

  // A reflection map needs no UV: a uniform one replaces the base.
  Call r;
  r.materials = {FlatMaterial(0, 0, 0)};
  r.lights = {Above()};
  Bitmap mirror(3, 3, 30, 60, 90, 255);
  r.textures.assign(4, __Texture{});
  r.textures[3] = mirror.texture;
  r.materials[0].reflectionMap = FullMap();
  r.Run();
  EXPECT_NEAR(r.rgb[0], 90, 0.01f);
  EXPECT_NEAR(r.rgb[2], 30, 0.01f);
}

// ---- Glass --------------------------------------------------------------------------

class Glass : public Shading {
 protected:
  void SetUp() override {
    Shading::SetUp();
    // Each source column's channels hold 10 x column.
    canvas_ = std::make_unique<Canvas>(40, 20);
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 40; ++x) canvas_->Set(x, y, x * 5, x * 5, x * 5, 255);
    canvas_->source = canvas_->target;
    __SetQuality(0);
    Begin();
  }
  // The pixel function reads the switches of the frame, so the frame is
  // made again after a switch changes.
  void Begin() {
    frame_.sw = engine3d::CurrentSwitches();
    frame_.width = 40;
    frame_.height = 20;
    frame_.target = engine3d::Plane{canvas_->target.data(), 160, 0};
    frame_.source = engine3d::Plane{canvas_->source.data(), 160, 0};
    band_.f = &frame_;
    band_.y1 = 20;
    engine3d::CurrentBand = &band_;
  }
  Call GlassCall(float bend, float displacement, float aberration) {
    Call c;
    c.materials = {FlatMaterial(0.5f, 0.5f, 0.5f)};
    c.lights = {Above()};
    c.glass = {GlassProp{1, bend, displacement, aberration}};
    c.normal = {0.6f, 0, 0.8f};
    return c;
  }
  std::unique_ptr<Canvas> canvas_;
  engine3d::Frame frame_;
  engine3d::Band band_;
};

TEST_F(Glass, ShiftAberrationAndTint) {
  // Bend 0 shifts against the normal: red samples x - 0.6 x 10 = 14, value
  // 70; full aberration leaves green and blue in place.
  Call c = GlassCall(0, 10, 100);
  c.Run();
  EXPECT_NEAR(c.rgb[0], 70, 0.01f);
  EXPECT_NEAR(c.rgb[1], 100, 0.01f);
  EXPECT_NEAR(c.rgb[2], 100, 0.01f);
  // Half: green by 0.75 and blue by 0.5625 of the shift.
  Call half = GlassCall(0, 16, 50);
  __SetQuality(1);
  Begin();
  half.Run();
  EXPECT_NEAR(half.rgb[1], (20 - 0.6f * 16 * 0.75f) * 5, 0.5f);

  __SetQuality(0);
  Begin();
  Call tinted = GlassCall(0, 10, 0);
  tinted.materials[0].diffuse[0] = 0.7f;  // +0.2 on red
  tinted.Run();
  EXPECT_NEAR(tinted.rgb[0], 70 + 0.2f * 255, 0.01f);
  // A sample point left of the image falls back to the pixel's own column.
  Call far = GlassCall(0, 100, 0);
  far.Run();
  EXPECT_NEAR(far.rgb[0], 100, 0.01f);
}

TEST_F(Glass, MultiRefractionSeesAnEarlierSurface) {
  std::vector<uint8_t> background = canvas_->source;
  std::vector<float> refract(40 * 20);
  std::memset(refract.data(), 0xFE, refract.size() * 4);
  frame_.backgroundCopy = engine3d::Plane{background.data(), 160, 0};
  frame_.refractDepth = refract.data();
  __SetUseMultyRefract(1);
  frame_.sw = engine3d::CurrentSwitches();
  Call c = GlassCall(0, 0, 0);
  c.normal = {0, 0, 1};
  c.Run();
  EXPECT_NEAR(c.rgb[0], 100, 0.01f);  // nothing seen before: the background copy
  EXPECT_FLOAT_EQ(refract[10 * 40 + 20], 0);

  // A surface drawn at this pixel, and a second glass 40 units nearer.
  canvas_->Set(20, 10, 9, 9, 9, 255);
  Call nearer = GlassCall(0, 0, 0);
  nearer.normal = {0, 0, 1};
  nearer.planeD = 40;
  nearer.Run();
  EXPECT_NEAR(nearer.rgb[0], 9, 0.01f);
  EXPECT_EQ(background[(10 * 40 + 20) * 4], 9);
  EXPECT_FLOAT_EQ(refract[10 * 40 + 20], 40);
}

}  // namespace
}  // namespace rf::test
