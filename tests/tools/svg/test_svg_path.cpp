// SVG drawings to path records: path data in all its forms, transforms,
// arcs, the records themselves, and refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "pattern/path_emitter.h"
#include "tools/svg/svg_path.h"

namespace rf::tools {
namespace {

constexpr double kPi = 3.14159265358979323846;

std::string Svg(const std::string& body) {
  return "<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"400\" height=\"300\">\n" + body +
         "\n</svg>\n";
}

std::vector<SvgSubpath> Parse(const std::string& body) {
  std::vector<SvgSubpath> subpaths;
  std::string error;
  EXPECT_TRUE(ParseSvgPaths(Svg(body), subpaths, error)) << error;
  return subpaths;
}

std::vector<SvgSubpath> PathData(const std::string& d) { return Parse("<path d=\"" + d + "\"/>"); }

std::string ErrorOf(const std::string& text) {
  std::vector<SvgSubpath> subpaths;
  std::string error;
  EXPECT_FALSE(ParseSvgPaths(text, subpaths, error)) << "accepted: " << text;
  EXPECT_TRUE(subpaths.empty());
  EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  return error;
}

void ExpectKnot(const SvgKnot& k, double inX, double inY, double x, double y, double outX, double outY,
                double tolerance = 1e-9) {
  const double got[6] = {k.inX, k.inY, k.x, k.y, k.outX, k.outY}, want[6] = {inX, inY, x, y, outX, outY};
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(got[i], want[i], tolerance) << i;
}

void ExpectSame(const std::vector<SvgSubpath>& a, const std::vector<SvgSubpath>& b, double tolerance = 1e-9) {
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].closed, b[i].closed) << i;
    ASSERT_EQ(a[i].knots.size(), b[i].knots.size()) << i;
    for (size_t k = 0; k < a[i].knots.size(); ++k) {
      const SvgKnot& q = b[i].knots[k];
      ExpectKnot(a[i].knots[k], q.inX, q.inY, q.x, q.y, q.outX, q.outY, tolerance);
    }
  }
}

// A point of the cubic from knot k to knot k + 1 (or back to the first).
void CubicPoint(const SvgSubpath& s, size_t k, double t, double& x, double& y) {
  const SvgKnot& a = s.knots[k];
  const SvgKnot& b = s.knots[(k + 1) % s.knots.size()];
  const double u = 1 - t;
  x = u * u * u * a.x + 3 * u * u * t * a.outX + 3 * u * t * t * b.inX + t * t * t * b.x;
  y = u * u * u * a.y + 3 * u * u * t * a.outY + 3 * u * t * t * b.inY + t * t * t * b.y;
}

TEST(SvgPathData, LinesAndClosing) {
  const auto open = PathData("M 10 20 L 30 40 H 50 V 60");
  ASSERT_EQ(open.size(), 1u);
  EXPECT_FALSE(open[0].closed);
  ASSERT_EQ(open[0].knots.size(), 4u);
  // Lines keep their controls on the anchors.
  ExpectKnot(open[0].knots[0], 10, 20, 10, 20, 10, 20);
  ExpectKnot(open[0].knots[3], 50, 60, 50, 60, 50, 60);

  const auto square = PathData("M0 0 H10 V10 H0 Z");
  ASSERT_EQ(square.size(), 1u);
  EXPECT_TRUE(square[0].closed);
  EXPECT_EQ(square[0].knots.size(), 4u);
  // Drawn back to the start before closing: the two ends are one knot.
  ExpectSame(PathData("M0 0 H10 V10 H0 V0 Z"), square);

  // Each M starts a subpath; drawing after Z starts one at the old start.
  const auto several = PathData("M0 0 L5 5 M10 10 L20 20 L10 20 Z L 0 30");
  ASSERT_EQ(several.size(), 3u);
  EXPECT_FALSE(several[0].closed);
  EXPECT_TRUE(several[1].closed);
  ExpectKnot(several[2].knots[0], 10, 10, 10, 10, 10, 10);
  EXPECT_EQ(several[2].knots.size(), 2u);

  // Nothing drawn: a lone moveto is no subpath.
  EXPECT_TRUE(PathData("M 5 5").empty());
  EXPECT_TRUE(PathData("M 5 5 M 6 6 Z").empty());
}

