// The built-in per-pixel function (light model, texture maps, reflection
// and glass) and the call of the active one.
#include "engine3d/internal.h"

#include <algorithm>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace rf::engine3d {

namespace {

// The bump strength is tuned for 8-bit channel sums; 16-bit sums are
// 32768 / 255 times larger.
constexpr float kDeepBumpScale = 0.0077819824f;

enum MapSlot { kColourSlot = 0, kOpacitySlot = 1, kBumpSlot = 2, kReflectionSlot = 3 };

struct Rgba {
  float r = 0, g = 0, b = 0, a = 0;
};

float Clamp01(float value) {
  if (!(value > 0)) return 0;
  return value > 1 ? 1 : value;
}

bool Usable(const __Texture* t) {
  return t && t->present && t->pixels && t->width > 0 && t->height > 0;
}

// ---- Powers ------------------------------------------------------------------

// The highlight's d^exponent, computed here rather than by the C library so
// that every platform gets the same bits (and faster): 2^(e log2 d) in
// double precision, rounded once to float. Special cases go to std::pow.
// x > 0 and finite (a float's range, so never subnormal as a double).
double Log2(double x) {
  uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  int exponent = int((bits >> 52) & 0x7FF) - 1023;
  bits = (bits & 0x000FFFFFFFFFFFFFull) | 0x3FF0000000000000ull;
  double m;  // 1 <= m < 2
  std::memcpy(&m, &bits, sizeof m);
  if (m > 1.4142135623730951) {
    m *= 0.5;
    ++exponent;
  }
  // ln m = 2 atanh(s), s = (m - 1) / (m + 1), |s| < 0.172.
  const double s = (m - 1) / (m + 1), s2 = s * s;
  static constexpr double kOdd[10] = {1.0,      1.0 / 3,  1.0 / 5,  1.0 / 7,  1.0 / 9,
                                      1.0 / 11, 1.0 / 13, 1.0 / 15, 1.0 / 17, 1.0 / 19};
  double series = kOdd[9];
  for (int k = 8; k >= 0; --k) series = kOdd[k] + s2 * series;
  return exponent + 2 * s * series * 1.4426950408889634;
}

// |y| <= 200.
double Exp2(double y) {
  const int whole = int(y + 1000.5) - 1000;  // nearest integer, halves up
  const double t = (y - whole) * 0.69314718055994531;  // |t| <= 0.347
  static constexpr double kFactorial[14] = {
      1.0,           1.0,           1.0 / 2,         1.0 / 6,          1.0 / 24,
      1.0 / 120,     1.0 / 720,     1.0 / 5040,      1.0 / 40320,      1.0 / 362880,
      1.0 / 3628800, 1.0 / 39916800, 1.0 / 479001600, 1.0 / 6227020800.0};
  double series = kFactorial[13];
  for (int k = 12; k >= 0; --k) series = kFactorial[k] + t * series;
  const uint64_t bits = uint64_t(whole + 1023) << 52;
  double scale;
  std::memcpy(&scale, &bits, sizeof scale);
  return series * scale;
}

float Power(float base, float exponent) {
  if (!(base > 0) || !std::isfinite(base) || !std::isfinite(exponent) || base == 1 ||
      exponent == 0)
    return std::pow(base, exponent);
  const double y = double(exponent) * Log2(base);
  if (y > 200) return HUGE_VALF;
  if (y < -200) return 0.0f;
  return float(Exp2(y));
}

// Below this d the highlight d^exponent x strength is under 1e-7, far below
// a level of any channel depth, and its power need not be worked out. The
// highlight terms of a render rarely change, so the last one is kept.
float NegligibleBelow(float exponent, float strength) {
  thread_local float lastExponent = 0, lastStrength = 0, lastCut = 0;
  if (exponent == lastExponent && strength == lastStrength) return lastCut;
  float cut = 0;
  if (exponent > 0 && std::isfinite(exponent) && std::isfinite(strength) && strength != 0)
    cut = float(std::pow(1e-7 / std::fabs(double(strength)), 1.0 / double(exponent)));
  if (!(cut < 1)) cut = 0;
  lastExponent = exponent;
  lastStrength = strength;
  lastCut = cut;
  return cut;
}

// ---- Texels ------------------------------------------------------------------

// One texel in 0..1, and the sum of its blue, green and red in the
// engine's channel units (for the bump map).
// The first `count` samples of a texel, as stored (8- or 16-bit).
inline void RawSamples(const __Texture& t, int column, int row, int count, float* raw) {
  const size_t at = (size_t(row) * size_t(t.width) + size_t(column)) * 4;
  for (int i = 0; i < count; ++i) {
    if (t.isDeep) {
      uint16_t word;
      std::memcpy(&word, t.pixels + 2 * (at + i), sizeof word);
      raw[i] = word;
    } else {
      raw[i] = t.pixels[at + i];
    }
  }
}

Rgba Texel(const __Texture& t, int column, int row) {
  float raw[4];
  RawSamples(t, column, row, 4, raw);
  const float scale = t.isDeep ? 1.0f / 32768 : 1.0f / 255;
  return {raw[2] * scale, raw[1] * scale, raw[0] * scale, raw[3] * scale};
}

float ChannelSum(const __Texture& t, int column, int row, int maxChannel) {
  float raw[3];
  RawSamples(t, column, row, 3, raw);
  // As the texel's red + green + blue in 0..1, in that order.
  const float scale = t.isDeep ? 1.0f / 32768 : 1.0f / 255;
  return (raw[2] * scale + raw[1] * scale + raw[0] * scale) * float(maxChannel);
}

double Wrap(double s, int size) {
  if (s >= 0 && s < size) return s;  // what the remainder would give, without the call
  if (!std::isfinite(s)) return 0;
  s = std::fmod(s, double(size));  // keeps the sign of s, like a remainder
  if (s < 0) s += size;
  if (s >= size) s = size - 1;
  return s;
}

// Texels per side of a map's footprint grid, at most.
constexpr int kMapFootprintCap = 10;

struct TexelPoint {
  double s, t;
};

TexelPoint TexelPosition(const map3ds& map, const __Texture& t, float u, float v) {
  const double s = (double(u) * map.uScale + map.uOffset) * (t.width - 1);
  const double r = (double(v) * map.vScale + map.vOffset) * (t.height - 1);
  return {Wrap(s, t.width), Wrap(r, t.height)};
}

int Truncated(double s, int size) {
  if (!(s > 0)) return 0;  // NaN too
  return s >= size - 1 ? size - 1 : int(s);
}

// Points in a footprint grid along a span: 1 + the span, truncated, at
// most `cap`; a non-finite span counts as none.
int GridCount(double span, int cap) {
  const double n = std::fabs(span) + 1;
  if (!(n < cap)) return n == n ? cap : 1;
  return int(n);
}

// Nearest texel at _Quality 0; bilinear otherwise, the neighbours tiling
// (colour, opacity) or held at the last column and row (reflection).
Rgba SampleAt(const __Texture& t, TexelPoint p, bool tile, int quality) {
  const int i = Truncated(p.s, t.width), j = Truncated(p.t, t.height);
  if (quality != 1) return Texel(t, i, j);
  int i1 = i + 1, j1 = j + 1;
  if (tile) {
    if (i1 >= t.width) i1 = 0;
    if (j1 >= t.height) j1 = 0;
  } else {
    i1 = std::min(i1, t.width - 1);
    j1 = std::min(j1, t.height - 1);
  }
  const float dx = float(p.s - i), dy = float(p.t - j);
  const Rgba a = Texel(t, i, j), b = Texel(t, i1, j), c = Texel(t, i, j1), d = Texel(t, i1, j1);
  auto mix = [&](float Rgba::*channel) {
    const float top = a.*channel * (1 - dx) + b.*channel * dx;
    const float bottom = c.*channel * (1 - dx) + d.*channel * dx;
    return top * (1 - dy) + bottom * dy;
  };
  return {mix(&Rgba::r), mix(&Rgba::g), mix(&Rgba::b), mix(&Rgba::a)};
}

// The footprint between this pixel's texel position and the previous
// pixel's, when it is wider than two texels: grid counts, or 0 when the
// ordinary sampling applies.
struct Footprint {
  int ns = 0, nt = 0;
  TexelPoint from{}, to{};
};

Footprint FootprintOf(const map3ds& map, const __Texture& t, TexelPoint here,
                      const __PrevInfo* previous, int quality) {
  Footprint f;
  if (quality != 1 || !previous || !previous->valid) return f;
  const TexelPoint before = TexelPosition(map, t, previous->u, previous->v);
  const double ds = std::fabs(here.s - before.s), dt = std::fabs(here.t - before.t);
  if (ds + dt <= 2) return f;
  f.ns = GridCount(ds, kMapFootprintCap);
  f.nt = GridCount(dt, kMapFootprintCap);
  f.from = before;
  f.to = here;
  return f;
}

template <class Visit>
void ForEachFootprintTexel(const Footprint& f, const __Texture& t, Visit&& visit) {
  const double stepS = (f.to.s - f.from.s) / f.ns, stepT = (f.to.t - f.from.t) / f.nt;
  for (int b = 0; b < f.nt; ++b)
    for (int a = 0; a < f.ns; ++a)
      visit(Truncated(f.from.s + a * stepS, t.width), Truncated(f.from.t + b * stepT, t.height));
}

Rgba SampleMap(const map3ds& map, const __Texture& t, float u, float v,
               const __PrevInfo* previous, int quality) {
  const TexelPoint here = TexelPosition(map, t, u, v);
  const Footprint f = FootprintOf(map, t, here, previous, quality);
  if (f.ns == 0) return SampleAt(t, here, true, quality);
  Rgba sum;
  ForEachFootprintTexel(f, t, [&](int i, int j) {
    const Rgba texel = Texel(t, i, j);
    sum.r += texel.r;
    sum.g += texel.g;
    sum.b += texel.b;
    sum.a += texel.a;
  });
  const float n = float(f.ns * f.nt);
  return {sum.r / n, sum.g / n, sum.b / n, sum.a / n};
}

// A bump map's texel heights: from the render's table of channel sums when
// it has one, else read from the bitmap.
struct BumpHeights {
  const __Texture& t;
  const float* sums;
  int maxChannel;
  float At(int column, int row) const {
    if (sums) return sums[size_t(row) * size_t(t.width) + size_t(column)];
    return ChannelSum(t, column, row, maxChannel);
  }
};

// Height differences towards the right and the lower neighbour.
void BumpSlopes(const map3ds& map, const BumpHeights& heights, float u, float v,
                const __PrevInfo* previous, int quality, float& alongX, float& alongY) {
  const __Texture& t = heights.t;
  const TexelPoint here = TexelPosition(map, t, u, v);
  const Footprint f = FootprintOf(map, t, here, previous, quality);
  if (f.ns == 0) {
    const int i = Truncated(here.s, t.width), j = Truncated(here.t, t.height);
    const float centre = heights.At(i, j);
    alongX = heights.At(std::min(i + 1, t.width - 1), j) - centre;
    alongY = heights.At(i, std::min(j + 1, t.height - 1)) - centre;
    return;
  }
  // Both positions are wrapped into the bitmap, so the offsets are finite
  // and smaller than it.
  const int offsetS = int(std::max(std::fabs(f.to.s - f.from.s), 1.0));
  const int offsetT = int(std::max(std::fabs(f.to.t - f.from.t), 1.0));
  // The grid's columns depend only on its column index and its rows only on
  // its row index.
  int columns[kMapFootprintCap], right[kMapFootprintCap];
  int rows[kMapFootprintCap], lower[kMapFootprintCap];
  const double stepS = (f.to.s - f.from.s) / f.ns, stepT = (f.to.t - f.from.t) / f.nt;
  // A grid point and its offset are each inside the bitmap, so their sum
  // wraps at most once.
  for (int a = 0; a < f.ns; ++a) {
    columns[a] = Truncated(f.from.s + a * stepS, t.width);
    right[a] = columns[a] >= t.width - offsetS ? columns[a] - (t.width - offsetS)
                                                : columns[a] + offsetS;
  }
  for (int b = 0; b < f.nt; ++b) {
    rows[b] = Truncated(f.from.t + b * stepT, t.height);
    lower[b] = rows[b] >= t.height - offsetT ? rows[b] - (t.height - offsetT) : rows[b] + offsetT;
  }
  float centre = 0, toRight = 0, toLower = 0;
  if (heights.sums) {
    const float* sums = heights.sums;
    const size_t width = size_t(t.width);
    for (int b = 0; b < f.nt; ++b) {
      const float* row = sums + size_t(rows[b]) * width;
      const float* below = sums + size_t(lower[b]) * width;
      for (int a = 0; a < f.ns; ++a) {
        centre += row[columns[a]];
        toRight += row[right[a]];
        toLower += below[columns[a]];
      }
    }
  } else {
    for (int b = 0; b < f.nt; ++b) {
      for (int a = 0; a < f.ns; ++a) {
        centre += heights.At(columns[a], rows[b]);
        toRight += heights.At(right[a], rows[b]);
        toLower += heights.At(columns[a], lower[b]);
      }
    }
  }
  const float n = float(f.ns * f.nt);
  alongX = (toRight - centre) / n;
  alongY = (toLower - centre) / n;
}

// ---- Reflection ----------------------------------------------------------------

// Where the mirrored view ray from (p, depth) leaves the square |p| = W,
// |z| = W of one coordinate plane, as a texture coordinate 0..1.
float ReflectionCoordinate(float p, float depth, float rp, float rz, float w) {
  if (std::fabs(rz) < 0.0001f && std::fabs(rp) < 0.0001f) return (w + p) / (2 * w);
  bool found = false;
  float best = 0, coordinate = (w + p) / (2 * w);
  auto consider = [&](float distance, float along) {
    if (!(distance == distance)) return;
    if (!found || distance < best) {
      found = true;
      best = distance;
      coordinate = (w + along) / (2 * w);
    }
  };
  // Candidate order z = -W, z = +W, x = -W, x = +W; the earlier wins ties.
  for (float face : {-w, w}) {
    if (std::fabs(rz) < 1e-5f || (rz >= 0) != (face > 0)) continue;
    const float hit = p + (face - depth) / rz * rp;
    consider(hit * hit + face * face, hit);
  }
  for (float face : {-w, w}) {
    if (std::fabs(rp) < 1e-5f || (rp >= 0) != (face > 0)) continue;
    const float hit = depth + (face - p) / rp * rz;
    consider(face * face + hit * hit, hit);
  }
  return coordinate;
}

// ---- Glass ---------------------------------------------------------------------

// Most footprints are a few pixels a side.
constexpr int kGlassFootprintCap = 5;
constexpr int kGridSlots = 8;
static_assert(kGridSlots >= kGlassFootprintCap, "a grid fits its slots");

struct PlaneRef {
  float A, B, C, D, pz;
};

// What glass sees at image pixel (x, y) in channel i. The back-face and
// multi-refraction looks read and write pixels anywhere in the image, so
// they are drawn as one band.
float Background(const Band& band, int x, int y, int i, const PlaneRef& plane) {
  const Frame& f = *band.f;
  const bool deep = f.deep;
  const size_t at = f.target.Index(x, y);
  unsigned char* backgroundCopy = f.backgroundCopy.data;
  if (!backgroundCopy || !f.refractDepth) return float(ReadChannel(f.source.data, at + i, deep));
  const float z = std::fabs(plane.C) > 0.01f
                      ? -(plane.A * float(x) + plane.B * float(y) + plane.D) / plane.C
                      : plane.pz;
  const int targetAlpha = ReadChannel(f.target.data, at + 3, deep);
  if (f.sw.drawBackFaces && !band.backPass) {
    if (ReadChannel(backgroundCopy, at + 3, deep) == 0)
      return float(ReadChannel(f.source.data, at + i, deep));
    const float w = float(targetAlpha) / float(f.maxChannel);
    return float(ReadChannel(f.source.data, at + i, deep)) * (1 - w) +
           float(ReadChannel(backgroundCopy, at + i, deep)) * w;
  }
  if (!f.sw.useMultyRefract) return float(ReadChannel(f.source.data, at + i, deep));

  // Glass behind glass: a surface already drawn here at another depth is
  // what this one sees, and it becomes the background for later ones.
  float& seen = f.refractDepth[size_t(y) * size_t(f.width) + size_t(x)];
  const bool otherSurface = std::fabs(seen - z) >= 30;
  float value;
  if (otherSurface && targetAlpha == f.maxChannel && seen > -1e37f) {
    const int drawn = ReadChannel(f.target.data, at + i, deep);
    WriteChannel(backgroundCopy, at + i, drawn, deep);
    value = float(drawn);
  } else {
    value = float(ReadChannel(backgroundCopy, at + i, deep));
  }
  if (i == 2 && otherSurface) seen = z;
  return value;
}

// Glass that sees only the source image (every look drawn in bands) reads
// its channels straight from it.
template <bool deep>
struct SourceReader {
  const unsigned char* source;
  size_t rowChannels;
  int operator()(int x, int y, int i) const {
    if (!source) return 0;
    const size_t at = size_t(y) * rowChannels + size_t(x) * 4 + size_t(i);
    if (!deep) return source[at];
    uint16_t word;
    std::memcpy(&word, source + 2 * at, sizeof word);
    return word;
  }
  // Channel i summed over a grid of columns and rows.
  int Sum(const int* columns, int columnCount, const int* rows, int rowCount, int i) const {
    if (!source) return 0;
    size_t offsets[kGridSlots];
    for (int c = 0; c < columnCount; ++c) offsets[c] = size_t(columns[c]) * 4 + size_t(i);
    int sum = 0;
    for (int r = 0; r < rowCount; ++r) {
      const size_t row = size_t(rows[r]) * rowChannels;
      for (int c = 0; c < columnCount; ++c) {
        if (!deep) {
          sum += source[row + offsets[c]];
        } else {
          uint16_t word;
          std::memcpy(&word, source + 2 * (row + offsets[c]), sizeof word);
          sum += word;
        }
      }
    }
    return sum;
  }
};

struct BackgroundReader {
  const Band& band;
  const PlaneRef& plane;
  float operator()(int x, int y, int i) const { return Background(band, x, y, i, plane); }
  // Row by row, each from left to right: glass behind glass changes what a
  // later read sees.
  float Sum(const int* columns, int columnCount, const int* rows, int rowCount, int i) const {
    float sum = 0;
    for (int r = 0; r < rowCount; ++r)
      for (int c = 0; c < columnCount; ++c) sum += Background(band, columns[c], rows[r], i, plane);
    return sum;
  }
};

template <class Read>
float BilinearBackground(const Read& read, int width, int height, float sx, float sy, int i) {
  const int ix = int(sx), iy = int(sy);
  const int ix1 = std::min(ix + 1, width - 1), iy1 = std::min(iy + 1, height - 1);
  const float dx = sx - float(ix), dy = sy - float(iy);
  // Weights ((1 - dx or dx) + (1 - dy or dy))^2, normalised.
  const float w00 = ((1 - dx) + (1 - dy)) * ((1 - dx) + (1 - dy));
  const float w10 = (dx + (1 - dy)) * (dx + (1 - dy));
  const float w01 = ((1 - dx) + dy) * ((1 - dx) + dy);
  const float w11 = (dx + dy) * (dx + dy);
  const float sum = w00 + w10 + w01 + w11;
  // Read one after the other: glass behind glass changes what a second read
  // of a pixel sees.
  const float v00 = float(read(ix, iy, i)), v10 = float(read(ix1, iy, i));
  const float v01 = float(read(ix, iy1, i)), v11 = float(read(ix1, iy1, i));
  const float value = v00 * w00 + v10 * w10 + v01 * w01 + v11 * w11;
  return sum > 0 ? value / sum : float(read(ix, iy, i));
}

// A sample coordinate outside the image falls back to the pixel's own.
float InsideOr(float value, int size, int own) {
  return (value >= 0 && value <= float(size - 1)) ? value : float(own);
}


// A footprint grid's pixel coordinates along one axis, `count` of them from
// `centre` back over `span`; one outside 0 .. size - 1 falls back to the
// pixel's own. Every slot is worked out, used or not, four at a time:
// vector divisions round as scalar ones do, so the points are the same on
// every platform. (Once a side passes 2^24 a float no longer holds each
// column, and a point could land just past the image: that is left to the
// general loop.)
void GridPoints(float centre, float span, int count, int size, int own, int out[kGridSlots]) {
  const float last = float(size - 1), fallback = float(own), n = float(count);
#if defined(__SSE2__)
  // The same operations four slots at a time; a NaN fails both comparisons
  // as it does below.
  const __m128 vCentre = _mm_set1_ps(centre), vSpan = _mm_set1_ps(span), vN = _mm_set1_ps(n);
  const __m128 vLast = _mm_set1_ps(last), vFallback = _mm_set1_ps(fallback);
  for (int k = 0; k < kGridSlots; k += 4) {
    const __m128 index = _mm_set_ps(float(k + 3), float(k + 2), float(k + 1), float(k));
    const __m128 g = _mm_sub_ps(vCentre, _mm_div_ps(_mm_mul_ps(index, vSpan), vN));
    const __m128 inside =
        _mm_and_ps(_mm_cmpge_ps(g, _mm_setzero_ps()), _mm_cmple_ps(g, vLast));
    const __m128 chosen = _mm_or_ps(_mm_and_ps(inside, g), _mm_andnot_ps(inside, vFallback));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), _mm_cvttps_epi32(chosen));
  }
