#include "ui/controls/value_field.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace rf::controls {

int32_t ArrowWidthForDensity(int32_t dotsPerInch) {
  if (dotsPerInch <= 96) return 20;
  if (dotsPerInch < 144) return 25;
  return 30;
}

std::string FormatFloat(float value) {
  if (!std::isfinite(value)) return "0.00";
  if (value > -0.0001f && value <= 0.0f) value = 0.0f;
  char text[64];
  std::snprintf(text, sizeof text, "%0.2f", static_cast<double>(value));
  // "%0.2f" of a value that rounds to zero from below still prints "-0.00".
  if (std::string(text) == "-0.00") return "0.00";
  return text;
}

std::string FormatValue(float value, bool isInteger) {
  if (!std::isfinite(value)) return isInteger ? "0" : "0.00";
  if (!isInteger) return FormatFloat(value);
  return std::to_string(SpinValue::WholeNumber(value));
}

float ParseValue(const char* text, size_t maxChars) {
  if (!text) return 0.0f;
  std::string s;
  for (size_t i = 0; i < maxChars && text[i]; ++i) s.push_back(text[i]);
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  // Only plain decimal notation: from_chars alone would also take "inf",
  // "nan" and hexadecimal digits.
  size_t end = i;
  bool digits = false;
  while (end < s.size() && s[end] >= '0' && s[end] <= '9') { ++end; digits = true; }
  if (end < s.size() && s[end] == '.') {
    ++end;
    while (end < s.size() && s[end] >= '0' && s[end] <= '9') { ++end; digits = true; }
  }
  if (!digits) return 0.0f;
  if (end < s.size() && (s[end] == 'e' || s[end] == 'E')) {
    size_t e = end + 1;
    if (e < s.size() && (s[e] == '+' || s[e] == '-')) ++e;
    if (e < s.size() && s[e] >= '0' && s[e] <= '9') {
      while (e < s.size() && s[e] >= '0' && s[e] <= '9') ++e;
      end = e;
    }
  }
  double v = 0.0;
  const auto result = std::from_chars(s.data() + i, s.data() + end, v, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    // Underflow is zero, overflow the largest float; from_chars leaves v as
    // it was, so tell them apart by the exponent's sign.
    const bool tiny = s.find("e-") != std::string::npos || s.find("E-") != std::string::npos;
    v = tiny ? 0.0 : std::numeric_limits<float>::max();
  } else if (result.ec != std::errc()) {
    return 0.0f;
  }
  constexpr double kFloatMax = std::numeric_limits<float>::max();
  v = std::min(v, kFloatMax);
  return static_cast<float>(negative ? -v : v);
}

int32_t SpinValue::WholeNumber(float v) {
  if (!std::isfinite(v)) return 0;
  const float t = std::trunc(v);
  if (t >= 2147483647.0f) return std::numeric_limits<int32_t>::max();
  if (t <= -2147483648.0f) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(t);
}

void SpinValue::Configure(float min, float max, float hardMinimum, float hardMaximum, bool integer, bool editable,
                          bool continuous, float defaultVal) {
  isInteger = integer;
  rangeEditable = editable;
  notifyContinuously = continuous;
  defaultValue = std::isfinite(defaultVal) ? defaultVal : 0.0f;
  if (!SetRange(min, max)) SetRange(0.0f, 100.0f);
  if (editable && std::isfinite(hardMinimum) && std::isfinite(hardMaximum)) {
    hardMin = std::min({hardMinimum, hardMaximum, rangeMin});
    hardMax = std::max({hardMinimum, hardMaximum, rangeMax});
  } else {
    hardMin = rangeMin;
    hardMax = rangeMax;
  }
}

bool SpinValue::SetValue(float v) {
  if (!std::isfinite(v)) return false;
  if (isInteger) v = std::trunc(v);
  if (rangeEditable) {
    if (v < rangeMin) rangeMin = std::max(v, hardMin);
    if (v > rangeMax) rangeMax = std::min(v, hardMax);
  }
  value = v;
  return true;
}

bool SpinValue::SetRange(float min, float max) {
  if (!std::isfinite(min) || !std::isfinite(max)) return false;
  rangeMin = std::min(min, max);
  rangeMax = std::max(min, max);
  return true;
}

bool SpinValue::CommitText(const char* text) {
  float v = std::clamp(ParseValue(text, 32), rangeMin, rangeMax);
  if (isInteger) v = std::trunc(v);
  if (!(std::fabs(v - value) > 0.01f)) return false;
  value = v;
  return true;
}

int32_t SpinValue::ArrowPosition() const { return WholeNumber(value); }

SpinEditLayout LayoutSpinEdit(bool horizontal, int32_t width, int32_t height, int32_t dotsPerInch) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  auto size = [](int32_t v) { return std::max(v, 0); };
  SpinEditLayout l;
  const int32_t s = ArrowWidthForDensity(dotsPerInch);
  if (horizontal) {
    // Sized for 96 dots per inch and grown with the arrows' width, so that
    // the widest value, "-360.00", still fits the box in the dialog's
    // 12-pixel font on a denser screen.
    auto scaled = [s](int32_t v) { return v * s / 20; };
    l.slider = {0, 3, size(width - scaled(72)), size(height - 3)};
    l.edit = {width - scaled(72), 0, scaled(50), height};
    l.arrows = {width - scaled(20), 0, scaled(16), height};
  } else {
    l.edit = {0, 0, size(width - s), size(height - 20)};
    l.arrows = {width - s + 1, 0, s, size(height - 20)};
    l.slider = {0, size(height - 20), width, std::min(20, height)};
  }
  return l;
}

}  // namespace rf::controls