TEST(SvgPathData, CurvesRaisedAndReflected) {
  const auto c = PathData("M0 0 C 10 0 20 10 20 20 S 30 40 40 40");
  ASSERT_EQ(c[0].knots.size(), 3u);
  ExpectKnot(c[0].knots[0], 0, 0, 0, 0, 10, 0);
  // S reflects the last second control about the current point.
  ExpectKnot(c[0].knots[1], 20, 10, 20, 20, 20, 30);
  ExpectKnot(c[0].knots[2], 30, 40, 40, 40, 40, 40);
  // S without a cubic before it starts from the current point.
  ExpectKnot(PathData("M0 0 S 30 0 30 30")[0].knots[0], 0, 0, 0, 0, 0, 0);

  // Quadratics: controls two thirds of the way to the quadratic's control.
  const auto q = PathData("M0 0 Q 30 0 30 30 T 60 60");
  ASSERT_EQ(q[0].knots.size(), 3u);
  ExpectKnot(q[0].knots[0], 0, 0, 0, 0, 20, 0);
  ExpectKnot(q[0].knots[1], 30, 10, 30, 30, 30, 50);  // T's control: (30, 60)
  ExpectKnot(q[0].knots[2], 40, 60, 60, 60, 60, 60);
  // T without a quadratic before it is a line (its control on the start).
  ExpectKnot(PathData("M0 0 T 30 30")[0].knots[0], 0, 0, 0, 0, 0, 0);
  ExpectKnot(PathData("M0 0 T 30 30")[0].knots[1], 10, 10, 30, 30, 30, 30);
}

TEST(SvgPathData, RelativeFormsMatchAbsoluteOnes) {
  const std::pair<const char*, const char*> pairs[] = {
      {"M10 10 L20 10 H30 V20 Z", "m10 10 l10 0 h10 v10 z"},
      {"M10 10 C20 0 30 0 40 10 S60 20 70 10", "m10 10 c10 -10 20 -10 30 0 s20 10 30 0"},
      {"M10 10 Q20 0 30 10 T50 10", "m10 10 q10 -10 20 0 t20 0"},
      {"M10 10 A 20 10 30 1 1 50 30", "m10 10 a 20 10 30 1 1 40 20"},
      // After z the current point is the subpath's start.
      {"M10 10 L20 10 L20 20 Z M15 15 L30 30", "m10 10 l10 0 l0 10 z m5 5 l15 15"},
      // Pairs after a moveto are lines of the same kind.
      {"M10 10 L20 20 L30 10", "m10 10 10 10 10 -10"},
      {"M10 10 L20 20 L30 10", "M10 10 20 20 30 10"},
  };
  for (const auto& [absolute, relative] : pairs) {
    SCOPED_TRACE(relative);
    ExpectSame(PathData(relative), PathData(absolute), 1e-9);
  }
}

TEST(SvgPathData, NumberSyntax) {
  // Signs and points separate numbers; commas are optional; exponents.
  ExpectSame(PathData("M1.5.5L-1-2l1e1,2E-1"), PathData("M 1.5 0.5 L -1 -2 L 9 -1.8"));
  ExpectSame(PathData("M+1,+2 L .5 -.5"), PathData("M1 2 L0.5 -0.5"));
  // Arc flags may touch each other and the next number.
  ExpectSame(PathData("M0 0a10 10 0 0110 10"), PathData("M0 0 A 10 10 0 0 1 10 10"));
  ExpectSame(PathData("\n\tM 0,0\r\n L 5,5 "), PathData("M0 0 L5 5"));
}

