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
  const std::pair<int, int> sizes[] = {{1, 1}, {1, 17}, {17, 1}, {2, 2}, {10, 10}, {11, 11},
                                       {12, 13}, {23, 7}, {40, 31}, {64, 64},
                                       // across the strips the filter works in
                                       {300, 12}, {530, 9}, {267, 3}};
  for (auto [w, h] : sizes) {
    for (int range : {256, 17, 3}) {
      std::vector<uint8_t> src(size_t(w * h));
      for (uint8_t& v : src) v = uint8_t(random() % unsigned(range) * (255 / (range - 1)));
      std::vector<uint8_t> got(src.size(), 77);
      ASSERT_TRUE(MedianFilter11(src.data(), w, h, got.data()));
      ASSERT_EQ(got, SortedMedian(src, w, h)) << w << " x " << h << ", range " << range;
    }
  }
}

TEST(MedianFilter11, SmoothImageAndRefusals) {
  // A gradient with spikes: the median removes isolated spikes entirely.
  const int w = 50, h = 40;
  std::vector<uint8_t> src(size_t(w * h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) src[size_t(y * w + x)] = uint8_t(x * 5);
  src[size_t(20 * w + 25)] = 255;
  src[size_t(21 * w + 24)] = 0;
  std::vector<uint8_t> got(src.size());
  ASSERT_TRUE(MedianFilter11(src.data(), w, h, got.data()));
  EXPECT_EQ(got[size_t(20 * w + 25)], 125);
  EXPECT_EQ(got[size_t(21 * w + 24)], 120);
  EXPECT_EQ(got, SortedMedian(src, w, h));

  uint8_t byte = 0;
  EXPECT_FALSE(MedianFilter11(&byte, 0, 5, &byte));
  EXPECT_FALSE(MedianFilter11(&byte, 5, -1, &byte));
}

TEST(BrightnessMask, BrightnessWeightsAndAlpha) {
  const uint8_t pixels[] = {
      255, 255, 255, 255,  // white
      200, 0,   0,   255,  // red: 100
      0,   200, 0,   255,  // green: 60
      0,   0,   200, 255,  // blue: 40
      255, 255, 255, 0,    // transparent
      200, 100, 50,  128,  // (100 + 30 + 10) x 128 / 255 = 70.27
  };
  uint8_t out[6];
  ComputeBrightness(pixels, 6, out);
  EXPECT_GE(out[0], 254);
  EXPECT_EQ(out[1], 100);
  EXPECT_EQ(out[2], 60);
  EXPECT_EQ(out[3], 40);
  EXPECT_EQ(out[4], 0);
  EXPECT_EQ(out[5], 70);
}

TEST(BrightnessMask, QuantisesToFourBands) {
  std::vector<uint8_t> v(256);
  for (int i = 0; i < 256; ++i) v[size_t(i)] = uint8_t(i);
  QuantiseBands(v.data(), v.size());
  EXPECT_EQ(v[0], 0);
  EXPECT_EQ(v[83], 0);
  EXPECT_EQ(v[84], 84);
  EXPECT_EQ(v[167], 84);
  EXPECT_EQ(v[168], 168);
  EXPECT_EQ(v[251], 168);
  EXPECT_EQ(v[252], 252);
  EXPECT_EQ(v[255], 252);
}

TEST(BrightnessMask, WholeChainAndFailure) {
  // Left third black, middle grey, right third white with a little noise:
  // three bands with straight borders.
  const int w = 90, h = 30;
  std::mt19937 random(5);
  std::vector<uint8_t> rgba(size_t(w * h * 4));
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const int base = x < 30 ? 20 : x < 60 ? 120 : 255;
      uint8_t* p = &rgba[size_t((y * w + x) * 4)];
      const int noisy = x < 60 ? base + int(random() % 11) - 5 : base;
      p[0] = p[1] = p[2] = uint8_t(noisy);
      p[3] = 255;
    }
  }
  // Sprinkle outliers that the median must swallow.
  for (auto [y, x] : {std::pair{5, 10}, {15, 45}, {25, 75}, {12, 12}, {0, 0}, {29, 89}}) {
    rgba[size_t((y * w + x) * 4)] ^= 0xFF;
  }
  std::vector<uint8_t> mask(size_t(w * h), 1);
  ASSERT_TRUE(BuildBrightnessMask(rgba.data(), w, h, mask.data()));
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const int expected = x < 30 ? 0 : x < 60 ? 84 : 252;
      ASSERT_EQ(mask[size_t(y * w + x)], expected) << x << ", " << y;
    }
  }
  std::fill(mask.begin(), mask.end(), 9);
  EXPECT_FALSE(BuildBrightnessMask(rgba.data(), w, 0, mask.data()));
  EXPECT_FALSE(BuildBrightnessMask(nullptr, w, h, mask.data()));
}

}  // namespace
}  // namespace rf::mesh
