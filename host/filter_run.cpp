#include "host/filter_run.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "host/document_paths.h"
#include "host/interface/result_codes.h"
#include "host/pixel_rows.h"
#include "host/suite.h"
#include "pattern/path_emitter.h"
#include "pattern/scene_assembly.h"
#include "platform/parallel.h"
#include "platform/platform.h"

namespace rf::host {

namespace {

constexpr int kMaxColorsPerCall = 32767;
constexpr Fixed kRateOne = 0x10000;

const char* const kWrongModeText = "Wrong Image mode!\r\n Image should be RGB or CMYK";
const char* const kPreviewHostText = "Photoshop cannot allocate so big memory\nTry to use smaller pictures";

VRect OutRect(const FilterRecord& fr) {
  if (fr.bigDocumentData) return fr.bigDocumentData->outRect32;
  return VRect{fr.outRect.top, fr.outRect.left, fr.outRect.bottom, fr.outRect.right};
}

PIRect Narrow(const VRect& r) {
  auto n = [](int32_t v) { return int16_t(std::clamp<int32_t>(v, -32768, 32767)); };
  return PIRect{n(r.top), n(r.left), n(r.bottom), n(r.right)};
}

int Depth(const FilterRecord& fr) { return fr.depth == 0 ? 8 : fr.depth; }

inline uint8_t From16(uint16_t v) { return SampleFrom16(v); }
inline uint16_t To16(uint8_t v) { return SampleTo16(v); }

// Reads sample `c` of pixel `x` in a row of 8- or 16-bit samples.
inline uint8_t Sample(const uint8_t* row, int x, int planes, int c, bool deep) {
  if (!deep) return row[size_t(x) * planes + c];
  uint16_t v;
  std::memcpy(&v, row + (size_t(x) * planes + c) * 2, 2);
  return From16(v);
}

inline void PutSample(uint8_t* row, int x, int planes, int c, bool deep, uint8_t value) {
  if (!deep) {
    row[size_t(x) * planes + c] = value;
    return;
  }
  const uint16_t v = To16(value);
  std::memcpy(row + (size_t(x) * planes + c) * 2, &v, 2);
}

// The colour-space suite, acquired for one conversion pass.
class ColorSpace {
 public:
  explicit ColorSpace(const SPBasicSuite* basic) : suite_(basic, kColorSpaceSuite, kColorSpaceSuiteVersion) {}
  bool Ready() const { return suite_ && suite_->Convert8; }
  void Convert(int16_t from, int16_t to, Color8* colors, int count) const {
    suite_->Convert8(from, to, colors, int16_t(count));
  }

