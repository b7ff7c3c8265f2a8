#include "tools/imagefile/image_io.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/platform.h"
#include "tools/imagefile/image_codecs.h"

namespace rf::tools {

namespace codecs {

bool SizeAcceptable(uint64_t width, uint64_t height, std::string& error) {
  if (width == 0 || height == 0) {
    error = "the image has no pixels";
    return false;
  }
  if (width > 2000000 || height > 2000000 || width * height > kMaxImagePixels) {
    error = "the image is too large (" + std::to_string(width) + " x " + std::to_string(height) +
            "); the limit is " + std::to_string(kMaxImagePixels / 1000000) + " megapixels";
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

bool ReadNetpbm(FILE* f, Image& image, std::string& error) {
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
  if (!SizeAcceptable(w, h, error)) return false;
  image.width = int(w);
  image.height = int(h);
  image.mode = magic[1] == '6' ? ImageMode::RGB : ImageMode::Gray;
  image.depth = maxValue > 255 ? 16 : 8;
  image.hasAlpha = false;
  image.format = FileFormat::PGM;
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

}  // namespace
FileFormat FormatFromExtension(const std::string& path) {
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos) return FileFormat::Unknown;
  const std::string ext = Lower(path.substr(dot + 1));
  if (ext == "png") return FileFormat::PNG;
  if (ext == "jpg" || ext == "jpeg") return FileFormat::JPEG;
  if (ext == "tif" || ext == "tiff") return FileFormat::TIFF;
  if (ext == "pgm" || ext == "ppm" || ext == "pnm") return FileFormat::PGM;
  return FileFormat::Unknown;
}

bool ReadImage(const std::string& path, Image& image, std::string& error) {
  image = Image{};
  FilePtr f(std::fopen(path.c_str(), "rb"));
  if (!f) {
    error = "cannot open '" + path + "': " + std::strerror(errno);
    return false;
  }
  uint8_t head[8] = {};
  const size_t n = std::fread(head, 1, sizeof(head), f.get());
  std::rewind(f.get());
  bool ok = false;
  switch (Sniff(head, n)) {
    case FileFormat::PNG:
    case FileFormat::JPEG:
    case FileFormat::TIFF: {
      const FileFormat format = Sniff(head, n);
      f.reset();
      ok = codecs::ReadCompressed(format, path, image, error);
      break;
    }
    case FileFormat::PGM: ok = ReadNetpbm(f.get(), image, error); break;
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
  if (format == FileFormat::Unknown) format = FileFormat::PNG;
  if (image.width <= 0 || image.height <= 0 || image.pixels.size() < image.RowBytes() * size_t(image.height)) {
    error = "nothing to write";
    return false;
  }
  const std::string temp = path + ".partial";
  bool ok = false;
  if (format != FileFormat::PGM) {
    ok = codecs::WriteCompressed(format, temp, image, error);
  } else {
    FilePtr f(std::fopen(temp.c_str(), "wb"));
    if (!f) {
      error = "cannot create '" + temp + "': " + std::strerror(errno);
      return false;
    }
    ok = WriteNetpbm(f.get(), image, error);
    if (ok && (std::fflush(f.get()) != 0 || std::ferror(f.get()))) {
      error = "cannot write '" + temp + "': " + std::strerror(errno);
      ok = false;
    }
    if (std::fclose(f.release()) != 0 && ok) {
      error = "cannot write '" + temp + "'";
      ok = false;
    }
  }
  if (ok && !platform::RenameReplacing(temp, path)) {
    error = "cannot rename '" + temp + "' to '" + path + "': " + std::strerror(errno);
    ok = false;
  }
  if (!ok) std::remove(temp.c_str());
  if (!ok && error.empty()) error = "cannot write '" + path + "'";
  return ok;
}

}  // namespace rf::tools
