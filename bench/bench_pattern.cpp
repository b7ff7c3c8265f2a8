// Pattern growth on a 3000 x 2000 image: the ten kinds at their defaults, a
// heavy setting that still fits the budget, and a runaway one that must stop
// at it. Reports triangles, triangles per second and the peak resident size.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/support.h"
#include "pattern/pattern.h"

namespace {

using rf::pattern::GrowthStatus;

constexpr int32_t kWidth = 3000;
constexpr int32_t kHeight = 2000;

void GrowAndReport(benchmark::State& state, const rf::ParameterRecord& record, GrowthStatus expected) {
  const rf::pattern::ImageGeometry geometry = rf::pattern::FinalGeometry(kWidth, kHeight);
  size_t triangles = 0;
  for (auto _ : state) {
    rf::pattern::Emitter emitter;
    rf::pattern::BuildFixedEmitter(record.MaskKind, geometry, emitter);
    rf::pattern::PatternList list;
    const GrowthStatus status = rf::pattern::GrowPattern(record, &emitter, geometry, rf::RunHooks{}, 0, list);
    if (status != expected) {
      state.SkipWithError("unexpected growth status");
      return;
    }
    triangles = list.Count();
    benchmark::DoNotOptimize(list.First());
  }
  state.counters["triangles"] =
      benchmark::Counter(double(triangles), benchmark::Counter::kDefaults, benchmark::Counter::kIs1000);
  state.counters["triangles/s"] =
      benchmark::Counter(double(triangles) * double(state.iterations()), benchmark::Counter::kIsRate,
                         benchmark::Counter::kIs1000);
  state.counters["peakRSS_MB"] = double(rf::bench::PeakResidentBytes()) / (1024.0 * 1024.0);
}

rf::ParameterRecord Kind(uint8_t effectKind, uint8_t patternKind) {
  rf::ParameterRecord r;
  rf::ResetToDefaults(r);
  r.EffectKind = effectKind;
  r.PatternKind = patternKind;
  return r;
}

void BM_DefaultPattern(benchmark::State& state) {
  GrowAndReport(state, Kind(uint8_t(state.range(0)), uint8_t(state.range(1))), GrowthStatus::Ok);
}
// Geometric 1-3, Floral 1-3 (Floral 3 is the default pattern), Single 1-4.
BENCHMARK(BM_DefaultPattern)
    ->ArgNames({"family", "kind"})
    ->Args({1, 1})->Args({1, 2})->Args({1, 3})
    ->Args({2, 1})->Args({2, 2})->Args({2, 3})
    ->Args({3, 1})->Args({3, 2})->Args({3, 3})->Args({3, 4})
    ->Unit(benchmark::kMillisecond);

// Dense, deep fans around the whole perimeter: most of a million triangles.
void BM_HeavyGeometric(benchmark::State& state) {
  rf::ParameterRecord r = Kind(1, 1);
  r.MaskKind = 4;
  r.MinInterval = 5;
  r.MaxIterations = 5;
  GrowAndReport(state, r, GrowthStatus::Ok);
}
BENCHMARK(BM_HeavyGeometric)->Unit(benchmark::kMillisecond)->Iterations(2);

// The widest ranges: growth must reach the budget and stop.
void BM_RunawayStopsAtBudget(benchmark::State& state) {
  rf::ParameterRecord r = Kind(1, 1);
  r.MaxIterations = 10;
  r.MaxTriangles = 30;
  GrowAndReport(state, r, GrowthStatus::OutOfBudget);
}
BENCHMARK(BM_RunawayStopsAtBudget)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
