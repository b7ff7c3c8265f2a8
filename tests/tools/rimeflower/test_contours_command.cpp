// `rimeflower contours` and `rimeflower mask` against the library they wrap.
#include <cstdio>
#include <vector>

#include "mesh/brightness_mask.h"
#include "mesh/mesh_builder.h"
#include "tests/tools/rimeflower/command_test.h"

namespace rf::tools::testing {
namespace {

using ContoursCommand = CommandTest;

std::string Pnm(char kind, int width, int height, const std::vector<uint8_t>& bytes) {
  return "P" + std::string(1, kind) + "\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n" +
         std::string(bytes.begin(), bytes.end());
}

TEST_F(ContoursCommand, TextMatchesTheLibraryExactly) {
  // A disc of one label and a band of another.
  const int w = 60, h = 40;
  std::vector<uint8_t> mask(size_t(w) * h, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      if ((x - 20) * (x - 20) + (y - 20) * (y - 20) <= 14 * 14) mask[size_t(y) * w + x] = 84;
      if (x >= 40) mask[size_t(y) * w + x] = 168;
    }
  Write("mask.pgm", Pnm('5', w, h, mask));
  ASSERT_EQ(Run("contours " + Quoted("mask.pgm") + " --step 12 -o " + Quoted("lines.txt")), 0) << err;

  mesh::CMeshBuilder builder;
  int32_t vertexCount = 0, segmentCount = 0;
  mesh::ContourVertex* vertices = nullptr;
  mesh::ContourSegment* segments = nullptr;
  ASSERT_TRUE(builder.BuildContourLines(w, h, w, mask.data(), 1.0f, 12, vertexCount, segmentCount, vertices, segments));
  std::string expected;
  char line[128];
  for (int32_t i = 0; i < vertexCount; ++i) {
    std::snprintf(line, sizeof line, "V %.9g %.9g\n", double(vertices[i].x), double(vertices[i].y));
    expected += line;
  }
  for (int32_t i = 0; i < segmentCount; ++i) {
    const mesh::ContourSegment& s = segments[i];
    std::snprintf(line, sizeof line, "S %u %u %.9g\n", unsigned(s.first), unsigned(s.second), double(s.Weight));
    expected += line;
  }
  mesh::ReleaseContourArrays(vertices, segments);
  ASSERT_GT(vertexCount, 0);
  EXPECT_EQ(Read("lines.txt"), expected);

  ASSERT_EQ(Run("contours " + Quoted("mask.pgm") + " --svg -o " + Quoted("lines.svg")), 0) << err;
  const std::string svg = Read("lines.svg");
  EXPECT_NE(svg.find("data:image/png;base64,"), std::string::npos);
  EXPECT_NE(svg.find("</svg>"), std::string::npos);
}

TEST_F(ContoursCommand, Refusals) {
  Write("colour.ppm", Pnm('6', 2, 2, std::vector<uint8_t>(12, 9)));
  const std::pair<std::string, int> cases[] = {
      {"contours", 2},
      {"contours " + Quoted("missing.pgm"), 1},
      {"contours a.pgm --step x", 2},
      {"mask " + Quoted("colour.ppm"), 2},  // no output named
      {"contours " + Quoted("colour.ppm"), 1},
  };
  for (const auto& [arguments, code] : cases) EXPECT_EQ(Run(arguments), code) << arguments;
  EXPECT_NE(err.find("8-bit grey"), std::string::npos) << err;
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
  Write("image.ppm", Pnm('6', w, h, rgb));
  ASSERT_EQ(Run("mask " + Quoted("image.ppm") + " -o " + Quoted("bands.pgm")), 0) << err;
  std::vector<uint8_t> expected(size_t(w * h));
  ASSERT_TRUE(mesh::BuildBrightnessMask(rgba.data(), w, h, expected.data()));
  EXPECT_EQ(Read("bands.pgm"), Pnm('5', w, h, expected));
}

}  // namespace
}  // namespace rf::tools::testing
