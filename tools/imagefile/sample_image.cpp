#include "tools/imagefile/sample_image.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace rf::tools {

namespace {

// Smooth 1D value noise from a hashed lattice.
double Hash(int i, int seed) {
  uint32_t h = uint32_t(i) * 374761393u + uint32_t(seed) * 668265263u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return double(h ^ (h >> 16)) / 4294967295.0;
}

double Noise(double x, int seed) {
  const int i = int(std::floor(x));
  const double f = x - i;
  const double t = f * f * (3 - 2 * f);
  return Hash(i, seed) * (1 - t) + Hash(i + 1, seed) * t;
}

double Ridge(double x, int seed) {
  double v = 0, amplitude = 0.5, frequency = 1;
  for (int octave = 0; octave < 5; ++octave) {
    v += amplitude * Noise(x * frequency, seed + octave);
    amplitude *= 0.5;
    frequency *= 2.1;
  }
  return v;
}

struct Rgb {
  double r, g, b;
};

Rgb Mix(Rgb a, Rgb b, double t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }

}  // namespace

Image MakeSampleImage(int width, int height) {
  Image image;
  image.width = width;
  image.height = height;
  image.mode = ImageMode::RGB;
  image.depth = 8;
  image.hasAlpha = false;
  image.format = FileFormat::PNG;
  image.pixels.resize(image.RowBytes() * size_t(height));

  const Rgb skyTop{28, 40, 88}, skyHorizon{236, 170, 140}, far{96, 104, 150}, near{48, 56, 92};
  const Rgb snow{222, 228, 240}, ice{150, 180, 214};
  const double sunX = 0.68 * width, sunY = 0.47 * height, sunR = 0.05 * width;
  const double horizon = 0.62 * height;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const double u = double(x) / width;
      Rgb c;
      const double farRidge = horizon - (0.10 + 0.16 * Ridge(u * 3.0, 11)) * height;
      const double nearRidge = horizon - (0.02 + 0.08 * Ridge(u * 5.0 + 7, 29)) * height;
      if (y < horizon) {
        const double t = std::pow(double(y) / horizon, 1.4);
        c = Mix(skyTop, skyHorizon, t);
        const double d = std::hypot(x - sunX, y - sunY);
        c = Mix(c, Rgb{255, 236, 200}, std::clamp(1.6 - d / sunR, 0.0, 1.0));
        c = Mix(c, Rgb{255, 200, 160}, 0.35 * std::exp(-d / (4 * sunR)));
        if (y > farRidge) c = Mix(far, snow, 0.25 * std::clamp((y - farRidge) / (0.05 * height), 0.0, 1.0));
        if (y > nearRidge) c = Mix(near, snow, 0.15 * std::clamp((y - nearRidge) / (0.05 * height), 0.0, 1.0));
      } else {
        // The lake mirrors the sky, dimmed, with streaks of ice.
        const double mirrored = 2 * horizon - y;
        const double t = std::pow(std::max(0.0, mirrored) / horizon, 1.4);
        c = Mix(Mix(skyTop, skyHorizon, t), ice, 0.45);
        const double streak = Noise(u * 40 + y * 0.05, 3) * Noise(y * 0.2, 5);
        c = Mix(c, snow, 0.5 * streak * streak);
        const double glow = std::exp(-std::abs(x - sunX) / (1.5 * sunR)) * std::exp(-(y - horizon) / (0.25 * height));
        c = Mix(c, Rgb{255, 220, 190}, 0.5 * glow);
      }
      uint8_t* p = &image.pixels[(size_t(y) * width + x) * 3];
      p[0] = uint8_t(std::clamp(c.r, 0.0, 255.0));
      p[1] = uint8_t(std::clamp(c.g, 0.0, 255.0));
      p[2] = uint8_t(std::clamp(c.b, 0.0, 255.0));
    }
  }
  return image;
}

}  // namespace rf::tools
