#include "tools/hostlib/document_ports.h"

#include <algorithm>
#include <cstring>

#include "host/interface/result_codes.h"

namespace rf::tools {

using namespace rf::host;

namespace {

constexpr OSErr kParamErr = -50;
constexpr OSErr kErrUnknownPort = -30910;
constexpr OSErr kErrUnsupportedRowBits = -30911;
constexpr OSErr kErrUnsupportedColBits = -30912;
constexpr OSErr kErrUnsupportedBitOffset = -30913;
constexpr OSErr kErrUnsupportedDepth = -30914;
constexpr OSErr kErrUnsupportedDepthConversion = -30915;
constexpr SPErr kSPBadParameterError = 0x5061726D;  // 'Parm'

DocumentPorts* g_ports = nullptr;

VRect Intersect(const VRect& a, const VRect& b) {
  VRect r{std::max(a.top, b.top), std::max(a.left, b.left), std::min(a.bottom, b.bottom), std::min(a.right, b.right)};
  if (r.top >= r.bottom || r.left >= r.right) r = VRect{0, 0, 0, 0};
  return r;
}

const char* const kRGBNames[] = {"Red", "Green", "Blue"};
const char* const kCMYKNames[] = {"Cyan", "Magenta", "Yellow", "Black"};

// ---- The record's channel-port procedure -------------------------------------

OSErr ReadPixels(PIChannelPort port, const PSScaling* scaling, const VRect* writeRect,
                 const PixelMemoryDesc* destination, VRect* wroteRect) {
  if (wroteRect) *wroteRect = VRect{0, 0, 0, 0};
  const DocumentPorts::Port* p = g_ports ? g_ports->FindPort(port) : nullptr;
  if (!p) return kErrUnknownPort;
  if (!scaling || !writeRect) return kParamErr;
  // The data start at the write rectangle's corner, in the destination space.
  const VRect area = Intersect(*writeRect, scaling->destinationRect);
  const OSErr err = g_ports->Read(*p, destination, area, writeRect->left, writeRect->top, scaling);
  if (err == kNoErr && wroteRect) *wroteRect = area;
  return err;
}

OSErr WriteBasePixels(PIChannelPort, const VRect*, const PixelMemoryDesc*) { return kMemFullErr; }
OSErr ReadPortForWritePort(PIChannelPort*, PIChannelPort) { return kMemFullErr; }

// ---- The channel-ports suite ---------------------------------------------------

const DocumentPorts::Port* SuitePort(PIChannelPort port) { return g_ports ? g_ports->FindPort(port) : nullptr; }

VRect DocumentBounds() {
  const HostDocument* doc = g_ports->document();
  return VRect{0, 0, doc->height, doc->width};
}

SPErr CountLevels(PIChannelPort port, int32_t* count) {
  if (!SuitePort(port) || !count) return kSPBadParameterError;
  *count = 1;  // the document's own pixels, no reduced levels
  return kSPNoError;
}

SPErr GetDepth(PIChannelPort port, int32_t level, int32_t* depth) {
  if (!SuitePort(port) || level != 0 || !depth) return kSPBadParameterError;
  *depth = g_ports->document()->depth;
  return kSPNoError;
}

SPErr GetDataBounds(PIChannelPort port, int32_t level, VRect* bounds) {
  if (!SuitePort(port) || level != 0 || !bounds) return kSPBadParameterError;
  *bounds = DocumentBounds();
  return kSPNoError;
}

SPErr GetWriteLimit(PIChannelPort port, int32_t level, VRect* bounds) {
  if (!SuitePort(port) || level != 0 || !bounds) return kSPBadParameterError;
  *bounds = VRect{0, 0, 0, 0};  // every port is read-only
  return kSPNoError;
}

SPErr GetTilingGrid(PIChannelPort port, int32_t level, VPoint* origin, VPoint* size) {
  if (!SuitePort(port) || level != 0 || !origin || !size) return kSPBadParameterError;
  *origin = VPoint{0, 0};
  *size = VPoint{g_ports->document()->height, g_ports->document()->width};
  return kSPNoError;
}

SPErr CanRead(PIChannelPort port, Boolean* canRead) {
  const DocumentPorts::Port* p = SuitePort(port);
  if (!p || !canRead) return kSPBadParameterError;
  *canRead = p->readable ? 1 : 0;
  return kSPNoError;
}

SPErr CanWrite(PIChannelPort port, Boolean* canWrite) {
  if (!SuitePort(port) || !canWrite) return kSPBadParameterError;
  *canWrite = 0;
  return kSPNoError;
}

// Reads the part of `bounds` inside the document and answers that part in
// `bounds`; the data start at the corner of the rectangle asked for.
SPErr ReadPixelsFromLevel(PIChannelPort port, int32_t level, VRect* bounds, const PixelMemoryDesc* destination) {
  const DocumentPorts::Port* p = SuitePort(port);
  if (!p) return kErrUnknownPort;
  if (level != 0 || !bounds) return kSPBadParameterError;
  const VRect area = Intersect(*bounds, DocumentBounds());
  const OSErr err = g_ports->Read(*p, destination, area, bounds->left, bounds->top, nullptr);
  if (err == kNoErr) *bounds = area;
  return err;
}

}  // namespace

std::u16string Utf16FromUtf8(const std::string& utf8) {
  std::u16string out;
  for (size_t i = 0; i < utf8.size();) {
    const uint8_t c = uint8_t(utf8[i]);
    const int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
    uint32_t cp = extra == 0 ? c : extra == 1 ? c & 0x1F : extra == 2 ? c & 0x0F : c & 0x07;
    bool ok = extra >= 0 && i + size_t(extra) < utf8.size();
    for (int k = 1; ok && k <= extra; ++k) {
      const uint8_t d = uint8_t(utf8[i + size_t(k)]);
      ok = (d >> 6) == 2;
      cp = (cp << 6) | (d & 0x3F);
    }
    if (!ok || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(char16_t(0xFFFD));
      ++i;
      continue;
    }
    i += size_t(extra) + 1;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(char16_t(0xD800 + (cp >> 10)));
      out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(char16_t(cp));
    }
  }
  return out;
}

