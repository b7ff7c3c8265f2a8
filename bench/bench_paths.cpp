// The path emitter on a 3000 x 2000 image: path records to curves, and
// curves to segments, for a plain rectangle, a long wavy path, and a path at
// the segment limit. Reports segments, segments per second and the peak
// resident size.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "bench/support.h"
#include "pattern/path_emitter.h"

namespace {

namespace pattern = rf::pattern;

constexpr int32_t kWidth = 3000;
constexpr int32_t kHeight = 2000;

void Put(std::vector<uint8_t>& bytes, size_t at, int32_t v, int size) {
  for (int i = 0; i < size; ++i) bytes[at + size_t(i)] = uint8_t(uint32_t(v) >> (8 * (size - 1 - i)));
}

// One open subpath through `points` (pixels), each knot with controls a
// third of the way to its neighbours.
std::vector<uint8_t> OpenPath(const std::vector<std::pair<double, double>>& points) {
  std::vector<uint8_t> bytes(26 * (1 + points.size()), 0);
  Put(bytes, 0, 3, 2);
  Put(bytes, 2, int32_t(points.size()), 2);
  for (size_t k = 0; k < points.size(); ++k) {
    const auto& p = points[k];
    const auto& a = points[k > 0 ? k - 1 : k];
    const auto& b = points[k + 1 < points.size() ? k + 1 : k];
    const double v[6] = {p.second + (a.second - p.second) / 3, p.first + (a.first - p.first) / 3, p.second, p.first,
                         p.second + (b.second - p.second) / 3, p.first + (b.first - p.first) / 3};
    const size_t at = 26 * (k + 1);
    Put(bytes, at, 4, 2);
    for (int i = 0; i < 6; ++i) {
      const double size = i % 2 == 0 ? kHeight : kWidth;
      Put(bytes, at + 2 + 4 * size_t(i), int32_t(std::lround(v[i] / size * 16777216.0)), 4);
    }
  }
  return bytes;
}

void DecodeAndBuild(benchmark::State& state, const std::vector<uint8_t>& records) {
  const pattern::ImageGeometry geometry = pattern::FinalGeometry(kWidth, kHeight);
  size_t segments = 0;
  for (auto _ : state) {
    pattern::PathCurves curves;
    pattern::DecodePathRecords(records.data(), records.size(), kWidth << 16, kHeight << 16, 72 << 16, curves);
    pattern::Emitter emitter;
    pattern::BuildPathEmitter(curves, geometry, -kWidth / 2, -kHeight / 2, emitter);
    segments = emitter.segments.size();
    benchmark::DoNotOptimize(emitter.points.data());
  }
  state.counters["segments"] = double(segments);
  state.counters["segments/s"] =
      benchmark::Counter(double(segments) * double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["peakRSS_MB"] = double(rf::bench::PeakResidentBytes()) / (1024.0 * 1024.0);
}

void BM_PathRectangle(benchmark::State& state) {
  DecodeAndBuild(state, OpenPath({{100, 100}, {2900, 100}, {2900, 1900}, {100, 1900}, {100, 100}}));
}
BENCHMARK(BM_PathRectangle)->Unit(benchmark::kMillisecond);

// 2000 knots zigzagging across the image: about 3.6 million pixels of path.
void BM_PathWavy(benchmark::State& state) {
  std::vector<std::pair<double, double>> points;
  for (int k = 0; k < 2000; ++k) points.push_back({100 + 2800.0 * k / 1999, k % 2 ? 100.0 : 1900.0});
  DecodeAndBuild(state, OpenPath(points));
}
BENCHMARK(BM_PathWavy)->Unit(benchmark::kMillisecond);

// Just under the segment limit: the worst a path can cost.
void BM_PathAtLimit(benchmark::State& state) {
  std::vector<std::pair<double, double>> points;
  const int knots = int(pattern::kMaxPathSegments * 5 / 1800) - 10;
  for (int k = 0; k < knots; ++k) points.push_back({1500.0, k % 2 ? 100.0 : 1900.0});
  DecodeAndBuild(state, OpenPath(points));
}
BENCHMARK(BM_PathAtLimit)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
