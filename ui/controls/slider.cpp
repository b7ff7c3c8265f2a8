#include "ui/controls/slider.h"

#include <algorithm>
#include <cmath>

namespace rf::controls {

float SliderModel::ValueAt(int32_t position) const {
  const float span = static_cast<float>(length - 10);
  float v = span > 0.0f ? rangeMin + static_cast<float>(position - 5) * (rangeMax - rangeMin) / span : rangeMin;
  v = std::clamp(v, rangeMin, rangeMax);
  if (limited) v = std::clamp(v, limitMin, limitMax);
  return v;
}

int32_t SliderModel::ThumbAt() const {
  const float range = rangeMax - rangeMin;
  if (!(range > 0.0f)) return 5;
  const float v = std::clamp(value, rangeMin, rangeMax);
  return static_cast<int32_t>(std::lround((v - rangeMin) * static_cast<float>(std::max(length - 10, 0)) / range)) + 5;
}

bool SliderModel::SetValue(float v) {
  if (!std::isfinite(v)) return false;
  if (limited) v = std::clamp(v, limitMin, limitMax);
  value = v;
  return true;
}

bool SliderModel::SetRange(float min, float max) {
  if (!std::isfinite(min) || !std::isfinite(max)) return false;
  rangeMin = std::min(min, max);
  rangeMax = std::max(min, max);
  return true;
}

void SliderModel::SetLimits(bool on, float min, float max) {
  if (on && (!std::isfinite(min) || !std::isfinite(max))) on = false;
  limited = on;
  limitMin = std::min(min, max);
  limitMax = std::max(min, max);
  if (limited) value = std::clamp(value, limitMin, limitMax);
}

SliderActions SliderGesture::ButtonDown(int32_t position) {
  clickPending_ = false;
  pressed_ = true;
  lastPosition_ = position;
  model_.value = model_.ValueAt(position);
  SliderActions a;
  a.capture = true;
  a.redraw = true;
  return a;
}

SliderActions SliderGesture::Move(int32_t position, bool leftHeld) {
  SliderActions a;
  // After a double click the button is down again, but that press is not a
  // drag: its positions must not undo the reset.
  if (!leftHeld || !pressed_ || clickPending_) return a;
  lastPosition_ = position;
  model_.value = model_.ValueAt(position);
  a.scroll = true;
  a.redraw = true;
  if (model_.notifyOnDrag) a.notify = kSliderDragging;
  return a;
}

SliderActions SliderGesture::ButtonUp(int32_t position, uint32_t nowMs, bool timerStarted) {
  SliderActions a;
  a.release = true;
  if (!pressed_) return a;
  pressed_ = false;
  if (!clickPending_) lastPosition_ = position;
  if (!timerStarted) {
    SliderActions f = Finish();
    f.release = true;
    return f;
  }
  timer_.Start(nowMs, kReleaseDelayMs);
  a.startTimer = true;
  return a;
}

SliderActions SliderGesture::Timer(uint32_t nowMs) {
  if (!timer_.Expire(nowMs)) return {};
  return Finish();
}

SliderActions SliderGesture::Finish() {
  SliderActions a;
  if (clickPending_) return a;
  model_.value = model_.ValueAt(lastPosition_);
  a.redraw = true;
  a.scroll = true;
  a.notify = kSliderCommitted;
  return a;
}

SliderActions SliderGesture::DoubleClick() {
  clickPending_ = true;
  pressed_ = true;  // the button is down; its release restarts the timer
  SliderActions a;
  a.notify = kSliderDoubleClick;
  return a;
}

}  // namespace rf::controls
