// What the fuzz targets share: a failed property aborts, so that libFuzzer
// (and the replay driver) report the input; readers that take a path get
// the input written to a file of this process's own.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

namespace rf::fuzz {

inline void Check(bool condition) {
  if (!condition) std::abort();
}

inline std::string TempPath(const char* what) {
  static const std::string self = std::to_string(std::random_device{}());
  return (std::filesystem::temp_directory_path() / ("rf-fuzz-" + self + "-" + what)).string();
}

inline bool WriteAll(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

}  // namespace rf::fuzz
