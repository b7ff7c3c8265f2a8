// The pictures both hosts write and read to check that their image codecs
// agree: one file per sample layout, with pixel values that catch swapped
// channels, swapped bytes and inverted ink.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/imagefile/image_io.h"

namespace rf::testing {

struct CodecSample {
  const char* file;  // the name says format and layout
  tools::ImageMode mode;
  int depth;
  bool alpha;
};

// Every layout both platforms read. JPEG samples are smooth so that lossy
// coding keeps them close.
inline const std::vector<CodecSample>& CodecSamples() {
  using tools::ImageMode;
  static const std::vector<CodecSample> samples = {
      {"grey8.png", ImageMode::Gray, 8, false},     {"grey16.png", ImageMode::Gray, 16, false},
      {"greya8.png", ImageMode::Gray, 8, true},     {"greya16.png", ImageMode::Gray, 16, true},
      {"rgb8.png", ImageMode::RGB, 8, false},       {"rgb16.png", ImageMode::RGB, 16, false},
      {"rgba8.png", ImageMode::RGB, 8, true},       {"rgba16.png", ImageMode::RGB, 16, true},
      {"grey8.jpg", ImageMode::Gray, 8, false},     {"rgb8.jpg", ImageMode::RGB, 8, false},
      {"cmyk8.jpg", ImageMode::CMYK, 8, false},     {"grey8.tif", ImageMode::Gray, 8, false},
      {"grey16.tif", ImageMode::Gray, 16, false},   {"rgb8.tif", ImageMode::RGB, 8, false},
      {"rgb16.tif", ImageMode::RGB, 16, false},     {"rgba8.tif", ImageMode::RGB, 8, true},
      {"rgba16.tif", ImageMode::RGB, 16, true},     {"cmyk8.tif", ImageMode::CMYK, 8, false},
      {"cmyk16.tif", ImageMode::CMYK, 16, false},   {"cmyka8.tif", ImageMode::CMYK, 8, true},
      {"cmyka16.tif", ImageMode::CMYK, 16, true},
  };
  return samples;
}

inline bool IsJpeg(const CodecSample& s) { return std::string(s.file).find(".jpg") != std::string::npos; }

// Sample value of channel c at (x, y). Lossless samples differ in every
// channel and, at 16 bits, in both bytes; the smooth ones are ramps with a
// different slope per channel, and ink ramps start at 0 (no ink) on the left.
inline uint32_t CodecSampleValue(const CodecSample& s, int x, int y, int c) {
  if (IsJpeg(s)) return uint32_t(x * 3 + y + c * 9) & 0xFF;
  if (s.depth == 8) return uint32_t(x * 7 + y * 13 + c * 61 + (x * y) % 17) & 0xFF;
  return uint32_t(x * 1031 + y * 2053 + c * 16411 + x * y * 7 + 0x0102) & 0xFFFF;
}

inline tools::Image MakeCodecSample(const CodecSample& s, int width = 61, int height = 37) {
  tools::Image image;
  image.width = width;
  image.height = height;
  image.mode = s.mode;
  image.depth = s.depth;
  image.hasAlpha = s.alpha;
  image.pixels.assign(image.RowBytes() * size_t(height), 0);
  const int channels = image.Channels();
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < channels; ++c) {
        const uint32_t v = CodecSampleValue(s, x, y, c);
        const size_t i = (size_t(y) * width + x) * channels + c;
        if (s.depth == 8) {
          image.pixels[i] = uint8_t(v);
        } else {
          const uint16_t v16 = uint16_t(v);
          std::memcpy(&image.pixels[i * 2], &v16, 2);
        }
      }
  return image;
}

// Empty when `read` is the sample (JPEG within `jpegTolerance`), else what
// differs first.
inline std::string CompareWithCodecSample(const CodecSample& s, const tools::Image& read, int jpegTolerance = 12) {
  if (read.width != 61 || read.height != 37)
    return "size " + std::to_string(read.width) + " x " + std::to_string(read.height);
  const tools::Image want = MakeCodecSample(s);
  if (read.mode != want.mode || read.depth != want.depth || read.hasAlpha != want.hasAlpha)
    return "layout: mode " + std::to_string(int(read.mode)) + ", " + std::to_string(read.depth) + " bits, alpha " +
           std::to_string(read.hasAlpha) + "; expected mode " + std::to_string(int(want.mode)) + ", " +
           std::to_string(want.depth) + " bits, alpha " + std::to_string(want.hasAlpha);
  if (read.pixels.size() != want.pixels.size()) return "pixel buffer size";
  const int tolerance = IsJpeg(s) ? jpegTolerance : 0;
  const size_t sampleBytes = want.BytesPerSample();
  for (size_t i = 0; i < want.pixels.size() / sampleBytes; ++i) {
    uint32_t a = 0, b = 0;
    std::memcpy(&a, &read.pixels[i * sampleBytes], sampleBytes);
    std::memcpy(&b, &want.pixels[i * sampleBytes], sampleBytes);
    if (std::abs(int(a) - int(b)) > tolerance)
      return "sample " + std::to_string(i) + " (channel " + std::to_string(i % size_t(want.Channels())) + ") is " +
             std::to_string(a) + ", expected " + std::to_string(b);
  }
  return std::string();
}

}  // namespace rf::testing
