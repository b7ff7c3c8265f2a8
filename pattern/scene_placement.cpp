#include <cfloat>
#include <cmath>

#include "pattern/growth.h"

namespace rf::pattern {

namespace {

double FiniteOrZero(double v) { return std::isfinite(v) ? v : 0.0; }

bool StoreFloat(double v, float& out) {
  if (!std::isfinite(v) || std::fabs(v) > double(FLT_MAX)) {
    out = 0.0f;
    return false;
  }
  out = float(v);
  return true;
}

}  // namespace

SceneCentre DerivedCentre(const ParameterRecord& record, const ImageGeometry& geometry) {
  const double zoom = geometry.previewScale;
  const double centreX = (double(record.CenterX) / 200.0 + 0.5) * geometry.filterWidth / zoom - geometry.offsetX;
  const double centreY = (-double(record.CenterY) / 200.0 + 0.5) * geometry.filterHeight / zoom - geometry.offsetY;
  const double dw = geometry.ScaledFilterWidth(), dh = geometry.ScaledFilterHeight();
  SceneCentre c;
  if (record.EffectKind == kFamilySingle) {
    c.x = centreX - geometry.width * 0.5;
    c.y = centreY - geometry.height * 0.5;
  } else if (record.EmitterType == kEmitterFixed) {
    c.x = centreX - dw * 0.5;
    c.y = centreY - dh * 0.5;
  } else {
    // Paths and contours are already where they belong in the image; the
    // centre only moves them.
    c.x = dw * double(record.CenterX) / 200.0;
    c.y = dh * double(record.CenterY) / -200.0;
  }
  c.x = FiniteOrZero(c.x);
  c.y = FiniteOrZero(c.y);
  return c;
}

SceneTransform MakeSceneTransform(const ParameterRecord& record, const SceneCentre& centre) {
  SceneTransform t;
  t.scale = double(record.Scale) / 100.0;
  if (!std::isfinite(t.scale)) t.scale = 1.0;
  t.cx = centre.x;
  t.cy = centre.y;
  const bool single = record.EffectKind == kFamilySingle;
  t.scaleAboutCentre = single;
  t.translate = !single && (centre.x != 0.0 || centre.y != 0.0);
  return t;
}

bool SceneTransform::Apply(float& x, float& y, float& z) const {
  double px = x, py = y, pz = z;
  if (scale != 1.0) {
    if (scaleAboutCentre) {
      px = (px - cx) * scale + cx;
      py = (py - cy) * scale + cy;
    } else {
      px *= scale;
      py *= scale;
      pz *= scale;
    }
  }
  if (translate) {
    px += cx;
    py += cy;
  }
  const bool fx = StoreFloat(px, x), fy = StoreFloat(py, y), fz = StoreFloat(pz, z);
  return fx && fy && fz;
}

void PlaceInScene(const ParameterRecord& record, const ImageGeometry& geometry, PatternList& list) {
  const SceneTransform t = MakeSceneTransform(record, DerivedCentre(record, geometry));
  if (t.IsIdentity()) return;
  for (RFTrNode* node = list.First(); node; node = node->next) {
    PatternTriangle& tri = *node->triangle;
    bool finite = true;
    for (PatternVertex& v : tri.v) finite = t.Apply(v.x, v.y, v.z) && finite;
    // A triangle with one corner thrown out of range would otherwise stretch
    // to the origin; it goes as a whole.
    if (!finite)
      for (PatternVertex& v : tri.v) v.x = v.y = v.z = 0.0f;
  }
}

}  // namespace rf::pattern
