// The curved patch a triangle with vertex normals stands for: a cubic
// triangular Bezier surface whose edge control points lie on the tangent
// planes of the vertices, with normals varying quadratically.
#include "engine3d/scan.h"

namespace rf::engine3d {

namespace {

// Orthogonal projection of q onto the plane through p perpendicular to the
// unit normal n (a zero normal leaves q where it is).
Vec3 OntoTangentPlane(Vec3 q, Vec3 p, Vec3 n) { return q - n * Dot(q - p, n); }

struct Patch {
  Vec3 corner[3];
  // edge[i][j]: control point one third along the edge from corner i
  // towards corner j.
  Vec3 edge[3][3];
  Vec3 centre;
  Vec3 normal[3];
  Vec3 midNormal01, midNormal12, midNormal02;
  double u[3], v[3];
  bool hasUV;
};

Patch BuildPatch(const TriangleSetup& t) {
  Patch patch;
  for (int i = 0; i < 3; ++i) {
    patch.corner[i] = t.v[i].p;
    patch.normal[i] = t.v[i].normal;
    patch.u[i] = t.v[i].u;
    patch.v[i] = t.v[i].v;
  }
  patch.hasUV = t.hasUV;
  Vec3 sum;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      if (i == j) continue;
      const Vec3 third = patch.corner[i] + (patch.corner[j] - patch.corner[i]) * (1.0 / 3);
      patch.edge[i][j] = OntoTangentPlane(third, patch.corner[i], patch.normal[i]);
      sum = sum + patch.edge[i][j];
    }
  }
  // The usual curved-triangle centre: the mean of the edge points pushed
  // away from the flat centre by half their offset from it.
  const Vec3 edgeMean = sum * (1.0 / 6);
  const Vec3 flatMean = (patch.corner[0] + patch.corner[1] + patch.corner[2]) * (1.0 / 3);
  patch.centre = edgeMean + (edgeMean - flatMean) * 0.5;
  patch.midNormal01 = (patch.normal[0] + patch.normal[1]) * 0.5;
  patch.midNormal12 = (patch.normal[1] + patch.normal[2]) * 0.5;
  patch.midNormal02 = (patch.normal[0] + patch.normal[2]) * 0.5;
  return patch;
}

// w[i] is the barycentric weight of corner i.
Vec3 PatchPoint(const Patch& p, const double w[3]) {
  const double a = w[0], b = w[1], c = w[2];
  return p.corner[0] * (a * a * a) + p.corner[1] * (b * b * b) + p.corner[2] * (c * c * c) +
         p.edge[0][1] * (3 * a * a * b) + p.edge[1][0] * (3 * a * b * b) +
         p.edge[0][2] * (3 * a * a * c) + p.edge[2][0] * (3 * a * c * c) +
         p.edge[1][2] * (3 * b * b * c) + p.edge[2][1] * (3 * b * c * c) +
         p.centre * (6 * a * b * c);
}

Vec3 PatchNormal(const Patch& p, const double w[3]) {
  return p.normal[0] * (w[0] * w[0]) + p.normal[1] * (w[1] * w[1]) +
         p.normal[2] * (w[2] * w[2]) + p.midNormal01 * (2 * w[0] * w[1]) +
         p.midNormal12 * (2 * w[1] * w[2]) + p.midNormal02 * (2 * w[0] * w[2]);
}

double ImageLength(Vec3 a, Vec3 b) { return std::hypot(b.x - a.x, b.y - a.y); }

// Longer than this an edge cannot usefully be sampled: the image has fewer
// pixels along any line.
double SamplingLength(const Frame& f, double length) {
  const double limit = 2.0 * (double(f.width) + f.height) + 4;
  return std::isfinite(length) ? std::min(length, limit) : limit;
}

}  // namespace

