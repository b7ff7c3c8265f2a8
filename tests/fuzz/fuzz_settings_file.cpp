// Arbitrary bytes as the dialog's settings file: reading never fails loudly,
// changes only the fields whose keys it finds, and what it reads survives
// being written and read again.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "tests/fuzz/fuzz_support.h"
#include "presets/settings_file.h"

using rf::fuzz::Check;
using rf::fuzz::TempPath;
using rf::fuzz::WriteAll;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (size_t(2) << 20)) return 0;
  const std::string path = TempPath("settings");
  if (!WriteAll(path, data, size)) return 0;
  rf::WindowPlacement placement;
  std::memset(&placement, 0x5A, sizeof placement);
  rf::presets::ReadSettingsFile(path, placement);

  Check(rf::presets::WriteSettingsFile(path, placement));
  rf::WindowPlacement again;
  std::memset(&again, 0, sizeof again);
  rf::presets::ReadSettingsFile(path, again);
  Check(std::memcmp(&placement, &again, sizeof placement) == 0);
  std::remove(path.c_str());
  return 0;
}
