// Rimeflower engine internals: the state of one render, pixel access and the
// triangle set-up shared by the rasteriser, the line drawer and the shading.
//
// A render is a Frame (what every part of the image shares: the switches as
// they were at the call, the images, the scene) drawn band by band. A Band
// is a run of whole image rows with its own depth, scratch and edge images;
// everything a band draws depends only on its own rows, so bands can be
// drawn on any thread in any order and give the same bytes. The few looks
// that read pixels other bands write (glass that sees earlier glass, glass
// over a back-face pass, a caller's per-pixel function) are drawn as one
// band covering the image.
#pragma once

#include "engine3d/engine3d.h"

#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace rf::engine3d {

// ---- Switches ----------------------------------------------------------------

// The exported switches as a render saw them at its start.
struct Switches {
  uint8_t drawMode = 6;
  uint8_t quality = 1;
  uint8_t deep = 0;
  uint8_t drawBackFaces = 0;
  uint8_t dubleSide = 0;
  uint8_t useMultyRefract = 1;
  uint8_t usePhong2 = 0;
  float wireSize = 1.0f;
  float perspVal = 0, perspX = 0, perspY = 0, perspFar = 1000.0f;
};
Switches CurrentSwitches();

// The per-pixel function installed with __SetNewRenderOnePixel (never null)
// and the light installed with __SetLightDef.
RenderOnePixel InstalledRenderOnePixel();
light3ds* InstalledDefaultLight();

// ---- Images ------------------------------------------------------------------

// Four-channel rows; `firstRow` is the image row of the plane's row 0, so a
// band's work image is addressed with image coordinates.
struct Plane {
  unsigned char* data = nullptr;
  size_t rowChannels = 0;
  int firstRow = 0;
  size_t Index(int x, int y) const {
    return size_t(y - firstRow) * rowChannels + size_t(x) * 4;
  }
};

struct DepthPlane {
  float* data = nullptr;
  int width = 0;
  int firstRow = 0;
  float& At(int x, int y) const { return data[size_t(y - firstRow) * size_t(width) + size_t(x)]; }
};

// A channel index is the same in both depths; a 16-bit image simply holds a
// word where an 8-bit image holds a byte. The words are copied rather than
// cast because a caller's 16-bit buffer need not be aligned.
inline int ReadChannel(const unsigned char* image, size_t index, bool deep) {
  if (!image) return 0;
  if (!deep) return image[index];
  uint16_t word;
  std::memcpy(&word, image + 2 * index, sizeof word);
  return word;
}

inline void WriteChannel(unsigned char* image, size_t index, int value, bool deep) {
  if (!deep) {
    image[index] = static_cast<unsigned char>(value);
    return;
  }
  const uint16_t word = static_cast<uint16_t>(value);
  std::memcpy(image + 2 * index, &word, sizeof word);
}

// Clamps to 0..high and maps NaN to 0, so that a misbehaving per-pixel
// function cannot produce an out-of-range channel.
inline float ClampChannel(float value, float high) {
  if (!(value > 0.0f)) return 0.0f;
  return value > high ? high : value;
}

inline int RoundChannel(float value, int high) {
  return static_cast<int>(ClampChannel(value, static_cast<float>(high)) + 0.5f);
}

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

// ---- One render ----------------------------------------------------------------

struct Scene {
  unsigned char* target = nullptr;
  unsigned char* source = nullptr;
  int offsetX = 0, offsetY = 0;
  __Point3ds* points = nullptr;
  int pointCount = 0;
  __Triangle3ds* triangles = nullptr;
  int triangleCount = 0;
  material3ds* materials = nullptr;
  int materialCount = 0;
  __Texture* textures = nullptr;
  int lightCount = 0;
  light3ds* lights = nullptr;
  GlassProp* glass = nullptr;
};

// What every band of a render reads and nothing changes while it runs.
struct Frame {
  Switches sw;
  bool deep = false;
  int maxChannel = 255;
  int width = 0, height = 0;
  Plane target, source;  // source.data may be null
  Scene scene;
  RenderOnePixel custom = nullptr;  // a caller's per-pixel function, or null for the built-in
  light3ds* defaultLight = nullptr;
  // Images that span the whole render: the caller's Z-buffer of the render
  // size (or null: each band has its own), and the glass background and
  // depths of the looks drawn as one band.
  float* sharedDepth = nullptr;
  Plane backgroundCopy;
  float* refractDepth = nullptr;
  // Per material, its bump map's texel heights for this render (see
  // BumpTexelHeights), or null where they are read from the bitmap.
  const float* const* bumpSums = nullptr;
  int bumpSumCount = 0;
};

// Counts work and, every few thousand pixels, asks whether the render is
// to stop: on the calling thread through the caller's callback (at most
// every few milliseconds), on the others through the flag it sets.
class StopCheck {
 public:
  virtual ~StopCheck() = default;
  bool Tick(int work) {
    budget_ -= work;
    if (budget_ > 0) return stopped_;
    budget_ = kWorkPerPoll;
    return stopped_ = Poll();
  }
  bool Stopped() const { return stopped_; }

