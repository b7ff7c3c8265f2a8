// Rimeflower: the filter run, which moves pixels between host and plug-in.
//
// Every function takes the host's call, the run state and the record it
// works on; the results are host result codes.
#pragma once

#include <cstdint>

#include "host/plugin_main.h"
#include "host/record/parameters.h"
#include "host/record/run_state.h"
#include "pattern/path_emitter.h"
#include "pattern/scene_cache.h"

namespace rf::host {

// Told when the working buffers or the preview source cannot be had.
constexpr const char* kPreviewAllocText = "Cannot allocate so big intermedia memory\nTry to use smaller pictures";

// Start selector, after the dialog: fetches the whole filter rectangle in
// one piece, renders the effect and writes it back.
int16_t RunFilter(const HostCall& call, RunState& run, ParameterRecord& record, pattern::SceneCache& cache);

// Renders into the output buffer and writes it to the host's outData. Used
// by the final run and by the dialog's preview. `paths` are the document's
// curves as the dialog read them when it opened; null in a final run, which
// reads them afresh. Either way `Emitter Type` is resolved against them
// first, so that "Auto" previews what the final run will render.
int16_t RenderAndWriteBack(const HostCall& call, RunState& run, ParameterRecord& record,
                           pattern::SceneCache& cache, const pattern::PathCurves* paths);

// What the run needs to know of the host's document before it converts or
// renders anything: depth, colour mode, transparency, selection, filter
// size. The preview reads a new source before it renders, so it takes them
// first too.
void TakeDocumentFacts(const FilterRecord& fr, RunState& run);

// Fills the source buffer from the host's inData (new source and output
// buffers of the output rectangle's size). False when they cannot be had.
// `Later` leaves the RGB conversion to the render's first pass over the
// image (`RunState::pendingSource`), for the final run, whose inData stays
// put until the render is over.
enum class SourceReading { Now, Later };
bool LoadSource(const HostCall& call, RunState& run, ParameterRecord& record,
                SourceReading reading = SourceReading::Now);

// The whole filter rectangle, read once per dialog for its overview image.
// It is read again when the document it was read from is not the host's
// current one (another size, filter area, plane count or mode), so that a
// buffer kept from another document is never read past its end.
struct PreviewSourceBuffer {
  uint8_t* pixels = nullptr;  // RGBA, filter width x height, committed pages
  bool loaded = false;
  VRect filter{};  // what it was read from
  int16_t planes = 0, mode = 0;
};
int16_t LoadPreviewSource(const HostCall& call, PreviewSourceBuffer& preview);
void ReleasePreviewSource(PreviewSourceBuffer& preview);

// The filter rectangle, from the 32-bit record when the host has one.
VRect FilterRect(const FilterRecord& fr);
// Requests the input, output and mask rectangles, in both coordinate forms,
// and every plane.
void SetRequest(FilterRecord& fr, const VRect& in, const VRect& out, const VRect& mask);
void RequestAllPlanes(FilterRecord& fr);

// The conversions of 16-bit samples (0..32768) to 8 bits and back.
uint8_t SampleFrom16(uint16_t v);
uint16_t SampleTo16(uint8_t v);

// Releases the working buffers and the record's bump source (end of a final
// run, or unloading).
void ReleaseWorkingBuffers(RunState& run, ParameterRecord& record, pattern::SceneCache& cache);

}  // namespace rf::host
