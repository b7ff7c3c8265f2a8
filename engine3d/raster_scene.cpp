// The render calls: RasterScene with its bands, threads and stop request,
// the passes and draw modes of a band, and the exported __RasterScene,
// __RasterSolid and __DrawScenesLineColor.
#include "engine3d/render.h"
#include "engine3d/scan.h"
#include "platform/platform.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

namespace rf::engine3d {

namespace {

bool g_renderCompleted = true;

// Rows per band: enough bands for two threads to share out unevenly spread
// triangles, few enough that a triangle seldom spans two, and a band's
// work images stay in the processor's cache.
constexpr int kBandRows = 32;

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

bool IsDrawingMode(int mode) {
  return mode == 1 || mode == 2 || mode == 3 || mode == 6 || mode == 8 || mode == 9 ||
         mode == 10;
}

bool AnyGlass(const Scene& scene) {
  if (!scene.glass) return false;
  const int count = std::max(1, scene.materialCount);
  for (int m = 0; m < count; ++m)
    if (scene.glass[m].enabled) return true;
  return false;
}

Scene SceneOf(const SceneInput& in) {
  Scene scene;
  scene.target = in.target;
  scene.source = in.source;
  scene.offsetX = in.offsetX;
  scene.offsetY = in.offsetY;
  scene.points = in.points;
  scene.pointCount = in.points ? std::max(0, in.pointCount) : 0;
  scene.triangles = in.triangles;
  scene.triangleCount = in.triangles ? std::max(0, in.triangleCount) : 0;
  scene.materials = in.materials;
  scene.materialCount = in.materials ? std::max(0, in.materialCount) : 0;
  scene.textures = in.textures;
  scene.lightCount = in.lights ? std::max(0, in.lightCount) : 0;
  scene.lights = in.lights;
  scene.glass = in.glass;
  return scene;
}

// A block of committed pages that grows on demand and is kept.
class PageBuffer {
 public:
  PageBuffer() = default;
  PageBuffer(PageBuffer&& other) noexcept : data_(other.data_), size_(other.size_) {
    other.data_ = nullptr;
    other.size_ = 0;
  }
  PageBuffer(const PageBuffer&) = delete;
  PageBuffer& operator=(const PageBuffer&) = delete;
  ~PageBuffer() { Release(); }
  bool Ensure(size_t bytes) {
    if (bytes <= size_) return true;
    Release();
    data_ = static_cast<unsigned char*>(platform::AllocPages(bytes));
    if (!data_) return false;
    size_ = bytes;
    return true;
  }
  void Release() {
    platform::FreePages(data_);
    data_ = nullptr;
    size_ = 0;
  }
  unsigned char* bytes() const { return data_; }
  float* floats() const { return reinterpret_cast<float*>(data_); }

 private:
  unsigned char* data_ = nullptr;
  size_t size_ = 0;
};

// ---- The scene walk -----------------------------------------------------------

bool ValidIndex(int32_t index, int count) { return index >= 0 && index < count; }

// The three corners of triangle k, or false when an index is outside the
// point array. Every draw call reaches the scene's triangles through here.
bool TrianglePoints(const Scene& scene, int k, const __Point3ds*& a, const __Point3ds*& b,
                    const __Point3ds*& c) {
  const __Triangle3ds& t = scene.triangles[k];
  if (!ValidIndex(t.a, scene.pointCount) || !ValidIndex(t.b, scene.pointCount) ||
      !ValidIndex(t.c, scene.pointCount))
    return false;
  a = &scene.points[t.a];
  b = &scene.points[t.b];
  c = &scene.points[t.c];
  return true;
}

// The one walk over a scene's triangles that every draw call makes: the
// triangles listed in `order` (all, in array order, when it is null) whose
// three indices lie inside the point array. `stop` (may be null) ends it.
template <class Visit>
void WalkScene(const Scene& scene, const int* order, int count, StopCheck* stop,
               Visit&& visit) {
  for (int n = 0; n < count; ++n) {
    if (stop && stop->Tick(16)) return;
    const int k = order ? order[n] : n;
    const __Point3ds *a, *b, *c;
    if (!TrianglePoints(scene, k, a, b, c)) continue;
    visit(k, &scene.triangles[k], *a, *b, *c);
  }
}

Vec3 ImagePoint(const Scene& scene, const __Point3ds& p) {
  return {double(p.x) + scene.offsetX, double(p.y) + scene.offsetY, double(p.z)};
}

// ---- "Rough": inverse-colour outlines, no depth, no shading -------------------

void InvertPixel(const Band& band, int x, int y) {
  const Frame& f = *band.f;
  if (!band.Inside(x, y)) return;
  // Rows of exactly the image width, whatever the row stride says.
  const size_t at = (size_t(y) * size_t(f.width) + size_t(x)) * 4;
  for (int i = 0; i < 3; ++i)
    WriteChannel(f.target.data, at + i,
                 f.maxChannel - ReadChannel(f.source.data, at + i, f.deep), f.deep);
  WriteChannel(f.target.data, at + 3, f.maxChannel, f.deep);
}

void RoughLine(const Band& band, Vec3 from, Vec3 to) {
  if (!std::isfinite(from.x) || !std::isfinite(from.y) || !std::isfinite(to.x) ||
      !std::isfinite(to.y))
    return;
  const Frame& f = *band.f;
  const bool alongX = std::fabs(to.x - from.x) >= std::fabs(to.y - from.y);
  double m0 = alongX ? from.x : from.y, m1 = alongX ? to.x : to.y;
  double n0 = alongX ? from.y : from.x, n1 = alongX ? to.y : to.x;
  if (m0 > m1) {
    std::swap(m0, m1);
    std::swap(n0, n1);
  }
  if (m1 == m0) return;
  const double slope = (n1 - n0) / (m1 - m0);
  const int majorSize = alongX ? f.width : f.height;
  const int minorSize = alongX ? f.height : f.width;
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
    InvertPixel(band, alongX ? major : minor, alongX ? minor : major);
  }
}

// ---- Shaded passes ------------------------------------------------------------

bool Composites(const Switches& sw) {
  const int mode = sw.drawMode;
  return sw.quality == 1 && (mode == 3 || mode == 6 || mode == 8 || mode == 9);
}

}  // namespace

