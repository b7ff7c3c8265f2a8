// Rimeflower in GIMP: what GIMP hands over, as the host's document.
//
// The plug-in reads the drawable, the layers below it, the selection and the
// image's vectors through libgimp into the plain structures below; turning
// them into a `HostDocument` needs no GIMP, so that it can be tested without
// one. Pixels travel as `Image`s, the form image files take, so that a
// drawable reaches the filter exactly as the same pixels in a file reach it
// through `rimeflower apply` (16-bit samples included).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/record/parameters.h"
#include "tools/hostlib/host_document.h"
#include "tools/imagefile/image_io.h"

namespace rf::tools::gimp {

// ---- The procedure's arguments and GIMP's stored values ---------------------

// The name of a parameter as an argument of the procedure: GIMP's parameter
// names take no blanks, so "Center X" becomes "Center-X"; every other name
// is the scripting name as it is.
std::string ArgumentName(const ScriptedParameter& p);

// The values of all 47 parameters as GIMP stores them between runs
// (gimp_set_data): a tag and the values in the order of the scripting table,
// each as a little-endian double.
std::vector<uint8_t> StoredValues(const ParameterRecord& record);
// Overlays `record` with stored values. False, leaving `record` as it was,
// when the bytes are not a whole set of them (an older or damaged store).
bool ReadStoredValues(const uint8_t* data, size_t size, ParameterRecord& record);

// ---- Layers ---------------------------------------------------------------------

// A layer below the filtered one, as GIMP has it.
struct LayerBelow {
  std::string name;
  bool visible = true;
  double opacity = 1.0;  // 0..1
  // Where the layer's top-left pixel falls in the filtered drawable.
  int32_t offsetX = 0, offsetY = 0;
  Image pixels;          // RGB or RGBA at 8 or 16 bits
};

// Makes `layers` (the bottom one first) the layers of `doc` below its target,
// which becomes the top layer. Each layer is placed at its offset and cut to
// the document; what it does not cover is transparent, and its opacity is
// folded into its transparency, as the module knows no other. A layer that
// covers the document fully at full opacity and has no alpha stays without a
// transparency plane. False with a message when memory runs out.
bool AddLayersBelow(const std::vector<LayerBelow>& layers, HostDocument& doc, std::string& error);

// ---- Vectors --------------------------------------------------------------------

// One stroke of a GIMP vectors object: the points as GIMP lists them for a
// Bézier stroke, x and y in image pixels, three points per anchor (the
// control point before it, the anchor, the control point after it).
struct Stroke {
  std::vector<double> points;
  bool closed = false;
};

// The path records of a vectors object for a document of width x height
// pixels whose top-left pixel sits at (offsetX, offsetY) in the image.
// Strokes with fewer than one whole anchor are skipped; no stroke at all
// gives a path without subpaths. False with a message when the points are
// out of reach of the record format.
bool PathRecordsFromStrokes(const std::vector<Stroke>& strokes, int32_t offsetX, int32_t offsetY, int32_t width,
                            int32_t height, std::vector<uint8_t>& records, std::string& error);

// ---- Selection ------------------------------------------------------------------

// Makes the selection channel's values over the drawable (one byte per
// pixel) the document's selection. The module learns only which pixels are
// selected; GIMP blends partly selected pixels itself when the result is
// merged, so a feathered edge is applied once, by GIMP.
void SelectionFromChannel(const std::vector<uint8_t>& values, HostDocument& doc);

}  // namespace rf::tools::gimp
