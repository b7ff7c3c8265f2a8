// Rimeflower: what the dialog asks of the filter run while it is open.
//
// The entry point runs the dialog at the start selector and hands it this
// interface over the host's record, the run state and the scene cache, so
// that the dialog reaches the host only through calls it is given and never
// through the entry point's globals.
//
// A dialog's session with its host:
//   BeginPreview()                 the dialog-open flag, the document's paths
//   Document()                     the filter area, planes, paths
//   ReadLayers()                   the layers below the target and the target
//   LoadPreviewSource()            the whole area once, for the overview
//   RenderPreview(view, ...)       after every change, on the dialog's thread
//   EndPreview()                   every preview buffer released
#pragma once

#include <cstdint>
#include <vector>

#include "host/record/module_folders.h"
#include "host/record/parameters.h"
#include "presets/preset_library.h"

namespace rf::ui {

// The document as the dialog needs to know it.
struct DocumentInfo {
  int32_t width = 0, height = 0;  // the filter area, image pixels
  int16_t planes = 0;
  bool cmyk = false;
  bool hasTransparency = false;  // a transparency plane (the background colour is then unused)
  bool hasPaths = false;         // at least one vector path
};

// The part of the filter area the preview shows: `scale` image pixels per
// preview pixel (a whole number, at least 1), the top-left corner at
// (`offsetX`, `offsetY`) preview pixels from the filter area's corner, and
// `width` x `height` preview pixels.
struct PreviewView {
  int32_t scale = 1;
  int32_t offsetX = 0, offsetY = 0;
  int32_t width = 0, height = 0;
  bool operator==(const PreviewView& o) const {
    return scale == o.scale && offsetX == o.offsetX && offsetY == o.offsetY && width == o.width &&
           height == o.height;
  }
  bool operator!=(const PreviewView& o) const { return !(*this == o); }
};

// A picture for the preview containers: 0x00RRGGBB, rows packed, top row
// first.
struct PreviewPicture {
  std::vector<uint32_t> pixels;
  int32_t width = 0, height = 0;
};

// Progress of a preview render, (done, total), for the dialog's bar.
using ProgressSink = void (*)(void* context, int32_t done, int32_t total);

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

  // Sets the dialog-open flag, which turns every render into a preview,
  // and reads the document's paths; `Emitter Type` is resolved as the final
  // run resolves it.
  virtual void BeginPreview() = 0;
  // Releases the preview source, the working buffers and the kept bump
  // source, and clears the dialog-open flag.
  virtual void EndPreview() = 0;
  virtual DocumentInfo Document() const = 0;

  // Reads the whole filter area for the overview image: 8-bit RGBA, filter
  // width x height, rows packed. Answers a host result; the user has been
  // told of a failure.
  virtual int16_t LoadPreviewSource() = 0;
  // The buffer LoadPreviewSource filled, or null.
  virtual const uint8_t* PreviewSource() const = 0;

  // Reads the document's layers once, when the dialog opens: the visible
  // layers below the target layer become the preview's backdrop, shown behind
  // the effect where it is transparent, and the target layer's own pixels its
  // source. A document without a layer list (or a host that cannot name the
  // target) previews from the host's input. Answers a host result; what was
  // read before a failure is kept. EndPreview releases them.
  virtual int16_t ReadLayers() = 0;

  // Renders `view` with the record as it stands and answers its pixels
  // (view width x height), over the layers below where the effect is
  // transparent. The source is read again (from the target layer, or from
  // the host subsampled by the scale) when the view differs from the last
  // one or `reloadSource` is set, which regrows the pattern; otherwise the
  // kept scene is reused unless `SceneDirty` asks for a rebuild. Answers a
  // host result; on failure the picture is left as it was.
  virtual int16_t RenderPreview(const PreviewView& view, bool reloadSource, PreviewPicture& picture) = 0;
  // Where the render's progress goes while the dialog is open (null: nowhere).
  virtual void SetProgressSink(ProgressSink sink, void* context) = 0;
  // Forgets the kept scene, so that the next render grows the pattern again.
  virtual void ReleaseScene() = 0;

  // The host's colour picker: `rgb16` (0..65535 components) in and out.
  // Answers 0 when a colour was chosen, -128 when the user cancelled, any
  // other result when the host has no picker to show.
  virtual int16_t PickColour(const char* prompt, uint16_t rgb16[3]) = 0;
};

}  // namespace rf::ui
