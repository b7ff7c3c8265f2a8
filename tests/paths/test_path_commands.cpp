// The command-line host with SVG paths: `rimeflower pattern --path` grows
// along them, `rimeflower apply --path` hands them to the filter.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tools/common/image_io.h"

namespace rf::tools {
namespace {

namespace fs = std::filesystem;

class PathCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* binaryDir = std::getenv("RF_BINARY_DIR");
    if (!binaryDir) GTEST_SKIP() << "RF_BINARY_DIR is not set";
    program = fs::path(binaryDir) / "bin" / "rimeflower";
    pluginDir = fs::path(binaryDir) / "plugin";
    if (!fs::exists(program)) GTEST_SKIP() << "no " << program;
    dir = fs::path(::testing::TempDir()) /
          (std::string("rf-paths-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    Write("rect.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\"><path d=\"M 100 80 H 260 V 200 H 100 Z\"/></svg>");
  }
  void TearDown() override {
    if (!dir.empty()) fs::remove_all(dir);
  }

  void Write(const std::string& name, const std::string& text) { std::ofstream(dir / name) << text; }
  std::string At(const std::string& name) const { return "\"" + (dir / name).string() + "\""; }

  // Runs the program with stdout and stderr captured; answers the exit code.
  int Run(const std::string& arguments) {
    const std::string command =
        "\"" + program.string() + "\" " + arguments + " > " + At("stdout") + " 2> " + At("stderr");
    const int status = std::system(command.c_str());
    out = Read(dir / "stdout");
    err = Read(dir / "stderr");
    return status > 255 ? (status >> 8) & 0xFF : status;
  }
  int Pattern(const std::string& svg, const std::string& more) {
    return Run("pattern --size 400x300 --stage grown --path " + At(svg) + " " + more);
  }

  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  static std::vector<std::vector<double>> Rows(const std::string& text) {
    std::vector<std::vector<double>> rows;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
      std::istringstream numbers(line);
      rows.emplace_back(std::istream_iterator<double>(numbers), std::istream_iterator<double>());
    }
    return rows;
  }

  fs::path program, pluginDir, dir;
  std::string out, err;
};

TEST_F(PathCommands, PatternGrowsAlongThePathAndMovesWithIt) {
  Write("moved.svg", "<svg><g transform=\"translate(40 0)\"><path d=\"M 100 80 H 260 V 200 H 100 Z\"/></g></svg>");
  ASSERT_EQ(Pattern("rect.svg", "--set \"Emitter Type=0\" --set EffectKind=2"), 0) << err;
  const auto here = Rows(out);
  ASSERT_GT(here.size(), 50u);
  ASSERT_EQ(Pattern("moved.svg", "--set \"Emitter Type=0\" --set EffectKind=2"), 0) << err;
  const auto there = Rows(out);
  // Same growth, shifted by the translation: the emitter follows the path
  // through the records and back without a bias.
  ASSERT_EQ(here.size(), there.size());
  for (size_t i = 0; i < here.size(); ++i) {
    ASSERT_EQ(here[i].size(), 19u);
    for (int corner = 0; corner < 3; ++corner) {
      EXPECT_NEAR(there[i][6 * corner] - here[i][6 * corner], 40.0, 1e-3) << i;
      EXPECT_NEAR(there[i][6 * corner + 1], here[i][6 * corner + 1], 1e-3) << i;
    }
  }

  // Emitter Type 3 takes the path when there is one.
  ASSERT_EQ(Pattern("rect.svg", "--set \"Emitter Type=0\" --set EffectKind=1"), 0);
  const std::string zero = out;
  ASSERT_EQ(Pattern("rect.svg", "--set \"Emitter Type=3\" --set EffectKind=1"), 0);
  EXPECT_EQ(out, zero);
  // Emitter Type 2 stays with the fixed layout, and says so.
  ASSERT_EQ(Pattern("rect.svg", "--set \"Emitter Type=2\" --set EffectKind=1"), 0);
  EXPECT_NE(out, zero);
  EXPECT_NE(err.find("fixed layout"), std::string::npos);
}

