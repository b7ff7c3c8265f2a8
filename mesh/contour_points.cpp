#include "mesh/contour_points.h"

#include <cmath>

namespace rf::mesh {

namespace {

constexpr double kSamePlace = 0.01;

}  // namespace

namespace {

bool Close(float a, float b) { return std::fabs(double(a) - double(b)) < kSamePlace; }

}  // namespace

bool Equivalent(const CMyPoint& a, const CMyPoint& b) { return Close(a.x, b.x) && Close(a.y, b.y) && Close(a.z, b.z); }

// ---- CBorderLine ----------------------------------------------------------

void CBorderLine::Rewind(bool forwardDirection) {
  forward = forwardDirection;
  cursor = forward ? points.begin() : points.end();
}

CMyPoint* CBorderLine::Next() {
  if (forward) {
    if (cursor == points.end()) return nullptr;
    return (cursor++)->get();
  }
  if (cursor == points.begin()) return nullptr;
  return (--cursor)->get();
}

// ---- PointIndex -----------------------------------------------------------

// Equivalent points compare equal; otherwise the order is by x, then y, then
// z. Two points close on one axis but apart on another are ordered by exact
// comparison, so the order is only approximately transitive there; the
// lookups stay correct for the grid and subdivision points the mesher makes.
bool PointIndex::Less::operator()(const Entry& a, const Entry& b) const {
  // Apart in x decides at once; this is the common case on every lookup.
  if (!Close(a.x, b.x)) return b.x > a.x;
  if (Close(a.y, b.y) && Close(a.z, b.z)) return false;
  if (b.x > a.x) return true;
  if (a.x != b.x) return false;
  if (b.y > a.y) return true;
  if (a.y != b.y) return false;
  return b.z > a.z;
}

PointRef PointIndex::FindOrInsert(float x, float y, float z) {
  const Entry key{x, y, z, nullptr};
  auto found = points.find(key);
  if (found != points.end()) return PointRef(found->point);

  auto* fresh = new CMyPoint;
  fresh->x = x;
  fresh->y = y;
  fresh->z = z;
  auto [where, inserted] = points.insert(Entry{x, y, z, fresh});
  if (!inserted) {
    delete fresh;
    return PointRef(where->point);
  }
  ++fresh->refCount;  // the index's own reference
  return PointRef(fresh);
}

void PointIndex::Prune() {
  for (auto it = points.begin(); it != points.end();) {
    CMyPoint* p = it->point;
    if (p->Has(CMyPoint::Cut) || !p->Has(CMyPoint::Anchor)) {
      it = points.erase(it);
      if (--p->refCount == 0) delete p;
    } else {
      ++it;
    }
  }
}

void PointIndex::Clear() {
  for (const Entry& e : points) {
    if (--e.point->refCount == 0) delete e.point;
  }
  points.clear();
}

}  // namespace rf::mesh
