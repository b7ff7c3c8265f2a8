// Rimeflower host: vector paths from an SVG file.
//
// A document's work path is handed to the filter in the published
// path-resource layout: 26-byte big-endian records, a fill-rule record, then
// per subpath a length record (selector 0 closed, 3 open) and its knot
// records (1-2 closed, 4-5 open), each knot as preceding control, anchor and
// leaving control, vertical before horizontal, in 8.24 fractions of the
// document's height and width.
//
// What is read: the `d` attribute of every drawn <path> element (not those
// inside <defs>, <symbol>, <clipPath>, <mask>, <marker> or <pattern>, nor
// those with display="none"), all commands of path data in absolute and
// relative form, and the `transform` attributes of the path and of every
// element around it. SVG user units are taken as image pixels: a viewBox is
// not applied. Quadratic curves are raised to cubics, arcs split into cubics
// of at most a quarter turn, lines become cubics with their controls on the
// anchors.
//
// Limits: files up to 50 MB, at most 100,000 knots in all and 65,535 in one
// subpath, points within 127 image sizes of the image. Anything else is
// refused with a one-line error naming the line of the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace rf::tools {

constexpr size_t kMaxSvgFileBytes = size_t(50) << 20;
constexpr size_t kMaxSvgKnots = 100000;

// Reads `file` and makes the path records for a document of width x height
// pixels. False with a message that names the file.
bool ReadSvgPath(const std::string& file, int32_t width, int32_t height, std::vector<uint8_t>& records,
                 std::string& error);

// ---- The two steps, for tests ------------------------------------------------

// One knot in image pixels: the control point before the anchor, the anchor,
// the control point after it.
struct SvgKnot {
  double inX, inY;
  double x, y;
  double outX, outY;
};

struct SvgSubpath {
  std::vector<SvgKnot> knots;
  bool closed = false;
};

// The subpaths of every drawn path of the SVG text, transforms applied.
// A closing command whose last point is the first one merges the two into
// one knot. False with a message like "line 12: bad path data near 'x'".
bool ParseSvgPaths(const std::string& text, std::vector<SvgSubpath>& subpaths, std::string& error);

// The path records of `subpaths` for a document of width x height pixels.
bool PathRecordsFromSubpaths(const std::vector<SvgSubpath>& subpaths, int32_t width, int32_t height,
                             std::vector<uint8_t>& records, std::string& error);

}  // namespace rf::tools
