#include "resources/embedded_resources.h"

namespace rf::resources {

namespace {

#include "resources/embedded_data.inc"

const EmbeddedResource kResources[] = {
    {"PIPL", 16000, kPiPLBytes, sizeof(kPiPLBytes)},
    {"AETE", 16000, kTerminologyBytes, sizeof(kTerminologyBytes)},
    {"#2", 998, kBumpDibBytes, sizeof(kBumpDibBytes)},
};

}  // namespace

const EmbeddedResource* EmbeddedResources(size_t* count) {
  *count = sizeof(kResources) / sizeof(kResources[0]);
  return kResources;
}

}  // namespace rf::resources
