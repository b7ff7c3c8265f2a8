// Rimeflower contour meshing: smooth border lines between the labels of an
// 8-bit mask.
//
// Usage: construct one CMeshBuilder per build, optionally lower its memory
// budget, call BuildContourLines once, use the two arrays, release them with
// ReleaseContourArrays, destroy the builder. Coordinates are mask pixels: x right, y down, the point (c, r) the
// top-left corner of pixel (r, c).
//
// The value 121 is reserved: it is the label of everything outside the mask
// (so the frame is a border) and, passed to the tracer, means "any label".
// Masks made by the plug-in never contain it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "mesh/contour_points.h"
#include "mesh/raster.h"

namespace rf::mesh {

// ---- Output records -------------------------------------------------------

struct ContourVertex {
  float x;
  float y;
};

struct ContourSegment {
  uint32_t first;   // vertex index
  uint32_t second;  // vertex index
  float Weight;     // largest in the middle of its line
};

static_assert(sizeof(ContourVertex) == 8, "vertex records are two floats");
static_assert(sizeof(ContourSegment) == 12, "segment records are two indices and a float");

// Releases arrays returned by BuildContourLines and nulls the pointers.
void ReleaseContourArrays(ContourVertex*& vertices, ContourSegment*& segments);

// ---- CMeshBuilder -----------------------------------------------------------

constexpr uint8_t kOutsideLabel = 121;

class CMeshBuilder {
  // First, so that they outlive the lines and the index that draw on them.
  MemoryBudget budget;
  NodePool nodePool{&budget};
  uint64_t budgetLimit = 0;  // as the caller set it; 0 for the default

 public:
  using LineList = std::vector<std::unique_ptr<CBorderLine>>;

  CMeshBuilder();
  CMeshBuilder(const CMeshBuilder&) = delete;
  CMeshBuilder& operator=(const CMeshBuilder&) = delete;
  ~CMeshBuilder();

  // Traces `mask` (height rows of `stride` bytes, stride >= width) and writes
  // every border between two inner labels as a polyline: vertices in line
  // order, segments joining consecutive vertices of a line. The arrays are
  // committed pages owned by the caller, set only when lines were found; the
  // call succeeds with both counts 0 when none survive. The tolerance is the
  // simplification distance plus half a pixel (0 or less means 1.0, at most
  // 10); step bounds the Manhattan length of a piece (2 to 30).
  //
  // Answers false, with LastError set, for an empty or unloadable mask and
  // when the borders need more memory than the budget or than the system
  // gives (counts and pointers untouched), and when an output array cannot
  // be allocated (pointers left null, counts may hold the sums). Nothing is
  // thrown.
  bool BuildContourLines(int32_t width, int32_t height, int32_t stride, const uint8_t* mask, float tolerance,
                         int32_t step, int32_t& vertexCount, int32_t& segmentCount, ContourVertex*& vertices,
                         ContourSegment*& segments);

  // Limits the memory the borders of the following builds may take: the
  // points, lines, tables and output arrays, not the two rasters. A build
  // never takes more than DefaultContourBudget(), so a caller can only lower
  // the limit; 0 restores the default. The simplification's work is limited
  // in proportion.
  void SetMemoryBudget(uint64_t bytes) { budgetLimit = bytes; }
  // The most the last build charged to its budget, in bytes.
  uint64_t MemoryPeak() const { return budget.Peak(); }

  // Why the last BuildContourLines answered false (null after a success).
  const char* LastError() const { return lastError; }

  // ---- The stages, public for tests and tools ----
  //
  // They raise MeshError, and may let std::bad_alloc through. The lines they
  // make draw on this builder and must be gone before it is.

  // Copies the mask into `mask`; raises MeshError when it cannot.
  void LoadMask(int32_t width, int32_t height, int32_t stride, const uint8_t* maskBytes);
  // Appends the traced lines of `source` to `out`; raises MeshError.
  void FindBorderLines(const TCRaster<uint8_t>& source, LineList& out);
  // Walks from corner (r, c), consuming crack bits of `codes`, appending to
  // `line` when `first` is set and prepending otherwise. False on a dead end
  // or when no crack at the corner has `label` on its right.
  bool TraceBorder(bool first, uint8_t label, int32_t r, int32_t c, const TCRaster<uint8_t>& source,
                   TCRaster<uint8_t>& codes, CBorderLine& line);
  void SimplifyLine(CBorderLine& line, PointIndex& points, float tolerance, int32_t step);
  void MarkCorners(CBorderLine& line, PointIndex& points);

  LineList lines;
  TCRaster<uint8_t> mask;
  PointIndex index;

 private:
  // A line object as the heap holds it, as the budget counts it.
  static constexpr uint64_t kLineBytes = sizeof(CBorderLine) + 16;

  void DiscardAndPrune();
  bool WriteOutput(int32_t& vertexCount, int32_t& segmentCount, ContourVertex*& vertices,
                   ContourSegment*& segments);

  const char* lastError = nullptr;
};

// Corner-code bits: the cracks leaving a pixel corner, and the mark of a
// corner where more than two regions meet.
enum CornerBits : uint8_t {
  kCrackRight = 1,
  kCrackDown = 2,
  kCrackLeft = 4,
  kCrackUp = 8,
  kJunction = 16,
};

// The corner code of corner (r, c) from its four pixels A (below left),
// B (above left), C (below right) and D (above right).
uint8_t CornerCode(uint8_t a, uint8_t b, uint8_t c, uint8_t d);

}  // namespace rf::mesh