 protected:
  virtual bool Poll() = 0;

 private:
  static constexpr int kWorkPerPoll = 4096;
  int budget_ = kWorkPerPoll;
  bool stopped_ = false;
};

// The rows of a band that a triangle drew into the scratch image, so that
// only those are composited and cleared again.
struct RowExtents {
  std::vector<int> low, high;  // per band row; low > high when untouched
  int firstTouched = 0, lastTouched = -1;
};

// Which runs of kDirtyChunk columns of each band row a band has written in
// its depth and edge images, one bit per run.
constexpr int kDirtyChunk = 32;
struct DirtyChunks {
  size_t wordsPerRow = 0;
  std::vector<uint64_t> bits;
  void Mark(int row, int firstColumn, int lastColumn) {
    uint64_t* words = bits.data() + size_t(row) * wordsPerRow;
    for (int chunk = firstColumn / kDirtyChunk; chunk <= lastColumn / kDirtyChunk; ++chunk)
      words[chunk / 64] |= uint64_t(1) << (chunk % 64);
  }
};

// One band: image rows y0 .. y1 - 1 and the work images of its rows.
struct Band {
  const Frame* f = nullptr;
  int y0 = 0, y1 = 0;
  bool backPass = false;  // the back-face pass (_DrawBackFaces1) is running
  DepthPlane depth;
  Plane scratch, edgeColour, underColour;
  RowExtents* touched = nullptr;
  // The image box each triangle can reach ([4k] first row, last row,
  // first column, last column), and the columns of each band row that the
  // band's depth and edge images have been written in.
  const int* boxes = nullptr;
  DirtyChunks* dirty = nullptr;
  StopCheck* stop = nullptr;

  bool InRows(int y) const { return y >= y0 && y < y1; }
  bool Inside(int x, int y) const { return x >= 0 && x < f->width && y >= y0 && y < y1; }
};

// The band whose pixel DefaultRenderOnePixel shades when it is reached
// through the function pointer (a caller's function handing on to it).
// Null outside a render.
extern thread_local const Band* CurrentBand;

// ---- Pixels --------------------------------------------------------------------

// The pixel write rule: opaque colours replace, partial ones blend over what
// is there (or start the pixel when it is empty), keeping the larger alpha.
// Pixels outside the band's rows are left alone: they belong to another band.
void PlotPixel(const Band& band, const Plane& image, int x, int y, float red, float green,
               float blue, float opacity);

// Depth test against the band's depth image: keeps the strictly greater
// depth and returns the value it replaced in `previous`.
inline bool DepthTest(const Band& band, int x, int y, float depth, float& previous) {
  previous = depth;
  if (!band.Inside(x, y)) return false;
  float& stored = band.depth.At(x, y);
  if (!(depth > stored)) return false;
  previous = stored;
  stored = depth;
  return true;
}
inline void RestoreDepth(const Band& band, int x, int y, float previous) {
  if (band.Inside(x, y)) band.depth.At(x, y) = previous;
}

// Notes that (x, y) of the scratch image may have been written.
inline void Touch(const Band& band, int x, int y) {
  RowExtents& r = *band.touched;
  const int row = y - band.y0;
  if (x < r.low[size_t(row)]) r.low[size_t(row)] = x;
  if (x > r.high[size_t(row)]) r.high[size_t(row)] = x;
  if (row < r.firstTouched) r.firstTouched = row;
  if (row > r.lastTouched) r.lastTouched = row;
}
// Composites a pixel as if it were the only write of a triangle into its
// empty scratch image: the same bytes, without the scratch image.
void CompositePixel(const Band& band, int x, int y, const float rgb[3], float opacity);
// Composites the touched scratch pixels into the target and clears them.
void CompositeScratch(const Band& band);
void ResetExtents(const Band& band);

// ---- Shading -------------------------------------------------------------------

// The interpolated normal and texture coordinates of a filled pixel.
struct PixelAttributes {
  __Point normal{};
  float u = 0, v = 0;
};
// Texture coordinates are left 0 without `withUV`.
PixelAttributes InterpolateAttributes(const Frame& f, const TriangleSetup& t, double x, double y,
                                      double depth, bool flat, bool withUV);


// What the built-in shading of one triangle needs beyond the pixel: its
// material (or the built-in grey), maps, lights and glass, worked out once
// per triangle.
struct Surface {
  const material3ds* m = nullptr;  // null: the built-in look
  float base[3] = {0.5f, 0.5f, 0.5f};
  float specular[3] = {1, 1, 1};
  float exponent = 150, strength = 10, selfIllum = 0, opacity = 1;
  float negligible = 0;  // d below which the highlight is not worked out
  const __Texture* colourMap = nullptr;
  const __Texture* opacityMap = nullptr;
  const __Texture* bumpMap = nullptr;
  const __Texture* reflectionMap = nullptr;
  const float* bumpSums = nullptr;  // the bump map's texel heights, or null
  float bumpHeight = 0;
  const light3ds* lights = nullptr;
  int lightCount = 0;
  const GlassProp* glass = nullptr;  // enabled glass, or null
};
void PrepareSurface(const Band& band, const __Triangle3ds* triangle, material3ds* materials,
                    int materialCount, __Texture* textures, int lightCount, light3ds* lights,
                    GlassProp* glass, Surface& out);
