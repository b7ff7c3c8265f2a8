// Rimeflower in GIMP: the filter's dialog, in GTK 2 as GIMP 2.10 draws its own.
#pragma once

#include <cstdint>

#include "host/record/parameters.h"

namespace rf::tools::gimp {

// Shows the dialog over `drawable` with `record`'s values. True when the user
// pressed OK (`record` then holds the values chosen); false on Cancel.
// Called on GIMP's main thread after gimp_ui_init.
bool RunDialog(int32_t image, int32_t drawable, ParameterRecord& record);

}  // namespace rf::tools::gimp
