// Rimeflower host: recorded actions as files.
//
// An action is the descriptor a run recorded, kept as a readable text file
// of one "KEY TYPE VALUE" line per value ('long' or 'doub'), so that a user
// can read and edit what is played back.
#pragma once

#include <string>

#include "tools/hostlib/descriptor_store.h"

namespace rf::tools {

bool WriteActionFile(const std::string& path, const HostDescriptor& descriptor, std::string& error);
// False with the file and line that could not be read.
bool ReadActionFile(const std::string& path, HostDescriptor& descriptor, std::string& error);

}  // namespace rf::tools
