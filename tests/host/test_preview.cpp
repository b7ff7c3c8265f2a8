// The filter run while the dialog is open, against the host library's host,
// which delivers subsampled areas as an image editor does.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "host/interface/result_codes.h"
#include "host/preview.h"
#include "tools/hostlib/plugin_host.h"

namespace rf::host {
namespace {

// What the plug-in asked of the host: its advanceState and progress calls,
// seen on their way to the host's own.
struct Requests {
  int advances = 0, hostProgress = 0;
  VRect in{}, out{};
  int32_t rate = 0;
  FilterRecord* fr = nullptr;
  AdvanceStateProc serve = nullptr;
} g_requests;

OSErr CountedAdvance() {
  Requests& q = g_requests;
  ++q.advances;
  q.in = q.fr->bigDocumentData->inRect32;
  q.out = q.fr->bigDocumentData->outRect32;
  q.rate = q.fr->inputRate >> 16;
  return q.serve();
}

class Preview : public ::testing::Test {
 protected:
  void SetUp() override {
    doc_.width = 240;
    doc_.height = 180;  // RGB, 8 bits
    doc_.pixels.resize(doc_.RowBytes() * 180);
    for (size_t i = 0; i < doc_.pixels.size(); ++i) doc_.pixels[i] = uint8_t((i * 7) % 251);
    input_ = doc_.pixels;  // the host lends the document's own pixels to the run
    ResetToDefaults(record_);
    record_.EffectKind = kFamilySingle;  // a small figure: quick to grow
    record_.PatternKind = 2;
    g_requests = Requests{};
    host_.UseRegistryFile("");
  }

  // Runs `body` with the record the host serves; the basic suite only where
  // a test asks for it (the host's colour conversion).
  void Serve(const std::function<void(const HostCall&)>& body, bool suites = false) {
    host_.Serve(doc_, tools::RunOptions{}, [&](FilterRecord& fr) {
      g_requests.fr = &fr;
      g_requests.serve = fr.advanceState;
      fr.advanceState = CountedAdvance;
      fr.progressProc = [](int32_t, int32_t) { ++g_requests.hostProgress; };
      body(HostCall{&fr, suites ? fr.sSPBasic : nullptr, nullptr});
    });
  }

