#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "mesh/brightness_mask.h"

namespace rf::mesh {
namespace {

// The plain definition: gather the clipped window, sort, take the middle.
std::vector<uint8_t> SortedMedian(const std::vector<uint8_t>& src, int w, int h) {
  std::vector<uint8_t> out(src.size());
  std::vector<int> window;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      window.clear();
      for (int yy = std::max(0, y - 5); yy <= std::min(h - 1, y + 5); ++yy)
        for (int xx = std::max(0, x - 5); xx <= std::min(w - 1, x + 5); ++xx) window.push_back(src[size_t(yy * w + xx)]);
      std::sort(window.begin(), window.end());
      const size_t n = window.size();
      out[size_t(y * w + x)] = uint8_t(n % 2 ? window[n / 2] : (window[n / 2 - 1] + window[n / 2]) / 2);
    }
  }
  return out;
}

TEST(MedianFilter11, MatchesASortedWindowEverywhere) {
  std::mt19937 random(2024);
  // Sizes below, at and above the window and the filter's strips, so that
  // every clipping case and even and odd counts occur; value ranges from
  // full to a few levels, so that ties and the even-count mean across
  // histogram bins both happen.
  const std::pair<int, int> sizes[] = {{1, 1}, {1, 17}, {17, 1}, {2, 2}, {11, 11}, {12, 13},
                                       {40, 31}, {300, 12}, {530, 9}};
  for (auto [w, h] : sizes) {
    for (int range : {256, 17, 3}) {
      std::vector<uint8_t> src(size_t(w * h));
      for (uint8_t& v : src) v = uint8_t(random() % unsigned(range) * (255 / (range - 1)));
      std::vector<uint8_t> got(src.size(), 77);
      ASSERT_TRUE(MedianFilter11(src.data(), w, h, got.data()));
      ASSERT_EQ(got, SortedMedian(src, w, h)) << w << " x " << h << ", range " << range;
    }
  }
  uint8_t byte = 0;
  EXPECT_FALSE(MedianFilter11(&byte, 0, 5, &byte));
  EXPECT_FALSE(MedianFilter11(&byte, 5, -1, &byte));
}

TEST(BrightnessMask, BrightnessWeightsAlphaAndTruncation) {
  // R, G, B, A and the brightness. The last five have an exact brightness
  // (5R + 3G + 2B) x A / 2550 that is whole but whose doubles come out just
  // below it, so the brightness is one less; an integer shortcut gets these
  // wrong.
  const uint8_t cases[][5] = {{200, 0, 0, 255, 100}, {0, 200, 0, 255, 60},    {0, 0, 200, 255, 40},
                              {255, 255, 255, 0, 0}, {200, 100, 50, 128, 70}, {0, 6, 1, 255, 1},
                              {0, 24, 4, 255, 7},    {70, 209, 149, 128, 63}, {0, 82, 2, 51, 4},
                              {77, 204, 139, 2, 0}};
  for (const auto& c : cases) {
    uint8_t got = 99;
    ComputeBrightness(c, 1, &got);
    EXPECT_EQ(got, c[4]) << int(c[0]) << " " << int(c[1]) << " " << int(c[2]) << " " << int(c[3]);
  }
}

TEST(BrightnessMask, QuantisesToFourBands) {
  std::vector<uint8_t> v(256);
  for (int i = 0; i < 256; ++i) v[size_t(i)] = uint8_t(i);
  QuantiseBands(v.data(), v.size());
  for (auto [in, out] : {std::pair{0, 0}, {83, 0}, {84, 84}, {167, 84}, {168, 168}, {251, 168}, {252, 252}, {255, 252}})
    EXPECT_EQ(v[size_t(in)], out) << in;
}

// The mask by its definition: brightness, exact median, bands.
std::vector<uint8_t> SlowMask(const std::vector<uint8_t>& rgba, int w, int h) {
  std::vector<uint8_t> brightness(size_t(w) * size_t(h)), median(brightness.size());
  ComputeBrightness(rgba.data(), brightness.size(), brightness.data());
  EXPECT_TRUE(MedianFilter11(brightness.data(), w, h, median.data()));
  QuantiseBands(median.data(), median.size());
  return median;
}

// Grey RGBA pixels whose brightness is exactly the given byte.
std::vector<uint8_t> GreyImage(const std::vector<uint8_t>& levels) {
  std::vector<uint8_t> rgba(levels.size() * 4);
  for (size_t i = 0; i < levels.size(); ++i) {
    rgba[i * 4] = rgba[i * 4 + 1] = rgba[i * 4 + 2] = levels[i];
    rgba[i * 4 + 3] = 255;
  }
  return rgba;
}

