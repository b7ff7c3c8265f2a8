// Rimeflower controls: the numeric field's values, texts and layout.
//
// Everything a numeric field ("Spin Edit CPP") decides without a window: how
// programmatic values widen the range, how typed text commits, what the text
// and the arrows show, and where the three children sit. The Win32 TSpinEdit
// holds one SpinValue and only forwards messages to it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "ui/controls/pixel_canvas.h"

namespace rf::controls {

// ---- Screen density ----------------------------------------------------

// Width S of the arrows by vertical dots per logical inch: 20 up to 96,
// 25 below 144, 30 from 144 on.
int32_t ArrowWidthForDensity(int32_t dotsPerInch);

// ---- Text --------------------------------------------------------------

// A value as the field shows it: the whole number toward zero for integer
// fields, otherwise "%0.2f". Values beyond the 32-bit range show saturated;
// a non-finite value shows "0".
std::string FormatValue(float value, bool isInteger);
// "%0.2f" of a value, with values between -0.0001 and 0 shown as 0 (no
// "-0.00").
std::string FormatFloat(float value);

// Parses the leading decimal number of at most `maxChars` characters:
// optional blanks and sign, digits with an optional point and exponent, the
// rest ignored; '.' is the decimal point whatever the C locale says. Nothing
// parsable (empty text, words such as "nan" or "inf") gives 0. Overflow
// gives the largest float of that sign, never infinity.
float ParseValue(const char* text, size_t maxChars);

// ---- The numeric field's values -----------------------------------------

// Notification codes the field sends its page (WM_COMMAND, field identifier
// in the low word of the first parameter, code as the second parameter).
enum SpinNotify : int32_t {
  kSpinCommitted = 0,  // a committed change
  kSpinDragging = 1,   // a change during a slider drag
  kSpinReset = 2,      // the value went back to its default (also committed)
};

struct SpinValue {
  float value = 0.0f;
  float rangeMin = 0.0f, rangeMax = 100.0f;
  float hardMin = 0.0f, hardMax = 100.0f;
  float defaultValue = 0.0f;
  bool isInteger = false;
  bool rangeEditable = false;
  bool notifyContinuously = false;

  // Stores flags and limits as the page's Create gives them. The widest
  // range is kept only when the range is editable (otherwise it is the
  // range itself). Non-finite limits are replaced by the range.
  void Configure(float min, float max, float hardMinimum, float hardMaximum, bool integer, bool editable,
                 bool continuous, float defaultVal);

  // A programmatic value. When the range is editable the range widens to take
  // it in, never beyond hardMin..hardMax; the value itself is stored even
  // beyond them. Integer fields keep the whole number toward zero.
  // Non-finite values are refused (false, nothing changes).
  bool SetValue(float v);
  // Stores the range; refused (false) when not finite. A reversed pair is
  // put in order.
  bool SetRange(float min, float max);

  // Typed text committed (focus lost or Enter): parsed, clamped to the
  // range; true when the value moved by more than 0.01, in which case the
  // new value is stored and the page is to be notified.
  bool CommitText(const char* text);

  std::string Text() const { return FormatValue(value, isInteger); }
  // The arrows' position: the value toward zero, saturated to 32 bits.
  int32_t ArrowPosition() const;
  static int32_t WholeNumber(float v);
};

// ---- Layout ------------------------------------------------------------

struct SpinEditLayout {
  Rect edit, arrows, slider;
};
// Children of a W x H field: "Spin Edit CPP" (slider under the edit box)
// or, with `horizontal`, "Spin Edit CPP Hor" (slider left of it; its
// widths grow with the arrow width S as S / 20). Sizes never go below 0.
SpinEditLayout LayoutSpinEdit(bool horizontal, int32_t width, int32_t height, int32_t dotsPerInch);

}  // namespace rf::controls
