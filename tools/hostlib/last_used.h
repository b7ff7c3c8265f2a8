// Rimeflower host: the values last used, as the host keeps them.
//
// The rimeflower host keeps the module's descriptor registry in a file under
// the user's configuration folder, so that the last-used values survive from
// one run to the next as they do in any host.
#pragma once

#include <string>

#include "host/record/parameters.h"

namespace rf::tools {

// Path of the host's registry file: $XDG_CONFIG_HOME/rimeflower/registry when
// that is set, else %APPDATA%\rimeflower\registry on Windows and
// ~/.config/rimeflower/registry elsewhere.
std::string RegistryFilePath();

// Fills `record` with the defaults overlaid by the last-used values the
// module registered. False (record at defaults) when none are stored.
bool ReadLastUsedValues(ParameterRecord& record);

}  // namespace rf::tools