void ExpectSameMask(const std::vector<uint8_t>& rgba, int w, int h, const char* what) {
  std::vector<uint8_t> fast(size_t(w) * size_t(h), 1);
  ASSERT_TRUE(BuildBrightnessMask(rgba.data(), w, h, fast.data()));
  ASSERT_EQ(fast, SlowMask(rgba, w, h)) << what << ", " << w << " x " << h;
}

TEST(BrightnessMask, SameAsExactMedianOnRandomImages) {
  std::mt19937 random(77);
  // Thin, tiny, just under and over the window, odd and even, and wider than
  // the exact filter's strips; every size has a frame and most an inside.
  const std::pair<int, int> sizes[] = {{1, 1},   {1, 40},  {40, 1},  {2, 3},   {10, 30}, {11, 12},
                                       {12, 11}, {13, 13}, {37, 29}, {300, 14}, {14, 300}, {523, 23}};
  for (auto [w, h] : sizes) {
    const size_t n = size_t(w) * size_t(h);
    std::vector<uint8_t> levels(n);

    for (uint8_t& v : levels) v = uint8_t(random());
    ExpectSameMask(GreyImage(levels), w, h, "uniform noise");

    // Only the values either side of each threshold, so that medians sit on
    // or next to a band edge and even counts take means across it.
    const uint8_t edges[] = {0, 83, 84, 85, 167, 168, 169, 251, 252, 255};
    for (uint8_t& v : levels) v = edges[random() % 10];
    ExpectSameMask(GreyImage(levels), w, h, "band edges");

    // Two values only, about half each: the window's majority flips between
    // neighbours, and mean-of-two cases land on 83.5, 167.5 and 251.5.
    for (int t : {84, 168, 252}) {
      for (uint8_t& v : levels) v = uint8_t(random() % 2 ? t : t - 1);
      ExpectSameMask(GreyImage(levels), w, h, "one step across a threshold");
    }

    // Full colour with random alpha, some of it 0.
    std::vector<uint8_t> rgba(n * 4);
    for (uint8_t& c : rgba) c = uint8_t(random());
    for (size_t i = 0; i < n; i += 3) rgba[i * 4 + 3] = 0;
    ExpectSameMask(rgba, w, h, "colour and alpha");
  }
}

TEST(BrightnessMask, FlatImagesCheckerboardTransparencyAndRefusals) {
  const int w = 57, h = 43;
  std::vector<uint8_t> levels(size_t(w * h));
  for (int v : {0, 83, 84, 167, 168, 251, 252, 255}) {
    std::fill(levels.begin(), levels.end(), uint8_t(v));
    ExpectSameMask(GreyImage(levels), w, h, "one value");
  }
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) levels[size_t(y * w + x)] = (x + y) % 2 ? 255 : 0;
  ExpectSameMask(GreyImage(levels), w, h, "checkerboard");

  // Wholly transparent: every brightness 0 whatever the colour.
  std::vector<uint8_t> rgba(size_t(w * h * 4), 255);
  for (size_t i = 3; i < rgba.size(); i += 4) rgba[i] = 0;
  std::vector<uint8_t> mask(size_t(w * h), 9);
  ASSERT_TRUE(BuildBrightnessMask(rgba.data(), w, h, mask.data()));
  EXPECT_EQ(mask, std::vector<uint8_t>(mask.size(), 0));
  EXPECT_FALSE(BuildBrightnessMask(rgba.data(), w, 0, mask.data()));
  EXPECT_FALSE(BuildBrightnessMask(nullptr, w, h, mask.data()));
}

TEST(BrightnessMask, InsideCountsTheWindowMajority) {
  // A 21 x 21 image of 84 with a block of 0s around the centre (10, 10):
  // that window sees the block's k values below 84. 60 of 121 below leave the
  // median at 84; 61 pull it to 0. A fault in the count threshold or in the
  // window's extent shows here.
  for (int below : {60, 61}) {
    const int w = 21, h = 21;
    std::vector<uint8_t> levels(size_t(w * h), 84);
    int placed = 0;
    for (int y = 5; y <= 15 && placed < below; ++y)
      for (int x = 5; x <= 15 && placed < below; ++x, ++placed) levels[size_t(y * w + x)] = 0;
    std::vector<uint8_t> mask(levels.size());
    ASSERT_TRUE(BuildBrightnessMask(GreyImage(levels).data(), w, h, mask.data()));
    EXPECT_EQ(mask[size_t(10 * w + 10)], below == 60 ? 84 : 0);
    ASSERT_EQ(mask, SlowMask(GreyImage(levels), w, h));
  }
}

}  // namespace
}  // namespace rf::mesh