TEST(SvgPathData, ArcsBecomeQuarterTurnCubicsOnTheEllipse) {
  // A half circle of radius 50 about (100, 100), clockwise on screen.
  const auto half = PathData("M 50 100 A 50 50 0 0 1 150 100");
  ASSERT_EQ(half[0].knots.size(), 3u);
  ExpectKnot(half[0].knots[2], half[0].knots[2].inX, half[0].knots[2].inY, 150, 100, 150, 100);
  for (size_t k = 0; k < 2; ++k) {
    for (double t : {0.25, 0.5, 0.75}) {
      double x, y;
      CubicPoint(half[0], k, t, x, y);
      EXPECT_NEAR(std::hypot(x - 100, y - 100), 50.0, 0.02) << k << " " << t;
      EXPECT_LT(y, 100.0);  // the sweep flag takes the upper half (y down)
    }
  }
  double x, y;
  CubicPoint(PathData("M 50 100 A 50 50 0 0 0 150 100")[0], 0, 0.5, x, y);
  EXPECT_GT(y, 100.0);

  // Large arc: three quarters of a circle in three pieces.
  EXPECT_EQ(PathData("M 150 100 A 50 50 0 1 1 100 50")[0].knots.size(), 4u);

  // A quarter of an ellipse (radii 40 and 20, turned 30 degrees) about
  // (100, 100): every point of the cubic lies on the ellipse.
  const double c = std::cos(kPi / 6), s = std::sin(kPi / 6);
  const double x0 = 100 + 40 * c, y0 = 100 + 40 * s, x1 = 100 - 20 * s, y1 = 100 + 20 * c;
  const auto rotated = PathData("M " + std::to_string(x0) + " " + std::to_string(y0) + " A 40 20 30 0 1 " +
                                std::to_string(x1) + " " + std::to_string(y1));
  ASSERT_EQ(rotated[0].knots.size(), 2u);
  for (double t : {0.2, 0.5, 0.8}) {
    double px, py;
    CubicPoint(rotated[0], 0, t, px, py);
    const double u = c * (px - 100) + s * (py - 100), v = -s * (px - 100) + c * (py - 100);
    EXPECT_NEAR(std::hypot(u / 40, v / 20), 1.0, 1e-3) << t;
  }

  // Radii too small for the end points grow until they fit: a half circle.
  const auto grown = PathData("M 0 0 A 1 1 0 0 1 100 0");
  CubicPoint(grown[0], 0, 1.0, x, y);
  EXPECT_NEAR(std::hypot(x - 50, y), 50.0, 0.02);
  // A zero radius is a line; an arc to its own start is nothing.
  ExpectSame(PathData("M 0 0 A 0 10 0 0 1 10 10"), PathData("M 0 0 L 10 10"));
  EXPECT_TRUE(PathData("M 5 5 A 10 10 0 0 1 5 5").empty());
}

TEST(SvgTransforms, EveryKindAndTheirOrder) {
  const struct {
    const char* transform;
    const char* d;
    double x, y;
  } cases[] = {{"translate(5 7)", "M 10 0", 15, 7},     {"translate(5)", "M 10 0", 15, 0},
               {"scale(2, 3)", "M 10 10", 20, 30},      {"scale(2)", "M 10 10", 20, 20},
               {"rotate(90)", "M 10 0", 0, 10},         {"rotate(180 20 0)", "M 10 0", 30, 0},
               {"skewX(45)", "M 0 10", 10, 10},         {"skewY(45)", "M 10 0", 10, 10},
               {"matrix(1 2 3 4 5 6)", "M 1 1", 9, 12},
               // The rightmost applies first.
               {"translate(100,0) scale(2)", "M 10 0", 120, 0}, {"scale(2) translate(100,0)", "M 10 0", 220, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.transform);
    const SvgKnot k = Parse(std::string("<path transform=\"") + c.transform + "\" d=\"" + c.d + " L 0 0\"/>")[0].knots[0];
    EXPECT_NEAR(k.x, c.x, 1e-9);
    EXPECT_NEAR(k.y, c.y, 1e-9);
  }

  // Groups apply outside the path's own transform; siblings do not leak.
  const auto nested = Parse(
      "<g transform=\"translate(100 0)\"><g transform=\"scale(2)\">"
      "<path transform=\"translate(1 0)\" d=\"M 10 0 L 0 0\"/></g>"
      "<path d=\"M 10 0 L 0 0\"/></g><path d=\"M 10 0 L 0 0\"/>");
  ASSERT_EQ(nested.size(), 3u);
  EXPECT_NEAR(nested[0].knots[0].x, 122, 1e-9);
  EXPECT_NEAR(nested[1].knots[0].x, 110, 1e-9);
  EXPECT_NEAR(nested[2].knots[0].x, 10, 1e-9);
  // Controls go through the transform too.
  const auto curve = Parse("<path transform=\"translate(0 5)\" d=\"M0 0 C 1 2 3 4 5 6\"/>");
  ExpectKnot(curve[0].knots[1], 3, 9, 5, 11, 5, 11);
}