 private:
  ScopedSuite<ColorSpaceProcs> suite_;
};

// One host row of RGB samples (8 or 16 bits, with or without transparency)
// into RGBA.
void HostRowToRGBA(const uint8_t* row, int width, int planes, bool deep, uint8_t* dst) {
  if (!deep && planes == 4) {
    std::memcpy(dst, row, size_t(width) * 4);
    return;
  }
  if (!deep && planes == 3) {
    RGBRowToRGBA(row, width, dst);
    return;
  }
  for (int x = 0; x < width; ++x, dst += 4) {
    dst[0] = Sample(row, x, planes, 0, deep);
    dst[1] = Sample(row, x, planes, 1, deep);
    dst[2] = Sample(row, x, planes, 2, deep);
    dst[3] = planes >= 4 ? Sample(row, x, planes, 3, deep) : 255;
  }
}

// Rows [first, last) of a host area in RGB (8 or 16 bits) into packed RGBA
// rows of `width` pixels.
void HostRowsToRGBA(const uint8_t* in, int32_t inRowBytes, int width, int planes, bool deep, uint8_t* rgba,
                    int32_t first, int32_t last) {
  for (int32_t y = first; y < last; ++y)
    HostRowToRGBA(in + size_t(y) * size_t(inRowBytes), width, planes, deep, rgba + size_t(y) * size_t(width) * 4);
}

// Converts one host area into an RGBA buffer (`width` x `height`, packed).
// RGB rows need nothing from the host and are shared out between `threads`
// (a final run reads every pixel of the image through here); CMYK goes
// through the host's colour suite, on the host's thread only.
void HostToRGBA(const SPBasicSuite* basic, const uint8_t* in, int32_t inRowBytes, int width, int height, int planes,
                bool cmyk, bool deep, uint8_t* rgba, int32_t threads) {
  if (!cmyk) {
    platform::ForRowRanges(height, threads, [&](int32_t first, int32_t last) {
      HostRowsToRGBA(in, inRowBytes, width, planes, deep, rgba, first, last);
    });
    return;
  }
  ColorSpace cs(basic);
  if (!cs.Ready()) return;  // without the suite the buffer keeps what it held
  std::vector<uint8_t> colors(size_t(std::min(width, kMaxColorsPerCall)) * 4);
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = in + size_t(y) * inRowBytes;
    uint8_t* dst = rgba + size_t(y) * width * 4;
    for (int x0 = 0; x0 < width; x0 += kMaxColorsPerCall) {
      const int n = std::min(kMaxColorsPerCall, width - x0);
      for (int i = 0; i < n; ++i)
        for (int c = 0; c < 4; ++c) colors[size_t(i) * 4 + c] = Sample(row, x0 + i, planes, c, deep);
      cs.Convert(kColorSpaceCMYK, kColorSpaceRGB, reinterpret_cast<Color8*>(colors.data()), n);
      for (int i = 0; i < n; ++i) {
        uint8_t* p = dst + size_t(x0 + i) * 4;
        p[0] = colors[size_t(i) * 4 + 1];
        p[1] = colors[size_t(i) * 4 + 2];
        p[2] = colors[size_t(i) * 4 + 3];
        p[3] = planes >= 5 ? Sample(row, x0 + i, planes, 4, deep) : 255;
      }
    }
  }
}

bool AcceptedMode(int16_t mode) {
  return mode == kModeRGBColor || mode == kModeCMYKColor || mode == kModeRGB48 || mode == kModeCMYK64;
}

// Copies the input to the output unchanged (for modes the filter refuses).
void CopyInputToOutput(const FilterRecord& fr) {
  if (!fr.inData || !fr.outData) return;
  const VRect r = OutRect(fr);
  const int64_t w = int64_t(r.right) - r.left, h = int64_t(r.bottom) - r.top;
  if (w <= 0 || h <= 0) return;
  const size_t rowBytes = size_t(w) * fr.planes * (Depth(fr) == 16 ? 2 : 1);
  for (int64_t y = 0; y < h; ++y)
    std::memcpy(static_cast<uint8_t*>(fr.outData) + y * fr.outRowBytes,
                static_cast<const uint8_t*>(fr.inData) + y * fr.inRowBytes, rowBytes);
}

// Rows [first, last) of the rendered RGBA image into the host's output.
void WriteBackRows(const FilterRecord& fr, const RunState& run, int32_t first, int32_t last) {
  const int planes = fr.planes;
  const bool deep = run.deep;
  const int width = run.width;
  for (int y = first; y < last; ++y) {
    uint8_t* row = static_cast<uint8_t*>(fr.outData) + size_t(y) * fr.outRowBytes;
    const uint8_t* src = run.output + size_t(y) * run.rowStride;
    if (planes == 4 && !deep) {
      std::memcpy(row, src, size_t(width) * 4);
      continue;
    }
    if (planes == 3 && !deep) {
      RGBARowToRGB(src, width, row);
      continue;
    }
    if (planes >= 4) {
      for (int x = 0; x < width; ++x, src += 4)
        for (int c = 0; c < 4; ++c) PutSample(row, x, planes, c, deep, src[c]);
      continue;
    }
    // Without a transparency plane, coverage darkens towards black.
    for (int x = 0; x < width; ++x, src += 4) {
      if (src[3] == 255) {
        for (int c = 0; c < 3; ++c) PutSample(row, x, planes, c, deep, src[c]);
      } else {
        const float a = src[3] / 255.0f;
        for (int c = 0; c < 3; ++c) PutSample(row, x, planes, c, deep, uint8_t(src[c] * a));
      }
    }
  }
}

void WriteBack(const HostCall& call, const RunState& run) {
  const FilterRecord* fr = call.filter;
  if (!fr->outData || !run.output) return;
  const int planes = fr->planes;
  const bool deep = run.deep;
  const int width = run.width, height = run.height;
  if (!run.cmyk || run.dialogOpen) {
    platform::ForRowRanges(height, run.threads, [&](int32_t first, int32_t last) { WriteBackRows(*fr, run, first, last); });
    return;
  }
  ColorSpace cs(call.basicSuite);
  if (!cs.Ready()) return;
  std::vector<uint8_t> colors(size_t(std::min(width, kMaxColorsPerCall)) * 4);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = static_cast<uint8_t*>(fr->outData) + size_t(y) * fr->outRowBytes;
    const uint8_t* src = run.output + size_t(y) * run.rowStride;
    for (int x0 = 0; x0 < width; x0 += kMaxColorsPerCall) {
      const int n = std::min(kMaxColorsPerCall, width - x0);
      for (int i = 0; i < n; ++i) {
        const uint8_t* p = src + size_t(x0 + i) * 4;
        uint8_t* c = &colors[size_t(i) * 4];
        c[0] = 0;
        if (planes >= 5) {
          c[1] = p[0], c[2] = p[1], c[3] = p[2];
          PutSample(row, x0 + i, planes, 4, deep, p[3]);
        } else {
          const float a = p[3] / 255.0f;
          c[1] = uint8_t(p[0] * a), c[2] = uint8_t(p[1] * a), c[3] = uint8_t(p[2] * a);
        }
      }
      cs.Convert(kColorSpaceRGB, kColorSpaceCMYK, reinterpret_cast<Color8*>(colors.data()), n);
      for (int i = 0; i < n; ++i)
        for (int c = 0; c < 4; ++c) PutSample(row, x0 + i, planes, c, deep, colors[size_t(i) * 4 + c]);
    }
  }
}

