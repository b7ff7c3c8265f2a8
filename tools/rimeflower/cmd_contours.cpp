#include "tools/rimeflower/commands.h"

namespace rf::tools {

int CmdContours(const Args&) { return Fail("this command is not built yet"); }
int CmdMask(const Args&) { return Fail("this command is not built yet"); }

}  // namespace rf::tools
