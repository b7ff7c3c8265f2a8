// Rimeflower engine: the render call for the plug-in's own use, with a
// context kept between renders, threads and a stop request. Not exported
// from the module; __RasterScene is this call on a default context.
//
// How to use it:
//   1. Keep a RenderContext for as long as renders of one size follow each
//      other (the dialog's preview keeps one); its work images, depth images
//      and threads' buffers are reused while the size stays the same.
//   2. Set the switches with the exported __Set* functions, as for
//      __RasterScene; a render reads them once, at its start.
//   3. Fill a SceneInput (the arguments of __RasterScene) and call
//      RasterScene with a RenderControl.
//
// Threads: the image is drawn in bands of whole rows, several at once; a
// band's pixels depend only on the scene and its own rows, so the bytes are
// the same for any thread count. Three looks read pixels that other bands
// draw and are drawn on the calling thread alone, in one band: glass that
// sees other glass behind it (_UseMultyRefract with a glass material), glass
// over a back-face pass (_DrawBackFaces with a glass material), and any
// per-pixel function installed with __SetNewRenderOnePixel, which is only
// ever called on the calling thread.
//
// Stopping: shouldStop is called only on the calling thread: at its first
// few thousand pixels of work, then about every 10 ms (every few thousand
// pixels, once 10 ms have passed since the last call), also while the
// calling thread waits for the others; worker threads never call it. When it
// answers true the render ends as soon as every thread has finished its
// current few thousand pixels, and the target holds part of the picture.
#pragma once

#include "engine3d/engine3d.h"

#include <memory>

namespace rf::engine3d {

struct RenderControl {
  int threads = 0;  // 0: one per processor the process may use; 1: the calling thread only
  bool (*shouldStop)(void* context) = nullptr;  // polled on the calling thread only
  void* context = nullptr;
};

enum class RenderStatus {
  Done,
  Stopped,      // shouldStop answered true; the target is partly drawn
  OutOfMemory,  // no work image could be had; the target is untouched
};

// The arguments of __RasterScene, with the same meaning.
struct SceneInput {
  unsigned char* target = nullptr;
  unsigned char* source = nullptr;
  int width = 0;
  int height = 0;
  int rowStride = 0;
  int pointCount = 0;
  int triangleCount = 0;
  __Triangle3ds* triangles = nullptr;
  __Point3ds* points = nullptr;
  int offsetX = 0;
  int offsetY = 0;
  int materialCount = 0;
  material3ds* materials = nullptr;
  __Texture* textures = nullptr;
  int lightCount = 0;
  light3ds* lights = nullptr;
  GlassProp* glass = nullptr;
};

// Work images, depth images and per-thread buffers kept between renders.
// One context serves one render at a time.
class RenderContext {
 public:
  RenderContext();
  ~RenderContext();
  RenderContext(const RenderContext&) = delete;
  RenderContext& operator=(const RenderContext&) = delete;

  // Gives the kept buffers back to the system.
  void Release();

  struct Buffers;
  Buffers& buffers() { return *buffers_; }

 private:
  std::unique_ptr<Buffers> buffers_;
};

// Renders like __RasterScene (same pixels, same use of ZBuff, Zwidth and
// Zheight, of the installed per-pixel function and default light) with the
// switches as the exported __Set* functions left them at the call. A render
// whose image size is unusable draws nothing and answers Done.
RenderStatus RasterScene(RenderContext& context, const RenderControl& control,
                         const SceneInput& scene);

// False when the last __RasterScene or __RasterSolid call drew nothing
// because its image size was unusable or its buffers could not be allocated.
bool LastRenderCompleted();

}  // namespace rf::engine3d
