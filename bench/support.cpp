#include "bench/support.h"

#include <sys/resource.h>

namespace rf::bench {

uint64_t PeakResidentBytes() {
  rusage usage{};
  if (getrusage(RUSAGE_SELF, &usage) != 0) return 0;
  return static_cast<uint64_t>(usage.ru_maxrss) * 1024u;  // ru_maxrss is in KiB on Linux
}

}  // namespace rf::bench