// The host's abort and progress for the final run: the context is the
// HostCall of the entry point's call.
bool HostAbort(void* context) {
  const FilterRecord* fr = static_cast<const HostCall*>(context)->filter;
  return fr && fr->abortProc && fr->abortProc() != 0;
}

void HostProgress(void* context, int32_t done, int32_t total) {
  const FilterRecord* fr = static_cast<const HostCall*>(context)->filter;
  if (fr && fr->progressProc) fr->progressProc(done, total);
}

// The memory the pattern and scene may take: a share of the machine, with a
// ceiling, so a runaway parameter fails with a message instead of swapping.
uint64_t MemoryBudget() {
  const uint64_t physical = platform::PhysicalMemoryBytes();
  constexpr uint64_t kCeiling = 4ull << 30;
  constexpr uint64_t kFloor = 256ull << 20;
  if (physical == 0) return kFloor * 4;
  return std::clamp<uint64_t>(physical / 4, kFloor, kCeiling);
}

}  // namespace

VRect FilterRect(const FilterRecord& fr) {
  if (fr.bigDocumentData) return fr.bigDocumentData->filterRect32;
  return VRect{fr.filterRect.top, fr.filterRect.left, fr.filterRect.bottom, fr.filterRect.right};
}

void SetRequest(FilterRecord& fr, const VRect& in, const VRect& out, const VRect& mask) {
  fr.inRect = Narrow(in);
  fr.outRect = Narrow(out);
  fr.maskRect = Narrow(mask);
  if (fr.bigDocumentData) {
    fr.bigDocumentData->inRect32 = in;
    fr.bigDocumentData->outRect32 = out;
    fr.bigDocumentData->maskRect32 = mask;
  }
}

void RequestAllPlanes(FilterRecord& fr) {
  fr.inLoPlane = fr.outLoPlane = 0;
  fr.inHiPlane = fr.outHiPlane = int16_t(fr.planes - 1);
}

// 16-bit samples run 0..32768; 32767 and 32768 both read as 255.
uint8_t SampleFrom16(uint16_t v) { return v >= 32768 ? 255 : uint8_t(std::min<uint32_t>(v / 128u, 255u)); }
uint16_t SampleTo16(uint8_t v) { return uint16_t((uint32_t(v) * 32768u + 127u) / 255u); }

