#include "mesh/point_tree.h"

#include <cmath>

namespace rf::mesh {

namespace {

bool Close(float a, float b) { return std::fabs(double(a) - double(b)) < 0.01; }

}  // namespace

PointTree::~PointTree() {
  for (Links* chunk : links) GiveBlock(nullptr, chunk, size_t(kChunkNodes) * sizeof(Links));
  for (Rest* chunk : rests) GiveBlock(nullptr, chunk, size_t(kChunkNodes) * sizeof(Rest));
  if (budget) budget->Release(uint64_t(count) * kNodeBytes);
}

// Equivalent keys compare equal; otherwise the order is by x, then y, then
// z. Two keys close on one axis but apart on another are ordered by exact
// comparison, which is where transitivity fails.
bool PointTree::Less(const Key& a, const Key& b) {
  if (!Close(a.x, b.x)) return b.x > a.x;
  if (Close(a.y, b.y) && Close(a.z, b.z)) return false;
  if (b.x > a.x) return true;
  if (a.x != b.x) return false;
  if (b.y > a.y) return true;
  if (a.y != b.y) return false;
  return b.z > a.z;
}

// Less with a node, reading its z only where x and y are both close: it
// waits in the other half of the node.
bool PointTree::KeyBelow(const Key& key, uint32_t n) {
  const Links& l = L(n);
  if (!Close(key.x, l.x)) return l.x > key.x;
  if (Close(key.y, l.y)) return Less(key, Key{l.x, l.y, R(n).z});
  if (key.x != l.x) return l.x > key.x;
  return l.y > key.y;
}

bool PointTree::NodeBelow(uint32_t n, const Key& key) {
  const Links& l = L(n);
  if (!Close(l.x, key.x)) return key.x > l.x;
  if (Close(l.y, key.y)) return Less(Key{l.x, l.y, R(n).z}, key);
  if (key.x != l.x) return key.x > l.x;
  return key.y > l.y;
}

void PointTree::Grow() {
  const uint32_t next = count + 1;
  if ((next >> kChunkShift) < links.size()) return;
  links.reserve(links.size() + 1);
  rests.reserve(rests.size() + 1);
  links.push_back(static_cast<Links*>(TakeBlock(nullptr, size_t(kChunkNodes) * sizeof(Links), false)));
  rests.push_back(static_cast<Rest*>(TakeBlock(nullptr, size_t(kChunkNodes) * sizeof(Rest), false)));
  if (links.size() == 1) {
    L(kHeader) = Links{kHeader, kHeader, 0.0f, 0.0f};
    R(kHeader) = Rest{kNil, 0.0f, false};
  }
}

void PointTree::Add(float x, float y, float z) {
  if (links.empty()) Grow();
  const Key key{x, y, z};
  if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) plain = false;
  // The search did not find the point when it was made, and the tree is as
  // it was then, so the insert comes out with a place for it.
  uint32_t found = kNil;
  uint32_t parent = kNil;
  InsertPosition(key, found, parent);
  Link(key, parent, parent == kHeader || KeyBelow(key, parent));
}

uint32_t PointTree::FindOrAdd(float x, float y, float z) {
  if (links.empty()) Grow();
  const Key key{x, y, z};
  if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) plain = false;
  // The set's find goes left at every node not below the key, its insert at
  // every node above it. Between finite keys the two differ only at an
  // equivalent node; until one is met, the find's way is the insert's too.
  uint32_t bound = kHeader;
  uint32_t last = kHeader;
  bool left = true;
  bool met = !plain;
  for (uint32_t n = Parent(kHeader); n != kNil;) {
    last = n;
    if (NodeBelow(n, key)) {
      left = false;
      n = L(n).right;
      continue;
    }
    left = KeyBelow(key, n);
    met = met || !left;
    bound = n;
    n = L(n).left;
  }
  if (bound != kHeader && !KeyBelow(key, bound)) return bound - 1;
  if (met) {
    uint32_t found = kNil;
    uint32_t parent = kNil;
    InsertPosition(key, found, parent);
    if (found != kNil) return found - 1;
    last = parent;
    left = parent == kHeader || KeyBelow(key, parent);
  }
  Link(key, last, left);
  return kNone;
}

