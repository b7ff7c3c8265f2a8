// The render calls: __RasterScene with its passes and draw modes,
// __RasterSolid and __DrawScenesLineColor.
#include "engine3d/scan.h"
#include "platform/platform.h"

#include <limits>

namespace rf::engine3d {

int MaxChannelValue = 255;
int RowStride = 0;
int RenderWidth = 0;
int RenderHeight = 0;
RenderOnePixel ActiveRenderOnePixel = DefaultRenderOnePixel;
light3ds* DefaultLight = nullptr;
bool EngineOwnsZBuff = false;
bool RenderCompleted = true;

unsigned char* TargetImage = nullptr;
unsigned char* SourceImage = nullptr;
unsigned char* BackgroundCopy = nullptr;
unsigned char* TriangleScratch = nullptr;
unsigned char* EdgeColourBuffer = nullptr;
unsigned char* UnderColourBuffer = nullptr;
float* RefractDepth = nullptr;

bool LastRenderCompleted() { return RenderCompleted; }

namespace {

// a * b * c in bytes, or 0 when it does not fit.
size_t CheckedBytes(size_t a, size_t b, size_t c) {
  const size_t limit = std::numeric_limits<size_t>::max();
  if (a == 0 || b == 0 || c == 0) return 0;
  if (a > limit / b) return 0;
  const size_t ab = a * b;
  if (ab > limit / c) return 0;
  return ab * c;
}

// An image layout the engine can address: rows at least four channels per
// pixel wide.
bool UsableImage(const unsigned char* target, int width, int height, int rowStride) {
  return target && width > 0 && height > 0 && rowStride > 0 &&
         int64_t(width) * 4 <= int64_t(rowStride);
}

void BeginCall(unsigned char* target, unsigned char* source, int width, int height,
               int rowStride) {
  MaxChannelValue = _Deep ? 32768 : 255;
  RowStride = rowStride;
  RenderWidth = width;
  RenderHeight = height;
  TargetImage = target;
  SourceImage = source;
}

void EndCall() {
  TargetImage = nullptr;
  SourceImage = nullptr;
  RenderWidth = RenderHeight = 0;
}

bool ValidIndex(int32_t index, int count) { return index >= 0 && index < count; }

bool TrianglePoints(const Scene& scene, const __Triangle3ds& t, const __Point3ds*& a,
                    const __Point3ds*& b, const __Point3ds*& c) {
  if (!ValidIndex(t.a, scene.pointCount) || !ValidIndex(t.b, scene.pointCount) ||
      !ValidIndex(t.c, scene.pointCount))
    return false;
  a = &scene.points[t.a];
  b = &scene.points[t.b];
  c = &scene.points[t.c];
  return true;
}

Vec3 ImagePoint(const Scene& scene, const __Point3ds& p) {
  return {double(p.x) + scene.offsetX, double(p.y) + scene.offsetY, double(p.z)};
}

// ---- "Rough": inverse-colour outlines, no depth, no shading -------------------

void InvertPixel(const Scene& scene, int x, int y) {
  if (x < 0 || y < 0 || x >= RenderWidth || y >= RenderHeight) return;
  // Rows of exactly the image width, whatever the row stride says.
  const size_t at = (size_t(y) * size_t(RenderWidth) + size_t(x)) * 4;
  for (int i = 0; i < 3; ++i)
    WriteChannel(scene.target, at + i, MaxChannelValue - ReadChannel(scene.source, at + i));
  WriteChannel(scene.target, at + 3, MaxChannelValue);
}

void RoughLine(const Scene& scene, Vec3 from, Vec3 to) {
  if (!std::isfinite(from.x) || !std::isfinite(from.y) || !std::isfinite(to.x) ||
      !std::isfinite(to.y))
    return;
  const bool alongX = std::fabs(to.x - from.x) >= std::fabs(to.y - from.y);
  double m0 = alongX ? from.x : from.y, m1 = alongX ? to.x : to.y;
  double n0 = alongX ? from.y : from.x, n1 = alongX ? to.y : to.x;
  if (m0 > m1) {
    std::swap(m0, m1);
    std::swap(n0, n1);
  }
  if (m1 == m0) return;
  const double slope = (n1 - n0) / (m1 - m0);
  const int majorSize = alongX ? RenderWidth : RenderHeight;
  const int minorSize = alongX ? RenderHeight : RenderWidth;
  // Unit steps from the lower end. The steps that truncate to columns
  // before the image are skipped in one go; the count is bounded by the
  // image, since far outside it m0 + 1 may not even differ from m0.
  double start = m0;
  if (m0 <= -1) {
    start = m0 + std::ceil(-1 - m0);
    if (start <= -1) start += 1;
  }
  const double end = std::min(m1, double(majorSize));
  for (int k = 0; k <= majorSize + 1; ++k) {
    const double m = start + k;
    if (!(m < end)) break;
    const double n = n0 + (m - m0) * slope;
    if (!(m > -1 && n > -1 && n < minorSize)) continue;
    const int major = int(m), minor = int(n);
    InvertPixel(scene, alongX ? major : minor, alongX ? minor : major);
  }
}

void RoughPass(const Scene& scene, __Triangle3ds* triangles, int triangleCount) {
  for (int i = 0; i < triangleCount; ++i) {
    const __Point3ds *a, *b, *c;
    if (!TrianglePoints(scene, triangles[i], a, b, c)) continue;
    if (!PassesFacing(FaceNormalZ(*a, *b, *c), false)) continue;
    const Vec3 p[3] = {ImagePoint(scene, *a), ImagePoint(scene, *b), ImagePoint(scene, *c)};
    for (int k = 0; k < 3; ++k) RoughLine(scene, p[k], p[(k + 1) % 3]);
  }
}

// ---- Shaded passes ------------------------------------------------------------

// With _Quality 1 a triangle is drawn alone into the scratch image and then
// composited, so that the antialiased edges of neighbours join cleanly.
template <class Draw>
void DrawComposited(const PixelBox& box, Draw&& draw) {
  if (box.Empty()) return;
  if (_Quality != 1) {
    draw(TargetImage);
    return;
  }
  ClearScratch(box);
  draw(TriangleScratch);
  CompositeScratch(box);
}

void ScenePass(const Scene& scene, __Triangle3ds* triangles, int triangleCount) {
  const int mode = _DrawMode;
  for (int i = 0; i < triangleCount; ++i) {
    __Triangle3ds* triangle = &triangles[i];
    const __Point3ds *a, *b, *c;
    if (!TrianglePoints(scene, *triangle, a, b, c)) continue;
    const double facing = FaceNormalZ(*a, *b, *c);

    if (mode == 8) {
      __Point3ds six[6];
      SubdividePoints(*a, *b, *c, six);
      Vec3 corners[6];
      for (int k = 0; k < 6; ++k) corners[k] = ImagePoint(scene, six[k]);
      DrawComposited(GrownBox(corners, 6, 3),
                     [&](unsigned char* to) { FillSubdivided(scene, triangle, six, to); });
      continue;
    }

    const bool selectG = mode == 3 || mode == 6 || mode == 9;
    if (mode != 2 && mode != 10 && !PassesFacing(facing, selectG)) continue;
    TriangleSetup setup;
    if (!SetUpTriangle(*a, *b, *c, scene.offsetX, scene.offsetY, setup)) continue;
    const Vec3 corners[3] = {setup.v[0].p, setup.v[1].p, setup.v[2].p};

    switch (mode) {
      case 1: {
        if (GrownBox(corners, 3, LineRadius(_WireSize)).Empty()) break;
        const __Point normal{float(-setup.A), float(-setup.B), float(-setup.C)};
        for (int k = 0; k < 3; ++k)
          DrawShadedLine(scene, corners[k], corners[(k + 1) % 3], normal, triangle, setup);
        break;
      }
      case 2: {
        Vec3 hull[10];
        const int n = PatchHull(setup, hull);
        if (GrownBox(hull, n, LineRadius(_WireSize)).Empty()) break;
        DrawPatchWire(scene, setup, triangle);
        break;
      }
      case 3:
      case 6: {
        const FillKind kind = mode == 3 ? FillKind::Flat : FillKind::Phong;
        DrawComposited(GrownBox(corners, 3, 3), [&](unsigned char* to) {
          FillTriangle(scene, setup, triangle, kind, to);
        });
        break;
      }
      case 9:
      case 10: {
        Vec3 hull[10];
        const PixelBox box = GrownBox(hull, PatchHull(setup, hull), 3);
        if (mode == 9)
          DrawComposited(box, [&](unsigned char* to) {
            SamplePatch(scene, setup, triangle, true, to);
          });
        else if (!box.Empty())
          SamplePatch(scene, setup, triangle, false, TargetImage);
        break;
      }
      default:
        break;
    }
  }
}

bool AnyGlass(const Scene& scene) {
  if (!scene.glass) return false;
  const int count = std::max(1, scene.materialCount);
  for (int m = 0; m < count; ++m)
    if (scene.glass[m].enabled) return true;
  return false;
}

bool IsDrawingMode(int mode) {
  return mode == 1 || mode == 2 || mode == 3 || mode == 6 || mode == 8 || mode == 9 ||
         mode == 10;
}

struct WorkImages {
  unsigned char* images[4] = {nullptr, nullptr, nullptr, nullptr};
  float* refractDepth = nullptr;
  float* zBuffer = nullptr;

