#include "pattern/mask_emitter.h"

#include <cmath>
#include <vector>

#include "mesh/brightness_mask.h"
#include "mesh/mesh_builder.h"
#include "pattern/geometry.h"
#include "platform/platform.h"

namespace rf::pattern {

const char kContoursTooComplexMessage[] =
    "The selection or the image has too many borders to grow the pattern along. Smooth the selection, "
    "select fewer and larger areas, or choose another emitter, and try again.";

ContourStatus BuildEmitterFromMask(const uint8_t* mask, const ImageGeometry& geometry, float xShift, float yShift,
                                   Emitter& out, uint64_t memoryBudget) {
  out.Clear();
  const int32_t w = geometry.width, h = geometry.height;
  if (!mask || w < 1 || h < 1) return ContourStatus::Traced;
  const int32_t dw = geometry.ScaledFilterWidth();
  const double ratio = dw == 0 ? 1.0 : double(w) / double(dw);
  // A preview shown smaller keeps the contour pieces as long on screen.
  const double stepValue = 30.0 / ratio;
  const int32_t step = std::isfinite(stepValue) ? int32_t(std::fmin(stepValue, 1e6)) : 30;

  mesh::ContourVertex* vertices = nullptr;
  mesh::ContourSegment* segments = nullptr;
  int32_t vertexCount = 0, segmentCount = 0;
  {
    mesh::CMeshBuilder builder;
    builder.SetMemoryBudget(memoryBudget);
    if (!builder.BuildContourLines(w, h, w, mask, 1.0f, step, vertexCount, segmentCount, vertices, segments)) {
      // The mesher's own texts are for tools; the user hears why in words
      // of the emitter. A mask that could not even be loaded is no border.
      return builder.LastError() && builder.MemoryPeak() > 0 ? ContourStatus::TooComplex : ContourStatus::Traced;
    }
  }
  try {
    out.points.resize(size_t(vertexCount));
    out.segments.reserve(size_t(segmentCount));
  } catch (const std::bad_alloc&) {
    out.Clear();
    mesh::ReleaseContourArrays(vertices, segments);
    return ContourStatus::TooComplex;
  }
  for (int32_t i = 0; i < vertexCount; ++i) {
    EmitterPoint& p = out.points[size_t(i)];
    p = EmitterPoint{vertices[i].x + xShift, vertices[i].y + yShift, 0, 0, 0, 0, 0};
  }
  for (int32_t i = 0; i < segmentCount; ++i) {
    const uint32_t a = segments[i].first, b = segments[i].second;
    if (a >= uint32_t(vertexCount) || b >= uint32_t(vertexCount)) continue;
    EmitterPoint& pa = out.points[a];
    EmitterPoint& pb = out.points[b];
    const Vec2<float> n = EdgeNormal(pa.x, pa.y, pb.x, pb.y);
    EmitterSegment s{};
    s.start = int32_t(a);
    s.end = int32_t(b);
    s.nx = n.x;
    s.ny = n.y;
    s.nz = 0;
    s.length = std::hypot(pb.x - pa.x, pb.y - pa.y);
    s.flag = 1;
    out.segments.push_back(s);
    // A point shared by two segments leans halfway between their normals.
    for (EmitterPoint* p : {&pa, &pb}) {
      if (p->flag) {
        p->nx = (p->nx + n.x) / 2;
        p->ny = (p->ny + n.y) / 2;
      } else {
        p->nx = n.x;
        p->ny = n.y;
        p->flag = 1;
      }
    }
  }
  mesh::ReleaseContourArrays(vertices, segments);
  return ContourStatus::Traced;
}

ContourStatus BuildMaskEmitter(const RunState& run, const uint8_t* rgba, const ImageGeometry& geometry,
                               float xShift, float yShift, Emitter& out) {
  out.Clear();
  const int32_t w = geometry.width, h = geometry.height;
  if (w < 1 || h < 1) return ContourStatus::Traced;
  auto* mask = static_cast<uint8_t*>(platform::AllocPages(size_t(w) * size_t(h)));
  if (!mask) return ContourStatus::TooComplex;
  if (run.haveMask && run.maskData) {
    for (int32_t y = 0; y < h; ++y) {
      const uint8_t* from = run.maskData + size_t(y) * size_t(run.maskRowBytes);
      uint8_t* to = mask + size_t(y) * size_t(w);
      for (int32_t x = 0; x < w; ++x) to[x] = from[x] ? 255 : 0;
    }
  } else if (rgba) {
    mesh::BuildBrightnessMask(rgba, w, h, mask);
  }
  const ContourStatus status = BuildEmitterFromMask(mask, geometry, xShift, yShift, out, run.memoryBudgetBytes);
  platform::FreePages(mask);
  return status;
}

}  // namespace rf::pattern
