#include "tools/rimeflower/commands.h"

namespace rf::tools {

int CmdPresets(const Args&) { return Fail("this command is not built yet"); }

}  // namespace rf::tools
