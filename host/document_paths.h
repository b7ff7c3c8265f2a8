// Rimeflower: the document's work path, read through the host's property
// suite, or the record's property procedures where the suite is missing.
#pragma once

#include "host/interface/host_interface.h"
#include "pattern/path_emitter.h"

namespace rf::host {

// Reads the work path of the host's current document into curves in
// document pixels. Called before a final render and when the dialog opens.
// A host without either way to the properties, a failed query, a document above
// 32767 points or a malformed subpath gives fewer or no curves; nothing is
// reported, and the emitter type then falls back to contours
// (rf::pattern::ResolveEmitterType).
pattern::PathCurves LoadPaths(const FilterRecord& filter);

}  // namespace rf::host
