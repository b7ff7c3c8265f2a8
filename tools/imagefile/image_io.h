// Rimeflower host: reading and writing image files (PNG, JPEG, TIFF, PGM).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rf::tools {

enum class ImageMode { Gray, RGB, CMYK };
enum class FileFormat { Unknown, PNG, JPEG, TIFF, PGM };

// An image as decoded from a file: samples interleaved, colour channels
// first, then alpha when present. 8-bit samples are bytes; 16-bit samples
// are native-endian uint16 values in the file's own range (0..65535).
struct Image {
  int width = 0;
  int height = 0;
  ImageMode mode = ImageMode::RGB;
  int depth = 8;          // bits per sample: 8 or 16
  bool hasAlpha = false;
  FileFormat format = FileFormat::Unknown;  // the format it was read from
  int pages = 1;  // pages in the file (a multi-page TIFF); only the first is read
  std::vector<uint8_t> pixels;

  int ColourChannels() const { return mode == ImageMode::Gray ? 1 : mode == ImageMode::RGB ? 3 : 4; }
  int Channels() const { return ColourChannels() + (hasAlpha ? 1 : 0); }
  size_t BytesPerSample() const { return depth == 16 ? 2 : 1; }
  size_t RowBytes() const { return size_t(width) * Channels() * BytesPerSample(); }
};

// Images larger than this many pixels are refused before any allocation
// unless the reader is given another limit (`--max-megapixels`).
constexpr uint64_t kMaxImagePixels = 400ull * 1000 * 1000;

// Below this many pixels any file is decoded; above it, a file must hold
// enough data for the size its header claims (see MaxPixelsForData), so a
// small damaged or hostile file never costs more than a small image.
constexpr uint64_t kPixelsAlwaysDecoded = 16ull * 1000 * 1000;

struct ReadLimits {
  uint64_t maxPixels = kMaxImagePixels;
  uint64_t alwaysDecodedPixels = kPixelsAlwaysDecoded;
};

// The most pixels `dataBytes` of compressed data can stand for, when one byte
// decodes to at most `pixelsPerByte` pixels, but never less than
// `alwaysDecoded`.
uint64_t MaxPixelsForData(uint64_t dataBytes, uint64_t pixelsPerByte, uint64_t alwaysDecoded = kPixelsAlwaysDecoded);

// The format an output name's extension names (PNG for .png, ...), Unknown
// when it has none or names none. Only the file's own name is looked at.
FileFormat FormatFromExtension(const std::string& path);
// Whether the file's own name has an extension ("out.bmp" yes, "out" no).
bool HasExtension(const std::string& path);
// The formats and their extensions, for messages.
const char* const kFormatList = "PNG (.png), JPEG (.jpg, .jpeg), TIFF (.tif, .tiff), PGM/PPM (.pgm, .ppm, .pnm)";
// "png", "jpeg", "tiff", "pgm" (and "jpg", "tif", "ppm", "pnm") to a format;
// Unknown otherwise.
FileFormat FormatFromName(const std::string& name);

// Reads a PNG, JPEG, TIFF or PGM file (found by its content). False with a
// one-line message on an unreadable, truncated or unsupported file, on
// anything but a regular file (checked before it is opened), on an image of
// more than limits.maxPixels, and on a header that claims more pixels than
// the file's data can hold.
bool ReadImage(const std::string& path, Image& image, std::string& error, const ReadLimits& limits = ReadLimits{});

// Writes the image in `format` (Unknown: from the file name's extension;
// a name whose extension names no format is refused with the list) through
// WriteFileSafely, so a failure never leaves a half-written or clobbered
// file behind.
bool WriteImage(const std::string& path, const Image& image, FileFormat format, std::string& error);

}  // namespace rf::tools
