#include <new>

#include "pattern/pattern.h"
#include "platform/platform.h"

namespace rf::pattern {

struct PatternList::Cell {
  RFTrNode node;
  PatternTriangle triangle;
};

namespace {
// About 4 MiB a block: few enough blocks for millions of triangles, small
// enough that a short pattern does not reserve much.
constexpr size_t kCellsPerBlock = 30000;
}  // namespace

PatternList::PatternList() = default;

PatternList::~PatternList() { Clear(); }

size_t PatternList::BytesPerTriangle() { return sizeof(Cell); }

bool PatternList::Append(const PatternTriangle& t) {
  if (blocks.empty() || usedInLastBlock == kCellsPerBlock) {
    blocks.reserve(blocks.size() + 1);  // may throw before the block is taken
    void* memory = platform::AllocPages(sizeof(Cell) * kCellsPerBlock);
    if (!memory) return false;
    blocks.push_back(static_cast<Cell*>(memory));
    usedInLastBlock = 0;
  }
  Cell* cell = new (&blocks.back()[usedInLastBlock]) Cell{};
  ++usedInLastBlock;
  cell->triangle = t;
  cell->node.triangle = &cell->triangle;
  cell->node.previous = tail;
  tail->next = &cell->node;
  tail = &cell->node;
  ++count;
  return true;
}

void PatternList::Clear() {
  // Nodes are destroyed in list order through their own destructor; their
  // storage is released afterwards, a block at a time.
  RFTrNode* node = root.next;
  while (node) {
    RFTrNode* next = node->next;
    node->~RFTrNode();
    node = next;
  }
  for (Cell* block : blocks) platform::FreePages(block);
  blocks.clear();
  usedInLastBlock = 0;
  root.next = nullptr;
  tail = &root;
  count = 0;
}

}  // namespace rf::pattern
