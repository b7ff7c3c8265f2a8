// Rimeflower controls: the pixel buffer every control paints into.
//
// Controls draw off-screen into a top-down 32-bit buffer laid out like a
// Windows DIB section (0x00RRGGBB per pixel, blue in the low byte), and the
// Win32 layer only copies it to the window. Keeping the drawing here makes it
// the same on every platform and testable without a window.
#pragma once

#include <cstdint>
#include <vector>

namespace rf::controls {

// 0x00RRGGBB, as a DIB pixel. Colours that come as COLORREF (red in the low
// byte) go through FromColorRef first.
using Pixel = uint32_t;

constexpr Pixel FromColorRef(uint32_t colorRef) {
  return ((colorRef & 0xFF) << 16) | (colorRef & 0xFF00) | ((colorRef >> 16) & 0xFF);
}
constexpr uint32_t ToColorRef(Pixel p) { return FromColorRef(p); }  // the swap is its own inverse

struct Rect {
  int32_t x = 0, y = 0, width = 0, height = 0;
  bool Contains(int32_t px, int32_t py) const {
    return px >= x && py >= y && px < x + width && py < y + height;
  }
};

// A width x height buffer. Sizes below 1 give an empty canvas on which every
// drawing call does nothing, so a zero-size window paints without a special
// case. The largest side is capped (kMaxSide) so that a runaway size cannot
// exhaust memory.
class Canvas {
 public:
  static constexpr int32_t kMaxSide = 16384;

  Canvas() = default;
  Canvas(int32_t width, int32_t height, Pixel fill = 0) { Reset(width, height, fill); }
  void Reset(int32_t width, int32_t height, Pixel fill = 0);

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  bool Empty() const { return pixels_.empty(); }
  Pixel* Data() { return pixels_.data(); }
  const Pixel* Data() const { return pixels_.data(); }

  // Out-of-range reads answer 0; out-of-range writes are dropped.
  Pixel At(int32_t x, int32_t y) const;
  void Set(int32_t x, int32_t y, Pixel p);
  // Complements red, green and blue (XOR 0xFFFFFF): drawing the same pixel
  // twice gives it back.
  void Invert(int32_t x, int32_t y);
  // Mixes p over the pixel with coverage alpha in 0..1.
  void Blend(int32_t x, int32_t y, Pixel p, float alpha);

  void Fill(Pixel p);
  void FillRect(const Rect& r, Pixel p);
  // Straight line, both ends included.
  void Line(int32_t x0, int32_t y0, int32_t x1, int32_t y1, Pixel p);
  // Inverted runs, both ends included: the marks of the preview.
  void InvertRow(int32_t y, int32_t x0, int32_t x1);
  void InvertColumn(int32_t x, int32_t y0, int32_t y1);
  // The two diagonals of the whole canvas shifted by (dx, dy): what a
  // control shows in place of a picture it does not have yet.
  void Diagonals(int32_t dx, int32_t dy, Pixel p);

  // Copies `source` (sw x sh pixels, rows packed) scaled to dw x dh with its
  // top-left at (dx, dy), nearest pixel, clipped to the canvas.
  void StretchFrom(const Pixel* source, int32_t sw, int32_t sh, int32_t dx, int32_t dy, int32_t dw, int32_t dh);

  // Antialiased shapes for the skinned faces. Radii and sizes in pixels;
  // centres may be fractional.
  void Disc(float cx, float cy, float radius, Pixel p);
  void Ring(float cx, float cy, float radius, float thickness, Pixel p);
  // A rounded rectangle filled with a vertical gradient from `top` to
  // `bottom`, with a one-pixel outline.
  void RoundedBox(const Rect& r, float radius, Pixel top, Pixel bottom, Pixel outline);

 private:
  int32_t width_ = 0, height_ = 0;
  std::vector<Pixel> pixels_;
};

// Channel helpers.
constexpr uint32_t Red(Pixel p) { return (p >> 16) & 0xFF; }
constexpr uint32_t Green(Pixel p) { return (p >> 8) & 0xFF; }
constexpr uint32_t Blue(Pixel p) { return p & 0xFF; }
constexpr Pixel MakePixel(uint32_t r, uint32_t g, uint32_t b) { return (r << 16) | (g << 8) | b; }
// Linear mix of two colours, t = 0 gives a, 1 gives b.
Pixel Mix(Pixel a, Pixel b, float t);

}  // namespace rf::controls
