// Rimeflower: whole-image passes shared out between threads.
//
// Conversions and copies of a whole image are cheap per pixel but touch
// every byte; on a large document they are the part of a run that does not
// shrink with the renderer's threads unless they are split too.
#pragma once

#include <cstdint>
#include <functional>

namespace rf::platform {

// Calls work(first, last) on consecutive ranges of rows that together cover
// [0, rows), each range exactly once, on up to `threads` threads (0: one per
// usable processor) with the calling thread among them, and returns when all
// are done. Work that writes only its own rows gives the same bytes for any
// thread count. Where the system cannot start a thread, the caller takes its
// range; small images stay on the calling thread. `work` must not throw.
void ForRowRanges(int32_t rows, int32_t threads, const std::function<void(int32_t first, int32_t last)>& work);

}  // namespace rf::platform
