#include "host/preview.h"

#include <algorithm>
#include <cstring>

#include "host/document_paths.h"
#include "host/interface/result_codes.h"
#include "platform/platform.h"

namespace rf::host {

namespace {

uint8_t Sample8(const uint8_t* row, int32_t x, int32_t planes, int32_t c, bool deep) {
  if (!deep) return row[size_t(x) * planes + c];
  uint16_t v;
  std::memcpy(&v, row + (size_t(x) * planes + c) * 2, 2);
  return SampleFrom16(v);
}

}  // namespace

uint8_t CheckerGrey(int32_t x, int32_t y) { return ((x / 7 + y / 7) & 1) ? 204 : 255; }

void ReadPreviewOutput(const uint8_t* out, int32_t rowBytes, int32_t planes, bool deep, bool transparency,
                       const uint8_t* background, int32_t width, int32_t height, ui::PreviewPicture& picture) {
  picture.width = picture.height = 0;
  picture.pixels.clear();
  if (!out || width < 1 || height < 1 || planes < 1) return;
  picture.pixels.resize(size_t(width) * size_t(height));
  picture.width = width;
  picture.height = height;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = out + int64_t(y) * rowBytes;
    uint32_t* dst = picture.pixels.data() + size_t(y) * width;
    for (int32_t x = 0; x < width; ++x) {
      uint32_t c[3];
      for (int32_t i = 0; i < 3; ++i) c[i] = Sample8(row, x, planes, std::min(i, planes - 1), deep);
      if (planes >= 4) {
        const uint32_t a = Sample8(row, x, planes, 3, deep);
        const uint8_t* under = background ? background + (size_t(y) * width + x) * 3 : nullptr;
        for (int32_t i = 0; i < 3; ++i) {
          const uint32_t ground = !transparency ? 0 : under ? under[i] : CheckerGrey(x, y);
          c[i] = (c[i] * a + ground * (255 - a)) / 255;
        }
      }
      dst[x] = (c[0] << 16) | (c[1] << 8) | c[2];
    }
  }
}

PreviewSession::PreviewSession(const HostCall& call, RunState& run, ParameterRecord& record,
                               pattern::SceneCache& cache)
    : call_(call), run_(run), record_(record), cache_(cache) {}

PreviewSession::~PreviewSession() { End(); }

void PreviewSession::Progress(void* context, int32_t done, int32_t total) {
  const auto* session = static_cast<const PreviewSession*>(context);
  if (session->sink_) session->sink_(session->sinkContext_, done, total);
}

void PreviewSession::Begin() {
  run_.dialogOpen = true;
  // Only the dialog's bar hears of a preview; the host's progress belongs
  // to the final run.
  run_.hooks = RunHooks{this, nullptr, Progress};
  paths_ = LoadPaths(*call_.filter);
  pattern::ResolveEmitterType(record_, !paths_.empty());
  record_.SceneDirty = 1;
  sourceLoaded_ = false;
}

void PreviewSession::End() {
  if (!run_.dialogOpen) return;
  ReleasePreviewSource(overview_);
  ReleaseDocumentLayers(layers_);
  ReleaseWorkingBuffers(run_, record_, cache_);
  // The scene was grown for the preview's scale; the final run grows its own.
  cache_.ReleaseScene(record_);
  run_.dialogOpen = false;
  run_.hooks = RunHooks{};
  run_.previewScale = 1.0;
  run_.previewOffsetX = run_.previewOffsetY = 0;
  paths_.clear();
  sourceLoaded_ = false;
}

ui::DocumentInfo PreviewSession::Document() const {
  const FilterRecord& fr = *call_.filter;
  const VRect filter = FilterRect(fr);
  ui::DocumentInfo d;
  d.width = std::max(filter.right - filter.left, 0);
  d.height = std::max(filter.bottom - filter.top, 0);
  d.planes = fr.planes;
  d.cmyk = fr.imageMode == kModeCMYKColor || fr.imageMode == kModeCMYK64;
  d.hasTransparency = fr.planes > (d.cmyk ? 4 : 3);
  d.hasPaths = !paths_.empty();
  return d;
}

int16_t PreviewSession::LoadOverviewSource() { return LoadPreviewSource(call_, overview_); }

int16_t PreviewSession::Render(const ui::PreviewView& view, bool reloadSource, ui::PreviewPicture& picture) {
  if (!run_.dialogOpen) return kFilterBadParameters;
  FilterRecord& fr = *call_.filter;
  if (reloadSource || !sourceLoaded_ || view != loaded_ || !run_.source) {
    // The source is this view's: pattern and centre are regrown for it.
    sourceLoaded_ = false;
    const int16_t loaded = LoadPreviewView(call_, run_, record_, view, layers_);
    if (loaded == kMemFullErr) platform::PluginAlert(kPreviewAllocText);
    if (loaded != kNoErr) return loaded;
    loaded_ = view;
    sourceLoaded_ = true;
  }
  const int16_t rendered = RenderAndWriteBack(call_, run_, record_, cache_, &paths_);
  if (rendered != kNoErr) return rendered;
  const bool background = layers_.background && layers_.backgroundWidth == run_.width &&
                          layers_.backgroundHeight == run_.height;
  ReadPreviewOutput(static_cast<const uint8_t*>(fr.outData), fr.outRowBytes, fr.planes, run_.deep,
                    Document().hasTransparency, background ? layers_.background : nullptr, run_.width,
                    run_.height, picture);
  return kNoErr;
}

}  // namespace rf::host