void ReleaseWorkingBuffers(RunState& run, ParameterRecord& record, pattern::SceneCache& cache) {
  platform::FreePages(run.source);
  platform::FreePages(run.output);
  run.source = run.output = nullptr;
  cache.ReleaseTexture(record);
}

void TakeDocumentFacts(const FilterRecord& fr, RunState& run) {
  run.deep = Depth(fr) == 16;
  run.haveMask = fr.haveMask != 0;
  run.maskData = static_cast<const uint8_t*>(fr.maskData);
  run.maskRowBytes = fr.maskRowBytes;
  run.cmyk = fr.imageMode == kModeCMYKColor || fr.imageMode == kModeCMYK64;
  run.hasAlphaPlane = fr.planes > (run.cmyk ? 4 : 3);
  const VRect filter = FilterRect(fr);
  run.filterWidth = filter.right - filter.left;
  run.filterHeight = filter.bottom - filter.top;
  run.memoryBudgetBytes = MemoryBudget();
}

bool LoadSource(const HostCall& call, RunState& run, ParameterRecord& record, SourceReading reading) {
  const FilterRecord& fr = *call.filter;
  record.SceneDirty = 1;
  run.pendingSource = PendingSource{};
  run.Progress(0, 100);
  const VRect r = OutRect(fr);
  const int64_t w = int64_t(r.right) - r.left, h = int64_t(r.bottom) - r.top;
  platform::FreePages(run.source);
  platform::FreePages(run.output);
  run.source = run.output = nullptr;
  run.width = run.height = run.rowStride = 0;
  if (w <= 0 || h <= 0 || w > INT32_MAX / 4) return false;
  const size_t bytes = size_t(w) * 4 * size_t(h);
  run.source = static_cast<uint8_t*>(platform::AllocPages(bytes));
  run.output = static_cast<uint8_t*>(platform::AllocPages(bytes));
  if (!run.source || !run.output) {
    platform::FreePages(run.source);
    platform::FreePages(run.output);
    run.source = run.output = nullptr;
    return false;
  }
  run.width = int32_t(w);
  run.height = int32_t(h);
  run.rowStride = run.width * 4;
  run.pixelStride = 4;
  if (!fr.inData) return true;
  if (reading == SourceReading::Now || run.cmyk) {
    // CMYK goes through the host's colour suite: on this thread, now.
    HostToRGBA(call.basicSuite, static_cast<const uint8_t*>(fr.inData), fr.inRowBytes, run.width, run.height,
               fr.planes, run.cmyk, run.deep, run.source, run.threads);
    return true;
  }
  run.pendingSource.pixels = static_cast<const uint8_t*>(fr.inData);
  run.pendingSource.rowBytes = fr.inRowBytes;
  run.pendingSource.planes = fr.planes;
  run.pendingSource.deep = run.deep;
  run.pendingSource.fill = [](const PendingSource& from, uint8_t* rgba, int32_t width, int32_t first, int32_t last) {
    HostRowsToRGBA(from.pixels, from.rowBytes, width, from.planes, from.deep, rgba, first, last);
  };
  return true;
}

int16_t RenderAndWriteBack(const HostCall& call, RunState& run, ParameterRecord& record,
                           pattern::SceneCache& cache, const pattern::PathCurves* paths) {
  const FilterRecord& fr = *call.filter;
  if (!AcceptedMode(fr.imageMode)) {
    platform::PluginAlert(kWrongModeText);
    CopyInputToOutput(fr);
    return kNoErr;
  }
  TakeDocumentFacts(fr, run);
  if (!run.dialogOpen) {
    // The dialog drives its own progress bar; the final run reports to the host.
    run.hooks = RunHooks{const_cast<HostCall*>(&call), HostAbort, HostProgress};
    run.previewScale = 1.0;
    run.previewOffsetX = run.previewOffsetY = 0;
    if (!LoadSource(call, run, record, SourceReading::Later)) {
      platform::PluginAlert(kPreviewAllocText);
      return kMemFullErr;
    }
  }
  // The final run reads the document's path afresh; the dialog keeps the
  // one it read when it opened. A preset loaded in the dialog may bring
  // "Auto" back, so the preview resolves it at every render too.
  pattern::PathCurves finalPaths;
  if (!paths) {
    finalPaths = LoadPaths(fr);
    paths = &finalPaths;
  }
  pattern::ResolveEmitterType(record, !paths->empty());
  const int16_t rendered = pattern::RenderEffect(run, record, *paths, cache);
  run.pendingSource = PendingSource{};
  if (rendered != kNoErr) {
    // Cancelled or out of memory: the host's image stays as it was.
    if (!run.dialogOpen) ReleaseWorkingBuffers(run, record, cache);
    return rendered;
  }
  WriteBack(call, run);
  if (!run.dialogOpen) ReleaseWorkingBuffers(run, record, cache);
  run.Progress(0, 100);
  return kNoErr;
}

