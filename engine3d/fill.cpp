// The shaded triangle fill (flat and Phong) and the shaded line.
#include "engine3d/scan.h"

namespace rf::engine3d {

namespace {

class FillVisitor {
 public:
  FillVisitor(const Scene& scene, const TriangleSetup& setup, __Triangle3ds* triangle,
              FillKind kind, unsigned char* destination)
      : scene_(scene), setup_(setup), triangle_(triangle), flat_(kind == FillKind::Flat),
        destination_(destination) {}

  // Border pixels are drawn but never occlude: their depth is put back, so
  // the neighbouring triangle still draws its own pixels there.
  void Edge(int x, int y, float coverage) {
    const float depth = float(PlaneDepth(setup_, x, y));
    float previous;
    if (!DepthTest(x, y, depth, previous)) return;
    const PixelAttributes at = Attributes(x, y, depth);
    float rgb[3];
    const float opacity = ShadePixel(scene_, x, y, depth, triangle_, at.normal, setup_.hasUV,
                                     at.u, at.v, nullptr, setup_, rgb);
    PlotPixel(destination_, x, y, rgb[0], rgb[1], rgb[2], coverage * opacity);
    RestoreDepth(x, y, previous);
  }

  void BeginSpan() {
    previousInSpan_ = false;
    previousKnown_ = false;
  }

  // The previous pixel of a span is always x - 1; its attributes are only
  // worked out when a shaded pixel asks for them.
  void Inner(int x, int y) {
    const float depth = float(PlaneDepth(setup_, x, y));
    float replaced;
    if (!DepthTest(x, y, depth, replaced)) {
      previousKnown_ = false;
      previousInSpan_ = true;
      return;
    }
    __PrevInfo info{};
    if (previousInSpan_) {
      if (!previousKnown_) {
        const float previousDepth = float(PlaneDepth(setup_, x - 1, y));
        previous_ = Attributes(x - 1, y, previousDepth);
      }
      info.nx = previous_.normal.x;
      info.ny = previous_.normal.y;
      info.nz = previous_.normal.z;
      info.valid = 1;
      info.x = float(x - 1 - scene_.offsetX);
      info.y = float(y - scene_.offsetY);
      info.u = previous_.u;
      info.v = previous_.v;
    }
    const PixelAttributes at = Attributes(x, y, depth);
    float rgb[3];
    const float opacity = ShadePixel(scene_, x, y, depth, triangle_, at.normal, setup_.hasUV,
                                     at.u, at.v, &info, setup_, rgb);
    PlotPixel(destination_, x, y, rgb[0], rgb[1], rgb[2], opacity);
    previous_ = at;
    previousKnown_ = true;
    previousInSpan_ = true;
  }

 private:
  PixelAttributes Attributes(int x, int y, float depth) const {
    return InterpolateAttributes(setup_, x, y, depth, flat_, scene_.offsetX, scene_.offsetY);
  }

  const Scene& scene_;
  const TriangleSetup& setup_;
  __Triangle3ds* triangle_;
  bool flat_;
  unsigned char* destination_;
  bool previousInSpan_ = false;
  bool previousKnown_ = false;
  PixelAttributes previous_;
};

class LineVisitor {
 public:
  LineVisitor(const Scene& scene, Vec3 from, Vec3 to, __Point normal, __Triangle3ds* triangle,
              const TriangleSetup& plane, bool keepDepth)
      : scene_(scene), from_(from), to_(to), normal_(normal), triangle_(triangle),
        plane_(plane), keepDepth_(keepDepth) {}

  void Pixel(int x, int y, float coverage, double along) {
    const float depth = float(from_.z + along * (to_.z - from_.z));
    float previous;
    if (!DepthTest(x, y, depth, previous)) return;
    float rgb[3];
    const float opacity =
        ShadePixel(scene_, x, y, depth, triangle_, normal_, false, 0, 0, nullptr, plane_, rgb);
    PlotPixel(TargetImage, x, y, rgb[0], rgb[1], rgb[2], coverage * opacity);
    if (!keepDepth_) RestoreDepth(x, y, previous);
  }

 private:
  const Scene& scene_;
  Vec3 from_, to_;
  __Point normal_;
  __Triangle3ds* triangle_;
  const TriangleSetup& plane_;
  bool keepDepth_;
};

}  // namespace

void FillTriangle(const Scene& scene, const TriangleSetup& setup, __Triangle3ds* triangle,
                  FillKind kind, unsigned char* destination) {
  FillVisitor visitor(scene, setup, triangle, kind, destination);
  ScanTriangle(setup, _Quality == 1, RenderWidth, RenderHeight, visitor);
}

void DrawShadedLine(const Scene& scene, Vec3 from, Vec3 to, __Point normal,
                    __Triangle3ds* triangle, const TriangleSetup& plane) {
  const bool antialias = _Quality == 1;
  // Stepped lines occlude like filled pixels; antialiased ones behave like
  // a fill's border pixels and leave the depth as they found it.
  LineVisitor visitor(scene, from, to, normal, triangle, plane, !antialias);
  ScanLine(from, to, antialias, LineHalfWidth(_WireSize), LineRadius(_WireSize), RenderWidth,
           RenderHeight, visitor);
}

}  // namespace rf::engine3d