void PointTree::InsertPosition(const Key& key, uint32_t& found, uint32_t& parent) {
  uint32_t y = kHeader;
  bool below = true;
  for (uint32_t n = Parent(kHeader); n != kNil;) {
    y = n;
    below = KeyBelow(key, n);
    n = below ? L(n).left : L(n).right;
  }
  parent = y;
  uint32_t j = y;
  if (below) {
    if (j == L(kHeader).left) return;
    j = Previous(j);
  }
  if (!NodeBelow(j, key)) found = j;
}

void PointTree::Link(const Key& key, uint32_t parent, bool left) {
  Grow();
  if (budget) budget->Charge(kNodeBytes);
  const uint32_t z = count + 1;
  L(z) = Links{kNil, kNil, key.x, key.y};
  R(z) = Rest{parent, key.z, false};
  Links& header = L(kHeader);
  if (left) {
    L(parent).left = z;  // for the header this makes z the leftmost
    if (parent == kHeader) {
      Parent(kHeader) = z;
      header.right = z;
    } else if (parent == header.left) {
      header.left = z;
    }
  } else {
    L(parent).right = z;
    if (parent == header.right) header.right = z;
  }
  ++count;
  Rebalance(z);
}

void PointTree::Rebalance(uint32_t x) {
  while (x != Parent(kHeader) && !Black(Parent(x))) {
    const uint32_t xp = Parent(x);
    const uint32_t xpp = Parent(xp);
    if (xp == L(xpp).left) {
      const uint32_t uncle = L(xpp).right;
      if (uncle != kNil && !Black(uncle)) {
        R(xp).black = true;
        R(uncle).black = true;
        R(xpp).black = false;
        x = xpp;
      } else {
        if (x == L(xp).right) {
          x = xp;
          RotateLeft(x);
        }
        R(Parent(x)).black = true;
        R(xpp).black = false;
        RotateRight(xpp);
      }
    } else {
      const uint32_t uncle = L(xpp).left;
      if (uncle != kNil && !Black(uncle)) {
        R(xp).black = true;
        R(uncle).black = true;
        R(xpp).black = false;
        x = xpp;
      } else {
        if (x == L(xp).left) {
          x = xp;
          RotateRight(x);
        }
        R(Parent(x)).black = true;
        R(xpp).black = false;
        RotateLeft(xpp);
      }
    }
  }
  R(Parent(kHeader)).black = true;
}

void PointTree::RotateLeft(uint32_t x) {
  const uint32_t y = L(x).right;
  L(x).right = L(y).left;
  if (L(y).left != kNil) Parent(L(y).left) = x;
  Parent(y) = Parent(x);
  if (x == Parent(kHeader)) {
    Parent(kHeader) = y;
  } else if (x == L(Parent(x)).left) {
    L(Parent(x)).left = y;
  } else {
    L(Parent(x)).right = y;
  }
  L(y).left = x;
  Parent(x) = y;
}

void PointTree::RotateRight(uint32_t x) {
  const uint32_t y = L(x).left;
  L(x).left = L(y).right;
  if (L(y).right != kNil) Parent(L(y).right) = x;
  Parent(y) = Parent(x);
  if (x == Parent(kHeader)) {
    Parent(kHeader) = y;
  } else if (x == L(Parent(x)).right) {
    L(Parent(x)).right = y;
  } else {
    L(Parent(x)).left = y;
  }
  L(y).right = x;
  Parent(x) = y;
}

// The in-order predecessor of a node that is not the leftmost.
uint32_t PointTree::Previous(uint32_t n) {
  if (L(n).left != kNil) {
    uint32_t y = L(n).left;
    while (L(y).right != kNil) y = L(y).right;
    return y;
  }
  uint32_t y = Parent(n);
  while (n == L(y).left) {
    n = y;
    y = Parent(y);
  }
  return y;
}

}  // namespace rf::mesh
