// Pixel writes and the per-triangle scratch compositing.
#include "engine3d/internal.h"

#include <algorithm>

namespace rf::engine3d {

thread_local const Band* CurrentBand = nullptr;

namespace {

// The channel depth is a template argument so that the 8-bit paths carry no
// test of it per channel.
template <bool deep>
void Plot(const Band& band, const Plane& image, int x, int y, float red, float green,
          float blue, float opacity) {
  const Frame& f = *band.f;
  const int high = f.maxChannel;
  const size_t at = image.Index(x, y);
  const float rgb[3] = {red, green, blue};
  if (opacity >= 1) {
    for (int i = 0; i < 3; ++i) WriteChannel(image.data, at + i, RoundChannel(rgb[i], high), deep);
    WriteChannel(image.data, at + 3, high, deep);
    return;
  }
  const int alpha = RoundChannel(float(high) * opacity, high);
  const int oldAlpha = ReadChannel(image.data, at + 3, deep);
  if (oldAlpha == 0) {
    for (int i = 0; i < 3; ++i) WriteChannel(image.data, at + i, RoundChannel(rgb[i], high), deep);
    WriteChannel(image.data, at + 3, alpha, deep);
    return;
  }
  for (int i = 0; i < 3; ++i) {
    const float old = float(ReadChannel(image.data, at + i, deep));
    WriteChannel(image.data, at + i, RoundChannel(old * (1 - opacity) + rgb[i] * opacity, high),
                 deep);
  }
  WriteChannel(image.data, at + 3, std::max(alpha, oldAlpha), deep);
}

}  // namespace

void PlotPixel(const Band& band, const Plane& image, int x, int y, float red, float green,
               float blue, float opacity) {
  if (!image.data || !band.Inside(x, y)) return;
  if (!(opacity > 0)) return;
  if (band.f->deep)
    Plot<true>(band, image, x, y, red, green, blue, opacity);
  else
    Plot<false>(band, image, x, y, red, green, blue, opacity);
}

void ResetExtents(const Band& band) {
  RowExtents& r = *band.touched;
  const size_t rows = size_t(band.y1 - band.y0);
  r.low.assign(rows, band.f->width);
  r.high.assign(rows, -1);
  r.firstTouched = int(rows);
  r.lastTouched = -1;
}

namespace {

// One pixel of a triangle's scratch image (colour `scratch`, alpha s > 0)
// composited into the target.
template <bool deep>
void CompositeOne(const Band& band, int x, int y, const int scratch[3], int s) {
  const Frame& f = *band.f;
  const int high = f.maxChannel;
  const int newEdgeDifference = 20;
  unsigned char* target = f.target.data;
  unsigned char* edgeImage = band.edgeColour.data;
  unsigned char* underImage = band.underColour.data;
  const size_t to = f.target.Index(x, y);
  const size_t edge = band.edgeColour.Index(x, y);
  if (s == high) {
    for (int i = 0; i < 3; ++i) {
      WriteChannel(target, to + i, scratch[i], deep);
      WriteChannel(underImage, edge + i, scratch[i], deep);
      WriteChannel(edgeImage, edge + i, scratch[i], deep);
    }
    WriteChannel(target, to + 3, high, deep);
    return;
  }
  const int targetAlpha = ReadChannel(target, to + 3, deep);
  if (targetAlpha == 0) {
    for (int i = 0; i < 3; ++i) WriteChannel(target, to + i, scratch[i], deep);
    WriteChannel(target, to + 3, s, deep);
    return;
  }

  // A partial pixel over something already drawn. When the previous
  // partial pixel here had about the same colour, it was a neighbour of
  // the same surface continuing the edge: blend over what lay under the
  // first one instead of over the first one, or the shared edge would
  // show as a seam.
  const int edgeAlpha = ReadChannel(edgeImage, edge + 3, deep);
  int difference = 0;
  for (int i = 0; i < 3; ++i) {
    int d = std::abs(ReadChannel(edgeImage, edge + i, deep) - scratch[i]);
    if (deep) d /= 256;
    difference = std::max(difference, d);
  }
  int weight;
  int under[3];
  if (edgeAlpha == 0 || difference >= newEdgeDifference) {
    for (int i = 0; i < 3; ++i) {
      under[i] = ReadChannel(target, to + i, deep);
      WriteChannel(underImage, edge + i, under[i], deep);
      WriteChannel(edgeImage, edge + i, scratch[i], deep);
    }
    WriteChannel(edgeImage, edge + 3, s, deep);
    weight = s;
  } else {
    weight = edgeAlpha;
    if (s > edgeAlpha) {
      WriteChannel(edgeImage, edge + 3, s, deep);
      weight = s;
    }
    for (int i = 0; i < 3; ++i) under[i] = ReadChannel(underImage, edge + i, deep);
  }
  const float w = float(weight) / float(high);
  for (int i = 0; i < 3; ++i)
    WriteChannel(target, to + i, RoundChannel(w * scratch[i] + (1 - w) * under[i], high), deep);
  WriteChannel(target, to + 3, std::max(weight, targetAlpha), deep);
}

template <bool deep>
void Composite(const Band& band) {
  RowExtents& r = *band.touched;
  const Frame& f = *band.f;
  const size_t bytesPerChannel = deep ? 2 : 1;
  unsigned char* scratchImage = band.scratch.data;
  for (int row = r.firstTouched; row <= r.lastTouched; ++row) {
    const int x0 = r.low[size_t(row)], x1 = r.high[size_t(row)];
    if (x0 > x1) continue;
    const int y = band.y0 + row;
    for (int x = x0; x <= x1; ++x) {
      const size_t at = band.scratch.Index(x, y);
      const int s = ReadChannel(scratchImage, at + 3, deep);
      if (s == 0) continue;
      int scratch[3];
      for (int i = 0; i < 3; ++i) scratch[i] = ReadChannel(scratchImage, at + i, deep);
      CompositeOne<deep>(band, x, y, scratch, s);
    }
    // The scratch image is left clear for the next triangle.
    std::memset(scratchImage + band.scratch.Index(x0, y) * bytesPerChannel, 0,
                size_t(x1 - x0 + 1) * 4 * bytesPerChannel);
    r.low[size_t(row)] = f.width;
    r.high[size_t(row)] = -1;
  }
  r.firstTouched = band.y1 - band.y0;
  r.lastTouched = -1;
}

// What PlotPixel would leave in an empty scratch pixel, composited at once.
template <bool deep>
void CompositeFresh(const Band& band, int x, int y, const float rgb[3], float opacity) {
  const int high = band.f->maxChannel;
  const int alpha = opacity >= 1 ? high : RoundChannel(float(high) * opacity, high);
  if (alpha == 0) return;
  const int colour[3] = {RoundChannel(rgb[0], high), RoundChannel(rgb[1], high),
                         RoundChannel(rgb[2], high)};
  CompositeOne<deep>(band, x, y, colour, alpha);
}

}  // namespace

void CompositePixel(const Band& band, int x, int y, const float rgb[3], float opacity) {
  if (!band.Inside(x, y) || !(opacity > 0)) return;
  if (band.f->deep)
    CompositeFresh<true>(band, x, y, rgb, opacity);
  else
    CompositeFresh<false>(band, x, y, rgb, opacity);
}

void CompositeScratch(const Band& band) {
  if (band.f->deep)
    Composite<true>(band);
  else
    Composite<false>(band);
}

}  // namespace rf::engine3d
