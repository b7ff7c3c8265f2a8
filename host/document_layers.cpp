// The layers through the document description: the layer list from the
// bottom up, each layer's colour and transparency channels through the
// channel-ports suite (or the record's channel-port procedure), and the
// target's name and each layer's visibility through the action suites.
#include "host/document_layers.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "host/filter_run.h"
#include "host/interface/result_codes.h"
#include "host/suite.h"
#include "platform/platform.h"

namespace rf::host {

namespace {

constexpr int kMaxColorsPerCall = 32767;
// Far beyond any document; a longer list can only be a cycle in the host's
// records, and the walk ends there.
constexpr int kMaxLayers = 100000;
constexpr int32_t kMaxColourChannels = 8;
constexpr uint32_t kMaxNameUnits = 1024;
// The newest record versions whose fields this reader knows.
constexpr int32_t kKnownChannelDescVersion = 5;
constexpr int32_t kKnownLayerDescVersion = 3;

int16_t AsResult(SPErr err) {
  if (err == kSPNoError) return kNoErr;
  // PICA codes are four-character codes; the host result is 16 bits.
  return err >= INT16_MIN && err < 0 ? int16_t(err) : kErrPlugInHostInsufficient;
}

inline uint32_t Get(const uint8_t* plane, size_t i, bool deep) {
  if (!deep) return plane[i];
  uint16_t v;
  std::memcpy(&v, plane + i * 2, 2);
  return v;
}

inline void Put(uint8_t* plane, size_t i, bool deep, uint32_t v) {
  if (!deep) {
    plane[i] = uint8_t(v);
    return;
  }
  const uint16_t w = uint16_t(v);
  std::memcpy(plane + i * 2, &w, 2);
}

inline uint8_t To8(uint32_t v, bool deep) { return deep ? SampleFrom16(uint16_t(v)) : uint8_t(v); }

// The form shared by the backdrop, the target and the scratch images.
struct ImageForm {
  int32_t width = 0, height = 0, colourChannels = 0, channels = 0, depth = 8;
  bool cmyk = false;
};

bool Allocate(LayerImage& image, const ImageForm& form, int32_t channels) {
  image = LayerImage{};
  image.width = form.width;
  image.height = form.height;
  image.colourChannels = std::min(form.colourChannels, channels);
  image.channels = channels;
  image.depth = form.depth;
  image.cmyk = form.cmyk;
  image.pixels = static_cast<uint8_t*>(platform::AllocPages(image.PlaneBytes() * size_t(channels)));
  if (!image.pixels) image = LayerImage{};
  return image.pixels != nullptr;
}

void Free(LayerImage& image) {
  platform::FreePages(image.pixels);
  image = LayerImage{};
}

int32_t CountChannels(const ReadChannelDesc* list) {
  int32_t n = 0;
  for (; list && n < kMaxColourChannels; list = list->next) ++n;
  return n;
}

// ---- The target's name and the layers' visibility -------------------------

struct ActionSuites {
  explicit ActionSuites(const SPBasicSuite* basic)
      : reference(basic, kActionReferenceSuite, kActionReferenceSuiteVersion),
        descriptor(basic, kActionDescriptorSuite, kActionDescriptorSuiteVersion2),
        control(basic, kBasicActionControlSuite, kBasicActionControlSuiteVersion),
        zstring(basic, kZStringSuite, kZStringSuiteVersion) {}

  bool Ready() const {
    return reference && descriptor && control && reference->Make && reference->Free && descriptor->Free &&
           descriptor->HasKey && control->Get;
  }

  // Evaluates the reference that `build` fills; the host's answer, which the
  // caller frees, or null.
  template <class Build>
  PIActionDescriptor Get(Build build) const {
    PIActionReference r = nullptr;
    if (reference->Make(&r) != kNoErr || !r) return nullptr;
    PIActionDescriptor result = nullptr;
    if (!build(r) || control->Get(&result, r) != kNoErr) result = nullptr;
    reference->Free(r);
    return result;
  }

  bool Has(PIActionDescriptor d, DescriptorKeyID key) const {
    Boolean has = 0;
    return descriptor->HasKey(d, key, &has) == kNoErr && has;
  }

