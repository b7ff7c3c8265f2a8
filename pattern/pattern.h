// Rimeflower: the ice pattern.
//
// The pattern is a flat list of small triangles, each lifted slightly out of
// the image plane. It grows along an emitter (a set of straight segments:
// vector paths, mask contours or one of six fixed layouts along the image's
// edges), or, for the single family, as one figure at the effect centre.
//
// A caller (scene assembly, the command-line host) does this:
//   1. describe the image with an ImageGeometry;
//   2. build an Emitter (BuildFixedEmitter here; paths and contours elsewhere),
//      unless the family is the single one;
//   3. GrowPattern() into a PatternList and check the status;
//   4. PlaceInScene() for the scale and the centre translation, or apply a
//      SceneTransform to copied points.
//
// Coordinates are buffer pixels, origin at the centre of the buffer, x to the
// right, y downward; z is the height above the image plane.
//
// The same record and seed give the same triangles draw for draw: every
// random draw, count and branch is fixed by the parameters alone. Positions
// go through the C library's sin, cos and atan, so two platforms may differ
// in the last bits of a coordinate, never in the shape.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/record/parameters.h"
#include "host/record/run_state.h"

namespace rf::pattern {

// ---- Image geometry --------------------------------------------------------

// The buffer the pattern is grown for and where it sits in the filter area.
// In the final run the buffer is the whole filter area: scale 1, offsets 0.
struct ImageGeometry {
  int32_t width = 0;  // W, H: the buffer
  int32_t height = 0;
  int32_t filterWidth = 0;  // the whole filter rectangle, host pixels
  int32_t filterHeight = 0;
  double previewScale = 1.0;  // zoom
  int32_t offsetX = 0;        // preview offsets, buffer pixels
  int32_t offsetY = 0;

  // The filter area in buffer pixels, truncated (DW, DH); 0 when the scale
  // is not a positive number.
  int32_t ScaledFilterWidth() const;
  int32_t ScaledFilterHeight() const;
};

ImageGeometry GeometryOf(const RunState& run);
// The final run's geometry for a buffer of width x height.
ImageGeometry FinalGeometry(int32_t width, int32_t height);

// ---- Emitter records -------------------------------------------------------

struct EmitterPoint {
  float x, y, z;
  float nx, ny, nz;
  uint8_t flag;  // 1: the normal is set
};

struct EmitterSegment {
  int32_t start;  // point indices
  int32_t end;
  float nx, ny, nz;  // the direction in which growth leaves the segment
  float length;      // the walk's divisor; for fixed layouts not the true length
  uint8_t flag;
};

struct Emitter {
  std::vector<EmitterPoint> points;
  std::vector<EmitterSegment> segments;
  void Clear() {
    points.clear();
    segments.clear();
  }
};

// ---- Fixed layouts ---------------------------------------------------------

// Fills `out` with the straight lines of `MaskKind` 1 ("Bottom") to 6
// ("Window") in the centred frame. Other kinds, and images too small for a
// line to take a step, leave it empty. Answers whether any segment was made.
bool BuildFixedEmitter(uint8_t maskKind, const ImageGeometry& geometry, Emitter& out);

// ---- The triangle list ------------------------------------------------------

struct PatternVertex {
  float x, y, z;
  float nx, ny, nz;
  uint8_t flag;  // always 1: the normal is present
};

struct PatternTriangle {
  PatternVertex v[3];
  int32_t level;  // recursion depth of emission; 0 at a growth point
};

// One element of the list. The triangle belongs to the list's storage, not to
// the node; the root node has none.
struct RFTrNode {
  RFTrNode* previous = nullptr;
  RFTrNode* next = nullptr;
  PatternTriangle* triangle = nullptr;
  virtual ~RFTrNode() = default;
};

// The grown triangles in emission order: a root node without a triangle,
// then one node per triangle. Nodes and triangles live in large blocks of
// committed pages, so growing millions of them costs a few hundred
// allocations, and a block that cannot be had fails cleanly.
class PatternList {
 public:
  PatternList();
  ~PatternList();
  PatternList(const PatternList&) = delete;
  PatternList& operator=(const PatternList&) = delete;

  // Appends a copy of `t`; false when no memory block could be had.
  bool Append(const PatternTriangle& t);
  void Clear();

  const RFTrNode* Root() const { return &root; }
  const RFTrNode* First() const { return root.next; }
  RFTrNode* First() { return root.next; }
  size_t Count() const { return count; }

  // Bytes one triangle takes here (node and triangle).
  static size_t BytesPerTriangle();

 private:
  struct Cell;
  RFTrNode root;
  RFTrNode* tail = &root;
  size_t count = 0;
  std::vector<Cell*> blocks;
  size_t usedInLastBlock = 0;
};

// ---- Growth ----------------------------------------------------------------

enum class GrowthStatus {
  Ok,
  OutOfBudget,  // show kPatternTooLargeMessage, answer -108 to the host
  Aborted,      // the host asked to stop: answer -128, leave the image alone
};

extern const char kPatternTooLargeMessage[];

// How many triangles growth may create within `memoryBudgetBytes` (0: no
// limit known, a default share of the machine is used). The budget also
// covers the scene arrays the triangles are later copied into, and never
// exceeds kMaxTriangleBudget.
constexpr uint32_t kMaxTriangleBudget = 1u << 24;
constexpr uint64_t kDefaultMemoryBudgetBytes = uint64_t(1) << 30;
constexpr size_t kSceneBytesPerTriangle = 224;  // three engine points and one face, with margin
uint32_t TriangleBudget(uint64_t memoryBudgetBytes);

// Grows the pattern of `record` into `list` (which is cleared first). The
// geometric and floral families grow along `emitter` (null: nothing grows);
// the single family ignores it and draws at the effect centre. Polls
// `hooks.testAbort` every few thousand triangles and reports progress 10 to
// 50 (single family: 25). On OutOfBudget and Aborted the list is left empty.
GrowthStatus GrowPattern(const ParameterRecord& record, const Emitter* emitter, const ImageGeometry& geometry,
                         const RunHooks& hooks, uint64_t memoryBudgetBytes, PatternList& list);

// ---- Placement in the scene --------------------------------------------------

// The effect centre in the centred buffer frame; which formula applies
// depends on the family and the emitter type.
struct SceneCentre {
  double x = 0.0;
  double y = 0.0;
};
SceneCentre DerivedCentre(const ParameterRecord& record, const ImageGeometry& geometry);

// The scale and centre translation applied once after growth: the single
// family scales about its centre and is not moved; the others scale about
// the origin and are moved to the centre.
struct SceneTransform {
  double scale = 1.0;
  double cx = 0.0;
  double cy = 0.0;
  bool scaleAboutCentre = false;
  bool translate = false;

  bool IsIdentity() const { return scale == 1.0 && !translate; }
  // False when a result does not fit a float; that coordinate becomes 0.
  bool Apply(float& x, float& y, float& z) const;
};
SceneTransform MakeSceneTransform(const ParameterRecord& record, const SceneCentre& centre);

// Applies MakeSceneTransform(record, DerivedCentre(record, geometry)) to
// every corner of the list. Normals are left as they are.
void PlaceInScene(const ParameterRecord& record, const ImageGeometry& geometry, PatternList& list);

}  // namespace rf::pattern
