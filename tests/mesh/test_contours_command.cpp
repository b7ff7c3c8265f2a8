// `rimeflower contours` and `rimeflower mask` against the library they wrap.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#if __has_include(<sys/wait.h>)
#include <sys/wait.h>
#endif

#include "mesh/brightness_mask.h"
#include "tests/mesh/mask_support.h"

namespace rf::mesh {
namespace {

namespace fs = std::filesystem;

class ContoursCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* binary = std::getenv("RF_BINARY_DIR");
    if (binary) program = fs::path(binary) / "bin" / "rimeflower";
    if (!binary || !fs::exists(program)) GTEST_SKIP() << "the rimeflower program is not built";
    folder = fs::temp_directory_path() / ("rf_contours_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                          "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(folder);
  }
  void TearDown() override {
    if (!folder.empty()) fs::remove_all(folder);
  }

  int Run(const std::string& arguments) {
    const std::string command = "\"" + program.string() + "\" " + arguments + " 2>\"" + (folder / "stderr").string() + "\"";
    const int status = std::system(command.c_str());
#ifdef WEXITSTATUS
    return status == -1 ? -1 : WEXITSTATUS(status);
#else
    return status;
#endif
  }
  std::string Read(const std::string& name) {
    std::ifstream in(folder / name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::string Path(const std::string& name) { return (folder / name).string(); }
  void WritePnm(const std::string& name, char kind, int w, int h, const std::vector<uint8_t>& bytes) {
    std::ofstream out(folder / name, std::ios::binary);
    out << 'P' << kind << '\n' << w << ' ' << h << "\n255\n";
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }

  fs::path program;
  fs::path folder;
};

TEST_F(ContoursCommand, TextMatchesTheLibraryExactly) {
  test::Mask m(60, 40, 0);
  test::Disc(m, 20, 20, 14, 84);
  m.Fill(0, 40, 40, 60, 168);
  WritePnm("mask.pgm", '5', m.width, m.height, m.bytes);
  ASSERT_EQ(Run("contours " + Path("mask.pgm") + " --step 12 -o " + Path("lines.txt")), 0) << Read("stderr");

  const test::Output expected = test::Build(m, 1.0f, 12);
  std::ostringstream text;
  char line[128];
  for (const ContourVertex& v : expected.vertices) {
    std::snprintf(line, sizeof line, "V %.9g %.9g\n", double(v.x), double(v.y));
    text << line;
  }
  for (const ContourSegment& s : expected.segments) {
    std::snprintf(line, sizeof line, "S %u %u %.9g\n", s.first, s.second, double(s.Weight));
    text << line;
  }
  ASSERT_GT(expected.vertexCount, 0);
  EXPECT_EQ(Read("lines.txt"), text.str());

  ASSERT_EQ(Run("contours " + Path("mask.pgm") + " --svg -o " + Path("lines.svg")), 0) << Read("stderr");
  const std::string svg = Read("lines.svg");
  EXPECT_NE(svg.find("<svg"), std::string::npos);
  EXPECT_NE(svg.find("data:image/png;base64,"), std::string::npos);
  EXPECT_NE(svg.find("</svg>"), std::string::npos);
}

TEST_F(ContoursCommand, RefusalsExitNonZero) {
  EXPECT_EQ(Run("contours"), 2);
  EXPECT_EQ(Run("contours " + Path("missing.pgm")), 1);
  EXPECT_EQ(Run("contours a.pgm --step x"), 2);
  WritePnm("colour.ppm", '6', 2, 2, std::vector<uint8_t>(12, 9));
  EXPECT_EQ(Run("contours " + Path("colour.ppm")), 1);
  EXPECT_NE(Read("stderr").find("8-bit grey"), std::string::npos);
  EXPECT_EQ(Run("mask " + Path("colour.ppm")), 2);  // no output named
}

TEST_F(ContoursCommand, MaskMatchesTheLibrary) {
  const int w = 40, h = 30;
  std::vector<uint8_t> rgb(size_t(w * h * 3)), rgba(size_t(w * h * 4));
  for (int i = 0; i < w * h; ++i) {
    const int x = i % w, y = i / w;
    const uint8_t v = uint8_t((x * 6 + y * 3 + (x * y) % 17) % 256);
    for (int c = 0; c < 3; ++c) rgb[size_t(i * 3 + c)] = rgba[size_t(i * 4 + c)] = uint8_t(v + c * 20);
    rgba[size_t(i * 4 + 3)] = 255;
  }
  WritePnm("image.ppm", '6', w, h, rgb);
  ASSERT_EQ(Run("mask " + Path("image.ppm") + " -o " + Path("bands.pgm")), 0) << Read("stderr");
  std::vector<uint8_t> expected(size_t(w * h));
  ASSERT_TRUE(BuildBrightnessMask(rgba.data(), w, h, expected.data()));
  const std::string file = Read("bands.pgm");
  const std::string header = "P5\n40 30\n255\n";
  ASSERT_EQ(file.substr(0, header.size()), header);
  EXPECT_EQ(file.substr(header.size()), std::string(expected.begin(), expected.end()));
}

}  // namespace
}  // namespace rf::mesh
