// Rimeflower host: the values of arguments several commands share.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/record/parameters.h"
#include "tools/rimeflower/command_line.h"

namespace rf::tools {

// Reads "WxH" (or "WXH"): two whole numbers from 1 to maxSide, digits only.
// Leaves width and height alone and answers false otherwise.
bool ParseSize(const std::string& text, int32_t maxSide, int32_t& width, int32_t& height);

// One "--set NAME=VALUE" assignment: NAME is a scripting name ("MinInterval",
// "Center X", matched loosely) or a 4-character key ("MnIn"); VALUE is a
// number of the parameter's type (integers may be written in hex, 0x...).
struct Assignment {
  const ScriptedParameter* parameter = nullptr;
  bool isFloat = false;
  int64_t integer = 0;
  double real = 0.0;
};
bool ParseAssignment(const std::string& text, Assignment& out, std::string& error);
void ApplyAssignment(const Assignment& a, ParameterRecord& record);
// The --set option of a command: parses each assignment into `into`.
TakeArgument AddAssignment(std::vector<Assignment>& into);

// Folder holding Rimeflower64.8bf when no --plugin-dir is given: the
// program's own folder, or ../plugin beside it as in a build tree.
std::string DefaultPluginFolder();

// Loads "--preset NAME|FILE": a path to a preset file, or the name of a
// preset in the plug-in's Basic or User library. False with a message when
// it cannot be found or read.
bool LoadPresetArgument(const std::string& pluginFolder, const std::string& nameOrFile,
                        ParameterRecord& record, std::string& error);

}  // namespace rf::tools
