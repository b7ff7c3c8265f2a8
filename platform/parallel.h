// Rimeflower: whole-image passes shared out between threads.
//
// Conversions and copies of a whole image are cheap per pixel but touch
// every byte; on a large document they are the part of a run that does not
// shrink with the renderer's threads unless they are split too.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

namespace rf::platform {

// Calls work(first, last) on consecutive ranges of rows that together cover
// [0, rows), each range exactly once, on up to `threads` threads (0: one per
// usable processor) with the calling thread among them, and returns when all
// are done. Work that writes only its own rows gives the same bytes for any
// thread count. Where the system cannot start a thread, the caller takes its
// range; small images stay on the calling thread. `work` must not throw.
void ForRowRanges(int32_t rows, int32_t threads, const std::function<void(int32_t first, int32_t last)>& work);

// Rows worked on by other threads while the calling thread does something
// else, which it joins when it is free: work(first, last) is called on
// chunks of `chunkRows` rows that together cover [0, rows), each chunk
// exactly once, by up to `threads` threads (0: one per usable processor)
// counting the caller's. Work that writes only its own rows gives the same
// bytes whichever thread takes a chunk. With one thread, or where no thread
// can be started, everything waits for `Finish`. `work` must not throw.
class BackgroundRows {
 public:
  BackgroundRows(int32_t rows, int32_t chunkRows, int32_t threads, std::function<void(int32_t first, int32_t last)> work);
  // Hands out no further chunk and waits for those being worked on: for a
  // caller giving up, whose rows are no longer wanted.
  ~BackgroundRows();
  BackgroundRows(const BackgroundRows&) = delete;
  BackgroundRows& operator=(const BackgroundRows&) = delete;

  // Takes the chunks left on the calling thread and returns when every row
  // is done.
  void Finish();

 private:
  void Drain();
  void Join();

  std::function<void(int32_t, int32_t)> work_;
  int32_t rows_, chunkRows_;
  std::atomic<int32_t> next_{0};
  std::vector<std::thread> pool_;
};

}  // namespace rf::platform
