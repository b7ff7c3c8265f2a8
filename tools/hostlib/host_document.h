// Rimeflower host: the document a host filters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/interface/host_interface.h"

namespace rf::tools {

// One layer of a layered document.
struct HostLayer {
  std::string name;  // UTF-8
  bool visible = true;
  bool hasTransparency = true;
  // The document's colour planes, then the transparency plane when the layer
  // has one, interleaved, at the document's depth and size. The target
  // layer's pixels are the document's `pixels`; its own stay empty.
  std::vector<uint8_t> pixels;
};

// A document as the host keeps it: planes interleaved, 8-bit samples or
// 16-bit samples in the interface's 0..32768 range. CMYK samples count ink
// (0 = none).
struct HostDocument {
  int32_t width = 0;
  int32_t height = 0;
  int16_t mode = host::kModeRGBColor;  // RGB, CMYK, RGB48 or CMYK64 (others are refused by the module)
  int32_t depth = 8;
  int16_t planes = 3;           // colour planes plus the transparency plane when present
  bool hasTransparency = false;
  std::vector<uint8_t> pixels;  // height rows of width x planes samples

  // The selection: width x height bytes, non-zero inside; empty when the
  // whole image is selected.
  std::vector<uint8_t> selection;

  // Vector paths, each in the published path-resource layout (26-byte
  // big-endian records), and which of them is the work path (-1: none).
  std::vector<std::vector<uint8_t>> paths;
  int32_t workPathIndex = -1;
  double resolution = 72.0;  // pixels per inch

  // The layers from the bottom up, and which of them is the one filtered
  // (its transparency is the document's). Empty: a flat image.
  std::vector<HostLayer> layers;
  int32_t targetLayer = -1;

  int ColourPlanes() const { return mode == host::kModeCMYKColor || mode == host::kModeCMYK64 ? 4 : 3; }
  size_t BytesPerSample() const { return depth == 16 ? 2 : 1; }
  size_t RowBytes() const { return size_t(width) * size_t(planes) * BytesPerSample(); }
};

}  // namespace rf::tools
