#include "ui/controls/pixel_canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace rf::controls {

Pixel Mix(Pixel a, Pixel b, float t) {
  t = std::clamp(t, 0.0f, 1.0f);
  auto channel = [t](uint32_t x, uint32_t y) {
    return static_cast<uint32_t>(static_cast<float>(x) + (static_cast<float>(y) - static_cast<float>(x)) * t + 0.5f);
  };
  return MakePixel(channel(Red(a), Red(b)), channel(Green(a), Green(b)), channel(Blue(a), Blue(b)));
}

void Canvas::Reset(int32_t width, int32_t height, Pixel fill) {
  if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) {
    width_ = height_ = 0;
    pixels_.clear();
    return;
  }
  width_ = width;
  height_ = height;
  pixels_.assign(static_cast<size_t>(width) * static_cast<size_t>(height), fill);
}

Pixel Canvas::At(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
}

void Canvas::Set(int32_t x, int32_t y, Pixel p) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)] = p & 0xFFFFFF;
}

void Canvas::Invert(int32_t x, int32_t y) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)] ^= 0xFFFFFF;
}

void Canvas::Blend(int32_t x, int32_t y, Pixel p, float alpha) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_ || !(alpha > 0.0f)) return;
  Set(x, y, Mix(At(x, y), p, alpha));
}

void Canvas::Fill(Pixel p) { std::fill(pixels_.begin(), pixels_.end(), p & 0xFFFFFF); }

void Canvas::FillRect(const Rect& r, Pixel p) {
  const int32_t x0 = std::max(r.x, 0), y0 = std::max(r.y, 0);
  const int64_t x1 = std::min<int64_t>(static_cast<int64_t>(r.x) + r.width, width_);
  const int64_t y1 = std::min<int64_t>(static_cast<int64_t>(r.y) + r.height, height_);
  for (int32_t y = y0; y < y1; ++y)
    for (int32_t x = x0; x < x1; ++x) Set(x, y, p);
}

void Canvas::Line(int32_t x0, int32_t y0, int32_t x1, int32_t y1, Pixel p) {
  // Bresenham over 64-bit deltas: endpoints far outside the canvas (a pan
  // that went wild) neither overflow nor take long, because the walk is
  // limited to the span that can touch the canvas.
  int64_t dx = std::llabs(static_cast<int64_t>(x1) - x0), dy = -std::llabs(static_cast<int64_t>(y1) - y0);
  const int64_t sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  int64_t err = dx + dy, x = x0, y = y0;
  const int64_t limit = dx - dy + 1;
  if (limit > 4 * static_cast<int64_t>(kMaxSide) + 4) return;
  for (int64_t i = 0; i < limit; ++i) {
    if (x >= 0 && y >= 0 && x < width_ && y < height_) Set(static_cast<int32_t>(x), static_cast<int32_t>(y), p);
    if (x == x1 && y == y1) break;
    const int64_t e2 = 2 * err;
    if (e2 >= dy) { err += dy; x += sx; }
    if (e2 <= dx) { err += dx; y += sy; }
  }
}

void Canvas::InvertRow(int32_t y, int32_t x0, int32_t x1) {
  if (y < 0 || y >= height_) return;
  for (int32_t x = std::max(x0, 0); x <= x1 && x < width_; ++x) Invert(x, y);
}

void Canvas::InvertColumn(int32_t x, int32_t y0, int32_t y1) {
  if (x < 0 || x >= width_) return;
  for (int32_t y = std::max(y0, 0); y <= y1 && y < height_; ++y) Invert(x, y);
}

void Canvas::Diagonals(int32_t dx, int32_t dy, Pixel p) {
  if (Empty()) return;
  Line(dx, dy, width_ - 1 + dx, height_ - 1 + dy, p);
  Line(width_ - 1 + dx, dy, dx, height_ - 1 + dy, p);
}

void Canvas::StretchFrom(const Pixel* source, int32_t sw, int32_t sh, int32_t dx, int32_t dy, int32_t dw, int32_t dh) {
  if (!source || sw < 1 || sh < 1 || dw < 1 || dh < 1 || Empty()) return;
  const int64_t x0 = std::max<int64_t>(dx, 0), y0 = std::max<int64_t>(dy, 0);
  const int64_t x1 = std::min<int64_t>(static_cast<int64_t>(dx) + dw, width_);
  const int64_t y1 = std::min<int64_t>(static_cast<int64_t>(dy) + dh, height_);
  for (int64_t y = y0; y < y1; ++y) {
    const int64_t sy = (y - dy) * sh / dh;
    const Pixel* row = source + sy * sw;
    Pixel* out = pixels_.data() + y * width_;
    for (int64_t x = x0; x < x1; ++x) out[x] = row[(x - dx) * sw / dw] & 0xFFFFFF;
  }
}

