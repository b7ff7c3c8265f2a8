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
  if (rows <= 0) return;
  if (threads <= 0) threads = UsableProcessorCount();
  threads = std::clamp(std::min(threads, rows / kRowsPerThread), 1, 64);
  if (threads == 1) {
    work(0, rows);
    return;
  }
  auto first = [&](int32_t part) { return int32_t(int64_t(rows) * part / threads); };
  std::vector<std::thread> pool;
  int32_t started = 1;
  try {
    pool.reserve(size_t(threads - 1));
    for (; started < threads; ++started) {
      const int32_t from = first(started), to = first(started + 1);
      pool.emplace_back([&work, from, to] { work(from, to); });
    }
  } catch (const std::exception&) {
    // No thread (or no memory for one): the caller takes the ranges left.
  }
  work(0, first(1));
  for (int32_t part = started; part < threads; ++part) work(first(part), first(part + 1));
  for (std::thread& t : pool) t.join();
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
