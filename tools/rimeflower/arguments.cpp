#include "tools/rimeflower/arguments.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "platform/platform.h"

namespace rf::tools {

namespace {

bool ParseInteger(const std::string& s, int64_t& out) {
  if (s.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const bool hex = s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
  const long long v = std::strtoll(s.c_str(), &end, hex ? 16 : 10);
  if (errno != 0 || !end || *end != '\0') return false;
  out = v;
  return true;
}

bool ParseReal(const std::string& s, double& out) {
  if (s.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const double v = std::strtod(s.c_str(), &end);
  if (errno != 0 || !end || *end != '\0' || !std::isfinite(v)) return false;
  out = v;
  return true;
}

// Parameters whose values name choices; a value outside the list is
// refused rather than handed to the filter.
struct Choice {
  const char* parameter;
  const char* list;  // for the message
  int64_t first, last;
};
const Choice kChoices[] = {
    {"Emitter Type", "0 (vector paths), 1 (mask contours), 2 (fixed pattern) or 3 (the path if any)", 0, 3},
    {"RenderMode", "1 (Rough), 2 (Line), 3 (Wire), 4 (Flat) or 5 (Phong)", 1, 5},
    {"MaskKind", "1 (Bottom), 2 (Top), 3 (Top and bottom), 4 (Perimeter), 5 (U-like) or 6 (Window)", 1, 6},
    {"GrowDirect", "1 to 7 (Direction 1 to 7) or 8 (All directions)", 1, 8},
    {"EffectKind", "1 (Geometric), 2 (Floral) or 3 (Single)", 1, 3},
    {"PatternKind", "1 to 3 (Geometric, Floral) or 1 to 4 (Single)", 1, 4},
    {"UseBackLight", "0 (off) or 1 (on)", 0, 1},
    {"AlphaCut", "0 (off) or 1 (on)", 0, 1},
    {"UseGlass", "0 (off) or 1 (on)", 0, 1},
};

}  // namespace

bool ParseSize(const std::string& text, int32_t maxSide, int32_t& width, int32_t& height) {
  const size_t x = text.find_first_of("xX");
  if (x == std::string::npos) return false;
  auto side = [maxSide](const std::string& digits, int32_t& out) {
    if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos)
      return false;
    const long v = std::strtol(digits.c_str(), nullptr, 10);
    if (v < 1 || v > maxSide) return false;
    out = int32_t(v);
    return true;
  };
  int32_t w = 0, h = 0;
  if (!side(text.substr(0, x), w) || !side(text.substr(x + 1), h)) return false;
  width = w;
  height = h;
  return true;
}

bool ParseAssignment(const std::string& text, Assignment& out, std::string& error) {
  const size_t eq = text.find('=');
  if (eq == std::string::npos || eq == 0) {
    error = "expected NAME=VALUE, got '" + text + "'";
    return false;
  }
  const std::string name = text.substr(0, eq), value = text.substr(eq + 1);
  const ScriptedParameter* p = FindParameterByName(name.c_str());
  if (!p && name.size() == 4) {
    char key[5] = {name[0], name[1], name[2], name[3], 0};
    p = FindParameterByKey(FourCC(key));
  }
  if (!p) {
    error = "unknown parameter '" + name + "'";
    return false;
  }
  out = Assignment{};
  out.parameter = p;
  if (p->type == ScriptType::Integer) {
    if (!ParseInteger(value, out.integer)) {
      error = "parameter '" + std::string(p->name) + "' takes a whole number, got '" + value + "'";
      return false;
    }
    for (const Choice& c : kChoices)
      if (std::string(c.parameter) == p->name && (out.integer < c.first || out.integer > c.last)) {
        error = "parameter '" + std::string(p->name) + "' takes " + c.list + ", got '" + value + "'";
        return false;
      }
    // The field keeps only its own width; anything wider would be cut
    // silently ("MaxIterations=4294967299" would become 3).
    const int64_t largest = p->width == FieldWidth::U8 ? 255 : int64_t(UINT32_MAX);
    if (out.integer < 0 || out.integer > largest) {
      error = "parameter '" + std::string(p->name) + "' takes a whole number from 0 to " + std::to_string(largest) +
              ", got '" + value + "'";
      return false;
    }
  } else {
    out.isFloat = true;
    if (!ParseReal(value, out.real)) {
      error = "parameter '" + std::string(p->name) + "' takes a number, got '" + value + "'";
      return false;
    }
  }
  return true;
}

void ApplyAssignment(const Assignment& a, ParameterRecord& record) {
  if (!a.parameter) return;
  if (a.isFloat)
    SetFloatValue(record, *a.parameter, a.real);
  else
    SetIntegerValue(record, *a.parameter, a.integer);
  record.SceneDirty = 1;
}

TakeArgument MaxMegapixels(ReadLimits& limits) {
  return [&limits](const std::string& value) {
    int64_t megapixels = 0;
    if (!ParseInteger(value, megapixels) || megapixels < 1 || megapixels > 100000)
      return "--max-megapixels takes a whole number from 1 to 100000, not '" + value + "'";
    limits.maxPixels = uint64_t(megapixels) * 1000000;
    return std::string();
  };
}

TakeArgument ThreadCount(int32_t& count) {
  return [&count](const std::string& value) {
    int64_t n = 0;
    if (!ParseInteger(value, n) || n < 1 || n > 1024)
      return "--threads takes a number of processors from 1 to 1024, not '" + value + "'";
    count = int32_t(n);
    return std::string();
  };
}

bool LimitThreads(int32_t count, std::string& error) {
  if (count == 0 || platform::LimitProcessors(count)) return true;
  error = "the system refused to run on " + std::to_string(count) + " processor(s) (--threads)";
  return false;
}

TakeArgument AddAssignment(std::vector<Assignment>& into) {
  return [&into](const std::string& text) {
    Assignment assignment;
    std::string error;
    if (ParseAssignment(text, assignment, error)) into.push_back(assignment);
    return error;
  };
}

std::string DefaultPluginFolder() {
  const std::string self = platform::ExecutablePath();
  const size_t cut = self.find_last_of("/\\");
  const std::string here = cut == std::string::npos ? std::string(".") : self.substr(0, cut);
  const char sep = platform::PathSeparator();
  // Installed, the module sits beside the program; in a build tree the
  // program is in bin/ and the module in plugin/.
  const std::string sibling = here + sep + ".." + sep + "plugin";
  if (!platform::FileExists(here + sep + "Rimeflower64.8bf") && platform::FileExists(sibling + sep + "Rimeflower64.8bf"))
    return sibling;
  return here;
}

}  // namespace rf::tools
