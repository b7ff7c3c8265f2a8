#include "resources/embedded_resources.h"

namespace rf::resources {

const EmbeddedResource* EmbeddedResources(size_t* count) {
  *count = 0;
  return nullptr;
}

}  // namespace rf::resources