#else
  for (int k = 0; k < kGridSlots; ++k) {
    const float g = centre - float(k) * span / n;
    out[k] = int((g >= 0 && g <= last) ? g : fallback);
  }
#endif
}

template <class Read>
void ApplyGlassWith(const Read& read, const Band& band, const GlassProp& glass, const Vec3& n,
                    int X, int Y, const __PrevInfo* previous, float originX, float originY,
                    float base[3], float& opacity) {
  const Frame& fr = *band.f;
  const int width = fr.width, height = fr.height;
  const float k = glass.displacement;
  const float a = glass.aberration / 100;
  const float c = a != 0 ? (1 - a) * (1 + a) : 1;
  const float scales[3] = {k, c * k, c * c * k};
  const float f = glass.bend * (1 - 2 * float(n.z)) - 1;
  const float bendX = f * float(n.x), bendY = f * float(n.y);
  const float high = float(fr.maxChannel);
  float sample[3];

  bool footprint = false;
  float previousX = 0, previousY = 0, previousBendX = 0, previousBendY = 0;
  if (previous && previous->valid && fr.sw.drawBackFaces != 1 && fr.sw.quality == 1) {
    const float length = std::sqrt(previous->nx * previous->nx + previous->ny * previous->ny +
                                   previous->nz * previous->nz);
    previousX = originX + previous->x;
    previousY = originY + previous->y;
    if (length > 0) {
      previousBendX = f * previous->nx / length;
      previousBendY = f * previous->ny / length;
    }
    const float dx = (X + bendX * scales[0]) - (previousX + previousBendX * scales[0]);
    const float dy = (Y + bendY * scales[0]) - (previousY + previousBendY * scales[0]);
    footprint = std::fabs(dx) + std::fabs(dy) > 2;
  }

  if (footprint) {
    // Below 2^24 pixels a side every grid point is a pixel of the image.
    const bool wholeGrid = width <= (1 << 24) && height <= (1 << 24);
    float readable = 0;
    for (int i = 0; i < 3; ++i) {
      const float cx = X + bendX * scales[i], cy = Y + bendY * scales[i];
      const float dx = cx - (previousX + previousBendX * scales[i]);
      const float dy = cy - (previousY + previousBendY * scales[i]);
      const int nx = GridCount(dx, kGlassFootprintCap);
      const int ny = GridCount(dy, kGlassFootprintCap);
      // Grid columns depend on the column index alone, rows on the row.
      int columns[kGridSlots], rows[kGridSlots];
      int readColumns = nx, readRows = ny;
      if (wholeGrid) {
        GridPoints(cx, dx, nx, width, X, columns);
        GridPoints(cy, dy, ny, height, Y, rows);
      } else {
        readColumns = readRows = 0;
        for (int column = 0; column < nx; ++column) {
          const float gx = InsideOr(cx - column * dx / nx, width, X);
          if (gx >= 0 && gx < width) columns[readColumns++] = int(gx);
        }
        for (int row = 0; row < ny; ++row) {
          const float gy = InsideOr(cy - row * dy / ny, height, Y);
          if (gy >= 0 && gy < height) rows[readRows++] = int(gy);
        }
      }
      // Channel values are whole numbers, so a whole-number sum is the float
      // sum in any order.
      const auto sum = read.Sum(columns, readColumns, rows, readRows, i);
      sample[i] = float(sum) / (float(nx * ny) * high);
      // A whole grid adds exactly 1.
      if (!wholeGrid) readable += float(readRows * readColumns) / float(nx * ny);
    }
    opacity = std::min(opacity, wholeGrid ? 1.0f : readable / 3);
  } else {
    for (int i = 0; i < 3; ++i) {
      const float sx = InsideOr(X + bendX * scales[i], width, X);
      const float sy = InsideOr(Y + bendY * scales[i], height, Y);
      if (fr.sw.quality != 1) {
        const int nx = std::min(int(sx + 0.5f), width - 1);
        const int ny = std::min(int(sy + 0.5f), height - 1);
        sample[i] = float(read(nx, ny, i)) / high;
      } else {
        sample[i] = BilinearBackground(read, width, height, sx, sy, i) / high;
      }
    }
  }
  // Mid grey shows the background unchanged; other bases tint it.
  for (int i = 0; i < 3; ++i) base[i] = Clamp01(sample[i] + (base[i] - 0.5f));
}

