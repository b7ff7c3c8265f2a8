#include "mesh/memory_budget.h"

#include <algorithm>
#include <cstdlib>

#include "platform/platform.h"

namespace rf::mesh {

const char* const kTooManyBordersError =
    "Error! CMeshBuilder::BuildContourLines: The mask has too many borders for the memory its contours may take; "
    "smooth it or use fewer, larger regions.";
const char* const kTooIntricateError =
    "Error! CMeshBuilder::SimplifyLine: A border of the mask is too intricate to simplify in reasonable time; "
    "smooth the mask.";
const char* const kOutOfMemoryError =
    "Error! CMeshBuilder::BuildContourLines: Out of memory while building the contours; free some memory or use a "
    "smaller or smoother mask.";

uint64_t DefaultContourBudget() {
  constexpr uint64_t kFloor = 64ull << 20;
  constexpr uint64_t kCeiling = 256ull << 20;
  const uint64_t physical = platform::PhysicalMemoryBytes();
  if (physical == 0) return kCeiling / 2;
  return std::clamp<uint64_t>(physical / 32, kFloor, kCeiling);
}

void MemoryBudget::Reset(uint64_t limitBytes) {
  limit = limitBytes;
  workLimit = limitBytes;
  used = peak = work = 0;
}

void* TakeBlock(MemoryBudget* budget, size_t bytes, bool zeroed) {
  if (budget) budget->Charge(bytes);
  void* block = zeroed ? std::calloc(bytes, 1) : std::malloc(bytes);
  if (!block) {
    if (budget) budget->Release(bytes);
    throw MeshError(kOutOfMemoryError);
  }
  return block;
}

void GiveBlock(MemoryBudget* budget, void* block, size_t bytes) {
  if (!block) return;
  std::free(block);
  if (budget) budget->Release(bytes);
}

}  // namespace rf::mesh
