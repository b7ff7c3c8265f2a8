#include <cfloat>
#include <cmath>
#include <new>

#include "pattern/geometry.h"
#include "pattern/growth.h"

namespace rf::pattern {

namespace {

bool FitsFloat(double v) { return std::isfinite(v) && std::fabs(v) <= double(FLT_MAX); }

void SetNormals(PatternTriangle& t) {
  PatternVertex* v = t.v;
  const double e1x = double(v[0].x) - v[1].x, e1y = double(v[0].y) - v[1].y, e1z = double(v[0].z) - v[1].z;
  const double e2x = double(v[2].x) - v[1].x, e2y = double(v[2].y) - v[1].y, e2z = double(v[2].z) - v[1].z;
  const double cx = e1y * e2z - e1z * e2y;
  const double cy = e1z * e2x - e1x * e2z;
  const double cz = e1x * e2y - e1y * e2x;
  const double norm = std::sqrt(cx * cx + cy * cy + cz * cz);
  const double face = norm != 0.0 ? cz / norm : cz;
  for (int k = 0; k < 3; ++k) {
    const PatternVertex& a = v[k];
    const PatternVertex& b = v[(k + 1) % 3];
    const Vec2<double> n = EdgeNormal<double>(a.x, a.y, b.x, b.y);
    v[k].nx = float(n.x);
    v[k].ny = float(n.y);
    v[k].nz = float(-face);
    v[k].flag = 1;
  }
}

}  // namespace

PatternTriangle MakeTriangle(const Corner& a, const Corner& b, const Corner& c, int32_t level) {
  PatternTriangle t{};
  const Corner* corners[3] = {&a, &b, &c};
  bool finite = true;
  for (int k = 0; k < 3; ++k) {
    const Corner& p = *corners[k];
    finite = finite && FitsFloat(p.x) && FitsFloat(p.y) && FitsFloat(p.z);
    t.v[k].x = float(p.x);
    t.v[k].y = float(p.y);
    t.v[k].z = float(p.z);
  }
  if (!finite) {
    for (PatternVertex& v : t.v) v.x = v.y = v.z = 0.0f;
  }
  t.level = level;
  SetNormals(t);
  return t;
}

// ---- Grower bookkeeping ----------------------------------------------------------

Grower::Grower(PatternList& list, uint32_t triangleBudget, const RunHooks& hooks)
    : list(list), budget(triangleBudget), hooks(hooks) {}

void Grower::StartRun(uint32_t randomSeed) {
  TriangleCounter = 0;
  random.Seed(randomSeed + 1212u);
  floralPrevious = 0;
  work = 0;
  lastProgress = -1;
}

uint32_t Grower::CountTriangle() {
  if (TriangleCounter >= budget) throw GrowthStop{GrowthStatus::OutOfBudget};
  ++TriangleCounter;
  if ((TriangleCounter & 4095u) == 0) PollAbort();
  return TriangleCounter;
}

void Grower::CountWork() {
  if ((++work & 4095u) == 0) PollAbort();
}

void Grower::PollAbort() {
  if (hooks.testAbort && hooks.testAbort(hooks.context)) throw GrowthStop{GrowthStatus::Aborted};
}

void Grower::Progress(int32_t done) {
  if (done == lastProgress) return;
  lastProgress = done;
  if (hooks.progress) hooks.progress(hooks.context, done, 100);
}

void Grower::Emit(const Corner& a, const Corner& b, const Corner& c, int32_t level) {
  if (!list.Append(MakeTriangle(a, b, c, level))) throw GrowthStop{GrowthStatus::OutOfBudget};
}

}  // namespace rf::pattern
