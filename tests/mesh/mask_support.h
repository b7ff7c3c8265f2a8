// Small label masks and helpers shared by the contour meshing tests.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "mesh/mesh_builder.h"

namespace rf::mesh::test {

struct Mask {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> bytes;

  Mask(int32_t w, int32_t h, uint8_t value = 0) : width(w), height(h), bytes(size_t(w) * size_t(h), value) {}
  uint8_t& At(int32_t r, int32_t c) { return bytes[size_t(r) * size_t(width) + size_t(c)]; }
  void Fill(int32_t r0, int32_t c0, int32_t r1, int32_t c1, uint8_t value) {
    for (int32_t r = r0; r < r1; ++r)
      for (int32_t c = c0; c < c1; ++c) At(r, c) = value;
  }
};

// One string per row; '.' is 0, 'a' 84, 'b' 168, 'X' 255, a digit d is d.
inline Mask MaskFromRows(const std::vector<std::string>& rows) {
  Mask m(int32_t(rows.empty() ? 0 : rows[0].size()), int32_t(rows.size()));
  for (int32_t r = 0; r < m.height; ++r) {
    for (int32_t c = 0; c < m.width; ++c) {
      const char ch = rows[size_t(r)][size_t(c)];
      m.At(r, c) = ch == '.' ? 0 : ch == 'a' ? 84 : ch == 'b' ? 168 : ch == 'X' ? 255 : uint8_t(ch - '0');
    }
  }
  return m;
}

using Coords = std::vector<std::pair<float, float>>;

inline Coords CoordsOf(const CBorderLine& line) {
  Coords out;
  for (const PointRef& p : line.points) out.emplace_back(p->x, p->y);
  return out;
}

// The traced lines of a mask, before any clean-up.
inline void Trace(CMeshBuilder& builder, const Mask& m) {
  builder.LoadMask(m.width, m.height, m.width, m.bytes.data());
  builder.FindBorderLines(builder.mask, builder.lines);
}

struct Output {
  bool ok = false;
  int32_t vertexCount = -7;
  int32_t segmentCount = -7;
  bool arraysSet = false;
  std::vector<ContourVertex> vertices;
  std::vector<ContourSegment> segments;

  // Vertex runs of the output lines: consecutive segments share a vertex.
  std::vector<Coords> Lines() const {
    std::vector<Coords> lines;
    for (size_t i = 0; i < segments.size(); ++i) {
      if (i == 0 || segments[i].first != segments[i - 1].second) {
        lines.emplace_back();
        lines.back().emplace_back(vertices[segments[i].first].x, vertices[segments[i].first].y);
      }
      lines.back().emplace_back(vertices[segments[i].second].x, vertices[segments[i].second].y);
    }
    return lines;
  }
};

inline Output Build(CMeshBuilder& builder, const Mask& m, float tolerance = 1.0f, int32_t step = 30) {
  Output out;
  ContourVertex* v = nullptr;
  ContourSegment* s = nullptr;
  out.ok = builder.BuildContourLines(m.width, m.height, m.width, m.bytes.data(), tolerance, step, out.vertexCount,
                                     out.segmentCount, v, s);
  out.arraysSet = v || s;
  if (v) out.vertices.assign(v, v + out.vertexCount);
  if (s) out.segments.assign(s, s + out.segmentCount);
  ReleaseContourArrays(v, s);
  return out;
}

inline Output Build(const Mask& m, float tolerance = 1.0f, int32_t step = 30) {
  CMeshBuilder builder;
  return Build(builder, m, tolerance, step);
}

inline bool SameOutput(const Output& a, const Output& b) {
  if (a.ok != b.ok || a.vertexCount != b.vertexCount || a.segmentCount != b.segmentCount) return false;
  for (size_t i = 0; i < a.vertices.size(); ++i) {
    if (a.vertices[i].x != b.vertices[i].x || a.vertices[i].y != b.vertices[i].y) return false;
  }
  for (size_t i = 0; i < a.segments.size(); ++i) {
    if (a.segments[i].first != b.segments[i].first || a.segments[i].second != b.segments[i].second ||
        a.segments[i].Weight != b.segments[i].Weight)
      return false;
  }
  return true;
}

// A disc of `value` with centre (cx, cy) and radius `radius` in pixels.
inline void Disc(Mask& m, float cx, float cy, float radius, uint8_t value) {
  for (int32_t r = 0; r < m.height; ++r) {
    for (int32_t c = 0; c < m.width; ++c) {
      const float dx = float(c) + 0.5f - cx;
      const float dy = float(r) + 0.5f - cy;
      if (dx * dx + dy * dy <= radius * radius) m.At(r, c) = value;
    }
  }
}

}  // namespace rf::mesh::test
