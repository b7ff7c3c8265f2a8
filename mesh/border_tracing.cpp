// Copying the mask, classifying pixel corners and walking the cracks between
// labels into border lines.
#include <climits>

#include "mesh/mesh_builder.h"

namespace rf::mesh {

namespace {

const char* const kLoadMaskError = "Error! CMeshBuilder::LoadMask: Cannot load input mask!";
const char* const kBordersError = "Error! CMeshBuilder::FindBorderLines: Cannot create raster of borders.";

constexpr float kTracedZ = -10.0f;

// Directions in the order right, down, left, up; index i has crack bit 1 << i.
constexpr int32_t kStepC[4] = {1, 0, -1, 0};
constexpr int32_t kStepR[4] = {0, 1, 0, -1};
// The pixel on the right-hand side of each crack, from the corner it leaves.
constexpr int32_t kSideC[4] = {0, -1, -1, 0};
constexpr int32_t kSideR[4] = {0, 0, -1, -1};
// Marks "no step yet": matches no direction and gives the full signature.
constexpr int kNoDirection = 15;

constexpr int Bit(int i) { return 1 << i; }
constexpr int Opposite(int i) { return (i + 2) & 3; }
constexpr int Before(int i) { return (i + 3) & 3; }

int Popcount4(int v) { return (v & 1) + ((v >> 1) & 1) + ((v >> 2) & 1) + ((v >> 3) & 1); }

uint8_t SidePixel(const TCRaster<uint8_t>& source, int i, int32_t r, int32_t c) {
  return source.Get(r + kSideR[i], c + kSideC[i]);
}

bool Follows(const TCRaster<uint8_t>& source, int i, int32_t r, int32_t c, uint8_t label) {
  return label == kOutsideLabel || SidePixel(source, i, r, c) == label;
}

// Adds a point at one end of a line. Reaching the other end closes the line;
// repeating the end just added is dropped.
void AddPoint(CBorderLine& line, const PointRef& point, bool append) {
  auto& pts = line.points;
  if (!pts.empty()) {
    const CMyPoint& nearEnd = append ? *pts.back() : *pts.front();
    const CMyPoint& farEnd = append ? *pts.front() : *pts.back();
    if (Equivalent(*point, nearEnd)) return;
    if (Equivalent(*point, farEnd)) line.Closed = true;
  }
  if (append) {
    pts.push_back(point);
  } else {
    pts.push_front(point);
  }
}

}  // namespace

// ---- Corner codes -----------------------------------------------------------

uint8_t CornerCode(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
  int code = 0;
  if (d != c) code |= kCrackRight;
  if (a != c) code |= kCrackDown;
  if (a != b) code |= kCrackLeft;
  if (b != d) code |= kCrackUp;
  if (code == 7 || code == 11 || code == 13 || code == 14) {
    code |= kJunction;
  } else if (code == 15 && a != d && b != c) {
    // With an equal diagonal pair this is a two-label saddle the walk passes.
    code |= kJunction;
  }
  return uint8_t(code);
}

// ---- CMeshBuilder -------------------------------------------------------------

CMeshBuilder::CMeshBuilder() {
  // The stages are bounded even when called on their own.
  budget.Reset(DefaultContourBudget());
  index.SetBudget(&budget);
  lines.reserve(100);
  mask.outside = kOutsideLabel;
}

CMeshBuilder::~CMeshBuilder() {
  // The lines hold points of the index, which goes first.
  lines.clear();
}

void CMeshBuilder::LoadMask(int32_t width, int32_t height, int32_t stride, const uint8_t* maskBytes) {
  if (!maskBytes || !mask.Create(height, width, stride)) throw MeshError(kLoadMaskError);
  std::memcpy(mask.rows[0], maskBytes, size_t(height) * size_t(stride));
}

void CMeshBuilder::FindBorderLines(const TCRaster<uint8_t>& source, LineList& out) {
  const int32_t width = source.width;
  const int32_t height = source.height;
  if (width < 1 || height < 1 || width == INT32_MAX || height == INT32_MAX) throw MeshError(kBordersError);
  TCRaster<uint8_t> codes;
  if (!codes.Create(height + 1, width + 1)) throw MeshError(kBordersError);

  // One row-major sweep; the left-hand pixels A and B are the previous
  // column's C and D. The corners where a walk must turn or end (any cracks
  // but a straight pair) all become points, so the index gets room for them
  // at once instead of growing through every size on the way.
  uint64_t turns = 0;
  for (int32_t r = 0; r <= height; ++r) {
    const uint8_t* above = r > 0 ? source.rows[r - 1] : nullptr;
    const uint8_t* below = r < height ? source.rows[r] : nullptr;
    uint8_t* row = codes.rows[r];
    uint8_t a = kOutsideLabel;
    uint8_t b = kOutsideLabel;
    for (int32_t c = 0; c <= width; ++c) {
      const bool inside = c < width;
      const uint8_t pixelC = below && inside ? below[c] : kOutsideLabel;
      const uint8_t pixelD = above && inside ? above[c] : kOutsideLabel;
      const uint8_t code = CornerCode(a, b, pixelC, pixelD);
      row[c] = code;
      const int cracks = code & 0xF;
      turns += cracks != 0 && cracks != (kCrackLeft | kCrackRight) && cracks != (kCrackUp | kCrackDown);
      a = pixelC;
      b = pixelD;
    }
  }
  index.Reserve(size_t(turns));
  for (int32_t r = 0; r <= height; ++r) {
    const uint8_t* row = codes.rows[r];
    for (int32_t c = 0; c <= width; ++c) {
      const uint8_t code = row[c];
      if ((code & 0xEF) == 0) continue;
      // A mask of noise makes a line for nearly every crack, so the lines
      // are counted as well as their points.
      budget.Charge(kLineBytes);
      auto line = std::make_unique<CBorderLine>(&nodePool);
      bool kept = TraceBorder(true, kOutsideLabel, r, c, source, codes, *line);
      if (kept && !(code & kJunction) && !line->Closed) {
        kept = TraceBorder(false, line->LeftLabel, r, c, source, codes, *line);
      }
      if (!kept) {
        budget.Release(kLineBytes);
        continue;
      }
      if (!line->Closed) {
        line->points.front()->flags |= CMyPoint::Anchor;
        line->points.back()->flags |= CMyPoint::Anchor;
      }
      const size_t capacity = out.capacity();
      out.push_back(std::move(line));
      if (out.capacity() != capacity) budget.Charge((out.capacity() - capacity) * sizeof(out[0]));
    }
  }
}

bool CMeshBuilder::TraceBorder(bool first, uint8_t label, int32_t r, int32_t c, const TCRaster<uint8_t>& source,
                               TCRaster<uint8_t>& codes, CBorderLine& line) {
  int code = codes.Get(r, c);
  int dir = -1;
  for (int i = 0; i < 4; ++i) {
    if ((code & Bit(i)) && Follows(source, i, r, c, label)) {
      dir = i;
      break;
    }
  }
  if (dir < 0) return false;
  if (label == kOutsideLabel && first) {
    label = SidePixel(source, dir, r, c);
    line.RightLabel = label;
    line.LeftLabel = SidePixel(source, Before(dir), r, c);
  }

  const int32_t startR = r;
  const int32_t startC = c;
  int prev = kNoDirection;
  int prev2 = kNoDirection;
  for (;;) {
    // Straight runs add nothing: a line keeps only its turns and its ends.
    if (Bit(dir) != prev) AddPoint(line, index.FindOrInsert(float(c), float(r), kTracedZ), first);
    prev2 = prev;
    prev = Bit(dir);

    codes.Set(r, c, uint8_t(codes.Get(r, c) & ~Bit(dir)));
    r += kStepR[dir];
    c += kStepC[dir];
    codes.Set(r, c, uint8_t(codes.Get(r, c) & ~Bit(Opposite(dir))));

    code = codes.Get(r, c);
    if (code & kJunction) break;
    if (r == startR && c == startC) break;
    if (code == 0) return false;
    if (code == kCrackRight || code == kCrackDown || code == kCrackLeft || code == kCrackUp) {
      dir = code == kCrackRight ? 0 : code == kCrackDown ? 1 : code == kCrackLeft ? 2 : 3;
      continue;
    }

    // Several ways on (a saddle, or cracks of other labels): prefer the one
    // whose next two steps repeat the directions of the last two, which keeps
    // diagonal staircases together instead of cutting across them.
    const int signature = prev2 | prev;
    int bestCost = 1000;
    int bestDir = -1;
    for (int d = 0; d < 4; ++d) {
      if (!(code & Bit(d)) || !Follows(source, d, r, c, label)) continue;
      const int32_t nr = r + kStepR[d];
      const int32_t nc = c + kStepC[d];
      const int nextCode = codes.Get(nr, nc);
      for (int e = 0; e < 4; ++e) {
        if (!(nextCode & Bit(e)) || !Follows(source, e, nr, nc, label)) continue;
        const int cost = Popcount4((Bit(d) | Bit(e)) ^ signature);
        if (cost < bestCost) {
          bestCost = cost;
          bestDir = d;
        }
      }
    }
    if (bestDir < 0) break;
    dir = bestDir;
  }
  AddPoint(line, index.FindOrInsert(float(c), float(r), kTracedZ), first);
  return true;
}

}  // namespace rf::mesh
