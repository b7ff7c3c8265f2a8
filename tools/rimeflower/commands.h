// Rimeflower host: the commands of the `rimeflower` program.
#pragma once

#include "tools/rimeflower/arguments.h"
#include "tools/rimeflower/command_line.h"

namespace rf::tools {

// Each command takes its arguments (without the program and command names)
// and answers the process exit code: 0 success, 1 failure, 2 bad usage,
// 3 cancelled by the user in the filter's dialog (nothing written).
constexpr int kExitCancelled = 3;
int CmdApply(const Args& args);     // apply the filter to an image file
int CmdDemo(const Args& args);      // the default effect on the built-in sample
int CmdPattern(const Args& args);   // export the grown pattern
int CmdContours(const Args& args);  // contour lines of a label mask
int CmdMask(const Args& args);      // the quantised brightness mask of an image
int CmdPresets(const Args& args);   // list, show, save, delete presets
int CmdInfo(const Args& args);      // the PiPL and scripting terminology of a module

}  // namespace rf::tools
