// Rimeflower in GIMP: the drawable as the host's document, and the filter run.
//
// The filtered drawable becomes the document at its own size (not the
// image's): the selection, the layers below and the vectors are taken
// relative to its offsets. 8- and 16-bit images hand over their own samples
// (perceptual or linear, as stored); images of higher precision go through
// perceptual 16-bit samples, which babl rounds to the nearest. Grey drawables
// are read as RGB (all three equal) and GIMP turns the result back into grey.
#pragma once

#include <cstdint>
#include <string>

#include "host/record/parameters.h"
#include "tools/hostlib/host_document.h"
#include "tools/imagefile/image_io.h"

namespace rf::tools::gimp {

// Images with more pixels than this are refused before anything is read:
// the same limit as for image files.
constexpr uint64_t kMaxDrawablePixels = kMaxImagePixels;

struct GimpDocument {
  HostDocument doc;
  Image original;       // the drawable as read: written back in this form
  std::string format;   // the babl format the pixels were read in
  bool nothingSelected = false;  // a selection that misses the drawable
  std::string warning;  // something left out (a path that could not be read)
};

// Checks that the drawable can be filtered. False with a message for the
// user (indexed images, layer groups, drawables too large).
bool CheckDrawable(int32_t drawable, std::string& error);

// Reads the drawable, the selection over it, the layers below it and the
// image's vectors. `withLayersAndPaths` false reads the pixels only.
bool ReadDrawable(int32_t image, int32_t drawable, bool withLayersAndPaths, GimpDocument& out, std::string& error);

// Writes the filtered document to the drawable's shadow buffer and merges it
// as one undo step; GIMP blends it by the selection.
void WriteDrawable(int32_t drawable, const GimpDocument& d);

// The module beside the plug-in's executable (or in the build tree's plugin/
// folder when run from there).
std::string ModulePath();

// Runs the filter over `d.doc` with `record`'s values, reporting progress to
// GIMP. False with a message when the module refused or failed.
bool RunFilter(const ParameterRecord& record, GimpDocument& d, std::string& error);

}  // namespace rf::tools::gimp
