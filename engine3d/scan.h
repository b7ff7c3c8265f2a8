// Scan conversion: which pixels a triangle or a line touches and with what
// coverage. What happens at each pixel is the visitor's business, so the
// shaded fill, the solid fill and the line drawers share one walk.
//
// Pixel (X, Y) is sampled at the point (X, Y).
#pragma once

#include "engine3d/internal.h"

#include <algorithm>

namespace rf::engine3d {

// Clamped conversion for loop bounds: coordinates far outside the image
// must neither overflow an int nor make a loop run through empty space.
inline int BoundFloor(double value, int low, int high) {
  if (!(value >= low)) return low;  // NaN too
  if (value > high) return high;
  return int(std::floor(value));
}
inline int BoundCeil(double value, int low, int high) {
  if (!(value >= low)) return low;
  if (value > high) return high;
  return int(std::ceil(value));
}

// The inner pixels of row y of a triangle, columns first .. last (clipped
// to the image's width), or false when the row has none. With
// antialiasing the span takes the pixels right of the left crossing up to
// and including the right one, so inner pixels of triangles that share an
// edge neither overlap nor leave a gap; without, it runs from trunc(left
// crossing) to below the right one.
inline bool RowSpan(const TriangleSetup& t, bool antialias, int width, int y, int& first,
                    int& last) {
  double left = HUGE_VAL, right = -HUGE_VAL;
  for (int k = 0; k < 3; ++k) {
    const Vec3 a = t.v[k].p, b = t.v[(k + 1) % 3].p;
    if (a.y == b.y || y < std::min(a.y, b.y) || y > std::max(a.y, b.y)) continue;
    const double x = a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y);
    left = std::min(left, x);
    right = std::max(right, x);
  }
  if (!(left <= right)) return false;
  const double start = antialias ? std::floor(left) + 1 : std::trunc(left);
  first = BoundCeil(start, 0, width);
  // With antialiasing a pixel exactly on the right crossing belongs to
  // this span: otherwise a pixel on an edge shared with the next triangle
  // would be a border pixel of both and an inner pixel of neither, and
  // would never get its depth.
  last = antialias ? BoundFloor(right, -1, width - 1) : BoundCeil(right, 0, width) - 1;
  return first <= last;
}

// Triangle walk. The visitor provides
//   void Edge(int x, int y, float coverage);  antialiased border pixels
//   void BeginSpan();
//   void Inner(int x, int y);                 span pixels, left to right
//   bool SpansHideEdges() const;              see below
//
// With `antialias`, every pixel less than one pixel outside the triangle or
// less than half a pixel inside it is a border pixel, visited once, from the
// edge it is nearest to: coverage 1 - d outside (d its distance), 1 inside.
// Border pixels come first, then the spans (RowSpan). A visitor whose span
// pixels always cover what it drew there as a border pixel answers
// SpansHideEdges() true and is spared the border pixels inside the spans.
// Only rows y0 .. y1 - 1 are visited: a band draws its own rows. The walk
// ends early when `stop` (may be null) says so.
template <class Visitor>
void ScanTriangle(const TriangleSetup& t, bool antialias, int width, int y0, int y1,
                  StopCheck* stop, Visitor& visit) {
  if (width < 1 || y1 <= y0) return;

  double top = t.v[0].p.y, bottom = top;
  for (int i = 1; i < 3; ++i) {
    top = std::min(top, t.v[i].p.y);
    bottom = std::max(bottom, t.v[i].p.y);
  }
  const int rowFirst = BoundCeil(top, y0, y1);
  const int rowEnd = BoundCeil(bottom, y0, y1);  // rows below the bottom vertex only

  if (antialias) {
    const bool hide = visit.SpansHideEdges();
    for (int k = 0; k < 3; ++k) {
      const Vec3 a = t.v[k].p, b = t.v[(k + 1) % 3].p;
      const int edgeFirst = BoundCeil(std::min(a.y, b.y) - 1, y0, y1);
      const int edgeLast = BoundFloor(std::max(a.y, b.y) + 1, y0 - 1, y1 - 1);
      for (int y = edgeFirst; y <= edgeLast; ++y) {
        // The part of the edge within one row of this one.
        double lowX, highX;
        if (a.y == b.y) {
          lowX = std::min(a.x, b.x);
          highX = std::max(a.x, b.x);
        } else {
          double s0 = (y - 1 - a.y) / (b.y - a.y), s1 = (y + 1 - a.y) / (b.y - a.y);
          if (s0 > s1) std::swap(s0, s1);
          s0 = std::clamp(s0, 0.0, 1.0);
          s1 = std::clamp(s1, 0.0, 1.0);
          const double x0 = a.x + s0 * (b.x - a.x), x1 = a.x + s1 * (b.x - a.x);
          lowX = std::min(x0, x1);
          highX = std::max(x0, x1);
        }
        const int first = BoundCeil(lowX - 1, 0, width);
        const int last = BoundFloor(highX + 1, -1, width - 1);
        if (stop && stop->Tick(last - first + 2)) return;
        int spanFirst = 0, spanLast = -1;
        if (hide && y >= rowFirst && y < rowEnd &&
            !RowSpan(t, antialias, width, y, spanFirst, spanLast)) {
          spanFirst = 0;
          spanLast = -1;
        }
        const double lineY = t.edgeY[k] * y;
        for (int x = first; x <= last; ++x) {
          // Nearer than half a pixel inside this edge's line or a pixel
          // outside it, the pixel cannot be this edge's.
          const double line = t.edgeX[k] * x + lineY + t.edgeC[k];
          if (line >= 1 || line <= -0.5) continue;
          if (x >= spanFirst && x <= spanLast) continue;
          int nearest;
          const double d = SignedDistance(t, x, y, nearest);
          if (nearest != k || d >= 1 || d <= -0.5) continue;
          visit.Edge(x, y, d <= 0 ? 1.0f : float(1 - d));
        }
      }
    }
  }

  for (int y = rowFirst; y < rowEnd; ++y) {
    int first, last;
    if (!RowSpan(t, antialias, width, y, first, last)) continue;
    if (stop && stop->Tick(last - first + 1)) return;
    visit.BeginSpan();
    for (int x = first; x <= last; ++x) visit.Inner(x, y);
  }
}

