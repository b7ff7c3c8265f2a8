// `rimeflower contours` and `rimeflower mask`: the contour mesher and the
// brightness mask on image files, for inspection and for tests.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "mesh/brightness_mask.h"
#include "mesh/mesh_builder.h"
#include "platform/platform.h"
#include "tools/imagefile/image_io.h"
#include "tools/imagefile/safe_file.h"
#include "tools/rimeflower/commands.h"

namespace rf::tools {

namespace {

const char* const kContoursHelp =
    "usage: rimeflower contours MASK [--tolerance T] [--step S] [--svg] [-o FILE]\n"
    "\n"
    "Traces the borders between the labels of MASK, an 8-bit grey image (PGM or\n"
    "PNG) whose bytes are used as labels, into smooth lines, as the plug-in does\n"
    "for a selection or an image. The value 121 is the label of the outside and\n"
    "should not occur in a mask.\n"
    "\n"
    "The text output lists every vertex as 'V x y', then every segment as\n"
    "'S first second weight', in output order; coordinates are mask pixels\n"
    "(x right, y down, pixel corners at whole numbers).\n"
    "\n"
    "options:\n"
    "  --tolerance T      simplification tolerance in pixels (default 1; 0 or less\n"
    "                     means 1, at most 10)\n"
    "  --step S           longest piece, in Manhattan pixels (default 30; 2 to 30)\n"
    "  --svg              draw the lines over the mask as an SVG picture instead\n"
    "  -o, --output FILE  where to write (default: standard output)\n"
    "  --max-megapixels N refuse masks of more than N million pixels (default 400)\n";

const char* const kMaskHelp =
    "usage: rimeflower mask IMAGE -o MASK\n"
    "\n"
    "Writes the mask the plug-in traces for an image without a selection: the\n"
    "brightness (R x 0.5 + G x 0.3 + B x 0.2, scaled by alpha), an 11 x 11 median,\n"
    "and four bands 0, 84, 168 and 252. MASK is written as PGM, or in the format\n"
    "its extension names.\n"
    "\n"
    "options:\n"
    "  -o, --output FILE  where to write the mask (required)\n"
    "  --max-megapixels N refuse images of more than N million pixels (default 400)\n";

bool ParseNumber(const std::string& text, double& out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  out = std::strtod(text.c_str(), &end);
  return errno == 0 && end && *end == '\0' && std::isfinite(out);
}

// Owns the mesher's output arrays for the length of a command.
struct ContourResult {
  int32_t vertexCount = 0;
  int32_t segmentCount = 0;
  mesh::ContourVertex* vertices = nullptr;
  mesh::ContourSegment* segments = nullptr;
  ~ContourResult() { mesh::ReleaseContourArrays(vertices, segments); }
};

void WriteText(FILE* out, const ContourResult& r) {
  for (int32_t i = 0; i < r.vertexCount; ++i) {
    std::fprintf(out, "V %.9g %.9g\n", double(r.vertices[i].x), double(r.vertices[i].y));
  }
  for (int32_t i = 0; i < r.segmentCount; ++i) {
    const mesh::ContourSegment& s = r.segments[i];
    std::fprintf(out, "S %u %u %.9g\n", unsigned(s.first), unsigned(s.second), double(s.Weight));
  }
}

std::string Base64(const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const uint32_t b0 = bytes[i];
    const uint32_t b1 = i + 1 < bytes.size() ? bytes[i + 1] : 0;
    const uint32_t b2 = i + 2 < bytes.size() ? bytes[i + 2] : 0;
    const uint32_t v = (b0 << 16) | (b1 << 8) | b2;
    out += kDigits[(v >> 18) & 63];
    out += kDigits[(v >> 12) & 63];
    out += i + 1 < bytes.size() ? kDigits[(v >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kDigits[v & 63] : '=';
  }
  return out;
}

// The mask as a PNG data address, so that the picture is one self-contained
// file. Empty when the PNG cannot be made; the lines are drawn regardless.
std::string MaskDataAddress(const Image& mask) {
  std::error_code failed;
  const std::filesystem::path folder = std::filesystem::temp_directory_path(failed);
  if (failed) return {};
  // A name no other process can guess; the writer never follows a link.
  std::random_device random;
  const std::string temporary =
      (folder / ("rimeflower-contours-" + std::to_string(random()) + "-" + std::to_string(random()) + ".png"))
          .string();
  std::string error;
  if (!WriteImage(temporary, mask, FileFormat::PNG, error)) return {};
  std::ifstream in(temporary, std::ios::binary);
  std::vector<uint8_t> png((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  platform::RemoveFile(temporary);
  return png.empty() ? std::string() : "data:image/png;base64," + Base64(png);
}

void WriteSvg(FILE* out, const Image& mask, const ContourResult& r, const std::string& maskAddress) {
  // Small masks are shown enlarged; the lines keep their width at any size.
  const int longer = std::max(mask.width, mask.height);
  const double scale = longer < 800 ? std::floor(800.0 / longer) : 1.0;
  std::fprintf(out,
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%g\" height=\"%g\" viewBox=\"0 0 %d %d\">\n",
               mask.width * scale, mask.height * scale, mask.width, mask.height);
  if (!maskAddress.empty()) {
    std::fprintf(out,
                 "<image x=\"0\" y=\"0\" width=\"%d\" height=\"%d\" style=\"image-rendering:pixelated\" "
                 "preserveAspectRatio=\"none\" href=\"%s\"/>\n",
                 mask.width, mask.height, maskAddress.c_str());
  }
  std::fprintf(out,
               "<g fill=\"none\" stroke=\"#e0102a\" stroke-width=\"1.5\" stroke-linejoin=\"round\">\n");
  for (int32_t i = 0; i < r.segmentCount; ++i) {
    const mesh::ContourSegment& s = r.segments[i];
    if (i == 0 || s.first != r.segments[i - 1].second) {
      if (i > 0) std::fprintf(out, "\"/>\n");
      std::fprintf(out, "<polyline vector-effect=\"non-scaling-stroke\" points=\"%.9g,%.9g", double(r.vertices[s.first].x),
                   double(r.vertices[s.first].y));
    }
    std::fprintf(out, " %.9g,%.9g", double(r.vertices[s.second].x), double(r.vertices[s.second].y));
  }
  if (r.segmentCount > 0) std::fprintf(out, "\"/>\n");
  std::fprintf(out, "</g>\n<g fill=\"#2060ff\">\n");
  const double radius = 2.0 / scale > 0.15 ? 2.0 / scale : 0.15;
  for (int32_t i = 0; i < r.vertexCount; ++i) {
    std::fprintf(out, "<circle cx=\"%.9g\" cy=\"%.9g\" r=\"%g\"/>\n", double(r.vertices[i].x),
                 double(r.vertices[i].y), radius);
  }
  std::fprintf(out, "</g>\n</svg>\n");
}

}  // namespace

int CmdContours(const Args& args) {
  std::string maskPath, outputPath;
  double tolerance = 1.0;
  double step = 30.0;
  bool svg = false;
  ReadLimits limits;
  const CommandLine line{
      "contours", kContoursHelp, "unknown option or missing value",
      {{"--output", "-o", kValue, StoreIn(outputPath)},
       {"--tolerance", nullptr, kValue,
        [&tolerance](const std::string& value) {
          return ParseNumber(value, tolerance) ? std::string() : "--tolerance needs a number, not '" + value + "'";
        }},
       {"--step", nullptr, kValue,
        [&step](const std::string& value) {
          if (ParseNumber(value, step) && step == std::floor(step) && std::fabs(step) <= 1e9) return std::string();
          return "--step needs a whole number, not '" + value + "'";
        }},
       {"--svg", nullptr, kFlag, SetTrue(svg)},
       {"--max-megapixels", nullptr, kValue, MaxMegapixels(limits)}},
      [&maskPath](const std::string& word) {
        if (!maskPath.empty()) return "more than one mask given ('" + maskPath + "', '" + word + "')";
        maskPath = word;
        return std::string();
      }};
  if (const std::optional<int> stop = ParseCommandLine(line, args)) return *stop;
  if (maskPath.empty()) return UsageError("contours", "no mask given");

  Image mask;
  std::string error;
  if (!outputPath.empty() && !CheckOutputTarget(outputPath, error)) return Fail(error);
  if (!ReadImage(maskPath, mask, error, limits)) return Fail(error);
  if (mask.mode != ImageMode::Gray || mask.depth != 8 || mask.hasAlpha) {
    return Fail("'" + maskPath + "' is not an 8-bit grey image without alpha; its bytes would not be labels");
  }

  mesh::CMeshBuilder builder;
  ContourResult result;
  if (!builder.BuildContourLines(mask.width, mask.height, mask.width, mask.pixels.data(), float(tolerance),
                                 int32_t(step), result.vertexCount, result.segmentCount, result.vertices,
                                 result.segments)) {
    return Fail(std::string("contour build failed: ") + (builder.LastError() ? builder.LastError() : "unknown"));
  }

  const std::string maskAddress = svg ? MaskDataAddress(mask) : std::string();
  auto write = [&](FILE* out) {
    if (svg)
      WriteSvg(out, mask, result, maskAddress);
    else
      WriteText(out, result);
    return !std::ferror(out);
  };
  if (outputPath.empty()) {
    if (!write(stdout) || std::fflush(stdout) != 0) return Fail("writing standard output failed");
    return 0;
  }
  if (!WriteFileSafely(outputPath, [&](TempFile& file, std::string&) { return write(file.Stream()); }, error))
    return Fail(error);
  return 0;
}

int CmdMask(const Args& args) {
  std::string imagePath, outputPath;
  ReadLimits limits;
  const CommandLine line{"mask", kMaskHelp, "unknown option or missing value",
                         {{"--output", "-o", kValue, StoreIn(outputPath)},
                          {"--max-megapixels", nullptr, kValue, MaxMegapixels(limits)}},
                         [&imagePath](const std::string& word) {
                           if (!imagePath.empty())
                             return "more than one image given ('" + imagePath + "', '" + word + "')";
                           imagePath = word;
                           return std::string();
                         }};
  if (const std::optional<int> stop = ParseCommandLine(line, args)) return *stop;
  if (imagePath.empty()) return UsageError("mask", "no image given");
  if (outputPath.empty()) return UsageError("mask", "no output file given (-o MASK)");
  // A name without an extension gets PGM; one whose extension names no
  // format is refused rather than written as something else.
  const FileFormat format = HasExtension(outputPath) ? FormatFromExtension(outputPath) : FileFormat::PGM;
  if (format == FileFormat::Unknown)
    return UsageError("mask", "'" + outputPath + "' names no image format; write one of " + kFormatList);

  Image image;
  std::string error;
  if (!CheckOutputTarget(outputPath, error)) return Fail(error);
  if (!ReadImage(imagePath, image, error, limits)) return Fail(error);

  // The plug-in's working format: 8-bit R, G, B, A. Sixteen-bit samples keep
  // their high byte; CMYK is turned to RGB the simple way, which is enough to
  // see the bands.
  const size_t pixels = size_t(image.width) * size_t(image.height);
  std::vector<uint8_t> rgba(pixels * 4);
  const int channels = image.Channels();
  auto sample = [&](size_t pixel, int channel) -> unsigned {
    const size_t index = pixel * size_t(channels) + size_t(channel);
    if (image.depth == 16) {
      uint16_t v;
      std::memcpy(&v, &image.pixels[index * 2], 2);
      return v >> 8;
    }
    return image.pixels[index];
  };
  for (size_t p = 0; p < pixels; ++p) {
    uint8_t* out = &rgba[p * 4];
    switch (image.mode) {
      case ImageMode::Gray:
        out[0] = out[1] = out[2] = uint8_t(sample(p, 0));
        break;
      case ImageMode::RGB:
        for (int c = 0; c < 3; ++c) out[c] = uint8_t(sample(p, c));
        break;
      case ImageMode::CMYK: {
        const unsigned k = 255 - sample(p, 3);
        for (int c = 0; c < 3; ++c) out[c] = uint8_t((255 - sample(p, c)) * k / 255);
        break;
      }
    }
    out[3] = image.hasAlpha ? uint8_t(sample(p, image.ColourChannels())) : 255;
  }

  Image mask;
  mask.width = image.width;
  mask.height = image.height;
  mask.mode = ImageMode::Gray;
  mask.depth = 8;
  mask.pixels.resize(pixels);
  if (!mesh::BuildBrightnessMask(rgba.data(), image.width, image.height, mask.pixels.data())) {
    return Fail("not enough memory for the brightness mask of '" + imagePath + "'");
  }
  if (!WriteImage(outputPath, mask, format, error)) return Fail(error);
  return 0;
}

}  // namespace rf::tools
