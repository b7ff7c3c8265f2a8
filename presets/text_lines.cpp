#include "presets/text_lines.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace rf::presets {

std::vector<std::string> SplitLines(const uint8_t* data, size_t size) {
  std::vector<std::string> lines;
  std::string current;
  for (size_t i = 0; i < size; ++i) {
    uint8_t b = data[i];
    if (b == '\t') b = ' ';
    if (b < 14) {
      lines.push_back(std::move(current));
      current.clear();
      continue;
    }
    if (current.size() < kMaxLineLength) current.push_back(static_cast<char>(b));
  }
  // A last line without its end is not used.
  return lines;
}

bool ReadTextLines(const std::string& path, std::vector<std::string>& lines, size_t maxBytes) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  std::vector<uint8_t> bytes;
  uint8_t chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
    size_t room = maxBytes - bytes.size();
    bytes.insert(bytes.end(), chunk, chunk + (n < room ? n : room));
    if (bytes.size() >= maxBytes) break;
  }
  std::fclose(f);
  lines = SplitLines(bytes.data(), bytes.size());
  return true;
}

namespace {

bool IsValueChar(char c) {
  return c == ',' || c == '-' || c == '.' || (c >= '0' && c <= '9') || c == 'E' || c == 'e';
}

}  // namespace

bool ParseKeyedLine(const std::string& line, bool skipLeadingBlanks, KeyedValue& out) {
  size_t pos = 0;
  if (skipLeadingBlanks)
    while (pos < line.size() && line[pos] == ' ') ++pos;
  if (line.size() - pos < 4 || line[pos] == ';') return false;
  std::memcpy(out.key, line.data() + pos, 4);
  pos += 4;
  while (pos < line.size() && line[pos] == ' ') ++pos;
  out.valueRun.clear();
  while (pos < line.size() && out.valueRun.size() < 63 && IsValueChar(line[pos]))
    out.valueRun.push_back(line[pos++]);
  return true;
}

double ValueRunAsDouble(const std::string& run) {
  // from_chars reads the C form whatever locale the host process has set,
  // and stops where strtod would: "12,5" reads 12, "1e" reads 1.
  double v = 0.0;
  const char* first = run.data();
  const char* last = run.data() + run.size();
  auto [ptr, ec] = std::from_chars(first, last, v);
  if (ec != std::errc() || ptr == first || !std::isfinite(v)) return 0.0;
  return v;
}

int64_t ValueRunAsInteger(const std::string& run) {
  double v = ValueRunAsDouble(run);
  if (v >= 9.2e18) return INT64_MAX;
  if (v <= -9.2e18) return INT64_MIN;
  return static_cast<int64_t>(v);
}

std::string KeyAsWritten(uint32_t key) {
  char s[4] = {static_cast<char>(key & 0xFF), static_cast<char>((key >> 8) & 0xFF),
               static_cast<char>((key >> 16) & 0xFF), static_cast<char>((key >> 24) & 0xFF)};
  return std::string(s, 4);
}

uint32_t KeyFromWritten(const char written[4]) {
  return uint32_t(uint8_t(written[0])) | (uint32_t(uint8_t(written[1])) << 8) |
         (uint32_t(uint8_t(written[2])) << 16) | (uint32_t(uint8_t(written[3])) << 24);
}

}  // namespace rf::presets