bool LastRenderCompleted() { return g_renderCompleted; }

void DrawBandPass(Band& band, const int* order, int count) {
  const Frame& f = *band.f;
  const Scene& scene = f.scene;
  const int mode = f.sw.drawMode;
  // With _Quality 1 a triangle is drawn alone into the scratch image and
  // then composited, so that the antialiased edges of neighbours join
  // cleanly.
  const bool composite = Composites(f.sw);
  const Plane& into = composite ? band.scratch : f.target;
  WalkScene(scene, order, count, band.stop, [&](int k, __Triangle3ds* triangle,
                                                 const __Point3ds& a, const __Point3ds& b,
                                                 const __Point3ds& c) {
    if (band.dirty) {
      const int* box = band.boxes + 4 * size_t(k);
      const int first = std::max(box[0], band.y0) - band.y0;
      const int last = std::min(box[1], band.y1 - 1) - band.y0;
      for (int row = first; row <= last; ++row) band.dirty->Mark(row, box[2], box[3]);
    }

    if (mode == 0) {
      if (!PassesFacing(band, FaceNormalZ(a, b, c), false)) return;
      const Vec3 p[3] = {ImagePoint(scene, a), ImagePoint(scene, b), ImagePoint(scene, c)};
      for (int e = 0; e < 3; ++e) RoughLine(band, p[e], p[(e + 1) % 3]);
      return;
    }
    if (mode == 8) {
      __Point3ds six[6];
      SubdividePoints(a, b, c, six);
      FillSubdivided(band, triangle, six, into, composite);
      if (composite) CompositeScratch(band);
      return;
    }

    const bool selectG = mode == 3 || mode == 6 || mode == 9;
    if (mode != 2 && mode != 10 && !PassesFacing(band, FaceNormalZ(a, b, c), selectG)) return;
    TriangleSetup setup;
    if (!SetUpTriangle(a, b, c, scene.offsetX, scene.offsetY, setup)) return;

    switch (mode) {
      case 1: {
        const __Point normal{float(-setup.A), float(-setup.B), float(-setup.C)};
        for (int e = 0; e < 3; ++e)
          DrawShadedLine(band, setup.v[e].p, setup.v[(e + 1) % 3].p, normal, triangle, setup);
        break;
      }
      case 2:
        DrawPatchWire(band, setup, triangle);
        break;
      case 3:
      case 6:
        FillTriangle(band, setup, triangle, mode == 3 ? FillKind::Flat : FillKind::Phong, into,
                     composite ? FillInto::ScratchAlone : FillInto::Image);
        if (composite) CompositeScratch(band);
        break;
      case 9:
      case 10:
        SamplePatch(band, setup, triangle, mode == 9, into, composite);
        if (composite) CompositeScratch(band);
        break;
      default:
        break;
    }
  });
}

