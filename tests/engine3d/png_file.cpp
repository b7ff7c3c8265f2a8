#include "tests/engine3d/png_file.h"

#include <array>
#include <cstring>
#include <fstream>
#include <iterator>

namespace rf::test {

namespace {

uint32_t Crc(const uint8_t* data, size_t size, uint32_t crc = 0xFFFFFFFFu) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return crc;
}

void PutBigEndian(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(value >> shift));
}

uint32_t GetBigEndian(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

void PutChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
  PutBigEndian(out, uint32_t(data.size()));
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  PutBigEndian(out, Crc(out.data() + start, out.size() - start) ^ 0xFFFFFFFFu);
}

const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

}  // namespace

bool WritePng(const std::string& path, const RgbaImage& image) {
  std::vector<uint8_t> raw;
  const size_t rowBytes = size_t(image.width) * 4;
  for (int y = 0; y < image.height; ++y) {
    raw.push_back(0);  // filter: none
    raw.insert(raw.end(), image.pixels.begin() + y * rowBytes,
               image.pixels.begin() + (y + 1) * rowBytes);
  }
  std::vector<uint8_t> zlib = {0x78, 0x01};
  uint32_t a = 1, b = 0;
  for (uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
    const size_t length = std::min<size_t>(65535, raw.size() - at);
    zlib.push_back(at + length >= raw.size() ? 1 : 0);
    zlib.push_back(uint8_t(length));
    zlib.push_back(uint8_t(length >> 8));
    zlib.push_back(uint8_t(~length));
    zlib.push_back(uint8_t(~length >> 8));
    zlib.insert(zlib.end(), raw.begin() + at, raw.begin() + at + length);
    if (raw.empty()) break;
  }
  PutBigEndian(zlib, (b << 16) | a);

  std::vector<uint8_t> header;
  PutBigEndian(header, uint32_t(image.width));
  PutBigEndian(header, uint32_t(image.height));
  header.insert(header.end(), {8, 6, 0, 0, 0});
  std::vector<uint8_t> file(kSignature, kSignature + 8);
  PutChunk(file, "IHDR", header);
  PutChunk(file, "IDAT", zlib);
  PutChunk(file, "IEND", {});
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
  return bool(out);
}

bool ReadPng(const std::string& path, RgbaImage& image) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
  if (file.size() < 8 || std::memcmp(file.data(), kSignature, 8) != 0) return false;
  std::vector<uint8_t> zlib;
  for (size_t at = 8; at + 12 <= file.size();) {
    const uint32_t length = GetBigEndian(&file[at]);
    if (at + 12 + length > file.size()) return false;
    const char* type = reinterpret_cast<const char*>(&file[at + 4]);
    const uint8_t* data = &file[at + 8];
    if (std::memcmp(type, "IHDR", 4) == 0) {
      image.width = int(GetBigEndian(data));
      image.height = int(GetBigEndian(data + 4));
      if (data[8] != 8 || data[9] != 6) return false;
    } else if (std::memcmp(type, "IDAT", 4) == 0) {
      zlib.insert(zlib.end(), data, data + length);
    }
    at += 12 + length;
  }
  std::vector<uint8_t> raw;
  size_t at = 2;
  for (;;) {
    if (at + 5 > zlib.size() || (zlib[at] & 6) != 0) return false;  // stored blocks only
    const bool last = zlib[at] & 1;
    const size_t length = zlib[at + 1] | size_t(zlib[at + 2]) << 8;
    at += 5;
    if (at + length > zlib.size()) return false;
    raw.insert(raw.end(), zlib.begin() + at, zlib.begin() + at + length);
    at += length;
    if (last) break;
  }
  const size_t rowBytes = size_t(image.width) * 4;
  if (raw.size() != (rowBytes + 1) * size_t(image.height)) return false;
  image.pixels.clear();
  for (int y = 0; y < image.height; ++y) {
    if (raw[y * (rowBytes + 1)] != 0) return false;
    const auto row = raw.begin() + y * (rowBytes + 1) + 1;
    image.pixels.insert(image.pixels.end(), row, row + rowBytes);
  }
  return true;
}

}  // namespace rf::test
