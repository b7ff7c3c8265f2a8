// Rimeflower: the growers behind GrowPattern().
//
// Kept in a header of its own so that tests can drive one grower at a time
// (a fan, a curl, a leaf) and check its draws and triangles. Callers outside
// pattern/ use pattern.h only.
#pragma once

#include <cstdint>

#include "pattern/pattern.h"

namespace rf::pattern {

// ---- Random numbers ----------------------------------------------------------

// The C runtime's linear congruential generator, bit for bit. Patterns
// depend on its values and on the exact order and number of draws.
class CrtRandom {
 public:
  void Seed(uint32_t seed) { state = seed; }
  int32_t Next() {
    state = state * 214013u + 2531011u;
    return int32_t((state >> 16) & 0x7FFF);
  }
  // A unit draw: (r mod 1000) / 1000.
  double Unit() { return double(Next() % 1000) / 1000.0; }
  uint32_t State() const { return state; }

 private:
  uint32_t state = 0;
};

// ---- Numeric helpers -----------------------------------------------------------

constexpr double kPi = 3.14159265358979323846;

// Truncation toward zero that never leaves the int64 range: NaN gives 0 and
// values beyond +-2^50 are held there, so no cast is ever undefined.
int64_t TruncClamp(double v);

// Angle of a direction in radians: 0 for the zero vector, +-pi/2 on the
// y axis, otherwise atan(y / x) moved into the quadrant by +-pi.
double DirectionAngle(double x, double y);

// Angle of a direction in degrees as the floral step measures it, with its
// own odd radian factor.
double FloralAngleDegrees(double x, double y);

// ---- Derived growth values ------------------------------------------------------

// Everything growth reads from the record, computed once per run.
struct GrowthValues {
  uint8_t family = 0;       // `EffectKind`
  uint8_t patternKind = 0;  // `PatternKind`
  uint8_t growDirect = 0;   // `GrowDirect`
  uint32_t randomSeed = 0;
  int32_t scaledWidth = 0;  // DW
  double zoom = 1.0;

  double spacing = 0.0;  // between growth points, before the 0.25 floor
  double step = 0.25;
  double fanWidth = 0.0;
  double length = 0.0;
  int64_t count = 0;           // triangles asked of a fan; 5x for curls
  int64_t iterationLimit = 1;  // at least 1
  double dispersion = 0.0;
  double loss = 0.0;
  double widthShrink = 0.0;
  double lengthShrink = 0.0;
  double intervalDependence = 0.0;
  double turn = 0.0;  // radians
  double completance = 0.0;
  double completanceDist = 0.0;
};

GrowthValues DeriveGrowthValues(const ParameterRecord& record, const ImageGeometry& geometry);

// Which segments the walk visits: `full` complete ones, one partly grown when
// `frac` > 0 and `fade` more that thin out; `processed` in all.
struct SegmentSelection {
  int64_t full = 0;
  double frac = 0.0;
  int64_t fade = 0;
  int64_t processed = 0;
};
SegmentSelection SelectSegments(int64_t segmentCount, double completance, double completanceDist);

// ---- Triangles --------------------------------------------------------------------

struct Corner {
  double x, y, z;
};

// Builds a triangle with the normals every grower uses: the negated z of the
// unit face normal for all corners, and in x and y the edge normal of the
// edge leaving each corner. A corner that is not a finite float collapses
// the whole triangle onto the origin, so that nothing unbounded reaches the
// renderer.
PatternTriangle MakeTriangle(const Corner& a, const Corner& b, const Corner& c, int32_t level);

// ---- The growers ------------------------------------------------------------------

// A fan deeper than this has more than 2^40 triangles and can never fit a
// budget; growth stops there instead of recursing on.
constexpr int32_t kMaxFanDepth = 40;
// Counts and step numbers are held here: anything larger is over budget anyway.
constexpr int64_t kCountCeiling = int64_t(1) << 40;

// Ends a growth run early; GrowPattern catches it.
struct GrowthStop {
  GrowthStatus status;
};

class Grower {
 public:
  Grower(PatternList& list, uint32_t triangleBudget, const RunHooks& hooks);

  // Counter to 0 and the generator seeded with `RandomSeed` + 1212.
  void StartRun(uint32_t randomSeed);

  // The emitter walk of the geometric and floral families.
  void Grow(const Emitter& emitter, const GrowthValues& values);
  // The one figure of the single family at the centre.
  void DrawSingle(const ParameterRecord& record, const GrowthValues& values, const SceneCentre& centre);

  void GrowFan(int32_t segmentIndex, uint8_t patternKind, int32_t level, double originX, double originY,
               double originZ, double directionX, double directionY, double fanWidth, double length,
               double widthShrink, double lengthShrink, double dispersion, double loss, int64_t count,
               int64_t iterationLimit);
  void EmitSubBranch(double startX, double startY, double endX, double endY, double normalX, double normalY,
                     double height, double sizeFactor);

  // Leaves (outX, outY) untouched when it draws nothing (steps <= 0).
  void CurlStrip(double& outX, double& outY, double originX, double originY, double baseHeight, double rotation,
                 double arc, double radius, int64_t steps, double width, int32_t level);
  void CurlDriver(int64_t count, double x, double y, double z, double angle, double bend, double length,
                  double width, bool leaf, int64_t steps);
  void WaveDriver(int32_t mode, double x, double y, double z, double angle, double bend, double length,
                  double width, int64_t count, int64_t steps, double spread, double twist, double twistStep);
  void Leaf(double centreX, double centreY, double z, double angle, double bend, double length);

  CrtRandom random;
  // Triangles created in this run; the fan grower takes heights from it.
  uint32_t TriangleCounter = 0;

 private:
  void FloralStep(int32_t segmentIndex, double x, double y, double nx, double ny, double width, double length,
                  double turnL, const GrowthValues& values);
  // Counts a triangle about to be made, against the budget; answers the
  // counter after the increment.
  uint32_t CountTriangle();
  void Emit(const Corner& a, const Corner& b, const Corner& c, int32_t level);
  // A unit of work that may create nothing (a growth point, a wave step).
  void CountWork();
  void PollAbort();
  void Progress(int32_t done);

  PatternList& list;
  uint32_t budget;
  RunHooks hooks;
  uint32_t work = 0;
  uint32_t floralPrevious = 0;
  int32_t lastProgress = -1;
};

}  // namespace rf::pattern
