// The engine's switches, the Z-buffer and light installers, and the scene
// helpers that work on the records alone.
#include "engine3d/internal.h"
#include "platform/platform.h"

#include <algorithm>

using namespace rf::engine3d;

namespace {

RenderOnePixel g_renderOnePixel = DefaultRenderOnePixel;
light3ds* g_defaultLight = nullptr;

}  // namespace

namespace rf::engine3d {

Switches CurrentSwitches() {
  Switches s;
  s.drawMode = _DrawMode;
  s.quality = _Quality;
  s.deep = _Deep;
  s.drawBackFaces = _DrawBackFaces;
  s.dubleSide = _DubleSide;
  s.useMultyRefract = _UseMultyRefract;
  s.usePhong2 = _UsePhong2;
  s.wireSize = _WireSize;
  s.perspVal = _Persp_Val;
  s.perspX = _Persp_x;
  s.perspY = _Persp_y;
  s.perspFar = _Persp_Far;
  return s;
}

RenderOnePixel InstalledRenderOnePixel() { return g_renderOnePixel; }
light3ds* InstalledDefaultLight() { return g_defaultLight; }

}  // namespace rf::engine3d

extern "C" {

unsigned char _DrawMode = 6;
unsigned char _Quality = 1;
unsigned char _Deep = 0;
unsigned char _DrawBackFaces = 0;
unsigned char _DrawBackFaces1 = 0;
unsigned char _DubleSide = 0;
unsigned char _UseMultyRefract = 1;
unsigned char _UsePhong2 = 0;
unsigned char _UseCustomMats = 1;
unsigned char _UseGlass = 0;
unsigned char _UseReflection = 0;
unsigned char _UsePersp = 0;
float _WireSize = 1.0f;
float _Persp_Val = 0.0f;
float _Persp_x = 0.0f;
float _Persp_y = 0.0f;
float _Persp_Far = 1000.0f;
float* ZBuff = nullptr;
int Zwidth = 0;
int Zheight = 0;

void __SetDeep(unsigned char value) { _Deep = value; }
void __SetDrawBackFaces(unsigned char value) { _DrawBackFaces = value; }
void __SetDrawMode(unsigned char value) { _DrawMode = value; }
void __SetDubleSide(unsigned char value) { _DubleSide = value; }
void __SetQuality(unsigned char value) { _Quality = value > 1 ? 1 : value; }
void __SetUseCustomMats(unsigned char value) { _UseCustomMats = value; }
void __SetUseGlass(unsigned char value) { _UseGlass = value; }
void __SetUseMultyRefract(unsigned char value) { _UseMultyRefract = value; }
void __SetUsePersp(unsigned char value) { _UsePersp = value; }
void __SetUsePhong2(unsigned char value) { _UsePhong2 = value; }
void __SetUseReflection(unsigned char value) { _UseReflection = value; }
unsigned char __GetDeep() { return _Deep; }
unsigned char __GetDrawBackFaces() { return _DrawBackFaces; }
unsigned char __GetDrawMode() { return _DrawMode; }
unsigned char __GetDubleSide() { return _DubleSide; }
unsigned char __GetQuality() { return _Quality; }
unsigned char __GetUseCustomMats() { return _UseCustomMats; }
unsigned char __GetUseGlass() { return _UseGlass; }
unsigned char __GetUseMultyRefract() { return _UseMultyRefract; }
unsigned char __GetUsePersp() { return _UsePersp; }
unsigned char __GetUsePhong2() { return _UsePhong2; }
unsigned char __GetUseReflection() { return _UseReflection; }

void __SetZBuff(float* buffer, int width, int height) {
  if (!buffer || width < 1 || height < 1) {
    ZBuff = nullptr;
    Zwidth = Zheight = 0;
    return;
  }
  ZBuff = buffer;
  Zwidth = width;
  Zheight = height;
}

void __GetZBuff(float*& buffer, int& width, int& height) {
  buffer = ZBuff;
  width = Zwidth;
  height = Zheight;
}

void __SetLightDef(light3ds* light) { g_defaultLight = light; }

void __SetNewRenderOnePixel(RenderOnePixel function) {
  g_renderOnePixel = function ? function : DefaultRenderOnePixel;
}

void __SetDefRenderOnePixel() { g_renderOnePixel = DefaultRenderOnePixel; }

void __Sort(int triangleCount, __Triangle3ds* triangles, __Point3ds* points) {
  if (triangleCount <= 0 || !triangles || !points) return;
  auto depth = [points](const __Triangle3ds& t) {
    return double(points[t.a].z) + points[t.b].z + points[t.c].z;
  };
  // A NaN depth would break the strict weak order the sort relies on, so
  // it sorts as the farthest.
  auto key = [&](const __Triangle3ds& t) {
    const double d = depth(t);
    return d == d ? d : -HUGE_VAL;
  };
  std::sort(triangles, triangles + triangleCount,
            [&](const __Triangle3ds& l, const __Triangle3ds& r) { return key(l) < key(r); });
}

void __AddPersp(int pointCount, __Point3ds* points, float value, float centreX, float centreY,
                float far) {
  _Persp_Val = value;
  _Persp_x = centreX;
  _Persp_y = centreY;
  _Persp_Far = far;
  if (far == 0 || value == 0 || !points) return;
  for (int i = 0; i < pointCount; ++i) {
    __Point3ds& p = points[i];
    float f = 1.0f - p.z / far;
    if (std::fabs(f) < 1e-8f) f = f < 0 ? -1e-8f : 1e-8f;
    p.x = (p.x - centreX) / f + centreX;
    p.y = (p.y - centreY) / f + centreY;
  }
}

void __ConvertBYTE8TO16(unsigned char** pixels, int /*width*/, int height, int rowChannels) {
  if (!pixels || !*pixels || height < 1 || rowChannels < 1) return;
  const size_t count = size_t(height) * size_t(rowChannels);
  auto* converted = static_cast<uint16_t*>(rf::platform::AllocPages(count * 2));
  if (!converted) return;
  const unsigned char* from = *pixels;
  for (size_t i = 0; i < count; ++i)
    converted[i] = uint16_t(((unsigned(from[i]) << 15) | 128u) / 255u);
  rf::platform::FreePages(*pixels);
  *pixels = reinterpret_cast<unsigned char*>(converted);
}

void __ConvertBYTE16TO8(unsigned char** pixels, int /*width*/, int height, int rowChannels) {
  if (!pixels || !*pixels || height < 1 || rowChannels < 1) return;
  const size_t count = size_t(height) * size_t(rowChannels);
  auto* converted = static_cast<unsigned char*>(rf::platform::AllocPages(count));
  if (!converted) return;
  const unsigned char* from = *pixels;
  for (size_t i = 0; i < count; ++i) {
    uint16_t v;
    std::memcpy(&v, from + 2 * i, sizeof v);
    // Values above 32768 are out of the engine's range; hold them to white.
    converted[i] = uint8_t(std::min(255u, (unsigned(v) * 255u + 16384u) >> 15));
  }
  rf::platform::FreePages(*pixels);
  *pixels = converted;
}

void __ConvertText(__Texture* texture) {
  if (!texture || !texture->present || !texture->pixels) return;
  if (texture->width < 1 || texture->height < 1) return;
  const bool deep = _Deep != 0;
  if (bool(texture->isDeep) == deep) return;
  const int rowChannels = texture->width * 4;
  if (texture->width > (1 << 28)) return;
  unsigned char* before = texture->pixels;
  if (deep)
    __ConvertBYTE8TO16(&texture->pixels, texture->width, texture->height, rowChannels);
  else
    __ConvertBYTE16TO8(&texture->pixels, texture->width, texture->height, rowChannels);
  if (texture->pixels != before) texture->isDeep = deep ? 1 : 0;
}

int __mmx_present() { return 1; }

}  // extern "C"
