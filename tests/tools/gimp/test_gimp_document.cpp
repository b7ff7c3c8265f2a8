// What GIMP hands the plug-in, as the host's document: the stored values,
// the procedure's argument names, layers below, vectors and the selection.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <set>

#include "tools/gimp/gimp_document.h"
#include "tools/svg/svg_path.h"

namespace rf::tools::gimp {
namespace {

TEST(GimpValues, StoredValuesComeBackAndDamagedOnesAreIgnored) {
  ParameterRecord record;
  ResetToDefaults(record, true);
  record.BackgroundColor = 0xFFFFFF;
  record.RandomSeed = 4000000000u;  // above what a signed 32-bit argument holds
  record.CenterX = -12.5f;
  record.MinInterval = 1.0f / 3.0f;
  record.EmitterType = kEmitterPaths;
  const std::vector<uint8_t> bytes = StoredValues(record);

  ParameterRecord back;
  ResetToDefaults(back, true);
  ASSERT_TRUE(ReadStoredValues(bytes.data(), bytes.size(), back));
  for (const ScriptedParameter& p : kScriptedParameters) {
    if (p.type == ScriptType::Integer)
      EXPECT_EQ(GetIntegerValue(back, p), GetIntegerValue(record, p)) << p.name;
    else
      EXPECT_EQ(GetFloatValue(back, p), GetFloatValue(record, p)) << p.name;  // exactly: floats fit doubles
  }

  // A store of another size or tag changes nothing.
  ParameterRecord untouched;
  ResetToDefaults(untouched, true);
  std::vector<uint8_t> shorter(bytes.begin(), bytes.end() - 8);
  std::vector<uint8_t> retagged = bytes;
  retagged[3] = '0';
  EXPECT_FALSE(ReadStoredValues(shorter.data(), shorter.size(), untouched));
  EXPECT_FALSE(ReadStoredValues(retagged.data(), retagged.size(), untouched));
  EXPECT_FALSE(ReadStoredValues(nullptr, 0, untouched));
  EXPECT_EQ(untouched.CenterX, 0.0f);
  EXPECT_EQ(untouched.EmitterType, kEmitterFixed);
}

// GIMP refuses a procedure whose parameter names GLib cannot take: a letter
// first, then letters, digits, '-' or '_'; and Script-Fu users tell them apart.
TEST(GimpValues, ArgumentNamesAreValidAndDistinct) {
  std::set<std::string> seen;
  for (const ScriptedParameter& p : kScriptedParameters) {
    const std::string name = ArgumentName(p);
    ASSERT_FALSE(name.empty());
    EXPECT_TRUE(std::isalpha(uint8_t(name[0]))) << name;
    for (const char c : name) EXPECT_TRUE(std::isalnum(uint8_t(c)) || c == '-' || c == '_') << name;
    EXPECT_TRUE(seen.insert(name).second) << name;
  }
  EXPECT_EQ(ArgumentName(*FindParameterByName("Center X")), "Center-X");
  EXPECT_EQ(ArgumentName(*FindParameterByName("Lenght")), "Lenght");
}

Image Solid(int width, int height, bool alpha, uint8_t value, uint8_t alphaValue = 255) {
  Image image;
  image.width = width;
  image.height = height;
  image.hasAlpha = alpha;
  for (int i = 0; i < width * height; ++i) {
    image.pixels.insert(image.pixels.end(), {value, value, value});
    if (alpha) image.pixels.push_back(alphaValue);
  }
  return image;
}

HostDocument Document(int width, int height, bool alpha) {
  HostDocument doc;
  doc.width = width;
  doc.height = height;
  doc.hasTransparency = alpha;
  doc.planes = alpha ? 4 : 3;
  doc.pixels.assign(doc.RowBytes() * size_t(height), 0);
  return doc;
}

TEST(GimpLayers, LayersArePlacedCutAndTheirOpacityFolded) {
  HostDocument doc = Document(4, 3, true);
  LayerBelow ground{"Ground", true, 1.0, 0, 0, Solid(4, 3, false, 10)};
  // Half opaque, hidden, shifted so that it hangs over the right and top edges.
  LayerBelow shifted{"Shifted", false, 0.5, 2, -1, Solid(4, 3, true, 200, 200)};
  std::string error;
  ASSERT_TRUE(AddLayersBelow({ground, shifted}, doc, error)) << error;
  ASSERT_EQ(doc.layers.size(), 3u);
  EXPECT_EQ(doc.targetLayer, 2);
  EXPECT_TRUE(doc.layers[2].pixels.empty());  // the target's pixels are the document's
  EXPECT_TRUE(doc.layers[2].hasTransparency);

  // Opaque, covering, no alpha: no transparency plane.
  EXPECT_FALSE(doc.layers[0].hasTransparency);
  EXPECT_EQ(doc.layers[0].pixels.size(), 4u * 3u * 3u);
  EXPECT_EQ(doc.layers[0].pixels[0], 10);

  const HostLayer& s = doc.layers[1];
  EXPECT_EQ(s.name, "Shifted");
  EXPECT_FALSE(s.visible);
  ASSERT_TRUE(s.hasTransparency);
  auto at = [&](int x, int y) { return &s.pixels[(size_t(y) * 4 + size_t(x)) * 4]; };
  EXPECT_EQ(at(1, 0)[3], 0);    // left of the layer: transparent
  EXPECT_EQ(at(2, 2)[3], 0);    // below it (its last row lies at y = 1)
  EXPECT_EQ(at(2, 0)[0], 200);  // covered: its colour,
  EXPECT_EQ(at(3, 1)[3], 100);  // its alpha 200 at half opacity
}

TEST(GimpLayers, AnOpaqueLayerAtPartialOpacityGetsTransparency) {
  HostDocument doc = Document(2, 2, false);
  std::string error;
  ASSERT_TRUE(AddLayersBelow({LayerBelow{"L", true, 0.25, 0, 0, Solid(2, 2, false, 50)}}, doc, error));
  ASSERT_TRUE(doc.layers[0].hasTransparency);
  EXPECT_EQ(doc.layers[0].pixels[3], 64);
  EXPECT_FALSE(doc.layers[1].hasTransparency);
}

TEST(GimpVectors, StrokesBecomeTheRecordsOfTheSameKnotsRelativeToTheDrawable) {
  // Two anchors, closed, in image pixels; the drawable sits at (10, 20).
  Stroke closed{{15, 25, 20, 30, 25, 35, 40, 50, 45, 55, 50, 60}, true};
  Stroke partial{{1, 2, 3, 4}, false};  // less than one anchor: skipped
  std::vector<uint8_t> records;
  std::string error;
  ASSERT_TRUE(PathRecordsFromStrokes({closed, partial}, 10, 20, 100, 80, records, error)) << error;

  SvgSubpath expected;
  expected.closed = true;
  expected.knots = {SvgKnot{5, 5, 10, 10, 15, 15}, SvgKnot{30, 30, 35, 35, 40, 40}};
  std::vector<uint8_t> want;
  ASSERT_TRUE(PathRecordsFromSubpaths({expected}, 100, 80, want, error));
  EXPECT_EQ(records, want);

  // No strokes: a path without subpaths, just its fill-rule record.
  ASSERT_TRUE(PathRecordsFromStrokes({}, 0, 0, 100, 80, records, error));
  EXPECT_EQ(records.size(), 26u);
  // Far outside the document: refused with a message.
  Stroke far{{0, 0, 1e9, 0, 0, 0}, false};
  EXPECT_FALSE(PathRecordsFromStrokes({far}, 0, 0, 100, 80, records, error));
  EXPECT_FALSE(error.empty());
}

TEST(GimpSelection, AnyPartOfAPixelSelectsIt) {
  HostDocument doc = Document(3, 1, false);
  SelectionFromChannel({0, 1, 255}, doc);
  EXPECT_EQ(doc.selection, (std::vector<uint8_t>{0, 255, 255}));
}

}  // namespace
}  // namespace rf::tools::gimp
