#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "tests/tools/imagefile/codec_samples.h"
#include "tests/test_files.h"
#include "tools/imagefile/image_io.h"

namespace rf::tools {
namespace {

std::string Temp(const std::string& name) { return std::string(::testing::TempDir()) + "rf-io-" + name; }

Image Pattern(int w = 61, int h = 37) { return testing::MakeCodecSample({"rgb8.png", ImageMode::RGB, 8, false}, w, h); }

// Every layout of every format, and the netpbm files the host writes itself.
// Grey with alpha is left to the platforms' own codec tests: the Windows
// host writes it as RGBA.
TEST(ImageIo, EveryLayoutRoundTrips) {
  std::vector<testing::CodecSample> samples = testing::CodecSamples();
  samples.push_back({"grey8.pgm", ImageMode::Gray, 8, false});
  samples.push_back({"rgb16.ppm", ImageMode::RGB, 16, false});
  for (const testing::CodecSample& s : samples) {
    if (s.mode == ImageMode::Gray && s.alpha) continue;
    std::string error;
    ASSERT_TRUE(WriteImage(Temp(s.file), testing::MakeCodecSample(s), FileFormat::Unknown, error)) << s.file << error;
    Image read;
    ASSERT_TRUE(ReadImage(Temp(s.file), read, error)) << s.file << ": " << error;
    EXPECT_EQ(testing::CompareWithCodecSample(s, read), "") << s.file;
  }
  std::string error;
  EXPECT_FALSE(WriteImage(Temp("alpha.jpg"), testing::MakeCodecSample({"rgba8.png", ImageMode::RGB, 8, true}),
                          FileFormat::Unknown, error));
}

TEST(ImageIo, DamagedFilesAreRefusedWithAReason) {
  std::string error;
  Image image;
  rf::testing::WriteFile(Temp("empty.png"), "");
  EXPECT_FALSE(ReadImage(Temp("empty.png"), image, error));

  rf::testing::WriteFile(Temp("text.png"), "hello, I am not an image");
  EXPECT_FALSE(ReadImage(Temp("text.png"), image, error));

  // A PNG cut in half.
  ASSERT_TRUE(WriteImage(Temp("whole.png"), Pattern(300, 300), FileFormat::PNG, error));
  const auto size = std::filesystem::file_size(Temp("whole.png"));
  // MinGW's copy_file refuses to overwrite even when asked to.
  std::filesystem::remove(Temp("half.png"));
  std::filesystem::copy_file(Temp("whole.png"), Temp("half.png"), std::filesystem::copy_options::overwrite_existing);
  std::filesystem::resize_file(Temp("half.png"), size / 2);
  EXPECT_FALSE(ReadImage(Temp("half.png"), image, error));
  EXPECT_TRUE(image.pixels.empty());

  // Headers that promise more pixels than the limit are refused before any
  // allocation.
  rf::testing::WriteFile(Temp("huge.pgm"), "P5\n90000 90000\n255\n");
  EXPECT_FALSE(ReadImage(Temp("huge.pgm"), image, error));
  EXPECT_NE(error.find("too large"), std::string::npos) << error;
  rf::testing::WriteFile(Temp("short.pgm"), "P5\n10 10\n255\nabc");
  EXPECT_FALSE(ReadImage(Temp("short.pgm"), image, error));
  rf::testing::WriteFile(Temp("zero.pgm"), "P5\n0 10\n255\n");
  EXPECT_FALSE(ReadImage(Temp("zero.pgm"), image, error));
}

// Palettes, 1-bit grey and transparency chunks, in PNG files written by hand
// (data/, image data in stored deflate blocks) as other programs write them:
// the kinds the host never writes. Both platforms' codecs must agree.
TEST(ImageIo, PalettesSmallDepthsAndTransparencyChunksReadAlike) {
  const char* source = std::getenv("RF_SOURCE_DIR");
  const std::string data = std::string(source ? source : ".") + "/tests/tools/imagefile/data/";
  struct Case {
    const char* name;
    ImageMode mode;
    bool alpha;
    std::vector<uint8_t> pixels;
  };
  // Palette indices 0 1 2 / 2 1 0, the second entry a quarter opaque in
  // tRNS; 10 x 2 one-bit greys; the grey 0x20 made transparent by tRNS.
  const Case cases[] = {
      {"palette.png", ImageMode::RGB, false,
       {0x10, 0x20, 0x30, 0xF0, 0xE0, 0xD0, 0x01, 0x80, 0xFF, 0x01, 0x80, 0xFF, 0xF0, 0xE0, 0xD0, 0x10, 0x20, 0x30}},
      {"palette-trns.png", ImageMode::RGB, true,
       {0x10, 0x20, 0x30, 0xFF, 0xF0, 0xE0, 0xD0, 0x40, 0x01, 0x80, 0xFF, 0xFF,
        0x01, 0x80, 0xFF, 0xFF, 0xF0, 0xE0, 0xD0, 0x40, 0x10, 0x20, 0x30, 0xFF}},
      {"bits.png", ImageMode::Gray, false,
       {255, 0, 255, 0, 0, 255, 0, 255, 255, 0, 0, 0, 0, 0, 255, 255, 255, 255, 0, 255}},
      {"grey-trns.png", ImageMode::Gray, true, {0x20, 0, 0x40, 0xFF, 0x20, 0}},
  };
  for (const Case& c : cases) {
    Image image;
    std::string error;
    ASSERT_TRUE(ReadImage(data + c.name, image, error)) << c.name << ": " << error;
    EXPECT_EQ(image.mode, c.mode) << c.name;
    EXPECT_EQ(image.depth, 8) << c.name;
    EXPECT_EQ(image.hasAlpha, c.alpha) << c.name;
    EXPECT_EQ(image.pixels, c.pixels) << c.name;
  }
}

TEST(ImageIo, AFailedWriteLeavesTheOldFileAlone) {
  std::string error;
  const std::string path = Temp("keep.png");
  ASSERT_TRUE(WriteImage(path, Pattern(), FileFormat::PNG, error));
  const auto before = std::filesystem::file_size(path);
  Image bad = Pattern();
  bad.pixels.resize(10);  // fewer bytes than the size says
  EXPECT_FALSE(WriteImage(path, bad, FileFormat::PNG, error));
  EXPECT_EQ(std::filesystem::file_size(path), before);
  EXPECT_FALSE(std::filesystem::exists(path + ".partial"));
  EXPECT_FALSE(WriteImage(Temp("no-such-dir/x.png"), Pattern(), FileFormat::PNG, error));
}

}  // namespace
}  // namespace rf::tools
