// Rimeflower: the software 3D engine.
//
// A self-contained triangle renderer with a flat C interface. A caller fills
// the scene records below, sets the module-level switches and calls
// __RasterScene, which draws the triangles into a caller-owned image with a
// Z-buffer and hands every covered pixel to a replaceable per-pixel function.
//
// How to use it:
//   1. Fill an array of __Point3ds and one of __Triangle3ds (indices into the
//      points), one material3ds per material, four __Texture per material
//      (colour, opacity, bump, reflection map) and one GlassProp per material.
//   2. Set the switches (__SetDrawMode, __SetQuality, __SetDeep, ...).
//   3. Call __RasterScene(target, source, width, height, rowStride, ...).
//
// Images: four channels per pixel (red, green, blue, alpha), rows of
// rowStride bytes in 8-bit mode. With _Deep set the same layout holds 16-bit
// channels running 0..32768, so rows take 2 x rowStride bytes. Texture
// bitmaps are blue, green, red, alpha. Scene x and y are pixels relative to
// (offsetX, offsetY); a larger z is nearer the viewer.
//
// Limits: one render at a time (the switches are global). A render runs on
// the caller's thread and, where the look allows, on one more thread per
// core; a per-pixel function installed with __SetNewRenderOnePixel is only
// ever called on the caller's thread (engine3d/render.h says more). Work
// images come from rf::platform::AllocPages; when they cannot be had the
// render draws nothing and returns normally (see
// rf::engine3d::LastRenderCompleted in engine3d/render.h). Bad geometry (non-finite coordinates,
// indices outside the point array, degenerate or huge triangles) is skipped
// or clipped; nothing outside width x height is ever read or written.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#define RF_ENGINE_EXPORT __declspec(dllexport)
#else
#define RF_ENGINE_EXPORT __attribute__((visibility("default")))
#endif

// ---- Scene records ---------------------------------------------------------

struct __Point3ds {
  float x, y, z;
  unsigned char hasUV;
  float u, v;
  unsigned char hasNormal;  // informational: the renderer always uses the normal
  float nx, ny, nz;         // any length; normalised where used
};

struct __Triangle3ds {
  int32_t a, b, c;    // indices into the point array
  uint16_t flags;     // the caller's; not read by the engine
  uint16_t material;  // material, texture quadruple and GlassProp index
};

// One map of a material. Texel column s = (u * uScale + uOffset) * (width - 1),
// row t likewise from v; the bitmap tiles.
struct map3ds {
  char mapName[16];
  float percent;  // strength
  uint16_t mapFlags;
  float blur;
  float uScale, vScale;
  float uOffset, vOffset;
  float rotation;
};

struct material3ds {
  char name[32];
  float ambient[3];
  float diffuse[3];   // base colour, 0..1
  float specular[3];  // highlight colour, 0..1
  float shininess;    // highlight exponent / 100
  float shinStrength;
  float shinFalloff;
  float transparency;  // -1 fully transparent .. 0 opaque
  float transFalloff;
  float selfIllum;  // 0..1
  float reflectBlur;
  float wireSize;
  uint8_t twoSided;
  uint8_t shading;
  map3ds colourMap;        // read
  map3ds secondColourMap;  // carried only
  map3ds opacityMap;       // read
  map3ds bumpMap;          // read
  map3ds specularMap;      // carried only
  map3ds shininessMap;     // carried only
  map3ds selfIllumMap;     // carried only
  map3ds reflectionMap;    // read
  uint32_t userFlags;
};

// A bitmap for one map slot: width x height pixels, blue-green-red-alpha,
// rows of exactly width x 4 channels, 8-bit or (isDeep) 16-bit channels.
struct __Texture {
  unsigned char present;
  int32_t width;
  int32_t height;
  unsigned char* pixels;
  unsigned char isDeep;
};

struct light3ds {
  char name[32];
  float x, y, z;  // position, scene units
  float r, g, b;  // colour, 0..1
  float multiplier;
  uint8_t off;
  uint8_t attenuate;
  float innerRange, outerRange;
};

struct GlassProp {
  unsigned char enabled;
  float bend;          // how strongly the normal bends the view
  float displacement;  // pixels of background shift per unit of bent normal
  float aberration;    // chromatic aberration in percent, 0..100
};

struct __Point {
  float x, y, z;
};

// The pixel shaded just before the current one in the same span.
struct __PrevInfo {
  float nx, ny, nz;
  unsigned char valid;
  float x, y;
  float u, v;
};

