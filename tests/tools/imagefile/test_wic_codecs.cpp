// The host's image files on Windows, through the system's imaging component:
// every layout the Linux codecs handle, in both directions, and the files a
// user may feed it by mistake.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <windows.h>

#include "tests/tools/imagefile/codec_samples.h"
#include "tests/test_files.h"
#include "tools/imagefile/image_io.h"
#include "tools/imagefile/plain_tiff.h"

namespace rf::tools {
namespace {

using rf::testing::CodecSample;
using rf::testing::CodecSamples;
using rf::testing::CompareWithCodecSample;
using rf::testing::MakeCodecSample;

std::string Temp(const std::string& name) { return std::string(::testing::TempDir()) + "rf-wic-" + name; }

std::string BigEndian32(uint32_t v) { return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; }

const CodecSample& Sample(const std::string& name) {
  for (const CodecSample& s : CodecSamples())
    if (name == s.file) return s;
  ADD_FAILURE() << "no sample " << name;
  return CodecSamples().front();
}

bool IsGreyWithAlphaPng(const CodecSample& s) { return std::string(s.file).rfind("greya", 0) == 0; }

// The system's encoders have no grey-with-alpha format: such a picture comes
// back as RGBA with three equal colour channels.
void ExpectGreyAlphaAsRgba(const CodecSample& s, const Image& read) {
  const Image want = MakeCodecSample(s);
  ASSERT_EQ(read.mode, ImageMode::RGB) << s.file;
  ASSERT_TRUE(read.hasAlpha) << s.file;
  ASSERT_EQ(read.depth, want.depth) << s.file;
  ASSERT_EQ(read.pixels.size(), want.pixels.size() * 2) << s.file;
  const size_t b = want.BytesPerSample();
  for (size_t p = 0; p < size_t(want.width) * size_t(want.height); ++p) {
    for (int c = 0; c < 3; ++c)
      ASSERT_EQ(0, std::memcmp(&read.pixels[(p * 4 + c) * b], &want.pixels[p * 2 * b], b)) << s.file << " pixel " << p;
    ASSERT_EQ(0, std::memcmp(&read.pixels[(p * 4 + 3) * b], &want.pixels[(p * 2 + 1) * b], b)) << s.file;
  }
}

// Wine's TIFF decoder has no CMYK with alpha (Windows' has). The host reads
// the uncompressed files it writes itself; a compressed one from Linux must
// be refused in one line instead.
bool DecoderLacks(const CodecSample& s) {
  static const bool wine = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
  return wine && std::string(s.file).rfind("cmyka", 0) == 0;
}

// Reads `path` as sample `s`: the sample's pixels, or a clean refusal where
// the system cannot decode that layout.
void ExpectReadsAs(const CodecSample& s, const std::string& path, bool writtenHere) {
  Image read;
  std::string error;
  const bool ok = ReadImage(path, read, error);
  if (!writtenHere && DecoderLacks(s)) {
    EXPECT_FALSE(ok) << s.file;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    EXPECT_NE(error.find(s.file), std::string::npos) << error;
    return;
  }
  ASSERT_TRUE(ok) << s.file << ": " << error;
  if (IsGreyWithAlphaPng(s) && writtenHere)
    ExpectGreyAlphaAsRgba(s, read);
  else
    EXPECT_EQ(CompareWithCodecSample(s, read), "") << path;
}

TEST(WicCodecs, EveryLayoutRoundTrips) {
  for (const CodecSample& s : CodecSamples()) {
    std::string error;
    ASSERT_TRUE(WriteImage(Temp(s.file), MakeCodecSample(s), FileFormat::Unknown, error)) << s.file << ": " << error;
    ExpectReadsAs(s, Temp(s.file), true);
  }
}

// RF_CODEC_SAMPLES names a folder whose "lin" subfolder holds the samples as
// the Linux codecs wrote them (cross_check samples); this test reads them and
// writes its own into "win" for the Linux side to read (cross_check verify).
// JPEG decoders may round differently, so every JPEG found in "lin" is also
// stored as decoded here ("win/decoded-NAME.png") for the Linux side to
// measure.
TEST(WicCodecs, AgreesWithTheLinuxCodecs) {
  const char* dir = std::getenv("RF_CODEC_SAMPLES");
  if (!dir || !*dir) GTEST_SKIP() << "RF_CODEC_SAMPLES is not set";
  const std::string lin = std::string(dir) + "\\lin\\", win = std::string(dir) + "\\win\\";
  std::filesystem::create_directories(win);
  for (const CodecSample& s : CodecSamples()) {
    ExpectReadsAs(s, lin + s.file, false);
    std::string error;
    if (!IsGreyWithAlphaPng(s)) {
      EXPECT_TRUE(WriteImage(win + s.file, MakeCodecSample(s), FileFormat::Unknown, error)) << s.file << ": " << error;
    }
  }
  for (const auto& entry : std::filesystem::directory_iterator(lin)) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() != ".jpg") continue;
    Image decoded;
    std::string error;
    EXPECT_TRUE(ReadImage(lin + name, decoded, error)) << error;
    if (decoded.mode == ImageMode::CMYK) continue;  // PNG has no CMYK
    EXPECT_TRUE(WriteImage(win + "decoded-" + name + ".png", decoded, FileFormat::PNG, error)) << error;
  }
}

