// Rimeflower: the contour emitter, which grows the pattern along the borders
// of the selection or, without one, of the image's brightness bands.
#pragma once

#include <cstdint>

#include "host/record/run_state.h"
#include "pattern/pattern.h"

namespace rf::pattern {

// Builds the emitter from the run's selection (when the host supplies one)
// or from the banded brightness of `rgba` (width x height, the buffer's
// pixels), traced into border lines. The shifts move mask pixels to the
// centred frame (-W/2, -H/2). An empty emitter when nothing was traced.
void BuildMaskEmitter(const RunState& run, const uint8_t* rgba, const ImageGeometry& geometry, float xShift,
                      float yShift, Emitter& out);

// The same from a ready label mask (width x height bytes, rows packed).
void BuildEmitterFromMask(const uint8_t* mask, const ImageGeometry& geometry, float xShift, float yShift,
                          Emitter& out);

}  // namespace rf::pattern
