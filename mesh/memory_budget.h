// Rimeflower contour meshing: how a build fails, and the memory and work the
// borders of one build may take.
//
// A mask of noise or a checkerboard has a border at nearly every pixel, and
// its lines, points and tables would take gigabytes. Every structure that
// grows with the borders charges its bytes to one MemoryBudget, which raises
// MeshError as soon as the build goes over; the rasters, which grow with the
// pixels, are left to the page allocator's own limit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>

namespace rf::mesh {

// Raised inside the builder and caught by BuildContourLines, which answers
// false. The text always begins "Error!".
class MeshError : public std::exception {
 public:
  explicit MeshError(const char* text) : text(text) {}
  const char* what() const noexcept override { return text; }

 private:
  const char* text;
};

// The texts of the failures that a mask itself causes, for the user.
extern const char* const kTooManyBordersError;
extern const char* const kTooIntricateError;
extern const char* const kOutOfMemoryError;

// The memory one build may give its borders when the caller sets no lower
// limit: a 32nd of the machine, between 64 MB and 256 MB (128 MB when the
// machine does not say). The contours only feed the pattern, which needs the
// larger share, and a mask that needs more is noise rather than a selection.
// The limit also bounds the time: the slowest masks, checkerboards, take a
// few seconds to fill it.
uint64_t DefaultContourBudget();

class MemoryBudget {
 public:
  // A limit of 0 means none; the work limit is as many distance tests as
  // the memory limit has bytes.
  explicit MemoryBudget(uint64_t limitBytes = 0) { Reset(limitBytes); }
  void Reset(uint64_t limitBytes);

  // Raises kTooManyBordersError, charging nothing, when `bytes` more would
  // go over the limit.
  void Charge(uint64_t bytes) {
    if (limit != 0 && bytes > limit - used) throw MeshError(kTooManyBordersError);
    used += bytes;
    if (used > peak) peak = used;
  }
  void Release(uint64_t bytes) { used -= bytes < used ? bytes : used; }

  // Counts simplification work; raises kTooIntricateError past the limit.
  // Its worst case is quadratic in the length of a line, which a contrived
  // border can reach; every border a real mask has stays far below.
  void Work(uint64_t steps) {
    work += steps;
    if (workLimit != 0 && work > workLimit) throw MeshError(kTooIntricateError);
  }

  uint64_t Used() const { return used; }
  uint64_t Peak() const { return peak; }

 private:
  uint64_t limit = 0;
  uint64_t used = 0;
  uint64_t peak = 0;
  uint64_t workLimit = 0;
  uint64_t work = 0;
};

// Blocks for the pools and tables of a build; raises kOutOfMemoryError when
// the system refuses them. The budget, when given, is charged before the
// block is taken and released with it. They come from the heap rather than
// as committed pages: the budget bounds them, and the heap hands the same
// memory to the next build (a preview traces again on every change) without
// the system faulting it in afresh.
void* TakeBlock(MemoryBudget* budget, size_t bytes, bool zeroed);
void GiveBlock(MemoryBudget* budget, void* block, size_t bytes);

}  // namespace rf::mesh
