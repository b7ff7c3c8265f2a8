// The filter run while the dialog is open, against a host of our own making
// that delivers subsampled areas as an image editor does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "host/interface/result_codes.h"
#include "host/preview.h"

namespace rf::host {
namespace {

// An RGB document the fake host serves, and what the plug-in asked of it.
struct FakeHost {
  int32_t width = 240, height = 180;
  int16_t planes = 3;
  std::vector<uint8_t> input, output;
  std::vector<uint8_t> delivered;  // the subsampled input area
  VRect in{}, out{};
  int32_t rate = 0;
  int advances = 0;
  int hostProgress = 0;
  FilterRecord fr{};
  BigDocumentStruct big{};
};
FakeHost* g_host = nullptr;

// The input rectangle is in sampled pixels: at rate s, sampled pixel (x, y)
// is image pixel (x s, y s).
OSErr Advance() {
  FakeHost& h = *g_host;
  ++h.advances;
  h.in = h.big.inRect32;
  h.out = h.big.outRect32;
  h.rate = h.fr.inputRate >> 16;
  const int32_t s = h.rate;
  const int32_t w = h.in.right - h.in.left, ht = h.in.bottom - h.in.top;
  h.delivered.assign(size_t(w) * ht * h.planes, 0);
  for (int32_t y = 0; y < ht; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const int32_t sx = std::min((h.in.left + x) * s, h.width - 1), sy = std::min((h.in.top + y) * s, h.height - 1);
      for (int32_t c = 0; c < h.planes; ++c)
        h.delivered[(size_t(y) * w + x) * h.planes + c] = h.input[(size_t(sy) * h.width + sx) * h.planes + c];
    }
  h.fr.inData = h.delivered.data();
  h.fr.inRowBytes = w * h.planes;
  h.fr.outData = h.output.data() + (size_t(h.out.top) * h.width + h.out.left) * h.planes;
  h.fr.outRowBytes = h.width * h.planes;
  return 0;
}

void HostProgress(int32_t, int32_t) { ++g_host->hostProgress; }

// A colour-space suite whose CMYK is simply the complement of RGB (ink
// counted from 255 down, as the interface counts it), with K unused.
SPErr Convert8(int16_t from, int16_t to, Color8* colors, int16_t count) {
  for (int i = 0; i < count; ++i) {
    uint8_t* c = colors[i];
    if (from == kColorSpaceCMYK && to == kColorSpaceRGB) {
      const uint8_t cmy[3] = {c[0], c[1], c[2]};
      c[0] = 0;
      for (int k = 0; k < 3; ++k) c[k + 1] = uint8_t(255 - cmy[k]);
    } else if (from == kColorSpaceRGB && to == kColorSpaceCMYK) {
      for (int k = 0; k < 3; ++k) c[k] = uint8_t(255 - c[k + 1]);
      c[3] = 0;
    }
  }
  return 0;
}
ColorSpaceProcs g_colourSpace{};
SPErr Acquire(const char* name, int32_t, const void** suite) {
  if (std::strcmp(name, kColorSpaceSuite) != 0) return kSPSuiteNotFoundError;
  g_colourSpace.Convert8 = Convert8;
  *suite = &g_colourSpace;
  return 0;
}
SPErr Release(const char*, int32_t) { return 0; }
SPBasicSuite g_basic{Acquire, Release, nullptr, nullptr, nullptr, nullptr, nullptr};

class Preview : public ::testing::Test {
 protected:
  void SetUp() override {
    g_host = &host_;
    host_.input.resize(size_t(host_.width) * host_.height * 3);
    for (size_t i = 0; i < host_.input.size(); ++i) host_.input[i] = uint8_t((i * 7) % 251);
    host_.output = host_.input;
    FilterRecord& fr = host_.fr;
    fr.planes = host_.planes;
    fr.imageMode = kModeRGBColor;
    fr.advanceState = Advance;
    fr.progressProc = HostProgress;
    fr.depth = 8;
    host_.big.filterRect32 = VRect{0, 0, host_.height, host_.width};
    fr.bigDocumentData = &host_.big;
    fr.filterRect = PIRect{0, 0, int16_t(host_.height), int16_t(host_.width)};
    ResetToDefaults(record_);
    record_.EffectKind = kFamilySingle;  // a small figure: quick to grow
    record_.PatternKind = 2;
    call_ = HostCall{&fr, nullptr, nullptr};
  }
  void TearDown() override { g_host = nullptr; }

