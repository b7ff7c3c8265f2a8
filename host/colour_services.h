// Rimeflower: the host's colour picker, through its colour services.
#pragma once

#include <cstdint>

#include "host/interface/host_interface.h"

namespace rf::host {

// Shows the host's colour picker with `prompt` and the colour `rgb16`
// (0..65535 components), which it replaces when the user chooses one.
// Answers 0 when a colour was chosen, -128 when the user cancelled, the
// host's error otherwise, and -30900 when the host has no colour services.
int16_t PickHostColour(const FilterRecord& filter, const char* prompt, uint16_t rgb16[3]);

}  // namespace rf::host