void ApplyGlass(const Band& band, const GlassProp& glass, const Vec3& n, int X, int Y,
                const __PrevInfo* previous, float originX, float originY, const PlaneRef& plane,
                float base[3], float& opacity) {
  const Frame& f = *band.f;
  if (f.backgroundCopy.data && f.refractDepth) {
    ApplyGlassWith(BackgroundReader{band, plane}, band, glass, n, X, Y, previous, originX,
                   originY, base, opacity);
  } else if (f.deep) {
    ApplyGlassWith(SourceReader<true>{f.source.data, f.target.rowChannels}, band, glass, n, X, Y,
                   previous, originX, originY, base, opacity);
  } else {
    ApplyGlassWith(SourceReader<false>{f.source.data, f.target.rowChannels}, band, glass, n, X,
                   Y, previous, originX, originY, base, opacity);
  }
}

}  // namespace

void PrepareSurface(const Band& band, const __Triangle3ds* triangle, material3ds* materials,
                    int materialCount, __Texture* textures, int lightCount, light3ds* lights,
                    GlassProp* glass, Surface& out) {
  const Frame& f = *band.f;
  Surface s;
  // The material, or the built-in grey.
  const int index = triangle ? triangle->material : 0;
  const bool custom = materials && materialCount >= 1 && index < materialCount;
  s.m = custom ? &materials[index] : nullptr;
  if (s.m) {
    for (int i = 0; i < 3; ++i) {
      s.base[i] = s.m->diffuse[i];
      s.specular[i] = s.m->specular[i];
    }
    s.exponent = s.m->shininess * 100;
    s.strength = s.m->shinStrength;
    s.selfIllum = s.m->selfIllum;
    s.opacity = 1 - Clamp01(-s.m->transparency);
  }
  s.negligible = NegligibleBelow(s.exponent, s.strength);
  const __Texture* maps = (s.m && textures) ? &textures[size_t(index) * 4] : nullptr;
  if (maps) {
    s.colourMap = Usable(&maps[kColourSlot]) ? &maps[kColourSlot] : nullptr;
    s.opacityMap = Usable(&maps[kOpacitySlot]) ? &maps[kOpacitySlot] : nullptr;
    s.bumpMap = Usable(&maps[kBumpSlot]) ? &maps[kBumpSlot] : nullptr;
    s.reflectionMap = Usable(&maps[kReflectionSlot]) ? &maps[kReflectionSlot] : nullptr;
  }
  if (s.bumpMap) {
    if (index < f.bumpSumCount) s.bumpSums = f.bumpSums[index];
    s.bumpHeight = s.m->bumpMap.percent;
    if (f.deep) s.bumpHeight *= kDeepBumpScale;
  }

  // With no light of its own the render uses the default one; with none
  // at all the surface is black.
  s.lights = lights;
  s.lightCount = lights ? lightCount : 0;
  if (s.lightCount < 1) {
    s.lightCount = f.defaultLight ? 1 : 0;
    s.lights = f.defaultLight;
  }

  const int glassIndex = materialCount < 1 ? 0 : (custom ? index : -1);
  if (glass && glassIndex >= 0 && glass[glassIndex].enabled && f.width > 0 && f.height > 0)
    s.glass = &glass[glassIndex];
  out = s;
}

