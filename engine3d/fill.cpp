// The shaded triangle fill (flat and Phong) and the shaded line.
#include "engine3d/scan.h"

namespace rf::engine3d {

namespace {

class FillVisitor {
 public:
  FillVisitor(const Band& band, const TriangleSetup& setup, __Triangle3ds* triangle,
              FillKind kind, const Plane& destination, FillInto into)
      : band_(band), setup_(setup), triangle_(triangle), flat_(kind == FillKind::Flat),
        destination_(destination), toScratch_(into != FillInto::Image) {
    PrepareSurface(band, triangle, surface_);
    // The built-in shading reads texture coordinates only for its maps and
    // the previous pixel only for their and the glass's footprints.
    const bool custom = band.f->custom != nullptr;
    // Without an opacity map the built-in shading gives every pixel the
    // material's opacity; an opaque triangle's span pixels replace whatever
    // it drew there before, and each pixel it draws is drawn once, so it can
    // be composited as it is shaded.
    opaque_ = !custom && !surface_.opacityMap && surface_.opacity >= 1;
    direct_ = opaque_ && into == FillInto::ScratchAlone;
    // Pixels are shaded in batches when no pixel's shading can see another
    // one drawn: everywhere but under glass that reads the target.
    batched_ = !custom && !band.f->backgroundCopy.data;
    if (batched_) {
      const Scene& s = band.f->scene;
      batch_.originX = float(s.offsetX);
      batch_.originY = float(s.offsetY);
      batch_.hasUV = setup.hasUV;
      batch_.A = float(setup.A);
      batch_.B = float(setup.B);
      batch_.C = float(setup.C);
      batch_.D = float(setup.D);
    }
    const bool maps = surface_.colourMap || surface_.opacityMap || surface_.bumpMap;
    withUV_ = custom || maps;
    withPrevious_ = custom || (band.f->sw.quality == 1 && (maps || surface_.glass));
    // Inside the triangle the weights need no clamping and sum to one, and
    // the built-in shading normalises the normal anyway: there the normal
    // is one affine form of the pixel position. (Of a span only the first
    // pixel can lie outside, left of the crossing, when it is not
    // antialiased.)
    // So are the texture coordinates, unless a perspective moved the points.
    const Switches& sw = band.f->sw;
    const bool perspective = sw.perspVal != 0 && sw.perspFar != 0;
    affineNormal_ = !custom && !flat_ && !withPrevious_ && !(withUV_ && perspective) &&
                    !(sw.usePhong2 && sw.quality == 1);
    if (affineNormal_) {
      const Vec3* n[3] = {&setup.v[0].normal, &setup.v[1].normal, &setup.v[2].normal};
      normalX_ = *n[0] * setup.weightX[0] + *n[1] * setup.weightX[1] + *n[2] * setup.weightX[2];
      normalY_ = *n[0] * setup.weightY[0] + *n[1] * setup.weightY[1] + *n[2] * setup.weightY[2];
      normalC_ = *n[0] * setup.weightC[0] + *n[1] * setup.weightC[1] + *n[2] * setup.weightC[2];
      const SetupVertex* v = setup.v;
      uvX_ = {v[0].u * setup.weightX[0] + v[1].u * setup.weightX[1] + v[2].u * setup.weightX[2],
              v[0].v * setup.weightX[0] + v[1].v * setup.weightX[1] + v[2].v * setup.weightX[2], 0};
      uvY_ = {v[0].u * setup.weightY[0] + v[1].u * setup.weightY[1] + v[2].u * setup.weightY[2],
              v[0].v * setup.weightY[0] + v[1].v * setup.weightY[1] + v[2].v * setup.weightY[2], 0};
      uvC_ = {v[0].u * setup.weightC[0] + v[1].u * setup.weightC[1] + v[2].u * setup.weightC[2],
              v[0].v * setup.weightC[0] + v[1].v * setup.weightC[1] + v[2].v * setup.weightC[2], 0};
    }
  }

