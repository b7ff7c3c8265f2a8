// Where the tests find the built module.
#pragma once

#include <cstdlib>
#include <string>

inline std::string BuiltModulePath() {
  const char* dir = std::getenv("RF_BINARY_DIR");
  return std::string(dir ? dir : ".") + "/plugin/Rimeflower64.8bf";
}