void ShadeSurfaces(const Band& band, const Surface& s, ShadeBatch& b) {
  const Frame& f = *band.f;
  const int quality = f.sw.quality;
  const int width = f.width, height = f.height;
  const int count = b.count;
  // Stage by stage over the batch, each pixel going through exactly the
  // steps it would alone.
  // Plain arrays: a Vec3 array would be zeroed whole for every batch, and
  // for every lone pixel shaded through ShadeSurface.
  double normalX[kShadeBatch], normalY[kShadeBatch], normalZ[kShadeBatch];
  float base[kShadeBatch][3], opacity[kShadeBatch];
  auto previousOf = [&b](int k) { return b.hasPrevious[k] ? &b.previous[k] : nullptr; };

  // 1. The shading normal.
  const bool backPass = band.backPass, dubleSide = f.sw.dubleSide != 0;
  for (int k = 0; k < count; ++k) {
    float nx0 = b.nx[k], ny0 = b.ny[k], nz0 = b.nz[k];
    if (backPass) {
      nx0 = -nx0;
      ny0 = -ny0;
      nz0 = -nz0;
    }
    if (dubleSide && nz0 < 0) nz0 = -nz0;
    const float normalLength = std::sqrt(nx0 * nx0 + ny0 * ny0 + nz0 * nz0);
    // Multiplying by 1 leaves a zero normal as it is.
    const float inverse = normalLength > 0 ? 1 / normalLength : 1.0f;
    normalX[k] = nx0 * inverse;
    normalY[k] = ny0 * inverse;
    normalZ[k] = nz0 * inverse;
  }

  // 2. The material.
  const material3ds* m = s.m;
  for (int k = 0; k < count; ++k) {
    for (int i = 0; i < 3; ++i) base[k][i] = s.base[i];
    opacity[k] = s.opacity;
  }

  // 3. Reflection sample: the view direction mirrored about the normal.
  float reflection[kShadeBatch][3];
  float reflectionStrength = 0;
  if (s.reflectionMap) {
    const __Texture& t = *s.reflectionMap;
    const float w = width > 0 ? float(width) : 1.0f;
    reflectionStrength = Clamp01(m->reflectionMap.percent);
    for (int k = 0; k < count; ++k) {
      const float rx = float(2 * normalZ[k] * normalX[k]);
      const float ry = float(2 * normalZ[k] * normalY[k]);
      const float rz = float(2 * normalZ[k] * normalZ[k] - 1);
      const float ru = ReflectionCoordinate(b.px[k], b.pz[k], rx, rz, w);
      const float rv = ReflectionCoordinate(b.py[k], b.pz[k], ry, rz, w);
      const Rgba texel = SampleAt(t, TexelPosition(m->reflectionMap, t, ru, rv), false, quality);
      reflection[k][0] = texel.r;
      reflection[k][1] = texel.g;
      reflection[k][2] = texel.b;
    }
  }

  // 4. Texture maps.
  if (b.hasUV) {
    if (s.colourMap) {
      const float percent = Clamp01(m->colourMap.percent);
      for (int k = 0; k < count; ++k) {
        const Rgba texel =
            SampleMap(m->colourMap, *s.colourMap, b.u[k], b.v[k], previousOf(k), quality);
        const float t = percent * texel.a;
        const float keep = std::max(0.0f, 1 - t);
        base[k][0] = t * texel.r + keep * base[k][0];
        base[k][1] = t * texel.g + keep * base[k][1];
        base[k][2] = t * texel.b + keep * base[k][2];
      }
    }
    if (s.opacityMap) {
      const float p = Clamp01(m->opacityMap.percent);
      for (int k = 0; k < count; ++k) {
        const Rgba texel =
            SampleMap(m->opacityMap, *s.opacityMap, b.u[k], b.v[k], previousOf(k), quality);
        const float level = std::max({texel.r, texel.g, texel.b});
        opacity[k] = level * p * texel.a + std::max(0.0f, 1 - p * texel.a) * opacity[k];
      }
    }
    if (s.bumpMap) {
      const BumpHeights heights{*s.bumpMap, s.bumpSums, f.maxChannel};
      for (int k = 0; k < count; ++k) {
        float alongX, alongY;
        BumpSlopes(m->bumpMap, heights, b.u[k], b.v[k], previousOf(k), quality, alongX,
                   alongY);
        normalX[k] -= double(alongX) * s.bumpHeight / 10;
        normalY[k] -= double(alongY) * s.bumpHeight / 10;
      }
    }
  }

  // 5. Reflection blend.
  if (s.reflectionMap) {
    const float keep = std::max(0.0f, 1 - reflectionStrength);
    for (int k = 0; k < count; ++k)
      for (int i = 0; i < 3; ++i)
        base[k][i] = reflection[k][i] * reflectionStrength + keep * base[k][i];
  }

  // 6. Lights.
  if (s.lightCount == 0) {
    for (int k = 0; k < count; ++k) {
      b.red[k] = b.green[k] = b.blue[k] = 0;
      b.opacity[k] = opacity[k];
    }
    return;
  }

  // 7. Glass.
  if (s.glass) {
    for (int k = 0; k < count; ++k) {
      const int X = Truncated(std::floor(b.originX + b.px[k] + 0.5f), width);
      const int Y = Truncated(std::floor(b.originY + b.py[k] + 0.5f), height);
      ApplyGlass(band, *s.glass, Vec3{normalX[k], normalY[k], normalZ[k]}, X, Y, previousOf(k),
                 b.originX, b.originY, PlaneRef{b.A, b.B, b.C, b.D, b.pz[k]}, base[k], opacity[k]);
    }
  }

  // 8. Diffuse and specular light, summed over the lights.
  float nx[kShadeBatch], ny[kShadeBatch], nz[kShadeBatch];
  for (int k = 0; k < count; ++k) {
    nx[k] = float(normalX[k]);
    ny[k] = float(normalY[k]);
    nz[k] = float(normalZ[k]);
  }
  const float exponent = s.exponent, strength = s.strength, selfIllum = s.selfIllum;
  const float negligible = s.negligible;
  float result[3][kShadeBatch];
  for (int i = 0; i < 3; ++i)
    for (int k = 0; k < count; ++k) result[i][k] = 0;
  float d[kShadeBatch], power[kShadeBatch];
  for (int l = 0; l < s.lightCount; ++l) {
    const light3ds& light = s.lights[l];
    const float multiplier = light.multiplier;
    for (int k = 0; k < count; ++k) {
      float lx = light.x - b.px[k], ly = light.y - b.py[k], lz = light.z - b.pz[k];
      // The direction's length does not change the sign of d.
      const bool facing = (lx * nx[k] + ly * ny[k] + lz * nz[k]) * multiplier > 0;
      const float length = std::sqrt(lx * lx + ly * ly + lz * lz);
      const float inverse = length > 0 ? 1 / length : 1.0f;
      lx *= inverse;
      ly *= inverse;
      lz *= inverse;
      const float lit = (lx * nx[k] + ly * ny[k] + lz * nz[k]) * multiplier;
      d[k] = facing && lit > 0 ? lit : 0.0f;
    }
    // A light behind the surface (d = 0) is common with the second light
    // below the image plane; 0 to a positive power needs no call.
    for (int k = 0; k < count; ++k) {
      if (negligible > 0)
        power[k] = d[k] > negligible ? Power(d[k], exponent) : 0.0f;
      else
        power[k] = (d[k] > 0 || !(exponent > 0)) ? Power(d[k], exponent) : 0.0f;
    }
    const float colour[3] = {light.r, light.g, light.b};
    for (int k = 0; k < count; ++k) {
      const float highlight = power[k] * strength;
      const float diffuse = d[k] * (1 - selfIllum) + selfIllum;
      for (int i = 0; i < 3; ++i)
        result[i][k] += (highlight * s.specular[i] + diffuse * base[k][i]) * colour[i];
    }
  }

  // 9. To channel units.
  const float high = float(f.maxChannel);
  for (int k = 0; k < count; ++k) {
    b.red[k] = ClampChannel(result[0][k] * high, high);
    b.green[k] = ClampChannel(result[1][k] * high, high);
    b.blue[k] = ClampChannel(result[2][k] * high, high);
    b.opacity[k] = opacity[k];
  }
}