  // Border pixels are drawn but never occlude: their depth is put back, so
  // the neighbouring triangle still draws its own pixels there.
  void Edge(int x, int y, float coverage) {
    const float depth = float(PlaneDepth(setup_, x, y));
    float previous;
    if (!DepthTest(band_, x, y, depth, previous)) return;
    const PixelAttributes at = Attributes(x, y, depth);
    if (batched_) {
      // The built-in shading never reads the depth image.
      RestoreDepth(band_, x, y, previous);
      Queue(x, y, depth, at, nullptr, coverage);
      return;
    }
    float rgb[3];
    const float opacity = ShadePixel(band_, surface_, x, y, depth, triangle_, at.normal,
                                     setup_.hasUV, at.u, at.v, nullptr, setup_, rgb);
    Put(x, y, rgb, coverage * opacity);
    RestoreDepth(band_, x, y, previous);
  }

  bool SpansHideEdges() const { return opaque_; }

  void BeginSpan() {
    previousInSpan_ = false;
    previousKnown_ = false;
  }

  // The previous pixel of a span is always x - 1; its attributes are only
  // worked out when a shaded pixel asks for them.
  void Inner(int x, int y) {
    const float depth = float(PlaneDepth(setup_, x, y));
    float replaced;
    if (!DepthTest(band_, x, y, depth, replaced)) {
      previousKnown_ = false;
      previousInSpan_ = true;
      return;
    }
    __PrevInfo info{};
    const bool firstInSpan = !previousInSpan_;
    if (affineNormal_ && !(firstInSpan && band_.f->sw.quality != 1)) {
      previousInSpan_ = true;
      const Vec3 n = normalX_ * double(x) + normalY_ * double(y) + normalC_;
      PixelAttributes at;
      at.normal = __Point{float(n.x), float(n.y), float(n.z)};
      if (withUV_ && setup_.hasUV) {
        const Vec3 uv = uvX_ * double(x) + uvY_ * double(y) + uvC_;
        at.u = float(uv.x);
        at.v = float(uv.y);
      }
      Shade(x, y, depth, at, nullptr);
      return;
    }
    if (!withPrevious_) {
      previousInSpan_ = true;
      Shade(x, y, depth, Attributes(x, y, depth), nullptr);
      return;
    }
    if (previousInSpan_) {
      if (!previousKnown_) {
        const float previousDepth = float(PlaneDepth(setup_, x - 1, y));
        previous_ = Attributes(x - 1, y, previousDepth);
      }
      info.nx = previous_.normal.x;
      info.ny = previous_.normal.y;
      info.nz = previous_.normal.z;
      info.valid = 1;
      info.x = float(x - 1 - band_.f->scene.offsetX);
      info.y = float(y - band_.f->scene.offsetY);
      info.u = previous_.u;
      info.v = previous_.v;
    }
    const PixelAttributes at = Attributes(x, y, depth);
    Shade(x, y, depth, at, &info);
    previous_ = at;
    previousKnown_ = true;
    previousInSpan_ = true;
  }

  // Shades and draws what is queued.
  void Flush() {
    if (batch_.count == 0) return;
    ShadeSurfaces(band_, surface_, batch_);
    for (int k = 0; k < batch_.count; ++k) {
      float opacity = batch_.opacity[k];
      if (!(opacity > 0)) opacity = 0;
      if (opacity > 1) opacity = 1;
      const float rgb[3] = {batch_.red[k], batch_.green[k], batch_.blue[k]};
      Put(queuedX_[k], queuedY_[k], rgb, coverage_[k] * opacity);
    }
    batch_.count = 0;
  }

 private:
  PixelAttributes Attributes(int x, int y, float depth) const {
    return InterpolateAttributes(*band_.f, setup_, x, y, depth, flat_, withUV_);
  }

  void Shade(int x, int y, float depth, const PixelAttributes& at, __PrevInfo* info) {
    if (batched_) {
      Queue(x, y, depth, at, info, 1.0f);
      return;
    }
    float rgb[3];
    const float opacity = ShadePixel(band_, surface_, x, y, depth, triangle_, at.normal,
                                     setup_.hasUV, at.u, at.v, info, setup_, rgb);
    Put(x, y, rgb, opacity);
  }

