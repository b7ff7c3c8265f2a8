#include "pattern/scene_assembly.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "host/interface/result_codes.h"
#include "engine3d/render.h"
#include "pattern/bump_source.h"
#include "pattern/mask_emitter.h"
#include "pattern/path_emitter.h"
#include "pattern/pattern.h"
#include "pattern/scene_cache.h"
#include "platform/parallel.h"
#include "platform/platform.h"

namespace rf::pattern {

const char kRenderTooLargeMessage[] =
    "There is not enough memory to render the effect on this image. Close other documents or programs, or "
    "use a smaller image, and try again.";

namespace {

// Rows of the images laid per turn: a chunk of the source is still in the
// cache when it is copied into the output.
constexpr int32_t kImageChunkRows = 8;

void ColourOf(uint32_t colour, float out[3]) {
  out[0] = float(colour & 0xFF) / 255.0f;
  out[1] = float((colour >> 8) & 0xFF) / 255.0f;
  out[2] = float((colour >> 16) & 0xFF) / 255.0f;
}

void CopyName(char* to, size_t size, const char* from) {
  std::strncpy(to, from, size - 1);
  to[size - 1] = 0;
}

// Copies the grown list into new scene arrays (committed pages) and
// applies the scale and centre translation. False when the arrays cannot
// be had.
bool CopyIntoScene(const PatternList& list, const SceneTransform& transform, ParameterRecord& record,
                   SceneCache& cache) {
  const size_t count = list.Count();
  __Triangle3ds* triangles = nullptr;
  __Point3ds* points = nullptr;
  if (count > 0) {
    if (count > size_t(INT32_MAX) / 3) return false;
    triangles = static_cast<__Triangle3ds*>(platform::AllocPages(count * sizeof(__Triangle3ds)));
    points = static_cast<__Point3ds*>(platform::AllocPages(count * 3 * sizeof(__Point3ds)));
    if (!triangles || !points) {
      platform::FreePages(triangles);
      platform::FreePages(points);
      return false;
    }
  }
  size_t k = 0;
  for (const RFTrNode* node = list.First(); node && k < count; node = node->next) {
    if (!node->triangle) continue;
    __Triangle3ds& t = triangles[k];
    t.a = int32_t(3 * k);
    t.b = int32_t(3 * k + 1);
    t.c = int32_t(3 * k + 2);
    t.flags = 0;
    t.material = 0;
    for (int j = 0; j < 3; ++j) {
      const PatternVertex& v = node->triangle->v[j];
      __Point3ds& p = points[3 * k + j];
      p = __Point3ds{};
      p.x = v.x;
      p.y = v.y;
      p.z = v.z;
      p.nx = v.nx;
      p.ny = v.ny;
      p.nz = v.nz;
      p.hasNormal = v.flag;
      p.hasUV = 1;
      p.u = kCornerU[j];
      p.v = kCornerV[j];
      if (!transform.IsIdentity()) transform.Apply(p.x, p.y, p.z);
    }
    ++k;
  }
  cache.StoreScene(record, triangles, points, uint32_t(k));
  return true;
}

// Grows the pattern and replaces the cached scene. Answers a host result.
int16_t Rebuild(const RunState& run, ParameterRecord& record, const PathCurves& paths, SceneCache& cache,
                const ImageGeometry& geometry) {
  const float xShift = float(-(geometry.width / 2));
  const float yShift = float(-(geometry.height / 2));
  Emitter emitter;
  const bool single = record.EffectKind == kFamilySingle;
  if (!single) {
    if (record.EmitterType == kEmitterContours &&
        BuildMaskEmitter(run, run.source, geometry, xShift, yShift, emitter) == ContourStatus::TooComplex) {
      platform::PluginAlert(kContoursTooComplexMessage);
      return kMemFullErr;
    }
    else if (record.EmitterType == kEmitterFixed)
      BuildFixedEmitter(record.MaskKind, geometry, emitter);
    else if (record.EmitterType == kEmitterPaths && !paths.empty())
      BuildPathEmitter(paths, geometry, xShift, yShift, emitter);
  }
  run.Progress(10, 100);
  PatternList list;
  const GrowthStatus status =
      GrowPattern(record, single ? nullptr : &emitter, geometry, run.hooks, run.memoryBudgetBytes, list);
  emitter.Clear();
  if (status == GrowthStatus::Aborted) return kUserCanceledErr;
  if (status == GrowthStatus::OutOfBudget) {
    platform::PluginAlert(kPatternTooLargeMessage);
    return kMemFullErr;
  }
  run.Progress(50, 100);
  const SceneTransform transform = MakeSceneTransform(record, DerivedCentre(record, geometry));
  if (!CopyIntoScene(list, transform, record, cache)) {
    platform::PluginAlert(kPatternTooLargeMessage);
    return kMemFullErr;
  }
  record.SceneDirty = 0;
  run.Progress(55, 100);
  return kNoErr;
}

// The host's abort, polled by the engine on the calling thread only.
bool ShouldStop(void* context) { return static_cast<const RunState*>(context)->TestAbort(); }

// What the output starts as. Taken from the record before the growth,
// which writes the record, starts beside the image passes.
struct Background {
  bool copySource;
  bool transparent;
  uint8_t r, g, b;
};

Background BackgroundOf(const RunState& run, const ParameterRecord& record) {
  return Background{record.AlphaCut == 0, run.hasAlphaPlane, uint8_t(record.BackgroundColor),
                    uint8_t(record.BackgroundColor >> 8), uint8_t(record.BackgroundColor >> 16)};
}

// Rows [first, last) of the images a render starts from: the source, when
// the host's image is still to be read, and the output's background.
void PrepareImageRows(const RunState& run, const Background& background, int32_t first, int32_t last) {
  if (run.pendingSource.fill) run.pendingSource.fill(run.pendingSource, run.source, run.width, first, last);
  const size_t rowBytes = size_t(run.rowStride);
  uint8_t* out = run.output + rowBytes * size_t(first);
  const size_t bytes = rowBytes * size_t(last - first);
  if (background.copySource) {
    std::memcpy(out, run.source + rowBytes * size_t(first), bytes);
  } else if (background.transparent) {
    std::memset(out, 0, bytes);
  } else {
    for (size_t i = 0; i < bytes; i += 4)
      out[i] = background.r, out[i + 1] = background.g, out[i + 2] = background.b, out[i + 3] = 255;
  }
}

}  // namespace

uint8_t DrawModeFor(uint8_t renderMode) {
  switch (renderMode) {
    case 1: return 0;
    case 2: return 1;
    case 3: return 2;
    case 4: return 3;
    case 6: return 8;
    case 7: return 9;
    default: return 6;
  }
}

material3ds MakeMaterial(const ParameterRecord& record, bool withBump, bool preview) {
  material3ds m{};
  CopyName(m.name, sizeof(m.name), "Material#0");
  ColourOf(record.Diffuse, m.ambient);
  ColourOf(record.Diffuse, m.diffuse);
  ColourOf(record.Speculare, m.specular);
  m.shininess = record.Shininess / 10.0f;
  m.shinStrength = record.Shinstrength / 10.0f;
  m.transparency = record.Transparancy / -100.0f;
  m.selfIllum = record.SelfIllumination / 100.0f;
  if (withBump) {
    // The preview is small: weak relief is doubled there to stay visible.
    float strength = 2.0f * record.BumpPercent;
    if (preview && strength <= 30.0f) strength *= 2.0f;
    strength *= 3.0f;
    CopyName(m.bumpMap.mapName, sizeof(m.bumpMap.mapName), "Bump");
    m.bumpMap.percent = strength / 1000.0f;
    m.bumpMap.uScale = m.bumpMap.vScale = 1.0f;
    m.bumpMap.uOffset = m.bumpMap.vOffset = 0.0f;
  }
  return m;
}

void MakeLights(const ParameterRecord& record, light3ds lights[2]) {
  const double a = record.LightAlpha * 3.141592 / 180.0;
  const double b = record.LightBeta * 3.141592 / 180.0;
  // The second light stands 25 degrees below the image plane, opposite the
  // first, so that the ice's underside catches some light too.
  const double elevation = -0.436332312999;
  const double d = 2000.0 * std::cos(elevation);
  lights[0] = light3ds{};
  lights[1] = light3ds{};
  CopyName(lights[0].name, sizeof(lights[0].name), "LightOne");
  CopyName(lights[1].name, sizeof(lights[1].name), "Light#2");
  lights[0].x = float(2000.0 * std::cos(a) * std::cos(b));
  lights[0].y = float(2000.0 * std::sin(a) * std::cos(b));
  lights[0].z = float(2000.0 * std::sin(b));
  lights[1].x = float(std::cos(a + 3.14159265358979323846) * d);
  lights[1].y = float(std::sin(a + 3.14159265358979323846) * d);
  lights[1].z = float(2000.0 * std::sin(elevation));
  float colour[3];
  ColourOf(record.LightColor, colour);
  for (int i = 0; i < 2; ++i) {
    lights[i].r = colour[0];
    lights[i].g = colour[1];
    lights[i].b = colour[2];
    lights[i].multiplier = record.LightMultiplay / 100.0f;
  }
}

GlassProp MakeGlass(const ParameterRecord& record, double ratio) {
  GlassProp glass{};
  glass.enabled = record.UseGlass;
  glass.bend = record.Koefficient / 10.0f;
  glass.displacement = float(record.Refraction / 10.0 * ratio);
  glass.aberration = record.Aberration;
  return glass;
}

int16_t BuildAndRender(const RunState& run, ParameterRecord& record, const PathCurves& paths, SceneCache& cache) {
  const ImageGeometry geometry = GeometryOf(run);
  const bool preview = run.dialogOpen;

  // A scene kept from an earlier call is only trusted when it is complete.
  const bool rebuild =
      record.SceneDirty || (record.CachedTriangleCount > 0 && (!record.CachedTriangles || !record.CachedPoints));
  // The image passes call nothing of the host's, and growth reads no pixel
  // unless it follows the image's contours: other processors lay the images
  // while this thread grows the pattern, then it joins them.
  platform::BackgroundRows images(run.height, kImageChunkRows, run.threads,
                                  [&run, background = BackgroundOf(run, record)](int32_t first, int32_t last) {
                                    PrepareImageRows(run, background, first, last);
                                  });
  const bool growthReadsPixels = record.EmitterType == kEmitterContours && record.EffectKind != kFamilySingle;
  if (!rebuild || growthReadsPixels) images.Finish();
  if (rebuild) {
    const int16_t rebuilt = Rebuild(run, record, paths, cache, geometry);
    if (rebuilt != kNoErr) return rebuilt;
  }
  run.Progress(60, 100);

  // The bump source of a final run is read from the module's bitmap at the
  // start of the run, like the preview's: the same bytes either way.
  const uint8_t* bumpPixels = cache.BumpTexture(record);

  __SetDrawMode(DrawModeFor(record.RenderMode));
  __SetQuality(preview ? 0 : 1);
  __SetDeep(0);
  run.Progress(65, 100);

  images.Finish();
  run.Progress(70, 100);
  run.Progress(74, 100);

  const int32_t dw = geometry.ScaledFilterWidth();
  const double ratio = dw == 0 ? 1.0 : double(geometry.width) / double(dw);
  material3ds material = MakeMaterial(record, bumpPixels != nullptr, preview);
  GlassProp glass = MakeGlass(record, ratio);
  light3ds lights[2];
  MakeLights(record, lights);
  __Texture textures[4] = {};
  if (bumpPixels) {
    textures[2].present = 1;
    textures[2].width = kBumpSize;
    textures[2].height = kBumpSize;
    textures[2].pixels = const_cast<uint8_t*>(bumpPixels);
    textures[2].isDeep = 0;
  }
  __SetUseMultyRefract(0);
  __SetDubleSide(0);
  run.Progress(75, 100);

  engine3d::SceneInput scene;
  scene.target = run.output;
  scene.source = run.source;
  scene.width = run.width;
  scene.height = run.height;
  scene.rowStride = run.width * 4;
  scene.pointCount = int(record.CachedPointCount);
  scene.triangleCount = int(record.CachedTriangleCount);
  scene.triangles = record.CachedTriangles;
  scene.points = record.CachedPoints;
  scene.offsetX = run.width >> 1;
  scene.offsetY = run.height >> 1;
  scene.materialCount = 1;
  scene.materials = &material;
  scene.textures = textures;
  scene.lightCount = 2;
  scene.lights = lights;
  scene.glass = &glass;
  engine3d::RenderControl control;
  control.threads = run.threads;
  control.shouldStop = ShouldStop;
  control.context = const_cast<RunState*>(&run);
  const engine3d::RenderStatus status = engine3d::RasterScene(cache.RenderContext(), control, scene);
  if (status == engine3d::RenderStatus::Stopped) return kUserCanceledErr;
  if (status == engine3d::RenderStatus::OutOfMemory) {
    platform::PluginAlert(kRenderTooLargeMessage);
    return kMemFullErr;
  }
  run.Progress(100, 100);
  return kNoErr;
}

int16_t RenderEffect(const RunState& run, ParameterRecord& record, const PathCurves& paths, SceneCache& cache) {
  if (!run.output || !run.source) return kNoErr;
  cache.Texture(record);
  const int16_t result = BuildAndRender(run, record, paths, cache);
  if (!run.dialogOpen) {
    // Nothing of a final run outlives it: the record goes back to the host.
    cache.ReleaseTexture(record);
    cache.ReleaseScene(record);
    cache.RenderContext().Release();
  }
  return result;
}

}  // namespace rf::pattern
