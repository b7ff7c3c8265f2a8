// The module's resource bytes: the committed files are what the generator
// makes, the Linux module carries the same bytes, and the bytes are laid out
// as a host reads them. (The bump picture's content is frozen by the committed
// bump.bmp and checked through the module's own loading in tests/pattern.)
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/test_files.h"
#include "tools/resgen/resource_bytes.h"

namespace {

using rf::resgen::Bytes;

std::string SourceDir() {
  const char* dir = std::getenv("RF_SOURCE_DIR");
  return dir ? dir : ".";
}

Bytes ReadFile(const std::string& path) {
  const std::string bytes = rf::testing::ReadFile(path);
  return Bytes(bytes.begin(), bytes.end());
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
  EXPECT_EQ(rf::testing::ReadFile(dir + "embedded_data.inc"), rf::resgen::BuildEmbeddedSource());
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

}  // namespace
