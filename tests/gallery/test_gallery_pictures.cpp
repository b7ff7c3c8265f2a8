#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "tools/gallery/photo_image.h"
#include "tools/gallery/size_argument.h"

namespace rf::gallery {
namespace {

TEST(SizeArgument, AcceptsWholeSidesWithinTheLimitAndRefusesTheRest) {
  int w = 0, h = 0;
  EXPECT_TRUE(ParseSizeArgument("960x720", w, h));
  EXPECT_EQ(w, 960);
  EXPECT_EQ(h, 720);
  EXPECT_TRUE(ParseSizeArgument("1X1", w, h));
  EXPECT_TRUE(ParseSizeArgument("8000x8000", w, h));
  // A refusal keeps the old values.
  for (const char* text : {"", "x", "960", "960x", "x720", "0x10", "-5x10", "8001x10", "10x8001",
                           "99999999999x10", "10x10x10", " 10x10", "10x10 ", "1e3x10", "+10x10"}) {
    w = 3, h = 4;
    EXPECT_FALSE(ParseSizeArgument(text, w, h)) << '"' << text << '"';
    EXPECT_EQ(w * 10 + h, 34) << text;
  }
}

TEST(PhotoImage, RgbOfTheAskedSizeRepeatableAndRefusesSizesBeyondTheLimit) {
  const tools::Image a = MakePhotoImage(161, 97);
  ASSERT_EQ(a.width, 161);
  ASSERT_EQ(a.height, 97);
  EXPECT_EQ(a.mode, tools::ImageMode::RGB);
  EXPECT_FALSE(a.hasAlpha);
  ASSERT_EQ(a.pixels.size(), size_t(161) * 97 * 3);
  EXPECT_EQ(a.pixels, MakePhotoImage(161, 97).pixels);
  for (const auto& [w, h] : {std::pair{1, 300}, std::pair{300, 1}})
    EXPECT_EQ(MakePhotoImage(w, h).pixels.size(), size_t(w) * h * 3);
  for (const auto& [w, h] : {std::pair{0, 10}, std::pair{-1, 10}, std::pair{kMaxPhotoSide + 1, 10},
                             std::pair{10, kMaxPhotoSide + 1}}) {
    const tools::Image image = MakePhotoImage(w, h);
    EXPECT_EQ(image.width, 0);
    EXPECT_TRUE(image.pixels.empty());
  }
}

// The picture exists to judge glass and bump on strong colours, highlights
// and dark areas; a change that flattened it would make the gallery useless.
TEST(PhotoImage, HasSaturatedColoursHighlightsAndShadows) {
  const tools::Image image = MakePhotoImage(480, 360);
  int saturatedRed = 0, saturatedBlue = 0, highlights = 0, shadows = 0;
  for (size_t i = 0; i + 2 < image.pixels.size(); i += 3) {
    const int r = image.pixels[i], g = image.pixels[i + 1], b = image.pixels[i + 2];
    saturatedRed += r > 120 && r > 2 * std::max(g, b);
    saturatedBlue += b > 120 && b > 2 * std::max(r, g);
    highlights += std::min({r, g, b}) > 235;
    shadows += std::max({r, g, b}) < 40;
  }
  const int pixels = 480 * 360;
  EXPECT_GT(saturatedRed, pixels / 100);
  EXPECT_GT(saturatedBlue, pixels / 100);
  EXPECT_GT(highlights, 20);
  EXPECT_GT(shadows, pixels / 100);
}

}  // namespace
}  // namespace rf::gallery
