// `rimeflower pattern`, run as a user would: formats, stages, refusals and
// the out-of-budget exit.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

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

  static size_t CountPrefix(const std::string& text, const std::string& prefix) {
    size_t n = 0;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) n += line.compare(0, prefix.size(), prefix) == 0 ? 1 : 0;
    return n;
  }

  fs::path program, dir;
  std::string out, err;
};

TEST_F(PatternCommand, TextToStandardOutputWithTheCountOnStandardError) {
  ASSERT_EQ(Run(""), 0) << err;
  // The default record grows "Floral 3" along "U-like" on 1000 x 750.
  EXPECT_EQ(CountPrefix(out, ""), 12197u);
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    std::istringstream numbers(line);
    size_t n = 0;
    for (double v; numbers >> v;) ++n;
    ASSERT_EQ(n, 19u) << line;
  }
  EXPECT_EQ(err, "12197 triangles\n");
  EXPECT_EQ(out.find("  "), std::string::npos);  // single blanks only
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