  void Release() {
    for (auto& image : images) {
      platform::FreePages(image);
      image = nullptr;
    }
    platform::FreePages(refractDepth);
    platform::FreePages(zBuffer);
    refractDepth = nullptr;
    zBuffer = nullptr;
  }
};

}  // namespace
}  // namespace rf::engine3d

using namespace rf::engine3d;

extern "C" {

void __RasterScene(unsigned char* target, unsigned char* source, int width, int height,
                   int rowStride, int pointCount, int triangleCount, __Triangle3ds* triangles,
                   __Point3ds* points, int offsetX, int offsetY, int materialCount,
                   material3ds* materials, __Texture* textures, int lightCount,
                   light3ds* lights, GlassProp* glass) {
  RenderCompleted = false;
  MaxChannelValue = _Deep ? 32768 : 255;
  RowStride = rowStride;
  if (!UsableImage(target, width, height, rowStride)) return;

  Scene scene;
  scene.target = target;
  scene.source = source;
  scene.offsetX = offsetX;
  scene.offsetY = offsetY;
  scene.points = points;
  scene.pointCount = points ? std::max(0, pointCount) : 0;
  scene.materials = materials;
  scene.materialCount = materials ? std::max(0, materialCount) : 0;
  scene.textures = textures;
  scene.lightCount = lights ? std::max(0, lightCount) : 0;
  scene.lights = lights;
  scene.glass = glass;
  if (!triangles) triangleCount = 0;

  if (_DrawMode == 0) {
    _DrawBackFaces = 0;
    _DrawBackFaces1 = 0;
    BeginCall(target, source, width, height, rowStride);
    RoughPass(scene, triangles, triangleCount);
    EndCall();
    RenderCompleted = true;
    return;
  }
  if (!IsDrawingMode(_DrawMode)) {
    RenderCompleted = true;
    return;
  }

  // Everything is allocated before anything changes, so that a render that
  // cannot get its memory leaves the engine and the target as they were.
  const size_t imageBytes = CheckedBytes(size_t(rowStride), size_t(height), BytesPerChannel());
  const size_t depthBytes = CheckedBytes(size_t(width), size_t(height), sizeof(float));
  if (imageBytes == 0 || depthBytes == 0) return;
  const bool keepZBuff = ZBuff && Zwidth == width && Zheight == height;
  // Work images nothing in this render can read are not made: the glass
  // background only matters with a glass material, the compositing images
  // only for antialiased fills.
  const bool needGlass = AnyGlass(scene);
  const bool needComposite =
      _Quality == 1 && (_DrawMode == 3 || _DrawMode == 6 || _DrawMode == 8 || _DrawMode == 9);
  WorkImages work;
  bool allocated = true;
  for (int i = 0; i < 4; ++i) {
    if (i == 0 ? !needGlass : !needComposite) continue;
    work.images[i] = static_cast<unsigned char*>(rf::platform::AllocPages(imageBytes));
    allocated = allocated && work.images[i];
  }
  if (needGlass) {
    work.refractDepth = static_cast<float*>(rf::platform::AllocPages(depthBytes));
    allocated = allocated && work.refractDepth;
  }
  if (!keepZBuff) {
    work.zBuffer = static_cast<float*>(rf::platform::AllocPages(depthBytes));
    allocated = allocated && work.zBuffer;
  }
  if (!allocated) {
    work.Release();
    return;
  }

  if (!keepZBuff) {
    // A caller's buffer of another size is dropped, not freed: the engine
    // cannot know how it was allocated.
    ZBuff = work.zBuffer;
    work.zBuffer = nullptr;
    Zwidth = width;
    Zheight = height;
    EngineOwnsZBuff = true;
    std::memset(ZBuff, 0xFE, depthBytes);
  }
  light3ds* createdLight = nullptr;
  if (!DefaultLight && scene.lightCount == 0) {
    createdLight = new light3ds{};
    createdLight->x = 200;
    createdLight->y = 200;
    createdLight->z = 1000;
    createdLight->r = createdLight->g = createdLight->b = 1;
    createdLight->multiplier = 1;
    DefaultLight = createdLight;
  }
  BackgroundCopy = work.images[0];
  TriangleScratch = work.images[1];
  EdgeColourBuffer = work.images[2];
  UnderColourBuffer = work.images[3];
  RefractDepth = work.refractDepth;
  if (BackgroundCopy && source) std::memcpy(BackgroundCopy, source, imageBytes);
  if (RefractDepth) std::memset(RefractDepth, 0xFE, depthBytes);
  BeginCall(target, source, width, height, rowStride);

  _DrawBackFaces1 = _DrawBackFaces;
  for (;;) {
    ScenePass(scene, triangles, triangleCount);
    if (!_DrawBackFaces1) break;
    // The front pass sees the back faces as what lies behind its glass.
    if (BackgroundCopy) std::memcpy(BackgroundCopy, target, imageBytes);
    _DrawBackFaces1 = 0;
    if (EngineOwnsZBuff) std::memset(ZBuff, 0xFE, depthBytes);
  }

  EndCall();
  BackgroundCopy = TriangleScratch = EdgeColourBuffer = UnderColourBuffer = nullptr;
  RefractDepth = nullptr;
  work.Release();
  if (EngineOwnsZBuff) {
    rf::platform::FreePages(ZBuff);
    ZBuff = nullptr;
    Zwidth = Zheight = 0;
    EngineOwnsZBuff = false;
  }
  if (createdLight) {
    DefaultLight = nullptr;
    delete createdLight;
  }
  RenderCompleted = true;
}

void __RasterSolid(unsigned char* target, int width, int height, int rowStride, int pointCount,
                   int triangleCount, __Triangle3ds* triangles, __Point3ds* points,
                   int offsetX, int offsetY, float red, float green, float blue,
                   float opacity) {
  RenderCompleted = false;
  MaxChannelValue = _Deep ? 32768 : 255;
  RowStride = rowStride;
  if (!UsableImage(target, width, height, rowStride)) return;
  // Keeping a buffer whose recorded size no longer matches it would let a
  // later render run past its end.
  if (ZBuff && (Zwidth != width || Zheight != height)) {
    ZBuff = nullptr;
    EngineOwnsZBuff = false;
  }
  Zwidth = width;
  Zheight = height;
  BeginCall(target, nullptr, width, height, rowStride);

  const float high = float(MaxChannelValue);
  const float colour[3] = {red * high, green * high, blue * high};
  struct SolidVisitor {
    const float* colour;
    float opacity;
    void Edge(int x, int y, float coverage) {
      PlotPixel(TargetImage, x, y, colour[0], colour[1], colour[2], coverage * opacity);
    }
    void BeginSpan() {}
    void Inner(int x, int y) {
      PlotPixel(TargetImage, x, y, colour[0], colour[1], colour[2], opacity);
    }
  } visitor{colour, std::isfinite(opacity) ? opacity : 0.0f};

  Scene scene;
  scene.points = points;
  scene.pointCount = points ? std::max(0, pointCount) : 0;
  scene.offsetX = offsetX;
  scene.offsetY = offsetY;
  for (int i = 0; triangles && i < triangleCount; ++i) {
    const __Point3ds *a, *b, *c;
    if (!TrianglePoints(scene, triangles[i], a, b, c)) continue;
    TriangleSetup setup;
    if (!SetUpTriangle(*a, *b, *c, offsetX, offsetY, setup)) continue;
    ScanTriangle(setup, true, width, height, visitor);
  }
  EndCall();
  RenderCompleted = true;
}

void __DrawScenesLineColor(float lineWidth, int red, int green, int blue, unsigned char* target,
                           unsigned char* /*source*/, int width, int height, int rowStride,
                           int pointCount, int triangleCount, __Triangle3ds* triangles,
                           __Point3ds* points, int offsetX, int offsetY) {
  MaxChannelValue = _Deep ? 32768 : 255;
  RowStride = rowStride;
  if (!UsableImage(target, width, height, rowStride)) return;
  BeginCall(target, nullptr, width, height, rowStride);

  auto level = [](int value) {
    return float(std::clamp(value, 0, 255)) * float(MaxChannelValue) / 255.0f;
  };
  struct ColourVisitor {
    float colour[3];
    void Pixel(int x, int y, float coverage, double) {
      PlotPixel(TargetImage, x, y, colour[0], colour[1], colour[2], coverage);
    }
  } visitor{{level(red), level(green), level(blue)}};

  Scene scene;
  scene.points = points;
  scene.pointCount = points ? std::max(0, pointCount) : 0;
  scene.offsetX = offsetX;
  scene.offsetY = offsetY;
  for (int i = 0; triangles && i < triangleCount; ++i) {
    const __Point3ds *a, *b, *c;
    if (!TrianglePoints(scene, triangles[i], a, b, c)) continue;
    if (!_DubleSide && FaceNormalZ(*a, *b, *c) < 0) continue;
    const Vec3 p[3] = {ImagePoint(scene, *a), ImagePoint(scene, *b), ImagePoint(scene, *c)};
    for (int k = 0; k < 3; ++k)
      ScanLine(p[k], p[(k + 1) % 3], true, LineHalfWidth(lineWidth), LineRadius(lineWidth),
               width, height, visitor);
  }
  EndCall();
}

}  // extern "C"