  ScopedSuite<ActionReferenceProcs> reference;
  ScopedSuite<ActionDescriptorProcs> descriptor;
  ScopedSuite<BasicActionControlProcs> control;
  ScopedSuite<ZStringProcs> zstring;
};

// A text value in 16-bit units: through the host's Unicode strings where it
// has them, else its C string taken byte by byte.
bool ReadText(const ActionSuites& s, PIActionDescriptor d, DescriptorKeyID key, std::u16string& text) {
  text.clear();
  const ActionDescriptorProcs* ad = s.descriptor.get();
  const ZStringProcs* zs = s.zstring.get();
  if (ad->GetZString && zs && zs->LengthAsUnicodeCString && zs->AsUnicodeCString && zs->Release) {
    ASZString z = nullptr;
    if (ad->GetZString(d, key, &z) == kNoErr && z) {
      const uint32_t length = std::min(zs->LengthAsUnicodeCString(z), kMaxNameUnits);
      std::vector<uint16_t> units(size_t(length) + 1, 0);
      const bool ok = zs->AsUnicodeCString(z, units.data(), length + 1, 0) == 0;
      zs->Release(z);
      if (ok) {
        for (uint16_t u : units) {
          if (u == 0) break;
          text.push_back(char16_t(u));
        }
        return true;
      }
    }
  }
  if (!ad->GetStringLength || !ad->GetString) return false;
  uint32_t length = 0;
  if (ad->GetStringLength(d, key, &length) != kNoErr) return false;
  length = std::min(length, kMaxNameUnits);
  std::vector<char> bytes(size_t(length) + 2, 0);  // the terminator, counted or not
  if (ad->GetString(d, key, bytes.data(), length + 1) != kNoErr) return false;
  for (char c : bytes) {
    if (c == 0) break;
    text.push_back(char16_t(uint8_t(c)));
  }
  return true;
}

struct Target {
  std::u16string name;
  bool haveID = false;
  uint32_t id = 0;
};

// The target layer as the host names it. Hosts without the action suites
// cannot say which layer is the target.
bool ReadTarget(const ActionSuites& s, Target& target) {
  if (!s.Ready() || !s.reference->PutEnumerated) return false;
  PIActionDescriptor d = s.Get([&](PIActionReference r) {
    return s.reference->PutEnumerated(r, kClassLayer, kTypeOrdinal, kEnumTarget) == kNoErr;
  });
  if (!d) return false;
  bool ok = s.Has(d, kKeyName) && ReadText(s, d, kKeyName, target.name);
  // The identifier tells two layers of the same name apart.
  int32_t id = 0;
  if (ok && s.descriptor->GetInteger && s.Has(d, kKeyLayerID) &&
      s.descriptor->GetInteger(d, kKeyLayerID, &id) == kNoErr) {
    target.haveID = true;
    target.id = uint32_t(id);
  }
  s.descriptor->Free(d);
  return ok;
}

// A layer other than the target is referred to by its sheet identifier,
// which the host gives in the layer list. Where the query fails the list's
// own flag answers, and a host that has neither shows every layer.
bool IsVisible(const ActionSuites& s, const ReadLayerDesc& layer) {
  if (s.Ready() && s.reference->PutProperty && s.reference->PutIdentifier && s.descriptor->GetBoolean) {
    PIActionDescriptor d = s.Get([&](PIActionReference r) {
      return s.reference->PutProperty(r, kClassProperty, kKeyVisible) == kNoErr &&
             s.reference->PutIdentifier(r, kClassLayer, layer.sheetID) == kNoErr;
    });
    if (d) {
      Boolean visible = 1;
      const bool ok = s.Has(d, kKeyVisible) && s.descriptor->GetBoolean(d, kKeyVisible, &visible) == kNoErr;
      s.descriptor->Free(d);
      if (ok) return visible != 0;
    }
  }
  return layer.maxVersion >= 2 ? layer.isVisible != 0 : true;
}

std::u16string LayerName(const ReadLayerDesc& layer) {
  std::u16string name;
  if (layer.maxVersion >= 1 && layer.unicodeName) {
    for (const uint16_t* u = layer.unicodeName; *u && name.size() < kMaxNameUnits; ++u) name.push_back(char16_t(*u));
  } else if (layer.name) {
    for (const char* c = layer.name; *c && name.size() < kMaxNameUnits; ++c) name.push_back(char16_t(uint8_t(*c)));
  }
  return name;
}

// The target layer in the list: the first whose name and identifier match,
// else the first whose name matches. -1 when none does.
int FindTarget(const ReadLayerDesc* list, const Target& target) {
  int byName = -1, index = 0;
  for (const ReadLayerDesc* layer = list; layer && index < kMaxLayers; layer = layer->next, ++index) {
    if (layer->minVersion > kKnownLayerDescVersion) break;
    if (LayerName(*layer) != target.name) continue;
    if (target.haveID && layer->sheetID == target.id) return index;
    if (byName < 0) byName = index;
  }
  return byName;
}

// ---- Reading channels ------------------------------------------------------

class ChannelReader {
 public:
  ChannelReader(const HostCall& call, const VRect& filter)
      : record_(*call.filter), suite_(call.basicSuite, kChannelPortsSuite, kChannelPortsSuiteVersion),
        filter_(filter) {}

