#include "platform/parallel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace rf::platform {
namespace {

// Each row is worked on exactly once, whatever the split: the property that
// makes the images the same bytes for any thread count.
TEST(Parallel, EveryRowExactlyOnceForAnySplit) {
  for (int32_t rows : {1, 7, 64, 130, 1001}) {
    for (int32_t threads : {0, 1, 2, 3, 5}) {
      std::vector<std::atomic<int>> byRanges(static_cast<size_t>(rows)), byChunks(static_cast<size_t>(rows));
      ForRowRanges(rows, threads, [&](int32_t first, int32_t last) {
        for (int32_t y = first; y < last; ++y) ++byRanges[size_t(y)];
      });
      BackgroundRows chunks(rows, 8, threads, [&](int32_t first, int32_t last) {
        for (int32_t y = first; y < last; ++y) ++byChunks[size_t(y)];
      });
      chunks.Finish();
      for (int32_t y = 0; y < rows; ++y) {
        ASSERT_EQ(byRanges[size_t(y)], 1) << rows << " rows, " << threads << " threads, row " << y;
        ASSERT_EQ(byChunks[size_t(y)], 1) << rows << " rows, " << threads << " threads, row " << y;
      }
    }
  }
}

// A caller that gives up (a cancelled run) waits for the chunks under way
// and no more are started after it has gone.
TEST(Parallel, AbandonedRowsStopAndNeverRunTwice) {
  std::vector<std::atomic<int>> done(4096);
  std::atomic<bool> gone{false}, lateWork{false};
  {
    BackgroundRows chunks(4096, 8, 2, [&](int32_t first, int32_t last) {
      if (gone) lateWork = true;
      for (int32_t y = first; y < last; ++y) ++done[size_t(y)];
    });
  }
  gone = true;
  for (const std::atomic<int>& d : done) EXPECT_LE(d, 1);
  EXPECT_FALSE(lateWork);
}

}  // namespace
}  // namespace rf::platform
