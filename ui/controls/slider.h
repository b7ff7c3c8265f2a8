// Rimeflower controls: the slider ("Mac Slider CPP") without its window.
//
// Maps between positions and values, keeps the inner limits and runs the
// click gesture: press, drag, release, and a release timer that a double
// click cancels. The window layer feeds it mouse events with their times and
// carries out the actions it answers.
#pragma once

#include <cstdint>

#include "ui/controls/gesture_timer.h"

namespace rf::controls {

enum class SliderOrientation : uint8_t { Horizontal = 0, Vertical = 1, TrackBar = 2 };

// Notification codes of the slider (WM_COMMAND to the parent, second
// parameter): 0 a finished change, 1 a drag step, 2 a double click.
enum SliderNotify : int32_t { kSliderCommitted = 0, kSliderDragging = 1, kSliderDoubleClick = 2 };

struct SliderModel {
  float value = 0.0f;
  float rangeMin = 0.0f, rangeMax = 100.0f;
  bool limited = false;
  float limitMin = 0.0f, limitMax = 0.0f;
  SliderOrientation orientation = SliderOrientation::Horizontal;
  bool notifyOnDrag = false;
  bool insideField = false;
  // Client width (horizontal) or height (vertical) in pixels.
  int32_t length = 0;

  // Value under a client coordinate along the slider: 5 pixels of margin at
  // each end, clamped to the range and then to the inner limits.
  float ValueAt(int32_t position) const;
  // Centre of the thumb for the current value, rounded.
  int32_t ThumbAt() const;
  // Programmatic value: clamped to the inner limits when limited; non-finite
  // values are refused (false).
  bool SetValue(float v);
  // A range that is not finite is refused; a reversed pair is put in order.
  bool SetRange(float min, float max);
  void SetLimits(bool on, float min, float max);
};

// What the window layer does after an event, in this order: capture or
// release the mouse, redraw, send WM_HSCROLL to the parent, then the
// notification; start or stop the release timer.
struct SliderActions {
  bool capture = false;
  bool release = false;
  bool redraw = false;
  bool scroll = false;
  int32_t notify = -1;  // a SliderNotify code, -1 for none
  bool startTimer = false;
};

class SliderGesture {
 public:
  explicit SliderGesture(SliderModel& model) : model_(model) {}

  SliderActions ButtonDown(int32_t position);
  SliderActions Move(int32_t position, bool leftHeld);
  // `timerStarted` false: the system had no timer to give, so the
  // end-of-gesture work is done at once.
  SliderActions ButtonUp(int32_t position, uint32_t nowMs, bool timerStarted = true);
  SliderActions Timer(uint32_t nowMs);
  SliderActions DoubleClick();
  // Right button: forwarded to the field when the slider is inside one.
  bool ForwardRightButton() const { return model_.insideField; }

  bool TimerRunning() const { return timer_.Running(); }

 private:
  SliderActions Finish();

  SliderModel& model_;
  GestureTimer timer_;
  bool clickPending_ = false;
  bool pressed_ = false;
  int32_t lastPosition_ = 0;
};

}  // namespace rf::controls