namespace {

// The image box a triangle can touch in the current draw mode,
// conservatively (first row, last row, first column, last column), or false
// when it touches no pixel.
bool TriangleBox(const Frame& f, const __Point3ds& a, const __Point3ds& b,
                 const __Point3ds& c, int box[4]) {
  const Scene& scene = f.scene;
  const int mode = f.sw.drawMode;
  Vec3 points[10];
  int count = 3;
  points[0] = ImagePoint(scene, a);
  points[1] = ImagePoint(scene, b);
  points[2] = ImagePoint(scene, c);
  double margin = 2;  // the antialiased border reaches 1.5 pixels out
  if (mode == 8) {
    __Point3ds six[6];
    SubdividePoints(a, b, c, six);
    for (int i = 0; i < 6; ++i) points[i] = ImagePoint(scene, six[i]);
    count = 6;
  } else if (mode == 2 || mode == 9 || mode == 10) {
    TriangleSetup setup;
    if (!SetUpTriangle(a, b, c, scene.offsetX, scene.offsetY, setup)) return false;
    count = PatchHull(setup, points);
  }
  if (mode == 1 || mode == 2) margin = LineRadius(f.sw.wireSize) + 2;
  double minX = HUGE_VAL, maxX = -HUGE_VAL, minY = HUGE_VAL, maxY = -HUGE_VAL;
  for (int i = 0; i < count; ++i) {
    if (!std::isfinite(points[i].x) || !std::isfinite(points[i].y)) return false;
    minX = std::min(minX, points[i].x);
    maxX = std::max(maxX, points[i].x);
    minY = std::min(minY, points[i].y);
    maxY = std::max(maxY, points[i].y);
  }
  if (maxX + margin < 0 || minX - margin > f.width - 1) return false;
  if (maxY + margin < 0 || minY - margin > f.height - 1) return false;
  box[0] = int(std::max(0.0, std::floor(minY - margin)));
  box[1] = int(std::min(double(f.height - 1), std::ceil(maxY + margin)));
  box[2] = int(std::max(0.0, std::floor(minX - margin)));
  box[3] = int(std::min(double(f.width - 1), std::ceil(maxX + margin)));
  return box[0] <= box[1] && box[2] <= box[3];
}

}  // namespace

// ---- The context ----------------------------------------------------------------

struct RenderContext::Buffers {
  struct Worker {
    // The band images in one block, a large page or two for a worker
    // rather than a fault per 4 KB of each: the depth plane, then the
    // scratch, edge and under-colour images.
    PageBuffer images;
    size_t depthBytes = 0, imageBytes = 0;
    unsigned char* Depth() const { return images.bytes(); }
    float* DepthFloats() const { return images.floats(); }
    unsigned char* Scratch() const { return images.bytes() + depthBytes; }
    unsigned char* EdgeColour() const { return Scratch() + imageBytes; }
    unsigned char* UnderColour() const { return EdgeColour() + imageBytes; }
    RowExtents touched;
    // While a flag holds, those band images of this layout are in their
    // starting state (depth 0xFE bytes; scratch and edge images zero)
    // except in the dirty columns of each row.
    bool depthClean = false, compositeClean = false;
    int rows = 0, width = 0;
    bool deep = false;
    DirtyChunks dirty;
  };
  std::vector<Worker> workers;
  PageBuffer backgroundCopy, refractDepth;
  std::vector<int> bandStart, order, boxes;
  // The bands in the order threads take them: the busiest first.
  std::vector<int> bandOrder;
  std::vector<int64_t> bandWork;
  std::vector<float> bumpHeights;
  std::vector<const float*> bumpSums;

  // Gives back what only a render drawn as one band needed: the glass
  // images and band images of the whole image's height.
  void ReleaseWholeImage() {
    backgroundCopy.Release();
    refractDepth.Release();
    for (Worker& w : workers) {
      if (w.rows <= kBandRows) continue;
      w.images.Release();
      w.rows = 0;
      w.depthClean = w.compositeClean = false;
    }
  }

  void Release() {
    workers.clear();
    workers.shrink_to_fit();
    backgroundCopy.Release();
    refractDepth.Release();
    for (std::vector<int>* v : {&bandStart, &order, &boxes, &bandOrder}) {
      v->clear();
      v->shrink_to_fit();
    }
    bandWork.clear();
    bandWork.shrink_to_fit();
    bumpHeights.clear();
    bumpHeights.shrink_to_fit();
    bumpSums.clear();
    bumpSums.shrink_to_fit();
  }
};

RenderContext::RenderContext() : buffers_(new Buffers) {}
RenderContext::~RenderContext() = default;
void RenderContext::Release() { buffers_->Release(); }

namespace {

// The calling thread's stop check: asks the caller, at most every few
// milliseconds, and raises the flag the other threads watch.
class CallerStop : public StopCheck {
 public:
  CallerStop(const RenderControl& control, std::atomic<bool>& flag)
      : control_(control), flag_(flag), last_(std::chrono::steady_clock::now()) {}
  bool AskNow() {
    if (flag_.load(std::memory_order_relaxed)) return true;
    if (!control_.shouldStop) return false;
    const auto now = std::chrono::steady_clock::now();
    if (asked_ && now - last_ < std::chrono::milliseconds(10)) return false;
    asked_ = true;
    last_ = now;
    if (!control_.shouldStop(control_.context)) return false;
    flag_.store(true, std::memory_order_relaxed);
    return true;
  }

 protected:
  bool Poll() override { return AskNow(); }

 private:
  const RenderControl& control_;
  std::atomic<bool>& flag_;
  bool asked_ = false;  // the first poll asks at once
  std::chrono::steady_clock::time_point last_;
};

class WorkerStop : public StopCheck {
 public:
  explicit WorkerStop(std::atomic<bool>& flag) : flag_(flag) {}

 protected:
  bool Poll() override { return flag_.load(std::memory_order_relaxed); }

