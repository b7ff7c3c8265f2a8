// Contour meshing: the brightness median and the whole contour build, in
// milliseconds per megapixel ("ms/MP"), and the masks a careless or hostile
// user can hand the mesher (a checkerboard, noise, thousands of specks) with
// the peak memory each one takes ("peak_MB", resident, for that benchmark
// alone). A hostile build may stop at the mesher's budget: "ok" is 0 then and
// the time is how long it took to give up.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "bench/support.h"
#include "mesh/brightness_mask.h"
#include "mesh/mesh_builder.h"

namespace {

constexpr int32_t kPhotoWidth = 4000;
constexpr int32_t kPhotoHeight = 3000;
constexpr int32_t kHostileSize = 3000;

// ---- Peak memory of one benchmark -------------------------------------------
//
// The process-wide peak only grows, so a later benchmark would inherit an
// earlier one's figure. Linux lets a process reset its high-water mark.

bool ResetPeak() {
  FILE* f = std::fopen("/proc/self/clear_refs", "w");
  if (!f) return false;
  const bool ok = std::fputs("5", f) >= 0;
  return std::fclose(f) == 0 && ok;
}

uint64_t PeakBytes() {
  FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return rf::bench::PeakResidentBytes();
  char line[256];
  uint64_t kib = 0;
  while (std::fgets(line, sizeof line, f)) {
    if (std::strncmp(line, "VmHWM:", 6) == 0) kib = std::strtoull(line + 6, nullptr, 10);
  }
  std::fclose(f);
  return kib ? kib * 1024u : rf::bench::PeakResidentBytes();
}

// ---- Masks ----------------------------------------------------------------------

// Something like a photograph: smooth light falling across the frame, a few
// soft and a few hard-edged objects, fine texture and sensor noise.
const std::vector<uint8_t>& Photograph() {
  static const std::vector<uint8_t> rgba = [] {
    std::vector<uint8_t> px(size_t(kPhotoWidth) * kPhotoHeight * 4);
    std::mt19937 random(42);
    std::normal_distribution<float> noise(0.0f, 6.0f);
    struct Blob {
      float x, y, r, level;
    };
    std::vector<Blob> blobs;
    for (int i = 0; i < 40; ++i) {
      blobs.push_back({float(random() % kPhotoWidth), float(random() % kPhotoHeight), float(80 + random() % 500),
                       float(int(random() % 200) - 100)});
    }
    for (int32_t y = 0; y < kPhotoHeight; ++y) {
      for (int32_t x = 0; x < kPhotoWidth; ++x) {
        float v = 60.0f + 120.0f * float(x) / kPhotoWidth + 40.0f * std::sin(float(y) * 0.002f);
        for (const Blob& b : blobs) {
          const float dx = float(x) - b.x, dy = float(y) - b.y;
          const float d2 = dx * dx + dy * dy;
          if (d2 < b.r * b.r) v += b.level * (b.level > 50 ? 1.0f : 1.0f - d2 / (b.r * b.r));
        }
        v += 10.0f * std::sin(float(x) * 0.3f) * std::sin(float(y) * 0.27f) + noise(random);
        uint8_t* p = &px[(size_t(y) * kPhotoWidth + size_t(x)) * 4];
        const float g = std::fmin(255.0f, std::fmax(0.0f, v));
        p[0] = uint8_t(std::fmin(255.0f, g * 1.1f));
        p[1] = uint8_t(g);
        p[2] = uint8_t(g * 0.8f);
        p[3] = 255;
      }
    }
    return px;
  }();
  return rgba;
}

// Many small discs of three labels on a fourth: a selection made of specks,
// or a detailed texture. Most of the time goes to lines rather than pixels.
std::vector<uint8_t> SmallRegions(int32_t size) {
  std::vector<uint8_t> mask(size_t(size) * size, 0);
  std::mt19937 random(7);
  for (int i = 0; i < 60000; ++i) {
    const int32_t cx = int32_t(random() % size), cy = int32_t(random() % size);
    const int32_t r = 2 + int32_t(random() % 5);
    const uint8_t label = uint8_t(84 * (1 + random() % 3));
    for (int32_t y = std::max(0, cy - r); y < std::min(size, cy + r); ++y)
      for (int32_t x = std::max(0, cx - r); x < std::min(size, cx + r); ++x)
        if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r) mask[size_t(y) * size + size_t(x)] = label;
  }
  return mask;
}

