// Rimeflower: the document's work path, read through the host's property
// suite.
#pragma once

namespace rf::host {

// (Re)reads the work path of the current document into
// rf::pattern::DocumentPaths(). Called before a final render and when the
// dialog opens, while the host's FilterRecord is current. A host without the
// property procedures, a failed query, a document above 32767 points or a
// malformed subpath leaves fewer or no curves; nothing is reported, and the
// emitter type then falls back to contours (rf::pattern::ResolveEmitterType).
void LoadPaths();

}  // namespace rf::host
