// Rimeflower: the contour emitter, which grows the pattern along the borders
// of the selection or, without one, of the image's brightness bands.
#pragma once

#include <cstdint>

#include "host/record/run_state.h"
#include "pattern/pattern.h"

namespace rf::pattern {

// What a contour emitter came to.
enum class ContourStatus {
  Traced,    // the emitter holds the lines (possibly none)
  TooComplex // the mask has more borders than the contour work may take
             // memory for: show kContoursTooComplexMessage, answer -108
};

extern const char kContoursTooComplexMessage[];

// Builds the emitter from the run's selection (when the host supplies one)
// or from the banded brightness of `rgba` (width x height, the buffer's
// pixels), traced into border lines. The shifts move mask pixels to the
// centred frame (-W/2, -H/2). An empty emitter when nothing was traced.
// The contour work is held to the run's memory budget.
ContourStatus BuildMaskEmitter(const RunState& run, const uint8_t* rgba, const ImageGeometry& geometry,
                               float xShift, float yShift, Emitter& out);

// The same from a ready label mask (width x height bytes, rows packed);
// `memoryBudget` 0 is the mesher's own limit.
ContourStatus BuildEmitterFromMask(const uint8_t* mask, const ImageGeometry& geometry, float xShift, float yShift,
                                   Emitter& out, uint64_t memoryBudget = 0);

}  // namespace rf::pattern
