// The module's resource bytes: the committed files are what the generator
// makes, the Linux module carries the same bytes, and the bytes are laid out
// as a host reads them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tools/resgen/resource_bytes.h"

namespace {

using rf::resgen::Bytes;

std::string SourceDir() {
  const char* dir = std::getenv("RF_SOURCE_DIR");
  return dir ? dir : ".";
}

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// What the Linux module reads from its own resources.
Bytes Embedded(const char* type, int id) {
  const rf::platform::ResourceBytes r = rf::platform::FindModuleResource(type, id);
  return r.data ? Bytes(r.data, r.data + r.size) : Bytes();
}

TEST(ResourceFiles, CommittedFilesAreWhatTheGeneratorMakes) {
  const std::string dir = SourceDir() + "/resources/";
  // A failure here means the generator or the parameter table changed
  // without `ninja resources_regenerate`.
  EXPECT_EQ(ReadFile(dir + "pipl.bin"), rf::resgen::BuildPiPL());
  EXPECT_EQ(ReadFile(dir + "aete.bin"), rf::resgen::BuildTerminology());
  EXPECT_EQ(ReadFile(dir + "bump.bmp"), rf::resgen::BuildBumpBmpFile());
  const Bytes inc = ReadFile(dir + "embedded_data.inc");
  EXPECT_EQ(std::string(inc.begin(), inc.end()), rf::resgen::BuildEmbeddedSource());
}

TEST(ResourceFiles, LinuxModuleCarriesTheSameBytes) {
  EXPECT_EQ(Embedded("PIPL", 16000), rf::resgen::BuildPiPL());
  EXPECT_EQ(Embedded("AETE", 16000), rf::resgen::BuildTerminology());
  // The resource compiler drops the 14-byte file header of a .bmp.
  const Bytes bmp = rf::resgen::BuildBumpBmpFile();
  EXPECT_EQ(Embedded("#2", 998), Bytes(bmp.begin() + 14, bmp.end()));
}

TEST(ResourceFiles, PiPLStartsAsHostsExpect) {
  const Bytes p = rf::resgen::BuildPiPL();
  ASSERT_GE(p.size(), 30u);
  EXPECT_EQ(Bytes(p.begin(), p.begin() + 10), (Bytes{1, 0, 0, 0, 0, 0, 12, 0, 0, 0}));
  // The published example of a filter's 'kind' property, byte for byte.
  const Bytes kind = {0x4D, 0x49, 0x42, 0x38, 0x64, 0x6E, 0x69, 0x6B, 0x00, 0x00,
                      0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x4D, 0x46, 0x42, 0x38};
  EXPECT_EQ(Bytes(p.begin() + 10, p.begin() + 30), kind);
}

// ---- The bump source picture ------------------------------------------------

class BumpPicture : public ::testing::Test {
 protected:
  void SetUp() override { grey = rf::resgen::BuildBumpPicture(); }
  int At(int x, int y) const { return grey[size_t(y) * 100 + size_t(x)]; }
  // Runs of pixels at or above `level` along row y: their widths.
  std::vector<int> RunsInRow(int y, int level) const {
    std::vector<int> runs;
    int length = 0;
    for (int x = 0; x <= 100; ++x) {
      if (x < 100 && At(x, y) >= level) {
        ++length;
      } else if (length > 0) {
        runs.push_back(length);
        length = 0;
      }
    }
    return runs;
  }
  Bytes grey;
};

// (The bitmap's layout is frozen by the committed bump.bmp above, and the
// module's decoder, tested in tests/pattern, refuses any other.)
TEST_F(BumpPicture, FiveRaysTenToFifteenPixelsWideCrossTheTopRows) {
  for (int y = 2; y <= 8; ++y) {
    const std::vector<int> runs = RunsInRow(y, 125);
    ASSERT_EQ(runs.size(), 5u) << "row " << y;
    for (int w : runs) {
      EXPECT_GE(w, 10) << "row " << y;
      EXPECT_LE(w, 15) << "row " << y;
    }
  }
}

TEST_F(BumpPicture, NineRaysFanOutFromTheMiddleOfTheBottomEdge) {
  // Around a half circle centred on the bottom middle, nine rays.
  const double kPi = 3.14159265358979323846;
  int rays = 0;
  bool inRay = false;
  for (int step = 0; step <= 360; ++step) {
    const double a = -kPi / 2 + kPi * step / 360.0;
    const int x = int(std::lround(49.5 + 40.0 * std::sin(a)));
    const int y = int(std::lround(99.0 - 40.0 * std::cos(a)));
    const bool bright = x >= 0 && x < 100 && y >= 0 && y < 100 && At(x, y) >= 125;
    if (bright && !inRay) ++rays;
    inRay = bright;
  }
  EXPECT_EQ(rays, 9);
  // The rays meet at the bottom middle: it is bright there; the bottom
  // corners lie below the outermost rays, on the dark ground.
  EXPECT_GE(At(49, 98), 200);
  EXPECT_GE(At(50, 98), 200);
  EXPECT_LE(At(2, 95), 20);
  EXPECT_LE(At(97, 95), 20);
  const uint8_t brightest = *std::max_element(grey.begin(), grey.end());
  EXPECT_GE(brightest, 225);
  EXPECT_LE(brightest, 245);
}

}  // namespace
