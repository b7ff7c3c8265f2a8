// cross_check: the Linux side of the Windows host's checks. It writes the
// codec samples and the input pictures both hosts filter, reads back what
// the Windows host wrote, and compares two renders pixel by pixel.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "tests/tools/imagefile/codec_samples.h"
#include "tools/imagefile/image_io.h"
#include "tools/imagefile/sample_image.h"

namespace {

using rf::tools::FileFormat;
using rf::tools::Image;
using rf::tools::ImageMode;

int Usage() {
  std::fputs(
      "usage: cross_check samples DIR                write every codec sample into DIR\n"
      "       cross_check verify DIR [--except F...]  check the samples found in DIR\n"
      "       cross_check input FILE [--cmyk]         the sample picture as a filter input\n"
      "       cross_check compare A B [--max-diff N] [--max-fraction F]\n"
      "                                               pixel difference of two images\n",
      stderr);
  return 2;
}

bool Write(const std::string& path, const Image& image) {
  std::string error;
  if (rf::tools::WriteImage(path, image, FileFormat::Unknown, error)) return true;
  std::fprintf(stderr, "cross_check: %s\n", error.c_str());
  return false;
}

int Samples(const std::string& dir) {
  for (const rf::testing::CodecSample& s : rf::testing::CodecSamples())
    if (!Write(dir + "/" + s.file, rf::testing::MakeCodecSample(s))) return 1;
  return 0;
}

int Verify(const std::string& dir, const std::set<std::string>& except) {
  int failures = 0, checked = 0;
  for (const rf::testing::CodecSample& s : rf::testing::CodecSamples()) {
    if (except.count(s.file)) continue;
    Image image;
    std::string error;
    if (!rf::tools::ReadImage(dir + "/" + s.file, image, error)) {
      std::printf("  %-12s %s\n", s.file, error.c_str());
      ++failures;
      continue;
    }
    const std::string difference = rf::testing::CompareWithCodecSample(s, image);
    if (!difference.empty()) {
      std::printf("  %-12s %s\n", s.file, difference.c_str());
      ++failures;
    }
    ++checked;
  }
  std::printf("%d files read, %d differ from their samples\n", checked, failures);
  return failures == 0 ? 0 : 1;
}

// The built-in picture, small so that both hosts filter it quickly; in CMYK
// by the plain complement with half the grey component moved to black.
int Input(const std::string& path, bool cmyk) {
  Image rgb = rf::tools::MakeSampleImage(320, 240);
  if (!cmyk) return Write(path, rgb) ? 0 : 1;
  Image out = rgb;
  out.mode = ImageMode::CMYK;
  out.pixels.assign(out.RowBytes() * size_t(out.height), 0);
  for (size_t i = 0; i < size_t(rgb.width) * size_t(rgb.height); ++i) {
    const int c = 255 - rgb.pixels[i * 3], m = 255 - rgb.pixels[i * 3 + 1], y = 255 - rgb.pixels[i * 3 + 2];
    const int k = std::min({c, m, y}) / 2;
    out.pixels[i * 4] = uint8_t(c - k);
    out.pixels[i * 4 + 1] = uint8_t(m - k);
    out.pixels[i * 4 + 2] = uint8_t(y - k);
    out.pixels[i * 4 + 3] = uint8_t(k);
  }
  return Write(path, out) ? 0 : 1;
}

int Compare(const std::string& a, const std::string& b, int maxDiff, double maxFraction) {
  Image x, y;
  std::string error;
  if (!rf::tools::ReadImage(a, x, error) || !rf::tools::ReadImage(b, y, error)) {
    std::printf("%s\n", error.c_str());
    return 1;
  }
  if (x.width != y.width || x.height != y.height || x.mode != y.mode || x.depth != y.depth ||
      x.hasAlpha != y.hasAlpha) {
    std::printf("the images differ in size or layout (%d x %d, %d channels, %d bits; %d x %d, %d channels, %d bits)\n",
                x.width, x.height, x.Channels(), x.depth, y.width, y.height, y.Channels(), y.depth);
    return 1;
  }
  const size_t pixels = size_t(x.width) * size_t(x.height);
  const size_t sampleBytes = x.BytesPerSample(), channels = size_t(x.Channels());
  size_t differing = 0;
  int worst = 0;
  for (size_t p = 0; p < pixels; ++p) {
    int pixelWorst = 0;
    for (size_t c = 0; c < channels; ++c) {
      uint32_t u = 0, v = 0;
      std::memcpy(&u, &x.pixels[(p * channels + c) * sampleBytes], sampleBytes);
      std::memcpy(&v, &y.pixels[(p * channels + c) * sampleBytes], sampleBytes);
      pixelWorst = std::max(pixelWorst, std::abs(int(u) - int(v)));
    }
    if (pixelWorst > 0) ++differing;
    worst = std::max(worst, pixelWorst);
  }
  const double fraction = double(differing) / double(pixels);
  if (differing == 0)
    std::printf("identical (%zu pixels)\n", pixels);
  else
    std::printf("%zu of %zu pixels differ (%.4f %%), by at most %d\n", differing, pixels, fraction * 100.0, worst);
  return worst <= maxDiff && fraction <= maxFraction ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string command = argv[1];
  if (command == "samples" && argc == 3) return Samples(argv[2]);
  if (command == "verify") {
    std::set<std::string> except;
    for (int i = 3; i < argc; ++i)
      if (std::string(argv[i]) != "--except") except.insert(argv[i]);
    return Verify(argv[2], except);
  }
  if (command == "input" && (argc == 3 || (argc == 4 && std::string(argv[3]) == "--cmyk")))
    return Input(argv[2], argc == 4);
  if (command == "compare" && argc >= 4) {
    int maxDiff = 1;
    double maxFraction = 0.001;
    for (int i = 4; i + 1 < argc; i += 2) {
      const std::string option = argv[i];
      if (option == "--max-diff") maxDiff = std::atoi(argv[i + 1]);
      else if (option == "--max-fraction") maxFraction = std::atof(argv[i + 1]);
      else return Usage();
    }
    return Compare(argv[2], argv[3], maxDiff, maxFraction);
  }
  return Usage();
}
