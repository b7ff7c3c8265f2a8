// Rimeflower engine internals: render state, pixel access and the triangle
// set-up shared by the rasteriser, the line drawer and the shading.
#pragma once

#include "engine3d/engine3d.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace rf::engine3d {

// ---- Render state ----------------------------------------------------------
// Set at the start of every raster call; the work images exist only during a
// __RasterScene call and are null otherwise.

extern int MaxChannelValue;  // 255, or 32768 with _Deep
extern int RowStride;        // channels per row
extern int RenderWidth;
extern int RenderHeight;
extern RenderOnePixel ActiveRenderOnePixel;
extern light3ds* DefaultLight;
extern bool EngineOwnsZBuff;
extern bool RenderCompleted;

extern unsigned char* TargetImage;
extern unsigned char* SourceImage;
extern unsigned char* BackgroundCopy;
extern unsigned char* TriangleScratch;
extern unsigned char* EdgeColourBuffer;
extern unsigned char* UnderColourBuffer;
extern float* RefractDepth;

// The value of a depth buffer filled with 0xFE bytes: nothing drawn yet.
inline float UntouchedDepth() {
  const uint32_t bits = 0xFEFEFEFEu;
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// ---- Channel access ----------------------------------------------------------
// A channel index is the same in both depths; a 16-bit image simply holds a
// word where an 8-bit image holds a byte. The words are copied rather than
// cast because a caller's 16-bit buffer need not be aligned.

inline size_t ChannelIndex(int x, int y) {
  return static_cast<size_t>(y) * static_cast<size_t>(RowStride) + static_cast<size_t>(x) * 4;
}

inline int ReadChannel(const unsigned char* image, size_t index) {
  if (!image) return 0;
  if (!_Deep) return image[index];
  uint16_t word;
  std::memcpy(&word, image + 2 * index, sizeof word);
  return word;
}

inline void WriteChannel(unsigned char* image, size_t index, int value) {
  if (!_Deep) {
    image[index] = static_cast<unsigned char>(value);
    return;
  }
  const uint16_t word = static_cast<uint16_t>(value);
  std::memcpy(image + 2 * index, &word, sizeof word);
}

inline size_t BytesPerChannel() { return _Deep ? 2 : 1; }

// Clamps to 0..high and maps NaN to 0, so that a misbehaving per-pixel
// function cannot produce an out-of-range channel.
inline float ClampChannel(float value, float high) {
  if (!(value > 0.0f)) return 0.0f;
  return value > high ? high : value;
}

inline int RoundChannel(float value) {
  return static_cast<int>(ClampChannel(value, static_cast<float>(MaxChannelValue)) + 0.5f);
}

// The pixel write rule: opaque colours replace, partial ones blend over what
// is there (or start the pixel when it is empty), keeping the larger alpha.
void PlotPixel(unsigned char* image, int x, int y, float red, float green, float blue,
               float opacity);

// ---- Geometry ----------------------------------------------------------------

struct Vec3 {
  double x = 0, y = 0, z = 0;
};
inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline double Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 Cross(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline Vec3 NormalisedOrSame(Vec3 a) {
  const double length = std::sqrt(Dot(a, a));
  return length > 0 ? a * (1.0 / length) : a;
}

// z of the face normal (Pc - Pb) x (Pa - Pb); >= 0 faces the viewer.
inline double FaceNormalZ(const __Point3ds& a, const __Point3ds& b, const __Point3ds& c) {
  return (double(c.x) - b.x) * (double(a.y) - b.y) - (double(c.y) - b.y) * (double(a.x) - b.x);
}

struct SetupVertex {
  Vec3 p;       // image space: x + offsetX, y + offsetY, z
  Vec3 normal;  // normalised (unless zero)
  Vec3 stored;  // as given
  double u = 0, v = 0;
};

// One triangle prepared for filling or line drawing: vertices reordered so
// that every triangle turns the same way, its plane, the affine forms of the
// barycentric weights and of the signed edge distances.
struct TriangleSetup {
  SetupVertex v[3];
  bool hasUV = false;
  double A = 0, B = 0, C = 0, D = 0;
  double weightX[3], weightY[3], weightC[3];
  // Signed distance of (x, y) to the line of edge k, positive outside:
  // edgeX[k] * x + edgeY[k] * y + edgeC[k]. Edge k runs from v[k] to v[k+1].
  double edgeX[3], edgeY[3], edgeC[3];
  Vec3 mid01, mid12, mid02;  // averages of the stored normals, for _UsePhong2
};

// False for a triangle that cannot be filled: non-finite coordinates, or
// its three vertices on one line.
bool SetUpTriangle(const __Point3ds& a, const __Point3ds& b, const __Point3ds& c, int offsetX,
                   int offsetY, TriangleSetup& setup);

// Depth of the plane at (x, y); edge-on planes use the third vertex.
inline double PlaneDepth(const TriangleSetup& t, double x, double y) {
  if (std::fabs(t.C) >= 0.01) return -(t.A * x + t.B * y + t.D) / t.C;
  return t.v[2].p.z;
}

// Signed distance of (x, y) to the triangle, positive outside; `nearest`
// receives the edge it is measured to.
double SignedDistance(const TriangleSetup& t, double x, double y, int& nearest);

// Barycentric weights at (x, y), clamped to >= 0 and normalised.
void BarycentricWeights(const TriangleSetup& t, double x, double y, double w[3]);

// The interpolated normal and texture coordinates of a filled pixel.
struct PixelAttributes {
  __Point normal{};
  float u = 0, v = 0;
};
PixelAttributes InterpolateAttributes(const TriangleSetup& t, double x, double y, double depth,
                                      bool flat, int offsetX, int offsetY);

// ---- Scene of one render call ------------------------------------------------

struct Scene {
  unsigned char* target = nullptr;
  unsigned char* source = nullptr;
  int offsetX = 0, offsetY = 0;
  __Point3ds* points = nullptr;
  int pointCount = 0;
  material3ds* materials = nullptr;
  int materialCount = 0;
  __Texture* textures = nullptr;
  int lightCount = 0;
  light3ds* lights = nullptr;
  GlassProp* glass = nullptr;
};

// Depth test against ZBuff at an image pixel: passes when there is no
// Z-buffer, fails outside it, and otherwise keeps the strictly greater depth
// (returning the value it replaced in `previous`).
bool DepthTest(int x, int y, float depth, float& previous);
void RestoreDepth(int x, int y, float previous);

// Calls the active per-pixel function for image pixel (x, y) and returns
// the opacity, 0 when the function gave nothing usable.
float ShadePixel(const Scene& scene, int x, int y, float depth, __Triangle3ds* triangle,
                 __Point normal, bool hasUV, float u, float v, __PrevInfo* previous,
                 const TriangleSetup& plane, float rgb[3]);

// ---- Drawing (one function per draw-mode family) -----------------------------

enum class FillKind { Flat, Phong };

// Fills one prepared triangle into `destination`, shading every pixel.
void FillTriangle(const Scene& scene, const TriangleSetup& setup, __Triangle3ds* triangle,
                  FillKind kind, unsigned char* destination);

// An antialiased (or, with _Quality 0, stepped) line between two image
// points, every pixel shaded with the given normal and plotted into the
// target.
void DrawShadedLine(const Scene& scene, Vec3 from, Vec3 to, __Point normal,
                    __Triangle3ds* triangle, const TriangleSetup& plane);

// Modes 2, 8, 9 and 10 (the curved patch).
void DrawPatchWire(const Scene& scene, const TriangleSetup& setup, __Triangle3ds* triangle);
// One level of curved subdivision: the corners, then the new points on the
// edges (0, 1), (1, 2) and (2, 0).
void SubdividePoints(const __Point3ds& a, const __Point3ds& b, const __Point3ds& c,
                     __Point3ds six[6]);
void FillSubdivided(const Scene& scene, __Triangle3ds* triangle, const __Point3ds six[6],
                    unsigned char* destination);
void SamplePatch(const Scene& scene, const TriangleSetup& setup, __Triangle3ds* triangle,
                 bool shaded, unsigned char* destination);

// Image-space box of a triangle (and its patch hull) for the scratch image.
struct PixelBox {
  int x0 = 0, y0 = 0, x1 = -1, y1 = -1;  // inclusive; empty when x1 < x0
  bool Empty() const { return x1 < x0 || y1 < y0; }
};
PixelBox GrownBox(const Vec3* points, int count, int margin);
void ClearScratch(const PixelBox& box);
void CompositeScratch(const PixelBox& box);

// Hull of the cubic patch over a set-up triangle (its ten control points).
int PatchHull(const TriangleSetup& setup, Vec3 hull[10]);

// Facing tests; `selectG` adds the multi-refraction exception.
bool PassesFacing(double nz, bool selectG);

}  // namespace rf::engine3d
