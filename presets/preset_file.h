// Rimeflower: preset files.
//
// A preset is a text file with the 47 scripted parameters of the record:
// the header lines "Rimeflower Preset;" and "Version 1;", one line per
// parameter in scripting order with its key written in reverse, and a
// closing comment line. Lines end with a single line feed.
//
// Reading is forgiving in the way the files have always been read: only the
// first line is checked, every other line is either a parameter line or
// ignored, later lines win, and a parameter without a line keeps its value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "host/record/parameters.h"

namespace rf::presets {

constexpr const char* kPresetExtension = "rmfpst";
constexpr const char* kPresetHeader = "Rimeflower Preset;";

// ---- Names ------------------------------------------------------------------

// Removes a trailing ".rmfpst" (any case) from a name longer than 7
// characters, so that a name typed with its extension does not get it twice.
std::string StripPresetExtension(const std::string& name);
// True when the file name ends in ".rmfpst" (any case).
bool HasPresetExtension(const std::string& fileName);

// ---- Writing ----------------------------------------------------------------

// One parameter line, with its line feed, as the preset writes it.
std::string FormatParameterLine(const ParameterRecord& record, const ScriptedParameter& p);
// The text of a preset holding the scripted parameters of `record`.
std::string FormatPreset(const ParameterRecord& record);
// Creates (or truncates) the file and writes the preset; false when it
// cannot be created or written.
bool WritePresetFile(const std::string& path, const ParameterRecord& record);

// ---- Reading ----------------------------------------------------------------

// True when a first line opens a preset: its first 18 characters are the
// header, compared without regard to case.
bool IsPresetHeader(const std::string& firstLine);
// Applies one line after the header; false when it holds no known key.
bool ApplyParameterLine(const std::string& line, ParameterRecord& record);

// Applies a preset's text to `record`. Answers false, with the record
// untouched, when the header line is missing. A preset that is applied
// marks the scene dirty, since any geometry value may have changed.
bool ParsePreset(const uint8_t* data, size_t size, ParameterRecord& record);
// The same from a file; false when it cannot be opened or is refused.
bool ReadPresetFile(const std::string& path, ParameterRecord& record);

}  // namespace rf::presets
