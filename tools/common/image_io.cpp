#include "tools/common/image_io.h"

namespace rf::tools {

FileFormat FormatFromExtension(const std::string&) { return FileFormat::Unknown; }
bool ReadImage(const std::string&, Image&, std::string& error) {
  error = "not built yet";
  return false;
}
bool WriteImage(const std::string&, const Image&, FileFormat, std::string& error) {
  error = "not built yet";
  return false;
}

}  // namespace rf::tools