// Headers that promise more pixels than the host accepts, with nothing
// behind them: refused from the header alone, before any decoder allocates.
TEST(WicCodecs, HugeHeadersAreRefusedBeforeDecoding) {
  const std::string png = std::string("\x89PNG\r\n\x1a\n", 8) + BigEndian32(13) + "IHDR" + BigEndian32(100000) +
                          BigEndian32(100000) + std::string("\x08\x02\0\0\0", 5) + BigEndian32(0);
  const std::string jpeg = std::string("\xFF\xD8\xFF\xE0\x00\x04\x00\x00\xFF\xC0\x00\x11\x08\xFF\xFF\xFF\xFF\x03", 18) +
                           std::string(12, '\x01');
  const std::string tiff = std::string("II*\0\x08\0\0\0\x02\0", 10) +
                           std::string("\x00\x01\x04\x00\x01\0\0\0\x81\x84\x1E\0", 12) +  // width 2000001
                           std::string("\x01\x01\x03\x00\x01\0\0\0\x01\0\0\0", 12) + std::string(4, '\0');
  for (const auto& [name, bytes] : {std::pair<std::string, std::string>{"huge.png", png},
                                    {"huge.jpg", jpeg}, {"huge.tif", tiff}}) {
    rf::testing::WriteFile(Temp(name), bytes);
    Image image;
    std::string error;
    EXPECT_FALSE(ReadImage(Temp(name), image, error)) << name;
    EXPECT_NE(error.find("too large"), std::string::npos) << name << ": " << error;
    EXPECT_TRUE(image.pixels.empty()) << name;
  }
}

// Cut and scribbled-over copies of real files: never a crash, and a refusal
// is one line that names the file. Cut PNG and TIFF files are always refused
// (a cut JPEG may decode, grey-filled, as libjpeg does on Linux).
TEST(WicCodecs, DamagedFilesAreRefusedInOneLine) {
  for (const char* name : {"rgb8.png", "rgb16.tif", "cmyk8.tif", "rgb8.jpg"}) {
    std::string error;
    ASSERT_TRUE(WriteImage(Temp(name), MakeCodecSample(Sample(name), 200, 150), FileFormat::Unknown, error)) << error;
    const std::string whole = rf::testing::ReadFile(Temp(name));
    const bool jpeg = rf::testing::IsJpeg(Sample(name));
    for (size_t cut : {size_t(4), size_t(9), size_t(30), whole.size() / 3, whole.size() - 20}) {
      rf::testing::WriteFile(Temp("cut-") + name, whole.substr(0, cut));
      Image image;
      const bool read = ReadImage(Temp("cut-") + name, image, error);
      if (!jpeg || cut < 200) {
        EXPECT_FALSE(read) << name << " cut at " << cut;
      }
      if (!read) {
        EXPECT_NE(error.find("cut-"), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        EXPECT_TRUE(image.pixels.empty());
      }
    }
    std::string scribbled = whole;
    for (size_t i = 40; i < scribbled.size(); i += 7) scribbled[i] = char(scribbled[i] * 13 + 5);
    rf::testing::WriteFile(Temp("scribbled-") + name, scribbled);
    Image image;
    if (!ReadImage(Temp("scribbled-") + name, image, error)) {
      EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
  }
}

// A big-endian, uncompressed CMYK picture with alpha at 16 bits, in two
// strips, as other programs write them; then the same with its second strip
// cut off.
TEST(WicCodecs, UncompressedBigEndianTiffIsRead) {
  Image written = MakeCodecSample(Sample("cmyka16.tif"), 3, 2);
  std::string error;
  ASSERT_TRUE(codecs::WritePlainTiff(Temp("be-cmyka16.tif"), written, error, {true, 1})) << error;
  Image image;
  ASSERT_TRUE(ReadImage(Temp("be-cmyka16.tif"), image, error)) << error;
  EXPECT_EQ(image.mode, ImageMode::CMYK);
  EXPECT_EQ(image.depth, 16);
  EXPECT_TRUE(image.hasAlpha);
  EXPECT_EQ(image.pixels, written.pixels);

  const std::string file = rf::testing::ReadFile(Temp("be-cmyka16.tif"));
  rf::testing::WriteFile(Temp("be-cut.tif"), file.substr(0, file.size() - written.RowBytes() + 3));
  EXPECT_FALSE(ReadImage(Temp("be-cut.tif"), image, error));
  EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  EXPECT_TRUE(image.pixels.empty());
}

TEST(WicCodecs, WritesThatCannotSucceedAreRefused) {
  std::string error;
  const Image cmyk = MakeCodecSample(Sample("cmyk8.tif"));
  ASSERT_EQ(cmyk.mode, ImageMode::CMYK);
  EXPECT_FALSE(WriteImage(Temp("cmyk.png"), cmyk, FileFormat::PNG, error));
  EXPECT_NE(error.find("CMYK"), std::string::npos) << error;
  EXPECT_FALSE(std::filesystem::exists(Temp("cmyk.png")));
  EXPECT_FALSE(WriteImage(Temp("no-such-folder\\x.png"), MakeCodecSample(Sample("rgb8.png")), FileFormat::PNG, error));
  EXPECT_NE(error.find("cannot create"), std::string::npos) << error;

  // An existing file is replaced in one step.
  ASSERT_TRUE(WriteImage(Temp("replaced.tif"), MakeCodecSample(Sample("rgb8.tif")), FileFormat::TIFF, error)) << error;
  ASSERT_TRUE(WriteImage(Temp("replaced.tif"), MakeCodecSample(Sample("grey8.tif")), FileFormat::TIFF, error)) << error;
  Image read;
  ASSERT_TRUE(ReadImage(Temp("replaced.tif"), read, error)) << error;
  EXPECT_EQ(read.mode, ImageMode::Gray);
  EXPECT_FALSE(std::filesystem::exists(Temp("replaced.tif.partial")));
}

}  // namespace
}  // namespace rf::tools
