// Arbitrary bytes as the path block a host hands over, for a document of a
// size and resolution the first bytes choose: every curve decoded must be
// finite and within the reach the decoder promises, and there are never more
// curves than knot records.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "tests/fuzz/fuzz_support.h"
#include "pattern/path_emitter.h"

using rf::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (size_t(1) << 20)) return 0;
  // Sizes up to the 32767-point bound, resolutions from 0 (read as 72) up.
  rf::fuzz::Bytes in{data, size};
  const int64_t width = 1 + in.Take<uint32_t>() % 40000, height = 1 + in.Take<uint32_t>() % 40000;
  const rf::pattern::Fixed resolution = rf::pattern::Fixed(in.Take<uint32_t>() % (3000u << 16));
  data = in.data;
  size = in.size;
  rf::pattern::Fixed widthPoints = 0, heightPoints = 0;
  if (!rf::pattern::DocumentSizeInPoints(width, resolution, widthPoints) ||
      !rf::pattern::DocumentSizeInPoints(height, resolution, heightPoints))
    return 0;
  rf::pattern::PathCurves curves;
  const size_t made = rf::pattern::DecodePathRecords(data, size, widthPoints, heightPoints, resolution, curves);
  Check(made == curves.size());
  Check(made <= size / rf::pattern::kPathRecordSize);
  for (const rf::pattern::PathCurve& c : curves) {
    for (int i = 0; i < 4; ++i) Check(std::isfinite(c.x[i]) && std::isfinite(c.y[i]));
    Check(std::isfinite(c.length) && c.length >= 0);
  }
  // Appending keeps what was there.
  const size_t before = curves.size();
  rf::pattern::DecodePathRecords(data, size, widthPoints, heightPoints, resolution, curves);
  Check(curves.size() == 2 * before);
  return 0;
}
