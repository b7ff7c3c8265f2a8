// Arbitrary bytes as an SVG drawing, through to the path emitter: what the
// reader accepts must become records that the filter's decoder reads back
// into no more curves than knots, and an emitter whose every index and
// coordinate is sound. The same bytes also go to the decoder raw, as a
// host's path block.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_support.h"
#include "pattern/path_emitter.h"
// The reader is compiled in: this target links none of the host's image
// libraries.
#include "tools/svg/svg_path.cpp"

namespace {

using rf::fuzz::Check;

// A small document keeps the walk short: points lie within 127 image sizes.
constexpr int32_t kWidth = 64, kHeight = 48;

void CheckEmitter(const rf::pattern::PathCurves& curves) {
  rf::pattern::Emitter e;
  const bool built =
      rf::pattern::BuildPathEmitter(curves, rf::pattern::FinalGeometry(kWidth, kHeight), -kWidth / 2, -kHeight / 2, e);
  Check(built == !e.segments.empty());
  Check(e.points.size() == 2 * e.segments.size());
  for (const rf::pattern::EmitterSegment& s : e.segments) {
    Check(s.start >= 0 && size_t(s.end) < e.points.size() && s.end == s.start + 1);
    Check(std::isfinite(s.length) && std::isfinite(s.nx) && std::isfinite(s.ny));
  }
  for (const rf::pattern::EmitterPoint& p : e.points) Check(std::isfinite(p.x) && std::isfinite(p.y));
}

rf::pattern::PathCurves Decode(const uint8_t* data, size_t size) {
  rf::pattern::PathCurves curves;
  rf::pattern::DecodePathRecords(data, size, kWidth << 16, kHeight << 16, 72 << 16, curves);
  return curves;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 65536) return 0;
  CheckEmitter(Decode(data, size));

  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<rf::tools::SvgSubpath> subpaths;
  std::string error;
  if (!rf::tools::ParseSvgPaths(text, subpaths, error)) {
    Check(!error.empty() && subpaths.empty());
    return 0;
  }
  std::vector<uint8_t> records;
  if (!rf::tools::PathRecordsFromSubpaths(subpaths, kWidth, kHeight, records, error)) {
    Check(!error.empty() && records.empty());
    return 0;
  }
  size_t knots = 0;
  for (const rf::tools::SvgSubpath& s : subpaths) knots += s.knots.size();
  Check(records.size() == 26 * (1 + subpaths.size() + knots));
  const rf::pattern::PathCurves curves = Decode(records.data(), records.size());
  Check(curves.size() <= knots);
  CheckEmitter(curves);
  return 0;
}