// Line walk from `from` to `to` (image x, y). The visitor provides
//   void Pixel(int x, int y, float coverage, double along);
// with `along` the position of the pixel's nearest line point, 0 at `from`
// and 1 at `to`. Stepped: one pixel per step of the major axis, coverage 1.
// Antialiased: every pixel within `radius` across the line and beyond its
// ends, each once, with coverage clamp(halfWidth - distance, 0, 1).
template <class Visitor>
void ScanLine(Vec3 from, Vec3 to, bool antialias, double halfWidth, int radius, int width,
              int y0, int y1, StopCheck* stop, Visitor& visit) {
  if (width < 1 || y1 <= y0) return;
  if (!std::isfinite(from.x) || !std::isfinite(from.y) || !std::isfinite(to.x) ||
      !std::isfinite(to.y))
    return;
  const double dx = to.x - from.x, dy = to.y - from.y;
  if (dx == 0 && dy == 0) return;
  const bool alongX = std::fabs(dx) >= std::fabs(dy);
  const double m0 = alongX ? from.x : from.y, m1 = alongX ? to.x : to.y;
  const double n0 = alongX ? from.y : from.x, n1 = alongX ? to.y : to.x;
  // Allowed major and minor coordinates: columns 0 .. width - 1, the band's rows.
  const int majorLow = alongX ? 0 : y0, majorEnd = alongX ? width : y1;
  const int minorLow = alongX ? y0 : 0, minorEnd = alongX ? y1 : width;
  const double lengthSquared = dx * dx + dy * dy;

  auto minorAt = [&](double m) {
    if (m0 == m1) return n0;
    const double s = std::clamp((m - m0) / (m1 - m0), 0.0, 1.0);
    return n0 + s * (n1 - n0);
  };
  auto emit = [&](int major, int minor, float coverage) {
    const int x = alongX ? major : minor, y = alongX ? minor : major;
    double along = ((x - from.x) * dx + (y - from.y) * dy) / lengthSquared;
    visit.Pixel(x, y, coverage, std::clamp(along, 0.0, 1.0));
  };

  const double low = std::min(m0, m1), high = std::max(m0, m1);
  if (!antialias) {
    const int first = BoundCeil(std::floor(low + 0.5), majorLow, majorEnd);
    const int last = BoundFloor(std::floor(high + 0.5), majorLow - 1, majorEnd - 1);
    for (int major = first; major <= last; ++major) {
      if (stop && stop->Tick(1)) return;
      const double minor = std::floor(minorAt(major) + 0.5);
      if (minor < minorLow || minor >= minorEnd) continue;
      emit(major, int(minor), 1.0f);
    }
    return;
  }

  const int first = BoundCeil(std::floor(low) - radius, majorLow, majorEnd);
  const int last = BoundFloor(std::ceil(high) + radius, majorLow - 1, majorEnd - 1);
  for (int major = first; major <= last; ++major) {
    const double centre = std::floor(minorAt(major) + 0.5);
    const int minorFirst = BoundCeil(centre - radius, minorLow, minorEnd);
    const int minorLast = BoundFloor(centre + radius, minorLow - 1, minorEnd - 1);
    if (stop && stop->Tick(minorLast - minorFirst + 2)) return;
    for (int minor = minorFirst; minor <= minorLast; ++minor) {
      const int x = alongX ? major : minor, y = alongX ? minor : major;
      const double s = std::clamp(((x - from.x) * dx + (y - from.y) * dy) / lengthSquared, 0.0, 1.0);
      const double ex = x - (from.x + s * dx), ey = y - (from.y + s * dy);
      const double coverage = std::min(1.0, halfWidth - std::sqrt(ex * ex + ey * ey));
      if (coverage > 0) emit(major, minor, float(coverage));
    }
  }
}

// The antialiased line's coverage half-width and visit radius for a wire
// width; absurd widths are held to what an image could show.
inline double LineHalfWidth(double wireSize) {
  if (!(wireSize > 0)) wireSize = 0;
  return std::min(wireSize, 1000.0) / 2 + 0.5;
}
inline int LineRadius(double wireSize) {
  if (!(wireSize > 0)) wireSize = 0;
  return int(std::min(wireSize, 1000.0) + 2.5);
}

}  // namespace rf::engine3d
