// Rimeflower: scene assembly, the boundary between the filter run and the
// pattern and renderer.
#pragma once

#include <cstdint>

namespace rf::pattern {

// Initialises the output buffer of the run state (a copy of the source, or
// all zero when `AlphaCut` is set), builds or reuses the scene and renders
// the effect into it. Answers a host result code: 0, -108 when the pattern
// or the scene does not fit the memory budget, -128 when the host asked to
// abort.
int16_t RenderEffect();

}  // namespace rf::pattern
