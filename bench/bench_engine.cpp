// Engine render times on a 3000 x 2000 image: a standard scene of a few
// thousand triangles of mixed sizes and a dense one of 200,000 small ones,
// at both qualities, plain and with glass and bump.
#include "bench/support.h"
#include "engine3d/engine3d.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

constexpr int kWidth = 3000;
constexpr int kHeight = 2000;

struct BenchScene {
  std::vector<__Point3ds> points;
  std::vector<__Triangle3ds> triangles;
};

class Random {
 public:
  explicit Random(uint32_t seed) : state_(seed) {}
  double Next() {  // 0..1
    state_ = state_ * 1664525u + 1013904223u;
    return (state_ >> 8) / double(1 << 24);
  }

 private:
  uint32_t state_;
};

// Triangles centred anywhere in the image, their size drawn log-uniformly
// between the two bounds, lifted and tilted a little like the pattern.
BenchScene MakeScene(int count, double smallest, double largest, uint32_t seed) {
  BenchScene s;
  Random random(seed);
  const float uv[3][2] = {{0.5f, 0.98f}, {0.01f, 0.01f}, {0.98f, 0.01f}};
  for (int k = 0; k < count; ++k) {
    const double cx = (random.Next() - 0.5) * kWidth, cy = (random.Next() - 0.5) * kHeight;
    const double size = smallest * std::pow(largest / smallest, random.Next());
    const double turn = random.Next() * 6.2831853;
    const double z = random.Next() * 40;
    for (int j = 0; j < 3; ++j) {
      const double a = turn + j * 2.0943951 + (random.Next() - 0.5) * 0.6;
      __Point3ds p{};
      p.x = float(cx + size * std::cos(a));
      p.y = float(cy + size * std::sin(a));
      p.z = float(z + random.Next() * size * 0.2);
      p.hasNormal = 1;
      p.nx = float((random.Next() - 0.5) * 0.6);
      p.ny = float((random.Next() - 0.5) * 0.6);
      p.nz = 1;
      p.hasUV = 1;
      p.u = uv[j][0];
      p.v = uv[j][1];
      s.points.push_back(p);
    }
    // Corners turn counter-clockwise in scene coordinates: facing.
    s.triangles.push_back(__Triangle3ds{3 * k, 3 * k + 1, 3 * k + 2, 0, 0});
  }
  return s;
}

const BenchScene& Standard() {
  static const BenchScene scene = MakeScene(4000, 6, 250, 11);
  return scene;
}
const BenchScene& Dense() {
  static const BenchScene scene = MakeScene(200000, 2, 8, 12);
  return scene;
}

struct Setup {
  std::vector<uint8_t> source, target;
  material3ds material{};
  __Texture textures[4]{};
  std::vector<uint8_t> bump;
  light3ds lights[2]{};
  GlassProp glass{};

  explicit Setup(bool glassAndBump) : source(size_t(kWidth) * kHeight * 4), target(source.size()) {
    for (size_t i = 0; i < source.size(); ++i) source[i] = uint8_t((i * 7) ^ (i >> 11));
    material.diffuse[0] = 0.7f;
    material.diffuse[1] = 0.8f;
    material.diffuse[2] = 0.9f;
    material.specular[0] = material.specular[1] = material.specular[2] = 1;
    material.shininess = 0.3f;
    material.shinStrength = 0.5f;
    material.selfIllum = 0.2f;
    for (int i = 0; i < 2; ++i) {
      lights[i].x = i ? -1500.0f : 1500.0f;
      lights[i].y = -800;
      lights[i].z = i ? -845.0f : 1200.0f;
      lights[i].r = lights[i].g = lights[i].b = 1;
      lights[i].multiplier = 1;
    }
    if (glassAndBump) {
      bump.resize(100 * 100 * 4);
      for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) bump[(y * 100 + x) * 4 + 2] = uint8_t(((x + y) / 7 % 2) * 220);
      textures[2] = __Texture{1, 100, 100, bump.data(), 0};
      material.bumpMap.percent = 0.02f;
      material.bumpMap.uScale = material.bumpMap.vScale = 1;
      glass = GlassProp{1, 0.5f, 8, 20};
    }
  }

  void Render(const BenchScene& s) {
    target = source;
    BenchScene& scene = const_cast<BenchScene&>(s);
    __RasterScene(target.data(), source.data(), kWidth, kHeight, kWidth * 4,
                  int(scene.points.size()), int(scene.triangles.size()), scene.triangles.data(),
                  scene.points.data(), kWidth / 2, kHeight / 2, 1, &material, textures, 2,
                  lights, &glass);
  }
};

long g_shadedPixels = 0;
float CountingPixel(float ox, float oy, unsigned char* t, unsigned char* s, float px, float py,
                    float pz, __Triangle3ds* tri, material3ds* m, int mc, float& r, float& g,
                    float& b, __Point* n, unsigned char hasUV, float u, float v,
                    __Texture* tex, int lc, light3ds* l, __PrevInfo* prev, GlassProp* glass,
                    float A, float B, float C, float D) {
  ++g_shadedPixels;
  return rf::engine3d::DefaultRenderOnePixel(ox, oy, t, s, px, py, pz, tri, m, mc, r, g, b, n,
                                             hasUV, u, v, tex, lc, l, prev, glass, A, B, C, D);
}

void BM_Render(benchmark::State& state, const BenchScene& (*scene)()) {
  const int quality = int(state.range(0));
  const bool glassAndBump = state.range(1) != 0;
  __SetDrawMode(6);
  __SetQuality(uint8_t(quality));
  __SetDeep(0);
  __SetUseMultyRefract(0);
  __SetDubleSide(0);
  Setup setup(glassAndBump);
  const BenchScene& s = scene();

  // One counted render first, for the shading rate.
  g_shadedPixels = 0;
  __SetNewRenderOnePixel(CountingPixel);
  setup.Render(s);
  __SetDefRenderOnePixel();
  const long shaded = g_shadedPixels;

  for (auto _ : state) {
    setup.Render(s);
    benchmark::DoNotOptimize(setup.target.data());
  }
  state.counters["shaded_px"] = double(shaded);
  state.counters["shaded_px_per_s"] =
      benchmark::Counter(double(shaded) * state.iterations(), benchmark::Counter::kIsRate);
  state.counters["peak_MiB"] = double(rf::bench::PeakResidentBytes()) / (1024.0 * 1024.0);
}

}  // namespace

BENCHMARK_CAPTURE(BM_Render, standard, Standard)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->ArgNames({"quality", "glass_bump"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_Render, dense, Dense)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->ArgNames({"quality", "glass_bump"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

BENCHMARK_MAIN();
