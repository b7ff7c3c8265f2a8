#include "presets/preset_file.h"

namespace rf::presets {

// Written with the preset libraries.
std::string FormatPreset(const ParameterRecord&) { return std::string(); }
bool WritePresetFile(const std::string&, const ParameterRecord&) { return false; }
bool ParsePreset(const uint8_t*, size_t, ParameterRecord&) { return false; }
bool ReadPresetFile(const std::string&, ParameterRecord&) { return false; }

}  // namespace rf::presets
