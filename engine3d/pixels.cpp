// Pixel writes, the depth test and the per-triangle scratch compositing.
#include "engine3d/internal.h"

#include <algorithm>

namespace rf::engine3d {

void PlotPixel(unsigned char* image, int x, int y, float red, float green, float blue,
               float opacity) {
  if (!image || x < 0 || y < 0 || x >= RenderWidth || y >= RenderHeight) return;
  if (!(opacity > 0)) return;
  const size_t at = ChannelIndex(x, y);
  const float rgb[3] = {red, green, blue};
  const float high = float(MaxChannelValue);
  if (opacity >= 1) {
    for (int i = 0; i < 3; ++i) WriteChannel(image, at + i, RoundChannel(rgb[i]));
    WriteChannel(image, at + 3, MaxChannelValue);
    return;
  }
  const int alpha = RoundChannel(high * opacity);
  const int oldAlpha = ReadChannel(image, at + 3);
  if (oldAlpha == 0) {
    for (int i = 0; i < 3; ++i) WriteChannel(image, at + i, RoundChannel(rgb[i]));
    WriteChannel(image, at + 3, alpha);
    return;
  }
  for (int i = 0; i < 3; ++i) {
    const float old = float(ReadChannel(image, at + i));
    WriteChannel(image, at + i, RoundChannel(old * (1 - opacity) + rgb[i] * opacity));
  }
  WriteChannel(image, at + 3, std::max(alpha, oldAlpha));
}

bool DepthTest(int x, int y, float depth, float& previous) {
  previous = depth;
  if (!ZBuff) return true;
  if (x < 0 || y < 0 || x >= Zwidth || y >= Zheight) return false;
  float& stored = ZBuff[size_t(y) * size_t(Zwidth) + size_t(x)];
  if (!(depth > stored)) return false;
  previous = stored;
  stored = depth;
  return true;
}

void RestoreDepth(int x, int y, float previous) {
  if (!ZBuff || x < 0 || y < 0 || x >= Zwidth || y >= Zheight) return;
  ZBuff[size_t(y) * size_t(Zwidth) + size_t(x)] = previous;
}

float ShadePixel(const Scene& scene, int x, int y, float depth, __Triangle3ds* triangle,
                 __Point normal, bool hasUV, float u, float v, __PrevInfo* previous,
                 const TriangleSetup& plane, float rgb[3]) {
  rgb[0] = rgb[1] = rgb[2] = 0;
  const float opacity = ActiveRenderOnePixel(
      float(scene.offsetX), float(scene.offsetY), scene.target, scene.source,
      float(x - scene.offsetX), float(y - scene.offsetY), depth, triangle, scene.materials,
      scene.materialCount, rgb[0], rgb[1], rgb[2], &normal, hasUV ? 1 : 0, u, v,
      scene.textures, scene.lightCount, scene.lights, previous, scene.glass, float(plane.A),
      float(plane.B), float(plane.C), float(plane.D));
  if (!(opacity > 0)) return 0;
  return opacity > 1 ? 1 : opacity;
}

PixelBox GrownBox(const Vec3* points, int count, int margin) {
  PixelBox box;
  if (count < 1 || RenderWidth < 1 || RenderHeight < 1) return box;
  double minX = points[0].x, maxX = minX, minY = points[0].y, maxY = minY;
  for (int i = 1; i < count; ++i) {
    minX = std::min(minX, points[i].x);
    maxX = std::max(maxX, points[i].x);
    minY = std::min(minY, points[i].y);
    maxY = std::max(maxY, points[i].y);
  }
  if (!std::isfinite(minX) || !std::isfinite(maxX) || !std::isfinite(minY) ||
      !std::isfinite(maxY))
    return box;
  // Clamp in floating point first: a coordinate far outside the image must
  // not reach the integer conversion.
  const double lowX = std::clamp(std::floor(minX) - margin, -1.0, double(RenderWidth));
  const double highX = std::clamp(std::ceil(maxX) + margin, -1.0, double(RenderWidth));
  const double lowY = std::clamp(std::floor(minY) - margin, -1.0, double(RenderHeight));
  const double highY = std::clamp(std::ceil(maxY) + margin, -1.0, double(RenderHeight));
  box.x0 = std::max(0, int(lowX));
  box.x1 = std::min(RenderWidth - 1, int(highX));
  box.y0 = std::max(0, int(lowY));
  box.y1 = std::min(RenderHeight - 1, int(highY));
  return box;
}

void ClearScratch(const PixelBox& box) {
  if (!TriangleScratch || box.Empty()) return;
  const size_t bytes = size_t(box.x1 - box.x0 + 1) * 4 * BytesPerChannel();
  for (int y = box.y0; y <= box.y1; ++y)
    std::memset(TriangleScratch + ChannelIndex(box.x0, y) * BytesPerChannel(), 0, bytes);
}

void CompositeScratch(const PixelBox& box) {
  if (!TriangleScratch || box.Empty()) return;
  const int high = MaxChannelValue;
  const int newEdgeDifference = 20;
  for (int y = box.y0; y <= box.y1; ++y) {
    for (int x = box.x0; x <= box.x1; ++x) {
      const size_t at = ChannelIndex(x, y);
      const int s = ReadChannel(TriangleScratch, at + 3);
      if (s == 0) continue;
      int scratch[3];
      for (int i = 0; i < 3; ++i) scratch[i] = ReadChannel(TriangleScratch, at + i);
      if (s == high) {
        for (int i = 0; i < 3; ++i) {
          WriteChannel(TargetImage, at + i, scratch[i]);
          WriteChannel(UnderColourBuffer, at + i, scratch[i]);
          WriteChannel(EdgeColourBuffer, at + i, scratch[i]);
        }
        WriteChannel(TargetImage, at + 3, high);
        continue;
      }
      const int targetAlpha = ReadChannel(TargetImage, at + 3);
      if (targetAlpha == 0) {
        for (int i = 0; i < 3; ++i) WriteChannel(TargetImage, at + i, scratch[i]);
        WriteChannel(TargetImage, at + 3, s);
        continue;
      }

      // A partial pixel over something already drawn. When the previous
      // partial pixel here had about the same colour, it was a neighbour of
      // the same surface continuing the edge: blend over what lay under the
      // first one instead of over the first one, or the shared edge would
      // show as a seam.
      const int edgeAlpha = ReadChannel(EdgeColourBuffer, at + 3);
      int difference = 0;
      for (int i = 0; i < 3; ++i) {
        int d = std::abs(ReadChannel(EdgeColourBuffer, at + i) - scratch[i]);
        if (_Deep) d /= 256;
        difference = std::max(difference, d);
      }
      int weight;
      int under[3];
      if (edgeAlpha == 0 || difference >= newEdgeDifference) {
        for (int i = 0; i < 3; ++i) {
          under[i] = ReadChannel(TargetImage, at + i);
          WriteChannel(UnderColourBuffer, at + i, under[i]);
          WriteChannel(EdgeColourBuffer, at + i, scratch[i]);
        }
        WriteChannel(EdgeColourBuffer, at + 3, s);
        weight = s;
      } else {
        weight = edgeAlpha;
        if (s > edgeAlpha) {
          WriteChannel(EdgeColourBuffer, at + 3, s);
          weight = s;
        }
        for (int i = 0; i < 3; ++i) under[i] = ReadChannel(UnderColourBuffer, at + i);
      }
      const float w = float(weight) / float(high);
      for (int i = 0; i < 3; ++i)
        WriteChannel(TargetImage, at + i, RoundChannel(w * scratch[i] + (1 - w) * under[i]));
      WriteChannel(TargetImage, at + 3, std::max(weight, targetAlpha));
    }
  }
}

}  // namespace rf::engine3d
