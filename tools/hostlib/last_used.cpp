#include "tools/hostlib/last_used.h"

#include <cstdlib>

#include "host/interface/host_interface.h"
#include "tools/hostlib/descriptor_store.h"

namespace rf::tools {

std::string RegistryFilePath() {
  // An explicit configuration folder wins on every system (tests use it).
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && *config) return std::string(config) + "/rimeflower/registry";
#if defined(_WIN32)
  // The per-user application data folder, where Windows programs keep settings.
  const char* appData = std::getenv("APPDATA");
  if (appData && *appData) return std::string(appData) + "\\rimeflower\\registry";
#endif
  const char* home = std::getenv("HOME");
  if (!home || !*home) home = std::getenv("USERPROFILE");
  if (home && *home) return std::string(home) + "/.config/rimeflower/registry";
  return std::string();
}

bool ReadLastUsedValues(ParameterRecord& record) {
  ResetToDefaults(record, true);
  DescriptorRegistry registry(RegistryFilePath());
  if (!registry.Load()) return false;
  const HostDescriptor* d = registry.Get(host::kRegistryKey);
  if (!d) return false;
  ApplyDescriptor(*d, record);
  return true;
}

}  // namespace rf::tools