// The per-pixel function: returns the opacity (0..1) and the colour in
// red, green, blue (0..MaxChannelValue). The pixel's image column is
// originX + px and its row originY + py. (A, B, C, D) is the triangle's plane
// in image space: depth at (X, Y) is -(A X + B Y + D) / C.
typedef float (*RenderOnePixel)(float originX, float originY, unsigned char* target,
                                unsigned char* source, float px, float py, float pz,
                                __Triangle3ds* triangle, material3ds* materials,
                                int materialCount, float& red, float& green, float& blue,
                                __Point* normal, unsigned char hasUV, float u, float v,
                                __Texture* textures, int lightCount, light3ds* lights,
                                __PrevInfo* previous, GlassProp* glass, float A, float B,
                                float C, float D);

extern "C" {

// ---- Switches and state ----------------------------------------------------

// 0 "Rough", 1 "Line", 2 "Wire", 3 "Flat", 6 "Phong", 8, 9, 10; any other
// value draws nothing.
RF_ENGINE_EXPORT extern unsigned char _DrawMode;        // 6
RF_ENGINE_EXPORT extern unsigned char _Quality;         // 1: antialiased, filtered
RF_ENGINE_EXPORT extern unsigned char _Deep;            // 0: 16-bit channels when set
RF_ENGINE_EXPORT extern unsigned char _DrawBackFaces;   // 0: back faces in a first pass
RF_ENGINE_EXPORT extern unsigned char _DrawBackFaces1;  // set while that pass runs
RF_ENGINE_EXPORT extern unsigned char _DubleSide;       // 0
RF_ENGINE_EXPORT extern unsigned char _UseMultyRefract;  // 1; 2 also fills back faces
RF_ENGINE_EXPORT extern unsigned char _UsePhong2;       // 0: quadratic normals
RF_ENGINE_EXPORT extern unsigned char _UseCustomMats;   // 1, stored only
RF_ENGINE_EXPORT extern unsigned char _UseGlass;        // 0, stored only
RF_ENGINE_EXPORT extern unsigned char _UseReflection;   // 0, stored only
RF_ENGINE_EXPORT extern unsigned char _UsePersp;        // 0, stored only
RF_ENGINE_EXPORT extern float _WireSize;                // 1.0
RF_ENGINE_EXPORT extern float _Persp_Val;               // 0
RF_ENGINE_EXPORT extern float _Persp_x;                 // 0
RF_ENGINE_EXPORT extern float _Persp_y;                 // 0
RF_ENGINE_EXPORT extern float _Persp_Far;               // 1000
RF_ENGINE_EXPORT extern float* ZBuff;                   // Zwidth x Zheight, row-major
RF_ENGINE_EXPORT extern int Zwidth;
RF_ENGINE_EXPORT extern int Zheight;

RF_ENGINE_EXPORT void __SetDeep(unsigned char value);
RF_ENGINE_EXPORT void __SetDrawBackFaces(unsigned char value);
RF_ENGINE_EXPORT void __SetDrawMode(unsigned char value);
RF_ENGINE_EXPORT void __SetDubleSide(unsigned char value);
RF_ENGINE_EXPORT void __SetQuality(unsigned char value);  // values above 1 store 1
RF_ENGINE_EXPORT void __SetUseCustomMats(unsigned char value);
RF_ENGINE_EXPORT void __SetUseGlass(unsigned char value);
RF_ENGINE_EXPORT void __SetUseMultyRefract(unsigned char value);
RF_ENGINE_EXPORT void __SetUsePersp(unsigned char value);
RF_ENGINE_EXPORT void __SetUsePhong2(unsigned char value);
RF_ENGINE_EXPORT void __SetUseReflection(unsigned char value);
RF_ENGINE_EXPORT unsigned char __GetDeep();
RF_ENGINE_EXPORT unsigned char __GetDrawBackFaces();
RF_ENGINE_EXPORT unsigned char __GetDrawMode();
RF_ENGINE_EXPORT unsigned char __GetDubleSide();
RF_ENGINE_EXPORT unsigned char __GetQuality();
RF_ENGINE_EXPORT unsigned char __GetUseCustomMats();
RF_ENGINE_EXPORT unsigned char __GetUseGlass();
RF_ENGINE_EXPORT unsigned char __GetUseMultyRefract();
RF_ENGINE_EXPORT unsigned char __GetUsePersp();
RF_ENGINE_EXPORT unsigned char __GetUsePhong2();
RF_ENGINE_EXPORT unsigned char __GetUseReflection();

// A caller-owned Z-buffer persists across renders of its size (so renders
// depth-test against each other). A render of another size drops it (the
// caller still owns and frees it) and uses a buffer of its own for the call.
// A null buffer or a size below 1 clears all three values.
RF_ENGINE_EXPORT void __SetZBuff(float* buffer, int width, int height);
RF_ENGINE_EXPORT void __GetZBuff(float*& buffer, int& width, int& height);

// The light used when a render brings none; never freed by the engine.
RF_ENGINE_EXPORT void __SetLightDef(light3ds* light);

RF_ENGINE_EXPORT void __SetNewRenderOnePixel(RenderOnePixel function);  // null restores the default
RF_ENGINE_EXPORT void __SetDefRenderOnePixel();

// ---- Rendering -------------------------------------------------------------

// Renders the scene into target over source (both width x height, rows of
// rowStride bytes, or 2 x rowStride with _Deep). textures holds four entries
// per material, glass one per material; any of them may be null.
RF_ENGINE_EXPORT void __RasterScene(unsigned char* target, unsigned char* source, int width,
                                    int height, int rowStride, int pointCount,
                                    int triangleCount, __Triangle3ds* triangles,
                                    __Point3ds* points, int offsetX, int offsetY,
                                    int materialCount, material3ds* materials,
                                    __Texture* textures, int lightCount, light3ds* lights,
                                    GlassProp* glass);

// Fills every triangle (either orientation) in the colour (red, green, blue)
// in 0..1 with the given opacity 0..1, with antialiased edges, no depth test
// and no shading. Sets Zwidth and Zheight to width and height.
RF_ENGINE_EXPORT void __RasterSolid(unsigned char* target, int width, int height,
                                    int rowStride, int pointCount, int triangleCount,
                                    __Triangle3ds* triangles, __Point3ds* points,
                                    int offsetX, int offsetY, float red, float green,
                                    float blue, float opacity);

// Draws the edges of every front-facing triangle (all with _DubleSide) as
// antialiased lines of the given width and colour (0..255 per channel,
// scaled in 16-bit mode). source is not read; it is accepted for symmetry
// with __RasterScene.
RF_ENGINE_EXPORT void __DrawScenesLineColor(float lineWidth, int red, int green, int blue,
                                            unsigned char* target, unsigned char* source,
                                            int width, int height, int rowStride,
                                            int pointCount, int triangleCount,
                                            __Triangle3ds* triangles, __Point3ds* points,
                                            int offsetX, int offsetY);

// ---- Scene helpers ---------------------------------------------------------

// Farthest first: ascending sum of the three vertex z; ties in no defined
// order. No point count is passed, so the indices are trusted here.
RF_ENGINE_EXPORT void __Sort(int triangleCount, __Triangle3ds* triangles, __Point3ds* points);

// Stores the four perspective values; unless far or value is 0, moves every
// point's x and y away from (centreX, centreY) by 1 / (1 - z / far).
RF_ENGINE_EXPORT void __AddPersp(int pointCount, __Point3ds* points, float value,
                                 float centreX, float centreY, float far);

// Replace *pixels (height x rowChannels channel values, obtained from
// rf::platform::AllocPages) by a converted copy from AllocPages and free the
// old buffer. 16-bit values run 0..32768. On allocation failure *pixels is
// left unchanged.
RF_ENGINE_EXPORT void __ConvertBYTE8TO16(unsigned char** pixels, int width, int height,
                                         int rowChannels);
RF_ENGINE_EXPORT void __ConvertBYTE16TO8(unsigned char** pixels, int width, int height,
                                         int rowChannels);
// Brings a present texture to the current _Deep (its pixels must come from
// AllocPages, as above).
RF_ENGINE_EXPORT void __ConvertText(__Texture* texture);

RF_ENGINE_EXPORT int __mmx_present();

}  // extern "C"

// ---- Beyond the exported interface ------------------------------------------

namespace rf::engine3d {

// The built-in per-pixel function (the one __SetDefRenderOnePixel restores).
float DefaultRenderOnePixel(float originX, float originY, unsigned char* target,
                            unsigned char* source, float px, float py, float pz,
                            __Triangle3ds* triangle, material3ds* materials, int materialCount,
                            float& red, float& green, float& blue, __Point* normal,
                            unsigned char hasUV, float u, float v, __Texture* textures,
                            int lightCount, light3ds* lights, __PrevInfo* previous,
                            GlassProp* glass, float A, float B, float C, float D);

}  // namespace rf::engine3d
