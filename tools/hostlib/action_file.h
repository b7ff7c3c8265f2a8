// Rimeflower host: recorded actions as files.
//
// An action is the descriptor a run recorded, kept as a readable text file
// of one "KEY TYPE VALUE" line per value ('long' or 'doub'), so that a user
// can read and edit what is played back.
#pragma once

#include <cstddef>
#include <string>

#include "tools/hostlib/descriptor_store.h"

namespace rf::tools {

// The text of an action file holding `descriptor`; the commands write it
// through their safe writer.
std::string FormatActionText(const HostDescriptor& descriptor);
// False with the file and line that could not be read. Files larger than
// kMaxActionFileBytes are refused unread: an action holds a few dozen lines.
bool ReadActionFile(const std::string& path, HostDescriptor& descriptor, std::string& error);
constexpr size_t kMaxActionFileBytes = size_t(1) << 20;

// The reading itself, on the file's text; `name` is the file named in errors.
bool ParseActionText(const std::string& text, const std::string& name, HostDescriptor& descriptor,
                     std::string& error);

}  // namespace rf::tools
