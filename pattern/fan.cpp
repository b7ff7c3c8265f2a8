// The geometric family: a recursive fan of triangles at each growth point,
// standing on a small triangle cut from the segment.
#include <algorithm>
#include <cmath>
#include <utility>

#include "pattern/geometry.h"
#include "pattern/growth.h"

namespace rf::pattern {

void Grower::GrowFan(int32_t segmentIndex, uint8_t patternKind, int32_t level, double originX, double originY,
                     double originZ, double directionX, double directionY, double fanWidth, double length,
                     double widthShrink, double lengthShrink, double dispersion, double loss, int64_t count,
                     int64_t iterationLimit) {
  if (level == 0)
    random.Next();  // advances the generator only
  else if (level >= iterationLimit)
    return;
  if (level >= kMaxFanDepth) throw GrowthStop{GrowthStatus::OutOfBudget};
  random.Next();  // advances the generator only
  const int64_t k = TruncClamp(std::max(1.0, 0.5 * double(count)));

  bool mirrored = false;
  if (patternKind == 1) mirrored = (level & 1) != 0;
  if (patternKind == 3) mirrored = (segmentIndex & 1) != 0;

  // The fan width shrinks by the length shrink and the length by the width
  // shrink; the crossing is part of how the patterns look.
  double childWidth = (1.0 - lengthShrink) * fanWidth;
  if (!(childWidth > 0.01)) childWidth = 0.01;
  double childLength = (1.0 - widthShrink) * length;
  if (!(childLength > 0.001)) childLength = 0.001;
  const double childDispersion = 1.2 * dispersion;
  const int64_t childCount = std::max(-kCountCeiling, std::min(kCountCeiling, TruncClamp(1.5 * double(count))));

  const Corner origin{originX, originY, originZ};
  double theta = 0.0, r = 0.0;
  for (int64_t j = 0; j < k; ++j) {
    const uint32_t n = CountTriangle();
    const double u = random.Unit();
    const double v = u * u - 0.5;
    if (j == 0) {
      double a = DirectionAngle(directionX, directionY);
      if (mirrored) a -= 2.0 * double(k) * fanWidth;
      theta = a + v * dispersion;
      r = (u + 0.5) * length;
    } else if (j & 1) {
      r = (u + 0.5) * length;
    }
    // The heights follow the running triangle number, read as radians.
    const Corner A{originX + r * std::cos(theta), originY + r * std::sin(theta),
                   std::cos(double(n - 1)) * r + originZ};
    const double theta2 = theta + (u + 0.25) * fanWidth;
    const double r2 = r + (v + 0.5) * length;
    const Corner B{originX + r2 * std::cos(theta2), originY + r2 * std::sin(theta2),
                   std::cos(double(n)) * r2 + originZ};
    Emit(origin, A, B, level);

    const Vec2<double> nOA = EdgeNormal<double>(originX, originY, A.x, A.y);
    const Vec2<double> nAB = EdgeNormal<double>(A.x, A.y, B.x, B.y);
    const Vec2<double> nBO = EdgeNormal<double>(B.x, B.y, originX, originY);
    const double d1x = loss * (nOA.x + nAB.x) / 2.0 + (1.0 - loss) * directionX;
    const double d1y = loss * (nOA.y + nAB.y) / 2.0 + (1.0 - loss) * directionY;
    const double d2x = (nAB.x + nBO.x) / 2.0;
    const double d2y = (nAB.y + nBO.y) / 2.0;
    GrowFan(segmentIndex, patternKind, level + 1, A.x, A.y, originZ, d1x, d1y, childWidth, childLength, widthShrink,
            lengthShrink, childDispersion, loss, childCount, iterationLimit);
    GrowFan(segmentIndex, patternKind, level + 1, B.x, B.y, originZ, d2x, d2y, childWidth, childLength, widthShrink,
            lengthShrink, childDispersion, loss, childCount, iterationLimit);
    theta = theta2;
    r = r2;
  }
}

namespace {

// Direction from `from` to `to` as an angle in [0, 2 pi): a quarter turn per
// quadrant plus the arc cosine of the normalised component.
double QuadrantAngle(const Corner& from, const Corner& to) {
  const double dx = to.x - from.x, dy = to.y - from.y;
  const double len = std::sqrt(dx * dx + dy * dy);
  if (len == 0.0) return 0.0;
  auto arc = [](double c) { return std::acos(std::min(1.0, std::max(-1.0, c))); };
  const double ex = dx / len, ey = dy / len;
  if (dy >= 0.0) return dx >= 0.0 ? arc(ex) : kPi / 2 + arc(ey);
  return dx < 0.0 ? kPi + arc(-ex) : 3 * kPi / 2 + arc(-ey);
}

}  // namespace

void Grower::EmitSubBranch(double startX, double startY, double endX, double endY, double normalX, double normalY,
                           double height, double sizeFactor) {
  const double midX = (startX + endX) / 2.0, midY = (startY + endY) / 2.0;
  const double u = random.Unit();
  const double zA = u * height;
  double size = height / 2.0 + u * height;
  const double zB = size * u;
  if (sizeFactor != 1.0) size *= std::min(1.5, std::max(0.1, sizeFactor));

  Corner slot[3] = {{startX, startY, 0.0}, {endX, endY, 0.0}, {midX + size * normalX, midY + size * normalY, 0.0}};
  // Counter-clockwise seen from the corner with the greatest y.
  int top = 0;
  for (int m = 1; m < 3; ++m)
    if (slot[m].y >= slot[top].y) top = m;
  const int second = (top + 1) % 3, third = (top + 2) % 3;
  const double diff = QuadrantAngle(slot[top], slot[third]) - QuadrantAngle(slot[top], slot[second]);
  if (!(std::fabs(diff) <= 1e-5) && (diff < 0.0 || diff > 3.141592)) std::swap(slot[second], slot[third]);

  slot[0].z = zB;
  slot[1].z = zA;
  slot[2].z = 0.0;
  CountTriangle();
  Emit(slot[0], slot[1], slot[2], 0);
}

}  // namespace rf::pattern