  // Reads one channel of the filter rectangle into `plane`, cleared first so
  // that what the host does not cover reads as 0.
  int16_t Read(const ReadChannelDesc* channel, const LayerImage& image, uint8_t* plane) {
    std::memset(plane, 0, image.PlaneBytes());
    if (!channel || channel->minVersion > kKnownChannelDescVersion || !channel->port)
      return kErrPlugInHostInsufficient;
    PixelMemoryDesc destination{plane, image.width * image.depth, image.depth, 0, image.depth};
    if (suite_ && suite_->CanRead && suite_->ReadPixelsFromLevel) {
      Boolean canRead = 0;
      if (suite_->CanRead(channel->port, &canRead) != kSPNoError || !canRead) return kErrPlugInHostInsufficient;
      VRect bounds = filter_;
      return AsResult(suite_->ReadPixelsFromLevel(channel->port, 0, &bounds, &destination));
    }
    if (record_.channelPortProcs && record_.channelPortProcs->readPixelsProc) {
      // The destination space starts at 0: some hosts place rows by their
      // absolute number in it.
      const VRect whole{0, 0, image.height, image.width};
      const PSScaling scaling{filter_, whole};
      VRect wrote{};
      return record_.channelPortProcs->readPixelsProc(channel->port, &scaling, &whole, &destination, &wrote);
    }
    return kErrPlugInHostInsufficient;
  }

  // Reads a list into the image's colour planes, in order; planes the list
  // does not reach stay 0.
  int16_t ReadColour(const ReadChannelDesc* list, LayerImage& image) {
    for (int32_t c = 0; c < image.colourChannels; ++c) {
      if (!list) {
        std::memset(image.Plane(c), 0, image.PlaneBytes());
        continue;
      }
      if (const int16_t err = Read(list, image, image.Plane(c))) return err;
      list = list->next;
    }
    return kNoErr;
  }

