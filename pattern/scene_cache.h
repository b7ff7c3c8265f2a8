// Rimeflower: the scene kept between renders, and who owns it.
//
// The parameter record carries the cached scene arrays and the bump source
// (`CachedTriangles`, `CachedPoints`, `TextureCache`) so that a preview can be
// re-rendered without regrowing. The record lives in a host handle, though:
// it may come back from an earlier load of the module, or from a host that
// saved it with its pointers. A SceneCache remembers which pointers this
// module made, and only those are ever freed; any other pointer found in a
// record is cleared and forgotten.
//
// The entry point owns one SceneCache for the life of the module and hands
// it to scene assembly with the record.
#pragma once

#include <cstdint>

#include "engine3d/render.h"
#include "host/record/parameters.h"

namespace rf::pattern {

class SceneCache {
 public:
  SceneCache() = default;
  SceneCache(const SceneCache&) = delete;
  SceneCache& operator=(const SceneCache&) = delete;
  ~SceneCache();

  // Clears the record's pointer fields that this cache did not make; a
  // cleared scene marks the record dirty.
  void ForgetForeignPointers(ParameterRecord& record);

  // Replaces the record's scene with `triangles` and `points` (committed
  // pages, now owned here), releasing the previous one.
  void StoreScene(ParameterRecord& record, __Triangle3ds* triangles, __Point3ds* points, uint32_t triangleCount);
  // Releases the record's scene and marks the record dirty.
  void ReleaseScene(ParameterRecord& record);

  // The record's bump source, built on first use; null when the module's
  // bitmap cannot be read or memory is short.
  const uint8_t* Texture(ParameterRecord& record);
  // The bump source in the engine's texel order, made once per bump source.
  const uint8_t* BumpTexture(ParameterRecord& record);
  // Releases both textures.
  void ReleaseTexture(ParameterRecord& record);

  // The engine's work buffers, kept between the renders of one size (the
  // preview's), released at the end of a final run.
  engine3d::RenderContext& RenderContext() { return renderContext_; }

 private:
  __Triangle3ds* triangles_ = nullptr;
  __Point3ds* points_ = nullptr;
  uint8_t* texture_ = nullptr;
  uint8_t* bumpTexture_ = nullptr;
  const uint8_t* bumpTextureSource_ = nullptr;
  engine3d::RenderContext renderContext_;
};

}  // namespace rf::pattern
