// Whole filter runs through the host: descriptors, the registry of last-used
// values, the image modes and the write-back.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "host/interface/host_interface.h"
#include "module_path.h"
#include "tools/hostlib/plugin_host.h"

namespace rf::tools {
namespace {

using host::kModeCMYKColor;
using host::kModeRGB48;
using host::kModeRGBColor;

HostDocument MakeDocument(int w, int h, int16_t mode, int16_t planes, int depth = 8) {
  HostDocument doc;
  doc.width = w;
  doc.height = h;
  doc.mode = mode;
  doc.planes = planes;
  doc.depth = depth;
  doc.hasTransparency = (mode == kModeCMYKColor) ? planes == 5 : planes == 4;
  doc.pixels.resize(doc.RowBytes() * size_t(h));
  for (size_t i = 0; i < doc.pixels.size(); ++i) doc.pixels[i] = uint8_t((i * 7 + i / 13) & 0xFF);
  return doc;
}

class FilterRun : public ::testing::Test {
 protected:
  void SetUp() override {
    registryPath_ = std::string(::testing::TempDir()) + "rf-registry-" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::remove(registryPath_);
    host_ = std::make_unique<PluginHost>();
    host_->UseRegistryFile(registryPath_);
    std::string error;
    ASSERT_TRUE(host_->Load(BuiltModulePath(), error)) << error;
  }

  // Every script draws no pattern (a single-family pattern number that
  // draws nothing) unless it says otherwise, so that these tests see the
  // write-back alone.
  HostDescriptor Script(std::initializer_list<std::pair<const char*, double>> values) {
    HostDescriptor d;
    d.PutInteger(FourCC("EfKn"), 3);
    d.PutInteger(FourCC("PtrK"), 99);
    for (const auto& [name, value] : values) {
      const ScriptedParameter* p = FindParameterByName(name);
      EXPECT_NE(p, nullptr) << name;
      if (p->type == ScriptType::Integer)
        d.PutInteger(p->key, int32_t(value));
      else
        d.PutFloat(p->key, value);
    }
    return d;
  }

  RunReport Run(HostDocument& doc, const HostDescriptor* script = nullptr) {
    const HostDescriptor noPattern = Script({});
    RunOptions options;
    options.checkPiPL = doc.depth == 8;  // 16-bit modes are the module's, not the PiPL's
    options.script = script ? script : &noPattern;
    return host_->Run(doc, options);
  }

