// Whole renders through the module, compared with pictures checked in under
// tests/golden. The same binary renders bit-identically; the tolerance (3
// levels per channel, at most 0.5% of the pixels beyond it) absorbs the
// last-bit differences of another compiler's or C library's sin, cos and
// pow, which move a few edge pixels. RF_UPDATE_GOLDEN=1 rewrites them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "host/interface/host_interface.h"
#include "tools/hostlib/plugin_host.h"
#include "tools/imagefile/document_image.h"
#include "tools/imagefile/image_io.h"
#include "tools/imagefile/sample_image.h"
#include "tools/svg/svg_path.h"

namespace rf::tools {
namespace {

std::string SourceDir() {
  const char* dir = std::getenv("RF_SOURCE_DIR");
  return dir ? dir : ".";
}

std::string ModulePath() {
  const char* dir = std::getenv("RF_BINARY_DIR");
  return std::string(dir ? dir : ".") + "/plugin/Rimeflower64.8bf";
}

struct Case {
  const char* name;
  std::vector<std::pair<const char*, double>> values;
  bool withPath;
};

void CompareWithGolden(const Image& rendered, const std::string& name) {
  const std::string golden = SourceDir() + "/tests/golden/" + name + ".png";
  std::string error;
  if (std::getenv("RF_UPDATE_GOLDEN")) {
    ASSERT_TRUE(WriteImage(golden, rendered, FileFormat::PNG, error)) << error;
    return;
  }
  Image expected;
  ASSERT_TRUE(ReadImage(golden, expected, error)) << error;
  ASSERT_EQ(expected.width, rendered.width);
  ASSERT_EQ(expected.height, rendered.height);
  ASSERT_EQ(expected.pixels.size(), rendered.pixels.size());
  size_t beyond = 0;
  for (size_t i = 0; i < expected.pixels.size(); ++i)
    beyond += std::abs(int(expected.pixels[i]) - int(rendered.pixels[i])) > 3;
  EXPECT_LE(beyond, expected.pixels.size() / 200) << name << ": " << beyond << " samples differ";
}

TEST(RenderGoldens, EveryEmitterAndFamilyRendersAsBefore) {
  const std::vector<Case> cases = {
      {"defaults", {}, false},
      {"geometric-contours", {{"EffectKind", 1}, {"PatternKind", 2}, {"Emitter Type", 1}}, false},
      {"geometric-path", {{"EffectKind", 1}, {"PatternKind", 1}, {"Emitter Type", 0}, {"UseGlass", 0}}, true},
      {"single-wire", {{"EffectKind", 3}, {"PatternKind", 2}, {"RenderMode", 3}, {"Lenght", 30}}, false},
      {"floral-flat-alphacut",
       {{"EffectKind", 2}, {"PatternKind", 1}, {"RenderMode", 4}, {"AlphaCut", 1}, {"Background Color", 0x402010}},
       false},
  };
  const std::string svg = std::string(::testing::TempDir()) + "rf-golden-path.svg";
  std::ofstream(svg) << "<svg xmlns='http://www.w3.org/2000/svg'><path d='M40 140 C 60 20 180 20 200 140 Z'/></svg>";

  for (const Case& c : cases) {
    PluginHost host;
    host.UseRegistryFile("");
    std::string error;
    ASSERT_TRUE(host.Load(ModulePath(), error)) << error;
    const Image sample = MakeSampleImage(240, 180);
    HostDocument doc;
    ASSERT_TRUE(DocumentFromImage(sample, doc, error)) << error;
    if (c.withPath) {
      std::vector<uint8_t> records;
      ASSERT_TRUE(ReadSvgPath(svg, doc.width, doc.height, records, error)) << error;
      doc.paths = {records};
      doc.workPathIndex = 0;
    }
    ParameterRecord record;
    ResetToDefaults(record, true);
    for (const auto& [name, value] : c.values) {
      const ScriptedParameter* p = FindParameterByName(name);
      ASSERT_NE(p, nullptr) << name;
      if (p->type == ScriptType::Integer)
        SetIntegerValue(record, *p, int64_t(value));
      else
        SetFloatValue(record, *p, value);
    }
    const HostDescriptor script = DescriptorFromRecord(record);
    RunOptions options;
    options.script = &script;
    const RunReport report = host.Run(doc, options);
    ASSERT_EQ(report.result, 0) << c.name;
    Image rendered;
    ImageFromDocument(doc, sample, rendered);
    EXPECT_NE(rendered.pixels, sample.pixels) << c.name << " drew nothing";
    CompareWithGolden(rendered, std::string("render-") + c.name);
  }
}

}  // namespace
}  // namespace rf::tools
