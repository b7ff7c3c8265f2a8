// Minimal PNG files for the golden images: 8-bit RGBA, written with stored
// (uncompressed) deflate blocks so that no compression library is needed.
// The reader accepts exactly what the writer produces.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rf::test {

struct RgbaImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;  // rows of width x 4 bytes
};

bool WritePng(const std::string& path, const RgbaImage& image);
bool ReadPng(const std::string& path, RgbaImage& image);

}  // namespace rf::test
