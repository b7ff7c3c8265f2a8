#include "mesh/contour_points.h"

#include <cmath>

namespace rf::mesh {

namespace {

constexpr double kSamePlace = 0.01;

}  // namespace

bool Equivalent(const CMyPoint& a, const CMyPoint& b) {
  return std::fabs(double(a.x) - double(b.x)) < kSamePlace && std::fabs(double(a.y) - double(b.y)) < kSamePlace &&
         std::fabs(double(a.z) - double(b.z)) < kSamePlace;
}

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
bool PointIndex::Less::operator()(const CMyPoint* a, const CMyPoint* b) const {
  if (Equivalent(*a, *b)) return false;
  if (b->x > a->x) return true;
  if (a->x != b->x) return false;
  if (b->y > a->y) return true;
  if (a->y != b->y) return false;
  return b->z > a->z;
}

PointRef PointIndex::FindOrInsert(float x, float y, float z) {
  CMyPoint key;
  key.x = x;
  key.y = y;
  key.z = z;
  auto found = points.find(&key);
  if (found != points.end()) return PointRef(*found);

  auto* fresh = new CMyPoint(key);
  auto [where, inserted] = points.insert(fresh);
  if (!inserted) {
    delete fresh;
    return PointRef(*where);
  }
  ++fresh->refCount;  // the index's own reference
  return PointRef(fresh);
}

void PointIndex::Prune() {
  for (auto it = points.begin(); it != points.end();) {
    CMyPoint* p = *it;
    if (p->Has(CMyPoint::Cut) || !p->Has(CMyPoint::Anchor)) {
      it = points.erase(it);
      if (--p->refCount == 0) delete p;
    } else {
      ++it;
    }
  }
}

void PointIndex::Clear() {
  for (CMyPoint* p : points) {
    if (--p->refCount == 0) delete p;
  }
  points.clear();
}

}  // namespace rf::mesh
