// Rimeflower contour meshing: a two-dimensional array with guarded reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/platform.h"

namespace rf::mesh {

// ---- TCRaster -----------------------------------------------------------
//
// Rows are reached through a table of row pointers into one contiguous block,
// so an access is a bounds check and two indexed loads. Reads outside the
// raster answer `outside` and writes outside are dropped: the border tracer
// looks one pixel past the edges without testing for them.
template <typename T>
class TCRaster {
 public:
  TCRaster() = default;
  TCRaster(const TCRaster&) = delete;
  TCRaster& operator=(const TCRaster&) = delete;
  virtual ~TCRaster() {
    Release();
    platform::FreePages(aux);
  }
  // No element type in use has an extended form; kept so that every raster
  // answers the same query whatever T is.
  virtual bool IsExtended() const { return false; }

  // Rows packed one after another.
  bool Create(int32_t newHeight, int32_t newWidth) { return Create(newHeight, newWidth, newWidth); }

  // Rows `newStride` elements apart; `newWidth` still bounds the columns.
  // False, with nothing allocated, for a size below 1 or a stride shorter
  // than a row (its rows would overlap and run past the block).
  bool Create(int32_t newHeight, int32_t newWidth, int32_t newStride) {
    Release();
    width = newWidth;
    height = newHeight;
    if (newWidth < 1 || newHeight < 1) return false;
    // Every later failure leaves no block behind, so the raster must not
    // claim a size that reads would then index.
    width = height = -1;
    if (newStride < newWidth) return false;
    const size_t elements = size_t(newHeight) * size_t(newStride);
    if (elements > SIZE_MAX / sizeof(T)) return false;
    T* block = static_cast<T*>(platform::AllocPages(elements * sizeof(T)));
    T** table = block ? static_cast<T**>(platform::AllocPages(size_t(newHeight) * sizeof(T*))) : nullptr;
    if (!table) {
      platform::FreePages(block);
      return false;
    }
    width = newWidth;
    height = newHeight;
    for (int32_t i = 0; i < newHeight; ++i) table[i] = block + size_t(i) * size_t(newStride);
    rows = table;
    return true;
  }

  bool Contains(int32_t r, int32_t c) const { return r >= 0 && c >= 0 && r < height && c < width; }

  T Get(int32_t r, int32_t c) const { return Contains(r, c) ? rows[r][c] : outside; }

  void Set(int32_t r, int32_t c, T value) {
    if (Contains(r, c)) rows[r][c] = value;
  }

  // Fields, public as in a plain record: the tracer reads rows directly on
  // its hot paths after checking the bounds itself.
  T** rows = nullptr;
  void* aux = nullptr;  // owned; released with the raster
  T outside{};
  int32_t width = -1;
  int32_t height = -1;

 private:
  void Release() {
    if (width >= 1 && height >= 1 && rows) {
      platform::FreePages(rows[0]);
      platform::FreePages(rows);
    }
    rows = nullptr;
  }
};

}  // namespace rf::mesh