float ShadeSurface(const Band& band, const Surface& s, float originX, float originY, float px,
                   float py, float pz, const __Point* normal, bool hasUV, float u, float v,
                   const __PrevInfo* previous, float A, float B, float C, float D,
                   float& red, float& green, float& blue) {
  ShadeBatch b;
  b.originX = originX;
  b.originY = originY;
  b.hasUV = hasUV;
  b.A = A;
  b.B = B;
  b.C = C;
  b.D = D;
  b.count = 1;
  b.px[0] = px;
  b.py[0] = py;
  b.pz[0] = pz;
  b.nx[0] = normal ? normal->x : 0;
  b.ny[0] = normal ? normal->y : 0;
  b.nz[0] = normal ? normal->z : 1;
  b.u[0] = u;
  b.v[0] = v;
  b.hasPrevious[0] = previous != nullptr;
  if (previous) b.previous[0] = *previous;
  ShadeSurfaces(band, s, b);
  red = b.red[0];
  green = b.green[0];
  blue = b.blue[0];
  return b.opacity[0];
}

float ShadePixel(const Band& band, const Surface& surface, int x, int y, float depth,
                 __Triangle3ds* triangle, __Point normal, bool hasUV, float u, float v,
                 __PrevInfo* previous, const TriangleSetup& plane, float rgb[3]) {
  const Frame& f = *band.f;
  const Scene& s = f.scene;
  rgb[0] = rgb[1] = rgb[2] = 0;
  float opacity;
  if (f.custom) {
    opacity = f.custom(float(s.offsetX), float(s.offsetY), s.target, s.source,
                       float(x - s.offsetX), float(y - s.offsetY), depth, triangle, s.materials,
                       s.materialCount, rgb[0], rgb[1], rgb[2], &normal, hasUV ? 1 : 0, u, v,
                       s.textures, s.lightCount, s.lights, previous, s.glass, float(plane.A),
                       float(plane.B), float(plane.C), float(plane.D));
  } else {
    opacity = ShadeSurface(band, surface, float(s.offsetX), float(s.offsetY),
                           float(x - s.offsetX), float(y - s.offsetY), depth, &normal, hasUV, u,
                           v, previous, float(plane.A), float(plane.B), float(plane.C),
                           float(plane.D), rgb[0], rgb[1], rgb[2]);
  }
  if (!(opacity > 0)) return 0;
  return opacity > 1 ? 1 : opacity;
}

