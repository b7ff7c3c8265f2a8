// Rimeflower host: the codecs behind image_io, one implementation per
// platform (Debian's libpng, libjpeg and libtiff on Linux; the system's
// imaging component on Windows).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "tools/imagefile/image_io.h"

namespace rf::tools::codecs {

// Reads a PNG, JPEG or TIFF file that ReadImage has recognised by content.
bool ReadCompressed(FileFormat format, const std::string& path, Image& image, std::string& error);
// Writes PNG, JPEG or TIFF to `path` (a temporary name WriteImage renames).
bool WriteCompressed(FileFormat format, const std::string& path, const Image& image, std::string& error);

// Shared checks: a size the host accepts, and the pixel buffer allocated.
bool SizeAcceptable(uint64_t width, uint64_t height, std::string& error);
bool Allocate(Image& image, std::string& error);

}  // namespace rf::tools::codecs
