// Small scenes and images for the engine tests.
#pragma once

#include "engine3d/engine3d.h"
#include "engine3d/render.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace rf::test {

// Puts every switch and installed pointer back to the engine's defaults.
inline void ResetEngine() {
  __SetDrawMode(6);
  __SetQuality(1);
  __SetDeep(0);
  __SetDrawBackFaces(0);
  _DrawBackFaces1 = 0;
  __SetDubleSide(0);
  __SetUseMultyRefract(1);
  __SetUsePhong2(0);
  __SetUseCustomMats(1);
  __SetUseGlass(0);
  __SetUseReflection(0);
  __SetUsePersp(0);
  _WireSize = 1.0f;
  _Persp_Val = 0;
  _Persp_x = _Persp_y = 0;
  _Persp_Far = 1000.0f;
  __SetZBuff(nullptr, 0, 0);
  __SetLightDef(nullptr);
  __SetDefRenderOnePixel();
}

// A four-channel image pair of 8 or 16 bits (following _Deep at creation).
struct Canvas {
  int width, height;
  bool deep;
  std::vector<uint8_t> target, source;

  Canvas(int w, int h, int r = 0, int g = 0, int b = 0, int a = 255)
      : width(w), height(h), deep(_Deep != 0) {
    target.assign(size_t(w) * h * 4 * (deep ? 2 : 1), 0);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) Set(x, y, r, g, b, a);
    source = target;
  }
  int Get(int x, int y, int channel) const {
    const size_t at = (size_t(y) * width + x) * 4 + channel;
    if (!deep) return target[at];
    uint16_t v;
    std::memcpy(&v, &target[2 * at], 2);
    return v;
  }
  void Set(int x, int y, int r, int g, int b, int a) {
    const int values[4] = {r, g, b, a};
    for (int c = 0; c < 4; ++c) {
      const size_t at = (size_t(y) * width + x) * 4 + c;
      if (!deep) {
        target[at] = uint8_t(values[c]);
      } else {
        const uint16_t v = uint16_t(values[c]);
        std::memcpy(&target[2 * at], &v, 2);
      }
    }
  }
  bool Unchanged() const { return target == source; }
};

inline __Point3ds P(float x, float y, float z = 0, float nx = 0, float ny = 0, float nz = 1) {
  __Point3ds p{};
  p.x = x;
  p.y = y;
  p.z = z;
  p.hasNormal = 1;
  p.nx = nx;
  p.ny = ny;
  p.nz = nz;
  return p;
}

inline __Triangle3ds T(int a, int b, int c, uint16_t material = 0) {
  __Triangle3ds t{};
  t.a = a;
  t.b = b;
  t.c = c;
  t.material = material;
  return t;
}

// A material that shows its diffuse colour exactly under one white light
// of multiplier 1: full self illumination, no highlight.
inline material3ds FlatMaterial(float r, float g, float b) {
  material3ds m{};
  m.diffuse[0] = r;
  m.diffuse[1] = g;
  m.diffuse[2] = b;
  m.shininess = 1;
  m.shinStrength = 0;
  m.selfIllum = 1;
  return m;
}

inline light3ds Light(float x, float y, float z, float r = 1, float g = 1, float b = 1) {
  light3ds l{};
  l.x = x;
  l.y = y;
  l.z = z;
  l.r = r;
  l.g = g;
  l.b = b;
  l.multiplier = 1;
  return l;
}

struct Scene {
  std::vector<__Point3ds> points;
  std::vector<__Triangle3ds> triangles;
  std::vector<material3ds> materials;
  std::vector<__Texture> textures;
  std::vector<light3ds> lights;
  std::vector<GlassProp> glass;
  int offsetX = 0, offsetY = 0;

  void Render(Canvas& canvas) {
    const engine3d::SceneInput in = Input(canvas);
    __RasterScene(in.target, in.source, in.width, in.height, in.rowStride, in.pointCount,
                  in.triangleCount, in.triangles, in.points, in.offsetX, in.offsetY,
                  in.materialCount, in.materials, in.textures, in.lightCount, in.lights,
                  in.glass);
  }

  engine3d::SceneInput Input(Canvas& canvas) {
    if (textures.size() < materials.size() * 4) textures.resize(materials.size() * 4, __Texture{});
    engine3d::SceneInput in;
    in.target = canvas.target.data();
    in.source = canvas.source.data();
    in.width = canvas.width;
    in.height = canvas.height;
    in.rowStride = canvas.width * 4;
    in.pointCount = int(points.size());
    in.triangleCount = int(triangles.size());
    in.triangles = triangles.data();
    in.points = points.data();
    in.offsetX = offsetX;
    in.offsetY = offsetY;
    in.materialCount = int(materials.size());
    in.materials = materials.data();
    in.textures = textures.empty() ? nullptr : textures.data();
    in.lightCount = int(lights.size());
    in.lights = lights.data();
    in.glass = glass.empty() ? nullptr : glass.data();
    return in;
  }
};

