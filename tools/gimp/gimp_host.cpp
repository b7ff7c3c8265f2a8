#include "tools/gimp/gimp_host.h"

#include <libgimp/gimp.h>

#include <cstring>
#include <new>
#include <vector>

#include "platform/platform.h"
#include "tools/gimp/gimp_document.h"
#include "tools/hostlib/descriptor_store.h"
#include "tools/hostlib/plugin_host.h"
#include "tools/imagefile/document_image.h"

namespace rf::tools::gimp {

namespace {

bool Linear(GimpPrecision p) { return p == GIMP_PRECISION_U8_LINEAR || p == GIMP_PRECISION_U16_LINEAR; }
int DepthOf(GimpPrecision p) { return p == GIMP_PRECISION_U8_LINEAR || p == GIMP_PRECISION_U8_GAMMA ? 8 : 16; }

std::string FormatName(GimpPrecision precision, bool alpha) {
  std::string name = Linear(precision) ? (alpha ? "RGBA" : "RGB") : (alpha ? "R'G'B'A" : "R'G'B'");
  return name + (DepthOf(precision) == 8 ? " u8" : " u16");
}

// Reads `drawable` (or the part given) as an RGB(A) image of the image's depth.
bool ReadPixels(int32_t drawable, GimpPrecision precision, int32_t x, int32_t y, int32_t width, int32_t height,
                Image& out, std::string& format, std::string& error) {
  out = Image{};
  out.width = width;
  out.height = height;
  out.mode = ImageMode::RGB;
  out.depth = DepthOf(precision);
  out.hasAlpha = gimp_drawable_has_alpha(drawable);
  out.format = FileFormat::PNG;
  format = FormatName(precision, out.hasAlpha);
  try {
    out.pixels.resize(out.RowBytes() * size_t(height));
  } catch (const std::bad_alloc&) {
    error = "not enough memory to read a layer of " + std::to_string(width) + " x " + std::to_string(height);
    return false;
  }
  GeglBuffer* buffer = gimp_drawable_get_buffer(drawable);
  const GeglRectangle rect = {x, y, width, height};
  gegl_buffer_get(buffer, &rect, 1.0, babl_format(format.c_str()), out.pixels.data(), GEGL_AUTO_ROWSTRIDE,
                  GEGL_ABYSS_NONE);
  g_object_unref(buffer);
  return true;
}

std::string ItemName(int32_t item) {
  gchar* name = gimp_item_get_name(item);
  std::string result = name ? name : "";
  g_free(name);
  return result;
}

// The layers below `drawable` in its own stack (its group's, or the
// image's), the bottom one first.
bool ReadLayersBelow(int32_t image, int32_t drawable, GimpPrecision precision, GimpDocument& d, std::string& error) {
  if (!gimp_item_is_layer(drawable)) return true;
  const int32_t parent = gimp_item_get_parent(drawable);
  gint count = 0;
  gint* stack = parent > 0 ? gimp_item_get_children(parent, &count) : gimp_image_get_layers(image, &count);
  std::vector<int32_t> below;
  bool seen = false;
  for (gint i = 0; i < count; ++i) {
    if (seen) below.insert(below.begin(), stack[i]);  // the stack lists the top first
    if (stack[i] == drawable) seen = true;
  }
  g_free(stack);
  if (below.empty()) return true;

  gint ownX = 0, ownY = 0;
  gimp_drawable_offsets(drawable, &ownX, &ownY);
  std::vector<LayerBelow> layers;
  for (const int32_t id : below) {
    LayerBelow layer;
    layer.name = ItemName(id);
    layer.visible = gimp_item_get_visible(id);
    layer.opacity = gimp_layer_get_opacity(id) / 100.0;
    gint x = 0, y = 0;
    gimp_drawable_offsets(id, &x, &y);
    layer.offsetX = x - ownX;
    layer.offsetY = y - ownY;
    std::string format;
    if (!ReadPixels(id, precision, 0, 0, gimp_drawable_width(id), gimp_drawable_height(id), layer.pixels, format,
                    error))
      return false;
    layers.push_back(std::move(layer));
  }
  if (!AddLayersBelow(layers, d.doc, error)) return false;
  d.doc.layers.back().name = ItemName(drawable);
  return true;
}

// Every vectors object of the image as a path; the active one is the work
// path. One that cannot be handed over is left out with a warning.
void ReadVectors(int32_t image, int32_t drawable, GimpDocument& d) {
  gint ownX = 0, ownY = 0;
  gimp_drawable_offsets(drawable, &ownX, &ownY);
  const int32_t active = gimp_image_get_active_vectors(image);
  gint count = 0;
  gint* vectors = gimp_image_get_vectors(image, &count);
  for (gint v = 0; v < count; ++v) {
    std::vector<Stroke> strokes;
    gint strokeCount = 0;
    gint* ids = gimp_vectors_get_strokes(vectors[v], &strokeCount);
    for (gint s = 0; s < strokeCount; ++s) {
      gint n = 0;
      gdouble* points = nullptr;
      gboolean closed = FALSE;
      const GimpVectorsStrokeType type = gimp_vectors_stroke_get_points(vectors[v], ids[s], &n, &points, &closed);
      if (type == GIMP_VECTORS_STROKE_TYPE_BEZIER && points) strokes.push_back(Stroke{{points, points + n}, !!closed});
      g_free(points);
    }
    g_free(ids);
    std::vector<uint8_t> records;
    std::string why;
    if (!PathRecordsFromStrokes(strokes, ownX, ownY, d.doc.width, d.doc.height, records, why)) {
      d.warning = "the path '" + ItemName(vectors[v]) + "' was left out: " + why;
      continue;
    }
    if (vectors[v] == active) d.doc.workPathIndex = int32_t(d.doc.paths.size());
    d.doc.paths.push_back(std::move(records));
  }
  g_free(vectors);
}

// The abort procedure of the interface carries no context, and GIMP offers
// a plug-in no way to ask whether the user cancelled: cancelling ends the
// plug-in, and the image stays as it was because nothing is merged before
// the filter succeeds. Progress is all there is to report.
void Progress(int32_t done, int32_t total) {
  if (total > 0) gimp_progress_update(double(done) / double(total));
}

}  // namespace

bool CheckDrawable(int32_t drawable, std::string& error) {
  if (!gimp_item_is_valid(drawable) || !gimp_item_is_drawable(drawable)) {
    error = "Rimeflower needs a layer or channel to work on.";
    return false;
  }
  if (gimp_drawable_is_indexed(drawable)) {
    error = "Rimeflower works on RGB and grey images. Convert this one with Image > Mode > RGB first.";
    return false;
  }
  if (gimp_item_is_group(drawable)) {
    error = "Rimeflower cannot work on a layer group. Choose a layer inside the group, or merge the group first.";
    return false;
  }
  const uint64_t pixels = uint64_t(gimp_drawable_width(drawable)) * uint64_t(gimp_drawable_height(drawable));
  if (pixels > kMaxDrawablePixels) {
    error = "The layer has " + std::to_string(pixels / 1000000) + " million pixels; Rimeflower works on at most " +
            std::to_string(kMaxDrawablePixels / 1000000) + " million.";
    return false;
  }
  return true;
}

bool ReadDrawable(int32_t image, int32_t drawable, bool withLayersAndPaths, GimpDocument& d, std::string& error) {
  d = GimpDocument{};
  const GimpPrecision precision = gimp_image_get_precision(image);
  const int32_t width = gimp_drawable_width(drawable), height = gimp_drawable_height(drawable);
  if (!ReadPixels(drawable, precision, 0, 0, width, height, d.original, d.format, error)) return false;
  if (!DocumentFromImage(d.original, d.doc, error)) return false;
  // At 8 bits the document is the drawable's samples as they were read, and
  // writing back needs nothing else: a large layer is not held twice.
  if (d.original.depth == 8) {
    d.original.pixels.clear();
    d.original.pixels.shrink_to_fit();
  }
  d.doc.resolution = 72.0;
  gdouble xres = 0, yres = 0;
  if (gimp_image_get_resolution(image, &xres, &yres) && xres > 0) d.doc.resolution = xres;

  if (!gimp_selection_is_empty(image)) {
    gint x = 0, y = 0, w = 0, h = 0;
    if (!gimp_drawable_mask_intersect(drawable, &x, &y, &w, &h)) {
      d.nothingSelected = true;
      return true;
    }
    gint ownX = 0, ownY = 0;
    gimp_drawable_offsets(drawable, &ownX, &ownY);
    std::vector<uint8_t> values;
    try {
      values.resize(size_t(width) * size_t(height));
    } catch (const std::bad_alloc&) {
      error = "not enough memory for the selection";
      return false;
    }
    const int32_t selection = gimp_image_get_selection(image);
    GeglBuffer* buffer = gimp_drawable_get_buffer(selection);
    const GeglRectangle rect = {ownX, ownY, width, height};
    // Outside the image nothing is selected: the abyss is zero.
    gegl_buffer_get(buffer, &rect, 1.0, babl_format("Y u8"), values.data(), GEGL_AUTO_ROWSTRIDE, GEGL_ABYSS_NONE);
    g_object_unref(buffer);
    SelectionFromChannel(values, d.doc);
  }
  if (withLayersAndPaths) {
    if (!ReadLayersBelow(image, drawable, precision, d, error)) return false;
    ReadVectors(image, drawable, d);
  }
  return true;
}

void WriteDrawable(int32_t drawable, const GimpDocument& d) {
  Image result;
  const uint8_t* pixels = d.doc.pixels.data();
  if (d.original.depth != 8) {
    ImageFromDocument(d.doc, d.original, result);
    pixels = result.pixels.data();
  }
  GeglBuffer* shadow = gimp_drawable_get_shadow_buffer(drawable);
  const GeglRectangle rect = {0, 0, d.doc.width, d.doc.height};
  gegl_buffer_set(shadow, &rect, 0, babl_format(d.format.c_str()), pixels, GEGL_AUTO_ROWSTRIDE);
  g_object_unref(shadow);  // flushes the shadow to GIMP
  gimp_drawable_merge_shadow(drawable, TRUE);
  gimp_drawable_update(drawable, 0, 0, d.doc.width, d.doc.height);
}

std::string ModulePath() {
  const std::string self = platform::ExecutablePath();
  const std::string here = self.substr(0, self.find_last_of('/') + 1);
  const std::string beside = here + "Rimeflower64.8bf";
  if (platform::FileExists(beside)) return beside;
  return here + "../plugin/Rimeflower64.8bf";
}

bool RunFilter(const ParameterRecord& record, GimpDocument& d, std::string& error) {
  PluginHost host;
  // GIMP keeps the last-used values; the module's own registry stays out of it.
  host.UseRegistryFile("");
  if (!host.Load(ModulePath(), error)) return false;
  const HostDescriptor script = DescriptorFromRecord(record);
  RunOptions options;
  options.script = &script;
  options.playInfo = host::kPlugInDialogDontDisplay;
  options.colourServices = false;
  options.onProgress = Progress;
  const RunReport report = host.Run(d.doc, options);
  if (!report.refusal.empty()) {
    error = "The filter cannot be applied: " + report.refusal;
    return false;
  }
  if (report.result != 0) {
    error = "The filter failed: " + DescribeResult(report.result) + ". The image was not changed.";
    return false;
  }
  return true;
}

}  // namespace rf::tools::gimp