 private:
  std::atomic<bool>& flag_;
};

// The work of one render shared out between threads band by band.
class BandRunner {
 public:
  BandRunner(const Frame& frame, RenderContext::Buffers& buffers, int bandRows, int bandCount,
             bool ownDepth, bool composite)
      : frame_(frame), buffers_(buffers), bandRows_(bandRows), bandCount_(bandCount),
        ownDepth_(ownDepth), composite_(composite) {}

  // Sizes a worker's band images; false when memory is short.
  bool Prepare(int worker) {
    const Frame& f = frame_;
    RenderContext::Buffers::Worker& w = buffers_.workers[size_t(worker)];
    const size_t pixels = size_t(f.width) * size_t(bandRows_);
    const size_t imageBytes = pixels * 4 * (f.deep ? 2 : 1);
    const size_t depthBytes = ownDepth_ ? pixels * sizeof(float) : 0;
    const size_t compositeBytes = composite_ ? imageBytes : 0;
    const unsigned char* const kept = w.images.bytes();
    bool ok = w.images.Ensure(depthBytes + 3 * compositeBytes);
    // Images that moved, or sit elsewhere in the block, are not clean.
    if (w.images.bytes() != kept || depthBytes != w.depthBytes || compositeBytes != w.imageBytes)
      w.depthClean = w.compositeClean = false;
    w.depthBytes = depthBytes;
    w.imageBytes = compositeBytes;
    if (ok) {
      try {
        w.touched.low.reserve(size_t(bandRows_));
        w.touched.high.reserve(size_t(bandRows_));
        w.dirty.wordsPerRow = size_t((f.width + kDirtyChunk - 1) / kDirtyChunk + 63) / 64;
        w.dirty.bits.resize(size_t(bandRows_) * w.dirty.wordsPerRow);
      } catch (const std::bad_alloc&) {
        ok = false;
      }
    }
    if (!ok || w.rows != bandRows_ || w.width != f.width || w.deep != f.deep)
      w.depthClean = w.compositeClean = false;
    w.rows = bandRows_;
    w.width = f.width;
    w.deep = f.deep;
    return ok;
  }

  // Draws bands until none is left or the render is to stop.
  void Work(int worker, StopCheck& stop) {
    for (;;) {
      if (stop.Stopped()) return;
      const int n = next_.fetch_add(1, std::memory_order_relaxed);
      if (n >= bandCount_) return;
      DrawBand(worker, buffers_.bandOrder[size_t(n)], stop);
    }
  }

 private:
  void DrawBand(int worker, int b, StopCheck& stop) {
    const Frame& f = frame_;
    RenderContext::Buffers::Worker& w = buffers_.workers[size_t(worker)];
    Band band;
    band.f = &f;
    band.y0 = b * bandRows_;
    band.y1 = std::min(f.height, band.y0 + bandRows_);
    band.stop = &stop;
    band.touched = &w.touched;
    const size_t rowChannels = size_t(f.width) * 4;
    const size_t bytesPerChannel = f.deep ? 2 : 1;
    band.boxes = buffers_.boxes.data();
    band.dirty = &w.dirty;
    // Each image is cleared whole once per layout (and after a stopped
    // band), otherwise only where the last band of this thread wrote; the
    // composite leaves the scratch image clear behind each triangle.
    const size_t rows = size_t(bandRows_);
    if (ownDepth_ && !w.depthClean)
      std::memset(w.Depth(), 0xFE, rows * size_t(f.width) * sizeof(float));
    if (composite_ && !w.compositeClean) {
      std::memset(w.Scratch(), 0, rows * rowChannels * bytesPerChannel);
      std::memset(w.EdgeColour(), 0, rows * rowChannels * bytesPerChannel);
    }
    const bool clearDepth = ownDepth_ && w.depthClean;
    const bool clearEdge = composite_ && w.compositeClean;
    for (int row = 0; row < bandRows_ && (clearDepth || clearEdge); ++row) {
      const uint64_t* words = w.dirty.bits.data() + size_t(row) * w.dirty.wordsPerRow;
      for (size_t word = 0; word < w.dirty.wordsPerRow; ++word) {
        for (uint64_t bits = words[word]; bits != 0; bits &= bits - 1) {
          int bit = 0;
          while (!((bits >> bit) & 1)) ++bit;
          const int low = int(word * 64 + size_t(bit)) * kDirtyChunk;
          const size_t count = size_t(std::min(kDirtyChunk, f.width - low));
          if (clearDepth)
            std::memset(w.DepthFloats() + size_t(row) * size_t(f.width) + size_t(low), 0xFE,
                        count * sizeof(float));
          if (clearEdge)
            std::memset(w.EdgeColour() +
                            (size_t(row) * rowChannels + size_t(low) * 4) * bytesPerChannel,
                        0, count * 4 * bytesPerChannel);
        }
      }
    }
    // An image this band does not use is not kept clean either.
    w.depthClean = w.compositeClean = false;
    std::fill(w.dirty.bits.begin(), w.dirty.bits.end(), 0);
    const size_t depthBytes = size_t(band.y1 - band.y0) * size_t(f.width) * sizeof(float);
    if (ownDepth_) {
      band.depth = DepthPlane{w.DepthFloats(), f.width, band.y0};
    } else {
      band.depth = DepthPlane{f.sharedDepth, f.width, 0};
    }
    if (composite_) {
      band.scratch = Plane{w.Scratch(), rowChannels, band.y0};
      band.edgeColour = Plane{w.EdgeColour(), rowChannels, band.y0};
      band.underColour = Plane{w.UnderColour(), rowChannels, band.y0};
      ResetExtents(band);
    }
    const int* order = buffers_.order.data() + buffers_.bandStart[size_t(b)];
    const int count = buffers_.bandStart[size_t(b) + 1] - buffers_.bandStart[size_t(b)];

    CurrentBand = &band;
    band.backPass = f.sw.drawBackFaces != 0;
    for (;;) {
      if (f.custom) _DrawBackFaces1 = band.backPass ? 1 : 0;
      DrawBandPass(band, order, count);
      if (!band.backPass || stop.Stopped()) break;
      // The front pass sees the back faces as what lies behind its glass.
      if (f.backgroundCopy.data) {
        const size_t bytes = f.target.rowChannels * (f.deep ? 2 : 1);
        for (int y = band.y0; y < band.y1; ++y)
          std::memcpy(f.backgroundCopy.data + f.backgroundCopy.Index(0, y) * (f.deep ? 2 : 1),
                      f.target.data + f.target.Index(0, y) * (f.deep ? 2 : 1), bytes);
      }
      band.backPass = false;
      if (ownDepth_) std::memset(w.Depth(), 0xFE, depthBytes);
    }
    CurrentBand = nullptr;
    if (!stop.Stopped()) {
      w.depthClean = ownDepth_;
      w.compositeClean = composite_;
    }
  }

