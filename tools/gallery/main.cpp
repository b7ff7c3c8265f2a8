// rf-gallery: writes the pictures the gallery renders the effect over.
//
//   rf-gallery sample -o FILE [--size WxH]   the demo's built-in landscape
//   rf-gallery photo -o FILE [--size WxH]    a photo-like still life
//
// The effect itself is rendered by `rimeflower apply`; this program only
// supplies its inputs, so the gallery shows exactly what a user gets.
#include <cstdio>
#include <string>

#include "tools/imagefile/image_io.h"
#include "tools/imagefile/sample_image.h"
#include "tools/gallery/photo_image.h"
#include "tools/gallery/size_argument.h"

namespace {

const char* const kUsage =
    "usage: rf-gallery sample|photo -o FILE [--size WxH]\n"
    "\n"
    "  sample  the landscape that `rimeflower demo` renders over (default 1000x750)\n"
    "  photo   a still life of glass ornaments on a table (default 1000x750)\n"
    "The file's extension chooses its format (png, jpg, tif, pgm).\n";

int Usage(const std::string& message) {
  std::fprintf(stderr, "rf-gallery: %s\n%s", message.c_str(), kUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage("a picture name is required");
  const std::string what = argv[1];
  if (what == "--help" || what == "-h") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (what != "sample" && what != "photo") return Usage("unknown picture '" + what + "'");

  std::string output;
  int width = 1000, height = 750;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "-o" || arg == "--output") && i + 1 < argc) {
      output = argv[++i];
    } else if (arg == "--size" && i + 1 < argc) {
      if (!rf::gallery::ParseSizeArgument(argv[++i], width, height))
        return Usage("--size takes WxH with sides from 1 to " + std::to_string(rf::gallery::kMaxPhotoSide));
    } else {
      return Usage("unknown or incomplete argument '" + arg + "'");
    }
  }
  if (output.empty()) return Usage("-o FILE is required");

  const rf::tools::Image image =
      what == "sample" ? rf::tools::MakeSampleImage(width, height) : rf::gallery::MakePhotoImage(width, height);
  std::string error;
  if (!rf::tools::WriteImage(output, image, rf::tools::FileFormat::Unknown, error)) {
    std::fprintf(stderr, "rf-gallery: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
