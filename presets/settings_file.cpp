#include "presets/settings_file.h"

#include <cstdio>

#include "presets/text_lines.h"

namespace rf::presets {

namespace {

struct SettingsKey {
  uint32_t key;
  int32_t WindowPlacement::*field;
  const char* comment;
};

// 'Top ' ends in a blank, so it is written " poT" and the reader must not
// skip leading blanks.
const SettingsKey kSettingsKeys[] = {
    {FourCC("Left"), &WindowPlacement::left, "\t\t\t\t;Left of window"},
    {FourCC("Top "), &WindowPlacement::top, "\t\t\t\t;Top of window"},
    {FourCC("Wdth"), &WindowPlacement::width, "\t\t\t\t;Width of window"},
    {FourCC("Hght"), &WindowPlacement::height, "\t\t\t\t;Height of window"},
    {FourCC("CvLf"), &WindowPlacement::curveEditorLeft, "\t\t\t\t;Left of curve editor window"},
    {FourCC("CvTp"), &WindowPlacement::curveEditorTop, "\t\t\t\t;Top of curve editor window"},
    {FourCC("CvIn"), &WindowPlacement::curveEditorInteractive,
     "\t\t\t\t;Is curve editor window interactive"},
};

}  // namespace

void ReadSettingsFile(const std::string& path, WindowPlacement& placement) {
  std::vector<std::string> lines;
  if (!ReadTextLines(path, lines, 1u << 20)) return;
  for (const std::string& line : lines) {
    KeyedValue kv;
    if (!ParseKeyedLine(line, /*skipLeadingBlanks=*/false, kv)) continue;
    uint32_t key = KeyFromWritten(kv.key);
    for (const SettingsKey& k : kSettingsKeys) {
      if (k.key != key) continue;
      int64_t v = ValueRunAsInteger(kv.valueRun);
      placement.*k.field = static_cast<int32_t>(v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : v);
    }
  }
}

bool WriteSettingsFile(const std::string& path, const WindowPlacement& placement) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  bool ok = std::fputs(";Parameters for Rimeflower plug-in UI\n", f) >= 0;
  for (const SettingsKey& k : kSettingsKeys)
    ok = ok && std::fprintf(f, "%s %d %s\n", KeyAsWritten(k.key).c_str(), placement.*k.field, k.comment) > 0;
  ok = (std::fclose(f) == 0) && ok;
  return ok;
}

}  // namespace rf::presets
