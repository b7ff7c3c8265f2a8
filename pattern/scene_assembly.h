// Rimeflower: scene assembly, the one call that turns the parameter record
// into rendered pixels, for the final run and for every preview.
#pragma once

#include <cstdint>

#include "engine3d/engine3d.h"
#include "host/record/parameters.h"

namespace rf::pattern {

// Initialises the output buffer of the run state (a copy of the source, or
// all zero when `AlphaCut` is set), builds the scene or reuses the cached
// one, and renders the effect into it. Answers a host result: 0; -108 when
// the pattern or the scene does not fit in memory (the user has been told);
// -128 when the host asked to stop. On failure the output buffer holds no
// effect and the host's image is to be left alone.
int16_t RenderEffect();

// The body of RenderEffect, after the output buffer has been initialised.
int16_t BuildAndRender();

// Releases the cached scene arrays of the record and marks it dirty.
void ReleaseCachedScene(ParameterRecord& record);
// Releases the record's bump source.
void ReleaseTextureCache(ParameterRecord& record);

// The record lives in a host handle and may come back from an earlier load
// of the module, or from a host that saved it: its pointer fields are
// trusted only when this module made them. Others are cleared, never freed.
void ForgetForeignPointers(ParameterRecord& record);

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
