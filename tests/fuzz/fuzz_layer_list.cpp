// Arbitrary text as a layer list, after its first line: the list reader
// either refuses it with a message or builds a document whose layers are
// all the target's size, with exactly one target. Two small images lie
// beside the list (a.png 3 x 2 RGB, b.png 3 x 2 RGBA) so that lines naming
// them reach the layer-building code, not only the parser.
#include <cstdint>
#include <string>

#include "tests/fuzz/fuzz_support.h"
#include "tools/imagefile/layer_list.h"

using rf::fuzz::Check;
using rf::fuzz::WriteAll;

namespace {

std::string Folder() {
  static const std::string folder = [] {
    const std::string path = rf::fuzz::TempPath("layers");
    std::filesystem::create_directories(path);
    for (const bool alpha : {false, true}) {
      rf::tools::Image image;
      image.width = 3, image.height = 2, image.hasAlpha = alpha;
      image.pixels.assign(size_t(image.width) * image.height * image.Channels(), 128);
      std::string error;
      Check(rf::tools::WriteImage(path + (alpha ? "/b.png" : "/a.png"), image, rf::tools::FileFormat::PNG, error));
    }
    return path;
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 64 * 1024) return 0;
  const std::string path = Folder() + "/list.txt";
  std::string text = "rimeflower layers\n";
  text.append(reinterpret_cast<const char*>(data), size);
  if (!WriteAll(path, reinterpret_cast<const uint8_t*>(text.data()), text.size())) return 0;
  Check(rf::tools::IsLayerList(path));
  rf::tools::HostDocument doc;
  rf::tools::Image target;
  std::string error;
  if (!rf::tools::ReadLayerList(path, doc, target, error)) {
    Check(!error.empty());
    return 0;
  }
  Check(!doc.layers.empty() && doc.layers.size() <= rf::tools::kMaxListLayers);
  Check(doc.targetLayer >= 0 && size_t(doc.targetLayer) < doc.layers.size());
  Check(doc.width == target.width && doc.height == target.height);
  const size_t planeBytes = size_t(doc.width) * doc.height;
  for (size_t i = 0; i < doc.layers.size(); ++i)
    if (int32_t(i) != doc.targetLayer) Check(doc.layers[i].pixels.size() % planeBytes == 0 && !doc.layers[i].pixels.empty());
  return 0;
}