int PatchHull(const TriangleSetup& setup, Vec3 hull[10]) {
  const Patch p = BuildPatch(setup);
  int n = 0;
  for (int i = 0; i < 3; ++i) hull[n++] = p.corner[i];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      if (i != j) hull[n++] = p.edge[i][j];
  hull[n++] = p.centre;
  return n;
}

void DrawPatchWire(const Band& band, const TriangleSetup& setup, __Triangle3ds* triangle) {
  const Frame& f = *band.f;
  const Patch p = BuildPatch(setup);
  const double l1 = ImageLength(p.corner[0], p.corner[1]);
  const double l2 = ImageLength(p.corner[0], p.corner[2]);
  const double inverse1 = l1 > 0 ? 1 / SamplingLength(f, l1) : 1;
  const double inverse2 = l2 > 0 ? 1 / SamplingLength(f, l2) : 1;
  const double step = 4 * std::min(inverse1, inverse2);
  const bool backPass = band.backPass;

  for (int k = 0; k < 3; ++k) {
    const int i = k, j = (k + 1) % 3;
    auto curve = [&](double t) {
      const double s = 1 - t;
      return p.corner[i] * (s * s * s) + p.edge[i][j] * (3 * s * s * t) +
             p.edge[j][i] * (3 * s * t * t) + p.corner[j] * (t * t * t);
    };
    Vec3 previous = curve(0);
    for (int n = 1;; ++n) {
      const double t = std::min(1.0, n * step);
      double w[3] = {0, 0, 0};
      w[i] = 1 - t;
      w[j] = t;
      const Vec3 point = curve(t);
      const Vec3 normal = PatchNormal(p, w);
      const double nz = NormalisedOrSame(normal).z;
      const bool visible = f.sw.dubleSide || (backPass ? nz < 0 : nz >= -0.2);
      if (visible)
        DrawShadedLine(band, previous, point, {float(normal.x), float(normal.y), float(normal.z)},
                       triangle, setup);
      previous = point;
      if (t >= 1) break;
    }
  }
}

void SubdividePoints(const __Point3ds& a, const __Point3ds& b, const __Point3ds& c,
                     __Point3ds six[6]) {
  six[0] = a;
  six[1] = b;
  six[2] = c;
  const int ends[3][2] = {{0, 1}, {1, 2}, {2, 0}};
  for (int e = 0; e < 3; ++e) {
    const __Point3ds& pi = six[ends[e][0]];
    const __Point3ds& pj = six[ends[e][1]];
    const Vec3 vi{pi.x, pi.y, pi.z}, vj{pj.x, pj.y, pj.z};
    const Vec3 ni{pi.nx, pi.ny, pi.nz}, nj{pj.nx, pj.ny, pj.nz};
    const Vec3 mid = (vi + vj) * 0.5;
    const Vec3 ti = OntoTangentPlane(mid, vi, NormalisedOrSame(ni));
    const Vec3 tj = OntoTangentPlane(mid, vj, NormalisedOrSame(nj));
    const Vec3 q = ((ti + tj) * 0.5 + mid) * 0.5;
    const Vec3 n = (ni + nj) * 0.5;
    __Point3ds& out = six[3 + e];
    out = __Point3ds{};
    out.x = float(q.x);
    out.y = float(q.y);
    out.z = float(q.z);
    out.hasNormal = 1;
    out.nx = float(n.x);
    out.ny = float(n.y);
    out.nz = float(n.z);
    if (pi.hasUV && pj.hasUV) {
      out.hasUV = 1;
      out.u = (pi.u + pj.u) * 0.5f;
      out.v = (pi.v + pj.v) * 0.5f;
    }
  }
}