TEST(SvgDocument, OnlyDrawnPathsCount) {
  const auto paths = Parse(
      "<!-- <path d=\"M 0 0 L 1 1\"/> -->"
      "<defs><path id=\"p\" d=\"M 0 0 L 1 1\"/></defs>"
      "<clipPath><g><path d=\"M 0 0 L 1 1\"/></g></clipPath>"
      "<path display=\"none\" d=\"M 0 0 L 1 1\"/>"
      "<svg:path xmlns:svg=\"http://www.w3.org/2000/svg\" d=\"M 1 1 L 2 2\"/>"
      "<path d='M 3 3 L 4 4'><title>single quotes &amp; a child</title></path>"
      "<rect width=\"5\" height=\"5\"/><path/>"
      "<path d=\"M&#32;5&#x20;5 L 6 6\"/>");
  ASSERT_EQ(paths.size(), 3u);
  EXPECT_EQ(paths[0].knots[0].x, 1);
  EXPECT_EQ(paths[1].knots[0].x, 3);
  EXPECT_EQ(paths[2].knots[0].x, 5);

  // A doctype with an internal subset, CDATA and a byte order mark.
  std::vector<SvgSubpath> subpaths;
  std::string error;
  ASSERT_TRUE(
      ParseSvgPaths("\xEF\xBB\xBF<?xml version=\"1.0\"?><!DOCTYPE svg [ <!ENTITY e \"x>y\"> ]>"
                    "<svg><style><![CDATA[ path > g { } ]]></style><path d=\"M0 0 L1 1\"/></svg>",
                    subpaths, error))
      << error;
  EXPECT_EQ(subpaths.size(), 1u);
}

TEST(SvgDocument, BadInputIsRefusedWithTheLine) {
  const std::pair<std::string, const char*> cases[] = {
      {Svg("<path d=\"M 10\"/>"), "line 3: expected a number"},
      {Svg("\n<path d=\"M 10 10 X 5\"/>"), "line 4: bad path data near 'X 5'"},
      {Svg("<path d=\"L 10 10\"/>"), "must begin with M"},
      {Svg("<path d=\"M 0 0 Z 5 5\"/>"), "bad path data"},
      {Svg("<path d=\"M 0 0 A 5 5 0 2 0 5 5\"/>"), "arc flag"},
      {Svg("<path d=\"M 0 0 L 1e999 0\"/>"), "out of range"},
      {Svg("<path d=\"M 0,,0\"/>"), "expected a number"},
      {Svg("<path transform=\"spin(3)\" d=\"M0 0 L1 1\"/>"), "unknown transform 'spin'"},
      {Svg("<path transform=\"matrix(1 2 3)\" d=\"M0 0 L1 1\"/>"), "wrong number"},
      {Svg("<path transform=\"rotate(1 2)\" d=\"M0 0 L1 1\"/>"), "wrong number"},
      {Svg("<path transform=\"translate(1 2\" d=\"M0 0 L1 1\"/>"), "bad transform"},
      {Svg("<path d=M/>"), "not quoted"},
      {Svg("<path d=\"M0 0 &bogus; 1\"/>"), "unknown entity"},
      {Svg("<g></path>"), "closes <g>"},
      {"<svg><g>", "ends inside <g>"},
      {"<svg><path d=\"M0 0 L1 1\"", "ends inside"},
      {"<svg><!-- open", "unterminated"},
      {"<html><path d=\"M0 0 L1 1\"/></html>", "not an SVG document"},
      {"just text", "not an SVG document"},
      {std::string("\x89PNG\r\n\x1a\n\0\0", 10), "not an SVG document"},
      {"<svg/><svg/>", "second top-level"},
  };
  for (const auto& [text, message] : cases) EXPECT_NE(ErrorOf(text).find(message), std::string::npos) << message;
}

TEST(SvgDocument, KnotLimit) {
  std::string d = "M0 0";
  for (size_t i = 1; i < kMaxSvgKnots; ++i) d += " L" + std::to_string(i % 300) + " 1";
  std::vector<SvgSubpath> subpaths;
  std::string error;
  ASSERT_TRUE(ParseSvgPaths(Svg("<path d=\"" + d + "\"/>"), subpaths, error)) << error;
  EXPECT_EQ(subpaths[0].knots.size(), kMaxSvgKnots);
  EXPECT_NE(ErrorOf(Svg("<path d=\"" + d + " L 5 5\"/>")).find("more than 100000 path points"), std::string::npos);

  // 65535 knots fit one subpath's length record, 65536 do not.
  std::vector<SvgSubpath> big(1);
  big[0].knots.assign(65536, SvgKnot{0, 0, 1, 1, 2, 2});
  std::vector<uint8_t> records;
  EXPECT_FALSE(PathRecordsFromSubpaths(big, 400, 300, records, error));
  EXPECT_NE(error.find("65535"), std::string::npos);
  big[0].knots.pop_back();
  EXPECT_TRUE(PathRecordsFromSubpaths(big, 400, 300, records, error)) << error;
}

