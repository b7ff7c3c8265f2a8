// The export and import tables of a PE image held in memory: what a module
// offers by name, and which DLLs it needs at load time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rf::testing {

struct PETables {
  std::vector<std::string> exports;      // exported names, as stored
  std::vector<std::string> importedDlls;  // DLL names of the import directory
};

// False with a message when the image or its tables are malformed.
bool ReadPETables(const std::vector<uint8_t>& file, PETables& tables, std::string& error);

}  // namespace rf::testing
