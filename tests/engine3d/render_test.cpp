// The render call with threads, a kept context and a stop request: the bytes
// must not depend on the thread count or on what the context drew before.
#include "tests/engine3d/scenes.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace rf::test {
namespace {

using engine3d::RenderContext;
using engine3d::RenderControl;
using engine3d::RenderStatus;

// The picture scene on a taller canvas, so that it crosses several bands.
struct Case {
  const char* name;
  int mode, quality;
  bool glass;
  int multyRefract;
  int backFaces;
  int deep;
};

void Configure(const Case& c, Scene& s) {
  ResetEngine();
  __SetDrawMode(uint8_t(c.mode));
  __SetQuality(uint8_t(c.quality));
  __SetUseMultyRefract(uint8_t(c.multyRefract));
  __SetDrawBackFaces(uint8_t(c.backFaces));
  __SetDeep(uint8_t(c.deep));
  _WireSize = 1.5f;
  s = GoldenScene();
  s.offsetX = 80;
  s.offsetY = 75;
  if (c.glass) {
    s.materials[0].diffuse[0] = s.materials[0].diffuse[1] = s.materials[0].diffuse[2] = 0.5f;
    s.glass = {GlassProp{1, 0.5f, 6.0f, 60.0f}, GlassProp{0, 0, 0, 0}};
  }
  if (c.backFaces) {
    // A few back faces in front of the dome for the first pass.
    const int base = int(s.points.size());
    s.points.push_back(P(-40, -20, 40));
    s.points.push_back(P(-40, 30, 40));
    s.points.push_back(P(10, -20, 40));
    s.triangles.push_back(T(base, base + 1, base + 2, 1));
  }
}

std::vector<uint8_t> Render(const Case& c, RenderContext& context, int threads) {
  Scene s;
  Configure(c, s);
  Canvas canvas = CheckerCanvas(160, 150);
  RenderControl control;
  control.threads = threads;
  EXPECT_EQ(engine3d::RasterScene(context, control, s.Input(canvas)), RenderStatus::Done);
  return canvas.target;
}

class Threads : public ::testing::TestWithParam<Case> {
 protected:
  void TearDown() override { ResetEngine(); }
};

TEST_P(Threads, SameBytesForAnyThreadCountAndKeptContext) {
  const Case c = GetParam();
  RenderContext one;
  const std::vector<uint8_t> reference = Render(c, one, 1);
  Scene s;
  Configure(c, s);
  Canvas unchanged = CheckerCanvas(160, 150);
  if (c.deep == 0) {
    EXPECT_NE(reference, unchanged.target) << c.name;
  }

  for (int threads : {2, 3, 0}) {
    RenderContext fresh;
    EXPECT_EQ(Render(c, fresh, threads), reference) << c.name << ", threads " << threads;
  }
  // A context that drew other looks first (one that composites, then one
  // that does not), and the exported call.
  RenderContext kept;
  Case other = c;
  other.mode = c.mode == 6 ? 3 : 6;
  other.quality = 1;
  Render(other, kept, 2);
  other.quality = 0;
  Render(other, kept, 2);
  EXPECT_EQ(Render(c, kept, 2), reference) << c.name << ", kept context";
  Configure(c, s);
  Canvas exported = CheckerCanvas(160, 150);
  s.Render(exported);
  EXPECT_EQ(exported.target, reference) << c.name << ", __RasterScene";
}

INSTANTIATE_TEST_SUITE_P(
    Engine, Threads,
    ::testing::Values(
        Case{"rough", 0, 1, false, 1, 0, 0}, Case{"line", 1, 1, false, 1, 0, 0},
        Case{"line_q0", 1, 0, false, 1, 0, 0}, Case{"wire", 2, 1, false, 1, 0, 0},
        Case{"flat", 3, 1, false, 1, 0, 0}, Case{"phong", 6, 1, false, 1, 0, 0},
        Case{"phong_q0", 6, 0, false, 1, 0, 0}, Case{"subdivided", 8, 1, false, 1, 0, 0},
        Case{"patch", 9, 1, false, 1, 0, 0}, Case{"plain_patch", 10, 1, false, 1, 0, 0},
        Case{"glass", 6, 1, true, 0, 0, 0}, Case{"glass_q0", 6, 0, true, 0, 0, 0},
        Case{"multi_refraction", 6, 1, true, 1, 0, 0},
        Case{"multi_refraction_q0", 6, 0, true, 1, 0, 0},
        Case{"back_faces", 6, 1, false, 0, 1, 0}, Case{"back_faces_glass", 6, 1, true, 0, 1, 0},
        Case{"deep", 6, 1, true, 0, 0, 1}, Case{"deep_patch", 9, 1, false, 1, 1, 1}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// A per-pixel function of the caller's, and the stop callback, are only
// called on the thread that called the render.
std::thread::id g_caller;
bool g_elsewhere = false;
float CallerOnlyPixel(float ox, float oy, unsigned char* t, unsigned char* s, float px, float py,
                      float pz, __Triangle3ds* tri, material3ds* m, int mc, float& r, float& g,
                      float& b, __Point* n, unsigned char uv, float u, float v, __Texture* tex,
                      int lc, light3ds* l, __PrevInfo* prev, GlassProp* gl, float A, float B,
                      float C, float D) {
  if (std::this_thread::get_id() != g_caller) g_elsewhere = true;
  return engine3d::DefaultRenderOnePixel(ox, oy, t, s, px, py, pz, tri, m, mc, r, g, b, n, uv, u,
                                         v, tex, lc, l, prev, gl, A, B, C, D);
}

struct Poll {
  int calls = 0;
  int stopAfter = 0;
  bool elsewhere = false;
};
bool ShouldStop(void* context) {
  Poll& poll = *static_cast<Poll*>(context);
  if (std::this_thread::get_id() != g_caller) poll.elsewhere = true;
  return ++poll.calls > poll.stopAfter;
}

TEST(RenderControl, CallbacksStayOnTheCallingThread) {
  ResetEngine();
  g_caller = std::this_thread::get_id();
  const Case phong{"phong", 6, 1, false, 1, 0, 0};
  RenderContext context;
  const std::vector<uint8_t> reference = Render(phong, context, 1);

  __SetNewRenderOnePixel(CallerOnlyPixel);
  Scene s;
  Configure(phong, s);
  __SetNewRenderOnePixel(CallerOnlyPixel);  // Configure reset the engine
  Canvas canvas = CheckerCanvas(160, 150);
  Poll poll;
  poll.stopAfter = 1000000;
  RenderControl control;
  control.threads = 4;
  control.shouldStop = ShouldStop;
  control.context = &poll;
  EXPECT_EQ(engine3d::RasterScene(context, control, s.Input(canvas)), RenderStatus::Done);
  EXPECT_FALSE(g_elsewhere);
  EXPECT_GE(poll.calls, 1);
  EXPECT_FALSE(poll.elsewhere);
  EXPECT_EQ(canvas.target, reference);  // handing on to the built-in function changes nothing
  ResetEngine();
}

TEST(RenderControl, StopEndsTheRenderAndTheContextStaysUsable) {
  g_caller = std::this_thread::get_id();
  const Case glass{"glass", 6, 1, true, 0, 0, 0};
  RenderContext fresh;
  const std::vector<uint8_t> reference = Render(glass, fresh, 2);

  RenderContext context;
  for (int threads : {1, 2}) {
    Scene s;
    Configure(glass, s);
    // Enough work for several polls: the dome, drawn many times over.
    const size_t dome = s.triangles.size();
    for (int copy = 0; copy < 40; ++copy)
      for (size_t k = 0; k < dome; ++k) s.triangles.push_back(s.triangles[k]);
    Canvas canvas = CheckerCanvas(160, 150);
    Poll poll;
    RenderControl control;
    control.threads = threads;
    control.shouldStop = ShouldStop;
    control.context = &poll;
    EXPECT_EQ(engine3d::RasterScene(context, control, s.Input(canvas)), RenderStatus::Stopped);
    EXPECT_EQ(poll.calls, 1);
    EXPECT_FALSE(poll.elsewhere);
  }
  EXPECT_EQ(Render(glass, context, 2), reference);
  ResetEngine();
}

}  // namespace
}  // namespace rf::test
