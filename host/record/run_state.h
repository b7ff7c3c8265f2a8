// Rimeflower: the state of one filter run.
//
// The host's image is converted into an 8-bit RGBA source buffer; scene
// assembly renders into an output buffer of the same form, which the run then
// writes back to the host. The entry point owns one RunState and hands it,
// with the parameter record, to every step between those two, so the same
// code serves the final run (scale 1, no offsets) and the dialog's preview
// (reduced, scrolled).
#pragma once

#include <cstddef>
#include <cstdint>


namespace rf {

// Callbacks into the host for long work: growth and rendering poll
// `TestAbort` now and then, and report progress at fixed marks. Both may be
// null (tools, tests).
struct RunHooks {
  void* context = nullptr;
  bool (*testAbort)(void* context) = nullptr;
  void (*progress)(void* context, int32_t done, int32_t total) = nullptr;
};

// The host's image, when a final run has not read it into `source` yet:
// `fill` converts rows [first, last) of it into rows of `source`. It calls
// nothing of the host's, so it may run on any thread; the run reads the
// image in the same pass that lays the output's background, beside the
// growth of the pattern.
struct PendingSource {
  void (*fill)(const PendingSource& from, uint8_t* rgba, int32_t width, int32_t first, int32_t last) = nullptr;
  const uint8_t* pixels = nullptr;
  int32_t rowBytes = 0;
  int32_t planes = 0;
  bool deep = false;
};

struct RunState {
  // Working buffers: R, G, B, A per pixel, rows packed, committed pages.
  uint8_t* source = nullptr;
  uint8_t* output = nullptr;
  PendingSource pendingSource;
  int32_t width = 0;   // of the output rectangle
  int32_t height = 0;
  int32_t rowStride = 0;  // width x 4
  int32_t pixelStride = 4;

  // Size of the whole filter rectangle: the centre and the fixed layouts are
  // measured against it, also when the preview shows a part of it.
  int32_t filterWidth = 0;
  int32_t filterHeight = 0;

  bool cmyk = false;
  bool deep = false;  // the host's depth is 16
  // The image has a transparency plane (more than 3 planes in RGB, more
  // than 4 in CMYK): `AlphaCut` then leaves a transparent background.
  bool hasAlphaPlane = false;

  // The host's selection, for the contour emitter.
  bool haveMask = false;
  const uint8_t* maskData = nullptr;
  int32_t maskRowBytes = 0;

  double previewScale = 1.0;
  int32_t previewOffsetX = 0;
  int32_t previewOffsetY = 0;
  bool dialogOpen = false;

  // How many bytes the pattern and the scene may take at most; derived from
  // the memory the host allows. 0: no host limit known.
  uint64_t memoryBudgetBytes = 0;

  // Rendering threads; 0: one per processor the process may use.
  int32_t threads = 0;

  RunHooks hooks;

  bool TestAbort() const { return hooks.testAbort && hooks.testAbort(hooks.context); }
  void Progress(int32_t done, int32_t total) const {
    if (hooks.progress) hooks.progress(hooks.context, done, total);
  }
};

}  // namespace rf
