// Random small label masks through the whole contour build. The first bytes
// choose the size, the number of labels, the tolerance, the step and the
// memory budget; the rest are the pixels (repeated when short). Every answer
// must keep the output's invariants, a refusal must say why and leave the
// outputs alone, and a build that fits a small budget must give what one
// without it gives.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "mesh/mesh_builder.h"
#include "tests/fuzz/fuzz_support.h"

using rf::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const int32_t width = data[0] % 40;  // 0 included: must be refused
  const int32_t height = data[1] % 40;
  // Few labels make long lines and saddles; 0 lets the raw bytes through,
  // 121 included.
  const int labels = data[2] % 6;
  const float tolerances[] = {1.0f, 0.0f, -1.0f, 0.3f, 0.5f, 2.5f, 25.0f, NAN};
  const float tolerance = tolerances[data[3] % 8];
  const int32_t steps[] = {30, 0, 1, 2, 3, 7, 100, -4};
  const int32_t step = steps[(data[3] >> 3) % 8];
  // 0 keeps the default; the others stop many of these masks part way.
  const uint64_t budgets[] = {0, 16 << 10, 64 << 10, 256 << 10};
  const uint64_t budget = budgets[data[3] >> 6];
  data += 4;
  size -= 4;

  std::vector<uint8_t> mask(size_t(width) * size_t(height));
  for (size_t i = 0; i < mask.size(); ++i) {
    const uint8_t b = size ? data[i % size] : 0;
    mask[i] = labels == 0 ? b : uint8_t(b % labels * 84);
  }

  rf::mesh::CMeshBuilder builder;
  builder.SetMemoryBudget(budget);
  int32_t vertexCount = -1;
  int32_t segmentCount = -1;
  rf::mesh::ContourVertex* vertices = nullptr;
  rf::mesh::ContourSegment* segments = nullptr;
  const bool ok = builder.BuildContourLines(width, height, width, mask.empty() ? nullptr : mask.data(), tolerance,
                                            step, vertexCount, segmentCount, vertices, segments);
  if (width == 0 || height == 0) Check(!ok, "an empty mask was accepted");
  if (!ok) {
    Check(vertices == nullptr && segments == nullptr, "arrays after a failure");
    Check(builder.LastError() && std::strncmp(builder.LastError(), "Error! ", 7) == 0, "a refusal without a message");
    Check(vertexCount == -1 && segmentCount == -1, "counts set by a refusal");
    return 0;
  }
  if (budget != 0) {
    rf::mesh::CMeshBuilder unlimited;
    int32_t vc = 0, sc = 0;
    rf::mesh::ContourVertex* v = nullptr;
    rf::mesh::ContourSegment* s = nullptr;
    Check(unlimited.BuildContourLines(width, height, width, mask.data(), tolerance, step, vc, sc, v, s),
          "a build that fits a small budget fails without it");
    Check(vc == vertexCount && sc == segmentCount &&
              (vc == 0 || std::memcmp(v, vertices, size_t(vc) * sizeof(*v)) == 0) &&
              (sc == 0 || std::memcmp(s, segments, size_t(sc) * sizeof(*s)) == 0),
          "the budget changed the output");
    rf::mesh::ReleaseContourArrays(v, s);
  }
  Check(vertexCount >= 0 && segmentCount >= 0, "negative counts");
  Check((vertexCount == 0) == (segmentCount == 0), "vertices without segments or the reverse");
  Check((vertices != nullptr) == (vertexCount > 0) && (segments != nullptr) == (segmentCount > 0),
        "arrays do not match the counts");
  if (vertexCount > 0) {
    // Every line of n vertices gives n - 1 segments joining consecutive ones.
    int32_t lines = 0;
    for (int32_t i = 0; i < segmentCount; ++i) {
      const auto& s = segments[i];
      Check(s.first < uint32_t(vertexCount) && s.second < uint32_t(vertexCount), "index out of range");
      Check(s.first != s.second, "segment with equal ends");
      Check(s.second == s.first + 1, "segment does not join consecutive vertices");
      Check(std::isfinite(s.Weight) && s.Weight >= 0.0f && s.Weight <= float(vertexCount), "weight out of range");
      if (i == 0 || s.first != segments[i - 1].second) {
        Check(i == 0 ? s.first == 0 : s.first == segments[i - 1].second + 1, "vertices skipped between lines");
        ++lines;
      }
    }
    Check(segments[segmentCount - 1].second == uint32_t(vertexCount - 1), "trailing vertices without segments");
    Check(vertexCount == segmentCount + lines, "counts inconsistent with the lines");
    for (int32_t i = 0; i < vertexCount; ++i) {
      const auto& v = vertices[i];
      Check(v.x >= 0.0f && v.y >= 0.0f && v.x <= float(width) && v.y <= float(height), "vertex outside the mask");
    }
  }
  rf::mesh::ReleaseContourArrays(vertices, segments);
  return 0;
}
