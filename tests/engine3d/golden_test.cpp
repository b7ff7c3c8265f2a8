// Golden pictures of one small scene in every draw mode. The renders are
// deterministic, so on one build they match exactly; the tolerance covers
// another compiler's or C library's last-bit differences in sqrt, pow and
// atan2, which move a channel by a unit or two and, rarely, flip a border
// pixel's coverage. A real fault (a missing edge, a wrong mode, a shifted
// span) changes far more pixels than the allowance.
//
// RF_UPDATE_GOLDEN=1 rewrites the pictures in the source tree.
#include "tests/engine3d/scenes.h"
#include "tools/imagefile/image_io.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace rf::test {
namespace {

constexpr int kChannelTolerance = 3;
constexpr double kOutlierShare = 0.004;

std::string SourceDir() {
  const char* dir = std::getenv("RF_SOURCE_DIR");
  return dir ? dir : ".";
}

void CheckGolden(const std::string& name, const Canvas& canvas) {
  tools::Image rendered;
  rendered.width = canvas.width;
  rendered.height = canvas.height;
  rendered.hasAlpha = true;
  rendered.pixels = canvas.target;
  std::string error;
  const tools::FileFormat png = tools::FileFormat::PNG;
  const char* binary = std::getenv("RF_BINARY_DIR");
  if (binary) tools::WriteImage(std::string(binary) + "/engine3d_" + name + ".png", rendered, png, error);
  const std::string path = SourceDir() + "/tests/engine3d/golden/" + name + ".png";
  if (std::getenv("RF_UPDATE_GOLDEN")) {
    ASSERT_TRUE(tools::WriteImage(path, rendered, png, error)) << error;
    return;
  }
  tools::Image golden;
  ASSERT_TRUE(tools::ReadImage(path, golden, error)) << "missing golden picture " << path << ": " << error;
  ASSERT_EQ(golden.Channels(), 4);
  ASSERT_EQ(golden.depth, 8);
  ASSERT_EQ(golden.width, rendered.width);
  ASSERT_EQ(golden.height, rendered.height);
  int outliers = 0, worst = 0;
  for (size_t i = 0; i < golden.pixels.size(); i += 4) {
    int difference = 0;
    for (int c = 0; c < 4; ++c)
      difference = std::max(difference, std::abs(golden.pixels[i + c] - rendered.pixels[i + c]));
    worst = std::max(worst, difference);
    if (difference > kChannelTolerance) ++outliers;
  }
  const int allowed = int(kOutlierShare * rendered.width * rendered.height);
  EXPECT_LE(outliers, allowed) << name << ": worst channel difference " << worst;
}

struct ModeCase {
  const char* name;
  int mode;
  int quality;
};

class GoldenModes : public ::testing::TestWithParam<ModeCase> {
 protected:
  void SetUp() override { ResetEngine(); }
  void TearDown() override { ResetEngine(); }
};

TEST_P(GoldenModes, MatchesPicture) {
  const ModeCase c = GetParam();
  __SetDrawMode(uint8_t(c.mode));
  __SetQuality(uint8_t(c.quality));
  _WireSize = 1.5f;
  Scene s = GoldenScene();
  Canvas canvas = CheckerCanvas();
  s.Render(canvas);
  EXPECT_FALSE(canvas.Unchanged());
  CheckGolden(c.name, canvas);
}

INSTANTIATE_TEST_SUITE_P(
    Engine, GoldenModes,
    ::testing::Values(ModeCase{"mode0_rough", 0, 1}, ModeCase{"mode1_line", 1, 1},
                      ModeCase{"mode1_line_q0", 1, 0}, ModeCase{"mode2_wire", 2, 1},
                      ModeCase{"mode3_flat", 3, 1}, ModeCase{"mode6_phong", 6, 1},
                      ModeCase{"mode6_phong_q0", 6, 0}, ModeCase{"mode8_subdivided", 8, 1},
                      ModeCase{"mode9_patch", 9, 1}, ModeCase{"mode10_plain_patch", 10, 1}),
    [](const ::testing::TestParamInfo<ModeCase>& info) { return std::string(info.param.name); });

// Glass with aberration and a bump map over the checkered background.
TEST(GoldenGlass, MatchesPicture) {
  ResetEngine();
  Scene s = GoldenScene();
  s.materials[0].diffuse[0] = s.materials[0].diffuse[1] = s.materials[0].diffuse[2] = 0.5f;
  s.materials[0].selfIllum = 1;
  s.glass = {GlassProp{1, 0.5f, 6.0f, 60.0f}, GlassProp{0, 0, 0, 0}};
  std::vector<uint8_t> bump(32 * 32 * 4, 0);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) bump[(y * 32 + x) * 4 + 2] = uint8_t(((x / 4) % 2) * 200);
  s.textures.assign(8, __Texture{});
  s.textures[2] = __Texture{1, 32, 32, bump.data(), 0};
  std::strcpy(s.materials[0].bumpMap.mapName, "Bump");
  s.materials[0].bumpMap.percent = 0.03f;
  s.materials[0].bumpMap.uScale = s.materials[0].bumpMap.vScale = 1;
  Canvas canvas = CheckerCanvas();
  s.Render(canvas);
  CheckGolden("mode6_glass_bump", canvas);
  ResetEngine();
}

}  // namespace
}  // namespace rf::test
