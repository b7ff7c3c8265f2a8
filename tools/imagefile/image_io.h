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
  std::vector<uint8_t> pixels;

  int ColourChannels() const { return mode == ImageMode::Gray ? 1 : mode == ImageMode::RGB ? 3 : 4; }
  int Channels() const { return ColourChannels() + (hasAlpha ? 1 : 0); }
  size_t BytesPerSample() const { return depth == 16 ? 2 : 1; }
  size_t RowBytes() const { return size_t(width) * Channels() * BytesPerSample(); }
};

// Images larger than this many pixels are refused before any allocation.
constexpr uint64_t kMaxImagePixels = 400ull * 1000 * 1000;

FileFormat FormatFromExtension(const std::string& path);

// Reads a PNG, JPEG, TIFF or PGM file (found by its content). False with a
// one-line message on an unreadable, truncated or unsupported file.
bool ReadImage(const std::string& path, Image& image, std::string& error);

// Writes the image in `format` (Unknown: from the file name's extension).
// The file is written under a temporary name and renamed, so a failure never
// leaves a half-written or clobbered file behind.
bool WriteImage(const std::string& path, const Image& image, FileFormat format, std::string& error);

}  // namespace rf::tools
