#include "tools/hostlib/action_file.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace rf::tools {

using host::kTypeFloat;

bool WriteActionFile(const std::string& path, const HostDescriptor& descriptor, std::string& error) {
  const std::string temp = path + ".partial";
  FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) {
    error = "cannot create '" + temp + "'";
    return false;
  }
  std::fprintf(f, "# Rimeflower action: one parameter per line, KEY TYPE VALUE\n");
  for (const DescriptorValue& v : descriptor.values) {
    char key[5];
    for (int i = 0; i < 4; ++i) key[i] = char((v.key >> (24 - 8 * i)) & 0xFF);
    key[4] = 0;
    const ScriptedParameter* p = FindParameterByKey(v.key);
    if (v.type == kTypeFloat)
      std::fprintf(f, "%s doub %.17g", key, v.real);
    else
      std::fprintf(f, "%s long %d", key, int(v.integer));
    std::fprintf(f, "%s%s\n", p ? "\t# " : "", p ? p->name : "");
  }
  const bool ok = std::fflush(f) == 0 && !std::ferror(f);
  std::fclose(f);
  if (!ok || !platform::RenameReplacing(temp, path)) {
    std::remove(temp.c_str());
    error = "cannot write '" + path + "'";
    return false;
  }
  return true;
}

bool ReadActionFile(const std::string& path, HostDescriptor& descriptor, std::string& error) {
  descriptor = HostDescriptor{};
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    error = "cannot open the action '" + path + "'";
    return false;
  }
  char line[512];
  int number = 0;
  bool ok = true;
  while (ok && std::fgets(line, sizeof(line), f)) {
    ++number;
    std::string text = line;
    const size_t hash = text.find('#');
    if (hash != std::string::npos) text.resize(hash);
    if (text.find_first_not_of(" \t\r\n") == std::string::npos) continue;
    char key[5] = {}, type[8] = {}, value[128] = {};
    // Keys are exactly four characters, blanks included.
    if (text.size() < 6 || std::sscanf(text.c_str() + 4, " %7s %127s", type, value) != 2) {
      ok = false;
    } else {
      std::memcpy(key, text.data(), 4);
      const uint32_t code = FourCC(key);
      char* end = nullptr;
      if (std::strcmp(type, "long") == 0) {
        const long long v = std::strtoll(value, &end, 10);
        ok = *end == 0 && v >= INT32_MIN && v <= UINT32_MAX;
        if (ok) descriptor.PutInteger(code, int32_t(uint32_t(v)));
      } else if (std::strcmp(type, "doub") == 0) {
        const double v = std::strtod(value, &end);
        ok = *end == 0 && std::isfinite(v);
        if (ok) descriptor.PutFloat(code, v);
      } else {
        ok = false;
      }
    }
    if (!ok) error = "'" + path + "' line " + std::to_string(number) + ": expected KEY long|doub VALUE";
  }
  std::fclose(f);
  return ok;
}

}  // namespace rf::tools
