// What the fuzz targets share: a failed property aborts, so that libFuzzer
// (and the replay driver) report the input; readers that take a path get
// the input written to a file of this process's own.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "host/record/parameters.h"

namespace rf::fuzz {

// The message names the property in the crash report of a long run.
inline void Check(bool condition, const char* what = nullptr) {
  if (condition) return;
  if (what) std::fprintf(stderr, "fuzz: %s\n", what);
  std::abort();
}

// The input consumed front to back; past its end every read is zeros, so
// that a short input still describes a whole case.
struct Bytes {
  const uint8_t* data;
  size_t size;
  uint8_t Byte() {
    if (size == 0) return 0;
    --size;
    return *data++;
  }
  template <class T>
  T Take() {
    T v{};
    const size_t n = size < sizeof v ? size : sizeof v;
    if (n) std::memcpy(&v, data, n);
    data += n;
    size -= n;
    return v;
  }
};

// Whether a byte of the record lies in a field that scripts, presets and
// descriptors may set: readers of outside data must leave the others alone.
inline bool IsScriptedByte(size_t offset) {
  for (const ScriptedParameter& p : kScriptedParameters)
    if (offset >= p.offset && offset < p.offset + (p.width == FieldWidth::U8 ? 1 : 4)) return true;
  return false;
}

inline void CheckScriptedFloatsFinite(const ParameterRecord& record) {
  for (const ScriptedParameter& p : kScriptedParameters)
    if (p.width == FieldWidth::F32) Check(std::isfinite(GetFloatValue(record, p)), "a non-finite float");
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
