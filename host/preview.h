// Rimeflower: the filter run while the dialog is open.
//
// The dialog sees the document through a PreviewSession: it asks for a view
// (the visible part of the filter area at a whole scale), and the session
// loads that part into the run's source buffer (from the target layer when
// the document's layers were read, else from the host, subsampled), renders
// through the same path as the final run and reads the preview's pixels back
// from the host's output buffer, where the write-back left them (as RGB, even
// for CMYK documents), over the layers below where the effect is
// transparent. Between renders it keeps the source and output buffers, the
// bump source and the scene, so that a change of the material only renders
// again and a change of the geometry regrows.
#pragma once

#include <cstdint>

#include "host/document_layers.h"
#include "host/filter_run.h"
#include "host/plugin_main.h"
#include "host/record/parameters.h"
#include "host/record/run_state.h"
#include "pattern/path_emitter.h"
#include "pattern/scene_cache.h"
#include "ui/dialog_host.h"

namespace rf::host {

class PreviewSession {
 public:
  PreviewSession(const HostCall& call, RunState& run, ParameterRecord& record, pattern::SceneCache& cache);
  ~PreviewSession();
  PreviewSession(const PreviewSession&) = delete;
  PreviewSession& operator=(const PreviewSession&) = delete;

  // The dialog opens: the dialog-open flag, the document's paths, the
  // emitter type resolved against them, progress to the dialog.
  void Begin();
  // The dialog closes: every preview buffer and the kept scene released,
  // the flag cleared. Also done by the destructor.
  void End();
  bool Open() const { return run_.dialogOpen; }

  ui::DocumentInfo Document() const;
  const pattern::PathCurves& Paths() const { return paths_; }

  // The overview's source, the whole filter area (see LoadPreviewSource).
  int16_t LoadOverviewSource();
  const uint8_t* OverviewSource() const { return overview_.loaded ? overview_.pixels : nullptr; }
  // The document's layers (see ReadDocumentLayers), kept until End.
  int16_t ReadLayers() { return ReadDocumentLayers(call_, layers_); }
  const DocumentLayers& Layers() const { return layers_; }

  // Renders `view` (see ui::DialogHost::RenderPreview).
  int16_t Render(const ui::PreviewView& view, bool reloadSource, ui::PreviewPicture& picture);

  void SetProgressSink(ui::ProgressSink sink, void* context) {
    sink_ = sink;
    sinkContext_ = context;
  }
  void ReleaseScene() { cache_.ReleaseScene(record_); }

 private:
  static void Progress(void* context, int32_t done, int32_t total);

  HostCall call_;
  RunState& run_;
  ParameterRecord& record_;
  pattern::SceneCache& cache_;
  pattern::PathCurves paths_;
  PreviewSourceBuffer overview_;
  DocumentLayers layers_;
  ui::PreviewView loaded_;  // the view the source buffer holds
  bool sourceLoaded_ = false;
  ui::ProgressSink sink_ = nullptr;
  void* sinkContext_ = nullptr;
};

// The preview's pixels from the write-back's output (`planes` samples per
// pixel, 8 or 16 bits, `rowBytes` apart). With a transparency plane the
// pixels are shown over `background` (R, G, B per pixel, width x height,
// the layers below), or without one over a grey checkerboard of 7-pixel
// squares; a fourth plane of a document without transparency darkens by its
// coverage, as the write-back does for three planes.
void ReadPreviewOutput(const uint8_t* out, int32_t rowBytes, int32_t planes, bool deep, bool transparency,
                       const uint8_t* background, int32_t width, int32_t height, ui::PreviewPicture& picture);
// The checkerboard's grey at (x, y): 255 and 204 in alternation.
uint8_t CheckerGrey(int32_t x, int32_t y);

}  // namespace rf::host
