#include "tools/rimeflower/commands.h"

namespace rf::tools {

int CmdInfo(const Args&) { return Fail("this command is not built yet"); }

}  // namespace rf::tools
