// The six fixed layouts: straight lines along the image's edges whose points
// crowd near a chosen centre and thin out away from it.
#include <cmath>

#include "pattern/pattern.h"

namespace rf::pattern {

namespace {

// Far beyond any real line (a step is at least a hundredth of the base), but
// a bound all the same.
constexpr size_t kMaxPointsPerLine = 1000000;

struct LineLayout {
  bool alongX;   // the line runs along x at the fixed coordinate `at`
  double at;
  double from, to;
  double spread;  // S
  double base;    // B
  double centre;  // c
  float nx, ny;
};

void AppendLine(const LineLayout& line, Emitter& out) {
  auto addPoint = [&](double p) {
    EmitterPoint e{};
    e.x = float(line.alongX ? p : line.at);
    e.y = float(line.alongX ? line.at : p);
    e.nx = line.nx;
    e.ny = line.ny;
    e.flag = 1;
    out.points.push_back(e);
  };
  double p = line.from;
  addPoint(p);
  for (size_t k = 0; k < kMaxPointsPerLine; ++k) {
    const double d = (std::fabs(p - line.centre) / line.spread + 0.01) * line.base;
    if (k > 0) {
      // A segment's length field is the step that leaves its end point.
      EmitterSegment s{};
      s.start = int32_t(out.points.size() - 2);
      s.end = int32_t(out.points.size() - 1);
      s.nx = line.nx;
      s.ny = line.ny;
      s.length = float(d);
      s.flag = 1;
      out.segments.push_back(s);
    }
    // On an image a pixel or two across the base is 0 and the line would
    // never end; it stays a single point.
    if (!(d > 0.0) || !std::isfinite(d)) break;
    const double next = p + d;
    if (!(next <= line.to) || next == p) break;
    p = next;
    addPoint(p);
  }
}

}  // namespace

bool BuildFixedEmitter(uint8_t maskKind, const ImageGeometry& geometry, Emitter& out) {
  out.Clear();
  // Integer halves and thirds truncate, as everywhere in the layout.
  const int64_t W = geometry.width, H = geometry.height;
  const int64_t DW = geometry.ScaledFilterWidth(), DH = geometry.ScaledFilterHeight();
  const int64_t x0 = -(W / 2), y0 = -(H / 2);
  const int64_t x1 = x0 + DW, y1 = y0 + DH;
  const double dw = double(DW), dh = double(DH);

  auto horizontal = [&](int64_t y, int64_t from, int64_t to, double spread, double base, double centre, float ny) {
    AppendLine({true, double(y), double(from), double(to), spread, base, centre, 0.0f, ny}, out);
  };
  auto vertical = [&](int64_t x, int64_t from, int64_t to, double spread, double base, double centre, float nx) {
    AppendLine({false, double(x), double(from), double(to), spread, base, centre, nx, 0.0f}, out);
  };
  const double halfW = double(DW / 2), halfH = double(DH / 2);

  switch (maskKind) {
    case kMaskBottom:
      horizontal(DH - H / 2, x0, DW / 2, dw, halfW, 0.0, -1.0f);
      break;
    case kMaskTop:
      horizontal(y0, x0, DW / 2, dw, halfW, 0.0, 1.0f);
      break;
    case kMaskTopAndBottom:
      horizontal(y0, x0, DW / 2, dw, halfW, 0.0, 1.0f);
      horizontal(DH - H / 2, x0, DW / 2, dw, halfW, 0.0, -1.0f);
      break;
    case kMaskPerimeter: {
      const double yc = double((y0 + y1) / 2);
      vertical(x0, y0, y1, dh, halfH, yc, 1.0f);
      vertical(x1, y0, y1, dh, halfH, yc, -1.0f);
      horizontal(y1, x0, x1, dw, halfW, 0.0, -1.0f);
      horizontal(y0, x0, x1, dw, halfW, 0.0, 1.0f);
      break;
    }
    case kMaskULike: {
      const int64_t y3 = y0 + DH / 3;
      vertical(x0, y3, y1, dh, halfH, double(y3), 1.0f);
      vertical(x0 + DW, y3, y1, dh, halfH, double(y3), -1.0f);
      horizontal(y1, x0, x0 + DW, dw, halfW, 0.0, -1.0f);
      break;
    }
    case kMaskWindow: {
      const int64_t hw = DW / 2, hh = DH / 2;
      const int64_t paneLeft[4] = {x0, x0, x0 + hw, x0 + hw};
      const int64_t paneTop[4] = {y0, y0 + hh, y0 + hh, y0};
      for (int pane = 0; pane < 4; ++pane) {
        const int64_t left = paneLeft[pane], top = paneTop[pane];
        const int64_t right = left + hw, bottom = top + hh;
        const double middleY = double((top + bottom) / 2), middleX = double((left + right) / 2);
        vertical(left, top, bottom, double(hh), double(hh / 2), middleY, 1.0f);
        vertical(right, top, bottom, double(hh), double(hh / 2), middleY, -1.0f);
        horizontal(bottom, left, right, double(hw), double(hw / 2), middleX, -1.0f);
        horizontal(top, left, right, double(hw), double(hw / 2), middleX, 1.0f);
      }
      break;
    }
    default:
      break;
  }
  return !out.segments.empty();
}

}  // namespace rf::pattern