  void Queue(int x, int y, float depth, const PixelAttributes& at, const __PrevInfo* info,
             float coverage) {
    const int k = batch_.count;
    const Scene& s = band_.f->scene;
    queuedX_[k] = x;
    queuedY_[k] = y;
    coverage_[k] = coverage;
    batch_.px[k] = float(x - s.offsetX);
    batch_.py[k] = float(y - s.offsetY);
    batch_.pz[k] = depth;
    batch_.nx[k] = at.normal.x;
    batch_.ny[k] = at.normal.y;
    batch_.nz[k] = at.normal.z;
    batch_.u[k] = at.u;
    batch_.v[k] = at.v;
    batch_.hasPrevious[k] = info != nullptr;
    if (info) batch_.previous[k] = *info;
    if (++batch_.count == kShadeBatch) Flush();
  }

  void Put(int x, int y, const float rgb[3], float opacity) {
    if (direct_) {
      CompositePixel(band_, x, y, rgb, opacity);
      return;
    }
    PlotPixel(band_, destination_, x, y, rgb[0], rgb[1], rgb[2], opacity);
    if (toScratch_) Touch(band_, x, y);
  }

  const Band& band_;
  const TriangleSetup& setup_;
  __Triangle3ds* triangle_;
  bool flat_;
  const Plane& destination_;
  bool toScratch_;
  bool opaque_ = false, direct_ = false, batched_ = false;
  Surface surface_;
  bool withUV_ = true, withPrevious_ = true, affineNormal_ = false;
  Vec3 normalX_, normalY_, normalC_;
  Vec3 uvX_, uvY_, uvC_;  // u and v in x and y
  bool previousInSpan_ = false;
  bool previousKnown_ = false;
  PixelAttributes previous_;
  ShadeBatch batch_;
  int queuedX_[kShadeBatch], queuedY_[kShadeBatch];
  float coverage_[kShadeBatch];
};

class LineVisitor {
 public:
  LineVisitor(const Band& band, Vec3 from, Vec3 to, __Point normal, __Triangle3ds* triangle,
              const TriangleSetup& plane, bool keepDepth)
      : band_(band), from_(from), to_(to), normal_(normal), triangle_(triangle),
        plane_(plane), keepDepth_(keepDepth) {
    PrepareSurface(band, triangle, surface_);
  }

  void Pixel(int x, int y, float coverage, double along) {
    const float depth = float(from_.z + along * (to_.z - from_.z));
    float previous;
    if (!DepthTest(band_, x, y, depth, previous)) return;
    float rgb[3];
    const float opacity =
        ShadePixel(band_, surface_, x, y, depth, triangle_, normal_, false, 0, 0, nullptr, plane_,
                   rgb);
    PlotPixel(band_, band_.f->target, x, y, rgb[0], rgb[1], rgb[2], coverage * opacity);
    if (!keepDepth_) RestoreDepth(band_, x, y, previous);
  }

 private:
  const Band& band_;
  Vec3 from_, to_;
  __Point normal_;
  __Triangle3ds* triangle_;
  const TriangleSetup& plane_;
  bool keepDepth_;
  Surface surface_;
};

}  // namespace

void FillTriangle(const Band& band, const TriangleSetup& setup, __Triangle3ds* triangle,
                  FillKind kind, const Plane& destination, FillInto into) {
  FillVisitor visitor(band, setup, triangle, kind, destination, into);
  ScanTriangle(setup, band.f->sw.quality == 1, band.f->width, band.y0, band.y1, band.stop,
               visitor);
  visitor.Flush();
}

void DrawShadedLine(const Band& band, Vec3 from, Vec3 to, __Point normal,
                    __Triangle3ds* triangle, const TriangleSetup& plane) {
  const Switches& sw = band.f->sw;
  const bool antialias = sw.quality == 1;
  // Stepped lines occlude like filled pixels; antialiased ones behave like
  // a fill's border pixels and leave the depth as they found it.
  LineVisitor visitor(band, from, to, normal, triangle, plane, !antialias);
  ScanLine(from, to, antialias, LineHalfWidth(sw.wireSize), LineRadius(sw.wireSize),
           band.f->width, band.y0, band.y1, band.stop, visitor);
}

}  // namespace rf::engine3d
