// Rimeflower in GIMP: the filter's dialog, in GTK 2 as GIMP 2.10 draws its own.
//
// The two pages of parameters with the module's captions, ranges and tool
// tips, its enabling rules, the preset libraries beside the module, and a
// live preview. The preview is the module's own preview code, linked into
// the plug-in and served the drawable by the host library; it renders on
// GIMP's main thread when the main loop is idle, so a slider's changes
// coalesce into one render each time the loop comes round.
#pragma once

#include <cstdint>

#include "host/record/parameters.h"
#include "tools/gimp/gimp_host.h"

namespace rf::tools::gimp {

// Shows the dialog over the document read from the drawable, starting from
// `record`'s values. True when the user pressed OK (`record` then holds the
// 47 values chosen); false on Cancel or when the dialog cannot be shown
// (`error` then says why). Called on GIMP's main thread.
bool RunDialog(GimpDocument& d, ParameterRecord& record, std::string& error);

}  // namespace rf::tools::gimp
