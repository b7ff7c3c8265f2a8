#include "tools/rimeflower/commands.h"

namespace rf::tools {

int CmdApply(const Args&) { return Fail("this command is not built yet"); }
int CmdDemo(const Args&) { return Fail("this command is not built yet"); }

}  // namespace rf::tools
