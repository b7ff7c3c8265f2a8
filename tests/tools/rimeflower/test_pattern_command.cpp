// `rimeflower pattern`: formats, emitters from paths and contours, refusals
// and the out-of-budget exit.
#include <cstdlib>
#include <iterator>
#include <sstream>
#include <vector>

#include "tests/tools/rimeflower/command_test.h"

namespace rf::tools::testing {
namespace {

using PatternCommand = CommandTest;

// The numbers of every line of `text`.
std::vector<std::vector<double>> Rows(const std::string& text) {
  std::vector<std::vector<double>> rows;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    std::istringstream numbers(line);
    rows.emplace_back(std::istream_iterator<double>(numbers), std::istream_iterator<double>());
  }
  return rows;
}

size_t CountPrefix(const std::string& text, const std::string& prefix) {
  size_t n = 0;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) n += line.compare(0, prefix.size(), prefix) == 0 ? 1 : 0;
  return n;
}

TEST_F(PatternCommand, TextToStandardOutputWithTheCountOnStandardError) {
  ASSERT_EQ(Run("pattern"), 0) << err;
  // The default record grows "Floral 3" along "U-like" on 1000 x 750.
  const auto rows = Rows(out);
  EXPECT_EQ(rows.size(), 12197u);
  for (const auto& row : rows) ASSERT_EQ(row.size(), 19u);
  EXPECT_EQ(err, "12197 triangles\n");
  EXPECT_EQ(out.find("  "), std::string::npos);  // single blanks only
}

TEST_F(PatternCommand, ObjAndSvgFollowTheFileName) {
  const std::string single = "pattern --size 640x480 --set EffectKind=3 --set PatternKind=2 -o ";
  ASSERT_EQ(Run(single + Quoted("p.obj")), 0) << err;
  const std::string obj = Read("p.obj");
  const size_t n = size_t(std::atol(err.c_str()));
  ASSERT_GT(n, 0u);
  EXPECT_EQ(CountPrefix(obj, "v "), 3 * n);
  EXPECT_EQ(CountPrefix(obj, "vn "), 3 * n);
  EXPECT_EQ(CountPrefix(obj, "f "), n);
  EXPECT_NE(obj.find("f 1//1 3//3 2//2\n"), std::string::npos);

  ASSERT_EQ(Run(single + Quoted("p.svg")), 0) << err;
  const std::string svg = Read("p.svg");
  EXPECT_NE(svg.find("width=\"640\" height=\"480\""), std::string::npos);
  EXPECT_EQ(CountPrefix(svg, "<polygon "), n);
  EXPECT_NE(svg.find("</svg>"), std::string::npos);
}

TEST_F(PatternCommand, RefusesWhatItCannotGrow) {
  const std::pair<const char*, int> cases[] = {
      {"pattern --size 0x10", 2}, {"pattern --size 100", 2},
      {"pattern --format png", 2}, {"pattern --set NoSuchParameter=1", 2},
      {"pattern --stage", 2},
      // The single family needs no emitter at all.
      {"pattern --set \"Emitter Type=1\" --set EffectKind=3 --set PatternKind=1", 0},
  };
  for (const auto& [arguments, code] : cases) EXPECT_EQ(Run(arguments), code) << arguments << "\n" << err;
  // Paths and contours come only from --path, --image or --selection.
  EXPECT_EQ(Run("pattern --set \"Emitter Type=0\""), 2);
  EXPECT_NE(err.find("Emitter Type 0"), std::string::npos);
  EXPECT_NE(err.find("--path"), std::string::npos);
  EXPECT_TRUE(out.empty());
}

TEST_F(PatternCommand, RunawayGrowthFailsCleanly) {
  EXPECT_EQ(Run("pattern --set EffectKind=1 --set MaxIterations=10 --set MaxTriangles=30 -o " + Quoted("big.txt")), 1);
  EXPECT_NE(err.find("too large"), std::string::npos) << err;
  EXPECT_FALSE(Exists("big.txt"));
  EXPECT_FALSE(Exists("big.txt.tmp"));
}

