// Path records written by hand for the tests: 26-byte big-endian records as
// a host hands them over.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

namespace rf::test {

class PathRecords {
 public:
  PathRecords& Selector(int16_t selector, uint16_t count = 0) {
    const size_t at = bytes.size();
    bytes.resize(at + 26, 0);
    Put16(at, uint16_t(selector));
    Put16(at + 2, count);
    return *this;
  }
  // A knot by fractions of the document (x of the width, y of the height).
  PathRecords& Knot(int16_t selector, double inX, double inY, double x, double y, double outX, double outY) {
    const size_t at = bytes.size();
    Selector(selector);
    const double v[6] = {inY, inX, y, x, outY, outX};
    for (int i = 0; i < 6; ++i) Put32(at + 2 + 4 * size_t(i), int32_t(std::lround(v[i] * 16777216.0)));
    return *this;
  }
  // A corner knot: both controls on the anchor, as drawn with a pen tool's
  // clicks.
  PathRecords& Corner(int16_t selector, double x, double y) { return Knot(selector, x, y, x, y, x, y); }

  std::vector<uint8_t> bytes;

 private:
  void Put16(size_t at, uint16_t v) {
    bytes[at] = uint8_t(v >> 8);
    bytes[at + 1] = uint8_t(v);
  }
  void Put32(size_t at, int32_t v) {
    const uint32_t u = uint32_t(v);
    for (int i = 0; i < 4; ++i) bytes[at + size_t(i)] = uint8_t(u >> (24 - 8 * i));
  }
};

}  // namespace rf::test