TEST_F(PathCommands, PatternWithPathsThatGiveNothing) {
  // Curves under 5 pixels: an empty emitter, no triangles, no failure.
  Write("short.svg", "<svg><path d=\"M 10 10 l 3 0 l 0 3\"/></svg>");
  EXPECT_EQ(Pattern("short.svg", "--set \"Emitter Type=0\" --set EffectKind=1"), 0) << err;
  EXPECT_TRUE(out.empty());
  EXPECT_NE(err.find("0 triangles"), std::string::npos);

  // A path wholly dropped in decoding (too far out for the document size in
  // points) leaves no curve, so Emitter Type 0 falls to contours, which this
  // command cannot grow.
  Write("far.svg", "<svg><path d=\"M 0 0 L 40000 0\"/></svg>");
  EXPECT_EQ(Pattern("far.svg", "--set \"Emitter Type=0\" --set EffectKind=1"), 1);
  EXPECT_NE(err.find("no curve"), std::string::npos);
  Write("bad.svg", "<svg><path d=\"M 10 10 L 20\"/></svg>");
  EXPECT_EQ(Pattern("bad.svg", "--set \"Emitter Type=0\""), 1);
  EXPECT_NE(err.find("line 1: expected a number"), std::string::npos);
  // Without --path the paths are still out of reach.
  EXPECT_EQ(Run("pattern --set \"Emitter Type=0\""), 2);
  EXPECT_NE(err.find("--path"), std::string::npos);
}

TEST_F(PathCommands, ApplyHandsThePathToTheFilter) {
  Image image;
  image.width = 400;
  image.height = 300;
  image.mode = ImageMode::RGB;
  image.pixels.assign(image.RowBytes() * 300, 0);
  for (size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = uint8_t(i * 7 % 251);
  std::string error;
  ASSERT_TRUE(WriteImage((dir / "in.png").string(), image, FileFormat::PNG, error)) << error;
  setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
  const std::string common =
      "apply " + At("in.png") + " --quiet --forget --defaults --plugin-dir \"" + pluginDir.string() + "\"";

  // Ice along the rectangle (100..260 x 80..200), the image left alone far
  // from it.
  ASSERT_EQ(Run(common + " -o " + At("out.png") + " --path " + At("rect.svg") +
                " --set \"Emitter Type=0\" --set EffectKind=1"),
            0)
      << err;
  Image result;
  ASSERT_TRUE(ReadImage((dir / "out.png").string(), result, error)) << error;
  ASSERT_TRUE(result.width == 400 && result.height == 300 && result.pixels.size() == image.pixels.size());
  auto changed = [&](const Image& r, int x, int y) {
    const size_t at = (size_t(y) * 400 + size_t(x)) * 3;
    return r.pixels[at] != image.pixels[at] || r.pixels[at + 1] != image.pixels[at + 1] ||
           r.pixels[at + 2] != image.pixels[at + 2];
  };
  int alongTop = 0;
  for (int x = 110; x < 250; ++x) alongTop += changed(result, x, 80) ? 1 : 0;
  EXPECT_GT(alongTop, 70);
  for (const auto& [x, y] : {std::pair{3, 3}, {396, 3}, {3, 296}, {396, 296}, {180, 140}})
    EXPECT_FALSE(changed(result, x, y)) << x << ", " << y;

  Write("bad.svg", "<svg><path d=\"M 10 10 Q 5\"/></svg>");
  EXPECT_EQ(Run(common + " -o " + At("bad.png") + " --path " + At("bad.svg")), 1);
  EXPECT_NE(err.find("bad.svg': line 1"), std::string::npos) << err;
  EXPECT_FALSE(fs::exists(dir / "bad.png"));
  EXPECT_EQ(Run(common + " -o " + At("bad.png") + " --path"), 2);
}

}  // namespace
}  // namespace rf::tools
