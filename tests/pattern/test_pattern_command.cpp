// `rimeflower pattern`, run as a user would: formats, stages, refusals and
// the out-of-budget exit.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

class PatternCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* binaryDir = std::getenv("RF_BINARY_DIR");
    if (!binaryDir) GTEST_SKIP() << "RF_BINARY_DIR is not set";
    program = fs::path(binaryDir) / "bin" / "rimeflower";
    if (!fs::exists(program)) GTEST_SKIP() << "no " << program;
    dir = fs::temp_directory_path() / ("rf_pattern_command_" + std::to_string(std::random_device{}()));
    fs::create_directories(dir);
  }
  void TearDown() override {
    if (!dir.empty()) fs::remove_all(dir);
  }

  // Runs the command with stdout and stderr captured; answers the exit code.
  int Run(const std::string& arguments) {
    const std::string command = "\"" + program.string() + "\" pattern " + arguments + " > \"" +
                                (dir / "stdout").string() + "\" 2> \"" + (dir / "stderr").string() + "\"";
    const int status = std::system(command.c_str());
    out = Read(dir / "stdout");
    err = Read(dir / "stderr");
    // std::system answers a wait status where processes have one.
    return status > 255 ? (status >> 8) & 0xFF : status;
  }

  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  static std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  static size_t CountPrefix(const std::string& text, const std::string& prefix) {
    size_t n = 0;
    for (const std::string& line : Lines(text))
      if (line.compare(0, prefix.size(), prefix) == 0) ++n;
    return n;
  }

  static std::vector<std::vector<double>> Numbers(const std::string& text) {
    std::vector<std::vector<double>> rows;
    for (const std::string& line : Lines(text)) {
      std::istringstream in(line);
      std::vector<double> row;
      for (double v; in >> v;) row.push_back(v);
      rows.push_back(row);
    }
    return rows;
  }

  fs::path program, dir;
  std::string out, err;
};

TEST_F(PatternCommand, TextToStandardOutputWithTheCountOnStandardError) {
  ASSERT_EQ(Run(""), 0) << err;
  // The default record grows "Floral 3" along "U-like" on 1000 x 750.
  const auto rows = Numbers(out);
  EXPECT_EQ(rows.size(), 12197u);
  for (const auto& row : rows) ASSERT_EQ(row.size(), 19u);
  EXPECT_EQ(err, "12197 triangles\n");
  EXPECT_EQ(out.find("  "), std::string::npos);  // single blanks only
}

TEST_F(PatternCommand, SceneStageScalesTheGrownList) {
  const std::string base = "--size 400x300 --set EffectKind=1 --set Scale=200 --format txt -o ";
  ASSERT_EQ(Run(base + "\"" + (dir / "grown.txt").string() + "\" --stage grown"), 0) << err;
  ASSERT_EQ(Run(base + "\"" + (dir / "scene.txt").string() + "\" --stage scene"), 0) << err;
  EXPECT_TRUE(out.empty());
  const auto grown = Numbers(Read(dir / "grown.txt")), scene = Numbers(Read(dir / "scene.txt"));
  ASSERT_EQ(grown.size(), scene.size());
  ASSERT_FALSE(grown.empty());
  for (size_t i = 0; i < grown.size(); ++i) {
    for (int corner = 0; corner < 3; ++corner) {
      for (int c = 0; c < 3; ++c)  // positions double, normals stay
        EXPECT_NEAR(scene[i][corner * 6 + c], 2 * grown[i][corner * 6 + c], 1e-3);
      for (int c = 3; c < 6; ++c) EXPECT_EQ(scene[i][corner * 6 + c], grown[i][corner * 6 + c]);
    }
  }
  EXPECT_FALSE(fs::exists(dir / "scene.txt.tmp"));
}

TEST_F(PatternCommand, ObjAndSvgFollowTheFileName) {
  ASSERT_EQ(Run("--size 640x480 --set EffectKind=3 --set PatternKind=2 -o \"" + (dir / "p.obj").string() + "\""), 0);
  const std::string obj = Read(dir / "p.obj");
  const size_t n = size_t(std::atol(err.c_str()));
  ASSERT_GT(n, 0u);
  EXPECT_EQ(CountPrefix(obj, "v "), 3 * n);
  EXPECT_EQ(CountPrefix(obj, "vn "), 3 * n);
  EXPECT_EQ(CountPrefix(obj, "f "), n);
  EXPECT_NE(obj.find("f 1//1 3//3 2//2\n"), std::string::npos);

  ASSERT_EQ(Run("--size 640x480 --set EffectKind=3 --set PatternKind=2 -o \"" + (dir / "p.svg").string() + "\""), 0);
  const std::string svg = Read(dir / "p.svg");
  EXPECT_NE(svg.find("width=\"640\" height=\"480\""), std::string::npos);
  EXPECT_EQ(CountPrefix(svg, "<polygon "), n);
  EXPECT_NE(svg.find("</svg>"), std::string::npos);
}

TEST_F(PatternCommand, RefusesWhatItCannotGrow) {
  EXPECT_EQ(Run("--set \"Emitter Type=0\""), 2);
  EXPECT_NE(err.find("Emitter Type 0"), std::string::npos);
  EXPECT_TRUE(out.empty());
  // The single family needs no emitter at all.
  EXPECT_EQ(Run("--set \"Emitter Type=1\" --set EffectKind=3 --set PatternKind=1"), 0) << err;

  EXPECT_EQ(Run("--size 0x10"), 2);
  EXPECT_EQ(Run("--size 100"), 2);
  EXPECT_EQ(Run("--format png"), 2);
  EXPECT_EQ(Run("--set NoSuchParameter=1"), 2);
  EXPECT_EQ(Run("--stage"), 2);
}

TEST_F(PatternCommand, RunawayGrowthFailsCleanly) {
  const fs::path target = dir / "big.txt";
  EXPECT_EQ(Run("--set EffectKind=1 --set MaxIterations=10 --set MaxTriangles=30 -o \"" + target.string() + "\""), 1);
  EXPECT_NE(err.find("too large"), std::string::npos) << err;
  EXPECT_FALSE(fs::exists(target));
  EXPECT_FALSE(fs::exists(dir / "big.txt.tmp"));
}

}  // namespace
