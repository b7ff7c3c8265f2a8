// Arbitrary bytes as an image file, through the host's own reading (format
// found by content, each codec's reader, the size checks): a file is either
// refused with a message or read into a whole image no larger than its data
// can justify, and a small image read survives being written and read back.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "tests/fuzz/fuzz_support.h"
#include "tools/imagefile/image_io.h"

using rf::fuzz::Check;
using rf::fuzz::TempPath;
using rf::fuzz::WriteAll;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (size_t(1) << 20)) return 0;
  const std::string path = TempPath("image");
  if (!WriteAll(path, data, size)) return 0;
  rf::tools::Image image;
  // Small limits, so that the check of the data against the header is what
  // refuses a large claim, and every input decodes quickly.
  rf::tools::ReadLimits limits;
  limits.maxPixels = 4000000;
  limits.alwaysDecodedPixels = 4096;
  std::string error;
  const bool read = rf::tools::ReadImage(path, image, error, limits);
  std::remove(path.c_str());
  if (!read) {
    Check(!error.empty() && image.pixels.empty());
    return 0;
  }
  Check(image.width > 0 && image.height > 0);
  Check(image.pixels.size() == image.RowBytes() * size_t(image.height));
  Check(uint64_t(image.width) * uint64_t(image.height) <= limits.maxPixels);
  // No format decodes more pixels a byte than this (one bit of an
  // uncompressed or deflated TIFF is the most).
  Check(uint64_t(image.width) * uint64_t(image.height) <=
        rf::tools::MaxPixelsForData(size, 8 * 4096, limits.alwaysDecodedPixels));

  if (uint64_t(image.width) * uint64_t(image.height) > 4096) return 0;
  for (const rf::tools::FileFormat format : {rf::tools::FileFormat::PNG, rf::tools::FileFormat::TIFF}) {
    if (format == rf::tools::FileFormat::PNG && image.mode == rf::tools::ImageMode::CMYK) continue;
    const std::string again = TempPath(format == rf::tools::FileFormat::PNG ? "again.png" : "again.tif");
    Check(rf::tools::WriteImage(again, image, format, error));
    rf::tools::Image back;
    Check(rf::tools::ReadImage(again, back, error, limits));
    std::remove(again.c_str());
    Check(back.width == image.width && back.height == image.height && back.pixels == image.pixels);
  }
  return 0;
}
