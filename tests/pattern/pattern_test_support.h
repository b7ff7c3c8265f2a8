// Helpers shared by the pattern tests.
#pragma once

#include <cstdint>
#include <vector>

#include "pattern/pattern.h"

namespace rf::pattern::test_support {

// The record at its defaults with the given family and pattern number.
ParameterRecord RecordFor(uint8_t effectKind, uint8_t patternKind);

std::vector<PatternTriangle> Triangles(const PatternList& list);

// The pattern grown from the fixed layout of the record's MaskKind, at
// full size; the growth must succeed.
std::vector<PatternTriangle> GrowFixed(const ParameterRecord& r, int width = 1000, int height = 750);

bool AllFinite(const std::vector<PatternTriangle>& triangles);
bool SameTriangle(const PatternTriangle& a, const PatternTriangle& b);

// A hash of positions rounded to 1/64 pixel, normals to 1/1024 and levels:
// insensitive to last-bit differences between math libraries, sensitive to
// any change of shape, order or count.
uint64_t ShapeHash(const std::vector<PatternTriangle>& triangles);

// Straight segments laid end to end along x from (x, y), each with its true
// length and the given growth normal.
Emitter StraightEmitter(const std::vector<float>& lengths, float x = 0.0f, float y = 0.0f, float nx = 0.0f,
                        float ny = -1.0f);

}  // namespace rf::pattern::test_support
