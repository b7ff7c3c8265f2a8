#include "bench/support.h"

#include <sys/resource.h>

#include <algorithm>

namespace rf::bench {

uint64_t PeakResidentBytes() {
  rusage usage{};
  if (getrusage(RUSAGE_SELF, &usage) != 0) return 0;
  return static_cast<uint64_t>(usage.ru_maxrss) * 1024u;  // ru_maxrss is in KiB on Linux
}

double Fastest(const std::vector<double>& times) {
  return times.empty() ? 0.0 : *std::min_element(times.begin(), times.end());
}

}  // namespace rf::bench
