#include "pattern/scene_cache.h"

#include "pattern/bump_source.h"
#include "platform/platform.h"

namespace rf::pattern {

SceneCache::~SceneCache() {
  platform::FreePages(triangles_);
  platform::FreePages(points_);
  platform::FreePages(texture_);
  platform::FreePages(bumpTexture_);
}

void SceneCache::ForgetForeignPointers(ParameterRecord& record) {
  if (record.CachedTriangles != triangles_ || record.CachedPoints != points_) {
    record.CachedTriangles = nullptr;
    record.CachedPoints = nullptr;
    record.CachedTriangleCount = record.CachedPointCount = 0;
    record.SceneDirty = 1;
  }
  if (record.TextureCache != texture_) record.TextureCache = nullptr;
}

void SceneCache::StoreScene(ParameterRecord& record, __Triangle3ds* triangles, __Point3ds* points,
                            uint32_t triangleCount) {
  ReleaseScene(record);
  record.CachedTriangles = triangles_ = triangles;
  record.CachedPoints = points_ = points;
  record.CachedTriangleCount = triangleCount;
  record.CachedPointCount = 3 * triangleCount;
}

// What this cache made is freed even when the record no longer points at it
// (a reset to the defaults clears the fields without freeing anything).
void SceneCache::ReleaseScene(ParameterRecord& record) {
  platform::FreePages(triangles_);
  platform::FreePages(points_);
  triangles_ = nullptr;
  points_ = nullptr;
  record.CachedTriangles = nullptr;
  record.CachedPoints = nullptr;
  record.CachedTriangleCount = 0;
  record.CachedPointCount = 0;
  record.SceneDirty = 1;
}

const uint8_t* SceneCache::Texture(ParameterRecord& record) {
  if (!record.TextureCache) {
    if (!texture_) texture_ = BuildBumpSource();
    record.TextureCache = texture_;
  }
  return record.TextureCache;
}

// The engine's texel order is blue, green, red, alpha: the grey value of
// the source lands in red, where the bump sampling reads it.
const uint8_t* SceneCache::BumpTexture(ParameterRecord& record) {
  const uint8_t* source = Texture(record);
  if (!source) return nullptr;
  if (bumpTexture_ && bumpTextureSource_ == source) return bumpTexture_;
  platform::FreePages(bumpTexture_);
  bumpTexture_ = static_cast<uint8_t*>(platform::AllocPages(size_t(kBumpSize) * kBumpSize * 4));
  bumpTextureSource_ = bumpTexture_ ? source : nullptr;
  if (!bumpTexture_) return nullptr;
  for (size_t i = 0; i < size_t(kBumpSize) * kBumpSize; ++i) {
    bumpTexture_[i * 4 + 0] = source[i * 3 + 2];
    bumpTexture_[i * 4 + 1] = source[i * 3 + 1];
    bumpTexture_[i * 4 + 2] = source[i * 3 + 0];
    bumpTexture_[i * 4 + 3] = 255;
  }
  return bumpTexture_;
}

void SceneCache::ReleaseTexture(ParameterRecord& record) {
  platform::FreePages(texture_);
  platform::FreePages(bumpTexture_);
  texture_ = bumpTexture_ = nullptr;
  bumpTextureSource_ = nullptr;
  record.TextureCache = nullptr;
}

}  // namespace rf::pattern
