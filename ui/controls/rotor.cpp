#include "ui/controls/rotor.h"

#include <algorithm>
#include <cmath>

#include "ui/controls/value_field.h"

namespace rf::controls {

namespace {

constexpr double kToDegrees = 180.0 / kRotorPi;
constexpr double kToRadians = kRotorPi / 180.0;

bool Finite(float a, float b = 0.0f) { return std::isfinite(a) && std::isfinite(b); }

// The angle folded into 0..45 degrees: how far a direction is from the
// nearest axis, which decides how far the square pad reaches that way.
double FoldedAngle(double azimuth) {
  const double a = std::fabs(azimuth);
  double phi = a - 90.0 * std::floor(a / 90.0);
  if (phi > 45.0) phi = 90.0 - phi;
  return phi;
}

}  // namespace

bool RotorRecord::SetValue(float v, float elev) {
  if (!Finite(v, elev)) return false;
  Store(v, elev);
  if (kind != RotorKind::Polar) {
    // Later drags count turns from here, not from a stale gesture.
    turns = std::floor(value / 360.0f);
    angle = value - turns * 360.0f;
  }
  return true;
}

void RotorRecord::Store(float v, float elev) {
  value = v;
  elevation = elev;
  if (kind == RotorKind::ValueDial) {
    const float span = maxAngle - minAngle;
    float m = span != 0.0f ? valueMin + (valueMax - valueMin) / span * (value - minAngle) : valueMin;
    if (integer) m = std::trunc(m);
    mappedValue = std::isfinite(m) ? m : valueMin;
  }
}

bool RotorRecord::SetMappedValue(float v) {
  if (!std::isfinite(v)) return false;
  float m = std::clamp(v, std::min(valueMin, valueMax), std::max(valueMin, valueMax));
  if (integer) m = std::trunc(m);
  mappedValue = m;
  const float step = (maxAngle - minAngle) != 0.0f ? (valueMax - valueMin) / (maxAngle - minAngle) : 0.0f;
  value = step != 0.0f ? minAngle + (mappedValue - valueMin) / step : minAngle;
  elevation = 0.0f;
  turns = std::floor(value / 360.0f);
  angle = value - turns * 360.0f;
  return true;
}

bool RotorRecord::SetPoint(float x, float y) {
  if (!Finite(x, y)) return false;
  const double azimuth = std::atan2(-static_cast<double>(y), static_cast<double>(x)) * kToDegrees;
  const double phi = FoldedAngle(azimuth);
  const double r = std::cos(phi * kToRadians) * std::sqrt(static_cast<double>(x) * x + static_cast<double>(y) * y);
  const double elev = std::atan2(std::sqrt(std::max(0.0, 10000.0 - r * r)), r) * kToDegrees;
  return SetValue(static_cast<float>(azimuth), static_cast<float>(elev));
}

void RotorRecord::SetLimits(bool on, float min, float max) {
  if (!Finite(min, max)) return;
  limited = on;
  minAngle = std::min(min, max);
  maxAngle = std::max(min, max);
}

RotorTexts RotorRecord::Texts() const {
  RotorTexts t;
  if (kind == RotorKind::ValueDial)
    t.edit = integer ? FormatValue(mappedValue, true) : FormatFloat(mappedValue);
  else
    t.edit = FormatFloat(value);
  if (padMode) {
    const double r = 100.0 * std::cos(elevation * kToRadians);
    const double cp = std::cos(FoldedAngle(value) * kToRadians);
    double x = r * std::cos(value * kToRadians), y = r * std::sin(value * kToRadians);
    if (cp != 0.0) {
      x /= cp;
      y /= cp;
    }
    t.x = FormatFloat(static_cast<float>(x));
    t.y = FormatFloat(static_cast<float>(y));
  }
  return t;
}

float RotorRecord::Limit(float v) const {
  if (limited || kind == RotorKind::ValueDial) return std::clamp(v, minAngle, maxAngle);
  return v;
}

void RotorRecord::TrackPosition(int32_t x, int32_t y, float radius) {
  const double dx = static_cast<double>(x) - CentreX(), dy = static_cast<double>(y) - CentreY();
  const double distance = std::hypot(dx, dy);
  elevation = radius > 0.0f ? static_cast<float>(std::acos(std::min(1.0, distance / radius)) * kToDegrees) : 0.0f;
  if (dy == 0.0) return;
  const double t = std::atan(dx / dy) * kToDegrees;
  double a;
  if (kind == RotorKind::Polar) {
    a = t - 90.0 + (dy < 0.0 ? 180.0 : 0.0);
  } else {
    a = -t;
    if (dy > 0.0)
      a += 180.0;
    else if (dx < 0.0)
      a += 360.0;
  }
  angle = static_cast<float>(a);
}

RotorActions RotorRecord::Press(int32_t x, int32_t y, bool insideEdit) {
  RotorActions out;
  doubleClicked = false;
  dragging = true;
  if (limited) turns = 0.0f;
  if (kind == RotorKind::AngleDial && insideEdit) return out;
  TrackPosition(x, y, static_cast<float>(CentreX() - 2));
  if (kind == RotorKind::ValueDial) {
    angle = std::clamp(angle, minAngle, maxAngle);
    Store(angle, elevation);
  } else {
    Store(Limit(turns * 360.0f + angle), elevation);
  }
  out.capture = out.texts = out.redraw = true;
  return out;
}

RotorActions RotorRecord::Drag(int32_t x, int32_t y) {
  RotorActions out;
  if (!dragging) return out;
  previousAngle = angle;
  TrackPosition(x, y, static_cast<float>(CentreX()));
  if (previousAngle > 300.0f && angle < 90.0f) turns += 1.0f;
  if (previousAngle < 90.0f && angle > 300.0f) turns -= 1.0f;
  Store(Limit(turns * 360.0f + angle), elevation);
  out.redraw = out.texts = true;
  out.postNotify = notifyOnDrag;
  return out;
}

RotorActions RotorRecord::Hover(int32_t x, int32_t y) {
  RotorActions out;
  out.redraw = true;
  if (!enabled) {
    out.redraw = hover;
    hover = false;
    return out;
  }
  const double distance = std::hypot(static_cast<double>(x) - CentreX(), static_cast<double>(y) - CentreY());
  if (distance > CentreX()) {
    out.release = hover;
    out.redraw = hover;
    hover = false;
  } else if (!hover) {
    out.capture = true;
    hover = true;
  } else {
    out.redraw = false;
  }
  return out;
}

RotorActions RotorRecord::Release(uint32_t nowMs, bool timerStarted) {
  RotorActions out;
  dragging = false;
  out.release = true;
  if (!timerStarted) {
    out.notify = out.redraw = true;
    return out;
  }
  timer_.Start(nowMs, kReleaseDelayMs);
  out.startTimer = true;
  return out;
}

RotorActions RotorRecord::Timer(uint32_t nowMs) {
  RotorActions out;
  if (!timer_.Expire(nowMs) || doubleClicked) return out;
  out.notify = out.redraw = true;
  return out;
}

RotorActions RotorRecord::DoubleClick() {
  doubleClicked = true;
  if (kind == RotorKind::Polar && padMode)
    SetPoint(defaultValue, -defaultElevation);
  else if (kind == RotorKind::Polar)
    SetValue(defaultValue, defaultElevation);
  else
    SetValue(defaultValue, 0.0f);
  RotorActions out;
  out.notify = out.redraw = out.texts = true;
  return out;
}

RotorActions RotorRecord::EditNotify(int32_t code, const char* text) {
  RotorActions out;
  if (code == kEditEscapeCode) {
    SetValue(value, 0.0f);
    out.texts = out.redraw = true;
    return out;
  }
  if (code != kEditKillFocusCode && code != kEditEnterCode) return out;
  const float number = ParseValue(text, 16);
  if (kind == RotorKind::ValueDial) {
    SetMappedValue(number);
  } else {
    float v = number;
    if (limited) {
      if (v > maxAngle) v = maxAngle;
      if (v <= minAngle) v = minAngle;
    }
    SetValue(v, 0.0f);
  }
  out.texts = out.redraw = out.notify = true;
  return out;
}

RotorActions RotorRecord::Step(int32_t direction, bool quiet) {
  const float d = direction < 0 ? -1.0f : 1.0f;
  if (kind == RotorKind::ValueDial) {
    SetMappedValue(std::trunc(mappedValue + d));
  } else {
    float v = std::trunc(value + d);
    if (limited) {
      if (v > maxAngle) v = maxAngle;
      if (v <= minAngle) v = minAngle;
    }
    SetValue(v, 0.0f);
  }
  RotorActions out;
  out.texts = out.redraw = true;
  out.notify = !(d < 0.0f && quiet);
  return out;
}

void RotorRecord::PlaceKnob() {
  const double a = (180.0 - value) * kToRadians;
  const double reach = static_cast<double>(std::min(CentreX(), CentreY()) - knobInset);
  knobX = static_cast<int32_t>(std::lround(CentreX() + std::sin(a) * reach));
  knobY = static_cast<int32_t>(std::lround(CentreY() + std::cos(a) * reach));
}

namespace {

void PaintSphere(Canvas& canvas, const RotorRecord& rotor, const RotorStyle& style) {
  const float cx = static_cast<float>(rotor.width) / 2.0f, cy = static_cast<float>(rotor.height) / 2.0f;
  const float radius = std::min(cx, cy) - 1.0f;
  if (!(radius > 1.0f)) return;
  const double a = (static_cast<double>(rotor.value) + 90.0) * kToRadians;
  const double e = static_cast<double>(rotor.elevation) * kToRadians;
  const double lx = std::sin(a) * std::cos(e), ly = std::cos(a) * std::cos(e), lz = std::sin(e);
  const bool lively = rotor.hover || rotor.dragging;
  for (int32_t y = 0; y < canvas.Height(); ++y)
    for (int32_t x = 0; x < canvas.Width(); ++x) {
      const float ox = (static_cast<float>(x) + 0.5f - cx) / radius, oy = (static_cast<float>(y) + 0.5f - cy) / radius;
      const float d2 = ox * ox + oy * oy;
      const float cover = std::clamp((1.0f - std::sqrt(d2)) * radius + 0.5f, 0.0f, 1.0f);
      if (cover <= 0.0f) continue;
      const double nz = std::sqrt(std::max(0.0, 1.0 - static_cast<double>(d2)));
      const double dot = std::max(0.0, ox * lx + oy * ly + nz * lz);
      const double c = dot * dot * dot;
      double b;
      if (rotor.padMode)
        b = (lively ? std::pow(c, 4) : std::pow(c, 6)) * 150.0;
      else
        b = (std::pow(c, 20) + c) * 205.0 + 50.0;
      // The tint lifts the unlit side so that the disc reads as a surface.
      const double lift = rotor.padMode ? 0.8 : 0.55;
      auto channel = [b, lift](uint32_t tint) { return static_cast<uint32_t>(std::min(255.0, b + tint * lift)); };
      Pixel p = MakePixel(channel(Red(style.tint)), channel(Green(style.tint)), channel(Blue(style.tint)));
      if (!rotor.enabled) p = Mix(p, style.background, 0.6f);
      canvas.Blend(x, y, p, cover);
    }
  canvas.Ring(cx, cy, radius + 0.5f, 1.0f, lively && rotor.enabled ? 0x3A6EA5 : 0x8C8C8C);
  if (!rotor.padMode) return;
  const double reach = 0.99 * std::min(rotor.CentreX(), rotor.CentreY()) * std::cos(e);
  const double v = -static_cast<double>(rotor.value) * kToRadians;
  const float px = static_cast<float>(rotor.CentreX() + reach * std::cos(v)) + 0.5f;
  const float py = static_cast<float>(rotor.CentreY() + reach * std::sin(v)) + 0.5f;
  canvas.Disc(px, py, 4.5f, rotor.enabled ? 0x202020 : 0x808080);
  canvas.Disc(px, py, 2.5f, 0xFFFFFF);
}

void PaintDialFace(Canvas& canvas, RotorRecord& rotor, const RotorStyle& style) {
  const float cx = static_cast<float>(rotor.CentreX()) + 0.5f, cy = static_cast<float>(rotor.CentreY()) + 0.5f;
  const float radius = static_cast<float>(std::min(rotor.CentreX(), rotor.CentreY())) - 0.5f;
  if (!(radius > 2.0f)) return;
  const bool lively = (rotor.hover || rotor.dragging) && rotor.enabled;
  auto shade = [&](Pixel p) { return rotor.enabled ? p : Mix(p, style.background, 0.5f); };
  // Face: a soft vertical gradient inside a darker rim.
  for (int32_t y = 0; y < canvas.Height(); ++y) {
    const float t = std::clamp((static_cast<float>(y) - (cy - radius)) / (2.0f * radius), 0.0f, 1.0f);
    const Pixel face = shade(Mix(0xFAFAFA, 0xD4D6DA, t));
    for (int32_t x = 0; x < canvas.Width(); ++x) {
      const float d = std::hypot(static_cast<float>(x) + 0.5f - cx, static_cast<float>(y) + 0.5f - cy);
      canvas.Blend(x, y, face, std::clamp(radius - d + 0.5f, 0.0f, 1.0f));
    }
  }
  canvas.Ring(cx, cy, radius, 1.2f, shade(lively ? 0x3A6EA5 : 0x8C8C8C));
  // Ticks every 30 degrees, the one at the top longer.
  for (int i = 0; i < 12; ++i) {
    const double a = i * 30.0 * kToRadians;
    const double outer = radius - 3.0, inner = radius - (i == 0 ? 8.0 : 6.0);
    if (inner <= 0.0) break;
    canvas.Line(static_cast<int32_t>(std::lround(cx + std::sin(a) * inner - 0.5)),
                static_cast<int32_t>(std::lround(cy - std::cos(a) * inner - 0.5)),
                static_cast<int32_t>(std::lround(cx + std::sin(a) * outer - 0.5)),
                static_cast<int32_t>(std::lround(cy - std::cos(a) * outer - 0.5)), shade(0x9A9CA0));
  }
  rotor.PlaceKnob();
  const float kx = static_cast<float>(rotor.knobX) + 0.5f, ky = static_cast<float>(rotor.knobY) + 0.5f;
  canvas.Disc(kx, ky, 5.0f, shade(lively ? 0x2A5E95 : 0x3A6EA5));
  canvas.Disc(kx - 1.0f, ky - 1.0f, 2.0f, shade(0x9CC0E6));
}

}  // namespace

void PaintRotor(Canvas& canvas, RotorRecord& rotor, const RotorStyle& style) {
  if (canvas.Empty()) return;
  canvas.Fill(style.background);
  if (rotor.kind == RotorKind::Polar)
    PaintSphere(canvas, rotor, style);
  else
    PaintDialFace(canvas, rotor, style);
}

}  // namespace rf::controls
