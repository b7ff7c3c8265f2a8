// The path emitter: path records to cubic curves, and curves to segments
// 5 pixels of arc length apart.
#include "pattern/path_emitter.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "pattern/geometry.h"

namespace rf::pattern {

// ---- The curves of the document --------------------------------------------

void ResolveEmitterType(ParameterRecord& record, bool documentHasPath) {
  const bool havePath = documentHasPath;
  if (record.EmitterType == kEmitterAuto) record.EmitterType = havePath ? kEmitterPaths : kEmitterContours;
  if (record.EmitterType == kEmitterPaths && !havePath) record.EmitterType = kEmitterContours;
}

// ---- Curve geometry ----------------------------------------------------------

namespace {

struct Point2 {
  double x, y;
};

Point2 Position(const PathCurve& c, double t) {
  const double u = 1.0 - t;
  const double b0 = u * u * u, b1 = 3.0 * u * u * t, b2 = 3.0 * u * t * t, b3 = t * t * t;
  return {b0 * c.x[0] + b1 * c.x[1] + b2 * c.x[2] + b3 * c.x[3], b0 * c.y[0] + b1 * c.y[1] + b2 * c.y[2] + b3 * c.y[3]};
}

Point2 Derivative(const PathCurve& c, double t) {
  const double u = 1.0 - t;
  const double d0 = 3.0 * u * u, d1 = 6.0 * u * t, d2 = 3.0 * t * t;
  return {d0 * (c.x[1] - c.x[0]) + d1 * (c.x[2] - c.x[1]) + d2 * (c.x[3] - c.x[2]),
          d0 * (c.y[1] - c.y[0]) + d1 * (c.y[2] - c.y[1]) + d2 * (c.y[3] - c.y[2])};
}

// The length of the part [0, t] by the same ten-sample rule as the whole
// curve, so that the part [0, 1] is exactly the curve's length. Negative for
// t < 0, which keeps the search below monotonic past either end.
double PartLength(const PathCurve& c, double t) {
  double sum = 0.0;
  for (int i = 0; i < 10; ++i) {
    const Point2 d = Derivative(c, (0.05 + 0.1 * i) * t);
    sum += std::sqrt(d.x * d.x + d.y * d.y);
  }
  return t * sum / 10.0;
}

struct Sample {
  double x, y;    // buffer frame
  double tx, ty;  // tangent, |tx| + |ty| = 1 unless it vanishes
};

// The point at fraction f of the arc length: ten halving steps on t from the
// middle, the first of them a whole half. The search may end up to a
// thousandth outside [0, 1]; at f = 0 it does, just before the start, where
// the tangent of a curve whose controls sit on its anchors points backwards.
// Growth reads only the segments, so that is left as it falls.
Sample SampleAt(const PathCurve& c, double f, double length, double zoom, double shiftX, double shiftY) {
  const double target = f * length;
  double t = 0.5, move = 0.5;
  for (int i = 0; i < 10; ++i) {
    t += PartLength(c, t) < target ? move : -move;
    move *= 0.5;
  }
  const Point2 p = Position(c, t);
  Point2 d = Derivative(c, t);
  const double norm = std::fabs(d.x) + std::fabs(d.y);
  if (norm != 0.0) d = {d.x / norm, d.y / norm};
  return {p.x / zoom + shiftX, p.y / zoom + shiftY, d.x, d.y};
}

// Segments a curve adds to the emitter's total: one per whole 5 pixels.
size_t SegmentShare(float length) {
  if (!(length >= 5.0f) || !std::isfinite(length)) return 0;
  return size_t(std::trunc(double(length))) / 5;
}

}  // namespace

float CurveLength(const PathCurve& curve) { return float(PartLength(curve, 1.0)); }

PathCurve MakeCurve(const float x[4], const float y[4]) {
  PathCurve c{};
  std::copy(x, x + 4, c.x);
  std::copy(y, y + 4, c.y);
  c.length = CurveLength(c);
  return c;
}

// ---- Curves to emitter --------------------------------------------------------

bool BuildPathEmitter(const PathCurves& curves, const ImageGeometry& geometry, float xShift, float yShift,
                      Emitter& out) {
  out.Clear();
  const double zoom = geometry.previewScale;
  if (!(zoom > 0.0) || !std::isfinite(zoom)) return false;

  size_t total = 0;
  for (const PathCurve& c : curves) {
    total += SegmentShare(c.length);
    if (total > kMaxPathSegments) return false;
  }
  if (total == 0) return false;
  try {
    out.points.reserve(2 * total);
    out.segments.reserve(total);
  } catch (const std::bad_alloc&) {
    out = Emitter();
    return false;
  }

  const double shiftX = double(xShift) - geometry.offsetX;
  const double shiftY = double(yShift) - geometry.offsetY;
  auto point = [](const Sample& s) {
    EmitterPoint p{};
    p.x = float(s.x);
    p.y = float(s.y);
    p.nx = float(s.tx);
    p.ny = float(s.ty);
    p.flag = 1;
    return p;
  };

  // The segment index runs across all curves: a curve shorter than 5 pixels
  // adds nothing to the total but still takes one segment while the total
  // has room.
  size_t index = 0;
  for (const PathCurve& c : curves) {
    if (index >= total) break;
    const double length = c.length;
    if (!(length > 0.0) || !std::isfinite(length)) continue;
    const double dt = std::min(1.0, 5.0 / length);
    Sample previous = SampleAt(c, 0.0, length, zoom, shiftX, shiftY);
    // f is taken as k x dt rather than summed, so that a curve of a whole
    // number of steps ends exactly on f = 1 and gets its last segment.
    for (size_t k = 1; index < total; ++k) {
      const double f = double(k) * dt;
      if (f > 1.0 + 1e-9) break;
      const Sample current = SampleAt(c, std::min(f, 1.0), length, zoom, shiftX, shiftY);
      const Vec2<double> n = EdgeNormal(previous.x, previous.y, current.x, current.y);
      EmitterSegment s{};
      s.start = int32_t(2 * index);
      s.end = int32_t(2 * index + 1);
      s.nx = float(n.x);
      s.ny = float(n.y);
      s.length = float(std::hypot(current.x - previous.x, current.y - previous.y));
      s.flag = 1;
      out.points.push_back(point(previous));
      out.points.push_back(point(current));
      out.segments.push_back(s);
      previous = current;
      ++index;
    }
  }
  return !out.segments.empty();
}

// ---- Path records to curves ------------------------------------------------------

bool DocumentSizeInPoints(int64_t pixels, Fixed resolution, Fixed& points) {
  points = 0;
  if (pixels < 0) return false;
  const double ppi = resolution > 0 ? resolution / 65536.0 : 72.0;
  const double value = std::trunc(double(pixels) * 72.0 / ppi * 65536.0);
  if (value > 32767.0 * 65536.0) return false;
  points = Fixed(value);
  return true;
}

namespace {

int16_t ReadInt16(const uint8_t* p) { return int16_t(uint16_t((p[0] << 8) | p[1])); }

int32_t ReadInt32(const uint8_t* p) {
  return int32_t((uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]));
}

struct Knot {
  double x[3], y[3];  // preceding control, anchor, leaving control
};

class RecordDecoder {
 public:
  RecordDecoder(Fixed widthPoints, Fixed heightPoints, Fixed verticalResolution)
      : width(widthPoints),
        height(heightPoints),
        pixelsPerPoint((verticalResolution > 0 ? verticalResolution / 65536.0 : 72.0) / 72.0) {}

