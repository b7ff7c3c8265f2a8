#include "tools/gallery/photo_image.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace rf::gallery {

namespace {

struct Rgb {
  double r, g, b;
};

Rgb operator+(Rgb a, Rgb b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
Rgb operator*(Rgb a, double s) { return {a.r * s, a.g * s, a.b * s}; }
Rgb Mix(Rgb a, Rgb b, double t) { return a * (1 - t) + b * t; }

uint32_t HashInts(int32_t x, int32_t y, uint32_t seed) {
  uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return h ^ (h >> 16);
}

double Hash01(int32_t x, int32_t y, uint32_t seed) { return HashInts(x, y, seed) / 4294967295.0; }

double ValueNoise(double x, double y, uint32_t seed) {
  const double fx = std::floor(x), fy = std::floor(y);
  const int32_t ix = int32_t(fx), iy = int32_t(fy);
  double tx = x - fx, ty = y - fy;
  tx = tx * tx * (3 - 2 * tx);
  ty = ty * ty * (3 - 2 * ty);
  const double a = Hash01(ix, iy, seed), b = Hash01(ix + 1, iy, seed);
  const double c = Hash01(ix, iy + 1, seed), d = Hash01(ix + 1, iy + 1, seed);
  return (a * (1 - tx) + b * tx) * (1 - ty) + (c * (1 - tx) + d * tx) * ty;
}

double Fbm(double x, double y, uint32_t seed) {
  double v = 0, amplitude = 0.5;
  for (int octave = 0; octave < 5; ++octave) {
    v += amplitude * ValueNoise(x, y, seed + octave);
    x *= 2.03;
    y *= 2.03;
    amplitude *= 0.5;
  }
  return v / 0.96875;
}

// Scene units: the picture's height is 1, x runs from the centre.
constexpr double kTableTop = 0.62;

struct Ornament {
  double x, y, radius;
  Rgb colour;
  bool metallic;
};

// Listed back to front, so later ones cover earlier ones.
const Ornament kOrnaments[] = {
    {0.42, 0.575, 0.165, {30, 70, 190}, false},
    {-0.45, 0.595, 0.15, {200, 24, 32}, false},
    {0.02, 0.70, 0.105, {230, 170, 60}, true},
};

Rgb Wall(double x, double y, double aspect) {
  Rgb c = Mix(Rgb{26, 34, 58}, Rgb{70, 58, 62}, std::pow(y / kTableTop, 1.6));
  c = c * (0.85 + 0.3 * Fbm(x * 6, y * 6, 7));
  // Fairy lights far behind the table: large soft discs, brighter at the rim
  // as a lens draws them.
  for (int i = 0; i < 46; ++i) {
    const double bx = (Hash01(i, 1, 91) - 0.5) * aspect * 1.1;
    const double by = 0.04 + Hash01(i, 2, 91) * (kTableTop - 0.06);
    const double br = 0.018 + 0.035 * Hash01(i, 3, 91);
    const double d = std::hypot(x - bx, y - by) / br;
    if (d >= 1.08) continue;
    const double kind = Hash01(i, 4, 91);
    const Rgb light = kind < 0.6 ? Rgb{255, 196, 110} : kind < 0.85 ? Rgb{255, 120, 80} : Rgb{170, 210, 255};
    const double edge = std::clamp((1.08 - d) / 0.08, 0.0, 1.0);
    const double strength = (0.28 + 0.35 * Hash01(i, 5, 91)) * edge * (0.8 + 0.25 * d * d);
    c = Mix(c, light, std::min(strength, 0.9));
  }
  return c;
}

Rgb Table(double x, double y) {
  const double depth = (y - kTableTop) / (1 - kTableTop);  // 0 far, 1 near
  const double perspective = 1.0 / (0.35 + depth);
  // Boards run across the picture; their seams crowd together far away.
  const double board = (1 - perspective / (1 / 0.35)) * 7.0;
  const double seam = std::abs(board - std::round(board));
  const double warp = Fbm(x * 2.5 * perspective, board * 3, 17);
  const double grain = 0.5 + 0.5 * std::sin(board * 60 + warp * 9 + x * 2);
  Rgb c = Mix(Rgb{92, 50, 26}, Rgb{150, 92, 50}, 0.35 + 0.45 * grain * warp + 0.2 * Fbm(x * 20, y * 80, 23));
  if (seam < 0.03) c = c * (0.55 + 15 * seam);
  // The window light falls across the near edge.
  return c * (0.55 + 0.55 * depth);
}

double ShadowAt(double x, double y) {
  double shade = 1;
  for (const Ornament& o : kOrnaments) {
    const double sx = (x - o.x - 0.08 * o.radius) / (1.4 * o.radius);
    const double sy = (y - o.y - o.radius * 0.95) / (0.28 * o.radius);
    const double d = sx * sx + sy * sy;
    shade *= 1 - 0.65 * std::exp(-d * 1.8);
  }
  return shade;
}

// Shaded colour of a sphere at unit offset (dx, dy) from its centre.
Rgb OrnamentColour(const Ornament& o, double dx, double dy) {
  const double nz = std::sqrt(std::max(0.0, 1 - dx * dx - dy * dy));
  const double lx = -0.48, ly = -0.62, lz = 0.62;  // the window, upper left
  const double diffuse = std::max(0.0, dx * lx + dy * ly + nz * lz);
  const double rz = 2 * nz * nz - 1, rx = 2 * nz * dx, ry = 2 * nz * dy;
  const double specular = std::pow(std::max(0.0, rx * lx + ry * ly + rz * lz), 80);
  // Reflected room: warm lights above, the dark table below.
  const Rgb environment = ry < 0 ? Mix(Rgb{60, 50, 70}, Rgb{255, 200, 130}, std::clamp(-ry, 0.0, 1.0) * 0.6)
                                 : Rgb{70, 40, 22};
  const double fresnel = std::pow(1 - nz, 3);
  Rgb c;
  if (o.metallic) {
    // Metal tints what it reflects with its own colour.
    const Rgb tinted{environment.r * o.colour.r / 255, environment.g * o.colour.g / 255,
                     environment.b * o.colour.b / 255};
    c = Mix(o.colour * (0.25 + 0.9 * diffuse), tinted * 1.6, 0.45);
  } else {
    c = o.colour * (0.12 + 0.95 * diffuse);
    c = Mix(c, environment, 0.15 + 0.55 * fresnel);
  }
  // The window's reflection: a small bright rectangle with a cross bar.
  const double wx = (dx + 0.36) / 0.16, wy = (dy + 0.42) / 0.2;
  if (std::abs(wx) < 1 && std::abs(wy) < 1 && std::abs(wx) > 0.1 && std::abs(wy) > 0.1) c = Mix(c, Rgb{255, 250, 240}, 0.8);
  return c + Rgb{255, 255, 255} * (specular * 1.2);
}

Rgb Cap(double localX, double localY) {
  // A ribbed silver cap: lit from the left, ribs every few hundredths.
  const double shade = 0.45 + 0.55 * std::cos(localX * 1.4 + 0.5);
  const double rib = 0.85 + 0.15 * std::cos(localX * 40);
  return Rgb{200, 200, 210} * (shade * rib) + Rgb{30, 30, 30} * localY;
}

uint8_t ToByte(double v) { return uint8_t(std::clamp(std::lround(v), 0l, 255l)); }

}  // namespace

tools::Image MakePhotoImage(int width, int height) {
  tools::Image image;
  if (width < 1 || height < 1 || width > kMaxPhotoSide || height > kMaxPhotoSide) return image;
  image.width = width;
  image.height = height;
  image.mode = tools::ImageMode::RGB;
  image.depth = 8;
  image.hasAlpha = false;
  image.format = tools::FileFormat::PNG;
  image.pixels.resize(image.RowBytes() * size_t(height));

  const double aspect = double(width) / height;
  const double pixel = 1.0 / height;
  for (int py = 0; py < height; ++py) {
    uint8_t* row = image.pixels.data() + image.RowBytes() * size_t(py);
    for (int px = 0; px < width; ++px) {
      const double x = (px + 0.5) / height - aspect / 2, y = (py + 0.5) / height;
      Rgb c = y < kTableTop ? Wall(x, y, aspect) : Table(x, y) * ShadowAt(x, y);
      if (std::abs(y - kTableTop) < 0.004) c = Mix(c, Rgb{190, 140, 90}, 0.6);  // the table's lit edge

      for (const Ornament& o : kOrnaments) {
        const double capW = o.radius * 0.28, capTop = o.y - o.radius * 1.12;
        if (std::abs(x - o.x) < capW && y > capTop && y < o.y - o.radius * 0.9)
          c = Cap((x - o.x) / capW, (y - capTop) / (o.radius * 0.22));
        const double dx = (x - o.x) / o.radius, dy = (y - o.y) / o.radius;
        const double distance = std::hypot(dx, dy);
        const double coverage = std::clamp((1 - distance) * o.radius / pixel + 0.5, 0.0, 1.0);
        if (coverage > 0) c = Mix(c, OrnamentColour(o, dx / std::max(distance, 1.0), dy / std::max(distance, 1.0)), coverage);
      }

      const double r2 = (x * x) / (aspect * aspect / 4) + (y - 0.5) * (y - 0.5) * 4;
      c = c * (1 - 0.3 * r2 / 2);
      const double grain = (Hash01(px, py, 5) + Hash01(px, py, 6) - 1) * 9;
      row[px * 3 + 0] = ToByte(c.r + grain);
      row[px * 3 + 1] = ToByte(c.g + grain);
      row[px * 3 + 2] = ToByte(c.b + grain);
    }
  }
  return image;
}

}  // namespace rf::gallery
