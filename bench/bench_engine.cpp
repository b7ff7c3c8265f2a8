// Engine render times.
//   default_pattern: the pattern the filter grows at its defaults (about
//     10,500 triangles) on 3000 x 2000, Phong, the built-in look, no glass;
//   default_look: the same pattern in the filter's whole default look
//     (its material, glass and bump) at quality 1, as the final run draws it;
//   preview: the same scene scaled to 1000 x 700 at quality 0 with glass and
//     bump, rendered again and again through one kept context, as the
//     dialog's preview does;
//   standard, dense: a few thousand triangles of mixed sizes and 200,000
//     small ones on 3000 x 2000, at both qualities, plain and with glass and
//     bump.
// Every case runs on 1 and on 2 threads; `copy_ms` of the preview is a plain
// copy of the same image, the floor of any re-render.
#include "bench/support.h"
#include "engine3d/engine3d.h"
#include "engine3d/render.h"
#include "pattern/bump_source.h"
#include "pattern/pattern.h"
#include "pattern/scene_assembly.h"
#include "platform/platform.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

struct BenchScene {
  std::vector<__Point3ds> points;
  std::vector<__Triangle3ds> triangles;
};

// ---- Scenes --------------------------------------------------------------------

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

// Triangles centred anywhere in a 3000 x 2000 image, their size drawn
// log-uniformly between the two bounds, lifted and tilted a little like the
// pattern.
BenchScene MakeScene(int count, double smallest, double largest, uint32_t seed) {
  BenchScene s;
  Random random(seed);
  for (int k = 0; k < count; ++k) {
    const double cx = (random.Next() - 0.5) * 3000, cy = (random.Next() - 0.5) * 2000;
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
      p.u = rf::pattern::kCornerU[j];
      p.v = rf::pattern::kCornerV[j];
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

rf::ParameterRecord DefaultRecord() {
  rf::ParameterRecord record;
  rf::ResetToDefaults(record);
  return record;
}

// The pattern of the filter's defaults, grown and placed as the final run
// on 3000 x 2000 places it, in scene assembly's point layout.
const BenchScene& DefaultPattern() {
  static const BenchScene scene = [] {
    const rf::ParameterRecord record = DefaultRecord();
    const rf::pattern::ImageGeometry geometry = rf::pattern::FinalGeometry(3000, 2000);
    rf::pattern::Emitter emitter;
    rf::pattern::BuildFixedEmitter(record.MaskKind, geometry, emitter);
    rf::pattern::PatternList list;
    rf::pattern::GrowPattern(record, &emitter, geometry, rf::RunHooks{}, 0, list);
    rf::pattern::PlaceInScene(record, geometry, list);
    BenchScene s;
    for (const rf::pattern::RFTrNode* node = list.First(); node; node = node->next) {
      const int k = int(s.triangles.size());
      s.triangles.push_back(__Triangle3ds{3 * k, 3 * k + 1, 3 * k + 2, 0, 0});
      for (int j = 0; j < 3; ++j) {
        const rf::pattern::PatternVertex& v = node->triangle->v[j];
        __Point3ds p{};
        p.x = v.x;
        p.y = v.y;
        p.z = v.z;
        p.nx = v.nx;
        p.ny = v.ny;
        p.nz = v.nz;
        p.hasNormal = v.flag;
        p.hasUV = 1;
        p.u = rf::pattern::kCornerU[j];
        p.v = rf::pattern::kCornerV[j];
        s.points.push_back(p);
      }
    }
    return s;
  }();
  return scene;
}

// The default pattern shrunk to the preview's scale.
const BenchScene& PreviewPattern() {
  static const BenchScene scene = [] {
    BenchScene s = DefaultPattern();
    for (__Point3ds& p : s.points) {
      p.x /= 3;
      p.y /= 3;
      p.z /= 3;
    }
    return s;
  }();
  return scene;
}

// ---- Render set-ups --------------------------------------------------------------

// Images, material, lights, glass and bump of one case. `builtIn` renders
// with no material (the engine's built-in grey); otherwise the material,
// lights and glass are the filter's defaults.
struct Setup {
  int width, height;
  std::vector<uint8_t> source, target;
  material3ds material{};
  int materialCount = 1;
  __Texture textures[4]{};
  std::vector<uint8_t> bump;
  light3ds lights[2]{};
  GlassProp glass{};

  Setup(int w, int h, bool builtIn, bool glassAndBump, bool preview)
      : width(w), height(h), source(size_t(w) * h * 4), target(source.size()) {
    for (size_t i = 0; i < source.size(); ++i) source[i] = uint8_t((i * 7) ^ (i >> 11));
    for (size_t i = 3; i < source.size(); i += 4) source[i] = 255;
    const rf::ParameterRecord record = DefaultRecord();
    rf::pattern::MakeLights(record, lights);
    if (builtIn) materialCount = 0;
    if (glassAndBump) {
      uint8_t* grey = rf::pattern::BuildBumpSource();
      bump.assign(size_t(rf::pattern::kBumpSize) * rf::pattern::kBumpSize * 4, 255);
      for (size_t i = 0; grey && i < size_t(rf::pattern::kBumpSize) * rf::pattern::kBumpSize; ++i)
        for (int c = 0; c < 3; ++c) bump[i * 4 + c] = grey[i * 3 + 2 - c];
      rf::platform::FreePages(grey);
      textures[2] = __Texture{1, rf::pattern::kBumpSize, rf::pattern::kBumpSize, bump.data(), 0};
      material = rf::pattern::MakeMaterial(record, true, preview);
      glass = rf::pattern::MakeGlass(record, preview ? 3000.0 / 1000.0 : 1.0);
    } else {
      material = rf::pattern::MakeMaterial(record, false, preview);
    }
  }

  void Render(rf::engine3d::RenderContext& context, const BenchScene& s, int threads) {
    target = source;
    BenchScene& scene = const_cast<BenchScene&>(s);
    rf::engine3d::SceneInput input;
    input.target = target.data();
    input.source = source.data();
    input.width = width;
    input.height = height;
    input.rowStride = width * 4;
    input.pointCount = int(scene.points.size());
    input.triangleCount = int(scene.triangles.size());
    input.triangles = scene.triangles.data();
    input.points = scene.points.data();
    input.offsetX = width / 2;
    input.offsetY = height / 2;
    input.materialCount = materialCount;
    input.materials = &material;
    input.textures = textures;
    input.lightCount = 2;
    input.lights = lights;
    input.glass = &glass;
    rf::engine3d::RenderControl control;
    control.threads = threads;
    rf::engine3d::RasterScene(context, control, input);
  }
};

void SetSwitches(int quality) {
  __SetDrawMode(6);
  __SetQuality(uint8_t(quality));
  __SetDeep(0);
  __SetUseMultyRefract(0);
  __SetDubleSide(0);
}

void Report(benchmark::State& state) {
  state.counters["peak_MiB"] = double(rf::bench::PeakResidentBytes()) / (1024.0 * 1024.0);
}

// ---- Cases ------------------------------------------------------------------------

void BM_DefaultPattern(benchmark::State& state) {
  const int quality = int(state.range(0)), threads = int(state.range(1));
  SetSwitches(quality);
  Setup setup(3000, 2000, true, false, false);
  rf::engine3d::RenderContext context;
  const BenchScene& s = DefaultPattern();
  for (auto _ : state) {
    setup.Render(context, s, threads);
    benchmark::DoNotOptimize(setup.target.data());
  }
  state.counters["triangles"] = double(s.triangles.size());
  Report(state);
}
BENCHMARK(BM_DefaultPattern)
    ->ArgsProduct({{1, 0}, {1, 2}})
    ->ArgNames({"quality", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0);

void BM_DefaultLook(benchmark::State& state) {
  const int threads = int(state.range(0));
  SetSwitches(1);
  Setup setup(3000, 2000, false, true, false);
  rf::engine3d::RenderContext context;
  const BenchScene& s = DefaultPattern();
  for (auto _ : state) {
    setup.Render(context, s, threads);
    benchmark::DoNotOptimize(setup.target.data());
  }
  Report(state);
}
BENCHMARK(BM_DefaultLook)
    ->Arg(1)
    ->Arg(2)
    ->ArgName("threads")
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0);

void BM_Preview(benchmark::State& state) {
  const int threads = int(state.range(0));
  SetSwitches(0);
  Setup setup(1000, 700, false, true, true);
  rf::engine3d::RenderContext context;
  const BenchScene& s = PreviewPattern();
  // The floor: one copy of the image, as each render starts with.
  std::vector<uint8_t> copy(setup.source.size());
  double copySeconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    std::memcpy(copy.data(), setup.source.data(), copy.size());
    benchmark::DoNotOptimize(copy.data());
    copySeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    setup.Render(context, s, threads);
    benchmark::DoNotOptimize(setup.target.data());
  }
  state.counters["copy_ms"] = copySeconds * 1000 / double(state.iterations());
  Report(state);
}
BENCHMARK(BM_Preview)->Arg(1)->Arg(2)->ArgName("threads")->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_Render(benchmark::State& state, const BenchScene& (*scene)()) {
  const int quality = int(state.range(0)), threads = int(state.range(2));
  const bool glassAndBump = state.range(1) != 0;
  SetSwitches(quality);
  Setup setup(3000, 2000, false, glassAndBump, false);
  rf::engine3d::RenderContext context;
  const BenchScene& s = scene();
  for (auto _ : state) {
    setup.Render(context, s, threads);
    benchmark::DoNotOptimize(setup.target.data());
  }
  Report(state);
}
BENCHMARK_CAPTURE(BM_Render, standard, Standard)
    ->ArgsProduct({{0, 1}, {0, 1}, {1, 2}})
    ->ArgNames({"quality", "glass_bump", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_Render, dense, Dense)
    ->ArgsProduct({{0, 1}, {0, 1}, {1, 2}})
    ->ArgNames({"quality", "glass_bump", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
