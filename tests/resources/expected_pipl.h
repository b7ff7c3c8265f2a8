// Field-by-field checks of a decoded PiPL and AETE against what the module
// must declare; shared by the tests that read them from different places
// (the compiled-in copy, a PE file's bytes, the Win32 resource calls).
#pragma once

#include "tools/hostlib/pipl.h"

namespace rf::testing {

// Adds a GoogleTest failure for every field that differs.
void ExpectRimeflowerPiPL(const tools::PiPLInfo& info);
void ExpectRimeflowerTerminology(const tools::AeteInfo& aete);

}  // namespace rf::testing
