// Rimeflower: preset files.
//
// A preset is a text file with the 47 scripted parameters of the record:
// the header lines "Rimeflower Preset;" and "Version 1;", one line per
// parameter in scripting order with its key written in reverse, and a
// closing comment line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "host/parameters.h"

namespace rf::presets {

constexpr const char* kPresetExtension = "rmfpst";

// The text of a preset holding the scripted parameters of `record`.
std::string FormatPreset(const ParameterRecord& record);
// Creates (or truncates) the file and writes the preset; false when it
// cannot be created or written.
bool WritePresetFile(const std::string& path, const ParameterRecord& record);

// Applies a preset's text to `record`. Answers false, with the record
// untouched, when the header line is missing. Unknown keys are ignored,
// later lines win, missing keys leave their fields.
bool ParsePreset(const uint8_t* data, size_t size, ParameterRecord& record);
// The same from a file; false when it cannot be opened or is refused.
bool ReadPresetFile(const std::string& path, ParameterRecord& record);

}  // namespace rf::presets
