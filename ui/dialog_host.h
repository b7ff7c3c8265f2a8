// Rimeflower: what the dialog asks of the filter run while it is open.
//
// The entry point runs the dialog at the start selector and hands it this
// interface over the host's record, the run state and the scene cache, so
// that the dialog reaches the host only through calls it is given and never
// through the entry point's globals.
#pragma once

#include <cstdint>

#include "host/record/module_folders.h"
#include "host/record/parameters.h"
#include "presets/preset_library.h"

namespace rf::ui {

// The part of the filter area the preview shows: `scale` image pixels per
// preview pixel (a whole number, at least 1), the top-left corner at
// (`offsetX`, `offsetY`) preview pixels from the filter area's corner, and
// `width` x `height` preview pixels.
struct PreviewView {
  int32_t scale = 1;
  int32_t offsetX = 0;
  int32_t offsetY = 0;
  int32_t width = 0;
  int32_t height = 0;
};

class DialogHost {
 public:
  virtual ~DialogHost() = default;

  // The locked parameter record; every control writes its field at once.
  virtual ParameterRecord& Record() = 0;
  virtual const ModuleFolders& Folders() const = 0;
  // The preset libraries, with the current subfolders the module keeps
  // while it is loaded.
  virtual presets::PresetLibraries& Presets() = 0;
  // The host's window that owns the dialog (0: none).
  virtual intptr_t OwnerWindow() const = 0;

  // Reads the whole filter area once per dialog, for the overview image:
  // 8-bit RGBA, filter width x height, rows packed. Answers a host result;
  // the user has been told of a failure.
  virtual int16_t LoadPreviewSource() = 0;
  // The buffer LoadPreviewSource filled, or null.
  virtual const uint8_t* PreviewSource() const = 0;

  // Reads the document's layers once, when the dialog opens: the visible
  // layers below the target layer become the preview's backdrop, the target
  // layer's own pixels its source. A document without a layer list (or a
  // host that cannot name the target) previews from the host's input. Answers
  // a host result; what was read before a failure is kept.
  virtual int16_t ReadLayers() = 0;
  // Loads the run's source buffer for `view` (the working buffers take the
  // view's size; the run takes its scale and offsets): from the target layer
  // when there is one, else from the host, which delivers the view's part of
  // the image subsampled by the scale. Rebuilds the background. Answers a
  // host result.
  virtual int16_t LoadPreviewView(const PreviewView& view) = 0;
  // What shows behind the preview where the effect is transparent: R, G, B
  // per pixel over the last view's width x height, rows packed; the layers
  // below over a checkerboard of 7-pixel squares. Null before ReadLayers.
  virtual const uint8_t* PreviewBackground() const = 0;
  // Releases the layer images and the background (the dialog closes).
  virtual void ReleaseLayers() = 0;

  // The host's colour picker: `rgb16` (0..65535 components) in and out.
  // Answers 0 when a colour was chosen, -128 when the user cancelled, any
  // other result when the host has no picker to show.
  virtual int16_t PickColour(const char* prompt, uint16_t rgb16[3]) = 0;
};

}  // namespace rf::ui
