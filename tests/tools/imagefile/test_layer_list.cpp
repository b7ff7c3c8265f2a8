// Layer lists: the syntax, the document they make, and every way a list or
// its files can be wrong.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/test_files.h"
#include "tools/imagefile/image_io.h"
#include "tools/imagefile/layer_list.h"

namespace rf::tools {
namespace {

// The lists and their files, in a folder of their own.
std::string Temp(const std::string& name) {
  const std::filesystem::path folder = std::filesystem::path(::testing::TempDir()) / "rf-layer-list";
  std::filesystem::create_directories(folder);
  return (folder / name).string();
}

void WriteText(const std::string& name, const std::string& text) { rf::testing::WriteFile(Temp(name), text); }

// A flat picture of one colour, with an alpha channel when `alpha` >= 0.
void WritePicture(const std::string& name, int w, int h, uint8_t value, int alpha = -1,
                  ImageMode mode = ImageMode::RGB, int depth = 8) {
  Image image;
  image.width = w;
  image.height = h;
  image.mode = mode;
  image.depth = depth;
  image.hasAlpha = alpha >= 0;
  image.pixels.assign(image.RowBytes() * size_t(h), value);
  if (alpha >= 0 && depth == 8)
    for (size_t i = size_t(image.Channels() - 1); i < image.pixels.size(); i += image.Channels())
      image.pixels[i] = uint8_t(alpha);
  std::string error;
  ASSERT_TRUE(WriteImage(Temp(name), image, FileFormat::Unknown, error)) << error;
}

TEST(LayerList, MakesTheDocumentOfItsLayers) {
  WritePicture("paper.png", 8, 6, 200);
  WritePicture("veil.png", 8, 6, 10, 128);
  WritePicture("deep.png", 8, 6, 90, -1, ImageMode::RGB, 16);
  WritePicture("subject.png", 8, 6, 50, 255);
  WriteText("doc.layers",
            "rimeflower layers\r\n"
            "# from the bottom up\n"
            "\n"
            "layer paper.png\n"
            "  layer veil.png name \"A \\\"thin\\\" veil\" hidden\n"
            "layer " + Temp("deep.png") + " name Subject\n"
            "layer subject.png target name Subject\n");
  ASSERT_TRUE(IsLayerList(Temp("doc.layers")));
  HostDocument doc;
  Image target;
  std::string error;
  ASSERT_TRUE(ReadLayerList(Temp("doc.layers"), doc, target, error)) << error;
  EXPECT_EQ(doc.width, 8);
  EXPECT_TRUE(doc.hasTransparency);
  EXPECT_EQ(doc.pixels[0], 50);
  ASSERT_EQ(doc.layers.size(), 4u);
  EXPECT_EQ(doc.targetLayer, 3);
  const std::vector<std::string> names{"paper", "A \"thin\" veil", "Subject", "Subject"};
  for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(doc.layers[i].name, names[i]);
  EXPECT_FALSE(doc.layers[1].visible);
  EXPECT_TRUE(doc.layers[1].hasTransparency);
  EXPECT_FALSE(doc.layers[0].hasTransparency);
  EXPECT_EQ(doc.layers[1].pixels.size(), size_t(8) * 6 * 4);
  EXPECT_EQ(doc.layers[1].pixels[3], 128);
  EXPECT_EQ(doc.layers[2].pixels[0], 90);  // a 16-bit file reaches the filter at 8 bits
  EXPECT_TRUE(doc.layers[3].pixels.empty());  // the target's pixels are the document's
}

TEST(LayerList, RefusesWhatItCannotMeanWithTheLineOrLayerAtFault) {
  WritePicture("a.png", 8, 6, 1);
  WritePicture("small.png", 7, 6, 1);
  WritePicture("cmyk.tif", 8, 6, 1, -1, ImageMode::CMYK);
  WriteText("damaged.png", "\x89PNG\r\n\x1a\n not really");
  const std::string target = "layer a.png target\n";
  struct Case {
    const char* what;
    std::string text;
    const char* message;
  } cases[] = {
      {"not a list", "rimeflower layer\nlayer a.png target\n", "not a layer list"},
      {"no layers", "rimeflower layers\n# nothing\n", "names no layer"},
      {"no target", "rimeflower layers\nlayer a.png\n", "no layer is marked"},
      {"two targets", "rimeflower layers\n" + target + target, "lines 2 and 3 both mark the target"},
      {"unknown word", "rimeflower layers\nlayer a.png hiden target\n", "line 2: unknown word 'hiden'"},
      {"name without a name", "rimeflower layers\nlayer a.png target name\n", "'name' needs a name"},
      {"open quote", "rimeflower layers\nlayer \"a.png target\n", "line 2: a quote is not closed"},
      {"no file", "rimeflower layers\nlayer\n", "a layer needs a file"},
      {"other line", "rimeflower layers\nlayers a.png\n", "expected 'layer FILE"},
      {"damaged file", "rimeflower layers\nlayer damaged.png\n" + target, "layer 'damaged' (line 2)"},
      {"another size", "rimeflower layers\nlayer small.png\n" + target, "is 7 x 6 RGB, the target 8 x 6 RGB"},
      {"another mode", "rimeflower layers\nlayer cmyk.tif\n" + target, "is 8 x 6 CMYK"},
  };
  for (const Case& c : cases) {
    WriteText("bad.layers", c.text);
    HostDocument doc;
    Image image;
    std::string error;
    EXPECT_FALSE(ReadLayerList(Temp("bad.layers"), doc, image, error)) << c.what;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.what << ": " << error;
  }

  std::string many = "rimeflower layers\n";
  for (size_t i = 0; i <= kMaxListLayers; ++i) many += "layer a.png\n";
  WriteText("many.layers", many + "layer a.png target\n");
  HostDocument doc;
  Image image;
  std::string error;
  EXPECT_FALSE(ReadLayerList(Temp("many.layers"), doc, image, error));
  EXPECT_NE(error.find("more than 1000 layers"), std::string::npos) << error;
  EXPECT_FALSE(IsLayerList(Temp("a.png")));
}

}  // namespace
}  // namespace rf::tools