int16_t RunFilter(const HostCall& call, RunState& run, ParameterRecord& record, pattern::SceneCache& cache) {
  FilterRecord& fr = *call.filter;
  RequestAllPlanes(fr);
  const VRect filter = FilterRect(fr);
  SetRequest(fr, filter, filter, filter);
  fr.inputRate = kRateOne;
  fr.maskRate = kRateOne;
  const OSErr err = fr.advanceState ? fr.advanceState() : kFilterBadParameters;
  const int16_t result = err == kNoErr ? RenderAndWriteBack(call, run, record, cache, nullptr) : err;
  SetRequest(fr, VRect{0, 0, 0, 0}, VRect{0, 0, 0, 0}, VRect{0, 0, 0, 0});
  return result;
}

int16_t LoadPreviewSource(const HostCall& call, PreviewSourceBuffer& preview) {
  FilterRecord& fr = *call.filter;
  const VRect filter = FilterRect(fr);
  const bool same = preview.filter.top == filter.top && preview.filter.left == filter.left &&
                    preview.filter.bottom == filter.bottom && preview.filter.right == filter.right &&
                    preview.planes == fr.planes && preview.mode == fr.imageMode;
  if (preview.loaded && same) return kNoErr;
  const int64_t w = int64_t(filter.right) - filter.left, h = int64_t(filter.bottom) - filter.top;
  ReleasePreviewSource(preview);
  if (w > 0 && h > 0 && w <= INT32_MAX / 4)
    preview.pixels = static_cast<uint8_t*>(platform::AllocPages(size_t(w) * 4 * size_t(h)));
  if (!preview.pixels) {
    platform::PluginAlert(kPreviewAllocText);
    return kUserCanceledErr;
  }
  if (call.state) {
    call.state->previewTop = 0;
    call.state->previewLeft = 0;
    call.state->previewBottom = int16_t(std::min<int64_t>(h, 32767));
    call.state->previewRight = int16_t(std::min<int64_t>(w, 32767));
  }
  RequestAllPlanes(fr);
  SetRequest(fr, filter, OutRect(fr), OutRect(fr));
  fr.inputRate = fr.maskRate = kRateOne;
  fr.inputPadding = fr.outputPadding = fr.maskPadding = 255;
  const OSErr err = fr.advanceState ? fr.advanceState() : kFilterBadParameters;
  if (err != kNoErr || !fr.inData) {
    platform::PluginAlert(kPreviewHostText);
    return kUserCanceledErr;
  }
  const int depth = Depth(fr);
  if (depth == 8 || depth == 16) {
    const bool cmyk = fr.imageMode == kModeCMYKColor || fr.imageMode == kModeCMYK64;
    HostToRGBA(call.basicSuite, static_cast<const uint8_t*>(fr.inData), fr.inRowBytes, int(w), int(h), fr.planes,
               cmyk, depth == 16, preview.pixels, 0);
  }
  preview.loaded = true;
  preview.filter = filter;
  preview.planes = fr.planes;
  preview.mode = fr.imageMode;
  return kNoErr;
}

void ReleasePreviewSource(PreviewSourceBuffer& preview) {
  platform::FreePages(preview.pixels);
  preview.pixels = nullptr;
  preview.loaded = false;
}

}  // namespace rf::host
