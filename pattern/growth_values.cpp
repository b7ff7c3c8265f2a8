#include <algorithm>
#include <cmath>

#include "pattern/growth.h"
#include "platform/platform.h"

namespace rf::pattern {

int64_t TruncClamp(double v) {
  constexpr double kLimit = 1125899906842624.0;  // 2^50
  if (std::isnan(v)) return 0;
  if (v >= kLimit) return int64_t(kLimit);
  if (v <= -kLimit) return -int64_t(kLimit);
  return int64_t(v);
}

double DirectionAngle(double x, double y) {
  if (x == 0.0) {
    if (y == 0.0) return 0.0;
    return y > 0.0 ? kPi / 2 : -kPi / 2;
  }
  double a = std::atan(y / x);
  if (x < 0.0) a += y <= 0.0 ? -kPi : kPi;
  return a;
}

double FloralAngleDegrees(double x, double y) {
  if (y == 0.0) return x >= 0.0 ? 90.0 : 270.0;
  double a = -std::atan(x / y) * 57.29579143313326;
  if (y > 0.0)
    a += 180.0;
  else if (x < 0.0)
    a += 360.0;
  return a;
}

// ---- Image geometry ----------------------------------------------------------

namespace {

int32_t ScaledSize(int32_t size, double scale) {
  if (!(scale > 0.0) || !std::isfinite(scale)) return 0;
  const double v = double(size) / scale;
  if (!(v > 0.0)) return 0;
  return v >= 2147483647.0 ? 2147483647 : int32_t(v);
}

}  // namespace

int32_t ImageGeometry::ScaledFilterWidth() const { return ScaledSize(filterWidth, previewScale); }
int32_t ImageGeometry::ScaledFilterHeight() const { return ScaledSize(filterHeight, previewScale); }

ImageGeometry GeometryOf(const RunState& run) {
  ImageGeometry g;
  g.width = run.width;
  g.height = run.height;
  g.filterWidth = run.filterWidth;
  g.filterHeight = run.filterHeight;
  g.previewScale = run.previewScale;
  g.offsetX = run.previewOffsetX;
  g.offsetY = run.previewOffsetY;
  return g;
}

ImageGeometry FinalGeometry(int32_t width, int32_t height) {
  ImageGeometry g;
  g.width = g.filterWidth = width;
  g.height = g.filterHeight = height;
  return g;
}

// ---- Growth values --------------------------------------------------------------

GrowthValues DeriveGrowthValues(const ParameterRecord& record, const ImageGeometry& geometry) {
  GrowthValues v;
  v.family = record.EffectKind;
  v.patternKind = record.PatternKind;
  v.growDirect = record.GrowDirect;
  v.randomSeed = record.RandomSeed;
  v.scaledWidth = geometry.ScaledFilterWidth();
  v.zoom = geometry.previewScale;
  const double dw = v.scaledWidth;

  v.spacing = double(record.MinInterval) / 100.0 * dw / 5.0;
  v.step = std::max(0.25, v.spacing);

  // The integer counts are read as signed: a scripted -1 is a negative count,
  // not four billion.
  const int64_t maxTriangles = int32_t(record.MaxTriangles);
  switch (v.family) {
    case kFamilyGeometric:
      v.fanWidth = double(record.Width) / 100.0;
      v.length = double(record.Lenght) * dw / 400.0;
      v.count = maxTriangles;
      break;
    case kFamilyFloral:
      v.fanWidth = 2.0 * double(record.Width) / 100.0;
      v.length = double(record.Lenght) * dw / 100.0;
      v.count = 5 * maxTriangles;
      break;
    default:
      v.fanWidth = record.Width;
      v.length = record.Lenght;
      v.count = 5 * maxTriangles;
      break;
  }
  v.iterationLimit = std::max<int64_t>(1, int32_t(record.MaxIterations));
  v.dispersion = double(record.Dispers) / 25.0;
  v.loss = double(record.LoseInitDir) / 100.0;
  v.widthShrink = double(record.PWidth) / 200.0;
  v.lengthShrink = double(record.PLenght) / 200.0;
  v.intervalDependence = double(record.IntervDepend) / 1000.0;
  // The factor is 3.151592, not pi: the turn of every pattern depends on it.
  v.turn = double(record.Turn) * 3.151592 / 180.0;
  v.completance = record.Completance;
  v.completanceDist = record.CompletanceDist;
  return v;
}

SegmentSelection SelectSegments(int64_t segmentCount, double completance, double completanceDist) {
  SegmentSelection s;
  const double n = double(segmentCount);
  const double covered = n * completance / 100.0;
  s.full = TruncClamp(covered);
  s.frac = covered - double(s.full);
  s.fade = TruncClamp(n * completanceDist / 100.0);
  const int64_t wanted = s.full + (s.frac > 0.0 ? 1 : 0) + s.fade;
  s.processed = std::max<int64_t>(0, std::min(segmentCount, wanted));
  return s;
}

// ---- Budget ------------------------------------------------------------------------

uint32_t TriangleBudget(uint64_t memoryBudgetBytes) {
  uint64_t bytes = memoryBudgetBytes;
  if (bytes == 0) {
    bytes = kDefaultMemoryBudgetBytes;
    const uint64_t physical = platform::PhysicalMemoryBytes();
    if (physical != 0) bytes = std::min(bytes, physical / 2);
  }
  const uint64_t perTriangle = PatternList::BytesPerTriangle() + kSceneBytesPerTriangle;
  return uint32_t(std::min<uint64_t>(kMaxTriangleBudget, bytes / perTriangle));
}

}  // namespace rf::pattern
