#include "tools/hostlib/action_file.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace rf::tools {

using host::kTypeFloat;

std::string FormatActionText(const HostDescriptor& descriptor) {
  std::string text = "# Rimeflower action: one parameter per line, KEY TYPE VALUE\n";
  char line[160];
  for (const DescriptorValue& v : descriptor.values) {
    char key[5];
    for (int i = 0; i < 4; ++i) key[i] = char((v.key >> (24 - 8 * i)) & 0xFF);
    key[4] = 0;
    const ScriptedParameter* p = FindParameterByKey(v.key);
    if (v.type == kTypeFloat)
      std::snprintf(line, sizeof line, "%s doub %.17g", key, v.real);
    else
      std::snprintf(line, sizeof line, "%s long %d", key, int(v.integer));
    text += line;
    if (p) text += std::string("\t# ") + p->name;
    text += '\n';
  }
  return text;
}

bool ReadActionFile(const std::string& path, HostDescriptor& descriptor, std::string& error) {
  descriptor = HostDescriptor{};
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    error = "cannot open the action '" + path + "'";
    return false;
  }
  std::string text;
  char chunk[4096];
  size_t n = 0;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0 && text.size() <= kMaxActionFileBytes)
    text.append(chunk, n);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) {
    error = "cannot read the action '" + path + "'";
    return false;
  }
  if (text.size() > kMaxActionFileBytes) {
    error = "'" + path + "' is too large for an action (" + std::to_string(kMaxActionFileBytes >> 20) + " MB at most)";
    return false;
  }
  return ParseActionText(text, path, descriptor, error);
}

bool ParseActionText(const std::string& text, const std::string& name, HostDescriptor& descriptor,
                     std::string& error) {
  descriptor = HostDescriptor{};
  int number = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    const size_t hash = line.find('#');
    if (hash != std::string::npos) line.resize(hash);
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    // Keys are exactly four characters, blanks included; a NUL would cut
    // the line short for the number readers below.
    bool ok = line.size() >= 6 && line.size() < 512 && line.find('\0') == std::string::npos;
    char type[8] = {}, value[128] = {};
    if (ok) ok = std::sscanf(line.c_str() + 4, " %7s %127s", type, value) == 2;
    if (ok) {
      char key[5] = {};
      std::memcpy(key, line.data(), 4);
      const uint32_t code = FourCC(key);
      char* end = nullptr;
      errno = 0;
      if (std::strcmp(type, "long") == 0) {
        const long long v = std::strtoll(value, &end, 10);
        ok = *end == 0 && errno == 0 && v >= INT32_MIN && v <= UINT32_MAX;
        if (ok) descriptor.PutInteger(code, int32_t(uint32_t(v)));
      } else if (std::strcmp(type, "doub") == 0) {
        const double v = std::strtod(value, &end);
        ok = *end == 0 && std::isfinite(v);
        if (ok) descriptor.PutFloat(code, v);
      } else {
        ok = false;
      }
    }
    if (!ok) {
      error = "'" + name + "' line " + std::to_string(number) + ": expected KEY long|doub VALUE";
      descriptor = HostDescriptor{};
      return false;
    }
  }
  return true;
}

}  // namespace rf::tools