TEST_F(PatternCommand, GrowsAlongThePathAndMovesWithIt) {
  Write("rect.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\"><path d=\"M 100 80 H 260 V 200 H 100 Z\"/></svg>");
  Write("moved.svg", "<svg><g transform=\"translate(40 0)\"><path d=\"M 100 80 H 260 V 200 H 100 Z\"/></g></svg>");
  auto grow = [&](const char* svg, const std::string& more) {
    return Run("pattern --size 400x300 --stage grown --path " + Quoted(svg) + " " + more);
  };
  ASSERT_EQ(grow("rect.svg", "--set \"Emitter Type=0\" --set EffectKind=2"), 0) << err;
  const auto here = Rows(out);
  ASSERT_GT(here.size(), 50u);
  ASSERT_EQ(grow("moved.svg", "--set \"Emitter Type=0\" --set EffectKind=2"), 0) << err;
  const auto there = Rows(out);
  // Same growth, shifted by the translation: the emitter follows the path
  // through the records and back without a bias.
  ASSERT_EQ(here.size(), there.size());
  for (size_t i = 0; i < here.size(); ++i)
    for (int corner = 0; corner < 3; ++corner) {
      EXPECT_NEAR(there[i][6 * corner] - here[i][6 * corner], 40.0, 1e-3) << i;
      EXPECT_NEAR(there[i][6 * corner + 1], here[i][6 * corner + 1], 1e-3) << i;
    }

  // Emitter Type 3 takes the path when there is one; 2 stays with the fixed
  // layout, and says so.
  ASSERT_EQ(grow("rect.svg", "--set \"Emitter Type=0\" --set EffectKind=1"), 0);
  const std::string zero = out;
  ASSERT_EQ(grow("rect.svg", "--set \"Emitter Type=3\" --set EffectKind=1"), 0);
  EXPECT_EQ(out, zero);
  ASSERT_EQ(grow("rect.svg", "--set \"Emitter Type=2\" --set EffectKind=1"), 0);
  EXPECT_NE(out, zero);
  EXPECT_NE(err.find("fixed layout"), std::string::npos);
}

TEST_F(PatternCommand, PathsThatGiveNothing) {
  // Curves under 5 pixels: an empty emitter, no triangles, no failure.
  Write("short.svg", "<svg><path d=\"M 10 10 l 3 0 l 0 3\"/></svg>");
  // Dropped in decoding (too far out for the document size in points): no
  // curve, so Emitter Type 0 falls to contours, which this command cannot grow.
  Write("far.svg", "<svg><path d=\"M 0 0 L 40000 0\"/></svg>");
  Write("bad.svg", "<svg><path d=\"M 10 10 L 20\"/></svg>");
  const struct {
    const char* svg;
    int code;
    const char* message;
  } cases[] = {{"short.svg", 0, "0 triangles"}, {"far.svg", 1, "no curve"}, {"bad.svg", 1, "line 1: expected a number"}};
  for (const auto& c : cases) {
    EXPECT_EQ(Run("pattern --size 400x300 --set \"Emitter Type=0\" --set EffectKind=1 --path " + Quoted(c.svg)), c.code)
        << c.svg;
    EXPECT_TRUE(out.empty()) << c.svg;
    EXPECT_NE(err.find(c.message), std::string::npos) << c.svg << ": " << err;
  }
}

TEST_F(PatternCommand, GrowsAlongASelectionOrAnImagesContours) {
  Image mask;
  mask.width = 200;
  mask.height = 150;
  mask.mode = ImageMode::Gray;
  mask.pixels.assign(size_t(200) * 150, 0);
  for (int y = 40; y < 110; ++y)
    for (int x = 50; x < 150; ++x) mask.pixels[size_t(y) * 200 + x] = 255;
  std::string error;
  ASSERT_TRUE(tools::WriteImage(Path("mask.png"), mask, FileFormat::PNG, error)) << error;
  ASSERT_EQ(Run("pattern --selection " + Quoted("mask.png") + " --set \"Emitter Type=1\" --set EffectKind=1"), 0)
      << err;
  EXPECT_GT(Rows(out).size(), 0u);
  ASSERT_EQ(Run("pattern --image " + Quoted("mask.png") + " --set \"Emitter Type=3\""), 0) << err;
  EXPECT_GT(Rows(out).size(), 0u);
  EXPECT_EQ(Run("pattern --image " + Quoted("mask.png") + " --size 10x10"), 2);
  EXPECT_EQ(Run("pattern --image " + Quoted("missing.png")), 1);
}

}  // namespace
}  // namespace rf::tools::testing