void FillSubdivided(const Band& band, __Triangle3ds* triangle, const __Point3ds six[6],
                    const Plane& destination, bool toScratch) {
  const Scene& scene = band.f->scene;
  // Corner, corner, corner, centre; each keeps the parent's turning sense.
  const int parts[4][3] = {{0, 3, 5}, {3, 1, 4}, {5, 4, 2}, {3, 4, 5}};
  for (const auto& part : parts) {
    const __Point3ds& a = six[part[0]];
    const __Point3ds& b = six[part[1]];
    const __Point3ds& c = six[part[2]];
    if (!PassesFacing(band, FaceNormalZ(a, b, c), true)) continue;
    TriangleSetup setup;
    if (!SetUpTriangle(a, b, c, scene.offsetX, scene.offsetY, setup)) continue;
    FillTriangle(band, setup, triangle, FillKind::Phong, destination,
                 toScratch ? FillInto::Scratch : FillInto::Image);
  }
}

void SamplePatch(const Band& band, const TriangleSetup& setup, __Triangle3ds* triangle,
                 bool shaded, const Plane& destination, bool toScratch) {
  const Frame& f = *band.f;
  const Scene& scene = f.scene;
  const Patch p = BuildPatch(setup);
  const double l1 = SamplingLength(f, ImageLength(p.corner[0], p.corner[1]));
  const double l2 = SamplingLength(f, ImageLength(p.corner[0], p.corner[2]));
  const double stepU = l1 > 0 ? 1 / (2 * l1) : 1;
  const double stepV = l2 > 0 ? 1 / (2 * l2) : 1;

  // Mode 10 shows the bare surface in the material's base colour.
  float plain[3] = {0.5f, 0.5f, 0.5f};
  if (!shaded && scene.materials && triangle->material < scene.materialCount) {
    const material3ds& m = scene.materials[triangle->material];
    for (int i = 0; i < 3; ++i) plain[i] = m.diffuse[i];
  }
  const float high = float(f.maxChannel);
  Surface surface;
  if (shaded) PrepareSurface(band, triangle, surface);

  const long rows = long(1 / stepU + 1e-9);
  for (long iu = 0; iu <= rows; ++iu) {
    const double u = iu * stepU;
    if (band.stop && band.stop->Tick(int(std::min(1.0 / stepV, 1e6)) + 1)) return;
    for (long iv = 0;; ++iv) {
      const double v = iv * stepV;
      if (u + v > 1 + 1e-9) break;
      const double w[3] = {std::max(0.0, 1 - u - v), u, v};
      const Vec3 point = PatchPoint(p, w);
      const double sx = point.x + 0.5, sy = point.y + 0.5;
      if (!(sx >= 0 && sy >= 0 && sx < f.width && sy < f.height)) continue;
      const int x = int(sx), y = int(sy);
      if (!band.InRows(y)) continue;
      const Vec3 normal = PatchNormal(p, w);
      if (shaded && !PassesFacing(band, normal.z, true)) continue;
      float replaced;
      if (!DepthTest(band, x, y, float(point.z), replaced)) continue;
      if (!shaded) {
        PlotPixel(band, destination, x, y, plain[0] * high, plain[1] * high, plain[2] * high, 1);
        if (toScratch) Touch(band, x, y);
        continue;
      }
      // Silhouettes fade out rather than end in a hard, aliased rim.
      const double nz = NormalisedOrSame(normal).z;
      double fade = 1;
      if (std::fabs(nz) < 0.2) fade = std::min(1.0, (nz / 0.2) * (nz / 0.2));
      float tu = 0, tv = 0;
      if (p.hasUV) {
        tu = float(w[0] * p.u[0] + w[1] * p.u[1] + w[2] * p.u[2]);
        tv = float(w[0] * p.v[0] + w[1] * p.v[1] + w[2] * p.v[2]);
      }
      float rgb[3];
      const float opacity =
          ShadePixel(band, surface, x, y, float(point.z), triangle,
                     {float(normal.x), float(normal.y), float(normal.z)}, p.hasUV, tu, tv,
                     nullptr, setup, rgb);
      PlotPixel(band, destination, x, y, rgb[0], rgb[1], rgb[2], float(opacity * fade));
      if (toScratch) Touch(band, x, y);
    }
  }
}

}  // namespace rf::engine3d
