// rimeflower pattern: grows the pattern as the final run would and writes the
// triangles as text, as a Wavefront OBJ mesh or as an SVG drawing.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "pattern/mask_emitter.h"
#include "pattern/path_emitter.h"
#include "pattern/pattern.h"
#include "platform/platform.h"
#include "tools/imagefile/document_image.h"
#include "tools/imagefile/image_io.h"
#include "tools/rimeflower/commands.h"
#include "tools/svg/svg_path.h"

namespace rf::tools {

namespace {

const char kCommand[] = "pattern";

const char kHelp[] =
    "usage: rimeflower pattern [--size WxH] [--set NAME=VALUE]... [--preset NAME|FILE]\n"
    "                          [--stage grown|scene] [--format txt|obj|svg] [-o FILE]\n"
    "                          [--path FILE.svg] [--image IMAGE] [--selection MASK]\n"
    "                          [--plugin-dir DIR]\n"
    "\n"
    "Grows the pattern of the given parameters on an image of WxH pixels (default\n"
    "1000x750), as the final run of the filter would, and writes its triangles.\n"
    "\n"
    "  --size WxH          image size in pixels\n"
    "  --set NAME=VALUE    a parameter by scripting name or key, e.g. EffectKind=1,\n"
    "                      \"PatternKind=3\", \"MaskKind=4\"; applied after the preset\n"
    "  --preset NAME|FILE  start from a preset file or a preset of the libraries\n"
    "  --path FILE.svg     the paths of an SVG drawing (user units are pixels) as\n"
    "                      the document's work path, for Emitter Type 0 or 3\n"
    "  --image IMAGE       an image whose brightness bands give the contours for\n"
    "                      Emitter Type 1 (or 3 without a path); sets the size\n"
    "  --selection MASK    a grey image, non-zero inside, as the selection whose\n"
    "                      outline gives the contours; sets the size\n"
    "  --stage grown       the triangles as grown (centred frame, y down)\n"
    "  --stage scene       after scaling and moving to the effect centre (default)\n"
    "  --format txt        one line per triangle: x y z nx ny nz of each corner,\n"
    "                      then the level (the default, unless -o names .obj/.svg)\n"
    "  --format obj        a Wavefront OBJ mesh (y up) for Blender or MeshLab\n"
    "  --format svg        the triangles drawn in image coordinates\n"
    "  -o FILE             write to FILE (through a temporary file); default stdout\n"
    "\n"
    "The geometric and floral families grow along the fixed layout of MaskKind\n"
    "(Emitter Type 2), with --path along the paths (Emitter Type 0, or 3), and\n"
    "with --image or --selection along the contours (Emitter Type 1, or 3).\n"
    "The single family needs no emitter. The triangle count goes to stderr.\n";

enum class Format { Txt, Obj, Svg };

bool EndsWith(const std::string& s, const char* suffix) {
  const std::string t(suffix);
  if (s.size() < t.size()) return false;
  for (size_t i = 0; i < t.size(); ++i) {
    char c = s[s.size() - t.size() + i];
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    if (c != t[i]) return false;
  }
  return true;
}

void WriteTxt(FILE* out, const pattern::PatternList& list) {
  for (const pattern::RFTrNode* n = list.First(); n; n = n->next) {
    const pattern::PatternTriangle& t = *n->triangle;
    for (const pattern::PatternVertex& v : t.v)
      std::fprintf(out, "%.9g %.9g %.9g %.9g %.9g %.9g ", v.x, v.y, v.z, v.nx, v.ny, v.nz);
    std::fprintf(out, "%d\n", int(t.level));
  }
}

// OBJ viewers put y up: y is mirrored, and each face lists its corners in the
// opposite order so that it keeps its side.
void WriteObj(FILE* out, const pattern::PatternList& list) {
  std::fprintf(out, "# Rimeflower pattern, %zu triangles; x right, y up, z towards the viewer\n", list.Count());
  std::fprintf(out, "o pattern\n");
  for (const pattern::RFTrNode* n = list.First(); n; n = n->next)
    for (const pattern::PatternVertex& v : n->triangle->v) std::fprintf(out, "v %.9g %.9g %.9g\n", v.x, -v.y, v.z);
  for (const pattern::RFTrNode* n = list.First(); n; n = n->next)
    for (const pattern::PatternVertex& v : n->triangle->v)
      std::fprintf(out, "vn %.9g %.9g %.9g\n", v.nx, -v.ny, v.nz);
  size_t k = 1;
  for (const pattern::RFTrNode* n = list.First(); n; n = n->next, k += 3)
    std::fprintf(out, "f %zu//%zu %zu//%zu %zu//%zu\n", k, k, k + 2, k + 2, k + 1, k + 1);
}

// The renderer puts the frame's origin at (W / 2, H / 2) of the image.
void WriteSvg(FILE* out, const pattern::PatternList& list, int32_t width, int32_t height) {
  const double ox = width / 2, oy = height / 2;
  std::fprintf(out,
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\">\n"
               "<rect width=\"%d\" height=\"%d\" fill=\"#0b1a2a\"/>\n"
               "<g fill=\"#d8f1ff\" fill-opacity=\"0.5\" stroke=\"#8fd0f5\" stroke-width=\"0.3\" "
               "stroke-opacity=\"0.8\" stroke-linejoin=\"round\">\n",
               int(width), int(height), int(width), int(height), int(width), int(height));
  for (const pattern::RFTrNode* n = list.First(); n; n = n->next) {
    const pattern::PatternVertex* v = n->triangle->v;
    std::fprintf(out, "<polygon points=\"%.2f,%.2f %.2f,%.2f %.2f,%.2f\"/>\n", v[0].x + ox, v[0].y + oy,
                 v[1].x + ox, v[1].y + oy, v[2].x + ox, v[2].y + oy);
  }
  std::fprintf(out, "</g>\n</svg>\n");
}

void Write(FILE* out, Format format, const pattern::PatternList& list, int32_t width, int32_t height) {
  switch (format) {
    case Format::Txt: WriteTxt(out, list); break;
    case Format::Obj: WriteObj(out, list); break;
    case Format::Svg: WriteSvg(out, list, width, height); break;
  }
}

// Writes through a temporary file beside the target, so that a failed or
// interrupted export never leaves half a file under the real name.
bool WriteFile(const std::string& path, Format format, const pattern::PatternList& list, int32_t width,
               int32_t height, std::string& error) {
  const std::string temporary = path + ".tmp";
  FILE* out = std::fopen(temporary.c_str(), "wb");
  if (!out) {
    error = "cannot write '" + temporary + "'";
    return false;
  }
  Write(out, format, list, width, height);
  const bool written = !std::ferror(out);
  if (std::fclose(out) != 0 || !written) {
    platform::RemoveFile(temporary);
    error = "cannot write '" + temporary + "'";
    return false;
  }
  if (!platform::RenameReplacing(temporary, path)) {
    platform::RemoveFile(temporary);
    error = "cannot replace '" + path + "'";
    return false;
  }
  return true;
}

// Hands the SVG's paths over as a host would, in path records at 72 pixels
// per inch, and decodes them as the filter does.
bool LoadSvgAsDocumentPaths(const std::string& file, int32_t width, int32_t height, pattern::PathCurves& paths,
                            std::string& error) {
  std::vector<uint8_t> records;
  if (!ReadSvgPath(file, width, height, records, error)) return false;
  constexpr pattern::Fixed kResolution = 72 << 16;
  pattern::Fixed widthPoints = 0, heightPoints = 0;
  if (!pattern::DocumentSizeInPoints(width, kResolution, widthPoints) ||
      !pattern::DocumentSizeInPoints(height, kResolution, heightPoints)) {
    error = "paths need an image of at most 32767 x 32767 pixels";
    return false;
  }
  paths.clear();
  pattern::DecodePathRecords(records.data(), records.size(), widthPoints, heightPoints, kResolution, paths);
  return true;
}

}  // namespace

int CmdPattern(const Args& args) {
  int32_t width = 1000, height = 750;
  std::vector<Assignment> assignments;
  std::string preset, pluginFolder, outputPath, stage = "scene", formatName, svgPath, imagePath, selectionPath;
  bool sizeGiven = false;
  const CommandLine line{
      kCommand, kHelp, "unexpected argument",
      {{"--size", nullptr, kValue,
        [&](const std::string& value) {
          if (!ParseSize(value, 1000000, width, height)) return "bad --size '" + value + "', expected WxH";
          sizeGiven = true;
          return std::string();
        }},
       {"--image", nullptr, kValue, StoreIn(imagePath)},
       {"--selection", nullptr, kValue, StoreIn(selectionPath)},
       {"--set", nullptr, kValue, AddAssignment(assignments)},
       {"--preset", nullptr, kValue, StoreIn(preset)},
       {"--plugin-dir", nullptr, kValue, StoreIn(pluginFolder)},
       {"--path", nullptr, kValue, StoreIn(svgPath)},
       {"--stage", nullptr, kValue,
        [&stage](const std::string& value) {
          if (value != "grown" && value != "scene") return std::string("--stage takes grown or scene");
          stage = value;
          return std::string();
        }},
       {"--format", nullptr, kValue,
        [&formatName](const std::string& value) {
          if (value != "txt" && value != "obj" && value != "svg") return std::string("--format takes txt, obj or svg");
          formatName = value;
          return std::string();
        }},
       {"-o", nullptr, kValue, StoreIn(outputPath)}}};
  if (const std::optional<int> stop = ParseCommandLine(line, args)) return *stop;
  if (formatName.empty()) {
    formatName = "txt";
    if (EndsWith(outputPath, ".obj")) formatName = "obj";
    if (EndsWith(outputPath, ".svg")) formatName = "svg";
  }
  const Format format = formatName == "obj" ? Format::Obj : formatName == "svg" ? Format::Svg : Format::Txt;

  ParameterRecord record;
  ResetToDefaults(record);
  if (!preset.empty()) {
    std::string error;
    if (!LoadPresetArgument(pluginFolder.empty() ? DefaultPluginFolder() : pluginFolder, preset, record, error))
      return Fail(error);
  }
  for (const Assignment& assignment : assignments) ApplyAssignment(assignment, record);

  // The contour sources set the image size.
  std::vector<uint8_t> rgba, selection;
  for (const std::string* file : {&imagePath, &selectionPath}) {
    if (file->empty()) continue;
    std::string error;
    Image image;
    HostDocument doc;
    if (!ReadImage(*file, image, error) || !DocumentFromImage(image, doc, error)) return Fail(error);
    if (sizeGiven && (doc.width != width || doc.height != height))
      return UsageError(kCommand, "'" + *file + "' is " + std::to_string(doc.width) + "x" +
                                      std::to_string(doc.height) + ", not the --size given");
    if (doc.mode != host::kModeRGBColor) return Fail("'" + *file + "': give an RGB or grey image");
    if ((!rgba.empty() || !selection.empty()) && (doc.width != width || doc.height != height))
      return Fail("--image and --selection must have the same size");
    width = doc.width;
    height = doc.height;
    const size_t n = size_t(width) * size_t(height);
    if (file == &imagePath) {
      rgba.resize(n * 4);
      for (size_t i = 0; i < n; ++i) {
        for (int c = 0; c < 3; ++c) rgba[i * 4 + c] = doc.pixels[i * doc.planes + c];
        rgba[i * 4 + 3] = doc.planes > 3 ? doc.pixels[i * doc.planes + 3] : 255;
      }
    } else {
      selection.resize(n);
      for (size_t i = 0; i < n; ++i) selection[i] = doc.pixels[i * doc.planes];
    }
  }
  const bool haveContours = !rgba.empty() || !selection.empty();

  const pattern::ImageGeometry geometry = pattern::FinalGeometry(width, height);
  pattern::Emitter emitter;
  const bool single = record.EffectKind == kFamilySingle;
  if (!single && svgPath.empty() && record.EmitterType == kEmitterAuto && haveContours)
    pattern::ResolveEmitterType(record, false);
  pattern::PathCurves paths;
  if (!single && !svgPath.empty()) {
    std::string error;
    if (!LoadSvgAsDocumentPaths(svgPath, width, height, paths, error)) return Fail(error);
    if (record.EmitterType == kEmitterFixed)
      std::fprintf(stderr, "note: Emitter Type 2 grows along the fixed layout; the path is used by 0 and 3\n");
    pattern::ResolveEmitterType(record, !paths.empty());
    if (record.EmitterType == kEmitterContours) return Fail("'" + svgPath + "' gives no curve to grow along");
  }
  if (!single && record.EmitterType == kEmitterPaths && !svgPath.empty()) {
    const float shiftX = float(-(width / 2)), shiftY = float(-(height / 2));
    if (!pattern::BuildPathEmitter(paths, geometry, shiftX, shiftY, emitter))
      std::fprintf(stderr, "note: the path gives no segment (curves under 5 pixels, or far too long); nothing grows\n");
  } else if (!single && record.EmitterType == kEmitterContours && haveContours) {
    RunState run;
    run.haveMask = !selection.empty();
    run.maskData = selection.empty() ? nullptr : selection.data();
    run.maskRowBytes = width;
    if (pattern::BuildMaskEmitter(run, rgba.empty() ? nullptr : rgba.data(), geometry, float(-(width / 2)),
                                  float(-(height / 2)), emitter) == pattern::ContourStatus::TooComplex)
      return Fail(pattern::kContoursTooComplexMessage);
    if (emitter.segments.empty()) std::fprintf(stderr, "note: no contour was traced; nothing grows\n");
  } else if (!single) {
    if (record.EmitterType != kEmitterFixed)
      return UsageError(kCommand, "Emitter Type " + std::to_string(int(record.EmitterType)) +
                                      " grows along a document's paths or contours, which this command does not "
                                      "have; use --path FILE.svg, --image, --selection, --set \"Emitter Type=2\" (fixed layout of "
                                      "MaskKind) or the single family (EffectKind=3)");
    pattern::BuildFixedEmitter(record.MaskKind, geometry, emitter);
  }

  pattern::PatternList list;
  switch (pattern::GrowPattern(record, single ? nullptr : &emitter, geometry, RunHooks{}, 0, list)) {
    case pattern::GrowthStatus::Ok: break;
    case pattern::GrowthStatus::OutOfBudget: return Fail(pattern::kPatternTooLargeMessage);
    case pattern::GrowthStatus::Aborted: return Fail("growth was cancelled");
  }
  if (stage == "scene") pattern::PlaceInScene(record, geometry, list);

  if (outputPath.empty()) {
    Write(stdout, format, list, width, height);
    if (std::fflush(stdout) != 0) return Fail("cannot write to standard output");
  } else {
    std::string error;
    if (!WriteFile(outputPath, format, list, width, height, error)) return Fail(error);
  }
  std::fprintf(stderr, "%zu triangles\n", list.Count());
  return 0;
}

}  // namespace rf::tools
