// Random scenes for __RasterScene: any switches, small images, points with
// arbitrary float bit patterns (NaN, infinities, huge values), indices a
// little outside the point array, random materials, textures, lights and
// glass. Every buffer has exactly its size, so that AddressSanitizer sees
// any access outside it. Some inputs render through a kept context on
// several threads and stop part way.
#include "engine3d/engine3d.h"
#include "engine3d/render.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

struct Reader : rf::fuzz::Bytes {
  // Big-endian, unlike Take: the committed inputs were written so.
  float Float() {
    uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) bits = bits << 8 | Byte();
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
  }
  // Mostly ordinary coordinates, sometimes any bit pattern at all.
  float Coordinate(float range) { return Byte() < 200 ? (float(Byte()) - 128) * range / 128 : Float(); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader in{{data, size}};
  static const uint8_t kModes[] = {0, 1, 2, 3, 6, 8, 9, 10, 4, 200};
  __SetDrawMode(kModes[in.Byte() % 10]);
  __SetQuality(in.Byte() & 1);
  const uint8_t flags = in.Byte();
  __SetDeep(flags & 1);
  __SetDrawBackFaces((flags >> 1) & 1);
  __SetDubleSide((flags >> 2) & 1);
  __SetUseMultyRefract((flags >> 3) % 3);
  __SetUsePhong2((flags >> 5) & 1);
  _WireSize = (flags & 0x80) ? in.Float() : float(in.Byte() % 8);
  _Persp_Val = (flags & 0x40) ? 1.0f : 0.0f;
  _Persp_Far = in.Coordinate(2000);

  const int width = in.Byte() % 40;
  const int height = in.Byte() % 40;
  const int rowStride = width * 4 + (in.Byte() % 3) * 4;
  const size_t imageBytes = size_t(rowStride) * height * (_Deep ? 2 : 1);
  std::vector<uint8_t> target(imageBytes), source(imageBytes);
  for (size_t i = 0; i < imageBytes; ++i) source[i] = target[i] = uint8_t(i * 37);

  const int pointCount = in.Byte() % 24;
  std::vector<__Point3ds> points(size_t(pointCount) + 1);  // never empty, for data()
  for (int i = 0; i < pointCount; ++i) {
    __Point3ds& p = points[i];
    p.x = in.Coordinate(40);
    p.y = in.Coordinate(40);
    p.z = in.Coordinate(100);
    for (float* n : {&p.nx, &p.ny, &p.nz}) *n = in.Coordinate(1);
    p.hasUV = in.Byte() & 1;
    p.u = in.Coordinate(2);
    p.v = in.Coordinate(2);
  }
  const int triangleCount = in.Byte() % 24;
  std::vector<__Triangle3ds> triangles(size_t(triangleCount) + 1);
  for (int i = 0; i < triangleCount; ++i) {
    __Triangle3ds& t = triangles[i];
    for (int* corner : {&t.a, &t.b, &t.c}) *corner = int(in.Byte() % (pointCount + 4)) - 2;
    t.material = in.Byte() % 3;
  }

  const int materialCount = in.Byte() % 3;
  std::vector<material3ds> materials(size_t(materialCount) + 1);
  std::vector<__Texture> textures(size_t(materialCount) * 4 + 1);
  std::vector<GlassProp> glass(size_t(materialCount) + 1);
  std::vector<std::vector<uint8_t>> bitmaps;
  for (int m = 0; m < materialCount; ++m) {
    material3ds& mat = materials[m];
    for (int i = 0; i < 3; ++i) {
      mat.diffuse[i] = in.Byte() / 255.0f;
      mat.specular[i] = in.Byte() / 255.0f;
    }
    mat.shininess = in.Coordinate(2);
    mat.shinStrength = in.Coordinate(2);
    mat.transparency = in.Coordinate(1);
    mat.selfIllum = in.Byte() / 255.0f;
    map3ds* maps[4] = {&mat.colourMap, &mat.opacityMap, &mat.bumpMap, &mat.reflectionMap};
    for (int k = 0; k < 4; ++k) {
      maps[k]->percent = in.Coordinate(1);
      for (float* f : {&maps[k]->uScale, &maps[k]->vScale, &maps[k]->uOffset, &maps[k]->vOffset}) *f = in.Coordinate(4);
      if (in.Byte() & 1) {
        const int w = 1 + in.Byte() % 6, h = 1 + in.Byte() % 6;
        const bool deep = in.Byte() & 1;
        bitmaps.emplace_back(size_t(w) * h * 4 * (deep ? 2 : 1), uint8_t(in.Byte()));
        textures[m * 4 + k] = __Texture{1, w, h, bitmaps.back().data(), uint8_t(deep)};
      }
    }
    glass[m] = GlassProp{uint8_t(in.Byte() & 1), in.Coordinate(2), in.Coordinate(20),
                         in.Coordinate(100)};
  }
  const int lightCount = in.Byte() % 3;
  std::vector<light3ds> lights(size_t(lightCount) + 1);
  for (int l = 0; l < lightCount; ++l) {
    for (float* f : {&lights[l].x, &lights[l].y, &lights[l].z}) *f = in.Coordinate(1000);
    lights[l].r = lights[l].g = lights[l].b = 1;
    lights[l].multiplier = in.Coordinate(2);
  }

  rf::engine3d::SceneInput scene;
  scene.target = target.data();
  scene.source = source.data();
  scene.width = width;
  scene.height = height;
  scene.rowStride = rowStride;
  scene.pointCount = pointCount;
  scene.triangleCount = triangleCount;
  scene.triangles = triangles.data();
  scene.points = points.data();
  scene.offsetX = width / 2 + in.Byte() % 5 - 2;
  scene.offsetY = height / 2;
  scene.materialCount = materialCount;
  scene.materials = materials.data();
  scene.textures = textures.data();
  scene.lightCount = lightCount;
  scene.lights = lights.data();
  scene.glass = (flags & 0x10) ? glass.data() : nullptr;
  const uint8_t how = in.Byte();
  if (how < 128) {
    __RasterScene(scene.target, scene.source, width, height, rowStride, pointCount, triangleCount, scene.triangles,
                  scene.points, scene.offsetX, scene.offsetY, materialCount, scene.materials, scene.textures,
                  lightCount, scene.lights, scene.glass);
    return 0;
  }
  // A context kept between inputs, as the preview keeps one.
  static rf::engine3d::RenderContext context;
  int polls = how & 3;  // stop at the first, second or third poll, or never
  rf::engine3d::RenderControl control;
  control.threads = 1 + (how >> 2) % 3;
  control.shouldStop = [](void* left) { return (*static_cast<int*>(left))-- == 1; };
  control.context = &polls;
  rf::engine3d::RasterScene(context, control, scene);
  return 0;
}
