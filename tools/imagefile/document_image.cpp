#include "tools/imagefile/document_image.h"

#include <cstring>
#include <new>

namespace rf::tools {

using host::kModeCMYK64;
using host::kModeCMYKColor;
using host::kModeRGBColor;

bool DocumentFromImage(const Image& image, HostDocument& doc, std::string& error) {
  doc = HostDocument{};
  doc.width = image.width;
  doc.height = image.height;
  doc.depth = 8;
  doc.hasTransparency = image.hasAlpha;
  const int colour = image.mode == ImageMode::CMYK ? 4 : 3;
  doc.planes = int16_t(colour + (image.hasAlpha ? 1 : 0));
  doc.mode = image.mode == ImageMode::CMYK ? kModeCMYKColor : kModeRGBColor;
  try {
    doc.pixels.resize(doc.RowBytes() * size_t(doc.height));
  } catch (const std::bad_alloc&) {
    error = "not enough memory for the document";
    return false;
  }
  const int inChannels = image.Channels();
  const size_t n = size_t(image.width) * size_t(image.height);
  for (size_t i = 0; i < n; ++i) {
    for (int c = 0; c < doc.planes; ++c) {
      // Grey images are shown to the filter as RGB: it works on colour only.
      int from = c;
      if (image.mode == ImageMode::Gray) from = c < 3 ? 0 : 1;
      if (image.depth == 8) {
        doc.pixels[i * doc.planes + c] = image.pixels[i * inChannels + from];
      } else {
        uint16_t v;
        std::memcpy(&v, &image.pixels[(i * inChannels + from) * 2], 2);
        doc.pixels[i * doc.planes + c] = uint8_t((uint32_t(v) * 255u + 32767u) / 65535u);
      }
    }
  }
  return true;
}

void ImageFromDocument(const HostDocument& doc, const Image& original, Image& out) {
  out = Image{};
  out.width = doc.width;
  out.height = doc.height;
  out.depth = original.depth;
  out.hasAlpha = doc.hasTransparency;
  out.format = original.format;
  out.mode = (doc.mode == kModeCMYKColor || doc.mode == kModeCMYK64) ? ImageMode::CMYK : ImageMode::RGB;
  out.pixels.resize(out.RowBytes() * size_t(out.height));
  if (original.depth == 8 && original.mode == out.mode) {
    out.pixels = doc.pixels;
    return;
  }
  const int inChannels = original.Channels();
  const size_t n = size_t(doc.width) * size_t(doc.height);
  for (size_t i = 0; i < n; ++i) {
    for (int c = 0; c < doc.planes; ++c) {
      const uint8_t v = doc.pixels[i * doc.planes + c];
      int from = c;
      if (original.mode == ImageMode::Gray) from = c < 3 ? 0 : 1;
      if (original.depth == 8) {
        out.pixels[i * doc.planes + c] = v;
        continue;
      }
      uint16_t was;
      std::memcpy(&was, &original.pixels[(i * inChannels + from) * 2], 2);
      const bool unchanged = uint8_t((uint32_t(was) * 255u + 32767u) / 65535u) == v;
      const uint16_t result = unchanged ? was : uint16_t(v * 257u);
      std::memcpy(&out.pixels[(i * doc.planes + c) * 2], &result, 2);
    }
  }
}

bool SelectionFromImage(const Image& mask, HostDocument& doc, std::string& error) {
  if (mask.width != doc.width || mask.height != doc.height) {
    error = "the selection is " + std::to_string(mask.width) + " x " + std::to_string(mask.height) +
            " but the image is " + std::to_string(doc.width) + " x " + std::to_string(doc.height);
    return false;
  }
  doc.selection.resize(size_t(mask.width) * mask.height);
  const int channels = mask.Channels();
  for (size_t i = 0; i < doc.selection.size(); ++i) {
    // 16-bit masks use their high byte.
    doc.selection[i] = mask.depth == 16 ? mask.pixels[(i * channels) * 2 + 1] : mask.pixels[i * channels];
  }
  return true;
}

}  // namespace rf::tools
