#include "tools/imagefile/plain_tiff.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

namespace rf::tools::codecs {

bool WritePlainTiff(const std::string& path, const Image& image, std::string& error, const PlainTiffLayout& layout) {
  const uint64_t rowBytes = image.RowBytes();
  const uint32_t rowsPerStrip =
      layout.rowsPerStrip ? layout.rowsPerStrip
                          : uint32_t(std::max<uint64_t>(1, (uint64_t(1) << 20) / std::max<uint64_t>(1, rowBytes)));
  const uint32_t strips = uint32_t((uint64_t(image.height) + rowsPerStrip - 1) / rowsPerStrip);
  const int channels = image.Channels();
  const uint16_t entries = image.hasAlpha ? 11 : 10;
  // Header, directory, then the arrays the directory points at, then pixels.
  const uint64_t directoryAt = 8, directoryBytes = 2 + 12 * uint64_t(entries) + 4;
  const uint64_t bitsAt = directoryAt + directoryBytes, offsetsAt = bitsAt + 2 * uint64_t(channels);
  const uint64_t countsAt = offsetsAt + 4 * uint64_t(strips), pixelsAt = countsAt + 4 * uint64_t(strips);
  if (pixelsAt + rowBytes * uint64_t(image.height) > 0xFFFFFFFFull) {
    error = "TIFF: the image is too large for this system's TIFF writer";
    return false;
  }
  const bool big = layout.bigEndian;
  std::vector<uint8_t> head;
  auto put16 = [&head, big](uint32_t v) {
    head.push_back(uint8_t(big ? v >> 8 : v));
    head.push_back(uint8_t(big ? v : v >> 8));
  };
  auto put32 = [&](uint32_t v) {
    put16(big ? v >> 16 : v & 0xFFFF);
    put16(big ? v & 0xFFFF : v >> 16);
  };
  put16(big ? 0x4D4D : 0x4949);  // "MM" or "II"
  put16(42);
  // One directory entry; values of up to 4 bytes sit in the entry itself.
  auto entry = [&](uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
    put16(tag);
    put16(type);
    put32(count);
    if (type == 3 && count == 1) {
      put16(value);
      put16(0);
    } else {
      put32(value);
    }
  };
  const uint32_t photometric = image.mode == ImageMode::CMYK ? 5 : image.mode == ImageMode::RGB ? 2 : 1;
  const bool offsetsInline = strips == 1;
  put32(uint32_t(directoryAt));
  put16(entries);
  entry(256, 4, 1, uint32_t(image.width));
  entry(257, 4, 1, uint32_t(image.height));
  if (channels == 1) {
    entry(258, 3, 1, uint32_t(image.depth));
  } else if (channels == 2) {
    entry(258, 3, 2, uint32_t(image.depth) | uint32_t(image.depth) << 16);
  } else {
    entry(258, 3, uint32_t(channels), uint32_t(bitsAt));
  }
  entry(259, 3, 1, 1);
  entry(262, 3, 1, photometric);
  entry(273, 4, strips, offsetsInline ? uint32_t(pixelsAt) : uint32_t(offsetsAt));
  entry(277, 3, 1, uint32_t(channels));
  entry(278, 4, 1, rowsPerStrip);
  entry(279, 4, strips, offsetsInline ? uint32_t(rowBytes * uint64_t(image.height)) : uint32_t(countsAt));
  entry(284, 3, 1, 1);
  if (image.hasAlpha) entry(338, 3, 1, 2);  // unassociated alpha
  put32(0);
  for (int c = 0; c < channels; ++c) put16(uint32_t(image.depth));
  for (uint32_t s = 0; s < strips; ++s) put32(uint32_t(pixelsAt + uint64_t(s) * rowsPerStrip * rowBytes));
  for (uint32_t s = 0; s < strips; ++s) {
    const uint64_t rows = std::min<uint64_t>(rowsPerStrip, uint64_t(image.height) - uint64_t(s) * rowsPerStrip);
    put32(uint32_t(rows * rowBytes));
  }
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    error = "cannot create '" + path + "'";
    return false;
  }
  bool ok = std::fwrite(head.data(), 1, head.size(), f) == head.size();
  if (!big || image.depth == 8) {
    // Little-endian files hold 16-bit samples in the host's memory order.
    ok = ok && std::fwrite(image.pixels.data(), 1, size_t(rowBytes) * size_t(image.height), f) ==
                   size_t(rowBytes) * size_t(image.height);
  } else {
    std::vector<uint8_t> row(static_cast<size_t>(rowBytes));
    for (int y = 0; ok && y < image.height; ++y) {
      std::memcpy(row.data(), image.pixels.data() + size_t(y) * size_t(rowBytes), row.size());
      for (size_t i = 0; i + 1 < row.size(); i += 2) std::swap(row[i], row[i + 1]);
      ok = std::fwrite(row.data(), 1, row.size(), f) == row.size();
    }
  }
  ok = std::fclose(f) == 0 && ok;
  if (!ok) error = "cannot write '" + path + "'";
  return ok;
}

}  // namespace rf::tools::codecs
