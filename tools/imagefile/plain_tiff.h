// Rimeflower host: plain TIFF files written without a codec.
//
// Uncompressed, contiguous samples in strips: the layouts the system's TIFF
// encoder on Windows does not take (Wine's has no CMYK and no 16-bit grey)
// are written this way, and every TIFF reader takes them.
#pragma once

#include <cstdint>
#include <string>

#include "tools/imagefile/image_io.h"

namespace rf::tools::codecs {

struct PlainTiffLayout {
  bool bigEndian = false;     // the host writes its own byte order; other programs may not
  uint32_t rowsPerStrip = 0;  // 0: strips of about a megabyte
};

// Writes `image` to `path` (the temporary name WriteImage renames). False
// with a message when the file cannot be written or would pass 4 GB.
bool WritePlainTiff(const std::string& path, const Image& image, std::string& error,
                    const PlainTiffLayout& layout = PlainTiffLayout{});

}  // namespace rf::tools::codecs