void BumpTexelHeights(const __Texture& t, int maxChannel, float* out) {
  for (int row = 0; row < t.height; ++row)
    for (int column = 0; column < t.width; ++column)
      *out++ = ChannelSum(t, column, row, maxChannel);
}

void PrepareSurface(const Band& band, const __Triangle3ds* triangle, Surface& out) {
  const Scene& s = band.f->scene;
  if (!band.f->custom)
    PrepareSurface(band, triangle, s.materials, s.materialCount, s.textures, s.lightCount,
                   s.lights, s.glass, out);
}

float BuiltInPixel(const Band& band, float originX, float originY, float px, float py, float pz,
                   __Triangle3ds* triangle, material3ds* materials, int materialCount,
                   float& red, float& green, float& blue, __Point* normal, unsigned char hasUV,
                   float u, float v, __Texture* textures, int lightCount, light3ds* lights,
                   __PrevInfo* previous, GlassProp* glass, float A, float B, float C, float D) {
  Surface surface;
  PrepareSurface(band, triangle, materials, materialCount, textures, lightCount, lights, glass,
                 surface);
  return ShadeSurface(band, surface, originX, originY, px, py, pz, normal, hasUV != 0, u, v,
                      previous, A, B, C, D, red, green, blue);
}

// Reached through the function pointer (a caller's per-pixel function
// handing on to the built-in one): the band being drawn on this thread, or
// outside a render an empty frame of the current switches.
float DefaultRenderOnePixel(float originX, float originY, unsigned char* /*target*/,
                            unsigned char* /*source*/, float px, float py, float pz,
                            __Triangle3ds* triangle, material3ds* materials, int materialCount,
                            float& red, float& green, float& blue, __Point* normal,
                            unsigned char hasUV, float u, float v, __Texture* textures,
                            int lightCount, light3ds* lights, __PrevInfo* previous,
                            GlassProp* glass, float A, float B, float C, float D) {
  if (CurrentBand)
    return BuiltInPixel(*CurrentBand, originX, originY, px, py, pz, triangle, materials,
                        materialCount, red, green, blue, normal, hasUV, u, v, textures,
                        lightCount, lights, previous, glass, A, B, C, D);
  Frame frame;
  frame.sw = CurrentSwitches();
  frame.deep = frame.sw.deep != 0;
  frame.maxChannel = frame.deep ? 32768 : 255;
  frame.defaultLight = InstalledDefaultLight();
  Band band;
  band.f = &frame;
  band.backPass = _DrawBackFaces1 != 0;
  return BuiltInPixel(band, originX, originY, px, py, pz, triangle, materials, materialCount,
                      red, green, blue, normal, hasUV, u, v, textures, lightCount, lights,
                      previous, glass, A, B, C, D);
}

}  // namespace rf::engine3d
