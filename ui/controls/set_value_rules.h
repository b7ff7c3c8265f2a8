// Rimeflower controls: the rules of the "Set value" dialog, without its
// window.
//
// The dialog edits one numeric field (new value, new minimum, new maximum
// within the field's widest range) or, in its rotor form, one dial (one or
// two values, the range shown but fixed). Every box is checked when it loses
// the focus and once more on OK; the window layer shows the texts, beeps
// when told and moves the focus to a rejected box.
#pragma once

#include <cstdint>
#include <string>

namespace rf::controls {

struct SpinValue;
struct RotorRecord;

enum class SetValueBox : uint8_t { Value = 0, Value2 = 1, Min = 2, Max = 3 };

// Texts the dialog opens with.
struct SetValueTexts {
  std::string name;
  std::string current1, current2;  // "Current value 1 is:", "Current value 2 is:"
  std::string type;                // "Integer slider", "Float slider", "Float dial", ...
  std::string range;               // the widest range, "%d ... %d" or "%0.2f ... %0.2f"
  std::string value, value2, min, max;
  bool value2Enabled = false;
  bool rangeEnabled = false;  // the minimum and maximum boxes
};

struct SetValueBoxResult {
  std::string text;  // what the box shows now
  bool beep = false;
};

struct SetValueOutcome {
  bool accepted = false;
  // When not accepted: the box to focus and the text written into it.
  SetValueBox rejected = SetValueBox::Value;
  std::string text;
  float value = 0.0f, value2 = 0.0f, min = 0.0f, max = 0.0f;
};

class SetValueRules {
 public:
  // The numeric field form.
  static SetValueRules ForField(const SpinValue& field, const std::string& name);
  // The rotor form: kind 0 edits the azimuth and the elevation (padMode: the
  // point's x and y, -100..100), kind 3 the angle (within the limits when
  // limited), kind 4 the mapped value.
  static SetValueRules ForRotor(const RotorRecord& rotor);

  const SetValueTexts& Opening() const { return opening_; }

  // A box lost the focus with `text` in it.
  SetValueBoxResult Leave(SetValueBox box, const char* text);
  // Escape in a box: its last accepted text.
  std::string Escape(SetValueBox box) const { return accepted_[static_cast<int>(box)]; }
  // OK with the boxes' texts (every box checked, in the order minimum,
  // maximum, values).
  SetValueOutcome Ok(const char* value, const char* value2, const char* min, const char* max);

 private:
  std::string Format(float v) const;
  float Read(const char* text) const;

  SetValueTexts opening_;
  std::string accepted_[4];
  bool isInteger_ = false;
  float min_ = 0, max_ = 0, hardMin_ = 0, hardMax_ = 0;
  float min2_ = 0, max2_ = 0;
};

// What OK does to the field: SetValue(new), SetRange(min, max), SetValue(new)
// again, so that the value lands inside the range it was given.
void ApplyToField(SpinValue& field, const SetValueOutcome& outcome);

}  // namespace rf::controls
