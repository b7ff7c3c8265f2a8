#include "host/record/run_state.h"

namespace rf {

RunState& Run() {
  static RunState state;
  return state;
}

}  // namespace rf
