// Rimeflower: the dialog's sizes and where its parts go.
//
// Everything here is in screen pixels for a given screen density (vertical
// dots per inch). The pages come from their templates, whose size the
// system scales with the dialog font; the main window is laid out around
// them: the pages on the right under the tabs, the preview filling what is
// left on the left, the zoom row, the overview and the preset panel under
// it, and OK and Cancel in the bottom-right corner.
#pragma once

#include <cstdint>

#include "ui/controls/pixel_canvas.h"

namespace rf::ui {

using controls::Rect;

struct Size {
  int32_t width = 0, height = 0;
};

// The smallest outer window: below 120 dots per inch 990 x 703, below 144
// 1160 x 828, below 216 1390 x 985, otherwise 1400 x 1000.
Size MinimumWindowSize(int32_t density);

// A font height given for 96 dots per inch, at `density`: above 96 it grows
// with the square root of the density's ratio (text stays compact on dense
// screens), below 96 in proportion.
int32_t FontHeight(int32_t height96, int32_t density);

// Pixels at `density` for a length given at 96 dots per inch, for the
// window's own parts (pictures, buttons, gaps): they grow like the
// window's minimum size.
int32_t Scaled(int32_t length96, int32_t density);

// The "Rotation by X" dial: 50, 60, 80 or 100 (below 120, 144, 216 dots per
// inch, and above) is its radius; the window is twice that.
int32_t RotationDialRadius(int32_t density);
// Where its knob runs, inside the rim, and the height of its edit box.
int32_t RotationKnobInset(int32_t density);
int32_t RotationEditHeight(int32_t density);

struct MainLayout {
  Rect header, headerSide;            // the two header pictures
  Rect preview, overview;
  Rect zoomOut, zoomLabel, zoomIn, progress;
  Rect presets;                       // the preset panel
  Rect tabs, page;                    // the tab strip and the page under it
  Rect product, manual, ok, cancel;
};

// Lays out a client area of `client` for pages of `page` size (the larger
// of the two templates) and a preset panel of `presets` size at `density`.
// Nothing goes below zero size when the client is too small.
MainLayout LayoutMain(Size client, Size page, Size presets, int32_t density);

struct PresetPanelLayout {
  Rect basicTitle, basicPath, basicList;
  Rect userTitle, userPath, userList;
  Rect save, remove;
};

// The preset panel at `panel` size: the two lists side by side under their
// titles and paths, Save and Delete under the user's list.
PresetPanelLayout LayoutPresetPanel(Size panel, int32_t density);

}  // namespace rf::ui
