#include "tests/pattern/pattern_test_support.h"

#include <cmath>
#include <cstring>

#include <gtest/gtest.h>

namespace rf::pattern::test_support {

ParameterRecord RecordFor(uint8_t effectKind, uint8_t patternKind) {
  ParameterRecord r;
  ResetToDefaults(r);
  r.EffectKind = effectKind;
  r.PatternKind = patternKind;
  return r;
}

std::vector<PatternTriangle> Triangles(const PatternList& list) {
  std::vector<PatternTriangle> out;
  for (const RFTrNode* n = list.First(); n; n = n->next) out.push_back(*n->triangle);
  return out;
}

std::vector<PatternTriangle> GrowFixed(const ParameterRecord& r, int width, int height) {
  const ImageGeometry geometry = FinalGeometry(width, height);
  Emitter e;
  BuildFixedEmitter(r.MaskKind, geometry, e);
  PatternList list;
  EXPECT_EQ(GrowPattern(r, &e, geometry, RunHooks{}, 0, list), GrowthStatus::Ok);
  return Triangles(list);
}

bool AllFinite(const std::vector<PatternTriangle>& triangles) {
  for (const PatternTriangle& t : triangles)
    for (const PatternVertex& v : t.v)
      for (float f : {v.x, v.y, v.z, v.nx, v.ny, v.nz})
        if (!std::isfinite(f)) return false;
  return true;
}

bool SameTriangle(const PatternTriangle& a, const PatternTriangle& b) {
  if (a.level != b.level) return false;
  for (int k = 0; k < 3; ++k) {
    const PatternVertex &p = a.v[k], &q = b.v[k];
    if (p.x != q.x || p.y != q.y || p.z != q.z || p.nx != q.nx || p.ny != q.ny || p.nz != q.nz || p.flag != q.flag)
      return false;
  }
  return true;
}

uint64_t ShapeHash(const std::vector<PatternTriangle>& triangles) {
  uint64_t h = 1469598103934665603ull;
  auto mix = [&](int64_t v) {
    for (int i = 0; i < 8; ++i) {
      h ^= uint64_t(v >> (8 * i)) & 0xFF;
      h *= 1099511628211ull;
    }
  };
  for (const PatternTriangle& t : triangles) {
    for (const PatternVertex& v : t.v) {
      mix(std::llround(double(v.x) * 64));
      mix(std::llround(double(v.y) * 64));
      mix(std::llround(double(v.z) * 64));
      mix(std::llround(double(v.nx) * 1024));
      mix(std::llround(double(v.ny) * 1024));
      mix(std::llround(double(v.nz) * 1024));
    }
    mix(t.level);
  }
  return h;
}

Emitter StraightEmitter(const std::vector<float>& lengths, float x, float y, float nx, float ny) {
  Emitter e;
  float at = x;
  for (size_t i = 0; i < lengths.size(); ++i) {
    EmitterPoint a{at, y, 0, nx, ny, 0, 1};
    EmitterPoint b{at + lengths[i], y, 0, nx, ny, 0, 1};
    e.points.push_back(a);
    e.points.push_back(b);
    e.segments.push_back({int32_t(2 * i), int32_t(2 * i + 1), nx, ny, 0.0f, lengths[i], 1});
    at += lengths[i];
  }
  return e;
}

}  // namespace rf::pattern::test_support