  tools::PluginHost host_;
  tools::HostDocument doc_;
  std::vector<uint8_t> input_;
  ParameterRecord record_{};
  RunState run_;
  pattern::SceneCache cache_;
};

TEST_F(Preview, AsksForTheVisiblePartSubsampledAndKeepsItBetweenRenders) {
  Serve([&](const HostCall& call) {
    PreviewSession session(call, run_, record_, cache_);
    session.Begin();
    const ui::PreviewView view{2, 10, 5, 80, 60};
    ui::PreviewPicture picture;
    ASSERT_EQ(session.Render(view, false, picture), kNoErr);
    EXPECT_EQ(g_requests.rate, 2);  // the area in sampled pixels
    EXPECT_EQ(g_requests.in.left, 10);
    EXPECT_EQ(g_requests.in.top, 5);
    EXPECT_EQ(g_requests.in.right, 90);
    EXPECT_EQ(g_requests.in.bottom, 65);
    EXPECT_EQ(g_requests.out.right - g_requests.out.left, 80);
    EXPECT_EQ(picture.width, 80);
    EXPECT_EQ(picture.height, 60);
    EXPECT_EQ(run_.previewScale, 2.0);
    EXPECT_EQ(record_.SceneDirty, 0);

    // A material change renders again from what is kept: no new request, no
    // regrowth, and the same picture as a render from a fresh source.
    record_.Diffuse = 0x2060C0;
    ui::PreviewPicture kept, fresh;
    ASSERT_EQ(session.Render(view, false, kept), kNoErr);
    EXPECT_EQ(g_requests.advances, 1);
    ASSERT_EQ(session.Render(view, true, fresh), kNoErr);
    EXPECT_EQ(g_requests.advances, 2);
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
    EXPECT_EQ(g_requests.advances, 4);
    EXPECT_EQ(g_requests.rate, 1);
  });
}

TEST_F(Preview, ProgressGoesToTheDialogAndAutoResolvesAsInTheFinalRun) {
  Serve([&](const HostCall& call) {
    PreviewSession session(call, run_, record_, cache_);
    record_.EffectKind = kFamilyGeometric;
    record_.EmitterType = kEmitterAuto;
    session.Begin();
    EXPECT_EQ(record_.EmitterType, kEmitterContours);  // the document has no path
    std::vector<int32_t> marks;
    session.SetProgressSink(
        [](void* c, int32_t done, int32_t) { static_cast<std::vector<int32_t>*>(c)->push_back(done); }, &marks);
    record_.EmitterType = kEmitterAuto;  // as a preset may bring it back
    ui::PreviewPicture picture;
    ASSERT_EQ(session.Render(ui::PreviewView{3, 0, 0, 80, 60}, false, picture), kNoErr);
    EXPECT_EQ(record_.EmitterType, kEmitterContours);
    ASSERT_GE(marks.size(), 3u);
    EXPECT_EQ(marks.back(), 0);  // the bar is reset when the render is done
    EXPECT_NE(std::find(marks.begin(), marks.end(), 100), marks.end());
    EXPECT_EQ(g_requests.hostProgress, 0);

    session.End();
    EXPECT_FALSE(run_.dialogOpen);
    EXPECT_EQ(run_.source, nullptr);
    EXPECT_EQ(record_.CachedTriangles, nullptr);
    EXPECT_EQ(record_.TextureCache, nullptr);
    EXPECT_EQ(session.Render(ui::PreviewView{3, 0, 0, 80, 60}, false, picture), kFilterBadParameters);
  });
}

TEST_F(Preview, TheOverviewIsReadAgainForAnotherFilterArea) {
  Serve([&](const HostCall& call) {
    PreviewSession session(call, run_, record_, cache_);
    session.Begin();
    ASSERT_EQ(session.LoadOverviewSource(), kNoErr);
    ASSERT_EQ(session.LoadOverviewSource(), kNoErr);
    EXPECT_EQ(g_requests.advances, 1);
    EXPECT_EQ(session.OverviewSource()[4 * 5], input_[3 * 5]);
    // The same module, a smaller selection in another document.
    g_requests.fr->bigDocumentData->filterRect32 = VRect{10, 20, 30, 60};
    ASSERT_EQ(session.LoadOverviewSource(), kNoErr);
    EXPECT_EQ(g_requests.advances, 2);
    EXPECT_EQ(session.Document().width, 40);
    EXPECT_EQ(session.OverviewSource()[0], input_[(10 * 240 + 20) * 3]);
  });
}

TEST_F(Preview, CmykDocumentsShowTheirColoursFromTheFirstRender) {
  // The same pixels as CMYK planes: ink = 255 - RGB, K = 0, which the
  // host's plain conversion turns back into the RGB exactly.
  doc_.mode = kModeCMYKColor;
  doc_.planes = 4;
  doc_.pixels.assign(doc_.RowBytes() * 180, 0);
  for (size_t i = 0, j = 0; i < input_.size(); i += 3, j += 4)
    for (int k = 0; k < 3; ++k) doc_.pixels[j + k] = uint8_t(255 - input_[i + k]);
  Serve([&](const HostCall& call) {
    record_.Scale = 10.0f;  // the figure stays away from the corner read below
    PreviewSession session(call, run_, record_, cache_);
    session.Begin();
    ui::PreviewPicture first, again;
    ASSERT_EQ(session.Render(ui::PreviewView{1, 0, 0, 240, 180}, false, first), kNoErr);
    ASSERT_EQ(session.Render(ui::PreviewView{1, 0, 0, 240, 180}, true, again), kNoErr);
    EXPECT_EQ(first.pixels, again.pixels);
    // The preview shows RGB, not the ink read as colour.
    EXPECT_EQ(first.pixels[0], (uint32_t(input_[0]) << 16) | (uint32_t(input_[1]) << 8) | input_[2]);
  }, true);
}

TEST_F(Preview, ViewsAtTheEdgeStayOnTheImage) {
  Serve([&](const HostCall& call) {
    PreviewSession session(call, run_, record_, cache_);
    session.Begin();
    ui::PreviewPicture picture;
    // Past the image's end: the view is moved back onto it.
    ASSERT_EQ(session.Render(ui::PreviewView{2, 100, 80, 50, 40}, false, picture), kNoErr);
    EXPECT_EQ(picture.width, 50);
    EXPECT_EQ(g_requests.in.right, 120);
    EXPECT_EQ(g_requests.in.bottom, 90);
    EXPECT_EQ(session.Render(ui::PreviewView{1, 0, 0, 0, 0}, false, picture), kFilterBadParameters);
    // A filter area of one pixel at any scale.
    g_requests.fr->bigDocumentData->filterRect32 = VRect{7, 9, 8, 10};
    ASSERT_EQ(session.Render(ui::PreviewView{4, 0, 0, 1, 1}, false, picture), kNoErr);
    EXPECT_EQ(picture.width, 1);
  });
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
