// The whole filter as a host runs it: the built module loaded by our host
// library, the defaults (Floral 3 on the U-like layout, glass and bump,
// quality 1) applied to a 3000 x 2000 RGB photograph-like document, on one
// processor and on all the process may use. Beside it, the same run with a
// pattern that draws nothing (everything but growth and rasterising:
// allocation, conversions, background, write-back, texture) and a plain copy
// of the document's bytes, measured in the same run.
#include <benchmark/benchmark.h>
#include <sched.h>
#include <sys/mman.h>

#include <cstring>
#include <string>
#include <vector>

#include "bench/support.h"
#include "host/interface/host_interface.h"
#include "tools/hostlib/plugin_host.h"
#include "tools/imagefile/document_image.h"
#include "tools/imagefile/sample_image.h"

namespace rf::bench {
namespace {

constexpr int kWidth = 3000, kHeight = 2000;

const tools::HostDocument& Photograph() {
  static const tools::HostDocument doc = [] {
    tools::HostDocument d;
    std::string error;
    tools::DocumentFromImage(tools::MakeSampleImage(kWidth, kHeight), d, error);
    return d;
  }();
  return doc;
}

tools::PluginHost& Host() {
  static tools::PluginHost host;
  static const bool loaded = [] {
    std::string error;
    return host.Load(RF_MODULE_PATH, error);
  }();
  (void)loaded;
  return host;
}

// The process's processors narrowed for one benchmark, then given back.
class ProcessorLimit {
 public:
  explicit ProcessorLimit(int count) {
    sched_getaffinity(0, sizeof(saved_), &saved_);
    if (count <= 0) return;
    cpu_set_t kept;
    CPU_ZERO(&kept);
    for (int cpu = 0, taken = 0; cpu < CPU_SETSIZE && taken < count; ++cpu)
      if (CPU_ISSET(cpu, &saved_)) CPU_SET(cpu, &kept), ++taken;
    sched_setaffinity(0, sizeof(kept), &kept);
  }
  ~ProcessorLimit() { sched_setaffinity(0, sizeof(saved_), &saved_); }

 private:
  cpu_set_t saved_;
};

void RunFilter(benchmark::State& state, bool drawNothing) {
  const ProcessorLimit limit(int(state.range(0)));
  tools::HostDescriptor script;
  ParameterRecord defaults;
  ResetToDefaults(defaults, true);
  script = tools::DescriptorFromRecord(defaults);
  if (drawNothing) {
    script.PutInteger(FourCC("EfKn"), 3);  // the single family ...
    script.PutInteger(FourCC("PtrK"), 99);  // ... with a figure number that draws nothing
  }
  tools::RunOptions options;
  options.script = &script;
  tools::HostDocument doc;
  for (auto _ : state) {
    state.PauseTiming();
    doc = Photograph();
    state.ResumeTiming();
    const tools::RunReport report = Host().Run(doc, options);
    if (report.result != 0) state.SkipWithError("the filter failed");
  }
  state.counters["MP/s"] = benchmark::Counter(double(kWidth) * kHeight / 1e6, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["peak_MB"] = double(PeakResidentBytes()) / (1 << 20);
}

void BM_WholeFilterAtTheDefaults(benchmark::State& state) { RunFilter(state, false); }
void BM_FilterDrawingNothing(benchmark::State& state) { RunFilter(state, true); }

void BM_CopyOfTheDocument(benchmark::State& state) {
  const std::vector<uint8_t>& from = Photograph().pixels;
  std::vector<uint8_t> to(from.size());
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size());
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
}

// The same copy into memory fresh from the system, as a filter's result
// must be: the first touch of each page is part of the cost. (A heap
// allocation would hand back the pages of the last iteration.)
void BM_CopyOfTheDocumentIntoNewMemory(benchmark::State& state) {
  const std::vector<uint8_t>& from = Photograph().pixels;
  for (auto _ : state) {
    void* to = mmap(nullptr, from.size(), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (to == MAP_FAILED) {
      state.SkipWithError("no memory");
      return;
    }
    madvise(to, from.size(), MADV_HUGEPAGE);  // as the module asks for its image buffers
    std::memcpy(to, from.data(), from.size());
    benchmark::DoNotOptimize(to);
    benchmark::ClobberMemory();
    munmap(to, from.size());
  }
}

// Argument: processors (0: all the process may use). Five repetitions each;
// "min" is the figure to read on a busy machine.
void Repeated(benchmark::internal::Benchmark* b) {
  b->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ComputeStatistics("min", Fastest);
}
BENCHMARK(BM_WholeFilterAtTheDefaults)->Arg(1)->Arg(0)->Apply(Repeated);
BENCHMARK(BM_FilterDrawingNothing)->Arg(1)->Arg(0)->Apply(Repeated);
BENCHMARK(BM_CopyOfTheDocument)->Apply(Repeated);
BENCHMARK(BM_CopyOfTheDocumentIntoNewMemory)->Apply(Repeated);

}  // namespace
}  // namespace rf::bench
BENCHMARK_MAIN();