  // False when a coordinate is too far out to be scaled.
  bool ReadKnot(const uint8_t* record, Knot& knot) const {
    for (int i = 0; i < 3; ++i) {
      if (!Coordinate(ReadInt32(record + 2 + 8 * i), height, knot.y[i])) return false;
      if (!Coordinate(ReadInt32(record + 6 + 8 * i), width, knot.x[i])) return false;
    }
    return true;
  }

 private:
  // An 8.24 fraction of the document size to pixels, through 16.16 points.
  bool Coordinate(int32_t fraction, Fixed sizePoints, double& pixels) const {
    const int64_t whole = fraction >> 24;
    if ((whole < 0 ? -whole : whole) * int64_t(sizePoints) >= (int64_t(32768) << 16)) return false;
    const int64_t points = (int64_t(fraction) * int64_t(sizePoints >> 8)) >> 16;
    pixels = double(points) / 65536.0 * pixelsPerPoint;
    return true;
  }

  Fixed width, height;
  double pixelsPerPoint;
};

void AddCurve(const Knot& from, const Knot& to, PathCurves& out) {
  const float x[4] = {float(from.x[1]), float(from.x[2]), float(to.x[0]), float(to.x[1])};
  const float y[4] = {float(from.y[1]), float(from.y[2]), float(to.y[0]), float(to.y[1])};
  out.push_back(MakeCurve(x, y));
}

}  // namespace

size_t DecodePathRecords(const uint8_t* data, size_t size, Fixed widthPoints, Fixed heightPoints,
                         Fixed verticalResolution, PathCurves& out) {
  if (!data) return 0;
  const size_t before = out.size();
  const size_t count = std::min(size / kPathRecordSize, kMaxPathRecords);
  const RecordDecoder decoder(widthPoints, heightPoints, verticalResolution);
  std::vector<Knot> knots;

  try {
    size_t r = 0;
    while (r < count) {
      const int16_t selector = ReadInt16(data + kPathRecordSize * r++);
      // Only a length record opens a subpath; fill-rule, clipboard and stray
      // knot records are passed over.
      if (selector != 0 && selector != 3) continue;
      const bool closed = selector == 0;
      const size_t knotCount = uint16_t(ReadInt16(data + kPathRecordSize * (r - 1) + 2));
      knots.clear();
      bool good = true;
      while (knots.size() < knotCount && r < count) {
        const uint8_t* record = data + kPathRecordSize * r++;
        const int16_t s = ReadInt16(record);
        if (s >= 6) continue;
        const bool matches = closed ? (s == 1 || s == 2) : (s == 4 || s == 5);
        Knot knot{};
        if (!matches || !decoder.ReadKnot(record, knot)) good = false;
        knots.push_back(knot);
      }
      if (!good || knots.size() < knotCount) continue;
      for (size_t k = 0; k + 1 < knots.size(); ++k) AddCurve(knots[k], knots[k + 1], out);
      if (closed && !knots.empty()) AddCurve(knots.back(), knots.front(), out);
    }
  } catch (const std::bad_alloc&) {
    // Fewer curves, like any other failure on the way.
  }
  return out.size() - before;
}

}  // namespace rf::pattern
