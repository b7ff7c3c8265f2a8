// Rimeflower controls: the one-shot timers that end a mouse gesture.
//
// A release starts a short timer; a double click that arrives before it
// fires cancels the end-of-gesture work. The window layer turns WM_TIMER into
// Expire(now); the logic decides with the time it is given, so that a stale
// timer message (queued before the timer was restarted) does nothing.
#pragma once

#include <cstdint>

namespace rf::controls {

// Timer identifiers and delays shared by the controls.
constexpr uintptr_t kReleaseTimerId = 1;
constexpr uint32_t kReleaseDelayMs = 200;
constexpr uintptr_t kArrowTimerId = 333;
constexpr uint32_t kArrowDelayMs = 500;

class GestureTimer {
 public:
  // System timers may fire up to one tick early; a message this close to the
  // due time counts as the timer's.
  static constexpr uint32_t kSlackMs = 20;

  void Start(uint32_t nowMs, uint32_t delayMs) {
    running_ = true;
    due_ = nowMs + delayMs;
  }
  void Stop() { running_ = false; }
  bool Running() const { return running_; }
  // True once, on the first call at or after the due time; the timer then
  // stops. Millisecond counters wrap after 49 days; the difference is signed.
  bool Expire(uint32_t nowMs) {
    if (!running_ || static_cast<int32_t>(nowMs + kSlackMs - due_) < 0) return false;
    running_ = false;
    return true;
  }

 private:
  bool running_ = false;
  uint32_t due_ = 0;
};

}  // namespace rf::controls
