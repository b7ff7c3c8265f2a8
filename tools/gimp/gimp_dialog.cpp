#include "tools/gimp/gimp_dialog.h"

namespace rf::tools::gimp {

bool RunDialog(int32_t, int32_t, ParameterRecord&) { return true; }

}  // namespace rf::tools::gimp