 private:
  const FilterRecord& record_;
  ScopedSuite<ChannelPortsSuiteProcs> suite_;
  VRect filter_;
};

// Composes `layer` onto `backdrop` through `mask` (null: the layer covers
// everything). The backdrop's alpha becomes the layer's over its own.
void Compose(LayerImage& backdrop, const LayerImage& layer, const LayerImage* mask) {
  const bool deep = backdrop.depth == 16;
  const size_t n = size_t(backdrop.width) * size_t(backdrop.height);
  const uint32_t full = deep ? 32768 : 255;
  for (int32_t c = 0; c < backdrop.colourChannels; ++c) {
    uint8_t* b = backdrop.Plane(c);
    const uint8_t* l = layer.Plane(c);
    for (size_t i = 0; i < n; ++i) {
      if (!mask) {
        Put(b, i, deep, Get(l, i, deep));
        continue;
      }
      const uint32_t t = To8(Get(mask->Plane(0), i, deep), deep);
      Put(b, i, deep, (Get(l, i, deep) * t + Get(b, i, deep) * (255 - t)) / 255);
    }
  }
  if (!backdrop.HasAlpha()) return;
  uint8_t* a = backdrop.Plane(backdrop.colourChannels);
  for (size_t i = 0; i < n; ++i) {
    const uint32_t t = mask ? To8(Get(mask->Plane(0), i, deep), deep) : 255;
    Put(a, i, deep, (full * t + Get(a, i, deep) * (255 - t)) / 255);
  }
}

// The target's colour, and its transparency as its alpha (opaque when the
// layer has none).
int16_t ReadTargetLayer(ChannelReader& reader, const ReadLayerDesc& layer, LayerImage& target) {
  if (const int16_t err = reader.ReadColour(layer.compositeChannelsList, target)) return err;
  if (!target.HasAlpha()) return kNoErr;
  uint8_t* alpha = target.Plane(target.colourChannels);
  if (layer.transparency) return reader.Read(layer.transparency, target, alpha);
  const bool deep = target.depth == 16;
  const size_t n = size_t(target.width) * size_t(target.height);
  for (size_t i = 0; i < n; ++i) Put(alpha, i, deep, deep ? 32768 : 255);
  return kNoErr;
}

// The image pixel a view pixel shows: scaled, truncated, limited to the image.
inline int32_t Scaled(int32_t offset, int32_t i, double scale, int32_t size) {
  const double v = (double(offset) + i) * scale;
  return v <= 0 ? 0 : v >= size - 1 ? size - 1 : int32_t(v);
}

// Converts `count` CMYK colours (bytes 0..3) to RGB (bytes 1..3) in place.
// Without the host's conversion the colours stay as they are.
class CmykToRgb {
 public:
  explicit CmykToRgb(const SPBasicSuite* basic) : suite_(basic, kColorSpaceSuite, kColorSpaceSuiteVersion) {}
  bool Ready() const { return suite_ && suite_->Convert8; }
  void Convert(uint8_t* colours, int count) const {
    suite_->Convert8(kColorSpaceCMYK, kColorSpaceRGB, reinterpret_cast<Color8*>(colours), int16_t(count));
  }

