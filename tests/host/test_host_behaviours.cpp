// The module against hosts that behave differently: each row of the table
// is a whole filter run through the built module, then the dialog's layer
// reading and preview loading driven against the same host.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "host/colour_services.h"
#include "host/document_layers.h"
#include "host/filter_run.h"
#include "host/interface/result_codes.h"
#include "module_path.h"
#include "platform/platform.h"
#include "tools/hostlib/document_ports.h"
#include "tools/hostlib/plugin_host.h"
#include "tests/pattern/path_records.h"

namespace rf::tools {
namespace {

using host::kModeCMYKColor;
using host::kModeRGB48;
using host::kModeRGBColor;

struct Rgb {
  uint8_t r, g, b;
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

constexpr int kW = 40, kH = 30;
constexpr Rgb kBackgroundColour{200, 100, 50}, kVeilColour{10, 20, 30}, kHiddenColour{1, 1, 1};
constexpr Rgb kAboveColour{255, 0, 255};
constexpr size_t kHidden = 2, kTarget = 3, kAbove = 4;
// Where a selection starts; the filter area is then smaller than the image.
constexpr int kSelectedLeft = 4, kSelectedTop = 2;

// The target's own pixels vary in both directions, so that a wrong sample
// position shows.
Rgb TargetColour(int x, int y) { return {uint8_t(x * 4), uint8_t(y * 5), 77}; }
int TargetAlpha(int, int y) { return y < 15 ? 0 : 255; }

enum class Form { Rgb8, Cmyk8, Rgb16, Flat };

// Writes one pixel in the document's form: RGB, or CMYK ink without black;
// 8 bits, or 16 bits in 0..32768. `alpha` < 0: the pixel has no alpha.
void Put(const HostDocument& doc, std::vector<uint8_t>& pixels, int planes, int x, int y, Rgb c, int alpha) {
  const bool cmyk = doc.mode == kModeCMYKColor;
  std::vector<int> v = cmyk ? std::vector<int>{255 - c.r, 255 - c.g, 255 - c.b, 0} : std::vector<int>{c.r, c.g, c.b};
  if (alpha >= 0) v.push_back(alpha);
  for (size_t k = 0; k < v.size(); ++k) {
    const size_t i = (size_t(y) * kW + x) * planes + k;
    if (doc.depth == 8) {
      pixels[i] = uint8_t(v[k]);
    } else {
      const uint16_t s = host::SampleTo16(uint8_t(v[k]));
      std::memcpy(&pixels[i * 2], &s, 2);
    }
  }
}

HostLayer MakeLayer(const HostDocument& doc, const char* name, bool visible, bool transparency,
                    const std::function<Rgb(int, int)>& colour, const std::function<int(int, int)>& alpha) {
  HostLayer layer;
  layer.name = name;
  layer.visible = visible;
  layer.hasTransparency = transparency;
  const int planes = doc.ColourPlanes() + (transparency ? 1 : 0);
  layer.pixels.resize(size_t(kW) * kH * planes * doc.BytesPerSample());
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) Put(doc, layer.pixels, planes, x, y, colour(x, y), transparency ? alpha(x, y) : -1);
  return layer;
}

// From the bottom: a background covering the lower two thirds, a veil
// opaque on the left, half transparent in the middle and clear on the right,
// a hidden layer, the target, and a layer above it.
HostDocument MakeDocument(Form form, bool selected = false) {
  HostDocument doc;
  if (selected) {
    doc.selection.assign(size_t(kW) * kH, 0);
    for (int y = kSelectedTop; y < kH; ++y)
      for (int x = kSelectedLeft; x < kW; ++x) doc.selection[size_t(y) * kW + x] = 255;
  }
  doc.width = kW;
  doc.height = kH;
  doc.mode = form == Form::Cmyk8 ? kModeCMYKColor : form == Form::Rgb16 ? kModeRGB48 : kModeRGBColor;
  doc.depth = form == Form::Rgb16 ? 16 : 8;
  doc.hasTransparency = true;
  doc.planes = int16_t(doc.ColourPlanes() + 1);
  doc.pixels.resize(doc.RowBytes() * kH);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) Put(doc, doc.pixels, doc.planes, x, y, TargetColour(x, y), TargetAlpha(x, y));
  if (form == Form::Flat) return doc;
  auto solid = [](Rgb c) { return [c](int, int) { return c; }; };
  doc.layers.push_back(MakeLayer(doc, "Background", true, true, solid(kBackgroundColour),
                                 [](int, int y) { return y >= 10 ? 255 : 0; }));
  doc.layers.push_back(MakeLayer(doc, "Veil", true, true, solid(kVeilColour),
                                 [](int x, int) { return x < 10 ? 255 : x < 20 ? 128 : 0; }));
  doc.layers.push_back(MakeLayer(doc, "Hidden", false, false, solid(kHiddenColour), nullptr));
  doc.layers.push_back(HostLayer{"Subject", true, true, {}});
  doc.layers.push_back(MakeLayer(doc, "Above", true, false, solid(kAboveColour), nullptr));
  doc.targetLayer = int32_t(kTarget);
  return doc;
}

Rgb Grey(int x, int y) {
  const uint8_t g = ((x / 7 + y / 7) & 1) ? 204 : 255;
  return {g, g, g};
}

// What shows behind the target.
enum class Behind {
  Layers,            // the visible layers below, over the checkerboard where they are clear
  Checkerboard,      // nothing: a clear backdrop
  BelowUnreadable,   // the background only: the walk ended at the veil
};

// A pixel of the background, at image coordinates; `grey`: the checkerboard
// square there (counted from the view's corner).
struct Probe {
  int x, y;
  Rgb expected;
  bool grey = false;
};

std::vector<Probe> Probes(Behind behind, bool exactMix) {
  switch (behind) {
    case Behind::Layers: {
      std::vector<Probe> p{{5, 3, kVeilColour}, {25, 12, kBackgroundColour}, {25, 3, {}, true}, {24, 7, {}, true}};
      // Half of the veil over nothing and over the background, by hand:
      // (10, 20, 30) x 128/255 over the grey 255 with alpha 128, and
      // (10 x 128 + 200 x 127) / 255 ... over an opaque backdrop.
      if (exactMix) p.insert(p.end(), {{15, 3, {129, 132, 134}}, {15, 12, {104, 59, 39}}});
      return p;
    }
    case Behind::BelowUnreadable: return {{5, 3, {}, true}, {25, 12, kBackgroundColour}, {15, 3, {}, true}};
    case Behind::Checkerboard: break;
  }
  std::vector<Probe> all;
  for (int y = kSelectedTop; y < kH; ++y)
    for (int x = kSelectedLeft; x < kW; ++x) all.push_back({x, y, {}, true});
  return all;
}

struct Row {
  const char* host;
  std::function<void(RunOptions&)> configure;
  Form form;
  int16_t layersResult;  // what reading the layers answers
  bool targetRead;       // the target's own pixels were read (else the host's input shows it)
  Behind behind;
  bool selected = false;
};

const std::vector<Row>& Table() {
  static const std::vector<Row> rows{
      {"a current editor", nullptr, Form::Rgb8, 0, true, Behind::Layers},
      {"a CMYK document", nullptr, Form::Cmyk8, 0, true, Behind::Layers},
      {"a 16-bit document", nullptr, Form::Rgb16, 0, true, Behind::Layers},
      {"one layer", nullptr, Form::Flat, 0, true, Behind::Checkerboard},
      {"no suites at all", [](RunOptions& o) { o.offerSuites = false; }, Form::Rgb8, 0, false, Behind::Checkerboard},
      {"descriptor suite 2 only", [](RunOptions& o) { o.descriptorSuiteVersion3 = false; }, Form::Rgb8, 0, true,
       Behind::Layers},
      {"no layer queries", [](RunOptions& o) { o.layerQueries = false; }, Form::Rgb8, 0, false, Behind::Checkerboard},
      {"names as C strings", [](RunOptions& o) { o.unicodeStrings = false; }, Form::Rgb8, 0, true, Behind::Layers},
      {"no channel-ports suite", [](RunOptions& o) { o.channelPortsSuite = false; }, Form::Rgb8, 0, true,
       Behind::Layers},
      {"no layer list", [](RunOptions& o) { o.layerList = false; }, Form::Rgb8, 0, false, Behind::Checkerboard},
      {"padded rows", [](RunOptions& o) { o.paddedRows = true; }, Form::Rgb8, 0, true, Behind::Layers},
      {"a layer's ports unreadable", [](RunOptions& o) { o.unreadableLayer = 1; }, Form::Rgb8, -30900, false,
       Behind::BelowUnreadable},
      {"unreadable, record procedure",
       [](RunOptions& o) {
         o.unreadableLayer = 1;
         o.channelPortsSuite = false;
       },
       Form::Rgb8, -30910, false, Behind::BelowUnreadable},
      {"a target name no layer has", [](RunOptions& o) { o.targetNameAnswer = "Nobody"; }, Form::Rgb8, 0, false,
       Behind::Checkerboard},
      {"a selection", nullptr, Form::Rgb8, 0, true, Behind::Layers, true},
      {"a selection, record procedure", [](RunOptions& o) { o.channelPortsSuite = false; }, Form::Rgb8, 0, true,
       Behind::Layers, true},
      {"a selection, no layer list", [](RunOptions& o) { o.layerList = false; }, Form::Rgb8, 0, false,
       Behind::Checkerboard, true},
  };
  return rows;
}

// Every script draws no pattern, so that a run that works leaves the
// document as it was.
HostDescriptor NoPattern() {
  HostDescriptor d;
  d.PutInteger(FourCC("EfKn"), 3);
  d.PutInteger(FourCC("PtrK"), 99);
  return d;
}

// What the dialog would get from the module's functions on this host.
struct Preview {
  int16_t layersResult = 0;
  bool targetRead = false;
  int16_t wholeView = 0, reducedView = 0;
  int32_t width = 0, height = 0;    // of the whole view
  std::vector<uint8_t> background;  // of the whole view at scale 1
  std::vector<uint8_t> source;      // of a view at scale 2
};

constexpr ui::PreviewView kReduced{2, 3, 2, 10, 8};

Preview DrivePreview(PluginHost& host, HostDocument& doc, const RunOptions& options, RunReport* report = nullptr) {
  Preview p;
  const RunReport served = host.Serve(doc, options, [&](host::FilterRecord& fr) {
    host::PluginState state{};
    const host::HostCall call{&fr, fr.sSPBasic, &state};
    host::DocumentLayers layers;
    RunState run;
    ParameterRecord record;
    ResetToDefaults(record, true);
    p.layersResult = host::ReadDocumentLayers(call, layers);
    p.targetRead = layers.target.pixels != nullptr;
    p.wholeView = host::LoadPreviewView(call, run, record, ui::PreviewView{1, 0, 0, kW, kH}, layers);
    p.width = run.width;
    p.height = run.height;
    if (layers.background)
      p.background.assign(layers.background, layers.background + size_t(run.width) * run.height * 3);
    p.reducedView = host::LoadPreviewView(call, run, record, kReduced, layers);
    if (run.source) p.source.assign(run.source, run.source + size_t(run.width) * run.height * 4);
    host::ReleaseDocumentLayers(layers);
    platform::FreePages(run.source);
    platform::FreePages(run.output);
  });
  if (report) *report = served;
  return p;
}

class HostBehaviours : public ::testing::Test {
 protected:
  void SetUp() override {
    host_ = std::make_unique<PluginHost>();
    host_->UseRegistryFile("");
    std::string error;
    ASSERT_TRUE(host_->Load(BuiltModulePath(), error)) << error;
  }
  std::unique_ptr<PluginHost> host_;
};

TEST_F(HostBehaviours, EveryHostGetsTheSameFilterAndAPreviewOfTheTargetInItsPlace) {
  const HostDescriptor script = NoPattern();
  for (const Row& row : Table()) {
    SCOPED_TRACE(row.host);
    RunOptions options;
    options.script = &script;
    options.checkPiPL = row.form != Form::Rgb16;
    if (row.configure) row.configure(options);

    HostDocument doc = MakeDocument(row.form, row.selected);
    const std::vector<uint8_t> before = doc.pixels;
    const int left = row.selected ? kSelectedLeft : 0, top = row.selected ? kSelectedTop : 0;
    EXPECT_EQ(host_->Run(doc, options).result, 0);
    // (CMYK goes through the host's conversion twice, which is not exact.)
    if (row.form != Form::Cmyk8) {
      EXPECT_EQ(doc.pixels, before);
    }
    EXPECT_EQ(host_->OutstandingSuites(), 0);
    if (options.offerSuites) {
      EXPECT_NE(host_->registry().Get(host::kRegistryKey), nullptr);
    }

    RunReport report;
    const Preview p = DrivePreview(*host_, doc, options, &report);
    EXPECT_EQ(p.layersResult, row.layersResult);
    EXPECT_EQ(p.targetRead, row.targetRead);
    ASSERT_EQ(p.wholeView, 0);
    ASSERT_EQ(p.reducedView, 0);
    EXPECT_EQ(host_->OutstandingSuites(), 0);
    if (row.form != Form::Flat) {
      EXPECT_EQ(report.layerReads[kAbove], 0);
      EXPECT_EQ(report.layerReads[kHidden], 0);
    }

    // Behind the target: the layers below, or the checkerboard.
    ASSERT_EQ(p.width, kW - left);
    ASSERT_EQ(p.height, kH - top);
    ASSERT_EQ(p.background.size(), size_t(p.width) * p.height * 3);
    for (const Probe& probe : Probes(row.behind, row.form == Form::Rgb8 && !row.selected)) {
      const int x = probe.x - left, y = probe.y - top;
      const uint8_t* b = &p.background[(size_t(y) * p.width + x) * 3];
      EXPECT_EQ((Rgb{b[0], b[1], b[2]}), probe.grey ? Grey(x, y) : probe.expected) << probe.x << "," << probe.y;
    }
    // The reduced view samples every second pixel, from the target layer or
    // from the host's subsampled input alike.
    ASSERT_EQ(p.source.size(), size_t(kReduced.width) * kReduced.height * 4);
    for (int y = 0; y < kReduced.height; ++y)
      for (int x = 0; x < kReduced.width; ++x) {
        const int sx = left + (kReduced.offsetX + x) * 2, sy = top + (kReduced.offsetY + y) * 2;
        const uint8_t* s = &p.source[(size_t(y) * kReduced.width + x) * 4];
        ASSERT_EQ((Rgb{s[0], s[1], s[2]}), TargetColour(sx, sy)) << x << "," << y;
        ASSERT_EQ(s[3], TargetAlpha(sx, sy)) << x << "," << y;
      }
  }
}

// The work path reaches the module through the property suite or through
// the record's procedures; without either it grows along contours instead.
TEST_F(HostBehaviours, PathsComeThroughEitherPropertyInterface) {
  HostDescriptor script;
  script.PutInteger(FourCC("EfKn"), 1);
  script.PutInteger(FourCC("EmTp"), 0);
  const std::vector<std::pair<const char*, std::function<void(RunOptions&)>>> hosts{
      {"both", nullptr},
      {"suite only", [](RunOptions& o) { o.propertyProcs = false; }},
      {"procedures only", [](RunOptions& o) { o.propertySuite = false; }},
      {"neither",
       [](RunOptions& o) {
         o.propertyProcs = false;
         o.propertySuite = false;
       }},
  };
  std::vector<std::vector<uint8_t>> results;
  for (const auto& [name, configure] : hosts) {
    HostDocument doc = MakeDocument(Form::Flat);
    const std::vector<uint8_t> records = test::PathRecords()
                                             .Selector(0, 4)
                                             .Corner(2, 0.3, 0.2)
                                             .Corner(2, 0.7, 0.2)
                                             .Corner(2, 0.7, 0.8)
                                             .Corner(2, 0.3, 0.8)
                                             .bytes;
    doc.paths = {records};
    doc.workPathIndex = 0;
    RunOptions options;
    options.script = &script;
    if (configure) configure(options);
    ASSERT_EQ(host_->Run(doc, options).result, 0) << name;
    results.push_back(doc.pixels);
  }
  EXPECT_EQ(results[1], results[0]);
  EXPECT_EQ(results[2], results[0]);
  EXPECT_NE(results[3], results[0]);
}

TEST_F(HostBehaviours, ColourPickerAnswersAChoiceACancelOrNothing) {
  struct Case {
    std::function<void(RunOptions&)> configure;
    int16_t result;
    uint16_t red;
  } cases[] = {
      {[](RunOptions& o) { o.pickedColour[0] = 51; }, 0, 51 * 257},
      {[](RunOptions& o) { o.pickerCancels = true; }, -128, 0x1234},
      {[](RunOptions& o) { o.colourServices = false; }, -30900, 0x1234},
  };
  for (const Case& c : cases) {
    RunOptions options;
    c.configure(options);
    HostDocument doc = MakeDocument(Form::Flat);
    uint16_t rgb[3] = {0x1234, 0, 0};
    int16_t result = 1;
    const RunReport report = host_->Serve(
        doc, options, [&](host::FilterRecord& fr) { result = host::PickHostColour(fr, "Select a Color", rgb); });
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(rgb[0], c.red);
    if (options.colourServices) {
      EXPECT_EQ(report.pickerPrompt, "Select a Color");
    }
  }
}

// Requests no host can answer come back as errors and leave the document
// alone; odd documents and views give a defined preview or a clear error.
TEST_F(HostBehaviours, BadRequestsAndOddDocumentsFailCleanly) {
  HostDocument doc = MakeDocument(Form::Rgb8);
  const std::vector<uint8_t> before = doc.pixels;
  struct Request {
    const char* what;
    std::function<void(host::FilterRecord&)> set;
  } requests[] = {
      {"rate 0", [](host::FilterRecord& fr) { fr.inputRate = 0; }},
      {"negative rate", [](host::FilterRecord& fr) { fr.inputRate = -0x20000; }},
      {"negative mask rate", [](host::FilterRecord& fr) { fr.maskRate = -0x10000; }},
      {"input outside", [](host::FilterRecord& fr) { fr.inRect = {0, 30, 10, 50}; }},
      {"output outside", [](host::FilterRecord& fr) { fr.outRect = {-5, 0, 10, 10}; }},
      {"planes beyond", [](host::FilterRecord& fr) { fr.inHiPlane = 9; }},
  };
  RunOptions options;
  options.bigDocument = false;
  doc.selection.assign(size_t(kW) * kH, 255);
  for (const Request& r : requests) {
    int16_t err = 0;
    host_->Serve(doc, options, [&](host::FilterRecord& fr) {
      fr.inRect = fr.outRect = fr.maskRect = {0, 0, 10, 10};
      fr.inHiPlane = fr.outHiPlane = int16_t(fr.planes - 1);
      r.set(fr);
      err = fr.advanceState();
    });
    EXPECT_EQ(err, -50) << r.what;
  }
  EXPECT_EQ(doc.pixels, before);

  // Views the dialog cannot mean.
  for (const ui::PreviewView& view : {ui::PreviewView{0, 0, 0, 10, 10}, ui::PreviewView{1, -1, 0, 10, 10},
                                      ui::PreviewView{2, 0, 0, 0, 10}}) {
    int16_t result = 0;
    host_->Serve(doc, RunOptions{}, [&](host::FilterRecord& fr) {
      host::PluginState state{};
      host::DocumentLayers layers;
      RunState run;
      ParameterRecord record;
      result = host::LoadPreviewView({&fr, fr.sSPBasic, &state}, run, record, view, layers);
    });
    EXPECT_EQ(result, kFilterBadParameters);
  }

  // Two layers of the target's name: its identifier tells them apart.
  HostDocument twins = MakeDocument(Form::Rgb8);
  twins.layers[1].name = "Subject";
  Preview p = DrivePreview(*host_, twins, RunOptions{});
  EXPECT_TRUE(p.targetRead);
  EXPECT_EQ((Rgb{p.source[0], p.source[1], p.source[2]}), TargetColour(6, 4));

  // A layer whose pixels do not fit the document cannot be read.
  HostDocument odd = MakeDocument(Form::Rgb8);
  odd.layers[0].pixels.resize(10);
  EXPECT_NE(DrivePreview(*host_, odd, RunOptions{}).layersResult, 0);

  // A list of 10,000 layers below the target.
  HostDocument crowd = MakeDocument(Form::Rgb8);
  HostLayer thin = crowd.layers[1];
  crowd.layers.insert(crowd.layers.begin(), 9996, thin);
  crowd.targetLayer = int32_t(crowd.layers.size() - 2);
  p = DrivePreview(*host_, crowd, RunOptions{});
  EXPECT_EQ(p.layersResult, 0);
  EXPECT_TRUE(p.targetRead);
}

}  // namespace
}  // namespace rf::tools
