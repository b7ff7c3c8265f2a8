// Turning traced staircase lines into smooth polylines, and writing them out.
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <utility>

#include "mesh/mesh_builder.h"

namespace rf::mesh {

namespace {

using Node = CBorderLine::Nodes::iterator;

constexpr float kTracedZ = -10.0f;
// Runs of one and two pixels are the steps of a slanted border; longer ones
// are straight stretches.
constexpr float kStepRun = 2.0f;
constexpr uint32_t kPointFlags = CMyPoint::Anchor | CMyPoint::Pinned | CMyPoint::Cut;

float Sign(float v) { return float((v > 0.0f) - (v < 0.0f)); }

bool HasFlag(const Node& n, uint32_t flag) { return (*n)->Has(flag); }
void SetFlag(const Node& n, uint32_t flag) { (*n)->flags |= flag; }

// Every point of a closed line, all but the two ends of an open one.
void ClearInteriorFlags(CBorderLine& line) {
  auto& pts = line.points;
  auto begin = pts.begin();
  auto end = pts.end();
  if (!line.Closed) {
    if (pts.size() < 3) return;
    ++begin;
    --end;
  }
  for (auto it = begin; it != end; ++it) (*it)->flags &= ~kPointFlags;
}

void RemoveFlagged(CBorderLine& line, uint32_t flag, bool removeIfSet) {
  line.points.remove_if([&](const PointRef& p) { return p->Has(flag) == removeIfSet; });
}

// Distance of p from the straight line through a and b; 0 when a and b are
// the same place.
double ChordDistance(const CMyPoint& p, const CMyPoint& a, const CMyPoint& b) {
  const double dx = double(b.x) - double(a.x);
  const double dy = double(b.y) - double(a.y);
  const double length = std::sqrt(dx * dx + dy * dy);
  if (length == 0.0) return 0.0;
  const double cross = (double(p.x) - double(a.x)) * dy - (double(p.y) - double(a.y)) * dx;
  return std::fabs(cross) / length;
}

// Splits between anchors until every dropped point lies within eps of the
// chord that replaces it. The pairs still to look at are always consecutive
// stretches of the line, so an explicit stack of their ends keeps long lines
// off the call stack: the top pair is (ends[k - 1], ends[k]).
void Simplify(CBorderLine& line, double eps, MemoryBudget& budget) {
  const size_t n = line.points.size();
  if (n < 2) return;
  const uint64_t scratch = uint64_t(n) * (sizeof(Node) + sizeof(size_t));
  budget.Charge(scratch);
  struct Refund {
    MemoryBudget& budget;
    uint64_t bytes;
    ~Refund() { budget.Release(bytes); }
  } refund{budget, scratch};

  std::vector<Node> nodes;
  nodes.reserve(n);
  for (auto it = line.points.begin(); it != line.points.end(); ++it) nodes.push_back(it);
  std::vector<size_t> ends;
  ends.reserve(n);
  ends.push_back(0);
  for (size_t i = 1; i < n; ++i) {
    if (HasFlag(nodes[i], CMyPoint::Anchor) || i == n - 1) ends.push_back(i);
  }
  while (ends.size() >= 2) {
    const size_t b = ends.back();
    ends.pop_back();
    const size_t a = ends.back();
    if (b - a < 2) continue;
    budget.Work(b - a - 1);
    size_t far = a + 1;
    double farthest = -1.0;
    for (size_t i = a + 1; i < b; ++i) {
      const double d = ChordDistance(**nodes[i], **nodes[a], **nodes[b]);
      if (d > farthest) {
        farthest = d;
        far = i;
      }
    }
    // With eps 0 a point exactly on the chord is still redundant.
    if (farthest < eps || farthest <= 0.0) continue;
    SetFlag(nodes[far], CMyPoint::Anchor);
    ends.push_back(far);
    ends.push_back(b);
  }
  RemoveFlagged(line, CMyPoint::Anchor, false);
}

}  // namespace

// ---- Per-line clean-up ------------------------------------------------------

void CMeshBuilder::MarkCorners(CBorderLine& line, PointIndex& points) {
  auto& pts = line.points;
  ClearInteriorFlags(line);
  if (line.Closed) {
    // Neighbours on both sides for the corners where the loop closes.
    PointRef beforeFirst = *std::prev(pts.end(), 2);
    PointRef afterLast = *std::next(pts.begin());
    pts.push_front(beforeFirst);
    pts.push_back(afterLast);
  }

  const Node firstReal = line.Closed ? std::next(pts.begin()) : pts.begin();
  for (Node p = firstReal;; ++p) {
    const Node q = std::next(p);
    if (q == pts.end()) break;
    const Node r = std::next(q);
    if (r == pts.end()) break;
    const CMyPoint& P = **p;
    const CMyPoint& Q = **q;
    const CMyPoint& R = **r;
    const float ax = std::fabs(Q.x - P.x);
    const float ay = std::fabs(Q.y - P.y);
    const float bx = std::fabs(R.x - Q.x);
    const float by = std::fabs(R.y - Q.y);
    const float T = kStepRun;
    if ((ax > T && by > T) || (ay > T && bx > T) || (ay == T && bx == T) || (ax == T && by == T)) {
      SetFlag(q, CMyPoint::Anchor);
    } else if ((bx == T && ay > T) || (by == T && ax > T)) {
      // A straight stretch ending in a two-pixel step: chamfer half a pixel
      // before the corner.
      PointRef chamfer = points.FindOrInsert(Q.x - 0.5f * Sign(Q.x - P.x), Q.y - 0.5f * Sign(Q.y - P.y), kTracedZ);
      chamfer->flags |= CMyPoint::Anchor;
      pts.insert(q, chamfer);
    } else if ((ay == T && bx > T) || (ax == T && by > T)) {
      PointRef chamfer = points.FindOrInsert(Q.x + 0.5f * Sign(R.x - Q.x), Q.y + 0.5f * Sign(R.y - Q.y), kTracedZ);
      chamfer->flags |= CMyPoint::Anchor;
      pts.insert(r, chamfer);
    }
  }

  // A one-pixel bump or notch: the steps before and after the segment Q-R go
  // opposite ways. Its middle is pinned so that corner cutting keeps it.
  for (Node p = pts.begin(); p != pts.end(); ++p) {
    if (HasFlag(p, CMyPoint::Pinned)) continue;
    Node q = std::next(p);
    if (q == pts.end()) break;
    if (HasFlag(q, CMyPoint::Pinned)) {
      q = std::next(q);
      if (q == pts.end()) break;
    }
    const Node r = std::next(q);
    if (r == pts.end()) break;
    const Node s = std::next(r);
    if (s == pts.end()) break;
    if (HasFlag(q, CMyPoint::Anchor) && HasFlag(r, CMyPoint::Anchor)) continue;
    const CMyPoint& P = **p;
    const CMyPoint& Q = **q;
    const CMyPoint& R = **r;
    const CMyPoint& S = **s;
    if ((R.x - S.x) * (Q.x - P.x) > 0.0f || (R.y - S.y) * (Q.y - P.y) > 0.0f) {
      const float mx = R.x != Q.x ? Q.x + 0.5f * (R.x - Q.x) : Q.x;
      const float my = R.x != Q.x ? Q.y : Q.y + 0.5f * (R.y - Q.y);
      PointRef middle = points.FindOrInsert(mx, my, kTracedZ);
      middle->flags |= CMyPoint::Anchor | CMyPoint::Pinned;
      pts.insert(r, middle);
    }
  }

  if (line.Closed) {
    pts.pop_front();
    pts.pop_back();
  }

  if (!line.Closed) return;
  int anchors = 0;
  for (auto it = std::next(pts.begin()); it != pts.end(); ++it) anchors += (*it)->Has(CMyPoint::Anchor);
  if (anchors >= 2) return;
  // A smooth loop has no corner to start from: take its leftmost and
  // rightmost points.
  Node leftmost = pts.begin();
  Node rightmost = pts.begin();
  for (Node it = pts.begin(); it != pts.end(); ++it) {
    if ((*it)->x < (*leftmost)->x) leftmost = it;
    if ((*it)->x > (*rightmost)->x) rightmost = it;
  }
  SetFlag(leftmost, CMyPoint::Anchor);
  SetFlag(rightmost, CMyPoint::Anchor);
}

void CMeshBuilder::SimplifyLine(CBorderLine& line, PointIndex& points, float tolerance, int32_t step) {
  auto& pts = line.points;
  if (pts.size() < 3) return;

  MarkCorners(line, points);

  if (line.Closed) {
    // Start the loop at a corner, so that the start survives every step.
    for (size_t turns = pts.size(); turns > 0 && !pts.front()->Has(CMyPoint::Anchor); --turns) {
      pts.pop_front();
      pts.push_back(pts.front());
    }
  }

  // Corner cutting: the staircase becomes the polyline through the middles
  // of its runs; anchored and pinned points stay where they are.
  for (Node p = pts.begin();;) {
    const Node q = std::next(p);
    if (q == pts.end()) break;
    if (!HasFlag(p, CMyPoint::Pinned) && !HasFlag(q, CMyPoint::Pinned)) {
      const CMyPoint& P = **p;
      const CMyPoint& Q = **q;
      pts.insert(q, points.FindOrInsert(P.x + 0.5f * (Q.x - P.x), P.y + 0.5f * (Q.y - P.y), kTracedZ));
      if (!HasFlag(p, CMyPoint::Anchor)) SetFlag(p, CMyPoint::Cut);
      if (!HasFlag(q, CMyPoint::Anchor)) SetFlag(q, CMyPoint::Cut);
    }
    p = q;
  }
  RemoveFlagged(line, CMyPoint::Cut, true);
  if (pts.empty()) return;

  ClearInteriorFlags(line);
  if (line.Closed) {
    pts.front()->flags |= CMyPoint::Anchor;
    if (pts.size() >= 2) (*std::prev(pts.end(), 2))->flags |= CMyPoint::Anchor;
  }

  Simplify(line, std::fmax(0.0, double(tolerance) - 0.5), budget);

  if (line.Closed && pts.size() <= 3) return;
  // Pieces no longer than `step` in Manhattan length.
  for (Node a = pts.begin();;) {
    const Node b = std::next(a);
    if (b == pts.end()) break;
    const CMyPoint A = **a;
    const CMyPoint B = **b;
    const float dx = B.x - A.x;
    const float dy = B.y - A.y;
    const int32_t k = int32_t(std::floor((std::fabs(dx) + std::fabs(dy)) / float(step)));
    for (int32_t j = 1; j <= k; ++j) {
      const float t = float(j) / float(k + 1);
      pts.insert(b, points.FindOrInsert(A.x + t * dx, A.y + t * dy, kTracedZ));
    }
    a = b;
  }
}

// ---- The entry --------------------------------------------------------------

bool CMeshBuilder::BuildContourLines(int32_t width, int32_t height, int32_t stride, const uint8_t* maskBytes,
                                     float tolerance, int32_t step, int32_t& vertexCount, int32_t& segmentCount,
                                     ContourVertex*& vertices, ContourSegment*& segments) {
  lastError = nullptr;
  if (!(tolerance > 0.0f)) tolerance = 1.0f;
  if (tolerance > 10.0f) tolerance = 10.0f;
  if (step < 2) step = 2;
  if (step > 30) step = 30;

  LineList().swap(lines);
  index.Clear();
  nodePool.ReleaseIfIdle();
  const uint64_t ceiling = DefaultContourBudget();
  budget.Reset(budgetLimit != 0 && budgetLimit < ceiling ? budgetLimit : ceiling);
  // The caller may be a host's filter call: nothing may be thrown past here.
  try {
    LoadMask(width, height, stride, maskBytes);
    FindBorderLines(mask, lines);
    for (auto& line : lines) SimplifyLine(*line, index, tolerance, step);
    DiscardAndPrune();
    if (!WriteOutput(vertexCount, segmentCount, vertices, segments)) {
      lastError = "Error! CMeshBuilder::BuildContourLines: Cannot allocate the output arrays.";
    }
  } catch (const MeshError& e) {
    lastError = e.what();
  } catch (...) {
    // std::bad_alloc, or a container's length error, which only sizes far
    // beyond any memory raise.
    lastError = kOutOfMemoryError;
  }
  LineList().swap(lines);
  if (lastError) {
    // The builder may live on; what it gathered is of no use to anyone.
    index.Clear();
    nodePool.ReleaseIfIdle();
    return false;
  }
  return true;
}

void CMeshBuilder::DiscardAndPrune() {
  for (auto& line : lines) {
    if (line->Closed && line->Count() < 4) {
      for (PointRef& p : line->points) p->flags |= CMyPoint::Cut;
      line.reset();
      budget.Release(kLineBytes);
    }
  }
  for (auto& line : lines) {
    if (!line) continue;
    for (PointRef& p : line->points) p->flags = (p->flags | CMyPoint::Anchor) & ~CMyPoint::Cut;
  }
  index.Prune();
}

bool CMeshBuilder::WriteOutput(int32_t& vertexCount, int32_t& segmentCount, ContourVertex*& vertices,
                               ContourSegment*& segments) {
  auto contributes = [](const std::unique_ptr<CBorderLine>& line) {
    return line && line->RightLabel != kOutsideLabel && line->LeftLabel != kOutsideLabel && line->Count() > 1;
  };
  int64_t vertexTotal = 0;
  int64_t segmentTotal = 0;
  for (const auto& line : lines) {
    if (!contributes(line)) continue;
    vertexTotal += line->Count();
    segmentTotal += line->Count() - 1;
  }
  if (vertexTotal > INT32_MAX) return false;
  if (vertexTotal > 0 && segmentTotal > 0) {
    budget.Charge(uint64_t(vertexTotal) * sizeof(ContourVertex) + uint64_t(segmentTotal) * sizeof(ContourSegment));
  }
  vertexCount = int32_t(vertexTotal);
  segmentCount = int32_t(segmentTotal);
  if (vertexCount < 1 || segmentCount < 1) return true;

  auto* v = static_cast<ContourVertex*>(platform::AllocPages(size_t(vertexCount) * sizeof(ContourVertex)));
  auto* s = static_cast<ContourSegment*>(platform::AllocPages(size_t(segmentCount) * sizeof(ContourSegment)));
  if (!v || !s) {
    platform::FreePages(v);
    platform::FreePages(s);
    vertices = nullptr;
    segments = nullptr;
    return false;
  }

  uint32_t base = 0;
  uint32_t segBase = 0;
  for (const auto& line : lines) {
    if (!contributes(line)) continue;
    const int32_t n = line->Count();
    const int32_t half = n / 2 > 1 ? n / 2 : 1;
    line->Rewind(true);
    int32_t j = 0;
    for (CMyPoint* p = line->Next(); p; p = line->Next(), ++j) {
      v[base + j] = {p->x, p->y};
      if (j == 0) continue;
      // A parabola over the line: 0 beyond its ends, `half` at its middle.
      const float r = float(std::abs(half - j)) / float(half);
      s[segBase + j - 1] = {base + j - 1, base + j, float(half) * (1.0f - r * r)};
    }
    base += uint32_t(n);
    segBase += uint32_t(n - 1);
  }
  vertices = v;
  segments = s;
  return true;
}

void ReleaseContourArrays(ContourVertex*& vertices, ContourSegment*& segments) {
  platform::FreePages(vertices);
  platform::FreePages(segments);
  vertices = nullptr;
  segments = nullptr;
}

}  // namespace rf::mesh
