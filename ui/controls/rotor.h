// Rimeflower controls: the dials ("Rotor CPP") without their window.
//
// Three kinds: 0, a polar dial giving an azimuth and an elevation (the light
// direction, and in padMode the effect-position pad read as a point x, y);
// 3, an angle dial with its own edit box; 4, a value dial that maps an angle
// range onto a value range. The record holds the state of one dial and runs
// its mouse gestures; PaintRotor draws it into a pixel buffer.
#pragma once

#include <cstdint>
#include <string>

#include "ui/controls/gesture_timer.h"
#include "ui/controls/pixel_canvas.h"

namespace rf::controls {

enum class RotorKind : uint8_t { Polar = 0, AngleDial = 3, ValueDial = 4 };

// Radians per degree and back, as the dials use them.
constexpr double kRotorPi = 3.141592;

// Child identifiers a dial listens to: its edit box, and the step controls
// the page points at it.
constexpr int32_t kRotorEditId = 1;
constexpr int32_t kRotorStepUpId = 2;
constexpr int32_t kRotorStepDownId = 3;
// Edit box notification codes the dial reacts to.
constexpr int32_t kEditEscapeCode = 27;
constexpr int32_t kEditKillFocusCode = 512;  // EN_KILLFOCUS
constexpr int32_t kEditEnterCode = 1281;

// What the window layer does after an event.
struct RotorActions {
  bool capture = false;
  bool release = false;
  bool redraw = false;
  bool texts = false;       // rewrite the edit boxes from Texts()
  bool notify = false;      // send WM_COMMAND to the parent now
  bool postNotify = false;  // post it (drag steps)
  bool startTimer = false;
};

struct RotorTexts {
  std::string edit;  // kinds 3 and 4
  std::string x, y;  // padMode: the page's X and Y boxes
};

struct RotorRecord {
  int32_t width = 0, height = 0;  // client size
  RotorKind kind = RotorKind::Polar;
  bool padMode = false;
  float value = 0.0f;  // degrees, including whole turns
  float elevation = 90.0f;
  float turns = 0.0f;
  float angle = 0.0f, previousAngle = 0.0f;
  bool limited = false;
  float minAngle = 0.0f, maxAngle = 360.0f;
  float valueMin = 0.0f, valueMax = 0.0f, mappedValue = 0.0f;
  bool integer = false;
  float defaultValue = 0.0f, defaultElevation = 0.0f;
  bool notifyOnDrag = false;
  std::string caption;  // at most 16 characters are shown
  int32_t knobX = 0, knobY = 0;
  int32_t knobInset = 4;
  bool hover = false, dragging = false, doubleClicked = false, enabled = true;

  int32_t CentreX() const { return width / 2; }
  int32_t CentreY() const { return height / 2; }

  // ---- Values ------------------------------------------------------------
  // Stores both (non-finite numbers are refused); kind 4 recomputes the
  // mapped value from the angle.
  bool SetValue(float v, float elev);
  // Kind 4: the value clamped to valueMin..valueMax, the angle from it.
  bool SetMappedValue(float v);
  // padMode: the point (x, y) of the pad, -100..100 each way, as an azimuth
  // and an elevation.
  bool SetPoint(float x, float y);
  // The limits of an angle dial (also the angle range of a value dial).
  void SetLimits(bool on, float min, float max);
  RotorTexts Texts() const;

  // ---- Mouse -------------------------------------------------------------
  // Angle and elevation of a client position; `radius` is the disc radius
  // the elevation is measured against. A position level with the centre
  // keeps the angle.
  void TrackPosition(int32_t x, int32_t y, float radius);
  // `insideEdit`: a kind 3 press on its own edit box, left to the box.
  RotorActions Press(int32_t x, int32_t y, bool insideEdit);
  RotorActions Drag(int32_t x, int32_t y);
  RotorActions Hover(int32_t x, int32_t y);
  RotorActions Release(uint32_t nowMs, bool timerStarted = true);
  RotorActions Timer(uint32_t nowMs);
  RotorActions DoubleClick();

  // ---- Children ----------------------------------------------------------
  // The edit box's notification `code` with its text (at most 16
  // characters are read).
  RotorActions EditNotify(int32_t code, const char* text);
  // Step by +1 or -1; `quiet` (the second message parameter was 1) stores
  // the step without notifying.
  RotorActions Step(int32_t direction, bool quiet);

  bool TimerRunning() const { return timer_.Running(); }
  // Knob centre on the dial for the current value.
  void PlaceKnob();

 private:
  float Limit(float v) const;
  // Stores a value from the mouse: the turn count stays the gesture's.
  void Store(float v, float elev);
  GestureTimer timer_;
};

// Colours the dials are painted with.
struct RotorStyle {
  Pixel background = 0xE8E8E8;
  Pixel tint = 0xA8B8CC;  // mixed into the lit sphere
};

// Paints the dial, double-buffered by the caller: background, then kind 0's
// lit sphere (with the pad's point mark in padMode), or the face and knob of
// kinds 3 and 4. A zero-size canvas paints nothing.
void PaintRotor(Canvas& canvas, RotorRecord& rotor, const RotorStyle& style);

}  // namespace rf::controls