  FakeHost host_;
  ParameterRecord record_{};
  RunState run_;
  pattern::SceneCache cache_;
  HostCall call_;
};

TEST_F(Preview, AsksForTheVisiblePartSubsampledAndKeepsItBetweenRenders) {
  PreviewSession session(call_, run_, record_, cache_);
  session.Begin();
  const ui::PreviewView view{2, 10, 5, 80, 60};
  ui::PreviewPicture picture;
  ASSERT_EQ(session.Render(view, false, picture), kNoErr);
  EXPECT_EQ(host_.rate, 2);  // the area in sampled pixels
  EXPECT_EQ(host_.in.left, 10);
  EXPECT_EQ(host_.in.top, 5);
  EXPECT_EQ(host_.in.right, 90);
  EXPECT_EQ(host_.in.bottom, 65);
  EXPECT_EQ(host_.out.right - host_.out.left, 80);
  EXPECT_EQ(picture.width, 80);
  EXPECT_EQ(picture.height, 60);
  EXPECT_EQ(run_.previewScale, 2.0);
  EXPECT_EQ(record_.SceneDirty, 0);

  // A material change renders again from what is kept: no new request, no
  // regrowth, and the same picture as a render from a fresh source.
  record_.Diffuse = 0x2060C0;
  ui::PreviewPicture kept, fresh;
  ASSERT_EQ(session.Render(view, false, kept), kNoErr);
  EXPECT_EQ(host_.advances, 1);
  ASSERT_EQ(session.Render(view, true, fresh), kNoErr);
  EXPECT_EQ(host_.advances, 2);
  EXPECT_EQ(kept.pixels, fresh.pixels);
  EXPECT_NE(kept.pixels, picture.pixels);

  // A geometry change regrows over the kept source: the same picture as
  // a fresh one again.
  record_.Scale = 60.0f;
  record_.SceneDirty = 1;
  ASSERT_EQ(session.Render(view, false, kept), kNoErr);
  ASSERT_EQ(session.Render(view, true, fresh), kNoErr);
  EXPECT_EQ(kept.pixels, fresh.pixels);

  // Another view reads the source again.
  ASSERT_EQ(session.Render(ui::PreviewView{1, 0, 0, 240, 180}, false, picture), kNoErr);
  EXPECT_EQ(host_.advances, 4);
  EXPECT_EQ(host_.rate, 1);
}

TEST_F(Preview, ProgressGoesToTheDialogAndAutoResolvesAsInTheFinalRun) {
  PreviewSession session(call_, run_, record_, cache_);
  record_.EffectKind = kFamilyGeometric;
  record_.EmitterType = kEmitterAuto;
  session.Begin();
  EXPECT_EQ(record_.EmitterType, kEmitterContours);  // the document has no path
  std::vector<int32_t> marks;
  session.SetProgressSink([](void* c, int32_t done, int32_t) { static_cast<std::vector<int32_t>*>(c)->push_back(done); },
                          &marks);
  record_.EmitterType = kEmitterAuto;  // as a preset may bring it back
  ui::PreviewPicture picture;
  ASSERT_EQ(session.Render(ui::PreviewView{3, 0, 0, 80, 60}, false, picture), kNoErr);
  EXPECT_EQ(record_.EmitterType, kEmitterContours);
  ASSERT_GE(marks.size(), 3u);
  EXPECT_EQ(marks.back(), 0);  // the bar is reset when the render is done
  EXPECT_NE(std::find(marks.begin(), marks.end(), 100), marks.end());
  EXPECT_EQ(host_.hostProgress, 0);

  session.End();
  EXPECT_FALSE(run_.dialogOpen);
  EXPECT_EQ(run_.source, nullptr);
  EXPECT_EQ(record_.CachedTriangles, nullptr);
  EXPECT_EQ(record_.TextureCache, nullptr);
  EXPECT_EQ(session.Render(ui::PreviewView{3, 0, 0, 80, 60}, false, picture), kFilterBadParameters);
}

TEST_F(Preview, TheOverviewIsReadAgainForAnotherFilterArea) {
  PreviewSession session(call_, run_, record_, cache_);
  session.Begin();
  ASSERT_EQ(session.LoadOverviewSource(), kNoErr);
  ASSERT_EQ(session.LoadOverviewSource(), kNoErr);
  EXPECT_EQ(host_.advances, 1);
  EXPECT_EQ(session.OverviewSource()[4 * 5], host_.input[3 * 5]);
  // The same module, a smaller selection in another document.
  host_.big.filterRect32 = VRect{10, 20, 30, 60};
  ASSERT_EQ(session.LoadOverviewSource(), kNoErr);
  EXPECT_EQ(host_.advances, 2);
  EXPECT_EQ(session.Document().width, 40);
  EXPECT_EQ(session.OverviewSource()[0], host_.input[(10 * 240 + 20) * 3]);
}

TEST_F(Preview, CmykDocumentsShowTheirColoursFromTheFirstRender) {
  // The same pixels as CMYK planes: ink = 255 - RGB, K = 0.
  std::vector<uint8_t> cmyk(size_t(host_.width) * host_.height * 4);
  for (size_t i = 0, j = 0; i < host_.input.size(); i += 3, j += 4) {
    for (int k = 0; k < 3; ++k) cmyk[j + k] = uint8_t(255 - host_.input[i + k]);
    cmyk[j + 3] = 0;
  }
  const std::vector<uint8_t> rgb = host_.input;
  host_.input = cmyk;
  host_.output = cmyk;
  host_.planes = 4;
  host_.fr.planes = 4;
  host_.fr.imageMode = kModeCMYKColor;
  host_.fr.sSPBasic = &g_basic;
  call_.basicSuite = &g_basic;
  record_.Scale = 10.0f;  // the figure stays away from the corner read below
  PreviewSession session(call_, run_, record_, cache_);
  session.Begin();
  ui::PreviewPicture first, again;
  ASSERT_EQ(session.Render(ui::PreviewView{1, 0, 0, 240, 180}, false, first), kNoErr);
  ASSERT_EQ(session.Render(ui::PreviewView{1, 0, 0, 240, 180}, true, again), kNoErr);
  EXPECT_EQ(first.pixels, again.pixels);
  // The preview shows RGB, not the ink read as colour.
  EXPECT_EQ(first.pixels[0], (uint32_t(rgb[0]) << 16) | (uint32_t(rgb[1]) << 8) | rgb[2]);
}

TEST_F(Preview, ViewsAtTheEdgeStayOnTheImage) {
  PreviewSession session(call_, run_, record_, cache_);
  session.Begin();
  ui::PreviewPicture picture;
  // Past the image's end: the view is moved back onto it.
  ASSERT_EQ(session.Render(ui::PreviewView{2, 100, 80, 50, 40}, false, picture), kNoErr);
  EXPECT_EQ(picture.width, 50);
  EXPECT_EQ(host_.in.right, 120);
  EXPECT_EQ(host_.in.bottom, 90);
  EXPECT_EQ(session.Render(ui::PreviewView{1, 0, 0, 0, 0}, false, picture), kFilterBadParameters);
  // A filter area of one pixel at any scale.
  host_.big.filterRect32 = VRect{7, 9, 8, 10};
  ASSERT_EQ(session.Render(ui::PreviewView{4, 0, 0, 1, 1}, false, picture), kNoErr);
  EXPECT_EQ(picture.width, 1);
}

TEST(PreviewOutput, TransparencyShowsOverACheckerboardAndCoverageDarkens) {
  const uint8_t rgba[] = {200, 100, 50, 255, 200, 100, 50, 0, 200, 100, 50, 128};
  ui::PreviewPicture p;
  ReadPreviewOutput(rgba, 12, 4, false, true, nullptr, 3, 1, p);
  EXPECT_EQ(p.pixels[0], 0xC86432u);
  EXPECT_EQ(p.pixels[1], 0xFFFFFFu);  // fully transparent: the checkerboard's light square
  EXPECT_EQ(p.pixels[2], uint32_t((((200 * 128 + 255 * 127) / 255) << 16) | (((100 * 128 + 255 * 127) / 255) << 8) |
                                  ((50 * 128 + 255 * 127) / 255)));
  const uint8_t below[9] = {1, 2, 3, 10, 20, 30, 4, 5, 6};  // the layers below
  ReadPreviewOutput(rgba, 12, 4, false, true, below, 3, 1, p);
  EXPECT_EQ(p.pixels[1], 0x0A141Eu);
  ReadPreviewOutput(rgba, 12, 4, false, false, below, 3, 1, p);  // CMYK planes, no transparency
  EXPECT_EQ(p.pixels[1], 0u);
  EXPECT_EQ(CheckerGrey(6, 0), 255);
  EXPECT_EQ(CheckerGrey(7, 0), 204);
  EXPECT_EQ(CheckerGrey(7, 7), 255);
  ReadPreviewOutput(nullptr, 0, 3, false, false, nullptr, 3, 1, p);
  EXPECT_TRUE(p.pixels.empty());
}

}  // namespace
}  // namespace rf::host
