#include "tools/imagefile/image_io.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/platform.h"
#include "tools/imagefile/image_codecs.h"
#include "tools/imagefile/safe_file.h"

namespace rf::tools {

uint64_t MaxPixelsForData(uint64_t dataBytes, uint64_t pixelsPerByte, uint64_t alwaysDecoded) {
  const uint64_t justified = dataBytes > UINT64_MAX / pixelsPerByte ? UINT64_MAX : dataBytes * pixelsPerByte;
  return justified > alwaysDecoded ? justified : alwaysDecoded;
}

namespace codecs {

bool SizeAcceptable(uint64_t width, uint64_t height, const Source& source, uint64_t pixelsPerByte,
                    std::string& error) {
  if (width == 0 || height == 0) {
    error = "the image has no pixels";
    return false;
  }
  const uint64_t limit = source.limits.maxPixels;
  if (width > 2000000 || height > 2000000 || width * height > limit) {
    error = "the image is too large (" + std::to_string(width) + " x " + std::to_string(height) + "); the limit is " +
            (limit >= 1000000 ? std::to_string(limit / 1000000) + " megapixels"
                              : std::to_string(limit) + " pixels") +
            " (--max-megapixels)";
    return false;
  }
  if (pixelsPerByte &&
      width * height > MaxPixelsForData(source.bytes, pixelsPerByte, source.limits.alwaysDecodedPixels)) {
    error = "the header claims " + std::to_string(width) + " x " + std::to_string(height) +
            " pixels, more than the file's " + std::to_string(source.bytes) +
            " bytes can hold; the file is damaged or truncated";
    return false;
  }
  return true;
}

bool Allocate(Image& image, std::string& error) {
  try {
    image.pixels.assign(image.RowBytes() * size_t(image.height), 0);
  } catch (const std::bad_alloc&) {
    error = "not enough memory for the image";
    return false;
  }
  return true;
}


}  // namespace codecs

namespace {

using codecs::Allocate;
using codecs::SizeAcceptable;


struct FileCloser {
  void operator()(FILE* f) const {
    if (f) std::fclose(f);
  }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

FileFormat Sniff(const uint8_t* head, size_t n) {
  if (n >= 8 && std::memcmp(head, "\x89PNG\r\n\x1a\n", 8) == 0) return FileFormat::PNG;
  if (n >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) return FileFormat::JPEG;
  if (n >= 4 && (std::memcmp(head, "II*\0", 4) == 0 || std::memcmp(head, "MM\0*", 4) == 0)) return FileFormat::TIFF;
  if (n >= 2 && head[0] == 'P' && (head[1] == '5' || head[1] == '6')) return FileFormat::PGM;
  return FileFormat::Unknown;
}
// ---- PNG chunk lengths --------------------------------------------------------

// Walks the chunks of a PNG file before any decoder sees it: a chunk whose
// length runs past the end of the file is refused here, so that no reader
// allocates what a damaged or hostile length claims (a 44-byte file whose
// text chunk claims 2 GB).
bool CheckPngChunks(FILE* f, uint64_t fileBytes, std::string& error) {
  uint64_t at = 8;
  uint8_t header[8];
  while (at + 8 <= fileBytes) {
    if (std::fseek(f, long(at), SEEK_SET) != 0 || std::fread(header, 1, 8, f) != 8) break;
    const uint64_t length = (uint64_t(header[0]) << 24) | (uint64_t(header[1]) << 16) | (uint64_t(header[2]) << 8) |
                            uint64_t(header[3]);
    if (length + 12 > fileBytes - at) {
      char type[5] = {};
      for (int i = 0; i < 4; ++i) type[i] = std::isalpha(header[4 + i]) ? char(header[4 + i]) : '?';
      error = "PNG: chunk '" + std::string(type) + "' claims " + std::to_string(length) + " bytes, more than the file holds; the file is damaged or truncated";
      return false;
    }
    if (std::memcmp(header + 4, "IEND", 4) == 0) break;
    at += 12 + length;
    // Beyond what seeking allows a long, the decoder's own reading checks.
    if (at > uint64_t(LONG_MAX)) break;
  }
  std::rewind(f);
  return true;
}

// ---- PGM / PPM (binary) ---------------------------------------------------

bool ReadNetpbmToken(FILE* f, uint64_t& value) {
  int c = std::fgetc(f);
  while (c != EOF && (std::isspace(c) || c == '#')) {
    if (c == '#')
      while (c != EOF && c != '\n') c = std::fgetc(f);
    c = std::fgetc(f);
  }
  if (c == EOF || !std::isdigit(c)) return false;
  value = 0;
  while (c != EOF && std::isdigit(c)) {
    value = value * 10 + uint64_t(c - '0');
    if (value > 100000000) return false;
    c = std::fgetc(f);
  }
  return true;  // the single whitespace after the token has been consumed
}

bool ReadNetpbm(FILE* f, const codecs::Source& source, Image& image, std::string& error) {
  char magic[2];
  if (std::fread(magic, 1, 2, f) != 2) {
    error = "PGM: truncated header";
    return false;
  }
  uint64_t w, h, maxValue;
  if (!ReadNetpbmToken(f, w) || !ReadNetpbmToken(f, h) || !ReadNetpbmToken(f, maxValue) || maxValue == 0 ||
      maxValue > 65535) {
    error = "PGM: damaged header";
    return false;
  }
  if (!SizeAcceptable(w, h, source, 0, error)) return false;
  image.width = int(w);
  image.height = int(h);
  image.mode = magic[1] == '6' ? ImageMode::RGB : ImageMode::Gray;
  image.depth = maxValue > 255 ? 16 : 8;
  image.hasAlpha = false;
  image.format = FileFormat::PGM;
  // The samples are stored plainly: the file must hold them all.
  const long header = std::ftell(f);
  if (header < 0 || source.bytes < uint64_t(header) + image.RowBytes() * uint64_t(image.height)) {
    error = "PGM: the file is truncated";
    return false;
  }
  if (!Allocate(image, error)) return false;
  if (std::fread(image.pixels.data(), 1, image.pixels.size(), f) != image.pixels.size()) {
    error = "PGM: the file is truncated";
    return false;
  }
  if (image.depth == 16)  // netpbm stores 16-bit samples big-endian
    for (size_t i = 0; i + 1 < image.pixels.size(); i += 2) std::swap(image.pixels[i], image.pixels[i + 1]);
  return true;
}

bool WriteNetpbm(FILE* f, const Image& image, std::string& error) {
  if (image.mode == ImageMode::CMYK || image.hasAlpha) {
    error = "PGM holds only grey or RGB images without transparency";
    return false;
  }
  std::fprintf(f, "P%c\n%d %d\n%d\n", image.mode == ImageMode::Gray ? '5' : '6', image.width, image.height,
               image.depth == 16 ? 65535 : 255);
  if (image.depth == 8) return std::fwrite(image.pixels.data(), 1, image.pixels.size(), f) == image.pixels.size();
  std::vector<uint8_t> swapped(image.pixels);
  for (size_t i = 0; i + 1 < swapped.size(); i += 2) std::swap(swapped[i], swapped[i + 1]);
  return std::fwrite(swapped.data(), 1, swapped.size(), f) == swapped.size();
}

std::string FileName(const std::string& path) {
  const size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

}  // namespace

FileFormat FormatFromName(const std::string& name) {
  const std::string ext = Lower(name);
  if (ext == "png") return FileFormat::PNG;
  if (ext == "jpg" || ext == "jpeg") return FileFormat::JPEG;
  if (ext == "tif" || ext == "tiff") return FileFormat::TIFF;
  if (ext == "pgm" || ext == "ppm" || ext == "pnm") return FileFormat::PGM;
  return FileFormat::Unknown;
}

bool HasExtension(const std::string& path) {
  const std::string name = FileName(path);
  const size_t dot = name.find_last_of('.');
  return dot != std::string::npos && dot > 0 && dot + 1 < name.size();
}

FileFormat FormatFromExtension(const std::string& path) {
  if (!HasExtension(path)) return FileFormat::Unknown;
  const std::string name = FileName(path);
  return FormatFromName(name.substr(name.find_last_of('.') + 1));
}

bool ReadImage(const std::string& path, Image& image, std::string& error, const ReadLimits& limits) {
  image = Image{};
  codecs::Source source{path, 0, limits};
  if (!CheckInputFile(path, source.bytes, error)) return false;
  FilePtr f(std::fopen(path.c_str(), "rb"));
  if (!f) {
    error = "cannot open '" + path + "': " + std::strerror(errno);
    return false;
  }
  uint8_t head[8] = {};
  const size_t n = std::fread(head, 1, sizeof(head), f.get());
  std::rewind(f.get());
  bool ok = false;
  const FileFormat format = Sniff(head, n);
  if (format == FileFormat::PNG && !CheckPngChunks(f.get(), source.bytes, error)) {
    error = "'" + path + "': " + error;
    return false;
  }
  switch (format) {
    case FileFormat::PNG:
    case FileFormat::JPEG:
    case FileFormat::TIFF:
      f.reset();
      ok = codecs::ReadCompressed(format, source, image, error);
      break;
    case FileFormat::PGM: ok = ReadNetpbm(f.get(), source, image, error); break;
    default: error = "unknown image format (PNG, JPEG, TIFF and PGM/PPM are read)"; break;
  }
  if (!ok) {
    image = Image{};
    error = "'" + path + "': " + error;
  }
  return ok;
}

bool WriteImage(const std::string& path, const Image& image, FileFormat format, std::string& error) {
  if (format == FileFormat::Unknown) format = FormatFromExtension(path);
  if (format == FileFormat::Unknown) {
    error = "'" + path + "': the name gives no image format; write one of " + kFormatList;
    return false;
  }
  if (image.width <= 0 || image.height <= 0 || image.pixels.size() < image.RowBytes() * size_t(image.height)) {
    error = "nothing to write";
    return false;
  }
  return WriteFileSafely(
      path,
      [&](TempFile& file, std::string& why) {
        if (format != FileFormat::PGM) return codecs::WriteCompressed(format, file, image, why);
        return WriteNetpbm(file.Stream(), image, why);
      },
      error);
}

}  // namespace rf::tools
