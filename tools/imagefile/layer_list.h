// Rimeflower host: documents of several layers, as a list of image files.
//
// A layer list is a text file that names one image file per layer, from the
// bottom up, and marks the layer the filter works on:
//
//   rimeflower layers
//   # the bottom layer first; blank lines and lines from '#' are skipped
//   layer paper.jpg
//   layer "frost overlay.png" name "Frost" hidden
//   layer subject.png name Subject target
//
// The first line is exactly "rimeflower layers". Each layer line is the word
// `layer`, the file (relative to the list's folder, or absolute), then in any
// order `name NAME` (default: the file's name without its extension),
// `hidden`, and `target`, which exactly one layer carries. Words holding
// blanks are written in double quotes, inside which \" and \\ stand for
// themselves. Each file keeps its own transparency (an alpha channel);
// names need not be unique.
//
// Every layer must have the target's size and colour mode (grey files count
// as RGB): layers are not placed or converted between RGB and CMYK. Like the
// document, every layer reaches the filter at 8 bits, whatever the depth of
// its file. At most kMaxListLayers layers.
#pragma once

#include <string>

#include "tools/hostlib/host_document.h"
#include "tools/imagefile/image_io.h"

namespace rf::tools {

constexpr size_t kMaxListLayers = 1000;

// True when the file begins like a layer list (it is not read further).
bool IsLayerList(const std::string& path);

// Reads the list and its files into `doc`: the target layer's pixels and
// transparency are the document's, every layer is one of its layers.
// `target` receives the target's file as read, so that the result can be
// written in its form. False with a one-line message naming the line or the
// layer at fault.
bool ReadLayerList(const std::string& path, HostDocument& doc, Image& target, std::string& error);

}  // namespace rf::tools
