// Triangle set-up and per-pixel interpolation.
#include "engine3d/internal.h"

#include <algorithm>
#include <utility>

namespace rf::engine3d {

namespace {

constexpr double kPi = 3.14159265358979323846;

float FiniteOr(float value, float fallback) { return std::isfinite(value) ? value : fallback; }

// The inverse of the perspective move of __AddPersp for a point at depth z.
double PerspectiveFactor(double z, double far) {
  double f = 1.0 - z / far;
  if (std::fabs(f) < 1e-8) f = f < 0 ? -1e-8 : 1e-8;
  return f;
}

double AngleOf(double dx, double dy) {
  double angle = std::atan2(dy, dx);
  if (angle < 0) angle += 2 * kPi;
  return angle;
}

// Cramer's rule on rows (xi, yi, 1), one affine form per weight.
bool WeightForms(const double x[3], const double y[3], double wx[3], double wy[3],
                 double wc[3]) {
  const double den = (y[1] - y[2]) * (x[0] - x[2]) + (x[2] - x[1]) * (y[0] - y[2]);
  if (den == 0 || !std::isfinite(den)) return false;
  for (int i = 0; i < 3; ++i) {
    const int j = (i + 1) % 3, k = (i + 2) % 3;
    wx[i] = (y[j] - y[k]) / den;
    wy[i] = (x[k] - x[j]) / den;
    wc[i] = -(wx[i] * x[k] + wy[i] * y[k]);
  }
  return true;
}

void ClampAndNormalise(double w[3]) {
  double sum = 0;
  for (int i = 0; i < 3; ++i) {
    if (!(w[i] > 0)) w[i] = 0;
    sum += w[i];
  }
  if (sum > 0)
    for (int i = 0; i < 3; ++i) w[i] /= sum;
}

}  // namespace

bool SetUpTriangle(const __Point3ds& a, const __Point3ds& b, const __Point3ds& c, int offsetX,
                   int offsetY, TriangleSetup& t) {
  const __Point3ds* corner[3] = {&a, &b, &c};
  t.hasUV = a.hasUV && b.hasUV && c.hasUV;
  for (int i = 0; i < 3; ++i) {
    const __Point3ds& p = *corner[i];
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return false;
    SetupVertex& v = t.v[i];
    v.p = {double(p.x) + offsetX, double(p.y) + offsetY, double(p.z)};
    v.stored = {FiniteOr(p.nx, 0), FiniteOr(p.ny, 0), FiniteOr(p.nz, 0)};
    v.normal = NormalisedOrSame(v.stored);
    v.u = FiniteOr(p.u, 0);
    v.v = FiniteOr(p.v, 0);
  }

  // Orientation from the angle between the two edges leaving vertex 0. Both
  // ends of the range count as flat: a vertex 0 lying between the other two
  // is as collinear as one lying outside them.
  const Vec3 e1 = t.v[1].p - t.v[0].p, e2 = t.v[2].p - t.v[0].p;
  if ((e1.x == 0 && e1.y == 0) || (e2.x == 0 && e2.y == 0)) return false;
  // Well away from flat, the sine of the angle (the cross product) decides
  // as the angles would, without two arc tangents: it is then at least
  // 1e-4 of the edges' lengths, far beyond the rounding of either way.
  const double cross = e1.x * e2.y - e1.y * e2.x;
  const double lengths = (e1.x * e1.x + e1.y * e1.y) * (e2.x * e2.x + e2.y * e2.y);
  if (std::isfinite(lengths) && cross * cross > 1e-8 * lengths) {
    if (cross < 0) std::swap(t.v[1], t.v[2]);
  } else {
    double delta = AngleOf(e2.x, e2.y) - AngleOf(e1.x, e1.y);
    if (delta > kPi) delta -= 2 * kPi;
    if (delta <= -kPi) delta += 2 * kPi;
    if (std::fabs(delta) < 1e-5 || std::fabs(delta) > kPi - 1e-5) return false;
    if (delta < 0) std::swap(t.v[1], t.v[2]);
  }

  const Vec3 p0 = t.v[0].p, p1 = t.v[1].p, p2 = t.v[2].p;
  Vec3 n = Cross(p0 - p1, p2 - p1);
  double length = std::sqrt(Dot(n, n));
  if (!(length > 0)) length = 1;
  n = n * (1.0 / length);
  t.A = n.x;
  t.B = n.y;
  t.C = n.z;
  t.D = -(t.A * p0.x + t.B * p0.y + t.C * p0.z);

  const double xs[3] = {p0.x, p1.x, p2.x}, ys[3] = {p0.y, p1.y, p2.y};
  if (!WeightForms(xs, ys, t.weightX, t.weightY, t.weightC)) return false;

  for (int k = 0; k < 3; ++k) {
    const Vec3 from = t.v[k].p, to = t.v[(k + 1) % 3].p;
    const double ex = to.x - from.x, ey = to.y - from.y;
    const double edgeLength = std::sqrt(ex * ex + ey * ey);
    if (!(edgeLength > 0) || !std::isfinite(edgeLength)) return false;
    t.edgeX[k] = ey / edgeLength;
    t.edgeY[k] = -ex / edgeLength;
    t.edgeC[k] = (ex * from.y - ey * from.x) / edgeLength;
  }

  t.mid01 = (t.v[0].stored + t.v[1].stored) * 0.5;
  t.mid12 = (t.v[1].stored + t.v[2].stored) * 0.5;
  t.mid02 = (t.v[0].stored + t.v[2].stored) * 0.5;
  return true;
}

double SignedDistance(const TriangleSetup& t, double x, double y, int& nearest) {
  double line[3];
  bool inside = true;
  for (int k = 0; k < 3; ++k) {
    line[k] = t.edgeX[k] * x + t.edgeY[k] * y + t.edgeC[k];
    if (line[k] > 0) inside = false;
  }
  if (inside) {
    nearest = 0;
    for (int k = 1; k < 3; ++k)
      if (line[k] > line[nearest]) nearest = k;
    return line[nearest];
  }
  // Outside a convex figure the nearest boundary point lies on an edge
  // whose line the point is beyond.
  double best = HUGE_VAL;
  nearest = 0;
  for (int k = 0; k < 3; ++k) {
    if (!(line[k] > 0)) continue;
    const Vec3 from = t.v[k].p, to = t.v[(k + 1) % 3].p;
    const double ex = to.x - from.x, ey = to.y - from.y;
    double s = ((x - from.x) * ex + (y - from.y) * ey) / (ex * ex + ey * ey);
    s = std::clamp(s, 0.0, 1.0);
    const double dx = x - (from.x + s * ex), dy = y - (from.y + s * ey);
    const double distance = std::sqrt(dx * dx + dy * dy);
    if (distance < best) {
      best = distance;
      nearest = k;
    }
  }
  return best;
}

void BarycentricWeights(const TriangleSetup& t, double x, double y, double w[3]) {
  for (int i = 0; i < 3; ++i) w[i] = t.weightX[i] * x + t.weightY[i] * y + t.weightC[i];
  ClampAndNormalise(w);
}

PixelAttributes InterpolateAttributes(const Frame& frame, const TriangleSetup& t, double x, double y,
                                      double depth, bool flat, bool withUV) {
  const Switches& sw = frame.sw;
  const int offsetX = frame.scene.offsetX, offsetY = frame.scene.offsetY;
  PixelAttributes out;
  double w[3];
  BarycentricWeights(t, x, y, w);

  Vec3 n;
  if (flat) {
    n = {-t.A, -t.B, -t.C};
  } else if (sw.usePhong2 && sw.quality == 1) {
    // The doubled middle term on edge (1, 2) alone is how this look was
    // tuned; the other two edges carry weight 1.
    n = t.v[0].normal * (w[0] * w[0]) + t.v[1].normal * (w[1] * w[1]) +
        t.v[2].normal * (w[2] * w[2]) + t.mid01 * (w[0] * w[1]) +
        t.mid12 * (2 * w[1] * w[2]) + t.mid02 * (w[0] * w[2]);
  } else {
    n = t.v[0].normal * w[0] + t.v[1].normal * w[1] + t.v[2].normal * w[2];
  }
  out.normal = {float(n.x), float(n.y), float(n.z)};

  if (!t.hasUV || !withUV) return out;
  double uw[3] = {w[0], w[1], w[2]};
  if (sw.perspVal != 0 && sw.perspFar != 0) {
    // Undo the perspective move of every point (each at its own depth) and
    // interpolate where the texture was really laid.
    double xs[3], ys[3], wx[3], wy[3], wc[3];
    for (int i = 0; i < 3; ++i) {
      const double f = PerspectiveFactor(t.v[i].p.z, sw.perspFar);
      xs[i] = f * (t.v[i].p.x - offsetX - sw.perspX) + sw.perspX;
      ys[i] = f * (t.v[i].p.y - offsetY - sw.perspY) + sw.perspY;
    }
    if (WeightForms(xs, ys, wx, wy, wc)) {
      const double f = PerspectiveFactor(depth, sw.perspFar);
      const double px = f * (x - offsetX - sw.perspX) + sw.perspX;
      const double py = f * (y - offsetY - sw.perspY) + sw.perspY;
      for (int i = 0; i < 3; ++i) uw[i] = wx[i] * px + wy[i] * py + wc[i];
      ClampAndNormalise(uw);
    }
  }
  out.u = float(uw[0] * t.v[0].u + uw[1] * t.v[1].u + uw[2] * t.v[2].u);
  out.v = float(uw[0] * t.v[0].v + uw[1] * t.v[1].v + uw[2] * t.v[2].v);
  return out;
}

bool PassesFacing(const Band& band, double nz, bool selectG) {
  const bool backPass = band.backPass;
  if (band.f->sw.dubleSide) return true;
  if (nz >= 0 && !backPass) return true;
  if (nz < 0 && backPass) return true;
  return selectG && band.f->sw.useMultyRefract == 2 && !backPass;
}

}  // namespace rf::engine3d
