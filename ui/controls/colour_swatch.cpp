#include "ui/controls/colour_swatch.h"

namespace rf::controls {

uint32_t SwatchOutline(uint32_t colorRef, bool hover) {
  if (hover) return ~colorRef & 0xFFFFFF;
  uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const uint32_t d = 255 - ((colorRef >> shift) & 0xFF);
    out |= (d < 127 ? d + 127 : d / 2) << shift;
  }
  return out;
}

void PaintSwatch(Canvas& canvas, uint32_t colorRef, bool enabled, bool hover, Pixel background) {
  if (canvas.Empty()) return;
  const Pixel fill = FromColorRef(colorRef);
  const int32_t w = canvas.Width(), h = canvas.Height();
  if (!enabled) {
    canvas.Fill(background);
    canvas.FillRect({4, 3, w - 8, h - 6}, fill);
    return;
  }
  canvas.Fill(fill);
  const Pixel outline = FromColorRef(SwatchOutline(colorRef, hover));
  canvas.Line(0, 0, w - 1, 0, outline);
  canvas.Line(0, h - 1, w - 1, h - 1, outline);
  canvas.Line(0, 0, 0, h - 1, outline);
  canvas.Line(w - 1, 0, w - 1, h - 1, outline);
}

uint16_t ToComponent16(uint8_t c) { return static_cast<uint16_t>(c * 257); }

uint8_t FromComponent16(uint16_t c) { return static_cast<uint8_t>((static_cast<uint32_t>(c) * 255 + 32767) / 65535); }

bool ChooseColour(uint32_t* colorRef, HostColourPicker host, void* hostContext, SystemColourPicker system,
                  void* systemContext) {
  if (!colorRef) return false;
  if (host) {
    uint16_t rgb[3] = {ToComponent16(*colorRef & 0xFF), ToComponent16((*colorRef >> 8) & 0xFF),
                       ToComponent16((*colorRef >> 16) & 0xFF)};
    const int16_t result = host(hostContext, kColourPrompt, rgb);
    if (result == 0) {
      *colorRef = FromComponent16(rgb[0]) | (FromComponent16(rgb[1]) << 8) | (FromComponent16(rgb[2]) << 16);
      return true;
    }
    if (result == -128) return false;
  }
  uint32_t chosen = *colorRef;
  if (!system || !system(systemContext, &chosen)) return false;
  *colorRef = chosen & 0xFFFFFF;
  return true;
}

}  // namespace rf::controls
