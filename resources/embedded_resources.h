// Resources compiled into the Linux module: the same bytes that the Windows
// build puts into its resource section, so both builds read alike.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rf::resources {

struct EmbeddedResource {
  const char* type;  // "PIPL", "AETE", or "#2" for a bitmap
  int id;
  const uint8_t* data;
  size_t size;
};

// The table of embedded resources; *count receives its length.
const EmbeddedResource* EmbeddedResources(size_t* count);

}  // namespace rf::resources