float ShadeSurface(const Band& band, const Surface& s, float originX, float originY, float px,
                   float py, float pz, const __Point* normal, bool hasUV, float u, float v,
                   const __PrevInfo* previous, float A, float B, float C, float D,
                   float& red, float& green, float& blue);

// Pixels of one surface shaded together: the built-in shading works through
// them stage by stage, so that the work of neighbouring pixels overlaps.
// Each pixel gets the bytes it would get alone.
constexpr int kShadeBatch = 64;
struct ShadeBatch {
  // Shared by the batch: the image position of the scene origin, whether
  // texture coordinates are valid, the surface's plane.
  float originX = 0, originY = 0;
  bool hasUV = false;
  float A = 0, B = 0, C = 0, D = 0;
  int count = 0;
  // Per pixel, as ShadeSurface takes them (a null previous pixel is
  // hasPrevious false).
  float px[kShadeBatch], py[kShadeBatch], pz[kShadeBatch];
  float nx[kShadeBatch], ny[kShadeBatch], nz[kShadeBatch];
  float u[kShadeBatch], v[kShadeBatch];
  bool hasPrevious[kShadeBatch];
  __PrevInfo previous[kShadeBatch];
  // Results: colour in channel units and the opacity (not yet clamped).
  float red[kShadeBatch], green[kShadeBatch], blue[kShadeBatch], opacity[kShadeBatch];
};
void ShadeSurfaces(const Band& band, const Surface& s, ShadeBatch& batch);

// Shades image pixel (x, y) with the caller's per-pixel function, or with
// the built-in one and the triangle's prepared surface, and returns the
// opacity, 0 when the function gave nothing usable.
float ShadePixel(const Band& band, const Surface& surface, int x, int y, float depth,
                 __Triangle3ds* triangle, __Point normal, bool hasUV, float u, float v,
                 __PrevInfo* previous, const TriangleSetup& plane, float rgb[3]);
// The bump map's height at every texel (the sum of its blue, green and red
// in the render's channel units), the same floats the shading would read
// texel by texel; `out` holds width x height.
void BumpTexelHeights(const __Texture& t, int maxChannel, float* out);

// The surface of a triangle for ShadePixel (left unprepared when a caller's
// function shades).
void PrepareSurface(const Band& band, const __Triangle3ds* triangle, Surface& out);

// The built-in per-pixel function with its render state given.
float BuiltInPixel(const Band& band, float originX, float originY, float px, float py, float pz,
                   __Triangle3ds* triangle, material3ds* materials, int materialCount,
                   float& red, float& green, float& blue, __Point* normal, unsigned char hasUV,
                   float u, float v, __Texture* textures, int lightCount, light3ds* lights,
                   __PrevInfo* previous, GlassProp* glass, float A, float B, float C, float D);

// ---- Drawing (one function per draw-mode family) -----------------------------

enum class FillKind { Flat, Phong };
// Where a fill draws: straight into the target; into the band's scratch
// image, beside other fills, for one composite; or alone in the scratch
// image, composited right after (which an opaque triangle may do pixel by
// pixel as it goes).
enum class FillInto { Image, Scratch, ScratchAlone };

// Fills one prepared triangle into `destination` (the target, or the
// band's scratch image), shading every pixel.
void FillTriangle(const Band& band, const TriangleSetup& setup, __Triangle3ds* triangle,
                  FillKind kind, const Plane& destination, FillInto into);

// An antialiased (or, with _Quality 0, stepped) line between two image
// points, every pixel shaded with the given normal and plotted into the
// target.
void DrawShadedLine(const Band& band, Vec3 from, Vec3 to, __Point normal,
                    __Triangle3ds* triangle, const TriangleSetup& plane);

// Modes 2, 8, 9 and 10 (the curved patch).
void DrawPatchWire(const Band& band, const TriangleSetup& setup, __Triangle3ds* triangle);
// One level of curved subdivision: the corners, then the new points on the
// edges (0, 1), (1, 2) and (2, 0).
void SubdividePoints(const __Point3ds& a, const __Point3ds& b, const __Point3ds& c,
                     __Point3ds six[6]);
void FillSubdivided(const Band& band, __Triangle3ds* triangle, const __Point3ds six[6],
                    const Plane& destination, bool toScratch);
void SamplePatch(const Band& band, const TriangleSetup& setup, __Triangle3ds* triangle,
                 bool shaded, const Plane& destination, bool toScratch);

// Hull of the cubic patch over a set-up triangle (its ten control points).
int PatchHull(const TriangleSetup& setup, Vec3 hull[10]);

// Facing tests; `selectG` adds the multi-refraction exception.
bool PassesFacing(const Band& band, double nz, bool selectG);

// Draws the triangles of one band, in array order, for the pass the band
// is in. `order` lists the triangles that can reach the band's rows.
void DrawBandPass(Band& band, const int* order, int count);

}  // namespace rf::engine3d