// Every corner a saddle of two labels: the longest lines a mask can make.
std::vector<uint8_t> Checkerboard(int32_t size) {
  std::vector<uint8_t> mask(size_t(size) * size);
  for (int32_t y = 0; y < size; ++y)
    for (int32_t x = 0; x < size; ++x) mask[size_t(y) * size + size_t(x)] = (x + y) % 2 ? 255 : 0;
  return mask;
}

// A checkerboard of `patch` x `patch` pixels in the middle of a plain mask:
// at about 1000 the largest that fits the default budget, and so the
// slowest mask that is not refused.
std::vector<uint8_t> CheckerboardPatch(int32_t size, int32_t patch) {
  std::vector<uint8_t> mask(size_t(size) * size, 0);
  const int32_t from = (size - patch) / 2;
  for (int32_t y = from; y < from + patch; ++y)
    for (int32_t x = from; x < from + patch; ++x) mask[size_t(y) * size + size_t(x)] = (x + y) % 2 ? 255 : 0;
  return mask;
}

// Independent pixels of `labels` values 84 apart: two labels behave like a
// noisy selection, four make a junction at most corners and a line for
// nearly every crack.
std::vector<uint8_t> Noise(int32_t size, int labels) {
  std::vector<uint8_t> mask(size_t(size) * size);
  std::mt19937 random(11);
  for (uint8_t& v : mask) v = uint8_t(random() % unsigned(labels) * (labels == 2 ? 255 : 84));
  return mask;
}

// ---- Runs -----------------------------------------------------------------------

