#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tools/imagefile/image_io.h"

namespace rf::tools {
namespace {

std::string Temp(const std::string& name) { return std::string(::testing::TempDir()) + "rf-io-" + name; }

Image Pattern(ImageMode mode, int depth, bool alpha, int w = 37, int h = 23) {
  Image image;
  image.width = w;
  image.height = h;
  image.mode = mode;
  image.depth = depth;
  image.hasAlpha = alpha;
  image.pixels.resize(image.RowBytes() * size_t(h));
  for (size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = uint8_t(i * 31 + i / 7);
  return image;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

TEST(ImageIo, LosslessFormatsRoundTripExactly) {
  struct Case {
    const char* file;
    ImageMode mode;
    int depth;
    bool alpha;
  };
  const Case cases[] = {
      {"rgb8.png", ImageMode::RGB, 8, false},   {"rgba8.png", ImageMode::RGB, 8, true},
      {"rgb16.png", ImageMode::RGB, 16, false}, {"grey8.png", ImageMode::Gray, 8, false},
      {"rgba16.tif", ImageMode::RGB, 16, true}, {"cmyk8.tif", ImageMode::CMYK, 8, false},
      {"cmyka8.tif", ImageMode::CMYK, 8, true}, {"grey8.pgm", ImageMode::Gray, 8, false},
      {"rgb16.ppm", ImageMode::RGB, 16, false},
  };
  for (const Case& c : cases) {
    const Image written = Pattern(c.mode, c.depth, c.alpha);
    std::string error;
    ASSERT_TRUE(WriteImage(Temp(c.file), written, FileFormat::Unknown, error)) << c.file << ": " << error;
    Image read;
    ASSERT_TRUE(ReadImage(Temp(c.file), read, error)) << c.file << ": " << error;
    EXPECT_EQ(read.width, written.width) << c.file;
    EXPECT_EQ(read.height, written.height) << c.file;
    EXPECT_EQ(read.mode, written.mode) << c.file;
    EXPECT_EQ(read.depth, written.depth) << c.file;
    EXPECT_EQ(read.hasAlpha, written.hasAlpha) << c.file;
    EXPECT_EQ(read.pixels, written.pixels) << c.file;
  }
}

TEST(ImageIo, JpegIsCloseKeepsItsInkAndRefusesTransparency) {
  Image rgb = Pattern(ImageMode::RGB, 8, false, 64, 64);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x)
      for (int c = 0; c < 3; ++c) rgb.pixels[(size_t(y) * 64 + x) * 3 + c] = uint8_t(x + y + c * 40);
  Image cmyk = Pattern(ImageMode::CMYK, 8, false, 32, 32);
  for (size_t i = 0; i < cmyk.pixels.size(); ++i) cmyk.pixels[i] = i % 4 == 0 ? 200 : 0;  // cyan ink only
  std::string error;
  for (const Image& written : {rgb, cmyk}) {
    ASSERT_TRUE(WriteImage(Temp("smooth.jpg"), written, FileFormat::Unknown, error)) << error;
    Image read;
    ASSERT_TRUE(ReadImage(Temp("smooth.jpg"), read, error)) << error;
    ASSERT_EQ(read.mode, written.mode);
    ASSERT_EQ(read.pixels.size(), written.pixels.size());
    int worst = 0;
    for (size_t i = 0; i < read.pixels.size(); ++i)
      worst = std::max(worst, std::abs(read.pixels[i] - written.pixels[i]));
    EXPECT_LE(worst, 12);
  }
  EXPECT_FALSE(WriteImage(Temp("alpha.jpg"), Pattern(ImageMode::RGB, 8, true), FileFormat::Unknown, error));
}

TEST(ImageIo, DamagedFilesAreRefusedWithAReason) {
  std::string error;
  Image image;
  EXPECT_FALSE(ReadImage(Temp("missing.png"), image, error));
  EXPECT_NE(error.find("missing.png"), std::string::npos);

  WriteBytes(Temp("empty.png"), "");
  EXPECT_FALSE(ReadImage(Temp("empty.png"), image, error));

  WriteBytes(Temp("text.png"), "hello, I am not an image");
  EXPECT_FALSE(ReadImage(Temp("text.png"), image, error));

  // A PNG cut in half.
  ASSERT_TRUE(WriteImage(Temp("whole.png"), Pattern(ImageMode::RGB, 8, false, 300, 300), FileFormat::PNG, error));
  const auto size = std::filesystem::file_size(Temp("whole.png"));
  // MinGW's copy_file refuses to overwrite even when asked to.
  std::filesystem::remove(Temp("half.png"));
  std::filesystem::copy_file(Temp("whole.png"), Temp("half.png"), std::filesystem::copy_options::overwrite_existing);
  std::filesystem::resize_file(Temp("half.png"), size / 2);
  EXPECT_FALSE(ReadImage(Temp("half.png"), image, error));
  EXPECT_TRUE(image.pixels.empty());

  // Headers that promise more pixels than the limit are refused before any
  // allocation.
  WriteBytes(Temp("huge.pgm"), "P5\n90000 90000\n255\n");
  EXPECT_FALSE(ReadImage(Temp("huge.pgm"), image, error));
  EXPECT_NE(error.find("too large"), std::string::npos) << error;
  WriteBytes(Temp("short.pgm"), "P5\n10 10\n255\nabc");
  EXPECT_FALSE(ReadImage(Temp("short.pgm"), image, error));
  WriteBytes(Temp("zero.pgm"), "P5\n0 10\n255\n");
  EXPECT_FALSE(ReadImage(Temp("zero.pgm"), image, error));
}

TEST(ImageIo, AFailedWriteLeavesTheOldFileAlone) {
  std::string error;
  const std::string path = Temp("keep.png");
  ASSERT_TRUE(WriteImage(path, Pattern(ImageMode::RGB, 8, false), FileFormat::PNG, error));
  const auto before = std::filesystem::file_size(path);
  Image bad = Pattern(ImageMode::RGB, 8, false);
  bad.pixels.resize(10);  // fewer bytes than the size says
  EXPECT_FALSE(WriteImage(path, bad, FileFormat::PNG, error));
  EXPECT_EQ(std::filesystem::file_size(path), before);
  EXPECT_FALSE(std::filesystem::exists(path + ".partial"));
  EXPECT_FALSE(WriteImage(Temp("no-such-dir/x.png"), Pattern(ImageMode::RGB, 8, false), FileFormat::PNG, error));
}

}  // namespace
}  // namespace rf::tools
