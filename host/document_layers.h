// Rimeflower: the document's layers behind the dialog's preview.
//
// While the dialog is open the preview shows the effect on the target layer
// in its place in the document: over the visible layers below it, and over a
// grey checkerboard where those are transparent. The layers are read once,
// when the dialog opens, through the host's document description and channel
// ports; the final run never uses them and works on the host's input.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/plugin_main.h"
#include "host/record/parameters.h"
#include "host/record/run_state.h"
#include "ui/dialog_host.h"

namespace rf::host {

// A layer's pixels over the filter rectangle: `channels` planes of
// width x height samples, one plane after the other, 8 or 16 bits a sample
// (16-bit samples run 0..32768). The colour channels come first; an image of
// a document with a transparency plane has one alpha channel after them.
struct LayerImage {
  uint8_t* pixels = nullptr;  // committed pages; null: no image
  int32_t width = 0;
  int32_t height = 0;
  int32_t colourChannels = 0;
  int32_t channels = 0;
  int32_t depth = 8;
  bool cmyk = false;

  bool HasAlpha() const { return channels > colourChannels; }
  size_t SampleBytes() const { return depth == 16 ? 2 : 1; }
  size_t PlaneBytes() const { return size_t(width) * size_t(height) * SampleBytes(); }
  uint8_t* Plane(int32_t channel) const { return pixels + size_t(channel) * PlaneBytes(); }
  // Sample of `channel` at (x, y), in 8 bits.
  uint8_t Sample8(int32_t channel, int32_t x, int32_t y) const;
};

// What the dialog keeps from the document while it is open.
struct DocumentLayers {
  LayerImage backdrop;  // the visible layers below the target, composed
  LayerImage target;    // the target layer's own pixels; no pixels: none found
  // The preview's background for the last view: R, G, B per pixel,
  // backgroundWidth x backgroundHeight, rows packed, committed pages.
  uint8_t* background = nullptr;
  int32_t backgroundWidth = 0;
  int32_t backgroundHeight = 0;
};

// Reads the layers: finds the target layer by the name the host gives for
// it, composes the visible layers below it into the backdrop and keeps the
// target's pixels; layers above it are never read. A host without a layer
// list or without a name for the target leaves the backdrop clear and no
// target. Answers -108 when the images cannot be allocated; a layer whose
// channels cannot be read ends the walk with its error, keeping what was
// composed. A target name that no layer carries leaves the backdrop clear
// too (the host's input then shows the target).
int16_t ReadDocumentLayers(const HostCall& call, DocumentLayers& layers);

// Fills the run's source buffer (run.width x run.height) from the target
// image at the run's preview scale and offsets, coordinates limited to the
// image; CMYK through the host's colour conversion.
void FillSourceFromTarget(const HostCall& call, const DocumentLayers& layers, RunState& run);

// Builds the background for the run's view from the backdrop: with an alpha
// channel the backdrop over a checkerboard of 7 x 7-pixel squares of grey 255
// and 204, without one the backdrop's colours. Answers -108 when the buffer
// cannot be allocated.
int16_t BuildPreviewBackground(const HostCall& call, DocumentLayers& layers, const RunState& run);

// Asks the host for the view's part of the image (the input subsampled by
// the scale, areas beyond the image read as white, the mask as unselected),
// loads it into new working buffers of the view's size and, when the target
// layer was read, refills the source from it; then rebuilds the background.
// The run takes the view's scale and offsets and the preview path.
int16_t LoadPreviewView(const HostCall& call, RunState& run, ParameterRecord& record, const ui::PreviewView& view,
                        DocumentLayers& layers);

void ReleaseDocumentLayers(DocumentLayers& layers);

}  // namespace rf::host