DocumentPorts::DocumentPorts() {
  recordProcs_ = ChannelPortProcs{1, 3, ReadPixels, WriteBasePixels, ReadPortForWritePort};
  suite_.CountLevels = CountLevels;
  suite_.GetDepth = GetDepth;
  suite_.GetDataBounds = GetDataBounds;
  suite_.GetWriteLimit = GetWriteLimit;
  suite_.GetTilingGrid = GetTilingGrid;
  suite_.CanRead = CanRead;
  suite_.CanWrite = CanWrite;
  suite_.ReadPixelsFromLevel = ReadPixelsFromLevel;
}

DocumentPorts::~DocumentPorts() { Clear(); }

void DocumentPorts::Clear() {
  if (g_ports == this) g_ports = nullptr;
  described_ = false;
  doc_ = nullptr;
  description_ = ReadImageDocumentDesc{};
  ports_.clear();
  portSet_.clear();
  channels_.clear();
  layers_.clear();
  unicodeNames_.clear();
  reads_.clear();
}

ReadChannelDesc* DocumentPorts::AddChannels(const uint8_t* pixels, int32_t planes, size_t layer, bool target,
                                            bool withTransparency, ReadChannelDesc** transparency) {
  const int colour = doc_->ColourPlanes();
  const bool readable = int32_t(layer) != options_.unreadableLayer;
  ReadChannelDesc* first = nullptr;
  ReadChannelDesc* previous = nullptr;
  for (int c = 0; c < colour + (withTransparency ? 1 : 0); ++c) {
    Port& port = ports_.emplace_back();
    portSet_.insert(&port);
    port.pixels = pixels;
    port.planes = planes;
    port.plane = c;
    port.layer = layer;
    port.readable = readable && pixels != nullptr;
    ReadChannelDesc& ch = channels_.emplace_back();
    ch.minVersion = 0;
    ch.maxVersion = 3;
    ch.port = &port;
    ch.bounds = VRect{0, 0, doc_->height, doc_->width};
    ch.depth = doc_->depth;
    ch.tileSize = VPoint{doc_->height, doc_->width};
    ch.target = target ? 1 : 0;
    ch.shown = 1;
    const bool isTransparency = c == colour;
    ch.channelType = int16_t(isTransparency ? kChannelTypeTransparency : colour == 4 ? 4 + c : 1 + c);
    ch.name = isTransparency ? "Transparency" : colour == 4 ? kCMYKNames[c] : kRGBNames[c];
    ch.unicodeName = reinterpret_cast<const uint16_t*>(unicodeNames_.emplace_back(Utf16FromUtf8(ch.name)).c_str());
    if (isTransparency) {
      *transparency = &ch;
      break;
    }
    if (previous) previous->next = &ch;
    if (!first) first = &ch;
    previous = &ch;
  }
  return first;
}