// A grid of nx x ny quads (two triangles each) covering [x0, x1] x [y0, y1]
// at depth z, every triangle facing the viewer.
inline void AddGrid(Scene& s, float x0, float y0, float x1, float y1, int nx, int ny,
                    float z = 0, uint16_t material = 0) {
  const int base = int(s.points.size());
  for (int j = 0; j <= ny; ++j)
    for (int i = 0; i <= nx; ++i)
      s.points.push_back(P(x0 + (x1 - x0) * i / nx, y0 + (y1 - y0) * j / ny, z));
  auto at = [&](int i, int j) { return base + j * (nx + 1) + i; };
  for (int j = 0; j < ny; ++j)
    for (int i = 0; i < nx; ++i) {
      s.triangles.push_back(T(at(i, j), at(i + 1, j), at(i + 1, j + 1), material));
      s.triangles.push_back(T(at(i, j), at(i + 1, j + 1), at(i, j + 1), material));
    }
}

// A dome of radius r centred at (cx, cy): rings of triangles with vertex
// normals pointing out of the sphere, texture coordinates from x and y.
inline void AddDome(Scene& s, float cx, float cy, float r, int rings, int sectors,
                    uint16_t material = 0) {
  const int base = int(s.points.size());
  const float pi = 3.14159265f;
  auto add = [&](float theta, float phi) {
    const float nx = std::sin(theta) * std::cos(phi), ny = std::sin(theta) * std::sin(phi);
    const float nz = std::cos(theta);
    __Point3ds p = P(cx + r * nx, cy + r * ny, r * nz, nx, ny, nz);
    p.hasUV = 1;
    p.u = 0.5f + nx * 0.5f;
    p.v = 0.5f + ny * 0.5f;
    s.points.push_back(p);
  };
  add(0, 0);
  for (int ring = 1; ring <= rings; ++ring)
    for (int k = 0; k < sectors; ++k) add(0.5f * pi * ring / rings, 2 * pi * k / sectors);
  auto at = [&](int ring, int k) {
    return ring == 0 ? base : base + 1 + (ring - 1) * sectors + (k % sectors);
  };
  for (int ring = 0; ring < rings; ++ring)
    for (int k = 0; k < sectors; ++k) {
      if (ring > 0) s.triangles.push_back(T(at(ring, k), at(ring + 1, k), at(ring, k + 1), material));
      s.triangles.push_back(T(at(ring, k + 1), at(ring + 1, k), at(ring + 1, k + 1), material));
    }
}

// One small scene for the pictures: a dome of one material and a tilted
// strip of another, under two lights.
inline Scene GoldenScene() {
  Scene s;
  s.offsetX = 64;
  s.offsetY = 48;
  material3ds warm = FlatMaterial(0.8f, 0.35f, 0.2f);
  warm.selfIllum = 0.15f;
  warm.specular[0] = warm.specular[1] = warm.specular[2] = 1;
  warm.shininess = 0.25f;
  warm.shinStrength = 0.7f;
  material3ds cool = FlatMaterial(0.2f, 0.5f, 0.85f);
  cool.selfIllum = 0.3f;
  s.materials = {warm, cool};
  AddDome(s, -22, 0, 30, 4, 12, 0);
  // A tilted strip of quads on the right.
  const int base = int(s.points.size());
  for (int j = 0; j <= 3; ++j)
    for (int i = 0; i <= 2; ++i) {
      const float x = 20 + 12.0f * i, y = -36 + 24.0f * j;
      s.points.push_back(P(x + 0.3f * y, y, 10 - 0.4f * x, 0.3f, 0, 1));
    }
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 2; ++i) {
      const int a = base + j * 3 + i;
      s.triangles.push_back(T(a, a + 1, a + 4, 1));
      s.triangles.push_back(T(a, a + 4, a + 3, 1));
    }
  s.lights = {Light(200, -250, 400), Light(-300, 150, 300, 0.5f, 0.5f, 0.6f)};
  return s;
}

inline Canvas CheckerCanvas(int width = 128, int height = 96) {
  Canvas c(width, height);
  for (int y = 0; y < c.height; ++y)
    for (int x = 0; x < c.width; ++x) {
      const bool dark = ((x / 8) + (y / 8)) % 2 == 0;
      c.Set(x, y, dark ? 60 : 200, dark ? 70 : 190, dark ? 80 : 170, 255);
    }
  c.source = c.target;
  return c;
}

}  // namespace rf::test