  std::string registryPath_;
  std::unique_ptr<PluginHost> host_;
};

TEST_F(FilterRun, FinishRecordsAllKeysInOrderAndRemembersThem) {
  HostDocument doc = MakeDocument(64, 48, kModeRGBColor, 3);
  const HostDescriptor script = Script({{"RandomSeed", 7}, {"RenderMode", 0x103}, {"Scale", 1.25}});
  const RunReport report = Run(doc, &script);
  ASSERT_EQ(report.result, 0);
  ASSERT_TRUE(report.descriptorWritten);
  ASSERT_EQ(report.descriptor.values.size(), 47u);
  for (int i = 0; i < 47; ++i) EXPECT_EQ(report.descriptor.values[i].key, kScriptedParameters[i].key);
  EXPECT_EQ(report.descriptor.Find(FourCC("RndS"))->integer, 7);
  EXPECT_EQ(report.descriptor.Find(FourCC("RndM"))->integer, 3);  // a one-byte field keeps the low byte
  EXPECT_EQ(host_->LiveHandleCount(), 2u);  // the parameters and the state block
  EXPECT_EQ(host_->OutstandingSuites(), 0);

  // A new session of the host starts from the registry file.
  PluginHost next;
  next.UseRegistryFile(registryPath_);
  std::string error;
  ASSERT_TRUE(next.Load(BuiltModulePath(), error)) << error;
  const HostDescriptor onlyWidth = Script({{"Width", 3.5}});
  RunOptions options;
  options.script = &onlyWidth;
  HostDocument doc2 = MakeDocument(64, 48, kModeRGBColor, 3);
  ASSERT_EQ(next.Run(doc2, options).result, 0);
  const ParameterRecord* record = next.ParametersForInspection();
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->RandomSeed, 7u);  // absent from the action: last used
  EXPECT_EQ(record->Scale, 1.25f);
  EXPECT_EQ(record->Width, 3.5f);
}

TEST_F(FilterRun, DefaultsSurviveBothDescriptorsUnchanged) {
  ParameterRecord defaults;
  ResetToDefaults(defaults, true);
  const HostDescriptor script = DescriptorFromRecord(defaults);
  HostDocument doc = MakeDocument(16, 16, kModeRGBColor, 3);
  const RunReport report = Run(doc, &script);
  ASSERT_EQ(report.result, 0);
  // Read back over a scrambled record, so that a key left out shows.
  for (const HostDescriptor* written : {&report.descriptor, host_->registry().Get(host::kRegistryKey)}) {
    ASSERT_NE(written, nullptr);
    ParameterRecord back;
    ResetToDefaults(back, true);
    std::memset(reinterpret_cast<char*>(&back) + sizeof(WindowPlacement), 0x33,
                sizeof(back) - sizeof(WindowPlacement));
    ApplyDescriptor(*written, back);
    for (const ScriptedParameter& p : kScriptedParameters)
      EXPECT_EQ(GetFloatValue(back, p), GetFloatValue(defaults, p)) << p.name;
  }
}

TEST_F(FilterRun, ImageModesOtherThanRgbAndCmykPassThrough) {
  HostDocument doc = MakeDocument(20, 10, host::kModeGrayScale, 1);
  const std::vector<uint8_t> before = doc.pixels;
  // A host that reads the PiPL does not offer the filter for this mode.
  const RunReport refused = Run(doc);
  EXPECT_NE(refused.result, 0);
  EXPECT_FALSE(refused.refusal.empty());
  // One that does not: the module says so and copies the image.
  RunOptions options;
  options.checkPiPL = false;
  EXPECT_EQ(host_->Run(doc, options).result, 0);
  EXPECT_EQ(doc.pixels, before);
}

TEST_F(FilterRun, CmykRowsWiderThanOneConversionCallComeOutWhole) {
  HostDocument doc = MakeDocument(40000, 2, kModeCMYKColor, 4);
  for (size_t i = 0; i < doc.pixels.size(); i += 4) {
    doc.pixels[i] = 0;
    doc.pixels[i + 1] = 0;
    doc.pixels[i + 2] = 0;
    doc.pixels[i + 3] = 200;  // pure black ink survives both conversions exactly
  }
  const std::vector<uint8_t> before = doc.pixels;
  ASSERT_EQ(Run(doc).result, 0);
  size_t same = 0;
  for (size_t i = 0; i < before.size(); ++i) same += doc.pixels[i] == before[i];
  EXPECT_GT(same, before.size() * 9 / 10);
  // The far end of a row, past the first 32767 colours, is converted too.
  EXPECT_EQ(doc.pixels[(40000 - 1) * 4 + 3], 200);
}

TEST_F(FilterRun, WorksWithAMinimalHost) {
  RunOptions options;
  options.bigDocument = false;  // 16-bit rectangles only
  options.offerSuites = false;  // no registry, no colour conversion
  HostDocument doc = MakeDocument(50, 40, kModeRGBColor, 3);
  EXPECT_EQ(host_->Run(doc, options).result, 0);
  EXPECT_EQ(host_->OutstandingSuites(), 0);
  EXPECT_FALSE(std::filesystem::exists(registryPath_));
}

TEST_F(FilterRun, OnlyTheSelectionChanges) {
  HostDocument doc = MakeDocument(100, 80, kModeRGBColor, 3);
  doc.selection.assign(size_t(100) * 80, 0);
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 50; ++x) doc.selection[size_t(y) * 100 + x] = 255;
  const std::vector<uint8_t> before = doc.pixels;
  const HostDescriptor script = Script({{"AlphaCut", 1}});
  ASSERT_EQ(Run(doc, &script).result, 0);
  for (int y = 0; y < 80; ++y)
    for (int x = 50; x < 100; ++x)
      for (int c = 0; c < 3; ++c) {
        const size_t i = (size_t(y) * 100 + x) * 3 + c;
        ASSERT_EQ(doc.pixels[i], before[i]) << x << "," << y;
      }
}

TEST_F(FilterRun, ShowingTheDialogOnPlaybackStillApplies) {
  HostDocument doc = MakeDocument(30, 30, kModeRGBColor, 3);
  const HostDescriptor script = Script({{"AlphaCut", 1}});
  RunOptions options;
  options.script = &script;
  options.playInfo = host::kPlugInDialogDisplay;
  EXPECT_EQ(host_->Run(doc, options).result, 0);
}

// (A runaway pattern's -108 is checked where the budget can be made small:
// tests/pattern.)
TEST_F(FilterRun, ACancelLeavesTheImageAlone) {
  HostDocument doc = MakeDocument(300, 200, kModeRGBColor, 3);
  const std::vector<uint8_t> before = doc.pixels;
  HostDescriptor heavy;
  heavy.PutInteger(FourCC("EfKn"), 1);
  heavy.PutFloat(FourCC("MnIn"), 2.0);
  heavy.PutInteger(FourCC("MxIt"), 6);
  RunOptions cancel;
  cancel.script = &heavy;
  cancel.abortAfterPolls = 0;
  const RunReport cancelled = host_->Run(doc, cancel);
  EXPECT_EQ(cancelled.result, -128);
  EXPECT_GT(cancelled.abortPolls, 0);
  EXPECT_EQ(doc.pixels, before);
}

}  // namespace
}  // namespace rf::tools
