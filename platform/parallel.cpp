#include "platform/parallel.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace rf::platform {

namespace {

// Below this many rows a thread costs more than it saves.
constexpr int32_t kRowsPerThread = 64;

}  // namespace

void ForRowRanges(int32_t rows, int32_t threads, const std::function<void(int32_t, int32_t)>& work) {
  // One chunk per thread: every thread, the caller's too, takes about one
  // range, and nobody waits for the caller to be free.
  const int32_t parts = std::max(threads <= 0 ? UsableProcessorCount() : threads, 1);
  BackgroundRows(rows, int32_t((int64_t(rows) + parts - 1) / parts), threads, work).Finish();
}

BackgroundRows::BackgroundRows(int32_t rows, int32_t chunkRows, int32_t threads,
                               std::function<void(int32_t, int32_t)> work)
    : work_(std::move(work)), rows_(std::max(rows, 0)), chunkRows_(std::max(chunkRows, 1)) {
  if (threads <= 0) threads = UsableProcessorCount();
  threads = std::clamp(std::min(threads, rows_ / kRowsPerThread), 1, 64);
  try {
    pool_.reserve(size_t(threads - 1));
    for (int32_t t = 1; t < threads; ++t) pool_.emplace_back([this] { Drain(); });
  } catch (const std::exception&) {
    // Fewer helpers (or none): Finish takes what they would have.
  }
}

BackgroundRows::~BackgroundRows() {
  next_.store(rows_, std::memory_order_relaxed);
  Join();
}

void BackgroundRows::Finish() {
  Drain();
  Join();
}

void BackgroundRows::Drain() {
  for (;;) {
    const int32_t first = next_.fetch_add(chunkRows_, std::memory_order_relaxed);
    if (first >= rows_) return;
    work_(first, std::min(rows_, first + chunkRows_));
  }
}

void BackgroundRows::Join() {
  for (std::thread& t : pool_)
    if (t.joinable()) t.join();
  pool_.clear();
}

}  // namespace rf::platform
