#include "tools/common/last_used.h"

namespace rf::tools {

std::string RegistryFilePath() { return std::string(); }

bool ReadLastUsedValues(ParameterRecord& record) {
  ResetToDefaults(record, true);
  return false;
}

}  // namespace rf::tools