TEST(SvgRecords, LayoutAndRoundTripThroughTheDecoder) {
  const auto subpaths = PathData("M 100 75 L 300 75 L 300 225 Z M 0 0 C 50 -30 150 30 200 0 S 350 30 400 300");
  std::vector<uint8_t> records;
  std::string error;
  ASSERT_TRUE(PathRecordsFromSubpaths(subpaths, 400, 300, records, error)) << error;
  ASSERT_EQ(records.size(), 26u * (1 + 1 + 3 + 1 + 3));
  auto selector = [&](size_t r) { return int(records[26 * r]) << 8 | records[26 * r + 1]; };
  auto count = [&](size_t r) { return int(records[26 * r + 2]) << 8 | records[26 * r + 3]; };
  // Fill rule, closed length, corners; open length, unlinked, linked (S), unlinked.
  const int selectors[] = {6, 0, 2, 2, 2, 3, 5, 4, 5};
  for (size_t r = 0; r < 9; ++r) EXPECT_EQ(selector(r), selectors[r]) << r;
  EXPECT_EQ(count(1), 3);
  EXPECT_EQ(count(5), 3);
  // Knot 1 of the triangle, (300, 75): anchor vertical 0.25, horizontal 0.75,
  // big-endian 8.24.
  const uint8_t anchor[8] = {0x00, 0x40, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00};
  EXPECT_EQ(std::memcmp(&records[26 * 3 + 10], anchor, 8), 0);

  pattern::PathCurves curves;
  ASSERT_EQ(pattern::DecodePathRecords(records.data(), records.size(), 400 << 16, 300 << 16, 72 << 16, curves), 5u);
  // The triangle's closing side and the second cubic.
  const float expected[][2] = {{curves[2].x[0], 300}, {curves[2].y[0], 225}, {curves[2].x[3], 100},
                               {curves[4].x[1], 250}, {curves[4].y[1], -30}, {curves[4].x[3], 400},
                               {curves[4].y[3], 300}};
  for (const auto& e : expected) EXPECT_NEAR(e[0], e[1], 1e-3);

  EXPECT_FALSE(PathRecordsFromSubpaths(PathData("M 0 0 L 60000 0"), 400, 300, records, error));
  EXPECT_NE(error.find("too far outside"), std::string::npos);
  EXPECT_FALSE(PathRecordsFromSubpaths(subpaths, 0, 300, records, error));
}

TEST(SvgFile, ReadAndRefused) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(::testing::TempDir()) / "rf-svg-file";
  fs::create_directories(dir);
  const fs::path good = dir / "good.svg";
  std::ofstream(good) << Svg("<path d=\"M 10 10 L 20 20\"/>");
  std::vector<uint8_t> records;
  std::string error;
  ASSERT_TRUE(ReadSvgPath(good.string(), 400, 300, records, error)) << error;
  EXPECT_EQ(records.size(), 26u * 4);

  EXPECT_FALSE(ReadSvgPath((dir / "missing.svg").string(), 400, 300, records, error));
  EXPECT_NE(error.find("cannot open"), std::string::npos);

  const fs::path empty = dir / "empty.svg";
  std::ofstream(empty) << Svg("<rect width=\"4\" height=\"4\"/>");
  EXPECT_FALSE(ReadSvgPath(empty.string(), 400, 300, records, error));
  EXPECT_NE(error.find("no drawn <path>"), std::string::npos);

  // Sparse: the size alone is refused, nothing is read.
  const fs::path huge = dir / "huge.svg";
  std::ofstream(huge) << "<svg>";
  fs::resize_file(huge, kMaxSvgFileBytes + 1);
  EXPECT_FALSE(ReadSvgPath(huge.string(), 400, 300, records, error));
  EXPECT_NE(error.find("larger than 50 MB"), std::string::npos);
  EXPECT_TRUE(records.empty());
  fs::remove_all(dir);
}

}  // namespace
}  // namespace rf::tools
