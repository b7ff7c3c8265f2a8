#include "tools/common/cli.h"

namespace rf::tools {

// Written with the preset libraries.
bool LoadPresetArgument(const std::string&, const std::string& nameOrFile, ParameterRecord&, std::string& error) {
  error = "presets are not supported yet: '" + nameOrFile + "'";
  return false;
}

}  // namespace rf::tools