 private:
  ScopedSuite<ColorSpaceProcs> suite_;
};

// Samples one view row of an image into `rgba` (R, G, B, A per pixel).
void SampleRow(const LayerImage& image, const RunState& run, int32_t y, const CmykToRgb* cmyk,
               std::vector<uint8_t>& colours, uint8_t* rgba) {
  const int32_t sy = Scaled(run.previewOffsetY, y, run.previewScale, image.height);
  for (int32_t x0 = 0; x0 < run.width; x0 += kMaxColorsPerCall) {
    const int n = std::min(kMaxColorsPerCall, run.width - x0);
    for (int i = 0; i < n; ++i) {
      const int32_t sx = Scaled(run.previewOffsetX, x0 + i, run.previewScale, image.width);
      uint8_t* p = rgba + size_t(x0 + i) * 4;
      const uint8_t alpha = image.HasAlpha() ? image.Sample8(image.colourChannels, sx, sy) : 255;
      if (image.cmyk) {
        uint8_t* c = &colours[size_t(i) * 4];
        for (int k = 0; k < 4; ++k) c[k] = image.Sample8(std::min(k, image.colourChannels - 1), sx, sy);
      } else if (image.colourChannels >= 3) {
        for (int k = 0; k < 3; ++k) p[k] = image.Sample8(k, sx, sy);
      } else {
        p[0] = p[1] = p[2] = image.Sample8(0, sx, sy);
      }
      p[3] = alpha;
    }
    if (!image.cmyk || !cmyk) continue;
    cmyk->Convert(colours.data(), n);
    for (int i = 0; i < n; ++i) std::memcpy(rgba + size_t(x0 + i) * 4, &colours[size_t(i) * 4 + 1], 3);
  }
}

}  // namespace

uint8_t LayerImage::Sample8(int32_t channel, int32_t x, int32_t y) const {
  const size_t i = size_t(y) * size_t(width) + size_t(x);
  return To8(Get(Plane(channel), i, depth == 16), depth == 16);
}

int16_t ReadDocumentLayers(const HostCall& call, DocumentLayers& layers) {
  ReleaseDocumentLayers(layers);
  const FilterRecord& fr = *call.filter;
  const VRect filter = FilterRect(fr);
  const int64_t w = int64_t(filter.right) - filter.left, h = int64_t(filter.bottom) - filter.top;
  // Rows are described to the host in bits, in 32 bits.
  if (w <= 0 || h <= 0 || w * 16 > INT32_MAX || h > INT32_MAX) return kNoErr;

  const ReadImageDocumentDesc* doc = fr.documentInfo;
  if (doc && doc->minVersion != 0) doc = nullptr;  // a description no reader of today may read
  const ReadChannelDesc* colour = doc ? doc->targetCompositeChannels : nullptr;
  if (doc && !colour) colour = doc->mergedCompositeChannels;

  ImageForm form;
  form.width = int32_t(w);
  form.height = int32_t(h);
  form.cmyk = fr.imageMode == kModeCMYKColor || fr.imageMode == kModeCMYK64;
  form.colourChannels = colour ? CountChannels(colour) : (form.cmyk ? 4 : 3);
  form.depth = colour && colour->minVersion <= kKnownChannelDescVersion ? colour->depth : 8;
  if (form.depth != 8 && form.depth != 16) return kNoErr;  // layers we cannot show: preview from the input
  // One alpha channel after the colour when the document has transparency,
  // whatever its colour mode.
  form.channels = form.colourChannels + (fr.planes > form.colourChannels ? 1 : 0);
  if (!Allocate(layers.backdrop, form, form.channels)) return kMemFullErr;

  const ActionSuites suites(call.basicSuite);
  Target target;
  if (!ReadTarget(suites, target)) return kNoErr;
  if (!doc || doc->maxVersion < 2 || !doc->layersDescriptor) return kNoErr;
  // Without a target in the list the host's input is all the preview shows:
  // composing every visible layer would show the target twice.
  const int targetIndex = FindTarget(doc->layersDescriptor, target);
  if (targetIndex < 0) return kNoErr;

  LayerImage scratch, mask;
  if (!Allocate(scratch, form, form.colourChannels) || !Allocate(mask, form, 1)) {
    Free(scratch);
    return kMemFullErr;
  }
  ChannelReader reader(call, filter);
  int16_t result = kNoErr;
  int index = 0;
  for (const ReadLayerDesc* layer = doc->layersDescriptor; layer && index < kMaxLayers;
       layer = layer->next, ++index) {
    if (layer->minVersion > kKnownLayerDescVersion) break;
    if (index == targetIndex) {
      if (!Allocate(layers.target, form, form.channels)) {
        result = kMemFullErr;
      } else if ((result = ReadTargetLayer(reader, *layer, layers.target)) != kNoErr) {
        Free(layers.target);  // the host's input still shows the target
      }
      break;
    }
    if (!IsVisible(suites, *layer)) continue;
    if ((result = reader.ReadColour(layer->compositeChannelsList, scratch)) != kNoErr) break;
    if (layer->transparency && (result = reader.Read(layer->transparency, mask, mask.Plane(0))) != kNoErr) break;
    Compose(layers.backdrop, scratch, layer->transparency ? &mask : nullptr);
  }
  Free(scratch);
  Free(mask);
  return result;
}

void FillSourceFromTarget(const HostCall& call, const DocumentLayers& layers, RunState& run) {
  const LayerImage& target = layers.target;
  if (!target.pixels || !run.source || run.width <= 0) return;
  const CmykToRgb cmyk(call.basicSuite);
  std::vector<uint8_t> colours(size_t(std::min(run.width, kMaxColorsPerCall)) * 4);
  for (int32_t y = 0; y < run.height; ++y)
    SampleRow(target, run, y, cmyk.Ready() ? &cmyk : nullptr, colours, run.source + size_t(y) * run.rowStride);
}

int16_t BuildPreviewBackground(const HostCall& call, DocumentLayers& layers, const RunState& run) {
  const LayerImage& backdrop = layers.backdrop;
  if (!backdrop.pixels || run.width <= 0 || run.height <= 0) return kNoErr;
  if (!layers.background || layers.backgroundWidth != run.width || layers.backgroundHeight != run.height) {
    platform::FreePages(layers.background);
    layers.background = static_cast<uint8_t*>(platform::AllocPages(size_t(run.width) * 3 * size_t(run.height)));
    layers.backgroundWidth = layers.background ? run.width : 0;
    layers.backgroundHeight = layers.background ? run.height : 0;
    if (!layers.background) return kMemFullErr;
  }
  const CmykToRgb cmyk(call.basicSuite);
  std::vector<uint8_t> colours(size_t(std::min(run.width, kMaxColorsPerCall)) * 4);
  std::vector<uint8_t> row(size_t(run.width) * 4);
  for (int32_t y = 0; y < run.height; ++y) {
    SampleRow(backdrop, run, y, cmyk.Ready() ? &cmyk : nullptr, colours, row.data());
    uint8_t* out = layers.background + size_t(y) * run.width * 3;
    for (int32_t x = 0; x < run.width; ++x, out += 3) {
      const uint8_t* p = &row[size_t(x) * 4];
      if (!backdrop.HasAlpha()) {
        std::memcpy(out, p, 3);
        continue;
      }
      const uint32_t grey = ((x / 7 + y / 7) & 1) ? 204 : 255;
      const uint32_t a = p[3];
      for (int k = 0; k < 3; ++k) out[k] = uint8_t((p[k] * a + grey * (255 - a)) / 255);
    }
  }
  return kNoErr;
}

int16_t LoadPreviewView(const HostCall& call, RunState& run, ParameterRecord& record, const ui::PreviewView& view,
                        DocumentLayers& layers) {
  FilterRecord& fr = *call.filter;
  const VRect filter = FilterRect(fr);
  const int64_t fw = int64_t(filter.right) - filter.left, fh = int64_t(filter.bottom) - filter.top;
  if (fw <= 0 || fh <= 0 || view.scale < 1 || view.scale > 32767 || view.width <= 0 || view.height <= 0 ||
      view.offsetX < 0 || view.offsetY < 0)
    return kFilterBadParameters;
  const int64_t s = view.scale;
  // The view stays inside the filter area's sampled pixels.
  const int64_t columns = (fw + s - 1) / s, rows = (fh + s - 1) / s;
  const int64_t w = std::min<int64_t>(view.width, columns), h = std::min<int64_t>(view.height, rows);
  const int64_t x0 = std::min<int64_t>(view.offsetX, columns - w), y0 = std::min<int64_t>(view.offsetY, rows - h);
  // The host samples on a grid that starts at the image's corner: the input
  // rectangle is in sampled pixels, and the part beyond the image is padded.
  const VRect in{int32_t(filter.top / s + y0), int32_t(filter.left / s + x0), int32_t(filter.top / s + y0 + h),
                 int32_t(filter.left / s + x0 + w)};
  const VRect out{filter.top, filter.left, int32_t(filter.top + h), int32_t(filter.left + w)};
  RequestAllPlanes(fr);
  SetRequest(fr, in, out, fr.haveMask ? in : VRect{0, 0, 0, 0});
  fr.inputRate = fr.maskRate = Fixed(s << 16);
  fr.inputPadding = 255;
  fr.maskPadding = 0;
  const OSErr err = fr.advanceState ? fr.advanceState() : kErrPlugInHostInsufficient;
  if (err != kNoErr) return err;

  run.dialogOpen = true;
  run.previewScale = double(s);
  run.previewOffsetX = int32_t(x0);
  run.previewOffsetY = int32_t(y0);
  // The source is converted as the document's mode, depth and transparency
  // say, before the render takes them.
  TakeDocumentFacts(fr, run);
  if (!LoadSource(call, run, record)) return kMemFullErr;
  FillSourceFromTarget(call, layers, run);
  return BuildPreviewBackground(call, layers, run);
}

void ReleaseDocumentLayers(DocumentLayers& layers) {
  Free(layers.backdrop);
  Free(layers.target);
  platform::FreePages(layers.background);
  layers.background = nullptr;
  layers.backgroundWidth = layers.backgroundHeight = 0;
}

}  // namespace rf::host
