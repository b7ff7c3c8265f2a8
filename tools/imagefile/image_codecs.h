// Rimeflower host: the codecs behind image_io, one implementation per
// platform (Debian's libpng, libjpeg and libtiff on Linux; the system's
// imaging component on Windows).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "tools/imagefile/image_io.h"
#include "tools/imagefile/safe_file.h"

namespace rf::tools::codecs {

// The file a reader decodes: its path, its size, and the limits it obeys.
struct Source {
  std::string path;
  uint64_t bytes = 0;
  ReadLimits limits;
};

// Reads a PNG, JPEG or TIFF file that ReadImage has recognised by content.
bool ReadCompressed(FileFormat format, const Source& source, Image& image, std::string& error);
// Writes PNG, JPEG or TIFF into the temporary file WriteImage renames.
bool WriteCompressed(FileFormat format, TempFile& file, const Image& image, std::string& error);

// Shared checks: a size within the limit that the file's data can justify
// (`pixelsPerByte` as for MaxPixelsForData, 0 when the data is not
// compressed and the reader checks its length itself), and the pixel
// buffer allocated.
bool SizeAcceptable(uint64_t width, uint64_t height, const Source& source, uint64_t pixelsPerByte,
                    std::string& error);
bool Allocate(Image& image, std::string& error);

// Pixels per byte of data at most: deflate expands a byte to at most 1032
// (PNG, at 1 bit per pixel); a Huffman-coded JPEG spends at least a bit on
// each 8 x 8 block; arithmetic coding and the other TIFF compressions get a
// wider bound.
constexpr uint64_t kPngPixelsPerByte = 8 * 1032;
constexpr uint64_t kJpegPixelsPerByte = 512;
constexpr uint64_t kArithmeticJpegPixelsPerByte = 8192;
constexpr uint64_t kAnyPixelsPerByte = 8 * 4096;

}  // namespace rf::tools::codecs
