// A folder of its own for one test, removed with everything in it at the end,
// the default record the preset tests start from, and the text of a preset
// saved at the defaults.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "host/record/parameters.h"
#include "tests/test_files.h"

namespace rf::testing {

inline ParameterRecord Defaults() {
  ParameterRecord r;
  std::memset(&r, 0, sizeof r);
  ResetToDefaults(r, true);
  return r;
}

class TempFolder {
 public:
  TempFolder() {
    static std::atomic<int> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = std::filesystem::temp_directory_path() /
            ("rf_presets_" + std::to_string(stamp) + "_" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  std::filesystem::path operator/(const std::string& relative) const { return path_ / relative; }

 private:
  std::filesystem::path path_;
};

// tests/presets/default.rmfpst: a preset with every parameter at its default,
// written out by hand from the record's defaults and the preset format, so
// that a change to either the writer or the defaults shows up byte by byte.
inline std::string DefaultPresetText() {
  const char* source = std::getenv("RF_SOURCE_DIR");
  return ReadFile(std::filesystem::path(source ? source : ".") / "tests" / "presets" / "default.rmfpst");
}

}  // namespace rf::testing
