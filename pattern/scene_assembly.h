// Rimeflower: scene assembly, the one call that turns the parameter record
// into rendered pixels, for the final run and for every preview.
#pragma once

#include <cstdint>

#include "engine3d/engine3d.h"
#include "host/record/parameters.h"
#include "host/record/run_state.h"
#include "pattern/path_emitter.h"

namespace rf::pattern {

class SceneCache;

// Shown when the engine cannot have its work buffers for the image.
extern const char kRenderTooLargeMessage[];

// Renders the effect of `record` into the run's output buffer: builds the
// scene from the emitter (the document's `paths`, the run's selection or
// image contours, or a fixed layout) when `SceneDirty` is set, or reuses the
// scene kept in the record and owned by `cache`; fills the output with its
// background (a copy of the source, a transparent or a coloured ground) and
// renders over it. A final run (the dialog closed) releases the kept scene
// and the bump source afterwards. Answers a host result: 0; -108 when the
// pattern or the scene does not fit in memory (the user has been told);
// -128 when the host asked to stop. On failure the output buffer holds no
// effect and the host's image is to be left alone.
int16_t RenderEffect(const RunState& run, ParameterRecord& record, const PathCurves& paths, SceneCache& cache);

// The body of RenderEffect, without the release of a final run.
int16_t BuildAndRender(const RunState& run, ParameterRecord& record, const PathCurves& paths, SceneCache& cache);

// ---- The scene records, public for tests -----------------------------------

// `__SetDrawMode` value for a `RenderMode`.
uint8_t DrawModeFor(uint8_t renderMode);

// The material, the two lights and the glass record of the record's values;
// `preview` and `ratio` (W / DW) as in the run.
material3ds MakeMaterial(const ParameterRecord& record, bool withBump, bool preview);
void MakeLights(const ParameterRecord& record, light3ds lights[2]);
GlassProp MakeGlass(const ParameterRecord& record, double ratio);

// Texture coordinates of the three corners of every triangle: corner 0 sits
// where the rays of the bump picture meet.
constexpr float kCornerU[3] = {0.5f, 0.01f, 0.98f};
constexpr float kCornerV[3] = {0.98f, 0.01f, 0.01f};

}  // namespace rf::pattern
