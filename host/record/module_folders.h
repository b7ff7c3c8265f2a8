// Rimeflower: the folders the module finds beside itself.
//
// Derived from the module's own path at prepare and start; presets, help
// pages and the settings file are looked up there.
#pragma once

#include <string>

namespace rf {

struct ModuleFolders {
  std::string moduleFolder;   // ends with a separator; empty when unknown
  std::string dataFolder;     // moduleFolder + "Rimeflower" + separator
  std::string helpFolder;     // dataFolder + "Help" + separator
  std::string presetsFolder;  // dataFolder + "Presets" + separator
  std::string settingsFile;   // moduleFolder + "Rimeflower.ini"
};

}  // namespace rf
