#include "tools/gimp/gimp_document.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "tools/imagefile/document_image.h"
#include "tools/svg/svg_path.h"

namespace rf::tools::gimp {

namespace {

// "RFv1" then the values: a store written by another layout is not misread.
constexpr uint8_t kStoreTag[4] = {'R', 'F', 'v', '1'};
constexpr size_t kStoreSize = sizeof kStoreTag + 8 * size_t(kScriptedParameterCount);

void PutDouble(uint8_t* to, double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, 8);
  for (int i = 0; i < 8; ++i) to[i] = uint8_t(bits >> (8 * i));
}

double GetDouble(const uint8_t* from) {
  uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits |= uint64_t(from[i]) << (8 * i);
  double v;
  std::memcpy(&v, &bits, 8);
  return v;
}

}  // namespace

std::string ArgumentName(const ScriptedParameter& p) {
  std::string name = p.name;
  std::replace(name.begin(), name.end(), ' ', '-');
  return name;
}

std::vector<uint8_t> StoredValues(const ParameterRecord& record) {
  std::vector<uint8_t> bytes(kStoreSize);
  std::memcpy(bytes.data(), kStoreTag, sizeof kStoreTag);
  uint8_t* at = bytes.data() + sizeof kStoreTag;
  for (const ScriptedParameter& p : kScriptedParameters) {
    // Integers as doubles are exact: the widest field has 32 bits.
    PutDouble(at, p.type == ScriptType::Integer ? double(GetIntegerValue(record, p)) : GetFloatValue(record, p));
    at += 8;
  }
  return bytes;
}

bool ReadStoredValues(const uint8_t* data, size_t size, ParameterRecord& record) {
  if (!data || size != kStoreSize || std::memcmp(data, kStoreTag, sizeof kStoreTag) != 0) return false;
  const uint8_t* at = data + sizeof kStoreTag;
  for (const ScriptedParameter& p : kScriptedParameters) {
    const double v = GetDouble(at);
    at += 8;
    if (p.type == ScriptType::Integer)
      SetIntegerValue(record, p, int64_t(std::clamp(v, -4294967296.0, 4294967296.0)));
    else
      SetFloatValue(record, p, v);
  }
  return true;
}

bool AddLayersBelow(const std::vector<LayerBelow>& layers, HostDocument& doc, std::string& error) {
  std::vector<HostLayer> result;
  try {
    result.reserve(layers.size() + 1);
    for (const LayerBelow& below : layers) {
      HostDocument one;
      if (!DocumentFromImage(below.pixels, one, error)) return false;
      const int32_t left = std::max(0, below.offsetX), top = std::max(0, below.offsetY);
      const int32_t right = std::min(doc.width, below.offsetX + one.width);
      const int32_t bottom = std::min(doc.height, below.offsetY + one.height);
      const bool covers = left == 0 && top == 0 && right == doc.width && bottom == doc.height;
      // Opacity in 0..255 steps, as the transparency plane counts.
      const uint32_t opacity = uint32_t(std::clamp(below.opacity, 0.0, 1.0) * 255.0 + 0.5);
      HostLayer layer;
      layer.name = below.name;
      layer.visible = below.visible;
      layer.hasTransparency = one.hasTransparency || !covers || opacity != 255;
      const int planes = layer.hasTransparency ? 4 : 3;
      // Uncovered pixels: transparent black.
      layer.pixels.assign(size_t(doc.width) * size_t(doc.height) * size_t(planes), 0);
      for (int32_t y = top; y < bottom; ++y) {
        for (int32_t x = left; x < right; ++x) {
          const uint8_t* from =
              &one.pixels[(size_t(y - below.offsetY) * size_t(one.width) + size_t(x - below.offsetX)) * one.planes];
          uint8_t* to = &layer.pixels[(size_t(y) * size_t(doc.width) + size_t(x)) * planes];
          to[0] = from[0], to[1] = from[1], to[2] = from[2];
          if (planes == 4) {
            const uint32_t alpha = one.hasTransparency ? from[3] : 255;
            to[3] = uint8_t((alpha * opacity + 127) / 255);
          }
        }
      }
      result.push_back(std::move(layer));
    }
    HostLayer target;
    target.name = "Target";
    target.hasTransparency = doc.hasTransparency;
    result.push_back(std::move(target));
  } catch (const std::bad_alloc&) {
    error = "not enough memory for the layers below";
    return false;
  }
  doc.targetLayer = int32_t(result.size() - 1);
  doc.layers.swap(result);
  return true;
}

bool PathRecordsFromStrokes(const std::vector<Stroke>& strokes, int32_t offsetX, int32_t offsetY, int32_t width,
                            int32_t height, std::vector<uint8_t>& records, std::string& error) {
  std::vector<SvgSubpath> subpaths;
  for (const Stroke& stroke : strokes) {
    const size_t anchors = stroke.points.size() / 6;
    if (anchors == 0) continue;
    SvgSubpath s;
    s.closed = stroke.closed;
    s.knots.reserve(anchors);
    for (size_t a = 0; a < anchors; ++a) {
      const double* p = &stroke.points[a * 6];
      s.knots.push_back(SvgKnot{p[0] - offsetX, p[1] - offsetY, p[2] - offsetX, p[3] - offsetY, p[4] - offsetX,
                                p[5] - offsetY});
    }
    subpaths.push_back(std::move(s));
  }
  return PathRecordsFromSubpaths(subpaths, width, height, records, error);
}

void SelectionFromChannel(const std::vector<uint8_t>& values, HostDocument& doc) {
  doc.selection.resize(values.size());
  for (size_t i = 0; i < values.size(); ++i) doc.selection[i] = values[i] ? 255 : 0;
}

}  // namespace rf::tools::gimp
