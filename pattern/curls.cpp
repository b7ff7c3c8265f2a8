// The floral and single families: strips of triangles along shrinking spiral
// arcs, chained, paired along a wave, or crowned by a small leaf.
#include <algorithm>
#include <cmath>
#include <utility>

#include "pattern/growth.h"

namespace rf::pattern {

namespace {

// A local frame rotated by `angle` about `origin`.
struct Frame {
  double ox, oy, c, s;
  Frame(double originX, double originY, double angle)
      : ox(originX), oy(originY), c(std::cos(angle)), s(std::sin(angle)) {}
  void Map(double lx, double ly, double& x, double& y) const {
    x = ox + lx * c - ly * s;
    y = oy + lx * s + ly * c;
  }
};

int64_t ClampCount(int64_t v) { return std::max(-kCountCeiling, std::min(kCountCeiling, v)); }

}  // namespace

void Grower::CurlStrip(double& outX, double& outY, double originX, double originY, double baseHeight,
                       double rotation, double arc, double radius, int64_t steps, double width, int32_t level) {
  if (steps <= 0) return;
  const int64_t n = std::max<int64_t>(7, steps);
  const Frame frame(originX, originY, rotation - arc);
  const double cx = -std::cos(arc) * radius, cy = -std::sin(arc) * radius;
  const double dr = radius / double(n), da = arc / double(n);

  double px = 0.0, py = 0.0;  // the arc starts at the origin
  double theta = arc, rho = radius;
  double lastMHeight = baseHeight;
  for (int64_t it = 0; it <= n; ++it) {
    const double rho1 = rho - dr, theta1 = theta - da;
    const double qx = cx + rho1 * std::cos(theta1), qy = cy + rho1 * std::sin(theta1);
    const double mx = 2.0 * qx - px, my = 2.0 * qy - py;
    double psi = theta + da;
    if (arc >= 0.0) psi -= kPi;
    const double ox = qx + rho * width * -std::sin(psi), oy = qy + rho * width * std::cos(psi);

    Corner P{0, 0, baseHeight}, M{0, 0, (rho + baseHeight) / 1.5}, O{0, 0, (rho + baseHeight) * 1.5};
    frame.Map(px, py, P.x, P.y);
    frame.Map(mx, my, M.x, M.y);
    frame.Map(ox, oy, O.x, O.y);
    // A curl turning the other way swaps the two outer corners but keeps
    // the heights with their slots.
    if (arc < 0.0) {
      std::swap(M.x, O.x);
      std::swap(M.y, O.y);
    }
    CountTriangle();
    Emit(P, M, O, 0);
    lastMHeight = M.z;
    px = qx;
    py = qy;
    rho = rho1;
    theta = theta1;
  }
  frame.Map(cx + radius / 2.0 * std::cos(arc / 2.0), cy + radius / 2.0 * std::sin(arc / 2.0), outX, outY);

  const int32_t r = random.Next();
  if (r % 100 > 35 && level < 2) {
    double sx, sy;
    frame.Map(cx + 0.75 * radius * std::cos(0.75 * arc), cy + 0.75 * radius * std::sin(0.75 * arc), sx, sy);
    double endX = sx, endY = sy;
    CurlStrip(endX, endY, sx, sy, lastMHeight + 50.0, arc >= 0.0 ? rotation + kPi / 2 : rotation - kPi / 2,
              arc * -0.85, radius * 0.6, TruncClamp(0.75 * double(n)), width * 0.8, level + 1);
  }
}

void Grower::CurlDriver(int64_t count, double x, double y, double z, double angle, double bend, double length,
                        double width, bool leaf, int64_t steps) {
  if (steps < 1) {
    steps = steps == 0 ? 10
                       : std::max<int64_t>(
                             7, TruncClamp(std::sqrt(std::fabs(length / double(steps)) + 1.0) * std::fabs(bend) * 7.0));
  }
  steps = ClampCount(steps);

  if (leaf) {
    Leaf(x, y, z, angle, bend, length);
  } else {
    double ex = x, ey = y;
    CurlStrip(ex, ey, x, y, z, bend / 3.0 + (bend > 0.0 ? angle - kPi / 2 : angle + kPi / 2), -bend / 2.0,
              length / 2.0, steps / 2, width / 2.0, 0);
  }

  const double delta = std::min(0.7853982, std::max(-0.7853982, 0.3 * bend));
  const double chainWidth = 0.85 * width;
  double height = z;
  const int64_t links = std::max<int64_t>(1, count);
  for (int64_t link = 0; link < links; ++link) {
    CurlStrip(x, y, x, y, height, angle, bend, length, steps, width, 0);
    const int32_t r = random.Next();
    height += 10.0;
    angle += delta;
    bend *= -1.25;
    width = chainWidth;
    length = ((double(r % 2000 - 1000) / 2000.0 + 1.0) * 0.125 + 0.75) * 0.8 * length;
    steps = ClampCount(TruncClamp(1.15 * double(steps)));
  }
}

void Grower::WaveDriver(int32_t mode, double x, double y, double z, double angle, double bend, double length,
                        double width, int64_t count, int64_t steps, double spread, double twist, double twistStep) {
  // A wave of no steps has no spacing; scripted counts of 0 or less land here.
  if (count < 1) return;
  const double g = angle - bend;
  const Frame frame(x, y, g);
  const double cx = -std::cos(bend) * length, cy = -std::sin(bend) * length;
  const double n = double(count);
  double dl = length / n, db = bend / n;
  const double ddl = dl * spread / n, ddb = db * spread / n;
  double s;
  if (steps > 0)
    s = double(steps);
  else if (steps == 0)
    s = 10.0;
  else
    s = std::sqrt(std::fabs(length / double(steps)) + 1.0) * std::fabs(twist) * 3.0;

  double a = bend, rho = length, height = z;
  int64_t k = 0;
  for (int64_t j = count; j >= 0; --j) {
    CountWork();
    double px, py;
    frame.Map(cx + rho * std::cos(a), cy + rho * std::sin(a), px, py);
    const double size = (double(j) + 0.4) / n * length;
    const double curlRadius = size * 0.25;
    if (!(curlRadius >= 3.0)) break;
    double curlArc = twist + double(k) * twistStep;
    if (std::fabs(curlArc) < 1e-5) curlArc = bend < 0.0 ? -1e-5 : 1e-5;
    const double direction = (mode == 1 || mode == 3) ? 2.0 * db + a : bend;
    const double rotation = direction + g + kPi / 2;
    double ex = px, ey = py;
    CurlStrip(ex, ey, px, py, height, rotation, curlArc, curlRadius, TruncClamp(s), width, 3);
    if (mode == 2 || mode == 3) curlArc = -curlArc;
    CurlStrip(ex, ey, px, py, height, rotation + kPi, curlArc, curlRadius, TruncClamp(s), width, 3);
    dl -= ddl;
    db -= ddb;
    height -= 50.0;
    rho -= dl;
    a -= db;
    s = std::max(7.0, s - 0.5);
    ++k;
  }
}

void Grower::Leaf(double centreX, double centreY, double z, double angle, double bend, double length) {
  double e, t;
  if (bend > 0.0) {
    e = 0.27488935;
    t = angle + 2.199114857512855;
  } else {
    e = -0.27488935;
    t = angle - 2.199114857512855;
  }
  double q = length / 3.0;
  for (int i = 0; i < 8; ++i) {
    if (i == 7) q /= 2.0;
    Corner A{centreX + q * std::cos(t), centreY + q * std::sin(t), z / 2.0};
    t += e;
    q += length / 20.0;
    Corner B{centreX + q * std::cos(t), centreY + q * std::sin(t), 1.5 * z};
    if (bend < 0.0) {
      std::swap(A.x, B.x);
      std::swap(A.y, B.y);
    }
    CountTriangle();
    Emit(Corner{centreX, centreY, z}, A, B, 0);
  }
}

void Grower::DrawSingle(const ParameterRecord& record, const GrowthValues& v, const SceneCentre& centre) {
  // RotateX has its own factor, 3.131592, and Turn1 shares Turn's.
  const double r = (double(record.RotateX) + 90.0) * 3.131592 / 180.0;
  const double turn2 = double(record.Turn1) * 3.151592 / 180.0;
  const double dw = v.scaledWidth;
  const int64_t c5 = 5 * int64_t(int32_t(record.MaxTriangles));
  const int64_t chain = std::max<int64_t>(1, int32_t(record.MaxIterations));
  const double width = double(record.Width) * 0.005;
  switch (record.PatternKind) {
    case 1:
    case 2:
      CurlDriver(chain, centre.x, centre.y, 0.0, r, v.turn, dw * double(record.Lenght) / 200.0, width,
                 record.PatternKind == 2, c5);
      break;
    case 3:
    case 4:
      WaveDriver(record.PatternKind == 3 ? 2 : 3, centre.x, centre.y, 0.0, r, v.turn * 0.5,
                 dw * double(record.Lenght) / 100.0, width, c5 / 2, 2 * int64_t(int32_t(record.MaxTriangles1)),
                 double(record.PWidth) / 200.0, turn2, 0.0);
      break;
    default:
      break;
  }
}

}  // namespace rf::pattern
