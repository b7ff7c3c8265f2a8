#include "mesh/contour_points.h"

#include <cmath>
#include <cstring>
#include <new>

namespace rf::mesh {

namespace {

constexpr double kSamePlace = 0.01;

bool Close(float a, float b) { return std::fabs(double(a) - double(b)) < kSamePlace; }

// ---- Cells of the point index ---------------------------------------------------
//
// Cell k of an axis holds the coordinates v with floor(4 v + 0.5) = k, so a
// quarter-pixel value sits in the middle of its cell, an eighth of a pixel
// from either edge. A coordinate reaches the cells its 0.01 neighbourhood
// touches; the slack covers the rounding of the scaled values, far below
// it for any coordinate a mask can have. Columns are the same with cells a
// 48th of a pixel wide: every value within 0.01 of a quarter-pixel value
// shares its column.
constexpr double kCellsPerPixel = 4.0;
constexpr double kReach = kSamePlace * kCellsPerPixel + 0.001;
constexpr double kColumnsPerPixel = 48.0;
constexpr double kColumnReach = kSamePlace * kColumnsPerPixel + 0.005;
// Beyond this (and for NaN) a cell would not fit its integer. Floats that
// large are equivalent only when equal; such points share one far cell.
constexpr double kFarScaled = 1152921504606846976.0;  // 2^60
constexpr int64_t kFarCell = INT64_MIN;

bool OnCells(float v) { return std::fabs(double(v) * kColumnsPerPixel) < kFarScaled; }

double Scaled(float v) { return double(v) * kCellsPerPixel + 0.5; }

int64_t HomeCell(float v) { return OnCells(v) ? int64_t(std::floor(Scaled(v))) : kFarCell; }

struct CellRange {
  int64_t low;
  int64_t high;
};

CellRange ReachedCells(float v) {
  if (!OnCells(v)) return {kFarCell, kFarCell};
  const double s = Scaled(v);
  return {int64_t(std::floor(s - kReach)), int64_t(std::floor(s + kReach))};
}

uint64_t Mix(uint64_t h) {
  h ^= h >> 30;
  h *= 0xBF58476D1CE4E5B9ull;
  h ^= h >> 27;
  h *= 0x94D049BB133111EBull;
  h ^= h >> 31;
  return h;
}

// Where a cell's probe starts, before the table's mask. Lookups walk along
// borders, so neighbouring cells are kept in neighbouring slots: the cells
// of four by four pixels share a block of 64 slots, one slot for each half-
// pixel square, and the blocks are scattered by a hash. A quarter-pixel
// point shares its square with a corner or a midpoint and takes the next
// free slot.
uint32_t CellHome(int64_t cx, int64_t cy) {
  const uint64_t block = Mix(uint64_t(cx >> 4) * 0x9E3779B97F4A7C15ull + uint64_t(cy >> 4));
  const uint32_t square = uint32_t(((cy & 15) >> 1) << 3 | ((cx & 15) >> 1));
  return uint32_t(block << 6) | square;
}

// The same for columns: runs of 64 columns (a pixel and a third) share a
// block.
size_t ColumnHome(int64_t cell) { return size_t(Mix(uint64_t(cell >> 6)) << 6) | size_t(cell & 63); }

// The order of the index: by x, then y, then z.
bool Earlier(const CMyPoint& a, const CMyPoint& b) {
  if (a.x != b.x) return a.x < b.x;
  if (a.y != b.y) return a.y < b.y;
  return a.z < b.z;
}

constexpr size_t kFirstCapacity = 1024;
constexpr size_t kNodeChunkBytes = size_t(1) << 20;

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

// ---- NodePool ---------------------------------------------------------------

void* NodePool::Take() {
  if (freeBlocks) {
    FreeBlock* block = freeBlocks;
    freeBlocks = block->next;
    ++out;
    return block;
  }
  if (fresh == freshEnd) {
    chunks.reserve(chunks.size() + 1);
    char* chunk = static_cast<char*>(TakeBlock(nullptr, kNodeChunkBytes, false));
    chunks.push_back(chunk);
    fresh = chunk;
    freshEnd = chunk + kNodeChunkBytes / kBlockBytes * kBlockBytes;
  }
  if (budget) budget->Charge(kBlockBytes);
  void* block = fresh;
  fresh += kBlockBytes;
  ++made;
  ++out;
  return block;
}

void NodePool::Give(void* block) {
  auto* freed = static_cast<FreeBlock*>(block);
  freed->next = freeBlocks;
  freeBlocks = freed;
  --out;
}

void NodePool::ReleaseIfIdle() {
  if (out == 0) Release();
}

void NodePool::Release() {
  if (chunks.empty()) return;
  for (void* chunk : chunks) GiveBlock(nullptr, chunk, kNodeChunkBytes);
  if (budget) budget->Release(uint64_t(made) * kBlockBytes);
  chunks.clear();
  freeBlocks = nullptr;
  fresh = freshEnd = nullptr;
  made = out = 0;
}

// ---- PointIndex -----------------------------------------------------------
//
// Why the cells may answer: let k be the key. If every point within 0.01 of
// k on the x axis lies exactly at k.x, every point there within 0.01 on y
// exactly at k.y, and so on for z, then k compares with each point as in the
// plain order by x, y and z, equivalent only to a point exactly at k. The
// ordered search can then only go astray where the tree holds two points
// out of that order around k; such a pair is only ever made through a chain
// of points each within 0.01 of the next, and a chain that spans k passes
// within 0.01 of k without being at it. So the search finds the point at k
// if there is one and inserts k otherwise, as the cells do.

PointIndex::PointIndex() = default;

PointIndex::~PointIndex() { Clear(); }

void PointIndex::SetBudget(MemoryBudget* newBudget) { budget = newBudget; }

PointRef PointIndex::FindOrInsert(float x, float y, float z) {
  if (pruned) {
    CMyPoint key;
    key.x = x;
    key.y = y;
    key.z = z;
    if (CMyPoint* p = FirstEquivalent(key)) return PointRef(p);
    return Add(x, y, z);
  }
  CMyPoint* same = nullptr;
  if (!Ambiguous(x, y, z, same)) return same ? PointRef(same) : Add(x, y, z);
  if (!tree) tree = std::make_unique<PointTree>(budget);
  // The tree grows in the order the points were made, whenever it is asked.
  while (tree->Size() < stored) {
    const CMyPoint& p = Stored(tree->Size());
    tree->Add(p.x, p.y, p.z);
  }
  const uint32_t found = tree->FindOrAdd(x, y, z);
  if (found != PointTree::kNone) return PointRef(&Stored(found));
  return Add(x, y, z);
}

bool PointIndex::Ambiguous(float x, float y, float z, CMyPoint*& same) {
  same = nullptr;
  if (far || !OnCells(x) || !OnCells(y) || !OnCells(z)) return true;
  if (count == 0) return false;
  // Anywhere on the x axis: a point near x but not at it.
  const double scaled = double(x) * kColumnsPerPixel + 0.5;
  const int64_t lastColumn = int64_t(std::floor(scaled + kColumnReach));
  for (int64_t c = int64_t(std::floor(scaled - kColumnReach)); c <= lastColumn; ++c) {
    const Column* column = FindColumn(c);
    if (column && (column->state > 1 || (column->x != x && Close(column->x, x)))) return true;
  }
  // At x: a point near y but not at it, or at y and near z but not at it.
  const int64_t cx = HomeCell(x);
  const CellRange ys = ReachedCells(y);
  const size_t mask = capacity - 1;
  for (int64_t cy = ys.low;; ++cy) {
    const uint32_t home = CellHome(cx, cy);
    for (size_t i = home & mask; slots[i].id != 0; i = (i + 1) & mask) {
      if (slots[i].home != home) continue;
      CMyPoint& p = Stored(slots[i].id - 1);
      if (p.x != x) continue;
      if (p.y != y) {
        if (Close(p.y, y)) return true;
        continue;
      }
      if (p.z != z) {
        if (Close(p.z, z)) return true;
        continue;
      }
      // Two points at one place were made by a lookup that was ambiguous,
      // and this one is too.
      if (same && same != &p) return true;
      same = &p;
    }
    if (cy == ys.high) break;
  }
  return false;
}

CMyPoint* PointIndex::FirstEquivalent(const CMyPoint& key) {
  if (count == 0) return nullptr;
  CMyPoint* found = nullptr;
  const CellRange xs = ReachedCells(key.x);
  const CellRange ys = ReachedCells(key.y);
  const size_t mask = capacity - 1;
  for (int64_t cx = xs.low;; ++cx) {
    for (int64_t cy = ys.low;; ++cy) {
      const uint32_t home = CellHome(cx, cy);
      for (size_t i = home & mask; slots[i].id != 0; i = (i + 1) & mask) {
        if (slots[i].home != home) continue;
        CMyPoint& p = Stored(slots[i].id - 1);
        if (Equivalent(p, key) && (!found || Earlier(p, *found))) found = &p;
      }
      if (cy == ys.high) break;
    }
    if (cx == xs.high) break;
  }
  return found;
}

PointRef PointIndex::Add(float x, float y, float z) {
  // Ids are 32 bits with 0 kept for empty slots; no budget comes near.
  if (stored == UINT32_MAX - 1) throw MeshError(kTooManyBordersError);
  if ((count + 1) * 2 > capacity) Resize(capacity ? capacity * 2 : kFirstCapacity);
  const size_t chunk = stored >> kChunkShift;
  if (chunk == chunks.size()) {
    chunks.reserve(chunks.size() + 1);
    chunks.push_back(static_cast<CMyPoint*>(TakeBlock(nullptr, sizeof(CMyPoint) << kChunkShift, false)));
  }
  if (budget) budget->Charge(sizeof(CMyPoint));
  NoteColumn(x);
  CMyPoint* p = new (&Stored(stored)) CMyPoint;
  p->x = x;
  p->y = y;
  p->z = z;
  ++p->refCount;  // the index's own reference
  ++stored;
  Place(CellHome(HomeCell(x), HomeCell(y)), stored);
  ++count;
  if (!OnCells(x) || !OnCells(y) || !OnCells(z)) far = true;
  return PointRef(p);
}

void PointIndex::Reserve(size_t points) {
  size_t wanted = capacity ? capacity : kFirstCapacity;
  while (wanted < points * 2) wanted *= 2;
  if (wanted > capacity) Resize(wanted);
}

void PointIndex::Place(uint32_t home, uint32_t id) {
  const size_t mask = capacity - 1;
  size_t i = home & mask;
  while (slots[i].id != 0) i = (i + 1) & mask;
  slots[i] = Slot{home, id};
}

void PointIndex::Resize(size_t newCapacity) {
  // Homes are 32 bits, so the table cannot usefully grow past 2^32 slots.
  if (newCapacity > (size_t(1) << 32)) throw MeshError(kTooManyBordersError);
  Slot* old = slots;
  const size_t oldCapacity = capacity;
  slots = static_cast<Slot*>(TakeBlock(budget, newCapacity * sizeof(Slot), true));
  capacity = newCapacity;
  for (size_t i = 0; i < oldCapacity; ++i) {
    if (old[i].id != 0) Place(old[i].home, old[i].id);
  }
  GiveBlock(budget, old, oldCapacity * sizeof(Slot));
}

PointIndex::Column* PointIndex::FindColumn(int64_t cell) {
  if (columnCapacity == 0) return nullptr;
  const size_t mask = columnCapacity - 1;
  for (size_t i = ColumnHome(cell) & mask; columns[i].state != 0; i = (i + 1) & mask) {
    if (columns[i].cell == cell) return &columns[i];
  }
  return nullptr;
}

void PointIndex::NoteColumn(float x) {
  if (!OnCells(x)) return;
  const int64_t cell = int64_t(std::floor(double(x) * kColumnsPerPixel + 0.5));
  if (Column* column = FindColumn(cell)) {
    if (column->x != x) column->state = 2;
    return;
  }
  if ((columnCount + 1) * 2 > columnCapacity) {
    const size_t newCapacity = columnCapacity ? columnCapacity * 2 : kFirstCapacity;
    Column* old = columns;
    const size_t oldCapacity = columnCapacity;
    columns = static_cast<Column*>(TakeBlock(budget, newCapacity * sizeof(Column), true));
    columnCapacity = newCapacity;
    for (size_t i = 0; i < oldCapacity; ++i) {
      if (old[i].state == 0) continue;
      size_t j = ColumnHome(old[i].cell) & (newCapacity - 1);
      while (columns[j].state != 0) j = (j + 1) & (newCapacity - 1);
      columns[j] = old[i];
    }
    GiveBlock(budget, old, oldCapacity * sizeof(Column));
  }
  size_t j = ColumnHome(cell) & (columnCapacity - 1);
  while (columns[j].state != 0) j = (j + 1) & (columnCapacity - 1);
  columns[j] = Column{cell, x, 1};
  ++columnCount;
}

void PointIndex::Prune() {
  pruned = true;
  tree.reset();
  size_t kept = 0;
  for (size_t i = 0; i < capacity; ++i) {
    if (slots[i].id == 0) continue;
    const CMyPoint& p = Stored(slots[i].id - 1);
    kept += p.Has(CMyPoint::Anchor) && !p.Has(CMyPoint::Cut);
  }
  // Dropping entries in place would break the probe runs of the ones behind
  // them, so the survivors are set aside and placed afresh.
  if (budget) budget->Charge(kept * sizeof(Slot));
  std::vector<Slot> survivors;
  try {
    survivors.reserve(kept);
  } catch (...) {
    if (budget) budget->Release(kept * sizeof(Slot));
    throw;
  }
  for (size_t i = 0; i < capacity; ++i) {
    if (slots[i].id == 0) continue;
    CMyPoint& p = Stored(slots[i].id - 1);
    if (p.Has(CMyPoint::Anchor) && !p.Has(CMyPoint::Cut)) {
      survivors.push_back(slots[i]);
    } else {
      --p.refCount;
    }
  }
  if (capacity != 0) std::memset(static_cast<void*>(slots), 0, capacity * sizeof(Slot));
  for (const Slot& s : survivors) Place(s.home, s.id);
  count = kept;
  if (budget) budget->Release(kept * sizeof(Slot));
}

void PointIndex::Clear() {
  tree.reset();
  GiveBlock(budget, slots, capacity * sizeof(Slot));
  slots = nullptr;
  capacity = 0;
  count = 0;
  GiveBlock(budget, columns, columnCapacity * sizeof(Column));
  columns = nullptr;
  columnCapacity = 0;
  columnCount = 0;
  for (CMyPoint* chunk : chunks) GiveBlock(nullptr, chunk, sizeof(CMyPoint) << kChunkShift);
  if (budget) budget->Release(uint64_t(stored) * sizeof(CMyPoint));
  chunks.clear();
  stored = 0;
  pruned = false;
  far = false;
}

}  // namespace rf::mesh
