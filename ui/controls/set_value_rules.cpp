#include "ui/controls/set_value_rules.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "ui/controls/rotor.h"
#include "ui/controls/value_field.h"

namespace rf::controls {

namespace {

constexpr int kValue = static_cast<int>(SetValueBox::Value);
constexpr int kValue2 = static_cast<int>(SetValueBox::Value2);
constexpr int kMin = static_cast<int>(SetValueBox::Min);
constexpr int kMax = static_cast<int>(SetValueBox::Max);

std::string RangeText(float min, float max, bool isInteger) {
  return FormatValue(min, isInteger) + " ... " + FormatValue(max, isInteger);
}

}  // namespace

std::string SetValueRules::Format(float v) const { return FormatValue(v, isInteger_); }

float SetValueRules::Read(const char* text) const {
  const float v = ParseValue(text, 32);
  return isInteger_ ? std::trunc(v) : v;
}

SetValueRules SetValueRules::ForField(const SpinValue& field, const std::string& name) {
  SetValueRules r;
  r.isInteger_ = field.isInteger;
  r.min_ = field.rangeMin;
  r.max_ = field.rangeMax;
  r.hardMin_ = field.hardMin;
  r.hardMax_ = field.hardMax;
  SetValueTexts& t = r.opening_;
  t.name = name;
  t.current1 = r.Format(field.value);
  t.current2 = "Not used";
  t.type = std::string(field.isInteger ? "Integer" : "Float") + " slider";
  t.range = RangeText(field.hardMin, field.hardMax, field.isInteger);
  t.value = r.Format(field.value);
  t.min = r.Format(field.rangeMin);
  t.max = r.Format(field.rangeMax);
  t.rangeEnabled = true;
  r.accepted_[kValue] = t.value;
  r.accepted_[kMin] = t.min;
  r.accepted_[kMax] = t.max;
  return r;
}

SetValueRules SetValueRules::ForRotor(const RotorRecord& rotor) {
  SetValueRules r;
  SetValueTexts& t = r.opening_;
  t.name = rotor.caption.substr(0, 16);
  constexpr float kUnlimited = std::numeric_limits<float>::max();
  const RotorTexts shown = rotor.Texts();
  if (rotor.kind == RotorKind::Polar && rotor.padMode) {
    r.min_ = r.min2_ = -100.0f;
    r.max_ = r.max2_ = 100.0f;
    t.type = "Float pad";
    t.current1 = t.value = shown.x;
    t.current2 = t.value2 = shown.y;
    t.value2Enabled = true;
    t.range = RangeText(-100.0f, 100.0f, false);
  } else if (rotor.kind == RotorKind::Polar) {
    r.min_ = -kUnlimited;
    r.max_ = kUnlimited;
    r.min2_ = 0.0f;
    r.max2_ = 90.0f;
    t.type = "Float dial";
    t.current1 = t.value = FormatFloat(rotor.value);
    t.current2 = t.value2 = FormatFloat(rotor.elevation);
    t.value2Enabled = true;
    t.range = "0.00 ... 90.00";
  } else if (rotor.kind == RotorKind::ValueDial) {
    r.isInteger_ = rotor.integer;
    r.min_ = std::min(rotor.valueMin, rotor.valueMax);
    r.max_ = std::max(rotor.valueMin, rotor.valueMax);
    t.type = std::string(rotor.integer ? "Integer" : "Float") + " dial";
    t.current1 = t.value = shown.edit;
    t.current2 = "Not used";
    t.range = RangeText(r.min_, r.max_, rotor.integer);
  } else {
    r.min_ = rotor.limited ? rotor.minAngle : -kUnlimited;
    r.max_ = rotor.limited ? rotor.maxAngle : kUnlimited;
    t.type = "Float dial";
    t.current1 = t.value = shown.edit;
    t.current2 = "Not used";
    t.range = rotor.limited ? RangeText(rotor.minAngle, rotor.maxAngle, false) : "no limit";
  }
  r.hardMin_ = r.min_;
  r.hardMax_ = r.max_;
  if (r.min_ > -kUnlimited) t.min = r.Format(r.min_);
  if (r.max_ < kUnlimited) t.max = r.Format(r.max_);
  r.accepted_[kValue] = t.value;
  r.accepted_[kValue2] = t.value2;
  r.accepted_[kMin] = t.min;
  r.accepted_[kMax] = t.max;
  return r;
}

SetValueBoxResult SetValueRules::Leave(SetValueBox box, const char* text) {
  SetValueBoxResult out;
  const int i = static_cast<int>(box);
  float v = Read(text);
  switch (box) {
    case SetValueBox::Min:
      if (!opening_.rangeEnabled) return {accepted_[i], false};
      if (v >= max_) {
        out.beep = true;
        v = min_;
      } else if (v < hardMin_) {
        out.beep = true;
        v = hardMin_;
      }
      min_ = v;
      break;
    case SetValueBox::Max:
      if (!opening_.rangeEnabled) return {accepted_[i], false};
      if (v <= min_) {
        out.beep = true;
        v = max_;
      } else if (v > hardMax_) {
        out.beep = true;
        v = hardMax_;
      }
      max_ = v;
      break;
    case SetValueBox::Value:
      v = std::clamp(v, min_, max_);
      break;
    case SetValueBox::Value2:
      v = std::clamp(v, min2_, max2_);
      break;
  }
  out.text = Format(v);
  accepted_[i] = out.text;
  return out;
}

SetValueOutcome SetValueRules::Ok(const char* value, const char* value2, const char* min, const char* max) {
  SetValueOutcome out;
  auto reject = [&out, this](SetValueBox box, float limit) {
    out.accepted = false;
    out.rejected = box;
    out.text = Format(limit);
    accepted_[static_cast<int>(box)] = out.text;
    return out;
  };
  float lo = min_, hi = max_;
  if (opening_.rangeEnabled) {
    lo = Read(min);
    hi = Read(max);
    if (lo < hardMin_) return reject(SetValueBox::Min, hardMin_);
    if (hi > hardMax_) return reject(SetValueBox::Max, hardMax_);
    if (!(lo < hi)) return reject(SetValueBox::Min, min_ < hi ? min_ : hardMin_);
    min_ = lo;
    max_ = hi;
  }
  const float v = Read(value);
  if (v < lo) return reject(SetValueBox::Value, lo);
  if (v > hi) return reject(SetValueBox::Value, hi);
  float v2 = 0.0f;
  if (opening_.value2Enabled) {
    v2 = Read(value2);
    if (v2 < min2_) return reject(SetValueBox::Value2, min2_);
    if (v2 > max2_) return reject(SetValueBox::Value2, max2_);
  }
  out.accepted = true;
  out.value = v;
  out.value2 = v2;
  out.min = lo;
  out.max = hi;
  return out;
}

void ApplyToField(SpinValue& field, const SetValueOutcome& outcome) {
  if (!outcome.accepted) return;
  field.SetValue(outcome.value);
  field.SetRange(outcome.min, outcome.max);
  field.SetValue(outcome.value);
}

}  // namespace rf::controls
