// Helpers shared by the benchmarks.
#pragma once

#include <cstdint>
#include <vector>

namespace rf::bench {

// Peak resident set size of this process so far, in bytes.
uint64_t PeakResidentBytes();

// The fastest of a benchmark's repetitions. On a shared machine other work
// only ever adds time, so the minimum is the figure closest to the code's
// own cost; registered as the statistic "min".
double Fastest(const std::vector<double>& times);

}  // namespace rf::bench
