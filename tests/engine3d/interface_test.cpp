// The exported switches, Z-buffer installation, perspective, depth
// conversions and sorting.
#include "engine3d/engine3d.h"
#include "platform/platform.h"
#include "tests/engine3d/scenes.h"

#include <gtest/gtest.h>

#include <cstring>

namespace rf::test {
namespace {

// Must run before any test changes a switch.
TEST(EngineSwitches, DefaultsOnLoad) {
  EXPECT_EQ(_DrawMode, 6);
  EXPECT_EQ(_Quality, 1);
  EXPECT_EQ(_UseMultyRefract, 1);
  EXPECT_EQ(_UseCustomMats, 1);
  EXPECT_EQ(_Persp_Far, 1000.0f);
  EXPECT_EQ(ZBuff, nullptr);
  EXPECT_EQ(__mmx_present(), 1);
}

TEST(EngineSwitches, QualityIsClampedToOne) {
  __SetQuality(7);
  EXPECT_EQ(__GetQuality(), 1);
  __SetQuality(0);
  EXPECT_EQ(__GetQuality(), 0);
  ResetEngine();
}

TEST(EngineZBuffer, UnusableBufferIsRefused) {
  float buffer[100];
  float* got = nullptr;
  int w = 0, h = 0;
  __SetZBuff(buffer, 10, 10);
  __SetZBuff(nullptr, 10, 10);
  __GetZBuff(got, w, h);
  EXPECT_EQ(got, nullptr);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 0);
  __SetZBuff(buffer, 0, 10);
  EXPECT_EQ(ZBuff, nullptr);
  __SetZBuff(buffer, 10, -3);
  EXPECT_EQ(ZBuff, nullptr);
}

TEST(EnginePerspective, FarOrValueZeroOnlyStores) {
  for (float far : {0.0f, 500.0f}) {
    __Point3ds points[1] = {P(10, 20, 100)};
    __AddPersp(1, points, far == 0 ? 1.0f : 0.0f, 3, 4, far);
    EXPECT_EQ(_Persp_Far, far);
    EXPECT_EQ(points[0].x, 10);
    EXPECT_EQ(points[0].y, 20);
  }
  ResetEngine();
}

TEST(EnginePerspective, MovesAwayFromCentreAndClampsAtFar) {
  __Point3ds points[3] = {P(30, 14, 500), P(11, 5, 1000), P(10, 4, 2000)};
  points[0].u = 0.25f;
  __AddPersp(3, points, 1, 10, 4, 1000);
  // f = 1 - 500/1000 = 0.5: offsets from the centre double.
  EXPECT_FLOAT_EQ(points[0].x, 50);
  EXPECT_FLOAT_EQ(points[0].y, 24);
  EXPECT_EQ(points[0].z, 500);
  EXPECT_EQ(points[0].u, 0.25f);
  // At z = far, f is held at 1e-8.
  EXPECT_FLOAT_EQ(points[1].x, 1 / 1e-8f + 10);
  // Behind it f = -1: mirrored through the centre.
  EXPECT_FLOAT_EQ(points[2].x, 10);
  EXPECT_FLOAT_EQ(points[2].y, 4);
  ResetEngine();
}

unsigned char* PagesWith(const std::vector<uint8_t>& bytes) {
  auto* block = static_cast<unsigned char*>(platform::AllocPages(bytes.size()));
  std::memcpy(block, bytes.data(), bytes.size());
  return block;
}

TEST(EngineConversions, EightToSixteenAndBack) {
  unsigned char* pixels = PagesWith({0, 128, 255, 1});
  __ConvertBYTE8TO16(&pixels, 1, 1, 4);
  uint16_t deep[4];
  std::memcpy(deep, pixels, sizeof deep);
  EXPECT_EQ(deep[1], 16448);
  EXPECT_EQ(deep[2], 32768);
  EXPECT_EQ(deep[3], 129);  // (32768 | 128) / 255
  platform::FreePages(pixels);

  // Every 8-bit value survives the round trip.
  std::vector<uint8_t> all(256);
  for (int i = 0; i < 256; ++i) all[i] = uint8_t(i);
  unsigned char* round = PagesWith(all);
  __ConvertBYTE8TO16(&round, 64, 1, 256);
  __ConvertBYTE16TO8(&round, 64, 1, 256);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(round[i], i);
  platform::FreePages(round);
}

TEST(EngineConversions, TextureFollowsDepth) {
  unsigned char* pixels = PagesWith({10, 20, 255, 0});
  __Texture t{1, 1, 1, pixels, 0};
  __SetDeep(1);
  __ConvertText(&t);
  EXPECT_EQ(t.isDeep, 1);
  uint16_t third;
  std::memcpy(&third, t.pixels + 4, 2);
  EXPECT_EQ(third, 32768);
  __SetDeep(0);
  __ConvertText(&t);
  EXPECT_EQ(t.isDeep, 0);
  EXPECT_EQ(t.pixels[1], 20);

  __Texture absent{0, 1, 1, t.pixels, 0};
  __SetDeep(1);
  __ConvertText(&absent);
  EXPECT_EQ(absent.isDeep, 0);
  platform::FreePages(t.pixels);
  ResetEngine();
}

TEST(EngineSort, FarthestFirstAndEmptyUntouched) {
  std::vector<__Point3ds> points = {P(0, 0, 5), P(0, 0, -3), P(0, 0, 1), P(0, 0, 0)};
  std::vector<__Triangle3ds> triangles = {T(0, 0, 0), T(1, 2, 3), T(2, 2, 2), T(1, 1, 1)};
  __Sort(0, triangles.data(), points.data());
  EXPECT_EQ(triangles[0].a, 0);
  __Sort(4, triangles.data(), points.data());
  // Sums: 15, -2, 3, -9.
  EXPECT_EQ(triangles[0].b, 1);
  EXPECT_EQ(triangles[1].b, 2);
  EXPECT_EQ(triangles[2].a, 2);
  EXPECT_EQ(triangles[3].a, 0);
}

}  // namespace
}  // namespace rf::test