void DocumentPorts::Describe(const HostDocument& doc, const std::vector<uint8_t>& target,
                             const PortOptions& options) {
  Clear();
  doc_ = &doc;
  options_ = options;
  described_ = true;
  g_ports = this;
  ReadImageDocumentDesc& d = description_;
  d.minVersion = 0;
  d.maxVersion = options.layerList ? 3 : 0;
  d.imageMode = doc.mode;
  d.depth = doc.depth;
  d.bounds = VRect{0, 0, doc.height, doc.width};
  const Fixed resolution = Fixed(std::clamp(doc.resolution, 1.0, 30000.0) * 65536.0);
  d.hResolution = d.vResolution = resolution;
  d.compositeChannelCount = doc.ColourPlanes();

  const bool layered = !doc.layers.empty() && doc.targetLayer >= 0 && size_t(doc.targetLayer) < doc.layers.size();
  const size_t layerCount = layered ? doc.layers.size() : 1;
  const size_t targetIndex = layered ? size_t(doc.targetLayer) : 0;
  reads_.assign(layerCount, 0);
  const int32_t planes = doc.planes;
  d.targetCompositeChannels =
      AddChannels(target.data(), planes, targetIndex, true, doc.hasTransparency, &d.targetTransparency);
  if (!layered) {
    d.mergedCompositeChannels =
        AddChannels(target.data(), planes, 0, false, doc.hasTransparency, &d.mergedTransparency);
  }
  if (!options.layerList) return;

  ReadLayerDesc* previous = nullptr;
  for (size_t i = 0; i < layerCount; ++i) {
    const HostLayer* source = layered ? &doc.layers[i] : nullptr;
    const bool isTarget = i == targetIndex;
    const bool transparency = isTarget ? doc.hasTransparency : source->hasTransparency;
    const int32_t layerPlanes = isTarget ? planes : int32_t(doc.ColourPlanes() + (transparency ? 1 : 0));
    const size_t expected = size_t(doc.width) * size_t(doc.height) * size_t(layerPlanes) * doc.BytesPerSample();
    const uint8_t* pixels =
        isTarget ? target.data() : source->pixels.size() == expected ? source->pixels.data() : nullptr;
    ReadLayerDesc& layer = layers_.emplace_back();
    layer.minVersion = 0;
    layer.maxVersion = 2;
    layer.compositeChannelsList = AddChannels(pixels, layerPlanes, i, isTarget, transparency, &layer.transparency);
    layer.sheetID = SheetID(i);
    const std::string& name = source ? source->name : std::string(kFlatLayerName);
    layer.name = source ? source->name.c_str() : kFlatLayerName;
    layer.unicodeName = reinterpret_cast<const uint16_t*>(unicodeNames_.emplace_back(Utf16FromUtf8(name)).c_str());
    layer.isPixelBased = 1;
    layer.isVisible = source ? source->visible : 1;
    layer.opacity = layer.fillOpacity = 255;
    layer.blendMode = 0x6E6F726D;  // 'norm'
    if (previous) previous->next = &layer;
    else d.layersDescriptor = &layer;
    previous = &layer;
  }
  d.layerCount = int32_t(layerCount);
}

const DocumentPorts::Port* DocumentPorts::FindPort(PIChannelPort port) const {
  return portSet_.count(port) ? static_cast<const Port*>(port) : nullptr;
}

int16_t DocumentPorts::Read(const Port& port, const PixelMemoryDesc* destination, const VRect& area,
                            int32_t originLeft, int32_t originTop, const PSScaling* scaling) {
  ++reads_[port.layer];
  if (!port.readable) return kErrUnknownPort;
  if (!destination || !destination->data) return kParamErr;
  if (destination->depth != 8 && destination->depth != 16) return kErrUnsupportedDepth;
  if (destination->depth != doc_->depth) return kErrUnsupportedDepthConversion;
  if (destination->rowBits % 8 != 0) return kErrUnsupportedRowBits;
  if (destination->colBits % 8 != 0) return kErrUnsupportedColBits;
  if (destination->bitOffset % 8 != 0) return kErrUnsupportedBitOffset;
  const int64_t w = int64_t(area.right) - area.left, h = int64_t(area.bottom) - area.top;
  if (w <= 0 || h <= 0) return kNoErr;
  // A rectangle far beyond the document is a fault of the caller's, not work.
  if (w * h > int64_t(doc_->width + 1) * (doc_->height + 1) * 64) return kParamErr;
  const size_t sample = doc_->BytesPerSample();
  const size_t pixelBytes = size_t(port.planes) * sample;
  auto* data = static_cast<uint8_t*>(destination->data) + destination->bitOffset / 8;
  const VRect& src = scaling ? scaling->sourceRect : area;
  const VRect& dst = scaling ? scaling->destinationRect : area;
  const int64_t sw = int64_t(src.right) - src.left, sh = int64_t(src.bottom) - src.top;
  const int64_t dw = std::max<int64_t>(1, int64_t(dst.right) - dst.left);
  const int64_t dh = std::max<int64_t>(1, int64_t(dst.bottom) - dst.top);
  for (int32_t y = area.top; y < area.bottom; ++y) {
    const int64_t sy = src.top + (int64_t(y) - dst.top) * sh / dh;
    if (sy < 0 || sy >= doc_->height) continue;
    uint8_t* row = data + (int64_t(y) - originTop) * (destination->rowBits / 8);
    for (int32_t x = area.left; x < area.right; ++x) {
      const int64_t sx = src.left + (int64_t(x) - dst.left) * sw / dw;
      if (sx < 0 || sx >= doc_->width) continue;
      const uint8_t* from =
          port.pixels + (size_t(sy) * doc_->width + size_t(sx)) * pixelBytes + size_t(port.plane) * sample;
      std::memcpy(row + (int64_t(x) - originLeft) * (destination->colBits / 8), from, sample);
    }
  }
  return kNoErr;
}

}  // namespace rf::tools
