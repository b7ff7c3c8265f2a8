// Helpers shared by the benchmarks.
#pragma once

#include <cstdint>

namespace rf::bench {

// Peak resident set size of this process so far, in bytes.
uint64_t PeakResidentBytes();

}  // namespace rf::bench
