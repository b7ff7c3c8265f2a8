// The walk along the emitter: growth points at a fixed spacing on every
// visited segment, a fan or a curl at each.
#include <algorithm>
#include <cmath>

#include "pattern/growth.h"

namespace rf::pattern {

namespace {

// The segment normal turned by the grow direction kind.
void TurnNormal(int32_t kind, double& nx, double& ny) {
  switch (kind) {
    case 2: nx = -nx; ny = -ny; break;
    case 3: nx = std::fabs(nx); ny = std::fabs(ny); break;
    case 4: nx = -nx; break;
    case 5: ny = -ny; break;
    case 6: nx = std::fabs(nx); break;
    case 7: ny = std::fabs(ny); break;
    default: break;
  }
}

}  // namespace

void Grower::Grow(const Emitter& emitter, const GrowthValues& v) {
  if (v.family != kFamilyGeometric && v.family != kFamilyFloral) return;
  const int64_t pointCount = int64_t(emitter.points.size());
  const SegmentSelection sel = SelectSegments(int64_t(emitter.segments.size()), v.completance, v.completanceDist);
  const double partial = sel.frac > 0.0 ? sel.frac : 1.0;
  const double dw = v.scaledWidth;
  const double k = v.intervalDependence;

  // Spacing left over from a segment shorter than it moves to the next one.
  double carry = 0.0;
  for (int64_t i = 0; i < sel.processed; ++i) {
    Progress(int32_t(10 + 40 * i / sel.processed));
    random.Seed(v.randomSeed + 1212u + uint32_t(i));
    const EmitterSegment& seg = emitter.segments[size_t(i)];

    const int32_t kind = v.growDirect == kGrowAllDirections ? int32_t(i % 7) : v.growDirect;
    double nx = seg.nx, ny = seg.ny;
    TurnNormal(kind, nx, ny);

    double fadeStart = 1.0, fadeEnd = 1.0;
    if (i >= sel.full && sel.fade > 0) {
      fadeStart = 1.0 - double(i - sel.full) / double(sel.fade);
      fadeEnd = 1.0 - double(i - sel.full + 1) / double(sel.fade);
    }

    const double len = seg.length;
    if (!(len > 0.0) || !(v.spacing > 0.0)) continue;
    if (seg.start < 0 || seg.start >= pointCount || seg.end < 0 || seg.end >= pointCount) continue;
    const EmitterPoint& a = emitter.points[size_t(seg.start)];
    const EmitterPoint& b = emitter.points[size_t(seg.end)];
    double x = a.x, y = a.y;
    // Divided by the length field, which for fixed layouts is not the true
    // distance: the walk's stride along such a segment differs on purpose.
    const double ux = (double(b.x) - a.x) / len;
    const double uy = (double(b.y) - a.y) / len;

    double t = carry;
    if (v.spacing > len)
      carry = carry > len ? carry - len : v.spacing - len;
    else
      carry = 0.0;

    const double rel = 20.0 * len / dw;
    const double lengthFactor = std::min(10.0, std::max(0.05, rel * k + 1.0 - k));
    const double w = std::max(0.01, (rel * k / 4.0 * v.zoom + 1.0 - k / 4.0) * v.fanWidth);
    const double L = lengthFactor * v.length;
    const double turnL = lengthFactor * v.turn;
    const double p = i == sel.processed - 1 ? partial : 1.0;

    while (t < len) {
      CountWork();
      double wP = w, LP = L;
      if (p < 1.0 || i >= sel.full) {
        const double f = t / len;
        if (i >= sel.full) {
          double g = (1.0 - f) * fadeStart + f * fadeEnd;
          if (sel.fade > 0) g += sel.frac / double(sel.fade);
          g = std::min(1.0, std::max(0.0, g));
          wP = g * w;
          LP = g * L;
        }
        if (p < 1.0) {
          if (f > p) break;
          if (p != 0.0) {
            const double h = std::min(1.0, (p - f) / p + p * p);
            wP *= h;
            LP *= h;
          }
        }
      }
      const double x1 = x + v.step * ux;
      const double y1 = y + v.step * uy;
      if (v.family == kFamilyGeometric) {
        if (LP > 0.0) {
          EmitSubBranch(x, y, x1, y1, nx, ny, std::min(v.step / 2.0, len), lengthFactor);
          GrowFan(int32_t(i), v.patternKind, 0, x, y, 0.0, nx, ny, wP, LP, v.widthShrink, v.lengthShrink,
                  v.dispersion, v.loss, v.count, v.iterationLimit);
        }
      } else {
        FloralStep(int32_t(i), x, y, nx, ny, wP, LP, turnL, v);
      }
      x = x1;
      y = y1;
      const double next = t + v.step;
      if (!(next > t)) break;  // a step lost in t's precision would never end the segment
      t = next;
    }
  }
}

void Grower::FloralStep(int32_t segmentIndex, double x, double y, double nx, double ny, double width, double length,
                        double turnL, const GrowthValues& v) {
  const double a0 = FloralAngleDegrees(-nx, -ny) * 0.0174532925199 - 1.57079632679;
  random.Seed(floralPrevious + v.randomSeed + uint32_t(segmentIndex));
  const int32_t r = random.Next();
  floralPrevious = uint32_t(r);
  const double u = double(r % 1000) / 1000.0;
  const double d0 = v.dispersion;
  const double a = a0 + (u - 0.5) * d0;
  double bend = (u * d0 / 3.0 + 0.5) * turnL;
  if (u < 0.5) bend = -bend;
  const int64_t m = r % 50 + 20;
  double twist = (u - 0.5) * 2.5 * bend + bend + d0;
  if (std::fabs(twist) < 0.5) twist = twist < 0.0 ? -0.5 : 0.5;
  int32_t variant = v.patternKind;
  if (variant == 3) {
    variant = (r & 1) ? 1 : 2;
    if (variant == 1) bend *= 1.5;
  }
  if (!(length > 0.0)) return;
  const int64_t steps = -int64_t(v.scaledWidth);
  if (variant == 2)
    WaveDriver(2 + (u > 0.5 ? 1 : 0), x, y, double(m), a, bend, length, width / 5.0, v.count, steps, v.widthShrink,
               twist, 0.0);
  else
    CurlDriver(r % v.iterationLimit + 1, x, y, double(m), a, bend, length, width / 5.0, u > 0.5, steps);
}

}  // namespace rf::pattern
