// Rimeflower: the dialog settings file ("Rimeflower.ini" beside the module),
// which keeps the placement of the dialog window from one use to the next.
#pragma once

#include <string>

#include "host/record/parameters.h"

namespace rf::presets {

constexpr const char* kSettingsFileName = "Rimeflower.ini";

// Fills the window placement fields from the file; fields whose keys are
// absent, and all of them when there is no file, keep their values.
void ReadSettingsFile(const std::string& path, WindowPlacement& placement);
// Writes the seven fields; false when the file cannot be created (nothing
// is reported to the user).
bool WriteSettingsFile(const std::string& path, const WindowPlacement& placement);

}  // namespace rf::presets
