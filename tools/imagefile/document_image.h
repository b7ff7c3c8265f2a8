// Rimeflower host: image files as the documents the host filters.
//
// The module declares 8-bit modes only, so 16-bit files are handed over at 8
// bits; on the way back every sample the filter left as it was keeps its
// full 16-bit value. Grey files are shown to the filter as RGB.
#pragma once

#include <string>

#include "tools/hostlib/host_document.h"
#include "tools/imagefile/image_io.h"

namespace rf::tools {

bool DocumentFromImage(const Image& image, HostDocument& doc, std::string& error);
// The filtered document in the layout, depth and format of the file it came from.
void ImageFromDocument(const HostDocument& doc, const Image& original, Image& out);

// Makes `mask` the document's selection: non-zero is selected, the first
// channel decides. False with a message when the sizes differ.
bool SelectionFromImage(const Image& mask, HostDocument& doc, std::string& error);

}  // namespace rf::tools
