// Rimeflower contour meshing: shared points, border lines and the point index.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <set>

namespace rf::mesh {

// ---- CMyPoint -------------------------------------------------------------
//
// One point shared by every line that passes through it and by the index, so
// that lines meeting at a corner see each other's flags. It lives as long as
// something refers to it.
struct CMyPoint {
  enum : uint32_t {
    Anchor = 1,  // survives simplification
    Pinned = 2,  // middle of a one-pixel U-turn; corner cutting leaves it alone
    Cut = 4,     // replaced during corner cutting, or on a discarded line
  };

  uint32_t flags = 0;
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
  int32_t refCount = 0;

  bool Has(uint32_t flag) const { return (flags & flag) != 0; }
};

// Equal within 0.01 on every axis, the differences taken in double precision.
bool Equivalent(const CMyPoint& a, const CMyPoint& b);

// A counted reference to a CMyPoint; the last one to go deletes the point.
class PointRef {
 public:
  PointRef() = default;
  explicit PointRef(CMyPoint* p) : point(p) { Retain(); }
  PointRef(const PointRef& o) : point(o.point) { Retain(); }
  PointRef(PointRef&& o) noexcept : point(o.point) { o.point = nullptr; }
  PointRef& operator=(PointRef o) noexcept {
    CMyPoint* t = point;
    point = o.point;
    o.point = t;
    return *this;
  }
  ~PointRef() { Drop(); }

  CMyPoint* get() const { return point; }
  CMyPoint* operator->() const { return point; }
  CMyPoint& operator*() const { return *point; }
  explicit operator bool() const { return point != nullptr; }

 private:
  void Retain() {
    if (point) ++point->refCount;
  }
  void Drop() {
    if (point && --point->refCount == 0) delete point;
    point = nullptr;
  }
  CMyPoint* point = nullptr;
};

// ---- CBorderLine ----------------------------------------------------------
//
// One traced border, in walking order. `RightLabel` is the region on the
// right when walking from the first point to the last (x right, y down). A
// closed line repeats its first point object as its last entry.
class CBorderLine {
 public:
  using Nodes = std::list<PointRef>;

  Nodes points;
  bool Closed = false;
  uint8_t RightLabel = 0;
  uint8_t LeftLabel = 0;

  int32_t Count() const { return int32_t(points.size()); }

  // Read-out cursor: Rewind, then Next until it answers null.
  void Rewind(bool forwardDirection);
  CMyPoint* Next();

 private:
  Nodes::iterator cursor;
  bool forward = true;
};

// ---- PointIndex -----------------------------------------------------------
//
// Every point made during one build, ordered by x, then y, then z, with points
// within 0.01 of each other treated as the same place. New corner, midpoint
// and subdivision points go through FindOrInsert, so a point that lands on an
// existing one reuses it with its flags.
class PointIndex {
 public:
  PointIndex() = default;
  PointIndex(const PointIndex&) = delete;
  PointIndex& operator=(const PointIndex&) = delete;
  ~PointIndex() { Clear(); }

  // The equivalent point already held, or a new point at (x, y, z) with no
  // flags, after adding it.
  PointRef FindOrInsert(float x, float y, float z);

  // Keeps only the points that are `Anchor` and not `Cut`.
  void Prune();
  void Clear();
  size_t Size() const { return points.size(); }

 private:
  // The coordinates are kept beside the pointer so that a lookup walks the
  // tree without touching the points themselves.
  struct Entry {
    float x, y, z;
    CMyPoint* point;  // one reference held by the index
  };
  struct Less {
    bool operator()(const Entry& a, const Entry& b) const;
  };
  std::set<Entry, Less> points;
};

}  // namespace rf::mesh
