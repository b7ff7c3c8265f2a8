// The dialog's preview after a change: from the new value to the picture the
// preview paints, at the preview's default size (the smallest window at 96
// dots per inch: 488 x 424) and at 1000 x 700 (a large window), with the
// values at their defaults. A material
// change renders the kept scene again; a geometry change regrows it first.
// Measured: the render through the host's buffers (the same path as the
// final run), the write-back, the picture read back and composed, and the
// container's painting into its pixel buffer. Not measured: copying that
// buffer to the screen, which is Windows' own.
//
// The document is twice the view each way (976 x 848, 2000 x 1400), shown
// whole at 50 % (scale 2) and in the middle at 100 % (scale 1, where the
// pattern is grown for the full size).
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "host/interface/result_codes.h"
#include "host/preview.h"
#include "ui/controls/preview.h"

namespace {

using namespace rf;
using namespace rf::host;

int32_t kDocWidth = 976, kDocHeight = 848;  // set by each benchmark

// An RGB document served as an image editor serves it, areas subsampled on
// request.
struct FakeHost {
  std::vector<uint8_t> input, output, delivered;
  FilterRecord fr{};
  BigDocumentStruct big{};
};
FakeHost* g_host = nullptr;

OSErr Advance() {
  FakeHost& h = *g_host;
  const VRect in = h.big.inRect32, out = h.big.outRect32;
  const int32_t s = h.fr.inputRate >> 16;  // the area is in sampled pixels
  const int32_t w = in.right - in.left, ht = in.bottom - in.top;
  h.delivered.resize(size_t(w) * ht * 3);
  for (int32_t y = 0; y < ht; ++y)
    for (int32_t x = 0; x < w; ++x)
      std::memcpy(&h.delivered[(size_t(y) * w + x) * 3],
                  &h.input[((size_t(in.top) + y) * s * kDocWidth + (size_t(in.left) + x) * s) * 3], 3);
  h.fr.inData = h.delivered.data();
  h.fr.inRowBytes = w * 3;
  h.fr.outData = h.output.data() + (size_t(out.top) * kDocWidth + out.left) * 3;
  h.fr.outRowBytes = kDocWidth * 3;
  return 0;
}

void BM_PreviewAfterChange(benchmark::State& state) {
  const bool geometry = state.range(0) != 0;
  const int32_t scale = int32_t(state.range(1));
  const int32_t kViewWidth = int32_t(state.range(2)), kViewHeight = int32_t(state.range(3));
  kDocWidth = 2 * kViewWidth;
  kDocHeight = 2 * kViewHeight;
  FakeHost host;
  g_host = &host;
  host.input.resize(size_t(kDocWidth) * kDocHeight * 3);
  for (int32_t y = 0; y < kDocHeight; ++y)
    for (int32_t x = 0; x < kDocWidth; ++x) {
      uint8_t* p = &host.input[(size_t(y) * kDocWidth + x) * 3];
      p[0] = uint8_t(40 + 150 * x / kDocWidth);
      p[1] = uint8_t(60 + 120 * y / kDocHeight);
      p[2] = uint8_t(((x * 7) ^ (y * 13)) & 0x7F);
    }
  host.output = host.input;
  host.fr.planes = 3;
  host.fr.imageMode = kModeRGBColor;
  host.fr.depth = 8;
  host.fr.advanceState = Advance;
  host.big.filterRect32 = VRect{0, 0, kDocHeight, kDocWidth};
  host.fr.bigDocumentData = &host.big;

  ParameterRecord record{};
  ResetToDefaults(record);
  RunState run;
  pattern::SceneCache cache;
  const HostCall call{&host.fr, nullptr, nullptr};
  PreviewSession session(call, run, record, cache);
  session.Begin();
  ui::PreviewView view{scale, 0, 0, kViewWidth, kViewHeight};
  if (scale == 1) {
    view.offsetX = (kDocWidth - kViewWidth) / 2;
    view.offsetY = (kDocHeight - kViewHeight) / 2;
  }
  ui::PreviewPicture picture;
  if (session.Render(view, false, picture) != kNoErr) {
    state.SkipWithError("the first preview failed");
    return;
  }
  controls::PreviewShared shared;
  shared.imageWidth = kDocWidth;
  shared.imageHeight = kDocHeight;
  shared.zoom = float(scale);
  controls::PreviewRecord container;
  container.width = kViewWidth;
  container.height = kViewHeight;
  container.shared = &shared;
  controls::Canvas canvas(kViewWidth, kViewHeight);
  std::vector<uint32_t> client(size_t(kViewWidth) * kViewHeight);
  uint32_t step = 0;
  for (auto _ : state) {
    if (geometry) {
      record.RandomSeed = ++step % 100;
      record.SceneDirty = 1;
    } else {
      record.Diffuse = 0xC0C0C0 ^ ((++step & 0x1F) << 8);
    }
    if (session.Render(view, false, picture) != kNoErr) {
      state.SkipWithError("a preview failed");
      return;
    }
    std::memcpy(client.data(), picture.pixels.data(), client.size() * 4);
    container.SetPicture(client.data(), kViewWidth, kViewHeight);
    controls::PaintPreview(canvas, container, 0xE8E8E8);
    benchmark::DoNotOptimize(canvas.Data());
  }
  state.counters["triangles"] = double(record.CachedTriangleCount);
  g_host = nullptr;
}
BENCHMARK(BM_PreviewAfterChange)
    ->ArgNames({"geometry", "scale", "w", "h"})
    ->Args({0, 2, 488, 424})->Args({1, 2, 488, 424})->Args({0, 1, 488, 424})->Args({1, 1, 488, 424})
    ->Args({0, 2, 1000, 700})->Args({1, 2, 1000, 700})->Args({0, 1, 1000, 700})->Args({1, 1, 1000, 700})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
BENCHMARK_MAIN();
