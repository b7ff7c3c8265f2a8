#include "presets/text_lines.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace rf::presets {

bool LineSplitter::Feed(const uint8_t* data, size_t size, const LineVisitor& visit) {
  for (size_t i = 0; i < size && !stopped_; ++i) {
    uint8_t b = data[i];
    if (b == '\t') b = ' ';
    if (b < 14) {
      if (!visit(current_)) stopped_ = true;
      current_.clear();
      blankRun_ = 0;
      continue;
    }
    if (b == ' ') {
      if (++blankRun_ > kMaxBlankRun) continue;
    } else {
      blankRun_ = 0;
    }
    if (current_.size() < kMaxLineLength) current_.push_back(static_cast<char>(b));
  }
  // Whatever is left in current_ is a line without its end: it waits for
  // more bytes and is never visited if none come.
  return !stopped_;
}

void ForEachLine(const uint8_t* data, size_t size, const LineVisitor& visit) {
  LineSplitter splitter;
  splitter.Feed(data, size, visit);
}

bool ForEachFileLine(const std::string& path, const LineVisitor& visit) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  LineSplitter splitter;
  uint8_t chunk[16384];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
    if (!splitter.Feed(chunk, n, visit)) break;
  std::fclose(f);
  return true;
}

std::vector<std::string> SplitLines(const uint8_t* data, size_t size) {
  std::vector<std::string> lines;
  ForEachLine(data, size, [&lines](const std::string& line) {
    lines.push_back(line);
    return true;
  });
  return lines;
}

bool ReadTextLines(const std::string& path, std::vector<std::string>& lines, size_t maxBytes) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  lines.clear();
  LineSplitter splitter;
  auto keep = [&lines](const std::string& line) {
    lines.push_back(line);
    return true;
  };
  uint8_t chunk[16384];
  size_t total = 0, n;
  while (total < maxBytes && (n = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
    if (n > maxBytes - total) n = maxBytes - total;
    splitter.Feed(chunk, n, keep);
    total += n;
  }
  std::fclose(f);
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
  while (pos < line.size() && out.valueRun.size() < kMaxValueRun && IsValueChar(line[pos]))
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
  if (ptr == first) return 0.0;
  if (ec == std::errc::result_out_of_range) {
    // Within 63 characters only the exponent can leave the range of a
    // double: a negative one underflows to 0, a positive one overflows.
    const char* e = first;
    while (e < ptr && *e != 'e' && *e != 'E') ++e;
    if (e + 1 < ptr && e[1] == '-') return 0.0;
    return *first == '-' ? -DBL_MAX : DBL_MAX;
  }
  if (ec != std::errc() || !std::isfinite(v)) return 0.0;
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

std::string FormatInteger(int32_t value) {
  char buffer[16];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  (void)ec;  // 16 characters hold every 32-bit integer
  return std::string(buffer, end);
}

std::string FormatFixed2(double value) {
  // The widest finite float is 39 digits; doubles go to 309.
  char buffer[400];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
  if (ec != std::errc()) return "0.00";
  return std::string(buffer, end);
}

}  // namespace rf::presets