void Canvas::Disc(float cx, float cy, float radius, Pixel p) {
  if (!(radius > 0.0f) || Empty()) return;
  const int32_t x0 = std::max(0, static_cast<int32_t>(std::floor(cx - radius - 1)));
  const int32_t x1 = std::min(width_ - 1, static_cast<int32_t>(std::ceil(cx + radius + 1)));
  const int32_t y0 = std::max(0, static_cast<int32_t>(std::floor(cy - radius - 1)));
  const int32_t y1 = std::min(height_ - 1, static_cast<int32_t>(std::ceil(cy + radius + 1)));
  for (int32_t y = y0; y <= y1; ++y)
    for (int32_t x = x0; x <= x1; ++x) {
      const float d = std::hypot(static_cast<float>(x) + 0.5f - cx, static_cast<float>(y) + 0.5f - cy);
      Blend(x, y, p, std::clamp(radius - d + 0.5f, 0.0f, 1.0f));
    }
}

void Canvas::Ring(float cx, float cy, float radius, float thickness, Pixel p) {
  if (!(radius > 0.0f) || !(thickness > 0.0f) || Empty()) return;
  const float inner = radius - thickness;
  const int32_t x0 = std::max(0, static_cast<int32_t>(std::floor(cx - radius - 1)));
  const int32_t x1 = std::min(width_ - 1, static_cast<int32_t>(std::ceil(cx + radius + 1)));
  const int32_t y0 = std::max(0, static_cast<int32_t>(std::floor(cy - radius - 1)));
  const int32_t y1 = std::min(height_ - 1, static_cast<int32_t>(std::ceil(cy + radius + 1)));
  for (int32_t y = y0; y <= y1; ++y)
    for (int32_t x = x0; x <= x1; ++x) {
      const float d = std::hypot(static_cast<float>(x) + 0.5f - cx, static_cast<float>(y) + 0.5f - cy);
      const float a = std::min(std::clamp(radius - d + 0.5f, 0.0f, 1.0f), std::clamp(d - inner + 0.5f, 0.0f, 1.0f));
      Blend(x, y, p, a);
    }
}

void Canvas::RoundedBox(const Rect& r, float radius, Pixel top, Pixel bottom, Pixel outline) {
  if (r.width < 1 || r.height < 1 || Empty()) return;
  radius = std::clamp(radius, 0.0f, 0.5f * static_cast<float>(std::min(r.width, r.height)));
  const float left = static_cast<float>(r.x), topEdge = static_cast<float>(r.y);
  const float right = left + static_cast<float>(r.width), bottomEdge = topEdge + static_cast<float>(r.height);
  // Signed distance from the rounded outline, negative inside.
  auto distance = [&](float px, float py) {
    const float qx = std::max(std::max(left + radius - px, px - (right - radius)), 0.0f);
    const float qy = std::max(std::max(topEdge + radius - py, py - (bottomEdge - radius)), 0.0f);
    if (qx > 0.0f && qy > 0.0f) return std::hypot(qx, qy) - radius;
    const float inside = std::min(std::min(px - left, right - px), std::min(py - topEdge, bottomEdge - py));
    return qx > 0.0f || qy > 0.0f ? std::max(qx, qy) - radius : -inside;
  };
  const int32_t y0 = std::max(r.y, 0), x0 = std::max(r.x, 0);
  const int32_t y1 = static_cast<int32_t>(std::min<int64_t>(static_cast<int64_t>(r.y) + r.height, height_));
  const int32_t x1 = static_cast<int32_t>(std::min<int64_t>(static_cast<int64_t>(r.x) + r.width, width_));
  for (int32_t y = y0; y < y1; ++y) {
    const float t = r.height > 1 ? static_cast<float>(y - r.y) / static_cast<float>(r.height - 1) : 0.0f;
    const Pixel fill = Mix(top, bottom, t);
    for (int32_t x = x0; x < x1; ++x) {
      const float d = distance(static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f);
      const float cover = std::clamp(0.5f - d, 0.0f, 1.0f);
      if (cover <= 0.0f) continue;
      // Inside the outline band (one pixel) the outline colour wins.
      const float band = std::clamp(d + 1.5f, 0.0f, 1.0f);
      Blend(x, y, Mix(fill, outline, band), cover);
    }
  }
}

}  // namespace rf::controls
