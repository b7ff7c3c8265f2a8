// Rimeflower host: the values of arguments several commands share.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/record/parameters.h"
#include "tools/imagefile/image_io.h"
#include "tools/rimeflower/command_line.h"

namespace rf::tools {

// Reads "WxH" (or "WXH"): two whole numbers from 1 to maxSide, digits only.
// Leaves width and height alone and answers false otherwise.
bool ParseSize(const std::string& text, int32_t maxSide, int32_t& width, int32_t& height);

// One "--set NAME=VALUE" assignment: NAME is a scripting name ("MinInterval",
// "Center X", matched loosely) or a 4-character key ("MnIn"); VALUE is a
// number of the parameter's type (integers may be written in hex, 0x...).
// Integers must fit their field (0 to 255 or 0 to 4294967295), and the
// parameters that choose among a list (RenderMode, EffectKind, ...) take only
// the list's values; the message names them.
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

// The --max-megapixels option of a command that reads images.
TakeArgument MaxMegapixels(ReadLimits& limits);

// The --threads option of a command that runs the filter: how many
// processors the process (and so the module's renderer) may use.
TakeArgument ThreadCount(int32_t& count);
// Narrows the process to `count` processors (none when 0); false with a
// message when the system refuses.
bool LimitThreads(int32_t count, std::string& error);

// Folder holding Rimeflower64.8bf when no --plugin-dir is given: the
// program's own folder, or ../plugin beside it as in a build tree.
std::string DefaultPluginFolder();

// Loads "--preset NAME|FILE": a path to a preset file, or the name of a
// preset in the plug-in's Basic or User library. False with a message when
// it cannot be found or read. Values the plug-in reads as 0 because the file
// gives no number for them are printed as warnings on standard error.
bool LoadPresetArgument(const std::string& pluginFolder, const std::string& nameOrFile,
                        ParameterRecord& record, std::string& error);

// The lines of a preset file whose parameter the plug-in reads as 0 because
// no number follows its key ("nan", text, nothing), each as a message like
// "'F' line 7: MinInterval gives 'nan', which reads as 0".
std::vector<std::string> PresetValueWarnings(const std::string& path);
// Prints each as "rimeflower: warning: ..." on standard error.
void PrintPresetWarnings(const std::string& path);

}  // namespace rf::tools