  const Frame& frame_;
  RenderContext::Buffers& buffers_;
  int bandRows_, bandCount_;
  bool ownDepth_, composite_;
  std::atomic<int> next_{0};
};

// Lists, for every band, the triangles that can reach its rows, in array
// order.
bool BinTriangles(const Frame& f, RenderContext::Buffers& buffers, int bandRows,
                  int bandCount) {
  const Scene& scene = f.scene;
  try {
    buffers.boxes.resize(size_t(scene.triangleCount) * 4);
    buffers.bandStart.assign(size_t(bandCount) + 1, 0);
    for (size_t k = 0; k < buffers.boxes.size(); k += 4) buffers.boxes[k] = -1;
    WalkScene(scene, nullptr, scene.triangleCount, nullptr,
              [&](int k, __Triangle3ds*, const __Point3ds& a, const __Point3ds& b,
                  const __Point3ds& c) {
                int* box = buffers.boxes.data() + 4 * size_t(k);
                if (!TriangleBox(f, a, b, c, box)) {
                  box[0] = -1;
                  return;
                }
                for (int band = box[0] / bandRows; band <= box[1] / bandRows; ++band)
                  ++buffers.bandStart[size_t(band) + 1];
              });
    for (int band = 0; band < bandCount; ++band)
      buffers.bandStart[size_t(band) + 1] += buffers.bandStart[size_t(band)];
    buffers.order.resize(size_t(buffers.bandStart[size_t(bandCount)]));
    std::vector<int> fill(buffers.bandStart.begin(), buffers.bandStart.end() - 1);
    for (int k = 0; k < scene.triangleCount; ++k) {
      const int* box = buffers.boxes.data() + 4 * size_t(k);
      if (box[0] < 0) continue;
      for (int band = box[0] / bandRows; band <= box[1] / bandRows; ++band)
        buffers.order[size_t(fill[size_t(band)]++)] = k;
    }
    // The pattern often crowds a few bands, and bands taken in image order
    // would leave one thread drawing the last crowded band alone. Taking the
    // busiest first, by the area of their triangles' boxes plus a set-up
    // cost per triangle, leaves only light bands for the end.
    buffers.bandWork.assign(size_t(bandCount), 0);
    for (int band = 0; band < bandCount; ++band) {
      const int y0 = band * bandRows, y1 = std::min(f.height, y0 + bandRows) - 1;
      int64_t work = 0;
      for (int n = buffers.bandStart[size_t(band)]; n < buffers.bandStart[size_t(band) + 1];
           ++n) {
        const int* box = buffers.boxes.data() + 4 * size_t(buffers.order[size_t(n)]);
        const int rows = std::min(box[1], y1) - std::max(box[0], y0) + 1;
        work += int64_t(rows) * (box[3] - box[2] + 1) + 64;
      }
      buffers.bandWork[size_t(band)] = work;
    }
    buffers.bandOrder.resize(size_t(bandCount));
    for (int band = 0; band < bandCount; ++band) buffers.bandOrder[size_t(band)] = band;
    std::stable_sort(buffers.bandOrder.begin(), buffers.bandOrder.end(), [&](int a, int b) {
      return buffers.bandWork[size_t(a)] > buffers.bandWork[size_t(b)];
    });
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

// Works out the texel heights of every material's bump map once per render,
// rather than three channels per texel read. Materials sharing a bitmap
// share its heights; bitmaps past a few megabytes of heights in all are
// left to be read texel by texel.
void PrepareBumpHeights(Frame& f, RenderContext::Buffers& buffers) {
  constexpr size_t kMostHeights = size_t(1) << 22;
  const Scene& scene = f.scene;
  f.bumpSums = nullptr;
  f.bumpSumCount = 0;
  if (!scene.textures || scene.materialCount < 1) return;
  auto bumpOf = [&](int m) -> const __Texture* {
    const __Texture& t = scene.textures[size_t(m) * 4 + 2];
    if (!t.present || !t.pixels || t.width < 1 || t.height < 1) return nullptr;
    return &t;
  };
  auto same = [](const __Texture* a, const __Texture* b) {
    return a && b && a->pixels == b->pixels && a->width == b->width && a->height == b->height &&
           a->isDeep == b->isDeep;
  };
  try {
    std::vector<size_t> start(size_t(scene.materialCount), SIZE_MAX);
    size_t total = 0;
    const __Texture* last = nullptr;
    size_t lastStart = SIZE_MAX;
    for (int m = 0; m < scene.materialCount; ++m) {
      const __Texture* t = bumpOf(m);
      if (!t) continue;
      if (same(t, last)) {
        start[size_t(m)] = lastStart;
        continue;
      }
      const size_t texels = size_t(t->width) * size_t(t->height);
      last = t;
      lastStart = SIZE_MAX;
      if (texels > kMostHeights - total) continue;
      start[size_t(m)] = lastStart = total;
      total += texels;
    }
    if (total == 0) return;
    buffers.bumpHeights.resize(total);
    buffers.bumpSums.assign(size_t(scene.materialCount), nullptr);
    for (int m = 0; m < scene.materialCount; ++m) {
      if (start[size_t(m)] == SIZE_MAX) continue;
      float* heights = buffers.bumpHeights.data() + start[size_t(m)];
      if (m == 0 || start[size_t(m)] != start[size_t(m) - 1])
        BumpTexelHeights(*bumpOf(m), f.maxChannel, heights);
      buffers.bumpSums[size_t(m)] = heights;
    }
  } catch (const std::bad_alloc&) {
    return;  // the shading reads the bitmaps instead
  }
  f.bumpSums = buffers.bumpSums.data();
  f.bumpSumCount = scene.materialCount;
}

int ThreadCount(const RenderControl& control) {
  int threads = control.threads;
  // The processors this process may run on: a host or the user may have
  // narrowed them to fewer than the machine has.
  if (threads <= 0) threads = platform::UsableProcessorCount();
  return std::clamp(threads, 1, 64);
}

}  // namespace

RenderStatus RasterScene(RenderContext& context, const RenderControl& control,
                         const SceneInput& in) {
  const Switches sw = CurrentSwitches();
  if (!UsableImage(in.target, in.width, in.height, in.rowStride)) return RenderStatus::Done;
  Frame f;
  f.sw = sw;
  f.deep = sw.deep != 0;
  f.maxChannel = f.deep ? 32768 : 255;
  f.width = in.width;
  f.height = in.height;
  f.target = Plane{in.target, size_t(in.rowStride), 0};
  f.source = Plane{in.source, size_t(in.rowStride), 0};
  f.scene = SceneOf(in);
  const RenderOnePixel installed = InstalledRenderOnePixel();
  f.custom = installed == DefaultRenderOnePixel ? nullptr : installed;
  RenderContext::Buffers& buffers = context.buffers();

  if (sw.drawMode == 0) {
    _DrawBackFaces = 0;
    _DrawBackFaces1 = 0;
    f.sw.drawBackFaces = 0;
  } else if (!IsDrawingMode(sw.drawMode)) {
    return RenderStatus::Done;
  }

  // Looks that read pixels other bands draw are drawn as one band on this
  // thread; everything else in bands on as many threads as asked.
  const bool glass = AnyGlass(f.scene);
  const bool oneBand = sw.drawMode == 0 || f.custom ||
                       (glass && (sw.useMultyRefract || sw.drawBackFaces));
  const bool keepDepth = ZBuff && Zwidth == in.width && Zheight == in.height;
  const bool composite = Composites(sw);
  const int bandRows = oneBand ? in.height : std::min(kBandRows, in.height);
  const int bandCount = (in.height + bandRows - 1) / bandRows;
  const int threads = oneBand ? 1 : std::min(ThreadCount(control), bandCount);
  const bool ownDepth = sw.drawMode != 0 && !keepDepth;

  // Everything is allocated before anything changes, so that a render that
  // cannot get its memory leaves the engine and the target as they were.
  const size_t imageBytes =
      CheckedBytes(size_t(in.rowStride), size_t(in.height), f.deep ? 2 : 1);
  const size_t depthBytes = CheckedBytes(size_t(in.width), size_t(in.height), sizeof(float));
  if (imageBytes == 0 || depthBytes == 0) return RenderStatus::OutOfMemory;
  // An image larger than the machine could hold cannot be the caller's
  // buffer; drawing into it would only run past the real one.
  const uint64_t physical = platform::PhysicalMemoryBytes();
  if (physical != 0 && imageBytes > physical / 4 * 3) return RenderStatus::OutOfMemory;
  if (sw.drawMode != 0 && oneBand && glass) {
    if (!buffers.backgroundCopy.Ensure(imageBytes) || !buffers.refractDepth.Ensure(depthBytes))
      return RenderStatus::OutOfMemory;
    f.backgroundCopy = Plane{buffers.backgroundCopy.bytes(), size_t(in.rowStride), 0};
    f.refractDepth = buffers.refractDepth.floats();
  }
  BandRunner runner(f, buffers, bandRows, bandCount, ownDepth, composite);
  try {
    if (buffers.workers.size() < size_t(threads)) buffers.workers.resize(size_t(threads));
  } catch (const std::bad_alloc&) {
    return RenderStatus::OutOfMemory;
  }
  int prepared = 0;
  while (prepared < threads && runner.Prepare(prepared)) ++prepared;
  if (prepared == 0) return RenderStatus::OutOfMemory;
  if (!BinTriangles(f, buffers, bandRows, bandCount)) return RenderStatus::OutOfMemory;
  if (sw.drawMode != 0) PrepareBumpHeights(f, buffers);

  light3ds createdLight{};
  f.defaultLight = InstalledDefaultLight();
  if (!f.defaultLight && f.scene.lightCount == 0) {
    createdLight.x = 200;
    createdLight.y = 200;
    createdLight.z = 1000;
    createdLight.r = createdLight.g = createdLight.b = 1;
    createdLight.multiplier = 1;
    f.defaultLight = &createdLight;
  }
  if (f.backgroundCopy.data) {
    if (in.source)
      std::memcpy(f.backgroundCopy.data, in.source, imageBytes);
    else
      std::memset(f.backgroundCopy.data, 0, imageBytes);
    std::memset(f.refractDepth, 0xFE, depthBytes);
  }
  // A caller's per-pixel function may look at the Z-buffer of the render.
  float* const callerDepth = ZBuff;
  const int callerWidth = Zwidth, callerHeight = Zheight;
  if (keepDepth) {
    f.sharedDepth = ZBuff;
  } else if (oneBand && sw.drawMode != 0) {
    ZBuff = buffers.workers[0].DepthFloats();
    Zwidth = in.width;
    Zheight = in.height;
  }

  std::atomic<bool> stopFlag{false};
  CallerStop callerStop(control, stopFlag);
  std::vector<std::thread> pool;
  std::mutex mutex;
  std::condition_variable finished;
  int running = 0;
  for (int w = 1; w < prepared; ++w) {
    try {
      {
        std::lock_guard<std::mutex> lock(mutex);
        ++running;
      }
      pool.emplace_back([&, w] {
        WorkerStop stop(stopFlag);
        runner.Work(w, stop);
        std::lock_guard<std::mutex> lock(mutex);
        --running;
        finished.notify_all();
      });
    } catch (const std::system_error&) {
      std::lock_guard<std::mutex> lock(mutex);
      --running;
      break;  // fewer threads draw the same bytes
    }
  }
  runner.Work(0, callerStop);
  // The caller is still asked while the other threads finish their bands.
  {
    std::unique_lock<std::mutex> lock(mutex);
    while (running > 0) {
      finished.wait_for(lock, std::chrono::milliseconds(5));
      lock.unlock();
      callerStop.AskNow();
      lock.lock();
    }
  }
  for (std::thread& t : pool) t.join();

  if (!keepDepth) {
    ZBuff = callerDepth;
    Zwidth = callerWidth;
    Zheight = callerHeight;
  }
  _DrawBackFaces1 = 0;
  return stopFlag.load() ? RenderStatus::Stopped : RenderStatus::Done;
}

}  // namespace rf::engine3d

using namespace rf::engine3d;

namespace {

// The frame and the one band of the exported calls that draw straight into
// the whole target, without shading or depth.
void WholeImage(unsigned char* target, int width, int height, int rowStride, int pointCount,
                int triangleCount, __Triangle3ds* triangles, __Point3ds* points, int offsetX,
                int offsetY, Frame& f, Band& band) {
  f.sw = CurrentSwitches();
  f.deep = f.sw.deep != 0;
  f.maxChannel = f.deep ? 32768 : 255;
  f.width = width;
  f.height = height;
  f.target = Plane{target, size_t(rowStride), 0};
  SceneInput in;
  in.points = points;
  in.pointCount = pointCount;
  in.triangles = triangles;
  in.triangleCount = triangleCount;
  in.offsetX = offsetX;
  in.offsetY = offsetY;
  f.scene = SceneOf(in);
  band.f = &f;
  band.y0 = 0;
  band.y1 = height;
}

// The engine's own context behind the exported calls. Whole-image buffers
// are given back after each call; the small band buffers are kept.
RenderContext& DefaultContext() {
  static RenderContext context;
  return context;
}

}  // namespace

extern "C" {

void __RasterScene(unsigned char* target, unsigned char* source, int width, int height,
                   int rowStride, int pointCount, int triangleCount, __Triangle3ds* triangles,
                   __Point3ds* points, int offsetX, int offsetY, int materialCount,
                   material3ds* materials, __Texture* textures, int lightCount,
                   light3ds* lights, GlassProp* glass) {
  g_renderCompleted = false;
  SceneInput in;
  in.target = target;
  in.source = source;
  in.width = width;
  in.height = height;
  in.rowStride = rowStride;
  in.pointCount = pointCount;
  in.triangleCount = triangleCount;
  in.triangles = triangles;
  in.points = points;
  in.offsetX = offsetX;
  in.offsetY = offsetY;
  in.materialCount = materialCount;
  in.materials = materials;
  in.textures = textures;
  in.lightCount = lightCount;
  in.lights = lights;
  in.glass = glass;
  if (!UsableImage(target, width, height, rowStride)) return;
  const bool keepDepth = ZBuff && Zwidth == width && Zheight == height;
  RenderContext& context = DefaultContext();
  const RenderStatus status = RasterScene(context, RenderControl{}, in);
  context.buffers().ReleaseWholeImage();
  if (status != RenderStatus::Done) return;
  // A caller's buffer of another size is dropped, not freed: the engine
  // cannot know how it was allocated.
  if (!keepDepth && _DrawMode != 0 && IsDrawingMode(_DrawMode)) {
    ZBuff = nullptr;
    Zwidth = Zheight = 0;
  }
  g_renderCompleted = true;
}

void __RasterSolid(unsigned char* target, int width, int height, int rowStride, int pointCount,
                   int triangleCount, __Triangle3ds* triangles, __Point3ds* points,
                   int offsetX, int offsetY, float red, float green, float blue,
                   float opacity) {
  g_renderCompleted = false;
  if (!UsableImage(target, width, height, rowStride)) return;
  // Keeping a buffer whose recorded size no longer matches it would let a
  // later render run past its end.
  if (ZBuff && (Zwidth != width || Zheight != height)) ZBuff = nullptr;
  Zwidth = width;
  Zheight = height;
  Frame f;
  Band band;
  WholeImage(target, width, height, rowStride, pointCount, triangleCount, triangles, points,
             offsetX, offsetY, f, band);

  const float high = float(f.maxChannel);
  struct SolidVisitor {
    const Band& band;
    float colour[3];
    float opacity;
    void Edge(int x, int y, float coverage) {
      PlotPixel(band, band.f->target, x, y, colour[0], colour[1], colour[2], coverage * opacity);
    }
    bool SpansHideEdges() const { return opacity >= 1; }
    void BeginSpan() {}
    void Inner(int x, int y) {
      PlotPixel(band, band.f->target, x, y, colour[0], colour[1], colour[2], opacity);
    }
  } visitor{band, {red * high, green * high, blue * high}, std::isfinite(opacity) ? opacity : 0.0f};

  WalkScene(f.scene, nullptr, f.scene.triangleCount, nullptr,
            [&](int, __Triangle3ds*, const __Point3ds& a, const __Point3ds& b,
                const __Point3ds& c) {
              TriangleSetup setup;
              if (!SetUpTriangle(a, b, c, offsetX, offsetY, setup)) return;
              ScanTriangle(setup, true, width, 0, height, nullptr, visitor);
            });
  g_renderCompleted = true;
}

void __DrawScenesLineColor(float lineWidth, int red, int green, int blue, unsigned char* target,
                           unsigned char* /*source*/, int width, int height, int rowStride,
                           int pointCount, int triangleCount, __Triangle3ds* triangles,
                           __Point3ds* points, int offsetX, int offsetY) {
  if (!UsableImage(target, width, height, rowStride)) return;
  Frame f;
  Band band;
  WholeImage(target, width, height, rowStride, pointCount, triangleCount, triangles, points,
             offsetX, offsetY, f, band);

  auto level = [&f](int value) {
    return float(std::clamp(value, 0, 255)) * float(f.maxChannel) / 255.0f;
  };
  struct ColourVisitor {
    const Band& band;
    float colour[3];
    void Pixel(int x, int y, float coverage, double) {
      PlotPixel(band, band.f->target, x, y, colour[0], colour[1], colour[2], coverage);
    }
  } visitor{band, {level(red), level(green), level(blue)}};

  WalkScene(f.scene, nullptr, f.scene.triangleCount, nullptr,
            [&](int, __Triangle3ds*, const __Point3ds& a, const __Point3ds& b,
                const __Point3ds& c) {
              if (!f.sw.dubleSide && FaceNormalZ(a, b, c) < 0) return;
              const Vec3 p[3] = {ImagePoint(f.scene, a), ImagePoint(f.scene, b),
                                 ImagePoint(f.scene, c)};
              for (int e = 0; e < 3; ++e)
                ScanLine(p[e], p[(e + 1) % 3], true, LineHalfWidth(lineWidth),
                         LineRadius(lineWidth), width, 0, height, nullptr, visitor);
            });
}

}  // extern "C"
