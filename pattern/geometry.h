// Rimeflower: geometry helpers shared by pattern growth and contour meshing.
#pragma once

#include <cmath>

namespace rf {

template <typename T>
struct Vec2 {
  T x, y;
};

// The unit perpendicular of the edge (x0, y0) -> (x1, y1), pointing to its
// right in image coordinates. A zero-length edge gives the (zero) vector
// unscaled rather than a division by zero.
template <typename T>
inline Vec2<T> EdgeNormal(T x0, T y0, T x1, T y1) {
  const T nx = y1 - y0;
  const T ny = x0 - x1;
  const T length = std::sqrt(nx * nx + ny * ny);
  if (length == T(0)) return {nx, ny};
  return {nx / length, ny / length};
}

}  // namespace rf
