// A minimal PE32+ image with a resource section, built in memory, so that the
// PE reader can be tested on Linux without a Windows build, and with
// deliberately broken variants of a well-formed file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rf::testing {

struct TestResource {
  std::string type;  // a name ("PIPL") or "#N" for a numeric type
  int id;
  int language;
  std::vector<uint8_t> data;
};

// Where the image's one ".rsrc" section starts in the file.
constexpr size_t kResourceSectionOffset = 0x400;

// The image: DOS stub header, PE header, one ".rsrc" section holding the
// resource tree and the data.
std::vector<uint8_t> BuildPEImage(const std::vector<TestResource>& resources);

}  // namespace rf::testing