void ReportPerMegapixel(benchmark::State& state, double pixels) {
  state.counters["ms/MP"] =
      benchmark::Counter(pixels / 1e9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Builds the contours of `mask` once per iteration. `mayStop` marks the
// hostile masks, for which a refusal at the budget is an answer too.
void RunContours(benchmark::State& state, const std::vector<uint8_t>& mask, int32_t width, int32_t height,
                 bool mayStop) {
  int32_t vertexCount = 0;
  int32_t segmentCount = 0;
  bool ok = true;
  ResetPeak();
  for (auto _ : state) {
    rf::mesh::CMeshBuilder builder;
    rf::mesh::ContourVertex* vertices = nullptr;
    rf::mesh::ContourSegment* segments = nullptr;
    ok = builder.BuildContourLines(width, height, width, mask.data(), 1.0f, 30, vertexCount, segmentCount, vertices,
                                   segments);
    if (!ok && !mayStop) {
      state.SkipWithError("BuildContourLines failed");
      return;
    }
    if (!ok) vertexCount = 0;
    rf::mesh::ReleaseContourArrays(vertices, segments);
  }
  state.counters["vertices"] = double(vertexCount);
  state.counters["ok"] = ok ? 1.0 : 0.0;
  state.counters["peak_MB"] = double(PeakBytes()) / 1e6;
  ReportPerMegapixel(state, double(width) * double(height));
}

void BM_Median11(benchmark::State& state) {
  const std::vector<uint8_t>& rgba = Photograph();
  const size_t pixels = size_t(kPhotoWidth) * kPhotoHeight;
  std::vector<uint8_t> brightness(pixels), median(pixels);
  rf::mesh::ComputeBrightness(rgba.data(), pixels, brightness.data());
  for (auto _ : state) {
    rf::mesh::MedianFilter11(brightness.data(), kPhotoWidth, kPhotoHeight, median.data());
    benchmark::DoNotOptimize(median.data());
  }
  ReportPerMegapixel(state, double(pixels));
}
BENCHMARK(BM_Median11)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BrightnessMask(benchmark::State& state) {
  const std::vector<uint8_t>& rgba = Photograph();
  const size_t pixels = size_t(kPhotoWidth) * kPhotoHeight;
  std::vector<uint8_t> mask(pixels);
  for (auto _ : state) {
    rf::mesh::BuildBrightnessMask(rgba.data(), kPhotoWidth, kPhotoHeight, mask.data());
    benchmark::DoNotOptimize(mask.data());
  }
  ReportPerMegapixel(state, double(pixels));
}
BENCHMARK(BM_BrightnessMask)->Unit(benchmark::kMillisecond)->UseRealTime();

// The mask the plug-in traces for a photograph without a selection.
void BM_ContoursOfPhotograph(benchmark::State& state) {
  const std::vector<uint8_t>& rgba = Photograph();
  std::vector<uint8_t> mask(size_t(kPhotoWidth) * kPhotoHeight);
  rf::mesh::BuildBrightnessMask(rgba.data(), kPhotoWidth, kPhotoHeight, mask.data());
  RunContours(state, mask, kPhotoWidth, kPhotoHeight, false);
}
BENCHMARK(BM_ContoursOfPhotograph)->Unit(benchmark::kMillisecond)->UseRealTime();

// Median plus contours: what the mask emitter costs end to end.
void BM_PhotographEndToEnd(benchmark::State& state) {
  const std::vector<uint8_t>& rgba = Photograph();
  std::vector<uint8_t> mask(size_t(kPhotoWidth) * kPhotoHeight);
  for (auto _ : state) {
    rf::mesh::BuildBrightnessMask(rgba.data(), kPhotoWidth, kPhotoHeight, mask.data());
    rf::mesh::CMeshBuilder builder;
    int32_t vertexCount = 0, segmentCount = 0;
    rf::mesh::ContourVertex* vertices = nullptr;
    rf::mesh::ContourSegment* segments = nullptr;
    builder.BuildContourLines(kPhotoWidth, kPhotoHeight, kPhotoWidth, mask.data(), 1.0f, 30, vertexCount,
                              segmentCount, vertices, segments);
    rf::mesh::ReleaseContourArrays(vertices, segments);
  }
  ReportPerMegapixel(state, double(kPhotoWidth) * kPhotoHeight);
}
BENCHMARK(BM_PhotographEndToEnd)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ContoursOfSmallRegions(benchmark::State& state) {
  const int32_t size = 2000;
  RunContours(state, SmallRegions(size), size, size, false);
}
BENCHMARK(BM_ContoursOfSmallRegions)->Unit(benchmark::kMillisecond)->UseRealTime();

// The hostile masks run once: each takes seconds.
void BM_HostileCheckerboard(benchmark::State& state) {
  RunContours(state, Checkerboard(kHostileSize), kHostileSize, kHostileSize, true);
}
BENCHMARK(BM_HostileCheckerboard)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void BM_HostileCheckerboardPatch(benchmark::State& state) {
  RunContours(state, CheckerboardPatch(kHostileSize, int32_t(state.range(0))), kHostileSize, kHostileSize, true);
}
BENCHMARK(BM_HostileCheckerboardPatch)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void BM_HostileNoise(benchmark::State& state) {
  const int labels = int(state.range(0));
  RunContours(state, Noise(kHostileSize, labels), kHostileSize, kHostileSize, true);
}
BENCHMARK(BM_HostileNoise)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void BM_HostileSmallRegions(benchmark::State& state) {
  RunContours(state, SmallRegions(kHostileSize), kHostileSize, kHostileSize, true);
}
BENCHMARK(BM_HostileSmallRegions)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
