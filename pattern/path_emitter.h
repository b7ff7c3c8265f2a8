// Rimeflower: the emitter from the document's vector paths.
//
// A run that grows along the work path does this:
//   PathCurves paths = rf::host::LoadPaths(filterRecord);  // host/document_paths.h
//   ResolveEmitterType(record, !paths.empty());
//   if (record.EmitterType == kEmitterPaths)
//     BuildPathEmitter(paths, geometry, -W / 2, -H / 2, emitter);
//   ... grow, assemble, render ...
//
// The host hands the path over as 26-byte big-endian records (the published
// path-resource layout) whose coordinates are fractions of the document
// size; DecodePathRecords turns them into cubic curves in document pixels,
// and BuildPathEmitter walks the curves in steps of 5 pixels of arc length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/record/parameters.h"
#include "pattern/pattern.h"

namespace rf::pattern {

// ---- The curves of the document --------------------------------------------

// One cubic Bezier: anchor, leaving control, preceding control, anchor.
struct PathCurve {
  float x[4];  // document pixels
  float y[4];
  float length;  // CurveLength(), taken once when the curve is made
};
using PathCurves = std::vector<PathCurve>;

// After the paths are loaded: `Emitter Type` 3 becomes 0 when the document
// has a path and 1 otherwise, and 0 without a path becomes 1.
void ResolveEmitterType(ParameterRecord& record, bool documentHasPath);

// Fills `out` (cleared first) with the segments along `curves`, one per 5
// pixels of arc length, moved to the buffer frame as x / zoom - off x +
// xShift (the same for y). Answers whether any segment was made; nothing is
// made when the curves are too long to walk within kMaxPathSegments or the
// memory for the segments cannot be had.
bool BuildPathEmitter(const PathCurves& curves, const ImageGeometry& geometry, float xShift, float yShift,
                      Emitter& out);

// Far more than any drawn path needs (10 million pixels of path), and a bound
// on the emitter's memory (84 bytes a segment) all the same.
constexpr size_t kMaxPathSegments = size_t(1) << 21;

// ---- Curve geometry ----------------------------------------------------------

// The mean speed |B'(t)| at t = 0.05, 0.15, ..., 0.95: exact for a uniformly
// drawn straight line, half a percent long for one whose controls sit on its
// anchors.
float CurveLength(const PathCurve& curve);

// Makes a curve from its four control points, with its length.
PathCurve MakeCurve(const float x[4], const float y[4]);

// ---- Path records -------------------------------------------------------------

using Fixed = int32_t;  // 16.16

constexpr size_t kPathRecordSize = 26;
// A larger block is read up to this many records (about 26 MB); the subpath
// cut there is dropped.
constexpr size_t kMaxPathRecords = size_t(1) << 20;

// The size in points, as 16.16, of `pixels` at `resolution` (16.16 pixels per
// inch; 0 counts as 72). False when it is above 32767 points: the record
// coordinates could not be scaled without overflow.
bool DocumentSizeInPoints(int64_t pixels, Fixed resolution, Fixed& points);

// Appends the curves of one path to `out`. `widthPoints` and `heightPoints`
// are the document size from DocumentSizeInPoints; `verticalResolution`
// converts points to pixels on both axes, so a document with two different
// resolutions has its paths stretched horizontally by vertical / horizontal.
// Fill-rule and clipboard records are skipped; a subpath whose knots carry
// the wrong selectors, run past the end of the block or lie 32768 points or
// more away is dropped whole. Answers the number of curves appended.
size_t DecodePathRecords(const uint8_t* data, size_t size, Fixed widthPoints, Fixed heightPoints,
                         Fixed verticalResolution, PathCurves& out);

}  // namespace rf::pattern
