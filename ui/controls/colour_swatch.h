// Rimeflower controls: the colour swatch ("Contaner Color CPP") without its
// window: what it paints and how it asks for a new colour.
#pragma once

#include <cstdint>

#include "ui/controls/pixel_canvas.h"

namespace rf::controls {

// Outline of an enabled swatch of colour `colorRef` (COLORREF, red low): the
// inverse while the mouse is over it, otherwise per channel d = 255 - c,
// d + 127 when d < 127, else d / 2; a colour that is readable against both
// light and dark fills.
uint32_t SwatchOutline(uint32_t colorRef, bool hover);

// Paints a swatch into `canvas` (its client size): enabled, the colour over
// the whole client area with the outline; disabled, the colour inset by 4
// pixels left and right and 3 top and bottom on the background, no outline.
void PaintSwatch(Canvas& canvas, uint32_t colorRef, bool enabled, bool hover, Pixel background);

// ---- Choosing a colour ---------------------------------------------------

// The host's colour picker as the dialog installs it: called with the
// prompt and the colour as 16-bit components (in and out); answers 0 when a
// colour was chosen, -128 when the user cancelled, anything else when the
// picker could not be shown.
using HostColourPicker = int16_t (*)(void* context, const char* prompt, uint16_t rgb16[3]);
// The system colour dialog: true with *colorRef set when a colour was chosen.
using SystemColourPicker = bool (*)(void* context, uint32_t* colorRef);

constexpr const char* kColourPrompt = "Select a Color";

// 8-bit channels to the host's 16-bit components and back (exact round trip
// for every 8-bit value; 16-bit values round to the nearest 8-bit one).
uint16_t ToComponent16(uint8_t c);
uint8_t FromComponent16(uint16_t c);

// Runs the choice: the host's picker first when there is one (a cancel ends
// it without a colour; any other failure falls back), then the system
// dialog. True with *colorRef updated when the user chose a colour.
bool ChooseColour(uint32_t* colorRef, HostColourPicker host, void* hostContext, SystemColourPicker system,
                  void* systemContext);

}  // namespace rf::controls
