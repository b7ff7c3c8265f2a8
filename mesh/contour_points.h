// Rimeflower contour meshing: shared points, border lines and the point index.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <vector>

#include "mesh/memory_budget.h"
#include "mesh/point_tree.h"

namespace rf::mesh {

// ---- CMyPoint -------------------------------------------------------------
//
// One point shared by every line that passes through it and by the index, so
// that lines meeting at a corner see each other's flags.
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

// A counted reference to a CMyPoint. The points live in the store of the
// index that made them, which frees them all at once: the count says who
// still holds a point, and every reference must be gone before its index is
// cleared or destroyed.
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
  ~PointRef() {
    if (point) --point->refCount;
  }

  CMyPoint* get() const { return point; }
  CMyPoint* operator->() const { return point; }
  CMyPoint& operator*() const { return *point; }
  explicit operator bool() const { return point != nullptr; }

 private:
  void Retain() {
    if (point) ++point->refCount;
  }
  CMyPoint* point = nullptr;
};

// ---- NodePool -------------------------------------------------------------
//
// Blocks for the nodes of the lines' point lists. A build makes and drops
// millions of nodes of three pointers each; from the heap every one would
// cost a third more in bookkeeping and a call into the allocator. Dropped
// blocks are reused; the chunks go back when the pool is destroyed or
// released while idle. Each block taken for the first time is charged to
// the budget.
class NodePool {
 public:
  static constexpr size_t kBlockBytes = 3 * sizeof(void*);

  explicit NodePool(MemoryBudget* budget = nullptr) : budget(budget) {}
  NodePool(const NodePool&) = delete;
  NodePool& operator=(const NodePool&) = delete;
  ~NodePool() { Release(); }

  void* Take();
  void Give(void* block);
  // Returns every chunk when no block is out; otherwise does nothing.
  void ReleaseIfIdle();

 private:
  struct FreeBlock {
    FreeBlock* next;
  };
  void Release();

  MemoryBudget* budget;
  std::vector<void*> chunks;
  FreeBlock* freeBlocks = nullptr;
  char* fresh = nullptr;  // next never-used block of the last chunk
  char* freshEnd = nullptr;
  size_t made = 0;  // blocks ever taken from the chunks, as charged
  size_t out = 0;   // blocks taken and not given back
};

// A list allocator drawing single nodes from a NodePool; without a pool, or
// for anything that is not one node, it is the ordinary allocator.
template <typename T>
class NodeAllocator {
 public:
  using value_type = T;

  NodeAllocator() = default;
  explicit NodeAllocator(NodePool* pool) : pool(pool) {}
  template <typename U>
  NodeAllocator(const NodeAllocator<U>& other) : pool(other.pool) {}

  T* allocate(size_t n) {
    if (Pooled(n)) return static_cast<T*>(pool->Take());
    return std::allocator<T>().allocate(n);
  }
  void deallocate(T* p, size_t n) {
    if (Pooled(n)) {
      pool->Give(p);
    } else {
      std::allocator<T>().deallocate(p, n);
    }
  }

  friend bool operator==(const NodeAllocator& a, const NodeAllocator& b) { return a.pool == b.pool; }
  friend bool operator!=(const NodeAllocator& a, const NodeAllocator& b) { return a.pool != b.pool; }

  NodePool* pool = nullptr;

 private:
  bool Pooled(size_t n) const {
    return pool && n == 1 && sizeof(T) <= NodePool::kBlockBytes && alignof(T) <= alignof(void*);
  }
};

// ---- CBorderLine ----------------------------------------------------------
//
// One traced border, in walking order. `RightLabel` is the region on the
// right when walking from the first point to the last (x right, y down). A
// closed line repeats its first point object as its last entry.
class CBorderLine {
 public:
  using Nodes = std::list<PointRef, NodeAllocator<PointRef>>;

  // Nodes come from `pool` when one is given; it must outlive the line.
  explicit CBorderLine(NodePool* pool = nullptr) : points(NodeAllocator<PointRef>(pool)) {}

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
// Every point made during one build, with points within 0.01 of each other
// on every axis treated as the same place. New corner, midpoint and
// subdivision points go through FindOrInsert, so a point that lands on an
// existing one reuses it with its flags.
//
// Which point a lookup answers is decided by an ordered search by x, then
// y, then z, over the points in the order they were made (PointTree). Nearly
// every point the mesher makes lies on the quarter-pixel grid, and when no
// point lies near the key without being exactly at it, that search can only
// answer the point at the key, or none. Such lookups are answered from a
// hash of quarter-pixel cells and a table of the x values in use; only the
// others wait for the ordered search, which then takes in the points made
// since it was last asked.
class PointIndex {
 public:
  PointIndex();
  PointIndex(const PointIndex&) = delete;
  PointIndex& operator=(const PointIndex&) = delete;
  ~PointIndex();

  // Points and tables are charged to `budget` (null: no limit) from now on.
  void SetBudget(MemoryBudget* budget);

  // The equivalent point already held, or a new point at (x, y, z) with no
  // flags, after adding it.
  PointRef FindOrInsert(float x, float y, float z);

  // Makes room for `points` points in all, so that the table need not grow
  // on the way there.
  void Reserve(size_t points);

  // Keeps only the points that are `Anchor` and not `Cut`. The others stay
  // in the store for whoever still refers to them, but are no longer found.
  // Later lookups answer the first equivalent point in the order.
  void Prune();
  // Frees every point; no reference to one may remain.
  void Clear();
  size_t Size() const { return count; }

 private:
  // `id` is the store position plus one, so that a zeroed slot is empty;
  // `home` is where the point's cell starts its probe (before the mask).
  struct Slot {
    uint32_t home;
    uint32_t id;
  };
  // The x values in one 48th of a pixel: `state` 0 none, 1 all `x`, 2 more
  // than one value.
  struct Column {
    int64_t cell;
    float x;
    uint32_t state;
  };
  static constexpr uint32_t kChunkShift = 16;

  CMyPoint& Stored(uint32_t at) { return chunks[at >> kChunkShift][at & ((1u << kChunkShift) - 1)]; }
  bool Ambiguous(float x, float y, float z, CMyPoint*& same);
  CMyPoint* FirstEquivalent(const CMyPoint& key);
  PointRef Add(float x, float y, float z);
  void Place(uint32_t home, uint32_t id);
  void Resize(size_t newCapacity);
  void NoteColumn(float x);
  Column* FindColumn(int64_t cell);

  std::vector<CMyPoint*> chunks;
  uint32_t stored = 0;
  Slot* slots = nullptr;
  size_t capacity = 0;  // a power of two, or 0
  size_t count = 0;
  Column* columns = nullptr;
  size_t columnCapacity = 0;
  size_t columnCount = 0;
  std::unique_ptr<PointTree> tree;  // made at the first lookup that needs it
  bool pruned = false;
  bool far = false;  // a point off every cell is held: every lookup searches
  MemoryBudget* budget = nullptr;
};

}  // namespace rf::mesh
